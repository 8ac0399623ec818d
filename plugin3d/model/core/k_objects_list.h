#pragma once

// TKObjectsList: a named, locked list of object references (not owned), with events 6
// (added) and 7 (removed) fired after the lock is left, and 3 when the list goes.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/core/k_flat_map.h"

class TKObjectsList : public TObject {
    DECLARE_TCLASS(TKObjectsList)

    /// The most items a list holds.
    static constexpr int kMaxCount = 0x100000;

    /// A list named name; it joins "Global List of KObjectsList" while that list exists.
    static TKObjectsList* NewNamed(const std::string& name);
    /// Joins the list of lists.
    void Create(void* owner) override;
    /// Fires 3, empties the list and leaves the list of lists.
    void BeforeDestruction() override;

    // Slot 0. Ignored unless 0 <= n <= kMaxCount; new items are null.
    virtual void SetCount(int n);
    // Slot 1. Out-of-range indexes are ignored.
    virtual void SetItem(int index, TObject* object);
    /// Item index, or null out of range.
    TObject* GetItem(int index) const;
    int Count() const;
    /// The last index of object, -1 for null or absent.
    int IndexOf(const TObject* object) const;
    /// Appends object unless it is listed already; then fires 6 with it either way. Null is
    /// ignored, and so is an object the full list cannot take.
    void Add(TObject* object);
    /// Takes object out when listed; then fires 7 with it either way. Null is ignored.
    void Remove(TObject* object);
    /// A copy of the items, taken under the lock.
    std::vector<TObject*> Snapshot() const;

    /// The number of successful additions so far (it only grows).
    std::uint64_t AddCount() const;
    const std::string& Name() const { return m_name; }
    TKEventManager& Events() { return m_events; }

    void Lock() const { EnterCriticalSection(&m_lock); }
    void Unlock() const { LeaveCriticalSection(&m_lock); }

protected:
    TKObjectsList() = default;
    ~TKObjectsList() override;

private:
    void Unlist(TObject* object);

    mutable CRITICAL_SECTION m_lock{};
    std::vector<TObject*> m_items;
    // How often each object is listed (SetItem may list one twice): Add asks it instead of
    // searching the array, so that a list of many objects builds in linear time.
    TKFlatMap<TObject*, int> m_listed;
    std::uint64_t m_additions = 0;
    std::string m_name;
    TKEventManager m_events;
    bool m_done = false;
};
