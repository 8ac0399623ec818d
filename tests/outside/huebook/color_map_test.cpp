#include "outside/huebook/color_map.h"

#include <gtest/gtest.h>

TEST(ColorMap, NormAndValueMapLinearlyBeyondTheRange)
{
    CColorMap map(-10.0, 30.0);
    EXPECT_EQ(map.NormToValue(0.0), -10.0);
    EXPECT_EQ(map.NormToValue(1.0), 30.0);
    EXPECT_EQ(map.NormToValue(1.5), 50.0);
    EXPECT_EQ(map.ValueToNorm(-10.0), 0.0);
    EXPECT_EQ(map.ValueToNorm(30.0), 1.0);
    EXPECT_EQ(map.ValueToNorm(-30.0), -0.5);
    CColorMap flat(2.0, 2.0);
    EXPECT_EQ(flat.ValueToNorm(5.0), 0.0) << "an empty range maps everything to 0";
}

TEST(ColorMap, NameAndIdentityAreCopies)
{
    CColorMap map;
    char name[] = "Rainbow";
    map.SetName(name);
    name[0] = 'X';
    EXPECT_EQ(map.GetName(), "Rainbow");
    GUID id{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    map.SetID(&id);
    id.Data1 = 0;
    EXPECT_EQ(map.GetID()->Data1, 0x01020304u);
    EXPECT_EQ(map.GetID()->Data4[7], 16);
}
