#include <gtest/gtest.h>

#include <ostream>

#include "platform/forms/format.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "tests/plugin3d/model/core/core_test_support.h"

using kelvora::test::MemoryStream;

namespace {

TEST(Persistence, DataTreeRoundTripsWithExactByteCounts)
{
    TObject someObject;
    TOwned<TKDataBranch> root(TKDataBranch::NewNamed("Root", 1));
    root->SetTag(5);
    TKDataBranch* key = TKDataBranch::NewNamed("Key", 0, TKData::OfKey(77));
    key->SetTag(-2);
    root->AddChild(key);
    root->AddChild(TKDataBranch::NewNamed("Object", 0, TKData::OfObject(&someObject)));
    root->InsertChildAt(2, nullptr);
    auto* cls = static_cast<TKDataBranch*>(
        root->AddChild(TKDataBranch::NewNamed("Class", 0, TKData::OfClass(TKDataBranch::StaticClass()))));
    cls->AddChild(TKDataBranch::NewNamed("Deep"));

    MemoryStream stream;
    const int written = stream.WriteObject(root.get());
    EXPECT_EQ(written, static_cast<int>(stream.bytes.size()));

    stream.SetPosition(0);
    TKObject* loaded = nullptr;
    EXPECT_EQ(stream.ReadObject(loaded, TKBranch::StaticClass()), written);
    TOwned<TKDataBranch> copy(ObjectAs<TKDataBranch>(loaded));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), "Root");
    EXPECT_EQ(copy->Flag(), 1);
    EXPECT_EQ(copy->Tag(), 5);
    ASSERT_EQ(copy->Count(), 3);  // the empty slot is not stored
    EXPECT_EQ(copy->DataChild(0)->Data(), TKData::OfKey(77));
    EXPECT_EQ(copy->DataChild(0)->Tag(), -2);
    // An object or a class means nothing in another run: only keys are stored.
    EXPECT_TRUE(copy->DataChild(1)->Data().IsEmpty());
    EXPECT_TRUE(copy->DataChild(2)->Data().IsEmpty());
    EXPECT_EQ(copy->DataChild(2)->DataChild(0)->Name(), "Deep");
}

struct BadCount {
    const char* what;
    std::int32_t count;
};

void PrintTo(const BadCount& c, std::ostream* out)
{
    *out << c.what;
}

class BadChildCount : public ::testing::TestWithParam<BadCount> {};

TEST_P(BadChildCount, FailsWithInvalidValueBeforeReadingChildren)
{
    MemoryStream stream;
    const std::int32_t count = GetParam().count;
    stream.Write(&count, 4);
    stream.SetPosition(0);
    TOwned<TKBranch> branch(TKBranch::New());
    try {
        branch->LoadFromStream(&stream);
        ADD_FAILURE() << "loaded a bad count";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), Format("Object [%p] ( Type - TKBranch )\n\rCan't load : Invalid Value",
                                      static_cast<const void*>(branch.get())));
    }
    EXPECT_EQ(branch->Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Persistence, BadChildCount,
                         ::testing::Values(BadCount{"negative", -1},
                                           BadCount{"beyond the data", 0x7FFFFFFF}));

TEST(Persistence, OperationsBracketSavesAndLoadsThroughTheTree)
{
    TOwned<TKDataBranch> root(TKDataBranch::NewNamed("Root"));
    root->AddChild(TKDataBranch::NewNamed("a"));
    root->AddChild(TKDataBranch::NewNamed("b"))->AddChild(TKDataBranch::NewNamed("b1"));
    struct Step {
        int code;
        std::intptr_t param;
        int result;
        std::uint32_t flags;
    };
    const Step steps[] = {
        {kopBeginOperation, kokSave, 4, kofSaving},
        {kopEndOperation, kokSave, 4, 0},
        {kopBeginOperation, kokLoad, 4, kofLoading},
        {kopEndOperation, kokLoad, 4, 0},
        {kopBeginOperation, 7, -1, 0},
        {kopLink, 0, -1, 0},
        {99, 0, -1, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.code * 100 + step.param);
        EXPECT_EQ(root->Operation(step.code, step.param), step.result);
        EXPECT_EQ(root->Flags(), step.flags);
    }
    TKFindRequest find{root->GetChild(0), nullptr};
    EXPECT_EQ(root->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&find)), -1);
    TKPropertyRequest property{4096, 0};
    EXPECT_EQ(root->Operation(kopGetProperty, reinterpret_cast<std::intptr_t>(&property)), -1);
}

TEST(Persistence, CloneMakesADeepCopyOfTheSameClass)
{
    TOwned<TKDataBranch> root(TKDataBranch::NewNamed("Root", 0, TKData::OfKey(3)));
    root->AddChild(TKDataBranch::NewNamed("a"))->AddChild(TKDataBranch::NewNamed("a1"));
    TOwned<TKObject> clone(root->Clone(nullptr));
    auto* copy = ObjectAs<TKDataBranch>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Name(), "Root");
    EXPECT_EQ(copy->Data(), TKData::OfKey(3));
    EXPECT_EQ(copy->TotalCount(), 2);
    EXPECT_NE(copy->GetChild(0), root->GetChild(0));
    EXPECT_EQ(copy->DataChild(0)->DataChild(0)->Name(), "a1");
}

}  // namespace
