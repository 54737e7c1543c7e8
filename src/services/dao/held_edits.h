// Edits held back, and the thread that writes them.
//
// Inside a transaction, text written into fields that no rule of the table
// can refuse is not written at once: the row keeps the new values, and one
// UPDATE per row writes all of its held edits before anything else reads or
// writes through the connection, and before a commit. A pass edits a field's
// row several times (property letters, then its check code); written this
// way, each row costs one statement.
//
// Rows whose edits are held back, this many or more, are handed to a
// writing thread, all but the current row (which is likely to be edited
// again): a pass translates its next fields while SQLite writes the rows of
// the last ones. The thread is joined before anything else uses the
// connection.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "services/dao/connection.h"

namespace chkimport::dao::detail {

struct RecordsetState;

void ForgetPending(RecordsetState& rs) noexcept;
// Writes the recordset's held edits, one UPDATE per row.
void WritePending(Connection& connection, RecordsetState& rs);
// Forgets every edit held back on the connection (its transaction is
// rolled back, or cannot commit).
void DropPending(Connection& connection) noexcept;
// Hands the recordset's held rows to a writing thread once there are
// enough of them; first, the rows of a recordset still being read.
void StartWriting(Connection& connection, RecordsetState& rs);
// Starts the connection's thread, which waits for batches, unless it runs.
void StartWriter(Connection& connection) noexcept;
// Hands a batch to the connection's thread, started with the first batch;
// without a thread to be had, does its work here and now.
void HandOver(Connection& connection, std::unique_ptr<Connection::Batch> batch);
// Writes every edit held back on the connection, or only those of one
// table: with no trigger or foreign key behind a held edit, the other
// tables read the same either way. When a write fails, the rest are dropped
// and the connection is broken: its transaction can only be rolled back,
// so that no part of it is ever committed.
void FlushPending(Connection& connection, std::optional<std::string_view> table = std::nullopt);
// Before a recordset lets go of its rows: writes its held edits and waits
// for a batch of them being written. Other recordsets keep theirs held: a
// code table closed after each field's list would otherwise write the
// view's edits a few rows at a time, on the caller's thread.
void FlushPendingOf(Connection& connection, const RecordsetState& rs);

}  // namespace chkimport::dao::detail
