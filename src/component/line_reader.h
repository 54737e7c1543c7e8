// Reading CHK and include files: the whole file decoded to UTF-8 once, then
// handed out a line at a time without line ends (CRLF, LF or a lone CR, mixed
// as real files mix them). A DOS end-of-file byte (0x1A) ends the text.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace chkimport {

class LineReader {
 public:
  // Opens and decodes a file. `encoding` is an iconv name, or "" to choose:
  // UTF-8 when the whole file is valid UTF-8, else Windows-1252 when most of
  // its 8-bit bytes are that code page's accented letters (0xC0-0xFF) or
  // typographic quotes (0x91-0x94), else code page 850. Raises "File not
  // found" (53) or "Path/File access error" (75).
  static std::unique_ptr<LineReader> Open(const std::string& path, const std::string& encoding = "");

  // Decodes bytes by the same rule.
  static std::string Decode(std::string_view bytes, const std::string& encoding = "");
  // The encoding the rule chooses for these bytes.
  static std::string DetectEncoding(std::string_view bytes);

  explicit LineReader(std::string text) : text_(std::move(text)) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  // The next line; raises "Input past end of file" (62) at the end.
  std::string ReadLine();

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

}  // namespace chkimport
