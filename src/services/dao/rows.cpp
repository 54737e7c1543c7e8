#include "services/dao/rows.h"

#include <algorithm>
#include <cstring>
#include <variant>

#include "services/dao/connection.h"
#include "services/dao/held_edits.h"
#include "services/dao/statement.h"

namespace chkimport::dao::detail {

RecordsetState& Open(const std::shared_ptr<RecordsetState>& state) {
  if (!state->open || !state->database->connection) RaiseClosed();
  return *state;
}

RecordsetState& Live(const std::shared_ptr<RecordsetState>& state) {
  RecordsetState& rs = Open(state);
  if (rs.database->connection->broken) throw *rs.database->connection->broken;
  return rs;
}

Context ContextOf(const RecordsetState& rs) {
  return {rs.database->name, rs.table};
}

const Value& ReadBack(RecordsetState& rs, std::size_t at, std::size_t column) {
  Row& row = rs.rows[at];
  Statement select(
      *rs.database->connection,
      "SELECT " + Quote(rs.columns[column]) + " FROM " + Quote(rs.table) + " WHERE " + rs.rowid + " = ?1",
      ContextOf(rs));
  select.Bind(1, Value(row.rowid));
  if (!select.Step()) RaiseRecordDeleted();
  Value& value = CellsOf(rs, at)[column];
  value = select.Column(0);
  row.letGo &= ~LetGoBit(column);
  return value;
}

void LetGoOfWritten(RecordsetState& rs, const std::vector<std::size_t>& places) {
  // Shorter text is not worth reading back.
  constexpr std::size_t kLongText = 64;
  const std::size_t columns = std::min<std::size_t>(rs.columns.size(), 64);
  for (const std::size_t at : places) {
    if (at >= rs.rows.size() || at == rs.current) continue;
    Row& row = rs.rows[at];
    if (row.pendingAt != Row::kNotPending) continue;
    Value* values = CellsOf(rs, at);
    for (std::size_t c = 0; c < columns; ++c) {
      const auto* text = std::get_if<std::string>(&ValueReader::Data(values[c]));
      if (!text || text->size() < kLongText) continue;
      values[c] = Value();
      row.letGo |= LetGoBit(c);
    }
  }
}

// Adds a row at the end of rows; the caller adds its values to the block
// returned, as many as there are columns.
std::vector<Value>& AddRow(RecordsetState& rs, long long rowid) {
  // The thread that reads the rows is stopped first (see filling.h).
  if (rs.filling) Settle(*rs.database->connection);
  if (rs.rows.size() % kRowsPerBlock == 0) {
    rs.cells.emplace_back();
    rs.cells.back().reserve(kRowsPerBlock * rs.columns.size());
  }
  rs.rows.push_back({rowid});
  return rs.cells.back();
}

// The place of the row with this row id, or kEof; `hint` is where it was.
std::size_t PlaceOf(RecordsetState& rs, long long rowid, std::size_t hint) {
  if (hint < rs.rows.size() && rs.rows[hint].rowid == rowid) return hint;
  if (!rs.rowIndexMade) {
    rs.rowIndex.clear();
    rs.rowIndex.reserve(rs.rows.size());
    for (std::size_t at = 0; at < rs.rows.size(); ++at) rs.rowIndex.emplace(rs.rows[at].rowid, at);
    rs.rowIndexMade = true;
  }
  auto it = rs.rowIndex.find(rowid);
  return it == rs.rowIndex.end() ? kEof : it->second;
}

// Puts a row read from the file at its place (rows.size() adds it).
void PlaceRow(RecordsetState& rs, std::size_t at, RowValues&& row) {
  if (at == rs.rows.size()) {
    std::vector<Value>& block = AddRow(rs, row.rowid);
    for (auto& value : row.values) block.push_back(std::move(value));
    if (rs.rowIndexMade) rs.rowIndex[row.rowid] = at;
    return;
  }
  if (rs.rowIndexMade) {
    rs.rowIndex.erase(rs.rows[at].rowid);
    rs.rowIndex[row.rowid] = at;
  }
  rs.rows[at].rowid = row.rowid;
  rs.rows[at].letGo = 0;
  std::move(row.values.begin(), row.values.end(), CellsOf(rs, at));
}

std::size_t IndexOf(const RecordsetState& rs, const std::string& name) {
  for (const auto& recent : rs.recentNames)
    if (!recent.name.empty() && recent.name == name) return recent.column;
  auto it = rs.columnIndex.find(std::string_view(name));
  if (it == rs.columnIndex.end()) RaiseItemNotFound();
  auto& slot = rs.recentNames[rs.nextRecent++ % rs.recentNames.size()];
  slot.name = name;
  slot.column = static_cast<std::size_t>(it->second);
  return slot.column;
}

void Load(RecordsetState& rs) {
  Connection& connection = *rs.database->connection;
  Statement select(Db(connection), rs.query, ContextOf(rs), &connection);
  Load(rs, select);
}

void ForgetRows(RecordsetState& rs) noexcept {
  ForgetPending(rs);
  rs.filling.reset();
  rs.rows.clear();
  rs.cells.clear();
  rs.rowIndex.clear();
  rs.rowIndexMade = false;
  rs.indexes.clear();
}

void Load(RecordsetState& rs, Statement& select) {
  ForgetRows(rs);
  while (select.Step()) {
    std::vector<Value>& block = AddRow(rs, select.Integer(0));
    for (std::size_t i = 0; i < rs.columns.size(); ++i)
      block.push_back(select.Column(static_cast<int>(i) + 1));
  }
}

// Reads one row back from the file, as SQLite stored it.
std::optional<RowValues> ReadRow(const RecordsetState& rs, long long rowid) {
  std::string sql = "SELECT " + rs.rowid;
  for (const auto& column : rs.columns) sql += ", " + Quote(column);
  sql += " FROM " + Quote(rs.table) + " WHERE " + rs.rowid + " = ?1";
  Statement select(*rs.database->connection, sql, ContextOf(rs));
  select.Bind(1, Value(rowid));
  if (!select.Step()) return std::nullopt;
  RowValues row;
  row.rowid = select.Integer(0);
  for (std::size_t i = 0; i < rs.columns.size(); ++i)
    row.values.push_back(select.Column(static_cast<int>(i) + 1));
  return row;
}

// After a rollback the rows held no longer match the file: read them again,
// keeping the current row where it still exists.
void Reload(RecordsetState& rs) {
  std::optional<long long> current;
  if (rs.current != kEof) current = rs.rows[rs.current].rowid;
  rs.mode = EditMode::None;
  Load(rs);
  rs.current = current ? PlaceOf(rs, *current) : kEof;
}

std::string Returning(const RecordsetState& rs) {
  std::string clause = " RETURNING " + rs.rowid;
  for (const auto& column : rs.columns) clause += ", " + Quote(column);
  return clause;
}

std::string UpdateSql(const RecordsetState& rs, const std::vector<std::size_t>& fields, bool returning) {
  std::string sql = "UPDATE " + Quote(rs.table) + " SET ";
  for (std::size_t k = 0; k < fields.size(); ++k)
    sql += (k ? ", " : "") + Quote(rs.columns[fields[k]]) + " = ?" + std::to_string(k + 1);
  sql += " WHERE " + rs.rowid + " = ?" + std::to_string(fields.size() + 1);
  return returning ? sql + Returning(rs) : sql;
}

const std::string& UpdateSql(RecordsetState& rs, const std::vector<std::size_t>& fields) {
  std::string& sql = rs.updateSql[fields];
  if (sql.empty()) sql = UpdateSql(rs, fields, false);
  return sql;
}

namespace {
constexpr std::size_t kBookmarkSize = 15;
}  // namespace

std::string MakeBookmark(std::uint64_t recordset, long long rowid, std::size_t at) {
  std::string bookmark(kBookmarkSize, '\0');
  const auto number = static_cast<std::uint32_t>(recordset);
  const auto place = static_cast<std::uint32_t>(at);
  std::memcpy(bookmark.data(), &number, 4);
  std::memcpy(bookmark.data() + 4, &rowid, 8);
  std::memcpy(bookmark.data() + 12, &place, 3);
  return bookmark;
}

std::pair<long long, std::size_t> ReadBookmark(const RecordsetState& rs, const std::string& bookmark) {
  std::uint32_t number = 0;
  long long rowid = 0;
  std::uint32_t place = 0;
  if (bookmark.size() != kBookmarkSize) RaiseInvalidBookmark();
  std::memcpy(&number, bookmark.data(), 4);
  std::memcpy(&rowid, bookmark.data() + 4, 8);
  std::memcpy(&place, bookmark.data() + 12, 3);
  if (number != static_cast<std::uint32_t>(rs.id)) RaiseInvalidBookmark();
  return {rowid, place};
}

}  // namespace chkimport::dao::detail
