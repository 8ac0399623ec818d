#include "plugin3d/model/scene/k_custom3d_lists.h"

#include <string>
#include <type_traits>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"

IMPLEMENT_TCLASS(TKCustomChangeObjectList, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKCustomObject3DList, TKCustomObject3D)
IMPLEMENT_TCLASS(TKCustomConstruction3DList, TKCustomConstruction3D)
IMPLEMENT_TCLASS(TKCustomProjectionSystem3DList, TKCustomConstruction3DList)
IMPLEMENT_TCLASS(TKCustomLightSystem3DList, TKCustomLightSystem3D)

namespace {

/// Lists whose items are 3D objects: their bases hang under the list's basis.
template <class Base>
constexpr bool kHoldsObjects3D = std::is_base_of_v<TKCustomObject3D, Base>;
/// Lists whose items are constructions: membership changes and item pictures are 4100.
template <class Base>
constexpr bool kHoldsConstructions = std::is_base_of_v<TKCustomConstruction3D, Base>;

/// Runs a function when the scope ends, also by an exception.
template <class F>
class OnExit {
public:
    explicit OnExit(F f) : m_f(std::move(f)) {}
    ~OnExit() { m_f(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    F m_f;
};

/// An update of object around body, closed also when body fails.
template <class Body>
void InsideUpdate(TKCustomChangeObject& object, Body&& body)
{
    object.BeginUpdate();
    try {
        body();
    } catch (...) {
        object.EndUpdate();
        throw;
    }
    object.EndUpdate();
}

TKCustomObject3D* AsObject3D(TKCustomChangeObject* item)
{
    return static_cast<TKCustomObject3D*>(item);
}

TKCustomConstruction3D* AsConstruction(TKCustomChangeObject* item)
{
    return static_cast<TKCustomConstruction3D*>(item);
}

void Occlude(TKCustomConstruction3D* item, TOcclusion3S* record)
{
    item->OccludeSingle(record);
}

void Occlude(TKCustomConstruction3D* item, TOcclusion3D* record)
{
    item->Occlude(record);
}

// The shadow test of each item in order, until no light is left. No lock: it runs while the
// scene is held still.
template <class Record>
void OccludeInOrder(const std::vector<TKCustomChangeObject*>& items, Record* record)
{
    if (!record || !record->Factor) return;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (TKCustomChangeObject* item = items[i]) {
            Occlude(AsConstruction(item), record);
            if (*record->Factor <= 0) return;
        }
}

void Illuminate(TKCustomChangeObject* light, TIllumination3S* record)
{
    static_cast<TKCustomLightSystem3D*>(light)->IlluminateSingle(record);
}

void Illuminate(TKCustomChangeObject* light, TIllumination3D* record)
{
    static_cast<TKCustomLightSystem3D*>(light)->Illuminate(record);
}

// Each light in order; the shadow test's occluders only when the list asks for shadows.
template <class Record>
void IlluminateInOrder(const std::vector<TKCustomChangeObject*>& lights, Record* record, bool shadows)
{
    if (!record) return;
    TKCustomConstruction3DList* const occluders = record->Occluders;
    OnExit restore([&] { record->Occluders = occluders; });
    if (!shadows) record->Occluders = nullptr;
    for (std::size_t i = 0; i < lights.size(); ++i)
        if (TKCustomChangeObject* light = lights[i]) Illuminate(light, record);
}

}  // namespace

// TKListOf

template <class Base, class Family>
void TKListOf<Base, Family>::Init()
{
    Base::Init();
    m_items.clear();
    std::lock_guard state(m_stateMutex);
    m_listed.Clear();
    m_openChanges.Clear();
    m_itemChangeDepth.store(0, std::memory_order_relaxed);
}

template <class Base, class Family>
void TKListOf<Base, Family>::BeforeDestruction()
{
    Base::BeforeDestruction();
    // Items read by a load that failed before its links belong to nobody else: they go with
    // the list instead of being lost.
    if (m_loadedUnclaimed.exchange(false)) Clear();
    DropAll();
}

template <class Base, class Family>
TKListOf<Base, Family>::~TKListOf()
{
    this->Done();
    DropAll();
}

template <class Base, class Family>
void TKListOf<Base, Family>::DropAll()
{
    // Entered waiting, so that the items' removals below cannot give up half way.
    TKWaitingSectionGuard lock(this->LockSection());
    SetCount(0);
}

template <class Base, class Family>
TClass TKListOf<Base, Family>::ItemClass() const
{
    return Base::StaticClass();
}

template <class Base, class Family>
void TKListOf<Base, Family>::FireListChanged()
{
    this->FireEvent(kevListChanged, 0);
}

template <class Base, class Family>
bool TKListOf<Base, Family>::OfItsKind(TKCustomChangeObject* item)
{
    if (!item || item == this) return false;
    // Items are mostly of the item class itself.
    const TClass own = item->ClassType(), wanted = ItemClass();
    return own == wanted || own->InheritsFrom(wanted);
}

template <class Base, class Family>
bool TKListOf<Base, Family>::HoldsThisList(TKCustomChangeObject* item)
{
    // A list that holds this one (at any depth) would make a cycle: every walk over nested
    // lists (clearing, drawing, finding, filling branches) would run forever.
    TKFindRequest request{this, nullptr};
    return item->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)) > 0;
}

