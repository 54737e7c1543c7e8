#include "services/error_stack.h"

#include <ostream>

namespace chkimport {

std::string ErrorStack::AnswerSuggested(int32_t, const std::string&, const std::string& suggested,
                                        const std::vector<std::string>&) {
  return suggested;
}

ErrorStack::ErrorStack(const Settings& settings, Policy policy, std::ostream* log)
    : settings_(settings), policy_(std::move(policy)), log_(log) {}

std::vector<std::string> ErrorStack::Labels() const {
  return std::vector<std::string>(store_.begin(), store_.begin() + static_cast<std::ptrdiff_t>(depth_));
}

std::string ErrorStack::Action(int32_t number, const std::string& description, const std::string& suggested) {
  if (log_) {
    *log_ << "chkimport: error " << number << ": " << description << "\n";
    for (std::size_t i = depth_; i > 0; --i)
      *log_ << (i == depth_ ? "  in " : "  called from ") << store_[i - 1] << "\n";
  }
  std::string answer = policy_ ? policy_(number, description, suggested, Labels()) : suggested;
  if (answer == "C" || answer == "D") PopStack();
  return answer;
}

std::string ErrorStack::IniRead(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return settings_.IniRead(section, key, defaultValue);
}

}  // namespace chkimport
