#include "core/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "chkimport/vb_error.h"

namespace chkimport {
namespace {

constexpr std::size_t kBlock = 1 << 16;
constexpr char kEndOfFile = '\x1A';

// Checks UTF-8 across blocks and counts the bytes that tell the code pages
// apart.
class EncodingScan {
 public:
  void add(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
      // Runs of plain ASCII, eight bytes at a time, change nothing.
      if (need_ == 0 || !valid_) {
        std::uint64_t eight;
        while (end - p >= 8 && (std::memcpy(&eight, p, 8), (eight & 0x8080808080808080ull) == 0)) p += 8;
        if (p == end) break;
      }
      const auto b = static_cast<unsigned char>(*p++);
      if (b >= 0x80) {
        ++high_;
        if (b >= 0xC0 || (b >= 0x91 && b <= 0x94)) ++windows_;
      }
      if (valid_) step(b);
    }
  }

  std::string encoding() const {
    if (valid_ && need_ == 0) return "UTF-8";
    return windows_ * 2 > high_ ? "WINDOWS-1252" : "CP850";
  }

 private:
  void step(unsigned char b) {
    if (need_ == 0) {
      if (b < 0x80) return;
      if ((b >> 5) == 0x6) {
        need_ = 1;
        cp_ = b & 0x1Fu;
        min_ = 0x80;
      } else if ((b >> 4) == 0xE) {
        need_ = 2;
        cp_ = b & 0x0Fu;
        min_ = 0x800;
      } else if ((b >> 3) == 0x1E) {
        need_ = 3;
        cp_ = b & 0x07u;
        min_ = 0x10000;
      } else {
        valid_ = false;
      }
      return;
    }
    if ((b >> 6) != 0x2) {
      valid_ = false;
      return;
    }
    cp_ = (cp_ << 6) | (b & 0x3Fu);
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (--need_ == 0 && (cp_ < min_ || cp_ > 0x10FFFF || (cp_ >= 0xD800 && cp_ <= 0xDFFF))) valid_ = false;
  }

  bool valid_ = true;
  int need_ = 0;
  char32_t cp_ = 0, min_ = 0;
  std::size_t high_ = 0, windows_ = 0;
};

iconv_t openConverter(const std::string& from) {
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) Raise(5, "Unknown text encoding '" + from + "'");
  return cd;
}

// A byte-order mark names the encoding, whatever the caller asked for: the
// UTF-8 mark is dropped and the text read as it would be without it; UTF-16
// is decoded two bytes at a time.
struct ByteOrderMark {
  std::size_t size = 0;
  const char* encoding = nullptr;  // UTF-16 only
};

ByteOrderMark byteOrderMark(std::string_view start) {
  if (start.starts_with("\xEF\xBB\xBF")) return {3, nullptr};
  if (start.starts_with("\xFF\xFE")) return {2, "UTF-16LE"};
  if (start.starts_with("\xFE\xFF")) return {2, "UTF-16BE"};
  return {};
}

// Converts `in` onto `out`. A character the encoding does not have becomes
// U+FFFD (`unit` bytes are passed over); a character cut at the end of `in`
// is left in `in` unless `last`.
void convert(iconv_t cd, std::string& in, std::string& out, bool last, std::size_t unit = 1) {
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  while (inLeft > 0) {
    const std::size_t used = out.size();
    out.resize(used + inLeft * 4 + 16);
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.resize(static_cast<std::size_t>(outPtr - out.data()));
    if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    if (error == EINVAL && !last) break;
    out += "\xEF\xBF\xBD";
    const std::size_t skip = std::min(unit, inLeft);
    inPtr += skip;
    inLeft -= skip;
  }
  in.erase(0, in.size() - inLeft);
}

}  // namespace

