// What a writing pass leaves the user to do by hand, gathered as the pass
// writes it: every comment of advice it stores, by field and kind, the CHK
// lines that name no row of the view, the code tables it makes and the
// lines it reads. The migration report is made from these.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace chkimport {

struct ImportState;

// The kinds of advice, in the order the report lists them.
enum class AdviceKind {
  CodeTable,      // link a code table to its field
  Range,          // a range to set or check by hand
  Key,            // KEY: key fields of the successor
  Relate,         // RELATE: a related view
  Help,           // a help file or HELP KEYS to bring across
  Include,        // an include file that could not be imported
  Jumps,          // JUMPS turned into IF-THEN-GOTO blocks
  NoCounterpart,  // a command the successor has no use for
  Property,       // a property the import set on the field
  Variables,      // a variable moved to the DEFINEDVARIABLES row
};
inline constexpr std::array<AdviceKind, 10> kAdviceKinds{
    AdviceKind::CodeTable, AdviceKind::Range,    AdviceKind::Key,   AdviceKind::Relate,
    AdviceKind::Help,      AdviceKind::Include,  AdviceKind::Jumps, AdviceKind::NoCounterpart,
    AdviceKind::Property,  AdviceKind::Variables};

// A stable name for programs ("code-table", ...) and a heading (English,
// marked for the catalogs).
const char* AdviceKindKey(AdviceKind kind);
const char* AdviceKindTitle(AdviceKind kind);

struct AdviceNote {
  std::string field;  // the row the comment went to: the CHK field name, RECORD or VIEW
  AdviceKind kind;
  std::string text;  // the comment as stored, its lines joined by CRLF
};

struct MigrationNotes {
  std::vector<AdviceNote> advice;
  std::vector<std::string> unmatched;   // CHK lines without a row in the view
  std::vector<std::string> codeTables;  // made by the pass
  long long linesRead = 0;              // of the CHK file and the files it includes
  std::string row;                      // the row the pass writes code for now
};

// Records `text`, just stored for the current row, when the pass is
// gathering notes.
void NoteAdvice(ImportState& st, AdviceKind kind, const std::string& text);

}  // namespace chkimport
