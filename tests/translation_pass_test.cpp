// Whole passes of the real component over a real view database: sections,
// conditionals, comments, merging and overwriting, field lines, special rows;
// what a pass keeps when a statement fails, and what a second pass over the
// same code keeps: never less than was there.
#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <set>
#include <string_view>

#include "import_harness.h"

namespace {

using namespace testing_support;
using V = std::vector<std::string>;

// Each case is a block of field AGE, written into a view with AGE and NAME,
// and AGE's Checkcode after the writing pass.
TEST(TranslationPass, WhatAFieldBlockBecomes) {
  const std::pair<V, std::string> cases[] = {
      // Keywords in any case.
      {{"AGE", "before entry", "X = 1", "end", "After Entry", "GOTO NAME", "End", "END"},
       stored({"ASSIGN X = 1", "ENDBEFORE", "GOTO NAME"})},
      // Staged lines move before entry when AFTER ENTRY opens, or at ENTER.
      {{"AGE", "X = 1", "AFTER ENTRY", "Y = 2", "END", "END"},
       stored({"ASSIGN X = 1", "ENDBEFORE", "ASSIGN Y = 2"})},
      {{"AGE", "X = 1", "ENTER", "Y = 2", "END"}, stored({"ASSIGN X = 1", "ENDBEFORE", "ASSIGN Y = 2"})},
      // Lines staged after the sections come last; no before lines, no ENDBEFORE.
      {{"AGE", "AFTER ENTRY", "A = 1", "END", "B = 2", "END"}, stored({"ASSIGN A = 1", "ASSIGN B = 2"})},
      {{"AGE", "AFTER ENTRY", "IF AGE > 65", "X = 1", "ELSE", "X = 2", "ENDIF", "END", "END"},
       stored({"IF AGE > 65 THEN", "ASSIGN X = 1", "ELSE", "ASSIGN X = 2", "END"})},
      {{"AGE", "IF X = 1 THEN GOTO NAME", "ENDIF", "END"}, stored({"IF X = 1  THEN", "GOTO NAME", "END"})},
      {{"AGE", "IF X = 1", "ELSE GOTO NAME ENDIF", "END"},
       stored({"IF X = 1 THEN", "ELSE", "GOTO NAME", "END"})},
      // THEN alone stores nothing.
      {{"AGE", "IF X = 1", "THEN", "GOTO NAME", "ENDIF", "END"},
       stored({"IF X = 1 THEN", "GOTO NAME", "END"})},
      {{"AGE", "AUTOJUMP NEXTFIELD", "goto Name", "END"}, stored({"GOTO NEXTFIELD", "goto Name"})},
      // Comments inside a block are kept, trimmed; other statements are stored as they stand.
      {{"* before the block", "AGE", "   * why we check", "  BEEP  ", "X = Y + 1", "END"},
       stored({"* why we check", "BEEP", "ASSIGN X = Y + 1"})},
      // The last line's rest is still handled.
      {{"AGE", "IF X = 1 THEN GOTO NAME"}, stored({"IF X = 1  THEN", "GOTO NAME"})},
  };
  for (const auto& [chk, expected] : cases) {
    ImportRun run({{.Name = "Age", .Checkcode = ""}, {.Name = "Name"}});
    EXPECT_EQ(run.run(chk, kWrite), "") << chk[1];
    EXPECT_EQ(run.checkcode("Age"), expected) << chk[1];
    EXPECT_EQ(run.log.str(), "") << chk[1];
  }
}

// A pass translates each text of its own once; the next pass asks again, in
// the language the translator has then, and a text in an array that changed
// is not taken for the one it held.
TEST(TranslationPass, EachPassAsksTheTranslatorInTheLanguageItHasThen) {
  struct Numbered : chkimport::IdentityTranslator {
    std::string T(const std::string& text) override {
      ++asked;
      return language + text;
    }
    std::string language = "1:";
    int asked = 0;
  } translator;
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  run.component.SetObjLanguage(translator);
  const V chk = {"AGE", "EXIT", "END", "NAME", "EXIT", "END"};
  auto advice = [](const std::string& language) {
    return stored({"*EXIT " + language + "is not supported in Vantrel 2000 \r\n*" + language +
                   "Use an If-THEN block to do this."});
  };
  run.run(chk, kWrite);
  EXPECT_EQ(run.checkcode("Name"), advice("1:"));
  const int askedInAPass = translator.asked;
  translator.language = "2:";
  run.import(kWrite);
  EXPECT_EQ(run.checkcode("Age"), advice("2:"));
  EXPECT_EQ(run.checkcode("Name"), advice("2:"));
  EXPECT_EQ(translator.asked, 2 * askedInAPass);

  chkimport::ImportState& st = *run.module;
  char text[] = "Property has been set.";
  st.passTextsOn = true;
  EXPECT_EQ(st.T(text), "2:Property has been set.");
  std::copy_n("Property has been cut.", sizeof text, text);
  EXPECT_EQ(st.T(text), "2:Property has been cut.");
  std::copy_n("Cut.", 5, text);
  EXPECT_EQ(st.T(text), "2:Cut.");
  st.passTextsOn = false;
}

TEST(TranslationPass, OverwritingAMatchedFieldWithoutNewCodeEmptiesIt) {
  ImportRun overwrite({{.Name = "Age", .Checkcode = "OLD"}});
  overwrite.run({"AGE", "END"}, kWrite);
  EXPECT_EQ(overwrite.checkcode("Age"), "");
}

TEST(TranslationPass, TheListingPassWritesNothingAndListsTheUnmatched) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  const V chk = {"AGE", "END", "WEIGHT", "END", "AGE RANGE 0 99", "name", "END", "HEIGHT CM", "END"};
  EXPECT_EQ(run.run(chk, {}), "");
  // A field line followed by more words never matches: it is split, and the
  // rest is handled on its own at level 0, where it is split again.
  EXPECT_EQ(run.unmatched(), (V{"WEIGHT", "AGE", "0", "99", "HEIGHT", "CM"}));
  EXPECT_EQ(run.checkcode("Age"), "<null>");
}

