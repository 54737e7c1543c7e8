// convert over a folder of forms, form by form; the migration report of
// convert and import, as Markdown and as HTML that a real browser reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

struct Reports : ::testing::Test {
  testing_support::CommandResult run(const std::string& args) {
    return runCommand("XDG_CONFIG_HOME='" + dir.path().string() + "' '" CHKIMPORT_CLI "' " + args, dir);
  }

  // The page as Debian's chromium has read it: its document, serialized.
  std::string renderedDom(const std::string& html) {
    EXPECT_EQ(std::system("command -v chromium >/dev/null"), 0)
        << "chromium is missing: scripts/install-deps";
    return runCommand(
               "chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
               "--disable-component-update --disable-sync --no-first-run --user-data-dir='" +
                   dir.file("browser") + "' --dump-dom 'file://" + html + "'",
               dir)
        .out;
  }

  TempDir dir;
};

TEST_F(Reports, AFolderOfFormsConvertsFormByFormAndABrokenOneLeavesNothing) {
  REQUIRE_REAL_FILES(kRealWorld + "rec-data");
  const std::string forms = dir.file("forms"), db = dir.file("forms.db");
  fs::create_directory(forms);
  fs::copy_file(kRealWorld + "rec-data/STUDENT.REC", forms + "/STUDENT.REC");
  fs::copy_file(kRealWorld + "dk-documentation/STUDENT.chk", forms + "/STUDENT.chk");
  fs::copy_file(kRealWorld + "rec-data/bromar.rec", forms + "/bromar.rec");
  fs::copy_file(kRealWorld + "dk-documentation/bromar.chk", forms + "/bromar.chk");
  // Between the two by name: its second record is cut off.
  dir.write("forms/broken.rec", "1 1\r\n#age          1   1  30  33   1   0   2 112  Age\r\n42!\r\n4");
  dir.write("forms/notes.txt", "not a form");

  auto r = run("convert '" + forms + "' --db '" + db + "' --tables --report '" + dir.file("r.md") + "'");
  EXPECT_EQ(r.status, 1);
  const std::string broken =
      forms + "/broken.rec: record 2, line 4: the record is cut off at the end of the file";
  EXPECT_NE(
      r.err.find(
          "chkimport: Converted 2 of 3 forms: 21 fields, 63 lines of check code, 1 code table, "
          "4212 records.\nchkimport: Not converted (nothing of them is in the database):\nchkimport:   " +
          broken + "\n"),
      std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("chkimport: " + broken + "\n"), std::string::npos);
  EXPECT_EQ(querySql(db, "SELECT name FROM sqlite_master ORDER BY rowid"),
            (std::vector<std::string>{"viewSTUDENT", "STUDENT", "viewbromar", "codesex", "bromar"}));
  const std::string md = testing_support::readFile(dir.file("r.md"));
  for (const std::string& line : std::vector<std::string>{
           "| Forms | 3 |", "| Forms not converted | 1 |", "| Link a code table to its field | 2 |",
           "## " + forms + "/broken.rec\n\nNot converted; nothing of it is in the database: " + broken,
           "Fields: 11. Records: 185 into STUDENT. Comments of advice: 0.", "- LABELBLOCK\n"})
    EXPECT_NE(md.find(line), std::string::npos) << line;

  // A JSON line per form, and one for the report; the HTML page as a browser reads it.
  r = run("convert '" + forms + "/STUDENT.REC' '" + forms + "/bromar.rec' --db '" + dir.file("json.db") +
          "' --tables --json --report '" + dir.file("r.html") + "'");
  EXPECT_EQ(r.status, 0);
  std::vector<nlohmann::json> lines;
  for (std::size_t from = 0, end; (end = r.out.find('\n', from)) != std::string::npos; from = end + 1)
    lines.push_back(nlohmann::json::parse(r.out.substr(from, end - from)));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1]["rec"], forms + "/bromar.rec");
  EXPECT_EQ(lines[1]["records"], 4027);
  EXPECT_EQ(lines[1]["data_table"], "bromar");
  EXPECT_EQ(lines[2],
            nlohmann::json::parse(R"({"report": {"file": ")" + dir.file("r.html") + R"(", "result": ""}})"));
  const std::string dom = renderedDom(dir.file("r.html"));
  // The browser made a body of rows for each table: the page was read as HTML.
  EXPECT_EQ(count(dom, "<tbody>"), 3u) << dom;
  EXPECT_NE(dom.find("<tr><td>Forms</td><td>2</td></tr>"), std::string::npos);
  EXPECT_NE(
      dom.find("<td>Link a code table to its field</td><td>SEX</td><td class=\"advice\">*Codes have been "
               "placed in a new table named: codesex\n*that has been created in Plandor."),
      std::string::npos);
}

