// Changes to a database file made all at once: the work is done on a copy
// beside the file, which takes the file's place in one rename when the work
// succeeded. A copy that does not take its place is removed, also when the
// process is killed: a watcher process removes it when this one ends first.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <stdexcept>
#include <string>

namespace chkimport {

struct DatabaseCopyError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class DatabaseCopy {
 public:
  // Copies the SQLite file `path`; when it does not exist the copy starts
  // empty and the file exists only once committed. Others cannot write the
  // file until the copy is committed or discarded, so no change of theirs is
  // lost. Raises DatabaseCopyError.
  explicit DatabaseCopy(const std::string& path);
  ~DatabaseCopy();
  DatabaseCopy(const DatabaseCopy&) = delete;
  DatabaseCopy& operator=(const DatabaseCopy&) = delete;

  const std::string& Path() const { return copy_; }
  // Puts the copy, written to disk, in the file's place. The copy must be
  // closed by everyone. Raises DatabaseCopyError, and the copy is gone.
  void Commit();
  // Removes the copy; the file stays as it was.
  void Discard() noexcept;

 private:
  void startWatcher();
  void stopWatcher() noexcept;
  void removeCopy() noexcept;

  std::string path_, copy_;
  bool existed_ = false, done_ = false;
  sqlite3* original_ = nullptr;  // holds the write lock
  pid_t watcher_ = -1;
  int watcherPipe_ = -1;
};

}  // namespace chkimport
