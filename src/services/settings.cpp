#include "services/settings.h"

#include <ini.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace chkimport {
namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct Lookup {
  std::string section;  // lower case
  std::string key;      // lower case
  std::optional<std::string> value;
};

int onEntry(void* user, const char* section, const char* name, const char* value) {
  auto* lookup = static_cast<Lookup*>(user);
  if (lowerAscii(section) == lookup->section && lowerAscii(name) == lookup->key)
    lookup->value = value ? value : "";
  return 1;
}

// Hands inih each line without its indentation. inih takes an indented line
// for the continuation of the key above it, so an indented "Language=Spanish"
// below another key would be read as that key's value.
char* readUnindentedLine(char* buffer, int size, void* stream) {
  if (!std::fgets(buffer, size, static_cast<FILE*>(stream))) return nullptr;
  const size_t indent = std::strspn(buffer, " \t");
  if (indent > 0) std::memmove(buffer, buffer + indent, std::strlen(buffer + indent) + 1);
  return buffer;
}

}  // namespace

std::filesystem::path Settings::DefaultPath() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return std::filesystem::path(config) / "chkimport" / "settings.ini";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::filesystem::path(home) / ".config" / "chkimport" / "settings.ini";
  return {};
}

Settings::Settings(std::filesystem::path file) : file_(std::move(file)) {}

std::string Settings::IniRead(const std::string& section, const std::string& key,
                              const std::string& defaultValue) const {
  Lookup lookup{lowerAscii(section), lowerAscii(key), std::nullopt};
  if (auto found = overrides_.find({lookup.section, lookup.key}); found != overrides_.end())
    return found->second;
  if (file_.empty()) return defaultValue;

  std::unique_ptr<FILE, decltype(&std::fclose)> in(std::fopen(file_.c_str(), "r"), &std::fclose);
  if (!in) return defaultValue;
  // Lines inih cannot parse are skipped; the rest of the file still counts.
  ini_parse_stream(readUnindentedLine, in.get(), onEntry, &lookup);
  return lookup.value.value_or(defaultValue);
}

void Settings::SetOverride(const std::string& section, const std::string& key, const std::string& value) {
  overrides_.insert_or_assign({lowerAscii(section), lowerAscii(key)}, value);
}

}  // namespace chkimport
