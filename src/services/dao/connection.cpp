#include "services/dao/connection.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "services/dao/filling.h"
#include "services/dao/held_edits.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao::detail {

std::optional<VbError> JoinWriter(Connection& connection, bool letGo) noexcept {
  if (!connection.batch) return std::nullopt;
  Connection::Batch& batch = *connection.batch;
  if (!batch.done.load(std::memory_order_acquire)) {
    if (batch.fill && MayStopFilling(*batch.owner)) batch.stop.store(true, std::memory_order_relaxed);
    Connection::Writer& writer = *connection.writer;
    std::unique_lock lock(writer.mutex);
    writer.done.wait(lock, [&] { return batch.done.load(std::memory_order_relaxed); });
  }
  for (Connection::Prepared* prepared : batch.statements) prepared->inUse = false;
  for (const std::size_t at : batch.rows)
    if (at < batch.owner->rows.size()) batch.owner->rows[at].inBatch = false;
  if (letGo && !batch.error) LetGoOfWritten(*batch.owner, batch.rows);
  if (batch.fill) FilledWhenRead(connection, *batch.owner);
  std::optional<VbError> error = std::move(batch.error);
  connection.batch.reset();
  return error;
}

void StopWriter(Connection& connection) noexcept {
  if (!connection.writer) return;
  Connection::Writer& writer = *connection.writer;
  if (writer.process != getpid()) {
    // The thread stayed with the process that started it, and its waits
    // would wait for it here.
    (void)connection.writer.release();
    return;
  }
  {
    std::lock_guard lock(writer.mutex);
    writer.stop = true;
  }
  writer.wake.notify_one();
  writer.thread.join();
  connection.writer.reset();
}

void Settle(Connection& connection) {
  if (auto error = JoinWriter(connection, true)) {
    DropPending(connection);
    connection.broken = *error;
    throw *error;
  }
}

sqlite3* Db(Connection& connection) {
  Settle(connection);
  if (connection.depth > 0 && !connection.broken && sqlite3_get_autocommit(connection.handle)) {
    const VbError error(dbe::Engine, "Reserved error (" + std::string(sqlite3_errmsg(connection.handle)) +
                                         "; the transaction was rolled back)");
    DropPending(connection);
    connection.broken = error;
    throw error;
  }
  return connection.handle;
}

void NoteFailure(Connection& connection, int rc, const VbError& error) noexcept {
  if (connection.depth == 0 || connection.broken) return;
  switch (rc & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_NOMEM:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_BUSY:
    case SQLITE_PERM:
    case SQLITE_PROTOCOL:
      break;
    default:
      if (!sqlite3_get_autocommit(connection.handle)) return;
  }
  DropPending(connection);
  connection.broken = error;
}

Connection& Live(const DatabaseState& state) {
  if (!state.connection) RaiseClosed();
  if (state.connection->broken) throw *state.connection->broken;
  return *state.connection;
}

WorkspaceState& Live(const std::shared_ptr<WorkspaceState>& state) {
  if (state->closed) RaiseClosed();
  return *state;
}

namespace {

// SQLite's busy handler: waits, in growing steps, until the lock is free or
// the connection's lock wait has passed since the wait began.
int WaitForLock(void* data, int count) noexcept {
  Connection& connection = *static_cast<Connection*>(data);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) {
    connection.waitStarted = now;
    try {
      if (connection.lockWaiting) connection.lockWaiting();
    } catch (...) {
      // Telling of the wait is not worth failing over.
    }
  }
  const auto waited = now - connection.waitStarted;
  if (waited >= connection.lockWait) return 0;
  const std::chrono::steady_clock::duration step = std::chrono::milliseconds(count < 7 ? 1 << count : 100);
  std::this_thread::sleep_for(std::min(step, connection.lockWait - waited));
  return 1;
}

// SQLite's update hook: a row was inserted, changed or deleted.
void NoteChangedRow(void* data, int, const char*, const char* table, sqlite3_int64 rowid) noexcept {
  Connection& connection = *static_cast<Connection*>(data);
  try {
    if (!connection.lastChangedRows || connection.lastChangedTable != table) {
      connection.lastChangedTable = table;
      connection.lastChangedRows = &connection.changedRows[connection.lastChangedTable];
    }
    connection.lastChangedRows->insert(rowid);
  } catch (...) {
    // Out of memory: the count comes out low; the rows themselves are written.
  }
}

}  // namespace

