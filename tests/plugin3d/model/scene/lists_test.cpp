// The five lists: membership and its events, items' updates, bounds, the draw pass, shadow
// tests and illumination, persistence and registration.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_threads.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

int CountOf(const std::vector<int>& codes, int code)
{
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
}

TEST(Lists, AddTakesEachItemOnceAndOnlyItemsOfItsKind)
{
    EventLog log;
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    TOwned<TestConstruction> a(TestConstruction::New());
    list->Events().Add(log.Handler());
    EXPECT_EQ(list->Add(a.get()), 0);
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 4100, 10, 5}));
    log.Clear();
    EXPECT_EQ(list->Add(a.get()), 0);
    EXPECT_TRUE(log.Codes().empty());
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(a->Basis()->Parent(), list->Basis());

    TOwned<TKCustomChangeObject> plain(TKCustomChangeObject::New());
    TOwned<TestLight> light(TestLight::New());
    TOwned<TestCamera> camera(TestCamera::New());
    TOwned<TKCustomProjectionSystem3DList> cameras(TKCustomProjectionSystem3DList::New());
    TOwned<TKCustomObject3DList> objects(TKCustomObject3DList::New());
    EXPECT_EQ(list->Add(list.get()), -1);
    EXPECT_EQ(list->Add(nullptr), -1);
    EXPECT_EQ(objects->Add(plain.get()), -1);  // a 3D list takes 3D objects only
    EXPECT_EQ(cameras->Add(light.get()), -1);
    EXPECT_EQ(cameras->Add(camera.get()), 0);
    EXPECT_EQ(cameras->Replace(0, light.get()), light.get());
    EXPECT_EQ(cameras->GetItem(0), camera.get());
    EXPECT_EQ(cameras->Replace(0, nullptr), camera.get());
    EXPECT_EQ(cameras->GetItem(0), nullptr);

    // Nested lists never form a cycle.
    TOwned<TKCustomConstruction3DList> inner(TKCustomConstruction3DList::New());
    EXPECT_EQ(list->Add(inner.get()), 1);
    EXPECT_EQ(inner->Add(list.get()), -1);
    TOwned<TKCustomConstruction3DList> innermost(TKCustomConstruction3DList::New());
    inner->Add(innermost.get());
    EXPECT_EQ(innermost->Add(list.get()), -1);
    EXPECT_EQ(innermost->Replace(0, list.get()), list.get());

    inner->Delete(0);
    list->Delete(1);
    list->Events().Remove(log.Handler());
}

// Membership of many items, whatever the order of their addresses (made in a row, then
// mixed): each is found at its place, a second Add gives that place and changes nothing, and
// items that left are found no more and can come back.
TEST(Lists, ManyItemsAreFoundAtTheirPlacesWhateverTheirOrder)
{
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    std::vector<TKCustomChangeObject*> items;
    for (int i = 0; i < 600; ++i) items.push_back(TestConstruction::New());
    std::shuffle(items.begin() + 200, items.end(), std::mt19937(3));
    for (std::size_t i = 0; i < items.size(); ++i) ASSERT_EQ(list->Add(items[i]), int(i));
    for (std::size_t i = 0; i < items.size(); ++i) {
        ASSERT_EQ(list->IndexOf(items[i]), int(i));
        ASSERT_EQ(list->Add(items[i]), int(i));
    }
    ASSERT_EQ(list->Count(), 600);

    // Every third leaves, from the end; the others close up.
    std::vector<TKCustomChangeObject*> left, kept;
    for (int i = 599; i >= 0; i -= 3) list->Delete(i);
    for (std::size_t i = 0; i < items.size(); ++i) (i % 3 == 2 ? left : kept).push_back(items[i]);
    for (TKCustomChangeObject* item : left) EXPECT_EQ(list->IndexOf(item), -1);
    for (std::size_t i = 0; i < kept.size(); ++i) ASSERT_EQ(list->IndexOf(kept[i]), int(i));
    for (std::size_t i = 0; i < left.size(); ++i) ASSERT_EQ(list->Add(left[i]), int(kept.size() + i));
    EXPECT_EQ(list->Count(), 600);
    list->Clear();
}

