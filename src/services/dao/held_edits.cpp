#include "services/dao/held_edits.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include "services/dao/connection.h"
#include "services/dao/filling.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao::detail {

void ForgetPending(RecordsetState& rs) noexcept {
  for (const auto& held : rs.pending)
    if (held.at < rs.rows.size()) rs.rows[held.at].pendingAt = Row::kNotPending;
  rs.pending.clear();
}

void WritePending(Connection& connection, RecordsetState& rs) {
  const Context context = ContextOf(rs);
  std::vector<RecordsetState::PendingRow> pending = std::move(rs.pending);
  rs.pending.clear();
  for (const auto& held : pending) rs.rows[held.at].pendingAt = Row::kNotPending;
  for (auto& held : pending) {
    std::vector<std::size_t>& fields = held.fields;
    std::sort(fields.begin(), fields.end());
    const Value* values = CellsOf(rs, held.at);
    Statement update(connection, UpdateSql(rs, fields), context);
    // The row's values stay as they are until the statement is reset.
    for (std::size_t k = 0; k < fields.size(); ++k)
      update.BindUnchanging(static_cast<int>(k) + 1, values[fields[k]]);
    update.Bind(static_cast<int>(fields.size()) + 1, Value(rs.rows[held.at].rowid));
    update.Step();
    if (sqlite3_changes(connection.handle) != 1) RaiseRecordDeleted();
  }
}

void DropPending(Connection& connection) noexcept {
  (void)JoinWriter(connection);
  connection.pendingWrites = false;
  connection.pendingOwner = nullptr;
  for (const auto& weak : connection.recordsets)
    if (auto rs = weak.lock()) ForgetPending(*rs);
}

namespace {

// A batch's work: each write in turn, until one fails.
void WriteBatch(sqlite3* db, Connection::Batch& batch) noexcept {
  const Context context{batch.path, batch.table};
  try {
    for (const auto& write : batch.writes) {
      sqlite3_stmt* stmt = write.prepared->stmt;
      int index = 1;
      for (const std::size_t field : write.fields)
        BindValue(db, stmt, index++, write.values[field], false, context);
      BindValue(db, stmt, index, Value(write.rowid), false, context);
      const int rc = sqlite3_step(stmt);
      if (rc != SQLITE_DONE) RaiseSqlite(db, rc, context);
      sqlite3_reset(stmt);
      if (sqlite3_changes(db) != 1) RaiseRecordDeleted();
    }
  } catch (const VbError& e) {
    batch.error = e;
  } catch (...) {
    batch.error = VbError(7, "Out of memory");
  }
  // A write that failed left its statement unreset.
  for (Connection::Prepared* prepared : batch.statements) {
    sqlite3_reset(prepared->stmt);
    sqlite3_clear_bindings(prepared->stmt);
  }
  // What the batch took is let go of here, not in the caller's time.
  std::vector<Connection::Write>().swap(batch.writes);
}

// The writing thread: each batch handed over, until the connection stops it.
void WriterLoop(sqlite3* db, Connection::Writer& writer) noexcept {
  std::unique_lock lock(writer.mutex);
  for (;;) {
    writer.wake.wait(lock, [&] { return writer.job || writer.stop; });
    if (!writer.job) return;
    Connection::Batch& batch = *std::exchange(writer.job, nullptr);
    lock.unlock();
    if (batch.fill)
      FillRows(db, batch, &writer);
    else
      WriteBatch(db, batch);
    lock.lock();
    batch.done.store(true, std::memory_order_release);
    writer.done.notify_all();
  }
}

constexpr std::size_t kRowsPerBatch = 128;

}  // namespace

