// Splitting CHK lines into words: separators, quotes, the cut before a later
// IF/THEN/ELSE/ENDIF, the leading THEN, and Yes/No literals.
#include <gtest/gtest.h>

#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "import_harness.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/extract_words.h"

namespace chkimport {
namespace {

using testing_support::ImportRun;

struct Words : ::testing::Test {
  Words() {
    st.host.errorLog = &log;
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
    st.objLanguage = &english;
    st.blnTrapErrors = true;
    db = dao::DBEngine::Workspaces(0).OpenDatabase(view.db);
    rs = db->OpenRecordset("Select * from viewForm where Pagenumber >= 0");
  }

  std::vector<std::string> words() const {
    std::vector<std::string> out;
    for (int i = 0; i <= 100 && !st.strWords(i).empty(); ++i) out.push_back(st.strWords(i));
    return out;
  }

  struct Split {
    std::vector<std::string> words;
    std::string line, rest;
  };
  Split split(const std::string& text, const std::string& restBefore = "") {
    std::string line = text, rest = restBefore;
    ExtractWords(st, *rs, line, rest);
    return {words(), line, rest};
  }

  ImportRun view{{{.Name = "Sex", .Type = "YES/NO"}, {.Name = "Age"}, {.Name = "Smoker", .Type = "YES/NO"}}};
  ImportState st;
  IdentityTranslator english;
  std::ostringstream log;
  std::unique_ptr<dao::Database> db;
  std::unique_ptr<dao::Recordset> rs;
};

using V = std::vector<std::string>;

TEST_F(Words, SeparatorsAndQuotes) {
  struct Case {
    const char* line;
    V words;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"A=B", {"A", "=", "B"}},
      {"A =B", {"A", "=", "B"}},
      {"A= B", {"A", "=", "B"}},
      {"A >= B", {"A", ">", "=", "B"}},
      {"A<>B", {"A<>B"}},
      {"a = b + 1", {"A", "=", "B", "+", "1"}},
      {"\"Hello World\" x", {"\"HELLO WORLD\"", "X"}},
      {"HELP \"open quote and more", {"HELP", "\"OPEN QUOTE AND MORE"}},
      {"* any text", {"*"}},
      {"*note x", {"*NOTE"}},
      {"\tGOTO\t  NEXT", {"GOTO", "NEXT"}},
      {"THEN", {"THEN"}},
      {"ELSE IF X", {"ELSE"}},
  };
  for (const auto& c : cases) EXPECT_EQ(split(c.line).words, c.words) << c.line;
}

TEST_F(Words, ALineIsCutBeforeALaterKeyword) {
  auto first = split("IF A = 1 THEN B = 2");
  EXPECT_EQ(first.words, (V{"IF", "A", "=", "1"}));
  EXPECT_EQ(first.line, "IF A = 1 ");
  EXPECT_EQ(first.rest, "THEN B = 2");

  auto second = split(first.rest);
  EXPECT_EQ(second.words, (V{"B", "=", "2"}));
  EXPECT_EQ(second.line, "B = 2");

  auto lower = split("if a = 1 then b");
  EXPECT_EQ(lower.line, "if a = 1 ");
  EXPECT_EQ(lower.rest, "THEN B");  // the rest comes back upper-cased

  auto keywordFirst = split("ELSE IF X");
  EXPECT_EQ(keywordFirst.line, "ELSE ");
  EXPECT_EQ(keywordFirst.rest, "IF X");

  // Without a cut, the rest is left as the caller had it.
  EXPECT_EQ(split("GOTO AGE", "kept").rest, "kept");
}

TEST_F(Words, ALineKeepsItsFirst101Words) {
  std::string line;
  for (int i = 0; i < 120; ++i) line += "W" + std::to_string(i) + " ";
  const auto w = split(line).words;
  ASSERT_EQ(w.size(), 101u);
  EXPECT_EQ(w.back(), "W100");
}

TEST_F(Words, YesNoLiteralsOfYesNoFieldsAreRewritten) {
  auto example = split("IF SEX = \"Y\" THEN GOTO 5");
  EXPECT_EQ(example.line, "IF SEX = (+) ");
  EXPECT_EQ(example.rest, "THEN GOTO 5");
  EXPECT_EQ(example.words, (V{"IF", "SEX", "=", "\"Y\""}));

  struct Case {
    const char* line;
    const char* rewritten;
  };
  const std::vector<Case> cases = {
      {"SMOKER = \"N\"", "SMOKER = (-)"},
      {"SMOKER = .", "SMOKER = (.)"},
      {"smoker = \"y\"", "smoker = (+)"},
      {"AGE = \"Y\"", "AGE = \"Y\""},                                  // not a YES/NO field
      {"NOSUCH = \"Y\"", "NOSUCH = \"Y\""},                            // no row at all
      {"SMOKER = \"Y N\"", "SMOKER = \"Y N\""},                        // blanks inside the quotes
      {"SMOKER <> \"Y\"", "SMOKER <> \"Y\""},                          // not compared with "="
      {"SMOKER = \"Y\" OR SEX = \"N\"", "SMOKER = (+) OR SEX = (-)"},  // found after the first rewrite
  };
  for (const auto& c : cases) EXPECT_EQ(split(c.line).line, c.rewritten) << c.line;
}

TEST_F(Words, TheCurrentFieldsRowStaysCurrentAfterALookUp) {
  rs->MoveFirst();
  rs->MoveNext();  // Age
  st.strBookmark = rs->Bookmark();
  EXPECT_TRUE(VarIsYN(st, *rs, "SEX"));
  EXPECT_EQ(rs->Field("Name").ToString(), "Age");
  EXPECT_FALSE(VarIsYN(st, *rs, "AGE"));
  EXPECT_FALSE(VarIsYN(st, *rs, "sex"));  // names are compared upper-cased
  EXPECT_EQ(st.strBookmark, rs->Bookmark());
}

TEST(VbStrings, PositionsAndCase) {
  EXPECT_EQ(InStr(1, "ABCABC", "C"), 3);
  EXPECT_EQ(InStr(4, "ABCABC", "C"), 6);
  EXPECT_EQ(InStr(1, "ABC", "X"), 0);
  EXPECT_EQ(InStr(2, "ABC", ""), 2);
  EXPECT_EQ(InStr(1, "", ""), 0);
  EXPECT_EQ(InStrNoCase(1, "if A then", "THEN"), 6);
  EXPECT_EQ(UCase("søren æble"), "SØREN ÆBLE");
  // Letters of three and four bytes come out whole.
  EXPECT_EQ(UCase("a€b😀c"), "A€B😀C");
  // Only a to z change among plain ASCII, in plain lines and before a
  // letter that is not ASCII alike.
  const std::string ascii = "@AZ[`az{~ 09\t\x7f";
  EXPECT_EQ(UCase(ascii), "@AZ[`AZ{~ 09\t\x7f");
  EXPECT_EQ(UCase(ascii + "ø"), "@AZ[`AZ{~ 09\t\x7fØ");
  EXPECT_EQ(UCase(""), "");
  EXPECT_EQ(Trim("  \tx  "), "\tx");
  EXPECT_EQ(Mid("THEN X", 6), "X");
  EXPECT_EQ(Mid("THEN", 6), "");
  EXPECT_EQ(Right("ABC", 5), "ABC");
}

}  // namespace
}  // namespace chkimport
