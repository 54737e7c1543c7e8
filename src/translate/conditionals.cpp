// IF, THEN, ELSE, ENDIF, ENTER and EXIT. Word extraction has already cut
// every line before a later IF, THEN, ELSE or ENDIF, so each of these begins
// a line of its own and is carried over in order.
#include "core/import_state.h"
#include "core/routine.h"
#include "services/vb_strings.h"
#include "translate/field_code_buffers.h"
#include "translate/scan_words.h"

namespace chkimport {

void onIf(ImportState& st, PassState& p, Routine& r) {
  Store(st, p, r, p.strLine + " THEN");
}

// What follows THEN is stored unchanged; THEN alone stores nothing.
void onThen(ImportState& st, PassState& p, Routine& r) {
  if (st.strWords(1).empty()) return;
  Store(st, p, r, Mid(p.strLine, 6));
}

// What follows ELSE is translated next as a line of its own. When word
// extraction already cut a later keyword off this line, that rest follows
// it, so both reach the translator in their order.
void onElse(ImportState& st, PassState& p, Routine& r) {
  const std::string strAfterElse = Mid(p.strLine, 6);
  Store(st, p, r, "ELSE");
  if (st.strWords(1).empty()) return;
  p.strRest = p.strRest.empty() ? strAfterElse : RTrim(strAfterElse) + " " + p.strRest;
}

void onEndIf(ImportState& st, PassState& p, Routine& r) {
  Store(st, p, r, "END");
}

// The lines before ENTER run before entry, the lines after it after entry.
void onEnter(ImportState& st, PassState& p, Routine& r) {
  if (st.intStagedCount >= 1) r.step([&] { ShiftNewContent(st, 0); });
  p.intSection = 1;
}

void onExit(ImportState& st, PassState& p, Routine& r) {
  r.step([&] {
    p.strLine = "*EXIT " + st.T("is not supported in Vantrel 2000") + " \r\n*" +
                st.T("Use an If-THEN block to do this.");
  });
  StoreAdvice(st, p, r, AdviceKind::NoCounterpart);
}

}  // namespace chkimport
