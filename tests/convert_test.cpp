// Converting forms from their .REC and .CHK files: the CHK file found
// beside the .REC, what the commands tell, all or nothing, also when killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "chkimport/forms.h"
#include "import_harness.h"

namespace {

using namespace testing_support;

const std::string kDocs = CHKIMPORT_SOURCE_DIR "/../shared/realworld/dk-documentation/";

TEST(Convert, TheChkFileIsFoundBesideTheRecInAnyCase) {
  REQUIRE_REAL_FILES(kDocs);
  TempDir dir;
  const std::string rec = dir.write("STUDENT.REC", testing_support::readFile(kDocs + "STUDENT.rec"));
  std::ostringstream log;
  // None beside it: the view and the records, and a warning.
  auto r = chkimport::ConvertForm(rec, dir.file("first.db"), testing_support::quietOptions(dir, log));
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.chk, "");
  EXPECT_EQ(r.warnings, std::vector<std::string>{rec +
                                                 ": warning: no check code: Looked for STUDENT.chk (in any "
                                                 "case) in " +
                                                 dir.path().string() + "; name the CHK file with --chk."});
  EXPECT_EQ(querySql(dir.file("first.db"), "SELECT name FROM sqlite_master"),
            (std::vector<std::string>{"viewSTUDENT", "STUDENT"}));

  dir.write("student.chk", testing_support::readFile(kDocs + "STUDENT.chk"));
  r = chkimport::ConvertForm(rec, dir.file("a.db"), testing_support::quietOptions(dir, log));
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.chk, dir.file("student.chk"));

  // --chk names another.
  auto options = testing_support::quietOptions(dir, log);
  options.chk = dir.write("other.chk", "KODE\r\n  MUSTENTER\r\nEND\r\n");
  options.view = "viewOther";
  r = chkimport::ConvertForm(rec, dir.file("a.db"), options);
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(querySql(dir.file("a.db"), "SELECT Name FROM viewOther WHERE Lists IS NOT NULL"),
            std::vector<std::string>{"kode"});
  options.chk = dir.file("missing.chk");
  options.view = "viewThird";
  EXPECT_EQ(chkimport::ConvertForm(rec, dir.file("a.db"), options).result,
            "CHECK file not found. (" + dir.file("missing.chk") + ")");

  // The data table's name: taken, or not one for a data table; or no records at all.
  options.chk = "";
  options.dataTable = "Other";
  r = chkimport::ConvertForm(rec, dir.file("a.db"), options);
  EXPECT_TRUE(r.dataTableExists);
  EXPECT_EQ(r.result, dir.file("a.db") + ": a table of this name exists already: Other");
  options.dataTable = "viewData";
  EXPECT_EQ(chkimport::ConvertForm(rec, dir.file("a.db"), options).result,
            rec +
                ": the name of a data table must not begin with \"view\": viewData (choose another name with "
                "--data-table NAME)");
  options.noData = true;
  r = chkimport::ConvertForm(rec, dir.file("a.db"), options);
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.dataTable, "");
  EXPECT_EQ(querySql(dir.file("a.db"), "SELECT name FROM sqlite_master WHERE name NOT LIKE 'view%'"),
            (std::vector<std::string>{"STUDENT", "Other"}));

  // As many columns as a table can have: 1,997 fields and the data table's own three.
  options = testing_support::quietOptions(dir, log);
  for (const int fields : {1997, 1998}) {
    std::string wide = std::to_string(fields) + " 1\r\n";
    for (int i = 0; i < fields; ++i) wide += recLine("F" + std::to_string(i), 0, 1, "F") + "\r\n";
    const std::string wideRec = dir.write("wide" + std::to_string(fields) + ".rec", wide);
    EXPECT_EQ(chkimport::ConvertForm(wideRec, dir.file("wide.db"), options).result,
              fields == 1997
                  ? ""
                  : wideRec +
                        ": the form has more fields than a table can have columns: 1998 (convert the "
                        "form without its records, --no-data)");
  }
}

