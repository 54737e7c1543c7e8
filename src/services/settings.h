// The user's settings: an INI file, read afresh at every IniRead so that an
// edit between two imports counts, plus values the host sets for one run.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace chkimport {

class Settings {
 public:
  // $XDG_CONFIG_HOME/chkimport/settings.ini, else
  // $HOME/.config/chkimport/settings.ini; empty when neither is set.
  static std::filesystem::path DefaultPath();

  explicit Settings(std::filesystem::path file);

  const std::filesystem::path& File() const { return file_; }

  // The key's value in the section, both named without regard to case; the
  // last occurrence in the file counts. defaultValue when the file cannot be
  // read or lacks the key; a key with nothing after "=" gives "".
  std::string IniRead(const std::string& section, const std::string& key,
                      const std::string& defaultValue) const;

  // A value IniRead gives instead of the file's.
  void SetOverride(const std::string& section, const std::string& key, const std::string& value);

 private:
  std::filesystem::path file_;
  std::map<std::pair<std::string, std::string>, std::string> overrides_;  // keys in lower case
};

}  // namespace chkimport
