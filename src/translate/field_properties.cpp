// KEY, LET, MUSTENTER and NOENTER. Must enter and read only are properties
// of the field's view row now, letters "M" and "N" in its Lists, written at
// once; key fields are made by Vantrel 2000 itself; LET is ASSIGN.
#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/property_letters.h"
#include "translate/scan_words.h"

namespace chkimport {
namespace {

// Appends `letter` to the current row's Lists unless it or `excluded` is
// there already, and completes the comment `strLine` with the outcome.
void setPropertyLetter(ImportState& st, PassState& p, Routine& r, char letter, char excluded) {
  std::string strLists;
  r.step([&] { strLists = ListsOf(*p.rsView); });
  if (HasLetter(strLists, excluded)) {
    r.step([&] {
      p.strLine += "\r\n*" + st.T("MUSTENTER and READ ONLY properties cannot be set at the same time.") + " ";
    });
    return;
  }
  if (!HasLetter(strLists, letter)) r.step([&] { SetLists(*p.rsView, strLists + letter); });
  r.step([&] { p.strLine += "\r\n*" + st.T("Property has been set.") + " "; });
}

}  // namespace

void onKey(ImportState& st, PassState& p, Routine& r) {
  r.step([&] {
    p.strLine = "*KEY " + st.T("is not relevant in Vantrel 2000") + " \r\n*" +
                st.T("Vantrel 2000 automatically creates new") + " \r\n*" +
                st.T("key fields called UniqueKey and FKey") + " ";
  });
  if (st.strWords(1) == "UNIQUE")
    r.step([&] { p.strLine += "\r\n*" + st.T("KEY UNIQUE fields must be set in Plandor") + " "; });
  StoreAdvice(st, p, r, AdviceKind::Key);
}

// The assignment itself is carried over as it stands.
void onLet(ImportState& st, PassState& p, Routine& r) {
  Store(st, p, r, "ASSIGN " + Mid(p.strLine, 5));
}

void onMustEnter(ImportState& st, PassState& p, Routine& r) {
  r.step([&] { p.strLine = "*MUSTENTER " + st.T("is a property set by checkbox on field dialog.") + " "; });
  setPropertyLetter(st, p, r, 'M', 'N');
  StoreAdvice(st, p, r, AdviceKind::Property);
}

void onNoEnter(ImportState& st, PassState& p, Routine& r) {
  r.step([&] {
    p.strLine = "*" + st.T("NOENTER is now called READ ONLY and") + " \r\n*" +
                st.T("is a property set by checkbox on field dialog.") + " ";
  });
  setPropertyLetter(st, p, r, 'N', 'M');
  StoreAdvice(st, p, r, AdviceKind::Property);
}

}  // namespace chkimport
