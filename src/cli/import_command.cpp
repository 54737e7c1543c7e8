// chkimport import: one pass of the component over a CHK file, as the form
// designer runs it, with what a person at a terminal and a script each need
// to know about it.
#include <unistd.h>

#include <cctype>
#include <iostream>
#include <memory>
#include <sstream>

#include "chkimport/cls_chk_import.h"
#include "chkimport/identity_translator.h"
#include "cli/commands.h"
#include "cli/convert_command.h"
#include "cli/output.h"
#include "component/migration_report.h"
#include "component/preview.h"
#include "core/import_state.h"
#include "core/migration_notes.h"
#include "services/texts.h"
#include "translate/scan_words.h"
#include "viewdb/check_file_kind.h"

namespace chkimport::cli {
namespace {

// Commands of later dialects of the old language, which the import keeps as
// they are; a line that is one of them names no field.
bool laterDialectCommand(const std::string& word) {
  for (const char* command : {"LABELBLOCK", "LABEL", "TOPOFSCREEN", "MISSINGVALUE", "DEFAULTVALUE", "BACKUP",
                              "BEEP", "WRITENOTE", "QUIT", "CONFIRMFIELD", "ENDBEFORE", "ENDAFTER"})
    if (word == command) return true;
  return false;
}

// The unmatched lines that look like the name of a field: one word that
// starts with a letter, at most 10 characters, not a command of the old
// language. The rest are lines of blocks the import does not follow
// (labels, value lists of later dialects).
std::vector<std::string> fieldLike(const std::vector<std::string>& lines) {
  std::vector<std::string> fields;
  for (const auto& line : lines) {
    if (line.empty() || line.size() > 10 || line.find_first_of(" \t") != std::string::npos) continue;
    if (!std::isalpha(static_cast<unsigned char>(line[0]))) continue;
    std::string upper = line;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (IsCommandKeyword(upper) || laterDialectCommand(upper)) continue;
    fields.push_back(line);
  }
  return fields;
}

// What the errors inside the pass left, in the words of `words`.
std::string interrupted(Translator& words, const ImportOptions& o, long long errors, long long rows,
                        bool inJson) {
  std::string text = o.dryRun ? Count(words, errors, N_("{n} error interrupted the preview"),
                                      N_("{n} errors interrupted the preview"))
                              : Count(words, errors, N_("{n} error interrupted the import"),
                                      N_("{n} errors interrupted the import"));
  text += " (" + (inJson ? words.T("see \"errors\"") : words.T("see above")) + "); ";
  if (o.dryRun) return text + words.T("the import would keep what it wrote before.");
  if (!o.ignoreNew) return text + words.T("kept: nothing: this was a listing pass.");
  if (rows == 0) return text + words.T("kept: nothing.");
  return text + Count(words, rows, N_("kept: {n} row changed."), N_("kept: {n} rows changed."));
}

// For a view table that is not there: the view tables there are, and the
// one that differs only in case.
Failure tableNotFound(Context& cx, const ImportOptions& o, const std::string& message) {
  Failure failure{"table-not-found", message};
  std::vector<std::string> names;
  try {
    for (const auto& table : ViewTables(o.db, false)) names.push_back(table.name);
  } catch (const VbError&) {
  }
  std::string list, sameButCase;
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (const auto& name : names) {
    list += (list.empty() ? "" : ", ") + name;
    if (sameButCase.empty() && lower(name) == lower(o.view)) sameButCase = name;
  }
  failure.details["table"] = o.view;
  failure.details["view_tables"] = names;
  failure.details["differs_only_in_case"] =
      sameButCase.empty() ? nlohmann::json(nullptr) : nlohmann::json(sameButCase);
  failure.hints.push_back(Fill(cx.T("{view} is not a view table of {db}; its view tables are: {list}"),
                               {{"view", o.view}, {"db", o.db}, {"list", list}}));
  if (!sameButCase.empty())
    failure.hints.push_back(
        Fill(cx.T("{table} differs only in case: use --view {table}"), {{"table", sameButCase}}));
  return failure;
}

// The listing pass on a terminal: the component's list as the import
// dialog shows it, then the lines that are fields.
void printListing(Context& cx, const std::vector<std::string>& unmatched, bool terminal) {
  if (!terminal) {
    for (const auto& line : unmatched) std::cout << line << "\n";
    return;
  }
  if (unmatched.empty()) return;
  std::cout << cx.T("Lines of the CHK file without a row in the view:") << "\n";
  for (const auto& line : unmatched) std::cout << "  " << line << "\n";
  const auto fields = fieldLike(unmatched);
  std::cout << "\n" << cx.T("Fields of the CHK file without a row in the view:");
  if (fields.empty()) std::cout << " " << cx.T("none");
  std::cout << "\n";
  for (const auto& line : fields) std::cout << "  " << line << "\n";
}

// One line that says what a pass that succeeded did.
std::string summary(Context& cx, const ImportOptions& o, const PassProgress& counts,
                    const std::vector<std::string>& unmatched) {
  if (!o.ignoreNew)
    return Fill(cx.T("{view}: {found}, {missing} without a row; nothing was written (--ignore-new imports)"),
                {{"view", o.view},
                 {"found", Count(cx.tr, counts.fields, N_("{n} field found"), N_("{n} fields found"))},
                 {"missing", Count(cx.tr, static_cast<long long>(fieldLike(unmatched).size()),
                                   N_("{n} field"), N_("{n} fields"))}});
  return o.view + ": " + Count(cx.tr, counts.fields, N_("{n} field"), N_("{n} fields")) + ", " +
         Count(cx.tr, counts.lines, N_("{n} line of check code"), N_("{n} lines of check code")) + ", " +
         Count(cx.tr, counts.codeTables, N_("{n} code table"), N_("{n} code tables"));
}

}  // namespace

std::string ProgressText(Context& cx, const std::string& view, const PassProgress& p) {
  return Fill(cx.T("importing {view}: {lines}, {fields}, {tables}"),
              {{"view", view},
               {"lines", Count(cx.tr, p.lines, N_("{n} line"), N_("{n} lines"))},
               {"fields", Count(cx.tr, p.fields, N_("{n} field"), N_("{n} fields"))},
               {"tables", Count(cx.tr, p.codeTables, N_("{n} code table"), N_("{n} code tables"))}});
}

int RunImport(Context& cx, const ImportOptions& o) {
  const std::unique_ptr<ChkFile> chk = OpenChkFile(cx, o.chk, o.json);
  if (!chk) return kMessage;
  auto module = std::make_shared<ImportState>();
  module->host.encoding = o.encoding;
  module->host.lockWait = WaitLimit(o.wait);
  module->host.lockWaiting = WaitingNotice(cx, o.db, o.wait);
  module->host.settings.SetOverride("Variables", "Language", cx.language);
  // Nobody is asked: a failing routine is left after the error and the
  // running routines have been written to standard error, or kept for the
  // JSON.
  std::ostringstream toldInTheJson;
  if (o.json) module->host.errorLog = &toldInTheJson;
  ProgressLine progress(!o.quiet && !o.json);
  module->host.progress = [&](const PassProgress& p) {
    progress.Update([&] { return ProgressText(cx, o.view, p); });
  };
  // The report is made from what the pass writes as it writes it.
  MigrationNotes notes;
  if (!o.report.empty()) {
    module->migrationNotes = &notes;
    if (const std::string why = ReportRefused(o.report, o.db, {}, {chk->Path()}, o.encoding); !why.empty()) {
      PrintFailure({"report-refused", cx.T("the report would be written over") + " " + why + "; " +
                                          cx.T("nothing was imported")},
                   o.json);
      return kMessage;
    }
  }

  std::string result;
  std::vector<std::string> unmatched;
  ImportPreview preview;
  // A database, a binary file or a data file's header named as the CHK file.
  const std::string notChk = NotACheckFile(chk->Path(), o.encoding);
  try {
    clsCHKImport component(module);
    component.SetObjLanguage(cx.tr);
    component.SetIncludeWithin(o.includeWithin);
    if (!notChk.empty()) {
      result = chk->Shown(cx.tr) + " " + (o.json ? notChk : cx.T(notChk));
    } else if (o.dryRun) {
      preview = component.PreviewCHKCode(chk->Path(), o.db, o.view, o.overwrite, o.ignoreNew, o.tables);
      result = preview.result;
    } else {
      result = component.GetCHKCode(chk->Path(), o.db, o.view, false, o.overwrite, o.ignoreNew, o.tables);
      if (!o.ignoreNew) unmatched = component.UnmatchedFields();
    }
  } catch (const VbError& e) {
    result = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  progress.Clear();
  const std::vector<ImportError>& errorList = module->errorsMet;
  // The component's result does not tell of errors its routines met and
  // left; the user must learn that the view may hold only part of the code,
  // and what was kept.
  const auto errors = static_cast<long long>(errorList.size());
  // --json keeps the component's own texts; a person reads them translated.
  std::string shown = o.json ? result : cx.T(result);
  if (errors > 0 && result.empty()) {
    IdentityTranslator english;
    result = interrupted(english, o, errors, module->lngRowsWritten, o.json);
    shown = o.json ? result : interrupted(cx.tr, o, errors, module->lngRowsWritten, false);
  }
  Failure failure{FailureCode(result), shown};
  if (!errorList.empty()) {
    failure.number = errorList.front().number;
    failure.routines = errorList.front().routines;
  }
  if (result == "Table Not In MDB") failure = tableNotFound(cx, o, shown);
  // What a pass kept is reported whatever its result; a report not written
  // fails the run.
  std::string reportWhy;
  if (!o.report.empty()) reportWhy = ReportImport(o.report, chk->Path(), o.db, o.view, result, notes, cx.tr);
  const nlohmann::json reportJson = {{"file", o.report}, {"result", reportWhy}};
  if (!reportWhy.empty() && !o.json) Say(cx.T("the report was not written:") + " " + reportWhy);
  const int status = result.empty() && reportWhy.empty() ? kSuccess : kMessage;

  if (o.dryRun) {
    preview.result = result;
    if (o.json) {
      nlohmann::json out = nlohmann::json::parse(PreviewJson(preview));
      out["unmatched_fields"] = fieldLike(preview.unmatched);
      out["errors"] = ErrorsJson(errorList);
      if (!o.report.empty()) out["report"] = reportJson;
      if (!result.empty()) out.update(FailureJson(failure));
      PrintJson(out);
    } else {
      // A set-up that failed ran no pass: its message alone is shown.
      if (result.empty() || !preview.changes.empty() || !preview.unmatched.empty() ||
          !preview.newTables.empty())
        std::cout << PreviewText(preview, ColourFor(cx.colour, STDOUT_FILENO), cx.tr);
      if (!result.empty()) PrintFailure(failure, false);
    }
    return status;
  }

  if (o.json) {
    nlohmann::json out = {{"result", result},
                          {"unmatched", unmatched},
                          {"unmatched_fields", fieldLike(unmatched)},
                          {"errors", ErrorsJson(errorList)}};
    if (!o.report.empty()) out["report"] = reportJson;
    if (!result.empty()) out.update(FailureJson(failure));
    PrintJson(out);
    return status;
  }
  if (!result.empty()) PrintFailure(failure, false);
  printListing(cx, unmatched, IsTerminal(STDOUT_FILENO));
  if (result.empty() && !o.quiet && IsTerminal(STDERR_FILENO))
    Say(summary(cx, o, module->passCounts, unmatched));
  return status;
}

}  // namespace chkimport::cli
