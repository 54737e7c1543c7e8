// Shared by the fuzz targets: a private folder for the run and a view
// database made afresh in it.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzing {

// A folder of this process, removed when the process ends normally.
inline const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "chkimport-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    std::filesystem::path made = pattern;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Folder(), ec);
    });
    return made;
  }();
  return folder;
}

inline std::string Write(const std::string& name, const char* data, size_t size) {
  const std::string path = (Folder() / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
  return path;
}

// viewForm with a field of each type the translation looks at; Age already
// holds check code so that merging runs too.
inline std::string FreshViewDatabase() {
  const std::string path = (Folder() / "form.db").string();
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  const char* sql =
      "CREATE TABLE viewForm (UniqueKey INTEGER PRIMARY KEY, Name TEXT, PageNumber INTEGER, "
      "Checkcode TEXT, Type TEXT, Formatstring TEXT, Lists TEXT);"
      "INSERT INTO viewForm (Name, PageNumber, Checkcode, Type, Formatstring, Lists) VALUES"
      " ('Age', 1, 'GOTO NAME' || char(13, 10) || 'ENDBEFORE' || char(13, 10), 'NUMBER', '###', NULL),"
      " ('Visit', 1, NULL, 'DATE', 'MM-DD-YYYY', NULL),"
      " ('Name', 1, NULL, 'TEXT', NULL, 'M'),"
      " ('Smoker', 2, NULL, 'YES/NO', NULL, NULL),"
      " ('Hidden', -1, NULL, 'TEXT', NULL, NULL);";
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  sqlite3_close(db);
  return path;
}

}  // namespace fuzzing
