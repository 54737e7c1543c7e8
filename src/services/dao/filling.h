// A large recordset read in two steps. A pass looks its fields' rows up by
// name from its first field on, but reads or edits a row's other fields
// only when it comes to that field. Such a recordset first reads every
// row's id and the one field it is asked for, and the connection's thread
// reads the whole rows while the caller goes on; reading or editing a row
// not yet read waits for it (CellsOf), and an index over the field read
// first is made at once (KeyCell).
//
// The thread reads the rows as a batch of its own (Connection::Batch with
// `fill`). Anything else that needs the connection stops it after the row
// it is reading; it goes on from there with the next edit held back
// (StartWriting), or when a row not yet read is asked for. Only inside a
// transaction, so that both readings see the same rows; every row is read
// before the transaction commits.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <string>

#include "services/dao/connection.h"

namespace chkimport::dao::detail {

struct RecordsetState;

// Reads each row's id and the field `column` through `firstSql`, then has
// the connection's thread read the whole rows through `restSql` (the
// recordset's query from the row id ?1 on). A recordset of few rows is read
// whole at once.
void LoadFirstField(const std::shared_ptr<RecordsetState>& rs, std::size_t column,
                    const std::string& firstSql, std::string restSql);
// The work of a batch with `fill`: reads the owner's rows from the first
// not yet read, until all are or the batch is stopped. `writer` is told of
// each few rows read; none when the work is done on the caller's thread.
void FillRows(sqlite3* db, Connection::Batch& batch, Connection::Writer* writer) noexcept;
// Hands the rows still to be read to the connection's thread, none being at
// work; false when there are none.
bool ResumeFilling(Connection& connection);
// Whether the reading of the recordset's rows, being joined, may stop at
// the next row and go on later; a reading stopped often is waited for to its
// end instead (code tables made one after the other would otherwise stop it
// every few rows).
bool MayStopFilling(RecordsetState& rs) noexcept;
// A batch with `fill` was joined: once every row is read, the recordset is
// as any other.
void FilledWhenRead(Connection& connection, RecordsetState& rs) noexcept;
// Reads every row still to be read on the connection, before its
// transaction ends.
void CompleteFilling(Connection& connection);

}  // namespace chkimport::dao::detail
