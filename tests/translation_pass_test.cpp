// Whole passes of the real component over a real view database: sections,
// conditionals, comments, merging and overwriting, field lines, special rows.
#include <gtest/gtest.h>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::stored;
using testing_support::ViewRow;
using V = std::vector<std::string>;

struct Case {
  const char* what;
  V chk;
  std::string expected;  // AGE's Checkcode after a writing pass
};

// Each case is a block of field AGE, written into a view with AGE and NAME.
TEST(TranslationPass, WhatAFieldBlockBecomes) {
  const std::vector<Case> cases = {
      {"before and after sections",
       {"AGE", "BEFORE ENTRY", "X = 1", "END", "AFTER ENTRY", "GOTO NAME", "END", "END"},
       stored({"ASSIGN X = 1", "ENDBEFORE", "GOTO NAME"})},
      {"staged lines move before entry when AFTER ENTRY opens",
       {"AGE", "X = 1", "AFTER ENTRY", "Y = 2", "END", "END"},
       stored({"ASSIGN X = 1", "ENDBEFORE", "ASSIGN Y = 2"})},
      {"ENTER splits before from after",
       {"AGE", "X = 1", "ENTER", "Y = 2", "END"},
       stored({"ASSIGN X = 1", "ENDBEFORE", "ASSIGN Y = 2"})},
      {"lines staged after the sections come last",
       {"AGE", "AFTER ENTRY", "A = 1", "END", "B = 2", "END"},
       stored({"ASSIGN A = 1", "ASSIGN B = 2"})},
      {"no before lines, no ENDBEFORE",
       {"AGE", "AFTER ENTRY", "GOTO NAME", "END", "END"},
       stored({"GOTO NAME"})},
      {"an IF block",
       {"AGE", "AFTER ENTRY", "IF AGE > 65", "X = 1", "ELSE", "X = 2", "ENDIF", "END", "END"},
       stored({"IF AGE > 65 THEN", "ASSIGN X = 1", "ELSE", "ASSIGN X = 2", "END"})},
      {"IF ... THEN on one line",
       {"AGE", "IF X = 1 THEN GOTO NAME", "ENDIF", "END"},
       stored({"IF X = 1  THEN", "GOTO NAME", "END"})},
      {"ELSE with a statement and ENDIF on its line",
       {"AGE", "IF X = 1", "ELSE GOTO NAME ENDIF", "END"},
       stored({"IF X = 1 THEN", "ELSE", "GOTO NAME", "END"})},
      {"THEN alone stores nothing",
       {"AGE", "IF X = 1", "THEN", "GOTO NAME", "ENDIF", "END"},
       stored({"IF X = 1 THEN", "GOTO NAME", "END"})},
      {"EXIT",
       {"AGE", "EXIT", "END"},
       stored({"*EXIT is not supported in Vantrel 2000 \r\n*Use an If-THEN block to do this."})},
      {"AUTOJUMP and GOTO",
       {"AGE", "AUTOJUMP NEXTFIELD", "goto Name", "END"},
       stored({"GOTO NEXTFIELD", "goto Name"})},
      {"comments inside a block are kept, trimmed",
       {"* before the block", "AGE", "   * why we check", "END"},
       stored({"* why we check"})},
      {"other statements are stored as they stand",
       {"AGE", "  BEEP  ", "X = Y + 1", "END"},
       stored({"BEEP", "ASSIGN X = Y + 1"})},
      {"the last line's rest is still handled",
       {"AGE", "IF X = 1 THEN GOTO NAME"},
       stored({"IF X = 1  THEN", "GOTO NAME"})},
      {"two ENDs at level one leave level 0", {"AGE", "END", "END", "NAME", "GOTO AGE", "END"}, ""},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age", .Checkcode = ""}, {.Name = "Name"}});
    EXPECT_EQ(run.run(c.chk, {.overwrite = true, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.checkcode("Age"), c.expected) << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

TEST(TranslationPass, MergingKeepsTheOldCodeFirstInEachPart) {
  ImportRun run({{.Name = "Age", .Checkcode = stored({"OLD1", "ENDBEFORE", "OLD2"})}});
  run.run({"AGE", "BEFORE ENTRY", "NEW1", "END", "AFTER ENTRY", "NEW2", "END", "END"});
  // The old parts come back as one entry each, their last line break kept.
  EXPECT_EQ(run.checkcode("Age"), "OLD1\r\n\r\nNEW1\r\nENDBEFORE\r\nOLD2\r\n\r\nNEW2\r\n");
}

TEST(TranslationPass, StoredCodeOfMatchedFieldsWithoutNewCode) {
  ImportRun merge({{.Name = "Age"}, {.Name = "Name", .Checkcode = "OLD"}});
  merge.run({"AGE", "END", "NAME", "END"});
  EXPECT_EQ(merge.checkcode("Age"), "\r\n");  // Null became "" and was written back as one empty line
  EXPECT_EQ(merge.checkcode("Name"), "OLD\r\n");

  ImportRun overwrite({{.Name = "Age", .Checkcode = "OLD"}});
  overwrite.run({"AGE", "END"}, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(overwrite.checkcode("Age"), "");
}

TEST(TranslationPass, FieldLinesAndTheirRows) {
  ImportRun run({{.Name = "Age", .Checkcode = ""}, {.Name = "Age", .Checkcode = "second"}, {.Name = "Name"}});
  run.run({"AGE", "GOTO NAME", "END", "NOSUCH", "X = 1", "END"}, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.checkcode("Age"), stored({"GOTO NAME"}));  // the first row of that name
  EXPECT_EQ(run.log.str(), "");
  auto rows =
      testing_support::querySql(run.db, "SELECT Checkcode FROM viewForm WHERE Name = 'Age' ORDER BY rowid");
  EXPECT_EQ(rows, (V{stored({"GOTO NAME"}), "second"}));
}

TEST(TranslationPass, TheListingPassWritesNothingAndListsTheUnmatched) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  const V chk = {"AGE", "END", "WEIGHT", "END", "AGE RANGE 0 99", "name", "END", "HEIGHT CM", "END"};
  EXPECT_EQ(run.run(chk, {}), "");
  // A field line followed by more words never matches: it is split, and the
  // rest is handled on its own at level 0, where it is split again.
  EXPECT_EQ(run.unmatched(), (V{"WEIGHT", "AGE", "0", "99", "HEIGHT", "CM"}));
  EXPECT_EQ(run.checkcode("Age"), "<null>");

  ImportRun all({{.Name = "Age"}});
  EXPECT_EQ(all.run({"AGE", "END"}, {}), "");
  EXPECT_TRUE(all.unmatched().empty());
}

TEST(TranslationPass, NoMatchingField) {
  ImportRun run({{.Name = "Age"}});
  EXPECT_EQ(run.run({"WEIGHT", "END"}), "No matching fields were found.");
  EXPECT_EQ(run.run({}), "No matching fields were found.");
  EXPECT_EQ(run.run({"WEIGHT", "END"}, {}), "No matching fields were found.");
}

TEST(TranslationPass, RecordAndFileSectionsGoToRowsOfTheirOwn) {
  ImportRun run(
      {{.Name = "Age", .Checkcode = ""}, {.Name = "Record", .Checkcode = stored({"b", "ENDBEFORE", "a"})}});
  run.run({"BEFORE FILE", "X = 1", "END", "AGE", "GOTO NAME", "AFTER RECORD", "Y = 2", "END", "END",
           "AFTER FILE", "Z = 3", "END"});
  EXPECT_EQ(run.column("PageNumber", "VIEW"), "0");
  // The second FILE section found the row the first one made.
  EXPECT_EQ(testing_support::querySql(run.db, "SELECT count(*) FROM viewForm WHERE Name = 'VIEW'"), V{"1"});
  // Code read back from a row keeps its line breaks inside its entries.
  EXPECT_EQ(run.checkcode("VIEW"), "ASSIGN X = 1\r\n\r\nENDBEFORE\r\n\r\nASSIGN Z = 3\r\n");
  // AGE's empty stored code came back as an empty AFTER line.
  EXPECT_EQ(run.checkcode("Age"), "\r\nGOTO NAME\r\n");
  EXPECT_EQ(run.checkcode("Record"), "b\r\n\r\nENDBEFORE\r\na\r\n\r\nASSIGN Y = 2\r\n");
}

TEST(TranslationPass, SectionsSwitchOnTheListingPassToo) {
  // BEFORE ENTRY raises the level on the listing pass, so its END does not
  // end the field block and the next field line is a statement.
  ImportRun run({{.Name = "Age"}});
  run.run({"AGE", "BEFORE ENTRY", "END", "WEIGHT", "END", "HEIGHT"}, {});
  EXPECT_EQ(run.unmatched(), V{"HEIGHT"});
}

}  // namespace
