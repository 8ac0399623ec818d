#pragma once

// Unit KLProject3D: TKelvora3DProject, the project the user opens, edits and saves. It owns
// one scene (the lists "Custom Objects", "Objects", "Lights" and "Cameras"), the viewers
// that show it (drawing systems, each bound to a camera of "Cameras"), one editor-side
// settings store per construction (its depository), and an image thread that redraws every
// out-of-date viewer in the background.
//
// Whatever changes what an image pass reads opens a scene edit first; the first level stops
// the image job (the passes check for a stop after every row, so this takes milliseconds)
// and the closing of the last one queues the job again. The job never runs beside a second
// worker and is stopped and joined before the project frees what it draws.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/forms/units.h"
#include "platform/types.h"
#include "plugin3d/model/core/k_flat_map.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_scene3d.h"

class TKThread;

// The project fires the scene's events: 8193 and 8194 around its scene edits, 1 (param 1)
// when the image job ends without its images.

/// Operation codes of the project beyond those of every object.
enum TKProjectOperation : int {
    kopCreateObject = 4096,      ///< param: a TKCreateObjectRequest
    kopCanDelete = 4097,         ///< param: the object; 0 for the four lists (never deleted), else -1
    kopOpenObjectEditor = 4098,  ///< param: the object; opens its editor
    kopDepositoryOf = 4099,      ///< param: the address of an object reference, replaced by its depository
};

/// The record of operation 4096: a new object of Class, added to Target (or where it belongs).
struct TKCreateObjectRequest {
    TObject* Target = nullptr;
    TClass Class = nullptr;
    TKCustomChangeObject* Object = nullptr;  ///< out: the object made
};

/// A viewer: a drawing system (owned) and the camera it shows (a member of "Cameras").
struct TViewerEntry {
    TKCustomDrawSystem3D* DrawSystem = nullptr;
    TKCustomProjectionSystem3D* Camera = nullptr;
    std::int32_t Redraw = 0;  ///< bit 0: the viewer's picture is out of date
    /// The camera's stream reference between a load and LinkObjects.
    std::int32_t StoredCamera = 0;
};

/// The settings store of one object (owned) and the object it serves.
struct TDepositoryEntry {
    TKObject* Depository = nullptr;
    TKObject* Construction = nullptr;
    /// The object's stream reference between a load and LinkObjects.
    std::int32_t StoredConstruction = 0;
};

/// A window to show once a load is over, with the stacking depth it was saved with.
struct TReopenedWindow {
    HWND Handle = nullptr;
    std::int32_t Depth = 0;
};

class TKelvora3DProject : public TKProject {
    DECLARE_TCLASS(TKelvora3DProject)

    static constexpr char kDescription[] = "Standart Kelvora 3D project";

    // Slot 3. Defaults, the image thread and the four lists.
    void Init() override;
    // Slots 5, 6. Save and load: the search path, the operation passed to every owned object;
    // after a load every viewer is drawn and the reopened windows are shown.
    int BeginOperation(int kind) override;
    int EndOperation(int kind) override;
    // Slot 9. Drawing systems, cameras of the viewers, lists, depositories and their objects.
    int LinkObjects(TKObjectsStream* stream) override;
    // Slot 10. The project holds its lists and drawing systems, and what the lists hold.
    int FindContainer(TObject* object, TObject** container) override;
    // Slot 15. Codes 4096-4099 (TKProjectOperation) after the inherited ones.
    int Operation(int code, std::intptr_t param) override;
    // Slot 17. Also queues the image job when no update and no scene edit is open.
    void Changed(std::intptr_t param) override;
    // Slots 25-28.
    int WriteObjectsHeader(TKObjectsStream* stream) override;
    int ReadObjectsHeader(TKObjectsStream* stream) override;
    int WriteObjects(TKObjectsStream* stream) override;
    int ReadObjects(TKObjectsStream* stream) override;

