// The shipped catalogs: every text of the template translated, blanks and
// accelerators kept, and an import in each language end to end.
#include <gettext-po.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

struct Entry {
  std::string msgstr;
  bool fuzzy = false;
};

// msgid -> entry of a PO or POT file, without the header and obsolete
// entries; parse errors go into `errors`.
std::vector<std::string>* parseErrors = nullptr;

void onError(int severity, po_message_t, const char*, size_t lineno, size_t, int, const char* text) {
  if (severity != PO_SEVERITY_WARNING && parseErrors)
    parseErrors->push_back("line " + std::to_string(lineno) + ": " + (text ? text : "?"));
}
void onError2(int severity, po_message_t, const char*, size_t lineno, size_t, int, const char* text,
              po_message_t, const char*, size_t, size_t, int, const char*) {
  onError(severity, nullptr, nullptr, lineno, 0, 0, text);
}

std::map<std::string, Entry> readPo(const fs::path& file, std::vector<std::string>& errors) {
  parseErrors = &errors;
  const po_xerror_handler handler{onError, onError2};
  std::unique_ptr<std::remove_pointer_t<po_file_t>, decltype(&po_file_free)> po(
      po_file_read(file.c_str(), &handler), &po_file_free);
  parseErrors = nullptr;
  std::map<std::string, Entry> entries;
  if (!po) {
    errors.push_back("cannot read " + file.string());
    return entries;
  }
  std::unique_ptr<std::remove_pointer_t<po_message_iterator_t>, decltype(&po_message_iterator_free)> it(
      po_message_iterator(po.get(), nullptr), &po_message_iterator_free);
  while (po_message_t message = po_next_message(it.get())) {
    const std::string msgid = po_message_msgid(message);
    if (msgid.empty() || po_message_is_obsolete(message)) continue;
    entries[msgid] = {po_message_msgstr(message), po_message_is_fuzzy(message) != 0};
  }
  return entries;
}

std::map<std::string, Entry> readPo(const fs::path& file) {
  std::vector<std::string> errors;
  auto entries = readPo(file, errors);
  for (const auto& e : errors) ADD_FAILURE() << file << ": " << e;
  return entries;
}

// The texts of the templates that a catalog does not translate: absent,
// empty or fuzzy, each quoted on a line of its own.
std::string untranslated(const std::vector<fs::path>& templates, const fs::path& catalog) {
  const auto translations = readPo(catalog);
  std::set<std::string> texts;
  for (const auto& pot : templates)
    for (const auto& [msgid, entry] : readPo(pot)) texts.insert(msgid);
  std::string list;
  for (const auto& text : texts) {
    const auto found = translations.find(text);
    const char* why = found == translations.end()    ? "no entry"
                      : found->second.msgstr.empty() ? "empty"
                      : found->second.fuzzy          ? "fuzzy"
                                                     : nullptr;
    if (why) list += "  msgid \"" + text + "\"  (" + why + ")\n";
  }
  return list;
}

const fs::path kLanguages = CHKIMPORT_SOURCE_DIR "/languages";

std::vector<fs::path> shippedCatalogs() {
  std::set<fs::path> found;
  for (const auto& file : fs::directory_iterator(kLanguages))
    if (file.path().extension() == ".po") found.insert(file.path());
  return {found.begin(), found.end()};
}

// The shipped template, and the one the build extracted from the sources
// when it differs because texts were added since.
std::vector<fs::path> templates() {
  std::vector<fs::path> pots{kLanguages / "chkimport.pot"};
  if (fs::exists(CHKIMPORT_BINARY_DIR "/chkimport.pot"))
    pots.push_back(CHKIMPORT_BINARY_DIR "/chkimport.pot");
  return pots;
}

