#include "viewer/core/view_result_param.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace {

void ExpectDefault(const ViewResultParam& p)
{
    EXPECT_EQ(p.parent, nullptr);
    EXPECT_EQ(p.notifyId, 0);
    EXPECT_EQ(p.component, 0);
    EXPECT_EQ(p.stretchLow, 0.0);
    EXPECT_EQ(p.stretchHigh, 0.0);
    EXPECT_EQ(p.stretchMethod, 0);
    EXPECT_TRUE(p.fileName.IsEmpty());
    EXPECT_EQ(p.frameRect, nullptr);
}

// Longer than any short-string buffer, so a record left undestroyed shows up as a leak.
std::string LongPath(int i)
{
    return "/data/results/a-rather-long-output-file-name-" + std::to_string(i) + ".rdp";
}

}  // namespace

TEST(ViewResultParam, FieldsInOrderDefaultToZeroNullAndEmpty)
{
    ExpectDefault(ViewResultParam{});

    // Designated initialisers compile only in declaration order, so this pins the order.
    const RECT rect{1, 2, 3, 4};
    const ViewResultParam region{.parent = nullptr,
                                 .notifyId = 7,
                                 .component = 1,
                                 .stretchLow = -2.5,
                                 .stretchHigh = 9.0,
                                 .stretchMethod = 3,
                                 .fileName = "/tmp/region.rdp",
                                 .frameRect = &rect};
    EXPECT_EQ(region.notifyId, 7);
    EXPECT_EQ(region.stretchMethod, 3);
    EXPECT_STREQ(region.fileName, "/tmp/region.rdp");
    EXPECT_EQ(region.frameRect, &rect);
}

TEST(ViewMultiResultParam, IndexesOnlyItsRecords)
{
    ViewMultiResultParam list;
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.records, nullptr);
    EXPECT_EQ(list[0], nullptr);

    ASSERT_EQ(list.MakeParam(3), 1);
    ASSERT_EQ(list.count, 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(list[i], &list.records[i]);
        ExpectDefault(*list[i]);
        list[i]->fileName = LongPath(i).c_str();
    }
    EXPECT_STREQ(list[2]->fileName, LongPath(2).c_str());
    for (int i : {3, 4, -1, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i], nullptr);
        EXPECT_EQ(static_cast<const ViewMultiResultParam&>(list)[i], nullptr);
    }

    ASSERT_EQ(list.MakeParam(0), 1);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.records, nullptr);
    EXPECT_EQ(list[0], nullptr);
}

// The sanitizer's leak check at exit is what proves the first array and its texts freed.
TEST(ViewMultiResultParam, MakingItAgainKeepsOnlyTheSecondArray)
{
    auto* list = new ViewMultiResultParam;
    ASSERT_EQ(list->MakeParam(4), 1);
    for (int i = 0; i < 4; ++i) list->records[i].fileName = LongPath(i).c_str();

    ASSERT_EQ(list->MakeParam(2), 1);
    EXPECT_EQ(list->count, 2);
    ExpectDefault(*(*list)[0]);
    ExpectDefault(*(*list)[1]);
    EXPECT_EQ((*list)[2], nullptr);
    (*list)[1]->fileName = LongPath(9).c_str();
    delete list;  // the way the viewer functions free what they were handed
}

TEST(ViewMultiResultParam, AFailedMakeLeavesAnEmptyList)
{
    for (int n : {-1, INT_MIN, ViewMultiResultParam::kMaxRecords + 1, INT_MAX}) {
        SCOPED_TRACE(n);
        ViewMultiResultParam list;
        ASSERT_EQ(list.MakeParam(2), 1);
        list[0]->fileName = LongPath(n).c_str();
        EXPECT_EQ(list.MakeParam(n), 0);
        EXPECT_EQ(list.count, 0);
        EXPECT_EQ(list.records, nullptr);
        EXPECT_EQ(list[0], nullptr);
        EXPECT_EQ(list.MakeParam(1), 1);  // still usable
        EXPECT_EQ(list.count, 1);
    }
}
