// The command-line host: exit status, where the result goes, --json, views.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "test_support.h"

namespace {

using testing_support::runCommand;
using testing_support::TempDir;

struct Cli : ::testing::Test {
  Cli() {
    db = dir.file("form.db");
    testing_support::execSql(db, testing_support::viewTableSql("viewForm", {"AGE"}) +
                                     testing_support::viewTableSql("viewAnother", {"X"}) +
                                     "CREATE TABLE codeAGE (AGE TEXT);");
    chk = dir.write("form.chk", "AGE\r\n  RANGE 0 99\r\nEND\r\n");
  }

  testing_support::CommandResult run(const std::string& args) {
    // A settings file of the test's own, so the user's cannot interfere.
    return runCommand("XDG_CONFIG_HOME='" + dir.path().string() + "' '" CHKIMPORT_CLI "' " + args, dir);
  }

  TempDir dir;
  std::string db, chk;
};

TEST_F(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(run("").status, 2);
  EXPECT_EQ(run("import --db x --view y").status, 2);  // --chk missing
  EXPECT_EQ(run("frobnicate").status, 2);
  const auto r = run("import --chk a --db b --view c --no-such-flag");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--no-such-flag"), std::string::npos);
}

TEST_F(Cli, HelpAndVersion) {
  const auto help = run("import --help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--chk", "--db", "--view", "--overwrite", "--ignore-new", "--tables",
                             "--language", "--languages", "--json"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  const auto version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "chkimport " CHKIMPORT_VERSION "\n");
}

TEST_F(Cli, AMessageGoesToStandardErrorWithStatusOne) {
  const auto r = run("import --chk '" + chk + "' --db '" + dir.file("nowhere.db") + "' --view viewForm");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "chkimport: MDB file not found.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(Cli, EmptyValuesKeepTheirMeaning) {
  const auto noTable = run("import --chk '" + chk + "' --db '" + db + "' --view ''");
  EXPECT_EQ(noTable.status, 1);
  EXPECT_EQ(noTable.err, "chkimport: No Table Name Supplied\n");
  const auto noChk = run("import --chk '' --db '" + db + "' --view viewForm");
  EXPECT_EQ(noChk.err, "chkimport: CHECK file not found.\n");
}

TEST_F(Cli, JsonCarriesTheResultOnStandardOutput) {
  const auto r = run("import --json --chk '" + chk + "' --db '" + db + "' --view viewNone");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  const auto out = nlohmann::json::parse(r.out);
  EXPECT_EQ(out["result"], "Table Not In MDB");
  EXPECT_TRUE(out["unmatched"].is_array());
}

TEST_F(Cli, TheListingPassPrintsTheUnmatchedLines) {
  dir.write("form.chk", "WEIGHT\r\nEND\r\nAGE\r\nEND\r\nHEIGHT\r\nEND\r\n");
  const auto r = run("import --chk '" + chk + "' --db '" + db + "' --view viewForm");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "WEIGHT\nHEIGHT\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testing_support::querySql(db, "SELECT count(*) FROM viewForm WHERE Checkcode IS NOT NULL"),
            std::vector<std::string>{"0"});

  const auto json =
      nlohmann::json::parse(run("import --json --chk '" + chk + "' --db '" + db + "' --view viewForm").out);
  EXPECT_EQ(json["result"], "");
  EXPECT_EQ(json["unmatched"], nlohmann::json::array({"WEIGHT", "HEIGHT"}));
}

TEST_F(Cli, TheWritingPassStoresTheCode) {
  dir.write("form.chk", "AGE\r\n  AFTER ENTRY\r\n    GOTO X\r\n  END\r\nEND\r\n");
  const auto r = run("import --ignore-new --overwrite --chk '" + chk + "' --db '" + db + "' --view viewForm");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'"),
            std::vector<std::string>{"GOTO X\r\n"});
}

TEST_F(Cli, TheEncodingCanBeNamed) {
  // 0x9B is an o with a stroke in code page 850, a closing angle quote in
  // Windows-1252.
  dir.write("form.chk", "AGE\r\n  GOTO S\x9BREN\r\nEND\r\n");
  const auto r = run("import --ignore-new --overwrite --encoding WINDOWS-1252 --chk '" + chk + "' --db '" +
                     db + "' --view viewForm");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'"),
            std::vector<std::string>{"GOTO S\u203aREN\r\n"});
  run("import --ignore-new --overwrite --chk '" + chk + "' --db '" + db + "' --view viewForm");
  EXPECT_EQ(testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'"),
            std::vector<std::string>{"GOTO SøREN\r\n"});  // stored as written
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
    std::size_t n = 0;
    for (auto at = err.find("warning: not read"); at != std::string::npos;
         at = err.find("warning: not read", at + 1))
      ++n;
    return n;
  };

  // From the folder that holds secret.chk.
  const std::string cli = "cd '" + dir.path().string() + "' && XDG_CONFIG_HOME=. '" CHKIMPORT_CLI "' ";
  const std::string within = " --include-within '" + dir.file("in") + "' ";
  const auto r = runCommand(cli + "import --ignore-new --overwrite" + within + "--chk in/form.chk --db '" +
                                db + "' --view viewForm",
                            dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(warnings(r.err), outside.size()) << r.err;
  EXPECT_EQ(testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'"),
            std::vector<std::string>{expected});

  const auto converted = runCommand(cli + "convert in/form.rec --overwrite --db other.db" + within, dir);
  EXPECT_EQ(converted.status, 0) << converted.err;
  EXPECT_EQ(warnings(converted.err), outside.size()) << converted.err;
  EXPECT_EQ(testing_support::querySql(dir.file("other.db"), "SELECT Checkcode FROM viewform"),
            std::vector<std::string>{expected});

  const auto noFolder = run("import --include-within '" + dir.file("none") + "' --chk a --db b --view c");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_NE(noFolder.err.find("--include-within"), std::string::npos) << noFolder.err;
}

