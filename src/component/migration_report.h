// The migration report: what the conversion of a batch of forms (or one
// import) left to do by hand, as a checklist. Per form, every comment of
// advice the import wrote, by kind and field, as the translation wrote it,
// with counts at the top, and the CHK lines that name no row of the view.
// Markdown for a FILE.md, a page that needs nothing else for a FILE.html.
#pragma once

#include <string>
#include <vector>

#include "chkimport/forms.h"

namespace chkimport {

class Translator;

struct ReportForm {
  std::string source;   // the .REC file converted, or the CHK file imported
  std::string view;     // the view table
  std::string failure;  // "" when it went through; otherwise why (nothing of it was kept)
  std::string outcome;  // an import's result, when not "": what it said
  int fields = 0;
  std::string dataTable;
  long long records = 0;
  std::vector<Advice> advice;
  std::vector<std::string> unmatched;
};

// Whether the report of this path would be Markdown (.md) or HTML (.html,
// .htm), the extension in any case; false for any other.
bool IsReportPath(const std::string& path, bool* html = nullptr);

// Why the report must not be written to `path` ("" when it may): it is the
// view database or one of its journals, or one of the files the forms are
// made from (their .REC, CHK and include files), by any name.
std::string ReportRefused(const std::string& path, const std::string& db,
                          const std::vector<std::string>& recs, const std::vector<std::string>& chks,
                          const std::string& encoding);

// Writes the report, into a new file beside `path` that then takes its
// name: the report is there whole, or not at all. "" or why it failed.
std::string WriteMigrationReport(const std::string& path, const std::string& db,
                                 const std::vector<ReportForm>& forms, Translator& tr);

}  // namespace chkimport
