// The database layer over SQLite's C interface.
#include "services/dao.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "chkimport/vb_error.h"

namespace chkimport::dao {

namespace detail {

struct ValueReader {
  static const auto& Data(const Value& v) { return v.data_; }
};

// Field names match without regard to case, as SQLite's own identifiers do
// (ASCII letters only).
char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const {
    std::size_t h = 14695981039346656037ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(Fold(c))) * 1099511628211ull;
    return h;
  }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
};

// The file's schema as sqlite_master lists it, read again only when the
// schema version moves: a pass that creates a code table per value list
// would otherwise scan the whole list at each look-up.
struct Schema {
  struct Entry {
    std::string type, name, tableName, sql;
  };
  long long version = -1;
  std::vector<Entry> entries;  // in sqlite_master's order
  std::unordered_map<std::string, std::size_t, NameHash, NameEqual> anyByName;
  std::unordered_map<std::string, std::size_t, NameHash, NameEqual> tablesByName;  // tables and views
  std::unordered_map<std::string, int, NameHash, NameEqual> triggersOn;
  std::vector<std::string> tableNames;  // the tables, without SQLite's own

  void add(Entry entry) {
    const std::size_t at = entries.size();
    anyByName.try_emplace(entry.name, at);
    if (entry.type == "table" || entry.type == "view") tablesByName.try_emplace(entry.name, at);
    if (entry.type == "trigger") ++triggersOn[entry.tableName];
    if (entry.type == "table" &&
        !(entry.name.size() >= 7 && SameName(std::string_view(entry.name).substr(0, 7), "sqlite_")))
      tableNames.push_back(entry.name);
    entries.push_back(std::move(entry));
  }
};

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

  // Held-back edits handed to a thread of their own, which writes them
  // while the caller goes on (see StartWriting). Until it is joined, only
  // that thread uses the connection.
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
    std::optional<VbError> error;
    std::atomic<bool> done{false};
  };
  std::unique_ptr<Batch> batch;
  std::thread writer;

  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    if (writer.joinable()) writer.join();
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

// A row held by a recordset; its values are in the recordset's cells.
struct Row {
  long long rowid = 0;
  // Where the row's edits held back are listed (RecordsetState::pending),
  // or kNotPending.
  std::uint32_t pendingAt = kNotPending;
  // Its values are being written by a writing thread (Connection::Batch).
  bool inBatch = false;
  static constexpr std::uint32_t kNotPending = static_cast<std::uint32_t>(-1);
};

// A row as read from the file.
struct RowValues {
  long long rowid = 0;
  std::vector<Value> values;
};

enum class EditMode { None, Editing, Adding };

inline constexpr std::size_t kEof = static_cast<std::size_t>(-1);
inline constexpr std::size_t kRowsPerBlock = 1024;

// A look-up index over one field of a recordset's rows [0, size()): the
// first row of every key. The keys are held once, in row order; an
// open-addressing table of row numbers finds them. Rows are mostly looked
// up in their own order, so FindFirst tries the row after each of the last
// two found (lastFound) before the table.
class KeyIndex {
 public:
  std::size_t column = 0;
  std::string (*key)(std::string_view) = nullptr;
  std::array<std::size_t, 2> lastFound{kEof, kEof};

  std::size_t size() const { return keys_.size(); }
  void reserve(std::size_t rows) {
    keys_.reserve(rows);
    firstOfKey_.reserve(rows);
  }
  // The next row's key; a Null (no key) is never found.
  void Add(std::optional<std::string> k) {
    const std::size_t row = keys_.size();
    if (!k) {
      keys_.emplace_back();
      firstOfKey_.push_back(false);
      return;
    }
    if ((row + 1) * 2 > slots_.size()) Grow(row + 1);
    const std::uint64_t hash = Hash(*k);
    std::size_t i = hash & (slots_.size() - 1);
    bool first = true;
    for (; slots_[i] != 0; i = (i + 1) & (slots_.size() - 1)) {
      if (Matches(slots_[i], hash, *k)) {
        first = false;
        break;
      }
    }
    if (first) slots_[i] = Slot(hash, row);
    keys_.push_back(std::move(*k));
    firstOfKey_.push_back(first);
  }
  // The first row with the key, or kEof.
  std::size_t Find(std::string_view wanted) const {
    if (slots_.empty()) return kEof;
    const std::uint64_t hash = Hash(wanted);
    for (std::size_t i = hash & (slots_.size() - 1); slots_[i] != 0; i = (i + 1) & (slots_.size() - 1))
      if (Matches(slots_[i], hash, wanted)) return (slots_[i] & 0xffffffffu) - 1;
    return kEof;
  }
  // True when the row is the first with the key `wanted`.
  bool IsFirstWith(std::size_t row, std::string_view wanted) const {
    return row < keys_.size() && firstOfKey_[row] && keys_[row] == wanted;
  }

 private:
  // A slot holds the key's hash in its upper half and the row number + 1 in
  // its lower half; 0 is an empty slot.
  static std::uint64_t Hash(std::string_view k) { return std::hash<std::string_view>{}(k); }
  static std::uint64_t Slot(std::uint64_t hash, std::size_t row) {
    return (hash & 0xffffffff00000000u) | (static_cast<std::uint64_t>(row) + 1);
  }
  bool Matches(std::uint64_t slot, std::uint64_t hash, std::string_view k) const {
    return (slot & 0xffffffff00000000u) == (hash & 0xffffffff00000000u) &&
           keys_[(slot & 0xffffffffu) - 1] == k;
  }
  void Grow(std::size_t rows) {
    std::size_t capacity = 1024;
    while (capacity < rows * 4) capacity *= 2;
    slots_.assign(capacity, 0);
    for (std::size_t row = 0; row < keys_.size(); ++row) {
      if (!firstOfKey_[row]) continue;
      const std::uint64_t hash = Hash(keys_[row]);
      std::size_t i = hash & (capacity - 1);
      while (slots_[i] != 0) i = (i + 1) & (capacity - 1);
      slots_[i] = Slot(hash, row);
    }
  }

  std::vector<std::string> keys_;
  std::vector<bool> firstOfKey_;
  std::vector<std::uint64_t> slots_;
};

struct RecordsetState {
  std::shared_ptr<DatabaseState> database;
  std::uint64_t id = 0;
  bool open = true;
  std::string table;  // as the schema spells it
  std::string query;  // fills the rows: row id first, then the fields
  std::string rowid;  // the name that reaches the row id in this table
  std::vector<std::string> columns;
  std::unordered_map<std::string, int, NameHash, NameEqual> columnIndex;
  // The names last asked for, spelled as asked, and their fields: callers
  // ask for the same few fields over and over.
  struct RecentName {
    std::string name;
    std::size_t column = 0;
  };
  mutable std::array<RecentName, 8> recentNames;
  mutable std::size_t nextRecent = 0;
  std::vector<Row> rows;
  // The values of every row, row after row, as many as there are columns,
  // in blocks of kRowsPerBlock rows, each block's room taken when it is
  // made: rows added never move the others.
  std::vector<std::vector<Value>> cells;
  // Row ids and their rows' places, made when first needed (bookmarks carry
  // the place, so it seldom is).
  std::unordered_map<long long, std::size_t> rowIndex;
  bool rowIndexMade = false;
  std::size_t current = kEof;
  EditMode mode = EditMode::None;
  std::vector<Value> buffer;  // while editing: the values assigned, where assigned is set
  std::vector<char> assigned;
  std::vector<std::size_t> changed;  // Update's list of the fields assigned, its room kept
  std::optional<long long> lastModified;
  std::size_t lastModifiedAt = 0;  // its row's place in rows
  // Per field: text stored in it stays the same text (its declared type
  // gives it text affinity or none).
  std::vector<bool> keepsText;
  bool hasTriggers = false;
  // Per field: writing text into it cannot fail on a rule of the table (no
  // CHECK, foreign key, unique index or generated value involves it), so
  // inside a transaction the write may wait and join the row's other writes.
  std::vector<bool> deferrable;
  // Rows edited but not yet written, in the order first edited, with the
  // fields to write; their values are the ones the rows hold. Rows keep
  // their place in rows while edits wait (nothing that moves or renumbers a
  // row is done before they are written).
  struct PendingRow {
    std::size_t at = 0;
    std::vector<std::size_t> fields;
  };
  std::vector<PendingRow> pending;
  // The UPDATE of each set of fields written, made once.
  std::map<std::vector<std::size_t>, std::string> updateSql;
  std::vector<KeyIndex> indexes;
};

}  // namespace detail