template <class Base, class Family>
void TKListOf<Base, Family>::Attach(TKCustomChangeObject* item)
{
    item->Events().Add(TKEventHandler::Of<&TKListOf::OnItemEvent>(this));
    if constexpr (kHoldsObjects3D<Base>) AsObject3D(item)->Basis()->SetParent(this->Basis());
}

template <class Base, class Family>
void TKListOf<Base, Family>::Detach(TKCustomChangeObject* item)
{
    try {
        item->Events().Remove(TKEventHandler::Of<&TKListOf::OnItemEvent>(this));
        if constexpr (kHoldsObjects3D<Base>) {
            // Only from this list's basis: a basis that was moved elsewhere stays there.
            TKBasis3D* basis = AsObject3D(item)->Basis();
            if (basis && basis->Parent() == this->Basis()) basis->SetParent(nullptr);
        }
    } catch (...) {
        // The item leaves the list anyway.
    }
}

template <class Base, class Family>
void TKListOf<Base, Family>::StoreAt(int index, TKCustomChangeObject* item)
{
    TKCustomChangeObject*& entry = m_items[std::size_t(index)];
    std::lock_guard state(m_stateMutex);
    if (entry) m_listed.Remove(entry);
    entry = item;
    if (item) m_listed.Add(item);
}

template <class Base, class Family>
bool TKListOf<Base, Family>::TakeOutAt(int index)
{
    TKCustomChangeObject*& entry = m_items[std::size_t(index)];
    TKCustomChangeObject* const item = entry;
    if (!item) return false;
    // One hold for both: an update bracket of the item heard in between would otherwise be
    // counted after its open ones were forgotten, and its end, once the item is unlisted,
    // never, leaving the list busy for good.
    std::lock_guard state(m_stateMutex);
    m_listed.Remove(item);
    entry = nullptr;
    const int* open = m_openChanges.Find(item);
    if (!open) return false;
    const int depth = m_itemChangeDepth.load(std::memory_order_relaxed) - *open;
    m_openChanges.Erase(item);
    m_itemChangeDepth.store(depth > 0 ? depth : 0, std::memory_order_relaxed);
    return depth <= 0;
}

template <class Base, class Family>
void TKListOf<Base, Family>::Released(TKCustomChangeObject* item)
{
    if (item) this->FireEvent(kevRemoved, reinterpret_cast<std::intptr_t>(item));
}

template <class Base, class Family>
void TKListOf<Base, Family>::MembershipChanged(bool itemTakesPart)
{
    if constexpr (kHoldsConstructions<Base>)
        if (itemTakesPart && this->Enabled()) this->ObjectChanged(0);
}

template <class Base, class Family>
void TKListOf<Base, Family>::Exchange(int i, int j)
{
    TKObjectLock lock(*this);
    const int count = static_cast<int>(m_items.size());
    if (i == j || i < 0 || j < 0 || i >= count || j >= count) return;
    std::swap(m_items[std::size_t(i)], m_items[std::size_t(j)]);
    FireListChanged();
}

