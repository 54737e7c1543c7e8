// The whole conversion of one form, in one transaction of the view
// database: the view table is made, the CHK file imported into it and the
// records put into the data table, and all of it is committed, or nothing.
#include "component/convert_form.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "chkimport/cls_chk_import.h"
#include "chkimport/forms.h"
#include "chkimport/identity_translator.h"
#include "core/import_state.h"
#include "core/migration_notes.h"
#include "services/dao.h"
#include "services/file_paths.h"
#include "services/vb_strings.h"
#include "viewdb/check_file_kind.h"
#include "viewdb/data_table.h"
#include "viewdb/new_view.h"

namespace chkimport {

std::string FindChkBeside(const std::string& recFile) {
  namespace fs = std::filesystem;
  const fs::path rec(recFile);
  const std::string stem = rec.stem().string();
  const std::string wanted = AsciiLower(stem + ".chk");
  std::vector<std::string> found;
  std::error_code ec;
  const fs::path folder = rec.parent_path().empty() ? fs::path(".") : rec.parent_path();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (AsciiLower(it->path().filename().string()) == wanted && IsNormalFile(it->path().string()))
      found.push_back(it->path().filename().string());
  if (found.empty()) return "";
  // Several that differ only in case: the one whose base name is written as
  // the .REC file's, else the first by name.
  std::sort(found.begin(), found.end());
  auto same = std::find_if(found.begin(), found.end(),
                           [&](const std::string& name) { return name.compare(0, stem.size(), stem) == 0; });
  return (rec.parent_path() / (same != found.end() ? *same : found.front())).string();
}

namespace {

// Where ConvertForm looked for the CHK file, for the message that it found none.
std::string NoChkBeside(const std::string& recFile, Translator& tr) {
  const auto folder = std::filesystem::path(recFile).parent_path();
  return tr.T("Looked for") + " " + std::filesystem::path(recFile).stem().string() + ".chk " +
         tr.T("(in any case) in") + " " + (folder.empty() ? std::string(".") : folder.string());
}

// The import of the CHK file into the view, inside the transaction that
// made it: it commits with the view or leaves nothing of the form.
std::string ImportInto(dao::Workspace& ws, const std::string& dbFile, const FormOptions& options,
                       Translator& tr, FormResult& result) {
  auto module = std::make_shared<ImportState>();
  MigrationNotes notes;
  module->passWorkspace = &ws;
  module->migrationNotes = &notes;
  module->host.encoding = options.encoding;
  module->host.errorLog = options.errorLog;
  module->host.lockWait = options.lockWait;
  module->host.lockWaiting = options.lockWaiting;
  module->host.progress = options.progress;
  if (!options.settingsFile.empty()) module->host.settings = Settings(options.settingsFile);
  if (!options.language.empty()) module->host.settings.SetOverride("Variables", "Language", options.language);
  // Nobody is asked: a failing routine is left, and the conversion with it.
  module->host.actionPolicy = [&result](int32_t number, const std::string& description,
                                        const std::string& suggested,
                                        const std::vector<std::string>& labels) {
    result.errorList.push_back({number, description, {labels.rbegin(), labels.rend()}});
    ++result.errors;
    return suggested;
  };
  std::string why;
  {
    clsCHKImport component(module);
    component.SetObjLanguage(tr);
    try {
      component.SetIncludeWithin(options.includeWithin);
      why = component.GetCHKCode(result.chk, dbFile, result.table, false, options.overwrite,
                                 /*blnIgnoreNew=*/true, options.tables);
    } catch (const VbError& e) {
      why = "error " + std::to_string(e.Number) + ": " + e.Description;
    }
  }
  if (why.empty() && result.errors > 0)
    why = std::to_string(result.errors) + " " +
          (result.errors == 1 ? tr.T("error interrupted the import (see above);")
                              : tr.T("errors interrupted the import (see above);")) +
          " " + tr.T("the database is as it was.");
  result.counts = module->passCounts;
  result.unmatched = std::move(notes.unmatched);
  result.codeTables = std::move(notes.codeTables);
  for (AdviceNote& note : notes.advice)
    result.advice.push_back({std::move(note.field), AdviceKindKey(note.kind), std::move(note.text)});
  return why;
}

}  // namespace

FormResult ConvertForm(const std::string& recFile, const std::string& dbFile, const FormOptions& options) {
  return ConvertFormIn(nullptr, recFile, dbFile, options);
}

FormResult ConvertFormIn(dao::Workspace* shared, const std::string& recFile, const std::string& dbFile,
                         const FormOptions& options) {
  IdentityTranslator english;
  Translator& tr = options.translator ? *options.translator : english;
  FormResult result;
  RecHeader header;
  if (!PrepareView(recFile, options, tr, header, result)) return result;

  result.chk = options.chk.empty() ? FindChkBeside(recFile) : options.chk;
  if (!options.chk.empty() && !IsNormalFile(result.chk)) {
    result.result = tr.T("CHECK file not found.") + " (" + result.chk + ")";
    return result;
  }
  if (result.chk.empty()) {
    result.warnings.push_back(recFile + ": " + tr.T("warning: no check code:") + " " +
                              NoChkBeside(recFile, tr) + "; " + tr.T("name the CHK file with --chk."));
  } else if (const std::string why = NotACheckFile(result.chk, options.encoding); !why.empty()) {
    result.result = result.chk + " " + tr.T(why);
    return result;
  }
  if (!options.noData) {
    result.dataTable = options.dataTable.empty() ? DefaultDataTable(result.table) : options.dataTable;
    if (std::string why = DataTableRefused(result.dataTable, header, tr); !why.empty()) {
      result.result = recFile + ": " + why;
      return result;
    }
  }

  // Every part in the transaction that made the view: the check code, then
  // the records; all of it is committed, or nothing.
  auto work = [&](dao::Workspace& ws, dao::Database& db) -> std::string {
    // A name taken is found before any work is done.
    if (!result.dataTable.empty() && db.HasObject(result.dataTable)) {
      result.dataTableExists = true;
      return dbFile + ": " + tr.T("a table of this name exists already:") + " " + result.dataTable;
    }
    if (!result.chk.empty())
      if (std::string why = ImportInto(ws, dbFile, options, tr, result); !why.empty()) return why;
    if (result.dataTable.empty()) return "";
    DataOptions data;
    data.table = result.dataTable;
    data.skipDeleted = options.skipDeleted;
    data.lenient = options.lenient;
    data.progress = options.recordProgress;
    DataOutcome outcome = WriteDataTable(db, recFile, header, data, tr);
    result.records = outcome.records;
    result.deletedRecords = outcome.deleted;
    result.unreadValues = outcome.unread;
    result.damagedRecords = outcome.damaged;
    result.dataTableExists = outcome.exists;
    // Nothing is kept of records that failed: nor are warnings about them.
    if (outcome.failure.empty())
      result.warnings.insert(result.warnings.end(), outcome.warnings.begin(), outcome.warnings.end());
    return outcome.failure;
  };
  if (!MakeView(dbFile, options, tr, header, result, work, shared)) return result;
  result.fields = static_cast<int>(header.fields.size());
  return result;
}

}  // namespace chkimport