namespace {

using detail::Connection;
using detail::DatabaseState;
using detail::EditMode;
using detail::kEof;
using detail::kRowsPerBlock;
using detail::RecordsetState;
using detail::Row;
using detail::RowValues;
using detail::SameName;
using detail::WorkspaceState;

constexpr char kDefaultWorkspace[] = "#Default Workspace#";
// Constraint names of created tables; a failed CHECK names the constraint,
// which leads back to the field and the rule.
constexpr std::string_view kSizeRule = "FieldSize:";
constexpr std::string_view kZeroLengthRule = "ZeroLength:";

std::atomic<std::uint64_t> nextRecordsetId{1};

// ---- Errors -----------------------------------------------------------------

[[noreturn]] void RaiseEngine(const std::string& message) {
  Raise(dbe::Engine, "Reserved error (" + message + ")");
}
[[noreturn]] void RaiseClosed() {
  Raise(dbe::ObjectClosed, "Object invalid or no longer set.");
}
[[noreturn]] void RaiseItemNotFound() {
  Raise(dbe::ItemNotFound, "Item not found in this collection.");
}
[[noreturn]] void RaiseNoCurrentRecord() {
  Raise(dbe::NoCurrentRecord, "No current record.");
}
[[noreturn]] void RaiseInvalidArgument() {
  Raise(dbe::InvalidArgument, "Invalid argument.");
}
[[noreturn]] void RaiseSyntax() {
  Raise(dbe::SyntaxError, "Syntax error in FROM clause.");
}
[[noreturn]] void RaiseUpdateWithoutEdit() {
  Raise(dbe::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
}
[[noreturn]] void RaiseNotADatabase(const std::string& path) {
  Raise(dbe::NotADatabase, "Unrecognized database format '" + path + "'.");
}
[[noreturn]] void RaiseCannotOpen(const std::string& path, const std::string& reason) {
  Raise(dbe::CannotOpen, "The database engine cannot open the file '" + path + "'. " + reason);
}

// What a failing statement was about, for the descriptions of its errors.
struct Context {
  std::string_view path;
  std::string_view table;
};

[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, const Context& context) {
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(dbe::Locked, "Could not update; currently locked.");
    case SQLITE_READONLY:
      Raise(dbe::ReadOnly, "Cannot update. Database or object is read-only.");
    case SQLITE_NOTADB:
      RaiseNotADatabase(std::string(context.path));
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: {
      const int os = db ? sqlite3_system_errno(db) : 0;
      RaiseCannotOpen(std::string(context.path), os ? std::strerror(os) : message);
    }
    default:
      break;
  }
  if (rc == SQLITE_CONSTRAINT_CHECK) {
    constexpr std::string_view prefix = "CHECK constraint failed: ";
    std::string_view rule = message;
    if (rule.starts_with(prefix)) {
      rule.remove_prefix(prefix.size());
      if (rule.starts_with(kSizeRule))
        Raise(dbe::FieldTooSmall,
              "The field is too small to accept the amount of data you attempted to add. Try inserting or "
              "pasting less data.");
      if (rule.starts_with(kZeroLengthRule)) {
        rule.remove_prefix(kZeroLengthRule.size());
        Raise(dbe::ZeroLength, "Field '" + std::string(context.table) + "." + std::string(rule) +
                                   "' cannot be a zero-length string.");
      }
    }
  }
  RaiseEngine(message);
}

// ---- Statements -------------------------------------------------------------

std::string Quote(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// Whether SQLite stores text given to a field of this declared type as that
// same text: text affinity, or none.
bool KeepsText(std::string declared) {
  for (auto& c : declared) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (declared.find("INT") != std::string::npos) return false;
  if (declared.find("CHAR") != std::string::npos || declared.find("CLOB") != std::string::npos ||
      declared.find("TEXT") != std::string::npos)
    return true;
  return declared.empty() || declared.find("BLOB") != std::string::npos;
}

constexpr std::size_t kPreparedAtMost = 64;

void forgetIdle(Connection& connection) {
  for (auto it = connection.prepared.begin(); it != connection.prepared.end();) {
    if (it->second.inUse) {
      ++it;
      continue;
    }
    sqlite3_finalize(it->second.stmt);
    it = connection.prepared.erase(it);
  }
}

// Binds a value to a parameter; text that stays as it is until the
// statement is reset need not be copied.
void BindValue(sqlite3* db, sqlite3_stmt* stmt, int index, const Value& value, bool copyText,
               const Context& context) {
  const auto& data = detail::ValueReader::Data(value);
  int rc = SQLITE_OK;
  if (const auto* n = std::get_if<long long>(&data)) {
    rc = sqlite3_bind_int64(stmt, index, *n);
  } else if (const auto* r = std::get_if<double>(&data)) {
    rc = sqlite3_bind_double(stmt, index, *r);
  } else if (const auto* s = std::get_if<std::string>(&data)) {
    rc = sqlite3_bind_text64(stmt, index, s->data(), s->size(), copyText ? SQLITE_TRANSIENT : SQLITE_STATIC,
                             SQLITE_UTF8);
  } else {
    rc = sqlite3_bind_null(stmt, index);
  }
  if (rc != SQLITE_OK) RaiseSqlite(db, rc, context);
}

void DropPending(Connection& connection) noexcept;

// Waits for the connection's writing thread, if any, and gives back the
// error that stopped it.
std::optional<VbError> JoinWriter(Connection& connection) noexcept {
  if (!connection.writer.joinable()) return std::nullopt;
  connection.writer.join();
  Connection::Batch& batch = *connection.batch;
  for (Connection::Prepared* prepared : batch.statements) prepared->inUse = false;
  for (const std::size_t at : batch.rows)
    if (at < batch.owner->rows.size()) batch.owner->rows[at].inBatch = false;
  std::optional<VbError> error = std::move(batch.error);
  connection.batch.reset();
  return error;
}

// Waits for the writing thread. When one of its writes failed, the edits
// still held back are dropped and the connection is broken: its
// transaction can only be rolled back.
void Settle(Connection& connection) {
  if (auto error = JoinWriter(connection)) {
    DropPending(connection);
    connection.broken = *error;
    throw *error;
  }
}

// The connection's SQLite handle, free for the caller's use. SQLite may
// have rolled the transaction back after a failure of its own (a full disk,
// an I/O error): then the connection is broken, so that nothing is ever
// written outside the transaction its user believes it is in.
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

// A statement that failed inside a transaction breaks it when the failure
// is the file's and not the row's: SQLite rolled the transaction back, or
// the file could not be written or read (a full disk, an I/O error, no room
// for the journal, a read-only file, a lock). Going on would only fail
// again at every write; a value a table refuses is not such a failure.
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

// The statement the connection keeps prepared for this SQL, prepared now
// if it is not yet. The caller has the connection to itself.
Connection::Prepared& Kept(Connection& connection, const std::string& sql, const Context& context) {
  // Statements of one-off SQL (a code table's rows) must not pile up.
  if (connection.prepared.size() >= kPreparedAtMost) forgetIdle(connection);
  Connection::Prepared& kept = connection.prepared[sql];
  if (!kept.stmt) {
    const int rc =
        sqlite3_prepare_v2(connection.handle, sql.data(), static_cast<int>(sql.size()), &kept.stmt, nullptr);
    if (rc != SQLITE_OK) {
      connection.prepared.erase(sql);
      RaiseSqlite(connection.handle, rc, context);
    }
  }
  return kept;
}

class Statement {
 public:
  // A failure of the statement is noted on `owner` (see NoteFailure).
  Statement(sqlite3* db, const std::string& sql, Context context, Connection* owner = nullptr)
      : db_(db), context_(context), owner_(owner) {
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) RaiseSqlite(db_, rc, context_);
  }
  // A statement the connection keeps prepared for the next use of the same
  // SQL; one already running is not shared.
  Statement(Connection& connection, const std::string& sql, Context context)
      : db_(Db(connection)), context_(context), owner_(&connection) {
    Connection::Prepared& kept = Kept(connection, sql, context_);
    if (kept.inUse) {
      const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
      if (rc != SQLITE_OK) RaiseSqlite(db_, rc, context_);
      return;
    }
    kept.inUse = true;
    kept_ = &kept;
    stmt_ = kept.stmt;
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() {
    if (!kept_) {
      sqlite3_finalize(stmt_);
      return;
    }
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    kept_->inUse = false;
  }

  // True while there is a row to read.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    try {
      RaiseSqlite(db_, rc, context_);
    } catch (const VbError& e) {
      if (owner_) NoteFailure(*owner_, rc, e);
      throw;
    }
  }

