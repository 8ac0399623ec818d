// Lists hear their items on whatever thread changes them. These cases run items' changes on a
// job thread while the user-interface thread adds and deletes items; ./test.sh runs them
// again under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "plugin3d/model/core/k_threads.h"
#include "tests/plugin3d/model/scene/scene_test_support.h"

namespace {

using namespace kelvora::test;

constexpr int kItems = 6;
constexpr int kEdits = 1500;
constexpr int kMostJobRounds = 1000000;

/// Changes the items in every way that raises their events (switches, nested updates,
/// pictures, basis transforms) until the edits are over.
struct ChangingJob {
    std::vector<TestConstruction*> items;
    std::atomic<int> rounds{0};
    std::atomic<bool> editsOver{false};

    void Run(TKThread*, TKThreadParams*)
    {
        for (int round = 0; round < kMostJobRounds && !editsOver; ++round, ++rounds) {
            TestConstruction* item = items[std::size_t(round) % items.size()];
            switch (round % 4) {
                case 0:
                    item->SetEnabled(item->Enabled() ? 0 : 1);
                    break;
                case 1:
                    item->BeginUpdate();
                    item->SetVisible(item->Visible() ? 0 : 1);
                    item->EndUpdate();
                    break;
                case 2:
                    item->ObjectChanged(round);
                    break;
                default:
                    item->Basis()->BeginTransform();
                    item->Basis()->EndTransform();
                    break;
            }
        }
    }
};

/// Counts the events a list passes on, from any thread.
struct PassedCount {
    std::atomic<int> events{0};
    void OnEvent(TObject*, int code, std::intptr_t) { events += code == kevItemEvent; }
    TKEventHandler Handler() { return TKEventHandler::Of<&PassedCount::OnEvent>(this); }
};

TEST(ListEvents, ItemsChangingOnAJobThreadWhileTheListIsEdited)
{
    PassedCount passed;
    TOwned<TKCustomConstruction3DList> list(TKCustomConstruction3DList::New());
    list->Events().Add(passed.Handler());
    ChangingJob job;
    for (int i = 0; i < kItems; ++i) job.items.push_back(TestConstruction::New());
    TOwned<TKThread> thread(TKThread::New());
    thread->Execute(false, nullptr, TKJob::Of<&ChangingJob::Run>(&job));

    while (job.rounds == 0) Sleep(0);
    for (int edits = 0; edits < kEdits; ++edits) {
        TestConstruction* item = job.items[std::size_t(edits) % job.items.size()];
        if (list->IndexOf(item) < 0)
            list->Add(item);
        else
            list->Delete(list->IndexOf(item));
        if (edits % 7 == 0) {
            auto* passing = TestConstruction::New();  // an item only this thread knows
            list->Add(passing);
            list->Exchange(0, list->Count() - 1);
            passing->Free();
        }
        if (edits % 11 == 0) {
            TVector3D corner;
            list->GetMaxCorner(corner);
        }
    }
    job.editsOver = true;
    thread->Join();

    // Whatever order the events met the edits in, no item is counted as changing any more:
    // the list can be saved, and it still hears its items.
    EXPECT_EQ(list->ItemChangeDepth(), 0);
    MemoryStream stream;
    EXPECT_NO_THROW(list->SaveToStream(&stream));
    EXPECT_GT(passed.events.load(), 0);
    list->SetCount(0);
    for (TestConstruction* item : job.items) list->Add(item);
    const int before = passed.events;
    job.items[0]->SetVisible(job.items[0]->Visible() ? 0 : 1);
    EXPECT_GT(passed.events.load(), before);
    list->Events().Remove(passed.Handler());
    list->Clear();
}

}  // namespace
