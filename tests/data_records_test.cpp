// The data records of .REC files in the form's data table: each value read
// by its type, the real files' records as their bytes say (read by hand),
// and damaged data sections refused or, with lenient, left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "chkimport/forms.h"
#include "test_support.h"
#include "viewdb/rec_values.h"

namespace {

using chkimport::FieldValue;
using namespace testing_support;
using Is = FieldValue::Is;

// One row of a table, every column through quote(): 12, 4.2, 'text', NULL.
std::string rowOf(const std::string& db, const std::string& table, long long record) {
  std::string sql = "SELECT ";
  for (const auto& column : querySql(db, "SELECT name FROM pragma_table_info('" + table + "')"))
    sql += (sql.size() > 7 ? " || '|' || quote(\"" : "quote(\"") + column + "\")";
  const auto rows =
      querySql(db, sql + " FROM \"" + table + "\" WHERE RecordNumber = " + std::to_string(record));
  return rows.empty() ? "(none)" : rows.front();
}

TEST(RecValues, EachTypeReadsAsItsColumnTakesIt) {
  struct Case {
    int typeCode, length;
    const char* raw;
    Is is;
    const char* value;  // the number or the text
  };
  const Case cases[] = {
      {0, 4, "  12", Is::Integer, "12"},
      {6, 5, "1    ", Is::Integer, "1"},  // an ID left-aligned
      {0, 3, " -3", Is::Integer, "-3"},
      {0, 3, "   ", Is::Null, ""},
      {0, 3, "12a", Is::Unread, "12a"},
      {0, 3, "+-1", Is::Unread, "+-1"},
      {102, 6, "444.44", Is::Real, "444.44"},
      {104, 6, "     2", Is::Real, "2"},
      {104, 6, "  -.5 ", Is::Real, "-0.5"},
      {102, 6, "  3,90", Is::Unread, "3,90"},
      {102, 6, "    . ", Is::Unread, "."},
      {2, 8, "01/02/89", Is::Text, "1989-01-02"},
      {2, 5, "01/02", Is::Text, "--01-02"},
      {10, 10, "01/02/1989", Is::Text, "1989-01-02"},
      {11, 8, "02/01/89", Is::Text, "1989-01-02"},
      {16, 10, "14/07/1987", Is::Text, "1987-07-14"},
      {20, 10, "1989/02/01", Is::Text, "1989-02-01"},
      {11, 5, "29/02", Is::Text, "--02-29"},
      {2, 8, "02/29/88", Is::Text, "1988-02-29"},
      {2, 8, "02/29/89", Is::Unread, "02/29/89"},
      {2, 8, "13/01/89", Is::Unread, "13/01/89"},
      {2, 8, "1/2/3/4 ", Is::Unread, "1/2/3/4"},
      {10, 10, "001/2/1989", Is::Unread, "001/2/1989"},
      {5, 1, "Y", Is::Integer, "1"},
      {5, 1, "n", Is::Integer, "0"},
      {5, 1, "X", Is::Unread, "X"},
      {1, 8, "ab      ", Is::Text, "ab"},
      {1, 5, "  ab ", Is::Text, "  ab"},
      {1, 4, "    ", Is::Null, ""},
      {42, 3, "x  ", Is::Text, "x"},  // a type code without a counterpart is text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.typeCode) + " '" + c.raw + "'");
    chkimport::RecHeader header;
    header.fields.push_back({.name = "F", .typeCode = c.typeCode, .length = c.length});
    const auto column = chkimport::DataColumns(header).front();
    std::string room;
    const FieldValue v = chkimport::ReadField(column, c.raw, room);
    std::ostringstream value;
    if (v.is == Is::Integer) value << v.integer;
    if (v.is == Is::Real) value << v.real;
    if (v.is != Is::Integer && v.is != Is::Real) value << v.text;
    EXPECT_EQ(v.is, c.is);
    EXPECT_EQ(value.str(), c.value);
  }
}

TEST(DataRecords, RealFilesKeepEveryRecordAndValue) {
  REQUIRE_REAL_FILES(kRealWorld + "rec-data");
  const struct {
    const char *rec, *table;
    long long records, deleted;
    const char* nullable;  // a column, and how many of its values are Null
    int nulls;
  } files[] = {
      {"FSTRUC.rec", "FSTRUC", 2, 1, "TEXTFIELD", 1},
      {"STUDENT.REC", "STUDENT", 185, 0, "place", 60},
      {"bromar.rec", "bromar", 4027, 0, "dectime", 471},
  };
  // Rows read by hand from the bytes, by table; the record number first.
  const std::multimap<std::string, std::string> rows = {
      {"FSTRUC",
       "1|0|0|'Contents of Txt Field'|'UPPERCASE'|1|2222|333333|444.44|'1989-01-02'|'--01-02'|'1989-01-02'|"
       "'--01-02'|1|'456-2271'|'(404)639-3311'|NULL|NULL|NULL|1|1|"
       "'This is a sample questionnaire to demonstrate file struct.'"},
      {"FSTRUC",
       "2|1|0|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL|'--09-09'|'1989-09-09'|"
       "'1989-09-09'|2|2|'This record demonstrates missing data and a deleted record'"},
      {"STUDENT", "1|0|0|1|1|93|2|164|51|0|22|1|0|2"},
      {"STUDENT", "123|0|0|123|1|95|1|190|85|90|23|0|1|NULL"},
      {"STUDENT", "185|0|0|185|42|96|1|184|72|68|24|1|1|NULL"},
      {"bromar", "1|0|0|1|2|0|54|2|47|40|4.2|2|1"},
      {"bromar", "8|0|0|9|2|0|71|3|40|40|NULL|NULL|0"},
      {"bromar", "4027|0|0|4255|2|0|0|1|39|30|5.8167|3|1"},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.rec);
    TempDir dir;
    const std::string db = dir.file("forms.db");
    const auto r = chkimport::ConvertForm(kRealWorld + "rec-data/" + file.rec, db);
    ASSERT_EQ(r.result, "");
    EXPECT_EQ(r.dataTable, file.table);
    EXPECT_EQ(r.records, file.records);
    EXPECT_EQ(r.deletedRecords, file.deleted);
    EXPECT_EQ(r.unreadValues, 0);
    // No CHK file beside these: the view and the data, and a warning.
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("warning: no check code"), std::string::npos);
    const auto [from, to] = rows.equal_range(file.table);
    for (auto row = from; row != to; ++row)
      EXPECT_EQ(rowOf(db, file.table, std::stoll(row->second)), row->second);
    EXPECT_EQ(querySql(db, "SELECT count(*) || '|' || (count(*) - count(" + std::string(file.nullable) +
                               ")) FROM " + file.table),
              std::vector<std::string>{std::to_string(file.records) + "|" + std::to_string(file.nulls)});
  }
  // The deleted record left out; the others keep their numbers.
  TempDir dir;
  const auto r =
      chkimport::ConvertForm(kRealWorld + "rec-data/FSTRUC.rec", dir.file("f.db"), {.skipDeleted = true});
  EXPECT_EQ(r.records, 1);
  EXPECT_EQ(r.deletedRecords, 1);
  EXPECT_EQ(querySql(dir.file("f.db"), "SELECT RecordNumber FROM FSTRUC"), std::vector<std::string>{"1"});
}

