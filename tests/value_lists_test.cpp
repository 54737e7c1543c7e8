// AUTOSEARCH with its options, CODEFIELD, and the value lists CODES, LEGAL
// and COMMENT: their one-line forms and whole lists that end in a code table.
#include <gtest/gtest.h>

#include "import_harness.h"

namespace {

using namespace testing_support;
using V = std::vector<std::string>;

// Texts are written with their translated phrases marked.
const std::string kSoundex =
    "*SOUNDEX <is a property set by checkbox on field dialog.> \r\n*<Property has been set.> ";
const std::string kList = "*LIST <is not necessary in Vantrel 2000> ";

// An entry is stored without the blank that ends its last advisory.
std::string entry(const std::string& text) {
  return stored({text.back() == ' ' ? text.substr(0, text.size() - 1) : text});
}

TEST(Autosearch, OptionsFieldListsAndTheSoundexLetter) {
  struct Case {
    const char* line;
    std::string expected;  // NAME's stored code, less its last blank
    std::string lists;     // NAME's Lists afterwards
  };
  const std::vector<Case> cases = {
      {"AUTOSEARCH", "AUTOSEARCH NAME", "<null>"},
      {"AUTOSEARCH SOUNDEX Last", "AUTOSEARCH Last\r\n" + kSoundex, "S"},
      {"AUTOSEARCH LIST SOUNDEX Last", "AUTOSEARCH Last\r\n" + kSoundex + "\r\n" + kList, "S"},
      {"AUTOSEARCH SOUNDEX LIST Last", "AUTOSEARCH Last\r\n" + kList + "\r\n" + kSoundex, "S"},
      {"AUTOSEARCH SOUNDEX LIST", "AUTOSEARCH NAME\r\n" + kList + "\r\n" + kSoundex, "S"},
      // The option is found in any case; the field list keeps the file's.
      {"autosearch list Last First", "AUTOSEARCH Last First\r\n" + kList, "<null>"},
      {"AUTOSEARCH Last SOUNDEX First", "AUTOSEARCH First\r\n" + kSoundex, "S"},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Name", .Type = "TEXT"}, {.Name = "Last"}, {.Name = "First"}});
    run.markPhrases();
    EXPECT_EQ(run.run({"NAME", c.line, "END"}, kWrite), "") << c.line;
    EXPECT_EQ(run.checkcode("Name"), entry(c.expected)) << c.line;
    EXPECT_EQ(run.lists("Name"), c.lists) << c.line;
    EXPECT_EQ(run.lists("Last"), "<null>") << c.line;
    EXPECT_EQ(run.log.str(), "") << c.line;
  }
}

// The tables of the view database whose names begin with "code".
V codeTables(const ImportRun& run) {
  return querySql(run.db,
                  "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'code%' ORDER BY name");
}

// A table as its column names, then each row in the order stored, values
// joined by "|".
V tableOf(const ImportRun& run, const std::string& table) {
  const V columns = querySql(run.db, "SELECT name FROM pragma_table_info('" + table + "') ORDER BY cid");
  std::string select, names;
  for (const auto& column : columns) {
    select += (select.empty() ? "" : " || '|' || ") + std::string("ifnull(\"") + column + "\", '<null>')";
    names += (names.empty() ? "" : "|") + column;
  }
  V rows = querySql(run.db, "SELECT " + select + " FROM \"" + table + "\" ORDER BY rowid");
  rows.insert(rows.begin(), names);
  return rows;
}

// The comment stored after SEX's list became the table codeSex, less the
// names of its columns.
const std::string kCodeSex =
    "*<Codes have been placed in a new table named:> codeSex\r\n*<that has been created in Plandor.>\r\n"
    "*<Please Right-click on the prompt for> SEX\r\n*<and click the CODES button.> \r\n"
    "*<Click the USE EXISTING TABLE button to link the field to> \r\n*codeSex\r\n"
    "*<The fields of the new table are:> ";
const std::string kCodefield = "*CODEFIELD <is not necessary in Vantrel 2000> \r\n";
const std::string kNotNecessary = " <is not necessary in Checkcode>";

TEST(ValueLists, ListsBecomeCodeTables) {
  const std::string codes = "*CODES" + kNotNecessary, commentLegal = "*COMMENT LEGAL" + kNotNecessary;
  const struct {
    V chk;
    std::string expected;  // Sex's stored code
    V table;               // codeSex
  } cases[] = {
      {{"SEX", "CODES", "M Male", "F Female", "END", "END"},
       stored({codes, kCodeSex + "Sex <and> Sex1"}),
       {"Sex|Sex1", "M|MALE", "F|FEMALE"}},
      {{"SEX", "Legal", "1", "2", "2", "End", "END"},
       stored({"*LEGAL" + kNotNecessary, kCodeSex + "Sex"}),
       {"Sex", "1", "2", "2"}},
      {{"SEX", "COMMENT LEGAL", "M Male", "F Female", "END", "END"},
       stored({commentLegal, kCodeSex + "Sex"}),
       {"Sex", "M-MALE", "F-FEMALE"}},
      {{"SEX", "COMMENT", "M Male", "END", "END"},
       stored({"*COMMENT" + kNotNecessary, kCodeSex + "Sex"}),
       {"Sex", "M-MALE"}},
      {{"SEX", "CODES LEGAL", "M Male", "END", "END"},
       stored({"*CODES LEGAL" + kNotNecessary, kCodeSex + "Sex <and> Sex1"}),
       {"Sex|Sex1", "M|MALE"}},
      // CODEFIELD names the second column, and COMMENT LEGAL keeps it.
      {{"SEX", "CODEFIELD SEXTEXT", "CODES", "M Male", "F Female", "END", "END"},
       stored({kCodefield, codes, kCodeSex + "Sex <and> SEXTEXT"}),
       {"Sex|SEXTEXT", "M|MALE", "F|FEMALE"}},
      {{"SEX", "CODEFIELD SEXTEXT", "COMMENT LEGAL", "M Male", "END", "END"},
       stored({kCodefield, commentLegal, kCodeSex + "Sex <and> SEXTEXT"}),
       {"Sex|SEXTEXT", "M-MALE|"}},
      // A CODEFIELD not in the view leaves the column names alone.
      {{"SEX", "CODEFIELD NOSUCH", "CODES", "M Male", "END", "END"},
       stored({kCodefield + "*<Target codefield not in view table.>", codes, kCodeSex + "Sex <and> Sex1"}),
       {"Sex|Sex1", "M|MALE"}},
      // A list inside an entry section.
      {{"SEX", "AFTER ENTRY", "CODES", "M Male", "END", "GOTO AGE", "END", "END"},
       stored({codes, kCodeSex + "Sex <and> Sex1", "GOTO AGE"}),
       {"Sex|Sex1", "M|MALE"}},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Sex", .Type = "TEXT"}, {.Name = "SexText"}, {.Name = "Age"}});
    run.markPhrases();
    EXPECT_EQ(run.run(c.chk, kTables), "") << c.chk[1];
    EXPECT_EQ(run.checkcode("Sex"), c.expected) << c.chk[1];
    EXPECT_EQ(codeTables(run), V{"codeSex"}) << c.chk[1];
    EXPECT_EQ(tableOf(run, "codeSex"), c.table) << c.chk[1];
    EXPECT_EQ(run.checkcode("SexText"), "<null>") << c.chk[1];
    EXPECT_EQ(run.log.str(), "") << c.chk[1];
  }
}

TEST(ValueLists, WithoutTablesAListLeavesOnlyItsComment) {
  ImportRun run({{.Name = "Sex"}, {.Name = "SexText"}, {.Name = "Age"}});
  run.run({"SEX", "CODES", "M Male", "F Female", "END", "GOTO AGE", "END"}, kWrite);
  EXPECT_EQ(run.checkcode("Sex"), stored({"*CODES is not necessary in Checkcode", "GOTO AGE"}));
  EXPECT_TRUE(codeTables(run).empty());
  EXPECT_EQ(run.log.str(), "");
}

// Each list gets a table of its own; the CODEFIELD of one list does not
// name the columns of the next.
TEST(ValueLists, EachListOfAFieldGetsATableOfItsOwn) {
  ImportRun run({{.Name = "Sex"}, {.Name = "Age"}, {.Name = "SexText"}});
  run.run({"SEX", "LEGAL", "M", "END", "END", "AGE", "CODES", "1 Young", "END", "END", "SEX",
           "CODEFIELD SEXTEXT", "CODES", "F Female", "END", "CODES", "X Other", "END", "END"},
          kTables);
  EXPECT_EQ(codeTables(run), (V{"codeAge", "codeSex", "codeSex1", "codeSex2"}));
  EXPECT_EQ(tableOf(run, "codeSex"), (V{"Sex", "M"}));
  EXPECT_EQ(tableOf(run, "codeAge"), (V{"Age|Age1", "1|YOUNG"}));
  EXPECT_EQ(tableOf(run, "codeSex1"), (V{"Sex|SEXTEXT", "F|FEMALE"}));
  EXPECT_EQ(tableOf(run, "codeSex2"), (V{"Sex|Sex1", "X|OTHER"}));
}

const std::string kUse =
    "*USE <is not necessary in Checkcode> \r\n"
    "*<New codeTable may have been created if Codes were in .CHK file.> \r\n"
    "*<Please Right-click on the prompt for> AGE\r\n*<and click the CODES button.> \r\n"
    "*<Click the USE EXISTING TABLE button to link the field to> \r\n*<the code table that was created.>";
const std::string kRec =
    "*<Cannot import codes contained in a .REC.> \r\n*<Import the .REC file in Plandor> \r\n"
    "*<then link field to the new view.>";

TEST(ValueLists, OneLineFormsOpenNoList) {
  struct Case {
    const char* line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"LEGAL USE SEX", kUse},
      {"CODES CODES.REC", kRec},
      {"codes Sex", "codes Sex"},
      {"COMMENT LEGAL USE SEX", "COMMENT LEGAL USE SEX"},
  };
  // Had the line opened a list, END would leave the level at 1 and GOTO
  // would be stored.
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age"}, {.Name = "Sex"}});
    run.markPhrases();
    run.run({"AGE", c.line, "END", "GOTO SEX"}, kTables);
    EXPECT_EQ(run.checkcode("Age"), stored({c.expected})) << c.line;
    EXPECT_TRUE(codeTables(run).empty()) << c.line;
    EXPECT_EQ(run.log.str(), "") << c.line;
  }
}

}  // namespace