TEST(Lists, ReplaceMovesAnItemAlreadyListed)
{
    TOwned<TKCustomChangeObjectList> list(TKCustomChangeObjectList::New());
    TOwned<TKCustomChangeObject> a(TKCustomChangeObject::New()), b(TKCustomChangeObject::New()),
        c(TKCustomChangeObject::New());
    list->Add(a.get());
    list->Add(b.get());
    list->Add(c.get());
    EXPECT_EQ(list->Replace(0, c.get()), c.get());
    EXPECT_EQ(list->GetItem(0), c.get());
    EXPECT_EQ(list->GetItem(1), a.get());
    EXPECT_EQ(list->GetItem(2), b.get());
    EXPECT_EQ(list->Replace(3, a.get()), a.get());  // out of range
    TOwned<TKCustomChangeObject> d(TKCustomChangeObject::New());
    EXPECT_EQ(list->Replace(1, d.get()), a.get());
    EXPECT_EQ(list->IndexOf(a.get()), -1);
    EXPECT_EQ(list->IndexOf(d.get()), 1);
    list->SetCount(0);
}

TEST(Lists, ListChangedEventsOfClearDeleteAndDestroyedItems)
{
    struct Case {
        const char* name;
        int items;
        std::function<void(TKCustomChangeObjectList&, std::vector<TKCustomChangeObject*>&)> act;
        int tens;
        int countAfter;
    };
    const Case cases[] = {
        {"clear of an empty list", 0, [](auto& l, auto&) { l.Clear(); }, 1, 0},
        {"clear", 2, [](auto& l, auto&) { l.Clear(); }, 1, 0},
        {"delete of the last entry", 2, [](auto& l, auto&) { l.Delete(1); }, 1, 1},
        {"delete of an earlier entry", 3, [](auto& l, auto&) { l.Delete(0); }, 2, 2},
        {"delete out of range", 2, [](auto& l, auto&) { l.Delete(2); }, 0, 2},
        {"the last item destroyed", 2, [](auto&, auto& items) { FreeAndNil(items[1]); }, 0, 1},
        {"an earlier item destroyed", 2, [](auto&, auto& items) { FreeAndNil(items[0]); }, 1, 1},
        {"exchange", 2, [](auto& l, auto&) { l.Exchange(0, 1); }, 1, 2},
        {"move to itself", 2, [](auto& l, auto&) { l.Move(1, 1); }, 0, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EventLog log;
        TOwned<TKCustomChangeObjectList> list(TKCustomChangeObjectList::New());
        std::vector<TKCustomChangeObject*> items;
        for (int i = 0; i < k.items; ++i) {
            items.push_back(TKCustomChangeObject::New());
            list->Add(items.back());
        }
        list->Events().Add(log.Handler());
        k.act(*list, items);
        EXPECT_EQ(CountOf(log.Codes(), kevListChanged), k.tens);
        EXPECT_EQ(list->Count(), k.countAfter);
        list->Events().Remove(log.Handler());
        if (list->Count() == 0) items.clear();  // cleared lists freed theirs
        list.reset();
        for (TKCustomChangeObject* item : items) FreeObject(item);
    }

    // A 3D list fires nothing when cleared empty, and its event 10 before its end of update.
    EventLog log;
    TOwned<TKCustomObject3DList> objects(TKCustomObject3DList::New());
    objects->Events().Add(log.Handler());
    objects->Clear();
    EXPECT_TRUE(log.Codes().empty());
    objects->Add(TestConstruction::New());
    log.Clear();
    objects->Clear();
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 7, 10, 5}));
    objects->Events().Remove(log.Handler());
}