    // Slots 33-41.
    /// Sets Modified and fires 8193.
    virtual void SceneEditStarted(std::intptr_t param);
    /// Fires 8194.
    virtual void SceneEditFinished(std::intptr_t param);
    /// Marks the viewers of object (its drawing system, or every viewer bound to it as their
    /// camera), or every viewer for null or an object no viewer has, and queues the job.
    virtual void Invalidate(TObject* object);
    /// The image job: every out-of-date viewer; a failure or stop becomes event 1 (param 1)
    /// and the viewers not drawn stay out of date.
    virtual void MakeImages(TKThread* thread, TKThreadParams* params);
    virtual void SetInteractive(std::uint8_t interactive);
    /// Bit 0 (interactive) or bit 1 (still) of NoWaitFlags.
    virtual void SetNoWait(bool interactive, bool on);
    virtual void SetWaitTime(bool interactive, std::int32_t ms);
    /// The project's folder, then the work folder, each ending in '/'.
    virtual void GetSearchPath(std::vector<std::string>& list);
    /// Expands name; true when the file is there, or (during a load) when a saved search
    /// folder it lies under has a current twin that holds it (name then becomes that file).
    virtual bool FindFile(std::string& name);

    /// Adds obj where it belongs (see the implementation); one already there stays.
    void AddObject(TObject* target, TObject* obj);
    void BeginSceneEdit(std::intptr_t param);
    void EndSceneEdit(std::intptr_t param);
    bool InSceneEdit() const;
    void RedrawObject(TObject* object) { Invalidate(object); }
    /// Queues the image job when something is out of date and nothing holds it.
    void StartImageJob();
    /// Draws every out-of-date, enabled viewer (thread: null in the caller, without checks).
    void RunImagePasses(TKThread* thread);
    /// Applies to every construction the depository record chosen for ds and the state.
    void ApplyDrawingRecords(TKCustomDrawSystem3D* ds);

    TKCustomDrawSystem3D* GetDrawingSystem(int index) const;
    /// Searched from the last entry; -1 for null or none.
    int IndexOfViewer(const TKCustomDrawSystem3D* ds) const;
    TKCustomProjectionSystem3D* GetViewerCamera(const TKCustomDrawSystem3D* ds) const;
    /// A camera not in "Cameras" counts as none.
    void SetViewerCamera(TKCustomDrawSystem3D* ds, TKCustomProjectionSystem3D* camera);
    int AddViewer(TKCustomDrawSystem3D* ds);
    void DeleteViewer(int index);
    int ViewerCount() const;
    /// Whether viewer index is marked out of date.
    bool ViewerOutOfDate(int index) const;

    TKObject* GetDepository(const TObject* object) const;
    TKObject* CreateDepository(TKObject* object);
    void RemoveDepository(const TObject* object);
    int DepositoryCount() const;

    /// Keeps the table sorted by depth, deepest first.
    void AddReopenedWindow(HWND handle, std::int32_t depth);
    std::vector<TReopenedWindow> ReopenedWindows() const;

    bool GetNoWait(bool interactive) const;
    std::uint8_t Interactive() const { return m_interactive.load(std::memory_order_acquire); }
    std::uint32_t NoWaitFlags() const { return m_noWaitFlags.load(std::memory_order_acquire); }
    std::int32_t WaitTime(bool interactive) const;
    bool ImagePending() const { return m_imagePending.load(std::memory_order_acquire); }
    bool RedrawAllPending() const { return m_redrawAll.load(std::memory_order_acquire); }
    int SceneEditCount() const;

    TKCustomChangeObjectList* CustomObjects() const { return m_customObjects; }
    TKCustomConstruction3DList* Objects() const { return m_objects; }
    TKCustomLightSystem3DList* Lights() const { return m_lights; }
    TKCustomProjectionSystem3DList* Cameras() const { return m_cameras; }
    TKThread* ImageThread() const { return m_imageThread; }
    /// The search lists of a save or load (empty otherwise).
    std::vector<std::string> SearchPath() const;
    std::vector<std::string> SavedSearchPath() const;

