// KEY, LET, MUSTENTER, NOENTER, DEFINE and RANGE over whole passes of the
// real component: what each stores in the field's code and what it writes
// into the view rows; for RANGE, the segment written into the field's Lists
// for each field type, format and kind of bound.
#include <gtest/gtest.h>

#include <optional>

#include "import_harness.h"

namespace {

using namespace testing_support;
using V = std::vector<std::string>;

const std::optional<std::string> kNull;

// Texts with their translated phrases marked.
const std::string kChecked = " <is a property set by checkbox on field dialog.> ";
const std::string kDone = "\r\n*<Property has been set.>";
const std::string kMustEnter = "*MUSTENTER" + kChecked;
const std::string kNoEnter = "*<NOENTER is now called READ ONLY and> \r\n*" + kChecked.substr(1);
const std::string kRepeat = "*REPEAT" + kChecked + kDone;
const std::string kSoundex = "AUTOSEARCH LAST\r\n*SOUNDEX" + kChecked + kDone;
const std::string kRefused = "\r\n*<MUSTENTER and READ ONLY properties cannot be set at the same time.>";
const std::string kKey =
    "*KEY <is not relevant in Vantrel 2000> \r\n*<Vantrel 2000 automatically creates new> \r\n"
    "*<key fields called UniqueKey and FKey>";

// The letters of AGE before the pass, the lines of its block, its letters
// and its stored code after the pass.
TEST(FieldProperties, WhatEachCommandStoresAndSets) {
  const struct {
    std::optional<std::string> before;
    V lines;
    std::string after, checkcode;
  } cases[] = {
      {kNull, {"KEY"}, "<null>", stored({kKey})},
      {kNull, {"key unique"}, "<null>", stored({kKey + " \r\n*<KEY UNIQUE fields must be set in Plandor>"})},
      {kNull, {"DEFINE TOTAL"}, "<null>", stored({"*TOTAL <defined in DEFINEDVARIABLES area>"})},
      {kNull, {"let Total=Total + 1"}, "<null>", stored({"ASSIGN Total=Total + 1"})},
      // The comment, stored before any section was open, moves before entry.
      {kNull,
       {"MUSTENTER", "BEFORE ENTRY", "X = 1", "END", "AFTER ENTRY", "GOTO NAME", "END"},
       "M",
       stored({kMustEnter + kDone, "ASSIGN X = 1", "ENDBEFORE", "GOTO NAME"})},
      {"SG[1,5]", {"mustenter"}, "SG[1,5]M", stored({kMustEnter + kDone})},
      {"RN", {"MUSTENTER"}, "RN", stored({kMustEnter + kRefused})},
      {kNull, {"NOENTER"}, "N", stored({kNoEnter + kDone})},
      {"M", {"NOENTER"}, "M", stored({kNoEnter + kRefused})},
      // REPEAT and AUTOSEARCH SOUNDEX add their letter once.
      {kNull, {"REPEAT", "REPEAT"}, "R", stored({kRepeat, kRepeat})},
      {"MG[0,99]", {"REPEAT"}, "MG[0,99]R", stored({kRepeat})},
      {"r", {"REPEAT"}, "r", stored({kRepeat})},
      {kNull, {"AUTOSEARCH SOUNDEX LAST", "AUTOSEARCH SOUNDEX LAST"}, "S", stored({kSoundex, kSoundex})},
      {"M", {"AUTOSEARCH SOUNDEX LAST"}, "MS", stored({kSoundex})},
      // The code after CODEFIELD stays with the current field, not the target.
      {kNull,
       {"CODEFIELD", "CODEFIELD NAME", "REPEAT"},
       "R",
       stored({"*CODEFIELD <is not necessary in Vantrel 2000> \r\n", kRepeat})},
  };
  // Through a translator: only the phrases pass through it.
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age", .Lists = c.before}, {.Name = "Name", .Lists = "X"}});
    run.markPhrases();
    V chk = {"AGE"};
    chk.insert(chk.end(), c.lines.begin(), c.lines.end());
    chk.push_back("END");
    EXPECT_EQ(run.run(chk, kWrite), "") << c.lines[0];
    EXPECT_EQ(run.lists("Age"), c.after) << c.lines[0];
    EXPECT_EQ(run.checkcode("Age"), c.checkcode) << c.lines[0];
    EXPECT_EQ(run.lists("Name"), "X") << c.lines[0];
    EXPECT_EQ(run.checkcode("Name"), "<null>") << c.lines[0];
    EXPECT_EQ(run.log.str(), "") << c.lines[0];
  }
}

