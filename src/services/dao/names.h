// Names as SQLite compares and quotes them: field and table names match
// without regard to the case of ASCII letters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace chkimport::dao::detail {

inline char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const {
    std::size_t h = 14695981039346656037ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(Fold(c))) * 1099511628211ull;
    return h;
  }
};

struct NameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
};

// A name in double quotes, a double quote inside doubled, as SQLite quotes it.
inline std::string Quote(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace chkimport::dao::detail
