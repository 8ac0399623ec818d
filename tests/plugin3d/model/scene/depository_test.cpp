// Depositories: records, the current record, drawing entries of two kinds, copies, the
// property keys and persistence.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

TOwned<TestDepository> NewDepository(int records)
{
    TOwned<TestDepository> d(TestDepository::New());
    d->SetRecordCount(records);
    for (int i = 0; i < records; ++i) {
        d->SetRecordName(i, "R" + std::to_string(i));
        d->ValueOf(i) = 10.0 * i;
    }
    d->applied.clear();
    return d;
}

TEST(Depository, AFreshOneHasRecordZeroSelectedButNoRecords)
{
    TOwned<TestDepository> d(TestDepository::New());
    EXPECT_EQ(d->CurrentRecord(), 0);
    EXPECT_EQ(d->RecordCount(), 0);
    EXPECT_EQ(d->DrawingCount(), 0);
    d->SetCurrentRecord(0);
    EXPECT_EQ(d->CurrentRecord(), -1);
    EXPECT_TRUE(d->applied.empty());
    EXPECT_EQ(d->GetRecordData(0), nullptr);
    EXPECT_EQ(d->GetRecordName(0), "");
}

TEST(Depository, DrawingsWithoutAnEntryTakeTheDefaultsOfTheirKind)
{
    auto d = NewDepository(3);
    TOwned<TestDrawSystem> listed(TestDrawSystem::New()), unlisted(TestDrawSystem::New());
    EXPECT_EQ(d->AddDrawing(listed.get()), 0);
    EXPECT_EQ(d->AddDrawing(listed.get()), 0);
    EXPECT_EQ(d->AddDrawing(nullptr), -1);
    EXPECT_EQ(d->DrawingCount(), 1);
    d->SetDrawingRecord(-1, 0, 1);  // default of kind 0 ("Ordinary")
    d->SetDrawingRecord(-1, 1, 2);  // default of kind 1 ("Special")
    d->SetDrawingRecord(0, 1, 0);
    const int none = d->IndexOfDrawing(unlisted.get());
    EXPECT_EQ(none, -1);
    EXPECT_EQ(d->GetDrawingRecord(none, 0), 1);
    EXPECT_EQ(d->GetDrawingRecord(none, 1), 2);
    EXPECT_EQ(d->GetDrawingRecord(0, 1), 0);
    EXPECT_EQ(d->GetDrawingRecord(0, 0), 0);
    // A record that is none of the records is stored as "no record".
    for (int bad : {3, 100, -7}) {
        d->SetDrawingRecord(0, 0, bad);
        EXPECT_EQ(d->GetDrawingRecord(0, 0), -1);
        d->SetDrawingRecord(-1, 1, bad);
        EXPECT_EQ(d->DefaultRecord1(), -1);
    }
}

TEST(Depository, DeletingRecordsRenumbersTheCurrentOneOnly)
{
    struct Case {
        const char* name;
        int current, deleted;
        int currentAfter;
        std::vector<int> applied;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"the current record: the last one is applied", 1, 1, 1, {1}, {"R0", "R2"}},
        {"an earlier record: the same record stays current", 2, 0, 1, {}, {"R1", "R2"}},
        {"a later record", 0, 2, 0, {}, {"R0", "R1"}},
        {"the last and current record", 2, 2, 1, {1}, {"R0", "R1"}},
        {"out of range", 1, 5, 1, {}, {"R0", "R1", "R2"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto d = NewDepository(3);
        d->SetCurrentRecord(k.current);
        d->applied.clear();
        d->DeleteRecord(k.deleted);
        EXPECT_EQ(d->CurrentRecord(), k.currentAfter);
        EXPECT_EQ(d->applied, k.applied);
        std::vector<std::string> names;
        for (int i = 0; i < d->RecordCount(); ++i) names.push_back(d->GetRecordName(i));
        EXPECT_EQ(names, k.names);
    }
}

TEST(Depository, EntriesAreNotRenumberedAndNothingIsAppliedFromPastTheLastRecord)
{
    auto d = NewDepository(3);
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    d->AddDrawing(ds.get());
    d->SetDrawingRecord(0, 0, 2);
    d->DeleteRecord(0);
    EXPECT_EQ(d->GetDrawingRecord(0, 0), 2);
    EXPECT_EQ(d->GetRecordData(2), nullptr);

    // Applying for that drawing selects no record rather than one past the end.
    TOwned<TestConstruction> c(TestConstruction::New());
    d->SetConstruction(c.get());
    d->applied.clear();
    TKApplyRecordRequest request{ds.get(), 0};
    TKPropertyRequest property{kdpApplyRecord, reinterpret_cast<std::intptr_t>(&request)};
    EXPECT_EQ(d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&property)), 0);
    EXPECT_EQ(d->CurrentRecord(), -1);
    EXPECT_EQ(d->applied, (std::vector<int>{-1}));
    // With a record in range, that one; kind 1 of an unlisted drawing takes its default.
    d->SetDrawingRecord(0, 0, 1);
    d->SetDrawingRecord(-1, 1, 0);
    d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&property));
    EXPECT_EQ(d->CurrentRecord(), 1);
    request = {nullptr, 1};
    d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&property));
    EXPECT_EQ(d->CurrentRecord(), 0);
}

