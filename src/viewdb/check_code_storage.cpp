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
  // A field named again brings its whole code back as one entry: the text
  // is put together in one piece, each entry copied once.
  std::size_t size = 11;
  auto measure = [&](int column, int count) {
    for (int i = 0; i < count; ++i) size += st.strNewContent(column, i).size() + 2;
  };
  measure(0, st.intBeforeCount);
  measure(1, st.intAfterCount);
  measure(2, st.intStagedCount);
  std::string strText;
  strText.reserve(size);
  auto add = [&](int column, int count) {
    for (int i = 0; i < count; ++i) strText.append(st.strNewContent(column, i)).append("\r\n");
  };
  if (st.intBeforeCount >= 1) {
    add(0, st.intBeforeCount);
    strText += "ENDBEFORE\r\n";
  }
  add(1, st.intAfterCount);
  add(2, st.intStagedCount);
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
