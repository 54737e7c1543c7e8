// Recordsets: walking, reading and writing the rows of one table.
#include <algorithm>

#include "services/dao.h"
#include "services/dao/connection.h"
#include "services/dao/held_edits.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao {

using namespace detail;

Recordset::Recordset(std::shared_ptr<RecordsetState> state) : state_(std::move(state)) {}

Recordset::~Recordset() {
  // Edits held back are written before the rows that hold them go.
  if (!state_ || !state_->open || !state_->database->connection) return;
  try {
    FlushPendingOf(*state_->database->connection, *state_);
  } catch (const VbError&) {
    // The connection is broken; its transaction cannot commit.
  }
}

bool Recordset::Eof() const {
  return Live(state_).current == kEof;
}

void Recordset::MoveFirst() {
  RecordsetState& rs = Live(state_);
  if (rs.rows.empty()) RaiseNoCurrentRecord();
  rs.mode = EditMode::None;
  rs.current = 0;
}

void Recordset::MoveNext() {
  RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  rs.mode = EditMode::None;
  rs.current = rs.current + 1 < rs.rows.size() ? rs.current + 1 : kEof;
}

const Value& Recordset::Field(const std::string& name) const {
  RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  if (rs.mode == EditMode::Adding || (rs.mode == EditMode::Editing && rs.assigned[column]))
    return rs.buffer[column];
  if (rs.current == kEof) RaiseNoCurrentRecord();
  return Cell(rs, rs.current, column);
}

void Recordset::SetField(const std::string& name, const Value& value) {
  SetField(name, Value(value));
}

void Recordset::SetField(const std::string& name, Value&& value) {
  RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  rs.buffer[column] = std::move(value);
  rs.assigned[column] = 1;
}

void Recordset::Edit() {
  RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  // Fields not assigned read from the row; the buffer's values count only
  // where assigned.
  rs.buffer.resize(rs.columns.size());
  rs.assigned.assign(rs.columns.size(), 0);
  rs.mode = EditMode::Editing;
}

void Recordset::AddNew() {
  RecordsetState& rs = Live(state_);
  rs.buffer.assign(rs.columns.size(), Value());
  rs.assigned.assign(rs.columns.size(), 0);
  rs.mode = EditMode::Adding;
}

