#pragma once

#include <string>

namespace chkimport {

struct ImportState;
namespace dao {
class Recordset;
}

// Splits a CHK line into strWords (upper-cased, 101 entries, "" after the
// last word). Cuts the line before a later IF, THEN, ELSE or ENDIF and hands
// the cut-off text back in strRest; drops a leading THEN; rewrites the Yes/No
// literals compared with or assigned to "YES/NO" fields.
void ExtractWords(ImportState& st, dao::Recordset& rsView, std::string& strLine, std::string& strRest);

// True when the view table's row named strName has the type "YES/NO". The
// current field's row stays current.
bool VarIsYN(ImportState& st, dao::Recordset& rsView, const std::string& strName);

// Replaces the Yes/No literal strValue that starts at column lngPosition of
// strLine by "(+)", "(-)" or "(.)".
void TranslateYN(ImportState& st, std::string& strLine, const std::string& strValue, long lngPosition);

}  // namespace chkimport
