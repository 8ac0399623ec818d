#pragma once

// Unit KCustom3DLists: five lists that collect model objects, pass their events on and
// persist them as object references. Four of them are 3D objects themselves, so a list
// stands wherever one of its items can (lists nest):
//
//   TKCustomChangeObjectList        any change object
//   TKCustomObject3DList            3D objects; their bases hang under the list's basis
//   TKCustomConstruction3DList      constructions; runs their draw pass
//   TKCustomProjectionSystem3DList  cameras only
//   TKCustomLightSystem3DList       lights; runs their illumination
//
// A list holds references: Clear frees its items; Delete, SetCount, Replace and the list's
// end only drop them. A nested list (a group) that is freed while it stands in a list takes
// its items along: its list empties it first. Each list takes only items of its kind (the
// table above), so that it never asks an item for what it does not have. Beside its array a
// list keeps its items sorted for the presence check; items made one after another are
// appended to it, so building a list of many items takes linear time.
//
// Events of a list: 10 its contents changed (membership or order), 11 an item's event passed
// on (param: the address of a TItemEvent), 7 an item left the list (param: the item, still
// alive: Delete, SetCount, Replace and Clear, which frees it right after), and, for the 3D
// lists, what every 3D object fires. An item that is destroyed announces that itself (3).
// While items are inside updates (between their events 4 and 5) the list counts them; the
// count of an item that leaves the list goes with it.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_flat_map.h"
#include "platform/kernel/slim_lock.h"
#include "plugin3d/model/scene/k_custom3d.h"

class TKDataBranch;

/// Events of a list.
enum TKListEvent : int {
    kevListChanged = 10,  ///< the contents changed; param 0
    kevItemEvent = 11,    ///< an item's event passed on; param: the address of a TItemEvent
};

/// An item's event as a list passes it on.
struct TItemEvent {
    TObject* Sender = nullptr;
    int Code = 0;
    std::intptr_t Param = 0;
};

/// The protocol every list shares, on top of Base. Family is the list class whose members
/// Clear empties before freeing them (a nested list of the same family).
template <class Base, class Family>
class TKListOf : public Base {
public:
    /// Empty, no item inside an update.
    void Init() override;
    /// Fires 3 while the list is whole, then drops every item (no freeing), except the items
    /// of a load not yet linked: nobody else has them, so they are freed.
    void BeforeDestruction() override;
    /// Kinds 3 and 4 only (else -1): each item gets the same operation; 1 plus the sum of
    /// their non-negative answers. The list's own basis is not asked.
    int BeginOperation(int kind) override;
    int EndOperation(int kind) override;
    /// The base's part, then the number of items and each item as an object record (empty
    /// places are left out). Raises "Busy" while items are inside updates.
    int SaveToStream(TKObjectsStream* stream) override;
    /// The base's part, then the items (of the list's item class); they are listened to but
    /// their bases are not attached: the bases' own links bring the tree back.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The base's link plus the items' non-negative answers; -1 when the total is not positive.
    int LinkObjects(TKObjectsStream* stream) override;
    /// 1 with container = this list when object is an item, or the answer of the first item
    /// that holds it; 0 (container null) when none does, or for null or the list itself.
    int FindContainer(TObject* object, TObject** container) override;

    /// Hears an item's event: counts items entering (4) and leaving (5) updates, then passes
    /// the event on as 11 (code 11, from a nested list, is passed on as it came).
    virtual void ItemNotify(TObject* sender, int code, std::intptr_t param);
    /// The first item entered an update; the default does nothing.
    virtual void ItemsChangeStarted(std::intptr_t param);
    /// The last item left its update; the default does nothing.
    virtual void ItemsChangeFinished(std::intptr_t param);
    /// Swaps two entries (both in range, different) and fires 10.
    virtual void Exchange(int i, int j);
    /// Moves the entry at from to to (both in range, different) and fires 10.
    virtual void Move(int from, int to);
    /// Appends item and listens to it; returns its index. An item already listed gives its
    /// index and nothing else; null, the list itself, an item of another kind or one that
    /// holds this list give -1.
    virtual int Add(TKCustomChangeObject* item);
    /// Takes the entry at index out (not freed): fires 10 for the move to the end when it was
    /// not the last, 10 for the removal, then 7 for the item.
    virtual void Delete(int index);
    /// Puts item (null allowed) at index and returns the item that was there (announced by
    /// 7). An item already listed moves to index and is returned; the list itself, an index
    /// out of range or an item the list does not take come back unchanged.
    virtual TKCustomChangeObject* Replace(int index, TKCustomChangeObject* item);
    /// Frees every item (a nested list of the same family is cleared first), each announced
    /// by 7 before it goes, and empties the list.
    virtual void Clear();