TEST(TranslationPass, RecordAndFileSectionsGoToRowsOfTheirOwn) {
  ImportRun run(
      {{.Name = "Age", .Checkcode = ""}, {.Name = "Record", .Checkcode = stored({"b", "ENDBEFORE", "a"})}});
  run.run({"BEFORE FILE", "X = 1", "END", "AGE", "GOTO NAME", "AFTER RECORD", "Y = 2", "END", "END",
           "AFTER FILE", "Z = 3", "END"});
  EXPECT_EQ(run.column("PageNumber", "VIEW"), "0");
  // The second FILE section found the row the first one made.
  EXPECT_EQ(querySql(run.db, "SELECT count(*) FROM viewForm WHERE Name = 'VIEW'"), V{"1"});
  // Code read back from a row keeps its line breaks inside its entries.
  EXPECT_EQ(run.checkcode("VIEW"), "ASSIGN X = 1\r\n\r\nENDBEFORE\r\n\r\nASSIGN Z = 3\r\n");
  // AGE's empty stored code came back as an empty AFTER line.
  EXPECT_EQ(run.checkcode("Age"), "\r\nGOTO NAME\r\n");
  EXPECT_EQ(run.checkcode("Record"), "b\r\n\r\nENDBEFORE\r\na\r\n\r\nASSIGN Y = 2\r\n");
}

// Sections, JUMPS blocks and value lists raise the level on the listing
// pass too, so their END does not end the field block: WEIGHT is a
// statement of AGE's block, HEIGHT a field line. A one-line form opens
// nothing.
TEST(TranslationPass, BlocksKeepTheLevelOnTheListingPass) {
  const V rest = {"1", "END", "WEIGHT", "END", "HEIGHT"};
  for (const char* opening : {"BEFORE ENTRY", "JUMPS", "CODES", "LEGAL", "COMMENT", "COMMENT LEGAL"}) {
    ImportRun run({{.Name = "Age"}});
    V chk = {"AGE", opening};
    chk.insert(chk.end(), rest.begin(), rest.end());
    EXPECT_EQ(run.run(chk, {}), "") << opening;
    EXPECT_EQ(run.unmatched(), V{"HEIGHT"}) << opening;
  }
  ImportRun use({{.Name = "Age"}});
  use.run({"AGE", "LEGAL USE SEX", "END", "WEIGHT"}, {});
  EXPECT_EQ(use.unmatched(), V{"WEIGHT"});
}

// The non-empty lines of a stored value.
V lines(const std::string& text) {
  V out;
  for (const auto part : std::views::split(text, std::string_view("\r\n")))
    if (!part.empty()) out.emplace_back(part.begin(), part.end());
  return out;
}

// Every column of every row of the view, in rowid order.
V everyRow(const ImportRun& run) {
  return querySql(
      run.db,
      "SELECT quote(UniqueKey) || '|' || quote(Name) || '|' || quote(PageNumber) || '|' || "
      "quote(Checkcode) || '|' || quote(Type) || '|' || quote(Formatstring) || '|' || quote(Lists) "
      "FROM viewForm ORDER BY rowid");
}

