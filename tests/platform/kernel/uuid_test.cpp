#include "platform/kernel/uuid.h"

#include <set>
#include <tuple>

#include <gtest/gtest.h>

TEST(Uuid, NewIdentitiesAreRandomVersionFourAndDistinct)
{
    std::set<std::tuple<std::uint32_t, std::uint16_t, std::uint16_t>> seen;
    for (int i = 0; i < 200; ++i) {
        UUID id;
        ASSERT_EQ(UuidCreate(&id), RPC_S_OK);
        EXPECT_EQ(id.Data3 >> 12, 4) << "version 4";
        EXPECT_EQ(id.Data4[0] & 0xC0, 0x80) << "RFC 4122 variant";
        EXPECT_FALSE(UuidIsNil(&id, nullptr));
        seen.insert({id.Data1, id.Data2, id.Data3});
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_EQ(UuidCreate(nullptr), RPC_S_INVALID_ARG);
}

TEST(Uuid, EqualityComparesAllSixteenBytes)
{
    UUID a;
    ASSERT_EQ(UuidCreate(&a), RPC_S_OK);
    UUID b = a;
    RPC_STATUS status = -1;
    EXPECT_TRUE(UuidEqual(&a, &b, &status));
    EXPECT_EQ(status, RPC_S_OK);
    b.Data4[7] ^= 1;
    EXPECT_FALSE(UuidEqual(&a, &b, nullptr));
    const UUID nil{};
    EXPECT_TRUE(UuidEqual(nullptr, &nil, nullptr));
    EXPECT_FALSE(UuidEqual(nullptr, &a, nullptr));
    EXPECT_TRUE(UuidIsNil(nullptr, nullptr));
}
