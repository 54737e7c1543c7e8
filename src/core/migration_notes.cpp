#include "core/migration_notes.h"

#include "core/import_state.h"
#include "services/texts.h"

namespace chkimport {

const char* AdviceKindKey(AdviceKind kind) {
  switch (kind) {
    case AdviceKind::CodeTable:
      return "code-table";
    case AdviceKind::Range:
      return "range";
    case AdviceKind::Key:
      return "key";
    case AdviceKind::Relate:
      return "relate";
    case AdviceKind::Help:
      return "help";
    case AdviceKind::Include:
      return "include";
    case AdviceKind::Jumps:
      return "jumps";
    case AdviceKind::NoCounterpart:
      return "no-counterpart";
    case AdviceKind::Property:
      return "property";
    case AdviceKind::Variables:
      return "variables";
  }
  return "";
}

const char* AdviceKindTitle(AdviceKind kind) {
  switch (kind) {
    case AdviceKind::CodeTable:
      return N_("Link a code table to its field");
    case AdviceKind::Range:
      return N_("Set or check a range by hand");
    case AdviceKind::Key:
      return N_("Replace a KEY");
    case AdviceKind::Relate:
      return N_("Replace a RELATE with a related view");
    case AdviceKind::Help:
      return N_("Bring a help file or HELP KEYS across");
    case AdviceKind::Include:
      return N_("Bring an include file across");
    case AdviceKind::Jumps:
      return N_("Check the jumps made from JUMPS");
    case AdviceKind::NoCounterpart:
      return N_("Rewrite or drop a command without a counterpart");
    case AdviceKind::Property:
      return N_("Check a property set on the field dialog");
    case AdviceKind::Variables:
      return N_("Check a variable moved to DEFINEDVARIABLES");
  }
  return "";
}

void NoteAdvice(ImportState& st, AdviceKind kind, const std::string& text) {
  if (!st.migrationNotes) return;
  MigrationNotes& notes = *st.migrationNotes;
  notes.advice.push_back({notes.row.empty() ? st.strFieldName : notes.row, kind, text});
}

}  // namespace chkimport
