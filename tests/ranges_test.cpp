// RANGE over whole passes of the real component: the segment written into
// the field's Lists and the comment stored in its code, for each field type,
// format and kind of bound.
#include <gtest/gtest.h>

#include <optional>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::stored;
using testing_support::ViewRow;
using V = std::vector<std::string>;

const std::string kSet = "*RANGE is a property set by checkbox on field dialog. \r\n*Property has been set.";
const std::string kYears =
    kSet + " \r\n*Date range converted to 4 digit year format.\r\n*Verify new date range is correct.";
const std::string kTypeOnly = "*RANGE property for use with NUMBER and DATE field types only.";
const std::string kCannot =
    "*RANGE is a property set by checkbox on field dialog. \r\n*RANGE Property cannot be set. \r\n*";
const std::string kNotFound = kCannot + "The USE field specified not found in view table: ";
const std::string kNoRange = kCannot + "The USE field specified does not have RANGE property set: ";

const std::optional<std::string> kNull;

struct Case {
  const char* what;
  std::optional<std::string> type;  // of WEIGHT, the field translated
  std::optional<std::string> format;
  std::optional<std::string> listsBefore;
  std::string line;  // in WEIGHT's block
  std::string listsAfter;
  std::string comment;
};

// WEIGHT is translated; AGE has a range to copy, SEX and NOTE have none.
std::vector<ViewRow> rowsFor(const Case& c) {
  return {{.Name = "WEIGHT", .Type = c.type.value_or(""), .Lists = c.listsBefore, .Formatstring = c.format},
          {.Name = "AGE", .Lists = "MG[0,120]S"},
          {.Name = "SEX", .Type = "TEXT", .Lists = "N"},
          {.Name = "NOTE", .Type = "TEXT"}};
}

