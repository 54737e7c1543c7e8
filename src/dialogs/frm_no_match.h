// The unmatched-fields dialog: the CHK fields that have no row in the view,
// and the question whether to import the code of those that have.
#pragma once

#include "services/form.h"

namespace chkimport {

class FrmNoMatch : public Form {
 public:
  explicit FrmNoMatch(ImportState& state);

  void Form_Load() override;
  void Fire(const std::string& control, FormEvent event, int arg = 0) override;

  void listNoMatch_Click();
  void Cmdok_Click();
  void Cmdcancel_Click();
  void Form_KeyDown(int KeyCode);
  void Form_KeyPress(int KeyAscii);
  void ListNoMatch_KeyDown(int KeyCode);
  void ListNoMatch_KeyPress(int KeyAscii);
  void CheckESC(int KeyCode);

  Control& listNoMatch() { return (*this)["listNoMatch"]; }
};

}  // namespace chkimport
