// chkimport convert: forms across whole, one or many (.REC files and
// folders of them), each in a transaction of its own: the view from the
// header, the check code into it and the records into a data table. A
// progress line on a terminal, a summary for several forms, and the
// migration report (--report).
#include "cli/convert_command.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sstream>

#include "chkimport/vb_error.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "component/convert_form.h"
#include "component/migration_report.h"
#include "core/migration_notes.h"
#include "services/dao.h"
#include "services/texts.h"
#include "services/vb_strings.h"

namespace chkimport::cli {
namespace {

namespace fs = std::filesystem;

struct BatchForm {
  std::string rec;
  FormResult result;
  std::string shown;  // the result as the user reads it; "" when the form was made
};

// The forms the inputs name: a file as given, a folder's .REC files (any
// case) by name. A folder without any is a form that failed.
std::vector<BatchForm> FormsOf(const std::vector<std::string>& inputs, bool& folders, Translator& tr) {
  std::vector<BatchForm> forms;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (!fs::is_directory(input, ec)) {
      forms.push_back({input, {}, ""});
      continue;
    }
    folders = true;
    std::vector<std::string> recs;
    for (fs::directory_iterator it(input, ec), end; !ec && it != end; it.increment(ec))
      if (AsciiLower(it->path().extension().string()) == ".rec" && it->is_regular_file(ec))
        recs.push_back(it->path().string());
    std::sort(recs.begin(), recs.end());
    if (recs.empty()) {
      BatchForm none{input, {}, ""};
      none.result.result = input + ": " +
                           (ec ? tr.T("the folder cannot be read") + " (" + ec.message() + ")"
                               : tr.T("no .REC files in this folder"));
      forms.push_back(std::move(none));
    }
    for (std::string& rec : recs) forms.push_back({std::move(rec), {}, ""});
  }
  return forms;
}

nlohmann::json ConvertJson(Context& cx, const BatchForm& form) {
  const FormResult& r = form.result;
  nlohmann::json advice = nlohmann::json::array();
  for (const Advice& a : r.advice) advice.push_back({{"field", a.field}, {"kind", a.kind}, {"text", a.text}});
  const bool done = form.shown.empty();
  nlohmann::json out = FormJson(cx, r, form.shown);
  out.update(
      {{"rec", form.rec},
       {"chk", r.chk.empty() ? nlohmann::json(nullptr) : nlohmann::json(r.chk)},
       {"code_lines", r.counts.lines},
       {"code_tables", r.codeTables},
       {"advice", advice},
       {"data_table", done && !r.dataTable.empty() ? nlohmann::json(r.dataTable) : nlohmann::json(nullptr)},
       {"records", r.records},
       {"deleted_records", r.deletedRecords},
       {"unread_values", r.unreadValues},
       {"damaged_records", r.damagedRecords},
       {"warnings", r.warnings}});
  return out;
}

// The status lines of a form: its warnings, and what was made or why not.
void SayForm(Context& cx, const BatchForm& form, const FormCommand& o, const std::string& chkShown) {
  const FormResult& r = form.result;
  for (const std::string& warning : r.warnings) Say(warning);
  if (!form.shown.empty()) {
    Say(form.shown);
    return;
  }
  if (o.quiet) return;
  SayFormMade(cx, r, chkShown);
  if (r.dataTable.empty()) return;
  std::string records = Fill(
      cx.T("{records} into {table}"),
      {{"records", Count(cx.tr, r.records, N_("{n} record"), N_("{n} records"))}, {"table", r.dataTable}});
  if (r.deletedRecords > 0)
    records += " (" +
               Fill(o.skipDeleted ? cx.T("{n} marked deleted, left out")
                                  : cx.T("{n} marked deleted, kept with Deleted = 1"),
                    {{"n", std::to_string(r.deletedRecords)}}) +
               ")";
  Say(records + ".");
  if (r.unreadValues > 0)
    Say(cx.T("Values kept as written, as they did not read as their type:") + " " +
        std::to_string(r.unreadValues));
  if (r.damagedRecords > 0) Say(cx.T("Damaged records left out:") + " " + std::to_string(r.damagedRecords));
}

void SaySummary(Context& cx, const std::vector<BatchForm>& forms) {
  long long converted = 0, fields = 0, lines = 0, tables = 0, records = 0;
  for (const BatchForm& form : forms) {
    if (!form.shown.empty()) continue;
    const FormResult& r = form.result;
    ++converted;
    fields += r.fields;
    lines += r.counts.lines;
    tables += static_cast<long long>(r.codeTables.size());
    records += r.records;
  }
  Say(Fill(cx.T("Converted {converted} of {forms}: {fields}, {lines}, {tables}, {records}."),
           {{"converted", std::to_string(converted)},
            {"forms", Count(cx.tr, static_cast<long long>(forms.size()), N_("{n} form"), N_("{n} forms"))},
            {"fields", Count(cx.tr, fields, N_("{n} field"), N_("{n} fields"))},
            {"lines", Count(cx.tr, lines, N_("{n} line of check code"), N_("{n} lines of check code"))},
            {"tables", Count(cx.tr, tables, N_("{n} code table"), N_("{n} code tables"))},
            {"records", Count(cx.tr, records, N_("{n} record"), N_("{n} records"))}}));
  if (converted == static_cast<long long>(forms.size())) return;
  Say(cx.T("Not converted (nothing of them is in the database):"));
  // A message that starts with the form's file is shown as it is.
  for (const BatchForm& form : forms)
    if (!form.shown.empty())
      Say("  " + (form.shown.rfind(form.rec + ": ", 0) == 0 ? form.shown : form.rec + ": " + form.shown));
}

ReportForm ReportFormOf(const BatchForm& form) {
  const FormResult& r = form.result;
  if (!form.shown.empty()) return {form.rec, "", form.shown, "", 0, "", 0, {}, {}};
  return {form.rec, r.table, "", "", r.fields, r.dataTable, r.records, r.advice, r.unmatched};
}

}  // namespace