TEST(Lists, EveryWayOutOfAListIsAnnouncedWithTheItem)
{
    struct Case {
        const char* what;
        std::function<void(TKCustomConstruction3DList&, TKCustomChangeObject* newcomer)> act;
        std::vector<int> left;  // indexes into the items a, b
        bool frees;
    };
    const Case cases[] = {
        {"delete", [](auto& l, auto*) { l.Delete(0); }, {0}, false},
        {"replace by nothing", [](auto& l, auto*) { l.Replace(1, nullptr); }, {1}, false},
        {"replace by a newcomer", [](auto& l, auto* n) { l.Replace(0, n); }, {0}, false},
        {"replace by an item listed (a move)", [](auto& l, auto*) { l.Replace(0, l.GetItem(1)); }, {}, false},
        {"set count", [](auto& l, auto*) { l.SetCount(0); }, {1, 0}, false},
        {"clear", [](auto& l, auto*) { l.Clear(); }, {1, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EventLog log;
        TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
        TKCustomChangeObject* items[] = {TestConstruction::New(), TestConstruction::New()};
        for (TKCustomChangeObject* item : items) list->Add(item);
        TKCustomChangeObject* newcomer = TestConstruction::New();
        list->Events().Add(log.Handler());
        c.act(*list, newcomer);
        list->Events().Remove(log.Handler());
        std::vector<std::intptr_t> expected;
        for (int i : c.left) expected.push_back(reinterpret_cast<std::intptr_t>(items[i]));
        EXPECT_EQ(log.Params(kevRemoved), expected);
        if (!c.frees)
            for (int i : c.left) FreeObject(items[i]);
        if (list->IndexOf(newcomer) < 0) FreeObject(newcomer);
        list->Clear();
    }

    // The items of a nested list that is cleared with its list are announced through it.
    ItemEventLog passed;
    TOwned<TKCustomConstruction3DList> outer(TKCustomConstruction3DList::New());
    auto* inner = TKCustomConstruction3DList::New();
    auto* deep = TestConstruction::New();
    inner->Add(deep);
    outer->Add(inner);
    outer->Events().Add(passed.Handler());
    outer->Clear();
    outer->Events().Remove(passed.Handler());
    ASSERT_EQ(passed.codes.size(), passed.senders.size());
    bool deepAnnounced = false;
    for (std::size_t i = 0; i < passed.codes.size(); ++i)
        deepAnnounced = deepAnnounced || (passed.codes[i] == kevRemoved && passed.senders[i] == inner);
    EXPECT_TRUE(deepAnnounced);
}

TEST(Lists, ClearFreesNestedListsOfItsFamilyWithTheirItems)
{
    TOwned<TKCustomConstruction3DList> outer(TKCustomConstruction3DList::New());
    auto* inner = TKCustomProjectionSystem3DList::New();
    auto* camera = TestCamera::New();
    inner->Add(camera);
    outer->Add(inner);
    outer->Add(TestConstruction::New());
    TKObjectsList* constructions = Construction3DGlobalList();
    const int before = constructions->Count();
    outer->Clear();
    EXPECT_EQ(constructions->Count(), before - 3);
    EXPECT_EQ(outer->Count(), 0);
}

TEST(Lists, ItemUpdatesAreCountedPerItem)
{
    TOwned<CountingList> list(CountingList::New());
    TOwned<TKCustomChangeObject> a(TKCustomChangeObject::New()), b(TKCustomChangeObject::New());
    list->Add(a.get());
    list->Add(b.get());
    a->BeginUpdate();
    b->BeginUpdate();
    b->BeginUpdate();
    EXPECT_EQ(list->ItemChangeDepth(), 2);
    a->EndUpdate();
    b->EndUpdate();
    b->EndUpdate();
    EXPECT_EQ(list->started, 1);
    EXPECT_EQ(list->finished, 1);
    EXPECT_EQ(list->ItemChangeDepth(), 0);

    // An item that leaves in the middle of its update takes its count along: the list is not
    // kept busy, and the item's late end changes nothing.
    a->BeginUpdate();
    MemoryStream stream;
    EXPECT_THROW(list->SaveToStream(&stream), EInvalidOperation);
    list->Delete(list->IndexOf(a.get()));
    EXPECT_EQ(list->ItemChangeDepth(), 0);
    EXPECT_EQ(list->finished, 2);
    b->BeginUpdate();
    a->EndUpdate();
    EXPECT_EQ(list->ItemChangeDepth(), 1);
    b->EndUpdate();
    EXPECT_NO_THROW(list->SaveToStream(&stream));
}

TEST(Lists, ADisabledConstructionListKeepsItsItemsPicturesToItself)
{
    ItemEventLog passed;
    EventLog log;
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    TOwned<TestConstruction> item(TestConstruction::New());
    list->Add(item.get());
    list->SetEnabled(0);
    list->Events().Add(passed.Handler());
    item->SetVisible(0);
    EXPECT_EQ(passed.codes, (std::vector<int>{4, 5}));
    list->SetEnabled(1);
    passed.Clear();
    item->SetVisible(1);
    EXPECT_EQ(passed.codes, (std::vector<int>{4, 4100, 5}));
    // Membership changes are picture changes of an enabled list only.
    list->Events().Add(log.Handler());
    list->Delete(0);
    EXPECT_EQ(log.Codes(), (std::vector<int>{4, 4100, 10, 7, 5}));
    list->Events().Remove(log.Handler());
    list->Events().Remove(passed.Handler());
}

TEST(Lists, NestedListsPassTheirItemsEventsOnAsTheyCame)
{
    ItemEventLog passed;
    TOwned<TKCustomConstruction3DList> outer(TKCustomConstruction3DList::New());
    auto* inner = TKCustomConstruction3DList::New();
    auto* item = TestConstruction::New();
    inner->Add(item);
    outer->Add(inner);
    outer->Events().Add(passed.Handler());
    item->SetName("deep");
    EXPECT_EQ(passed.codes, (std::vector<int>{4, 8, 5}));
    EXPECT_EQ(passed.senders, (std::vector<TObject*>(3, item)));
    outer->Events().Remove(passed.Handler());
    outer->Clear();
}

TEST(Lists, BoundsCoverTheItemsBoxesInTheListsBasis)
{
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    TVector3D lo, hi;
    list->GetMinCorner(lo);
    list->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(lo, {-1, -1, -1}));
    EXPECT_TRUE(VectorEqual(hi, {1, 1, 1}));

    TOwned<TestConstruction> box(TestConstruction::New());
    box->minCorner = {0, 0, 0};
    box->maxCorner = {2, 3, 4};
    list->Add(box.get());
    list->GetMinCorner(lo);
    list->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(lo, {0, 0, 0}));
    EXPECT_TRUE(VectorEqual(hi, {2, 3, 4}));

    // A second box placed elsewhere; the list's own basis turned half round about z.
    TOwned<TestConstruction> other(TestConstruction::New());
    other->minCorner = {-1, -1, -1};
    other->maxCorner = {1, 1, 1};
    list->Add(other.get());
    other->Basis()->SetPlacement(TMatrix3D{}, {10, 0, 0});
    list->UpdateBounds();
    list->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(hi, {11, 3, 4}));
    list->Basis()->SetPlacement(TMatrix3D{{-1, 0, 0, 0, -1, 0, 0, 0, 1}}, {0, 0, 0});
    list->UpdateBounds();
    list->GetMinCorner(lo);
    list->GetMaxCorner(hi);
    EXPECT_NEAR(lo.x, 0, 1e-12);  // the items turned with the list: the same box
    EXPECT_NEAR(hi.x, 11, 1e-12);
    list->Delete(1);
    list->Delete(0);
    list->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(hi, {1, 1, 1}));
}