void StartWriting(Connection& connection, RecordsetState& rs) {
  const bool filling = !connection.filling.expired();
  if (!filling && rs.pending.size() < kRowsPerBatch) return;
  if (connection.batch) {
    // One batch at a time; the rows wait for the next.
    if (!connection.batch->done.load(std::memory_order_acquire)) return;
    Settle(connection);
  }
  // Reading the rows goes on first, where something stopped it: rows edited
  // can wait to be written, rows read are waited for.
  if (filling && ResumeFilling(connection)) return;
  if (rs.pending.size() < kRowsPerBatch) return;
  auto batch = std::make_unique<Connection::Batch>();
  batch->owner = &rs;
  const Context context = ContextOf(rs);
  batch->path = context.path;
  batch->table = context.table;
  batch->writes.reserve(rs.pending.size());
  batch->rows.reserve(rs.pending.size());
  std::vector<RecordsetState::PendingRow> kept;
  try {
    for (auto& held : rs.pending) {
      Row& row = rs.rows[held.at];
      if (held.at == rs.current) {
        row.pendingAt = static_cast<std::uint32_t>(kept.size());
        kept.push_back(std::move(held));
        continue;
      }
      std::sort(held.fields.begin(), held.fields.end());
      Connection::Prepared& prepared = Kept(connection, UpdateSql(rs, held.fields), context);
      if (!prepared.inUse) {
        prepared.inUse = true;
        batch->statements.push_back(&prepared);
      }
      batch->writes.push_back({&prepared, row.rowid, CellsOf(rs, held.at), std::move(held.fields)});
      batch->rows.push_back(held.at);
      row.pendingAt = Row::kNotPending;
      row.inBatch = true;
    }
  } catch (const VbError& e) {
    // Some rows may have left the list: nothing of the transaction can be kept.
    for (Connection::Prepared* prepared : batch->statements) prepared->inUse = false;
    for (const std::size_t at : batch->rows) rs.rows[at].inBatch = false;
    for (const auto& held : rs.pending) rs.rows[held.at].pendingAt = Row::kNotPending;
    rs.pending.clear();
    DropPending(connection);
    connection.broken = e;
    throw;
  }
  rs.pending = std::move(kept);
  connection.pendingWrites = !rs.pending.empty();
  if (batch->writes.empty()) return;
  HandOver(connection, std::move(batch));
}

void StartWriter(Connection& connection) noexcept {
  if (connection.writer) return;
  try {
    auto writer = std::make_unique<Connection::Writer>();
    writer->process = getpid();
    writer->thread = std::thread(WriterLoop, connection.handle, std::ref(*writer));
    connection.writer = std::move(writer);
  } catch (const std::exception&) {
    // No thread to be had: batches are done on the caller's thread.
  }
}

void HandOver(Connection& connection, std::unique_ptr<Connection::Batch> batch) {
  connection.batch = std::move(batch);
  StartWriter(connection);
  if (!connection.writer) {
    if (connection.batch->fill)
      FillRows(connection.handle, *connection.batch, nullptr);
    else
      WriteBatch(connection.handle, *connection.batch);
    connection.batch->done.store(true, std::memory_order_release);
    return;
  }
  {
    std::lock_guard lock(connection.writer->mutex);
    connection.writer->job = connection.batch.get();
  }
  connection.writer->wake.notify_one();
}

// Writes every edit held back on the connection, or only those of one
// table: with no trigger or foreign key behind a held edit, the other
// tables read the same either way. When a write fails, the rest are dropped
// and the connection is broken: its transaction can only be rolled back,
// so that no part of it is ever committed.
void FlushPending(Connection& connection, std::optional<std::string_view> table) {
  Settle(connection);
  if (!connection.pendingWrites) return;
  connection.pendingWrites = false;
  try {
    for (const auto& weak : connection.recordsets) {
      auto rs = weak.lock();
      if (!rs || rs->pending.empty()) continue;
      if (table && !SameName(*table, rs->table)) {
        connection.pendingWrites = true;
        continue;
      }
      WritePending(connection, *rs);
    }
  } catch (const VbError& e) {
    DropPending(connection);
    connection.broken = e;
    throw;
  }
}

void FlushPendingOf(Connection& connection, const RecordsetState& rs) {
  if (!rs.pending.empty() || (connection.batch && connection.batch->owner == &rs)) FlushPending(connection);
}

}  // namespace chkimport::dao::detail
