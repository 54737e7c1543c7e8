#include "services/dao/errors.h"

#include <sqlite3.h>

#include <cstring>

#include "chkimport/vb_error.h"

namespace chkimport::dao::detail {

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
[[noreturn]] void RaiseRecordDeleted() {
  Raise(dbe::RecordDeleted, "Record is deleted.");
}
[[noreturn]] void RaiseInvalidBookmark() {
  Raise(dbe::InvalidBookmark, "Not a valid bookmark.");
}
[[noreturn]] void RaiseReadOnly() {
  Raise(dbe::ReadOnly, "Cannot update. Database or object is read-only.");
}
[[noreturn]] void RaiseNoTransaction() {
  Raise(dbe::NoTransaction,
        "You tried to commit or roll back a transaction without first beginning a transaction.");
}
[[noreturn]] void RaiseFileNotFound(const std::string& path) {
  Raise(dbe::FileNotFound, "Could not find file '" + path + "'.");
}

[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, const Context& context) {
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Raise(dbe::Locked, "Could not update; currently locked.");
    case SQLITE_READONLY:
      RaiseReadOnly();
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

}  // namespace chkimport::dao::detail
