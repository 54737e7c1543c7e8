// DEFINE: the view's variables are declared in one place, the Checkcode of
// the row "DEFINEDVARIABLES"; the field's own code keeps a note of where the
// declaration went.
#include "component/import_state.h"
#include "component/routine.h"
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
  dao::Recordset& rsView = *p.rsView;

  r.step([&] { GetBookmark(st, rsView, "DEFINEDVARIABLES"); });
  if (!st.strBookmark.empty()) {
    if (!p.blnOverwrite || p.blnVariablesRow) {
      r.step([&] {
        const dao::Value code = rsView.Field("Checkcode");
        strDeclarations = code.IsNull() ? std::string() : code.ToString();
        if (!strDeclarations.empty()) strDeclarations += "\r\n";
      });
    }
  } else {
    r.step([&] { rsView.AddNew(); });
    r.step([&] { rsView.SetField("PageNumber", dao::Value(0)); });
    r.step([&] { rsView.SetField("Name", "DEFINEDVARIABLES"); });
    r.step([&] { rsView.Update(); });
    r.step([&] { rsView.SetBookmark(rsView.LastModified()); });
  }

  strDeclarations += "DEFINE " + st.strWords(1);
  if (st.strWords(3) == "GLOBAL") strDeclarations += " GLOBAL";

  r.step([&] { rsView.Edit(); });
  r.step([&] { rsView.SetField("Checkcode", strDeclarations); });
  r.step([&] { rsView.Update(); });
  p.blnVariablesRow = true;

  st.strBookmark = strFieldBookmark;
  r.step([&] { rsView.SetBookmark(st.strBookmark); });

  r.step([&] { p.strLine = "*" + st.strWords(1) + " " + st.T("defined in DEFINEDVARIABLES area") + " "; });
  StoreLine(st, p, r);
}

}  // namespace chkimport
