// The settings file: a key found as the old INI reader found it, read
// afresh at every look-up.
#include "services/settings.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace chkimport {
namespace {

namespace fs = std::filesystem;

struct SettingsFile : ::testing::Test {
  void write(const std::string& text) const { dir.write("settings.ini", text); }
  fs::path file() const { return dir.file("settings.ini"); }
  testing_support::TempDir dir;
};

TEST_F(SettingsFile, IniReadFindsTheKey) {
  const struct {
    std::string text, section, key, expected;
  } cases[] = {
      {"[variables]\nlanguage = Spanish \n", "VARIABLES", "LANGUAGE", "Spanish"},
      {"[Variables]\r\nLanguage=Spanish\r\n", "Variables", "Language", "Spanish"},
      {"[Variables]\nLanguage=Spanish\n[Other]\nLanguage=Danish\n[VARIABLES]\nlanguage=French\n", "Variables",
       "Language", "French"},
      {"[Variables]\nLanguage=\n", "Variables", "Language", ""},
      {"[Variables]\n  Table = viewForm\n  Language = Spanish\n", "Variables", "Language", "Spanish"},
      {"[Variables]\n;Language=French\nnonsense\nLanguage=Spanish ; the user's\n", "Variables", "Language",
       "Spanish"},
      {"Language=Spanish\n", "Variables", "Language", "<default>"},
      {"[Variables]\nLanguages=Spanish\n", "Variables", "Language", "<default>"},
  };
  for (const auto& c : cases) {
    write(c.text);
    EXPECT_EQ(Settings(file()).IniRead(c.section, c.key, "<default>"), c.expected) << c.text;
  }
}

TEST_F(SettingsFile, EveryReadSeesTheFileAsItIsNowAndAnOverrideWins) {
  const Settings settings(file());
  write("[Variables]\nLanguage=Spanish\n");
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "Spanish");
  write("[Variables]\nLanguage=French\n");
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "French");
  fs::remove(file());
  EXPECT_EQ(settings.IniRead("Variables", "Language", "English"), "English");
  for (const fs::path& unreadable : {dir.path(), fs::path()})
    EXPECT_EQ(Settings(unreadable).IniRead("Variables", "Language", "English"), "English") << unreadable;
  // An override (the command line's) wins over the file.
  write("[Variables]\nLanguage=Spanish\nTable=viewForm\n");
  Settings overridden(file());
  overridden.SetOverride("variables", "LANGUAGE", "Danish");
  EXPECT_EQ(overridden.IniRead("VARIABLES", "language", "English"), "Danish");
  EXPECT_EQ(overridden.IniRead("Variables", "Table", ""), "viewForm");
}

}  // namespace
}  // namespace chkimport
