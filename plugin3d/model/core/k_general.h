#pragma once

// Unit KGeneral's shared state and the locks of the object model.
//
// Every change object holds a re-entrant lock of its own; all TKBranch trees share one.
// On a job thread (a TKThread job runs on it), taking a lock another thread holds gives up
// with EAbort as soon as the job's stop is requested: a user-interface thread that holds
// an object's lock while it stops the job (a scene edit opened by a setter) is answered at
// once instead of after a time-out. A lock already held by the same thread never gives up.

#include <atomic>
#include <cstdint>

#include "platform/forms/units.h"
#include "platform/kernel/threads.h"

class TKObjectsList;

/// Enters a section another thread holds (EnterSection's slow way).
void EnterHeldSection(CRITICAL_SECTION& section);

/// Enters section; on a job thread, gives up with EAbort once the job's stop is requested.
/// Inline, so that a free or re-entered section costs no call: every setter and bracket of
/// the model enters its object's lock.
inline void EnterSection(CRITICAL_SECTION& section)
{
    if (!platform::TryEnterSection(section)) EnterHeldSection(section);
}
/// Enters section however long it takes (destructors and the closing half of brackets,
/// which must not be left half done).
inline void EnterSectionWaiting(CRITICAL_SECTION& section)
{
    if (!platform::TryEnterSection(section)) EnterCriticalSection(&section);
}
inline void LeaveSection(CRITICAL_SECTION& section)
{
    platform::LeaveSection(section);
}

/// How a guard enters its section.
enum class TKEnter { GivingUp, Waiting };

/// Holds a section for a scope: entered with EnterSection, or with EnterSectionWaiting.
template <TKEnter How>
class TKBasicSectionGuard {
public:
    explicit TKBasicSectionGuard(CRITICAL_SECTION& section) : m_section(section)
    {
        if constexpr (How == TKEnter::GivingUp)
            EnterSection(section);
        else
            EnterSectionWaiting(section);
    }
    ~TKBasicSectionGuard() { LeaveSection(m_section); }
    TKBasicSectionGuard(const TKBasicSectionGuard&) = delete;
    TKBasicSectionGuard& operator=(const TKBasicSectionGuard&) = delete;

private:
    CRITICAL_SECTION& m_section;
};
using TKSectionGuard = TKBasicSectionGuard<TKEnter::GivingUp>;
using TKWaitingSectionGuard = TKBasicSectionGuard<TKEnter::Waiting>;

/// The model's per-thread values. They live in the platform's per-thread slots, taken while
/// unit KGeneral runs: the library keeps no per-thread storage of its own, which would stay
/// behind in every thread that touched it once the library is unloaded. Outside the unit's
/// run every value reads null and setting one does nothing.
enum class TKThreadValue { JobStop, Mutes, LoadConstruction };
constexpr int kTKThreadValues = 3;
void* GetThreadValue(TKThreadValue which);
void SetThreadValue(TKThreadValue which, void* value);

/// What a load is making on a thread: the class of the object whose construction runs now,
/// null between objects. An object of that class is filled by the load at once, so it may
/// leave out what the load builds anew. A load installs its record once
/// (TKLoadConstructionScope) and sets it around each construction: two stores per object
/// instead of a per-thread value set and restored for each.
struct TKLoadConstruction {
    const void* cls = nullptr;
};

/// Installs making as the calling thread's record for the scope; the previous one comes back
/// after it.
class TKLoadConstructionScope {
public:
    explicit TKLoadConstructionScope(TKLoadConstruction& making);
    ~TKLoadConstructionScope();
    TKLoadConstructionScope(const TKLoadConstructionScope&) = delete;
    TKLoadConstructionScope& operator=(const TKLoadConstructionScope&) = delete;

private:
    void* m_previous;
};
/// True once, for the object of the class the calling thread's record names (which it then
/// clears).
bool TakeLoadConstruction(const void* cls);

/// Marks the calling thread, for the scope, as running a job whose stop request is stop.
class TKJobScope {
public:
    explicit TKJobScope(const std::atomic<bool>* stop);
    ~TKJobScope();
    TKJobScope(const TKJobScope&) = delete;
    TKJobScope& operator=(const TKJobScope&) = delete;

private:
    const std::atomic<bool>* m_previous;
};

/// The stop request of the job running on the calling thread, or null.
const std::atomic<bool>* CurrentJobStop();

/// The one lock all TKBranch trees share.
CRITICAL_SECTION& TreeLock();

/// The next number of the change objects' automatic names (1 for the first of a run).
std::uint64_t NextChangeObjectNumber();

/// "Global List of KObjectsList" while the unit runs, else null.
TKObjectsList* ObjectsListsList();

/// Unit KGeneral: the tree lock, the number counter and the list of lists.
extern const TUnitInfo kKGeneralUnit;
