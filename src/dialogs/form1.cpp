#include "dialogs/form1.h"

#include "core/import_state.h"

namespace chkimport {

Form1::Form1(ImportState& state)
    : Form(state, "form1"),
      Mishtrak1(std::make_shared<ErrorStack>(
          state.host.settings,
          [&state](int32_t number, const std::string& description, const std::string& suggested,
                   const std::vector<std::string>& labels) {
            return state.AnswerAction(number, description, suggested, labels);
          },
          &state.errorLog())) {
  Control control;
  control.Name = "Mishtrak1";
  control.Kind = ControlKind::ErrorStack;
  control.Visible = false;
  add(control);
}

}  // namespace chkimport
