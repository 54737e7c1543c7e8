#include <charconv>
#include <cmath>

#include "chkimport/vb_error.h"
#include "services/dao.h"

namespace chkimport::dao {

Value::Value(const char* text) {
  if (text) data_ = std::string(text);
}

std::string Value::ToString() const {
  if (const auto* n = std::get_if<long long>(&data_)) return std::to_string(*n);
  if (const auto* r = std::get_if<double>(&data_)) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *r);
    return std::string(buffer, result.ptr);
  }
  if (const auto* s = std::get_if<std::string>(&data_)) return *s;
  Raise(94, "Invalid use of Null");
}

bool operator==(const Value& a, const Value& b) {
  const auto* ai = std::get_if<long long>(&a.data_);
  const auto* ad = std::get_if<double>(&a.data_);
  const auto* bi = std::get_if<long long>(&b.data_);
  const auto* bd = std::get_if<double>(&b.data_);
  // A whole number equals a real only when the real is exactly that number.
  auto same = [](long long i, double d) {
    return std::isfinite(d) && std::trunc(d) == d && d >= -0x1p63 && d < 0x1p63 &&
           static_cast<long long>(d) == i;
  };
  if (ai && bd) return same(*ai, *bd);
  if (ad && bi) return same(*bi, *ad);
  return a.data_ == b.data_;
}

}  // namespace chkimport::dao
