// The command-line host: exit status, where the result goes, --json, views.
#include <gtest/gtest.h>

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

TEST_F(Cli, ViewsListsTheViewTablesInTheFilesOrder) {
  const auto r = run("views --db '" + db + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "viewForm\nviewAnother\n");

  const auto missing = run("views --db '" + dir.file("nowhere.db") + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "chkimport: MDB file not found.\n");
}

}  // namespace
