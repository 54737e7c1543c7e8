#include "viewdb/check_code_storage.h"

#include <algorithm>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"

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

namespace {

// The stored form, each line added as one statement run by `statement`.
template <class Statement>
std::string storedCheckcode(const ImportState& st, Statement&& statement) {
  // A field named again brings its whole code back as one entry: the text
  // is put together in one piece, each entry copied once.
  std::size_t size = 11;
  auto measure = [&](int column, int count) {
    // A counter can pass the last row only when the user went on after the error that said so.
    for (int i = 0; i < std::min(count, 501); ++i) size += st.strNewContent(column, i).size() + 2;
  };
  measure(0, st.intBeforeCount);
  measure(1, st.intAfterCount);
  measure(2, st.intStagedCount);
  std::string strText;
  strText.reserve(size);
  auto add = [&](int column, int count) {
    for (int i = 0; i < count; ++i)
      statement([&] { strText.append(st.strNewContent(column, i)).append("\r\n"); });
  };
  if (st.intBeforeCount >= 1) {
    add(0, st.intBeforeCount);
    statement([&] { strText += "ENDBEFORE\r\n"; });
  }
  add(1, st.intAfterCount);
  add(2, st.intStagedCount);
  return strText;
}

}  // namespace

std::string StoredCheckcode(const ImportState& st) {
  return storedCheckcode(st, [](auto&& statement) { statement(); });
}

void ImportCode(ImportState& st, dao::Recordset& rsView) {
  Routine r(st, "ImportCode, ImportCHKCode");
  r.run([&] {
    r.step([&] { rsView.SetBookmark(st.strBookmark); });
    dao::Value code(storedCheckcode(st, [&](auto&& statement) { r.step(statement); }));
    r.step([&] { rsView.Edit(); });
    r.step([&] { rsView.SetField("Checkcode", std::move(code)); });
    r.step([&] { rsView.Update(); });
  });
}

}  // namespace chkimport
