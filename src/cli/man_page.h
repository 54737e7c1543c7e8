// The manual page of chkimport, written from the same command-line
// definition that --help shows: every command, every option, every text.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>

namespace chkimport {

// Adds the hidden flag --man: it writes the manual page of `app` on
// standard output and ends the program. The build makes chkimport.1 so.
void AddManPageFlag(CLI::App& app);

// The page in roff (man macros), section 1.
void WriteManPage(const CLI::App& app, std::ostream& out);

}  // namespace chkimport
