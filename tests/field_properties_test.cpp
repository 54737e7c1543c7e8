// KEY, LET, MUSTENTER, NOENTER and DEFINE over whole passes of the real
// component: what each stores in the field's code and what it writes into
// the view rows.
#include <gtest/gtest.h>

#include <optional>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using testing_support::ViewRow;
using V = std::vector<std::string>;

const std::string kMustEnter = "*MUSTENTER is a property set by checkbox on field dialog. ";
const std::string kNoEnter =
    "*NOENTER is now called READ ONLY and \r\n*is a property set by checkbox on field dialog. ";
const std::string kSet = "\r\n*Property has been set.";
const std::string kRefused = "\r\n*MUSTENTER and READ ONLY properties cannot be set at the same time.";
const std::string kKey =
    "*KEY is not relevant in Vantrel 2000 \r\n*Vantrel 2000 automatically creates new \r\n"
    "*key fields called UniqueKey and FKey";

TEST(FieldProperties, TheWorkedExampleOfAWholeField) {
  ImportRun run({{.Name = "AGE"}});
  EXPECT_EQ(
      run.run({"AGE", "MUSTENTER", "BEFORE ENTRY", "X = 1", "END", "AFTER ENTRY", "GOTO NAME", "END", "END"},
              {.overwrite = true, .ignoreNew = true}),
      "");
  EXPECT_EQ(run.lists("AGE"), "M");
  // The comment, stored before any section was open, moved before entry.
  EXPECT_EQ(run.checkcode("AGE"),
            "*MUSTENTER is a property set by checkbox on field dialog. \r\n"
            "*Property has been set.\r\n"
            "ASSIGN X = 1\r\n"
            "ENDBEFORE\r\n"
            "GOTO NAME\r\n");
  EXPECT_EQ(run.log.str(), "");
}

struct Case {
  const char* what;
  std::optional<std::string> listsBefore;
  V lines;  // inside the block of AGE
  std::string listsAfter;
  std::string checkcode;
};

