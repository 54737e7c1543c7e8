#include "viewdb/new_view.h"

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "chkimport/identity_translator.h"
#include "chkimport/translator.h"
#include "chkimport/vb_error.h"
#include "core/line_reader.h"
#include "services/dao.h"

namespace chkimport {
namespace {

std::string Quote(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void WriteViewTable(dao::Database& db, const std::string& table, const RecHeader& header) {
  db.Execute("CREATE TABLE " + Quote(table) +
             " (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, Formatstring TEXT, Lists TEXT, "
             "Prompt TEXT)");
  // One statement for all the rows: a form may have thousands of fields.
  db.InsertRows(table, {"Name", "PageNumber", "Checkcode", "Type", "Formatstring", "Lists", "Prompt"},
                [&](dao::RowSink& row) {
                  for (const auto& field : header.fields) {
                    const ViewFieldType type = MapRecType(field.typeCode, field.length);
                    row.Text(0, field.name);
                    row.Integer(1, 1);
                    row.Null(2);
                    row.Text(3, type.type);
                    if (type.format)
                      row.Text(4, *type.format);
                    else
                      row.Null(4);
                    row.Null(5);
                    // The successor's text columns refuse the empty text: no label is Null.
                    if (field.label.empty())
                      row.Null(6);
                    else
                      row.Text(6, field.label);
                    row.Add();
                  }
                });
}

}  // namespace

std::string DefaultViewName(const std::string& recFile) {
  return "view" + std::filesystem::path(recFile).stem().string();
}

bool PrepareView(const std::string& recFile, const FormOptions& options, Translator& tr, RecHeader& header,
                 FormResult& result) {
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
  return true;
}

bool MakeView(const std::string& dbFile, const FormOptions& options, Translator& tr, const RecHeader& header,
              FormResult& result, const std::function<std::string(dao::Workspace&, dao::Database&)>& work,
              dao::Workspace* shared) {
  std::unique_ptr<dao::Workspace> own;
  if (!shared) own = dao::DBEngine::CreateWorkspace("Make View", "Admin", "", dao::dbUseDefault);
  dao::Workspace* const ws = shared ? shared : own.get();
  ws->SetLockWait(options.lockWait, options.lockWaiting);
  bool created = false;
  std::unique_ptr<dao::Database> db;
  try {
    try {
      db = ws->CreateDatabase(dbFile, &created);
    } catch (const VbError& e) {
      if (e.Number != dao::dbe::DatabaseExists) throw;
      db = ws->OpenDatabase(dbFile);
    }
  } catch (const VbError& e) {
    result.result = tr.T("Cannot open database.") + " (" + dbFile + ": " + e.Description + ")";
    return false;
  }

  std::string failure;
  try {
    // The lock is taken before the name is looked at: nobody can take the
    // name in between.
    ws->BeginTrans(/*forWriting=*/true);
    if (db->HasObject(result.table)) {
      result.viewExists = true;
      failure = dbFile + ": " + tr.T("a table of this name exists already:") + " " + result.table;
    } else {
      WriteViewTable(*db, result.table, header);
      failure = work(*ws, *db);
      if (failure.empty()) ws->CommitTrans();
    }
  } catch (const VbError& e) {
    failure =
        dbFile + ": " + tr.T("the view could not be made:") + " " +
        (e.Number == dao::dbe::Locked ? tr.T("the database is in use by another program") : e.Description);
  }
  if (failure.empty()) return true;

  result.result = failure;
  try {
    ws->Rollback();
  } catch (const VbError&) {
    // Rolled back already, by a commit that failed; closing rolls back the rest.
  }
  db.reset();
  own.reset();
  // The file made here holds nothing worth keeping.
  if (created) {
    unlink(dbFile.c_str());
    unlink((dbFile + "-journal").c_str());
  }
  return false;
}

FormResult NewView(const std::string& recFile, const std::string& dbFile, const FormOptions& options) {
  IdentityTranslator english;
  Translator& tr = options.translator ? *options.translator : english;
  FormResult result;
  RecHeader header;
  if (!PrepareView(recFile, options, tr, header, result)) return result;
  if (!MakeView(dbFile, options, tr, header, result,
                [](dao::Workspace&, dao::Database&) { return std::string(); }))
    return result;
  result.fields = static_cast<int>(header.fields.size());
  return result;
}

}  // namespace chkimport
