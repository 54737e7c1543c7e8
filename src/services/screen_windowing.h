// The dialogs on screen. They are drawn with Qt, which lives in a plugin of
// its own (libchkimport-qt.so) that is loaded the first time a dialog must be
// shown: a host that never shows one never loads Qt.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "services/texts.h"
#include "services/windowing.h"

namespace chkimport {

// The file name of the plugin, found beside the library or program that
// holds this code, else in the library folder of the installation.
inline constexpr const char* kScreenPluginName = "libchkimport-qt.so";

// The windowing layer that draws real windows, or null with the reason in
// `whyNot`: no display, no plugin, or a plugin of another build.
std::shared_ptr<Windowing> ScreenWindowing(std::string& whyNot);

// Unusable display settings, as the reason ScreenWindowing gives; "" when a
// display can be tried.
inline std::string NoDisplayReason() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value && *value) return "";
  return N_("no display: set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen");
}

}  // namespace chkimport