TEST(Lists, EmptyPlacesAreLeftOutOfAFile)
{
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    auto* a = TestConstruction::New();
    auto* b = TestConstruction::New();
    a->SetName("A");
    b->SetName("B");
    b->Basis()->SetPlacement(TMatrix3D{}, {0, 5, 0});
    list->Add(a);
    list->SetCount(3);
    list->Replace(2, b);
    ASSERT_EQ(list->GetItem(1), nullptr);

    MemoryStream stream;
    const int written = stream.WriteObject(list.get());
    stream.SetPosition(0);
    TKObject* object = nullptr;
    EXPECT_EQ(stream.ReadObject(object, nullptr), written);
    TOwned<TKCustomConstruction3DList> copy(static_cast<TKCustomConstruction3DList*>(object));
    ASSERT_EQ(copy->Count(), 2);
    EXPECT_EQ(static_cast<TKCustomChangeObject*>(copy->GetItem(0))->Name(), "A");
    EXPECT_EQ(static_cast<TKCustomChangeObject*>(copy->GetItem(1))->Name(), "B");
    EXPECT_GT(copy->LinkObjects(&stream), 0);
    // The bases come back under the list's basis through their own links.
    auto* loadedB = static_cast<TestConstruction*>(copy->GetItem(1));
    EXPECT_EQ(loadedB->Basis()->Parent(), copy->Basis());
    TVector3D o;
    loadedB->Basis()->GetOrigin(o);
    EXPECT_TRUE(VectorEqual(o, {0, 5, 0}));
    // The loaded items are listened to.
    loadedB->Free();
    EXPECT_EQ(copy->Count(), 1);
    copy->Clear();
    list->Clear();
}

