#include "plugin3d/model/scene/k_scene3d.h"

#include <string>

#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"

IMPLEMENT_TCLASS(TKSimpleScene3D, TKCustomChangeObject)

namespace {

std::atomic<std::uint64_t> g_scenesMade{0};
std::atomic<TKObjectsList*> g_scenes{nullptr};

void StartScenes()
{
    g_scenes.store(TKObjectsList::NewNamed("Global List of KScene3D"), std::memory_order_release);
}

void EndScenes()
{
    FreeObject(g_scenes.exchange(nullptr, std::memory_order_acq_rel));
}

// Frees a list the scene owns with its items, after the scene stopped listening to it.
void FreeList(TKCustomChangeObject* list, TKEventHandler handler)
{
    if (!list) return;
    list->Events().Remove(handler);
    if (auto* constructions = ObjectAs<TKCustomConstruction3DList>(list))
        constructions->Clear();
    else if (auto* lights = ObjectAs<TKCustomLightSystem3DList>(list))
        lights->Clear();
    list->Free();
}

}  // namespace

const TUnitInfo kKScene3DUnit{"KScene3D", StartScenes, EndScenes};

TKObjectsList* Scene3DGlobalList()
{
    return g_scenes.load(std::memory_order_acquire);
}

TKEventHandler TKSimpleScene3D::Handler()
{
    return TKEventHandler::Of<&TKSimpleScene3D::OnSceneEvent>(this);
}

void TKSimpleScene3D::Init()
{
    TKCustomChangeObject::Init();
    SetName("TKScene3D #" + std::to_string(g_scenesMade.fetch_add(1)) + "/ PrID #" +
            std::to_string(GetCurrentProcessId()) + "/ ThID #" + std::to_string(GetCurrentThreadId()) +
            "/ Time #" + std::to_string(GetTickCount()));
    m_drawSystem = nullptr;
    m_thread = TKThread::New(this);
    m_objects = TKCustomConstruction3DList::New(this);
    m_objects->SetName("Objects");
    m_objects->Events().Add(Handler());
    m_lights = TKCustomLightSystem3DList::New(this);
    m_lights->SetName("Lights");
    m_lights->SetVisible(0);
    m_lights->Events().Add(Handler());
    m_cameras = TKCustomConstruction3DList::New(this);
    m_cameras->SetName("Cameras");
    m_cameras->SetVisible(0);
    m_cameras->Events().Add(Handler());
    m_camera = nullptr;
    m_sceneEditDepth = 0;
    m_imageNeeded = 0;
    m_asynchronous = 0;
    if (TKObjectsList* scenes = Scene3DGlobalList()) scenes->Add(this);
}

TKSimpleScene3D::~TKSimpleScene3D()
{
    Done();
    if (TKObjectsList* scenes = Scene3DGlobalList()) scenes->Remove(this);
    // No pass may still read what goes now.
    if (m_thread) m_thread->Join();
    if (TKCustomDrawSystem3D* drawSystem = m_drawSystem.exchange(nullptr)) {
        drawSystem->Events().Remove(Handler());
        drawSystem->Free();
    }
    if (TKCustomProjectionSystem3D* camera = m_camera.exchange(nullptr)) camera->Events().Remove(Handler());
    FreeList(m_objects, Handler());
    FreeList(m_lights, Handler());
    FreeList(m_cameras, Handler());
    m_objects = m_cameras = nullptr;
    m_lights = nullptr;
    FreeAndNil(m_thread);
}

template <class T>
void TKSimpleScene3D::Replace(std::atomic<T*>& field, T* object)
{
    if (T* old = field.load(std::memory_order_acquire)) old->Events().Remove(Handler());
    field.store(object, std::memory_order_release);
    if (object) object->Events().Add(Handler());
}

void TKSimpleScene3D::SetDrawSystem(TKCustomDrawSystem3D* drawSystem)
{
    TKObjectLock lock(*this);
    if (drawSystem == DrawSystem()) return;
    BeginSceneEdit(0);
    try {
        Replace(m_drawSystem, drawSystem);
        Invalidate(0);
    } catch (...) {
        EndSceneEdit(0);
        throw;
    }
    EndSceneEdit(0);
}

void TKSimpleScene3D::SetCamera(TKCustomProjectionSystem3D* camera)
{
    TKObjectLock lock(*this);
    if (camera == Camera() || (camera && m_cameras->IndexOf(camera) < 0)) return;
    BeginSceneEdit(0);
    try {
        Replace(m_camera, camera);
        Invalidate(0);
    } catch (...) {
        EndSceneEdit(0);
        throw;
    }
    EndSceneEdit(0);
}

void TKSimpleScene3D::SetAsynchronous(std::uint8_t asynchronous)
{
    TKObjectLock lock(*this);
    m_asynchronous = asynchronous;
}

