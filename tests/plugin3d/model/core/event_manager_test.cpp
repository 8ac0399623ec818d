#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "plugin3d/model/core/k_event_manager.h"

namespace {

// Handlers that note their calls in one shared journal.
struct Journal {
    std::vector<std::string> calls;
};

struct Listener {
    Listener(Journal* j, std::string n) : journal(j), name(std::move(n)) {}
    Journal* journal;
    std::string name;
    std::function<void()> then;
    void OnEvent(TObject*, int code, std::intptr_t)
    {
        journal->calls.push_back(name + ":" + std::to_string(code));
        if (then) then();
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&Listener::OnEvent>(this); }
};

TEST(EventManager, HandlersRunInOrderAndDuplicatesTwice)
{
    Journal journal;
    Listener a{&journal, "a"}, b{&journal, "b"};
    TKEventManager events;
    events.Add(a.Handler());
    events.Add(b.Handler());
    events.Add(a.Handler());
    events.Add(TKEventHandler());  // not a method: ignored
    EXPECT_EQ(events.Count(), 3);
    EXPECT_EQ(events.IndexOf(b.Handler()), 1);
    events.Notify(nullptr, 9, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"a:9", "b:9", "a:9"}));

    events.Remove(a.Handler());  // the first of the two
    journal.calls.clear();
    events.Notify(nullptr, 10, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"b:10", "a:10"}));

    events.SetMuted(true);
    events.Notify(nullptr, 11, 0);
    EXPECT_EQ(journal.calls.size(), 2u);
}

// The only handler leaving from inside its own call, and handlers added after the table
// emptied: every table after the first is a fresh one, and none is walked twice.
TEST(EventManager, OnlyHandlerLeavingDuringNotifyAndTablesAfterIt)
{
    Journal journal;
    TKEventManager events;
    Listener first{&journal, "first"}, second{&journal, "second"};
    first.then = [&] { events.Remove(first.Handler()); };
    events.Add(first.Handler());
    events.Notify(nullptr, 1, 0);
    EXPECT_EQ(events.Count(), 0);
    events.Notify(nullptr, 2, 0);
    first.then = nullptr;
    events.Add(second.Handler());
    events.Add(first.Handler());
    events.Notify(nullptr, 3, 0);
    events.Remove(second.Handler());
    events.Remove(first.Handler());
    events.Add(first.Handler());
    events.Notify(nullptr, 4, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"first:1", "second:3", "first:3", "first:4"}));
}

TEST(EventManager, HandlerRemovingItselfAndAddingAnotherDuringNotify)
{
    Journal journal;
    TKEventManager events;
    Listener late{&journal, "late"};
    Listener self{&journal, "self"};
    Listener after{&journal, "after"};
    self.then = [&] {
        events.Remove(self.Handler());
        events.Add(late.Handler());
    };
    events.Add(self.Handler());
    events.Add(after.Handler());
    events.Notify(nullptr, 1, 0);
    // The table the notification began with: "after" still hears it, "late" does not.
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"self:1", "after:1"}));

    journal.calls.clear();
    events.Notify(nullptr, 2, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"after:2", "late:2"}));
}

TEST(EventManager, HandlerRemovedByAnEarlierOneIsNotCalledAnyMore)
{
    Journal journal;
    TKEventManager events;
    Listener first{&journal, "first"}, second{&journal, "second"};
    first.then = [&] { events.Remove(second.Handler()); };
    events.Add(first.Handler());
    events.Add(second.Handler());
    events.Notify(nullptr, 1, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"first:1"}));
}

TEST(EventManager, FailingHandlerDoesNotStopTheOthers)
{
    Journal journal;
    TKEventManager events;
    Listener failing{&journal, "failing"}, next{&journal, "next"};
    failing.then = [] { throw std::runtime_error("handler failed"); };
    events.Add(failing.Handler());
    events.Add(next.Handler());
    events.Notify(nullptr, 5, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"failing:5", "next:5"}));
}

TEST(EventManager, NestedNotificationsEditingTheTable)
{
    Journal journal;
    TKEventManager events;
    Listener outer{&journal, "outer"}, inner{&journal, "inner"};
    int depth = 0;
    outer.then = [&] {
        if (depth++ > 0) return;
        events.Add(inner.Handler());
        events.Notify(nullptr, 2, 0);  // the nested one sees the new table
        events.Remove(inner.Handler());
    };
    events.Add(outer.Handler());
    events.Notify(nullptr, 1, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"outer:1", "outer:2", "inner:2"}));
    EXPECT_EQ(events.Count(), 1);
}

TEST(EventManager, AThreadMuteSilencesOnlyItsOwnThread)
{
    Journal journal;
    Listener listener(&journal, "a");
    TKEventManager events, other;
    events.Add(listener.Handler());
    other.Add(listener.Handler());
    {
        TKThreadMute mute(&events);
        TKThreadMute nested(&events);
        TKThreadMute none(nullptr);
        events.Notify(nullptr, 1, 0);
        other.Notify(nullptr, 2, 0);
        std::thread([&] { events.Notify(nullptr, 3, 0); }).join();
    }
    events.Notify(nullptr, 4, 0);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"a:2", "a:3", "a:4"}));
}

}  // namespace
