// The migration report of the command line (--report of convert and
// import): what the import left to do by hand, written as Markdown or HTML.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace chkimport {

class Translator;
struct MigrationNotes;

namespace cli {

// The migration report of an import pass (`import --report`): "" or why
// it was not written.
std::string ReportImport(const std::string& report, const std::string& chk, const std::string& db,
                         const std::string& view, const std::string& result, const MigrationNotes& notes,
                         Translator& tr);

// Refuses a report named other than FILE.md or FILE.html before anything runs.
CLI::Validator ReportFile(Translator& tr);

}  // namespace cli
}  // namespace chkimport
