#include "viewdb/database_copy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace chkimport {
namespace {

const char* const kSuffixes[] = {"", "-journal", "-wal", "-shm"};

std::string RandomName(const std::string& path) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string name = path + ".chkimport-";
  for (int i = 0; i < 8; ++i) name += letters[random() % (sizeof letters - 1)];
  return name;
}

std::string SqliteError(sqlite3* db, int rc) {
  return db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void SyncPath(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) throw DatabaseCopyError(path + ": " + std::strerror(errno));
  const int rc = fsync(fd);
  const int error = errno;
  close(fd);
  if (rc != 0) throw DatabaseCopyError(path + ": " + std::strerror(error));
}

}  // namespace

DatabaseCopy::DatabaseCopy(const std::string& path) : path_(path) {
  struct stat info {};
  existed_ = stat(path.c_str(), &info) == 0;
  try {
    if (existed_) {
      const int rc = sqlite3_open_v2(path.c_str(), &original_, SQLITE_OPEN_READWRITE, nullptr);
      if (rc != SQLITE_OK) throw DatabaseCopyError(SqliteError(original_, rc));
      sqlite3_busy_timeout(original_, 5000);
      if (!Exec(original_, "BEGIN IMMEDIATE") || !Exec(original_, "SELECT count(*) FROM sqlite_master"))
        throw DatabaseCopyError(sqlite3_errmsg(original_));
    }

    // The watcher knows the name before the file exists.
    for (int attempt = 0;; ++attempt) {
      copy_ = RandomName(path);
      startWatcher();
      const int fd =
          open(copy_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, existed_ ? info.st_mode & 07777 : 0666);
      if (fd >= 0) {
        if (existed_) fchmod(fd, info.st_mode & 07777);
        close(fd);
        break;
      }
      const int error = errno;
      copy_.clear();  // someone else's file: not to be removed
      stopWatcher();
      if (error != EEXIST || attempt > 10) throw DatabaseCopyError(path + ": " + std::strerror(error));
    }

    if (existed_) {
      // The connection that holds the write lock cannot be the source of a
      // backup; another one may read beside it.
      sqlite3 *source = nullptr, *target = nullptr;
      int rc = sqlite3_open_v2(path.c_str(), &source, SQLITE_OPEN_READONLY, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_open_v2(copy_.c_str(), &target, SQLITE_OPEN_READWRITE, nullptr);
      if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
        if (backup) {
          sqlite3_backup_step(backup, -1);
          rc = sqlite3_backup_finish(backup);
        } else {
          rc = sqlite3_errcode(target);
        }
      }
      const std::string error = rc == SQLITE_OK ? "" : SqliteError(target ? target : source, rc);
      sqlite3_close(target);
      sqlite3_close(source);
      if (rc != SQLITE_OK) throw DatabaseCopyError(error);
    }
  } catch (...) {
    Discard();
    throw;
  }
}

DatabaseCopy::~DatabaseCopy() {
  Discard();
}

void DatabaseCopy::startWatcher() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw DatabaseCopyError(std::string("pipe: ") + std::strerror(errno));
  // Prepared before the fork: the watcher only reads, unlinks and exits.
  std::string names[4];
  for (int i = 0; i < 4; ++i) names[i] = copy_ + kSuffixes[i];
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    throw DatabaseCopyError(std::string("fork: ") + std::strerror(errno));
  }
  if (child == 0) {
    close(fds[1]);
    // Interrupting the terminal's process group ends this process, not its watcher.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(sig, SIG_IGN);
    char keep = 0;
    ssize_t n;
    while ((n = read(fds[0], &keep, 1)) < 0 && errno == EINTR) {
    }
    if (n != 1)
      for (const auto& name : names) unlink(name.c_str());
    _exit(0);
  }
  close(fds[0]);
  watcher_ = child;
  watcherPipe_ = fds[1];
}

void DatabaseCopy::stopWatcher() noexcept {
  if (watcherPipe_ >= 0) {
    const char keep = 'k';
    [[maybe_unused]] const ssize_t n = write(watcherPipe_, &keep, 1);
    close(watcherPipe_);
    watcherPipe_ = -1;
  }
  if (watcher_ > 0) {
    while (waitpid(watcher_, nullptr, 0) < 0 && errno == EINTR) {
    }
    watcher_ = -1;
  }
}

void DatabaseCopy::removeCopy() noexcept {
  if (copy_.empty()) return;
  for (const char* suffix : kSuffixes) unlink((copy_ + suffix).c_str());
}

void DatabaseCopy::Commit() {
  if (done_) throw DatabaseCopyError(path_ + ": the copy is already gone");
  try {
    for (const char* suffix : {"-journal", "-wal"})
      if (std::filesystem::exists(copy_ + suffix))
        throw DatabaseCopyError(copy_ + ": the copy is still in use");
    SyncPath(copy_, O_RDWR);
    int rc;
    if (existed_) {
      rc = rename(copy_.c_str(), path_.c_str());
    } else {
      // A file made by someone else meanwhile is not replaced.
      rc = renameat2(AT_FDCWD, copy_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    }
    if (rc != 0) throw DatabaseCopyError(path_ + ": " + std::strerror(errno));
    copy_.clear();
  } catch (...) {
    Discard();
    throw;
  }
  // The rename is done; writing the folder to disk is all that is left, and
  // a failure there does not undo it.
  try {
    SyncPath(std::filesystem::absolute(path_).parent_path().string(), O_RDONLY | O_DIRECTORY);
  } catch (const DatabaseCopyError&) {
  }
  Discard();
}

void DatabaseCopy::Discard() noexcept {
  if (done_) return;
  done_ = true;
  removeCopy();
  stopWatcher();
  if (original_) {
    Exec(original_, "ROLLBACK");
    sqlite3_close(original_);
    original_ = nullptr;
  }
}

}  // namespace chkimport
