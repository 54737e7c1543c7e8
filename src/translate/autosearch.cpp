// AUTOSEARCH: carried over with its field list. Its options have no place in
// the line any more: SOUNDEX became the "S" letter of the field's row, LIST
// is not needed. Each leaves a comment saying so.
#include <algorithm>
#include <vector>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/property_letters.h"
#include "translate/scan_words.h"

namespace chkimport {
namespace {

std::string soundexAdvisory(ImportState& st) {
  return "*SOUNDEX " + st.T("is a property set by checkbox on field dialog.") + " \r\n*" +
         st.T("Property has been set.") + " ";
}

std::string listAdvisory(ImportState& st) {
  return "*LIST " + st.T("is not necessary in Vantrel 2000") + " ";
}

// What follows the option word and the one character after it; the option
// is found where it first occurs in the line, in any case.
std::string fieldsAfter(const std::string& strLine, const std::string& option) {
  return Mid(strLine, InStrNoCase(1, strLine, option) + Len(option) + 1);
}

}  // namespace

void onAutosearch(ImportState& st, PassState& p, Routine& r) {
  enum class Option { Soundex, List };
  const std::string w1 = st.strWords(1);
  const std::string w2 = st.strWords(2);
  const std::string w3 = st.strWords(3);

  // The options stand at word 2 or word 1, and their comments follow in the
  // order of these cases.
  std::vector<Option> options;
  std::string strFields = p.strLine;
  bool blnMoreFields = false;
  if (w2 == "SOUNDEX") {
    options = {Option::Soundex};
    if (w1 == "LIST") options.push_back(Option::List);
    strFields = fieldsAfter(p.strLine, "SOUNDEX");
    blnMoreFields = !w3.empty();
  } else if (w2 == "LIST") {
    options = {Option::List};
    if (w1 == "SOUNDEX") options.push_back(Option::Soundex);
    strFields = fieldsAfter(p.strLine, "LIST");
    blnMoreFields = !w3.empty();
  } else if (w1 == "LIST") {
    options = {Option::List};
    strFields = fieldsAfter(p.strLine, "LIST");
    blnMoreFields = !w2.empty();
  } else if (w1 == "SOUNDEX") {
    options = {Option::Soundex};
    strFields = fieldsAfter(p.strLine, "SOUNDEX");
    blnMoreFields = !w2.empty();
  } else {
    blnMoreFields = !w1.empty();
  }

  // A text that cannot be made leaves the line to be stored as it stands.
  r.step([&] {
    // Without a field list the search is on the current field.
    std::string strText = "AUTOSEARCH " + st.strFieldName;
    if (blnMoreFields) strText = options.empty() ? strFields : "AUTOSEARCH " + strFields;
    for (const Option option : options)
      strText += "\r\n" + (option == Option::Soundex ? soundexAdvisory(st) : listAdvisory(st));
    p.strLine = strText;
  });

  if (std::find(options.begin(), options.end(), Option::Soundex) != options.end()) {
    std::string strLists;
    bool blnRead = false;
    r.step([&] {
      strLists = ListsOf(*p.rsView);
      blnRead = true;
    });
    // Letters that could not be read are not written over.
    if (blnRead && !HasLetter(strLists, 'S')) r.step([&] { SetLists(*p.rsView, strLists + "S"); });
  }
  StoreLine(st, p, r);
  for (const Option option : options)
    r.step([&] {
      if (option == Option::Soundex)
        NoteAdvice(st, AdviceKind::Property, soundexAdvisory(st));
      else
        NoteAdvice(st, AdviceKind::NoCounterpart, listAdvisory(st));
    });
}

}  // namespace chkimport