TEST(Range, WhatALineSetsAndStores) {
  const std::vector<Case> cases = {
      {"plain bounds on Null", "NUMBER", kNull, kNull, "RANGE 1 10", "G[1,10]", kSet},
      {"negative and decimal bounds", "NUMBER", "##.#", "", "range -5 2.5", "G[-5,2.5]", kSet},

      // INFINITY on numbers: the pattern is the format before its first ";".
      {"high INFINITY with a decimal", "NUMBER", "##.#", kNull, "RANGE 0 INFINITY", "G[0,99.9]", kSet},
      {"low INFINITY", "NUMBER", "###", kNull, "RANGE INFINITY 5", "G[-99,5]", kSet},
      {"the pattern ends at the semicolon", "NUMBER", "###;###", kNull, "RANGE INFINITY 5", "G[-99,5]", kSet},
      {"both INFINITY, no decimal", "NUMBER", "####;#", kNull, "RANGE INFINITY INFINITY", "G[-999,9999]",
       kSet},
      {"both INFINITY, with decimals", "NUMBER", "###.##", kNull, "RANGE INFINITY INFINITY",
       "G[-99.99,999.99]", kSet},
      {"decimals after the semicolon do not count", "NUMBER", "#####.#;##.##", kNull,
       "RANGE INFINITY INFINITY", "G[-9999.9,99999.9]", kSet},
      {"one digit leaves only the sign", "NUMBER", "#", kNull, "RANGE INFINITY INFINITY", "G[-,9]", kSet},
      {"a pattern that begins with its decimal point", "NUMBER", ".##", kNull, "RANGE INFINITY INFINITY",
       "G[-.9,.99]", kSet},
      {"INFINITY stays without a format", "NUMBER", kNull, kNull, "RANGE INFINITY 10", "G[INFINITY,10]",
       kSet},

      // INFINITY on dates: the pattern is the format after its first ";".
      {"day first, both INFINITY", "DATE", "DD-MM-YYYY", kNull, "RANGE INFINITY INFINITY",
       "G[01-01-0101,31-12-9999]", kSet},
      {"month first, both INFINITY", "DATE", "##-##-####;MM-DD-YYYY", kNull, "RANGE INFINITY INFINITY",
       "G[01-01-0101,12-31-9999]", kSet},
      {"month and day", "DATE", "MM-DD", kNull, "RANGE INFINITY INFINITY", "G[01-01,12-31]", kSet},
      {"day and month", "DATE", "DD-MM", kNull, "RANGE 15-01 INFINITY", "G[15-01,31-12]", kSet},
      // INFINITY left in place on a date is eight characters long, like a
      // date with a two-digit year, and is widened as one.
      {"other date patterns keep INFINITY", "DATE", "YYYY-MM-DD", kNull, "RANGE 2000-01-01 INFINITY",
       "G[2000-01-01,INFINI19TY]", kYears},
      {"so does a date without a format", "DATE", kNull, kNull, "RANGE INFINITY 12-31-1999",
       "G[INFINI19TY,12-31-1999]", kYears},

      // Dates lose their quotes; two-digit years are widened.
      {"quoted two-digit years", "DATE", kNull, kNull, "RANGE \"01-01-80\" \"12-31-99\"",
       "G[01-01-1980,12-31-1999]", kYears},
      {"one bound widened is enough", "DATE", kNull, kNull, "RANGE 01/15/87 12/31/1999",
       "G[01/15/1987,12/31/1999]", kYears},
      {"quoted four-digit years", "DATE", kNull, kNull, "RANGE \"01-01-1980\" \"12-31-1999\"",
       "G[01-01-1980,12-31-1999]", kSet},
      {"numbers keep their quotes", "NUMBER", kNull, kNull, "RANGE \"1\" \"12345678\"",
       "G[\"1\",\"12345678\"]", kSet},

      // The segment replaces an earlier one, wherever it stands.
      {"letters around an old segment", "NUMBER", kNull, "MG[1,5]N", "RANGE 0 9", "MNG[0,9]", kSet},
      {"an old segment in lower case", "NUMBER", kNull, "Rg[1,5]", "RANGE 0 9", "RG[0,9]", kSet},
      {"appended to other letters", "DATE", kNull, "SM", "RANGE 01-01-1990 12-31-1999",
       "SMG[01-01-1990,12-31-1999]", kSet},
      {"an old segment never closed", "NUMBER", kNull, "MG[1,5", "RANGE 0 9", "MG[0,9]", kSet},

      // Field types.
      {"a TEXT field", "TEXT", kNull, "M", "RANGE 1 10", "M", kTypeOnly},
      {"a field without a type", kNull, kNull, kNull, "RANGE 1 10", "<null>", kTypeOnly},
      {"the type is compared exactly", "Number", kNull, kNull, "RANGE 1 10", "<null>", kTypeOnly},

      // RANGE USE copies another field's segment and nothing else.
      {"USE", "NUMBER", kNull, kNull, "RANGE USE AGE", "G[0,120]", kSet},
      {"USE replaces the old segment", "DATE", kNull, "RG[1,2]M", "range use age", "RMG[0,120]", kSet},
      {"USE of a field not in the view", "NUMBER", kNull, "M", "range use nosuch", "M", kNotFound + "NOSUCH"},
      {"USE of a field without a range", "NUMBER", kNull, kNull, "RANGE USE SEX", "<null>", kNoRange + "SEX"},
      {"USE of a field with Null letters", "NUMBER", kNull, kNull, "RANGE USE NOTE", "<null>",
       kNoRange + "NOTE"},
      {"USE on a TEXT field", "TEXT", kNull, kNull, "RANGE USE AGE", "<null>", kTypeOnly},
  };
  for (const auto& c : cases) {
    ImportRun run(rowsFor(c));
    if (!c.type) testing_support::execSql(run.db, "UPDATE viewForm SET Type = NULL WHERE Name = 'WEIGHT'");
    EXPECT_EQ(run.run({"WEIGHT", c.line, "END"}, {.overwrite = true, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.lists("WEIGHT"), c.listsAfter) << c.what;
    EXPECT_EQ(run.checkcode("WEIGHT"), stored({c.comment})) << c.what;
    EXPECT_EQ(run.lists("AGE"), "MG[0,120]S") << c.what;
    EXPECT_EQ(run.lists("SEX"), "N") << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

TEST(Range, ALaterRangeReplacesTheEarlierOne) {
  ImportRun run({{.Name = "WEIGHT", .Lists = "M"}, {.Name = "AGE", .Lists = "G[0,120]"}});
  run.run({"WEIGHT", "RANGE 1 5", "NOENTER", "RANGE USE AGE", "RANGE 2 6", "END"},
          {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.lists("WEIGHT"), "MG[2,6]");
  EXPECT_EQ(run.lists("AGE"), "G[0,120]");
  EXPECT_EQ(run.log.str(), "");
}

TEST(Range, AfterUseTheFieldStaysTheTarget) {
  ImportRun run(
      {{.Name = "WEIGHT", .Checkcode = ""}, {.Name = "AGE", .Lists = "G[0,120]"}, {.Name = "NAME"}});
  run.run({"WEIGHT", "RANGE USE AGE", "MUSTENTER", "RANGE USE NOSUCH", "NOENTER", "GOTO NAME", "END"},
          {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.lists("WEIGHT"), "G[0,120]M");
  EXPECT_EQ(run.lists("AGE"), "G[0,120]");
  EXPECT_EQ(run.lists("NAME"), "<null>");
  EXPECT_EQ(
      run.checkcode("WEIGHT"),
      stored({kSet, "*MUSTENTER is a property set by checkbox on field dialog. \r\n*Property has been set.",
              kNotFound + "NOSUCH",
              "*NOENTER is now called READ ONLY and \r\n*is a property set by checkbox on field dialog. "
              "\r\n*MUSTENTER and READ ONLY properties cannot be set at the same time.",
              "GOTO NAME"}));
  EXPECT_EQ(run.checkcode("AGE"), "<null>");
  EXPECT_EQ(run.log.str(), "");
}

TEST(Range, CommentTextsPassThroughTheTranslatorWithoutTheirBlanks) {
  testing_support::MarkingTranslator marking;
  ImportRun run(
      {{.Name = "WEIGHT", .Type = "DATE"}, {.Name = "SEX", .Lists = "N"}, {.Name = "NOTE", .Type = "TEXT"}});
  run.component.SetObjLanguage(marking);
  run.run({"WEIGHT", "RANGE 01-01-80 12-31-1999", "RANGE USE NOSUCH", "RANGE USE SEX", "END", "NOTE",
           "RANGE 1 2", "END"},
          {.overwrite = true, .ignoreNew = true});
  const std::string head = "*RANGE <is a property set by checkbox on field dialog.> \r\n*";
  EXPECT_EQ(
      run.checkcode("WEIGHT"),
      stored({head + "<Property has been set.> \r\n*<Date range converted to 4 digit year format.>\r\n"
                     "*<Verify new date range is correct.>",
              head + "<RANGE Property cannot be set.> \r\n*<The USE field specified not found in view "
                     "table:> NOSUCH",
              head + "<RANGE Property cannot be set.> \r\n*<The USE field specified does not have RANGE "
                     "property set:> SEX"}));
  EXPECT_EQ(run.checkcode("NOTE"),
            stored({"*<RANGE property for use with NUMBER and DATE field types only.>"}));
}

}  // namespace
