// Helpers shared by the tests: temporary folders, view databases built with
// plain SQL, and running the command-line host.
#pragma once

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

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
  auto slurp = [](const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  r.out = slurp(outFile);
  r.err = slurp(errFile);
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
