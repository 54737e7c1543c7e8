// chkimport: the command-line host. It stands where the form designer
// stands: it hands the component a translator and calls GetCHKCode.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "chkimport/catalog_translator.h"
#include "chkimport/cls_chk_import.h"
#include "chkimport/forms.h"
#include "cli/convert_batch.h"
#include "cli/man_page.h"
#include "cli/preview_output.h"
#include "component/migration_report.h"
#include "component/preview.h"
#include "core/import_state.h"
#include "core/line_reader.h"
#include "core/migration_notes.h"
#include "dialogs/frm_import.h"
#include "services/dao.h"
#include "services/file_paths.h"
#include "services/screen_windowing.h"
#include "viewdb/check_file_kind.h"

namespace {

using namespace chkimport;

enum Exit { kSuccess = 0, kMessage = 1, kUsage = 2 };

std::filesystem::path executableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

struct ImportOptions {
  std::string chk, db, view;
  bool overwrite = false, ignoreNew = false, tables = false, json = false, dryRun = false;
  std::string language, languagesDir, encoding, includeWithin, report;
  double wait = 10;
};

std::chrono::milliseconds waitLimit(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// On a terminal, says once that the run waits for another program.
std::function<void()> waitingNotice(const std::string& db, double seconds) {
  if (isatty(STDERR_FILENO) != 1) return {};
  auto told = std::make_shared<bool>(false);
  return [told, db, seconds] {
    if (*told) return;
    *told = true;
    std::cerr << "chkimport: " << db
              << ": the database is in use by another program; waiting for it (at most " << seconds
              << " s)\n";
  };
}

nlohmann::json errorsJson(const std::vector<ImportError>& errors) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& e : errors)
    list.push_back({{"number", e.number}, {"description", e.description}, {"routines", e.routines}});
  return list;
}

