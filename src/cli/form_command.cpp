// chkimport newview and convert: a view table from a Vantrel 6 data file's
// header, and with convert the import of the form's check code into it.
#include <iostream>
#include <memory>
#include <sstream>

#include "chkimport/vb_error.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "services/texts.h"

namespace chkimport::cli {
namespace {

// Tells what was made, or why nothing was: status lines on standard error,
// or everything as JSON on standard output.
int reportForm(Context& cx, const FormResult& r, const FormCommand& o, const std::string& chkShown) {
  std::string result = r.result;
  if (r.viewExists) result += " " + cx.T("(choose another name with --view NAME)");
  if (o.json) {
    // The errors are in the JSON, not above.
    const std::string toldAbove = std::to_string(r.errors) + " " +
                                  (r.errors == 1 ? cx.T("error interrupted the import (see above);")
                                                 : cx.T("errors interrupted the import (see above);")) +
                                  " " + cx.T("the database is as it was.");
    if (r.errors > 0 && result == toldAbove)
      result = Count(cx.tr, r.errors, N_("{n} error interrupted the import"),
                     N_("{n} errors interrupted the import")) +
               " (" + cx.T("see \"errors\"") + "); " + cx.T("the database is as it was.");
    nlohmann::json out = {{"result", result},
                          {"unmatched", nlohmann::json::array()},
                          {"table", result.empty() ? nlohmann::json(r.table) : nlohmann::json(nullptr)},
                          {"fields", r.fields},
                          {"errors", ErrorsJson(r.errorList)}};
    if (!result.empty()) {
      Failure failure{r.viewExists ? "view-exists" : FailureCode(r.result, &cx.tr), result};
      if (r.errors > 0) failure.code = "interrupted";
      if (!r.errorList.empty()) {
        failure.number = r.errorList.front().number;
        failure.routines = r.errorList.front().routines;
      }
      out.update(FailureJson(failure));
    }
    PrintJson(out);
  } else if (!result.empty()) {
    Say(result);
  } else if (!o.quiet) {
    const std::string fields = Count(cx.tr, r.fields, N_("{n} field"), N_("{n} fields"));
    Say(r.chk.empty() ? Fill(cx.T("Created {table} with {fields}."), {{"table", r.table}, {"fields", fields}})
                      : Fill(cx.T("Created {table} with {fields} and imported {chk}: {lines}, {tables}."),
                             {{"table", r.table},
                              {"fields", fields},
                              {"chk", chkShown},
                              {"lines", Count(cx.tr, r.counts.lines, N_("{n} line of check code"),
                                              N_("{n} lines of check code"))},
                              {"tables", Count(cx.tr, r.counts.codeTables, N_("{n} code table"),
                                               N_("{n} code tables"))}}));
    if (!r.fileLabel.empty()) Say(cx.T("File label:") + " " + r.fileLabel);
  }
  return result.empty() ? kSuccess : kMessage;
}

}  // namespace

int RunForm(Context& cx, const FormCommand& o, bool convert) {
  std::unique_ptr<ChkFile> chk;
  try {
    chk = std::make_unique<ChkFile>(o.chk);
  } catch (const VbError& e) {
    PrintFailure({"runtime-error", cx.T("standard input could not be read:") + " " + e.Description, e.Number},
                 o.json);
    return kMessage;
  }
  FormOptions options;
  options.view = o.view;
  options.encoding = o.encoding;
  options.chk = chk->Path();
  options.overwrite = o.overwrite;
  options.tables = o.tables;
  options.includeWithin = o.includeWithin;
  options.language = cx.language;
  options.lockWait = WaitLimit(o.wait);
  options.lockWaiting = WaitingNotice(cx, o.db, o.wait);
  options.translator = &cx.tr;
  std::ostringstream toldInTheJson;
  if (o.json) options.errorLog = &toldInTheJson;
  ProgressLine progress(!o.quiet && !o.json);
  const std::string view = o.view.empty() ? DefaultViewName(o.rec) : o.view;
  options.progress = [&](const PassProgress& p) { progress.Update(ProgressText(cx, view, p)); };
  FormResult r;
  try {
    r = convert ? ConvertForm(o.rec, o.db, options) : NewView(o.rec, o.db, options);
  } catch (const VbError& e) {
    r.result = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  progress.Clear();
  if (!o.json)
    for (const auto& warning : r.warnings) Say(warning);
  return reportForm(cx, r, o, o.chk == "-" ? chk->Shown(cx.tr) : r.chk);
}

}  // namespace chkimport::cli