  void Bind(int index, const Value& value) { BindValue(db_, stmt_, index, value, true, context_); }
  void Bind(int index, const std::string& text) { Bind(index, Value(text)); }
  // As Bind, for a value that stays as it is until the statement is reset:
  // its text is not copied.
  void BindUnchanging(int index, const Value& value) { BindValue(db_, stmt_, index, value, false, context_); }

  int ColumnCount() const { return sqlite3_column_count(stmt_); }
  std::string DeclType(int index) const {
    const char* type = sqlite3_column_decltype(stmt_, index);
    return type ? type : "";
  }
  std::string ColumnName(int index) const {
    const char* name = sqlite3_column_name(stmt_, index);
    return name ? name : "";
  }
  long long Integer(int index) const { return sqlite3_column_int64(stmt_, index); }
  Value Column(int index) const {
    switch (sqlite3_column_type(stmt_, index)) {
      case SQLITE_NULL:
        return Value();
      case SQLITE_INTEGER:
        return Value(static_cast<long long>(sqlite3_column_int64(stmt_, index)));
      case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_, index));
      case SQLITE_BLOB: {
        const void* bytes = sqlite3_column_blob(stmt_, index);
        const int size = sqlite3_column_bytes(stmt_, index);
        return Value(size ? std::string(static_cast<const char*>(bytes), size) : std::string());
      }
      default: {
        const unsigned char* text = sqlite3_column_text(stmt_, index);
        const int size = sqlite3_column_bytes(stmt_, index);
        return Value(size ? std::string(reinterpret_cast<const char*>(text), size) : std::string());
      }
    }
  }

 private:
  sqlite3* db_;
  Context context_;
  Connection* owner_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  Connection::Prepared* kept_ = nullptr;
};

void Execute(sqlite3* db, const std::string& sql, Context context, Connection* owner = nullptr) {
  Statement statement(db, sql, context, owner);
  while (statement.Step()) {
  }
}

// ---- Object states ----------------------------------------------------------

Connection& Live(const DatabaseState& state) {
  if (!state.connection) RaiseClosed();
  if (state.connection->broken) throw *state.connection->broken;
  return *state.connection;
}

RecordsetState& Open(const std::shared_ptr<RecordsetState>& state) {
  if (!state->open || !state->database->connection) RaiseClosed();
  return *state;
}

RecordsetState& Live(const std::shared_ptr<RecordsetState>& state) {
  RecordsetState& rs = Open(state);
  if (rs.database->connection->broken) throw *rs.database->connection->broken;
  return rs;
}

WorkspaceState& Live(const std::shared_ptr<WorkspaceState>& state) {
  if (state->closed) RaiseClosed();
  return *state;
}

Context ContextOf(const RecordsetState& rs) {
  return {rs.database->name, rs.table};
}

// ---- Edits held back ---------------------------------------------------------
//
// Inside a transaction, text written into fields that no rule of the table
// can refuse is not written at once: the row keeps the new values, and one
// UPDATE per row writes all of its held edits before anything else reads or
// writes through the connection, and before a commit. A pass edits a field's
// row several times (property letters, then its check code); written this
// way, each row costs one statement.

const std::string& UpdateSql(RecordsetState& rs, const std::vector<std::size_t>& fields) {
  std::string& sql = rs.updateSql[fields];
  if (sql.empty()) {
    sql = "UPDATE " + Quote(rs.table) + " SET ";
    for (std::size_t k = 0; k < fields.size(); ++k)
      sql += (k ? ", " : "") + Quote(rs.columns[fields[k]]) + " = ?" + std::to_string(k + 1);
    sql += " WHERE " + rs.rowid + " = ?" + std::to_string(fields.size() + 1);
  }
  return sql;
}

Value* CellsOf(RecordsetState& rs, std::size_t at) {
  return rs.cells[at / kRowsPerBlock].data() + at % kRowsPerBlock * rs.columns.size();
}
const Value* CellsOf(const RecordsetState& rs, std::size_t at) {
  return rs.cells[at / kRowsPerBlock].data() + at % kRowsPerBlock * rs.columns.size();
}

// Adds a row at the end of rows; the caller adds its values to the block
// returned, as many as there are columns.
std::vector<Value>& AddRow(RecordsetState& rs, long long rowid) {
  if (rs.rows.size() % kRowsPerBlock == 0) {
    rs.cells.emplace_back();
    rs.cells.back().reserve(kRowsPerBlock * rs.columns.size());
  }
  rs.rows.push_back({rowid});
  return rs.cells.back();
}

// The place of the row with this row id, or kEof; `hint` is where it was.
std::size_t PlaceOf(RecordsetState& rs, long long rowid, std::size_t hint = kEof) {
  if (hint < rs.rows.size() && rs.rows[hint].rowid == rowid) return hint;
  if (!rs.rowIndexMade) {
    rs.rowIndex.clear();
    rs.rowIndex.reserve(rs.rows.size());
    for (std::size_t at = 0; at < rs.rows.size(); ++at) rs.rowIndex.emplace(rs.rows[at].rowid, at);
    rs.rowIndexMade = true;
  }
  auto it = rs.rowIndex.find(rowid);
  return it == rs.rowIndex.end() ? kEof : it->second;
}

