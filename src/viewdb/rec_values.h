// The values of a data record as the columns of the form's data table take
// them: each field read by its type, a missing value (all blanks) as Null,
// and a value that does not read as its type kept as it is written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "viewdb/rec_header.h"

namespace chkimport {

enum class ColumnKind { Integer, Real, Date, YesNo, Text };
enum class DateOrder { MonthFirst, DayFirst, YearFirst };

struct DataColumn {
  std::string name;  // the field's, as the view row has it
  ColumnKind kind = ColumnKind::Text;
  DateOrder order = DateOrder::MonthFirst;
  std::size_t offset = 0, length = 0;  // in the record's bytes
};

// The columns of the header's fields, in header order, typed as the view
// types them: NUMBER without decimals INTEGER, with decimals REAL, DATE as
// ISO 8601 text, YES/NO INTEGER 1/0, TEXT (and any other) text.
std::vector<DataColumn> DataColumns(const RecHeader& header);

// The column type a table declares for a kind.
const char* SqlType(ColumnKind kind);

struct FieldValue {
  enum class Is { Null, Integer, Real, Text, Unread } is = Is::Null;
  long long integer = 0;
  double real = 0;
  // Text and Unread: the text (its bytes as written, blanks around a value
  // that did not read taken off, trailing blanks of a text); a date's ISO
  // form. Valid while `raw` and `room` are.
  std::string_view text;
};

// Reads a field's bytes. `room` holds a date's ISO form.
FieldValue ReadField(const DataColumn& column, std::string_view raw, std::string& room);

// Why a value of this kind did not read (English, marked for the catalogs).
const char* UnreadReason(ColumnKind kind);

}  // namespace chkimport