CLI::Validator ReportFile(Translator& tr) {
  const std::string why = tr.T("the report is written as Markdown or HTML: name it FILE.md or FILE.html");
  return CLI::Validator([why](std::string& path) { return IsReportPath(path) ? std::string() : why; },
                        "FILE.md|FILE.html");
}

int RunConvert(Context& cx, const FormCommand& o) {
  bool folders = false;
  std::vector<BatchForm> forms = FormsOf(o.recs, folders, cx.tr);
  if (forms.size() > 1 && (!o.view.empty() || !o.chk.empty() || !o.dataTable.empty())) {
    PrintFailure({"usage", cx.T("--view, --chk and --data-table name the tables of one form; "
                                "they cannot be given for several forms")},
                 o.json);
    return kUsage;
  }
  const std::unique_ptr<ChkFile> chk = OpenChkFile(cx, o.chk, o.json);
  if (!chk) return kMessage;
  FormOptions options = FormOptionsOf(cx, o, chk->Path());
  if (!o.report.empty()) {
    std::vector<std::string> recs, chks;
    for (const BatchForm& form : forms) {
      recs.push_back(form.rec);
      const std::string beside = options.chk.empty() ? FindChkBeside(form.rec) : options.chk;
      if (!beside.empty()) chks.push_back(beside);
    }
    if (const std::string why = ReportRefused(o.report, o.db, recs, chks, o.encoding); !why.empty()) {
      PrintFailure({"report-refused", cx.T("the report would be written over") + " " + why + "; " +
                                          cx.T("nothing was converted")},
                   o.json);
      return kMessage;
    }
  }

  std::ostringstream toldInTheJson;
  if (o.json) options.errorLog = &toldInTheJson;
  ProgressLine progress(!o.quiet && !o.json);
  // The forms share a workspace, and once the database is there a database
  // of it stays open: its connection, and SQLite's reading of the schema,
  // serve every form.
  const auto workspace = dao::DBEngine::CreateWorkspace("Convert", "Admin", "", dao::dbUseDefault);
  std::unique_ptr<dao::Database> kept;
  bool all = true;
  for (std::size_t i = 0; i < forms.size(); ++i) {
    BatchForm& form = forms[i];
    if (form.result.result.empty()) {
      // "[2/12] STUDENT.REC: importing viewSTUDENT: ..." on a terminal.
      const std::string which =
          (forms.size() > 1 ? "[" + std::to_string(i + 1) + "/" + std::to_string(forms.size()) + "] " : "") +
          form.rec + ": ";
      const std::string view = o.view.empty() ? DefaultViewName(form.rec) : o.view;
      options.progress = [&](const PassProgress& p) {
        progress.Update([&] { return which + ProgressText(cx, view, p); });
      };
      options.recordProgress = [&](long long records) {
        progress.Update([&] { return which + Count(cx.tr, records, N_("{n} record"), N_("{n} records")); });
      };
      try {
        form.result = ConvertFormIn(workspace.get(), form.rec, o.db, options);
      } catch (const VbError& e) {
        form.result.result = "error " + std::to_string(e.Number) + ": " + e.Description;
      }
      if (!kept && form.result.result.empty()) {
        try {
          kept = workspace->OpenDatabase(o.db);
        } catch (const VbError&) {
          // Not kept: each form opens the database anew.
        }
      }
      progress.Clear();
    }
    form.shown = FormResultText(cx, form.result, o.json);
    all = all && form.shown.empty();
    if (o.json)
      PrintJson(ConvertJson(cx, form));
    else
      SayForm(cx, form, o, o.chk == "-" ? chk->Shown(cx.tr) : form.result.chk);
  }
  if (!o.json && (folders || forms.size() > 1)) SaySummary(cx, forms);

  if (!o.report.empty()) {
    std::vector<ReportForm> report;
    for (const BatchForm& form : forms) report.push_back(ReportFormOf(form));
    const std::string why = WriteMigrationReport(o.report, o.db, report, cx.tr);
    if (o.json) PrintJson({{"report", {{"file", o.report}, {"result", why}}}});
    if (!why.empty()) {
      if (!o.json) Say(cx.T("the report was not written:") + " " + why);
      all = false;
    }
  }
  return all ? kSuccess : kMessage;
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

}  // namespace chkimport::cli