// Puts a row read from the file at its place (rows.size() adds it).
void PlaceRow(RecordsetState& rs, std::size_t at, RowValues&& row) {
  if (at == rs.rows.size()) {
    std::vector<Value>& block = AddRow(rs, row.rowid);
    for (auto& value : row.values) block.push_back(std::move(value));
    if (rs.rowIndexMade) rs.rowIndex[row.rowid] = at;
    return;
  }
  if (rs.rowIndexMade) {
    rs.rowIndex.erase(rs.rows[at].rowid);
    rs.rowIndex[row.rowid] = at;
  }
  rs.rows[at].rowid = row.rowid;
  std::move(row.values.begin(), row.values.end(), CellsOf(rs, at));
}

void ForgetPending(RecordsetState& rs) noexcept {
  for (const auto& held : rs.pending)
    if (held.at < rs.rows.size()) rs.rows[held.at].pendingAt = Row::kNotPending;
  rs.pending.clear();
}

void WritePending(Connection& connection, RecordsetState& rs) {
  const Context context = ContextOf(rs);
  std::vector<RecordsetState::PendingRow> pending = std::move(rs.pending);
  rs.pending.clear();
  for (const auto& held : pending) rs.rows[held.at].pendingAt = Row::kNotPending;
  for (auto& held : pending) {
    std::vector<std::size_t>& fields = held.fields;
    std::sort(fields.begin(), fields.end());
    const Value* values = CellsOf(rs, held.at);
    Statement update(connection, UpdateSql(rs, fields), context);
    // The row's values stay as they are until the statement is reset.
    for (std::size_t k = 0; k < fields.size(); ++k)
      update.BindUnchanging(static_cast<int>(k) + 1, values[fields[k]]);
    update.Bind(static_cast<int>(fields.size()) + 1, Value(rs.rows[held.at].rowid));
    update.Step();
    if (sqlite3_changes(connection.handle) != 1) Raise(dbe::RecordDeleted, "Record is deleted.");
  }
}

void DropPending(Connection& connection) noexcept {
  (void)JoinWriter(connection);
  connection.pendingWrites = false;
  connection.pendingOwner = nullptr;
  for (const auto& weak : connection.recordsets)
    if (auto rs = weak.lock()) ForgetPending(*rs);
}

// The writing thread's work: each write of the batch in turn, until one
// fails.
void WriteBatch(sqlite3* db, Connection::Batch& batch) noexcept {
  const Context context{batch.path, batch.table};
  try {
    for (const auto& write : batch.writes) {
      sqlite3_stmt* stmt = write.prepared->stmt;
      int index = 1;
      for (const std::size_t field : write.fields)
        BindValue(db, stmt, index++, write.values[field], false, context);
      BindValue(db, stmt, index, Value(write.rowid), false, context);
      const int rc = sqlite3_step(stmt);
      if (rc != SQLITE_DONE) RaiseSqlite(db, rc, context);
      sqlite3_reset(stmt);
      if (sqlite3_changes(db) != 1) Raise(dbe::RecordDeleted, "Record is deleted.");
    }
  } catch (const VbError& e) {
    batch.error = e;
  } catch (...) {
    batch.error = VbError(7, "Out of memory");
  }
  // A write that failed left its statement unreset.
  for (Connection::Prepared* prepared : batch.statements) {
    sqlite3_reset(prepared->stmt);
    sqlite3_clear_bindings(prepared->stmt);
  }
  // What the batch took is let go of here, not in the caller's time.
  std::vector<Connection::Write>().swap(batch.writes);
  batch.done.store(true, std::memory_order_release);
}

// Rows whose edits are held back, this many or more, are handed to a
// writing thread, all but the current row (which is likely to be edited
// again): a pass translates its next fields while SQLite writes the rows of
// the last ones. The thread is joined before anything else uses the
// connection.
constexpr std::size_t kRowsPerBatch = 2048;

void StartWriting(Connection& connection, RecordsetState& rs) {
  if (rs.pending.size() < kRowsPerBatch) return;
  if (connection.writer.joinable()) {
    // One batch at a time; the rows wait for the next.
    if (!connection.batch->done.load(std::memory_order_acquire)) return;
    Settle(connection);
  }
  auto batch = std::make_unique<Connection::Batch>();
  batch->owner = &rs;
  const Context context = ContextOf(rs);
  batch->path = context.path;
  batch->table = context.table;
  batch->writes.reserve(rs.pending.size());
  batch->rows.reserve(rs.pending.size());
  std::vector<RecordsetState::PendingRow> kept;
  try {
    for (auto& held : rs.pending) {
      Row& row = rs.rows[held.at];
      if (held.at == rs.current) {
        row.pendingAt = static_cast<std::uint32_t>(kept.size());
        kept.push_back(std::move(held));
        continue;
      }
      std::sort(held.fields.begin(), held.fields.end());
      Connection::Prepared& prepared = Kept(connection, UpdateSql(rs, held.fields), context);
      if (!prepared.inUse) {
        prepared.inUse = true;
        batch->statements.push_back(&prepared);
      }
      batch->writes.push_back({&prepared, row.rowid, CellsOf(rs, held.at), std::move(held.fields)});
      batch->rows.push_back(held.at);
      row.pendingAt = Row::kNotPending;
      row.inBatch = true;
    }
  } catch (const VbError& e) {
    // Some rows may have left the list: nothing of the transaction can be kept.
    for (Connection::Prepared* prepared : batch->statements) prepared->inUse = false;
    for (const std::size_t at : batch->rows) rs.rows[at].inBatch = false;
    for (const auto& held : rs.pending) rs.rows[held.at].pendingAt = Row::kNotPending;
    rs.pending.clear();
    DropPending(connection);
    connection.broken = e;
    throw;
  }
  rs.pending = std::move(kept);
  connection.pendingWrites = !rs.pending.empty();
  if (batch->writes.empty()) return;
  connection.batch = std::move(batch);
  connection.writer = std::thread(WriteBatch, connection.handle, std::ref(*connection.batch));
}

