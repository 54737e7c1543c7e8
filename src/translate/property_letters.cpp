#include "translate/property_letters.h"

#include <cctype>

#include "services/dao.h"

namespace chkimport {

std::string ListsOf(const dao::Recordset& rsView) {
  const dao::Value value = rsView.Field("Lists");
  return value.IsNull() ? std::string() : value.ToString();
}

bool HasLetter(const std::string& strLists, char letter) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const char c : strLists)
    if (std::toupper(static_cast<unsigned char>(c)) == upper) return true;
  return false;
}

void SetLists(dao::Recordset& rsView, const std::string& strLists) {
  rsView.Edit();
  rsView.SetField("Lists", strLists);
  rsView.Update();
}

}  // namespace chkimport