TEST(Lists, ALoadThatFailsHalfWayFreesWhatItRead)
{
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    list->Add(TestConstruction::New());
    list->Add(TestConstruction::New());
    MemoryStream stream;
    stream.WriteObject(list.get());
    list->Clear();
    // Cut inside the second item: the first one is read, the second fails.
    stream.bytes.resize(stream.bytes.size() - 10);
    stream.SetPosition(0);
    TKObject* object = nullptr;
    TKObjectsList* constructions = Construction3DGlobalList();
    const int before = constructions->Count();
    EXPECT_THROW(stream.ReadObject(object, nullptr), EStreamError);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(constructions->Count(), before);
}

TEST(Lists, EntryCountsThatCannotBeInAFileAreInvalidValues)
{
    for (std::int32_t count : {-1, 1, 1 << 28}) {
        SCOPED_TRACE(count);
        TOwned<TKCustomChangeObjectList> list(TKCustomChangeObjectList::New());
        MemoryStream stream;
        const int bytes = list->SaveToStream(&stream);
        std::memcpy(stream.bytes.data() + bytes - 4, &count, 4);
        stream.SetPosition(0);
        TOwned<TKCustomChangeObjectList> target(TKCustomChangeObjectList::New());
        try {
            target->LoadFromStream(&stream);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(std::string(e.what()).find("Can't load : Invalid Value"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(target->Count(), 0);
    }
}

TEST(Lists, TheDrawPassNumbersItsItemsInTheStatusText)
{
    TOwned<TKThread> thread(TKThread::New());
    TOwned<TKCustomConstruction3DList> outer(TKCustomConstruction3DList::New());
    auto* first = TestConstruction::New();
    auto* middle = TKCustomConstruction3DList::New();
    auto* deep = TestConstruction::New();
    auto* hidden = TKCustomConstruction3DList::New();
    auto* inHidden = TestConstruction::New();
    outer->Add(first);
    outer->Add(TestConstruction::New());
    outer->Add(middle);
    middle->Add(TestConstruction::New());
    middle->Add(deep);
    outer->Add(hidden);
    hidden->Add(inHidden);
    hidden->SetVisible(0);
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    thread->SetStatusText("MakeImage.1");
    TDrawContext3D context;
    context.DrawSystem = ds.get();
    context.Thread = thread.get();
    outer->Draw(&context);
    EXPECT_EQ(first->draws, (std::vector<std::string>{"MakeImage.1.1+"}));
    EXPECT_EQ(deep->draws, (std::vector<std::string>{"MakeImage.1.3.2+"}));
    EXPECT_EQ(inHidden->draws, (std::vector<std::string>{"MakeImage.1.4.1-"}));
    EXPECT_EQ(context.DrawSystem, ds.get());

    outer->SetEnabled(0);
    outer->Draw(&context);
    EXPECT_EQ(first->draws.size(), 1u);
    outer->Clear();
}

TEST(Lists, ShadowTestsStopOnceTheLightIsGone)
{
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    auto* half = TestConstruction::New();
    auto* full = TestConstruction::New();
    auto* after = TestConstruction::New();
    half->shade = 0.5f;
    full->shade = 0.5f;
    list->Add(half);
    list->Add(full);
    list->Add(after);
    const TVector3S from{0, 0, 0}, to{1, 1, 1};
    float factor = 1;
    TOcclusion3S record{&from, &to, &factor};
    list->OccludeSingle(&record);
    EXPECT_EQ(factor, 0);
    EXPECT_EQ(after->occluded, 0);
    list->SetEnabled(0);
    factor = 1;
    list->OccludeSingle(&record);
    EXPECT_EQ(half->occluded, 1);
    list->Clear();
}

TEST(Lists, LightsTestShadowsOnlyWhenTheirListDoes)
{
    TOwned<TKCustomLightSystem3DList> lights(TKCustomLightSystem3DList::New());
    auto* light = TestLight::New();
    lights->Add(light);
    TOwned<TKCustomConstruction3DList> occluders(TKCustomConstruction3DList::New());
    const TVector3S point{1, 2, 3};
    TIllumination3S record{&point, nullptr, occluders.get()};
    lights->IlluminateSingle(&record);
    lights->SetShadows(1);
    lights->IlluminateSingle(&record);
    EXPECT_EQ(light->occluders, (std::vector<TKCustomConstruction3DList*>{nullptr, occluders.get()}));
    EXPECT_EQ(record.Occluders, occluders.get());
    lights->SetEnabled(0);
    lights->IlluminateSingle(&record);
    EXPECT_EQ(light->occluders.size(), 2u);
    lights->Clear();
}

TEST(Lists, SnapshotsAndContainers)
{
    TOwned<TKCustomConstruction3DList> outer(TKCustomConstruction3DList::New());
    EXPECT_EQ(outer->CreateSnapshot(nullptr), nullptr);
    auto* inner = TKCustomConstruction3DList::New();
    auto* item = TestConstruction::New();
    item->snapshots = true;
    item->maxCorner = {5, 5, 5};
    inner->Add(item);
    outer->Add(inner);
    outer->Add(TestConstruction::New());

    TKFindRequest request{item, nullptr};
    EXPECT_EQ(outer->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)), 1);
    EXPECT_EQ(request.container, inner);
    request = {outer.get(), nullptr};
    EXPECT_EQ(outer->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)), 0);
    TOwned<TestConstruction> stranger(TestConstruction::New());
    request = {stranger.get(), outer.get()};
    EXPECT_EQ(outer->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)), 0);
    EXPECT_EQ(request.container, nullptr);

    TOwned<TKCustomConstruction3D> snapshot(inner->CreateSnapshot(nullptr));
    auto* copy = ObjectAs<TKCustomConstruction3DList>(snapshot.get());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->Count(), 1);
    EXPECT_NE(copy->GetItem(0), item);
    TVector3D hi;
    copy->GetMaxCorner(hi);
    EXPECT_TRUE(VectorEqual(hi, {5, 5, 5}));
    copy->Clear();
    outer->Clear();
}

