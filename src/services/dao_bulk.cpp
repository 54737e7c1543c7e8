// Many rows into one table through one prepared statement, on the
// connection of a database of the layer: a function that every connection
// gets when it opens tells which connection runs it, and the rows go in
// through that connection, inside its transaction.
#include <sqlite3.h>

#include <mutex>

#include "chkimport/vb_error.h"
#include "services/dao.h"

namespace chkimport::dao {
namespace {

constexpr const char* kHandleFunction = "chkimport_insert_rows";

// The connection that last ran kHandleFunction on this thread.
thread_local sqlite3* tRunning = nullptr;

void NoteRunning(sqlite3_context* context, int, sqlite3_value**) {
  tRunning = sqlite3_context_db_handle(context);
  sqlite3_result_null(context);
}

int AddHandleFunction(sqlite3* db, const char**, const sqlite3_api_routines*) {
  // Only SQL of the program itself may call it, not a view or a trigger of the file.
  return sqlite3_create_function_v2(db, kHandleFunction, 0, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr,
                                    NoteRunning, nullptr, nullptr, nullptr);
}

std::string Quote(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

[[noreturn]] void Fail(int rc, const std::string& message) {
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(dbe::Locked, "Could not update; currently locked.");
    case SQLITE_READONLY:
      Raise(dbe::ReadOnly, "Cannot update. Database or object is read-only.");
    default:
      Raise(dbe::Engine, "Reserved error (" + message + ")");
  }
}

class Prepared {
 public:
  Prepared(sqlite3* db, const std::string& sql) {
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(rc, sqlite3_errmsg(db));
  }
  ~Prepared() { sqlite3_finalize(stmt); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* stmt = nullptr;
};

}  // namespace

void EnableInsertRows() {
  static std::once_flag once;
  std::call_once(once, [] {
    // SQLite calls an automatic extension with the arguments of an extension's entry point.
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&AddHandleFunction));
  });
}

void RowSink::Check(int rc) {
  if (rc != SQLITE_OK) Fail(rc, sqlite3_errmsg(db_));
}

void RowSink::Null(int column) {
  Check(sqlite3_bind_null(stmt_, column + 1));
}

void RowSink::Integer(int column, long long value) {
  Check(sqlite3_bind_int64(stmt_, column + 1, value));
}

void RowSink::Real(int column, double value) {
  Check(sqlite3_bind_double(stmt_, column + 1, value));
}

void RowSink::Text(int column, std::string_view text) {
  Check(sqlite3_bind_text64(stmt_, column + 1, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void RowSink::Add() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) {
    sqlite3_reset(stmt_);
    return;
  }
  const std::string message = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  Fail(rc, message);
}

void InsertRows(Database& db, const std::string& table, const std::vector<std::string>& columns,
                const std::function<void(RowSink&)>& produce) {
  // Through the layer: what it holds back is written first, and its
  // writing thread is done with the connection.
  tRunning = nullptr;
  try {
    db.Execute(std::string("SELECT ") + kHandleFunction + "()");
  } catch (const VbError& e) {
    Raise(dbe::Engine,
          "Reserved error (the database was opened before rows could be added to it: " + e.Description + ")");
  }
  sqlite3* const handle = tRunning;
  if (!handle) Raise(dbe::Engine, "Reserved error (the database's connection was not found)");

  std::string sql = "INSERT INTO " + Quote(table) + " (";
  std::string values;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    sql += (i ? ", " : "") + Quote(columns[i]);
    values += (i ? ", ?" : "?") + std::to_string(i + 1);
  }
  sql += ") VALUES (" + values + ")";
  Prepared insert(handle, sql);
  // The layer counts changed rows by their row ids, in memory; rows by the
  // million must not be.
  sqlite3_update_hook(handle, nullptr, nullptr);
  RowSink sink(handle, insert.stmt);
  produce(sink);
}

}  // namespace chkimport::dao
