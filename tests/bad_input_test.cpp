// Input no one should have to give, but users do: the import completes or
// stops with a clear message, nothing crashes, nothing is half-written.
// CHK files as users' editors left them keep every line that should be kept,
// in the stored code, a code table, or (when a line cannot be matched) in
// the listing pass's report. Names that look like SQL (quotes, brackets,
// blanks, semicolons, SQL words) are names and nothing else.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "import_harness.h"

namespace {

using namespace testing_support;
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
  const std::string told = AsAnotherUser([&] {
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
  execSql(run.db,
          "CREATE TABLE viewBare (Name TEXT, PageNumber INTEGER, Checkcode TEXT);"
          "INSERT INTO viewBare VALUES ('Age', 1, NULL);");
  run.chk = run.dir.write("form.chk", stored({"AGE", "MUSTENTER", "RANGE 1 5", "GOTO X", "END"}));
  EXPECT_EQ(silentImport(run.component, run.chk, run.db, "viewBare", kWrite), "");
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
  execSql(run.db,
          "INSERT INTO viewForm (Name, PageNumber) VALUES (NULL, 1);"
          "INSERT INTO viewForm (Name, PageNumber, Checkcode) VALUES ('AGE', 1, 'second');");
  EXPECT_EQ(run.run({"AGE", "GOTO X", "END", "NOSUCH", "X = 1", "END"}, kWrite), "");
  // The first row of the name gets the code; no other row gets any.
  EXPECT_EQ(querySql(run.db, "SELECT coalesce(Checkcode, '<null>') FROM viewForm ORDER BY rowid"),
            (V{stored({"GOTO X"}), "<null>", "second"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST(BadInput, ALockedDatabaseIsLeftUntouched) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(run.db.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  run.module->host.lockWait = std::chrono::seconds(1);
  const auto started = std::chrono::steady_clock::now();
  const std::string result = silentImport(run.component, run.chk, run.db, "viewForm", kWrite);
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

TEST(Messy, TrailingBlanksAndTabs) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name", .Type = "TEXT"}});
  EXPECT_EQ(run.runBytes("AGE \r\n  LEGAL \r\n    V2 \r\n    V3\t\r\n  END    \r\nEND    \r\n"
                         "NAME\t\r\n  CODES\r\n    1\tOne\r\n    2 \t Two\r\n  END\r\n  GOTO AGE \r\nEND\r\n",
                         kTables),
            "");
  EXPECT_EQ(querySql(run.db, "SELECT Age FROM codeAge ORDER BY rowid"), (V{"V2", "V3"}));
  // Words are split at blanks only; tabs are stripped from a word's ends.
  // "1<tab>One" is one word, the value; in "2 <tab> Two" the tab alone is an
  // empty word, which ends the words of the line, so the label is not read.
  EXPECT_EQ(querySql(run.db, "SELECT Name || '|' || Name1 FROM codeName ORDER BY rowid"),
            (V{"1\tONE|", "2|"}));
  EXPECT_NE(run.checkcode("Name").find("GOTO AGE\r\n"), std::string::npos) << run.checkcode("Name");
  EXPECT_EQ(run.log.str(), "");
}

// Each case: the file's bytes, then AGE's and NAME's stored code. None of
// them makes a code table.
TEST(Messy, EveryStatementIsKept) {
  const struct {
    std::string bytes;
    V age, name;
  } cases[] = {
      // Bare carriage returns inside a CRLF file.
      {"AGE\r\n  X = 1\r  Y = 2\r\nEND\r\nNAME\rGOTO AGE\r\nEND\r\n",
       {"ASSIGN X = 1", "ASSIGN Y = 2"},
       {"GOTO AGE"}},
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
    ImportRun fresh{std::vector<ViewRow>{{.Name = "Age"}, {.Name = "Name", .Type = "TEXT"}}};
    EXPECT_EQ(fresh.runBytes(c.bytes, kTables), "") << c.bytes;
    EXPECT_EQ(fresh.checkcode("Age"), stored(c.age)) << c.bytes;
    EXPECT_EQ(fresh.checkcode("Name"), stored(c.name)) << c.bytes;
    EXPECT_EQ(querySql(fresh.db, "SELECT count(*) FROM sqlite_master WHERE name LIKE 'code%'"), V{"0"});
    EXPECT_EQ(fresh.log.str(), "") << c.bytes;
  }
  // Between blocks, an unknown command is a field line that names no field.
  ImportRun listing({{.Name = "Age"}, {.Name = "Name"}});
  listing.runBytes(kLaterDialects, {});
  EXPECT_EQ(listing.unmatched(), V{"LABELBLOCK"});
}

// View tables and fields (whose names become a code table's and its
// column's) are imported into by their own names; other tables are left as
// they were.
TEST(HostileNames, ViewAndFieldNamesAreNamesWhateverTheyHold) {
  for (const std::string field : {"x\";DROP_TABLE_viewOther;--", "x]\"';y", "[x]"}) {
    const std::string view = "view Select * from viewOther; " + field;
    ImportRun run({{.Name = field}, {.Name = "Age"}}, view);
    execSql(run.db,
            "CREATE TABLE viewOther (Name TEXT, PageNumber INTEGER, Checkcode TEXT);"
            "INSERT INTO viewOther VALUES ('Age', 1, 'kept');");
    std::string upper = field;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(run.run({upper, "LEGAL", "1", "2", "END", "END", "AGE", "GOTO X", "END"}, kTables), "")
        << field;
    EXPECT_EQ(run.checkcode("Age"), stored({"GOTO X"})) << field;
    EXPECT_EQ(querySql(run.db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"),
              (V{view, "viewOther", "code" + field}))
        << field;
    EXPECT_EQ(querySql(run.db, "SELECT * FROM " + sqlName("code" + field)), (V{"1", "2"})) << field;
    EXPECT_EQ(querySql(run.db, "SELECT Checkcode FROM viewOther"), V{"kept"}) << field;
    EXPECT_EQ(run.log.str(), "") << field;
  }
}

// A --view value that is not exactly one of the view tables is refused by
// the set-up, and the file is not changed by a byte.
TEST(HostileNames, AViewNameThatIsNotAViewTableIsRefusedUntouched) {
  const V values = {"viewForm where Pagenumber >= 0", "[viewForm]", "viewform", "viewForm ", "sqlite_master"};
  for (const auto& value : values) {
    ImportRun run({{.Name = "Age"}});
    const std::string before = readFile(run.db);
    run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
    EXPECT_EQ(silentImport(run.component, run.chk, run.db, value, kTables), "Table Not In MDB") << value;
    EXPECT_EQ(readFile(run.db), before) << value;
  }
}

}  // namespace
