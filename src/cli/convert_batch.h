// `chkimport convert` over one form or many: .REC files and folders of
// them, each form converted in a transaction of its own, with a progress
// line on a terminal, a summary, and the migration report (--report).
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "chkimport/forms.h"

namespace chkimport {

class Translator;
struct MigrationNotes;

struct ConvertRun {
  std::vector<std::string> inputs;  // .REC files and folders
  std::string db;
  std::string report;  // --report FILE, or ""
  bool json = false;
};

// Converts every form the inputs name, in their order (a folder's .REC
// files, any case, by name). A form that fails is reported and leaves
// nothing; the others go on. With json, a line of JSON per form (and one
// for the report). 0 when every form went through and the report was
// written, 1 otherwise, 2 for options that name one form's tables given
// for several.
int RunConvert(const ConvertRun& run, FormOptions options, Translator& tr);

// The migration report of an import pass (`import --report`): "" or why
// it was not written.
std::string ReportImport(const std::string& report, const std::string& chk, const std::string& db,
                         const std::string& view, const std::string& result, const MigrationNotes& notes,
                         Translator& tr);

// Why --report FILE cannot be used before anything runs: not .md or .html.
extern const CLI::Validator kReportFile;

}  // namespace chkimport
