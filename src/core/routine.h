// How every labelled routine of the module meets errors. A routine announces
// itself with its label; once error trapping is on, a failing statement asks
// the error-stack control how to go on: "A" (or any unknown letter) runs the
// statement again, "B" continues after it, "C" closes every dialog and leaves,
// "D" leaves. Leaving hands the caller whatever result the routine had
// assigned so far, and the caller goes on as after a normal return.
//
//   std::string result;
//   Routine r(st, "GetBookmark, ImportCHKCode");
//   return r.run(result, [&] {
//     r.step([&] { rs.MoveFirst(); });
//     ...
//   });
//
// Without trapping, an error passes to the caller, as it would from a routine
// that has no handler.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "chkimport/vb_error.h"
#include "core/import_state.h"

namespace chkimport {

class Routine {
 public:
  enum class Handler { OnEntry, Later };

  // Installs the handler (when trapping is on and `handler` is OnEntry) and
  // pushes the label.
  // Every routine of a pass constructs one: it is inline.
  Routine(ImportState& st, const char* label, Handler handler = Handler::OnEntry) : st_(st) {
    if (handler == Handler::OnEntry) InstallHandler();
    ErrorStack* stack = st_.objErrorStack.get();
    if (!stack) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
    stack->PushStack(label);
  }
  // The label is popped when the body run by `run` ends normally; a routine
  // that leaves through its handler or passes an error on keeps it pushed.
  ~Routine() = default;
  Routine(const Routine&) = delete;
  Routine& operator=(const Routine&) = delete;

  // Installs the handler now, when trapping is on.
  void InstallHandler() { handler_ = st_.blnTrapErrors; }
  // For routines that push their label but never pop it.
  void NeverPop() { popOnExit_ = false; }

  // Runs one statement under the handler.
  template <class F>
  void step(F&& statement) {
    for (;;) {
      try {
        statement();
        return;
      } catch (const LeaveRoutine&) {
        throw;
      } catch (...) {
        if (!handler_) throw;
        switch (askAction(std::current_exception())) {
          case Answer::Repeat:
            continue;
          case Answer::Continue:
            return;
          case Answer::Leave:
            throw LeaveRoutine{};
        }
      }
    }
  }

  // Runs the routine's body and returns `result` as assigned when the body
  // ends, normally or by leaving through the handler.
  template <class R, class F>
  R run(R& result, F&& body) {
    runBody(body);
    return result;
  }
  template <class F>
  void run(F&& body) {
    runBody(body);
  }

 private:
  struct LeaveRoutine {};
  enum class Answer { Repeat, Continue, Leave };

  template <class F>
  void runBody(F& body) {
    try {
      body();
    } catch (const LeaveRoutine&) {
      return;
    } catch (...) {
      // An error outside every step: there is no statement to repeat or
      // to go on after, so after asking, the routine leaves. Each statement
      // that can fail runs as a step of its own, so that the answers mean
      // what they say; only what holds steps together (memory running out)
      // or a pass object that could not be opened fails here.
      if (!handler_) throw;
      askAction(std::current_exception());
      return;
    }
    if (popOnExit_) popLabel();
  }
  void popLabel() {
    if (st_.objErrorStack) st_.objErrorStack->PopStack();
  }

  // Asks the error-stack control; "C" closes every dialog before leaving.
  Answer askAction(std::exception_ptr error);

  ImportState& st_;
  bool handler_ = false;
  bool popOnExit_ = true;
};

// The error that an exception stands for: its own number for a runtime
// error, "Out of memory" (7) or "Internal error" (51) for anything else.
VbError AsVbError(std::exception_ptr error);

}  // namespace chkimport