    /// Makes branch the project's node: "Viewers", "Scene" (Objects, Lights, Cameras) and
    /// the custom objects.
    void FillBranch(TKDataBranch* branch);

    /// Hear the lists and drawing systems ("Custom Objects" goes to CustomItemNotify).
    void ItemNotify(TObject* sender, int code, std::intptr_t param);
    void CustomItemNotify(TObject* sender, int code, std::intptr_t param);
    /// object is being destroyed: its depository goes, a drawing system takes its viewer
    /// along, a camera leaves its viewers; a group takes its items out with it.
    void ObjectDestroyed(TObject* object);
    /// object left one of the lists (7): what the project no longer holds loses its
    /// depository, and a camera no longer in "Cameras" leaves its viewers. A group counts
    /// with all it holds.
    void ObjectLeft(TObject* object);

protected:
    TKelvora3DProject() = default;
    /// Stops and joins the image thread before anything it draws goes.
    ~TKelvora3DProject() override;

private:
    /// Stops the job (waiting as the state asks), returns once no pass runs.
    void StopImageJob();
    void UnbindCameras(const std::unordered_set<const TObject*>& gone, bool stillInCameras);
    bool OnImageThread() const;
    void Dispatch(const TItemEvent& record, bool custom);
    void SubscribeLists();
    void UnsubscribeList(TKCustomChangeObject* list, bool custom);
    void FreeLists();
    void ClearViewers();
    void ClearDepositories();
    void FreeSearchLists();
    /// Operation code with kind to every drawing system, list and depository: their sum.
    int PassOperation(int code, int kind);
    void ShowReopenedWindows();
    /// Everything the project holds: its lists and the lists in them, their items, the
    /// drawing systems.
    TKFlatMap<const TObject*, bool> HeldObjects() const;
    [[noreturn]] void RaiseInvalidValue() const;

    TKThread* m_imageThread = nullptr;
    std::atomic<std::uint8_t> m_interactive{0};
    std::atomic<std::uint32_t> m_noWaitFlags{2};
    std::atomic<std::int32_t> m_waitTimeStill{100};
    std::atomic<std::int32_t> m_waitTimeInteractive{200};
    mutable CRITICAL_SECTION m_depositoryLock{};
    std::vector<TDepositoryEntry> m_depositories;
    /// The depository of each construction of the table, for lookups by object.
    std::unordered_map<const TObject*, TKObject*> m_depositoryOf;
    /// Guards the viewer table's structure and its flags briefly (never while waiting), so
    /// that Invalidate on any thread and the job can mark and take them.
    mutable std::mutex m_viewerMutex;
    std::vector<TViewerEntry> m_viewers;
    TKCustomChangeObjectList* m_customObjects = nullptr;
    TKCustomConstruction3DList* m_objects = nullptr;
    TKCustomLightSystem3DList* m_lights = nullptr;
    TKCustomProjectionSystem3DList* m_cameras = nullptr;
    int m_sceneEditCount = 0;
    /// Saves and loads hold the job off without being scene edits.
    std::atomic<int> m_operationHold{0};
    std::atomic<bool> m_imagePending{false};
    std::atomic<bool> m_redrawAll{false};
    std::atomic<DWORD> m_imageThreadId{0};
    /// Set by the link of a load: only a linked load is drawn at its end.
    bool m_loadLinked = false;
    std::vector<TReopenedWindow> m_reopened;
    std::unique_ptr<std::vector<std::string>> m_searchPath;
    std::unique_ptr<std::vector<std::string>> m_savedSearchPath;
};

/// Unit KLProject3D: registers the class, its request handler (request 6 fills the project's
/// branch), its caption, its sub-item "Viewers" and the glyphs of the project and list
/// classes.
extern const TUnitInfo kKLProject3DUnit;
