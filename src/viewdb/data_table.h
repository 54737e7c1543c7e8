// The data table of a form: the records of its .REC file, a row each, in
// one table of the view database, made inside the transaction that makes
// the form's view.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "viewdb/rec_header.h"

namespace chkimport {

class Translator;
namespace dao {
class Database;
}  // namespace dao

struct DataOptions {
  std::string table;
  bool skipDeleted = false;  // leave out the records marked deleted
  bool lenient = false;      // keep the records that read, leave out the damaged ones
  std::function<void(long long records)> progress;
};

struct DataOutcome {
  long long records = 0;  // rows made
  long long deleted = 0;  // records marked deleted (rows, or left out with skipDeleted)
  long long unread = 0;   // values kept as written
  long long damaged = 0;  // records left out as damaged (lenient)
  bool exists = false;    // the failure is that the name is taken
  std::vector<std::string> warnings;
  std::string failure;  // "" when the table was made; otherwise nothing may be kept
};

// The view's name without its "view" prefix (viewSTUDENT gives STUDENT).
std::string DefaultDataTable(const std::string& view);

// Why the data table cannot have this name ("" when it can): no name, one
// that begins with "view" (a view table's), or a field named as one of the
// table's own columns (RecordNumber, Deleted, Verified).
std::string DataTableRefused(const std::string& table, const RecHeader& header, Translator& tr);

// Creates the table (RecordNumber INTEGER PRIMARY KEY, Deleted, Verified,
// then a column per field, named and typed as the view's rows) and puts
// the file's records into it through one prepared statement, reading the
// file as it goes: memory does not grow with the records.
DataOutcome WriteDataTable(dao::Database& db, const std::string& recFile, const RecHeader& header,
                           const DataOptions& options, Translator& tr);

}  // namespace chkimport
