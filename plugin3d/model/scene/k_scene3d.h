#pragma once

// Unit KScene3D: TKSimpleScene3D, a self-contained scene (the navigator's small world). It
// holds three lists ("Objects", "Lights" and "Cameras"), one drawing system, the current
// camera and a job thread of its own, and makes its image whenever something in it changed
// and no edit is open: in the calling thread, or on its thread when Asynchronous.
//
// Events: 4, 5, 8, 3 as every change object; 8193 and 8194 around a scene edit; 4100 the
// image became needed (param: that of the change that caused it); 1 with param 1 the image
// pass failed (the image stays needed, so the next change tries again).
//
// Two passes never draw into the drawing system at once: in the calling thread a pass waits
// for a running job to end first; on the scene's thread a new job replaces the running one,
// and opening a scene edit stops it. A pass that changes the scene does not start another
// pass inside itself. The scene stops and joins its thread before it frees what the passes
// use.

#include <atomic>
#include <cstdint>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/scene/k_custom3d.h"

class TKCustomConstruction3DList;
class TKCustomLightSystem3DList;
class TKObjectsList;
class TKThread;
class TKThreadParams;

/// Events of a scene.
enum TKSceneEvent : int {
    kevImageFailed = 1,  ///< param 1: the image pass failed
    kevSceneEditStarted = 8193,
    kevSceneEditFinished = 8194,
};

class TKSimpleScene3D : public TKCustomChangeObject {
    DECLARE_TCLASS(TKSimpleScene3D)

    /// The name "TKScene3D #n/ PrID #p/ ThID #t/ Time #ms" (n counts the scenes made before),
    /// the thread and the three lists; no drawing system, no camera. Joins "Global List of
    /// KScene3D".
    void Init() override;
    /// After event 5, the image when no update is open.
    void Changed(std::intptr_t param) override;

    // Slots 20-26.
    /// Listens to the new drawing system (null: none) and marks the image needed, inside a
    /// scene edit. The scene frees the one it holds when it goes, not one it replaced.
    virtual void SetDrawSystem(TKCustomDrawSystem3D* drawSystem);
    /// The same for the current camera; a camera that is not in Cameras is ignored.
    virtual void SetCamera(TKCustomProjectionSystem3D* camera);
    virtual void SetAsynchronous(std::uint8_t asynchronous);
    /// Fires 8193 with param.
    virtual void SceneEditStarted(std::intptr_t param);
    /// Fires 8194 with param.
    virtual void SceneEditFinished(std::intptr_t param);
    /// Fires 4100 (param) when the image was not needed yet, marks it needed, and makes it
    /// when no update and no scene edit is open.
    virtual void Invalidate(std::intptr_t param);
    /// The image job (thread: the scene's thread, or null in the calling thread): makes the
    /// image when needed; a failure becomes event 1 (param 1) and leaves it needed.
    virtual void MakeImageJob(TKThread* thread);

    /// The scene-edit bracket: the first level fires 8193 (and, asynchronous, stops a running
    /// job); closing the last fires 8194 and makes the image. A surplus end does nothing.
    void BeginSceneEdit(std::intptr_t param);
    void EndSceneEdit(std::intptr_t param);
    bool InSceneEdit() const;
    /// Makes the image when one is needed and the scene can: not destroying, no update, no
    /// scene edit, a camera and a drawing system.
    void UpdateImage();
    /// One image: the passes of Objects, Lights and Cameras between BeginDrawing and
    /// EndDrawing of the drawing system, the thread (if any) showing "MakeImage.1", ".2",
    /// ".3". Clears ImageNeeded only when all passes succeeded.
    void MakeImage(TKThread* thread);

    TKCustomDrawSystem3D* DrawSystem() const { return m_drawSystem.load(std::memory_order_acquire); }
    TKCustomProjectionSystem3D* Camera() const { return m_camera.load(std::memory_order_acquire); }
    TKCustomConstruction3DList* Objects() const { return m_objects; }
    TKCustomLightSystem3DList* Lights() const { return m_lights; }
    TKCustomConstruction3DList* Cameras() const { return m_cameras; }
    TKThread* Thread() const { return m_thread; }
    bool ImageNeeded() const { return m_imageNeeded.load(std::memory_order_acquire) != 0; }
    std::uint8_t Asynchronous() const { return m_asynchronous.load(std::memory_order_acquire); }

protected:
    TKSimpleScene3D() = default;
    /// Stops and joins the thread, then frees the drawing system, the lists (and their
    /// items) and the thread.
    ~TKSimpleScene3D() override;

private:
    void OnSceneEvent(TObject* sender, int code, std::intptr_t param);
    void RunJob(TKThread* thread, TKThreadParams* params);
    template <class T>
    void Replace(std::atomic<T*>& field, T* object);
    TKEventHandler Handler();

    std::atomic<TKCustomDrawSystem3D*> m_drawSystem{nullptr};
    TKCustomConstruction3DList* m_objects = nullptr;
    TKCustomLightSystem3DList* m_lights = nullptr;
    TKCustomConstruction3DList* m_cameras = nullptr;
    std::atomic<TKCustomProjectionSystem3D*> m_camera{nullptr};
    TKThread* m_thread = nullptr;
    std::int32_t m_sceneEditDepth = 0;
    std::atomic<std::uint8_t> m_imageNeeded{0};
    std::atomic<std::uint8_t> m_asynchronous{0};
    // The thread a pass runs on (0: none), so a change made by the pass itself does not
    // start a pass inside it.
    std::atomic<DWORD> m_passThread{0};
};

/// "Global List of KScene3D" while the unit runs, else null.
TKObjectsList* Scene3DGlobalList();

/// Unit KScene3D: the list of scenes.
extern const TUnitInfo kKScene3DUnit;