TEST_F(Reports, AnImportsReportListsEveryAdviceItWroteByKind) {
  const std::string db = dir.file("form.db");
  testing_support::execSql(db,
                           "CREATE TABLE viewForm (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, "
                           "Formatstring TEXT, Lists TEXT);"
                           "INSERT INTO viewForm VALUES ('Age', 1, NULL, 'NUMBER', '###', NULL), "
                           "('Sex', 1, NULL, 'NUMBER', '#', NULL), ('Name', 1, NULL, 'TEXT', NULL, NULL);");
  const std::string chk =
      dir.write("form.md",  // a CHK file that a report of that name would replace
                "AGE\r\n  RELATE AGE OTHER.REC\r\n  KEY UNIQUE\r\n  HELP AGE.HLP\r\n"
                "  RANGE 0 INFINITY\r\n  MUSTENTER\r\nEND\r\nSEX\r\n  LEGAL\r\n    1\r\n"
                "    2\r\n  END\r\n  CALL PROG.EXE\r\nEND\r\nNAME\r\n  RANGE 1 5\r\nEND\r\n"
                "WEIGHT\r\nEND\r\n");
  const std::string before = testing_support::readFile(db);
  const std::string import =
      "import --chk '" + chk + "' --db '" + db + "' --view viewForm --ignore-new --tables";
  EXPECT_EQ(run(import + " --report '" + chk + "'").status, 1);
  EXPECT_EQ(testing_support::readFile(db), before);  // refused before anything ran
  EXPECT_EQ(run(import + " --report r.txt").status, 2);
  auto r = run(import + " --json --report '" + dir.file("none/r.md") + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(nlohmann::json::parse(r.out)["report"]["result"],
            dir.file("none/r.md") + ": No such file or directory");
  testing_support::execSql(db, "UPDATE viewForm SET Checkcode = NULL, Lists = NULL; DROP TABLE codeSex;");

  r = run(import + " --report '" + dir.file("r.md") + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string md = testing_support::readFile(dir.file("r.md"));
  for (const char* kind : {"| Link a code table to its field | 2 |", "| Set or check a range by hand | 1 |",
                           "| Replace a KEY | 1 |", "| Replace a RELATE with a related view | 1 |",
                           "| Bring a help file or HELP KEYS across | 1 |",
                           "| Rewrite or drop a command without a counterpart | 1 |",
                           "| Check a property set on the field dialog | 2 |",
                           "| CHK fields without a row in the view | 1 |", "- WEIGHT\n"})
    EXPECT_NE(md.find(kind), std::string::npos) << kind;
  // Every comment line the pass stored is in the report, under its field.
  std::string plain;
  for (char c : md)
    if (c != '\\') plain += c;
  for (const auto& code : querySql(db, "SELECT Name || char(10) || Checkcode FROM viewForm")) {
    const std::string field = code.substr(0, code.find('\n'));
    std::size_t comments = 0;
    for (std::size_t from = code.find('\n'); from != std::string::npos; from = code.find('\n', from + 1))
      if (code.compare(from + 1, 1, "*") == 0) {
        std::string line = code.substr(from + 1, code.find('\r', from) - from - 1);
        while (line.back() == ' ') line.pop_back();
        EXPECT_NE(plain.find(line), std::string::npos) << field << ": " << line;
        ++comments;
      }
    EXPECT_GT(comments, 0u) << field;
  }
}

}  // namespace
