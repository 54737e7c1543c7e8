#include "chkimport/identity_translator.h"

namespace chkimport {

std::string IdentityTranslator::T(const std::string& text) {
  return text;
}

void IdentityTranslator::setTable(const std::string& table) {
  table_ = table;
}

void IdentityTranslator::setLANGUAGE(const std::string& language) {
  language_ = language;
}

void IdentityTranslator::setTest(bool test) {
  test_ = test;
}

}  // namespace chkimport
