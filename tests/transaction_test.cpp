// A pass writes the view in one transaction: a process killed in the middle
// leaves the view as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "import_harness.h"

namespace {

using namespace testing_support;

// A view of `n` fields F0.. and a CHK file that gives each of them code.
void writeForm(const TempDir& dir, int n) {
  std::string sql =
      "CREATE TABLE viewBig (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, "
      "Formatstring TEXT, Lists TEXT); BEGIN;";
  std::string chk;
  for (int i = 0; i < n; ++i) {
    const std::string name = "F" + std::to_string(i);
    sql += "INSERT INTO viewBig (Name, PageNumber, Type) VALUES ('" + name + "', 1, 'NUMBER');";
    chk += name + "\r\n  AFTER ENTRY\r\n    IF " + name +
           " > 5 THEN\r\n      X = 1\r\n    ENDIF\r\n  END\r\nEND\r\n";
  }
  testing_support::execSql(dir.file("big.db"), sql + "COMMIT;");
  dir.write("big.chk", chk);
}

TEST(Transaction, AKilledPassLeavesTheViewAsItWas) {
  TempDir dir;
  writeForm(dir, 30000);
  const std::string db = dir.file("big.db"), journal = db + "-journal";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::string chk = dir.file("big.chk");
    execl(CHKIMPORT_CLI, "chkimport", "import", "--chk", chk.c_str(), "--db", db.c_str(), "--view", "viewBig",
          "--ignore-new", static_cast<char*>(nullptr));
    _exit(127);
  }

  // Kill it as soon as it has begun writing.
  ASSERT_EQ(testing_support::KillOnceStarted(
                child, [&] { return std::filesystem::exists(journal); }, std::chrono::seconds(30)),
            testing_support::KillOutcome::Killed);

  EXPECT_EQ(querySql(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(querySql(db, "SELECT count(*) FROM viewBig WHERE Checkcode IS NOT NULL"),
            std::vector<std::string>{"0"});
}

}  // namespace
