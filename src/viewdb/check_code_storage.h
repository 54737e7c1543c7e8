#pragma once

#include <string>

namespace chkimport {

struct ImportState;
namespace dao {
class Recordset;
}

// Sets strBookmark to the first row (in recordset order) whose Name,
// upper-cased, equals strName trimmed of blanks, or to "" when none does. The
// recordset is left on that row, or past its last row.
void GetBookmark(ImportState& st, dao::Recordset& rsView, const std::string& strName);

// Writes the buffered code of the current field into the Checkcode of the
// row in strBookmark: the BEFORE lines, "ENDBEFORE" when there were any, the
// AFTER lines and the staged lines, each followed by CRLF.
void ImportCode(ImportState& st, dao::Recordset& rsView);

// The stored form of the buffered code.
std::string StoredCheckcode(const ImportState& st);

}  // namespace chkimport