std::string LineReader::DetectEncoding(std::string_view bytes) {
  const ByteOrderMark bom = byteOrderMark(bytes);
  if (bom.encoding) return bom.encoding;
  bytes.remove_prefix(bom.size);
  if (const auto eof = bytes.find(kEndOfFile); eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  EncodingScan scan;
  scan.add(bytes);
  return scan.encoding();
}

std::string LineReader::Decode(std::string_view bytes, const std::string& encoding) {
  if (!KnownEncoding(encoding)) Raise(5, "Unknown text encoding '" + encoding + "'");
  const ByteOrderMark bom = byteOrderMark(bytes);
  bytes.remove_prefix(bom.size);
  const std::string named = bom.encoding ? bom.encoding : encoding;
  const std::size_t unit = CodeUnit(named);
  if (const auto eof = unit == 1 ? bytes.find(kEndOfFile) : std::string_view::npos;
      eof != std::string_view::npos)
    bytes = bytes.substr(0, eof);
  const std::string chosen = named.empty() ? DetectEncoding(bytes) : named;
  std::string text;
  if (named.empty() && chosen == "UTF-8") {
    text.assign(bytes);
  } else {
    iconv_t cd = openConverter(chosen);
    std::string in(bytes);
    convert(cd, in, text, true, unit);
    iconv_close(cd);
  }
  if (const auto eof = unit > 1 ? text.find(kEndOfFile) : std::string::npos; eof != std::string::npos)
    text.resize(eof);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return text;
}

std::size_t LineReader::CodeUnit(const std::string& encoding) {
  if (encoding.empty()) return 1;
  iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return 1;
  // Four NUL bytes are four characters in a code page, two in UTF-16, one in UTF-32.
  std::string in(4, '\0'), out;
  convert(cd, in, out, true);
  iconv_close(cd);
  return out.size() == 2 ? 2 : out.size() == 1 ? 4 : 1;
}

bool LineReader::KnownEncoding(const std::string& encoding) {
  if (encoding.empty()) return true;
  iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

LineReader::LineReader(std::string text) : text_(std::move(text)) {}

LineReader::LineReader(const std::string& path, const std::string& encoding) {
  std::ifstream scanFile(path, std::ios::binary);
  if (!scanFile) Raise(75, "Path/File access error: " + path);
  block_.reset(new char[kBlock]);
  scanFile.read(block_.get(), 3);
  const ByteOrderMark bom =
      byteOrderMark(std::string_view(block_.get(), static_cast<std::size_t>(scanFile.gcount())));
  skip_ = bom.size;
  std::string chosen = encoding;
  if (bom.encoding) {
    if (!KnownEncoding(encoding)) Raise(5, "Unknown text encoding '" + encoding + "'");
    chosen = bom.encoding;
    unit_ = 2;
    converter_ = openConverter(chosen);
  } else if (chosen.empty()) {
    // A first reading decides the encoding; the second one decodes.
    scanFile.clear();
    scanFile.seekg(static_cast<std::streamoff>(skip_));
    EncodingScan scan;
    while (scanFile) {
      scanFile.read(block_.get(), static_cast<std::streamsize>(kBlock));
      std::string_view got(block_.get(), static_cast<std::size_t>(scanFile.gcount()));
      const auto eof = got.find(kEndOfFile);
      scan.add(got.substr(0, eof));
      if (eof != std::string_view::npos) break;
    }
    if (scanFile.bad()) Raise(75, "Path/File access error: " + path);
    chosen = scan.encoding();
    if (chosen != "UTF-8") converter_ = openConverter(chosen);
  } else {
    converter_ = openConverter(chosen);
    unit_ = CodeUnit(chosen);
  }
  if (!chosen.empty()) encoding_ = chosen;
  file_.open(path, std::ios::binary);
  if (!file_ || !file_.seekg(static_cast<std::streamoff>(skip_)))
    Raise(75, "Path/File access error: " + path);
  fileDone_ = false;
}

LineReader::~LineReader() {
  if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
}

std::unique_ptr<LineReader> LineReader::Open(const std::string& path, const std::string& encoding) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec))
    Raise(vberr::FileNotFound, "File not found: " + path);
  return std::unique_ptr<LineReader>(new LineReader(path, encoding));
}

bool LineReader::fill() {
  if (fileDone_) return false;
  if (!block_) block_.reset(new char[kBlock]);
  file_.read(block_.get(), static_cast<std::streamsize>(kBlock));
  if (file_.bad()) Raise(75, "Path/File access error");
  std::string_view block(block_.get(), static_cast<std::size_t>(file_.gcount()));
  // In UTF-16 and UTF-32 the byte 0x1A is part of many characters: the character ends the text.
  const bool wide = unit_ > 1;
  if (const auto eof = wide ? std::string_view::npos : block.find(kEndOfFile);
      eof != std::string_view::npos) {
    block = block.substr(0, eof);
    fileDone_ = true;
  }
  if (block.empty() || file_.eof()) fileDone_ = true;

  // What was handed out goes; the rest moves to the front.
  text_.erase(0, pos_);
  pos_ = 0;
  const std::size_t before = text_.size();
  if (converter_ == reinterpret_cast<iconv_t>(-1)) {
    text_ += block;
  } else {
    pending_ += block;
    convert(converter_, pending_, text_, fileDone_, unit_);
  }
  if (const auto eof = wide ? text_.find(kEndOfFile, before) : std::string::npos; eof != std::string::npos) {
    text_.resize(eof);
    fileDone_ = true;
  }
  if (atStart_ && text_.size() >= 3) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) text_.erase(0, 3);
    atStart_ = false;
  }
  if (fileDone_ && atStart_) atStart_ = false;
  return text_.size() > before || !fileDone_;
}

bool LineReader::AtEnd() {
  while (pos_ >= text_.size()) {
    if (!fill()) return true;
  }
  return false;
}

namespace {

// Where the line that starts at `from` ends: its first CR or LF.
std::size_t lineEnd(const std::string& text, std::size_t from) {
  const char* const begin = text.data() + from;
  const std::size_t size = text.size() - from;
  const void* lf = std::memchr(begin, '\n', size);
  const std::size_t upTo = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : size;
  const void* cr = std::memchr(begin, '\r', upTo);
  if (cr) return from + static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
  return lf ? from + upTo : std::string::npos;
}

}  // namespace

std::string LineReader::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

void LineReader::ReadLine(std::string& line) {
  if (AtEnd()) Raise(62, "Input past end of file");
  std::size_t end;
  // A CR at the end of what is decoded may be the first half of a CRLF.
  for (;;) {
    end = lineEnd(text_, pos_);
    if (end != std::string::npos && end + 1 != text_.size()) break;
    if (!fill()) {
      end = lineEnd(text_, pos_);  // the text may have moved
      break;
    }
  }
  if (end == std::string::npos) {
    line.assign(text_, pos_);
    pos_ = text_.size();
    return;
  }
  line.assign(text_, pos_, end - pos_);
  pos_ = end + 1;
  if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
}

}  // namespace chkimport
