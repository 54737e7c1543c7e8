// Runs the real component on a real view database in a temporary folder: a
// CHK text and the view rows go in, the rows come back out.
#pragma once

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "chkimport/cls_chk_import.h"
#include "chkimport/forms.h"
#include "chkimport/identity_translator.h"
#include "core/import_state.h"
#include "test_support.h"

namespace testing_support {

struct ViewRow {
  std::string Name;
  std::string Type = "NUMBER";
  std::optional<std::string> Checkcode;
  std::optional<std::string> Lists;
  std::optional<std::string> Formatstring;
  int PageNumber = 1;
};

// A name as a SQL identifier.
inline std::string sqlName(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

inline std::string sqlText(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  std::string quoted = "'";
  for (char c : *value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// Lines joined by CRLF, each followed by CRLF: the stored form of check code.
inline std::string stored(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The choices of a silent import, by name. Import{} is a listing pass.
struct Import {
  bool overwrite = false, ignoreNew = false, tables = false;
};
// A writing pass over the matched fields, without and with code tables.
inline constexpr Import kWrite{.overwrite = true, .ignoreNew = true};
inline constexpr Import kTables{.overwrite = true, .ignoreNew = true, .tables = true};

// A silent pass of the component.
inline std::string silentImport(chkimport::clsCHKImport& component, const std::string& chk,
                                const std::string& db, const std::string& table, Import how) {
  return component.GetCHKCode(chk, db, table, false, how.overwrite, how.ignoreNew, how.tables);
}

// Wraps every text it translates in angle brackets, so that what passed
// through the translator shows in the stored code.
class MarkingTranslator : public chkimport::IdentityTranslator {
 public:
  std::string T(const std::string& text) override { return "<" + text + ">"; }
};

// Options of a conversion that logs to `log` and reads the test's settings.
inline chkimport::FormOptions quietOptions(const TempDir& dir, std::ostream& log) {
  chkimport::FormOptions options;
  options.settingsFile = dir.file("settings.ini");
  options.errorLog = &log;
  return options;
}

// The component in English, logging to `log`, with the test's settings.
struct Component {
  Component(const TempDir& dir, std::ostream& log) {
    module->host.errorLog = &log;
    module->host.settings = chkimport::Settings(dir.file("settings.ini"));
    component.SetObjLanguage(english);
  }
  std::shared_ptr<chkimport::ImportState> module = std::make_shared<chkimport::ImportState>();
  chkimport::IdentityTranslator english;
  chkimport::clsCHKImport component{module};
};

class ImportRun {
 public:
  ImportRun(std::initializer_list<ViewRow> rows, const std::string& table = "viewForm")
      : ImportRun(std::vector<ViewRow>(rows), table) {}
  explicit ImportRun(const std::vector<ViewRow>& rows, const std::string& table = "viewForm")
      : table_(table) {
    db = dir.file("form.db");
    std::string sql = "CREATE TABLE " + sqlName(table) +
                      " (UniqueKey INTEGER PRIMARY KEY, Name TEXT, PageNumber INTEGER, Checkcode TEXT, "
                      "Type TEXT, Formatstring TEXT, Lists TEXT);";
    for (const auto& row : rows)
      sql += "INSERT INTO " + sqlName(table) +
             " (Name, PageNumber, Checkcode, Type, Formatstring, Lists) VALUES (" + sqlText(row.Name) + ", " +
             std::to_string(row.PageNumber) + ", " + sqlText(row.Checkcode) + ", " + sqlText(row.Type) +
             ", " + sqlText(row.Formatstring) + ", " + sqlText(row.Lists) + ");";
    execSql(db, sql);
    module->host.errorLog = &log;
    module->host.settings = chkimport::Settings(dir.file("settings.ini"));
    component.SetObjLanguage(english);
  }

  // Writes the CHK file (lines joined by CRLF) and runs one silent pass.
  std::string run(const std::vector<std::string>& lines, Import how = {.ignoreNew = true}) {
    return runBytes(stored(lines), how);
  }
  // The same over the CHK file's bytes as they are given.
  std::string runBytes(const std::string& bytes, Import how = kWrite) {
    chk = dir.write("form.chk", bytes);
    return silentImport(component, chk, db, table_, how);
  }
  // The same pass over the file as it stands.
  std::string import(Import how) { return silentImport(component, chk, db, table_, how); }

  // From now on every translated phrase passes through MarkingTranslator.
  void markPhrases() { component.SetObjLanguage(marking); }

  std::string checkcode(const std::string& name) const { return column("Checkcode", name); }
  std::string lists(const std::string& name) const { return column("Lists", name); }

  // A column of the row of that name; "<null>" for Null, "<no row>" when
  // the row is missing.
  std::string column(const std::string& column, const std::string& name) const {
    auto rows = querySql(db, "SELECT " + sqlName(column) + " FROM " + sqlName(table_) +
                                 " WHERE Name = " + sqlText(name) + " ORDER BY rowid LIMIT 1");
    return rows.empty() ? "<no row>" : rows[0];
  }

  std::vector<std::string> unmatched() const { return component.UnmatchedFields(); }

  TempDir dir;
  std::string db, chk;
  std::ostringstream log;
  std::shared_ptr<chkimport::ImportState> module = std::make_shared<chkimport::ImportState>();
  chkimport::clsCHKImport component{module};
  chkimport::IdentityTranslator english;
  MarkingTranslator marking;

 private:
  std::string table_;
};

}  // namespace testing_support
