// The command-line host: exit status, where the result goes, --json, views.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "test_support.h"

namespace {

using namespace testing_support;

struct Cli : ::testing::Test {
  Cli() {
    db = dir.file("form.db");
    testing_support::execSql(db, testing_support::viewTableSql("viewForm", {"AGE"}) +
                                     testing_support::viewTableSql("viewAnother", {"X"}) +
                                     "CREATE TABLE codeAGE (AGE TEXT);");
    chk = dir.write("form.chk", "AGE\r\n  RANGE 0 99\r\nEND\r\n");
  }

  // With a settings file of the test's own, so the user's cannot interfere,
  // and in the locale given.
  testing_support::CommandResult run(const std::string& args, const std::string& locale = "LC_ALL=C.UTF-8") {
    return runCommand("env -u LC_ALL -u LC_MESSAGES -u LANG -u COLUMNS " + locale + " XDG_CONFIG_HOME='" +
                          dir.path().string() + "' '" CHKIMPORT_CLI "' " + args,
                      dir);
  }

  TempDir dir;
  std::string db, chk;
};

// What is wrong, and the nearest command or option; with --json as JSON. A
// text encoding iconv does not know is a usage error.
TEST_F(Cli, UsageErrorsExitWithTwo) {
  const std::string see = "(see 'chkimport import --help')\n";
  const struct {
    std::string args, err;
  } cases[] = {
      {"",
       "chkimport: no command given; the commands are: import views dialog report newview convert help\n"
       "(see 'chkimport --help')\n"},
      {"frobnicate", "chkimport: 'frobnicate' is not a chkimport command\n"},
      {"import --db x --view y", "chkimport: missing option: --chk\n" + see},
      {"import -c a -d b -v c --overwrit",
       "chkimport: unknown option: --overwrit; did you mean '--overwrite'?\n" + see},
      {"import -c a -d b -v c --color=sometimes",
       "chkimport: --color: 'sometimes' is none of auto, always, never\n(see 'chkimport --help')\n"},
      {"convert a --db b --encoding bogus",
       "chkimport: --encoding: unknown text encoding 'bogus': use a name that iconv --list shows, such as "
       "UTF-8, UTF-16, WINDOWS-1252, CP850 or ISO-8859-1\n(see 'chkimport convert --help')\n"},
  };
  for (const auto& c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  const auto json = run("improt --json");
  EXPECT_EQ(json.status, 2);
  EXPECT_EQ(json.err, "");
  EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json::parse(R"({"error": {"code": "usage",
      "message": "'improt' is not a chkimport command; did you mean 'import'?", "number": 0, "routines": []}})"));
}

TEST_F(Cli, HelpAndVersion) {
  EXPECT_EQ(run("help import").out, run("import --help").out);
  EXPECT_EQ(run("-V").out, "chkimport " CHKIMPORT_VERSION "\n");
}

// Results go to standard output with status 0, messages to standard error
// with status 1.
TEST_F(Cli, ResultsMessagesAndStatus) {
  const std::string nowhere = dir.file("nowhere.db");
  const struct {
    std::string args;
    int status;
    std::string out, err;
  } cases[] = {
      {"views --db '" + db + "'", 0, "viewForm\nviewAnother\n", ""},
      {"import --chk '" + chk + "' --db '" + nowhere + "' --view viewForm", 1, "", "MDB file not found."},
      {"report --db '" + nowhere + "' --view viewForm --out '" + dir.file("r.txt") + "'", 1, "",
       "MDB file not found."},
  };
  for (const auto& c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err.empty() ? "" : "chkimport: " + c.err + "\n") << c.args;
  }
}

// A view table that is not there: the command line names the view tables
// there are and the one that differs only in case, for scripts as data.
TEST_F(Cli, AViewTableThatIsNotThereIsNamedWithThoseThereAre) {
  const auto r = run("import --chk '" + chk + "' --db '" + db + "' --view viewform");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "chkimport: Table Not In MDB\nchkimport: viewform is not a view table of " + db +
                       "; its view tables are: viewForm, viewAnother\n"
                       "chkimport: viewForm differs only in case: use --view viewForm\n");
  const auto json = run("import --json --chk '" + chk + "' --db '" + db + "' --view viewNone");
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.err, "");
  const auto out = nlohmann::json::parse(json.out);
  EXPECT_EQ(out["result"], "Table Not In MDB");
  EXPECT_EQ(out["error"], nlohmann::json::parse(R"({"code": "table-not-found", "message": "Table Not In MDB",
      "number": 0, "routines": [], "table": "viewNone", "view_tables": ["viewForm", "viewAnother"],
      "differs_only_in_case": null})"));
}

