#include "dialogs/forms.h"

#include <algorithm>

namespace chkimport {

void Unload(ImportState& st, Form& form) {
  auto it = std::find_if(st.Forms.begin(), st.Forms.end(), [&](const auto& f) { return f.get() == &form; });
  if (it != st.Forms.end()) st.Forms.erase(it);
}

}  // namespace chkimport
