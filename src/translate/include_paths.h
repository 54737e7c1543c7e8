// Finding the file an INCLUDE line names. CHK files were written on a file
// system that ignored letter case and used "\" between folders, and the
// name reaches us upper-cased; here names are matched the way they were
// meant.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace chkimport {

// Folders listed while INCLUDE names were looked up, each listed once. The
// names arrive upper-cased, so on a file system that tells case apart
// nearly every INCLUDE is matched against a listing, and the files of a
// form lie in one or two folders. A pass keeps its own: a file put in
// place between passes is found by the next.
class FolderListings {
 public:
  struct Entry {
    std::string name, upper;
  };
  // The entries of `folder` ("" for the current folder, else ending in "/").
  const std::vector<Entry>& Of(const std::string& folder);

 private:
  std::unordered_map<std::string, std::vector<Entry>> listed_;
};

struct IncludeFile {
  // The name the translation gives the file: `strName` itself when it was
  // found from the current folder, else `strCHKFolder` + `strName`.
  std::string strName;
  // Where it was found on disk.
  std::string path;
  // A file that was found outside the folder INCLUDE is confined to, and
  // passed over.
  std::string outside;
};

// The regular file `strName` names: looked up first in the current folder,
// then in `strCHKFolder` (the CHK file's folder, ending in its separator, or
// ""). "\" separates folders like "/", and a folder or file name that does
// not exist as written is matched without regard to letter case. Both
// strings are "" when there is no such file (a folder is not a file).
// With `within` (a folder), a file counts only when its real path (links
// and ".." resolved) lies under the real path of `within`; `path` is then
// that real path. Folders are listed through `listings` when given.
IncludeFile FindIncludeFile(const std::string& strName, const std::string& strCHKFolder,
                            const std::string& within = "", FolderListings* listings = nullptr);

}  // namespace chkimport