// The database refuses to store the code of one field. The failing routine
// (storing that field's code) is left, the error is reported, the code
// stored before stays and the pass goes on with the next field. Without
// overwriting, a Null code is merged as "": one empty line ahead of the new.
TEST(NothingLost, AFieldWhoseCodeCannotBeStored) {
  ImportRun run({{.Name = "Age"}, {.Name = "Sex", .Checkcode = "GOTO AGE\r\n"}, {.Name = "Name"}});
  execSql(run.db,
          "CREATE TRIGGER refuse BEFORE UPDATE OF Checkcode ON viewForm WHEN NEW.Name = 'Sex' "
          "BEGIN SELECT RAISE(ABORT, 'refused by the form'); END;");
  EXPECT_EQ(run.run({"AGE", "X = 1", "END", "SEX", "GOTO NAME", "END", "NAME", "GOTO AGE", "END"}), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"", "ASSIGN X = 1"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"GOTO AGE"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"", "GOTO AGE"}));
  const std::string log = run.log.str();
  EXPECT_NE(log.find("refused by the form"), std::string::npos) << log;
  EXPECT_NE(log.find("in ImportCode"), std::string::npos) << log;
}

// A value too long for a code table's column: the rows before it are
// stored, the table stays, and the field's code and the next field's are
// written.
TEST(NothingLost, AValueListRowACodeTableRefuses) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  const std::string tooLong(300, 'x');
  EXPECT_EQ(run.run({"AGE", "LEGAL", "1", tooLong, "3", "END", "END", "NAME", "GOTO AGE", "END"},
                    {.overwrite = true, .ignoreNew = true, .tables = true}),
            "");
  EXPECT_EQ(querySql(run.db, "SELECT Age FROM codeAge ORDER BY rowid"), V{"1"});
  EXPECT_NE(run.checkcode("Age").find("*codeAge\r\n"), std::string::npos) << run.checkcode("Age");
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  EXPECT_NE(run.log.str().find("in PopulateCodeTable"), std::string::npos) << run.log.str();
}

// The same import run twice without overwriting: each part of a field's
// code holds the old lines first, then the new; rows the CHK file does not
// name are left byte for byte. A stored part keeps its line end and is
// joined to the new lines by another: an empty line between old and new.
TEST(NothingLost, ASecondImportMergesAndDropsNothing) {
  ImportRun run({{.Name = "Age", .Checkcode = stored({"OLD BEFORE", "ENDBEFORE", "OLD AFTER"})},
                 {.Name = "Sex", .Checkcode = stored({"OLD AFTER ONLY"})},
                 {.Name = "Name", .Checkcode = "kept as it is", .Lists = "M"},
                 {.Name = "Hidden", .Checkcode = "off the form", .PageNumber = -1}});
  const V chk = {"AGE", "BEFORE ENTRY", "X = 1", "END",       "AFTER ENTRY", "GOTO SEX",
                 "END", "END",          "SEX",   "GOTO NAME", "END"};
  const V untouched = {everyRow(run)[2], everyRow(run)[3]};

  EXPECT_EQ(run.run(chk), "");
  EXPECT_EQ(run.checkcode("Age"),
            stored({"OLD BEFORE", "", "ASSIGN X = 1", "ENDBEFORE", "OLD AFTER", "", "GOTO SEX"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"OLD AFTER ONLY", "", "GOTO NAME"}));
  const V first = everyRow(run);
  EXPECT_EQ((V{first[2], first[3]}), untouched);

  EXPECT_EQ(run.run(chk), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"OLD BEFORE", "", "ASSIGN X = 1", "", "ASSIGN X = 1", "ENDBEFORE",
                                          "OLD AFTER", "", "GOTO SEX", "", "GOTO SEX"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"OLD AFTER ONLY", "", "GOTO NAME", "", "GOTO NAME"}));
  const V second = everyRow(run);
  ASSERT_EQ(second.size(), first.size());
  EXPECT_EQ((V{second[2], second[3]}), untouched);
  EXPECT_EQ(run.log.str(), "");
}

// Merging never loses a line: after a second pass each field holds every
// line it held before, as many times, whatever the sections look like.
TEST(NothingLost, EveryStoredLineSurvivesAMerge) {
  const std::vector<std::string> old = {"",
                                        "\r\n",
                                        stored({"ENDBEFORE"}),
                                        stored({"A", "ENDBEFORE"}),
                                        stored({"ENDBEFORE", "B"}),
                                        "no line end",
                                        stored({"A", "ENDBEFORE", "B", "ENDBEFORE", "C"})};
  for (const auto& code : old) {
    ImportRun run({{.Name = "Age", .Checkcode = code}});
    EXPECT_EQ(run.run({"AGE", "BEFORE ENTRY", "X = 1", "END", "GOTO Y", "END"}), "");
    std::multiset<std::string> before, after;
    for (const auto& line : lines(code)) before.insert(line);
    for (const auto& line : lines(run.checkcode("Age"))) after.insert(line);
    for (const auto& line : before)
      EXPECT_GE(after.count(line), before.count(line))
          << "[" << line << "] of [" << code << "]: " << run.checkcode("Age");
    EXPECT_GE(after.count("ASSIGN X = 1"), 1u);
    EXPECT_GE(after.count("GOTO Y"), 1u);
    EXPECT_EQ(run.log.str(), "");
  }
}

}  // namespace
