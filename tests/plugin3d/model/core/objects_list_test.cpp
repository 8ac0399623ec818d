#include <gtest/gtest.h>

#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "tests/plugin3d/model/core/core_test_support.h"

using kelvora::test::EventLog;

namespace {

TEST(ObjectsList, AddAndRemoveFireAfterTheChangeEvenWhenNothingChanged)
{
    EventLog log;
    TOwned<TKObjectsList> list(TKObjectsList::NewNamed("Shapes"));
    TOwned<TObject> a(new TObject), b(new TObject);
    list->Events().Add(log.Handler());

    list->Add(a.get());
    list->Add(a.get());
    list->Add(nullptr);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->AddCount(), 1u);
    list->Remove(b.get());
    list->Remove(nullptr);
    EXPECT_EQ(log.Codes(), (std::vector<int>{6, 6, 7}));
    const auto params = log.Params(6);
    EXPECT_EQ(params[0], reinterpret_cast<std::intptr_t>(a.get()));
    EXPECT_EQ(log.Params(7), (std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(b.get())}));
}

TEST(ObjectsList, CountOutsideItsRangeChangesNothing)
{
    TOwned<TKObjectsList> list(TKObjectsList::NewNamed("Shapes"));
    TOwned<TObject> a(new TObject);
    list->Add(a.get());
    for (int n : {TKObjectsList::kMaxCount + 1, -1}) {
        list->SetCount(n);
        EXPECT_EQ(list->Count(), 1) << n;
    }
    list->SetCount(3);
    EXPECT_EQ(list->Count(), 3);
    EXPECT_EQ(list->GetItem(0), a.get());
    EXPECT_EQ(list->GetItem(2), nullptr);
    EXPECT_EQ(list->GetItem(3), nullptr);
    list->SetItem(2, a.get());
    list->SetItem(7, a.get());
    EXPECT_EQ(list->IndexOf(a.get()), 2);  // searched from the end
    EXPECT_EQ(list->IndexOf(nullptr), -1);
}

TEST(ObjectsList, AnObjectListedTwiceIsFoundUntilItsLastPlaceGoes)
{
    TOwned<TKObjectsList> list(TKObjectsList::NewNamed("Shapes"));
    TOwned<TObject> a(new TObject), b(new TObject);
    list->SetCount(3);
    list->SetItem(0, a.get());
    list->SetItem(2, a.get());
    list->SetItem(2, b.get());  // a keeps its first place
    EXPECT_EQ(list->IndexOf(a.get()), 0);
    list->Add(a.get());
    EXPECT_EQ(list->Count(), 3);
    list->Remove(a.get());
    EXPECT_EQ(list->IndexOf(a.get()), -1);
    list->Add(a.get());
    EXPECT_EQ(list->IndexOf(a.get()), 2);
    list->SetCount(2);  // cut off
    EXPECT_EQ(list->IndexOf(a.get()), -1);
    EXPECT_EQ(list->IndexOf(b.get()), 1);
}

TEST(ObjectsList, ListsJoinTheListOfListsAndAnnounceTheirEnd)
{
    TKObjectsList* lists = ObjectsListsList();
    ASSERT_NE(lists, nullptr);
    EXPECT_EQ(lists->Name(), "Global List of KObjectsList");
    auto* list = TKObjectsList::NewNamed("Lights");
    EXPECT_GE(lists->IndexOf(list), 0);
    EventLog log;
    list->Events().Add(log.Handler());
    list->Free();
    EXPECT_EQ(lists->IndexOf(list), -1);
    EXPECT_EQ(log.Codes(), (std::vector<int>{3}));
}

}  // namespace
