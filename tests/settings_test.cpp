#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "services/settings.h"

namespace chkimport {
namespace {

namespace fs = std::filesystem;

struct SettingsFile : ::testing::Test {
  SettingsFile() {
    std::string pattern = (fs::temp_directory_path() / "chkimport-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir = pattern;
  }
  ~SettingsFile() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void write(const std::string& text) const { std::ofstream(file(), std::ios::binary) << text; }
  fs::path file() const { return dir / "settings.ini"; }
  fs::path dir;
};

TEST_F(SettingsFile, IniReadFindsTheKey) {
  const struct {
    std::string text, section, key, expected;
  } cases[] = {
      {"[Variables]\nLanguage=Spanish\n", "Variables", "Language", "Spanish"},
      {"[variables]\nlanguage = Spanish \n", "VARIABLES", "LANGUAGE", "Spanish"},
      {"[Variables]\r\nLanguage=Spanish\r\n", "Variables", "Language", "Spanish"},
      {"[Variables]\nLanguage=Spanish\nLanguage=French\n", "Variables", "Language", "French"},
      {"[Variables]\nLanguage=Spanish\n[Other]\nLanguage=Danish\n[VARIABLES]\nlanguage=French\n", "Variables",
       "Language", "French"},
      {"[Variables]\nLanguage=\n", "Variables", "Language", ""},
      {"[Variables]\n  Table = viewForm\n  Language = Spanish\n", "Variables", "Language", "Spanish"},
      {"[Variables]\n;Language=French\nnonsense\nLanguage=Spanish ; the user's\n", "Variables", "Language",
       "Spanish"},
      {"Language=Spanish\n", "Variables", "Language", "<default>"},
      {"[Other]\nLanguage=Spanish\n", "Variables", "Language", "<default>"},
      {"[Variables]\nLanguages=Spanish\n", "Variables", "Language", "<default>"},
  };
  for (const auto& c : cases) {
    write(c.text);
    EXPECT_EQ(Settings(file()).IniRead(c.section, c.key, "<default>"), c.expected) << c.text;
  }
}

TEST_F(SettingsFile, EveryReadSeesTheFileAsItIsNow) {
  const Settings settings(file());
  write("[Variables]\nLanguage=Spanish\n");
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "Spanish");
  write("[Variables]\nLanguage=French\n");
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "French");
  fs::remove(file());
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "English");
  for (const fs::path& unreadable : {dir, fs::path()})
    EXPECT_EQ(Settings(unreadable).IniRead("Variables", "Language", "English"), "English") << unreadable;
}

TEST_F(SettingsFile, AnOverrideWinsOverTheFile) {
  write("[Variables]\nLanguage=Spanish\nTable=viewForm\n");
  Settings settings(file());
  settings.SetOverride("variables", "LANGUAGE", "Danish");
  EXPECT_EQ(settings.IniRead("VARIABLES", "language", "English"), "Danish");
  EXPECT_EQ(settings.IniRead("Variables", "Table", ""), "viewForm");
  settings.SetOverride("Variables", "Language", "French");
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "French");
}

// Restores an environment variable when the test ends.
struct SavedEnv {
  explicit SavedEnv(const char* variable) : name(variable) {
    if (const char* current = getenv(variable)) value = current;
  }
  ~SavedEnv() { value ? setenv(name, value->c_str(), 1) : unsetenv(name); }
  const char* name;
  std::optional<std::string> value;
};

TEST(Settings, DefaultPathFollowsXdgConfigHomeElseHome) {
  const SavedEnv config("XDG_CONFIG_HOME"), home("HOME");
  const struct {
    const char *config, *home;
    fs::path expected;
  } cases[] = {
      {"/cfg", "/home/u", "/cfg/chkimport/settings.ini"},
      {"", "/home/u", "/home/u/.config/chkimport/settings.ini"},
      {nullptr, "/home/u", "/home/u/.config/chkimport/settings.ini"},
      {nullptr, "", fs::path()},
      {nullptr, nullptr, fs::path()},
  };
  for (const auto& c : cases) {
    c.config ? setenv("XDG_CONFIG_HOME", c.config, 1) : unsetenv("XDG_CONFIG_HOME");
    c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
    EXPECT_EQ(Settings::DefaultPath(), c.expected) << (c.config ? c.config : "(unset)");
  }
}

}  // namespace
}  // namespace chkimport
