// Runtime errors of the component, carried as exceptions with the number and
// description that the error-stack control's Action receives.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "chkimport/export.h"

namespace chkimport {

// Error numbers of the runtime the component was written for; the database
// layer adds its own (see services/dao.h).
namespace vberr {
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t BadFileNameOrNumber = 52;
inline constexpr int32_t ObjectNotSet = 91;
inline constexpr int32_t CannotCreateObject = 429;
}  // namespace vberr

class CHKIMPORT_API VbError : public std::runtime_error {
 public:
  VbError(int32_t number, const std::string& description)
      : std::runtime_error(description), Number(number), Description(description) {}

  int32_t Number;
  std::string Description;
};

[[noreturn]] inline void Raise(int32_t number, const std::string& description) {
  throw VbError(number, description);
}

[[noreturn]] inline void RaiseSubscriptOutOfRange() {
  Raise(vberr::SubscriptOutOfRange, "Subscript out of range");
}

[[noreturn]] inline void RaiseOverflow() {
  Raise(vberr::Overflow, "Overflow");
}

}  // namespace chkimport
