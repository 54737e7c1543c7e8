#pragma once

#include <string>

namespace chkimport {

struct ImportState;

// Checks the view database and the CHK file, finds the view tables, checks
// the requested one (offering the view chooser with dialogs) and records the
// CHK file's folder. "" when the translation may start, else a message.
std::string GetViewTables(ImportState& st, std::string& strCHKName, std::string& strDBName,
                          std::string& strTableName, bool& blnShowGUI);

}  // namespace chkimport
