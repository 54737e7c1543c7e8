#pragma once

#include <string>

namespace chkimport {

struct ImportState;

// Runs one translation pass of a CHK file (and the files it includes)
// against a view table. The writing pass (blnIgnoreNew) translates and stores
// each matched field's code; the listing pass writes nothing and lists the
// field lines without a view row. "" when at least one field line matched a
// row, else "No matching fields were found.". The pass runs in one
// transaction of the view database, committed when the pass ends, also
// when it ends through the error handler; rolled back instead while the
// module's previewRecorder is set.
std::string TranslateCode(ImportState& st, std::string& strCHKName, std::string& strDBName,
                          std::string& strTableName, bool& blnOverwrite, bool& blnIgnoreNew,
                          bool& blnGenerateTables);

}  // namespace chkimport