TEST(Lists, RegistrationFillsBranchesAndNamesTheClasses)
{
    struct Caption {
        TClass cls;
        const char* text;
    };
    const Caption captions[] = {
        {TKCustomChangeObjectList::StaticClass(), "Objects List"},
        {TKCustomObject3DList::StaticClass(), "Objects 3D List"},
        {TKCustomConstruction3DList::StaticClass(), "Constructions 3D List"},
        {TKCustomProjectionSystem3DList::StaticClass(), "Projections System List"},
        {TKCustomLightSystem3DList::StaticClass(), "Lights List"},
    };
    for (const Caption& c : captions) EXPECT_EQ(GetClassCaption(c.cls), c.text);

    struct SubItem {
        TClass cls;
        const char* text;
    };
    const SubItem subItems[] = {
        {TKCustomChangeObjectList::StaticClass(), "Custom Change Object List"},
        {TKCustomConstruction3DList::StaticClass(), "Custom Construction 3D List"},
        {TKCustomLightSystem3DList::StaticClass(), "Custom Light System 3D List"},
    };
    for (const SubItem& s : subItems) {
        SCOPED_TRACE(s.text);
        TOwned<TKDataBranch> branch(TKDataBranch::NewNamed("items"));
        RequestSubItems(s.cls, branch.get());
        TKDataBranch* node = branch->FindPath(std::string("Standart Objects\\") + s.text, true, '\\');
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Data().AsClass(), s.cls);
    }

    // Request 6 fills the tree of nested lists, the camera list through its ancestor.
    TOwned<TKCustomProjectionSystem3DList> cameras(TKCustomProjectionSystem3DList::New());
    cameras->SetName("Cameras");
    auto* camera = TestCamera::New();
    camera->SetName("Eye");
    cameras->Add(camera);
    TOwned<TKCustomChangeObjectList> top(TKCustomChangeObjectList::New());
    top->SetName("Custom");
    top->Add(cameras.get());
    TOwned<TKDataBranch> branch(TKDataBranch::NewNamed("old"));
    branch->AddChild(TKDataBranch::NewNamed("stale"));
    TKObjectRequest request;
    request.Object = top.get();
    request.Kind = korFillBranch;
    request.Argument = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(branch.get()));
    EXPECT_EQ(SendObjectRequest(top->ClassType(), request), 0);
    EXPECT_EQ(branch->Name(), "Custom");
    ASSERT_EQ(branch->Count(), 1);
    EXPECT_EQ(branch->DataChild(0)->Name(), "Cameras");
    ASSERT_EQ(branch->DataChild(0)->Count(), 1);
    EXPECT_EQ(branch->DataChild(0)->DataChild(0)->Name(), "Eye");
    EXPECT_EQ(branch->DataChild(0)->DataChild(0)->Data().AsObject(), camera);
    top->Delete(0);
    cameras->Clear();
}

}  // namespace
