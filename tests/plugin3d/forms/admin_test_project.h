#pragma once

// A small project class for the administrator's tests: one list "Objects" of change objects,
// whose events it passes on as 11, the operations the administrator asks (make an object,
// may it be deleted, open its editor, its holder), and a tree of the project and its list.

#include <atomic>
#include <vector>

#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"

class TAdminTestProject : public TKProject {
    DECLARE_TCLASS(TAdminTestProject)

    void Init() override;
    int Operation(int code, std::intptr_t param) override;
    /// Waits while holdSave is set when its save's job writes it (on the job's thread only);
    /// saveReached tells that a save waits there.
    int SaveToStream(TKObjectsStream* stream) override;
    static inline std::atomic<bool> holdSave{false};
    static inline std::atomic<bool> saveReached{false};

    TKCustomChangeObjectList* Objects() const { return m_objects; }
    /// The objects whose editor was asked for.
    std::vector<TObject*> opened;

    /// Registers the class and its tree; the administrator then lists it under "Projects".
    static void Register();
    static void Unregister();

protected:
    TAdminTestProject() = default;
    ~TAdminTestProject() override;

private:
    void ListEvent(TObject* sender, int code, std::intptr_t param);
    TKCustomChangeObjectList* m_objects = nullptr;
};
