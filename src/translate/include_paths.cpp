#include "translate/include_paths.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "services/vb_strings.h"

namespace chkimport {
namespace {

namespace fs = std::filesystem;

enum class Kind { Folder, File };

bool isKind(const std::string& path, Kind kind) {
  std::error_code ec;
  return kind == Kind::Folder ? fs::is_directory(path, ec) : fs::is_regular_file(path, ec);
}

// The name of the entry of `folder` ("" for the current folder, else ending
// in "/") that is called `name`, or failing that, whose name differs from it
// only in letter case.
std::optional<std::string> findEntry(const std::string& folder, const std::string& name, Kind kind,
                                     FolderListings& listings) {
  if (isKind(folder + name, kind)) return name;
  // CHK files come from a file system that ignored case, and word 1 arrives upper-cased.
  const std::string wanted = UCase(name);
  std::vector<std::string> matches;
  for (const auto& entry : listings.Of(folder))
    if (entry.upper == wanted && isKind(folder + entry.name, kind)) matches.push_back(entry.name);
  if (matches.empty()) return std::nullopt;
  // Several names that differ only in case: the first in byte order, so the
  // choice does not depend on the order the folder lists them in.
  return *std::min_element(matches.begin(), matches.end());
}

// `path` with "/" between its parts, each part matched as findEntry does.
std::string resolve(const std::string& path, FolderListings& listings) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  if (parts.empty()) return {};

  std::string resolved = path.front() == '/' ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const auto entry = findEntry(resolved, parts[i], last ? Kind::File : Kind::Folder, listings);
    if (!entry) return {};
    resolved += *entry;
    if (!last) resolved += '/';
  }
  return resolved;
}

// A file at `path` as written, else at `path` read with "\" as a separator
// and matched without regard to case.
std::string findFile(const std::string& path, FolderListings& listings) {
  // As written first: on Linux a "\" may be part of a real file or folder name.
  if (isKind(path, Kind::File)) return path;
  // CHK files were written where "\" separates folders.
  std::string slashed = path;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  return resolve(slashed, listings);
}

// The real path of `file` when it lies under the real path of `folder`, else "".
std::string realPathWithin(const std::string& file, const std::string& folder) {
  std::error_code ec;
  const fs::path real = fs::canonical(file, ec);
  if (ec) return {};
  const fs::path root = fs::canonical(folder, ec);
  if (ec) return {};
  auto at = real.begin();
  for (const auto& part : root) {
    if (at == real.end() || *at != part) return {};
    ++at;
  }
  return real.string();
}

}  // namespace

const std::vector<FolderListings::Entry>& FolderListings::Of(const std::string& folder) {
  auto [at, added] = listed_.try_emplace(folder);
  if (!added) return at->second;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    std::string upper = UCase(entry);
    at->second.push_back({std::move(entry), std::move(upper)});
  }
  return at->second;
}

IncludeFile FindIncludeFile(const std::string& strName, const std::string& strCHKFolder,
                            const std::string& within, FolderListings* listings) {
  IncludeFile file;
  if (strName.empty()) return file;
  FolderListings ownListings;
  FolderListings& listed = listings ? *listings : ownListings;
  for (const std::string& name : {strName, strCHKFolder + strName}) {
    std::string found = findFile(name, listed);
    if (found.empty()) continue;
    if (!within.empty()) {
      std::string real = realPathWithin(found, within);
      if (real.empty()) {
        if (file.outside.empty()) file.outside = std::move(found);
        continue;
      }
      found = std::move(real);
    }
    file.strName = name;
    file.path = std::move(found);
    return file;
  }
  return file;
}

}  // namespace chkimport
