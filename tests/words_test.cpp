// Reading CHK files (line ends of every kind, the DOS end-of-file byte, the
// choice of text encoding) and splitting their lines into words: separators,
// quotes, the cut before a later IF/THEN/ELSE/ENDIF, the leading THEN, and
// Yes/No literals.
#include <gtest/gtest.h>

#include "chkimport/vb_error.h"
#include "core/import_state.h"
#include "core/line_reader.h"
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
  const struct {
    const char* line;
    V words;
  } cases[] = {
      {"", {}},
      {"A=B", {"A", "=", "B"}},
      // Curly quotes are text, not string delimiters.
      {"HELP \u201CWeight in kg\u201D", {"HELP", "\u201CWEIGHT", "IN", "KG\u201D"}},
      {"A<>B", {"A<>B"}},
      {"a = b + 1", {"A", "=", "B", "+", "1"}},
      {"\"Hello World\" x", {"\"HELLO WORLD\"", "X"}},
      {"HELP \"open quote and more", {"HELP", "\"OPEN QUOTE AND MORE"}},
      {"*note x", {"*NOTE"}},
      {"\tGOTO\t  NEXT", {"GOTO", "NEXT"}},
      {"THEN", {"THEN"}},
  };
  for (const auto& c : cases) EXPECT_EQ(split(c.line).words, c.words) << c.line;
}

// The words, the line as kept, and the rest handed back for the next round,
// upper-cased; a leading THEN is dropped; a Yes/No literal is rewritten in
// the line but not in the words.
TEST_F(Words, ALineIsCutBeforeALaterKeyword) {
  const struct {
    const char* text;
    V words;
    std::string line, rest;
  } cases[] = {
      {"IF A = 1 THEN B = 2", {"IF", "A", "=", "1"}, "IF A = 1 ", "THEN B = 2"},
      {"THEN B = 2", {"B", "=", "2"}, "B = 2", ""},
      // After THEN the word is cut from the line as it stands and taken from
      // its upper-cased copy, which each overlong "A" (two bytes) shortens.
      {"THEN abcdefghijklmnop\xC1\x81\xC1\x81\xC1\x81\xC1\x81",
       {"ABCDEFGHIJKLMNOPAAAA"},
       "abcdefghijklmnop\xC1\x81\xC1\x81\xC1\x81\xC1\x81",
       ""},
      {"if a = 1 then b", {"IF", "A", "=", "1"}, "if a = 1 ", "THEN B"},
      {"ELSE IF X", {"ELSE"}, "ELSE ", "IF X"},
      {"IF SEX = \"Y\" THEN GOTO 5", {"IF", "SEX", "=", "\"Y\""}, "IF SEX = (+) ", "THEN GOTO 5"},
  };
  for (const auto& c : cases) {
    const Split got = split(c.text);
    EXPECT_EQ(got.words, c.words) << c.text;
    EXPECT_EQ(got.line, c.line) << c.text;
    EXPECT_EQ(got.rest, c.rest) << c.text;
  }
  // Without a cut, the rest is left as the caller had it.
  EXPECT_EQ(split("GOTO AGE", "kept").rest, "kept");
}

