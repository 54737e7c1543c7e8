// The error-stack control that sits on the hidden form: it keeps the labels of
// the routines that are running, decides how a failing routine goes on, and
// reads the user's settings.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "services/settings.h"

namespace chkimport {

class ErrorStack {
 public:
  // Decides how a failing routine goes on: "A" repeat the failing statement,
  // "B" continue after it, "C" close every dialog and leave, "D" leave.
  using Policy =
      std::function<std::string(int32_t number, const std::string& description, const std::string& suggested,
                                const std::vector<std::string>& labels)>;

  // The policy of a run without a user to ask: the suggested answer.
  static std::string AnswerSuggested(int32_t number, const std::string& description,
                                     const std::string& suggested, const std::vector<std::string>& labels);

  // The settings are read where they are, so that a value set later counts;
  // they must outlive the control.
  ErrorStack(const Settings& settings, Policy policy, std::ostream* log);

  // The label is kept, not copied: it must outlive its place on the stack
  // (every routine's label is a literal). Pushed and popped for every
  // routine called, so the room of popped entries is kept.
  void PushStack(const char* label) {
    if (depth_ < store_.size())
      store_[depth_] = label;
    else
      store_.push_back(label);
    ++depth_;
  }
  void PopStack() {
    if (depth_ > 0) --depth_;
  }
  // Reports the error with the running routines to the log and returns the
  // policy's answer. A routine told to leave ("C" or "D") does not pop its
  // own label, so the control drops it here to keep the stack true.
  std::string Action(int32_t number, const std::string& description, const std::string& suggested);
  std::string IniRead(const std::string& section, const std::string& key,
                      const std::string& defaultValue) const;

  // The labels, innermost last.
  std::vector<std::string> Labels() const;

 private:
  const Settings& settings_;
  Policy policy_;
  std::ostream* log_;
  std::vector<const char*> store_;
  std::size_t depth_ = 0;
};

}  // namespace chkimport
