#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "plugin3d/model/core/k_flat_map.h"

namespace {

// Key counts against a plain map, for the orders keys come in: rising (appended), falling,
// rising through places below the keys held (the allocator reusing freed memory), rising
// between the keys held (blocks split where the key goes) and shuffled. Each phase checks
// every key and its neighbours; removing in several orders and adding again follows.
TEST(KeyCounts, EveryOrderOfKeysCountsAsAPlainMap)
{
    using Key = std::uintptr_t;
    constexpr Key kKeys = 3000;
    const auto step = [](Key i) { return 16 * (i + 1); };
    std::vector<std::pair<std::string, std::function<std::vector<Key>()>>> orders = {
        {"rising",
         [&] {
             std::vector<Key> keys;
             for (Key i = 0; i < kKeys; ++i) keys.push_back(step(i));
             return keys;
         }},
        {"falling",
         [&] {
             std::vector<Key> keys;
             for (Key i = kKeys; i-- > 0;) keys.push_back(step(i));
             return keys;
         }},
        {"places below",
         [&] {
             // A few high keys, then rising runs each starting below the one before.
             std::vector<Key> keys;
             for (Key i = 0; i < 12; ++i) keys.push_back(step(100000 + i));
             for (Key run = 6; run-- > 0;)
                 for (Key i = 0; i < (kKeys - 12) / 6; ++i) keys.push_back(step(run * 10000 + i));
             return keys;
         }},
        {"between",
         [&] {
             // Even places first, then the odd ones between them, rising.
             std::vector<Key> keys;
             for (Key i = 0; i < kKeys; i += 2) keys.push_back(step(i));
             for (Key i = 1; i < kKeys; i += 2) keys.push_back(step(i));
             return keys;
         }},
        {"shuffled",
         [&] {
             std::vector<Key> keys;
             for (Key i = 0; i < kKeys; ++i) keys.push_back(step(i));
             std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
             return keys;
         }},
    };
    for (const auto& [name, make] : orders) {
        SCOPED_TRACE(name);
        const std::vector<Key> keys = make();
        TKKeyCounts<Key> counts;
        std::map<Key, int> plain;
        const auto matches = [&](const char* phase) {
            SCOPED_TRACE(phase);
            EXPECT_EQ(counts.Size(), plain.size());
            for (Key key : keys)
                for (Key k : {key - 1, key, key + 1}) {
                    const auto it = plain.find(k);
                    ASSERT_EQ(counts.Count(k), it == plain.end() ? 0 : it->second) << k;
                }
        };
        for (std::size_t i = 0; i < keys.size(); ++i) {
            // Every seventh key is held twice.
            for (int twice = 0; twice < (i % 7 == 0 ? 2 : 1); ++twice)
                ASSERT_EQ(counts.Add(keys[i]), ++plain[keys[i]]);
        }
        EXPECT_EQ(counts.Add(0), 0);
        matches("added");

        std::vector<Key> leaving(keys.begin(), keys.end());
        std::shuffle(leaving.begin(), leaving.end(), std::mt19937(11));
        leaving.resize(leaving.size() / 2);
        for (Key key : leaving) {
            const int left = --plain[key];
            if (left == 0) plain.erase(key);
            ASSERT_EQ(counts.Remove(key), left);
        }
        EXPECT_EQ(counts.Remove(step(kKeys + 5)), 0);
        matches("half removed");
        for (Key key : leaving) ASSERT_EQ(counts.Add(key), ++plain[key]);
        matches("added again");

        // All go: the later half from the last added backwards (as a list empties), then the
        // rest from the first.
        const std::size_t half = keys.size() / 2;
        std::vector<Key> order(keys.rbegin(), keys.rbegin() + std::ptrdiff_t(half));
        order.insert(order.end(), keys.begin(), keys.end() - std::ptrdiff_t(half));
        for (Key key : order)
            while (plain.count(key)) {
                const int left = --plain[key];
                if (left == 0) plain.erase(key);
                ASSERT_EQ(counts.Remove(key), left);
            }
        matches("emptied");
        EXPECT_EQ(counts.Size(), 0u);
        counts.Add(step(1));
        counts.Clear();
        EXPECT_EQ(counts.Count(step(1)), 0);
    }
}

}  // namespace
