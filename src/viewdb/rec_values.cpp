#include "viewdb/rec_values.h"

#include <charconv>

#include "services/texts.h"

namespace chkimport {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c)) return false;
  return !text.empty();
}

// The text after its sign, if any; `text` loses a "+", which the number
// readers do not take.
std::string_view Unsigned(std::string_view& text) {
  if (text.empty() || (text.front() != '+' && text.front() != '-')) return text;
  if (text.front() == '-') return text.substr(1);
  text.remove_prefix(1);
  return text;
}

// A whole number: a sign, then digits only.
bool ReadInteger(std::string_view text, long long& value) {
  if (!AllDigits(Unsigned(text))) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A number with or without its decimal point: a sign, digits, "." and
// digits; at least one digit.
bool ReadReal(std::string_view text, double& value) {
  const std::string_view rest = Unsigned(text);
  const auto point = rest.find('.');
  const std::string_view whole = rest.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
  if ((!whole.empty() && !AllDigits(whole)) || (!fraction.empty() && !AllDigits(fraction)) ||
      whole.size() + fraction.size() == 0)
    return false;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return error == std::errc() && end == text.data() + text.size();
}

int DaysIn(int month, int year) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month != 2 || year < 0) return kDays[month - 1];
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return leap ? 29 : 28;
}

int Number(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

void TwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

// A date with its slashes, in the field's order, as YYYY-MM-DD, or --MM-DD
// without a year. Two-digit years are 19xx, as in the check code's ranges.
bool ReadDate(std::string_view text, DateOrder order, std::string& iso) {
  std::string_view parts[3];
  std::size_t count = 0;
  for (std::size_t from = 0;;) {
    const auto slash = text.find('/', from);
    if (count == 3) return false;
    parts[count++] =
        text.substr(from, slash == std::string_view::npos ? std::string_view::npos : slash - from);
    if (slash == std::string_view::npos) break;
    from = slash + 1;
  }
  if (count < 2) return false;
  std::string_view year, month, day;
  if (order == DateOrder::YearFirst && count == 3) {
    year = parts[0], month = parts[1], day = parts[2];
  } else {
    month = parts[order == DateOrder::DayFirst ? 1 : 0];
    day = parts[order == DateOrder::DayFirst ? 0 : 1];
    if (count == 3) year = parts[2];
  }
  for (std::string_view part : {month, day})
    if (part.size() > 2 || !AllDigits(part)) return false;
  int y = -1;
  if (count == 3) {
    if ((year.size() != 2 && year.size() != 4) || !AllDigits(year)) return false;
    y = Number(year) + (year.size() == 2 ? 1900 : 0);
  }
  const int m = Number(month), d = Number(day);
  if (m < 1 || m > 12 || d < 1 || d > DaysIn(m, y)) return false;
  iso.clear();
  if (y < 0) {
    iso += "--";
  } else {
    TwoDigits(iso, y / 100);
    TwoDigits(iso, y % 100);
    iso += '-';
  }
  TwoDigits(iso, m);
  iso += '-';
  TwoDigits(iso, d);
  return true;
}

}  // namespace

std::vector<DataColumn> DataColumns(const RecHeader& header) {
  std::vector<DataColumn> columns;
  std::size_t offset = 0;
  for (const RecField& field : header.fields) {
    DataColumn column;
    column.name = field.name;
    column.offset = offset;
    column.length = static_cast<std::size_t>(field.length);
    offset += column.length;
    const ViewFieldType type = MapRecType(field.typeCode, field.length);
    if (type.type == "NUMBER") {
      column.kind = field.typeCode > 100 ? ColumnKind::Real : ColumnKind::Integer;
    } else if (type.type == "DATE") {
      column.kind = ColumnKind::Date;
      column.order = field.typeCode == 11 || field.typeCode == 16   ? DateOrder::DayFirst
                     : field.typeCode == 19 || field.typeCode == 20 ? DateOrder::YearFirst
                                                                    : DateOrder::MonthFirst;
    } else if (type.type == "YES/NO") {
      column.kind = ColumnKind::YesNo;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

const char* SqlType(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Integer:
    case ColumnKind::YesNo:
      return "INTEGER";
    case ColumnKind::Real:
      return "REAL";
    default:
      return "TEXT";
  }
}

const char* UnreadReason(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Integer:
      return N_("not a whole number");
    case ColumnKind::Real:
      return N_("not a number");
    case ColumnKind::Date:
      return N_("not a date");
    case ColumnKind::YesNo:
      return N_("not Y, N or blank");
    default:
      return "";
  }
}

FieldValue ReadField(const DataColumn& column, std::string_view raw, std::string& room) {
  FieldValue value;
  if (column.kind == ColumnKind::Text) {
    const auto last = raw.find_last_not_of(' ');
    if (last == std::string_view::npos) return value;
    value.is = FieldValue::Is::Text;
    value.text = raw.substr(0, last + 1);
    return value;
  }
  const std::string_view text = TrimBlanks(raw);
  if (text.empty()) return value;
  bool read = false;
  switch (column.kind) {
    case ColumnKind::Integer:
      read = ReadInteger(text, value.integer);
      value.is = FieldValue::Is::Integer;
      break;
    case ColumnKind::Real:
      read = ReadReal(text, value.real);
      value.is = FieldValue::Is::Real;
      break;
    case ColumnKind::Date:
      read = ReadDate(text, column.order, room);
      value.is = FieldValue::Is::Text;
      value.text = room;
      break;
    case ColumnKind::YesNo:
      read = text.size() == 1 && (text[0] == 'Y' || text[0] == 'y' || text[0] == 'N' || text[0] == 'n');
      value.is = FieldValue::Is::Integer;
      value.integer = read && (text[0] == 'Y' || text[0] == 'y') ? 1 : 0;
      break;
    case ColumnKind::Text:
      break;
  }
  if (!read) {
    value.is = FieldValue::Is::Unread;
    value.text = text;
  }
  return value;
}

}  // namespace chkimport
