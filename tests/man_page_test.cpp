// The manual page, written by the program from its command-line definition:
// it must name every command and every option that --help shows, be what
// the program writes now, and read cleanly in groff.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "test_support.h"

namespace {

using testing_support::runCommand;
using testing_support::TempDir;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The names in the first column of a section of a help text ("Options:",
// "Positionals:", "Subcommands:"), up to the next heading: "-h,--help"
// gives -h and --help.
std::set<std::string> helpNames(const std::string& helpText, const std::string& heading) {
  std::set<std::string> names;
  std::istringstream lines(helpText);
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != ' ') {
      inside = line == heading;
      continue;
    }
    const auto start = line.find_first_not_of(' ');
    if (!inside || start == std::string::npos) continue;
    std::istringstream column(line.substr(start, line.find(' ', start) - start));
    for (std::string name; std::getline(column, name, ',');) names.insert(name);
  }
  return names;
}

// The page with roff's escapes undone: "\-" is "-", font changes vanish.
std::string plain(const std::string& roff) {
  std::string text;
  for (std::size_t i = 0; i < roff.size(); ++i) {
    if (roff[i] == '\\' && i + 1 < roff.size()) {
      const char next = roff[i + 1];
      if (next == '-' || next == 'e') {
        text += next == '-' ? '-' : '\\';
        ++i;
        continue;
      }
      if (next == '&') {
        ++i;
        continue;
      }
      if (next == 'f' && i + 2 < roff.size()) {
        i += 2;
        continue;
      }
    }
    text += roff[i];
  }
  return text;
}

// From the line `heading` to the next section or subsection; "" when there
// is no such line.
std::string part(const std::string& page, const std::string& heading) {
  const auto start = page.find("\n" + heading + "\n");
  if (start == std::string::npos) return "";
  auto end = page.find("\n.S", start + 1);
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
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

  TempDir dir;
  std::string roff = readFile(CHKIMPORT_MAN_PAGE);
  std::string page = plain(roff);
};

TEST_F(ManPage, NamesEveryCommandAndOptionThatHelpShows) {
  const std::string top = help("");
  const auto commands = helpNames(top, "Subcommands:");
  ASSERT_GE(commands.size(), 2u);
  for (const auto& option : helpNames(top, "Options:"))
    EXPECT_TRUE(namesWord(part(page, ".SH OPTIONS"), option)) << option;

  for (const auto& command : commands) {
    const std::string section = part(page, ".SS " + command);
    ASSERT_FALSE(section.empty()) << "no section for " << command;
    EXPECT_TRUE(namesWord(part(page, ".SH SYNOPSIS"), "chkimport " + command)) << command;
    const std::string commandHelp = help(command);
    auto names = helpNames(commandHelp, "Options:");
    names.merge(helpNames(commandHelp, "Positionals:"));
    ASSERT_GE(names.size(), 2u) << command;
    for (const auto& name : names) {
      // Each command's help flag is told of once, among the program's options.
      const bool helpFlag = name == "-h" || name == "--help";
      EXPECT_TRUE(namesWord(helpFlag ? part(page, ".SH OPTIONS") : section, name)) << command << " " << name;
    }
  }
}

TEST_F(ManPage, IsWhatTheProgramWritesNow) {
  const auto written = runCommand("'" CHKIMPORT_CLI "' --man", dir);
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(written.out, roff);
  EXPECT_NE(roff.find("\n.TH CHKIMPORT 1 "), std::string::npos);
  // The flag that writes the page is no option a user needs.
  EXPECT_FALSE(namesWord(help(""), "--man"));
  EXPECT_FALSE(namesWord(page, "--man"));
}

TEST_F(ManPage, GroffReadsItWithoutWarnings) {
  if (runCommand("command -v groff", dir).status != 0) GTEST_SKIP() << "no groff";
  const auto r = runCommand("groff -k -man -Tutf8 -ww -z '" CHKIMPORT_MAN_PAGE "'", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
