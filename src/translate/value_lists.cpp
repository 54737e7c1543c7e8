// CODEFIELD, and CODES, COMMENT and LEGAL: the value lists of the old
// language. A list header opens a list whose lines the driver collects into
// strCodes; its END builds the code table. One-line forms that point to
// another field or file leave advice instead.
#include <algorithm>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/field_code_buffers.h"
#include "translate/scan_words.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {
namespace {

bool endsInRec(const std::string& word) {
  return Right(word, 4) == ".REC";
}

std::string useAdvisory(ImportState& st) {
  return "*USE " + st.T("is not necessary in Checkcode") + " \r\n*" +
         st.T("New codeTable may have been created if Codes were in .CHK file.") + " \r\n*" +
         st.T("Please Right-click on the prompt for") + " " + st.strFieldName + "\r\n*" +
         st.T("and click the CODES button.") + " \r\n*" +
         st.T("Click the USE EXISTING TABLE button to link the field to") + " \r\n*" +
         st.T("the code table that was created.") + " ";
}

std::string recAdvisory(ImportState& st) {
  return "*" + st.T("Cannot import codes contained in a .REC.") + " \r\n*" +
         st.T("Import the .REC file in Plandor") + " \r\n*" + st.T("then link field to the new view.");
}

}  // namespace

// CODEFIELD names the field whose values a following list pairs with the
// current field's: its name becomes the code table's second column.
void onCodeField(ImportState& st, PassState& p, Routine& r) {
  const std::string strTarget = st.strWords(1);
  if (strTarget.empty()) return;

  const std::string strKept = st.strBookmark;
  r.step([&] { GetBookmark(st, *p.rsView, strTarget); });
  if (!st.strBookmark.empty()) {
    r.step([&] { p.rsView->SetBookmark(strKept); });
    st.intCodeCount = 0;
    st.codeRowsWritten = std::max<int16_t>(st.codeRowsWritten, 1);
    r.step([&] { st.strCodes(0, 0) = p.rsView->Field("Name").ToString(); });
    r.step([&] { st.strCodes(1, 0) = strTarget; });
    st.intCodeCount = 1;
    st.blnCodeHeader = true;
    // The entry ends in a line break: an empty line follows it when stored.
    r.step([&] { p.strLine = "*CODEFIELD " + st.T("is not necessary in Vantrel 2000") + " \r\n"; });
  } else {
    r.step([&] {
      p.strLine = "*CODEFIELD " + st.T("is not necessary in Vantrel 2000") + " \r\n*" +
                  st.T("Target codefield not in view table.") + " ";
    });
  }
  st.strBookmark = strKept;
  r.step([&] { p.rsView->SetBookmark(strKept); });
  StoreAdvice(st, p, r, AdviceKind::CodeTable);
}

// CODES, COMMENT and LEGAL. A list header raises the level on the listing
// pass too, so that the list's END does not end the field's block.
void onCodeList(ImportState& st, PassState& p, Routine& r) {
  const std::string w0 = st.strWords(0);
  const std::string w1 = st.strWords(1);
  const std::string w2 = st.strWords(2);

  if (!w1.empty() && w1 != "LEGAL") {
    if (!p.blnIgnoreNew) return;
    // A text that cannot be made leaves the line to be stored as it stands.
    if (w1 == "USE" || w2 == "USE") {
      r.step([&] { p.strLine = useAdvisory(st); });
      StoreAdvice(st, p, r, AdviceKind::CodeTable);
    } else if (endsInRec(w1) || endsInRec(w2)) {
      r.step([&] { p.strLine = recAdvisory(st); });
      StoreAdvice(st, p, r, AdviceKind::CodeTable);
    } else {
      StoreLine(st, p, r);
    }
    return;
  }

  if (!w2.empty()) {
    if (p.blnIgnoreNew) StoreLine(st, p, r);
    return;
  }

  r.step([&] { Increment(p.intLevel); });
  if (!p.blnIgnoreNew) return;

  st.intCodesLevel = p.intLevel;
  r.step([&] { InitCodeContent(st); });
  st.blnInCodes = true;
  if (w0 == "LEGAL") st.blnInLegal = true;
  if (w0 == "COMMENT") {
    st.blnInLegal = true;
    st.blnCommentLegal = true;
  }

  r.step([&] {
    p.strLine =
        "*" + w0 + " " + (w1 == "LEGAL" ? "LEGAL " : "") + st.T("is not necessary in Checkcode") + " ";
  });

  // The table's columns are named after the field's row: NAME and NAME1 for
  // codes with a meaning, NAME alone for a list of legal values.
  if (p.blnGenerateTables && !st.blnCodeHeader) {
    st.intCodeCount = 0;
    st.codeRowsWritten = std::max<int16_t>(st.codeRowsWritten, 1);
    r.step([&] { st.strCodes(0, 0) = p.rsView->Field("Name").ToString(); });
    if (!st.blnInLegal) r.step([&] { st.strCodes(1, 0) = p.rsView->Field("Name").ToString() + "1"; });
    st.intCodeCount = 1;
  }
  StoreAdvice(st, p, r, AdviceKind::CodeTable);
}

}  // namespace chkimport
