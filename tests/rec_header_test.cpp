// Views made from .REC headers: the type table, the label rules, and every
// bad header refused with the database left as it was. (Line ends and
// encodings are the line reader's, as for CHK files.)
#include <gtest/gtest.h>

#include <optional>

#include "chkimport/forms.h"
#include "test_support.h"

namespace {

using namespace testing_support;

std::string header(const std::string& first, const std::vector<std::string>& lines) {
  std::string text = first + "\r\n";
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// A column of every row of the view, in rowid order.
std::vector<std::string> column(const std::string& db, const std::string& table, const std::string& name) {
  return querySql(db, "SELECT " + name + " FROM \"" + table + "\" ORDER BY rowid");
}

struct TypeCase {
  int code, length;
  const char* type;
  std::optional<std::string> format;
  bool warns = false;
};

TEST(RecHeader, EveryTypeCodeMapsToItsTypeAndFormat) {
  const std::vector<TypeCase> cases = {
      {6, 4, "NUMBER", "####"},
      {12, 2, "NUMBER", "##"},
      {104, 6, "NUMBER", "#.####"},
      {102, 3, "NUMBER", ".##"},
      {0, 255, "NUMBER", std::string(255, '#')},
      {1, 80, "TEXT", std::nullopt},
      {3, 5, "TEXT", std::nullopt},
      {7, 12, "TEXT", std::nullopt},
      {9, 3, "TEXT", std::nullopt},
      {17, 4, "TEXT", std::nullopt},
      {18, 8, "TEXT", std::nullopt},
      {5, 1, "YES/NO", std::nullopt},
      {2, 5, "DATE", "MM-DD"},
      {10, 8, "DATE", "MM-DD-YYYY"},
      {11, 5, "DATE", "DD-MM"},
      {16, 10, "DATE", "DD-MM-YYYY"},
      {19, 10, "DATE", "YYYY-MM-DD"},
      {20, 10, "DATE", "YYYY-MM-DD"},
      {100, 3, "TEXT", std::nullopt, true},
  };
  TempDir dir;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < cases.size(); ++i)
    lines.push_back(recLine("F" + std::to_string(i), cases[i].code, cases[i].length, "Prompt"));
  const auto rec = dir.write("types.rec", header(std::to_string(lines.size()) + " 1", lines));
  const auto db = dir.file("forms.db");
  const auto r = chkimport::NewView(rec, db);
  ASSERT_EQ(r.result, "");
  EXPECT_EQ(r.table, "viewtypes");
  EXPECT_EQ(r.fields, static_cast<int>(cases.size()));

  const auto types = column(db, "viewtypes", "Type"), formats = column(db, "viewtypes", "Formatstring");
  std::size_t warnings = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("type code " + std::to_string(cases[i].code));
    EXPECT_EQ(types[i], cases[i].type);
    EXPECT_EQ(formats[i], cases[i].format.value_or("<null>"));
    if (cases[i].warns) {
      ASSERT_LT(warnings, r.warnings.size());
      // The field, its line and its code.
      EXPECT_EQ(r.warnings[warnings++], rec + ":" + std::to_string(i + 2) + ": warning: the field F" +
                                            std::to_string(i) + " has the unknown type code " +
                                            std::to_string(cases[i].code) + "; it becomes a TEXT field");
    }
  }
  EXPECT_EQ(warnings, r.warnings.size());
  EXPECT_EQ(column(db, "viewtypes", "PageNumber"), std::vector<std::string>(cases.size(), "1"));
  EXPECT_EQ(column(db, "viewtypes", "Checkcode"), std::vector<std::string>(cases.size(), "<null>"));
  EXPECT_EQ(column(db, "viewtypes", "Lists"), std::vector<std::string>(cases.size(), "<null>"));
}