void Recordset::Update() {
  RecordsetState& rs = Live(state_);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  const Context context = ContextOf(rs);
  std::vector<std::size_t>& changed = rs.changed;
  changed.clear();
  for (std::size_t i = 0; i < rs.columns.size(); ++i)
    if (rs.assigned[i]) changed.push_back(i);

  // The write hands the row back as SQLite stored it (values converted,
  // defaults filled in), so that no second reading is needed. The row id
  // comes back too: a field that is the row id may just have changed it.
  auto readReturned = [&](Statement& write) {
    RowValues row;
    row.rowid = write.Integer(0);
    row.values.reserve(rs.columns.size());
    for (std::size_t i = 0; i < rs.columns.size(); ++i)
      row.values.push_back(write.Column(static_cast<int>(i) + 1));
    while (write.Step()) {
    }
    return row;
  };

  // Text written into fields that keep it as it is, with no trigger to
  // change the row behind our back, needs nothing handed back: the row held
  // here takes the values written.
  const bool keptAsWritten = std::all_of(changed.begin(), changed.end(), [&](std::size_t i) {
    const auto& data = detail::ValueReader::Data(rs.buffer[i]);
    return std::holds_alternative<std::monostate>(data) ||
           (std::holds_alternative<std::string>(data) && rs.keepsText[i]);
  });
  const bool asWritten = rs.mode == EditMode::Editing && !changed.empty() && !rs.hasTriggers && keptAsWritten;

  Connection& connection = *rs.database->connection;
  if (asWritten) {
    Row& current = rs.rows[rs.current];
    // A row being written keeps its values until the writing is done.
    if (current.inBatch) Settle(connection);
    const bool deferred =
        connection.depth > 0 && std::all_of(changed.begin(), changed.end(), [&](std::size_t i) {
          return rs.deferrable[i] && !rs.buffer[i].IsNull();
        });
    if (deferred) {
      if (connection.pendingWrites && connection.pendingOwner != &rs) FlushPending(connection);
      if (current.pendingAt == Row::kNotPending) {
        current.pendingAt = static_cast<std::uint32_t>(rs.pending.size());
        rs.pending.push_back({rs.current, {}});
      }
      std::vector<std::size_t>& held = rs.pending[current.pendingAt].fields;
      for (const std::size_t i : changed)
        if (std::find(held.begin(), held.end(), i) == held.end()) held.push_back(i);
      connection.pendingWrites = true;
      connection.pendingOwner = &rs;
    } else {
      FlushPending(connection, rs.table);
      Statement update(connection, UpdateSql(rs, changed), context);
      for (std::size_t k = 0; k < changed.size(); ++k)
        update.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
      update.Bind(static_cast<int>(changed.size()) + 1, Value(current.rowid));
      update.Step();
      if (sqlite3_changes(connection.handle) != 1) RaiseRecordDeleted();
    }
    // An index over a changed field is built afresh on its next use.
    std::erase_if(rs.indexes, [&](const auto& index) { return rs.assigned[index.column]; });
    Value* values = CellsOf(rs, rs.current);
    for (const std::size_t i : changed) {
      values[i] = std::move(rs.buffer[i]);
      current.letGo &= ~LetGoBit(i);
    }
    rs.lastModified = current.rowid;
    rs.lastModifiedAt = rs.current;
    rs.mode = EditMode::None;
    if (deferred) StartWriting(connection, rs);
    return;
  }

  FlushPending(connection, rs.table);
  std::optional<RowValues> row;
  if (rs.mode == EditMode::Editing && changed.empty()) {
    row = ReadRow(rs, rs.rows[rs.current].rowid);
  } else if (rs.mode == EditMode::Editing) {
    Statement update(*rs.database->connection, UpdateSql(rs, changed, true), context);
    for (std::size_t k = 0; k < changed.size(); ++k)
      update.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
    update.Bind(static_cast<int>(changed.size()) + 1, Value(rs.rows[rs.current].rowid));
    if (update.Step()) row = readReturned(update);
  } else {
    std::string sql = "INSERT INTO " + Quote(rs.table);
    if (changed.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      std::string names, marks;
      for (std::size_t k = 0; k < changed.size(); ++k) {
        names += (k ? ", " : "") + Quote(rs.columns[changed[k]]);
        marks += (k ? ", ?" : "?") + std::to_string(k + 1);
      }
      sql += " (" + names + ") VALUES (" + marks + ")";
    }
    // A row stored as written needs nothing handed back but its row id.
    const bool addedAsWritten = rs.addsAsWritten && keptAsWritten;
    Statement insert(connection, addedAsWritten ? sql : sql + Returning(rs), context);
    for (std::size_t k = 0; k < changed.size(); ++k)
      insert.Bind(static_cast<int>(k) + 1, rs.buffer[changed[k]]);
    if (addedAsWritten) {
      insert.Step();
      // A rule of the table (ON CONFLICT IGNORE) may have dropped the row.
      if (sqlite3_changes(connection.handle) == 1) {
        row.emplace();
        row->rowid = sqlite3_last_insert_rowid(connection.handle);
        row->values = std::move(rs.buffer);
      }
    } else if (insert.Step()) {
      row = readReturned(insert);
    }
  }
  if (!row) RaiseRecordDeleted();
  const long long rowid = row->rowid;
  if (rs.mode == EditMode::Editing) {
    // An index over a changed field is built afresh on its next use.
    std::erase_if(rs.indexes, [&](const auto& index) { return rs.assigned[index.column]; });
    PlaceRow(rs, rs.current, std::move(*row));
    rs.lastModifiedAt = rs.current;
  } else {
    rs.lastModifiedAt = rs.rows.size();
    PlaceRow(rs, rs.rows.size(), std::move(*row));
  }
  rs.lastModified = rowid;
  rs.mode = EditMode::None;
}

