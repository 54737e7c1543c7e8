// Previews: the line diff, a preview leaving the database file as it was and
// listing what the import then writes, the command line's --dry-run, and
// the import dialog's Preview button.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <random>

#include "chkimport/identity_translator.h"
#include "component/preview.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "import_harness.h"
#include "services/scripted_windowing.h"
#include "services/unified_diff.h"

namespace chkimport {
namespace {

using namespace testing_support;
using V = std::vector<std::string>;

// ---- The line diff ---------------------------------------------------------

TEST(UnifiedTextDiff, HunksContextAndLineEnds) {
  const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
  const struct {
    const char* name;
    std::string oldText, newText, expected;
  } cases[] = {
      {"CRLF and LF are both line ends", "A\r\nB\r\n", "A\nB\n", ""},
      {"pure add to nothing", "", "A\r\nB\r\n", "--- old\n+++ new\n@@ -0,0 +1,2 @@\n+A\n+B\n"},
      {"changes seven lines apart make two hunks", ten, "one\n2\n3\n4\n5\n6\n7\n8\n9\nten\n",
       "--- old\n+++ new\n@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n@@ -7,4 +7,4 @@\n 7\n 8\n 9\n-10\n+ten\n"},
      {"changes six lines apart share a hunk", ten, "1\n2\n3\nfour\n5\n6\n7\n8\n9\nten\n",
       "--- old\n+++ new\n@@ -1,10 +1,10 @@\n 1\n 2\n 3\n-4\n+four\n 5\n 6\n 7\n 8\n 9\n-10\n+ten\n"},
      {"a last line without a line end", "M", "MN",
       "--- old\n+++ new\n@@ -1 +1 @@\n-M\n\\ No newline at end of file\n+MN\n\\ No newline at end of "
       "file\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UnifiedTextDiff(c.oldText, c.newText, "old", "new", false), c.expected) << c.name;
}

// The diff's lines applied to the old text's lines, hunk by hunk.
V applyDiff(const V& old, const std::string& diff) {
  V lines, result;
  for (std::size_t start = 0, nl; (nl = diff.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(diff.substr(start, nl - start));
  std::size_t at = 0;  // old lines taken so far
  for (std::size_t i = 2; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.rfind("@@ -", 0) == 0) {
      std::size_t first = std::stoul(l.substr(4));
      const std::size_t comma = l.find(','), space = l.find(' ', 4);
      const bool empty = comma < space && l.substr(comma + 1, space - comma - 1) == "0";
      const std::size_t to = empty ? first : first - 1;
      while (at < to) result.push_back(old.at(at++));
    } else if (l[0] == ' ' || l[0] == '-') {
      EXPECT_EQ(l.substr(1), old.at(at)) << "context or removed line at " << at;
      if (l[0] == ' ') result.push_back(old.at(at));
      ++at;
    } else if (l[0] == '+') {
      result.push_back(l.substr(1));
    }
  }
  while (at < old.size()) result.push_back(old[at++]);
  return result;
}

TEST(UnifiedTextDiff, AppliedToTheOldLinesItGivesTheNewOnesWithTheFewestChanges) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    auto draw = [&] {
      V lines(random() % 25);
      for (auto& line : lines) line = std::string(1, static_cast<char>('a' + random() % 4));
      return lines;
    };
    const V a = draw(), b = draw();
    std::string oldText, newText;
    for (const auto& l : a) oldText += l + "\r\n";
    for (const auto& l : b) newText += l + "\r\n";
    const std::string diff = UnifiedTextDiff(oldText, newText, "a", "b", false);
    EXPECT_EQ(applyDiff(a, diff), b) << diff;

    // The fewest removed and added lines: both lengths less twice the
    // longest common subsequence.
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1));
    for (std::size_t i = a.size(); i-- > 0;)
      for (std::size_t j = b.size(); j-- > 0;)
        lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    std::size_t changed = 0;
    for (std::size_t p = 0; (p = diff.find("\n", p)) != std::string::npos; ++p)
      if (p + 1 < diff.size() && (diff[p + 1] == '-' || diff[p + 1] == '+') && diff.compare(p + 1, 3, "+++"))
        ++changed;
    EXPECT_EQ(changed, a.size() + b.size() - 2 * static_cast<std::size_t>(lcs[0][0])) << diff;
  }
}

TEST(UnifiedTextDiff, ALongRewriteIsStillARightDiff) {
  V a(1500), b(1500);
  std::string oldText, newText;
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = "old " + std::to_string(i);
    b[i] = i % 2 ? a[i] : "new " + std::to_string(i);
    oldText += a[i] + "\n";
    newText += b[i] + "\n";
  }
  EXPECT_EQ(applyDiff(a, UnifiedTextDiff(oldText, newText, "a", "b", false)), b);
}

