// Table names inside the queries the database layer accepts.
#pragma once

#include <string>

namespace chkimport {

// The name in square brackets, so that blanks, quotes, semicolons or SQL
// words in it stay part of the name. A name holding "]" cannot be written
// so; it is left bare and the query is refused as a syntax error.
inline std::string BracketedTableName(const std::string& name) {
  return name.find(']') == std::string::npos ? "[" + name + "]" : name;
}

}  // namespace chkimport