// Every text of the template translated, and nothing msgfmt finds fault with.
TEST(ShippedCatalogs, TranslateEveryTextOfTheTemplateAndPassMsgfmtCheck) {
  TempDir dir;
  for (const auto& catalog : shippedCatalogs()) {
    const std::string missing = untranslated(templates(), catalog);
    EXPECT_EQ(missing, "") << catalog.filename().string() << " does not translate:\n"
                           << missing << "(msgmerge --update languages/" << catalog.filename().string()
                           << " languages/chkimport.pot, then translate them)";
    const auto r = testing_support::runCommand("msgfmt --check -o /dev/null '" + catalog.string() + "'", dir);
    EXPECT_EQ(r.status, 0) << catalog << "\n" << r.err;
  }
}

size_t leadingBlanks(const std::string& s) {
  const auto at = s.find_first_not_of(' ');
  return at == std::string::npos ? s.size() : at;
}
size_t trailingBlanks(const std::string& s) {
  const auto at = s.find_last_not_of(' ');
  return at == std::string::npos ? s.size() : s.size() - 1 - at;
}

// The component puts its own blanks around texts, an accelerator is one '&',
// no text of the template is a format, and a translation keeps every
// "{name}" that the program fills in.
TEST(ShippedCatalogs, KeepBlanksAcceleratorsAndLineBreaks) {
  const auto count = [](const std::string& s, char c) { return std::count(s.begin(), s.end(), c); };
  for (const auto& catalog : shippedCatalogs()) {
    for (const auto& [msgid, entry] : readPo(catalog)) {
      if (entry.msgstr.empty()) continue;
      const std::string where =
          catalog.filename().string() + ": \"" + msgid + "\" -> \"" + entry.msgstr + "\"";
      EXPECT_EQ(leadingBlanks(entry.msgstr), leadingBlanks(msgid)) << where;
      EXPECT_EQ(trailingBlanks(entry.msgstr), trailingBlanks(msgid)) << where;
      for (char c : {'&', '%', '\r', '\n', '\t'}) EXPECT_EQ(count(entry.msgstr, c), count(msgid, c)) << where;
      const std::regex name("\\{[a-z]+\\}");
      auto names = [&](const std::string& text) {
        std::multiset<std::string> found;
        for (std::sregex_iterator it(text.begin(), text.end(), name), end; it != end; ++it)
          found.insert(it->str());
        return found;
      };
      EXPECT_EQ(names(entry.msgstr), names(msgid)) << where;
    }
  }
}

// One writing pass of the CLI in a language, on a form with MUSTENTER, RANGE,
// EXIT and a LEGAL list made into a code table.
// The language comes from --language, else the settings, else the locale.
struct LanguageCase {
  const char* name;
  const char* option;    // --language, or "" for none
  const char* settings;  // settings.ini, or "" for none
  const char* catalog;   // "" for English
  const char* locale = "LC_ALL=C.UTF-8";
  const char* warning = "";  // a line before the messages
};

class ImportInLanguage : public ::testing::TestWithParam<LanguageCase> {
 protected:
  ImportInLanguage() {
    if (*GetParam().catalog)
      catalog = readPo(fs::path(CHKIMPORT_BINARY_DIR "/languages") / GetParam().catalog);
    if (*GetParam().settings) {
      fs::create_directories(dir.path() / "chkimport");
      dir.write("chkimport/settings.ini", GetParam().settings);
    }
    db = dir.file("form.db");
    testing_support::execSql(db, testing_support::viewTableSql("viewForm", {"NAME", "AGE", "SEX"}));
    chk = dir.write(
        "form.chk",
        "NAME\r\n  MUSTENTER\r\nEND\r\nAGE\r\n  RANGE 0 99\r\n  AFTER\r\n    EXIT\r\n  END\r\nEND\r\n"
        "SEX\r\n  LEGAL\r\n    M\r\n    F\r\n  END\r\nEND\r\n");
  }

