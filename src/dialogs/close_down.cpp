#include "dialogs/close_down.h"

#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/forms.h"

namespace chkimport {

void CloseDown(ImportState& st) {
  Routine r(st, "CloseDown, ImportCHKCode");
  r.NeverPop();
  r.run([&] {
    int16_t intCount = 0;
    r.step([&] { intCount = CheckedInt16(static_cast<long>(st.Forms.size())); });
    for (int i = intCount - 1; i >= 0; --i)
      r.step([&] {
        if (static_cast<std::size_t>(i) >= st.Forms.size()) RaiseSubscriptOutOfRange();
        Unload(st, *st.Forms[static_cast<std::size_t>(i)]);
      });
  });
}

}  // namespace chkimport