TEST(UnifiedTextDiff, ColourMarksHeadersRangesAndChangedLinesOnly) {
  EXPECT_EQ(UnifiedTextDiff("A\nB\n", "A\nC\n", "old", "new", true),
            "\x1b[1m--- old\x1b[m\n\x1b[1m+++ new\x1b[m\n\x1b[36m@@ -1,2 +1,2 @@\x1b[m\n A\n"
            "\x1b[31m-B\x1b[m\n\x1b[32m+C\x1b[m\n");
}

// ---- Previews against real view databases ----------------------------------

// Name, Checkcode and Lists of every row in row order (Null as ""), and the tables.
struct DatabaseState {
  std::vector<V> rows;
  V tables;
  bool operator==(const DatabaseState&) const = default;
};

DatabaseState readState(const ImportRun& run) {
  DatabaseState s;
  auto column = [&](const char* name) {
    return testing_support::querySql(
        run.db, std::string("SELECT coalesce(") + name + ", '') FROM viewForm ORDER BY rowid");
  };
  const V names = column("Name"), code = column("Checkcode"), lists = column("Lists");
  for (std::size_t i = 0; i < names.size(); ++i) s.rows.push_back({names[i], code[i], lists[i]});
  s.tables =
      testing_support::querySql(run.db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
  return s;
}

// The state before with the preview's changes made to it.
DatabaseState applyPreview(DatabaseState s, const ImportPreview& preview) {
  for (const auto& change : preview.changes) {
    const std::size_t c = change.column == "Checkcode" ? 1 : 2;
    if (change.addedRow && c == 1) s.rows.push_back({change.row, "", ""});
    auto row = std::find_if(s.rows.rbegin(), s.rows.rend(), [&](const V& r) { return r[0] == change.row; });
    if (row == s.rows.rend()) {
      ADD_FAILURE() << "no row " << change.row;
      continue;
    }
    EXPECT_EQ((*row)[c], change.oldValue) << change.row << " " << change.column;
    (*row)[c] = change.newValue;
  }
  s.tables.insert(s.tables.end(), preview.newTables.begin(), preview.newTables.end());
  return s;
}

struct PreviewCase {
  const char* name;
  std::vector<ViewRow> rows;
  V chk;
  bool overwrite = false, tables = false, ignoreNew = true;
  V unmatched = {};
};

TEST(Preview, LeavesTheFileAsItWasAndListsWhatTheImportThenWrites) {
  const PreviewCase cases[] = {
      {"code added to stored code",
       {{.Name = "Age", .Checkcode = "GOTO NAME\r\n"},
        {.Name = "Name"},
        {.Name = "Weight", .Checkcode = "X\r\n"}},
       {"AGE", "MUSTENTER", "AFTER ENTRY", "X = 1", "END", "END"}},
      {"overwritten code and a range",
       {{.Name = "Age", .Checkcode = "OLD\r\nCODE\r\n", .Lists = "N"}},
       {"AGE", "RANGE 0 99", "END"},
       true},
      {"value lists make code tables",
       {{.Name = "Sex", .Type = "TEXT"}, {.Name = "Smoker", .Type = "TEXT"}},
       {"SEX", "LEGAL", "M", "F", "END", "END", "SMOKER", "CODES", "Y Yes", "N No", "END", "END"},
       false,
       true},
      {"BEFORE FILE and a DEFINE add the VIEW and DEFINEDVARIABLES rows",
       {{.Name = "Age"}},
       {"BEFORE FILE", "X = 1", "END", "AGE", "DEFINE VISITS ###", "VISITS = 1", "END"}},
      // Without --ignore-new the listing pass comes first; its dialog does not stay.
      {"the listing pass adds its unmatched fields",
       {{.Name = "Age"}},
       {"WEIGHT", "END", "AGE", "MUSTENTER", "END", "HEIGHT", "END"},
       false,
       false,
       false,
       {"WEIGHT", "HEIGHT"}},
  };
  for (const auto& c : cases) {
    ImportRun run(c.rows);
    std::string text;
    for (const auto& line : c.chk) text += line + "\r\n";
    run.chk = run.dir.write("form.chk", text);
    const DatabaseState before = readState(run);
    const std::string bytes = testing_support::readFile(run.db);

    const ImportPreview preview =
        run.component.PreviewCHKCode(run.chk, run.db, "viewForm", c.overwrite, c.ignoreNew, c.tables);
    EXPECT_EQ(preview.result, "") << c.name;
    EXPECT_EQ(preview.unmatched, c.unmatched) << c.name;
    EXPECT_FALSE(preview.changes.empty()) << c.name;
    EXPECT_TRUE(testing_support::readFile(run.db) == bytes) << c.name << ": the preview changed the file";

    EXPECT_EQ(
        testing_support::silentImport(run.component, run.chk, run.db, "viewForm",
                                      {.overwrite = c.overwrite, .ignoreNew = true, .tables = c.tables}),
        "");
    EXPECT_EQ(applyPreview(before, preview), readState(run)) << c.name;
    EXPECT_EQ(run.log.str(), "") << c.name;
  }
}

TEST(Preview, TextAndJson) {
  IdentityTranslator english;
  ImportPreview preview{.result = "",
                        .unmatched = {"WEIGHT"},
                        .changes = {{"viewForm", "Age", "Lists", "N", "NM", false},
                                    {"viewForm", "DEFINEDVARIABLES", "Checkcode", "", "DEFINE X", true}},
                        .newTables = {"codeSex"}};
  EXPECT_EQ(PreviewText(preview, false, english),
            "CHK fields without a row in the view:\n  WEIGHT\n\n"
            "--- viewForm/Age/Lists\n+++ viewForm/Age/Lists\n@@ -1 +1 @@\n-N\n\\ No newline at end of file\n"
            "+NM\n\\ No newline at end of file\n"
            "--- /dev/null\n+++ viewForm/DEFINEDVARIABLES/Checkcode\n@@ -0,0 +1 @@\n+DEFINE X\n"
            "\\ No newline at end of file\n\n"
            "Code tables the import would create:\n  codeSex\n");
  EXPECT_EQ(nlohmann::json::parse(PreviewJson(preview)), nlohmann::json::parse(R"({"result": "",
      "unmatched": ["WEIGHT"], "new_tables": ["codeSex"], "changes": [
      {"view": "viewForm", "row": "Age", "column": "Lists", "old": "N", "new": "NM"},
      {"view": "viewForm", "row": "DEFINEDVARIABLES", "column": "Checkcode", "old": null, "new": "DEFINE X"}]})"));
  EXPECT_EQ(PreviewText({}, false, english), "The import would change nothing in the view.\n");
}

// ---- The command line --------------------------------------------------------

// --dry-run prints the preview's text, or with --json its JSON, and changes
// nothing; a failure is status 1.
TEST(DryRun, PrintsTheDiffsOrTheirJsonAndChangesNothing) {
  ImportRun run{std::vector<ViewRow>{{.Name = "Age", .Checkcode = "GOTO NAME\r\n"}}};
  run.chk = run.dir.write("form.chk", "AGE\r\n  MUSTENTER\r\n  DEFINE VISITS ##\r\nEND\r\nWEIGHT\r\nEND\r\n");
  const std::string bytes = testing_support::readFile(run.db);
  const std::string command = "'" CHKIMPORT_CLI "' import --chk '" + run.chk + "' --db '" + run.db + "' ";
  auto cli = [&](const std::string& args) { return testing_support::runCommand(command + args, run.dir); };
  const auto r = cli("--view viewForm --dry-run");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  IdentityTranslator english;
  EXPECT_EQ(r.out, PreviewText(run.component.PreviewCHKCode(run.chk, run.db, "viewForm", false, false, false),
                               false, english));
  EXPECT_NE(r.out.find("+++ viewForm/DEFINEDVARIABLES/Checkcode"), std::string::npos) << r.out;
  EXPECT_EQ(nlohmann::json::parse(cli("--view viewForm --dry-run --ignore-new --json").out)["changes"],
            nlohmann::json::parse(PreviewJson(
                run.component.PreviewCHKCode(run.chk, run.db, "viewForm", false, true, false)))["changes"]);
  EXPECT_TRUE(testing_support::readFile(run.db) == bytes);
  const auto none = cli("--view viewNone --dry-run --json");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(nlohmann::json::parse(none.out)["result"], "Table Not In MDB");
}

// ---- The import dialog -------------------------------------------------------

TEST(PreviewButton, ShowsTheDiffOfTheDialogsChoicesAndWritesNothing) {
  ImportRun run{std::vector<ViewRow>{{.Name = "Age", .Checkcode = "OLD\r\n"}, {.Name = "Name"}}};
  auto ui = std::make_shared<ScriptedWindowing>();
  run.module->host.windowing = ui;
  run.chk = run.dir.write("form.chk", "AGE\r\n  GOTO NAME\r\nEND\r\nWEIGHT\r\nEND\r\n");
  const std::string bytes = testing_support::readFile(run.db);
  ui->OnShow("frmImport", [&](Form& f) {
    f.Fire("cmdPreview", FormEvent::Click);  // the boxes start ticked: overwrite, no summary
    f.SetValue("chkOverwrite", 0);
    f.SetValue("chkIgnoreNew", 0);
    f.Fire("cmdPreview", FormEvent::Click);
    // A preview that fails says why.
    dynamic_cast<FrmImport&>(f).SetText("txtFileName", run.dir.write("none.chk", "WEIGHT\r\nEND\r\n"));
    f.SetText("txtTableName", "viewForm");
    f.Fire("cmdPreview", FormEvent::Click);
    f.Fire("cmdCancel", FormEvent::Click);
  });
  ui->Answer(MsgBoxResult::OK);
  run.component.GetCHKCode(run.chk, run.db, "viewForm", true);
  EXPECT_EQ(ui->ScriptErrors(), V{});
  EXPECT_EQ(ui->Shown(),
            (V{"show frmImport", "text Preview of the CHECK Code import",
               "text Preview of the CHECK Code import", "msgbox [OK] : No matching fields were found."}));
  EXPECT_EQ(ui->Texts(),
            (V{"--- viewForm/Age/Checkcode\n+++ viewForm/Age/Checkcode\n@@ -1 +1 @@\n-OLD\n+GOTO NAME\n",
               "CHK fields without a row in the view:\n  WEIGHT\n\n--- viewForm/Age/Checkcode\n+++ "
               "viewForm/Age/Checkcode\n@@ -1 +1,3 @@\n OLD\n+\n+GOTO NAME\n"}));
  EXPECT_TRUE(testing_support::readFile(run.db) == bytes);
}

}  // namespace
}  // namespace chkimport
