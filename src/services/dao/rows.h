// A recordset's state: its rows and their values, held in blocks that
// never move, found by place or row id; bookmarks; reading rows from the
// file; the UPDATE that writes a row's fields.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "services/dao.h"
#include "services/dao/errors.h"
#include "services/dao/key_index.h"
#include "services/dao/names.h"

namespace chkimport::dao::detail {

class Statement;

struct DatabaseState;

// A row held by a recordset; its values are in the recordset's cells.
struct Row {
  long long rowid = 0;
  // Where the row's edits held back are listed (RecordsetState::pending),
  // or kNotPending.
  std::uint32_t pendingAt = kNotPending;
  // Its values are being written by a writing thread (Connection::Batch).
  bool inBatch = false;
  // Fields (one bit each, the first 64) whose long text the row let go of
  // once it was written: the file holds it, and Cell reads it back.
  std::uint64_t letGo = 0;
  static constexpr std::uint32_t kNotPending = static_cast<std::uint32_t>(-1);
};

// A row as read from the file.
struct RowValues {
  long long rowid = 0;
  std::vector<Value> values;
};

enum class EditMode { None, Editing, Adding };

inline constexpr std::size_t kRowsPerBlock = 1024;

// A recordset whose rows were read in two steps (see filling.h): one field
// of every row at once, the rest by the connection's thread while the
// caller goes on.
struct Filling {
  std::size_t column = 0;    // the field read first
  std::vector<Value> first;  // its values, row by row
  std::size_t rows = 0;      // the rows read first; rows added later are whole
  // Rows [0, filled) hold every value. Stored by the thread that reads
  // them, once their values are in place.
  std::atomic<std::size_t> filled{0};
  int stops = 0;    // the times the reading was stopped (MayStopFilling)
  std::string sql;  // reads the rows from the row id ?1 on
};

struct RecordsetState {
  std::shared_ptr<DatabaseState> database;
  std::uint64_t id = 0;
  bool open = true;
  std::string table;  // as the schema spells it
  std::string query;  // fills the rows: row id first, then the fields
  std::string rowid;  // the name that reaches the row id in this table
  std::vector<std::string> columns;
  std::unordered_map<std::string, int, NameHash, NameEqual> columnIndex;
  // The names last asked for, spelled as asked, and their fields: callers
  // ask for the same few fields over and over.
  struct RecentName {
    std::string name;
    std::size_t column = 0;
  };
  mutable std::array<RecentName, 8> recentNames;
  mutable std::size_t nextRecent = 0;
  std::vector<Row> rows;
  // The values of every row, row after row, as many as there are columns,
  // in blocks of kRowsPerBlock rows, each block's room taken when it is
  // made: rows added never move the others.
  std::vector<std::vector<Value>> cells;
  // Row ids and their rows' places, made when first needed (bookmarks carry
  // the place, so it seldom is).
  std::unordered_map<long long, std::size_t> rowIndex;
  bool rowIndexMade = false;
  std::size_t current = kEof;
  EditMode mode = EditMode::None;
  std::vector<Value> buffer;  // while editing: the values assigned, where assigned is set
  std::vector<char> assigned;
  std::vector<std::size_t> changed;  // Update's list of the fields assigned, its room kept
  std::optional<long long> lastModified;
  std::size_t lastModifiedAt = 0;  // its row's place in rows
  // Per field: text stored in it stays the same text (its declared type
  // gives it text affinity or none).
  std::vector<bool> keepsText;
  bool hasTriggers = false;
  // Per field: writing text into it cannot fail on a rule of the table (no
  // CHECK, foreign key, unique index or generated value involves it), so
  // inside a transaction the write may wait and join the row's other writes.
  std::vector<bool> deferrable;
  // A row added is stored as written: the fields not assigned are Null (no
  // default, row id alias or generated value) and no trigger changes it.
  bool addsAsWritten = false;
  // Rows edited but not yet written, in the order first edited, with the
  // fields to write; their values are the ones the rows hold. Rows keep
  // their place in rows while edits wait (nothing that moves or renumbers a
  // row is done before they are written).
  struct PendingRow {
    std::size_t at = 0;
    std::vector<std::size_t> fields;
  };
  std::vector<PendingRow> pending;
  // The UPDATE of each set of fields written, made once.
  std::map<std::vector<std::size_t>, std::string> updateSql;
  std::vector<KeyIndex> indexes;
  // While the rows' other fields are still being read (see filling.h).
  std::unique_ptr<Filling> filling;
};

// The recordset, raising ObjectClosed when it or its database is closed;
// Live also raises the failure of a broken transaction.
RecordsetState& Open(const std::shared_ptr<RecordsetState>& state);
RecordsetState& Live(const std::shared_ptr<RecordsetState>& state);
Context ContextOf(const RecordsetState& rs);

// Waits until the row at this place holds every value (see filling.h).
void WaitForRow(RecordsetState& rs, std::size_t at);

// The values of the row at this place, one per column; a value the row
// let go of is Null here. While the rows are being read, waits for the row.
inline Value* CellsOf(RecordsetState& rs, std::size_t at) {
  if (rs.filling) [[unlikely]]
    WaitForRow(rs, at);
  return rs.cells[at / kRowsPerBlock].data() + at % kRowsPerBlock * rs.columns.size();
}
// The bit of a field in Row::letGo; 0 for a field past the first 64.
inline std::uint64_t LetGoBit(std::size_t column) {
  return column < 64 ? std::uint64_t{1} << column : 0;
}
// Reads back from the file a value that the row at this place let go of.
const Value& ReadBack(RecordsetState& rs, std::size_t at, std::size_t column);
// One value of the row at this place.
inline const Value& Cell(RecordsetState& rs, std::size_t at, std::size_t column) {
  if (rs.rows[at].letGo & LetGoBit(column)) return ReadBack(rs, at, column);
  return CellsOf(rs, at)[column];
}
// The same for an index over the field, whose keys are made at once: while
// the rows are being read, the field read first is taken from that reading
// without waiting for the row.
inline const Value& KeyCell(RecordsetState& rs, std::size_t at, std::size_t column) {
  if (const Filling* f = rs.filling.get();
      f && column == f->column && at < f->rows && at >= f->filled.load(std::memory_order_acquire))
    return f->first[at];
  return Cell(rs, at, column);
}
// The rows at these places were written: each lets go of its long texts,
// unless it is the current row or holds edits not yet written. A pass
// writes a long check code into every row of a view; kept to the end,
// those texts were most of its memory, and a field's row is seldom read
// again once written.
void LetGoOfWritten(RecordsetState& rs, const std::vector<std::size_t>& places);
// Adds a row at the end of rows; the caller adds its values to the block
// returned, as many as there are columns.
std::vector<Value>& AddRow(RecordsetState& rs, long long rowid);
// The place of the row with this row id, or kEof; `hint` is where it was.
std::size_t PlaceOf(RecordsetState& rs, long long rowid, std::size_t hint = kEof);
// Puts a row read from the file at its place (rows.size() adds it).
void PlaceRow(RecordsetState& rs, std::size_t at, RowValues&& row);

// The field of this name, found without regard to case.
std::size_t IndexOf(const RecordsetState& rs, const std::string& name);
// Lets go of the rows held, and of what was made of them.
void ForgetRows(RecordsetState& rs) noexcept;
// Reads every row of the recordset's query afresh: through `select`, that
// query prepared, when given.
void Load(RecordsetState& rs);
void Load(RecordsetState& rs, Statement& select);
// Reads one row back from the file, as SQLite stored it.
std::optional<RowValues> ReadRow(const RecordsetState& rs, long long rowid);
// After a rollback the rows held no longer match the file: read them again,
// keeping the current row where it still exists.
void Reload(RecordsetState& rs);

// The UPDATE of a row's fields (?1, ?2, ...; the row id last), with a
// RETURNING clause that hands the row back as SQLite stored it, or without:
// then made once per set of fields.
std::string UpdateSql(const RecordsetState& rs, const std::vector<std::size_t>& fields, bool returning);
const std::string& UpdateSql(RecordsetState& rs, const std::vector<std::size_t>& fields);
// " RETURNING " the row id and every field.
std::string Returning(const RecordsetState& rs);

// Bookmarks: the recordset's number (its low four bytes), the row id (eight
// bytes) and the row's place in the recordset's rows (its low three bytes):
// fifteen bytes, short enough to be kept without an allocation. The place
// saves a search; the row id decides.
std::string MakeBookmark(std::uint64_t recordset, long long rowid, std::size_t at);
// The row id and place a bookmark of this recordset carries; raises
// InvalidBookmark for any other.
std::pair<long long, std::size_t> ReadBookmark(const RecordsetState& rs, const std::string& bookmark);

}  // namespace chkimport::dao::detail
