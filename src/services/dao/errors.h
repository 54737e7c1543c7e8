// The errors of the database layer: each raised in one place, with the
// engine's number and description (see dbe in services/dao.h).
#pragma once

#include <string>
#include <string_view>

#include "services/dao.h"

struct sqlite3;

namespace chkimport::dao::detail {

// What a failing statement was about, for the descriptions of its errors.
struct Context {
  std::string_view path;
  std::string_view table;
};

// Constraint names of created tables; a failed CHECK names the constraint,
// which leads back to the field and the rule.
constexpr std::string_view kSizeRule = "FieldSize:";
constexpr std::string_view kZeroLengthRule = "ZeroLength:";

[[noreturn]] void RaiseEngine(const std::string& message);
[[noreturn]] void RaiseClosed();
[[noreturn]] void RaiseItemNotFound();
[[noreturn]] void RaiseNoCurrentRecord();
[[noreturn]] void RaiseInvalidArgument();
[[noreturn]] void RaiseSyntax();
[[noreturn]] void RaiseUpdateWithoutEdit();
[[noreturn]] void RaiseRecordDeleted();
[[noreturn]] void RaiseInvalidBookmark();
[[noreturn]] void RaiseReadOnly();
[[noreturn]] void RaiseNoTransaction();
[[noreturn]] void RaiseFileNotFound(const std::string& path);
[[noreturn]] void RaiseNotADatabase(const std::string& path);
[[noreturn]] void RaiseCannotOpen(const std::string& path, const std::string& reason);
// SQLite's failure `rc` as the engine's error.
[[noreturn]] void RaiseSqlite(sqlite3* db, int rc, const Context& context);

}  // namespace chkimport::dao::detail
