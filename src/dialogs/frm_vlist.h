// The view chooser: the view tables of the database, one to pick.
#pragma once

#include "services/form.h"

namespace chkimport {

class FrmVList : public Form {
 public:
  explicit FrmVList(ImportState& state);

  void Form_Load() override;
  void Fire(const std::string& control, FormEvent event, int arg = 0) override;

  void listTable_Click();
  void listTable_DblClick();
  void Cmdok_Click();
  void Cmdcancel_Click();
  void Form_KeyDown(int KeyCode);
  void Form_KeyPress(int KeyAscii);
  void ListTable_KeyDown(int KeyCode);
  void ListTable_KeyPress(int KeyAscii);
  void CheckESC(int KeyCode);

  Control& listTable() { return (*this)["listTable"]; }
};

}  // namespace chkimport
