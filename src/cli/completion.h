// Completion of chkimport's command line in bash and zsh, written by the
// program from the same definitions --help and the manual page show, so a
// new command or option reaches them without anyone editing them.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace chkimport::cli {

// Adds the hidden option --completion SHELL (bash or zsh): it writes the
// completion script on standard output and ends the program. `languages`
// are the values offered for --language.
void AddCompletionFlag(CLI::App& app, std::vector<std::string> languages);

// The scripts. An option's values are completed by its type name: FILE a
// file, DIR a folder, LANGUAGE a language, WHEN auto, always or never,
// VIEW a view table of the database named with --db (as `chkimport views`
// lists them).
void WriteBashCompletion(const CLI::App& app, const std::vector<std::string>& languages, std::ostream& out);
void WriteZshCompletion(const CLI::App& app, const std::vector<std::string>& languages, std::ostream& out);

}  // namespace chkimport::cli