void TKSimpleScene3D::SceneEditStarted(std::intptr_t param)
{
    FireEvent(kevSceneEditStarted, param);
}

void TKSimpleScene3D::SceneEditFinished(std::intptr_t param)
{
    FireEvent(kevSceneEditFinished, param);
}

void TKSimpleScene3D::BeginSceneEdit(std::intptr_t param)
{
    if (IsDestroying()) return;
    TKObjectLock lock(*this);
    if (++m_sceneEditDepth != 1) return;
    SceneEditStarted(param);
    // The scene is about to change under a job drawing it: the job ends first (the closing
    // edit queues the next one). A change made by the pass itself does not wait for it.
    if (Asynchronous() && m_passThread.load(std::memory_order_acquire) != GetCurrentThreadId())
        m_thread->Terminate(INFINITE);
}

void TKSimpleScene3D::EndSceneEdit(std::intptr_t param)
{
    if (IsDestroying()) return;
    {
        // The closing half waits for the lock: an edit left open would stop the images.
        TKWaitingSectionGuard guard(LockSection());
        if (m_sceneEditDepth <= 0 || --m_sceneEditDepth > 0) return;
        SceneEditFinished(param);
    }
    // The image is made without the scene's lock: the passes rely on the items' own locks.
    UpdateImage();
}

bool TKSimpleScene3D::InSceneEdit() const
{
    TKSectionGuard guard(LockSection());
    return m_sceneEditDepth > 0;
}

void TKSimpleScene3D::Invalidate(std::intptr_t param)
{
    if (m_imageNeeded.exchange(1, std::memory_order_acq_rel) == 0) FireEvent(kevPictureChanged, param);
    if (!IsUpdating() && !InSceneEdit()) UpdateImage();
}

void TKSimpleScene3D::Changed(std::intptr_t param)
{
    TKCustomChangeObject::Changed(param);
    if (!IsUpdating()) UpdateImage();
}

void TKSimpleScene3D::UpdateImage()
{
    if (IsDestroying() || IsUpdating() || InSceneEdit() || !Camera() || !ImageNeeded() || !DrawSystem())
        return;
    if (Asynchronous()) {
        m_thread->Execute(true, nullptr, TKJob::Of<&TKSimpleScene3D::RunJob>(this));
        return;
    }
    // A change made by a pass of this thread: that pass is drawing already.
    if (m_passThread.load(std::memory_order_acquire) == GetCurrentThreadId()) return;
    // Two passes never draw into one canvas: a job still running ends first.
    if (m_thread->HasWorker()) m_thread->Terminate(INFINITE);
    MakeImageJob(nullptr);
}

void TKSimpleScene3D::RunJob(TKThread* thread, TKThreadParams*)
{
    MakeImageJob(thread);
}

void TKSimpleScene3D::MakeImageJob(TKThread* thread)
{
    if (!ImageNeeded()) return;
    try {
        MakeImage(thread);
    } catch (...) {
        FireEvent(kevImageFailed, 1);
    }
}

void TKSimpleScene3D::MakeImage(TKThread* thread)
{
    TKCustomDrawSystem3D* drawSystem = DrawSystem();
    TKCustomProjectionSystem3D* camera = Camera();
    if (!drawSystem || !camera) return;
    DWORD idle = 0;
    if (!m_passThread.compare_exchange_strong(idle, GetCurrentThreadId(), std::memory_order_acq_rel)) return;
    struct PassEnd {
        std::atomic<DWORD>& thread;
        ~PassEnd() { thread.store(0, std::memory_order_release); }
    } passEnd{m_passThread};

    TDrawContext3D context{camera, m_lights, m_objects, drawSystem, thread};
    drawSystem->BeginDrawing(0);
    try {
        if (thread) thread->SetStatusText("MakeImage.1");
        m_objects->Draw(&context);
        if (thread) thread->SetStatusText("MakeImage.2");
        m_lights->Draw(&context);
        if (thread) thread->SetStatusText("MakeImage.3");
        m_cameras->Draw(&context);
    } catch (...) {
        drawSystem->EndDrawing(0);
        throw;
    }
    drawSystem->EndDrawing(0);
    m_imageNeeded = 0;
}

void TKSimpleScene3D::OnSceneEvent(TObject* sender, int code, std::intptr_t param)
{
    if (IsDestroying()) return;
    if (code == kevItemEvent) {
        const auto* record = reinterpret_cast<const TItemEvent*>(param);
        sender = record->Sender;
        code = record->Code;
        param = record->Param;
    }
    switch (code) {
        case kevDestroyed:
            // The camera's end may reach the scene first through its list, whose change
            // would make an image with the camera going.
            if (sender == DrawSystem())
                SetDrawSystem(nullptr);
            else if (sender == Camera())
                SetCamera(nullptr);
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
            Invalidate(param);
            break;
        default:
            break;
    }
}
