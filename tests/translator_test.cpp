#include <gtest/gtest.h>

#include "core/import_state.h"

#include <filesystem>
#include <string>
#include <vector>

#include "chkimport/catalog_translator.h"
#include "chkimport/vb_error.h"
#include "services/form.h"
#include "test_support.h"

// libgettextpo itself loses a few bytes per read (context strings, some parse
// errors); those are not ours to find.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libgettextpo\n";
}

namespace chkimport {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using testing_support::TempDir;

const char* const kSpanish = R"(msgid ""
msgstr "Content-Type: text/plain; charset=UTF-8\n"

msgctxt "menu"
msgid "Cancel"
msgstr "Anular"

msgid "Cancel"
msgstr "Cancelar"

msgid "Import complete"
msgstr "Importación terminada"

msgctxt "title"
msgid "Import complete"
msgstr "Fin"

#, fuzzy
msgid "Overwrite existing check code?"
msgstr "¿Sobrescribir?"

#~ msgid "Old text"
#~ msgstr "Texto viejo"

msgid "Not yet translated"
msgstr ""

msgctxt "button"
msgid "Close"
msgstr "Cerrar"
)";

struct Catalogs : ::testing::Test {
  Catalogs() { dir.write("Spanish.po", kSpanish); }
  TempDir dir;
  CatalogTranslator translator{dir.path()};
};

TEST_F(Catalogs, TranslatesWhatTheCatalogHasAndKeepsTheRestEnglish) {
  translator.setLANGUAGE("Spanish");
  const std::pair<std::string, std::string> cases[] = {
      {"Cancel", "Cancelar"},  // an entry without context wins over one with
      {"Import complete", "Importación terminada"},
      {"Close", "Cerrar"},
      {"Overwrite existing check code?", "Overwrite existing check code?"},
      {"Old text", "Old text"},
      {"Not yet translated", "Not yet translated"},
      {"cancel", "cancel"},
      {"", ""},  // not the header
  };
  for (const auto& [english, expected] : cases) EXPECT_EQ(translator.T(english), expected) << english;
}

TEST_F(Catalogs, FindsTheFileByNameElseWithoutRegardToCase) {
  dir.write("french.po", "msgid \"Cancel\"\nmsgstr \"Annuler\"\n");
  dir.write("FRENCH.po", "msgid \"Cancel\"\nmsgstr \"Abandonner\"\n");
  const struct {
    std::string language, file, cancel;
  } cases[] = {
      {"SPANISH", "Spanish.po", "Cancelar"}, {"spanish", "Spanish.po", "Cancelar"},
      {"french", "french.po", "Annuler"},    {"FRENCH", "FRENCH.po", "Abandonner"},
      {"French", "FRENCH.po", "Abandonner"},  // the first by name
  };
  for (const auto& c : cases) {
    CatalogTranslator fresh(dir.path());
    fresh.setLANGUAGE(c.language);
    EXPECT_EQ(fresh.CatalogFile(), dir.path() / c.file) << c.language;
    EXPECT_EQ(fresh.T("Cancel"), c.cancel) << c.language;
  }
}

TEST_F(Catalogs, ALanguageWithoutFileIsEnglish) {
  fs::create_directory(dir.path() / "Folder.po");
  translator.setLANGUAGE("Spanish");
  const std::string viaParent = "../" + dir.path().filename().string() + "/Spanish";  // a name, not a path
  for (const std::string& language : {"ENGLISH"s, "Klingon"s, viaParent, "Folder"s, ""s}) {
    translator.setLANGUAGE(language);
    EXPECT_TRUE(translator.CatalogFile().empty()) << language;
    EXPECT_EQ(translator.T("Cancel"), "Cancel") << language;
  }
}

