// Commands that Vantrel 2000 has no use for, or that became something else:
// each leaves a comment telling the user what became of it and what to do
// instead. HIDE, UNHIDE and CLEAR are carried over, HELP and TYPE messages
// become DIALOG commands, REPEAT becomes the field's "R" letter.
#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/property_letters.h"
#include "translate/scan_words.h"

namespace chkimport {
namespace {

// Sets strLine to the comment and stores it. When the comment cannot be
// made, the line is stored as it stands.
template <class F>
void storeComment(ImportState& st, PassState& p, Routine& r, AdviceKind kind, F comment) {
  r.step([&] { p.strLine = comment(); });
  StoreAdvice(st, p, r, kind);
}

// HELP or TYPE with a message: the command's keyword becomes DIALOG and
// whatever follows the message (from word 2 on) is dropped.
void storeDialog(ImportState& st, PassState& p, Routine& r) {
  const std::string w1 = st.strWords(1);
  const std::string w2 = st.strWords(2);
  r.step([&] {
    if (w2.empty()) return;
    const long position = InStr(Len(w1) + 5, UCase(p.strLine), w2);
    if (position > 0) p.strLine = Left(p.strLine, position - 1);
  });
  p.strLine = "DIALOG " + Mid(p.strLine, 6) + " TITLETEXT=\"HELP! Dialog\"";
  StoreLine(st, p, r);
}

}  // namespace

void onCall(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::NoCounterpart, [&] {
    return "*CALL " + st.T("is not relevant in Vantrel 2000") + " \r\n*" +
           st.T("It calls TSR programs that are only supported in DOS.") + " ";
  });
}

void onClear(ImportState& st, PassState& p, Routine& r) {
  StoreLine(st, p, r);
}

void onColor(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::NoCounterpart, [&] {
    return "*COLOR " + st.T("is not necessary in Vantrel 2000") + " \r\n*" +
           st.T("Change background color from") + " \r\n*" + st.T("the View|Background menu item.");
  });
}

void onFieldChar(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::NoCounterpart,
               [&] { return "*FIELDCHAR " + st.T("is not supported in Vantrel 2000") + " "; });
}

// HELP names a help file, asks for keys, or shows a quoted message.
void onHelp(ImportState& st, PassState& p, Routine& r) {
  const std::string w1 = st.strWords(1);
  if (Left(w1, 1) != "\"") {
    storeComment(st, p, r, AdviceKind::Help, [&] {
      return "*" + st.T("The following HELP file") + " " +
             st.T("is not translated into Vantrel 2000 syntax.") + " \r\n*" + p.strLine + "\r\n*" +
             st.T("Rewrite the Help text file to an HTML file.") + "\r\n*" +
             st.T("Convert each !TOPIC or !INDEX to an anchor tag.") + "\r\n*" +
             st.T("Use the HELP builder to select the file and the anchor for") + " \r\n*" +
             st.T("the topic you want to display.");
    });
    return;
  }

  bool blnKeys = false;
  r.step([&] {
    for (int i = 1; i <= 100 && !st.strWords(i).empty(); ++i)
      if (Left(st.strWords(i), 4) == "KEYS") blnKeys = true;
  });
  if (blnKeys) {
    storeComment(st, p, r, AdviceKind::Help, [&] {
      return "*" + st.T("The following HELP command with KEYS keyword") + " \r\n*" +
             st.T("is not translated into Vantrel 2000 syntax.") + " \r\n*" + p.strLine + "\r\n*" +
             st.T("To perform this feature, first define a variable.") + " \r\n*" +
             st.T("If this command is followed by a command using a RESULT variable,") + " \r\n*" +
             st.T("then the variable you define should be called RESULT.") + " \r\n*" +
             st.T("Then use the Plandor DIALOG builder with one of the") + " \r\n*" +
             st.T("Get Variables styles.  Select the variable you defined as the Input Variable.") + " ";
    });
    return;
  }
  storeDialog(st, p, r);
}

void onHide(ImportState& st, PassState& p, Routine& r) {
  StoreLine(st, p, r);
}

namespace {

// LOAD and UNLOAD brought machine code into memory; their advice is the same.
void storeMachineCodeComment(ImportState& st, PassState& p, Routine& r, const std::string& strKeyword) {
  storeComment(st, p, r, AdviceKind::NoCounterpart, [&] {
    return "*" + strKeyword + " " + st.T("is not necessary in Vantrel 2000") + " \r\n*" +
           st.T("It is for machine language programs that") + " \r\n*" + st.T("are only supported in DOS.") +
           " ";
  });
}

}  // namespace

void onLoad(ImportState& st, PassState& p, Routine& r) {
  storeMachineCodeComment(st, p, r, "LOAD");
}

void onRelate(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::Relate, [&] {
    return "*RELATE " + st.T("is not supported in Checkcode") + " \r\n*" +
           st.T("To RELATE to another view,") + " \r\n*" + st.T("Right-click on the view in Plandor,") +
           " \r\n*" + st.T("Enter prompt and select RELATE as the") + " \r\n*" +
           st.T("FIELD OR VARIABLE TYPE, then click the") + " \r\n*" + st.T("RELATED VIEW button.") +
           " \r\n*" + st.T("If this RELATE command is within an IF-THEN block,") + " \r\n*" +
           st.T("you may decide to delete this block for efficiency.") + " ";
  });
}

// REPEAT is the field's "R" letter now; it is added once.
void onRepeat(ImportState& st, PassState& p, Routine& r) {
  r.step([&] { p.strLine = "*REPEAT " + st.T("is a property set by checkbox on field dialog.") + " "; });
  std::string strLists;
  bool blnRead = false;
  r.step([&] {
    strLists = ListsOf(*p.rsView);
    blnRead = true;
  });
  // Letters that could not be read are not written over.
  if (blnRead && !HasLetter(strLists, 'R')) r.step([&] { SetLists(*p.rsView, strLists + "R"); });
  r.step([&] { p.strLine += "\r\n*" + st.T("Property has been set.") + " "; });
  StoreAdvice(st, p, r, AdviceKind::Property);
}

void onShowMemory(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::NoCounterpart, [&] {
    return "*SHOWMEMORY " + st.T("is not relevant in Vantrel 2000") + " \r\n*" +
           st.T("It is about memory available to DOS.");
  });
}

void onType(ImportState& st, PassState& p, Routine& r) {
  if (st.strWords(1) == "COMMENT") {
    storeComment(st, p, r, AdviceKind::NoCounterpart,
                 [&] { return "*TYPE COMMENT " + st.T("is not supported in Vantrel 2000") + " "; });
    return;
  }
  storeDialog(st, p, r);
}

void onUnhide(ImportState& st, PassState& p, Routine& r) {
  StoreLine(st, p, r);
}

void onUnload(ImportState& st, PassState& p, Routine& r) {
  storeMachineCodeComment(st, p, r, "UNLOAD");
}

void onUpdate(ImportState& st, PassState& p, Routine& r) {
  storeComment(st, p, r, AdviceKind::NoCounterpart,
               [&] { return "*UPDATE " + st.T("is not necessary in Vantrel 2000") + " "; });
}

}  // namespace chkimport
