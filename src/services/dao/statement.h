// Statements on a connection: prepared, bound and stepped, their SQLite
// failures raised as the engine's errors; the statements a connection keeps
// prepared for the next use of the same SQL.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "services/dao.h"
#include "services/dao/connection.h"
#include "services/dao/errors.h"

namespace chkimport::dao::detail {

// Reads a Value's alternatives, which the layer's own code binds and stores.
struct ValueReader {
  static const auto& Data(const Value& v) { return v.data_; }
};

// Binds a value to a parameter; text that stays as it is until the
// statement is reset need not be copied.
void BindValue(sqlite3* db, sqlite3_stmt* stmt, int index, const Value& value, bool copyText,
               const Context& context);

// The statement the connection keeps prepared for this SQL, prepared now
// if it is not yet. The caller has the connection to itself.
Connection::Prepared& Kept(Connection& connection, const std::string& sql, const Context& context);

class Statement {
 public:
  // A failure of the statement is noted on `owner` (see NoteFailure).
  Statement(sqlite3* db, const std::string& sql, Context context, Connection* owner = nullptr)
      : db_(db), context_(context), owner_(owner) {
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) RaiseSqlite(db_, rc, context_);
  }
  // The statement, or none when SQLite cannot prepare it.
  static std::unique_ptr<Statement> TryPrepare(sqlite3* db, const std::string& sql, Context context,
                                               Connection* owner = nullptr) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return std::unique_ptr<Statement>(new Statement(db, stmt, context, owner));
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
  // The column read through its value: each sqlite3_column_ call checks the
  // column's place and the connection's allocations again and enters its
  // mutex (none on this layer's connections, opened without one); the
  // value's own calls do none of that. That is safe while no other thread
  // uses the connection, as holds for every statement made through Db(),
  // which waits for the writing thread first.
  Value Column(int index) const {
    sqlite3_value* value = sqlite3_column_value(stmt_, index);
    switch (sqlite3_value_type(value)) {
      case SQLITE_NULL:
        return Value();
      case SQLITE_INTEGER:
        return Value(static_cast<long long>(sqlite3_value_int64(value)));
      case SQLITE_FLOAT:
        return Value(sqlite3_value_double(value));
      case SQLITE_BLOB: {
        const void* bytes = sqlite3_value_blob(value);  // before its size, as SQLite asks
        return Value(bytesOf(bytes, sqlite3_value_bytes(value)));
      }
      default: {
        const unsigned char* text = sqlite3_value_text(value);
        return Value(bytesOf(text, sqlite3_value_bytes(value)));
      }
    }
  }

 private:
  Statement(sqlite3* db, sqlite3_stmt* prepared, Context context, Connection* owner)
      : db_(db), context_(context), owner_(owner), stmt_(prepared) {}

  // The bytes of a text or blob of `size` bytes; SQLite hands back none
  // when it could not make room for them.
  static std::string bytesOf(const void* bytes, int size) {
    if (size <= 0) return std::string();
    if (!bytes) Raise(7, "Out of memory");
    return std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
  }

  sqlite3* db_;
  Context context_;
  Connection* owner_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  Connection::Prepared* kept_ = nullptr;
};

// Runs one statement to its end.
void Execute(sqlite3* db, const std::string& sql, Context context, Connection* owner = nullptr);

}  // namespace chkimport::dao::detail
