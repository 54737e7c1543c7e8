// Fixed-bound arrays and 16-bit counters of the import state. Every access is
// checked: going past a bound raises "Subscript out of range" (9) and a counter
// leaving the 16-bit range raises "Overflow" (6), so that the fault reaches the
// error-stack convention instead of becoming undefined behaviour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "chkimport/vb_error.h"

namespace chkimport {

// An array indexed Lo to Hi inclusive, as declared `Dim a(Lo To Hi)`.
template <class T, int Lo, int Hi>
class FixedArray {
  static_assert(Hi >= Lo);

 public:
  static constexpr int LBound = Lo;
  static constexpr int UBound = Hi;

  T& operator()(long index) { return items_[offset(index)]; }
  const T& operator()(long index) const { return items_[offset(index)]; }

  void fill(const T& value) { items_.fill(value); }

 private:
  static std::size_t offset(long index) {
    if (index < Lo || index > Hi) RaiseSubscriptOutOfRange();
    return static_cast<std::size_t>(index - Lo);
  }
  std::array<T, static_cast<std::size_t>(Hi - Lo + 1)> items_{};
};

// A two-dimensional array `Dim a(0 To Cols - 1, 0 To Rows - 1)`.
template <class T, int Cols, int Rows>
class FixedGrid {
 public:
  T& operator()(long column, long row) { return cells_[offset(column, row)]; }
  const T& operator()(long column, long row) const { return cells_[offset(column, row)]; }
  // The rows of a column, checked once.
  std::span<T, Rows> Column(long column) { return std::span<T, Rows>(&cells_[offset(column, 0)], Rows); }

 private:
  static std::size_t offset(long column, long row) {
    if (column < 0 || column >= Cols || row < 0 || row >= Rows) RaiseSubscriptOutOfRange();
    return static_cast<std::size_t>(column) * Rows + static_cast<std::size_t>(row);
  }
  std::array<T, static_cast<std::size_t>(Cols) * Rows> cells_{};
};

// Checked 16-bit arithmetic for counters and levels.
inline int16_t CheckedInt16(long value) {
  if (value < INT16_MIN || value > INT16_MAX) RaiseOverflow();
  return static_cast<int16_t>(value);
}

inline void Increment(int16_t& counter, int by = 1) {
  counter = CheckedInt16(long{counter} + by);
}

}  // namespace chkimport
