// The manual page and the completion scripts, written by the program from
// its command-line definition: they must name every command and every
// option that --help shows and be what the program writes now; the page
// reads cleanly in groff, and the scripts complete in their shells.
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
    // An entry stands two columns in; a description's further lines, further.
    const auto start = line.find_first_not_of(' ');
    if (!inside || start != 2) continue;
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
  const std::string bash = readFile(CHKIMPORT_BINARY_DIR "/completions/chkimport");
  const std::string zsh = readFile(CHKIMPORT_BINARY_DIR "/completions/_chkimport");
  const std::string top = help("");
  const auto commands = helpNames(top, "Commands:");
  ASSERT_GE(commands.size(), 2u);
  for (const auto& option : helpNames(top, "Options:")) {
    EXPECT_TRUE(namesWord(part(page, ".SH OPTIONS"), option)) << option;
    EXPECT_TRUE(namesWord(bash, option) && namesWord(zsh, option)) << option;
  }

  for (const auto& command : commands) {
    const std::string section = part(page, ".SS " + command);
    ASSERT_FALSE(section.empty()) << "no section for " << command;
    EXPECT_TRUE(namesWord(part(page, ".SH SYNOPSIS"), "chkimport " + command)) << command;
    // Each command's options follow its name in the scripts.
    const std::string bashPart = bash.substr(bash.find("    " + command + ")\n"));
    const std::string zshPart = zsh.substr(zsh.find("        " + command + ")\n"));
    const std::string commandHelp = help(command);
    auto names = helpNames(commandHelp, "Options:");
    names.merge(helpNames(commandHelp, "Arguments:"));
    ASSERT_GE(names.size(), 2u) << command;
    for (const auto& name : names) {
      // Each command's help flag is told of once, among the program's options.
      const bool helpFlag = name == "-h" || name == "--help";
      EXPECT_TRUE(namesWord(helpFlag ? part(page, ".SH OPTIONS") : section, name)) << command << " " << name;
      if (name[0] == '-') {
        EXPECT_TRUE(namesWord(bashPart.substr(0, bashPart.find(" ;;")), name) &&
                    namesWord(zshPart.substr(0, zshPart.find(" ;;")), name))
            << command << " " << name;
      }
    }
  }
}

// Completion as the shells run it: commands, options, files and the view
// tables of the database on the line.
TEST_F(ManPage, TheCompletionScriptsComplete) {
  const std::string db = dir.file("form.db");
  testing_support::execSql(db, "CREATE TABLE viewForm (Name TEXT); CREATE TABLE viewOther (Name TEXT);");
  auto complete = [&](const std::string& words) {
    const auto r = runCommand("cd '" + dir.path().string() +
                                  "' && PATH='" CHKIMPORT_BINARY_DIR
                                  "':\"$PATH\" bash -c 'source \"" CHKIMPORT_BINARY_DIR
                                  "/completions/chkimport\"; COMP_WORDS=(" +
                                  words +
                                  "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _chkimport; echo "
                                  "\"${COMPREPLY[*]}\"'",
                              dir);
    EXPECT_EQ(r.err, "") << words;
    return r.out;
  };
  EXPECT_EQ(complete("chkimport imp"), "import\n");
  EXPECT_EQ(complete("chkimport import --ch"), "--chk\n");
  EXPECT_EQ(complete("chkimport import --db form.db --view \"\""), "viewForm viewOther\n");
  EXPECT_EQ(complete("chkimport convert --language Sp"), "Spanish\n");
  EXPECT_EQ(complete("chkimport views -d form."), "form.db\n");
  EXPECT_EQ(complete("chkimport help conv"), "convert\n");
  const auto zsh = runCommand("zsh -n '" CHKIMPORT_BINARY_DIR "/completions/_chkimport'", dir);
  EXPECT_EQ(zsh.status, 0) << zsh.err;
}

TEST_F(ManPage, IsWhatTheProgramWritesNow) {
  const auto written = runCommand("env -u LC_ALL LANG=es_ES.UTF-8 '" CHKIMPORT_CLI "' --man", dir);
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(written.out, roff);
  EXPECT_EQ(runCommand("env -u LC_ALL LANG=fr_FR.UTF-8 '" CHKIMPORT_CLI "' --completion zsh", dir).out,
            readFile(CHKIMPORT_BINARY_DIR "/completions/_chkimport"));
  EXPECT_NE(roff.find("\n.TH CHKIMPORT 1 "), std::string::npos);
  // The flag that writes the page is no option a user needs.
  EXPECT_FALSE(namesWord(help(""), "--man"));
  EXPECT_FALSE(namesWord(page, "--man"));
}

TEST_F(ManPage, GroffReadsItWithoutWarnings) {
  const auto r = runCommand("groff -k -man -Tutf8 -ww -z '" CHKIMPORT_MAN_PAGE "'", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
