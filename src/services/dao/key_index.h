// The look-up index of Recordset::FindFirst.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chkimport::dao::detail {

// No row: past the last one.
inline constexpr std::size_t kEof = static_cast<std::size_t>(-1);

// A look-up index over one field of a recordset's rows [0, size()): the
// first row of every key. The keys are held once, in row order; an
// open-addressing table of row numbers finds them. Rows are mostly looked
// up in their own order, so FindFirst tries the row after each of the last
// two found (lastFound) before the table.
class KeyIndex {
 public:
  std::size_t column = 0;
  std::string (*key)(std::string_view) = nullptr;
  std::array<std::size_t, 2> lastFound{kEof, kEof};

  std::size_t size() const { return keys_.size(); }
  void reserve(std::size_t rows) {
    keys_.reserve(rows);
    firstOfKey_.reserve(rows);
    if (rows * 2 > slots_.size()) Grow(rows);
  }
  // The next row's key; a Null (no key) is never found.
  void Add(std::optional<std::string> k) {
    const std::size_t row = keys_.size();
    if (!k) {
      keys_.emplace_back();
      firstOfKey_.push_back(false);
      return;
    }
    if ((row + 1) * 2 > slots_.size()) Grow(row + 1);
    const std::uint64_t hash = Hash(*k);
    std::size_t i = hash & (slots_.size() - 1);
    bool first = true;
    for (; slots_[i] != 0; i = (i + 1) & (slots_.size() - 1)) {
      if (Matches(slots_[i], hash, *k)) {
        first = false;
        break;
      }
    }
    if (first) slots_[i] = Slot(hash, row);
    keys_.push_back(std::move(*k));
    firstOfKey_.push_back(first);
  }
  // The first row with the key, or kEof.
  std::size_t Find(std::string_view wanted) const {
    if (slots_.empty()) return kEof;
    const std::uint64_t hash = Hash(wanted);
    for (std::size_t i = hash & (slots_.size() - 1); slots_[i] != 0; i = (i + 1) & (slots_.size() - 1))
      if (Matches(slots_[i], hash, wanted)) return (slots_[i] & 0xffffffffu) - 1;
    return kEof;
  }
  // True when the row is the first with the key `wanted`.
  bool IsFirstWith(std::size_t row, std::string_view wanted) const {
    return row < keys_.size() && firstOfKey_[row] && keys_[row] == wanted;
  }

 private:
  // A slot holds the key's hash in its upper half and the row number + 1 in
  // its lower half; 0 is an empty slot.
  static std::uint64_t Hash(std::string_view k) { return std::hash<std::string_view>{}(k); }
  static std::uint64_t Slot(std::uint64_t hash, std::size_t row) {
    return (hash & 0xffffffff00000000u) | (static_cast<std::uint64_t>(row) + 1);
  }
  bool Matches(std::uint64_t slot, std::uint64_t hash, std::string_view k) const {
    return (slot & 0xffffffff00000000u) == (hash & 0xffffffff00000000u) &&
           keys_[(slot & 0xffffffffu) - 1] == k;
  }
  void Grow(std::size_t rows) {
    // At most half full: the probes stay short, and the table of a view of
    // 100,000 rows takes 2 MB.
    std::size_t capacity = 1024;
    while (capacity < rows * 2) capacity *= 2;
    slots_.assign(capacity, 0);
    for (std::size_t row = 0; row < keys_.size(); ++row) {
      if (!firstOfKey_[row]) continue;
      const std::uint64_t hash = Hash(keys_[row]);
      std::size_t i = hash & (capacity - 1);
      while (slots_[i] != 0) i = (i + 1) & (capacity - 1);
      slots_[i] = Slot(hash, row);
    }
  }

  std::vector<std::string> keys_;
  std::vector<bool> firstOfKey_;
  std::vector<std::uint64_t> slots_;
};

}  // namespace chkimport::dao::detail
