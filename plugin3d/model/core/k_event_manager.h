#pragma once

// TKEventManager: the event handlers of one object, called in the order they were added.
//
// Notify takes no lock and allocates nothing: it walks the table as it was when the
// notification began. Add and Remove build a new table and keep the old one until no
// notification can still be walking it, so a handler may add or remove handlers (itself
// included) from inside a notification: a handler added then is not called by the running
// notification, and one removed then is not called by it any more.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/forms/method.h"
#include "platform/forms/object.h"
#include "platform/kernel/slim_lock.h"

/// A handler: (sender, code, param); sender is the object that fires, code the event code,
/// param a pointer-sized value whose meaning the code gives.
using TKEventHandler = TMethod<void(TObject* sender, int code, std::intptr_t param)>;

/// Generic event codes of the object model.
enum TKEventCode : int {
    kevDestroyed = 3,
    kevChangeBegins = 4,
    kevChangeEnds = 5,
    kevAdded = 6,
    kevRemoved = 7,
    kevNameChanged = 8,
};

class TKEventManager : public TObject {
    DECLARE_TCLASS(TKEventManager)

    TKEventManager() = default;
    ~TKEventManager() override;

    /// Appends handler (no duplicate check: a handler added twice is called twice). An
    /// empty handler is ignored.
    void Add(TKEventHandler handler);
    /// Removes the first entry equal to handler.
    void Remove(TKEventHandler handler);
    /// The first entry equal to handler, -1 when none.
    int IndexOf(TKEventHandler handler) const;
    int Count() const;
    void SetMuted(bool muted) { m_muted.store(muted, std::memory_order_relaxed); }
    bool IsMuted() const { return m_muted.load(std::memory_order_relaxed); }

    /// Asks the processor to fetch the table's lock and slots, which Add is about to write:
    /// a caller that will add to many cold managers in turn lets their fetches overlap.
    void Prefetch() const
    {
        __builtin_prefetch(this, 1);
        __builtin_prefetch(reinterpret_cast<const char*>(this + 1) - 1, 1);
    }

    /// Calls every handler with (sender, code, param) unless muted, for all threads or (see
    /// TKThreadMute) for the calling one. An exception a handler raises is dropped and the
    /// next handler still runs. With no handler it costs a load and a branch: most objects
    /// of a scene have nobody listening, and they fire at every change.
    void Notify(TObject* sender, int code, std::intptr_t param)
    {
        if (m_table.load(std::memory_order_acquire)) NotifyHandlers(sender, code, param);
    }

private:
    struct Table;
    void NotifyHandlers(TObject* sender, int code, std::intptr_t param);
    static constexpr std::size_t kInlineTableBytes = 32;
    void Publish(Table* fresh, const TKEventHandler* removed);
    void ReleaseRetired();

    mutable platform::SlimLock m_mutex;
    std::atomic<Table*> m_table{nullptr};
    std::atomic<int> m_notifying{0};
    std::atomic<bool> m_hasRetired{false};
    std::atomic<bool> m_muted{false};
    Table* m_retired = nullptr;      // guarded by m_mutex
    bool m_inlineTableUsed = false;  // guarded by m_mutex
    alignas(void*) unsigned char m_inlineTable[kInlineTableBytes];
};

/// Mutes an event manager for the calling thread, for a scope: what this thread raises
/// through it is not sent, what other threads raise still is. A change applied on a job's
/// thread so stays quiet without hiding the user's changes made meanwhile. Null mutes nothing.
/// A thread's mutes form a chain from the innermost, held in its TKThreadValue::Mutes.
class TKThreadMute {
public:
    explicit TKThreadMute(TKEventManager* events);
    /// A mute that joins the chain now and holds what Retarget names (nothing at first): a
    /// loop that mutes another manager in each pass joins the chain once, not at every pass.
    struct Reusable {};
    explicit TKThreadMute(Reusable);
    ~TKThreadMute();
    /// The manager this mute holds from now on (null: none); on the thread that made it.
    void Retarget(TKEventManager* events) { m_events = events; }
    TKThreadMute(const TKThreadMute&) = delete;
    TKThreadMute& operator=(const TKThreadMute&) = delete;

    /// Whether a mute of the calling thread holds events.
    static bool Holds(const TKEventManager* events);

private:
    void Join();

    TKEventManager* m_events;
    TKThreadMute* m_outer = nullptr;
    bool m_joined = false;
};
