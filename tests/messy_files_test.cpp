// CHK files as users' editors left them: each import completes, and every
// line that should be kept is in the stored code, a code table, or (when a
// line cannot be matched) in the listing pass's report.
#include <gtest/gtest.h>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

struct Messy : ::testing::Test {
  // A writing pass over raw bytes, code tables on; "" when it completed.
  std::string write(const std::string& bytes) {
    run.chk = run.dir.write("form.chk", bytes);
    return testing_support::silentImport(run.component, run.chk, run.db, "viewForm",
                                         {.overwrite = true, .ignoreNew = true, .tables = true});
  }
  // The lines the listing pass reports as naming no field.
  V unmatched(const std::string& bytes) {
    run.chk = run.dir.write("form.chk", bytes);
    testing_support::silentImport(run.component, run.chk, run.db, "viewForm",
                                  {.overwrite = true, .tables = true});
    return run.unmatched();
  }
  V table(const std::string& sql) const { return querySql(run.db, sql); }

  ImportRun run{std::vector<testing_support::ViewRow>{{.Name = "Age"}, {.Name = "Name", .Type = "TEXT"}}};
};

TEST_F(Messy, KeywordsInLowerAndMixedCase) {
  EXPECT_EQ(write("age\r\n  mustenter\r\n  before entry\r\n    x = 1\r\n  end\r\n  Goto Name\r\nend\r\n"
                  "name\r\nLegal\r\n1\r\n2\r\nEnd\r\nEnd\r\n"),
            "");
  EXPECT_EQ(run.checkcode("Age"),
            stored({"*MUSTENTER is a property set by checkbox on field dialog. ", "*Property has been set.",
                    "ASSIGN x = 1", "ENDBEFORE", "Goto Name"}));
  EXPECT_EQ(run.lists("Age"), "M");
  EXPECT_EQ(table("SELECT Name FROM codeName ORDER BY rowid"), (V{"1", "2"}));
  EXPECT_EQ(run.log.str(), "");
}

TEST_F(Messy, TrailingBlanksAndTabs) {
  EXPECT_EQ(write("AGE \r\n  LEGAL \r\n    V2 \r\n    V3\t\r\n  END    \r\nEND    \r\n"
                  "NAME\t\r\n  CODES\r\n    1\tOne\r\n    2 \t Two\r\n  END\r\n  GOTO AGE \r\nEND\r\n"),
            "");
  EXPECT_EQ(table("SELECT Age FROM codeAge ORDER BY rowid"), (V{"V2", "V3"}));
  // Words are split at blanks only; tabs are stripped from a word's ends.
  // "1<tab>One" is one word, the value; in "2 <tab> Two" the tab alone is an
  // empty word, which ends the words of the line, so the label is not read.
  EXPECT_EQ(table("SELECT Name || '|' || Name1 FROM codeName ORDER BY rowid"), (V{"1\tONE|", "2|"}));
  EXPECT_NE(run.checkcode("Name").find("GOTO AGE\r\n"), std::string::npos) << run.checkcode("Name");
  EXPECT_EQ(run.log.str(), "");
}

TEST_F(Messy, BareCarriageReturnsInsideACRLFFile) {
  EXPECT_EQ(write("AGE\r\n  X = 1\r  Y = 2\r\nEND\r\nNAME\rGOTO AGE\r\nEND\r\n"), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1", "ASSIGN Y = 2"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
}

// Curly quotes (Windows-1252 0x93 and 0x94) are text, not string
// delimiters: they arrive as UTF-8, and a quoted message of several words
// is several words.
TEST_F(Messy, TypographicQuotes) {
  EXPECT_EQ(write("AGE\r\n  HELP \x93Weight in kg\x94\r\n  IF NAME = \x93X\x94 THEN GOTO NAME ENDIF\r\n"
                  "  TYPE \x93Please check\x94 12\r\nEND\r\n"),
            "");
  const std::string code = run.checkcode("Age");
  EXPECT_NE(code.find("*HELP \u201CWeight in kg\u201D\r\n"), std::string::npos) << code;
  EXPECT_NE(code.find("IF NAME = \u201CX\u201D  THEN\r\nGOTO NAME\r\nEND\r\n"), std::string::npos) << code;
  // TYPE shows word 1 as its message: with no quote to hold them together
  // that is the first word alone.
  EXPECT_NE(code.find("DIALOG \u201CPlease "), std::string::npos) << code;
  EXPECT_EQ(code.find("check\u201D"), std::string::npos) << code;
}

// A list header needs to stand alone: "legal 2 end" is a one-line form the
// keyword table does not know, so it is stored as it stands and no table
// is made.
TEST_F(Messy, AOneLineList) {
  EXPECT_EQ(write("AGE\r\n  legal 2 end\r\n  X = 1\r\nEND\r\nNAME\r\n  LEGAL 1 2 3 END\r\nEND\r\n"), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"legal 2 end", "ASSIGN X = 1"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"LEGAL 1 2 3 END"}));
  EXPECT_EQ(table("SELECT count(*) FROM sqlite_master WHERE name LIKE 'code%'"), V{"0"});
}