TEST(DataRecords, ADamagedDataSectionFailsWholeOrLosesOnlyItsDamagedRecords) {
  // Records of 83 bytes: a line of 78 and one of 5.
  const std::string header = "2 1\r\n" + recLine("A", 0, 3, "A") + "\r\n" + recLine("T", 1, 80, "T") + "\r\n";
  auto record = [](const std::string& a, const std::string& t, char mark = '!',
                   const std::string& end = "\r\n") {
    const std::string bytes = a + t + std::string(80 - t.size(), ' ');
    return bytes.substr(0, 78) + "!" + end + bytes.substr(78) + mark + end;
  };
  const std::string one = record("  1", "first"), three = record("  3", "third");
  struct Case {
    const char* what;
    std::string data;
    const char* error;  // "" when it converts as it is
    std::vector<std::string> kept;
  };
  const std::vector<Case> cases = {
      {"LF line ends, a verified record, an end-of-file byte and code page 850",
       one + record("  2", "\x8Fse", '^', "\n") + "\x1A",
       "",
       {"1|0|0|1|'first'", "2|0|1|2|'\xC3\x85se'"}},
      {"a line too short",
       one + record("  2", "x").substr(0, 40) + "\r\n" + record("  2", "x").substr(81) + three,
       "record 2, line 6: the line is too short: 40 bytes where a line of this record has 78 and its end "
       "mark",
       {"1|0|0|1|'first'", "3|0|0|3|'third'"}},
      {"a line too long",
       one + record("  2", "x").substr(0, 86) + "xx!\r\n" + three,
       "record 2, line 7: the line is too long: 8 bytes where a line of this record has 5 and its end mark",
       {"1|0|0|1|'first'", "3|0|0|3|'third'"}},
      {"a mark that ends a record inside one",
       one + record("  2", "x").replace(78, 1, "?") + three,
       "record 2, line 6: the line ends in '?' where a line that does not end the record ends in !",
       {"1|0|0|1|'first'", "3|0|0|3|'third'"}},
      {"a wrong mark at its end",
       one + record("  2", "x", '*') + three,
       "record 2, line 7: the line ends in '*' where the last line of a record ends in !, ? or ^",
       {"1|0|0|1|'first'", "3|0|0|3|'third'"}},
      {"a record cut off",
       one + three.substr(0, 83),
       "record 2, line 7: the record is cut off at the end of the file",
       {"1|0|0|1|'first'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string rec = dir.write("form.rec", header + c.data), db = dir.file("form.db");
    auto r = chkimport::ConvertForm(rec, db);
    if (*c.error) {
      EXPECT_EQ(r.result, rec + ": " + c.error);
      EXPECT_FALSE(std::filesystem::exists(db));  // made here, and removed again
      r = chkimport::ConvertForm(rec, db, {.lenient = true});
      EXPECT_EQ(r.damagedRecords, 1);
      EXPECT_EQ(r.warnings.back(), rec + ": " + c.error + "; left out");
    }
    ASSERT_EQ(r.result, "");
    std::vector<std::string> rows;
    for (const auto& n : querySql(db, "SELECT RecordNumber FROM form"))
      rows.push_back(rowOf(db, "form", std::stoll(n)));
    EXPECT_EQ(rows, c.kept);
  }
}

}  // namespace
