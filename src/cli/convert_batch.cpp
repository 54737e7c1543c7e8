#include "cli/convert_batch.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "chkimport/translator.h"
#include "chkimport/vb_error.h"
#include "cli/progress.h"
#include "component/migration_report.h"
#include "core/migration_notes.h"

namespace chkimport {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct BatchForm {
  std::string rec;
  FormResult result;
};

// The forms the inputs name: a file as given, a folder's .REC files (any
// case) by name. A folder without any is a form that failed.
std::vector<BatchForm> FormsOf(const std::vector<std::string>& inputs, bool& folders, Translator& tr) {
  std::vector<BatchForm> forms;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (!fs::is_directory(input, ec)) {
      forms.push_back({input, {}});
      continue;
    }
    folders = true;
    std::vector<std::string> recs;
    for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec))
      if (Lower(it->path().extension().string()) == ".rec" && it->is_regular_file(ec))
        recs.push_back(it->path().string());
    std::sort(recs.begin(), recs.end());
    if (recs.empty()) {
      BatchForm none{input, {}};
      none.result.result = input + ": " +
                           (ec ? tr.T("the folder cannot be read") + " (" + ec.message() + ")"
                               : tr.T("no .REC files in this folder"));
      forms.push_back(std::move(none));
    }
    for (std::string& rec : recs) forms.push_back({std::move(rec), {}});
  }
  return forms;
}

nlohmann::json FormJson(const BatchForm& form, const std::string& result) {
  const FormResult& r = form.result;
  nlohmann::json errors = nlohmann::json::array(), advice = nlohmann::json::array();
  for (const auto& e : r.errorList)
    errors.push_back({{"number", e.number}, {"description", e.description}, {"routines", e.routines}});
  for (const Advice& a : r.advice) advice.push_back({{"field", a.field}, {"kind", a.kind}, {"text", a.text}});
  const bool done = result.empty();
  return {
      {"rec", form.rec},
      {"result", result},
      {"unmatched", r.unmatched},
      {"table", done ? nlohmann::json(r.table) : nlohmann::json(nullptr)},
      {"fields", r.fields},
      {"errors", errors},
      {"chk", r.chk.empty() ? nlohmann::json(nullptr) : nlohmann::json(r.chk)},
      {"code_lines", r.codeLines},
      {"code_tables", r.codeTables},
      {"advice", advice},
      {"data_table", done && !r.dataTable.empty() ? nlohmann::json(r.dataTable) : nlohmann::json(nullptr)},
      {"records", r.records},
      {"deleted_records", r.deletedRecords},
      {"unread_values", r.unreadValues},
      {"damaged_records", r.damagedRecords},
      {"warnings", r.warnings}};
}

void PrintJson(const nlohmann::json& out) {
  std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

// The result as the user reads it, with the option that gets round a name taken.
std::string ResultText(const FormResult& r, bool json, Translator& tr) {
  std::string result = r.result;
  if (r.viewExists) result += " (" + tr.T("choose another name with --view NAME") + ")";
  if (r.dataTableExists) result += " (" + tr.T("choose another name with --data-table NAME") + ")";
  if (json && r.errors > 0) {
    // The errors are in the JSON, not above.
    const std::string above = r.errors == 1 ? tr.T("error interrupted the import (see above);")
                                            : tr.T("errors interrupted the import (see above);");
    const std::string interrupted =
        std::to_string(r.errors) + " " + above + " " + tr.T("the database is as it was.");
    if (result == interrupted)
      result = std::to_string(r.errors) + (r.errors == 1 ? " error" : " errors") +
               " interrupted the import (see \"errors\"); the database is as it was.";
  }
  return result;
}

void PrintForm(const BatchForm& form, const std::string& result, bool skipDeleted, Translator& tr) {
  const FormResult& r = form.result;
  for (const std::string& warning : r.warnings) std::cerr << "chkimport: " << warning << "\n";
  if (!result.empty()) {
    std::cerr << "chkimport: " << result << "\n";
    return;
  }
  std::cout << "Created " << r.table << " with " << r.fields << (r.fields == 1 ? " field" : " fields");
  if (!r.chk.empty()) std::cout << " and imported " << r.chk;
  std::cout << ".\n";
  if (!r.fileLabel.empty()) std::cout << "File label: " << r.fileLabel << "\n";
  if (r.dataTable.empty()) return;
  std::cout << tr.T("Records:") << " " << r.records << " " << tr.T("into") << " " << r.dataTable;
  if (r.deletedRecords > 0)
    std::cout << " (" << r.deletedRecords << " "
              << (skipDeleted ? tr.T("marked deleted, left out")
                              : tr.T("marked deleted, kept with Deleted = 1"))
              << ")";
  std::cout << "\n";
  if (r.unreadValues > 0)
    std::cout << tr.T("Values kept as written, as they did not read as their type:") << " " << r.unreadValues
              << "\n";
  if (r.damagedRecords > 0) std::cout << tr.T("Damaged records left out:") << " " << r.damagedRecords << "\n";
}

void PrintSummary(const std::vector<BatchForm>& forms, const std::vector<std::string>& results,
                  Translator& tr) {
  std::size_t converted = 0;
  long long fields = 0, lines = 0, tables = 0, records = 0;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    if (!results[i].empty()) continue;
    const FormResult& r = forms[i].result;
    ++converted;
    fields += r.fields;
    lines += r.codeLines;
    tables += static_cast<long long>(r.codeTables.size());
    records += r.records;
  }
  std::cout << "\n"
            << tr.T("Converted") << " " << converted << " " << tr.T("of") << " " << forms.size() << " "
            << tr.T("forms:") << " " << fields << " " << tr.T("fields") << ", " << lines << " "
            << tr.T("lines of check code") << ", " << tables << " " << tr.T("code tables") << ", " << records
            << " " << tr.T("records") << ".\n";
  if (converted == forms.size()) return;
  std::cout << tr.T("Not converted (nothing of them is in the database):") << "\n";
  for (std::size_t i = 0; i < forms.size(); ++i)
    if (!results[i].empty()) std::cout << "  " << forms[i].rec << ": " << results[i] << "\n";
}

