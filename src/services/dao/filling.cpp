#include "services/dao/filling.h"

#include <algorithm>
#include <mutex>

#include "services/dao/held_edits.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao::detail {

namespace {

// Below this many rows the whole rows are read at once: the second reading
// would cost more than it saves.
constexpr std::size_t kFillFrom = 256;
// The rows read between two reports to a caller waiting for one.
constexpr std::size_t kFillStep = 64;
// How often the reading may be stopped before it is waited for instead.
constexpr int kStopsAtMost = 8;

void report(Connection::Writer* writer, Filling& f, std::size_t filled) {
  if (!writer) {
    f.filled.store(filled, std::memory_order_release);
    return;
  }
  {
    std::lock_guard lock(writer->mutex);
    f.filled.store(filled, std::memory_order_release);
  }
  writer->done.notify_all();
}

}  // namespace

void LoadFirstField(const std::shared_ptr<RecordsetState>& state, std::size_t column,
                    const std::string& firstSql, std::string restSql) {
  RecordsetState& rs = *state;
  Connection& connection = *rs.database->connection;
  // One recordset at a time is read in two steps.
  CompleteFilling(connection);
  // The thread starts while the first reading runs: a thread just made may
  // wait a while for a processor.
  StartWriter(connection);
  auto f = std::make_unique<Filling>();
  {
    Statement select(Db(connection), firstSql, ContextOf(rs), &connection);
    ForgetRows(rs);
    // The blocks' room is taken here (AddRow), their values made by the thread.
    while (select.Step()) {
      AddRow(rs, select.Integer(0));
      f->first.push_back(select.Column(1));
    }
  }
  if (rs.rows.size() < kFillFrom) {
    Load(rs);
    return;
  }
  f->column = column;
  f->rows = rs.rows.size();
  f->sql = std::move(restSql);
  rs.filling = std::move(f);
  connection.filling = state;
  ResumeFilling(connection);
}

void FillRows(sqlite3* db, Connection::Batch& batch, Connection::Writer* writer) noexcept {
  RecordsetState& rs = *batch.owner;
  Filling& f = *rs.filling;
  const Context context{batch.path, batch.table};
  try {
    const std::size_t columns = rs.columns.size();
    // A block holds a Null value for each field of its rows read first once
    // the thread comes to it, the last block at once: a row the caller adds
    // meanwhile goes after them.
    auto size = [&](std::size_t block) {
      if (rs.cells[block].empty())
        rs.cells[block].resize(std::min(kRowsPerBlock, f.rows - block * kRowsPerBlock) * columns);
    };
    size((f.rows - 1) / kRowsPerBlock);
    std::size_t at = f.filled.load(std::memory_order_relaxed);
    if (at == f.rows) return;
    Statement select(db, f.sql, context);
    select.Bind(1, Value(rs.rows[at].rowid));
    while (at < f.rows && !batch.stop.load(std::memory_order_relaxed) && select.Step() &&
           select.Integer(0) == rs.rows[at].rowid) {
      if (at % kRowsPerBlock == 0) size(at / kRowsPerBlock);
      Value* values = rs.cells[at / kRowsPerBlock].data() + at % kRowsPerBlock * columns;
      for (std::size_t i = 0; i < columns; ++i) values[i] = select.Column(static_cast<int>(i) + 1);
      if (++at % kFillStep == 0) report(writer, f, at);
    }
    report(writer, f, at);
    if (at < f.rows && !batch.stop.load(std::memory_order_relaxed))
      RaiseEngine("the rows of '" + batch.table + "' changed while they were read");
  } catch (const VbError& e) {
    batch.error = e;
  } catch (...) {
    batch.error = VbError(7, "Out of memory");
  }
}

bool ResumeFilling(Connection& connection) {
  const auto rs = connection.filling.lock();
  if (!rs || !rs->filling) {
    connection.filling.reset();
    return false;
  }
  auto batch = std::make_unique<Connection::Batch>();
  batch->owner = rs.get();
  batch->fill = true;
  const Context context = ContextOf(*rs);
  batch->path = context.path;
  batch->table = context.table;
  HandOver(connection, std::move(batch));
  return true;
}

bool MayStopFilling(RecordsetState& rs) noexcept {
  return rs.filling && ++rs.filling->stops <= kStopsAtMost;
}

void FilledWhenRead(Connection& connection, RecordsetState& rs) noexcept {
  if (!rs.filling || rs.filling->filled.load(std::memory_order_acquire) < rs.filling->rows) return;
  rs.filling.reset();
  connection.filling.reset();
}

void WaitForRow(RecordsetState& rs, std::size_t at) {
  Connection& connection = *rs.database->connection;
  while (rs.filling && at < rs.filling->rows && at >= rs.filling->filled.load(std::memory_order_acquire)) {
    Connection::Batch* batch = connection.batch.get();
    if (batch && batch->fill && batch->owner == &rs && !batch->done.load(std::memory_order_acquire)) {
      const Filling& f = *rs.filling;
      std::unique_lock lock(connection.writer->mutex);
      connection.writer->done.wait(lock, [&] {
        return f.filled.load(std::memory_order_relaxed) > at || batch->done.load(std::memory_order_relaxed);
      });
      continue;
    }
    // A batch of writes, or a reading that stopped or failed (raised here).
    Settle(connection);
    if (rs.filling && at >= rs.filling->filled.load(std::memory_order_acquire) && !ResumeFilling(connection))
      RaiseEngine("the rows of '" + rs.table + "' are no longer being read");
  }
}

void CompleteFilling(Connection& connection) {
  const auto rs = connection.filling.lock();
  if (rs && rs->filling) WaitForRow(*rs, rs->filling->rows - 1);
  Settle(connection);
  connection.filling.reset();
}

}  // namespace chkimport::dao::detail
