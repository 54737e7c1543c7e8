// The successor system's field-name service. The driver asks it about the
// first word of every line outside a field block; an answer equal to the word
// (or "VANTREL") keeps the word. Ours answers every word with itself.
#pragma once

#include <string>

namespace chkimport {

class FieldNameService {
 public:
  std::string MapFieldName(std::string& strName, int intKind, const void* objFirst, const void* objSecond) {
    (void)intKind;
    (void)objFirst;
    (void)objSecond;
    return strName;
  }
};

}  // namespace chkimport