template <class Base, class Family>
void TKListOf<Base, Family>::Move(int from, int to)
{
    TKObjectLock lock(*this);
    const int count = static_cast<int>(m_items.size());
    if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
    auto at = [this](int i) { return m_items.begin() + i; };
    if (from < to)
        std::rotate(at(from), at(from + 1), at(to + 1));
    else
        std::rotate(at(to), at(from), at(from + 1));
    FireListChanged();
}

template <class Base, class Family>
int TKListOf<Base, Family>::Add(TKCustomChangeObject* item)
{
    // What Attach writes of the item is fetched as soon as it is known to be one: the checks
    // and locks on the way would otherwise wait for each of its cache lines in turn.
    if (item) item->Events().Prefetch();
    if (!OfItsKind(item)) return -1;
    if constexpr (kHoldsObjects3D<Base>)
        if (TKBasis3D* basis = AsObject3D(item)->Basis()) basis->PrefetchTree();
    if (HoldsThisList(item)) return -1;
    TKObjectLock lock(*this);
    if (const int index = IndexOfLocked(item); index >= 0) return index;
    int index = -1;
    // The update opens first: its event 4 stops whatever walks the items (the image job)
    // before the array changes.
    InsideUpdate(*this, [&] {
        index = static_cast<int>(m_items.size());
        m_items.push_back(nullptr);
        StoreAt(index, item);
        Attach(item);
        if constexpr (kHoldsConstructions<Base>) MembershipChanged(AsConstruction(item)->Enabled() != 0);
        FireListChanged();
    });
    return index;
}

template <class Base, class Family>
void TKListOf<Base, Family>::Delete(int index)
{
    TKObjectLock lock(*this);
    if (index < 0 || index >= static_cast<int>(m_items.size())) return;
    InsideUpdate(*this, [&] {
        TKCustomChangeObject* item = m_items[std::size_t(index)];
        if (item) Detach(item);
        Move(index, static_cast<int>(m_items.size()) - 1);
        const bool changesOver = TakeOutAt(static_cast<int>(m_items.size()) - 1);
        m_items.pop_back();
        if constexpr (kHoldsConstructions<Base>) MembershipChanged(item && AsConstruction(item)->Enabled());
        FireListChanged();
        Released(item);
        if (changesOver) ItemsChangeFinished(0);
    });
}

template <class Base, class Family>
TKCustomChangeObject* TKListOf<Base, Family>::Replace(int index, TKCustomChangeObject* item)
{
    if (item == this || (item && !Takes(item))) return item;
    TKObjectLock lock(*this);
    if (index < 0 || index >= static_cast<int>(m_items.size())) return item;
    // Only a real item moves: null would otherwise move some empty place here instead of
    // clearing the entry.
    if (item)
        if (const int at = IndexOfLocked(item); at >= 0) {
            Move(at, index);
            return item;
        }
    TKCustomChangeObject* old = m_items[std::size_t(index)];
    InsideUpdate(*this, [&] {
        bool changesOver = false;
        if (old) {
            Detach(old);
            changesOver = TakeOutAt(index);
        }
        StoreAt(index, item);
        if (item) Attach(item);
        MembershipChanged(true);
        FireListChanged();
        Released(old);
        if (changesOver) ItemsChangeFinished(0);
    });
    return old;
}

template <class Base, class Family>
void TKListOf<Base, Family>::Clear()
{
    constexpr bool kPlainList = !kHoldsObjects3D<Base>;
    {
        TKObjectLock lock(*this);
        if (!m_items.empty())
            InsideUpdate(*this, [&] {
                // From the last item: freeing in reverse order of adding lets each item leave its
                // bases and global lists at their ends.
                for (int i = static_cast<int>(m_items.size()) - 1; i >= 0; --i) {
                    TKCustomChangeObject* item = m_items[std::size_t(i)];
                    if (!item) continue;
                    StoreAt(i, nullptr);
                    try {
                        // A nested list is emptied while this one still hears it, so that
                        // its own items' leaving is passed on too.
                        if (auto* nested = ObjectAs<Family>(item)) nested->Clear();
                        item->Events().Remove(TKEventHandler::Of<&TKListOf::OnItemEvent>(this));
                        Released(item);
                        item->Free();
                    } catch (...) {
                        // The entry is empty already; the others still go.
                    }
                }
                m_items.clear();
                bool changesOver = false;
                {
                    std::lock_guard state(m_stateMutex);
                    changesOver = m_itemChangeDepth.load(std::memory_order_relaxed) > 0;
                    m_openChanges.Clear();
                    m_itemChangeDepth.store(0, std::memory_order_relaxed);
                }
                MembershipChanged(true);
                if constexpr (!kPlainList) FireListChanged();
                if (changesOver) ItemsChangeFinished(0);
            });
    }
    if constexpr (kPlainList) FireListChanged();
}

