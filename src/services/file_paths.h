// Paths as the component sees them: files that can be read as files, and
// the folder part of a path written with either separator.
#pragma once

#include <string>

namespace chkimport {

// True for the name of an existing file that is neither a folder nor a device.
bool IsNormalFile(const std::string& strName);

// The folder of a CHK path up to and including its last "/" or "\", or ""
// when the path has neither.
std::string FolderOf(const std::string& strPath);

}  // namespace chkimport
