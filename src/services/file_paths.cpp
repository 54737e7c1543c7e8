#include "services/file_paths.h"

#include <filesystem>

namespace chkimport {

bool IsNormalFile(const std::string& strName) {
  if (strName.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(strName, ec);
}

std::string FolderOf(const std::string& strPath) {
  const auto last = strPath.find_last_of("/\\");
  return last == std::string::npos ? std::string() : strPath.substr(0, last + 1);
}

}  // namespace chkimport
