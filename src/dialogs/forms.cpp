#include "dialogs/forms.h"

#include <algorithm>

namespace chkimport {

void Unload(ImportState& st, Form& form) {
  auto it = std::find_if(st.Forms.begin(), st.Forms.end(), [&](const auto& f) { return f.get() == &form; });
  if (it == st.Forms.end()) return;
  std::unique_ptr<Form> unloaded = std::move(*it);
  st.Forms.erase(it);
  if (st.host.windowing) st.host.windowing->Unloaded(form);
  // A form is often unloaded by its own handler, which runs on afterwards.
  st.UnloadedForms.push_back(std::move(unloaded));
}

void ReleaseUnloadedForms(ImportState& st) {
  st.UnloadedForms.clear();
}

}  // namespace chkimport
