// The English translator: every text and every dialog stays as written.
#pragma once

#include <string>

#include "chkimport/export.h"
#include "chkimport/translator.h"

namespace chkimport {

class CHKIMPORT_API IdentityTranslator : public Translator {
 public:
  std::string T(const std::string& text) override;

  void setTable(const std::string& table) override;
  void setLANGUAGE(const std::string& language) override;
  void setTest(bool test) override;

  const std::string& Table() const { return table_; }
  const std::string& LANGUAGE() const { return language_; }
  bool Test() const { return test_; }

 private:
  std::string table_;
  std::string language_;
  bool test_ = false;
};

}  // namespace chkimport
