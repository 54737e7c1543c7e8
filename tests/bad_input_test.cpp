// Input no one should have to give, but users do: the import completes or
// stops with a clear message, nothing crashes, nothing is half-written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

std::string chkText(const V& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// Runs a writing pass over raw CHK bytes.
std::string writeBytes(ImportRun& run, const std::string& bytes, bool overwrite = true) {
  run.chk = run.dir.write("form.chk", bytes);
  return testing_support::silentImport(run.component, run.chk, run.db, "viewForm",
                                       {.overwrite = overwrite, .ignoreNew = true, .tables = true});
}

TEST(BadInput, ABinaryFileImportsNothingAndSaysSo) {
  ImportRun run({{.Name = "Age"}});
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>((i * 7919) % 256);
  EXPECT_EQ(writeBytes(run, bytes), "No matching fields were found.");
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

TEST(BadInput, ACHKFileThatCannotBeReadIsReported) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nEND\r\n");
  chmod(run.chk.c_str(), 0);
  chmod(run.db.c_str(), 0666);
  chmod(run.dir.path().c_str(), 0777);
  const std::string told = testing_support::AsAnotherUser([&] {
    std::string out = run.import({.overwrite = true, .ignoreNew = true}) + "|" + run.log.str();
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
  EXPECT_EQ(writeBytes(run, chkText({"AGE", "X = " + huge, many, "END"})), "");
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
  EXPECT_EQ(writeBytes(run, chkText(deep)), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1", "ENDBEFORE"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST(BadInput, LineEndsOfEveryKind) {
  for (const std::string end : {"\r", "\n", "\r\n"}) {
    ImportRun run({{.Name = "Age"}});
    EXPECT_EQ(writeBytes(run, "AGE" + end + "GOTO A" + end + "END" + end), "");
    EXPECT_EQ(run.checkcode("Age"), stored({"GOTO A"}));
  }
  ImportRun mixed({{.Name = "Age"}});
  EXPECT_EQ(writeBytes(mixed, "AGE\rGOTO A\nX = 1\r\nEND"), "");
  EXPECT_EQ(mixed.checkcode("Age"), stored({"GOTO A", "ASSIGN X = 1"}));
}

TEST(BadInput, AnIncludeFileThatVanishesIsReportedAsMissing) {
  ImportRun run({{.Name = "Age"}});
  run.dir.write("gone.chk", "GOTO B\r\n");
  std::filesystem::remove(run.dir.file("gone.chk"));
  EXPECT_EQ(writeBytes(run, chkText({"AGE", "INCLUDE " + run.dir.file("gone.chk"), "END"})), "");
  EXPECT_NE(run.checkcode("Age").find("CHECK file not found."), std::string::npos);
}

TEST(BadInput, ViewTablesWithoutTheColumnsACommandNeeds) {
  ImportRun run({{.Name = "Age"}});
  testing_support::execSql(run.db,
                           "CREATE TABLE viewBare (Name TEXT, PageNumber INTEGER, Checkcode TEXT);"
                           "INSERT INTO viewBare VALUES ('Age', 1, NULL);");
  run.chk = run.dir.write("form.chk", chkText({"AGE", "MUSTENTER", "RANGE 1 5", "GOTO X", "END"}));
  EXPECT_EQ(testing_support::silentImport(run.component, run.chk, run.db, "viewBare",
                                          {.overwrite = true, .ignoreNew = true}),
            "");
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
  EXPECT_EQ(writeBytes(run, chkText({"AGE", "GOTO X", "END"})), "");
  EXPECT_EQ(querySql(run.db, "SELECT coalesce(Checkcode, '<null>') FROM viewForm ORDER BY rowid"),
            (V{stored({"GOTO X"}), "<null>", "second"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST(BadInput, DatabasesThatCannotBeUsed) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
  const std::string good = testing_support::readFile(run.db);
  const std::string truncated = run.dir.write("truncated.db", good.substr(0, 100));
  const std::string garbage = run.dir.write("garbage.db", "SQLite format 2\n and then nonsense");
  for (const auto& db : {truncated, garbage})
    EXPECT_EQ(testing_support::silentImport(run.component, run.chk, db, "viewForm",
                                            {.overwrite = true, .ignoreNew = true}),
              "Cannot open database.")
        << db;
}

TEST(BadInput, ALockedDatabaseIsLeftUntouched) {
  ImportRun run({{.Name = "Age"}});
  run.chk = run.dir.write("form.chk", "AGE\r\nGOTO X\r\nEND\r\n");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(run.db.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  run.module->host.lockWait = std::chrono::seconds(1);
  const auto started = std::chrono::steady_clock::now();
  const std::string result = testing_support::silentImport(run.component, run.chk, run.db, "viewForm",
                                                           {.overwrite = true, .ignoreNew = true});
  const auto waited = std::chrono::steady_clock::now() - started;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  // The set-up waits as long as it is told for the lock, then gives up.
  EXPECT_GE(waited, std::chrono::seconds(1));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_EQ(result, "Cannot open database.");
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

}  // namespace
