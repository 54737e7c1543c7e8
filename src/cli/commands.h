// The commands of the program, one file each: what they are given and how
// they run. main.cpp defines the command line and calls them.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "chkimport/catalog_translator.h"
#include "chkimport/forms.h"
#include "cli/terminal.h"

namespace chkimport::cli {

// What every command shares: the user's language and how output looks.
struct Context {
  CatalogTranslator& tr;
  std::string language;  // the language in use, as the settings name it
  std::filesystem::path languagesDir;
  ColourMode colour = ColourMode::Auto;

  std::string T(const std::string& text) { return tr.T(text); }
};

struct ImportOptions {
  std::string chk, db, view;
  bool overwrite = false, ignoreNew = false, tables = false, json = false, dryRun = false, quiet = false;
  std::string encoding, includeWithin;
  std::string report;  // a migration report to write (FILE.md or FILE.html), or ""
  double wait = 10;
};
int RunImport(Context& cx, const ImportOptions& o);
// The import dialog, filled from the options.
int RunDialog(Context& cx, const ImportOptions& o);

struct ReportOptions {
  std::string db, view, chk, out;
  bool json = false;
};
int RunReport(Context& cx, const ReportOptions& o);

struct ViewsOptions {
  std::string db;
  bool json = false;
};
int RunViews(Context& cx, const ViewsOptions& o);

struct FormCommand {
  std::string rec, chk, db, view, encoding, includeWithin;
  bool overwrite = false, tables = false, json = false, quiet = false;
  double wait = 10;
  // convert: .REC files and folders of them, the data records, the report.
  std::vector<std::string> recs;
  std::string dataTable, report;
  bool noData = false, skipDeleted = false, lenient = false;
};
// newview.
int RunNewView(Context& cx, const FormCommand& o);
// convert: every form the .REC files and folders name, each in a
// transaction of its own.
int RunConvert(Context& cx, const FormCommand& o);

// Options of newview and convert as the library takes them.
FormOptions FormOptionsOf(Context& cx, const FormCommand& o, const std::string& chkPath);
// The result as the user reads it: the component's text with the option
// that gets round a name taken; with json, errors told in "errors".
std::string FormResultText(Context& cx, const FormResult& r, bool json);
// {"result", "unmatched", "table", "fields", "errors"} and the failure.
nlohmann::json FormJson(Context& cx, const FormResult& r, const std::string& result);
// The status lines of a form that was made.
void SayFormMade(Context& cx, const FormResult& r, const std::string& chkShown);

// Shared by the commands.

std::chrono::milliseconds WaitLimit(double seconds);
// On a terminal, says once that the run waits for another program.
std::function<void()> WaitingNotice(Context& cx, const std::string& db, double seconds);

// "importing viewForm: 1200 lines, 130 fields, 4 code tables".
std::string ProgressText(Context& cx, const std::string& view, const PassProgress& p);

// A view table and its rows.
struct ViewTable {
  std::string name;
  long long rows = 0;
};
// The view tables of a database, in the file's order; raises the database
// layer's error when it cannot be opened.
std::vector<ViewTable> ViewTables(const std::string& db, bool countRows);

// The CHK file named on the command line; "-" is standard input, copied to
// a file of its own for as long as this object lives (an INCLUDE then
// resolves from the current folder).
class ChkFile {
 public:
  explicit ChkFile(const std::string& given);
  ~ChkFile();
  ChkFile(const ChkFile&) = delete;
  ChkFile& operator=(const ChkFile&) = delete;

  const std::string& Path() const { return path_; }
  // The name for messages: the path, or "(standard input)".
  std::string Shown(Translator& tr) const;

 private:
  std::string path_;
  std::filesystem::path copyFolder_;
};
// The CHK file, or null when standard input could not be read (said).
std::unique_ptr<ChkFile> OpenChkFile(Context& cx, const std::string& given, bool json);

}  // namespace chkimport::cli
