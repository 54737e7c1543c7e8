#include "translate/field_code_buffers.h"

#include <algorithm>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/vb_strings.h"

namespace chkimport {

void InitializeArray(ImportState& st) {
  Routine r(st, "InitializeArray, ImportCHKCode");
  r.run([&] {
    // Readers stop at the counters and writers write at them, so a row at or
    // past its column's counter is never read before it is written: only the
    // rows in use need emptying.
    const int16_t counts[3] = {st.intBeforeCount, st.intAfterCount, st.intStagedCount};
    for (int column = 0; column <= 2; ++column)
      for (int row = 0; row < std::min<int>(counts[column], 244); ++row)
        st.strNewContent(column, row).clear();
    st.intBeforeCount = 0;
    st.intAfterCount = 0;
    st.intStagedCount = 0;
  });
}

bool InsertNewContent(ImportState& st, int16_t intSection, const std::string& strText) {
  bool result = false;
  Routine r(st, "InsertNewContent, ImportCHKCode");
  return r.run(result, [&] {
    result = true;
    auto append = [&](int column, int16_t& counter, const std::string& text) {
      // Into the entry's own room: entries are written again for every field.
      r.step([&] { st.strNewContent(column, counter).assign(TrimView(text)); });
      r.step([&] { Increment(counter); });
    };
    switch (intSection) {
      case 0:
        append(0, st.intBeforeCount, strText);
        break;
      case 1:
        append(1, st.intAfterCount, strText);
        break;
      case 2:
        append(2, st.intStagedCount, strText);
        break;
      case 9: {
        const long marker = InStr(strText, "ENDBEFORE");
        if (marker == 0) {
          append(1, st.intAfterCount, strText);
        } else {
          append(0, st.intBeforeCount, Left(strText, marker - 1));
          append(1, st.intAfterCount, Mid(strText, marker + 9 + 2));
        }
        break;
      }
      default:
        break;
    }
  });
}

void ShiftNewContent(ImportState& st, int16_t intColumn) {
  Routine r(st, "ShiftNewContent, ImportCHKCode");
  r.run([&] {
    if (st.intStagedCount < 1) {
      st.intStagedCount = 0;
      return;
    }
    int16_t intRow = intColumn != 0 ? st.intAfterCount : st.intBeforeCount;
    for (int k = 0; k < st.intStagedCount; ++k) {
      r.step([&] { st.strNewContent(intColumn, intRow) = st.strNewContent(2, k); });
      r.step([&] { Increment(intRow); });
      r.step([&] { st.strNewContent(2, k) = ""; });
    }
    (intColumn != 0 ? st.intAfterCount : st.intBeforeCount) = intRow;
    st.intStagedCount = 0;
  });
}

void InitCodeContent(ImportState& st) {
  Routine r(st, "InitCodeContent, ImportCHKCode");
  r.run([&] {
    // Rows 0 (unless it holds the header) to 243 are emptied; only the ones
    // written since the last time can hold anything.
    const std::size_t first = st.blnCodeHeader ? 1 : 0;
    const std::size_t end = std::clamp<std::size_t>(st.codeRowsWritten, first, 244);
    for (std::string& code : st.strCodes.Column(0).subspan(first, end - first)) code.clear();
    for (std::string& label : st.strCodes.Column(1).subspan(first, end - first)) label.clear();
    st.codeRowsWritten = static_cast<int16_t>(first);
  });
}

}  // namespace chkimport
