#include "services/vb_strings.h"

#include <cstdint>
#include <cstring>

#include <cwctype>

namespace chkimport {
namespace {

// Decodes one UTF-8 sequence at `i`; returns its length (1 for a stray byte,
// whose value is then returned as is).
std::size_t decode(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) {
    cp = b;
    return 1;
  }
  cp = n == 1 ? b : n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c >> 6) != 0x2) {
      cp = b;
      return 1;
    }
    cp = (cp << 6) | (c & 0x3Fu);
  }
  return n;
}

std::size_t utf8Length(char32_t cp) {
  return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

void encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t upper(char32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
  // Latin-1 letters, the ones old forms are full of, without the locale.
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
  const auto mapped = static_cast<char32_t>(std::towupper(static_cast<wint_t>(cp)));
  return utf8Length(mapped) == utf8Length(cp) ? mapped : cp;
}

}  // namespace

void TrimInPlace(std::string& s) {
  // Every line of a CHK file passes here, most of them indented.
  char* const data = s.data();
  std::size_t first = 0, end = s.size();
  while (end > 0 && data[end - 1] == ' ') --end;
  while (first < end && data[first] == ' ') ++first;
  if (first > 0) std::memmove(data, data + first, end - first);
  s.resize(end - first);
}

std::string RTrim(std::string_view s) {
  const auto last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string Trim(std::string_view s) {
  return std::string(TrimView(s));
}

void UCaseInto(std::string& out, std::string_view s) {
  out.resize(s.size());
  // Plain ASCII, the usual case, eight bytes at a time: in each byte below
  // 0x80, adding 0x1F sets the top bit from 'a' up and adding 5 from past 'z'
  // up, with no carry into the next byte; where the first is set and not the
  // second, the case bit 0x20 is flipped.
  constexpr std::uint64_t kEach = 0x0101010101010101u;
  constexpr std::uint64_t kTop = 0x80 * kEach;
  const char* from = s.data();
  char* to = out.data();
  std::size_t done = 0;
  auto eight = [&](std::size_t at) {
    std::uint64_t x;
    std::memcpy(&x, from + at, 8);
    if (x & kTop) return false;
    const std::uint64_t lower = (x + (0x80 - 'a') * kEach) & ~(x + (0x80 - 'z' - 1) * kEach) & kTop;
    x ^= lower >> 2;
    std::memcpy(to + at, &x, 8);
    return true;
  };
  for (; done + 8 <= s.size(); done += 8)
    if (!eight(done)) break;
  // The last bytes as the last eight, some of them done twice to the same
  // effect.
  if (done < s.size() && done + 8 > s.size() && s.size() >= 8 && eight(s.size() - 8)) return;
  for (; done < s.size(); ++done) {
    const auto b = static_cast<unsigned char>(from[done]);
    if (b >= 0x80) break;
    to[done] = static_cast<char>((b >= 'a' && b <= 'z') ? b - 0x20 : b);
  }
  if (done == s.size()) return;
  // The first other byte hands the rest to the full rule.
  std::size_t i = done;
  for (; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0x80) break;
    out[i] = static_cast<char>((b >= 'a' && b <= 'z') ? b - 0x20 : b);
  }
  out.resize(i);
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out += static_cast<char>((b >= 'a' && b <= 'z') ? b - 0x20 : b);
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t n = decode(s, i, cp);
    if (n == 1)
      out += s[i];
    else
      encode(upper(cp), out);
    i += n;
  }
}

std::string AsciiLower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::string UCase(std::string_view s) {
  std::string out;
  UCaseInto(out, s);
  return out;
}

long InStr(long start, std::string_view s, std::string_view what) {
  if (start < 1) start = 1;
  if (s.empty() || static_cast<std::size_t>(start) > s.size()) return 0;
  if (what.empty()) return start;
  const auto at = s.find(what, static_cast<std::size_t>(start - 1));
  return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

long InStrNoCase(long start, std::string_view s, std::string_view what) {
  return InStr(start, UCase(s), UCase(what));
}

}  // namespace chkimport
