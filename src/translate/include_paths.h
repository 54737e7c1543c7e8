// Finding the file an INCLUDE line names. CHK files were written on a file
// system that ignored letter case and used "\" between folders, and the
// name reaches us upper-cased; here names are matched the way they were
// meant.
#pragma once

#include <string>

namespace chkimport {

// The path of the regular file `strName` names: looked up first in the
// current folder, then in `strCHKFolder` (the CHK file's folder, ending in
// its separator, or ""). "\" separates folders like "/", and a folder or
// file name that does not exist as written is matched without regard to
// letter case. "" when there is no such file (a folder is not a file).
std::string FindIncludeFile(const std::string& strName, const std::string& strCHKFolder);

}  // namespace chkimport