// Writes every edit held back on the connection, or only those of one
// table: with no trigger or foreign key behind a held edit, the other
// tables read the same either way. When a write fails, the rest are dropped
// and the connection is broken: its transaction can only be rolled back,
// so that no part of it is ever committed.
void FlushPending(Connection& connection, std::optional<std::string_view> table = std::nullopt) {
  Settle(connection);
  if (!connection.pendingWrites) return;
  connection.pendingWrites = false;
  try {
    for (const auto& weak : connection.recordsets) {
      auto rs = weak.lock();
      if (!rs || rs->pending.empty()) continue;
      if (table && !SameName(*table, rs->table)) {
        connection.pendingWrites = true;
        continue;
      }
      WritePending(connection, *rs);
    }
  } catch (const VbError& e) {
    DropPending(connection);
    connection.broken = e;
    throw;
  }
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

void CloseWorkspace(WorkspaceState& ws) noexcept {
  for (const auto& weak : ws.databases)
    if (auto db = weak.lock()) CloseDatabase(*db);
  ws.databases.clear();
  ws.level = 0;
  if (!ws.isDefault) ws.closed = true;
}

// ---- Recordset rows ---------------------------------------------------------

std::size_t IndexOf(const RecordsetState& rs, const std::string& name) {
  for (const auto& recent : rs.recentNames)
    if (!recent.name.empty() && recent.name == name) return recent.column;
  auto it = rs.columnIndex.find(std::string_view(name));
  if (it == rs.columnIndex.end()) RaiseItemNotFound();
  auto& slot = rs.recentNames[rs.nextRecent++ % rs.recentNames.size()];
  slot.name = name;
  slot.column = static_cast<std::size_t>(it->second);
  return slot.column;
}

void Load(RecordsetState& rs) {
  Connection& connection = *rs.database->connection;
  Statement select(Db(connection), rs.query, ContextOf(rs), &connection);
  ForgetPending(rs);
  rs.rows.clear();
  rs.cells.clear();
  rs.rowIndex.clear();
  rs.rowIndexMade = false;
  rs.indexes.clear();
  while (select.Step()) {
    std::vector<Value>& block = AddRow(rs, select.Integer(0));
    for (std::size_t i = 0; i < rs.columns.size(); ++i)
      block.push_back(select.Column(static_cast<int>(i) + 1));
  }
}

// Reads one row back from the file, as SQLite stored it.
std::optional<RowValues> ReadRow(const RecordsetState& rs, long long rowid) {
  std::string sql = "SELECT " + rs.rowid;
  for (const auto& column : rs.columns) sql += ", " + Quote(column);
  sql += " FROM " + Quote(rs.table) + " WHERE " + rs.rowid + " = ?1";
  Statement select(*rs.database->connection, sql, ContextOf(rs));
  select.Bind(1, Value(rowid));
  if (!select.Step()) return std::nullopt;
  RowValues row;
  row.rowid = select.Integer(0);
  for (std::size_t i = 0; i < rs.columns.size(); ++i)
    row.values.push_back(select.Column(static_cast<int>(i) + 1));
  return row;
}

// After a rollback the rows held no longer match the file: read them again,
// keeping the current row where it still exists.
void Reload(RecordsetState& rs) {
  std::optional<long long> current;
  if (rs.current != kEof) current = rs.rows[rs.current].rowid;
  rs.mode = EditMode::None;
  Load(rs);
  rs.current = current ? PlaceOf(rs, *current) : kEof;
}

// Bookmarks: the recordset's number (its low four bytes), the row id (eight
// bytes) and the row's place in the recordset's rows (its low three bytes):
// fifteen bytes, short enough to be kept without an allocation. The place
// saves a search; the row id decides.
constexpr std::size_t kBookmarkSize = 15;
std::string MakeBookmark(std::uint64_t recordset, long long rowid, std::size_t at) {
  std::string bookmark(kBookmarkSize, '\0');
  const auto number = static_cast<std::uint32_t>(recordset);
  const auto place = static_cast<std::uint32_t>(at);
  std::memcpy(bookmark.data(), &number, 4);
  std::memcpy(bookmark.data() + 4, &rowid, 8);
  std::memcpy(bookmark.data() + 12, &place, 3);
  return bookmark;
}

// ---- Queries ----------------------------------------------------------------

struct Query {
  std::string table;
  bool pagesOnly = false;  // "where Pagenumber >= 0"
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

struct Token {
  enum Kind { Word, Quoted, Star, AtLeast } kind;
  std::string text;
};

std::vector<Token> Tokens(const std::string& sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '[') {
      const std::size_t close = sql.find(']', i + 1);
      if (close == std::string::npos) RaiseSyntax();
      tokens.push_back({Token::Quoted, sql.substr(i + 1, close - i - 1)});
      i = close + 1;
    } else if (c == '"') {
      // As SQLite quotes a name: in double quotes, a double quote inside
      // doubled.
      std::string name;
      for (++i;; ++i) {
        if (i >= sql.size()) RaiseSyntax();
        if (sql[i] == '"') {
          if (i + 1 < sql.size() && sql[i + 1] == '"') {
            name += '"';
            ++i;
            continue;
          }
          break;
        }
        name += sql[i];
      }
      tokens.push_back({Token::Quoted, std::move(name)});
      ++i;
    } else if (c == '*') {
      tokens.push_back({Token::Star, "*"});
      ++i;
    } else if (c == '>' && i + 1 < sql.size() && sql[i + 1] == '=') {
      tokens.push_back({Token::AtLeast, ">="});
      i += 2;
    } else {
      std::size_t end = i + 1;
      while (end < sql.size() && !IsBlank(sql[end]) &&
             std::string_view("[]\"*>=").find(sql[end]) == std::string_view::npos)
        ++end;
      tokens.push_back({Token::Word, sql.substr(i, end - i)});
      i = end;
    }
  }
  return tokens;
}

bool IsWord(const Token& token, std::string_view word) {
  return token.kind == Token::Word && SameName(token.text, word);
}

// A table name written without quotes: letters, digits, underscores and
// any non-ASCII character.
bool IsPlainName(const std::string& name) {
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '_' || u >= 0x80)) return false;
  }
  return !name.empty();
}

Query ParseQuery(const std::string& sql) {
  const std::vector<Token> t = Tokens(sql);
  if (t.size() != 4 && t.size() != 8) RaiseSyntax();
  if (!IsWord(t[0], "select") || t[1].kind != Token::Star || !IsWord(t[2], "from")) RaiseSyntax();
  Query query;
  if (t[3].kind == Token::Quoted && !t[3].text.empty()) {
    query.table = t[3].text;
  } else if (t[3].kind == Token::Word && IsPlainName(t[3].text)) {
    query.table = t[3].text;
  } else {
    RaiseSyntax();
  }
  if (t.size() == 8) {
    if (!IsWord(t[4], "where") || !IsWord(t[5], "pagenumber") || t[6].kind != Token::AtLeast ||
        !IsWord(t[7], "0"))
      RaiseSyntax();
    query.pagesOnly = true;
  }
  return query;
}

}  // namespace

// ---- Value ------------------------------------------------------------------

Value::Value(const char* text) {
  if (text) data_ = std::string(text);
}

std::string Value::ToString() const {
  if (const auto* n = std::get_if<long long>(&data_)) return std::to_string(*n);
  if (const auto* r = std::get_if<double>(&data_)) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *r);
    return std::string(buffer, result.ptr);
  }
  if (const auto* s = std::get_if<std::string>(&data_)) return *s;
  Raise(94, "Invalid use of Null");
}

bool operator==(const Value& a, const Value& b) {
  const auto* ai = std::get_if<long long>(&a.data_);
  const auto* ad = std::get_if<double>(&a.data_);
  const auto* bi = std::get_if<long long>(&b.data_);
  const auto* bd = std::get_if<double>(&b.data_);
  // A whole number equals a real only when the real is exactly that number.
  auto same = [](long long i, double d) {
    return std::isfinite(d) && std::trunc(d) == d && d >= -0x1p63 && d < 0x1p63 &&
           static_cast<long long>(d) == i;
  };
  if (ai && bd) return same(*ai, *bd);
  if (ad && bi) return same(*bi, *ad);
  return a.data_ == b.data_;
}

// ---- DBEngine and Workspace -------------------------------------------------

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

void ForgetChangedRows(Connection& connection) noexcept {
  connection.changedRows.clear();
  connection.lastChangedRows = nullptr;
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

// Begins the connection's outermost transaction; for writing, with the
// write lock taken at once.
void Begin(Connection& connection, bool forWriting, const Context& context) {
  if (forWriting && sqlite3_db_readonly(connection.handle, "main") == 1)
    Raise(dbe::ReadOnly, "Cannot update. Database or object is read-only.");
  Execute(Db(connection), forWriting ? "BEGIN EXCLUSIVE" : "BEGIN", context);
  ForgetChangedRows(connection);
}

std::shared_ptr<DatabaseState> Open(WorkspaceState& ws, const std::string& path, bool empty) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    if (path.empty() || errno == ENOENT || errno == ENOTDIR)
      Raise(dbe::FileNotFound, "Could not find file '" + path + "'.");
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
    sqlite3_update_hook(connection->handle, NoteChangedRow, connection.get());
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

}  // namespace

