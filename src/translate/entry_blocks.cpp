// BEFORE and AFTER (ENTRY, RECORD, FILE), AUTOJUMP and GOTO.
#include "core/import_state.h"
#include "core/migration_notes.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/field_code_buffers.h"
#include "translate/scan_words.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {

// BEFORE/AFTER ENTRY open the field's before- or after-entry section. BEFORE
// and AFTER RECORD and FILE send the code that follows to rows of their own,
// "RECORD" and "VIEW", made when the view lacks them. Not guarded: the
// section switch happens on the listing pass too.
void onBeforeAfter(ImportState& st, PassState& p, Routine& r) {
  const bool before = st.strWords(0) == "BEFORE";
  int16_t& blockLevel = before ? st.intBeforeLevel : st.intAfterLevel;
  const std::string word1 = st.strWords(1);

  if (word1 != "RECORD" && word1 != "FILE") {
    if (word1 == "ENTRY" && p.intLevel >= 1) {
      r.step([&] { Increment(p.intLevel); });
      blockLevel = p.intLevel;
      if (st.intStagedCount >= 1) r.step([&] { ShiftNewContent(st, 0); });
      p.intSection = before ? 0 : 1;
    }
    return;
  }

  r.step([&] { Increment(p.intLevel); });
  blockLevel = p.intLevel;
  p.intSection = before ? 0 : 1;
  if (UCase(Trim(word1)) == "FILE") st.strWords(1) = "VIEW";

  if (p.blnPending) {
    r.step([&] { WriteDeclarations(st, p, st.strBookmark); });
    r.step([&] { ImportCode(st, *p.rsView); });
    r.step([&] { InitializeArray(st); });
    p.blnPending = false;
  }
  r.step([&] { GetBookmark(st, *p.rsView, st.strWords(1)); });
  if (!p.blnIgnoreNew) return;
  if (st.migrationNotes) st.migrationNotes->row = UCase(Trim(st.strWords(1)));

  if (!st.strBookmark.empty()) {
    if (p.blnOverwrite) return;
    r.step([&] { WriteDeclarations(st, p, st.strBookmark); });
    r.step([&] {
      const dao::Value code = p.rsView->Field("Checkcode");
      if (!code.IsNull()) {
        InsertNewContent(st, 9, code.ToString());
        p.blnPending = true;
      }
    });
    return;
  }

  r.step([&] { p.rsView->AddNew(); });
  r.step([&] { p.rsView->SetField("PageNumber", dao::Value(0)); });
  r.step([&] { p.rsView->SetField("Name", UCase(Trim(st.strWords(1)))); });
  r.step([&] { p.rsView->Update(); });
  r.step([&] { p.rsView->SetBookmark(p.rsView->LastModified()); });
  r.step([&] { st.strBookmark = p.rsView->Bookmark(); });
}

// AUTOJUMP becomes GOTO; a GOTO line is stored as it stands.
void onJump(ImportState& st, PassState& p, Routine& r) {
  if (Trim(st.strWords(0)) == "AUTOJUMP") p.strLine = "GOTO " + Mid(p.strLine, 10);
  StoreLine(st, p, r);
}

}  // namespace chkimport