// --json on every command that prints results, failures as JSON too.
TEST_F(Cli, JsonOnEveryCommandThatPrintsResults) {
  const struct {
    std::string args, json;
    int status;
  } cases[] = {
      {"views --json --db '" + db + "'",
       R"({"views": [{"name": "viewForm", "rows": 1}, {"name": "viewAnother", "rows": 1}]})", 0},
      {"report --json -d '" + db + "' -v viewForm -o '" + dir.file("out.txt") + "'",
       R"({"report": ")" + dir.file("out.txt") + R"(", "view": "viewForm"})", 0},
      {"import --json -c none.chk -d '" + db + "' -v viewForm",
       R"({"result": "CHECK file not found.", "unmatched": [], "unmatched_fields": [], "errors": [],
       "error": {"code": "chk-not-found", "message": "CHECK file not found.", "number": 0, "routines": []}})",
       1},
  };
  for (const auto& c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err, "") << c.args;
    EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse(c.json)) << c.args;
  }
  const auto converted = run("convert --json '" + dir.file("none.rec") + "' -d '" + db + "'");
  EXPECT_EQ(converted.status, 1);
  EXPECT_EQ(nlohmann::json::parse(converted.out)["error"]["code"], "rec-not-found");
}

// "-" is standard input for --chk (INCLUDE then reads from the current
// folder) and standard output for the report.
TEST_F(Cli, ADashIsStandardInputOrOutput) {
  std::filesystem::create_directories(dir.file("other"));
  dir.write("other/form.chk", "AGE\r\n  INCLUDE COMMON.CHK\r\nEND\r\n");
  dir.write("common.chk", "GOTO COMMON\r\n");
  const auto r = runCommand(
      "(cd '" + dir.path().string() +
          "' && '" CHKIMPORT_CLI
          "' import --ignore-new --overwrite --chk - --db form.db --view viewForm < other/form.chk)",
      dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'")[0].find(
                "\r\nGOTO COMMON\r\n"),
            std::string::npos);
  const auto report = run("report --db '" + db + "' --view viewForm --out -");
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(report.out.rfind("(standard output)\r\n\r\n", 0), 0u) << report.out;
  EXPECT_NE(report.out.find("GOTO COMMON\r\n"), std::string::npos);
}

// On a terminal the listing pass heads the component's list and then gives
// the lines that are fields apart, and a pass says in one line what it did.
// Not on a terminal, none of it.
TEST_F(Cli, OnATerminalAPassSaysWhatItDid) {
  dir.write("form.chk", "AGE\r\nEND\r\nLABELBLOCK\r\nWEIGHT\r\n1 \"Yes\"\r\nEND\r\n");
  const std::string cli = "'" CHKIMPORT_CLI "' import --chk '" + chk + "' --db '" + db + "' --view viewForm ";
  const auto listing = testing_support::runOnTerminal(cli, dir);
  EXPECT_EQ(listing.status, 0);
  const std::string lines =
      "Lines of the CHK file without a row in the view:\n  LABELBLOCK\n  WEIGHT\n  1\n"
      "  \"Yes\"\n\nFields of the CHK file without a row in the view:\n  WEIGHT\n";
  EXPECT_NE(listing.out.find(lines + "chkimport: viewForm: 1 field found, 1 field without a row; nothing was "
                                     "written (--ignore-new imports)\n"),
            std::string::npos)
      << listing.out;
  // Elsewhere the lines alone, and with --json the fields apart.
  const auto plain = run("import -c '" + chk + "' -d '" + db + "' -v viewForm");
  EXPECT_EQ(plain.out + plain.err, "LABELBLOCK\nWEIGHT\n1\n\"Yes\"\n");
  const auto json =
      nlohmann::json::parse(run("import --json -c '" + chk + "' -d '" + db + "' -v viewForm").out);
  EXPECT_EQ(json["unmatched_fields"], nlohmann::json::array({"WEIGHT"}));

  const auto notOnATerminal = runCommand(cli + "--ignore-new", dir);
  EXPECT_EQ(notOnATerminal.out + notOnATerminal.err, "");
  // A pass that runs longer than CHKIMPORT_PROGRESS_AFTER seconds tells how far it is.
  const auto progress = testing_support::runOnTerminal("CHKIMPORT_PROGRESS_AFTER=0 " + cli, dir);
  EXPECT_NE(progress.out.find("\rimporting viewForm: 6 lines"), std::string::npos) << progress.out;
}

