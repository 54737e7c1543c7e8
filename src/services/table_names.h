// Table names inside the queries the database layer accepts.
#pragma once

#include <string>

namespace chkimport {

// The name quoted as SQLite quotes names: in double quotes, a double quote
// inside doubled. Blanks, brackets, quotes, semicolons or SQL words in it
// stay part of the name.
inline std::string QuotedTableName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace chkimport
