// What the dialogs' plugin exports: its version, which must be the
// library's own, and the function that makes its windowing layer. Both sides
// are built from the same sources, so C++ types may cross.
#pragma once

#include <memory>
#include <string>

#include "services/windowing.h"

namespace chkimport {

// The layer in a new box that the caller frees, or null with the reason.
using ScreenPluginEntry = std::shared_ptr<Windowing>* (*)(std::string* whyNot);
using ScreenPluginVersion = const char* (*)();

inline constexpr const char* kScreenPluginEntrySymbol = "chkimport_screen_windowing";
inline constexpr const char* kScreenPluginVersionSymbol = "chkimport_screen_plugin_version";

}  // namespace chkimport
