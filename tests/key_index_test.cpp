// The index behind Recordset::FindFirst, on its own: the first row of each
// key, however many rows and however often its table had to grow.
#include <gtest/gtest.h>

#include "services/dao/key_index.h"

using chkimport::dao::detail::kEof;
using chkimport::dao::detail::KeyIndex;

TEST(KeyIndex, FindsTheFirstRowOfEachKeyAcrossGrowth) {
  // Row r has the key "k" + r % 3001; every tenth row has none. Later rows
  // repeat the keys of earlier ones and must never be the answer.
  constexpr std::size_t kRows = 7000, kKeys = 3001;
  auto hasKey = [](std::size_t row) { return row % 10 != 9; };
  KeyIndex index;
  for (std::size_t row = 0; row < kRows; ++row)
    index.Add(hasKey(row) ? std::optional<std::string>("k" + std::to_string(row % kKeys)) : std::nullopt);
  ASSERT_EQ(index.size(), kRows);
  for (std::size_t key = 0; key < kKeys; ++key) {
    const std::string name = "k" + std::to_string(key);
    std::size_t first = kEof;
    for (std::size_t row = key; row < kRows && first == kEof; row += kKeys)
      if (hasKey(row)) first = row;
    ASSERT_EQ(index.Find(name), first) << name;
    if (first == kEof) continue;
    EXPECT_TRUE(index.IsFirstWith(first, name));
    if (first + kKeys < kRows) {
      EXPECT_FALSE(index.IsFirstWith(first + kKeys, name)) << name;
    }
  }
  EXPECT_EQ(index.Find("k3001"), kEof);
  EXPECT_FALSE(index.IsFirstWith(kRows, "k0"));
}
