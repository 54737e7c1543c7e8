#include "viewdb/data_table.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "chkimport/translator.h"
#include "chkimport/vb_error.h"
#include "services/dao.h"
#include "viewdb/rec_data.h"
#include "viewdb/rec_values.h"

namespace chkimport {
namespace {

// Values and records named one by one in the warnings; the rest are counted.
constexpr long long kNamedAtMost = 100;
constexpr long long kProgressEvery = 4096;
constexpr const char* kOwnColumns[] = {"RecordNumber", "Deleted", "Verified"};
// SQLite's limit of columns a table (its default, which Debian keeps).
constexpr std::size_t kMostColumns = 2000;

std::string Quote(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Text values into UTF-8 by the file's encoding; plain ASCII as it is.
class TextDecoder {
 public:
  explicit TextDecoder(const std::string& encoding) {
    if (encoding != "UTF-8") cd_ = iconv_open("UTF-8", encoding.c_str());
  }
  ~TextDecoder() {
    if (cd_ != kNone) iconv_close(cd_);
  }
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  std::string_view operator()(std::string_view bytes, std::string& room) {
    if (cd_ == kNone) return bytes;
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return bytes;
    room.resize(bytes.size() * 4 + 4);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* out = room.data();
    std::size_t outLeft = room.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0 && iconv(cd_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG || outLeft < 3) break;
      // A byte the code page does not have.
      std::memcpy(out, "\xEF\xBF\xBD", 3);
      out += 3;
      outLeft -= 3;
      ++in;
      --inLeft;
    }
    room.resize(static_cast<std::size_t>(out - room.data()));
    return room;
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_ = kNone;
};

}  // namespace

std::string DefaultDataTable(const std::string& view) {
  return view.compare(0, 4, "view") == 0 ? view.substr(4) : view;
}

std::string DataTableRefused(const std::string& table, const RecHeader& header, Translator& tr) {
  if (table.empty()) return tr.T("the data table needs a name: choose one with --data-table NAME");
  if (table.compare(0, 4, "view") == 0)
    return tr.T("the name of a data table must not begin with \"view\":") + " " + table + " (" +
           tr.T("choose another name with --data-table NAME") + ")";
  if (header.fields.size() + std::size(kOwnColumns) > kMostColumns)
    return tr.T("the form has more fields than a table can have columns:") + " " +
           std::to_string(header.fields.size()) + " (" +
           tr.T("convert the form without its records, --no-data") + ")";
  for (const RecField& field : header.fields)
    for (const char* own : kOwnColumns)
      if (SameName(field.name, own))
        return tr.T("a field has the name of a column of the data table's own:") + " " + field.name + " (" +
               tr.T("convert the form without its records, --no-data") + ")";
  return "";
}

DataOutcome WriteDataTable(dao::Database& db, const std::string& recFile, const RecHeader& header,
                           const DataOptions& options, Translator& tr) {
  DataOutcome outcome;
  const std::vector<DataColumn> columns = DataColumns(header);
  if (db.HasObject(options.table)) {
    outcome.exists = true;
    outcome.failure = db.Name() + ": " + tr.T("a table of this name exists already:") + " " + options.table;
    return outcome;
  }

  std::string create =
      "CREATE TABLE " + Quote(options.table) +
      " (RecordNumber INTEGER PRIMARY KEY, Deleted INTEGER NOT NULL, Verified INTEGER NOT NULL";
  std::vector<std::string> names(std::begin(kOwnColumns), std::end(kOwnColumns));
  for (const DataColumn& column : columns) {
    create += ", " + Quote(column.name) + " " + SqlType(column.kind);
    names.push_back(column.name);
  }
  create += ")";

  auto named = [&](long long count) { return count <= kNamedAtMost; };
  try {
    db.Execute(create);
    RecDataReader reader(recFile, header, tr);
    TextDecoder decode(header.encoding);
    std::vector<std::string> dates(columns.size()), texts(columns.size());
    db.InsertRows(options.table, names, [&](dao::RowSink& row) {
      RecRecord record;
      std::string damage;
      for (;;) {
        const RecRead read = reader.Next(record, damage);
        if (read == RecRead::End) break;
        if (read == RecRead::Damaged) {
          if (!options.lenient) throw RecError{damage};
          if (named(++outcome.damaged)) outcome.warnings.push_back(damage + "; " + tr.T("left out"));
          continue;
        }
        if (record.mark == '?') {
          ++outcome.deleted;
          if (options.skipDeleted) continue;
        }
        row.Integer(0, record.number);
        row.Integer(1, record.mark == '?' ? 1 : 0);
        row.Integer(2, record.mark == '^' ? 1 : 0);
        for (std::size_t i = 0; i < columns.size(); ++i) {
          const DataColumn& column = columns[i];
          const int at = static_cast<int>(i) + 3;
          const FieldValue value =
              ReadField(column, record.bytes.substr(column.offset, column.length), dates[i]);
          switch (value.is) {
            case FieldValue::Is::Null:
              row.Null(at);
              break;
            case FieldValue::Is::Integer:
              row.Integer(at, value.integer);
              break;
            case FieldValue::Is::Real:
              row.Real(at, value.real);
              break;
            case FieldValue::Is::Text:
              row.Text(at, column.kind == ColumnKind::Date ? value.text : decode(value.text, texts[i]));
              break;
            case FieldValue::Is::Unread: {
              const std::string_view text = decode(value.text, texts[i]);
              row.Text(at, text);
              if (named(++outcome.unread))
                outcome.warnings.push_back(recFile + ": " + tr.T("record") + " " +
                                           std::to_string(record.number) + ", " + tr.T("field") + " " +
                                           column.name + ": \"" + std::string(text) + "\" " +
                                           tr.T(UnreadReason(column.kind)) + "; " + tr.T("kept as written"));
              break;
            }
          }
        }
        row.Add();
        if (++outcome.records % kProgressEvery == 0 && options.progress) options.progress(outcome.records);
      }
    });
  } catch (const RecError& e) {
    outcome.failure = e.message;
    return outcome;
  } catch (const VbError& e) {
    outcome.failure = db.Name() + ": " + tr.T("the records could not be written:") + " " + e.Description;
    return outcome;
  }
  if (options.progress) options.progress(outcome.records);
  if (outcome.unread > kNamedAtMost)
    outcome.warnings.push_back(recFile + ": " + std::to_string(outcome.unread - kNamedAtMost) + " " +
                               tr.T("more values that did not read as their type were kept as written"));
  if (outcome.damaged > kNamedAtMost)
    outcome.warnings.push_back(recFile + ": " + std::to_string(outcome.damaged - kNamedAtMost) + " " +
                               tr.T("more damaged records were left out"));
  return outcome;
}

}  // namespace chkimport
