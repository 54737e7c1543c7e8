// The property letters of a field's view row, kept in its Lists column:
// "M" must enter, "N" read only, "R" repeat, "S" soundex search and one
// range segment G[low,high].
#pragma once

#include <string>

namespace chkimport {

namespace dao {
class Recordset;
}

// The current row's Lists; Null counts as "".
std::string ListsOf(const dao::Recordset& rsView);
// True when the letters hold `letter`, in either case.
bool HasLetter(const std::string& strLists, char letter);
// Stores a new Lists value in the current row (edit, set, update).
void SetLists(dao::Recordset& rsView, const std::string& strLists);

}  // namespace chkimport
