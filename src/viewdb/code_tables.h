#pragma once

#include <string>

namespace chkimport {

struct ImportState;
namespace dao {
class Database;
}

// Creates a code table for the field's value list under the first free name
// of "code" + field, "code" + field + "1", "2", ... (names compared without
// regard to case), with the columns named in row 0 of strCodes. Returns the
// table's name.
std::string CreateNewCodetable(ImportState& st, dao::Database& dbView, const std::string& strName);

// Copies the value rows of strCodes into the table.
void PopulateCodeTable(ImportState& st, dao::Database& dbView, const std::string& strTable);

}  // namespace chkimport