std::unique_ptr<Database> Workspace::OpenDatabase(const std::string& path) {
  return std::unique_ptr<Database>(new Database(Open(Live(state_), path, false)));
}

std::unique_ptr<Database> Workspace::CreateDatabase(const std::string& path, bool* created) {
  WorkspaceState& ws = Live(state_);
  if (path.empty()) Raise(dbe::FileNotFound, "Could not find file '" + path + "'.");
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
    return std::unique_ptr<Database>(new Database(Open(ws, path, true)));
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

namespace {

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
  if (ws.level == 0)
    Raise(dbe::NoTransaction,
          "You tried to commit or roll back a transaction without first beginning a transaction.");
  for (const auto& connection : Connections(ws)) {
    if (connection->depth == 0) continue;
    try {
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
  if (ws.level == 0)
    Raise(dbe::NoTransaction,
          "You tried to commit or roll back a transaction without first beginning a transaction.");
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

// ---- TableDef ---------------------------------------------------------------

FieldDef TableDef::CreateField(const std::string& name, int type, int size) const {
  FieldDef field;
  field.Name = name;
  field.Type = type;
  field.Size = size;
  return field;
}

void TableDef::AppendField(const FieldDef& field) {
  Fields.push_back(field);
}

// ---- Database ---------------------------------------------------------------

Database::Database(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {}

Database::~Database() {
  CloseDatabase(*state_);
}

const std::string& Database::Name() const {
  Live(*state_);
  return state_->name;
}

namespace {

long long SchemaVersion(Connection& connection, const std::string& name) {
  Statement version(connection, "PRAGMA schema_version", {name, {}});
  return version.Step() ? version.Integer(0) : -1;
}

const detail::Schema& CurrentSchema(Connection& connection, const std::string& name) {
  const long long version = SchemaVersion(connection, name);
  if (connection.schema && connection.schema->version == version) return *connection.schema;
  detail::Schema schema;
  schema.version = version;
  Statement select(connection,
                   "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master ORDER BY rowid",
                   {name, {}});
  while (select.Step())
    schema.add({select.Column(0).ToString(), select.Column(1).ToString(), select.Column(2).ToString(),
                select.Column(3).ToString()});
  connection.schema = std::move(schema);
  return *connection.schema;
}

const std::vector<std::string>& TableNames(Connection& connection, const std::string& name) {
  return CurrentSchema(connection, name).tableNames;
}

}  // namespace

int Database::TableDefsCount() {
  return static_cast<int>(TableNames(Live(*state_), state_->name).size());
}

std::string Database::TableDefName(int index) {
  const auto& names = TableNames(Live(*state_), state_->name);
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) RaiseItemNotFound();
  return names[static_cast<std::size_t>(index)];
}

namespace {

bool HasWord(const std::string& upperText, std::string_view word) {
  auto isNamePart = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (std::size_t at = upperText.find(word); at != std::string::npos; at = upperText.find(word, at + 1)) {
    const std::size_t after = at + word.size();
    if ((at == 0 || !isNamePart(upperText[at - 1])) &&
        (after == upperText.size() || !isNamePart(upperText[after])))
      return true;
  }
  return false;
}

// Which fields take text that no rule of the table can refuse. Any doubt
// (a rule anywhere in the table's definition, a trigger, foreign keys
// enforced, an index over an expression) keeps every write immediate.
std::vector<bool> Deferrable(Connection& connection, const RecordsetState& rs, std::string definition,
                             const Context& context) {
  std::vector<bool> result = rs.keepsText;
  auto none = [&] { return std::vector<bool>(rs.columns.size(), false); };
  if (rs.hasTriggers) return none();
  for (auto& c : definition) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (HasWord(definition, "CHECK") || HasWord(definition, "REFERENCES")) return none();
  {
    // Generated fields cannot be written at all: their writes fail at once.
    Statement fields(Db(connection), "SELECT name FROM pragma_table_xinfo(?1) WHERE hidden >= 2", context);
    fields.Bind(1, rs.table);
    while (fields.Step()) {
      auto column = rs.columnIndex.find(fields.Column(0).ToString());
      if (column != rs.columnIndex.end()) result[static_cast<std::size_t>(column->second)] = false;
    }
  }
  {
    Statement foreignKeys(Db(connection), "PRAGMA foreign_keys", context);
    if (foreignKeys.Step() && foreignKeys.Integer(0) != 0) return none();
  }
  Statement indexes(Db(connection),
                    "SELECT i.\"unique\", c.cid, c.name FROM pragma_index_list(?1) AS i "
                    "JOIN pragma_index_info(i.name) AS c",
                    context);
  indexes.Bind(1, rs.table);
  while (indexes.Step()) {
    if (indexes.Integer(1) < 0) return none();
    if (indexes.Integer(0) == 0) continue;
    auto column = rs.columnIndex.find(indexes.Column(2).ToString());
    if (column != rs.columnIndex.end()) result[static_cast<std::size_t>(column->second)] = false;
  }
  return result;
}

}  // namespace

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& sql, int type) {
  Connection& connection = Live(*state_);
  if (type != dbOpenDynaset) RaiseInvalidArgument();
  const Query query = ParseQuery(sql);

  auto rs = std::make_shared<RecordsetState>();
  rs->database = state_;
  Context context{state_->name, query.table};
  const detail::Schema& schema = CurrentSchema(connection, state_->name);
  const auto found = schema.tablesByName.find(std::string_view(query.table));
  if (found == schema.tablesByName.end())
    Raise(dbe::TableNotFound, "The database engine cannot find the input table or query '" + query.table +
                                  "'. Make sure it exists and that its name is spelled correctly.");
  const detail::Schema::Entry& entry = schema.entries[found->second];
  if (entry.type == "view")
    RaiseEngine("'" + query.table + "' is a view; the database layer opens tables only");
  rs->table = entry.name;
  rs->hasTriggers = schema.triggersOn.contains(std::string_view(rs->table));
  const std::string definition = entry.sql;
  FlushPending(connection, rs->table);
  context.table = rs->table;
  {
    Statement probe(Db(connection), "SELECT * FROM " + Quote(rs->table), context, &connection);
    for (int i = 0; i < probe.ColumnCount(); ++i) {
      rs->columns.push_back(probe.ColumnName(i));
      rs->columnIndex.emplace(rs->columns.back(), i);
      rs->keepsText.push_back(KeepsText(probe.DeclType(i)));
    }
  }
  rs->deferrable = Deferrable(connection, *rs, definition, context);
  // A field may itself be called rowid; SQLite then still knows the row id
  // by its other names.
  for (const char* alias : {"rowid", "_rowid_", "oid"}) {
    if (!rs->columnIndex.contains(std::string_view(alias))) {
      rs->rowid = alias;
      break;
    }
  }
  const std::string noRowid = "table '" + rs->table + "' has no row ids; the database layer cannot open it";
  if (rs->rowid.empty()) RaiseEngine(noRowid);
  rs->query = "SELECT " + rs->rowid + ", * FROM " + Quote(rs->table);
  if (query.pagesOnly) {
    auto page = rs->columnIndex.find(std::string_view("PageNumber"));
    if (page == rs->columnIndex.end()) Raise(dbe::TooFewParameters, "Too few parameters. Expected 1.");
    rs->query += " WHERE " + Quote(rs->columns[static_cast<std::size_t>(page->second)]) + " >= 0";
  }
  rs->query += " ORDER BY " + rs->rowid;
  {
    // A table made WITHOUT ROWID has none of the row id names.
    sqlite3_stmt* check = nullptr;
    const std::string sql0 = "SELECT " + rs->rowid + " FROM " + Quote(rs->table);
    const int rc = sqlite3_prepare_v2(Db(connection), sql0.c_str(), -1, &check, nullptr);
    sqlite3_finalize(check);
    if (rc != SQLITE_OK) RaiseEngine(noRowid);
  }
  Load(*rs);
  rs->id = nextRecordsetId++;
  rs->current = rs->rows.empty() ? kEof : 0;
  std::erase_if(connection.recordsets, [](const auto& weak) { return weak.expired(); });
  connection.recordsets.push_back(rs);
  return std::unique_ptr<Recordset>(new Recordset(std::move(rs)));
}

TableDef Database::CreateTableDef(const std::string& name) {
  Live(*state_);
  TableDef def;
  def.Name = name;
  return def;
}

void Database::AppendTableDef(const TableDef& def) {
  Connection& connection = Live(*state_);
  if (def.Name.empty() || def.Fields.empty()) RaiseInvalidArgument();
  for (const auto& field : def.Fields)
    if (field.Name.empty() || field.Type != dbText || field.Size < 1 || field.Size > 255)
      RaiseInvalidArgument();
  const Context context{state_->name, def.Name};
  if (CurrentSchema(connection, state_->name).anyByName.contains(std::string_view(def.Name)))
    Raise(dbe::TableExists, "Table '" + def.Name + "' already exists.");
  // length() counts characters of text. The rules are named so that a failed
  // CHECK leads back to its field (see RaiseSqlite).
  std::string sql = "CREATE TABLE " + Quote(def.Name) + " (";
  for (std::size_t i = 0; i < def.Fields.size(); ++i) {
    const FieldDef& field = def.Fields[i];
    const std::string column = Quote(field.Name);
    const std::string size = std::to_string(field.Size);
    if (i) sql += ", ";
    sql += column + " VARCHAR(" + size + ") CONSTRAINT " + Quote(std::string(kSizeRule) + field.Name) +
           " CHECK (length(" + column + ") <= " + size + ")";
    if (!field.AllowZeroLength)
      sql +=
          " CONSTRAINT " + Quote(std::string(kZeroLengthRule) + field.Name) + " CHECK (" + column + " <> '')";
  }
  sql += ")";
  // The schema known before (current: it was just consulted) stays so with
  // this table added.
  dao::Execute(Db(connection), sql, context, &connection);
  if (connection.schema) {
    connection.schema->add({"table", def.Name, def.Name, sql});
    connection.schema->version = SchemaVersion(connection, state_->name);
  }
}

void Database::Execute(const std::string& sql, const std::vector<Value>& parameters) {
  Connection& connection = Live(*state_);
  FlushPending(connection);
  const Context context{state_->name, {}};
  Statement statement(Db(connection), sql, context, &connection);
  for (std::size_t i = 0; i < parameters.size(); ++i) statement.Bind(static_cast<int>(i) + 1, parameters[i]);
  while (statement.Step()) {
  }
  // The statement may have changed the schema.
  connection.schema.reset();
}

bool Database::HasObject(const std::string& name) {
  return CurrentSchema(Live(*state_), state_->name).anyByName.contains(std::string_view(name));
}

long long Database::RowsChanged() {
  Connection& connection = Live(*state_);
  FlushPending(connection);
  long long rows = 0;
  for (const auto& [table, changed] : connection.changedRows) rows += static_cast<long long>(changed.size());
  return rows;
}

bool Database::TransactionFailed() const {
  return state_->connection && state_->connection->broken.has_value();
}

void Database::Close() {
  Live(*state_);
  CloseDatabase(*state_);
}

// ---- Recordset --------------------------------------------------------------

Recordset::Recordset(std::shared_ptr<RecordsetState> state) : state_(std::move(state)) {}

Recordset::~Recordset() {
  // Edits held back are written before the rows that hold them go.
  if (!state_ || !state_->open || !state_->database->connection) return;
  try {
    FlushPending(*state_->database->connection);
  } catch (const VbError&) {
    // The connection is broken; its transaction cannot commit.
  }
}

bool Recordset::Eof() const {
  return Live(state_).current == kEof;
}

void Recordset::MoveFirst() {
  RecordsetState& rs = Live(state_);
  if (rs.rows.empty()) RaiseNoCurrentRecord();
  rs.mode = EditMode::None;
  rs.current = 0;
}

void Recordset::MoveNext() {
  RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  rs.mode = EditMode::None;
  rs.current = rs.current + 1 < rs.rows.size() ? rs.current + 1 : kEof;
}

const Value& Recordset::Field(const std::string& name) const {
  const RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  if (rs.mode == EditMode::Adding || (rs.mode == EditMode::Editing && rs.assigned[column]))
    return rs.buffer[column];
  if (rs.current == kEof) RaiseNoCurrentRecord();
  return CellsOf(rs, rs.current)[column];
}

void Recordset::SetField(const std::string& name, Value value) {
  RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  rs.buffer[column] = std::move(value);
  rs.assigned[column] = 1;
}

void Recordset::Edit() {
  RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  // Fields not assigned read from the row; the buffer's values count only
  // where assigned.
  rs.buffer.resize(rs.columns.size());
  rs.assigned.assign(rs.columns.size(), 0);
  rs.mode = EditMode::Editing;
}

void Recordset::AddNew() {
  RecordsetState& rs = Live(state_);
  rs.buffer.assign(rs.columns.size(), Value());
  rs.assigned.assign(rs.columns.size(), 0);
  rs.mode = EditMode::Adding;
}

void Recordset::Update() {
  RecordsetState& rs = Live(state_);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  const Context context = ContextOf(rs);
  std::vector<std::size_t>& changed = rs.changed;
  changed.clear();
  for (std::size_t i = 0; i < rs.columns.size(); ++i)
    if (rs.assigned[i]) changed.push_back(i);

  // The write hands the row back as SQLite stored it (values converted,
  // defaults filled in), so that no second reading is needed. The row id
  // comes back too: a field that is the row id may just have changed it.
  auto returning = [&rs] {
    std::string clause = " RETURNING " + rs.rowid;
    for (const auto& column : rs.columns) clause += ", " + Quote(column);
    return clause;
  };
  auto readReturned = [&](Statement& write) {
    RowValues row;
    row.rowid = write.Integer(0);
    row.values.reserve(rs.columns.size());
    for (std::size_t i = 0; i < rs.columns.size(); ++i)
      row.values.push_back(write.Column(static_cast<int>(i) + 1));
    while (write.Step()) {
    }
    return row;
  };

  // Text written into fields that keep it as it is, with no trigger to
  // change the row behind our back, needs nothing handed back: the row held
  // here takes the values written.
  const bool asWritten = rs.mode == EditMode::Editing && !changed.empty() && !rs.hasTriggers &&
                         std::all_of(changed.begin(), changed.end(), [&](std::size_t i) {
                           const auto& data = detail::ValueReader::Data(rs.buffer[i]);
                           return std::holds_alternative<std::monostate>(data) ||
                                  (std::holds_alternative<std::string>(data) && rs.keepsText[i]);
                         });

  Connection& connection = *rs.database->connection;
  if (asWritten) {
    Row& current = rs.rows[rs.current];
    // A row being written keeps its values until the writing is done.
    if (current.inBatch) Settle(connection);
    const bool deferred =
        connection.depth > 0 && std::all_of(changed.begin(), changed.end(), [&](std::size_t i) {
          return rs.deferrable[i] && !rs.buffer[i].IsNull();
        });
    if (deferred) {
      if (connection.pendingWrites && connection.pendingOwner != &rs) FlushPending(connection);
      if (current.pendingAt == Row::kNotPending) {
        current.pendingAt = static_cast<std::uint32_t>(rs.pending.size());
        rs.pending.push_back({rs.current, {}});
      }
      std::vector<std::size_t>& held = rs.pending[current.pendingAt].fields;
      for (const std::size_t i : changed)
        if (std::find(held.begin(), held.end(), i) == held.end()) held.push_back(i);
      connection.pendingWrites = true;
      connection.pendingOwner = &rs;
    } else {
      FlushPending(connection, rs.table);
      Statement update(connection, UpdateSql(rs, changed), context);
      for (std::size_t k = 0; k < changed.size(); ++k)
        update.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
      update.Bind(static_cast<int>(changed.size()) + 1, Value(current.rowid));
      update.Step();
      if (sqlite3_changes(connection.handle) != 1) Raise(dbe::RecordDeleted, "Record is deleted.");
    }
    // An index over a changed field is built afresh on its next use.
    std::erase_if(rs.indexes, [&](const auto& index) { return rs.assigned[index.column]; });
    Value* values = CellsOf(rs, rs.current);
    for (const std::size_t i : changed) values[i] = std::move(rs.buffer[i]);
    rs.lastModified = current.rowid;
    rs.lastModifiedAt = rs.current;
    rs.mode = EditMode::None;
    if (deferred) StartWriting(connection, rs);
    return;
  }

  FlushPending(connection, rs.table);
  std::optional<RowValues> row;
  if (rs.mode == EditMode::Editing && changed.empty()) {
    row = ReadRow(rs, rs.rows[rs.current].rowid);
  } else if (rs.mode == EditMode::Editing) {
    std::string sql = "UPDATE " + Quote(rs.table) + " SET ";
    for (std::size_t k = 0; k < changed.size(); ++k)
      sql += (k ? ", " : "") + Quote(rs.columns[changed[k]]) + " = ?" + std::to_string(k + 1);
    sql += " WHERE " + rs.rowid + " = ?" + std::to_string(changed.size() + 1) + returning();
    Statement update(*rs.database->connection, sql, context);
    for (std::size_t k = 0; k < changed.size(); ++k)
      update.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
    update.Bind(static_cast<int>(changed.size()) + 1, Value(rs.rows[rs.current].rowid));
    if (update.Step()) row = readReturned(update);
  } else {
    std::string sql = "INSERT INTO " + Quote(rs.table);
    if (changed.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (std::size_t k = 0; k < changed.size(); ++k) {
        names += (k ? ", " : "") + Quote(rs.columns[changed[k]]);
        marks += (k ? ", ?" : "?") + std::to_string(k + 1);
      }
      sql += " (" + names + ") VALUES (" + marks + ")";
    }
    Statement insert(*rs.database->connection, sql + returning(), context);
    for (std::size_t k = 0; k < changed.size(); ++k)
      insert.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
    if (insert.Step()) row = readReturned(insert);
  }
  if (!row) Raise(dbe::RecordDeleted, "Record is deleted.");
  const long long rowid = row->rowid;
  if (rs.mode == EditMode::Editing) {
    // An index over a changed field is built afresh on its next use.
    std::erase_if(rs.indexes, [&](const auto& index) { return rs.assigned[index.column]; });
    PlaceRow(rs, rs.current, std::move(*row));
    rs.lastModifiedAt = rs.current;
  } else {
    rs.lastModifiedAt = rs.rows.size();
    PlaceRow(rs, rs.rows.size(), std::move(*row));
  }
  rs.lastModified = rowid;
  rs.mode = EditMode::None;
}

void Recordset::CancelUpdate() {
  RecordsetState& rs = Live(state_);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  rs.mode = EditMode::None;
}

std::string Recordset::Bookmark() const {
  const RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  return MakeBookmark(rs.id, rs.rows[rs.current].rowid, rs.current);
}

void Recordset::SetBookmark(const std::string& bookmark) {
  RecordsetState& rs = Live(state_);
  std::uint32_t number = 0;
  long long rowid = 0;
  std::uint32_t place = 0;
  if (bookmark.size() != kBookmarkSize) Raise(dbe::InvalidBookmark, "Not a valid bookmark.");
  std::memcpy(&number, bookmark.data(), 4);
  std::memcpy(&rowid, bookmark.data() + 4, 8);
  std::memcpy(&place, bookmark.data() + 12, 3);
  if (number != static_cast<std::uint32_t>(rs.id)) Raise(dbe::InvalidBookmark, "Not a valid bookmark.");
  const std::size_t at = PlaceOf(rs, rowid, place);
  if (at == kEof) Raise(dbe::InvalidBookmark, "Not a valid bookmark.");
  rs.mode = EditMode::None;
  rs.current = at;
}

bool Recordset::FindFirst(const std::string& name, KeyFunction key, const std::string& wanted) {
  RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  auto index = std::find_if(rs.indexes.begin(), rs.indexes.end(),
                            [&](const auto& i) { return i.column == column && i.key == key; });
  if (index == rs.indexes.end()) {
    rs.indexes.emplace_back();
    rs.indexes.back().column = column;
    rs.indexes.back().key = key;
    index = std::prev(rs.indexes.end());
  }
  // Rows added since the last look-up join the index; earlier rows keep
  // their claim on a key.
  if (index->size() < rs.rows.size()) index->reserve(rs.rows.size());
  while (index->size() < rs.rows.size()) {
    const Value& value = CellsOf(rs, index->size())[column];
    const auto& data = detail::ValueReader::Data(value);
    if (std::holds_alternative<std::monostate>(data))
      index->Add(std::nullopt);
    else if (const auto* text = std::get_if<std::string>(&data))
      index->Add(key(*text));
    else
      index->Add(key(value.ToString()));
  }
  rs.mode = EditMode::None;
  for (const std::size_t found : index->lastFound) {
    const std::size_t next = found + 1;  // kEof + 1 is 0: the first row
    if (index->IsFirstWith(next, wanted)) {
      rs.current = next;
      index->lastFound = {next, index->lastFound[0] == found ? index->lastFound[1] : index->lastFound[0]};
      return true;
    }
  }
  rs.current = index->Find(wanted);
  if (rs.current == kEof) return false;
  index->lastFound = {rs.current, index->lastFound[0]};
  return true;
}

std::string Recordset::LastModified() const {
  RecordsetState& rs = Live(state_);
  if (!rs.lastModified) RaiseNoCurrentRecord();
  const std::size_t at = PlaceOf(rs, *rs.lastModified, rs.lastModifiedAt);
  if (at == kEof) RaiseNoCurrentRecord();
  return MakeBookmark(rs.id, *rs.lastModified, at);
}

int Recordset::FieldsCount() const {
  return static_cast<int>(Live(state_).columns.size());
}

std::vector<std::string> Recordset::FieldNames() const {
  return Live(state_).columns;
}

void Recordset::Close() {
  RecordsetState& rs = Open(state_);
  // Its edits stand: they are written before it lets go of its rows.
  FlushPending(*rs.database->connection);
  rs.open = false;
  rs.rows.clear();
  rs.cells.clear();
  rs.rowIndex.clear();
  rs.rowIndexMade = false;
  rs.buffer.clear();
}

}  // namespace chkimport::dao
