// Files handed to the program as CHK files that cannot be one: a database,
// a binary file, the header of a data file. The component reads whatever it
// is given; the command line and the form conversion refuse these before
// anything is written.
#pragma once

#include <string>

namespace chkimport {

// Why `path` is no check file, as an English text for T that follows the
// file's name ("is not a check file: ..."); "" when it may be one, also when
// it cannot be read (the import tells of that). `encoding` as for an import:
// in UTF-16 and UTF-32 NUL bytes are part of the text.
std::string NotACheckFile(const std::string& path, const std::string& encoding);

}  // namespace chkimport
