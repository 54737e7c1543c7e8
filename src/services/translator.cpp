#include "chkimport/translator.h"

#include "services/form.h"

namespace chkimport {

void Translator::Translate(Form& dialog) {
  dialog.Caption = T(dialog.Caption);
  for (auto& control : dialog.Controls) {
    control.Caption = T(control.Caption);
    control.ToolTipText = T(control.ToolTipText);
  }
}

}  // namespace chkimport