TEST(Convert, AnImportWithAnErrorLeavesTheDatabaseAsItWas) {
  REQUIRE_REAL_FILES(kDocs);
  for (const bool dbExists : {true, false}) {
    SCOPED_TRACE(dbExists ? "database exists" : "no database");
    TempDir dir;
    const std::string rec = dir.write("form.rec", testing_support::readFile(kDocs + "STUDENT.rec"));
    // A section of more than 501 lines is an error of the pass.
    std::string chk = "AGE\r\nAFTER ENTRY\r\n";
    for (int i = 0; i < 505; ++i) chk += "X = " + std::to_string(i) + "\r\n";
    dir.write("form.chk", chk + "END\r\nEND\r\n");
    const auto db = dir.file("forms.db");
    if (dbExists) testing_support::execSql(db, testing_support::viewTableSql("viewOld", {"AGE"}));
    const std::string before = dbExists ? testing_support::readFile(db) : "";
    const auto files = filesIn(dir);

    std::ostringstream log;
    const auto r = chkimport::ConvertForm(rec, db, testing_support::quietOptions(dir, log));
    // Each error is told on the log, and the result counts them.
    const std::string told = log.str();
    int errors = 0;
    for (auto at = told.find("error 9: Subscript out of range"); at != std::string::npos;
         at = told.find("error 9: Subscript out of range", at + 1))
      ++errors;
    EXPECT_GT(errors, 0);
    EXPECT_EQ(r.errors, errors);
    EXPECT_EQ(r.result, std::to_string(errors) +
                            " errors interrupted the import (see above); the database is as it was.");
    EXPECT_EQ(filesIn(dir), files);
    if (dbExists) {
      EXPECT_EQ(testing_support::readFile(db), before);
    }
  }
}

struct CliConvert : ::testing::Test {
  // A program that does not end within `seconds` is stopped and fails.
  testing_support::CommandResult run(const std::string& args, int seconds = 0) {
    const std::string limit = seconds > 0 ? "timeout -s KILL " + std::to_string(seconds) + " " : "";
    return runCommand(
        "XDG_CONFIG_HOME='" + dir.path().string() + "' " + limit + "'" CHKIMPORT_CLI "' " + args, dir);
  }
  TempDir dir;
};

TEST_F(CliConvert, NewviewAndConvertTellWhatTheyMade) {
  REQUIRE_REAL_FILES(kDocs);
  const auto db = dir.file("forms.db");
  auto r = run("newview --rec '" + kDocs + "bromar.rec' --db '" + db + "'");
  // What was made is a status line, on standard error.
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err,
      "chkimport: Created viewbromar with 10 fields.\nchkimport: File label: Marathon data - 1995 across "
      "bridges from Funen and\n");

  r = run("newview --rec '" + kDocs + "bromar.rec' --db '" + db + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "chkimport: " + db +
                ": a table of this name exists already: viewbromar (choose another name with --view NAME)\n");

  r = run("convert '" + kDocs + "STUDENT.rec' --db '" + db + "' --json");
  EXPECT_EQ(r.status, 0);
  auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["unmatched"].size(), 15u);  // the LABELBLOCK's lines
  for (const char* key : {"unmatched", "advice", "code_tables", "warnings"}) json.erase(key);
  EXPECT_EQ(json, nlohmann::json::parse(R"({"result": "", "table": "viewSTUDENT", "fields": 11, "errors": [],
      "rec": ")" + kDocs + R"(STUDENT.rec", "chk": ")" +
                                        kDocs + R"(STUDENT.chk", "code_lines": 20,
      "data_table": "STUDENT", "records": 0, "deleted_records": 0, "unread_values": 0, "damaged_records": 0})"));

  EXPECT_EQ(run("convert --db x").status, 2);
}