TEST_F(Catalogs, TestModeRecordsEachMissingTextOnceInOrder) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"Spanish", {"Unknown", "Overwrite existing check code?", "Not yet translated"}},
      {"english", {}},
      {"Klingon", {"Unknown", "Cancel", "Overwrite existing check code?", "Not yet translated"}},
  };
  for (const auto& [language, missing] : cases) {
    CatalogTranslator fresh(dir.path());
    fresh.setLANGUAGE(language);
    fresh.T("Before the test");
    fresh.setTest(true);
    for (const char* text : {"Unknown", "Cancel", "Overwrite existing check code?", "Unknown", "",
                             "Not yet translated", "Cancel"})
      fresh.T(text);
    EXPECT_EQ(fresh.Missing(), missing) << language;
  }
}

// Error 5 naming the file and the line, nothing on stderr; the language in
// use stays until a good catalog comes.
TEST_F(Catalogs, AMalformedCatalogIsError5AndTheLanguageInUseStays) {
  const std::pair<std::string, std::string> cases[] = {
      {"msgid \"Cancel\"\nmsgstr \"Cancelar\"\n\nmsgid \"Cancel\"\nmsgstr \"Anular\"\n", "line 4: "},
      // An unterminated string is reported at the next line, as msgfmt does.
      {"msgid \"Cancel\"\nmsgstr \"Cancelar\"\n\nmsgid \"Open\nmsgstr \"Abrir\"\n", "line 5: "},
  };
  translator.setLANGUAGE("Spanish");
  for (const auto& [text, line] : cases) {
    const std::string file = dir.write("Broken.po", text);
    testing::internal::CaptureStderr();
    try {
      translator.setLANGUAGE("Broken");
      ADD_FAILURE() << "no error for " << text;
    } catch (const VbError& e) {
      EXPECT_EQ(e.Number, 5);
      EXPECT_NE(e.Description.find(file), std::string::npos) << e.Description;
      EXPECT_NE(e.Description.find(line), std::string::npos) << e.Description;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(translator.LANGUAGE(), "Spanish");
    EXPECT_EQ(translator.T("Cancel"), "Cancelar");
  }
  dir.write("Broken.po", "msgid \"Cancel\"\nmsgstr \"Reparado\"\n");
  translator.setLANGUAGE("Broken");
  EXPECT_EQ(translator.T("Cancel"), "Reparado");
}

TEST_F(Catalogs, AnUnreadableCatalogIsError5) {
  const fs::path locked = dir.write("Locked.po", kSpanish);
  fs::permissions(locked, fs::perms::none);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  const std::string told = testing_support::AsAnotherUser([&] {
    try {
      translator.setLANGUAGE("Locked");
    } catch (const VbError& e) {
      return std::to_string(e.Number) + " " + e.Description;
    }
    return std::string("no error");
  });
  EXPECT_EQ(told.substr(0, 2), "5 ") << told;
  EXPECT_NE(told.find(locked.string()), std::string::npos) << told;
  EXPECT_NE(told.find("Permission denied"), std::string::npos) << told;
}

TEST_F(Catalogs, ACatalogInAnotherCharsetGivesUtf8) {
  dir.write("German.po",
            "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n\n"
            "msgid \"Close\"\nmsgstr \"Schlie\xdf"
            "en\"\n");
  translator.setLANGUAGE("German");
  EXPECT_EQ(translator.T("Close"), "Schließen");
}

TEST_F(Catalogs, TranslateRecaptionsTheFormAndItsControls) {
  translator.setLANGUAGE("Spanish");
  ImportState st;
  Form form(st, "frmTest");
  form.Caption = "Import complete";
  form.Controls = {{.Name = "cmdCancel", .Caption = "Cancel", .ToolTipText = "Close"},
                   {.ToolTipText = "Unknown"}};
  translator.Translate(form);
  EXPECT_EQ(form.Caption + "|" + form.Controls[0].Caption + "|" + form.Controls[0].ToolTipText + "|" +
                form.Controls[1].Caption + "|" + form.Controls[1].ToolTipText,
            "Importación terminada|Cancelar|Cerrar||Unknown");
}

}  // namespace
}  // namespace chkimport
