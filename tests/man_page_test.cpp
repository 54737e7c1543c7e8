// The manual page and the completion scripts, written by the program from
// its command-line definition: they must name every command and every
// option that --help shows and be what the program writes now; the page
// reads cleanly in groff, and the scripts are valid in their shells.
#include "cli/man_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>

#include "test_support.h"

namespace {

using namespace testing_support;

// The names in the first column of a section of a help text ("Options:",
// "Commands:"), up to the next heading: "-h,--help" gives -h and --help.
std::set<std::string> helpNames(const std::string& helpText, const std::string& heading) {
  std::set<std::string> names;
  std::istringstream lines(helpText);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != ' ') inside = line == heading;
    // An entry stands two columns in; a description's further lines, further.
    if (!inside || line.find_first_not_of(' ') != 2) continue;
    std::istringstream column(line.substr(2, line.find(' ', 2) - 2));
    for (std::string name; std::getline(column, name, ',');) names.insert(name);
  }
  return names;
}

// `name` as a word of its own: "--language" is not in "--languages".
bool namesWord(const std::string& text, const std::string& name) {
  auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; };
  for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const bool before = at > 0 && word(text[at - 1]);
    const bool after = at + name.size() < text.size() && word(text[at + name.size()]);
    if (!before && !after) return true;
  }
  return false;
}

struct ManPage : ::testing::Test {
  std::string help(const std::string& command) {
    const auto r = runCommand("'" CHKIMPORT_CLI "' " + command + " --help", dir);
    EXPECT_EQ(r.status, 0) << command;
    return r.out;
  }
  // The page as groff shows it, in plain text on wide lines; groff must
  // have nothing to warn about.
  std::string show(const std::string& file) {
    const auto r = runCommand("groff -man -Tascii -P-cbou -rLL=300n -ww '" + file + "'", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    return r.out;
  }

  TempDir dir;
  std::string roff = readFile(CHKIMPORT_MAN_PAGE);
  std::string page = show(CHKIMPORT_MAN_PAGE);
};

TEST_F(ManPage, NamesEveryCommandAndOptionThatHelpShows) {
  const std::string bash = readFile(CHKIMPORT_BINARY_DIR "/completions/chkimport");
  const std::string top = help("");
  const auto commands = helpNames(top, "Commands:");
  ASSERT_GE(commands.size(), 2u);
  for (const auto& command : commands) {
    EXPECT_TRUE(namesWord(page, "chkimport " + command)) << command;
    auto names = helpNames(help(command), "Options:");
    names.merge(helpNames(top, "Options:"));
    ASSERT_GE(names.size(), 4u) << command;
    for (const auto& name : names)
      EXPECT_TRUE(namesWord(page, name) && namesWord(bash, name)) << command << " " << name;
  }
}

// Texts that roff would take for its own: a backslash, a line that begins
// with a dot or a quote.
TEST_F(ManPage, ShowsEveryTextAsWritten) {
  CLI::App app("chkimport 1: reads odd texts");
  app.add_subcommand("dotted", ".chk files are read")->add_option("--from", "files in C:\\forms\\new");
  app.add_subcommand("quoted", "'single' quotes");
  std::ostringstream written;
  chkimport::WriteManPage(app, written);
  const std::string shown = show(dir.write("odd.1", written.str()));
  EXPECT_NE(shown.find("\n       .chk files are read\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\n       'single' quotes\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find(" files in C:\\forms\\new.\n"), std::string::npos) << shown;
}

TEST_F(ManPage, IsWhatTheProgramWritesNow) {
  const auto written = runCommand("env -u LC_ALL LANG=es_ES.UTF-8 '" CHKIMPORT_CLI "' --man", dir);
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(written.out, roff);
  EXPECT_EQ(runCommand("env -u LC_ALL LANG=fr_FR.UTF-8 '" CHKIMPORT_CLI "' --completion zsh", dir).out,
            readFile(CHKIMPORT_BINARY_DIR "/completions/_chkimport"));
  for (const char* shell : {"bash -n '" CHKIMPORT_BINARY_DIR "/completions/chkimport'",
                            "zsh -n '" CHKIMPORT_BINARY_DIR "/completions/_chkimport'"})
    EXPECT_EQ(runCommand(shell, dir).status, 0) << shell;
  // The flag that writes the page is no option a user needs.
  EXPECT_FALSE(namesWord(page, "--man"));
}

}  // namespace