    /// Appends empty places, or deletes the last entries, until there are n (negative: 0).
    void SetCount(int n);
    /// The entry at index; null out of range.
    TKCustomChangeObject* GetItem(int index) const;
    /// The last index of item; null finds an empty place; -1 when none.
    int IndexOf(const TKCustomChangeObject* item) const;
    int Count() const;
    /// Items inside updates, as the list counts them.
    int ItemChangeDepth() const;
    /// Makes branch the list's node: its name and the list as data, one child per item
    /// (filled by the item class's request 6).
    void FillBranch(TKDataBranch* branch);
    /// The class every item must inherit from.
    virtual TClass ItemClass() const;

protected:
    TKListOf() = default;
    ~TKListOf() override;

    /// Fires 10 unless the list is being destroyed.
    void FireListChanged();
    /// True when item is of the list's kind and adding it makes no cycle.
    bool Takes(TKCustomChangeObject* item) { return OfItsKind(item) && !HoldsThisList(item); }
    /// True when item is not null, not the list itself, and of the list's item class.
    bool OfItsKind(TKCustomChangeObject* item);
    /// True when item holds this list, at any depth: adding it would make a cycle.
    bool HoldsThisList(TKCustomChangeObject* item);
    /// Listens to item and (3D lists) hangs its basis under the list's basis.
    void Attach(TKCustomChangeObject* item);
    /// The reverse of Attach, errors swallowed.
    void Detach(TKCustomChangeObject* item);
    /// Stores item at index without events (null allowed), keeping the presence check.
    void StoreAt(int index, TKCustomChangeObject* item);
    /// Announces that item left the list (7), for an item.
    void Released(TKCustomChangeObject* item);
    /// A change of the set of items: draw-pass lists fire 4100 (ObjectChanged(0)) when they
    /// are Enabled and the item took part in the picture.
    void MembershipChanged(bool itemTakesPart);

    /// The items. Changed under the list's lock; the draw pass reads it without (it runs
    /// while the scene is held still).
    std::vector<TKCustomChangeObject*> m_items;

private:
    template <class, class>
    friend class TKDrawPassListOf;

    void OnItemEvent(TObject* sender, int code, std::intptr_t param);
    /// Whether item is a list of any kind: one that goes is emptied first.
    bool ClearsAsGroup(TObject* item) const;
    /// Frees the items of the list item (which is being destroyed), errors swallowed.
    void ClearGroup(TObject* item);
    void DropAll();
    /// A copy of the items, taken under the lock.
    std::vector<TKCustomChangeObject*> ItemsNow() const;
    /// Operation code of kind to every item: 1 plus their positive answers.
    int PassOperation(int code, int kind);
    int IndexOfLocked(const TKCustomChangeObject* item) const;
    void RemoveDestroyed(TObject* item);
    /// Empties the entry at index and forgets its item's open updates, in one step; true
    /// when that left no item inside an update.
    bool TakeOutAt(int index);

    /// Guards the presence check and the update counts; taken only briefly and never while
    /// calling out, so that an item's thread never waits behind the list's own lock. The
    /// presence check changes under both locks, so either lets it be read.
    mutable platform::SlimLock m_stateMutex;
    /// Set by a load, cleared by its links: a list freed in between frees its items.
    std::atomic<bool> m_loadedUnclaimed{false};
    /// How often each item is listed. Items made one after another come at rising
    /// addresses, so adding them appends.
    TKKeyCounts<TObject*> m_listed;
    TKFlatMap<TObject*, int> m_openChanges;
    /// Changed under the state's lock, read without it.
    std::atomic<int> m_itemChangeDepth{0};
};

