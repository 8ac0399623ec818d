// What a notification costs: a million notifications to four handlers through an event
// manager, against calling the same four handlers directly in a loop.

#include <cstdint>

#include "bench/bench_registry.h"
#include "plugin3d/model/core/k_event_manager.h"

namespace {

constexpr int kNotifications = 1000000;

struct Handler {
    std::int64_t sum = 0;
    // Kept a real call in both loops, so that the ratio is the manager's own cost.
    [[gnu::noipa]] void OnEvent(TObject*, int code, std::intptr_t param) { sum += code + param; }
};

const bool kRegistered = RegisterBench("events-notify-1m", "direct-calls", [](BenchContext&) {
    Handler handlers[4];
    TKEventManager events;
    for (Handler& h : handlers) events.Add(TKEventHandler::Of<&Handler::OnEvent>(&h));
    const double notify = Seconds([&] {
        for (int i = 0; i < kNotifications; ++i) events.Notify(nullptr, 4096, i);
    });
    const double direct = Seconds([&] {
        for (int i = 0; i < kNotifications; ++i)
            for (Handler& h : handlers) h.OnEvent(nullptr, 4096, i);
    });
    return BenchTimes{notify, direct};
});

}  // namespace
