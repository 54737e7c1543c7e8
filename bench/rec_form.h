// The form of the data benchmark: ten fields of every kind a .REC file
// holds, and record i's values, drawn the same way for the generator (which
// writes them as the old system did) and the floor (which inserts them as
// the data table takes them).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

struct RecFieldSpec {
  const char* name;
  int typeCode;
  int length;
  const char* sqlType;
};

// 120 bytes a record: two lines, 78 and 42.
inline constexpr RecFieldSpec kRecFields[] = {
    {"ID", 0, 7, "INTEGER"},       {"AGE", 0, 3, "INTEGER"}, {"WEIGHT", 102, 6, "REAL"},
    {"VISITDATE", 11, 10, "TEXT"}, {"BORN", 2, 5, "TEXT"},   {"SMOKER", 5, 1, "INTEGER"},
    {"NAME", 1, 30, "TEXT"},       {"PHONE", 9, 13, "TEXT"}, {"CODE", 12, 5, "INTEGER"},
    {"NOTES", 1, 40, "TEXT"},
};
inline constexpr int kRecFieldCount = 10;

inline const char* const kNames[] = {"Hansen",      "Jensen", "Nielsen",    "Pedersen",  "Andersen",
                                     "Christensen", "Larsen", "Sorensen",   "Rasmussen", "Jorgensen",
                                     "Petersen",    "Madsen", "Kristensen", "Olsen",     "Thomsen"};
inline const char* const kNotes[] = {"",
                                     "",
                                     "seen again after three weeks",
                                     "refused the second visit",
                                     "moved away; new address unknown",
                                     "interpreter needed"};

// What record i holds; -1 for a missing number.
struct Drawn {
  long long id;
  int age, weightCents, day, month, year, bornDay, bornMonth;
  char smoker;  // 'Y', 'N' or ' '
  int name, phone, code, note;
  bool deleted;
};

inline uint64_t Mix(uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

inline Drawn Draw(long long i) {
  const uint64_t a = Mix(static_cast<uint64_t>(i)), b = Mix(a);
  Drawn d;
  d.id = i;
  d.age = a % 20 == 0 ? -1 : static_cast<int>((a >> 8) % 100);
  d.weightCents = a % 25 == 1 ? -1 : 2000 + static_cast<int>((a >> 16) % 15000);
  d.day = 1 + static_cast<int>((a >> 24) % 28);
  d.month = 1 + static_cast<int>((a >> 32) % 12);
  d.year = 1950 + static_cast<int>((a >> 40) % 60);
  d.bornDay = 1 + static_cast<int>((b >> 4) % 28);
  d.bornMonth = 1 + static_cast<int>((b >> 12) % 12);
  d.smoker = "YN "[(b >> 20) % 3];
  d.name = static_cast<int>((b >> 24) % 15);
  d.phone = static_cast<int>((b >> 32) % 10000000);
  d.code = static_cast<int>((b >> 44) % 100000);
  d.note = static_cast<int>((b >> 56) % 6);
  d.deleted = i % 50 == 0;
  return d;
}

// The name as written: a surname and a number.
// `out` has room for 48 bytes.
inline int NameText(const Drawn& d, char* out) {
  return std::snprintf(out, 48, "%s %lld", kNames[d.name], d.id % 1000);
}

inline int PhoneText(const Drawn& d, char* out) {
  return std::snprintf(out, 48, "(404)%03d-%04d", d.phone / 10000, d.phone % 10000);
}

// The record's 120 bytes as the old system wrote them: numbers
// right-aligned (the ID code left-aligned), day-first and month-first
// dates with their slashes, text left-aligned, blanks for a missing value.
inline std::string RawRecord(const Drawn& d) {
  char text[48];
  std::string raw;
  auto field = [&](const char* value, int length, bool right) {
    std::string v(value);
    if (static_cast<int>(v.size()) > length) v.resize(static_cast<std::size_t>(length));
    const std::string pad(static_cast<std::size_t>(length) - v.size(), ' ');
    raw += right ? pad + v : v + pad;
  };
  std::snprintf(text, sizeof text, "%lld", d.id);
  field(text, 7, true);
  if (d.age < 0)
    field("", 3, true);
  else
    std::snprintf(text, sizeof text, "%d", d.age), field(text, 3, true);
  if (d.weightCents < 0)
    field("", 6, true);
  else
    std::snprintf(text, sizeof text, "%d.%02d", d.weightCents / 100, d.weightCents % 100),
        field(text, 6, true);
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.day, d.month, d.year);
  field(text, 10, false);
  std::snprintf(text, sizeof text, "%02d/%02d", d.bornMonth, d.bornDay);
  field(text, 5, false);
  raw += d.smoker;
  NameText(d, text);
  field(text, 30, false);
  PhoneText(d, text);
  field(text, 13, false);
  std::snprintf(text, sizeof text, "%d", d.code);
  field(text, 5, false);
  field(kNotes[d.note], 40, false);
  return raw;
}

}  // namespace bench