void Recordset::CancelUpdate() {
  RecordsetState& rs = Live(state_);
  if (rs.mode == EditMode::None) RaiseUpdateWithoutEdit();
  rs.mode = EditMode::None;
}

std::string Recordset::Bookmark() const {
  const RecordsetState& rs = Live(state_);
  if (rs.current == kEof) RaiseNoCurrentRecord();
  return MakeBookmark(rs.id, rs.rows[rs.current].rowid, rs.current);
}

void Recordset::SetBookmark(const std::string& bookmark) {
  RecordsetState& rs = Live(state_);
  const auto [rowid, place] = ReadBookmark(rs, bookmark);
  const std::size_t at = PlaceOf(rs, rowid, place);
  if (at == kEof) RaiseInvalidBookmark();
  rs.mode = EditMode::None;
  rs.current = at;
}

bool Recordset::FindFirst(const std::string& name, KeyFunction key, const std::string& wanted) {
  RecordsetState& rs = Live(state_);
  const std::size_t column = IndexOf(rs, name);
  auto index = std::find_if(rs.indexes.begin(), rs.indexes.end(),
                            [&](const auto& i) { return i.column == column && i.key == key; });
  if (index == rs.indexes.end()) {
    rs.indexes.emplace_back();
    rs.indexes.back().column = column;
    rs.indexes.back().key = key;
    index = std::prev(rs.indexes.end());
  }
  // Rows added since the last look-up join the index; earlier rows keep
  // their claim on a key.
  if (index->size() < rs.rows.size()) index->reserve(rs.rows.size());
  while (index->size() < rs.rows.size()) {
    const Value& value = KeyCell(rs, index->size(), column);
    const auto& data = detail::ValueReader::Data(value);
    if (std::holds_alternative<std::monostate>(data))
      index->Add(std::nullopt);
    else if (const auto* text = std::get_if<std::string>(&data))
      index->Add(key(*text));
    else
      index->Add(key(value.ToString()));
  }
  rs.mode = EditMode::None;
  for (const std::size_t found : index->lastFound) {
    const std::size_t next = found + 1;  // kEof + 1 is 0: the first row
    if (index->IsFirstWith(next, wanted)) {
      rs.current = next;
      index->lastFound = {next, index->lastFound[0] == found ? index->lastFound[1] : index->lastFound[0]};
      return true;
    }
  }
  rs.current = index->Find(wanted);
  if (rs.current == kEof) return false;
  index->lastFound = {rs.current, index->lastFound[0]};
  return true;
}

std::string Recordset::LastModified() const {
  RecordsetState& rs = Live(state_);
  if (!rs.lastModified) RaiseNoCurrentRecord();
  const std::size_t at = PlaceOf(rs, *rs.lastModified, rs.lastModifiedAt);
  if (at == kEof) RaiseNoCurrentRecord();
  return MakeBookmark(rs.id, *rs.lastModified, at);
}

int Recordset::FieldsCount() const {
  return static_cast<int>(Live(state_).columns.size());
}

std::vector<std::string> Recordset::FieldNames() const {
  return Live(state_).columns;
}

void Recordset::Close() {
  RecordsetState& rs = Open(state_);
  // Its edits stand: they are written before it lets go of its rows.
  FlushPendingOf(*rs.database->connection, rs);
  rs.open = false;
  rs.filling.reset();
  rs.rows.clear();
  rs.cells.clear();
  rs.rowIndex.clear();
  rs.rowIndexMade = false;
  rs.buffer.clear();
}

}  // namespace chkimport::dao