TEST_F(Words, YesNoLiteralsOfYesNoFieldsAreRewritten) {
  const struct {
    const char* line;
    const char* rewritten;
  } cases[] = {
      {"SMOKER = \"N\"", "SMOKER = (-)"},
      {"SMOKER = .", "SMOKER = (.)"},
      {"smoker = \"y\"", "smoker = (+)"},
      {"AGE = \"Y\"", "AGE = \"Y\""},                                  // not a YES/NO field
      {"NOSUCH = \"Y\"", "NOSUCH = \"Y\""},                            // no row at all
      {"SMOKER = \"Y N\"", "SMOKER = \"Y N\""},                        // blanks inside the quotes
      {"SMOKER <> \"Y\"", "SMOKER <> \"Y\""},                          // not compared with "="
      {"SMOKER = \"Y\" OR SEX = \"N\"", "SMOKER = (+) OR SEX = (-)"},  // found after the first rewrite
      // and after one that made the line longer, or shorter
      {"SMOKER = . OR SEX = \"N\"", "SMOKER = (.) OR SEX = (-)"},
      {"SMOKER   =   \"Y\"   OR SEX = .", "SMOKER   = (+) OR SEX = (.)"},
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
  EXPECT_EQ(InStr(2, "ABC", ""), 2);
  EXPECT_EQ(InStr(1, "", ""), 0);
  EXPECT_EQ(UCase("søren æble"), "SØREN ÆBLE");
  // Letters of three and four bytes come out whole.
  EXPECT_EQ(UCase("a€b😀c"), "A€B😀C");
  // Only a to z change among plain ASCII, in plain lines and before a
  // letter that is not ASCII alike.
  const std::string ascii = "@AZ[`az{~ 09\t\x7f";
  EXPECT_EQ(UCase(ascii), "@AZ[`AZ{~ 09\t\x7f");
  EXPECT_EQ(UCase(ascii + "ø"), "@AZ[`AZ{~ 09\t\x7fØ");
  EXPECT_EQ(Trim("  \tx  "), "\tx");
  for (const char* line : {"", "   ", "x", "  a b  ", "a  ", "  a", " \t "}) {
    std::string trimmed = line;
    TrimInPlace(trimmed);
    EXPECT_EQ(trimmed, Trim(line)) << "'" << line << "'";
  }
  EXPECT_EQ(Mid("THEN X", 6), "X");
  EXPECT_EQ(Mid("THEN", 6), "");
  EXPECT_EQ(Right("ABC", 5), "ABC");
}

std::vector<std::string> lines(const std::string& bytes, const std::string& encoding = "") {
  LineReader reader(LineReader::Decode(bytes, encoding));
  std::vector<std::string> out;
  while (!reader.AtEnd()) out.push_back(reader.ReadLine());
  return out;
}

TEST(LineReader, EveryKindOfLineEnd) {
  const struct {
    const char* what;
    std::string bytes;
    V expected;
  } cases[] = {
      {"LF", "A\nB\n", {"A", "B"}},
      {"lone CR", "A\rB\r", {"A", "B"}},
      {"mixed, last line unended", "A\r\nB\rC\nD", {"A", "B", "C", "D"}},
      {"empty lines kept", "A\r\n\r\n\nB", {"A", "", "", "B"}},
      {"CR CR LF is an empty line between", "A\r\r\nB", {"A", "", "B"}},
      {"empty file", "", {}},
      {"end-of-file byte ends the text", "A\r\nB\r\n\x1A junk\r\n", {"A", "B"}},
      {"UTF-8 mark before code page 850", "\xEF\xBB\xBF\x9B\r\n", {"\u00F8"}},
      {"UTF-16LE by its mark",
       std::string("\xFF\xFE"
                   "A\0\r\0\n\0\x1A\x01\x1A\0B\0",
                   14),
       {"A", "\u011A"}},
      {"UTF-16BE by its mark", std::string("\xFE\xFF\0A\0\r\0\n\x01\x1A", 10), {"A", "\u011A"}},
  };
  for (const auto& c : cases) EXPECT_EQ(lines(c.bytes), c.expected) << c.what;

  LineReader reader("");
  EXPECT_EQ(testing_support::ErrorOf([&] { reader.ReadLine(); }), 62);
}

TEST(LineReader, TheEncodingIsChosenByTheBytes) {
  const struct {
    const char* what;
    std::string bytes, encoding, text;
  } cases[] = {
      {"plain ASCII", "AGE", "UTF-8", "AGE"},
      {"UTF-8", "S\xC3\xB8ren", "UTF-8", "Søren"},
      {"Windows-1252 letter", "\xD8stdanmark", "WINDOWS-1252", "Østdanmark"},
      {"Windows-1252 quotes", "\x93quoted\x94", "WINDOWS-1252", "“quoted”"},
      {"code page 850 letters", "\x9Bstdanmark s\x9Bren \x86", "CP850", "østdanmark søren å"},
      {"an overlong UTF-8 form is not UTF-8", "\xC0\xAF\xE9", "WINDOWS-1252", "À¯é"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineReader::DetectEncoding(c.bytes), c.encoding) << c.what;
    EXPECT_EQ(LineReader::Decode(c.bytes), c.text) << c.what;
  }
  EXPECT_EQ(LineReader::Decode("\x9B", "CP850"), "ø");
  EXPECT_EQ(LineReader::Decode("\xD8", "ISO-8859-1"), "Ø");
  EXPECT_THROW(LineReader::Decode("x", "NO-SUCH-ENCODING"), VbError);
}

// Lines read from a file in blocks are the lines of the whole text, wherever
// a block ends: in a CRLF, in a character of several bytes, or at 0x1A.
TEST(LineReader, BlocksOfAFileJoinSeamlessly) {
  testing_support::TempDir dir;
  std::string bytes;
  std::string filler(65535 - 2, 'x');
  bytes += filler + "\r\n";                 // the CRLF straddles the first block's end
  bytes += std::string(65534, 'y') + "\r";  // a lone CR just before the second block's end
  bytes += "\n" + std::string(70000, 'z') + "\r\n";
  for (int i = 0; i < 30000; ++i) bytes += "LINE " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  struct Case {
    const char* what;
    std::string bytes, encoding;
  };
  // 0xE6 is a Danish letter in Windows-1252; in UTF-16 every character is
  // two bytes and some are cut by a block's end.
  std::string utf16;
  for (const char c : bytes + "\xC3\xA6") (utf16 += c) += '\0';
  const std::vector<Case> cases = {
      {"UTF-8", bytes + "\xC3\xA6 last", ""},
      {"Windows-1252", bytes + "\xE6 last\xE6\xE6", ""},
      {"named encoding", utf16, "UTF-16LE"},
      {"byte-order mark", "\xFF\xFE" + utf16 + std::string("\x1A\0q\0", 4), ""},
      {"end-of-file byte", bytes + "end\x1A" + std::string(100000, 'q'), ""},
  };
  for (const auto& c : cases) {
    const std::string file = dir.write("big.chk", c.bytes);
    auto reader = LineReader::Open(file, c.encoding);
    LineReader whole(LineReader::Decode(c.bytes, c.encoding));
    std::size_t n = 0;
    while (!whole.AtEnd()) {
      ASSERT_FALSE(reader->AtEnd()) << c.what << " line " << n;
      ASSERT_EQ(reader->ReadLine(), whole.ReadLine()) << c.what << " line " << n;
      ++n;
    }
    EXPECT_TRUE(reader->AtEnd()) << c.what;
    EXPECT_GT(n, 30000u) << c.what;
  }
}

}  // namespace
}  // namespace chkimport