template <class Base, class Family>
void TKListOf<Base, Family>::SetCount(int n)
{
    if (n < 0) n = 0;
    TKObjectLock lock(*this);
    if (n == static_cast<int>(m_items.size())) return;
    InsideUpdate(*this, [&] {
        if (n > static_cast<int>(m_items.size())) m_items.resize(std::size_t(n), nullptr);
        while (static_cast<int>(m_items.size()) > n) Delete(static_cast<int>(m_items.size()) - 1);
    });
}

template <class Base, class Family>
TKCustomChangeObject* TKListOf<Base, Family>::GetItem(int index) const
{
    TKObjectLock lock(const_cast<TKListOf&>(*this));
    return index >= 0 && index < static_cast<int>(m_items.size()) ? m_items[std::size_t(index)] : nullptr;
}

template <class Base, class Family>
int TKListOf<Base, Family>::IndexOfLocked(const TKCustomChangeObject* item) const
{
    // The presence check changes only under the list's lock, which the caller holds: it is
    // read without the state's.
    if (item && m_listed.Count(const_cast<TKCustomChangeObject*>(item)) == 0) return -1;
    for (int i = static_cast<int>(m_items.size()) - 1; i >= 0; --i)
        if (m_items[std::size_t(i)] == item) return i;
    return -1;
}

template <class Base, class Family>
int TKListOf<Base, Family>::IndexOf(const TKCustomChangeObject* item) const
{
    TKObjectLock lock(const_cast<TKListOf&>(*this));
    return IndexOfLocked(item);
}

template <class Base, class Family>
int TKListOf<Base, Family>::Count() const
{
    TKObjectLock lock(const_cast<TKListOf&>(*this));
    return static_cast<int>(m_items.size());
}

template <class Base, class Family>
int TKListOf<Base, Family>::ItemChangeDepth() const
{
    // Changed under the state's lock; a reader gets a value that may change right after
    // either way.
    return m_itemChangeDepth.load(std::memory_order_acquire);
}

template <class Base, class Family>
void TKListOf<Base, Family>::ItemNotify(TObject* sender, int code, std::intptr_t param)
{
    TItemEvent record{sender, code, param};
    if (code == kevItemEvent) {
        if (!param) return;
        record = *reinterpret_cast<const TItemEvent*>(param);
    }
    bool started = false, finished = false;
    // Only the update brackets are counted; other events pass on without a look-up.
    if (record.Code == kevChangeBegins || record.Code == kevChangeEnds) {
        // Counted per item that told this list, so that an item leaving in the middle of its
        // update takes its count along instead of keeping the list busy for good.
        std::lock_guard state(m_stateMutex);
        if (m_listed.Count(sender) > 0) {
            const int depth = m_itemChangeDepth.load(std::memory_order_relaxed);
            if (record.Code == kevChangeBegins) {
                ++*m_openChanges.TryEmplace(sender, 0).first;
                started = depth == 0;
                m_itemChangeDepth.store(depth + 1, std::memory_order_relaxed);
            } else if (record.Code == kevChangeEnds) {
                if (int* open = m_openChanges.Find(sender); open && *open > 0) {
                    if (--*open == 0) m_openChanges.Erase(sender);
                    finished = depth - 1 == 0;
                    m_itemChangeDepth.store(depth - 1, std::memory_order_relaxed);
                }
            }
        }
    }
    if (started) ItemsChangeStarted(record.Param);
    if (finished) ItemsChangeFinished(record.Param);
    if constexpr (kHoldsConstructions<Base>)
        if (record.Code == kevPictureChanged && !this->Enabled()) return;
    this->FireEvent(kevItemEvent, reinterpret_cast<std::intptr_t>(&record));
}

