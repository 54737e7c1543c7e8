// The view chooser: the view tables of the database, one to pick.
#pragma once

#include "dialogs/form.h"

namespace chkimport {

class FrmVList : public Form {
 public:
  explicit FrmVList(ImportState& state);
  void Form_Load() override;

  Control& listTable() { return (*this)["listTable"]; }
};

}  // namespace chkimport