// A field line matches only when the field name stands alone on it: with
// text in braces after it, the line names no field, its block's lines are
// read as field lines too, and the listing pass reports them, so the user
// sees what was not imported.
TEST_F(Messy, TextInBracesAfterAFieldName) {
  const std::string chk = "AGE {the age in years}\r\n  X = 1\r\nEND\r\nNAME\r\n  GOTO AGE\r\nEND\r\n";
  const V listed = unmatched(chk);
  EXPECT_NE(std::find(listed.begin(), listed.end(), "AGE"), listed.end()) << ::testing::PrintToString(listed);
  EXPECT_EQ(write(chk), "");
  EXPECT_EQ(run.checkcode("Age"), "<null>");
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
}

TEST_F(Messy, AFileThatEndsInsideAnOpenBlock) {
  EXPECT_EQ(write("NAME\r\n  GOTO AGE\r\nEND\r\nAGE\r\n  X = 1\r\n  AFTER ENTRY\r\n    GOTO NAME\r\n"), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1", "ENDBEFORE", "GOTO NAME"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
}

// A value list becomes a table at its END: a file that ends inside one
// keeps the list's comment but makes no table.
TEST_F(Messy, AFileThatEndsInsideAValueList) {
  EXPECT_EQ(write("AGE\r\n  GOTO NAME\r\n  LEGAL\r\n    1\r\n    2\r\n"), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"GOTO NAME", "*LEGAL is not necessary in Checkcode"}));
  EXPECT_EQ(table("SELECT count(*) FROM sqlite_master WHERE name LIKE 'code%'"), V{"0"});
}

// Unpaired ELSE and ENDIF lines are carried over as they are: every
// statement is kept, and the next field block is still found.
TEST_F(Messy, IfElseEndifThatDoNotPairUp) {
  EXPECT_EQ(
      write("AGE\r\n  IF X = 1 THEN\r\n    Y = 2\r\n  ELSE\r\n  ELSE\r\n    Y = 3\r\n  ENDIF\r\n  ENDIF\r\n"
            "  ENDIF\r\nEND\r\nNAME\r\n  IF A = 1 THEN\r\n    GOTO AGE\r\nEND\r\n"),
      "");
  EXPECT_EQ(run.checkcode("Age"),
            stored({"IF X = 1  THEN", "ASSIGN Y = 2", "ELSE", "ELSE", "ASSIGN Y = 3", "END", "END", "END"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"IF A = 1  THEN", "GOTO AGE"}));
}

// Commands of later dialects are stored unchanged, as any line the keyword
// table does not know. TYPE is known: TYPE COMMENT gets TYPE's advisory,
// which names the first two words only.
TEST_F(Messy, CommandsOfLaterDialects) {
  const std::string chk =
      "AGE\r\n  TOPOFSCREEN 2\r\n  TYPE COMMENT ALLFIELDS BLUE\r\n  MISSINGVALUE 9\r\n  LABELBLOCK\r\n"
      "  X = 1\r\nEND\r\nLABELBLOCK\r\nNAME\r\nGOTO AGE\r\nEND\r\n";
  EXPECT_EQ(write(chk), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"TOPOFSCREEN 2", "*TYPE COMMENT is not supported in Vantrel 2000",
                                          "MISSINGVALUE 9", "LABELBLOCK", "ASSIGN X = 1"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  // Between blocks, an unknown command is a field line that names no field.
  EXPECT_EQ(unmatched(chk), V{"LABELBLOCK"});
}

}  // namespace
