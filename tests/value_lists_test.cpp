// AUTOSEARCH with its options, CODEFIELD, and the value lists CODES, LEGAL
// and COMMENT: their one-line forms and whole lists that end in a code table.
#include <gtest/gtest.h>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

const std::string kSoundex =
    "*SOUNDEX is a property set by checkbox on field dialog. \r\n*Property has been set. ";
const std::string kList = "*LIST is not necessary in Vantrel 2000 ";

// An entry is stored without the blank that ends its last advisory.
std::string entry(const std::string& text) {
  return stored({text.back() == ' ' ? text.substr(0, text.size() - 1) : text});
}

TEST(Autosearch, OptionsFieldListsAndTheSoundexLetter) {
  struct Case {
    const char* line;
    std::string expected;  // NAME's stored code
    std::string lists;     // NAME's Lists afterwards
  };
  const std::vector<Case> cases = {
      {"AUTOSEARCH", stored({"AUTOSEARCH NAME"}), "<null>"},
      {"AUTOSEARCH Last First", stored({"AUTOSEARCH Last First"}), "<null>"},
      {"AUTOSEARCH SOUNDEX Last", entry("AUTOSEARCH Last\r\n" + kSoundex), "S"},
      {"AUTOSEARCH LIST SOUNDEX Last", entry("AUTOSEARCH Last\r\n" + kSoundex + "\r\n" + kList), "S"},
      {"AUTOSEARCH SOUNDEX LIST Last", entry("AUTOSEARCH Last\r\n" + kList + "\r\n" + kSoundex), "S"},
      {"AUTOSEARCH SOUNDEX", entry("AUTOSEARCH NAME\r\n" + kSoundex), "S"},
      {"AUTOSEARCH LIST", entry("AUTOSEARCH NAME\r\n" + kList), "<null>"},
      {"AUTOSEARCH SOUNDEX LIST", entry("AUTOSEARCH NAME\r\n" + kList + "\r\n" + kSoundex), "S"},
      // The option is found in any case; the field list keeps the file's.
      {"autosearch list Last First", entry("AUTOSEARCH Last First\r\n" + kList), "<null>"},
      {"AUTOSEARCH Last SOUNDEX First", entry("AUTOSEARCH First\r\n" + kSoundex), "S"},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Name", .Type = "TEXT"}, {.Name = "Last"}, {.Name = "First"}});
    EXPECT_EQ(run.run({"NAME", c.line, "END"}, {.overwrite = true, .ignoreNew = true}), "") << c.line;
    EXPECT_EQ(run.checkcode("Name"), c.expected) << c.line;
    EXPECT_EQ(run.lists("Name"), c.lists) << c.line;
    EXPECT_EQ(run.lists("Last"), "<null>") << c.line;
    EXPECT_EQ(run.log.str(), "") << c.line;
  }
}

TEST(Autosearch, TheSoundexLetterIsAddedOnce) {
  struct Case {
    std::optional<std::string> before;
    int times;
    std::string after;
  };
  const std::vector<Case> cases = {{std::nullopt, 2, "S"}, {"M", 1, "MS"}, {"s", 1, "s"}, {"RS", 1, "RS"}};
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Name", .Lists = c.before}});
    V chk = {"NAME"};
    for (int i = 0; i < c.times; ++i) chk.push_back("AUTOSEARCH SOUNDEX LAST");
    chk.push_back("END");
    run.run(chk, {.overwrite = true, .ignoreNew = true});
    EXPECT_EQ(run.lists("Name"), c.after) << c.after;
  }
}

TEST(Autosearch, TheListingPassSetsNoLetter) {
  ImportRun run({{.Name = "Name"}});
  run.run({"NAME", "AUTOSEARCH SOUNDEX LAST", "END"}, {});
  EXPECT_EQ(run.lists("Name"), "<null>");
}

// The tables of the view database whose names begin with "code".
V codeTables(const ImportRun& run) {
  return querySql(run.db,
                  "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'code%' ORDER BY name");
}

V columnsOf(const ImportRun& run, const std::string& table) {
  return querySql(run.db, "SELECT name FROM pragma_table_info('" + table + "') ORDER BY cid");
}

