// One SQLite connection, shared by the databases of a workspace that name
// the same file, and the states of workspaces and databases over it: what
// each holds, how a connection is opened and waits for locks, and how a
// failure inside a transaction breaks it.
#pragma once

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "chkimport/vb_error.h"
#include "services/dao.h"
#include "services/dao/errors.h"
#include "services/dao/schema.h"

namespace chkimport::dao::detail {

struct RecordsetState;

struct Connection;
// Ends the connection's writing thread, if it has one, once its batch is
// written.
void StopWriter(Connection& connection) noexcept;

// One SQLite connection, shared by the databases of a workspace that name the
// same file.
struct Connection {
  // Used through Db(), which first waits for a writing thread to finish.
  sqlite3* handle = nullptr;
  dev_t device = 0;
  ino_t inode = 0;
  int depth = 0;  // savepoints the workspace's transactions hold here
  std::vector<std::weak_ptr<RecordsetState>> recordsets;
  // Prepared writes and reads of rows, kept by their SQL: a pass writes one
  // row per field, and preparing costs more than running.
  struct Prepared {
    sqlite3_stmt* stmt = nullptr;
    bool inUse = false;
  };
  std::unordered_map<std::string, Prepared> prepared;
  // The schema as of its version schema->version; dropped at a rollback,
  // which may bring back an earlier version number with other contents.
  std::optional<Schema> schema;
  // The page cache this layer asked SQLite for, in KiB; 0 while it is
  // SQLite's own (see FitCacheToSchema).
  long long cacheKiB = 0;
  // Some recordset holds edits not yet written (see FlushPending), and
  // which: edits are held back for one recordset at a time, so that they
  // are written in the order they were made.
  bool pendingWrites = false;
  const RecordsetState* pendingOwner = nullptr;
  // Edits held back could not be written, or a write to the file failed,
  // or SQLite rolled the transaction back: the transaction cannot commit.
  std::optional<VbError> broken;

  // Waiting for a lock that another program holds (see WaitForLock).
  std::chrono::milliseconds lockWait{0};
  std::function<void()> lockWaiting;
  std::chrono::steady_clock::time_point waitStarted;

  // The rows changed since the outermost transaction began, per table, as
  // SQLite's update hook tells them (see NoteChangedRow).
  std::unordered_map<std::string, std::unordered_set<long long>> changedRows;
  std::string lastChangedTable;
  std::unordered_set<long long>* lastChangedRows = nullptr;
  // Rows added by Database::InsertRows, counted instead (each is new).
  long long insertedRows = 0;

  // Held-back edits handed to the connection's writing thread, which
  // writes them while the caller goes on (see StartWriting). Until the
  // batch is done, only that thread uses the connection.
  // The thread reads the rows' values where the recordset holds them:
  // rows in a batch are not changed until it is joined (Row::inBatch).
  struct Write {
    Prepared* prepared = nullptr;
    long long rowid = 0;
    const Value* values = nullptr;
    std::vector<std::size_t> fields;
  };
  struct Batch {
    // The recordset whose rows these are. It outlives the batch: whatever
    // closes or drops a recordset first writes its held edits, which joins
    // the thread.
    RecordsetState* owner = nullptr;
    std::vector<Write> writes;          // let go by the thread when done
    std::vector<std::size_t> rows;      // their places in owner's rows
    std::vector<Prepared*> statements;  // each once
    std::string path, table;            // for the description of a failure
    // Instead of writes: the owner's rows still to be read (see filling.h),
    // until they are all read or `stop` is set.
    bool fill = false;
    std::atomic<bool> stop{false};
    std::optional<VbError> error;
    std::atomic<bool> done{false};  // set under the writer's mutex
  };
  std::unique_ptr<Batch> batch;  // the batch handed over, until joined
  // The recordset whose rows are still being read, at most one.
  std::weak_ptr<RecordsetState> filling;
  // The writing thread starts with the first batch and waits for the next
  // until the connection closes: starting a thread took the caller five
  // times as long as handing a batch to one that waits.
  struct Writer {
    std::thread thread;
    pid_t process = 0;  // a child made by fork has neither the thread nor its waits
    std::mutex mutex;
    std::condition_variable wake, done;
    Batch* job = nullptr;  // handed over and not yet taken up
    bool stop = false;
  };
  std::unique_ptr<Writer> writer;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    StopWriter(*this);
    for (auto& [sql, p] : prepared) sqlite3_finalize(p.stmt);
    if (handle) sqlite3_close_v2(handle);
  }
};

struct DatabaseState {
  std::string name;
  std::shared_ptr<Connection> connection;  // empty once closed
};

struct WorkspaceState {
  std::string name;
  bool isDefault = false;
  bool closed = false;
  int level = 0;            // BeginTrans not yet committed or rolled back
  bool forWriting = false;  // the outermost transaction holds the write lock
  std::chrono::milliseconds lockWait{10000};
  std::function<void()> lockWaiting;
  std::vector<std::weak_ptr<DatabaseState>> databases;
};

// The connection's SQLite handle, free for the caller's use, once the
// writing thread is done. SQLite may have rolled the transaction back after
// a failure of its own (a full disk, an I/O error): then the connection is
// broken, so that nothing is ever written outside the transaction its user
// believes it is in.
sqlite3* Db(Connection& connection);

// Waits for the connection's writing thread, if any, and gives back the
// error that stopped it. With `letGo`, the rows it wrote let go of their
// long texts (LetGoOfWritten).
std::optional<VbError> JoinWriter(Connection& connection, bool letGo = false) noexcept;
// Waits for the writing thread; the rows it wrote let go of their long
// texts. When one of its writes failed, the edits still held back are
// dropped and the connection is broken: its transaction can only be rolled
// back.
void Settle(Connection& connection);

// A statement that failed inside a transaction breaks it when the failure
// is the file's and not the row's: SQLite rolled the transaction back, or
// the file could not be written or read (a full disk, an I/O error, no room
// for the journal, a read-only file, a lock). Going on would only fail
// again at every write; a value a table refuses is not such a failure.
void NoteFailure(Connection& connection, int rc, const VbError& error) noexcept;

// The connection of a database that is open, raising the failure of its
// transaction when that was broken.
Connection& Live(const DatabaseState& state);
WorkspaceState& Live(const std::shared_ptr<WorkspaceState>& state);

// Opens `path` in the workspace: on the connection the workspace already
// has to that file, or on a new one, which joins the workspace's
// transaction. An empty file is a new database only when `empty` says so.
std::shared_ptr<DatabaseState> OpenConnection(WorkspaceState& ws, const std::string& path, bool empty);
// Begins the connection's outermost transaction; for writing, with the
// write lock taken at once.
void Begin(Connection& connection, bool forWriting, const Context& context);
void ForgetChangedRows(Connection& connection) noexcept;
// Whether SQLite tells the connection of every row it changes (the update
// hook behind RowsChanged).
void WatchChangedRows(Connection& connection, bool watch) noexcept;

// Writes what the database's connection holds back and lets go of it; the
// last database to do so closes the connection, which rolls back whatever
// it has not committed.
void CloseDatabase(DatabaseState& state) noexcept;
// Open connections of a workspace, each once.
std::vector<std::shared_ptr<Connection>> Connections(WorkspaceState& ws);

}  // namespace chkimport::dao::detail
