#include "viewdb/rec_header.h"

#include <cctype>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "chkimport/translator.h"
#include "chkimport/vb_error.h"
#include "core/line_reader.h"
#include "services/file_paths.h"

namespace chkimport {
namespace {

// The description lines have fixed columns, counted in characters of the
// old code page: the name in 2 to 11, the numbers up to 45, the prompt from 46.
constexpr std::size_t kNameColumn = 1, kNumbersColumn = 11, kPromptColumn = 45;
constexpr int kMaxLines = 9999;
// The old system's entry screen took text of at most 80 characters; no
// field of any type is longer than 255 (bigger numbers are broken headers).
constexpr int kMaxTextLength = 80, kMaxLength = 255;

// The byte offset of character `n` of a UTF-8 text (its size when shorter).
std::size_t ByteOfChar(std::string_view text, std::size_t n) {
  std::size_t pos = 0;
  for (; pos < text.size() && n > 0; ++pos)
    if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) --n;
  while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  return n > 0 ? text.size() : pos;
}

std::string_view Columns(std::string_view text, std::size_t from, std::size_t to) {
  const std::size_t begin = ByteOfChar(text, from);
  return text.substr(begin, ByteOfChar(text, to) - begin);
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The blank-separated words of a text.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while ((pos = text.find_first_not_of(" \t", pos)) != std::string_view::npos) {
    const auto end = std::min(text.find_first_of(" \t", pos), text.size());
    words.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

// A whole number, optionally negative, and nothing else.
bool ParseInt(std::string_view word, int& value) {
  const bool negative = !word.empty() && word.front() == '-';
  if (negative) word.remove_prefix(1);
  if (word.empty() || word.size() > 9) return false;
  value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  return true;
}

// A C0 or C1 control character, or DEL, in a UTF-8 text.
bool HasControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x20 || b == 0x7F) return true;
    if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
  }
  return false;
}

std::string Hashes(int count) {
  return std::string(static_cast<std::size_t>(std::max(count, 0)), '#');
}

}  // namespace

bool StartsLikeRecHeader(const std::string& first, const std::string& second) {
  const auto counts = Words(first);
  int count = 0;
  if (counts.empty() || !ParseInt(counts[0], count) || count <= 0 || count > kMaxLines) return false;
  const auto numbers = Words(Columns(second, kNumbersColumn, kPromptColumn));
  int value = 0;
  for (std::size_t n = 0; n < 8; ++n)
    if (n >= numbers.size() || !ParseInt(numbers[n], value)) return false;
  return true;
}

ViewFieldType MapRecType(int typeCode, int length) {
  switch (typeCode) {
    case 0:
    case 6:
    case 12:
      return {"NUMBER", Hashes(length)};
    case 1:
    case 3:
    case 7:
    case 9:
    case 17:
    case 18:
      return {"TEXT", std::nullopt};
    case 5:
      return {"YES/NO", std::nullopt};
    case 2:
    case 10:
      return {"DATE", length == 5 ? "MM-DD" : "MM-DD-YYYY"};
    case 11:
    case 16:
      return {"DATE", length == 5 ? "DD-MM" : "DD-MM-YYYY"};
    case 19:
    case 20:
      return {"DATE", "YYYY-MM-DD"};
    default:
      break;
  }
  if (typeCode > 100) {
    // The header's reader refuses decimals that leave no room for the point.
    const int decimals = typeCode - 100;
    return {"NUMBER", Hashes(length - decimals - 1) + "." + Hashes(decimals)};
  }
  return {"TEXT", std::nullopt, false};
}

