// The unmatched-fields dialog: the CHK fields that have no row in the view.
#pragma once

#include "dialogs/form.h"

namespace chkimport {

class FrmNoMatch : public Form {
 public:
  explicit FrmNoMatch(ImportState& st);
  void Form_Load(ImportState& st) override;

  Control& listNoMatch() { return (*this)["listNoMatch"]; }
};

}  // namespace chkimport
