// Hosts of the library that name no windowing system get the dialogs on
// screen.
#include "chkimport/vb_error.h"
#include "component/import_state.h"
#include "gui/qt_windowing.h"

namespace chkimport {
namespace {

std::shared_ptr<Windowing> onScreen() {
  std::string whyNot;
  auto layer = QtWindowing::Create(whyNot);
  if (!layer) Raise(vberr::CannotCreateObject, "The import dialog cannot be shown: " + whyNot);
  return layer;
}

const bool registered = [] {
  DefaultWindowing = &onScreen;
  return true;
}();

}  // namespace
}  // namespace chkimport
