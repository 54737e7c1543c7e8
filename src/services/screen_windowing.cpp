#include "services/screen_windowing.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "chkimport/catalog_translator.h"
#include "services/screen_plugin_abi.h"

#ifndef CHKIMPORT_PLUGIN_FROM_BINDIR
#define CHKIMPORT_PLUGIN_FROM_BINDIR "../lib"
#endif
#ifndef CHKIMPORT_INSTALLED_PLUGIN_DIR
#define CHKIMPORT_INSTALLED_PLUGIN_DIR ""
#endif

namespace chkimport {
namespace fs = std::filesystem;
namespace {

// Where the plugin may be, in the order tried: beside this code's own file
// (the shared library, or a program in the build tree), the library folder
// seen from an installed program, and the folder the build installs to.
std::vector<fs::path> pluginCandidates() {
  static const char anchor = 0;
  const fs::path here = CatalogTranslator::FolderOf(&anchor);
  std::vector<fs::path> candidates;
  if (!here.empty()) {
    candidates.push_back(here / kScreenPluginName);
    candidates.push_back((here / CHKIMPORT_PLUGIN_FROM_BINDIR / kScreenPluginName).lexically_normal());
  }
  if (*CHKIMPORT_INSTALLED_PLUGIN_DIR)
    candidates.push_back(fs::path(CHKIMPORT_INSTALLED_PLUGIN_DIR) / kScreenPluginName);
  return candidates;
}

// The plugin's file, or empty with the reason.
fs::path findPlugin(std::string& whyNot) {
#if !CHKIMPORT_GUI
  // A build without the Qt dialogs, such as the fuzzing build.
  whyNot = N_("this build has no dialogs");
  return {};
#else
  std::error_code ec;
  for (const fs::path& candidate : pluginCandidates())
    if (fs::is_regular_file(candidate, ec)) return candidate;
  whyNot = std::string("the dialogs' plugin ") + kScreenPluginName + " was not found";
  return {};
#endif
}

struct LoadedPlugin {
  ScreenPluginEntry entry = nullptr;
  std::string failure;
};

// The plugin, loaded once and kept for the life of the process (Qt cannot be
// unloaded); a null entry with the reason when it cannot be had.
const LoadedPlugin& loadPlugin(const fs::path& file) {
  static const LoadedPlugin loaded = [&file] {
    LoadedPlugin plugin;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      plugin.failure = "the dialogs' plugin " + file.string() + " cannot be loaded: " + (why ? why : "");
      return plugin;
    }
    auto version = reinterpret_cast<ScreenPluginVersion>(dlsym(handle, kScreenPluginVersionSymbol));
    auto entry = reinterpret_cast<ScreenPluginEntry>(dlsym(handle, kScreenPluginEntrySymbol));
    if (!version || !entry || std::string(version()) != CHKIMPORT_VERSION)
      plugin.failure = "the dialogs' plugin " + file.string() + " belongs to another version of chkimport";
    else
      plugin.entry = entry;
    return plugin;
  }();
  return loaded;
}

}  // namespace

std::shared_ptr<Windowing> ScreenWindowing(std::string& whyNot) {
  const fs::path file = findPlugin(whyNot);
  if (file.empty()) return nullptr;
  // Without a display, Qt is not even loaded.
  whyNot = NoDisplayReason();
  if (!whyNot.empty()) return nullptr;
  const LoadedPlugin& plugin = loadPlugin(file);
  if (!plugin.entry) {
    whyNot = plugin.failure;
    return nullptr;
  }
  std::unique_ptr<std::shared_ptr<Windowing>> layer(plugin.entry(&whyNot));
  if (!layer || !*layer) return nullptr;
  whyNot.clear();
  return *layer;
}

}  // namespace chkimport