// Files that are no check file are refused before anything is written;
// text in UTF-16 or behind a UTF-8 mark is read as text.
TEST_F(Cli, WhatACheckFileIsMadeOf) {
  const std::string text = "AGE\r\n  GOTO S\u00F8REN\r\nEND\r\n";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (const char32_t c : std::u32string(U"AGE\r\n  GOTO S\u00F8REN\r\nEND\r\n")) {
    le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  }
  struct Case {
    const char* what;
    std::string bytes, refusal;
  };
  const std::vector<Case> cases = {
      {"UTF-16LE", le, ""},
      {"UTF-16BE", be, ""},
      {"UTF-8 mark", "\xEF\xBB\xBF" + text, ""},
      {"NUL bytes", std::string("AGE\r\n  X = 1\0\0\x01\r\nEND\r\n", 22),
       "it holds NUL bytes, as binary files do"},
      {"a data file's header", "1 1 VLAB\r\n#age          1   1  30  33   1   0   2 112 Age\r\n  12\r\n",
       "it starts like the header of a .REC data file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("form.chk", c.bytes);
    const auto r =
        run("import --ignore-new --overwrite --chk '" + chk + "' --db '" + db + "' --view viewForm");
    const auto code = testing_support::querySql(db, "SELECT Checkcode FROM viewForm WHERE Name = 'AGE'");
    if (c.refusal.empty()) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(code, std::vector<std::string>{"GOTO S\u00F8REN\r\n"});
      testing_support::execSql(db, "UPDATE viewForm SET Checkcode = NULL");
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "chkimport: " + chk + " is not a check file: " + c.refusal + "\n");
      EXPECT_EQ(code, std::vector<std::string>{"<null>"});
    }
  }
  // The database itself given as the CHK file.
  const auto r = run("import --chk '" + db + "' --db '" + db + "' --view viewForm");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "chkimport: " + db + " is not a check file: it is a SQLite database\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(Cli, AnEncodingIconvDoesNotKnowIsAUsageError) {
  for (const char* command :
       {"import --chk a --db b --view c", "newview --rec a --db b", "convert a --db b", "dialog"}) {
    const auto r = run(std::string(command) + " --encoding bogus");
    EXPECT_EQ(r.status, 2) << command;
    EXPECT_NE(r.err.find("--encoding: unknown text encoding 'bogus'"), std::string::npos) << r.err;
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
      "unmatched": [],
      "errors": [{"number": 9, "description": "Subscript out of range",
                  "routines": ["InsertNewContent, ImportCHKCode", "TranslateCode, ImportCHKCode"]}]})"));
}

TEST_F(Cli, TheReportCommandWritesTheStoredCode) {
  run("import --ignore-new --overwrite --chk '" + chk + "' --db '" + db + "' --view viewForm");
  const std::string out = dir.file("report.txt");
  const auto r = run("report --db '" + db + "' --view viewForm --chk '" + chk + "' --out '" + out + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  std::ifstream in(out, std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(text.rfind(out + "\r\n", 0), 0u);
  EXPECT_NE(text.find("  Field Name: AGE  "), std::string::npos);

  const auto missing = run("report --db '" + dir.file("none.db") + "' --view viewForm --out '" + out + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "chkimport: MDB file not found.\n");
  const auto badView = run("report --db '" + db + "' --view viewNone --out '" + out + "'");
  EXPECT_EQ(badView.status, 1);
  EXPECT_NE(badView.err.find("viewNone"), std::string::npos) << badView.err;
}

// The report never lands on the files it is made from, by whatever name.
TEST_F(Cli, TheReportLeavesItsSourcesAlone) {
  dir.write("common.chk", "X = 1\r\n");
  dir.write("form.chk", "AGE\r\n  INCLUDE COMMON.CHK\r\nEND\r\n");
  ASSERT_EQ(symlink(db.c_str(), dir.file("link.db").c_str()), 0);
  ASSERT_EQ(link(db.c_str(), dir.file("hard.db").c_str()), 0);
  auto files = [&] {
    std::map<std::string, std::string> bytes;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      std::ifstream in(entry.path(), std::ios::binary);
      if (!entry.path().filename().string().starts_with("cmd."))
        bytes[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return bytes;
  };
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

TEST_F(Cli, ViewsListsTheViewTablesInTheFilesOrder) {
  const auto r = run("views --db '" + db + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "viewForm\nviewAnother\n");

  const auto missing = run("views --db '" + dir.file("nowhere.db") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "chkimport: MDB file not found.\n");
}

}  // namespace