// For CHK files from others: INCLUDE reads nothing from outside the folder
// named, whichever way the name leads there (the current folder, "..", a
// link, an absolute path); such an INCLUDE is written as one of a missing
// file, with a warning.
TEST_F(Cli, IncludeFilesCanBeConfinedToAFolder) {
  std::filesystem::create_directories(dir.file("in"));
  dir.write("secret.chk", "GOTO SECRET\r\n");
  dir.write("in/common.chk", "GOTO COMMON\r\n");
  std::filesystem::create_symlink(dir.file("secret.chk"), dir.file("in/link.chk"));
  const std::vector<std::string> outside = {"SECRET.CHK", "..\\SECRET.CHK", "LINK.CHK", "/PROC/SELF/ENVIRON"};
  std::string text = "AGE\r\nINCLUDE COMMON.CHK\r\n";
  for (const auto& name : outside) text += "INCLUDE " + name + "\r\n";
  dir.write("in/form.chk", text + "END\r\n");
  dir.write("in/form.rec", "1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n");
  std::string expected =
      "*INCLUDE COMMON.CHK \\/ \\/ \\/ Included checkcode begins here \\/ \\/ \\/\r\nGOTO COMMON\r\n"
      "*/\\ /\\ /\\ End of checkcode included from file: in/COMMON.CHK /\\ /\\ /\\\r\n";
  for (const auto& name : outside)
    expected += "*INCLUDE " + name + " CHECK file not found. \r\n*Include file could not be imported.\r\n";
  auto warnings = [](const std::string& err) {
    const std::regex warning("warning: not read");
    return static_cast<std::size_t>(std::distance(std::sregex_iterator(err.begin(), err.end(), warning), {}));
  };

  // From the folder that holds secret.chk, into the view made or a new one.
  const std::string cli = "cd '" + dir.path().string() + "' && XDG_CONFIG_HOME=. '" CHKIMPORT_CLI "' ";
  const std::string within = " --include-within '" + dir.file("in") + "'";
  for (const std::string into : {"form.db", "other.db"}) {
    const auto r = runCommand(cli +
                                  (into == "form.db" ? "import --ignore-new --chk in/form.chk --view viewForm"
                                                     : "convert in/form.rec") +
                                  " --overwrite --db " + into + within,
                              dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(warnings(r.err), outside.size()) << r.err;
    EXPECT_EQ(
        testing_support::querySql(dir.file(into), "SELECT Checkcode FROM viewForm WHERE Name LIKE 'age'"),
        std::vector<std::string>{expected})
        << into;
  }

  const auto noFolder = run("import --include-within '" + dir.file("none") + "' --chk a --db b --view c");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_NE(noFolder.err.find("--include-within"), std::string::npos) << noFolder.err;
}

// Files that are no check file are refused before anything is written;
// --encoding names the code page (0x9B is a closing angle quote in
// Windows-1252, an o with a stroke in the default, code page 850).
TEST_F(Cli, WhatACheckFileIsMadeOf) {
  const struct {
    const char* what;
    std::string bytes, args, result;
  } cases[] = {
      {"Windows-1252", "AGE\r\n  GOTO S\x9BREN\r\nEND\r\n", "--encoding WINDOWS-1252 ",
       "GOTO S\u203aREN\r\n"},
      {"NUL bytes", std::string("AGE\r\n  X = 1\0\0\x01\r\nEND\r\n", 22), "",
       "it holds NUL bytes, as binary files do"},
      {"the database itself", testing_support::readFile(db), "", "it is a SQLite database"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("form.chk", c.bytes);
    const auto r = run("import --ignore-new --overwrite " + c.args + "--chk '" + chk + "' --db '" + db +
                       "' --view viewForm");
    const auto code = testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'");
    if (c.result.rfind("GOTO", 0) == 0) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(code, std::vector<std::string>{c.result});
      testing_support::execSql(db, "UPDATE viewForm SET Checkcode = NULL");
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "chkimport: " + chk + " is not a check file: " + c.result + "\n");
      EXPECT_EQ(code, std::vector<std::string>{"<null>"});
    }
  }
}

