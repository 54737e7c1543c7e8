#include "services/error_stack.h"

#include <ostream>

namespace chkimport {

std::string ErrorStack::AnswerSuggested(int32_t, const std::string&, const std::string& suggested,
                                        const std::vector<std::string>&) {
  return suggested;
}

ErrorStack::ErrorStack(Settings settings, Policy policy, std::ostream* log)
    : settings_(std::move(settings)), policy_(std::move(policy)), log_(log) {}

void ErrorStack::PushStack(const std::string& label) {
  labels_.push_back(label);
}

void ErrorStack::PopStack() {
  if (!labels_.empty()) labels_.pop_back();
}

std::string ErrorStack::Action(int32_t number, const std::string& description, const std::string& suggested) {
  if (log_) {
    *log_ << "chkimport: error " << number << ": " << description << "\n";
    for (auto it = labels_.rbegin(); it != labels_.rend(); ++it)
      *log_ << (it == labels_.rbegin() ? "  in " : "  called from ") << *it << "\n";
  }
  std::string answer = policy_ ? policy_(number, description, suggested, labels_) : suggested;
  if (answer == "C" || answer == "D") PopStack();
  return answer;
}

std::string ErrorStack::IniRead(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return settings_.IniRead(section, key, defaultValue);
}

}  // namespace chkimport