// Each row's values joined by "|", in the order they were stored.
V rowsOf(const ImportRun& run, const std::string& table) {
  std::string select;
  for (const auto& column : columnsOf(run, table))
    select += (select.empty() ? "" : " || '|' || ") + std::string("ifnull(\"") + column + "\", '<null>')";
  return querySql(run.db, "SELECT " + select + " FROM \"" + table + "\" ORDER BY rowid");
}

// The comment stored after SEX's list became the table codeSex, less the
// names of its columns.
const std::string kCodeSex =
    "*Codes have been placed in a new table named: codeSex\r\n*that has been created in Plandor.\r\n"
    "*Please Right-click on the prompt for SEX\r\n*and click the CODES button. \r\n"
    "*Click the USE EXISTING TABLE button to link the field to \r\n*codeSex\r\n"
    "*The fields of the new table are: ";

const std::string kCodefield = "*CODEFIELD is not necessary in Vantrel 2000 \r\n";

TEST(ValueLists, ListsBecomeCodeTables) {
  struct Case {
    const char* what;
    V chk;
    std::string expected;  // Sex's stored code
    V columns;
    V rows;
  };
  const std::vector<Case> cases = {
      {"CODES: value and meaning",
       {"SEX", "CODES", "M Male", "F Female", "END", "END"},
       stored({"*CODES is not necessary in Checkcode", kCodeSex + "Sex and Sex1"}),
       {"Sex", "Sex1"},
       {"M|MALE", "F|FEMALE"}},
      {"LEGAL: values only",
       {"SEX", "LEGAL", "1", "2", "2", "END", "END"},
       stored({"*LEGAL is not necessary in Checkcode", kCodeSex + "Sex"}),
       {"Sex"},
       {"1", "2", "2"}},
      {"COMMENT LEGAL: value and meaning in one column",
       {"SEX", "COMMENT LEGAL", "M Male", "F Female", "END", "END"},
       stored({"*COMMENT LEGAL is not necessary in Checkcode", kCodeSex + "Sex"}),
       {"Sex"},
       {"M-MALE", "F-FEMALE"}},
      {"COMMENT alone",
       {"SEX", "COMMENT", "M Male", "END", "END"},
       stored({"*COMMENT is not necessary in Checkcode", kCodeSex + "Sex"}),
       {"Sex"},
       {"M-MALE"}},
      {"CODES LEGAL names two columns",
       {"SEX", "CODES LEGAL", "M Male", "END", "END"},
       stored({"*CODES LEGAL is not necessary in Checkcode", kCodeSex + "Sex and Sex1"}),
       {"Sex", "Sex1"},
       {"M|MALE"}},
      {"CODEFIELD names the second column",
       {"SEX", "CODEFIELD SEXTEXT", "CODES", "M Male", "F Female", "END", "END"},
       stored({kCodefield, "*CODES is not necessary in Checkcode", kCodeSex + "Sex and SEXTEXT"}),
       {"Sex", "SEXTEXT"},
       {"M|MALE", "F|FEMALE"}},
      {"COMMENT LEGAL after CODEFIELD keeps its columns",
       {"SEX", "CODEFIELD SEXTEXT", "COMMENT LEGAL", "M Male", "END", "END"},
       stored({kCodefield, "*COMMENT LEGAL is not necessary in Checkcode", kCodeSex + "Sex and SEXTEXT"}),
       {"Sex", "SEXTEXT"},
       {"M-MALE|"}},
      {"a list inside an entry section",
       {"SEX", "AFTER ENTRY", "CODES", "M Male", "END", "GOTO AGE", "END", "END"},
       stored({"*CODES is not necessary in Checkcode", kCodeSex + "Sex and Sex1", "GOTO AGE"}),
       {"Sex", "Sex1"},
       {"M|MALE"}},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Sex", .Type = "TEXT"}, {.Name = "SexText"}, {.Name = "Age"}});
    EXPECT_EQ(run.run(c.chk, {.overwrite = true, .ignoreNew = true, .tables = true}), "") << c.what;
    EXPECT_EQ(run.checkcode("Sex"), c.expected) << c.what;
    EXPECT_EQ(codeTables(run), V{"codeSex"}) << c.what;
    EXPECT_EQ(columnsOf(run, "codeSex"), c.columns) << c.what;
    EXPECT_EQ(rowsOf(run, "codeSex"), c.rows) << c.what;
    EXPECT_EQ(run.checkcode("SexText"), "<null>") << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

TEST(ValueLists, WithoutTablesAListLeavesOnlyItsComment) {
  const std::vector<std::pair<V, std::string>> cases = {
      {{"SEX", "CODES", "M Male", "F Female", "END", "GOTO AGE", "END"},
       "*CODES is not necessary in Checkcode"},
      {{"SEX", "LEGAL", "1", "END", "GOTO AGE", "END"}, "*LEGAL is not necessary in Checkcode"},
      {{"SEX", "CODEFIELD SEXTEXT", "CODES", "M Male", "END", "GOTO AGE", "END"},
       kCodefield + "\r\n*CODES is not necessary in Checkcode"},
  };
  for (const auto& [chk, comment] : cases) {
    ImportRun run({{.Name = "Sex"}, {.Name = "SexText"}, {.Name = "Age"}});
    run.run(chk, {.overwrite = true, .ignoreNew = true});
    EXPECT_EQ(run.checkcode("Sex"), stored({comment, "GOTO AGE"})) << comment;
    EXPECT_TRUE(codeTables(run).empty()) << comment;
    EXPECT_EQ(run.log.str(), "") << comment;
  }
}

TEST(ValueLists, EachListOfAFieldGetsATableOfItsOwn) {
  ImportRun run({{.Name = "Sex"}, {.Name = "Age"}});
  run.run({"SEX", "LEGAL", "M", "END", "END", "AGE", "CODES", "1 Young", "END", "END", "SEX", "LEGAL", "F",
           "END", "END"},
          {.overwrite = true, .ignoreNew = true, .tables = true});
  EXPECT_EQ(codeTables(run), (V{"codeAge", "codeSex", "codeSex1"}));
  EXPECT_EQ(rowsOf(run, "codeSex"), V{"M"});
  EXPECT_EQ(rowsOf(run, "codeSex1"), V{"F"});
  EXPECT_EQ(rowsOf(run, "codeAge"), V{"1|YOUNG"});
  // The CODEFIELD of one list does not name the columns of the next.
  ImportRun header({{.Name = "Sex"}, {.Name = "SexText"}});
  header.run({"SEX", "CODEFIELD SEXTEXT", "CODES", "M Male", "END", "CODES", "F Female", "END", "END"},
             {.overwrite = true, .ignoreNew = true, .tables = true});
  EXPECT_EQ(columnsOf(header, "codeSex"), (V{"Sex", "SEXTEXT"}));
  EXPECT_EQ(columnsOf(header, "codeSex1"), (V{"Sex", "Sex1"}));
}

const std::string kUse =
    "*USE is not necessary in Checkcode \r\n*New codeTable may have been created if Codes were in .CHK file. "
    "\r\n"
    "*Please Right-click on the prompt for AGE\r\n*and click the CODES button. \r\n"
    "*Click the USE EXISTING TABLE button to link the field to \r\n*the code table that was created.";
const std::string kRec =
    "*Cannot import codes contained in a .REC. \r\n*Import the .REC file in Plandor \r\n"
    "*then link field to the new view.";

TEST(ValueLists, OneLineFormsOpenNoList) {
  struct Case {
    const char* line;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"LEGAL USE SEX", kUse},
      {"CODES USE SEX", kUse},
      {"CODES Sex USE", kUse},
      {"CODES CODES.REC", kRec},
      {"LEGAL Sex people.rec", kRec},
      {"codes Sex", "codes Sex"},
      {"COMMENT LEGAL USE SEX", "COMMENT LEGAL USE SEX"},
      {"LEGAL LEGAL x", "LEGAL LEGAL x"},
  };
  // Had the line opened a list, END would leave the level at 1 and GOTO
  // would be stored.
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age"}, {.Name = "Sex"}});
    run.run({"AGE", c.line, "END", "GOTO SEX"}, {.overwrite = true, .ignoreNew = true, .tables = true});
    EXPECT_EQ(run.checkcode("Age"), stored({c.expected})) << c.line;
    EXPECT_TRUE(codeTables(run).empty()) << c.line;
    EXPECT_EQ(run.log.str(), "") << c.line;
  }
}

