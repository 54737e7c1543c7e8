// Names that look like SQL: view tables and fields whose names hold quotes,
// brackets, blanks, semicolons or SQL words are names and nothing else.
#include <gtest/gtest.h>

#include <fstream>

#include "import_harness.h"

namespace {

using testing_support::execSql;
using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

V tableNames(const std::string& db) {
  return querySql(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
}

// Every view table of the database is imported into by its own name, and
// the other tables are left as they were.
TEST(HostileNames, ViewTablesAreNamesWhateverTheyHold) {
  const V names = {"view Form",
                   "view'Form",
                   "view\"Form",
                   "view;Form",
                   "view]Form",
                   "view[Form]",
                   "view\"]'; Form",
                   "viewForm; DROP TABLE viewOther; --",
                   "viewForm\" where 1 = 1; --",
                   "view Select * from viewOther where Pagenumber >= 0"};
  for (const auto& name : names) {
    ImportRun run({{.Name = "Age"}, {.Name = "Sex"}}, name);
    execSql(run.db,
            "CREATE TABLE viewOther (Name TEXT, PageNumber INTEGER, Checkcode TEXT);"
            "INSERT INTO viewOther VALUES ('Age', 1, 'kept');");
    EXPECT_EQ(run.run({"AGE", "GOTO SEX", "END", "SEX", "LEGAL", "1", "2", "END", "END"},
                      {.overwrite = true, .ignoreNew = true, .tables = true}),
              "")
        << name;
    EXPECT_EQ(run.checkcode("Age"), stored({"GOTO SEX"})) << name;
    EXPECT_EQ(querySql(run.db, "SELECT Checkcode FROM viewOther"), V{"kept"}) << name;
    EXPECT_EQ(run.log.str(), "") << name;
  }
}

// A --view value that is not exactly one of the view tables is refused by
// the set-up, and the file is not changed by a byte.
TEST(HostileNames, AViewNameThatIsNotAViewTableIsRefusedUntouched) {
  const V values = {"viewForm where Pagenumber >= 0",
                    "viewForm; DROP TABLE viewForm",
                    "[viewForm]",
                    "\"viewForm\"",
                    "viewform",
                    " viewForm",
                    "viewForm ",
                    "viewForm\r\n",
                    "sqlite_master",
                    "Form"};
  for (const auto& value : values) {
    ImportRun run({{.Name = "Age"}});
    const std::string before = testing_support::readFile(run.db);
    run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
    EXPECT_EQ(testing_support::silentImport(run.component, run.chk, run.db, value,
                                            {.overwrite = true, .ignoreNew = true, .tables = true}),
              "Table Not In MDB")
        << value;
    EXPECT_EQ(testing_support::readFile(run.db), before) << value;
  }
}

// Field names go into code tables as the table's and the column's names.
TEST(HostileNames, CodeTablesFromFieldNamesThatLookLikeSQL) {
  const V fields = {"x\";DROP_TABLE_viewForm;--",
                    "O'Brien",
                    "x');DELETE_FROM_viewForm;--",
                    "a\"\"b",
                    "x[y",
                    "[x]",
                    "x]\"';y"};
  for (const auto& field : fields) {
    ImportRun run({{.Name = field}, {.Name = "Age"}});
    std::string upper;
    for (char c : field) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(run.run({upper, "LEGAL", "1", "2", "END", "END", "AGE", "GOTO X", "END"},
                      {.overwrite = true, .ignoreNew = true, .tables = true}),
              "")
        << field;
    EXPECT_EQ(run.checkcode("Age"), stored({"GOTO X"})) << field;
    const V tables = tableNames(run.db);
    ASSERT_EQ(tables.size(), 2u) << field;
    EXPECT_EQ(tables[0], "viewForm");
    EXPECT_EQ(tables[1], "code" + field);
    EXPECT_EQ(querySql(run.db, "SELECT * FROM " + testing_support::sqlName(tables[1])), (V{"1", "2"}))
        << field;
    EXPECT_EQ(run.log.str(), "") << field;
  }
}

}  // namespace
