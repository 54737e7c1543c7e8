// Reading CHK files: line ends of every kind, the DOS end-of-file byte, and
// the choice of text encoding.
#include <gtest/gtest.h>

#include <filesystem>

#include "chkimport/vb_error.h"
#include "core/line_reader.h"
#include "test_support.h"

namespace chkimport {
namespace {

std::vector<std::string> lines(const std::string& bytes, const std::string& encoding = "") {
  LineReader reader(LineReader::Decode(bytes, encoding));
  std::vector<std::string> out;
  while (!reader.AtEnd()) out.push_back(reader.ReadLine());
  return out;
}

using V = std::vector<std::string>;

TEST(LineReader, EveryKindOfLineEnd) {
  struct Case {
    const char* what;
    std::string bytes;
    V expected;
  };
  const std::vector<Case> cases = {
      {"CRLF", "A\r\nB\r\n", {"A", "B"}},
      {"LF", "A\nB\n", {"A", "B"}},
      {"lone CR", "A\rB\r", {"A", "B"}},
      {"mixed, last line unended", "A\r\nB\rC\nD", {"A", "B", "C", "D"}},
      {"empty lines kept", "A\r\n\r\n\nB", {"A", "", "", "B"}},
      {"CR CR LF is an empty line between", "A\r\r\nB", {"A", "", "B"}},
      {"empty file", "", {}},
      {"end-of-file byte ends the text", "A\r\nB\r\n\x1A junk\r\n", {"A", "B"}},
      {"byte-order mark dropped",
       "\xEF\xBB\xBF"
       "A\r\n",
       {"A"}},
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
  struct Case {
    const char* what;
    std::string bytes, encoding, text;
  };
  const std::vector<Case> cases = {
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

TEST(LineReader, RealFilesFromTheField) {
  // Bare CRs inside a CRLF file and a Windows-1252 letter in a label.
  const std::string path = CHKIMPORT_SOURCE_DIR "/../shared/realworld/dk-documentation/STUDENT.chk";
  REQUIRE_REAL_FILES(path);
  auto reader = LineReader::Open(path);
  std::vector<std::string> all;
  while (!reader->AtEnd()) all.push_back(reader->ReadLine());
  bool found = false;
  for (const auto& line : all) found = found || line.find("Østdamnark") != std::string::npos;
  EXPECT_TRUE(found);
  for (const auto& line : all) EXPECT_EQ(line.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace chkimport

namespace chkimport {
namespace {

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