TEST(ValueLists, AListHeaderOpensALevelOnTheListingPass) {
  // The list's END closes the list, not the field's block: WEIGHT is a
  // statement of AGE's block, HEIGHT a field line.
  for (const char* header : {"CODES", "LEGAL", "COMMENT", "COMMENT LEGAL"}) {
    ImportRun run({{.Name = "Age"}});
    run.run({"AGE", header, "1", "END", "WEIGHT", "END", "HEIGHT"}, {});
    EXPECT_EQ(run.unmatched(), V{"HEIGHT"}) << header;
  }
  // A one-line form opens nothing.
  ImportRun use({{.Name = "Age"}});
  use.run({"AGE", "LEGAL USE SEX", "END", "WEIGHT"}, {});
  EXPECT_EQ(use.unmatched(), V{"WEIGHT"});
}

TEST(ValueLists, AListHeaderOutsideAFieldBlockIsIgnored) {
  ImportRun run({{.Name = "Age"}});
  EXPECT_EQ(
      run.run({"CODES", "AGE", "GOTO NAME", "END"}, {.overwrite = true, .ignoreNew = true, .tables = true}),
      "");
  EXPECT_EQ(run.checkcode("Age"), stored({"GOTO NAME"}));
}

TEST(Codefield, TargetsAndTheirAdvice) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"CODEFIELD", ""},
      {"CODEFIELD SEXTEXT", stored({kCodefield})},
      {"CODEFIELD NOSUCH",
       stored({"*CODEFIELD is not necessary in Vantrel 2000 \r\n*Target codefield not in view table."})},
  };
  for (const auto& [line, expected] : cases) {
    ImportRun run({{.Name = "Sex"}, {.Name = "SexText"}});
    run.run({"SEX", line, "END"}, {.overwrite = true, .ignoreNew = true, .tables = true});
    EXPECT_EQ(run.checkcode("Sex"), expected) << line;
    // The code stays with the current field, not the target.
    EXPECT_EQ(run.checkcode("SexText"), "<null>") << line;
    EXPECT_EQ(run.log.str(), "") << line;
  }
}

