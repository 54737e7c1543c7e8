#include "core/migration_notes.h"

#include <iterator>

#include "core/import_state.h"
#include "services/texts.h"

namespace chkimport {

namespace {

struct KindNames {
  const char* key;
  const char* title;
};

// In the order of AdviceKind.
constexpr KindNames kKindNames[] = {
    {"code-table", N_("Link a code table to its field")},
    {"range", N_("Set or check a range by hand")},
    {"key", N_("Replace a KEY")},
    {"relate", N_("Replace a RELATE with a related view")},
    {"help", N_("Bring a help file or HELP KEYS across")},
    {"include", N_("Bring an include file across")},
    {"jumps", N_("Check the jumps made from JUMPS")},
    {"no-counterpart", N_("Rewrite or drop a command without a counterpart")},
    {"property", N_("Check a property set on the field dialog")},
    {"variables", N_("Check a variable moved to DEFINEDVARIABLES")},
};
static_assert(std::size(kKindNames) == kAdviceKinds.size());

}  // namespace

const char* AdviceKindKey(AdviceKind kind) {
  return kKindNames[static_cast<std::size_t>(kind)].key;
}

const char* AdviceKindTitle(AdviceKind kind) {
  return kKindNames[static_cast<std::size_t>(kind)].title;
}

void NoteAdvice(ImportState& st, AdviceKind kind, const std::string& text) {
  if (!st.migrationNotes) return;
  MigrationNotes& notes = *st.migrationNotes;
  notes.advice.push_back({notes.row.empty() ? st.strFieldName : notes.row, kind, text});
}

}  // namespace chkimport