// These, a list header and the advisory commands.
TEST(FieldProperties, NothingOutsideAFieldBlockOrOnTheListingPass) {
  const V commands = {"CODES",          "KEY UNIQUE",      "LET X = 1",
                      "MUSTENTER",      "NOENTER",         "DEFINE V ##",
                      "RANGE 1 5",      "REPEAT",          "AUTOSEARCH SOUNDEX LAST",
                      "CALL MOUSE.COM", "COLOR 1 14",      "HELP \"Age\" 2",
                      "HELP age.hlp",   "TYPE COMMENT ON", "RELATE Age X.rec",
                      "UPDATE",         "LOAD x.bin",      "SHOWMEMORY",
                      "FIELDCHAR _"};

  // Outside a block the recordset stands on the first row, which nothing may touch.
  ImportRun outside({{.Name = "First"}, {.Name = "Age"}});
  V chk = commands;
  chk.insert(chk.end(), {"AGE", "END"});
  outside.run(chk, kWrite);
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

TEST(Define, DeclarationsGatherInTheirOwnRow) {
  const ViewRow old = {.Name = "DEFINEDVARIABLES", .Checkcode = "DEFINE OLD", .PageNumber = 0};
  const ViewRow empty = {.Name = "DEFINEDVARIABLES", .PageNumber = 0};
  const struct {
    std::optional<ViewRow> variablesRow;
    bool overwrite;
    V chk;
    std::string declarations;
  } cases[] = {
      {old,
       false,
       {"AGE", "DEFINE TOTAL #####", "DEFINE SEEN _ GLOBAL", "END"},
       "DEFINE OLD\r\nDEFINE TOTAL\r\nDEFINE SEEN GLOBAL"},
      // The first DEFINE of an overwriting pass drops the old declarations.
      {old, true, {"AGE", "DEFINE A", "END", "NAME", "DEFINE B", "END"}, "DEFINE A\r\nDEFINE B"},
      {empty, false, {"AGE", "DEFINE X ###", "END"}, "DEFINE X"},
      {std::nullopt, false, {"AGE", "DEFINE X", "END"}, "DEFINE X"},
      // Only GLOBAL in the fourth word is carried over.
      {std::nullopt,
       false,
       {"AGE", "define a ### global", "DEFINE B ### CUMULATIVE", "DEFINE C GLOBAL", "DEFINE D ## ## GLOBAL",
        "END"},
       "DEFINE A GLOBAL\r\nDEFINE B\r\nDEFINE C\r\nDEFINE D"},
  };
  for (const auto& c : cases) {
    std::vector<ViewRow> rows = {{.Name = "Age"}, {.Name = "Name"}};
    if (c.variablesRow) rows.push_back(*c.variablesRow);
    ImportRun run(rows);
    EXPECT_EQ(run.run(c.chk, {.overwrite = c.overwrite, .ignoreNew = true}), "") << c.declarations;
    EXPECT_EQ(run.checkcode("DEFINEDVARIABLES"), c.declarations);
    EXPECT_EQ(querySql(run.db, "SELECT PageNumber FROM viewForm WHERE Name = 'DEFINEDVARIABLES'"), V{"0"})
        << c.declarations;
    EXPECT_EQ(run.log.str(), "") << c.declarations;
  }
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
  EXPECT_EQ(failing.run(chk, kWrite), "");
  EXPECT_EQ(failing.checkcode("DEFINEDVARIABLES"), "DEFINE C");
}

// RANGE

// Texts with their translated phrases marked.
const std::string kRangeHead = "*RANGE <is a property set by checkbox on field dialog.> \r\n*";
const std::string kSet = kRangeHead + "<Property has been set.>";
const std::string kYears =
    kSet + " \r\n*<Date range converted to 4 digit year format.>\r\n*<Verify new date range is correct.>";
const std::string kTypeOnly = "*<RANGE property for use with NUMBER and DATE field types only.>";
const std::string kCannot = kRangeHead + "<RANGE Property cannot be set.> \r\n*";
const std::string kNotFound = kCannot + "<The USE field specified not found in view table:> ";
const std::string kNoRange = kCannot + "<The USE field specified does not have RANGE property set:> ";

struct RangeCase {
  std::optional<std::string> type;  // of WEIGHT, the field translated
  std::optional<std::string> format;
  std::optional<std::string> listsBefore;
  std::string line;  // in WEIGHT's block
  std::string listsAfter;
  std::string comment;
};

TEST(Range, WhatALineSetsAndStores) {
  const std::vector<RangeCase> cases = {
      {"NUMBER", kNull, kNull, "RANGE 1 10", "G[1,10]", kSet},
      {"NUMBER", "##.#", "", "range -5 2.5", "G[-5,2.5]", kSet},

      // INFINITY on numbers: the pattern is the format before its first ";".
      {"NUMBER", "##.#", kNull, "RANGE 0 INFINITY", "G[0,99.9]", kSet},
      {"NUMBER", "#####.#;##.##", kNull, "RANGE INFINITY INFINITY", "G[-9999.9,99999.9]", kSet},
      {"NUMBER", "#", kNull, "RANGE INFINITY INFINITY", "G[-,9]", kSet},
      {"NUMBER", ".##", kNull, "RANGE INFINITY INFINITY", "G[-.9,.99]", kSet},
      {"NUMBER", kNull, kNull, "RANGE INFINITY 10", "G[INFINITY,10]", kSet},

      // INFINITY on dates: the pattern is the format after its first ";".
      {"DATE", "DD-MM-YYYY", kNull, "RANGE INFINITY INFINITY", "G[01-01-0101,31-12-9999]", kSet},
      {"DATE", "##-##-####;MM-DD-YYYY", kNull, "RANGE INFINITY INFINITY", "G[01-01-0101,12-31-9999]", kSet},
      {"DATE", "DD-MM", kNull, "RANGE 15-01 INFINITY", "G[15-01,31-12]", kSet},
      // INFINITY left in place on a date is eight characters long, like a
      // date with a two-digit year, and is widened as one.
      {"DATE", "YYYY-MM-DD", kNull, "RANGE 2000-01-01 INFINITY", "G[2000-01-01,INFINI19TY]", kYears},
      {"DATE", kNull, kNull, "RANGE INFINITY 12-31-1999", "G[INFINI19TY,12-31-1999]", kYears},

      // Dates lose their quotes; two-digit years are widened.
      {"DATE", kNull, kNull, "RANGE \"01-01-80\" \"12-31-99\"", "G[01-01-1980,12-31-1999]", kYears},
      {"DATE", kNull, kNull, "RANGE \"01-01-1980\" \"12-31-1999\"", "G[01-01-1980,12-31-1999]", kSet},
      {"NUMBER", kNull, kNull, "RANGE \"1\" \"12345678\"", "G[\"1\",\"12345678\"]", kSet},

      // The segment replaces an earlier one, wherever it stands.
      {"NUMBER", kNull, "MG[1,5]N", "RANGE 0 9", "MNG[0,9]", kSet},
      {"NUMBER", kNull, "Rg[1,5]", "RANGE 0 9", "RG[0,9]", kSet},
      {"DATE", kNull, "SM", "RANGE 01-01-1990 12-31-1999", "SMG[01-01-1990,12-31-1999]", kSet},
      {"NUMBER", kNull, "MG[1,5", "RANGE 0 9", "MG[0,9]", kSet},

      // Field types.
      {"TEXT", kNull, "M", "RANGE 1 10", "M", kTypeOnly},
      {kNull, kNull, kNull, "RANGE 1 10", "<null>", kTypeOnly},
      {"Number", kNull, kNull, "RANGE 1 10", "<null>", kTypeOnly},

      // RANGE USE copies another field's segment and nothing else.
      {"NUMBER", kNull, kNull, "RANGE USE AGE", "G[0,120]", kSet},
      {"DATE", kNull, "RG[1,2]M", "range use age", "RMG[0,120]", kSet},
      {"NUMBER", kNull, "M", "range use nosuch", "M", kNotFound + "NOSUCH"},
      {"NUMBER", kNull, kNull, "RANGE USE SEX", "<null>", kNoRange + "SEX"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + " " + c.format.value_or(""));
    // WEIGHT is translated; AGE has a range to copy, SEX has none.
    ImportRun run(
        {{.Name = "WEIGHT", .Type = c.type.value_or(""), .Lists = c.listsBefore, .Formatstring = c.format},
         {.Name = "AGE", .Lists = "MG[0,120]S"},
         {.Name = "SEX", .Type = "TEXT", .Lists = "N"}});
    run.markPhrases();
    if (!c.type) execSql(run.db, "UPDATE viewForm SET Type = NULL WHERE Name = 'WEIGHT'");
    EXPECT_EQ(run.run({"WEIGHT", c.line, "END"}, kWrite), "");
    EXPECT_EQ(run.lists("WEIGHT"), c.listsAfter);
    EXPECT_EQ(run.checkcode("WEIGHT"), stored({c.comment}));
    EXPECT_EQ(run.lists("AGE"), "MG[0,120]S");
    EXPECT_EQ(run.lists("SEX"), "N");
    EXPECT_EQ(run.log.str(), "");
  }
}

// After a look-up the field whose block it is stays the one its letters go to.
TEST(Range, AfterUseTheFieldStaysTheTarget) {
  ImportRun run({{.Name = "WEIGHT"}, {.Name = "AGE", .Lists = "G[0,120]"}});
  run.run({"WEIGHT", "RANGE USE AGE", "MUSTENTER", "RANGE USE NOSUCH", "NOENTER", "END"}, kWrite);
  EXPECT_EQ(run.lists("WEIGHT"), "G[0,120]M");
  EXPECT_EQ(run.lists("AGE"), "G[0,120]");
}

}  // namespace
