// The string functions the translation is written in: 1-based positions,
// blanks-only trimming, upper-casing that keeps byte lengths. Strings are
// UTF-8 and positions count bytes, consistently everywhere.
#pragma once

#include <string>
#include <string_view>

namespace chkimport {

// Removes blanks (not tabs) from both ends.
std::string Trim(std::string_view s);
// Trim as a view into `s`; an empty result keeps its place (at the end).
inline std::string_view TrimView(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return s.substr(s.size());
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}
std::string RTrim(std::string_view s);
// Trim on a string kept by the caller.
void TrimInPlace(std::string& s);
// Upper case; a letter whose capital has another UTF-8 length stays as it is.
std::string UCase(std::string_view s);
// UCase into a string kept by the caller (its room is used again).
void UCaseInto(std::string& out, std::string_view s);
// The ASCII letters in lower case, every other byte as it is: file names
// and extensions compared without regard to case.
std::string AsciiLower(std::string_view s);

inline std::string Left(std::string_view s, long n) {
  return n <= 0 ? std::string() : std::string(s.substr(0, static_cast<std::size_t>(n)));
}
inline std::string Right(std::string_view s, long n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) >= s.size()) return std::string(s);
  return std::string(s.substr(s.size() - static_cast<std::size_t>(n)));
}
// From 1-based position `start` to the end.
inline std::string Mid(std::string_view s, long start) {
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > s.size()) return {};
  return std::string(s.substr(static_cast<std::size_t>(start - 1)));
}
inline long Len(std::string_view s) {
  return static_cast<long>(s.size());
}

// 1-based position of `what` in `s` at or after `start`; 0 when absent, when
// `s` is empty or when `start` lies past its end. An empty `what` is found at
// `start`.
long InStr(long start, std::string_view s, std::string_view what);
inline long InStr(std::string_view s, std::string_view what) {
  return InStr(1, s, what);
}
// The same, comparing without regard to case.
long InStrNoCase(long start, std::string_view s, std::string_view what);

}  // namespace chkimport
