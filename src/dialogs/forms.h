// The component's dialogs as the module sees them: one instance of each kind,
// created (and loaded) on first use, kept in load order, discarded when
// unloaded and created afresh on next use.
#pragma once

#include <memory>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/form.h"

namespace chkimport {

// Unloads a form: it is no longer loaded and its window goes away. The
// object itself lives until ReleaseUnloadedForms, so that a handler that
// unloads its own form can finish.
void Unload(ImportState& st, Form& form);

// The loaded instance of F, or null.
template <class F>
F* Loaded(ImportState& st) {
  for (auto& form : st.Forms)
    if (auto* f = dynamic_cast<F*>(form.get())) return f;
  return nullptr;
}

// The instance of F, loading it first when there is none.
template <class F>
F& Instance(ImportState& st) {
  if (F* f = Loaded<F>(st)) return *f;
  auto created = std::make_unique<F>(st);
  F& form = *created;
  form.Unloader = [&st](Form& unloaded) { Unload(st, unloaded); };
  st.Forms.push_back(std::move(created));
  form.Form_Load();
  return form;
}

// Frees the unloaded forms; only where no handler of any form is running.
void ReleaseUnloadedForms(ImportState& st);

// Unloads the instance of F, if one is loaded.
template <class F>
void Discard(ImportState& st) {
  if (F* f = Loaded<F>(st)) Unload(st, *f);
}

// A key handler of a form or of one of its controls: the key goes to the
// form's Escape check, under the handler's own label.
template <class F>
void PassKeyToCheckESC(F& form, const char* label, int code) {
  Routine r(form.st, label);
  r.run([&] { r.step([&] { form.CheckESC(code); }); });
}

}  // namespace chkimport
