// The only queries a recordset is opened with: "Select * from <table>" and
// "Select * from <table> where Pagenumber >= 0".
#pragma once

#include <string>

namespace chkimport::dao::detail {

struct Query {
  std::string table;
  bool pagesOnly = false;  // "where Pagenumber >= 0"
};

// Raises SyntaxError for anything else; the table name may be in double
// quotes (a double quote inside doubled, as SQLite quotes names) or in
// square brackets.
Query ParseQuery(const std::string& sql);

}  // namespace chkimport::dao::detail
