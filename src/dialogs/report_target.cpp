// The check-code report must not land on a file it is made from.
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <utility>
#include <vector>

#include "chkimport/vb_error.h"
#include "core/line_reader.h"
#include "dialogs/frm_import.h"
#include "services/file_paths.h"
#include "services/vb_strings.h"
#include "translate/include_paths.h"

namespace chkimport {
namespace {

using FileId = std::pair<dev_t, ino_t>;

bool idOf(const std::string& path, FileId& id) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

// The words of a line as the import splits them: at blanks, tabs and "=".
std::vector<std::string> firstTwoWords(const std::string& line) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (words.size() < 2 && (pos = line.find_first_not_of(" \t=", pos)) != std::string::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t=", pos), line.size());
    words.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

// The CHK file and every file its INCLUDE lines open, each once, as the
// import finds them (case aside, from the current folder or the CHK file's).
std::vector<std::string> chkAndIncludes(const std::string& chk, const std::string& encoding) {
  std::vector<std::string> files, pending{chk};
  std::set<FileId> seen;
  const std::string folder = FolderOf(chk);
  FolderListings listings;
  while (!pending.empty()) {
    const std::string file = pending.back();
    pending.pop_back();
    FileId id;
    if (!IsNormalFile(file) || !idOf(file, id) || !seen.insert(id).second) continue;
    files.push_back(file);
    try {
      auto reader = LineReader::Open(file, encoding);
      std::string line;
      while (!reader->AtEnd()) {
        reader->ReadLine(line);
        const auto words = firstTwoWords(line);
        if (words.size() == 2 && UCase(words[0]) == "INCLUDE")
          pending.push_back(FindIncludeFile(UCase(words[1]), folder, "", &listings).path);
      }
    } catch (const VbError&) {
      // A file that cannot be read has no includes to protect.
    }
  }
  return files;
}

}  // namespace

std::string ReportWouldReplace(const std::string& strReportPath, const std::string& strCHKName,
                               const std::string& strDBName, const std::string& encoding) {
  namespace fs = std::filesystem;
  FileId report, other;
  const bool exists = idOf(strReportPath, report);
  if (exists && idOf(strDBName, other) && report == other) return "the view database " + strDBName;
  // SQLite's own files beside the database, whether they exist now or not.
  std::error_code ec;
  const std::string database = fs::weakly_canonical(fs::absolute(strDBName, ec), ec).string();
  const std::string target = fs::weakly_canonical(fs::absolute(strReportPath, ec), ec).string();
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string journal = strDBName + suffix;
    if ((exists && idOf(journal, other) && report == other) ||
        (!database.empty() && target == database + suffix))
      return "the journal of the view database " + strDBName;
  }
  if (!exists || strCHKName.empty()) return "";
  for (const auto& file : chkAndIncludes(strCHKName, encoding))
    if (idOf(file, other) && report == other)
      return (file == strCHKName ? "the CHK file " : "the include file ") + file;
  return "";
}

}  // namespace chkimport
