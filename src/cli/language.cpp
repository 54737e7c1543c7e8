#include "cli/language.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "services/settings.h"

namespace chkimport::cli {
namespace fs = std::filesystem;
namespace {

fs::path executableDir() {
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) : exe.parent_path();
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

EarlyArguments ScanArguments(int argc, const char* const* argv) {
  EarlyArguments early;
  auto valueOf = [&](int& i, const std::string& arg, const std::string& longName,
                     const char* shortName) -> std::optional<std::string> {
    if (arg.rfind(longName + "=", 0) == 0) return arg.substr(longName.size() + 1);
    if ((arg == longName || (shortName && arg == shortName)) && i + 1 < argc) return std::string(argv[++i]);
    if (shortName && arg.size() > 2 && arg.rfind(shortName, 0) == 0 && arg[1] != '-') return arg.substr(2);
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    if (arg == "--json") early.json = true;
    if (arg == "--man" || arg == "--completion" || arg.rfind("--completion=", 0) == 0) early.ownFile = true;
    if (auto v = valueOf(i, arg, "--languages", nullptr)) {
      early.languagesDir = *v;
    } else if (auto w = valueOf(i, arg, "--language", "-l")) {
      early.language = *w;
    }
  }
  return early;
}

fs::path LanguagesDir(const std::optional<std::string>& given) {
  return given ? fs::path(*given) : CatalogTranslator::DefaultLanguagesDir(executableDir());
}

std::string LocaleLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const std::string code = lower(std::string(value).substr(0, 2));
    const char after = std::strlen(value) > 2 ? value[2] : '\0';
    if (after != '\0' && after != '_' && after != '.' && after != '@') return "";
    if (code == "es") return "Spanish";
    if (code == "fr") return "French";
    return "";
  }
  return "";
}

std::vector<std::string> AvailableLanguages(const fs::path& dir) {
  std::vector<std::string> names{"English"};
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".po") names.push_back(it->path().stem().string());
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string UseLanguage(CatalogTranslator& translator, const std::optional<std::string>& given,
                        const Settings& settings, std::string& chosen) {
  chosen = given ? *given : settings.IniRead("Variables", "Language", "");
  if (chosen.empty()) chosen = LocaleLanguage();
  if (chosen.empty()) chosen = "English";
  translator.setLANGUAGE(chosen);
  if (!translator.CatalogFile().empty() || lower(chosen) == "english") return "";
  const std::string unknown = chosen;
  chosen = "English";
  translator.setLANGUAGE(chosen);
  std::string names;
  for (const auto& name : AvailableLanguages(translator.LanguagesDir()))
    names += (names.empty() ? "" : ", ") + name;
  return translator.T("there is no catalog for the language") + " '" + unknown + "' (" +
         translator.T("the languages there are:") + " " + names + "); " +
         translator.T("the texts stay in English.");
}

}  // namespace chkimport::cli