// A .REC path that is no file would be read without end; a CHK file that is
// a data file's header would land in the view as check code.
TEST_F(CliConvert, InputsThatAreNotWhatTheyClaimAreRefused) {
  const std::string rec = dir.write("form.rec", "1 1\r\n#age          1   1  30  33   1   0   2 112 Age\r\n");
  const std::string fifo = dir.file("fifo.rec"), db = dir.file("forms.db");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink(fifo.c_str(), dir.file("link.rec").c_str()), 0);
  run("--version");  // its output files are there from now on
  const auto files = filesIn(dir);
  for (const std::string& path : {std::string("/dev/zero"), fifo, dir.file("link.rec")}) {
    for (const std::string& command :
         {std::string("newview --encoding CP850 --rec"), "convert --chk '" + rec + "'"}) {
      const auto r = run(command + " '" + path + "' --db '" + db + "'", 30);
      EXPECT_EQ(r.status, 1) << command << " " << path;
      EXPECT_EQ(r.err, "chkimport: " + path + ": REC file not found.\n");
    }
  }
  const auto r = run("convert '" + rec + "' --chk '" + rec + "' --db '" + db + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "chkimport: " + rec + " is not a check file: it starts like the header of a .REC data file\n");
  EXPECT_EQ(filesIn(dir), files);
}

// The process group killed at any moment (a cancelled job): the database is
// as it was, or the form is converted whole, once SQLite has rolled back what
// the kill left, as the next program to open the file does; nothing else is
// left beside it.
TEST_F(CliConvert, KilledAtAnyMomentTheDatabaseIsAsItWasOrConverted) {
  // A form of 3,000 fields, each with code.
  std::string rec = "3000 1\r\n", chk;
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "F" + std::to_string(i);
    rec += recLine(name, 0, 3, name + " Field") + "\r\n";
    chk += name + "\r\n  AFTER ENTRY\r\n    IF " + name +
           " > 5 THEN\r\n      X = 1\r\n    ENDIF\r\n  END\r\nEND\r\n";
  }
  const std::string recFile = dir.write("big.rec", rec);
  dir.write("big.chk", chk);
  const auto db = dir.file("big.db");
  testing_support::execSql(db, testing_support::viewTableSql("viewOld", {"AGE"}));
  const std::string before = testing_support::readFile(db);
  const auto files = filesIn(dir);

  auto start = [&] {
    const pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
      execl(CHKIMPORT_CLI, "chkimport", "convert", recFile.c_str(), "--db", db.c_str(), "--no-data",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(child, child);
    return child;
  };
  // How long a whole conversion takes.
  const auto started = std::chrono::steady_clock::now();
  int status = 0;
  waitpid(start(), &status, 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::mt19937 random(std::random_device{}());
  std::uniform_real_distribution<double> moment(0.05, 1.0);
  int asItWas = 0;
  for (int kill = 0; kill < 6; ++kill) {
    dir.write("big.db", before);
    const auto after = std::chrono::duration_cast<std::chrono::microseconds>(whole * moment(random));
    SCOPED_TRACE("killed after " + std::to_string(after.count()) + " us");
    const pid_t child = start();
    std::this_thread::sleep_for(after);
    ::kill(-child, SIGKILL);
    waitpid(child, &status, 0);
    testing_support::execSql(db, "SELECT count(*) FROM sqlite_master");
    // A journal whose header the kill left unwritten is no journal to SQLite,
    // which overwrites it at the next write.
    const std::string journal = testing_support::readFile(db + "-journal");
    if (std::filesystem::exists(db + "-journal") && (journal.empty() || journal[0] == '\0'))
      std::filesystem::remove(db + "-journal");
    EXPECT_EQ(filesIn(dir), files);
    if (testing_support::readFile(db) == before) {
      ++asItWas;
    } else {
      EXPECT_EQ(querySql(db, "SELECT count(*) FROM viewbig WHERE Checkcode LIKE '%IF F%ASSIGN X = 1%'"),
                std::vector<std::string>{"3000"});
    }
  }
  EXPECT_GT(asItWas, 0);
}

}  // namespace
