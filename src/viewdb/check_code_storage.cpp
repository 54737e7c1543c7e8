#include "viewdb/check_code_storage.h"

#include "component/import_state.h"
#include "component/routine.h"
#include "services/dao.h"
#include "translate/vb_strings.h"

namespace chkimport {

void GetBookmark(ImportState& st, dao::Recordset& rsView, const std::string& strName) {
  Routine r(st, "GetBookmark, ImportCHKCode");
  r.run([&] {
    st.strBookmark = "";
    r.step([&] { rsView.MoveFirst(); });
    // The same walk from the first row, through the recordset's index.
    r.step([&] {
      if (rsView.FindFirst("Name", &UCase, Trim(strName))) st.strBookmark = rsView.Bookmark();
    });
  });
}

std::string StoredCheckcode(const ImportState& st) {
  std::string strText;
  if (st.intBeforeCount >= 1) {
    for (int i = 0; i < st.intBeforeCount; ++i) strText += st.strNewContent(0, i) + "\r\n";
    strText += "ENDBEFORE\r\n";
  }
  for (int i = 0; i < st.intAfterCount; ++i) strText += st.strNewContent(1, i) + "\r\n";
  for (int i = 0; i < st.intStagedCount; ++i) strText += st.strNewContent(2, i) + "\r\n";
  return strText;
}

void ImportCode(ImportState& st, dao::Recordset& rsView) {
  Routine r(st, "ImportCode, ImportCHKCode");
  r.run([&] {
    r.step([&] { rsView.SetBookmark(st.strBookmark); });
    std::string strText;
    r.step([&] { strText = StoredCheckcode(st); });
    r.step([&] { rsView.Edit(); });
    r.step([&] { rsView.SetField("Checkcode", strText); });
    r.step([&] { rsView.Update(); });
  });
}

}  // namespace chkimport