void ForgetChangedRows(Connection& connection) noexcept {
  connection.changedRows.clear();
  connection.lastChangedRows = nullptr;
  connection.insertedRows = 0;
}

void WatchChangedRows(Connection& connection, bool watch) noexcept {
  sqlite3_update_hook(connection.handle, watch ? NoteChangedRow : nullptr, watch ? &connection : nullptr);
}

void Begin(Connection& connection, bool forWriting, const Context& context) {
  if (forWriting && sqlite3_db_readonly(connection.handle, "main") == 1) RaiseReadOnly();
  Execute(Db(connection), forWriting ? "BEGIN EXCLUSIVE" : "BEGIN", context);
  ForgetChangedRows(connection);
}

std::shared_ptr<DatabaseState> OpenConnection(WorkspaceState& ws, const std::string& path, bool empty) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    if (path.empty() || errno == ENOENT || errno == ENOTDIR) RaiseFileNotFound(path);
    RaiseCannotOpen(path, std::strerror(errno));
  }
  if (S_ISDIR(info.st_mode)) RaiseCannotOpen(path, std::strerror(EISDIR));

  auto state = std::make_shared<DatabaseState>();
  state->name = path;
  for (const auto& connection : Connections(ws))
    if (connection->device == info.st_dev && connection->inode == info.st_ino) state->connection = connection;

  if (!state->connection) {
    // SQLite would take an empty file for a new, empty database. (A
    // database made in a transaction still open here is empty on disk.)
    if (info.st_size == 0 && !empty) RaiseNotADatabase(path);
    auto connection = std::make_shared<Connection>();
    connection->device = info.st_dev;
    connection->inode = info.st_ino;
    // A relative path gets "./" so that a name like "file:x" is never taken
    // for a URI.
    const std::string file = path.front() == '/' ? path : "./" + path;
    const int rc = sqlite3_open_v2(file.c_str(), &connection->handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    const Context context{path, {}};
    if (rc != SQLITE_OK) RaiseSqlite(connection->handle, rc, context);
    sqlite3_extended_result_codes(connection->handle, 1);
    connection->lockWait = ws.lockWait;
    connection->lockWaiting = ws.lockWaiting;
    sqlite3_busy_handler(connection->handle, WaitForLock, connection.get());
    WatchChangedRows(*connection, true);
    // A double-quoted name that matches no column must be an error, not text.
    sqlite3_db_config(connection->handle, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(connection->handle, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // SQLite's own page cache size (2 MB) is kept: a pass over a view too
    // large for it has its pages written out before the commit, by the
    // writing thread, which costs less than holding the whole view twice.
    // SQLite reads the file only when first asked: ask now.
    Execute(connection->handle, "SELECT count(*) FROM sqlite_master", context);
    if (ws.level > 0) Begin(*connection, ws.forWriting, context);
    for (int i = 1; i < ws.level; ++i) Execute(connection->handle, "SAVEPOINT trans", context);
    connection->depth = ws.level;
    state->connection = std::move(connection);
  }
  ws.databases.push_back(state);
  return state;
}

void CloseDatabase(DatabaseState& state) noexcept {
  // Edits held back belong to the transaction, which may go on through
  // another database of the same file.
  if (state.connection) {
    try {
      FlushPending(*state.connection);
    } catch (const VbError&) {
      // The connection is broken; its transaction cannot commit.
    }
  }
  // The last database that shares the connection closes it, which rolls back
  // whatever it has not committed.
  state.connection.reset();
}

// Open connections of a workspace, each once.
std::vector<std::shared_ptr<Connection>> Connections(WorkspaceState& ws) {
  std::vector<std::shared_ptr<Connection>> result;
  std::erase_if(ws.databases, [](const auto& weak) {
    auto db = weak.lock();
    return !db || !db->connection;
  });
  for (const auto& weak : ws.databases) {
    auto connection = weak.lock()->connection;
    if (std::find(result.begin(), result.end(), connection) == result.end()) result.push_back(connection);
  }
  return result;
}

}  // namespace chkimport::dao::detail
