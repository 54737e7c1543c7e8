// Input no one should have to give, but users do: the import completes or
// stops with a clear message, nothing crashes, nothing is half-written.
// CHK files as users' editors left them keep every line that should be kept,
// in the stored code, a code table, or (when a line cannot be matched) in
// the listing pass's report. Names that look like SQL (quotes, brackets,
// blanks, semicolons, SQL words) are names and nothing else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "import_harness.h"

namespace {

using testing_support::execSql;
using testing_support::ImportRun;
using testing_support::kTables;
using testing_support::kWrite;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

TEST(BadInput, ABinaryFileImportsNothingAndSaysSo) {
  ImportRun run({{.Name = "Age"}});
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>((i * 7919) % 256);
  EXPECT_EQ(run.runBytes(bytes), "No matching fields were found.");
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

TEST(BadInput, ACHKFileThatCannotBeReadIsReported) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nEND\r\n");
  chmod(run.chk.c_str(), 0);
  chmod(run.db.c_str(), 0666);
  chmod(run.dir.path().c_str(), 0777);
  const std::string told = testing_support::AsAnotherUser([&] {
    std::string out = run.import(kWrite) + "|" + run.log.str();
    for (const auto& e : run.component.Errors()) out += "|" + std::to_string(e.number) + " " + e.description;
    return out;
  });
  EXPECT_EQ(told, "||75 Path/File access error: " + run.chk);
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

TEST(BadInput, HugeLinesAndLinesOfManyWords) {
  ImportRun run({{.Name = "Age"}});
  const std::string huge(10 * 1024 * 1024, 'x');
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "W" + std::to_string(i) + " = ";
  EXPECT_EQ(run.runBytes(stored({"AGE", "X = " + huge, many, "END"})), "");
  const std::string code = run.checkcode("Age");
  EXPECT_EQ(code.size(), std::string("ASSIGN X = ").size() + huge.size() + 2 + 7 + many.size() - 1 + 2);
  EXPECT_EQ(run.log.str(), "");
}

TEST(BadInput, DeepNestingAndEndsWithoutBlocks) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  V deep = {"AGE"};
  for (int i = 0; i < 1000; ++i) deep.push_back("BEFORE ENTRY");
  deep.push_back("X = 1");
  for (int i = 0; i < 1001; ++i) deep.push_back("END");
  for (int i = 0; i < 5000; ++i) deep.push_back("END");
  deep.insert(deep.end(), {"NAME", "GOTO AGE", "END"});
  EXPECT_EQ(run.runBytes(stored(deep)), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1", "ENDBEFORE"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST(BadInput, ViewTablesWithoutTheColumnsACommandNeeds) {
  ImportRun run({{.Name = "Age"}});
  testing_support::execSql(run.db,
                           "CREATE TABLE viewBare (Name TEXT, PageNumber INTEGER, Checkcode TEXT);"
                           "INSERT INTO viewBare VALUES ('Age', 1, NULL);");
  run.chk = run.dir.write("form.chk", stored({"AGE", "MUSTENTER", "RANGE 1 5", "GOTO X", "END"}));
  EXPECT_EQ(testing_support::silentImport(run.component, run.chk, run.db, "viewBare", kWrite), "");
  // The commands that need Lists or Type fail, each reported; the rest of
  // the field's code is written.
  const std::string log = run.log.str();
  EXPECT_NE(log.find("error 3265: Item not found in this collection."), std::string::npos) << log;
  const auto code = querySql(run.db, "SELECT Checkcode FROM viewBare");
  ASSERT_EQ(code.size(), 1u);
  EXPECT_NE(code[0].find("GOTO X"), std::string::npos) << code[0];
}

TEST(BadInput, NullAndDuplicateNames) {
  ImportRun run({{.Name = "Age"}});
  testing_support::execSql(run.db,
                           "INSERT INTO viewForm (Name, PageNumber) VALUES (NULL, 1);"
                           "INSERT INTO viewForm (Name, PageNumber, Checkcode) VALUES ('AGE', 1, 'second');");
  EXPECT_EQ(run.run({"AGE", "GOTO X", "END", "NOSUCH", "X = 1", "END"}, kWrite), "");
  // The first row of the name gets the code; no other row gets any.
  EXPECT_EQ(querySql(run.db, "SELECT coalesce(Checkcode, '<null>') FROM viewForm ORDER BY rowid"),
            (V{stored({"GOTO X"}), "<null>", "second"}));
  EXPECT_EQ(run.log.str(), "");
}

// A database file cut short after its header.
TEST(BadInput, ATruncatedDatabaseCannotBeOpened) {
  ImportRun run({{.Name = "Age"}});
  const std::string truncated =
      run.dir.write("truncated.db", testing_support::readFile(run.db).substr(0, 100));
  run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
  EXPECT_EQ(testing_support::silentImport(run.component, run.chk, truncated, "viewForm", kWrite),
            "Cannot open database.");
}

TEST(BadInput, ALockedDatabaseIsLeftUntouched) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(run.db.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  run.module->host.lockWait = std::chrono::seconds(1);
  const auto started = std::chrono::steady_clock::now();
  const std::string result =
      testing_support::silentImport(run.component, run.chk, run.db, "viewForm", kWrite);
  const auto waited = std::chrono::steady_clock::now() - started;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // The set-up waits as long as it is told for the lock, then gives up.
  EXPECT_GE(waited, std::chrono::seconds(1));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_EQ(result, "Cannot open database.");
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

const std::string kLaterDialects =
    "AGE\r\n  TOPOFSCREEN 2\r\n  TYPE COMMENT ALLFIELDS BLUE\r\n  MISSINGVALUE 9\r\n  LABELBLOCK\r\n"
    "  X = 1\r\nEND\r\nLABELBLOCK\r\nNAME\r\nGOTO AGE\r\nEND\r\n";

struct Messy : ::testing::Test {
  // A writing pass over raw bytes, code tables on; "" when it completed.
  std::string write(const std::string& bytes) { return run.runBytes(bytes, kTables); }
  // The lines the listing pass reports as naming no field.
  V unmatched(const std::string& bytes) {
    run.runBytes(bytes, {.overwrite = true, .tables = true});
    return run.unmatched();
  }
  V table(const std::string& sql) const { return querySql(run.db, sql); }

  ImportRun run{std::vector<testing_support::ViewRow>{{.Name = "Age"}, {.Name = "Name", .Type = "TEXT"}}};
};

TEST_F(Messy, KeywordsInLowerAndMixedCase) {
  EXPECT_EQ(write("age\r\n  mustenter\r\n  before entry\r\n    x = 1\r\n  end\r\n  Goto Name\r\nend\r\n"
                  "name\r\nLegal\r\n1\r\n2\r\nEnd\r\nEnd\r\n"),
            "");
  EXPECT_EQ(run.checkcode("Age"),
            stored({"*MUSTENTER is a property set by checkbox on field dialog. ", "*Property has been set.",
                    "ASSIGN x = 1", "ENDBEFORE", "Goto Name"}));
  EXPECT_EQ(run.lists("Age"), "M");
  EXPECT_EQ(table("SELECT Name FROM codeName ORDER BY rowid"), (V{"1", "2"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST_F(Messy, TrailingBlanksAndTabs) {
  EXPECT_EQ(write("AGE \r\n  LEGAL \r\n    V2 \r\n    V3\t\r\n  END    \r\nEND    \r\n"
                  "NAME\t\r\n  CODES\r\n    1\tOne\r\n    2 \t Two\r\n  END\r\n  GOTO AGE \r\nEND\r\n"),
            "");
  EXPECT_EQ(table("SELECT Age FROM codeAge ORDER BY rowid"), (V{"V2", "V3"}));
  // Words are split at blanks only; tabs are stripped from a word's ends.
  // "1<tab>One" is one word, the value; in "2 <tab> Two" the tab alone is an
  // empty word, which ends the words of the line, so the label is not read.
  EXPECT_EQ(table("SELECT Name || '|' || Name1 FROM codeName ORDER BY rowid"), (V{"1\tONE|", "2|"}));
  EXPECT_NE(run.checkcode("Name").find("GOTO AGE\r\n"), std::string::npos) << run.checkcode("Name");
  EXPECT_EQ(run.log.str(), "");
}

// Curly quotes (Windows-1252 0x93 and 0x94) are text, not string
// delimiters: they arrive as UTF-8, and a quoted message of several words
// is several words.
TEST_F(Messy, TypographicQuotes) {
  EXPECT_EQ(write("AGE\r\n  HELP \x93Weight in kg\x94\r\n  IF NAME = \x93X\x94 THEN GOTO NAME ENDIF\r\n"
                  "  TYPE \x93Please check\x94 12\r\nEND\r\n"),
            "");
  const std::string code = run.checkcode("Age");
  EXPECT_NE(code.find("*HELP \u201CWeight in kg\u201D\r\n"), std::string::npos) << code;
  EXPECT_NE(code.find("IF NAME = \u201CX\u201D  THEN\r\nGOTO NAME\r\nEND\r\n"), std::string::npos) << code;
  // TYPE shows word 1 as its message: with no quote to hold them together
  // that is the first word alone.
  EXPECT_NE(code.find("DIALOG \u201CPlease "), std::string::npos) << code;
  EXPECT_EQ(code.find("check\u201D"), std::string::npos) << code;
}

// Each case: the file's bytes, then AGE's and NAME's stored code. None of
// them makes a code table.
TEST_F(Messy, EveryStatementIsKept) {
  const struct {
    std::string bytes;
    V age, name;
  } cases[] = {
      // Bare carriage returns inside a CRLF file.
      {"AGE\r\n  X = 1\r  Y = 2\r\nEND\r\nNAME\rGOTO AGE\r\nEND\r\n",
       {"ASSIGN X = 1", "ASSIGN Y = 2"},
       {"GOTO AGE"}},
      // A list header needs to stand alone: "legal 2 end" is a one-line form
      // the keyword table does not know, stored as it stands.
      {"AGE\r\n  legal 2 end\r\n  X = 1\r\nEND\r\nNAME\r\n  LEGAL 1 2 3 END\r\nEND\r\n",
       {"legal 2 end", "ASSIGN X = 1"},
       {"LEGAL 1 2 3 END"}},
      // A file that ends inside an open block.
      {"NAME\r\n  GOTO AGE\r\nEND\r\nAGE\r\n  X = 1\r\n  AFTER ENTRY\r\n    GOTO NAME\r\n",
       {"ASSIGN X = 1", "ENDBEFORE", "GOTO NAME"},
       {"GOTO AGE"}},
      // A value list becomes a table at its END: a file that ends inside one
      // keeps the list's comment but makes no table.
      {"NAME\r\nGOTO AGE\r\nEND\r\nAGE\r\n  GOTO NAME\r\n  LEGAL\r\n    1\r\n    2\r\n",
       {"GOTO NAME", "*LEGAL is not necessary in Checkcode"},
       {"GOTO AGE"}},
      // Unpaired ELSE and ENDIF lines are carried over as they are, and the
      // next field block is still found.
      {"AGE\r\n  IF X = 1 THEN\r\n    Y = 2\r\n  ELSE\r\n  ELSE\r\n    Y = 3\r\n  ENDIF\r\n  ENDIF\r\n"
       "  ENDIF\r\nEND\r\nNAME\r\n  IF A = 1 THEN\r\n    GOTO AGE\r\nEND\r\n",
       {"IF X = 1  THEN", "ASSIGN Y = 2", "ELSE", "ELSE", "ASSIGN Y = 3", "END", "END", "END"},
       {"IF A = 1  THEN", "GOTO AGE"}},
      // Commands of later dialects are stored unchanged. TYPE is known:
      // TYPE COMMENT gets TYPE's advisory, which names the first two words.
      {kLaterDialects,
       {"TOPOFSCREEN 2", "*TYPE COMMENT is not supported in Vantrel 2000", "MISSINGVALUE 9", "LABELBLOCK",
        "ASSIGN X = 1"},
       {"GOTO AGE"}},
  };
  for (const auto& c : cases) {
    ImportRun fresh{std::vector<testing_support::ViewRow>{{.Name = "Age"}, {.Name = "Name", .Type = "TEXT"}}};
    EXPECT_EQ(fresh.runBytes(c.bytes, kTables), "") << c.bytes;
    EXPECT_EQ(fresh.checkcode("Age"), stored(c.age)) << c.bytes;
    EXPECT_EQ(fresh.checkcode("Name"), stored(c.name)) << c.bytes;
    EXPECT_EQ(querySql(fresh.db, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'code%'"), V{"0"});
    EXPECT_EQ(fresh.log.str(), "") << c.bytes;
  }
  // Between blocks, an unknown command is a field line that names no field.
  EXPECT_EQ(unmatched(kLaterDialects), V{"LABELBLOCK"});
}

V tableNames(const std::string& db) {
  return querySql(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
}

// Every view table of the database is imported into by its own name, and
// the other tables are left as they were.
TEST(HostileNames, ViewTablesAreNamesWhateverTheyHold) {
  const V names = {"view Form",
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
    EXPECT_EQ(
        run.run({"AGE", "GOTO SEX", "END", "SEX", "LEGAL", "1", "2", "END", "END"}, testing_support::kTables),
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
    EXPECT_EQ(testing_support::silentImport(run.component, run.chk, run.db, value, testing_support::kTables),
              "Table Not In MDB")
        << value;
    EXPECT_EQ(testing_support::readFile(run.db), before) << value;
  }
}

// Field names go into code tables as the table's and the column's names.
TEST(HostileNames, CodeTablesFromFieldNamesThatLookLikeSQL) {
  const V fields = {"x\";DROP_TABLE_viewForm;--", "O'Brien", "[x]", "x]\"';y"};
  for (const auto& field : fields) {
    ImportRun run({{.Name = field}, {.Name = "Age"}});
    std::string upper;
    for (char c : field) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(
        run.run({upper, "LEGAL", "1", "2", "END", "END", "AGE", "GOTO X", "END"}, testing_support::kTables),
        "")
        << field;
    EXPECT_EQ(run.checkcode("Age"), stored({"GOTO X"})) << field;
    EXPECT_EQ(tableNames(run.db), (V{"viewForm", "code" + field})) << field;
    EXPECT_EQ(querySql(run.db, "SELECT * FROM " + testing_support::sqlName("code" + field)), (V{"1", "2"}))
        << field;
    EXPECT_EQ(run.log.str(), "") << field;
  }
}

}  // namespace