// Errors inside a pass make the run fail; its last line says what was kept,
// and with --json the errors are in the JSON instead of on standard error.
TEST_F(Cli, ErrorsInsideThePassMakeTheRunFailAndTellWhatWasKept) {
  std::string text = "AGE\r\n";
  for (int i = 0; i < 502; ++i) text += "X = 1\r\n";
  dir.write("form.chk", text + "END\r\n");
  // A view without rows: the pass cannot begin to look up fields.
  testing_support::execSql(db, testing_support::viewTableSql("viewEmpty", {}));
  const std::string tooMany =
      "chkimport: error 9: Subscript out of range\n  in InsertNewContent, ImportCHKCode\n"
      "  called from TranslateCode, ImportCHKCode\n";
  const std::string noRecord =
      "chkimport: error 3021: No current record.\n  in TranslateCode, ImportCHKCode\n";
  const struct {
    std::string args, err;
  } cases[] = {
      {"--ignore-new --view viewForm",
       tooMany + "chkimport: 1 error interrupted the import (see above); kept: 1 row changed.\n"},
      {"--ignore-new --view viewEmpty",
       noRecord + "chkimport: 1 error interrupted the import (see above); kept: nothing.\n"},
      {"--view viewEmpty", noRecord + "chkimport: 1 error interrupted the import (see above); kept: nothing: "
                                      "this was a listing pass.\n"},
  };
  for (const auto& c : cases) {
    const auto r = run("import " + c.args + " --chk '" + chk + "' --db '" + db + "'");
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
  }

  const auto r =
      run("import --json --ignore-new --overwrite --chk '" + chk + "' --db '" + db + "' --view viewForm");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse(R"({
      "result": "1 error interrupted the import (see \"errors\"); kept: 1 row changed.",
      "unmatched": [], "unmatched_fields": [],
      "errors": [{"number": 9, "description": "Subscript out of range",
                  "routines": ["InsertNewContent, ImportCHKCode", "TranslateCode, ImportCHKCode"]}],
      "error": {"code": "interrupted", "number": 9,
                "message": "1 error interrupted the import (see \"errors\"); kept: 1 row changed.",
                "routines": ["InsertNewContent, ImportCHKCode", "TranslateCode, ImportCHKCode"]}})"));
}

// The report never lands on the files it is made from, by whatever name.
TEST_F(Cli, TheReportLeavesItsSourcesAlone) {
  dir.write("common.chk", "X = 1\r\n");
  dir.write("form.chk", "AGE\r\n  INCLUDE COMMON.CHK\r\nEND\r\n");
  ASSERT_EQ(symlink(db.c_str(), dir.file("link.db").c_str()), 0);
  ASSERT_EQ(link(db.c_str(), dir.file("hard.db").c_str()), 0);
  auto files = [&] { return testing_support::folderBytes(dir.path()); };
  const auto before = files();
  for (const std::string& out : {db, dir.file("link.db"), dir.file("hard.db"), db + "-journal", db + "-wal",
                                 chk, dir.file("common.chk")}) {
    const auto r = run("report --db '" + db + "' --view viewForm --chk '" + chk + "' --out '" + out + "'");
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_NE(r.err.find("the report would replace"), std::string::npos) << r.err;
    EXPECT_EQ(files(), before) << out;
  }
}

TEST_F(Cli, TheDialogNeedsADisplay) {
  const auto r = runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME='" +
                                dir.path().string() + "' '" CHKIMPORT_CLI "' dialog --chk '" + chk + "'",
                            dir);
  EXPECT_EQ(r.status, 2);
  const std::string why = CHKIMPORT_GUI ? "no display" : "this build has no dialogs";
  EXPECT_NE(r.err.find("the import dialog cannot be shown: " + why), std::string::npos) << r.err;
}

}  // namespace