template <class Base, class Family>
void TKListOf<Base, Family>::ItemsChangeStarted(std::intptr_t)
{
}

template <class Base, class Family>
void TKListOf<Base, Family>::ItemsChangeFinished(std::intptr_t)
{
}

template <class Base, class Family>
void TKListOf<Base, Family>::OnItemEvent(TObject* sender, int code, std::intptr_t param)
{
    if (this->IsDestroying()) return;
    ItemNotify(sender, code, param);
    if (code != kevDestroyed) return;
    if (!ClearsAsGroup(sender)) {
        RemoveDestroyed(sender);
        return;
    }
    // A group that goes takes its items along: its end only drops them, and outside every
    // list nobody would ever free them. Inside this list's update, so that whatever walks
    // the items (the image job) is stopped before they go.
    TKWaitingSectionGuard lock(this->LockSection());
    InsideUpdate(*this, [&] {
        ClearGroup(sender);
        RemoveDestroyed(sender);
    });
}

template <class Base, class Family>
bool TKListOf<Base, Family>::ClearsAsGroup(TObject* item) const
{
    return ObjectAs<TKCustomChangeObjectList>(item) || ObjectAs<TKCustomObject3DList>(item) ||
           ObjectAs<TKCustomConstruction3DList>(item) || ObjectAs<TKCustomLightSystem3DList>(item);
}

template <class Base, class Family>
void TKListOf<Base, Family>::ClearGroup(TObject* item)
{
    try {
        if (auto* plain = ObjectAs<TKCustomChangeObjectList>(item))
            plain->Clear();
        else if (auto* objects = ObjectAs<TKCustomObject3DList>(item))
            objects->Clear();
        else if (auto* constructions = ObjectAs<TKCustomConstruction3DList>(item))
            constructions->Clear();
        else if (auto* lights = ObjectAs<TKCustomLightSystem3DList>(item))
            lights->Clear();
    } catch (...) {
        // The group goes anyway; what could not be freed is not freed twice.
    }
}

template <class Base, class Family>
void TKListOf<Base, Family>::RemoveDestroyed(TObject* item)
{
    // Entered waiting: giving up here would leave the freed item in the list.
    TKWaitingSectionGuard lock(this->LockSection());
    int index = -1;
    for (int i = static_cast<int>(m_items.size()) - 1; i >= 0 && index < 0; --i)
        if (m_items[std::size_t(i)] == item) index = i;
    if (index < 0) return;
    InsideUpdate(*this, [&] {
        const bool changesOver = TakeOutAt(index);
        Move(index, static_cast<int>(m_items.size()) - 1);
        m_items.pop_back();
        MembershipChanged(true);
        if (changesOver) ItemsChangeFinished(0);
    });
}

template <class Base, class Family>
std::vector<TKCustomChangeObject*> TKListOf<Base, Family>::ItemsNow() const
{
    TKObjectLock lock(const_cast<TKListOf&>(*this));
    return m_items;
}

template <class Base, class Family>
int TKListOf<Base, Family>::PassOperation(int code, int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    int sum = 0;
    for (TKCustomChangeObject* item : ItemsNow())
        if (item)
            if (const int answer = item->Operation(code, kind); answer > 0) sum += answer;
    return 1 + sum;
}

template <class Base, class Family>
int TKListOf<Base, Family>::BeginOperation(int kind)
{
    return PassOperation(kopBeginOperation, kind);
}

template <class Base, class Family>
int TKListOf<Base, Family>::EndOperation(int kind)
{
    return PassOperation(kopEndOperation, kind);
}

template <class Base, class Family>
int TKListOf<Base, Family>::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKObjectLock lock(*this);
    if (ItemChangeDepth() > 0) throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    int bytes = Base::SaveToStream(stream);
    std::int32_t present = 0;
    for (TKCustomChangeObject* item : m_items)
        if (item) ++present;
    bytes += WriteValue(stream, present);
    for (TKCustomChangeObject* item : m_items)
        if (item) bytes += stream->WriteObject(item);
    return bytes;
}

