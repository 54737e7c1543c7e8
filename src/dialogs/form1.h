// The hidden form that carries the error-stack control.
#pragma once

#include <memory>

#include "services/error_stack.h"
#include "services/form.h"

namespace chkimport {

class Form1 : public Form {
 public:
  explicit Form1(ImportState& state);
  std::shared_ptr<ErrorStack> Mishtrak1;
};

}  // namespace chkimport
