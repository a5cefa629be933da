#include "HashedPositions.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace vrel::test {
namespace {

struct HashCase {
    const char* name;
    std::function<std::size_t(std::uint32_t key)> hash;
    bool distinct; // the hashes differ: a lookup compares about one key, not a run of them
};

// Keys are the positions' own numbers; what varies is how their hashes collide.
class HashedPositionsTest : public ::testing::TestWithParam<HashCase> {};

TEST_P(HashedPositionsTest, EveryPositionIsFoundByItsKeyAcrossGrowthAndClear) {
    const auto& hash = GetParam().hash;
    constexpr std::uint32_t kCount = 3000;
    std::vector<std::uint32_t> keys(kCount); // position -> key
    HashedPositions table;
    std::size_t compared = 0;
    const auto find = [&](std::uint32_t key) {
        return table.Find(hash(key), [&](std::uint32_t at) { return ++compared, keys[at] == key; });
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (std::uint32_t at = 0; at < kCount; ++at) {
            keys[at] = at * 7 + static_cast<std::uint32_t>(pass);
            ASSERT_EQ(find(keys[at]), HashedPositions::kNone) << "key " << keys[at];
            table.Insert(hash(keys[at]), at);
        }
        EXPECT_EQ(table.Size(), kCount);
        compared = 0;
        for (std::uint32_t at = 0; at < kCount; ++at)
            ASSERT_EQ(find(keys[at]), at) << "key " << keys[at];
        if (GetParam().distinct) {
            EXPECT_LT(compared, kCount + kCount / 10);
        }
        EXPECT_EQ(find(kCount * 7 + 5), HashedPositions::kNone);
        table.Clear();
        EXPECT_EQ(find(keys[0]), HashedPositions::kNone) << "cleared";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hashes, HashedPositionsTest,
    ::testing::Values(HashCase{"Spread",
                               [](std::uint32_t k) {
                                   return std::hash<std::uint32_t>{}(k)*0x9E3779B97F4A7C15ull;
                               },
                               true},
                      // Only the high half differs: it must still reach the slot index.
                      HashCase{"HighBitsOnly", [](std::uint32_t k) { return std::size_t(k) << 40; },
                               true},
                      // A hostile sender can make MAC texts collide: slower, never wrong.
                      HashCase{"AllCollide", [](std::uint32_t) { return std::size_t(42); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vrel::test
