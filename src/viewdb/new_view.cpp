#include "viewdb/new_view.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sys/stat.h>

#include <filesystem>

#include "chkimport/translator.h"
#include "component/line_reader.h"
#include "services/identity_translator.h"
#include "viewdb/database_copy.h"

namespace chkimport {
namespace {

std::string Quote(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// Any table, view or index of that name, compared as SQLite compares names.
bool NameTaken(const std::string& dbFile, const std::string& name) {
  SQLite::Database db(dbFile, SQLite::OPEN_READONLY);
  SQLite::Statement query(db, "SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE");
  query.bind(1, name);
  return query.executeStep();
}

}  // namespace

std::string DefaultViewName(const std::string& recFile) {
  return "view" + std::filesystem::path(recFile).stem().string();
}

bool PrepareView(const std::string& recFile, const std::string& dbFile, const FormOptions& options,
                 Translator& tr, RecHeader& header, FormResult& result) {
  result.table = options.view.empty() ? DefaultViewName(recFile) : options.view;
  // Known before any file is looked at.
  if (!LineReader::KnownEncoding(options.encoding)) {
    result.result = tr.T("Unknown text encoding:") + " " + options.encoding;
    return false;
  }
  try {
    header = ReadRecHeader(recFile, options.encoding, tr);
  } catch (const RecError& e) {
    result.result = e.message;
    return false;
  }
  result.fileLabel = header.fileLabel;
  result.warnings = header.warnings;
  if (result.table.compare(0, 4, "view") != 0) {
    result.result = tr.T("The name of a view table begins with \"view\":") + " " + result.table;
    return false;
  }
  // A screen of text alone would make a view without rows.
  if (header.fields.empty()) {
    result.result = recFile + ": " + tr.T("the form has no fields");
    return false;
  }
  struct stat info {};
  if (stat(dbFile.c_str(), &info) == 0) {
    try {
      if (NameTaken(dbFile, result.table)) {
        result.viewExists = true;
        result.result = dbFile + ": " + tr.T("a table of this name exists already:") + " " + result.table;
        return false;
      }
    } catch (const SQLite::Exception& e) {
      result.result = tr.T("Cannot open database.") + " (" + dbFile + ": " + e.what() + ")";
      return false;
    }
  }
  return true;
}

void WriteViewTable(const std::string& dbFile, const std::string& table, const RecHeader& header) {
  try {
    SQLite::Database db(dbFile, SQLite::OPEN_READWRITE);
    SQLite::Transaction transaction(db);
    db.exec("CREATE TABLE " + Quote(table) +
            " (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, Formatstring TEXT, Lists TEXT, "
            "Prompt TEXT)");
    SQLite::Statement insert(db, "INSERT INTO " + Quote(table) +
                                     " (Name, PageNumber, Checkcode, Type, Formatstring, Lists, Prompt) "
                                     "VALUES (?, 1, NULL, ?, ?, NULL, ?)");
    for (const auto& field : header.fields) {
      const ViewFieldType type = MapRecType(field.typeCode, field.length);
      insert.bind(1, field.name);
      insert.bind(2, type.type);
      if (type.format)
        insert.bind(3, *type.format);
      else
        insert.bind(3);
      // The successor's text columns refuse the empty text: no label is Null.
      if (field.label.empty())
        insert.bind(4);
      else
        insert.bind(4, field.label);
      insert.exec();
      insert.reset();
    }
    transaction.commit();
  } catch (const SQLite::Exception& e) {
    throw DatabaseCopyError(e.what());
  }
}

FormResult NewView(const std::string& recFile, const std::string& dbFile, const FormOptions& options) {
  IdentityTranslator english;
  Translator& tr = options.translator ? *options.translator : english;
  FormResult result;
  RecHeader header;
  if (!PrepareView(recFile, dbFile, options, tr, header, result)) return result;
  try {
    DatabaseCopy copy(dbFile);
    WriteViewTable(copy.Path(), result.table, header);
    copy.Commit();
  } catch (const DatabaseCopyError& e) {
    result.result = dbFile + ": " + tr.T("the view could not be made:") + " " + e.what();
    return result;
  }
  result.fields = static_cast<int>(header.fields.size());
  return result;
}

}  // namespace chkimport