TEST(Codefield, AMissingTargetLeavesTheColumnNamesAlone) {
  ImportRun run({{.Name = "Sex"}});
  run.run({"SEX", "CODEFIELD NOSUCH", "CODES", "M Male", "END", "END"},
          {.overwrite = true, .ignoreNew = true, .tables = true});
  EXPECT_EQ(columnsOf(run, "codeSex"), (V{"Sex", "Sex1"}));
}

TEST(Codefield, TheFollowingCodeGoesToTheCurrentField) {
  ImportRun run({{.Name = "Sex"}, {.Name = "SexText"}, {.Name = "Age"}});
  run.run({"SEX", "CODEFIELD SEXTEXT", "REPEAT", "GOTO AGE", "END"}, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.lists("Sex"), "R");
  EXPECT_EQ(run.lists("SexText"), "<null>");
}

TEST(ValueLists, TheUseAdviceIsTranslatedPhraseByPhrase) {
  testing_support::MarkingTranslator translator;
  ImportRun run({{.Name = "Age"}});
  run.component.SetObjLanguage(translator);
  run.run({"AGE", "CODES USE SEX", "LEGAL", "END", "END"}, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.checkcode("Age"),
            stored({"*USE <is not necessary in Checkcode> \r\n"
                    "*<New codeTable may have been created if Codes were in .CHK file.> \r\n"
                    "*<Please Right-click on the prompt for> AGE\r\n*<and click the CODES button.> \r\n"
                    "*<Click the USE EXISTING TABLE button to link the field to> \r\n"
                    "*<the code table that was created.>",
                    "*LEGAL <is not necessary in Checkcode>"}));
}

}  // namespace