template <class Base, class Family>
int TKListOf<Base, Family>::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = Base::LoadFromStream(stream);
    SetCount(0);
    const std::int32_t count = ReadCount(stream, this, TKObjectsStream::kRecordHeadSize);
    bytes += 4;
    SetCount(count);
    try {
        for (std::int32_t i = 0; i < count; ++i) {
            TKObject* loaded = nullptr;
            bytes += stream->ReadObject(loaded, ItemClass());
            auto* item = ObjectAs<TKCustomChangeObject>(loaded);
            if (!item || !item->InheritsFrom(ItemClass())) {
                FreeObject(loaded);
                continue;
            }
            TKObjectLock lock(*this);
            StoreAt(i, item);
            item->Events().Add(TKEventHandler::Of<&TKListOf::OnItemEvent>(this));
        }
        m_loadedUnclaimed = true;
    } catch (...) {
        // The items read so far belong to nobody else: a load that fails frees them.
        Clear();
        throw;
    }
    return bytes;
}

template <class Base, class Family>
int TKListOf<Base, Family>::LinkObjects(TKObjectsStream* stream)
{
    m_loadedUnclaimed = false;
    int total = Base::LinkObjects(stream);
    for (TKCustomChangeObject* item : ItemsNow())
        if (item)
            if (const int answer = item->Operation(kopLink, reinterpret_cast<std::intptr_t>(stream));
                answer >= 0)
                total += answer;
    return total > 0 ? total : -1;
}

template <class Base, class Family>
int TKListOf<Base, Family>::FindContainer(TObject* object, TObject** container)
{
    if (!object || object == this) return 0;
    for (TKCustomChangeObject* item : ItemsNow()) {
        if (!item) continue;
        if (item == object) {
            *container = this;
            return 1;
        }
        TKFindRequest request{object, nullptr};
        if (item->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)) > 0) {
            *container = request.container;
            return 1;
        }
    }
    *container = nullptr;
    return 0;
}

template <class Base, class Family>
void TKListOf<Base, Family>::FillBranch(TKDataBranch* branch)
{
    if (!branch) return;
    branch->SetCount(0);
    branch->SetName(this->Name());
    branch->SetData(TKData::OfObject(this));
    for (TKCustomChangeObject* item : ItemsNow()) {
        if (!item) continue;
        TOwned<TKDataBranch> node(TKDataBranch::NewNamed(item->Name(), 0, TKData::OfObject(item)));
        TKObjectRequest request;
        request.Object = item;
        request.Kind = korFillBranch;
        request.Argument = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(node.get()));
        SendObjectRequest(item->ClassType(), request);
        branch->AddChild(node.release());
    }
}

// TKObject3DListOf

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::Init()
{
    TKListOf<Base, Family>::Init();
    m_minCorner = {-1, -1, -1};
    m_maxCorner = {1, 1, 1};
    m_boundsOutdated = false;
}

