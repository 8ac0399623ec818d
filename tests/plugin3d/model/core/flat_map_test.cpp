#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "plugin3d/model/core/k_flat_map.h"

namespace {

// Erasing moves the entries behind a hole back along their probe runs: every key kept must
// still be found, every key erased must be gone, whatever the order of erasing.
TEST(FlatMap, ErasingKeepsEveryOtherKeyFindable)
{
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        TKFlatMap<std::int32_t, std::int32_t> map;
        std::vector<std::int32_t> keys;
        std::set<std::int32_t> unique;
        while (keys.size() < 3000) {
            // Keys from a small range collide and form long probe runs.
            const std::int32_t key = std::int32_t(random() % 20000) + 1;
            if (unique.insert(key).second) keys.push_back(key);
        }
        for (std::int32_t key : keys) map.TryEmplace(key, -key);
        std::set<std::int32_t> erased;
        for (std::size_t i = 0; i < keys.size(); i += 1 + random() % 3) {
            EXPECT_TRUE(map.Erase(keys[i]));
            erased.insert(keys[i]);
        }
        EXPECT_FALSE(map.Erase(0));
        EXPECT_FALSE(map.Erase(30000));
        EXPECT_EQ(map.Size(), keys.size() - erased.size());
        for (std::int32_t key : keys) {
            const std::int32_t* value = map.Find(key);
            if (erased.count(key)) {
                EXPECT_EQ(value, nullptr) << key;
            } else {
                ASSERT_NE(value, nullptr) << key;
                EXPECT_EQ(*value, -key);
            }
        }
        for (std::int32_t key : erased) EXPECT_TRUE(map.TryEmplace(key, key).second);
        EXPECT_EQ(map.Size(), keys.size());
    }
}

}  // namespace