RecHeader ReadRecHeader(const std::string& path, const std::string& encoding, Translator& tr) {
  auto fail = [&](int line, const std::string& reason) -> RecError {
    return {path + ":" + std::to_string(line) + ": " + reason};
  };

  // A device or a pipe would be read without end, like a CHK path that is not a file.
  if (!IsNormalFile(path)) throw RecError{path + ": " + tr.T("REC file not found.")};
  std::unique_ptr<LineReader> reader;
  try {
    reader = LineReader::Open(path, encoding);
  } catch (const VbError& e) {
    if (e.Number == vberr::FileNotFound) throw RecError{path + ": " + tr.T("REC file not found.")};
    if (e.Number == 5) throw RecError{tr.T("Unknown text encoding:") + " " + encoding};
    throw RecError{path + ": " + tr.T("the file cannot be read") + " (" + e.Description + ")"};
  }

  RecHeader header;
  header.encoding = reader->Encoding();
  const std::string first = reader->AtEnd() ? std::string() : reader->ReadLine();
  const auto words = Words(first);
  int count = 0;
  if (words.empty() || !ParseInt(words[0], count) || count <= 0) {
    // Nine digits and more overflow the count: it is still too many lines.
    if (!words.empty() && words[0].size() > 9 &&
        words[0].find_first_not_of("0123456789") == std::string::npos)
      count = kMaxLines + 1;
    else
      throw fail(1,
                 tr.T("not a data file: line 1 does not begin with a positive number of description lines"));
  }
  if (count > kMaxLines)
    throw fail(1, tr.T("not a data file: line 1 promises more than 9,999 description lines"));
  header.lines = count + 1;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string word = Lower(words[i]);
    if (word == "vlab") header.vlab = true;
    if (word == "filelabel:") {
      const std::size_t at = static_cast<std::size_t>(words[i].data() - first.data()) + words[i].size();
      header.fileLabel = Trim(std::string_view(first).substr(at));
      break;
    }
  }

  std::unordered_map<std::string, int> lines;  // lower-cased name: its line
  for (int i = 0; i < count; ++i) {
    const int lineNumber = i + 2;
    if (reader->AtEnd())
      throw fail(lineNumber,
                 tr.T("not a data file: the file ends before the last description line that line 1 "
                      "promises"));
    const std::string line = reader->ReadLine();
    const auto numbers = Words(Columns(line, kNumbersColumn, kPromptColumn));
    int values[8] = {};
    bool valid = numbers.size() >= 8;
    for (std::size_t n = 0; valid && n < 8; ++n) valid = ParseInt(numbers[n], values[n]);
    if (!valid)
      throw fail(lineNumber, tr.T("not a data file: a description line needs eight whole numbers after the "
                                  "field name"));
    RecField field;
    field.typeCode = values[5];
    field.length = values[6];
    field.line = lineNumber;
    if (field.length < 0) throw fail(lineNumber, tr.T("not a data file: a field length below zero"));
    // A length of 0 is text on the screen, not a field.
    if (field.length == 0) continue;

    field.name = Trim(Columns(line, kNameColumn, kNumbersColumn));
    if (field.name.empty()) throw fail(lineNumber, tr.T("a field without a name"));
    if (HasControlCharacter(field.name))
      throw fail(lineNumber, tr.T("a field name with a control character"));
    if (field.length > kMaxLength)
      throw fail(lineNumber,
                 tr.T("a field length above 255:") + " " + field.name + " " + std::to_string(field.length));
    if (field.typeCode > 100 && field.typeCode - 100 >= field.length)
      throw fail(lineNumber,
                 tr.T("more decimals than the field's length leaves room for (type code, length):") + " " +
                     field.name + " " + std::to_string(field.typeCode) + ", " + std::to_string(field.length));
    if (const ViewFieldType type = MapRecType(field.typeCode, field.length);
        type.known && type.type == "TEXT" && field.length > kMaxTextLength)
      throw fail(lineNumber, tr.T("a text field length above 80:") + " " + field.name + " " +
                                 std::to_string(field.length));
    const auto [seen, added] = lines.emplace(Lower(field.name), lineNumber);
    if (!added)
      throw fail(lineNumber, tr.T("a second field of the same name (case aside) as the field on line") + " " +
                                 std::to_string(seen->second) + ": " + field.name);

    std::string_view prompt = Trim(Columns(line, kPromptColumn, std::string::npos));
    if (header.vlab) {
      // VLAB: the prompt begins with a copy of the field's name.
      const auto blank = prompt.find_first_of(" \t");
      prompt = blank == std::string_view::npos ? std::string_view() : Trim(prompt.substr(blank));
    }
    field.label = prompt;

    if (!MapRecType(field.typeCode, field.length).known)
      header.warnings.push_back(path + ":" + std::to_string(lineNumber) + ": " + tr.T("warning: the field") +
                                " " + field.name + " " + tr.T("has the unknown type code") + " " +
                                std::to_string(field.typeCode) + "; " + tr.T("it becomes a TEXT field"));
    header.fields.push_back(std::move(field));
  }
  return header;
}

}  // namespace chkimport
