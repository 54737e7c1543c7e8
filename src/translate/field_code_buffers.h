#pragma once

#include <cstdint>
#include <string>

namespace chkimport {

struct ImportState;

// The translated code of the current field, in three columns of
// strNewContent: 0 BEFORE, 1 AFTER, 2 staged (lines produced while neither
// section was open).

// Empties the three columns.
void InitializeArray(ImportState& st);
// Stores a line, trimmed, in column intSection (0, 1 or 2); with 9, reads a
// stored Checkcode value back into one BEFORE and one AFTER entry. Always
// true: the caller then has code pending.
bool InsertNewContent(ImportState& st, int16_t intSection, const std::string& strText);
// Appends the staged lines to column intColumn and empties the staging column.
void ShiftNewContent(ImportState& st, int16_t intColumn);
// Clears the value-list rows, keeping the column names set by CODEFIELD.
void InitCodeContent(ImportState& st);

}  // namespace chkimport