/// What the 3D lists add: the bounding box of their items in the list's basis coordinates.
template <class Base, class Family>
class TKObject3DListOf : public TKListOf<Base, Family> {
public:
    void Init() override;
    /// For a load, inside an update, so that the list fires its change once afterwards.
    int EndOperation(int kind) override;
    /// Marks the bounds out of date when no item is inside an update, then fires 5.
    void Changed(std::intptr_t param) override;
    /// Marks the bounds out of date.
    void ItemsChangeFinished(std::intptr_t param) override;
    /// The box, computed first when a change has marked it out of date since.
    void GetMinCorner(TVector3D& out) override;
    void GetMaxCorner(TVector3D& out) override;

    /// Computes the box: both corners of every item's box taken to world space through its
    /// basis, their low and high point taken into the list's basis, each coordinate pair
    /// sorted. An empty list has (-1, -1, -1) to (1, 1, 1).
    void UpdateBounds();

protected:
    TKObject3DListOf() = default;

private:
    void BoundsOutdated() { m_boundsOutdated.store(true, std::memory_order_release); }
    void UpdateBoundsWhenOutdated();

    TVector3D m_minCorner{-1, -1, -1};
    TVector3D m_maxCorner{1, 1, 1};
    // Set by the changes after which the bounds would have to be computed again; they are,
    // when next asked for: computing them at every change would walk all items at each Add.
    std::atomic<bool> m_boundsOutdated{false};
};

/// What the lists of constructions add: the draw pass, shadow tests and snapshots.
template <class Base, class Family>
class TKDrawPassListOf : public TKObject3DListOf<Base, Family> {
public:
    /// ObjectChanged(0) when Enabled, then 4097.
    void ChangeFinished() override;
    /// Each item's shadow test in order, until the transmission is gone; nothing when
    /// disabled.
    void OccludeSingle(TOcclusion3S* record) override;
    void Occlude(TOcclusion3D* record) override;
    /// Each item's draw pass in order (with a null drawing system when the list is not
    /// Visible), the thread's status text extended by "." and the item's number; nothing
    /// when disabled.
    void Draw(TDrawContext3D* context) override;
    /// A construction list (not listening to its entries) of the items' snapshots; null for
    /// an empty list.
    TKCustomConstruction3D* CreateSnapshot(TPersistent* owner) override;

protected:
    TKDrawPassListOf() = default;
};

class TKCustomChangeObjectList : public TKListOf<TKCustomChangeObject, TKCustomChangeObjectList> {
    DECLARE_TCLASS(TKCustomChangeObjectList)

protected:
    TKCustomChangeObjectList() = default;
};

class TKCustomObject3DList : public TKObject3DListOf<TKCustomObject3D, TKCustomObject3DList> {
    DECLARE_TCLASS(TKCustomObject3DList)

protected:
    TKCustomObject3DList() = default;
};

class TKCustomConstruction3DList
    : public TKDrawPassListOf<TKCustomConstruction3D, TKCustomConstruction3DList> {
    DECLARE_TCLASS(TKCustomConstruction3DList)

protected:
    TKCustomConstruction3DList() = default;
};

/// A list of cameras: Add and Replace take nothing else.
class TKCustomProjectionSystem3DList : public TKCustomConstruction3DList {
    DECLARE_TCLASS(TKCustomProjectionSystem3DList)

    TClass ItemClass() const override;

protected:
    TKCustomProjectionSystem3DList() = default;
};

class TKCustomLightSystem3DList : public TKDrawPassListOf<TKCustomLightSystem3D, TKCustomLightSystem3DList> {
    DECLARE_TCLASS(TKCustomLightSystem3DList)

    /// Each item illuminates the point in order; the shadow test only when the list has
    /// Shadows. Nothing when disabled.
    void IlluminateSingle(TIllumination3S* record) override;
    void Illuminate(TIllumination3D* record) override;

protected:
    TKCustomLightSystem3DList() = default;
};

/// Offers itemClass under caption in the "Standart Objects" sub-items of listClass (the
/// new-object choices of that list), once.
void RegisterStandardSubItem(TClass listClass, const std::string& caption, TClass itemClass);

/// Unit KCustom3DLists: registers the five classes, their request handler (request 6 fills
/// a branch), captions and sub-items.
extern const TUnitInfo kKCustom3DListsUnit;