// With VLAB the prompt's copy of the name goes; the text lines are no fields.
TEST(RecHeader, LabelsTextLinesAndTheFileLabel) {
  const std::vector<std::string> lines = {
      recLine("age", 0, 2, "     AGE   Age in years  "),
      recLine("label1", 0, 0, "(a line of text)", '_'),
      recLine("Name", 1, 20, "Name Name of patient"),
      recLine("Id", 0, 4, "Id"),
  };
  const std::vector<std::string> vlab = {"Age in years", "Name of patient", "<null>"};
  const struct {
    std::string first;
    std::vector<std::string> labels;
    std::string fileLabel;
  } cases[] = {
      {"4 1", {"AGE   Age in years", "Name Name of patient", "Id"}, ""},
      {"4 1   VLAB ", vlab, ""},
      {"4 1 VLAB Filelabel: Marathon data - 1995  ", vlab, "Marathon data - 1995"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    TempDir dir;
    const auto rec = dir.write("FORM.REC", header(c.first, lines) + "  12 Peter  \r\n");
    const auto db = dir.file("forms.db");
    const auto r = chkimport::NewView(rec, db);
    ASSERT_EQ(r.result, "");
    EXPECT_EQ(r.table, "viewFORM");
    EXPECT_EQ(r.fileLabel, c.fileLabel);
    EXPECT_EQ(column(db, "viewFORM", "Name"), (std::vector<std::string>{"age", "Name", "Id"}));
    EXPECT_EQ(column(db, "viewFORM", "Prompt"), c.labels);
  }
}

struct BadCase {
  const char* what;
  std::string text;
  std::string expected;  // the message after the file's name
};

TEST(RecHeader, BadHeadersChangeNothing) {
  const auto field = recLine("age", 0, 2, "Age");
  const std::vector<BadCase> cases = {
      {"no count", "VLAB\r\n" + field + "\r\n",
       ":1: not a data file: line 1 does not begin with a positive number of description lines"},
      {"a zero count", "0 1\r\n",
       ":1: not a data file: line 1 does not begin with a positive number of description lines"},
      {"an empty file", "",
       ":1: not a data file: line 1 does not begin with a positive number of description lines"},
      {"too many lines", "10000 1\r\n" + field + "\r\n",
       ":1: not a data file: line 1 promises more than 9,999 description lines"},
      {"a count of ten digits", "1234567890 1\r\n" + field + "\r\n",
       ":1: not a data file: line 1 promises more than 9,999 description lines"},
      {"seven numbers", "1 1\r\n#age          1   1  30  33   1   0   2\r\n",
       ":2: not a data file: a description line needs eight whole numbers after the field name"},
      {"a negative length", "1 1\r\n" + recLine("age", 0, -2, "Age") + "\r\n",
       ":2: not a data file: a field length below zero"},
      {"fewer lines than promised", "3 1\r\n" + field + "\r\n" + recLine("sex", 0, 1, "Sex") + "\r\n",
       ":4: not a data file: the file ends before the last description line that line 1 promises"},
      {"the same name twice",
       "3 1\r\n" + field + "\r\n" + recLine("sex", 0, 1, "") + "\r\n" + recLine("AGE", 0, 1, "") + "\r\n",
       ":4: a second field of the same name (case aside) as the field on line 2: AGE"},
      {"an empty name", "1 1\r\n" + recLine("", 0, 2, "Age") + "\r\n", ":2: a field without a name"},
      {"a control byte in a name", "1 1\r\n" + recLine("a\x01ge", 0, 2, "Age") + "\r\n",
       ":2: a field name with a control character"},
      {"a length above 255", "1 1\r\n" + recLine("age", 0, 256, "Age") + "\r\n",
       ":2: a field length above 255: age 256"},
      {"a length of nine digits", "1 1\r\n#age       1 1 1 1 1 0 999999999 1\r\n",
       ":2: a field length above 255: age 999999999"},
      {"a type code of nine digits", "1 1\r\n#age       1 1 1 1 1 999999999 6 1\r\n",
       ":2: more decimals than the field's length leaves room for (type code, length): age 999999999, 6"},
      {"as many decimals as the length", "1 1\r\n" + recLine("time", 106, 6, "Time") + "\r\n",
       ":2: more decimals than the field's length leaves room for (type code, length): time 106, 6"},
      {"text above 80", "1 1\r\n" + recLine("name", 1, 81, "Name") + "\r\n",
       ":2: a text field length above 80: name 81"},
      {"only text", "1 1\r\n" + recLine("t", 0, 0, "Title") + "\r\n", ": the form has no fields"},
  };
  for (const bool dbExists : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (dbExists ? ", database exists" : ", no database"));
      TempDir dir;
      const auto rec = dir.write("form.rec", c.text);
      const auto db = dir.file("forms.db");
      if (dbExists) testing_support::execSql(db, testing_support::viewTableSql("viewOld", {"AGE"}));
      const auto before = testing_support::folderBytes(dir.path());
      const auto r = chkimport::NewView(rec, db);
      EXPECT_EQ(r.result, rec + c.expected);
      EXPECT_EQ(testing_support::folderBytes(dir.path()), before);
    }
  }
}

TEST(RecHeader, ViewNamesAndDatabasesThatCannotBeUsed) {
  TempDir dir;
  const auto rec = dir.write("form.rec", header("1 1", {recLine("age", 0, 2, "Age")}));
  const auto db = dir.file("forms.db");
  testing_support::execSql(db, testing_support::viewTableSql("viewForm", {"X"}));
  const auto before = testing_support::folderBytes(dir.path());

  // Table names are compared as SQLite compares them, without regard to case.
  auto r = chkimport::NewView(rec, db);
  EXPECT_TRUE(r.viewExists);
  EXPECT_EQ(r.result, db + ": a table of this name exists already: viewform");

  chkimport::FormOptions options;
  options.view = "View1";
  r = chkimport::NewView(rec, db, options);
  EXPECT_FALSE(r.viewExists);
  EXPECT_EQ(r.result, "The name of a view table begins with \"view\": View1");
  EXPECT_EQ(testing_support::folderBytes(dir.path()), before);

  // A file that is no database, an encoding iconv does not know (named
  // before any file is looked at).
  const auto notes = dir.write("notes.db", "not a database at all, but someone's notes");
  const auto unchanged = testing_support::folderBytes(dir.path());
  r = chkimport::NewView(rec, notes);
  EXPECT_TRUE(r.result.starts_with("Cannot open database. (" + notes + ": ")) << r.result;
  options.encoding = "bogus";
  EXPECT_EQ(chkimport::NewView(dir.file("none.rec"), db, options).result, "Unknown text encoding: bogus");
  EXPECT_EQ(testing_support::folderBytes(dir.path()), unchanged);

  options.encoding = "";
  options.view = "viewOther";
  EXPECT_EQ(chkimport::NewView(rec, db, options).result, "");
  EXPECT_EQ(querySql(db, "SELECT Name FROM viewOther"), std::vector<std::string>{"age"});
  EXPECT_EQ(querySql(db, "SELECT Name FROM viewForm"), std::vector<std::string>{"X"});
}

}  // namespace