template <class Base, class Family>
int TKObject3DListOf<Base, Family>::EndOperation(int kind)
{
    if (kind != kokLoad) return TKListOf<Base, Family>::EndOperation(kind);
    int answer = 0;
    InsideUpdate(*this, [&] { answer = TKListOf<Base, Family>::EndOperation(kind); });
    return answer;
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::Changed(std::intptr_t param)
{
    if (this->ItemChangeDepth() == 0) BoundsOutdated();
    TKListOf<Base, Family>::Changed(param);
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::ItemsChangeFinished(std::intptr_t param)
{
    TKListOf<Base, Family>::ItemsChangeFinished(param);
    // The list's own update, when one is open, marks them again as it closes.
    if (this->ItemChangeDepth() == 0) BoundsOutdated();
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::UpdateBoundsWhenOutdated()
{
    if (m_boundsOutdated.exchange(false, std::memory_order_acq_rel)) UpdateBounds();
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::GetMinCorner(TVector3D& out)
{
    UpdateBoundsWhenOutdated();
    TKObjectLock lock(*this);
    out = m_minCorner;
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::GetMaxCorner(TVector3D& out)
{
    UpdateBoundsWhenOutdated();
    TKObjectLock lock(*this);
    out = m_maxCorner;
}

template <class Base, class Family>
void TKObject3DListOf<Base, Family>::UpdateBounds()
{
    if (this->IsDestroying()) return;
    TKObjectLock lock(*this);
    m_boundsOutdated = false;
    TVector3D low, high;
    bool seen = false;
    auto take = [&](const TVector3D& p) {
        if (!seen) {
            low = high = p;
            seen = true;
            return;
        }
        double* l[3] = {&low.x, &low.y, &low.z};
        double* h[3] = {&high.x, &high.y, &high.z};
        const double v[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            if (v[i] < *l[i])
                *l[i] = v[i];
            else if (v[i] > *h[i])
                *h[i] = v[i];
        }
    };
    for (TKCustomChangeObject* entry : this->m_items) {
        if (!entry) continue;
        TKCustomObject3D* item = AsObject3D(entry);
        TVector3D corner, world;
        item->GetMinCorner(corner);
        item->Basis()->DirectTransform(corner, world);
        take(world);
        item->GetMaxCorner(corner);
        item->Basis()->DirectTransform(corner, world);
        take(world);
    }
    m_minCorner = {-1, -1, -1};
    m_maxCorner = {1, 1, 1};
    if (!seen) return;
    TVector3D a, b;
    this->Basis()->InverseTransform(low, a);
    this->Basis()->InverseTransform(high, b);
    m_minCorner = {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
    m_maxCorner = {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

// TKDrawPassListOf

template <class Base, class Family>
void TKDrawPassListOf<Base, Family>::ChangeFinished()
{
    if (this->Enabled()) this->ObjectChanged(0);
    TKObject3DListOf<Base, Family>::ChangeFinished();
}

template <class Base, class Family>
void TKDrawPassListOf<Base, Family>::OccludeSingle(TOcclusion3S* record)
{
    if (this->Enabled()) OccludeInOrder(this->m_items, record);
}

template <class Base, class Family>
void TKDrawPassListOf<Base, Family>::Occlude(TOcclusion3D* record)
{
    if (this->Enabled()) OccludeInOrder(this->m_items, record);
}

template <class Base, class Family>
void TKDrawPassListOf<Base, Family>::Draw(TDrawContext3D* context)
{
    if (!context || !this->Enabled()) return;
    TKCustomDrawSystem3D* const drawSystem = context->DrawSystem;
    OnExit restore([&] { context->DrawSystem = drawSystem; });
    if (!this->Visible()) context->DrawSystem = nullptr;
    TKThread* const thread = context->Thread;
    const std::string prefix = thread ? thread->StatusText() + "." : std::string();
    // No lock: the pass runs while the scene is held still. By index, as the items may be
    // read while a nested pass reports.
    for (std::size_t i = 0; i < this->m_items.size(); ++i) {
        if (thread) thread->SetStatusText(prefix + std::to_string(i + 1));
        if (TKCustomChangeObject* item = this->m_items[i]) AsConstruction(item)->Draw(context);
    }
}

template <class Base, class Family>
TKCustomConstruction3D* TKDrawPassListOf<Base, Family>::CreateSnapshot(TPersistent* owner)
{
    const std::vector<TKCustomChangeObject*> items = this->ItemsNow();
    if (items.empty()) return nullptr;
    TKCustomConstruction3DList* snapshot = TKCustomConstruction3DList::New(owner);
    try {
        snapshot->SetCount(static_cast<int>(items.size()));
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i])
                if (TKCustomConstruction3D* copy = AsConstruction(items[i])->CreateSnapshot(snapshot)) {
                    TKObjectLock lock(*snapshot);
                    snapshot->StoreAt(static_cast<int>(i), copy);
                }
        snapshot->UpdateBounds();
    } catch (...) {
        snapshot->Clear();
        snapshot->Free();
        throw;
    }
    return snapshot;
}

template class TKListOf<TKCustomChangeObject, TKCustomChangeObjectList>;
template class TKListOf<TKCustomObject3D, TKCustomObject3DList>;
template class TKListOf<TKCustomConstruction3D, TKCustomConstruction3DList>;
template class TKListOf<TKCustomLightSystem3D, TKCustomLightSystem3DList>;
template class TKObject3DListOf<TKCustomObject3D, TKCustomObject3DList>;
template class TKObject3DListOf<TKCustomConstruction3D, TKCustomConstruction3DList>;
template class TKObject3DListOf<TKCustomLightSystem3D, TKCustomLightSystem3DList>;
template class TKDrawPassListOf<TKCustomConstruction3D, TKCustomConstruction3DList>;
template class TKDrawPassListOf<TKCustomLightSystem3D, TKCustomLightSystem3DList>;

// The concrete lists

TClass TKCustomProjectionSystem3DList::ItemClass() const
{
    return TKCustomProjectionSystem3D::StaticClass();
}

void TKCustomLightSystem3DList::IlluminateSingle(TIllumination3S* record)
{
    if (Enabled()) IlluminateInOrder(m_items, record, Shadows() != 0);
}

void TKCustomLightSystem3DList::Illuminate(TIllumination3D* record)
{
    if (Enabled()) IlluminateInOrder(m_items, record, Shadows() != 0);
}

// Registration

namespace {

std::int32_t ListRequest(TKObjectRequest& request)
{
    if (request.Kind != korFillBranch || !request.Object) return -1;
    auto* branch = ObjectAs<TKDataBranch>(reinterpret_cast<TObject*>(request.Argument));
    if (auto* list = ObjectAs<TKCustomChangeObjectList>(request.Object))
        list->FillBranch(branch);
    else if (auto* list3d = ObjectAs<TKCustomObject3DList>(request.Object))
        list3d->FillBranch(branch);
    else if (auto* constructions = ObjectAs<TKCustomConstruction3DList>(request.Object))
        constructions->FillBranch(branch);
    else if (auto* lights = ObjectAs<TKCustomLightSystem3DList>(request.Object))
        lights->FillBranch(branch);
    else
        return -1;
    return 0;
}

TClass ListClass(int i)
{
    const TClass classes[] = {TKCustomChangeObjectList::StaticClass(), TKCustomObject3DList::StaticClass(),
                              TKCustomConstruction3DList::StaticClass(),
                              TKCustomProjectionSystem3DList::StaticClass(),
                              TKCustomLightSystem3DList::StaticClass()};
    return classes[i];
}

constexpr int kListClasses = 5;
// The classes that carry the request handler (the camera list reaches it through its
// ancestor).
constexpr int kHandled[] = {0, 1, 2, 4};
constexpr const char* kCaptions[] = {"Objects List", "Objects 3D List", "Constructions 3D List",
                                     "Projections System List", "Lights List"};

void AddSubItem(TClass cls, const char* caption)
{
    RegisterStandardSubItem(cls, caption, cls);
}

void StartLists()
{
    for (int i = 0; i < kListClasses; ++i) RegisterClassBranch(ListClass(i));
    for (int i : kHandled) RegisterRequestHandler(ListClass(i), ListRequest);
    for (int i = 0; i < kListClasses; ++i) RegisterClassCaption(ListClass(i), kCaptions[i]);
    AddSubItem(TKCustomChangeObjectList::StaticClass(), "Custom Change Object List");
    AddSubItem(TKCustomConstruction3DList::StaticClass(), "Custom Construction 3D List");
    AddSubItem(TKCustomLightSystem3DList::StaticClass(), "Custom Light System 3D List");
}

void EndLists()
{
    for (int i : kHandled) UnregisterRequestHandler(ListClass(i), ListRequest);
    for (int i = kListClasses - 1; i >= 0; --i) UnregisterClassBranch(ListClass(i));
}

}  // namespace

void RegisterStandardSubItem(TClass listClass, const std::string& caption, TClass itemClass)
{
    TKDataBranch* items = GetClassInfoBranch(listClass, kciSubItems, true);
    if (!items) return;
    TKTreeLock lock;
    TKDataBranch* standard = items->ForceChild("Standart Objects", true);
    if (!standard->FindByData(TKData::OfClass(itemClass)))
        standard->AddChild(TKDataBranch::NewNamed(caption, 0, TKData::OfClass(itemClass)));
}

const TUnitInfo kKCustom3DListsUnit{"KCustom3DLists", StartLists, EndLists};
