#include "services/dao/statement.h"

namespace chkimport::dao::detail {

namespace {

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

}  // namespace

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

void Execute(sqlite3* db, const std::string& sql, Context context, Connection* owner) {
  Statement statement(db, sql, context, owner);
  while (statement.Step()) {
  }
}

}  // namespace chkimport::dao::detail
