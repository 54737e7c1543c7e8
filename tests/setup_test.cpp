// The silent import's set-up: which message comes back for which files and
// view tables, in the order the checks are made.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "chkimport/cls_chk_import.h"
#include "chkimport/identity_translator.h"
#include "component/get_view_tables.h"
#include "core/import_state.h"
#include "dialogs/forms.h"
#include "dialogs/frm_vlist.h"
#include "services/file_paths.h"
#include "test_support.h"

namespace chkimport {
namespace {

using testing_support::TempDir;

// Translates one text and counts the dialogs it was handed.
class MarkingTranslator : public IdentityTranslator {
 public:
  std::string T(const std::string& text) override {
    return text == "No Table Name Supplied" ? "[T]" + text : text;
  }
  void Translate(Form& dialog) override { translated.push_back(dialog.Name); }
  std::vector<std::string> translated;
};

struct Setup : ::testing::Test {
  Setup() {
    module->host.errorLog = &log;
    module->host.settings = Settings(dir.file("settings.ini"));
    component.SetObjLanguage(translator);
    chk = dir.write("form.chk", "AGE\r\nEND\r\n");
    db = dir.file("form.db");
    testing_support::execSql(db, testing_support::viewTableSql("viewForm", {"AGE"}) +
                                     testing_support::viewTableSql("viewOther", {"X"}));
  }

  std::string get(const std::string& chkName, const std::string& dbName, const std::string& table) {
    return component.GetCHKCode(chkName, dbName, table, false);
  }

  TempDir dir;
  std::ostringstream log;
  std::shared_ptr<ImportState> module = std::make_shared<ImportState>();
  clsCHKImport component{module};
  MarkingTranslator translator;
  std::string chk, db;
};

TEST_F(Setup, ResultTextsInTheOrderOfTheChecks) {
  const std::string missing = dir.file("missing");
  const std::string notADatabase = dir.write("text.db", "this is not a database, just some text\n");
  const std::string view1Only = dir.file("view1.db");
  testing_support::execSql(view1Only, testing_support::viewTableSql("View1", {"AGE"}));
  const std::string noTables = dir.file("empty.db");
  testing_support::execSql(noTables, "CREATE TABLE other (x); DROP TABLE other;");

  struct Case {
    const char* what;
    std::string chk, db, table, expected;
  };
  const std::vector<Case> cases = {
      {"no table name, both files missing", missing, missing, "", "[T]No Table Name Supplied"},
      {"missing database and missing CHK file", missing, missing, "viewForm", "MDB file not found."},
      {"empty database name", chk, "", "viewForm", "MDB file not found."},
      {"a folder as the database", chk, dir.path().string(), "viewForm", "MDB file not found."},
      {"not a database, CHK file missing", missing, notADatabase, "viewForm", "Cannot open database."},
      {"missing CHK file", missing, db, "viewForm", "CHECK file not found."},
      {"only a table named View1", chk, view1Only, "View1", "No tables available."},
      {"a database without tables", chk, noTables, "viewForm", "No tables available."},
      {"table name differing in case", chk, db, "viewform", "Table Not In MDB"},
  };
  for (const auto& c : cases) EXPECT_EQ(get(c.chk, c.db, c.table), c.expected) << c.what;
}

TEST_F(Setup, ASuccessfulSetUpRecordsTheFolderAndFillsTheChooserList) {
  std::string strCHKName = chk, strDBName = db, strTableName = "viewOther";
  bool blnShowGUI = false;
  EXPECT_EQ(GetViewTables(*module, strCHKName, strDBName, strTableName, blnShowGUI), "");
  EXPECT_EQ(module->strCHKFolder, dir.path().string() + "/");
  auto* chooser = Loaded<FrmVList>(*module);
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(chooser->listTable().List, (std::vector<std::string>{"viewForm", "viewOther"}));
  // Loading the chooser handed it to the translator.
  EXPECT_EQ(translator.translated, std::vector<std::string>{"frmVList"});
  EXPECT_TRUE(module->objErrorStack->Labels().empty());

  // A second set-up builds the list afresh; a CHK name without a folder
  // keeps the folder of the one before.
  testing_support::InFolder inFolder(dir.path());
  strCHKName = "form.chk";
  EXPECT_EQ(GetViewTables(*module, strCHKName, strDBName, strTableName, blnShowGUI), "");
  EXPECT_EQ(Loaded<FrmVList>(*module)->listTable().ListCount(), 2);
  module->strCHKFolder = "/earlier/";
  EXPECT_EQ(GetViewTables(*module, strCHKName, strDBName, strTableName, blnShowGUI), "");
  EXPECT_EQ(module->strCHKFolder, "/earlier/");
}

TEST_F(Setup, ACancelLeftFromAnEarlierDialogIsReturnedAfterTheOtherChecks) {
  module->strResult = "CANCEL";
  EXPECT_EQ(get(chk, db, "viewForm"), "CANCEL");
  EXPECT_EQ(get(chk, dir.file("missing"), "viewForm"), "MDB file not found.");
}

TEST(SetupPaths, TheCHKFolderEndsAtTheLastSeparator) {
  struct Case {
    const char* path;
    const char* folder;
  };
  for (const Case c : {Case{R"(C:\a\b\x.chk)", R"(C:\a\b\)"}, Case{"/data/forms/x.chk", "/data/forms/"},
                       Case{R"(/data/old\x.chk)", R"(/data/old\)"}, Case{"x.chk", ""}, Case{"", ""}})
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
}

TEST(Factory, CreatesTheComponentByItsProgID) {
  EXPECT_NE(CreateObject("Quorvant.clsCHKImport"), nullptr);
  EXPECT_NE(CreateObject("quorvant.CLSCHKIMPORT"), nullptr);
  EXPECT_EQ(testing_support::ErrorOf([&] { CreateObject("Quorvant.Other"); }), 429);
}

}  // namespace
}  // namespace chkimport