ReportForm ReportFormOf(const BatchForm& form, const std::string& result) {
  const FormResult& r = form.result;
  if (!result.empty()) return {form.rec, "", result, "", 0, "", 0, {}, {}};
  return {form.rec, r.table, "", "", r.fields, r.dataTable, r.records, r.advice, r.unmatched};
}

}  // namespace

const CLI::Validator kReportFile(
    [](std::string& path) {
      return IsReportPath(path) ? std::string()
                                : "the report is written as Markdown or HTML: name it FILE.md or FILE.html";
    },
    "FILE.md|FILE.html");

int RunConvert(const ConvertRun& run, FormOptions options, Translator& tr) {
  bool folders = false;
  std::vector<BatchForm> forms = FormsOf(run.inputs, folders, tr);
  if (forms.size() > 1 && (!options.view.empty() || !options.chk.empty() || !options.dataTable.empty())) {
    std::cerr << "chkimport: "
              << tr.T(
                     "--view, --chk and --data-table name the tables of one form; "
                     "they cannot be given for several forms")
              << "\n";
    return 2;
  }
  if (!run.report.empty()) {
    std::vector<std::string> recs, chks;
    for (const BatchForm& form : forms) {
      recs.push_back(form.rec);
      const std::string chk = options.chk.empty() ? FindChkBeside(form.rec) : options.chk;
      if (!chk.empty()) chks.push_back(chk);
    }
    if (const std::string why = ReportRefused(run.report, run.db, recs, chks, options.encoding);
        !why.empty()) {
      std::cerr << "chkimport: " << tr.T("the report would be written over") << " " << why << "; "
                << tr.T("nothing was converted") << "\n";
      return 1;
    }
  }

  ProgressLine progress(tr);
  std::vector<std::string> results;
  bool all = true;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    BatchForm& form = forms[i];
    if (form.result.result.empty()) {
      progress.Form(i + 1, forms.size(), form.rec);
      options.progress = [&progress](long long records) { progress.Records(records); };
      try {
        form.result = ConvertForm(form.rec, run.db, options);
      } catch (const VbError& e) {
        form.result.result = "error " + std::to_string(e.Number) + ": " + e.Description;
      }
      progress.Clear();
    }
    results.push_back(ResultText(form.result, run.json, tr));
    all = all && results.back().empty();
    if (run.json)
      PrintJson(FormJson(form, results.back()));
    else
      PrintForm(form, results.back(), options.skipDeleted, tr);
  }
  if (!run.json && (folders || forms.size() > 1)) PrintSummary(forms, results, tr);

  if (!run.report.empty()) {
    std::vector<ReportForm> report;
    for (std::size_t i = 0; i < forms.size(); ++i) report.push_back(ReportFormOf(forms[i], results[i]));
    const std::string why = WriteMigrationReport(run.report, run.db, report, tr);
    if (run.json) PrintJson({{"report", {{"file", run.report}, {"result", why}}}});
    if (!why.empty()) {
      if (!run.json) std::cerr << "chkimport: " << tr.T("the report was not written:") << " " << why << "\n";
      all = false;
    }
  }
  return all ? 0 : 1;
}

std::string ReportImport(const std::string& report, const std::string& chk, const std::string& db,
                         const std::string& view, const std::string& result, const MigrationNotes& notes,
                         Translator& tr) {
  // What a pass kept, it kept: its result is told, not taken for a failure.
  ReportForm form{chk, view, "", result, 0, "", 0, {}, notes.unmatched};
  for (const AdviceNote& note : notes.advice)
    form.advice.push_back({note.field, AdviceKindKey(note.kind), note.text});
  return WriteMigrationReport(report, db, {form}, tr);
}

}  // namespace chkimport
