// Helpers shared by the tests: temporary folders, view databases built with
// plain SQL, and running the command-line host.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "chkimport/vb_error.h"

// The real files beside the project, ../shared/realworld/: a test that
// needs them fails when they are missing under CI (CI set), and is skipped
// elsewhere.
#define REQUIRE_REAL_FILES(folder)                                               \
  if (!std::filesystem::exists(folder)) {                                        \
    if (std::getenv("CI")) FAIL() << "the real files are missing: " << (folder); \
    GTEST_SKIP() << "no real files beside the project";                          \
  }

namespace testing_support {

inline const std::string kRealWorld = CHKIMPORT_SOURCE_DIR "/../shared/realworld/";

// The number of the error a call raises; 0 when it raises none.
template <class F>
int ErrorOf(F&& call) {
  try {
    call();
  } catch (const chkimport::VbError& e) {
    return e.Number;
  }
  return 0;
}

// The description of the error a call raises; "" when it raises none.
template <class F>
std::string Describe(F&& call) {
  try {
    call();
  } catch (const chkimport::VbError& e) {
    return e.Description;
  }
  return "";
}

// A whole file, byte for byte; "" when it cannot be read.
inline std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The bytes of every file in a folder by name, less the files runCommand
// captures output in.
inline std::map<std::string, std::string> folderBytes(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "cmd.out" && name != "cmd.err") files[name] = readFile(entry.path());
  }
  return files;
}

// Runs `work` in a forked child and returns what it returned. As root the
// child first becomes nobody (uid and gid 65534), whom the permissions of
// a file refuse as they refuse any user. A crash of the child fails the test.
inline std::string AsAnotherUser(const std::function<std::string()>& work) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                           setresuid(65534, 65534, 65534) != 0))
      _exit(3);
    const std::string out = work();
    const bool written = write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    _exit(written ? 0 : 4);
  }
  close(fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                              : "exit status " + std::to_string(WEXITSTATUS(status)));
  return out;
}

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "chkimport-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  // Writes a file byte for byte and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out << bytes;
    return file(name);
  }

 private:
  std::filesystem::path path_;
};

// The names of the files in a folder, sorted.
inline std::vector<std::string> filesIn(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Makes `folder` the current folder for as long as it lives.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path saved_;
};

// Runs SQL on a database file, creating it when missing.
inline void execSql(const std::string& dbFile, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(dbFile.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + dbFile);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + message);
}

// The first column of every row a query returns; Null as "<null>".
inline std::vector<std::string> querySql(const std::string& dbFile, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + dbFile);
  sqlite3_stmt* stmt = nullptr;
  std::vector<std::string> rows;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("bad query: " + sql);
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = sqlite3_column_text(stmt, 0);
    rows.push_back(text ? reinterpret_cast<const char*>(text) : "<null>");
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

// A view table with the usual columns, one row per name (PageNumber 1).
inline std::string viewTableSql(const std::string& table, const std::vector<std::string>& names) {
  std::string sql =
      "CREATE TABLE \"" + table +
      "\" (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, Formatstring TEXT, Lists TEXT);";
  for (const auto& name : names)
    sql += "INSERT INTO \"" + table + "\" (Name, PageNumber, Type) VALUES ('" + name + "', 1, 'NUMBER');";
  return sql;
}

// One description line of a .REC header as the old system writes it: the
// entry character, the name in columns 2-11, eight numbers of four columns,
// the prompt from 46.
inline std::string recLine(const std::string& name, int type, int length, const std::string& prompt,
                           char entry = '#') {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%4d%4d%4d%4d%4d%4d%4d%4d  ", 1, 1, 30, 33, 1, type, length, 112);
  std::string padded = name;
  padded.resize(10, ' ');
  return std::string(1, entry) + padded + numbers + prompt;
}

// Kills a child process with SIGKILL as soon as `started` holds. Says what
// happened: the child was killed while at work, it never started within
// `patience`, or it finished before it could be killed.
enum class KillOutcome { Killed, NeverStarted, FinishedFirst };
inline KillOutcome KillOnceStarted(pid_t child, const std::function<bool()>& started,
                                   std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  bool working = false;
  while (!working && std::chrono::steady_clock::now() < deadline) {
    working = started();
    if (!working && waitpid(child, nullptr, WNOHANG) == child) return KillOutcome::FinishedFirst;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  if (!working) return KillOutcome::NeverStarted;
  return WIFSIGNALED(status) ? KillOutcome::Killed : KillOutcome::FinishedFirst;
}

struct CommandResult {
  int status = -1;
  std::string out, err;
};

// Runs a command line through the shell with standard output and error
// captured into files of `dir`.
inline CommandResult runCommand(const std::string& commandLine, const TempDir& dir) {
  const std::string outFile = dir.file("cmd.out"), errFile = dir.file("cmd.err");
  const std::string full = commandLine + " >'" + outFile + "' 2>'" + errFile + "' </dev/null";
  const int raw = std::system(full.c_str());
  CommandResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readFile(outFile);
  r.err = readFile(errFile);
  return r;
}

// Runs a command line on a terminal `columns` wide, as script(1) gives one:
// standard input, output and error are the terminal, and everything the
// command printed comes back in `out`, line ends as "\n".
inline CommandResult runOnTerminal(const std::string& commandLine, const TempDir& dir, int columns = 80) {
  const std::string script =
      dir.write("terminal.sh", "stty cols " + std::to_string(columns) + " rows 24\n" + commandLine + "\n");
  CommandResult r = runCommand("TERM=xterm script -qec 'sh " + script + "' /dev/null", dir);
  for (auto at = r.out.find("\r\n"); at != std::string::npos; at = r.out.find("\r\n", at)) r.out.erase(at, 1);
  return r;
}

}  // namespace testing_support
