#include <gtest/gtest.h>

#include <cstdint>
#include <map>
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

// Ids go to the array or, past what it may hold, to the table: either way every id keeps the
// first value stored for it and erasing reaches both, with or without expected ids (ids of
// a file run ahead of the records read, and some are not the writer's counts at all).
TEST(IdMap, EveryIdKeepsItsFirstValueWhereverItIsKept)
{
    for (const std::size_t expected : {std::size_t(0), std::size_t(5000), std::size_t(100000)}) {
        SCOPED_TRACE(expected);
        std::mt19937 random(7);
        TKIdMap<std::intptr_t> map;
        map.ExpectIds(expected);
        std::map<std::int32_t, std::intptr_t> reference;
        for (int i = 0; i < 4000; ++i) {
            // Mostly ids counted up to 60000, in no order; some negative or huge.
            const std::int32_t id = i % 10 == 9   ? -std::int32_t(random() % 1000) - 1
                                    : i % 10 == 8 ? std::int32_t(1000000 + random() % 1000000)
                                                  : std::int32_t(random() % 60000) + 1;
            const auto [value, added] = map.TryEmplace(id, i + 1);
            ASSERT_NE(value, nullptr);
            EXPECT_EQ(added, reference.emplace(id, i + 1).second) << id;
            EXPECT_EQ(*value, reference.at(id)) << id;
        }
        EXPECT_EQ(map.TryEmplace(0, 1).first, nullptr);
        EXPECT_EQ(map.TryEmplace(5, 0).first, nullptr);
        map.EraseIf([](std::int32_t id, std::intptr_t value) { return id % 3 == 0 || value % 5 == 0; });
        for (auto [id, value] : reference) {
            const std::intptr_t* found = map.Find(id);
            if (id % 3 == 0 || value % 5 == 0) {
                EXPECT_EQ(found, nullptr) << id;
            } else {
                ASSERT_NE(found, nullptr) << id;
                EXPECT_EQ(*found, value);
            }
        }
        for (std::int32_t id : {0, 60001, 999999, 3000000}) EXPECT_EQ(map.Find(id), nullptr);
        map.Clear();
        EXPECT_EQ(map.Find(reference.begin()->first), nullptr);
    }
}

}  // namespace