TEST(Depository, DestroyedDrawingSystemsAndConstructionsLeave)
{
    auto d = NewDepository(1);
    TestDrawSystem* a = TestDrawSystem::New();
    TestDrawSystem* b = TestDrawSystem::New();
    TestConstruction* c = TestConstruction::New();
    d->AddDrawing(a);
    d->AddDrawing(b);
    d->SetConstruction(c);
    EXPECT_EQ(d->Construction(), c);
    a->Free();
    EXPECT_EQ(d->DrawingCount(), 1);
    EXPECT_EQ(d->GetDrawing(0), b);
    c->Free();
    EXPECT_EQ(d->Construction(), nullptr);
    d.reset();  // no longer listening to b
    b->Free();
}

TEST(Depository, AssignCopiesOnlyBetweenEqualRecordSizes)
{
    auto source = NewDepository(2);
    TOwned<TestDrawSystem> ds(TestDrawSystem::New());
    source->AddDrawing(ds.get());
    source->SetDrawingRecord(0, 1, 1);
    source->SetCurrentRecord(1);

    TOwned<WideDepository> wide(WideDepository::New());
    wide->Assign(source.get());
    EXPECT_EQ(wide->RecordCount(), 0);
    EXPECT_EQ(wide->DrawingCount(), 0);

    TOwned<TestDepository> copy(TestDepository::New());
    copy->Assign(nullptr);
    copy->Assign(source.get());
    EXPECT_EQ(copy->RecordCount(), 2);
    EXPECT_EQ(copy->GetRecordName(1), "R1");
    EXPECT_EQ(copy->ValueOf(1), 10.0);
    EXPECT_EQ(copy->CurrentRecord(), 1);
    EXPECT_EQ(copy->GetDrawing(0), ds.get());
    EXPECT_EQ(copy->GetDrawingRecord(0, 1), 1);
    // A copy listens to its drawing systems as the original does.
    ds.reset();
    EXPECT_EQ(copy->DrawingCount(), 0);
    EXPECT_EQ(source->DrawingCount(), 0);

    TOwned<TKCustomChangeObject> other(TKCustomChangeObject::New());
    EXPECT_THROW(copy->Assign(other.get()), EConvertError);
}

TEST(Depository, PropertiesAndTheEditorOperation)
{
    auto d = NewDepository(2);
    TOwned<TestConstruction> c(TestConstruction::New());
    TOwned<TKCustomChangeObject> notAConstruction(TKCustomChangeObject::New());

    TKPropertyRequest set{kdpConstruction, reinterpret_cast<std::intptr_t>(static_cast<TObject*>(c.get()))};
    EXPECT_EQ(d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&set)), 0);
    EXPECT_EQ(d->Construction(), c.get());
    EXPECT_EQ(d->applied, (std::vector<int>{0}));
    TKPropertyRequest get{kdpConstruction, 0};
    EXPECT_EQ(d->Operation(kopGetProperty, reinterpret_cast<std::intptr_t>(&get)), 0);
    EXPECT_EQ(get.value, set.value);

    set.value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(notAConstruction.get()));
    EXPECT_EQ(d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&set)), 0);
    EXPECT_EQ(set.value, 0);
    EXPECT_EQ(d->Construction(), nullptr);

    TKPropertyRequest unknown{4099, 0};
    EXPECT_EQ(d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&unknown)), -1);
    EXPECT_EQ(d->Operation(kopGetProperty, reinterpret_cast<std::intptr_t>(&unknown)), -1);
    EXPECT_EQ(d->Operation(kopOpenEditor, 1234), -1);
    EXPECT_EQ(d->editorsOpened, (std::vector<std::intptr_t>{1234}));
}

