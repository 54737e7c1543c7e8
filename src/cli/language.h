// The language of the program's texts, chosen as gettext programs choose
// it: --language, else the settings file, else the locale.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "chkimport/catalog_translator.h"

namespace chkimport {
class Settings;
}

namespace chkimport::cli {

// What must be known before the command line is parsed, so that --help and
// the parser's own messages can be in the user's language: the values of
// --language/-l and --languages, wherever they stand, whether --json was
// given, and whether the program writes a file of its own (--man,
// --completion), which is in English whatever the user's language.
struct EarlyArguments {
  std::optional<std::string> language;
  std::optional<std::string> languagesDir;
  bool json = false;
  bool ownFile = false;
};
EarlyArguments ScanArguments(int argc, const char* const* argv);

// The folder of the catalogs: the one given, else the program's own.
std::filesystem::path LanguagesDir(const std::optional<std::string>& given);

// The language the locale asks for: the first of LC_ALL, LC_MESSAGES and
// LANG that is set; "es..." is Spanish, "fr..." French; "" for any other.
std::string LocaleLanguage();

// English and the languages of the catalogs in `dir`, sorted.
std::vector<std::string> AvailableLanguages(const std::filesystem::path& dir);

// Sets `translator` to the language: `given` (from --language), else the
// settings' Language, else the locale's, else English. A name without a
// catalog leaves English and returns a warning, in the words of
// `translator`, that names the languages there are; "" otherwise. Returns
// the language in use in `chosen`.
std::string UseLanguage(CatalogTranslator& translator, const std::optional<std::string>& given,
                        const Settings& settings, std::string& chosen);

}  // namespace chkimport::cli
