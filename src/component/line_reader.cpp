#include "component/line_reader.h"

#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chkimport/vb_error.h"

namespace chkimport {
namespace {

bool isValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n;
    char32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b >> 5) == 0x6) {
      n = 2;
      cp = b & 0x1Fu;
    } else if ((b >> 4) == 0xE) {
      n = 3;
      cp = b & 0x0Fu;
    } else if ((b >> 3) == 0x1E) {
      n = 4;
      cp = b & 0x07u;
    } else {
      return false;
    }
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c >> 6) != 0x2) return false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += n;
  }
  return true;
}

std::string convert(std::string_view bytes, const std::string& from) {
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) Raise(5, "Unknown text encoding '" + from + "'");
  std::string out;
  out.resize(bytes.size() * 3 + 16);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
    } else {
      // A byte the encoding does not have: keep going with U+FFFD.
      const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
      if (outLeft < 3) {
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
      }
      *outPtr++ = '\xEF';
      *outPtr++ = '\xBF';
      *outPtr++ = '\xBD';
      outLeft -= 3;
      ++in;
      --inLeft;
    }
  }
  out.resize(static_cast<std::size_t>(outPtr - out.data()));
  iconv_close(cd);
  return out;
}

}  // namespace

std::string LineReader::DetectEncoding(std::string_view bytes) {
  if (isValidUtf8(bytes)) return "UTF-8";
  std::size_t high = 0, windows = 0;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) continue;
    ++high;
    if (b >= 0xC0 || (b >= 0x91 && b <= 0x94)) ++windows;
  }
  return windows * 2 > high ? "WINDOWS-1252" : "CP850";
}

std::string LineReader::Decode(std::string_view bytes, const std::string& encoding) {
  if (const auto eof = bytes.find('\x1A'); eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  const std::string chosen = encoding.empty() ? DetectEncoding(bytes) : encoding;
  if (chosen == "UTF-8" && encoding.empty()) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  std::string text = convert(bytes, chosen);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return text;
}

std::unique_ptr<LineReader> LineReader::Open(const std::string& path, const std::string& encoding) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) Raise(53, "File not found: " + path);
  std::ifstream in(path, std::ios::binary);
  if (!in) Raise(75, "Path/File access error: " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) Raise(75, "Path/File access error: " + path);
  return std::make_unique<LineReader>(Decode(bytes.str(), encoding));
}

std::string LineReader::ReadLine() {
  if (AtEnd()) Raise(62, "Input past end of file");
  const std::size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string::npos) {
    std::string line = text_.substr(pos_);
    pos_ = text_.size();
    return line;
  }
  std::string line = text_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  return line;
}

}  // namespace chkimport
