// The engine's workspaces and their transactions, which cover every
// database of the workspace.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "services/dao.h"
#include "services/dao/connection.h"
#include "services/dao/filling.h"
#include "services/dao/held_edits.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao {

using namespace detail;

namespace {

constexpr char kDefaultWorkspace[] = "#Default Workspace#";

void CloseWorkspace(WorkspaceState& ws) noexcept {
  for (const auto& weak : ws.databases)
    if (auto db = weak.lock()) CloseDatabase(*db);
  ws.databases.clear();
  ws.level = 0;
  if (!ws.isDefault) ws.closed = true;
}

// Reads the rows of the connection's recordsets again after a rollback.
void ReloadAll(Connection& connection) {
  std::erase_if(connection.recordsets, [](const auto& weak) { return weak.expired(); });
  for (const auto& weak : connection.recordsets) {
    auto rs = weak.lock();
    if (!rs->open || !rs->database->connection) continue;
    try {
      Reload(*rs);
    } catch (const VbError&) {
      // Its table went with the rollback.
      rs->open = false;
    }
  }
}

// Nothing of a transaction whose held-back edits could not all be written is
// kept: it is rolled back whole, and the failure is raised.
[[noreturn]] void Abandon(WorkspaceState& ws, Connection& connection) {
  const VbError error = *connection.broken;
  (void)JoinWriter(connection);
  if (!sqlite3_get_autocommit(connection.handle))
    sqlite3_exec(connection.handle, "ROLLBACK", nullptr, nullptr, nullptr);
  connection.schema.reset();
  connection.depth = 0;
  connection.broken.reset();
  ForgetChangedRows(connection);
  ws.level = 0;
  ReloadAll(connection);
  throw error;
}

}  // namespace

void DBEngine::ProgramOwnsEngine() {
  // Refused (SQLITE_MISUSE) once SQLite has started: then the count stays,
  // which costs only time.
  (void)sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

Workspace& DBEngine::Workspaces(int index) {
  static Workspace defaultWorkspace([] {
    auto state = std::make_shared<WorkspaceState>();
    state->name = kDefaultWorkspace;
    state->isDefault = true;
    return state;
  }());
  if (index != 0) RaiseItemNotFound();
  return defaultWorkspace;
}

std::unique_ptr<Workspace> DBEngine::CreateWorkspace(const std::string& name, const std::string& /*user*/,
                                                     const std::string& /*password*/, int type) {
  if (type != dbUseDefault) RaiseInvalidArgument();
  auto state = std::make_shared<WorkspaceState>();
  state->name = name;
  return std::unique_ptr<Workspace>(new Workspace(std::move(state)));
}

Workspace::Workspace(std::shared_ptr<WorkspaceState> state) : state_(std::move(state)) {}

Workspace::~Workspace() {
  CloseWorkspace(*state_);
}

const std::string& Workspace::Name() const {
  return Live(state_).name;
}

std::unique_ptr<Database> Workspace::OpenDatabase(const std::string& path) {
  return std::unique_ptr<Database>(new Database(OpenConnection(Live(state_), path, false)));
}

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& path, bool* created) {
  WorkspaceState& ws = Live(state_);
  if (path.empty()) RaiseFileNotFound(path);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  const bool made = fd >= 0;
  if (made) {
    close(fd);
  } else {
    const int error = errno;
    struct stat info {};
    if (error != EEXIST) RaiseCannotOpen(path, std::strerror(error));
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0)
      Raise(dbe::DatabaseExists, "Database already exists.");
  }
  if (created) *created = made;
  try {
    return std::unique_ptr<Database>(new Database(OpenConnection(ws, path, true)));
  } catch (...) {
    if (made) unlink(path.c_str());
    throw;
  }
}

void Workspace::SetLockWait(std::chrono::milliseconds limit, std::function<void()> waiting) {
  WorkspaceState& ws = Live(state_);
  ws.lockWait = limit;
  ws.lockWaiting = std::move(waiting);
}

void Workspace::BeginTrans(bool forWriting) {
  WorkspaceState& ws = Live(state_);
  for (const auto& connection : Connections(ws)) {
    if (connection->broken) throw *connection->broken;
    // What was edited before belongs to the outer transaction.
    FlushPending(*connection);
    if (connection->depth == 0)
      Begin(*connection, forWriting, {});
    else
      Execute(Db(*connection), "SAVEPOINT trans", {});
    ++connection->depth;
  }
  if (ws.level == 0) ws.forWriting = forWriting;
  ++ws.level;
}

void Workspace::CommitTrans() {
  WorkspaceState& ws = Live(state_);
  if (ws.level == 0) RaiseNoTransaction();
  for (const auto& connection : Connections(ws)) {
    if (connection->depth == 0) continue;
    try {
      // The rows of a recordset still being read are read before the
      // transaction ends: both readings must see the same rows.
      if (connection->depth == 1) CompleteFilling(*connection);
      FlushPending(*connection);
    } catch (const VbError&) {
      // The connection is broken now.
    }
    if (connection->broken) Abandon(ws, *connection);
    if (connection->depth > 1) {
      Execute(Db(*connection), "RELEASE trans", {});
    } else {
      try {
        Execute(Db(*connection), "COMMIT", {});
      } catch (const VbError& e) {
        connection->broken = e;
        Abandon(ws, *connection);
      }
    }
    --connection->depth;
  }
  --ws.level;
}

void Workspace::Rollback() {
  WorkspaceState& ws = Live(state_);
  if (ws.level == 0) RaiseNoTransaction();
  for (const auto& connection : Connections(ws)) {
    if (connection->depth == 0) continue;
    // Edits held back are rolled back with the rest, and so are the tables
    // made since.
    DropPending(*connection);
    connection->schema.reset();
    // SQLite may already have rolled back the whole transaction after an error.
    if (sqlite3_get_autocommit(connection->handle)) {
      connection->depth = 0;
    } else if (connection->depth == 1) {
      // The outermost transaction is undone as a whole: released after a
      // rollback to its start, it would still count as a change of the file.
      Execute(Db(*connection), "ROLLBACK", {});
      connection->depth = 0;
    } else {
      Execute(Db(*connection), "ROLLBACK TO trans", {});
      Execute(Db(*connection), "RELEASE trans", {});
      --connection->depth;
    }
    if (connection->depth == 0) {
      connection->broken.reset();
      ForgetChangedRows(*connection);
    }
    ReloadAll(*connection);
  }
  --ws.level;
}

void Workspace::Close() {
  CloseWorkspace(Live(state_));
}

}  // namespace chkimport::dao
