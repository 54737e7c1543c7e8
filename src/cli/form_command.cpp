// chkimport newview: a view table from a Vantrel 6 data file's header; and
// what newview and convert share in telling what was made.
#include <iostream>
#include <memory>

#include "chkimport/vb_error.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "services/texts.h"

namespace chkimport::cli {

FormOptions FormOptionsOf(Context& cx, const FormCommand& o, const std::string& chkPath) {
  FormOptions options;
  options.view = o.view;
  options.encoding = o.encoding;
  options.chk = chkPath;
  options.overwrite = o.overwrite;
  options.tables = o.tables;
  options.includeWithin = o.includeWithin;
  options.language = cx.language;
  options.lockWait = WaitLimit(o.wait);
  options.lockWaiting = WaitingNotice(cx, o.db, o.wait);
  options.translator = &cx.tr;
  options.dataTable = o.dataTable;
  options.noData = o.noData;
  options.skipDeleted = o.skipDeleted;
  options.lenient = o.lenient;
  return options;
}

std::string FormResultText(Context& cx, const FormResult& r, bool json) {
  std::string result = r.result;
  if (r.viewExists) result += " " + cx.T("(choose another name with --view NAME)");
  if (r.dataTableExists) result += " " + cx.T("(choose another name with --data-table NAME)");
  if (json && r.errors > 0) {
    // The errors are in the JSON, not above.
    const std::string toldAbove = std::to_string(r.errors) + " " +
                                  (r.errors == 1 ? cx.T("error interrupted the import (see above);")
                                                 : cx.T("errors interrupted the import (see above);")) +
                                  " " + cx.T("the database is as it was.");
    if (result == toldAbove)
      result = Count(cx.tr, r.errors, N_("{n} error interrupted the import"),
                     N_("{n} errors interrupted the import")) +
               " (" + cx.T("see \"errors\"") + "); " + cx.T("the database is as it was.");
  }
  return result;
}

nlohmann::json FormJson(Context& cx, const FormResult& r, const std::string& result) {
  nlohmann::json out = {{"result", result},
                        {"unmatched", r.unmatched},
                        {"table", result.empty() ? nlohmann::json(r.table) : nlohmann::json(nullptr)},
                        {"fields", r.fields},
                        {"errors", ErrorsJson(r.errorList)}};
  if (!result.empty()) {
    Failure failure{r.viewExists || r.dataTableExists ? "view-exists" : FailureCode(r.result, &cx.tr),
                    result};
    if (r.errors > 0) failure.code = "interrupted";
    if (!r.errorList.empty()) {
      failure.number = r.errorList.front().number;
      failure.routines = r.errorList.front().routines;
    }
    out.update(FailureJson(failure));
  }
  return out;
}

void SayFormMade(Context& cx, const FormResult& r, const std::string& chkShown) {
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

int RunNewView(Context& cx, const FormCommand& o) {
  const FormOptions options = FormOptionsOf(cx, o, "");
  FormResult r;
  try {
    r = NewView(o.rec, o.db, options);
  } catch (const VbError& e) {
    r.result = "error " + std::to_string(e.Number) + ": " + e.Description;
  }
  const std::string result = FormResultText(cx, r, o.json);
  if (o.json) {
    PrintJson(FormJson(cx, r, result));
  } else {
    for (const auto& warning : r.warnings) Say(warning);
    if (!result.empty())
      Say(result);
    else if (!o.quiet)
      SayFormMade(cx, r, "");
  }
  return result.empty() ? kSuccess : kMessage;
}

}  // namespace chkimport::cli
