#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/render/intensity_transformer.h"
#include "tests/plugin3d/model/core/core_test_support.h"

namespace {

using Pairs = std::vector<std::int32_t>;

using Curve = TOwned<TKCnv3DIITransformer>;

void Load(TKCnv3DIITransformer& t, const Pairs& pairs)
{
    t.Clear();
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) t.AddPoint(pairs[i], pairs[i + 1]);
}

}  // namespace

TEST(IntensityTransformer, EditsKeepTheInputsSorted)
{
    struct Case {
        const char* name;
        Pairs start;
        std::function<int(TKCnv3DIITransformer&)> edit;
        int result;
        Pairs expected;
    };
    const std::vector<Case> cases = {
        {"add in front", {10, 1, 20, 2}, [](auto& t) { return t.AddPoint(5, 9); }, 0, {5, 9, 10, 1, 20, 2}},
        {"add between", {10, 1, 20, 2}, [](auto& t) { return t.AddPoint(15, 9); }, 1, {10, 1, 15, 9, 20, 2}},
        {"add at the end",
         {10, 1, 20, 2},
         [](auto& t) { return t.AddPoint(25, 9); },
         2,
         {10, 1, 20, 2, 25, 9}},
        {"add beside an equal first input",
         {10, 1, 20, 2},
         [](auto& t) { return t.AddPoint(10, 9); },
         1,
         {10, 1, 10, 9, 20, 2}},
        {"add before an equal last input",
         {10, 1, 20, 2},
         [](auto& t) { return t.AddPoint(20, 9); },
         1,
         {10, 1, 20, 9, 20, 2}},
        {"add to an empty curve", {}, [](auto& t) { return t.AddPoint(-4, 9); }, 0, {-4, 9}},
        {"delete", {10, 1, 20, 2, 30, 3}, [](auto& t) { return t.DeletePoint(1), 0; }, 0, {10, 1, 30, 3}},
        {"delete out of range",
         {10, 1},
         [](auto& t) { return t.DeletePoint(1), t.DeletePoint(-1), 0; },
         0,
         {10, 1}},
        {"set only the output",
         {10, 1, 20, 2},
         [](auto& t) { return t.SetPoint(1, 20, 7); },
         1,
         {10, 1, 20, 7}},
        {"set moves the pair forward",
         {10, 1, 20, 2, 30, 3},
         [](auto& t) { return t.SetPoint(0, 25, 7); },
         1,
         {20, 2, 25, 7, 30, 3}},
        {"set moves the pair back",
         {10, 1, 20, 2, 30, 3},
         [](auto& t) { return t.SetPoint(2, 0, 7); },
         0,
         {0, 7, 10, 1, 20, 2}},
        {"set out of range", {10, 1}, [](auto& t) { return t.SetPoint(1, 0, 7); }, -1, {10, 1}},
        {"grow an empty curve from (0, 0)", {}, [](auto& t) { return t.SetCount(2), 0; }, 0, {0, 0, 0, 0}},
        {"grow copies the last pair",
         {10, 1},
         [](auto& t) { return t.SetCount(3), 0; },
         0,
         {10, 1, 10, 1, 10, 1}},
        {"shrink", {10, 1, 20, 2}, [](auto& t) { return t.SetCount(1), 0; }, 0, {10, 1}},
        {"negative count empties", {10, 1}, [](auto& t) { return t.SetCount(-3), 0; }, 0, {}},
        {"count above 0xFFFF does nothing",
         {10, 1},
         [](auto& t) { return t.SetCount(0x10000), 0; },
         0,
         {10, 1}},
        {"assign",
         {10, 1},
         [](auto& t) {
             Curve other(TKCnv3DIITransformer::New());
             other->AddPoint(3, 4);
             t.Assign(other.get());
             return 0;
         },
         0,
         {3, 4}},
        {"assign nothing", {10, 1}, [](auto& t) { return t.Assign(nullptr), 0; }, 0, {}},
    };
    for (const Case& c : cases) {
        Curve owned(TKCnv3DIITransformer::New());
        TKCnv3DIITransformer& t = *owned;
        Load(t, c.start);
        EXPECT_EQ(c.edit(t), c.result) << c.name;
        EXPECT_EQ(t.Pairs(), c.expected) << c.name;
        EXPECT_EQ(t.Count(), int(c.expected.size() / 2)) << c.name;
    }
}

