// DEFINE: the view's variables are declared in one place, the Checkcode of
// the row "DEFINEDVARIABLES"; the field's own code keeps a note of where the
// declaration went.
#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "translate/scan_words.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {

// Only GLOBAL, in the fourth word, is carried over; the type is dropped.
// With overwrite on, the first DEFINE of the pass drops the row's old
// declarations and the later ones append to it.
void onDefine(ImportState& st, PassState& p, Routine& r) {
  const std::string strFieldBookmark = st.strBookmark;
  std::string strDeclarations;
  // True when the list DEFINE is building is extended where it lies, not
  // copied: copying the whole, growing list at every DEFINE would cost the
  // square of their number.
  bool blnExtend = false;
  dao::Recordset& rsView = *p.rsView;

  r.step([&] { GetBookmark(st, rsView, "DEFINEDVARIABLES"); });
  if (!st.strBookmark.empty()) {
    if (!p.blnOverwrite || p.blnVariablesRow) {
      r.step([&] {
        if (p.declarations.pending && p.declarations.bookmark == st.strBookmark) {
          blnExtend = true;
        } else {
          const dao::Value& code = rsView.Field("Checkcode");
          strDeclarations = code.IsNull() ? std::string() : code.ToString();
        }
      });
    }
  } else {
    r.step([&] { rsView.AddNew(); });
    r.step([&] { rsView.SetField("PageNumber", dao::Value(0)); });
    r.step([&] { rsView.SetField("Name", "DEFINEDVARIABLES"); });
    r.step([&] { rsView.Update(); });
    r.step([&] { rsView.SetBookmark(rsView.LastModified()); });
  }

  // The row is written when the pass is done with it, or before anything
  // reads or writes its check code: rewriting the whole, growing list at
  // every DEFINE would cost the square of their number.
  r.step([&] {
    if (!blnExtend) p.declarations = {true, rsView.Bookmark(), std::move(strDeclarations)};
    std::string& strList = p.declarations.text;
    if (!strList.empty()) strList += "\r\n";
    strList.append("DEFINE ").append(st.strWords(1));
    if (st.strWords(3) == "GLOBAL") strList += " GLOBAL";
  });
  p.blnVariablesRow = true;

  st.strBookmark = strFieldBookmark;
  r.step([&] { rsView.SetBookmark(st.strBookmark); });

  r.step([&] { p.strLine = "*" + st.strWords(1) + " " + st.T("defined in DEFINEDVARIABLES area") + " "; });
  StoreAdvice(st, p, r, AdviceKind::Variables);
}

void WriteDeclarations(ImportState& st, PassState& p, const std::string& strRowBookmark) {
  if (!p.declarations.pending || (!strRowBookmark.empty() && strRowBookmark != p.declarations.bookmark))
    return;
  dao::Recordset& rsView = *p.rsView;
  p.declarations.pending = false;
  const bool wasOnRow = !rsView.Eof();
  const std::string strCurrent = wasOnRow ? rsView.Bookmark() : std::string();
  rsView.SetBookmark(p.declarations.bookmark);
  rsView.Edit();
  rsView.SetField("Checkcode", p.declarations.text);
  rsView.Update();
  if (wasOnRow) rsView.SetBookmark(strCurrent);
  (void)st;
}

}  // namespace chkimport
