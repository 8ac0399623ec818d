#pragma once

// TKCustomChangeObject: a model object with a name, a re-entrant lock, an update counter
// and change events (4 change begins, 5 change ends, 8 name changed, 3 destroyed).

#include <cstdint>
#include <string>

#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_object.h"

class TKCustomChangeObject : public TKObject {
    DECLARE_TCLASS(TKCustomChangeObject)

    /// Names the object "<class name> <n>", n counting all change objects of the run.
    void Init() override;
    /// Sets the destroying flag and fires event 3, once.
    void Done() override;
    /// Writes the name as a length-counted string. Raises EInvalidOperation with the "Busy"
    /// text while an update is open (a half-changed object is not saved).
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads the name (stored without events).
    int LoadFromStream(TKObjectsStream* stream) override;

    /// Enters the object's lock (re-entrant; gives up with EAbort on a stopped job's thread).
    void Lock() { EnterSection(m_lock); }
    void Unlock() { LeaveSection(m_lock); }

    /// Opens an update: the first level fires 4 (Changing) with param. With keepLocked the
    /// lock stays held on return, until the EndUpdate with keepLocked.
    void BeginUpdate(bool keepLocked = false, std::intptr_t param = 0);
    /// Closes an update: the last level fires 5 (Changed) with param. A surplus EndUpdate
    /// does nothing.
    void EndUpdate(bool keepLocked = false, std::intptr_t param = 0);
    bool IsUpdating() const;
    int UpdateCount() const;
    /// Runs change inside an update (events 4 and 5 around it); the update closes on every
    /// way out, and an exception of change passes on after it.
    template <class Change>
    void WithinUpdate(Change&& change)
    {
        BeginUpdate(false, 0);
        try {
            change();
        } catch (...) {
            EndUpdate(false, 0);
            throw;
        }
        EndUpdate(false, 0);
    }

    // Slots 16-19.
    virtual void Changing(std::intptr_t param);
    virtual void Changed(std::intptr_t param);
    virtual void NameChanged();
    /// Renames (case-sensitive comparison): events 4, 8, 5, or only 8 inside an open update.
    virtual void SetName(const std::string& name);

    std::string Name() const;
    TKEventManager& Events() { return m_events; }

protected:
    ~TKCustomChangeObject() override;
    /// The object's lock itself, for subclasses that must enter it without giving up.
    CRITICAL_SECTION& LockSection() const { return m_lock; }

    /// Fires code through Events, unless the object is being destroyed.
    void FireEvent(int code, std::intptr_t param)
    {
        if (!IsDestroying()) m_events.Notify(this, code, param);
    }

    /// The setter convention: under the lock, when value differs from field: an update
    /// around the store, then notify() unless the object is being destroyed. True when the
    /// value changed.
    template <class T, class Notify>
    bool SetValue(T& field, const T& value, Notify&& notify)
    {
        TKSectionGuard guard(m_lock);
        if (field == value) return false;
        BeginUpdate(false, 0);
        try {
            field = value;
        } catch (...) {
            EndUpdate(false, 0);
            throw;
        }
        EndUpdate(false, 0);
        if (!IsDestroying()) notify();
        return true;
    }

private:
    /// Under the lock: turns the default name into the stored one.
    void MakeDefaultName() const;
    /// Under the lock, with a default name still to be made: its text.
    std::string DefaultNameText() const;

    mutable std::string m_name;
    // A default name is kept as its class and number and written out as text where it is
    // asked for (Name, a save, a comparison), not stored: a load names every object it makes
    // from the file, and most stored names read as default names, which are kept so too.
    mutable TClass m_defaultNameClass = nullptr;
    std::uint64_t m_defaultNameNumber = 0;
    mutable CRITICAL_SECTION m_lock{};
    int m_updateCount = 0;
    TKEventManager m_events;
};

/// Holds a change object's lock for a scope.
class TKObjectLock {
public:
    explicit TKObjectLock(TKCustomChangeObject& object) : m_object(object) { object.Lock(); }
    ~TKObjectLock() { m_object.Unlock(); }
    TKObjectLock(const TKObjectLock&) = delete;
    TKObjectLock& operator=(const TKObjectLock&) = delete;

private:
    TKCustomChangeObject& m_object;
};