TEST(IntensityTransformer, ReadsClampTheirIndexAndFindPositions)
{
    Curve owned(TKCnv3DIITransformer::New());
    TKCnv3DIITransformer& t = *owned;
    EXPECT_EQ(t.GetInput(0), 0);
    EXPECT_EQ(t.GetOutput(3), 0);
    EXPECT_EQ(t.FindPosition(5), 0);
    EXPECT_EQ(t.Evaluate(5), 0);
    Load(t, {0, 0, 0x100, 100, 0x200, 100, 0x8000, 0xFFFF});
    EXPECT_EQ(t.GetInput(-1), 0);
    EXPECT_EQ(t.GetInput(9), 0x8000);
    EXPECT_EQ(t.GetOutput(9), 0xFFFF);
    struct Position {
        std::int32_t x;
        int expected;
    };
    for (const Position& p :
         std::vector<Position>{{-5, 0}, {0, 0}, {1, 1}, {0x100, 1}, {0x101, 2}, {0x8000, 3}, {0x8001, 4}})
        EXPECT_EQ(t.FindPosition(p.x), p.expected) << "x = " << p.x;
    EXPECT_EQ(t.Evaluate(0x80), 50);
    EXPECT_EQ(t.Evaluate(0x180), 100);
    EXPECT_EQ(t.Evaluate(0x9000), 0xFFFF);
    Curve one(TKCnv3DIITransformer::New());
    one->AddPoint(7, 8);
    EXPECT_EQ(one->Evaluate(7), 0) << "a single point evaluates to 0";

    Curve full(TKCnv3DIITransformer::New());
    full->SetCount(TKCnv3DIITransformer::kMaxCount);
    EXPECT_EQ(full->AddPoint(1, 1), -1) << "a full curve takes no more points";
    EXPECT_EQ(full->Count(), TKCnv3DIITransformer::kMaxCount);
}

TEST(IntensityTransformer, CurvesRoundTripThroughStreams)
{
    Curve saved(TKCnv3DIITransformer::New());
    Load(*saved, {0, 0, 0x100, 7, 0x8000, 0xFFFF});
    EXPECT_EQ(saved->SaveToStream(nullptr), 28) << "a null stream only counts";
    kelvora::test::MemoryStream stream;
    EXPECT_EQ(saved->SaveToStream(&stream), 28);
    EXPECT_EQ(stream.bytes.size(), 28u);
    Curve loaded(TKCnv3DIITransformer::New());
    stream.SetPosition(0);
    EXPECT_EQ(loaded->LoadFromStream(&stream), 28);
    EXPECT_EQ(loaded->Pairs(), saved->Pairs());
    EXPECT_EQ(loaded->LoadFromStream(nullptr), 0);

    // Counts that are negative, above 0xFFFF or beyond the stored pairs are refused before
    // anything is read, and the curve keeps what it had.
    for (const std::int32_t count : {-1, 0x10000, 4}) {
        kelvora::test::MemoryStream bad;
        bad.Write(&count, 4);
        const std::int32_t pair[2] = {1, 2};
        bad.Write(pair, 8);
        bad.SetPosition(0);
        try {
            loaded->LoadFromStream(&bad);
            ADD_FAILURE() << "count " << count << " was taken";
        } catch (const EStreamError& e) {
            EXPECT_NE(e.Message().find("( Type - TKCnv3DIITransformer )\n\rCan't load : Invalid Value"),
                      std::string::npos)
                << e.Message();
        }
        EXPECT_EQ(bad.GetPosition(), 4) << "count " << count;
        EXPECT_EQ(loaded->Pairs(), saved->Pairs()) << "count " << count;
    }
}