void printJson(const nlohmann::json& out) {
  std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int runImport(const ImportOptions& o) {
  auto module = std::make_shared<ImportState>();
  module->host.encoding = o.encoding;
  module->host.lockWait = waitLimit(o.wait);
  module->host.lockWaiting = waitingNotice(o.db, o.wait);
  // Nobody is asked: a failing routine is left ("D") after the error and the
  // running routines have been written to standard error, or kept for the
  // JSON.
  std::vector<ImportError> errorList;
  module->host.actionPolicy = [&errorList](int32_t number, const std::string& description,
                                           const std::string& suggested,
                                           const std::vector<std::string>& labels) {
    errorList.push_back({number, description, {labels.rbegin(), labels.rend()}});
    return suggested;
  };
  std::ostringstream toldInTheJson;
  if (o.json) module->host.errorLog = &toldInTheJson;
  auto& settings = module->host.settings;
  if (!o.language.empty()) settings.SetOverride("Variables", "Language", o.language);
  // The report is made from what the pass writes as it writes it.
  MigrationNotes notes;
  if (!o.report.empty()) module->migrationNotes = &notes;
  const std::string reportRefused =
      o.report.empty() ? "" : ReportRefused(o.report, o.db, {}, {o.chk}, o.encoding);

  CatalogTranslator translator(o.languagesDir.empty()
                                   ? CatalogTranslator::DefaultLanguagesDir(executableDir())
                                   : std::filesystem::path(o.languagesDir));
  std::string result;
  std::vector<std::string> unmatched;
  ImportPreview preview;
  // A database, a binary file or a data file's header named as the CHK file.
  const std::string notChk = NotACheckFile(o.chk, o.encoding);
  try {
    translator.setLANGUAGE(settings.IniRead("Variables", "Language", "English"));
    if (!reportRefused.empty()) {
      std::cerr << "chkimport: " << translator.T("the report would be written over") << " " << reportRefused
                << "; " << translator.T("nothing was imported") << "\n";
      return kMessage;
    }
    clsCHKImport component(module);
    component.SetObjLanguage(translator);
    component.SetIncludeWithin(o.includeWithin);
    if (!notChk.empty()) {
      result = o.chk + " " + (o.json ? notChk : translator.T(notChk));
    } else if (o.dryRun) {
      preview = component.PreviewCHKCode(o.chk, o.db, o.view, o.overwrite, o.ignoreNew, o.tables);
      result = preview.result;
    } else {
      result = component.GetCHKCode(o.chk, o.db, o.view, false, o.overwrite, o.ignoreNew, o.tables);
      if (!o.ignoreNew) unmatched = component.UnmatchedFields();
    }
  } catch (const VbError& e) {
    result = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  // The component's result does not tell of errors its routines met and
  // left; the user must learn that the view may hold only part of the code,
  // and what was kept.
  const auto errors = static_cast<long long>(errorList.size());
  if (errors > 0 && result.empty()) {
    std::string kept;
    if (o.dryRun) {
      kept = "the import would keep what it wrote before.";
    } else if (!o.ignoreNew) {
      kept = "kept: nothing: this was a listing pass.";
    } else if (module->lngRowsWritten == 0) {
      kept = "kept: nothing.";
    } else {
      const long long rows = module->lngRowsWritten;
      kept = "kept: " + std::to_string(rows) + (rows == 1 ? " row" : " rows") + " changed.";
    }
    result = std::to_string(errors) + (errors == 1 ? " error" : " errors") + " interrupted the " +
             (o.dryRun ? "preview" : "import") + (o.json ? " (see \"errors\"); " : " (see above); ") + kept;
  }

  std::string reportWhy;
  if (!o.report.empty()) {
    reportWhy = ReportImport(o.report, o.chk, o.db, o.view, result, notes, translator);
    if (!reportWhy.empty() && !o.json)
      std::cerr << "chkimport: " << translator.T("the report was not written:") << " " << reportWhy << "\n";
  }
  const int status = result.empty() && reportWhy.empty() ? kSuccess : kMessage;

  if (o.dryRun) {
    preview.result = result;
    if (o.json) {
      nlohmann::json out = nlohmann::json::parse(PreviewJson(preview));
      out["errors"] = errorsJson(errorList);
      if (!o.report.empty()) out["report"] = {{"file", o.report}, {"result", reportWhy}};
      printJson(out);
    } else {
      PrintPreview(preview, o.json, translator);
    }
    return status;
  }

  if (o.json) {
    nlohmann::json out = {{"result", result}, {"unmatched", unmatched}, {"errors", errorsJson(errorList)}};
    if (!o.report.empty()) out["report"] = {{"file", o.report}, {"result", reportWhy}};
    printJson(out);
  } else {
    // Messages are shown in the user's language, as the import dialog shows
    // them; --json keeps the component's own text.
    if (!result.empty()) std::cerr << "chkimport: " << translator.T(result) << "\n";
    for (const auto& line : unmatched) std::cout << line << "\n";
  }
  return status;
}

// The import dialog, as the form designer would show it.
int runDialog(const ImportOptions& o) {
  std::string whyNot;
  auto windowing = ScreenWindowing(whyNot);
  if (!windowing) {
    std::cerr << "chkimport: the import dialog cannot be shown: " << whyNot << "\n";
    return kUsage;
  }
  auto module = std::make_shared<ImportState>();
  module->host.windowing = windowing;
  module->host.encoding = o.encoding;
  module->host.languagesDir =
      (o.languagesDir.empty() ? CatalogTranslator::DefaultLanguagesDir(executableDir())
                              : std::filesystem::path(o.languagesDir))
          .string();
  if (!o.language.empty()) module->host.settings.SetOverride("Variables", "Language", o.language);
  // No translator is handed in: the dialog sets up its own from the
  // settings, as it does for a host that has none.
  try {
    clsCHKImport component(module);
    component.GetCHKCode(o.chk, o.db, o.view, true, o.overwrite, o.ignoreNew, o.tables);
  } catch (const VbError& e) {
    std::cerr << "chkimport: error " << e.Number << ": " << e.Description << "\n";
    return kMessage;
  }
  return kSuccess;
}

struct ReportOptions {
  std::string db, view, chk, out, language, languagesDir;
};

// The report of the check code stored in a view, without any dialog.
int runReport(const ReportOptions& o) {
  auto module = std::make_shared<ImportState>();
  if (!o.language.empty()) module->host.settings.SetOverride("Variables", "Language", o.language);
  CatalogTranslator translator(o.languagesDir.empty()
                                   ? CatalogTranslator::DefaultLanguagesDir(executableDir())
                                   : std::filesystem::path(o.languagesDir));
  if (!IsNormalFile(o.db)) {
    std::cerr << "chkimport: MDB file not found.\n";
    return kMessage;
  }
  try {
    translator.setLANGUAGE(module->host.settings.IniRead("Variables", "Language", "English"));
    module->objLanguage = &translator;
    WriteCheckCodeReport(*module, o.out, o.chk, o.db, o.view);
  } catch (const VbError& e) {
    std::cerr << "chkimport: the report could not be written: error " << e.Number << ": " << e.Description
              << "\n";
    return kMessage;
  }
  return kSuccess;
}

int runViews(const std::string& dbName) {
  if (!IsNormalFile(dbName)) {
    std::cerr << "chkimport: MDB file not found.\n";
    return kMessage;
  }
  std::unique_ptr<dao::Database> db;
  try {
    db = dao::DBEngine::Workspaces(0).OpenDatabase(dbName);
  } catch (const VbError& e) {
    std::cerr << "chkimport: Cannot open database. (" << e.Description << ")\n";
    return kMessage;
  }
  int found = 0;
  for (int i = 0; i < db->TableDefsCount(); ++i) {
    const std::string name = db->TableDefName(i);
    if (name.compare(0, 4, "view") == 0) {
      std::cout << name << "\n";
      ++found;
    }
  }
  if (found == 0) {
    std::cerr << "chkimport: No tables available.\n";
    return kMessage;
  }
  return kSuccess;
}

struct FormCommand {
  std::string rec, chk, db, view, encoding, language, languagesDir, includeWithin;
  bool overwrite = false, tables = false, json = false;
  double wait = 10;
  // convert
  std::vector<std::string> recs;
  std::string dataTable, report;
  bool noData = false, skipDeleted = false, lenient = false;
};

void printWarnings(const FormResult& r) {
  for (const auto& warning : r.warnings) std::cerr << "chkimport: " << warning << "\n";
}

// Tells what was made, or why nothing was.
int reportForm(const FormResult& r, bool json, Translator& tr) {
  std::string result = r.result;
  if (r.viewExists) result += " (choose another name with --view NAME)";
  if (json) {
    // The errors are in the JSON, not above.
    const std::string interrupted = std::to_string(r.errors) + " " +
                                    (r.errors == 1 ? tr.T("error interrupted the import (see above);")
                                                   : tr.T("errors interrupted the import (see above);")) +
                                    " " + tr.T("the database is as it was.");
    if (r.errors > 0 && result == interrupted)
      result = std::to_string(r.errors) + (r.errors == 1 ? " error" : " errors") +
               " interrupted the import (see \"errors\"); the database is as it was.";
    printJson({{"result", result},
               {"unmatched", nlohmann::json::array()},
               {"table", result.empty() ? nlohmann::json(r.table) : nlohmann::json(nullptr)},
               {"fields", r.fields},
               {"errors", errorsJson(r.errorList)}});
  } else if (!result.empty()) {
    std::cerr << "chkimport: " << result << "\n";
  } else {
    std::cout << "Created " << r.table << " with " << r.fields << (r.fields == 1 ? " field" : " fields");
    if (!r.chk.empty()) std::cout << " and imported " << r.chk;
    std::cout << ".\n";
    if (!r.fileLabel.empty()) std::cout << "File label: " << r.fileLabel << "\n";
  }
  return result.empty() ? kSuccess : kMessage;
}

int runForm(const FormCommand& o, bool convert) {
  FormOptions options;
  options.view = o.view;
  options.encoding = o.encoding;
  options.chk = o.chk;
  options.overwrite = o.overwrite;
  options.tables = o.tables;
  options.includeWithin = o.includeWithin;
  options.language = o.language;
  options.lockWait = waitLimit(o.wait);
  options.lockWaiting = waitingNotice(o.db, o.wait);
  options.dataTable = o.dataTable;
  options.noData = o.noData;
  options.skipDeleted = o.skipDeleted;
  options.lenient = o.lenient;
  std::ostringstream toldInTheJson;
  if (o.json) options.errorLog = &toldInTheJson;
  Settings settings(Settings::DefaultPath());
  if (!o.language.empty()) settings.SetOverride("Variables", "Language", o.language);
  CatalogTranslator translator(o.languagesDir.empty()
                                   ? CatalogTranslator::DefaultLanguagesDir(executableDir())
                                   : std::filesystem::path(o.languagesDir));
  FormResult r;
  try {
    translator.setLANGUAGE(settings.IniRead("Variables", "Language", "English"));
    options.translator = &translator;
    if (convert) return RunConvert({o.recs, o.db, o.report, o.json}, options, translator);
    r = NewView(o.rec, o.db, options);
  } catch (const VbError& e) {
    r.result = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  printWarnings(r);
  return reportForm(r, o.json, translator);
}

// An encoding iconv does not know is a usage error, found before anything runs.
const CLI::Validator kEncodingName(
    [](std::string& name) {
      return LineReader::KnownEncoding(name)
                 ? std::string()
                 : "unknown text encoding '" + name +
                       "': use a name that iconv --list shows, such as UTF-8, UTF-16, WINDOWS-1252, CP850 or "
                       "ISO-8859-1";
    },
    "ENCODING");

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"chkimport " CHKIMPORT_VERSION
               ": imports the check code of Vantrel 6 CHK files into a Vantrel 2000 view database"};
  app.set_version_flag("--version", "chkimport " CHKIMPORT_VERSION);
  AddManPageFlag(app);
  app.require_subcommand(1);

  ImportOptions o;
  auto* import = app.add_subcommand(
      "import",
      "Run one import pass of a CHK file against a view table. Without --ignore-new the pass only lists the "
      "CHK fields that have no row in the view (one per line on standard output) and writes nothing; with "
      "--ignore-new it translates the check code and writes it into the view. A message goes to standard "
      "error; the exit status is 0 on success, 1 with a message, 2 for a usage error.");
  import->add_option("--chk", o.chk, "The CHK file")->required();
  import->add_option("--db", o.db, "The view database (a SQLite file)")->required();
  import->add_option("--view", o.view, "The view table, e.g. viewPatient")->required();
  import->add_flag("--overwrite", o.overwrite,
                   "Replace each matched field's check code instead of adding to it");
  import->add_flag("--ignore-new", o.ignoreNew,
                   "Translate and write at once, without listing the fields that have no view row");
  import->add_flag("--tables", o.tables, "Build code tables from value lists");
  import->add_option("--language", o.language,
                     "Language of messages and comment lines (a catalog name such as Spanish); default: the "
                     "Language key of section [Variables] in the settings file");
  import->add_option("--languages", o.languagesDir, "Folder of the translation catalogs (NAME.po)");
  import
      ->add_option("--encoding", o.encoding,
                   "Text encoding of the CHK and include files (an iconv name such as CP850); default: "
                   "UTF-8 when the file is valid UTF-8, else Windows-1252 or CP850 by its accented letters")
      ->check(kEncodingName);
  const std::string includeWithinHelp =
      "Read INCLUDE files only from under DIR (links and .. resolved), for CHK files from others; an INCLUDE "
      "of any other file is written as one of a file not found, with a warning on standard error";
  import->add_option("--include-within", o.includeWithin, includeWithinHelp)->check(CLI::ExistingDirectory);
  import->add_flag(
      "--json", o.json,
      R"(Print {"result": ..., "unmatched": [...], "errors": [{"number", "description", "routines"}]} )"
      "on standard output, the errors that interrupted the import included (not on standard error)");
  const std::string waitHelp =
      "How long to wait for another program that is using the database before giving up with nothing "
      "written (default: 10)";
  import->add_option("--wait", o.wait, waitHelp)->check(CLI::NonNegativeNumber);
  import->add_flag(
      "--dry-run", o.dryRun,
      "Change nothing: run the writing pass (after the listing pass, without --ignore-new) in a "
      "transaction that is rolled back, and print a unified diff of each Checkcode and Lists it "
      "would change and the code tables it would create; with --json the same as "
      R"({"result", "unmatched", "changes": [{"view", "row", "column", "old", "new"}], "new_tables"})");

  std::string viewsDb;
  auto* views = app.add_subcommand("views", "List the view tables of a view database, one per line.");
  views->add_option("--db", viewsDb, "The view database (a SQLite file)")->required();

  ImportOptions d;
  auto* dialog = app.add_subcommand(
      "dialog",
      "Open the import dialog (needs a display), filled with the given names and options; its OK button runs "
      "the import, Cancel or Escape closes it. Errors met during the import are asked of the user.");
  dialog->add_option("--chk", d.chk, "The CHK file");
  dialog->add_option("--db", d.db, "The view database (a SQLite file)");
  dialog->add_option("--view", d.view, "The view table");
  // The dialog's boxes start ticked; an option left out leaves its box so.
  dialog->add_flag("--overwrite", d.overwrite, "Tick 'Overwrite any existing CHECK code' (it starts ticked)");
  dialog->add_flag("--ignore-new", d.ignoreNew,
                   "Tick the box that suppresses the summary (it starts ticked)");
  dialog->add_flag("--tables", d.tables, "Tick 'Automatically generate Code Tables' (it starts ticked)");
  dialog->add_option("--language", d.language, "Language of the dialogs and comment lines");
  dialog->add_option("--languages", d.languagesDir, "Folder of the translation catalogs (NAME.po)");
  dialog->add_option("--encoding", d.encoding, "Text encoding of the CHK and include files")
      ->check(kEncodingName);

  ReportOptions report;
  auto* reportCommand = app.add_subcommand(
      "report",
      "Write the check code stored in a view table to a text file, one block per field that has any.");
  reportCommand->add_option("--db", report.db, "The view database (a SQLite file)")->required();
  reportCommand->add_option("--view", report.view, "The view table")->required();
  reportCommand->add_option("--chk", report.chk,
                            "The CHK file the code came from, named in the report's header");
  reportCommand
      ->add_option("--out", report.out,
                   "The report file to write (replaced when it exists; never the database, its journal, the "
                   "CHK file or a file it includes)")
      ->required();
  reportCommand->add_option("--language", report.language, "Language of the report's texts");
  reportCommand->add_option("--languages", report.languagesDir,
                            "Folder of the translation catalogs (NAME.po)");

  FormCommand nv;
  auto* newview = app.add_subcommand(
      "newview",
      "Create a view table from the header of a Vantrel 6 data file (.REC): one row per field with its name, "
      "type, format and prompt. The database file is created when it does not exist.");
  newview->add_option("--rec", nv.rec, "The data file (.REC)")->required();
  newview->add_option("--db", nv.db, "The view database (a SQLite file)")->required();
  newview->add_option("--view", nv.view,
                      "The view table to create; default: view + the .REC file's base name");
  newview
      ->add_option("--encoding", nv.encoding,
                   "Text encoding of the .REC file (an iconv name); default: as for CHK files")
      ->check(kEncodingName);
  newview->add_option("--language", nv.language, "Language of messages");
  newview->add_option("--languages", nv.languagesDir, "Folder of the translation catalogs (NAME.po)");
  newview->add_option("--wait", nv.wait, waitHelp)->check(CLI::NonNegativeNumber);

  FormCommand cv;
  auto* convert = app.add_subcommand(
      "convert",
      "Convert forms: for each, create its view table from the .REC file as newview does, import the check "
      "code of its CHK file into it (the writing pass of import; without a CHK file, a warning) and put the "
      "file's data records into a data table. Each form is converted whole or not at all, in a transaction "
      "of its own: one that fails leaves nothing and the others go on. Several forms end with a summary; the "
      "exit status is 1 when any form failed.");
  convert->add_option("REC", cv.recs, "Data files (.REC) and folders of them (their .REC files, any case)")
      ->required();
  convert->add_option("--chk", cv.chk,
                      "The CHK file; default: the .REC file's base name with .CHK, in any case, beside it");
  convert->add_option("--db", cv.db, "The view database (a SQLite file), created when it does not exist")
      ->required();
  convert->add_option("--view", cv.view,
                      "The view table to create; default: view + the .REC file's base name");
  convert->add_flag("--overwrite", cv.overwrite,
                    "Replace each matched field's check code instead of adding to it");
  convert->add_flag("--tables", cv.tables, "Build code tables from value lists");
  convert->add_option("--encoding", cv.encoding, "Text encoding of the .REC, CHK and include files")
      ->check(kEncodingName);
  convert->add_option("--include-within", cv.includeWithin, includeWithinHelp)->check(CLI::ExistingDirectory);
  convert->add_option("--language", cv.language, "Language of messages and comment lines");
  convert->add_option("--languages", cv.languagesDir, "Folder of the translation catalogs (NAME.po)");
  convert->add_flag(
      "--json", cv.json,
      R"(Print a line of JSON per form on standard output: {"rec", "result", "unmatched", "table", "fields", )"
      R"("errors", "chk", "code_lines", "code_tables", "advice", "data_table", "records", "deleted_records", )"
      R"("unread_values", "damaged_records", "warnings"}, and with --report {"report": {"file", "result"}})");
  convert->add_option("--wait", cv.wait, waitHelp)->check(CLI::NonNegativeNumber);
  convert->add_option(
      "--data-table", cv.dataTable,
      "The data table to create; default: the view's name without \"view\" (viewSTUDENT: STUDENT)");
  convert->add_flag("--no-data", cv.noData, "Leave the data records out: the view and the check code only");
  convert->add_flag("--skip-deleted", cv.skipDeleted, "Leave out the records marked deleted");
  convert->add_flag("--lenient", cv.lenient,
                    "Keep the records that read when the data section is damaged, and name those left out; "
                    "without it a damaged record leaves nothing of the form");
  const std::string reportHelp =
      "Write a migration report to FILE: per form and field, the advice the import wrote (what is left to "
      "do by hand), by kind, with counts, and the CHK fields without a view row. Markdown for FILE.md, a "
      "self-contained HTML page for FILE.html";
  convert->add_option("--report", cv.report, reportHelp)->check(kReportFile);
  import->add_option("--report", o.report, reportHelp)->check(kReportFile);

  app.footer("Settings file: " + chkimport::Settings::DefaultPath().string() +
             " (section [Variables], key Language).");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kSuccess : kUsage;
  }

  if (*import) return runImport(o);
  if (*dialog) return runDialog(d);
  if (*reportCommand) return runReport(report);
  if (*newview) return runForm(nv, false);
  if (*convert) return runForm(cv, true);
  return runViews(viewsDb);
}