TEST(FieldProperties, WhatEachCommandStoresAndSets) {
  const std::vector<Case> cases = {
      {"KEY", std::nullopt, {"KEY"}, "<null>", stored({kKey})},
      {"KEY UNIQUE adds the line about Plandor",
       std::nullopt,
       {"key unique"},
       "<null>",
       stored({kKey + " \r\n*KEY UNIQUE fields must be set in Plandor"})},
      {"LET", std::nullopt, {"LET AGE = 5"}, "<null>", stored({"ASSIGN AGE = 5"})},
      {"LET keeps the line's case",
       std::nullopt,
       {"let Total=Total + 1"},
       "<null>",
       stored({"ASSIGN Total=Total + 1"})},
      {"MUSTENTER on Null", std::nullopt, {"MUSTENTER"}, "M", stored({kMustEnter + kSet})},
      {"MUSTENTER appends to other letters",
       "SG[1,5]",
       {"mustenter"},
       "SG[1,5]M",
       stored({kMustEnter + kSet})},
      {"MUSTENTER finds its letter in either case", "m", {"MUSTENTER"}, "m", stored({kMustEnter + kSet})},
      {"MUSTENTER refused by read only", "RN", {"MUSTENTER"}, "RN", stored({kMustEnter + kRefused})},
      {"NOENTER on Null", std::nullopt, {"NOENTER"}, "N", stored({kNoEnter + kSet})},
      {"NOENTER already set", "SN", {"NOENTER"}, "SN", stored({kNoEnter + kSet})},
      {"NOENTER refused by must enter", "M", {"NOENTER"}, "M", stored({kNoEnter + kRefused})},
      {"MUSTENTER then NOENTER",
       std::nullopt,
       {"MUSTENTER", "NOENTER"},
       "M",
       stored({kMustEnter + kSet, kNoEnter + kRefused})},
      {"MUSTENTER twice sets one letter",
       std::nullopt,
       {"MUSTENTER", "MUSTENTER"},
       "M",
       stored({kMustEnter + kSet, kMustEnter + kSet})},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age", .Lists = c.listsBefore}, {.Name = "Name", .Lists = "X"}});
    V chk = {"AGE"};
    chk.insert(chk.end(), c.lines.begin(), c.lines.end());
    chk.push_back("END");
    EXPECT_EQ(run.run(chk, {.overwrite = true, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.lists("Age"), c.listsAfter) << c.what;
    EXPECT_EQ(run.checkcode("Age"), c.checkcode) << c.what;
    EXPECT_EQ(run.lists("Name"), "X") << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

TEST(FieldProperties, NothingOutsideAFieldBlockOrOnTheListingPass) {
  const V commands = {"KEY UNIQUE", "LET X = 1", "MUSTENTER", "NOENTER", "DEFINE V ##", "RANGE 1 5"};

  // Outside a block the recordset stands on the first row, which nothing may touch.
  ImportRun outside({{.Name = "First"}, {.Name = "Age"}});
  V chk = commands;
  chk.insert(chk.end(), {"AGE", "END"});
  outside.run(chk, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(outside.lists("First"), "<null>");
  EXPECT_EQ(outside.checkcode("First"), "<null>");
  EXPECT_EQ(outside.checkcode("Age"), "");
  EXPECT_EQ(outside.checkcode("DEFINEDVARIABLES"), "<no row>");

  ImportRun listing({{.Name = "Age"}});
  chk = {"AGE"};
  chk.insert(chk.end(), commands.begin(), commands.end());
  chk.push_back("END");
  EXPECT_EQ(listing.run(chk, {}), "");
  EXPECT_TRUE(listing.unmatched().empty());
  EXPECT_EQ(listing.lists("Age"), "<null>");
  EXPECT_EQ(listing.checkcode("Age"), "<null>");
  EXPECT_EQ(listing.checkcode("DEFINEDVARIABLES"), "<no row>");
}

TEST(FieldProperties, CommentTextsPassThroughTheTranslatorWithoutTheirBlanks) {
  testing_support::MarkingTranslator marking;
  ImportRun run({{.Name = "Age"}, {.Name = "Name", .Lists = "M"}});
  run.component.SetObjLanguage(marking);
  run.run({"AGE", "KEY UNIQUE", "MUSTENTER", "DEFINE TOTAL", "END", "NAME", "NOENTER", "END"},
          {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(
      run.checkcode("Age"),
      stored({"*KEY <is not relevant in Vantrel 2000> \r\n*<Vantrel 2000 automatically creates new> \r\n"
              "*<key fields called UniqueKey and FKey> \r\n*<KEY UNIQUE fields must be set in Plandor>",
              "*MUSTENTER <is a property set by checkbox on field dialog.> \r\n*<Property has been set.>",
              "*TOTAL <defined in DEFINEDVARIABLES area>"}));
  EXPECT_EQ(run.checkcode("Name"),
            stored({"*<NOENTER is now called READ ONLY and> \r\n*<is a property set by checkbox on field "
                    "dialog.> \r\n*<MUSTENTER and READ ONLY properties cannot be set at the same time.>"}));
}

// DEFINE

struct DefineCase {
  const char* what;
  std::optional<ViewRow> variablesRow;  // the DEFINEDVARIABLES row before the pass
  bool overwrite;
  V chk;
  std::string declarations;  // the row's Checkcode after the pass
};

TEST(Define, DeclarationsGatherInTheirOwnRow) {
  const ViewRow old = {.Name = "DEFINEDVARIABLES", .Checkcode = "DEFINE OLD", .PageNumber = 0};
  const ViewRow empty = {.Name = "DEFINEDVARIABLES", .PageNumber = 0};
  const std::vector<DefineCase> cases = {
      {"appended to what the row holds",
       old,
       false,
       {"AGE", "DEFINE TOTAL #####", "DEFINE SEEN _ GLOBAL", "END"},
       "DEFINE OLD\r\nDEFINE TOTAL\r\nDEFINE SEEN GLOBAL"},
      {"the first DEFINE of an overwriting pass drops the old declarations",
       old,
       true,
       {"AGE", "DEFINE A", "END", "NAME", "DEFINE B", "END"},
       "DEFINE A\r\nDEFINE B"},
      {"a Null row counts as empty", empty, false, {"AGE", "DEFINE X ###", "END"}, "DEFINE X"},
      {"a new row", std::nullopt, false, {"AGE", "DEFINE X", "END"}, "DEFINE X"},
      {"a new row on an overwriting pass",
       std::nullopt,
       true,
       {"AGE", "DEFINE X", "DEFINE Y", "END"},
       "DEFINE X\r\nDEFINE Y"},
      {"only GLOBAL in the fourth word is carried over",
       std::nullopt,
       false,
       {"AGE", "define a ### global", "DEFINE B ### CUMULATIVE", "DEFINE C GLOBAL", "DEFINE D ## ## GLOBAL",
        "END"},
       "DEFINE A GLOBAL\r\nDEFINE B\r\nDEFINE C\r\nDEFINE D"},
      {"no check for duplicates",
       old,
       false,
       {"AGE", "DEFINE OLD", "DEFINE OLD", "END"},
       "DEFINE OLD\r\nDEFINE OLD\r\nDEFINE OLD"},
  };
  for (const auto& c : cases) {
    std::vector<ViewRow> rows = {{.Name = "Age"}, {.Name = "Name"}};
    if (c.variablesRow) rows.push_back(*c.variablesRow);
    ImportRun run(rows);
    EXPECT_EQ(run.run(c.chk, {.overwrite = c.overwrite, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.checkcode("DEFINEDVARIABLES"), c.declarations) << c.what;
    EXPECT_EQ(run.column("PageNumber", "DEFINEDVARIABLES"), "0") << c.what;
    EXPECT_EQ(querySql(run.db, "SELECT count(*) FROM viewForm WHERE Name = 'DEFINEDVARIABLES'"), V{"1"})
        << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

TEST(Define, TheFieldKeepsANoteAndStaysTheTarget) {
  ImportRun run({{.Name = "Age", .Checkcode = "OLD"}, {.Name = "Name"}});
  run.run(
      {"AGE", "DEFINE TOTAL #####", "MUSTENTER", "GOTO NAME", "END", "NAME", "DEFINE SEEN _ GLOBAL", "END"});
  // The code read back from the row comes first.
  EXPECT_EQ(run.checkcode("Age"),
            stored({"OLD", "*TOTAL defined in DEFINEDVARIABLES area", kMustEnter + kSet, "GOTO NAME"}));
  EXPECT_EQ(run.lists("Age"), "M");
  EXPECT_EQ(run.checkcode("Name"), "\r\n" + stored({"*SEEN defined in DEFINEDVARIABLES area"}));
  EXPECT_EQ(run.lists("DEFINEDVARIABLES"), "<null>");
  EXPECT_EQ(run.checkcode("DEFINEDVARIABLES"), "DEFINE TOTAL\r\nDEFINE SEEN GLOBAL");
  EXPECT_EQ(run.log.str(), "");
}

// The declarations reach their row once per pass, yet a field block of the
// row itself, read in the middle of the pass, finds them as written so far.
TEST(Define, TheVariablesRowReadInThePassHoldsTheDeclarationsSoFar) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}, {.Name = "DEFINEDVARIABLES", .Checkcode = "DEFINE OLD"}});
  EXPECT_EQ(
      run.run({"AGE", "DEFINE A", "END", "DEFINEDVARIABLES", "X = 1", "END", "NAME", "DEFINE B #", "END"}),
      "");
  EXPECT_EQ(run.checkcode("DEFINEDVARIABLES"), "DEFINE OLD\r\nDEFINE A\r\nASSIGN X = 1\r\n\r\nDEFINE B");
  EXPECT_EQ(run.log.str(), "");

  // A pass ended by an error keeps the declarations made before it.
  ImportRun failing({{.Name = "Age", .Checkcode = ""}});
  V chk = {"AGE", "DEFINE C", "AFTER ENTRY"};
  for (int i = 0; i < 502; ++i) chk.push_back("X = 1");
  EXPECT_EQ(failing.run(chk, {.overwrite = true, .ignoreNew = true}), "");
  EXPECT_EQ(failing.checkcode("DEFINEDVARIABLES"), "DEFINE C");
}

}  // namespace
