#include "plugin3d/model/scene/k_project3d.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "platform/forms/exceptions.h"
#include "platform/forms/forms.h"
#include "platform/forms/registry.h"
#include "platform/kernel/threads.h"
#include "platform/registry/registry.h"
#include "platform/window/ui_thread.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKelvora3DProject, TKProject)

namespace {

constexpr char kCustomObjectsName[] = "Custom Objects";
constexpr char kObjectsName[] = "Objects";
constexpr char kLightsName[] = "Lights";
constexpr char kCamerasName[] = "Cameras";
constexpr char kGeneralSettingsKey[] = "Software\\Orvane\\Tarvenix2.0\\Settings\\General";
constexpr char kWorkDirValue[] = "WorkDir";
constexpr char kMakeImageStatus[] = "Make Image : ";
constexpr DWORD kStopTimeoutMs = 2000;
constexpr int kWaitStepMs = 5;

template <class Body, class After>
void Finally(Body&& body, After&& after)
{
    try {
        body();
    } catch (...) {
        after();
        throw;
    }
    after();
}

std::intptr_t AsParam(const void* p)
{
    return reinterpret_cast<std::intptr_t>(p);
}

// Whether list holds object, directly or in a nested list.
bool Holds(TKObject* list, TObject* object)
{
    if (!list || !object) return false;
    if (list == object) return true;
    TKFindRequest request{object, nullptr};
    return list->Operation(kopFindContainer, AsParam(&request)) >= 1;
}

std::string ExpandFileName(const std::string& name)
{
    if (name.empty()) return name;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(name, ec);
    return ec ? name : full.lexically_normal().string();
}

bool FileExists(const std::string& name)
{
    std::error_code ec;
    return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

// Adds item to home, or to target when target is a list of TargetList's kind inside home,
// unless home holds it already; with its depository, inside a scene edit (sceneEdit) or an
// update of the project.
template <class TargetList>
void AddIntoList(TKelvora3DProject& project, TargetList* home, TObject* target, TKCustomChangeObject* item,
                 bool sceneEdit)
{
    if (Holds(home, item)) return;
    TargetList* list = home;
    if (auto* inside = ObjectAs<TargetList>(target); inside && Holds(home, inside)) list = inside;
    if (sceneEdit)
        project.BeginSceneEdit(0);
    else
        project.BeginUpdate();
    Finally(
        [&] {
            list->Add(item);
            project.CreateDepository(item);
        },
        [&] {
            if (sceneEdit)
                project.EndSceneEdit(0);
            else
                project.EndUpdate();
        });
}

// object and, when it is a list, what it holds at any depth.
std::vector<TObject*> WithMembers(TObject* object)
{
    std::vector<TObject*> found;
    if (!object) return found;
    std::unordered_set<TObject*> seen{object};
    found.push_back(object);
    for (std::size_t next = 0; next < found.size(); ++next) {
        auto take = [&](auto* list) {
            for (int i = 0; i < list->Count(); ++i)
                if (TKCustomChangeObject* item = list->GetItem(i); item && seen.insert(item).second)
                    found.push_back(item);
        };
        TObject* at = found[next];
        if (auto* plain = ObjectAs<TKCustomChangeObjectList>(at))
            take(plain);
        else if (auto* objects = ObjectAs<TKCustomObject3DList>(at))
            take(objects);
        else if (auto* constructions = ObjectAs<TKCustomConstruction3DList>(at))
            take(constructions);
        else if (auto* lights = ObjectAs<TKCustomLightSystem3DList>(at))
            take(lights);
    }
    return found;
}

void FreeSwallowing(TObject* object)
{
    try {
        FreeObject(object);
    } catch (...) {
        // Freeing one entry that fails still frees the others.
    }
}

}  // namespace

// --- life ------------------------------------------------------------------------------------------

void TKelvora3DProject::Init()
{
    TKProject::Init();
    InitializeCriticalSection(&m_depositoryLock);
    SetDescription(kDescription);
    m_interactive = 0;
    m_noWaitFlags = 2;
    m_waitTimeStill = 100;
    m_waitTimeInteractive = 200;
    m_imagePending = false;
    m_redrawAll = false;
    m_imageThread = TKThread::New(this);
    m_customObjects = TKCustomChangeObjectList::New(this);
    m_customObjects->SetName(kCustomObjectsName);
    m_objects = TKCustomConstruction3DList::New(this);
    m_objects->SetName(kObjectsName);
    m_lights = TKCustomLightSystem3DList::New(this);
    m_lights->SetName(kLightsName);
    m_cameras = TKCustomProjectionSystem3DList::New(this);
    m_cameras->SetName(kCamerasName);
    SubscribeLists();
}

TKelvora3DProject::~TKelvora3DProject()
{
    Done();
    // Nothing the job draws may go while it runs: stop it and wait for its end first.
    if (m_imageThread) m_imageThread->Join();
    m_reopened.clear();
    FreeSearchLists();
    ClearDepositories();
    ClearViewers();
    FreeLists();
    FreeSwallowing(m_imageThread);
    m_imageThread = nullptr;
    DeleteCriticalSection(&m_depositoryLock);
}

void TKelvora3DProject::SubscribeLists()
{
    m_customObjects->Events().Add(TKEventHandler::Of<&TKelvora3DProject::CustomItemNotify>(this));
    m_objects->Events().Add(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
    m_lights->Events().Add(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
    m_cameras->Events().Add(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
}

void TKelvora3DProject::UnsubscribeList(TKCustomChangeObject* list, bool custom)
{
    if (!list) return;
    list->Events().Remove(custom ? TKEventHandler::Of<&TKelvora3DProject::CustomItemNotify>(this)
                                 : TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
}

void TKelvora3DProject::FreeLists()
{
    auto release = [&](auto*& list, bool custom) {
        if (!list) return;
        UnsubscribeList(list, custom);
        try {
            list->Clear();
        } catch (...) {
        }
        FreeSwallowing(list);
        list = nullptr;
    };
    release(m_cameras, false);
    release(m_lights, false);
    release(m_objects, false);
    release(m_customObjects, true);
}

void TKelvora3DProject::ClearViewers()
{
    std::vector<TViewerEntry> viewers;
    {
        std::lock_guard lock(m_viewerMutex);
        viewers.swap(m_viewers);
    }
    for (const TViewerEntry& entry : viewers) {
        if (!entry.DrawSystem) continue;
        entry.DrawSystem->Events().Remove(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
        FreeSwallowing(entry.DrawSystem);
    }
}

void TKelvora3DProject::ClearDepositories()
{
    std::vector<TDepositoryEntry> depositories;
    {
        TKWaitingSectionGuard guard(m_depositoryLock);
        depositories.swap(m_depositories);
        m_depositoryOf.clear();
    }
    for (const TDepositoryEntry& entry : depositories) FreeSwallowing(entry.Depository);
}

void TKelvora3DProject::FreeSearchLists()
{
    m_searchPath.reset();
    m_savedSearchPath.reset();
}

// --- scene edits and the image job -----------------------------------------------------------------

bool TKelvora3DProject::OnImageThread() const
{
    const DWORD id = m_imageThreadId.load(std::memory_order_acquire);
    return id != 0 && id == GetCurrentThreadId();
}

void TKelvora3DProject::SceneEditStarted(std::intptr_t param)
{
    SetModified(true);
    FireEvent(kevSceneEditStarted, param);
}

void TKelvora3DProject::SceneEditFinished(std::intptr_t param)
{
    FireEvent(kevSceneEditFinished, param);
}

void TKelvora3DProject::BeginSceneEdit(std::intptr_t param)
{
    // The job's own work needs no stop: it would wait for itself.
    if (IsDestroying() || OnImageThread()) return;
    TKObjectLock lock(*this);
    if (m_sceneEditCount++ == 0) SceneEditStarted(param);
    StopImageJob();
}

void TKelvora3DProject::EndSceneEdit(std::intptr_t param)
{
    if (IsDestroying() || OnImageThread()) return;
    TKWaitingSectionGuard guard(LockSection());
    if (m_sceneEditCount == 0) return;
    if (--m_sceneEditCount > 0) return;
    SceneEditFinished(param);
    if (!IsUpdating()) StartImageJob();
}

bool TKelvora3DProject::InSceneEdit() const
{
    return SceneEditCount() > 0;
}

int TKelvora3DProject::SceneEditCount() const
{
    TKSectionGuard guard(LockSection());
    return m_sceneEditCount;
}

// Waits as the state asks for the running image, then stops the job and returns only once
// its worker has ended: the passes check for a stop after every row, and the locks the job
// takes give up once the stop is asked for, so this takes a row's time.
void TKelvora3DProject::StopImageJob()
{
    if (!m_imageThread) return;
    const bool interactive = Interactive() != 0;
    int wait = GetNoWait(interactive) ? 0 : WaitTime(interactive);
    while (wait > 0 && m_imageThread->State() == ktsRunning) {
        Sleep(kWaitStepMs);
        wait -= kWaitStepMs;
    }
    do {
        m_imageThread->Terminate(kStopTimeoutMs);
    } while (m_imageThread->HasWorker());
}

void TKelvora3DProject::StartImageJob()
{
    if (IsDestroying() || !m_imageThread) return;
    TKSectionGuard guard(LockSection());
    if (IsUpdating() || m_sceneEditCount > 0 || m_operationHold.load() > 0) return;
    if (!m_imagePending.load(std::memory_order_acquire)) return;
    // From the job itself the next job waits for this one's end instead of stopping it.
    m_imageThread->Execute(!OnImageThread(), nullptr, TKJob::Of<&TKelvora3DProject::MakeImages>(this));
}

void TKelvora3DProject::Invalidate(TObject* object)
{
    SetModified(true);
    {
        std::lock_guard lock(m_viewerMutex);
        m_imagePending = true;
        bool marked = false;
        // Every viewer of a camera shows its change, not only the first one bound to it.
        if (object)
            for (TViewerEntry& entry : m_viewers)
                if (entry.DrawSystem == object || entry.Camera == object) {
                    entry.Redraw |= 1;
                    marked = true;
                }
        if (!marked) m_redrawAll = true;
    }
    if (!IsUpdating() && !InSceneEdit()) StartImageJob();
}

void TKelvora3DProject::Changed(std::intptr_t param)
{
    TKProject::Changed(param);
    if (!IsUpdating() && !InSceneEdit()) StartImageJob();
}

void TKelvora3DProject::MakeImages(TKThread* thread, TKThreadParams*)
{
    m_imageThreadId.store(GetCurrentThreadId(), std::memory_order_release);
    try {
        RunImagePasses(thread);
    } catch (...) {
        // A stop or a failure: the viewers not drawn stay out of date for the next job.
        FireEvent(kevImageFailed, 1);
    }
    m_imageThreadId.store(0, std::memory_order_release);
}

void TKelvora3DProject::RunImagePasses(TKThread* thread)
{
    {
        // What is out of date is taken now: a change made during the pass marks it again.
        std::lock_guard lock(m_viewerMutex);
        m_imagePending = false;
        if (m_redrawAll.exchange(false))
            for (TViewerEntry& entry : m_viewers) entry.Redraw |= 1;
    }
    for (std::size_t i = 0;; ++i) {
        TViewerEntry entry;
        bool outOfDate;
        {
            std::lock_guard lock(m_viewerMutex);
            if (i >= m_viewers.size()) break;
            entry = m_viewers[i];
            outOfDate = (entry.Redraw & 1) != 0;
            m_viewers[i].Redraw &= ~1;
        }
        TKCustomDrawSystem3D* ds = entry.DrawSystem;
        if (!ds || !outOfDate || !ds->Enabled()) continue;
        try {
            if (thread) thread->SetStatusText(kMakeImageStatus + ds->Name());
            ApplyDrawingRecords(ds);
            ds->BeginDrawing(0);
            Finally(
                [&] {
                    if (!entry.Camera) return;
                    TDrawContext3D context{entry.Camera, m_lights, m_objects, ds, thread};
                    m_objects->Draw(&context);
                    m_cameras->Draw(&context);
                    m_lights->Draw(&context);
                },
                [&] { ds->EndDrawing(0); });
        } catch (...) {
            std::lock_guard lock(m_viewerMutex);
            if (i < m_viewers.size() && m_viewers[i].DrawSystem == ds) m_viewers[i].Redraw |= 1;
            m_imagePending = true;
            throw;
        }
    }
    if (thread) thread->CheckTerminated();
}

void TKelvora3DProject::ApplyDrawingRecords(TKCustomDrawSystem3D* ds)
{
    TKSectionGuard guard(m_depositoryLock);
    // One mute for the whole walk, pointed by each depository at its construction: a scene
    // of thousands of depositories per viewer would otherwise join and leave the thread's
    // chain of mutes thousands of times.
    TKThreadMute mute{TKThreadMute::Reusable{}};
    // Off the job's own thread (the pass that ends a load) there is no stop to check, and
    // the thread a walk runs on does not change during it.
    bool checking = m_imageThread != nullptr;
    for (const TDepositoryEntry& entry : m_depositories) {
        if (!entry.Depository || !entry.Construction) continue;
        TKApplyRecordRequest apply{ds, Interactive(), &mute};
        TKPropertyRequest request{kdpApplyRecord, AsParam(&apply)};
        entry.Depository->Operation(kopSetProperty, AsParam(&request));
        if (checking) checking = m_imageThread->CheckTerminated();
    }
}

void TKelvora3DProject::SetInteractive(std::uint8_t interactive)
{
    m_interactive.store(interactive, std::memory_order_release);
}

void TKelvora3DProject::SetNoWait(bool interactive, bool on)
{
    const std::uint32_t bit = interactive ? 1u : 2u;
    if (on)
        m_noWaitFlags.fetch_or(bit);
    else
        m_noWaitFlags.fetch_and(~bit);
}

bool TKelvora3DProject::GetNoWait(bool interactive) const
{
    return (NoWaitFlags() & (interactive ? 1u : 2u)) != 0;
}

void TKelvora3DProject::SetWaitTime(bool interactive, std::int32_t ms)
{
    (interactive ? m_waitTimeInteractive : m_waitTimeStill).store(ms, std::memory_order_release);
}

std::int32_t TKelvora3DProject::WaitTime(bool interactive) const
{
    return (interactive ? m_waitTimeInteractive : m_waitTimeStill).load(std::memory_order_acquire);
}

// --- objects ---------------------------------------------------------------------------------------

void TKelvora3DProject::AddObject(TObject* target, TObject* obj)
{
    if (IsDestroying() || !obj || obj == this) return;
    if (obj == m_customObjects || obj == m_objects || obj == m_lights || obj == m_cameras) return;
    auto* item = ObjectAs<TKCustomChangeObject>(obj);
    if (!item) return;
    TKObjectLock lock(*this);
    if (auto* ds = ObjectAs<TKCustomDrawSystem3D>(item)) {
        if (IndexOfViewer(ds) >= 0) return;
        AddViewer(ds);
        CreateDepository(ds);
    } else if (ObjectAs<TKCustomLightSystem3D>(item)) {
        AddIntoList<TKCustomLightSystem3DList>(*this, m_lights, target, item, true);
    } else if (ObjectAs<TKCustomProjectionSystem3D>(item)) {
        AddIntoList<TKCustomConstruction3DList>(*this, m_cameras, target, item, true);
    } else if (ObjectAs<TKCustomConstruction3D>(item)) {
        AddIntoList<TKCustomConstruction3DList>(*this, m_objects, target, item, true);
    } else {
        AddIntoList<TKCustomChangeObjectList>(*this, m_customObjects, target, item, false);
    }
}

// --- depositories ----------------------------------------------------------------------------------

TKObject* TKelvora3DProject::GetDepository(const TObject* object) const
{
    if (!object) return nullptr;
    // A load fills the table on its own thread while the forms may ask.
    TKWaitingSectionGuard guard(m_depositoryLock);
    const auto found = m_depositoryOf.find(object);
    return found == m_depositoryOf.end() ? nullptr : found->second;
}

TKObject* TKelvora3DProject::CreateDepository(TKObject* object)
{
    if (!object) return nullptr;
    TKSectionGuard guard(m_depositoryLock);
    if (TKObject* existing = GetDepository(object)) return existing;
    const TClass cls = GetDepositoryClass(object->ClassType());
    if (!cls || !cls->InheritsFrom(TKObject::StaticClass())) return nullptr;
    auto* depository = static_cast<TKObject*>(cls->Construct(nullptr));
    try {
        TKPropertyRequest request{kdpConstruction, AsParam(object)};
        depository->Operation(kopSetProperty, AsParam(&request));
        m_depositories.push_back({depository, object, 0});
        m_depositoryOf.emplace(object, depository);
    } catch (...) {
        FreeSwallowing(depository);
        throw;
    }
    return depository;
}

void TKelvora3DProject::RemoveDepository(const TObject* object)
{
    if (!object) return;
    TKObject* depository = nullptr;
    {
        TKWaitingSectionGuard guard(m_depositoryLock);
        const auto at = std::find_if(m_depositories.begin(), m_depositories.end(),
                                     [&](const TDepositoryEntry& e) { return e.Construction == object; });
        if (at == m_depositories.end()) return;
        depository = at->Depository;
        m_depositories.erase(at);
        m_depositoryOf.erase(object);
        // Freed under the lock: the job must not apply it meanwhile.
        FreeSwallowing(depository);
    }
}

int TKelvora3DProject::DepositoryCount() const
{
    TKWaitingSectionGuard guard(m_depositoryLock);
    return static_cast<int>(m_depositories.size());
}

// --- viewers ---------------------------------------------------------------------------------------

TKCustomDrawSystem3D* TKelvora3DProject::GetDrawingSystem(int index) const
{
    std::lock_guard lock(m_viewerMutex);
    if (index < 0 || index >= static_cast<int>(m_viewers.size())) return nullptr;
    return m_viewers[std::size_t(index)].DrawSystem;
}

int TKelvora3DProject::IndexOfViewer(const TKCustomDrawSystem3D* ds) const
{
    if (!ds) return -1;
    std::lock_guard lock(m_viewerMutex);
    for (int i = static_cast<int>(m_viewers.size()) - 1; i >= 0; --i)
        if (m_viewers[std::size_t(i)].DrawSystem == ds) return i;
    return -1;
}

int TKelvora3DProject::ViewerCount() const
{
    std::lock_guard lock(m_viewerMutex);
    return static_cast<int>(m_viewers.size());
}

bool TKelvora3DProject::ViewerOutOfDate(int index) const
{
    std::lock_guard lock(m_viewerMutex);
    if (index < 0 || index >= static_cast<int>(m_viewers.size())) return false;
    return (m_viewers[std::size_t(index)].Redraw & 1) != 0;
}

TKCustomProjectionSystem3D* TKelvora3DProject::GetViewerCamera(const TKCustomDrawSystem3D* ds) const
{
    const int index = IndexOfViewer(ds);
    std::lock_guard lock(m_viewerMutex);
    return index >= 0 && index < static_cast<int>(m_viewers.size()) ? m_viewers[std::size_t(index)].Camera
                                                                    : nullptr;
}

void TKelvora3DProject::SetViewerCamera(TKCustomDrawSystem3D* ds, TKCustomProjectionSystem3D* camera)
{
    if (!ds || IsDestroying()) return;
    TKObjectLock lock(*this);
    BeginUpdate();
    Finally(
        [&] {
            if (camera && !Holds(m_cameras, camera)) camera = nullptr;
            bool changed = false;
            {
                std::lock_guard viewers(m_viewerMutex);
                for (TViewerEntry& entry : m_viewers)
                    if (entry.DrawSystem == ds) {
                        changed = entry.Camera != camera;
                        entry.Camera = camera;
                        break;
                    }
            }
            if (changed) Invalidate(ds);
        },
        [&] { EndUpdate(); });
}

int TKelvora3DProject::AddViewer(TKCustomDrawSystem3D* ds)
{
    if (!ds || IsDestroying()) return -1;
    TKObjectLock lock(*this);
    int index = IndexOfViewer(ds);
    if (index >= 0) return index;
    BeginUpdate();
    Finally(
        [&] {
            {
                // The job takes entries by index under this lock: growing the table is safe
                // while it runs.
                std::lock_guard viewers(m_viewerMutex);
                m_viewers.push_back({ds, nullptr, 0, 0});
                index = static_cast<int>(m_viewers.size()) - 1;
            }
            ds->Events().Add(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
            FireEvent(kevListChanged, AsParam(this));
        },
        [&] { EndUpdate(); });
    return index;
}

void TKelvora3DProject::DeleteViewer(int index)
{
    if (IsDestroying()) return;
    TKObjectLock lock(*this);
    if (index < 0 || index >= ViewerCount()) return;
    // The job may be drawing into the drawing system that goes.
    BeginSceneEdit(0);
    Finally(
        [&] {
            TKCustomDrawSystem3D* ds = nullptr;
            {
                std::lock_guard viewers(m_viewerMutex);
                if (index >= static_cast<int>(m_viewers.size())) return;
                ds = m_viewers[std::size_t(index)].DrawSystem;
                m_viewers.erase(m_viewers.begin() + index);
            }
            if (ds) {
                RemoveDepository(ds);
                if (!ds->IsDestroying()) {
                    ds->Events().Remove(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
                    FreeSwallowing(ds);
                }
            }
            FireEvent(kevListChanged, AsParam(this));
        },
        [&] { EndSceneEdit(0); });
}

// --- events ----------------------------------------------------------------------------------------

void TKelvora3DProject::ItemNotify(TObject* sender, int code, std::intptr_t param)
{
    if (!sender || IsDestroying()) return;
    TItemEvent record{sender, code, param};
    if (code == kevItemEvent) {
        if (!param) return;
        record = *reinterpret_cast<const TItemEvent*>(param);
    }
    Dispatch(record, false);
}

void TKelvora3DProject::CustomItemNotify(TObject* sender, int code, std::intptr_t param)
{
    if (!sender || IsDestroying()) return;
    TItemEvent record{sender, code, param};
    if (code == kevItemEvent) {
        if (!param) return;
        record = *reinterpret_cast<const TItemEvent*>(param);
    }
    Dispatch(record, true);
}

void TKelvora3DProject::Dispatch(const TItemEvent& record, bool custom)
{
    const bool drawingSystem = ObjectAs<TKCustomDrawSystem3D>(record.Sender) != nullptr;
    if (custom) {
        if (record.Code == kevDestroyed) {
            BeginUpdate();
            Finally([&] { RemoveDepository(record.Sender); }, [&] { EndUpdate(); });
        } else if (record.Code == kevChangeBegins) {
            SetModified(true);
        } else if (record.Code == kevRemoved) {
            ObjectLeft(reinterpret_cast<TObject*>(record.Param));
        }
    } else {
        switch (record.Code) {
            case kevDestroyed:
                ObjectDestroyed(record.Sender);
                break;
            case kevRemoved:
                ObjectLeft(reinterpret_cast<TObject*>(record.Param));
                break;
            case kevChangeBegins:
            case kevObjectChangeStarted:
                BeginSceneEdit(0);
                break;
            case kevChangeEnds:
            case kevObjectChangeFinished:
                EndSceneEdit(0);
                break;
            case kevPictureChanged:
                Invalidate(reinterpret_cast<TObject*>(record.Param));
                break;
            // A drawing system's setup (canvas or bitmap resized or reformatted) is a scene
            // edit too: the job stops before it.
            case kevSetupStarted:
                if (drawingSystem) BeginSceneEdit(0);
                break;
            case kevSetupFinished:
                if (drawingSystem) EndSceneEdit(0);
                break;
            default:
                break;
        }
    }
    FireEvent(kevItemEvent, AsParam(&record));
}

void TKelvora3DProject::ObjectDestroyed(TObject* object)
{
    if (!object || IsDestroying()) return;
    TKObjectLock lock(*this);
    // The job may be using the object (a camera, a drawing system) right now.
    BeginSceneEdit(0);
    BeginUpdate();
    Finally(
        [&] {
            RemoveDepository(object);
            auto* ds = ObjectAs<TKCustomDrawSystem3D>(object);
            if (const int index = ds ? IndexOfViewer(ds) : -1; index >= 0) {
                DeleteViewer(index);
                return;
            }
            // A group goes with its items (its list frees them next): they go out of the
            // project with it.
            const std::vector<TObject*> gone = WithMembers(object);
            for (std::size_t i = 1; i < gone.size(); ++i) RemoveDepository(gone[i]);
            UnbindCameras(std::unordered_set<const TObject*>(gone.begin(), gone.end()), false);
        },
        [&] {
            EndUpdate();
            EndSceneEdit(0);
        });
}

void TKelvora3DProject::ObjectLeft(TObject* object)
{
    if (!object || IsDestroying()) return;
    // Whatever left (a group with all it holds) is looked at once, and only when the project
    // keeps something for it: emptying a list of many objects stays one walk each.
    const std::vector<TObject*> left = WithMembers(object);
    const std::unordered_set<const TObject*> candidates(left.begin(), left.end());
    bool kept = false;
    {
        std::lock_guard viewers(m_viewerMutex);
        for (const TViewerEntry& entry : m_viewers)
            kept = kept || (entry.Camera && candidates.count(entry.Camera));
    }
    for (std::size_t i = 0; i < left.size() && !kept; ++i) kept = GetDepository(left[i]) != nullptr;
    if (!kept) return;

    TKObjectLock lock(*this);
    BeginSceneEdit(0);
    BeginUpdate();
    Finally(
        [&] {
            // It may only have moved to another list of the project.
            const TKFlatMap<const TObject*, bool> held = HeldObjects();
            for (TObject* gone : left)
                if (!held.Find(gone)) RemoveDepository(gone);
            UnbindCameras(candidates, true);
        },
        [&] {
            EndUpdate();
            EndSceneEdit(0);
        });
}

// Under the project's lock and a scene edit: the viewers whose camera is one of gone show
// nothing from now on (with stillInCameras, unless the camera is still in "Cameras").
void TKelvora3DProject::UnbindCameras(const std::unordered_set<const TObject*>& gone, bool stillInCameras)
{
    std::vector<TKCustomProjectionSystem3D*> bound;
    {
        std::lock_guard viewers(m_viewerMutex);
        for (const TViewerEntry& entry : m_viewers)
            if (entry.Camera && gone.count(entry.Camera)) bound.push_back(entry.Camera);
    }
    if (stillInCameras)
        bound.erase(
            std::remove_if(bound.begin(), bound.end(),
                           [&](TKCustomProjectionSystem3D* camera) { return Holds(m_cameras, camera); }),
            bound.end());
    if (bound.empty()) return;
    std::vector<TKCustomDrawSystem3D*> lost;
    {
        std::lock_guard viewers(m_viewerMutex);
        for (TViewerEntry& entry : m_viewers)
            if (entry.Camera && std::find(bound.begin(), bound.end(), entry.Camera) != bound.end()) {
                entry.Camera = nullptr;
                lost.push_back(entry.DrawSystem);
            }
    }
    for (TKCustomDrawSystem3D* viewer : lost) Invalidate(viewer);
}

// --- containers and operations ---------------------------------------------------------------------

int TKelvora3DProject::FindContainer(TObject* object, TObject** container)
{
    if (container) *container = nullptr;
    if (!object) return 0;
    TObject* found = nullptr;
    if (object == m_customObjects || object == m_objects || object == m_lights || object == m_cameras) {
        found = this;
    } else if (auto* ds = ObjectAs<TKCustomDrawSystem3D>(object); ds && IndexOfViewer(ds) >= 0) {
        found = this;
    } else {
        for (TKObject* list : {static_cast<TKObject*>(m_customObjects), static_cast<TKObject*>(m_objects),
                               static_cast<TKObject*>(m_lights), static_cast<TKObject*>(m_cameras)}) {
            if (!list) continue;
            TKFindRequest request{object, nullptr};
            if (list->Operation(kopFindContainer, AsParam(&request)) >= 1) {
                found = request.container;
                break;
            }
        }
    }
    if (!found) return 0;
    if (container) *container = found;
    return 1;
}

int TKelvora3DProject::Operation(int code, std::intptr_t param)
{
    const int inherited = TKProject::Operation(code, param);
    if (inherited >= 0) return inherited;
    switch (code) {
        case kopCreateObject: {
            auto* request = reinterpret_cast<TKCreateObjectRequest*>(param);
            if (!request || !request->Class ||
                !request->Class->InheritsFrom(TKCustomChangeObject::StaticClass()))
                return -1;
            auto* object = static_cast<TKCustomChangeObject*>(request->Class->Construct(nullptr));
            try {
                AddObject(request->Target, object);
            } catch (...) {
                FreeSwallowing(object);
                throw;
            }
            request->Object = object;
            return 0;
        }
        case kopCanDelete: {
            const auto* object = reinterpret_cast<const TObject*>(param);
            const bool list = object && (object == m_customObjects || object == m_objects ||
                                         object == m_lights || object == m_cameras);
            return list ? 0 : -1;
        }
        case kopOpenObjectEditor: {
            auto* object = reinterpret_cast<TObject*>(param);
            if (!object || object == this) return -1;
            TKObjectRequest request;
            request.Project = this;
            request.Object = object;
            request.Container = GetDepository(object);
            request.Kind = korOpen;
            SendObjectRequest(object->ClassType(), request);
            return 0;
        }
        case kopDepositoryOf: {
            auto* reference = reinterpret_cast<TObject**>(param);
            if (!reference) return -1;
            *reference = GetDepository(*reference);
            return 0;
        }
        default:
            return -1;
    }
}

// --- search path -----------------------------------------------------------------------------------

void TKelvora3DProject::GetSearchPath(std::vector<std::string>& list)
{
    list.clear();
    const std::string file = FileName();
    const std::size_t slash = file.rfind('/');
    list.push_back(slash == std::string::npos ? std::string() : file.substr(0, slash + 1));
    std::string workDir;
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (registry.OpenKeyReadOnly(kGeneralSettingsKey)) {
        try {
            workDir = registry.ReadString(kWorkDirValue);
        } catch (const ERegistryException&) {
            workDir.clear();
        }
        if (!workDir.empty() && workDir.back() != '/') workDir += '/';
    }
    list.push_back(workDir);
}

bool TKelvora3DProject::FindFile(std::string& name)
{
    name = ExpandFileName(name);
    if (FileExists(name)) return true;
    if (!m_searchPath || !m_savedSearchPath) return false;
    const std::size_t pairs = std::min(m_searchPath->size(), m_savedSearchPath->size());
    for (std::size_t i = 0; i < pairs; ++i)
        if (RelocateFileName((*m_searchPath)[i], (*m_savedSearchPath)[i], name)) return true;
    return false;
}

std::vector<std::string> TKelvora3DProject::SearchPath() const
{
    return m_searchPath ? *m_searchPath : std::vector<std::string>();
}

std::vector<std::string> TKelvora3DProject::SavedSearchPath() const
{
    return m_savedSearchPath ? *m_savedSearchPath : std::vector<std::string>();
}

// --- save and load ---------------------------------------------------------------------------------

int TKelvora3DProject::PassOperation(int code, int kind)
{
    int sum = 0;
    auto pass = [&](TKObject* object) {
        if (object) sum += object->Operation(code, kind);
    };
    std::vector<TViewerEntry> viewers;
    {
        std::lock_guard lock(m_viewerMutex);
        viewers = m_viewers;
    }
    for (const TViewerEntry& entry : viewers) pass(entry.DrawSystem);
    pass(m_customObjects);
    pass(m_objects);
    pass(m_lights);
    pass(m_cameras);
    std::vector<TDepositoryEntry> depositories;
    {
        TKWaitingSectionGuard guard(m_depositoryLock);
        depositories = m_depositories;
    }
    for (const TDepositoryEntry& entry : depositories) pass(entry.Depository);
    return sum;
}

int TKelvora3DProject::BeginOperation(int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    {
        // A save reads and a load replaces what the passes draw: the job is held off until
        // the operation ends, without being a change of the scene.
        TKObjectLock lock(*this);
        ++m_operationHold;
        if (!OnImageThread()) StopImageJob();
    }
    m_loadLinked = false;
    m_searchPath = std::make_unique<std::vector<std::string>>();
    GetSearchPath(*m_searchPath);
    return -1 + PassOperation(kopBeginOperation, kind);
}

int TKelvora3DProject::EndOperation(int kind)
{
    if (kind != kokSave && kind != kokLoad) return -1;
    int sum = 0;
    Finally(
        [&] {
            sum = PassOperation(kopEndOperation, kind);
            FreeSearchLists();
            if (kind == kokLoad && m_loadLinked) {
                m_redrawAll = true;
                try {
                    RunImagePasses(nullptr);
                } catch (...) {
                    // A picture that cannot be made now does not fail the load: its viewer
                    // stays out of date and the job tries again.
                }
                ShowReopenedWindows();
            }
            TKWaitingSectionGuard guard(LockSection());
            m_reopened.clear();
        },
        [&] {
            m_loadLinked = false;
            --m_operationHold;
        });
    StartImageJob();
    return kind == kokSave ? sum : -1;
}

void TKelvora3DProject::AddReopenedWindow(HWND handle, std::int32_t depth)
{
    TKObjectLock lock(*this);
    const auto at = std::find_if(m_reopened.begin(), m_reopened.end(),
                                 [&](const TReopenedWindow& w) { return w.Depth < depth; });
    m_reopened.insert(at, {handle, depth});
}

std::vector<TReopenedWindow> TKelvora3DProject::ReopenedWindows() const
{
    TKWaitingSectionGuard guard(LockSection());
    return m_reopened;
}

// Deepest first, so that each window shown lies above those before it, as it was saved.
void TKelvora3DProject::ShowReopenedWindows()
{
    auto show = [windows = ReopenedWindows()] {
        for (const TReopenedWindow& window : windows) {
            if (!IsWindow(window.Handle)) continue;
            if (TForm* form = FindFormByHandle(window.Handle)) {
                form->Show();
            } else if (CWnd* wnd = CWnd::FromHandle(window.Handle)) {
                wnd->SetWindowPos(nullptr, 0, 0, 0, 0,
                                  SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
            }
        }
    };
    // A load's job hands the showing to the windows' own thread, behind the placings it
    // handed over while it read them.
    if (platform::IsUiThread())
        show();
    else
        platform::PostToUiThread(std::move(show));
}

// The lists (and the lists inside them), their items and the drawing systems. Items come in
// runs of one class, so that what kind of list a class is, is asked once per run.
TKFlatMap<const TObject*, bool> TKelvora3DProject::HeldObjects() const
{
    TKFlatMap<const TObject*, bool> held;
    std::vector<TKCustomChangeObject*> lists = {m_customObjects, m_objects, m_lights, m_cameras};
    TClass lastClass = nullptr;
    bool lastIsList = false;
    auto isList = [&](const TKCustomChangeObject* item) {
        const TClass cls = item->ClassType();
        if (cls != lastClass) {
            lastClass = cls;
            lastIsList = cls->InheritsFrom(TKCustomChangeObjectList::StaticClass()) ||
                         cls->InheritsFrom(TKCustomObject3DList::StaticClass()) ||
                         cls->InheritsFrom(TKCustomConstruction3DList::StaticClass()) ||
                         cls->InheritsFrom(TKCustomLightSystem3DList::StaticClass());
        }
        return lastIsList;
    };
    auto takeItems = [&](auto* list) {
        for (int i = 0; i < list->Count(); ++i)
            if (TKCustomChangeObject* item = list->GetItem(i);
                item && held.TryEmplace(item, true).second && isList(item))
                lists.push_back(item);
    };
    while (!lists.empty()) {
        TKCustomChangeObject* list = lists.back();
        lists.pop_back();
        held.TryEmplace(list, true);
        if (auto* plain = ObjectAs<TKCustomChangeObjectList>(list))
            takeItems(plain);
        else if (auto* objects = ObjectAs<TKCustomObject3DList>(list))
            takeItems(objects);
        else if (auto* constructions = ObjectAs<TKCustomConstruction3DList>(list))
            takeItems(constructions);
        else if (auto* lights = ObjectAs<TKCustomLightSystem3DList>(list))
            takeItems(lights);
    }
    std::lock_guard lock(m_viewerMutex);
    for (const TViewerEntry& entry : m_viewers) held.TryEmplace(entry.DrawSystem, true);
    return held;
}

int TKelvora3DProject::LinkObjects(TKObjectsStream* stream)
{
    int result = TKProject::LinkObjects(stream);
    if (!stream) return result;
    std::vector<TViewerEntry> viewers;
    {
        std::lock_guard lock(m_viewerMutex);
        viewers = m_viewers;
    }
    for (TViewerEntry& entry : viewers) {
        entry.Camera = nullptr;
        if (!entry.DrawSystem) continue;
        result += std::max(entry.DrawSystem->Operation(kopLink, AsParam(stream)), 0);
        auto* camera = static_cast<TKCustomProjectionSystem3D*>(
            stream->Link(entry.StoredCamera, TKCustomProjectionSystem3D::StaticClass()));
        // Only a camera of "Cameras" lives as long as the viewer may show it.
        entry.Camera = camera && Holds(m_cameras, camera) ? camera : nullptr;
        result += 1;
    }
    {
        std::lock_guard lock(m_viewerMutex);
        for (std::size_t i = 0; i < m_viewers.size() && i < viewers.size(); ++i)
            if (m_viewers[i].DrawSystem == viewers[i].DrawSystem) {
                m_viewers[i].Camera = viewers[i].Camera;
                m_viewers[i].StoredCamera = 0;
            }
    }
    for (TKObject* list : {static_cast<TKObject*>(m_customObjects), static_cast<TKObject*>(m_objects),
                           static_cast<TKObject*>(m_lights), static_cast<TKObject*>(m_cameras)})
        if (list) result += std::max(list->Operation(kopLink, AsParam(stream)), 0);
    // An object outside the project could go without the project hearing of it: a depository
    // serves only what the project holds (looked up in one walk, not one search each).
    const TKFlatMap<const TObject*, bool> held = HeldObjects();
    TKWaitingSectionGuard guard(m_depositoryLock);
    m_depositoryOf.clear();
    m_depositoryOf.reserve(m_depositories.size());
    for (TDepositoryEntry& entry : m_depositories) {
        if (entry.Depository)
            result += std::max(entry.Depository->Operation(kopLink, AsParam(stream)), 0) + 1;
        TKObject* construction = stream->Link(entry.StoredConstruction, TKObject::StaticClass());
        entry.Construction = construction && held.Find(construction) ? construction : nullptr;
        entry.StoredConstruction = 0;
        if (entry.Construction) m_depositoryOf.emplace(entry.Construction, entry.Depository);
    }
    m_loadLinked = true;
    return result;
}

void TKelvora3DProject::RaiseInvalidValue() const
{
    throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidValue));
}

int TKelvora3DProject::WriteObjectsHeader(TKObjectsStream* stream)
{
    int size = WriteValue(stream, static_cast<std::int32_t>(Interactive()));
    size += WriteValue(stream, NoWaitFlags());
    size += WriteValue(stream, WaitTime(false));
    size += WriteValue(stream, WaitTime(true));
    const std::vector<std::string> path = SearchPath();
    size += WriteValue(stream, static_cast<std::int32_t>(path.size()));
    for (const std::string& folder : path) size += WriteStringTo(stream, folder);
    return size;
}

int TKelvora3DProject::ReadObjectsHeader(TKObjectsStream* stream)
{
    std::int32_t interactive = 0, still = 0, moving = 0;
    std::uint32_t noWait = 0;
    int size = ReadValue(stream, interactive);
    size += ReadValue(stream, noWait);
    size += ReadValue(stream, still);
    size += ReadValue(stream, moving);
    m_interactive = static_cast<std::uint8_t>(interactive);
    m_noWaitFlags = noWait;
    m_waitTimeStill = still;
    m_waitTimeInteractive = moving;
    const std::int32_t count = ReadCount(stream, this, 4);
    size += 4;
    auto saved = std::make_unique<std::vector<std::string>>();
    saved->resize(std::size_t(count));
    for (std::string& folder : *saved) size += ReadStringFrom(stream, folder);
    m_savedSearchPath = std::move(saved);
    return size;
}

int TKelvora3DProject::WriteObjects(TKObjectsStream* stream)
{
    std::vector<TViewerEntry> viewers;
    {
        std::lock_guard lock(m_viewerMutex);
        viewers = m_viewers;
    }
    int size = WriteValue(stream, static_cast<std::int32_t>(viewers.size()));
    for (const TViewerEntry& entry : viewers) {
        size += stream->WriteObject(entry.DrawSystem);
        size += WriteValue(stream, stream->ObjectReference(entry.Camera));
    }
    size += stream->WriteObject(m_customObjects);
    size += stream->WriteObject(m_objects);
    size += stream->WriteObject(m_lights);
    size += stream->WriteObject(m_cameras);
    std::vector<TDepositoryEntry> depositories;
    {
        TKWaitingSectionGuard guard(m_depositoryLock);
        depositories = m_depositories;
    }
    size += WriteValue(stream, static_cast<std::int32_t>(depositories.size()));
    for (const TDepositoryEntry& entry : depositories) {
        size += stream->WriteObject(entry.Depository);
        size += WriteValue(stream, stream->ObjectReference(entry.Construction));
    }
    return size;
}

int TKelvora3DProject::ReadObjects(TKObjectsStream* stream)
{
    ClearViewers();
    ClearDepositories();
    const int entryBytes = TKObjectsStream::kRecordHeadSize + 4;
    const std::int32_t viewerCount = ReadCount(stream, this, entryBytes);
    int size = 4;
    for (std::int32_t i = 0; i < viewerCount; ++i) {
        TKObject* object = nullptr;
        size += stream->ReadObject(object, TKCustomDrawSystem3D::StaticClass());
        auto* ds = static_cast<TKCustomDrawSystem3D*>(object);
        std::int32_t camera = 0;
        try {
            size += ReadValue(stream, camera);
        } catch (...) {
            FreeSwallowing(ds);
            throw;
        }
        {
            std::lock_guard lock(m_viewerMutex);
            m_viewers.push_back({ds, nullptr, 0, camera});
        }
        if (ds) ds->Events().Add(TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
    }
    auto replace = [&](auto*& field, bool custom) {
        using List = std::remove_reference_t<decltype(*field)>;
        TKObject* object = nullptr;
        size += stream->ReadObject(object, List::StaticClass());
        auto* list = static_cast<List*>(object);
        if (!list) throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidObject));
        List* old = field;
        UnsubscribeList(old, custom);
        field = list;
        list->Events().Add(custom ? TKEventHandler::Of<&TKelvora3DProject::CustomItemNotify>(this)
                                  : TKEventHandler::Of<&TKelvora3DProject::ItemNotify>(this));
        try {
            old->Clear();
        } catch (...) {
        }
        FreeSwallowing(old);
    };
    replace(m_customObjects, true);
    replace(m_objects, false);
    replace(m_lights, false);
    replace(m_cameras, false);
    const std::int32_t depositoryCount = ReadCount(stream, this, entryBytes);
    size += 4;
    for (std::int32_t i = 0; i < depositoryCount; ++i) {
        TKObject* depository = nullptr;
        size += stream->ReadObject(depository, TKObject::StaticClass());
        std::int32_t construction = 0;
        try {
            size += ReadValue(stream, construction);
        } catch (...) {
            FreeSwallowing(depository);
            throw;
        }
        TKWaitingSectionGuard guard(m_depositoryLock);
        m_depositories.push_back({depository, nullptr, construction});
    }
    return size;
}

// --- project tree ----------------------------------------------------------------------------------

namespace {

TKDataBranch* FilledNode(TObject* object, const std::string& name)
{
    TOwned<TKDataBranch> node(TKDataBranch::NewNamed(name, 0, TKData::OfObject(object)));
    TKObjectRequest request;
    request.Object = object;
    request.Kind = korFillBranch;
    request.Argument = AsParam(static_cast<TObject*>(node.get()));
    SendObjectRequest(object->ClassType(), request);
    return node.release();
}

}  // namespace

void TKelvora3DProject::FillBranch(TKDataBranch* branch)
{
    if (!branch) return;
    branch->SetCount(0);
    branch->SetName(Name());
    branch->SetData(TKData::OfObject(this));
    branch->SetFlag(1);
    TKDataBranch* viewers =
        static_cast<TKDataBranch*>(branch->AddChild(TKDataBranch::NewNamed("Viewers", 1)));
    for (int i = 0; i < ViewerCount(); ++i)
        if (TKCustomDrawSystem3D* ds = GetDrawingSystem(i)) viewers->AddChild(FilledNode(ds, ds->Name()));
    TKDataBranch* scene = static_cast<TKDataBranch*>(branch->AddChild(TKDataBranch::NewNamed("Scene", 1)));
    for (TKCustomChangeObject* list :
         {static_cast<TKCustomChangeObject*>(m_objects), static_cast<TKCustomChangeObject*>(m_lights),
          static_cast<TKCustomChangeObject*>(m_cameras)})
        scene->AddChild(FilledNode(list, list->Name()));
    branch->AddChild(FilledNode(m_customObjects, m_customObjects->Name()));
}

// --- registration ----------------------------------------------------------------------------------

namespace {

std::int32_t ProjectObjectRequest(TKObjectRequest& request)
{
    if (request.Kind != korFillBranch) return -1;
    auto* project = ObjectAs<TKelvora3DProject>(request.Object);
    auto* branch = ObjectAs<TKDataBranch>(reinterpret_cast<TObject*>(request.Argument));
    if (!project || !branch) return -1;
    project->FillBranch(branch);
    return 0;
}

void StartProject3D()
{
    const TClass cls = TKelvora3DProject::StaticClass();
    RegisterClassBranch(cls);
    RegisterRequestHandler(cls, ProjectObjectRequest);
    RegisterClassCaption(cls, "Kelvora 3D Project");
    if (TKDataBranch* items = GetClassInfoBranch(cls, kciSubItems, true)) {
        TKTreeLock lock;
        TKDataBranch* viewers = items->ForceChild("Viewers", true);
        const TKData viewerClass = TKData::OfClass(TKDrawingSystem3D::StaticClass());
        if (!viewers->FindByData(viewerClass))
            viewers->AddChild(TKDataBranch::NewNamed("Standart Viewer 3D", 0, viewerClass));
    }
    const std::pair<const char*, TClass> glyphs[] = {
        {"TKProject_64", TKProject::StaticClass()},
        {"TKelvora3DProject_64", cls},
        {"TKCustomChangeObjectList_64", TKCustomChangeObjectList::StaticClass()},
        {"TKCustomObject3DList_64", TKCustomObject3DList::StaticClass()},
        {"TKCustomConstruction3DList_64", TKCustomConstruction3DList::StaticClass()},
        {"TKCustomProjectionSystem3DList_64", TKCustomProjectionSystem3DList::StaticClass()},
        {"TKCustomLightSystem3DList_64", TKCustomLightSystem3DList::StaticClass()},
    };
    for (const auto& [resource, glyphClass] : glyphs) RegisterClassGlyph(resource, 64, glyphClass, true);
}

void EndProject3D()
{
    const TClass cls = TKelvora3DProject::StaticClass();
    UnregisterRequestHandler(cls, ProjectObjectRequest);
    UnregisterClassBranch(cls);
}

}  // namespace

const TUnitInfo kKLProject3DUnit{"KLProject3D", StartProject3D, EndProject3D};