// The depository mutes its construction itself, or through a mute the caller keeps for a
// walk over many depositories; either way only while it applies.
TEST(Depository, ApplyingMutesOnlyWhatTheApplyingThreadRaises)
{
    for (const bool callersMute : {false, true}) {
        SCOPED_TRACE(callersMute ? "the caller's mute" : "its own mute");
        EventLog log;
        auto d = NewDepository(2);
        TOwned<TestConstruction> c(TestConstruction::New());
        d->SetConstruction(c.get());
        c->Events().Add(log.Handler());
        TOwned<TestDrawSystem> ds(TestDrawSystem::New());
        d->AddDrawing(ds.get());
        d->SetDrawingRecord(0, 0, 1);
        d->onApply = [&] {
            c->SetVisible(0);                               // the record's own change: not heard
            std::thread([&] { c->SetEnabled(0); }).join();  // the user's change meanwhile: heard
        };
        TKThreadMute walk{TKThreadMute::Reusable{}};
        TKApplyRecordRequest request{ds.get(), 0, callersMute ? &walk : nullptr};
        TKPropertyRequest property{kdpApplyRecord, reinterpret_cast<std::intptr_t>(&request)};
        d->Operation(kopSetProperty, reinterpret_cast<std::intptr_t>(&property));
        EXPECT_EQ(log.Codes(), (std::vector<int>{4, 4100, 5}));
        EXPECT_EQ(c->Visible(), 0);
        // After the apply the construction is heard again, while the caller's mute lasts too.
        d->onApply = nullptr;
        log.Clear();
        c->SetVisible(1);
        EXPECT_EQ(log.Codes(), (std::vector<int>{4, 5}));
        c->Events().Remove(log.Handler());
    }
}

// Writes the objects the depository refers to, then the depository, and reads all back.
TEST(Depository, ARoundTripKeepsRecordsAndEntriesAndLinksThem)
{
    auto d = NewDepository(3);
    TOwned<TestConstruction> c(TestConstruction::New());
    TOwned<TestDrawSystem> ds1(TestDrawSystem::New()), ds2(TestDrawSystem::New());
    d->SetConstruction(c.get());
    d->AddDrawing(ds1.get());
    d->AddDrawing(ds2.get());
    d->SetDrawingRecord(0, 0, 2);
    d->SetDrawingRecord(1, 1, 1);
    d->SetDrawingRecord(-1, 0, 1);
    d->SetCurrentRecord(2);

    MemoryStream stream;
    stream.WriteObject(c.get());
    stream.WriteObject(ds1.get());
    stream.WriteObject(ds2.get());
    const int written = d->SaveToStream(&stream);
    EXPECT_EQ(written, 24 + 3 * (4 + 2 + 8) + 2 * 12);

    stream.SetPosition(0);
    std::vector<TOwned<TKObject>> objects;
    for (int i = 0; i < 3; ++i) {
        TKObject* o = nullptr;
        stream.ReadObject(o, nullptr);
        objects.emplace_back(o);
    }
    TOwned<TestDepository> loaded(TestDepository::New());
    EXPECT_EQ(loaded->LoadFromStream(&stream), written);
    // Until linked, it refers to nothing and listens to nothing.
    EXPECT_EQ(loaded->Construction(), nullptr);
    EXPECT_EQ(loaded->GetDrawing(0), nullptr);
    EXPECT_EQ(loaded->LinkObjects(&stream), 3);

    EXPECT_EQ(loaded->Construction(), objects[0].get());
    EXPECT_EQ(loaded->GetDrawing(0), objects[1].get());
    EXPECT_EQ(loaded->GetDrawing(1), objects[2].get());
    EXPECT_EQ(loaded->CurrentRecord(), 2);
    EXPECT_EQ(loaded->DefaultRecord0(), 1);
    EXPECT_EQ(loaded->GetDrawingRecord(0, 0), 2);
    EXPECT_EQ(loaded->GetDrawingRecord(1, 1), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded->GetRecordName(i), d->GetRecordName(i));
        EXPECT_EQ(loaded->ValueOf(i), d->ValueOf(i));
    }
    // Linked means listened to: a drawing system freed leaves the table.
    objects[1].reset();
    EXPECT_EQ(loaded->DrawingCount(), 1);
    objects[0].reset();
    EXPECT_EQ(loaded->Construction(), nullptr);
}

TEST(Depository, CountsThatCannotBeInAFileAreInvalidValues)
{
    struct Case {
        std::size_t at;  // the record count, the drawing count
        std::int32_t count;
    };
    for (const Case k : {Case{16, -3}, Case{16, 1 << 30}, Case{20, -1}, Case{20, 2}}) {
        SCOPED_TRACE(k.count);
        TOwned<TestDepository> d(TestDepository::New());
        MemoryStream stream;
        EXPECT_EQ(d->SaveToStream(&stream), 24);
        std::memcpy(stream.bytes.data() + k.at, &k.count, 4);
        stream.SetPosition(0);
        TOwned<TestDepository> target(TestDepository::New());
        try {
            target->LoadFromStream(&stream);
            ADD_FAILURE() << "loaded";
        } catch (const EStreamError& e) {
            EXPECT_NE(std::string(e.what()).find("Can't load : Invalid Value"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