  // The text as the catalog gives it; English without one.
  std::string tr(const std::string& english) {
    if (!*GetParam().catalog) return english;
    const auto found = catalog.find(english);
    if (found == catalog.end() || found->second.msgstr.empty() || found->second.fuzzy) {
      ADD_FAILURE() << GetParam().catalog << " lacks \"" << english << "\"";
      return english;
    }
    EXPECT_NE(found->second.msgstr, english) << "not translated: " << english;
    return found->second.msgstr;
  }

  testing_support::CommandResult run(const std::string& view) {
    std::string command = std::string("env -u LC_ALL -u LC_MESSAGES -u LANG ") + GetParam().locale +
                          " XDG_CONFIG_HOME='" + dir.path().string() +
                          "' '" CHKIMPORT_CLI
                          "' import --ignore-new --tables --languages '" CHKIMPORT_BINARY_DIR
                          "/languages' --chk '" +
                          chk + "' --db '" + db + "' --view '" + view + "'";
    if (*GetParam().option) command += std::string(" --language ") + GetParam().option;
    return testing_support::runCommand(command, dir);
  }

  TempDir dir;
  std::map<std::string, Entry> catalog;
  std::string db, chk;
};

TEST_P(ImportInLanguage, StoresTheCommentLinesAndSaysErrorsInTheLanguage) {
  const auto r = run("viewForm");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, GetParam().warning);
  const std::string property = tr("is a property set by checkbox on field dialog.");
  const std::string expected[] = {
      "\r\n*MUSTENTER " + property + " \r\n*" + tr("Property has been set.") + "\r\n",
      "\r\n*RANGE " + property + " \r\n*" + tr("Property has been set.") + "\r\n*EXIT " +
          tr("is not supported in Vantrel 2000") + " \r\n*" + tr("Use an If-THEN block to do this.") + "\r\n",
      "\r\n*LEGAL " + tr("is not necessary in Checkcode") + "\r\n*" +
          tr("Codes have been placed in a new table named:") + " codeSEX\r\n*" +
          tr("that has been created in Plandor.") + "\r\n*" + tr("Please Right-click on the prompt for") +
          " SEX\r\n*" + tr("and click the CODES button.") + " \r\n*" +
          tr("Click the USE EXISTING TABLE button to link the field to") + " \r\n*codeSEX\r\n*" +
          tr("The fields of the new table are:") + " SEX\r\n",
  };
  EXPECT_EQ(testing_support::querySql(db, "SELECT Checkcode FROM viewForm ORDER BY rowid"),
            std::vector<std::string>(std::begin(expected), std::end(expected)));
  EXPECT_EQ(testing_support::querySql(db, "SELECT SEX FROM codeSEX ORDER BY rowid"),
            (std::vector<std::string>{"M", "F"}));
  // An error too is said in the language.
  const auto missing = run("");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, GetParam().warning + ("chkimport: " + tr("No Table Name Supplied") + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ImportInLanguage,
    ::testing::Values(LanguageCase{"English", "", "", ""},
                      LanguageCase{"OptionOverSettings", "FRENCH", "[Variables]\nLanguage=Spanish\n",
                                   "French.po"},
                      LanguageCase{"SettingsOverLocale", "", "[Variables]\nLanguage=french\n", "French.po",
                                   "LANG=es_ES.UTF-8"},
                      LanguageCase{"Locale", "", "", "Spanish.po", "LANG=es_ES.UTF-8"},
                      LanguageCase{"LcAllFirst", "", "", "French.po", "LC_ALL=fr_FR.UTF-8 LANG=es_ES.UTF-8"},
                      LanguageCase{"LcMessagesBeforeLang", "", "", "French.po", "LC_MESSAGES=fr_CA LANG=es"},
                      LanguageCase{"LocaleWithoutCatalog", "", "", "", "LANG=de_DE.UTF-8"},
                      LanguageCase{"NoCatalog", "Klingon", "", "", "LANG=es_ES.UTF-8",
                                   "chkimport: warning: there is no catalog for the language "
                                   "'Klingon' (the languages there are: English, French, "
                                   "Spanish); the texts stay in English.\n"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
