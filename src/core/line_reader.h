// Reading CHK and include files a line at a time, without line ends (CRLF,
// LF or a lone CR, mixed as real files mix them), decoded to UTF-8. A DOS
// end-of-file byte (0x1A) ends the text. The file is read in blocks: memory
// does not grow with its length, only with its longest line.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace chkimport {

class LineReader {
 public:
  // Opens a file. `encoding` is an iconv name, or "" to choose: UTF-8 when
  // the whole file is valid UTF-8, else Windows-1252 when most of its 8-bit
  // bytes are that code page's accented letters (0xC0-0xFF) or typographic
  // quotes (0x91-0x94), else code page 850. A byte-order mark overrides
  // both: UTF-16 (little or big end first) is decoded as such, a UTF-8 mark
  // is dropped. Raises "File not found" (53), "Path/File access error" (75)
  // or, for an encoding iconv does not know, 5.
  static std::unique_ptr<LineReader> Open(const std::string& path, const std::string& encoding = "");

  // The same rule over bytes held in memory.
  static std::string Decode(std::string_view bytes, const std::string& encoding = "");
  static std::string DetectEncoding(std::string_view bytes);
  // Whether iconv can decode `encoding` ("": the choice above).
  static bool KnownEncoding(const std::string& encoding);
  // Bytes of the smallest character of `encoding`: 2 for UTF-16, 4 for
  // UTF-32, else 1 (a NUL byte is a character of its own).
  static std::size_t CodeUnit(const std::string& encoding);

  // Lines of a text already decoded.
  explicit LineReader(std::string text);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The encoding the file is read in (an iconv name: "UTF-8" when the
  // bytes are taken as they are).
  const std::string& Encoding() const { return encoding_; }

  bool AtEnd();
  // The next line; raises "Input past end of file" (62) at the end.
  std::string ReadLine();
  // The same into `line`, whose room is used again.
  void ReadLine(std::string& line);

 private:
  LineReader(const std::string& path, const std::string& encoding);
  // Decodes the next block of the file onto the text; false at the end.
  bool fill();

  std::ifstream file_;
  std::unique_ptr<char[]> block_;  // one block of the file as read
  bool fileDone_ = true;
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);  // none: the bytes are UTF-8
  std::string pending_;                                // bytes of a character cut by the block's end
  bool atStart_ = true;                                // a byte-order mark may still come
  std::size_t skip_ = 0;                               // bytes of the file's byte-order mark
  std::size_t unit_ = 1;                               // bytes of the smallest character (CodeUnit)
  std::string encoding_ = "UTF-8";
  std::string text_;  // decoded, not yet handed out
  std::size_t pos_ = 0;
};

}  // namespace chkimport
