#include "core/routine.h"

#include <new>

#include "core/import_state.h"
#include "dialogs/close_down.h"

namespace chkimport {

Routine::Answer Routine::askAction(std::exception_ptr error) {
  const VbError e = AsVbError(error);
  std::string answer = st_.objErrorStack->Action(e.Number, e.Description, "D");
  if (answer == "B") return Answer::Continue;
  if (answer == "C") {
    CloseDown(st_);
    return Answer::Leave;
  }
  if (answer == "D") return Answer::Leave;
  return Answer::Repeat;
}

VbError AsVbError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const VbError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return VbError(7, "Out of memory");
  } catch (const std::exception& e) {
    return VbError(51, std::string("Internal error: ") + e.what());
  } catch (...) {
    return VbError(51, "Internal error");
  }
}

}  // namespace chkimport
