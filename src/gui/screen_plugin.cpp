// The entry of the dialogs' plugin (libchkimport-qt.so): the library and the
// program load it the first time a dialog must be shown.
#include <exception>

#include "gui/qt_windowing.h"
#include "services/screen_plugin_abi.h"

#define CHKIMPORT_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

CHKIMPORT_PLUGIN_EXPORT const char* chkimport_screen_plugin_version() {
  return CHKIMPORT_VERSION;
}

CHKIMPORT_PLUGIN_EXPORT std::shared_ptr<chkimport::Windowing>* chkimport_screen_windowing(
    std::string* whyNot) {
  try {
    auto layer = chkimport::QtWindowing::Create(*whyNot);
    return layer ? new std::shared_ptr<chkimport::Windowing>(std::move(layer)) : nullptr;
  } catch (const std::exception& e) {
    *whyNot = e.what();
    return nullptr;
  }
}
