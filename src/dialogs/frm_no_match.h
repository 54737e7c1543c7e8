// The unmatched-fields dialog: the CHK fields that have no row in the view.
#pragma once

#include "dialogs/form.h"

namespace chkimport {

class FrmNoMatch : public Form {
 public:
  explicit FrmNoMatch(ImportState& state);
  void Form_Load() override;

  Control& listNoMatch() { return (*this)["listNoMatch"]; }
};

}  // namespace chkimport
