// Many rows into one table through one prepared statement, held nowhere:
// the data records of a form, by the million if need be.
#include <sqlite3.h>

#include <memory>

#include "services/dao.h"
#include "services/dao/connection.h"
#include "services/dao/held_edits.h"
#include "services/dao/names.h"

namespace chkimport::dao {

using namespace detail;

namespace {

Connection& connectionOf(void* connection) {
  return *static_cast<Connection*>(connection);
}

// A failure of the statement, raised; one that is the file's breaks the
// transaction (see NoteFailure).
[[noreturn]] void fail(Connection& connection, sqlite3_stmt* stmt, int rc) {
  try {
    RaiseSqlite(connection.handle, rc, {});
  } catch (const VbError& e) {
    sqlite3_reset(stmt);
    NoteFailure(connection, rc, e);
    throw;
  }
}

void check(void* connection, sqlite3_stmt* stmt, int rc) {
  if (rc != SQLITE_OK) fail(connectionOf(connection), stmt, rc);
}

}  // namespace

void RowSink::Null(int column) {
  check(connection_, stmt_, sqlite3_bind_null(stmt_, column + 1));
}

void RowSink::Integer(int column, long long value) {
  check(connection_, stmt_, sqlite3_bind_int64(stmt_, column + 1, value));
}

void RowSink::Real(int column, double value) {
  check(connection_, stmt_, sqlite3_bind_double(stmt_, column + 1, value));
}

void RowSink::Text(int column, std::string_view text) {
  check(connection_, stmt_,
        sqlite3_bind_text64(stmt_, column + 1, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8));
}

void RowSink::Add() {
  Connection& connection = connectionOf(connection_);
  const int rc = sqlite3_step(stmt_);
  if (rc != SQLITE_DONE) fail(connection, stmt_, rc);
  sqlite3_reset(stmt_);
  ++connection.insertedRows;
}

void Database::InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::function<void(RowSink&)>& produce) {
  Connection& connection = Live(*state_);
  FlushPending(connection);
  sqlite3* db = Db(connection);
  std::string sql = "INSERT INTO " + Quote(table) + " (", values;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    sql += (i ? ", " : "") + Quote(columns[i]);
    values += (i ? ", ?" : "?") + std::to_string(i + 1);
  }
  sql += ") VALUES (" + values + ")";
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                    &stmt, nullptr);
  if (rc != SQLITE_OK) RaiseSqlite(db, rc, {state_->name, table});
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(stmt, &sqlite3_finalize);
  // The update hook would remember every row id; these rows are counted.
  WatchChangedRows(connection, false);
  struct Watch {
    Connection& connection;
    ~Watch() { WatchChangedRows(connection, true); }
  } watchAgain{connection};
  RowSink sink(&connection, stmt);
  produce(sink);
}

}  // namespace chkimport::dao
