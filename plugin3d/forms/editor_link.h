#pragma once

// What an editor depository keeps of its non-modal editor: the form open on it (owned), or,
// for an editor's working copy, the form the copy belongs to (not owned). The light and the
// surface depositories open, rename, refresh, save and reopen their editors alike through it.
// Form has KFlatCaption1, KDepositoryComponent1 and Open(depository, show).

#include <cstdint>
#include <string>

#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

template <class Form>
class TEditorLink {
public:
    Form* Get() const { return m_form; }
    bool IsWorkingCopy() const { return m_workingCopy; }
    void Set(Form* form, bool workingCopy)
    {
        m_form = form;
        m_workingCopy = workingCopy;
    }
    /// Frees the editor open on the depository; a working copy's form is not its own.
    void Free()
    {
        // A load's job frees and makes editors too: always on the windows' own thread.
        if (!m_workingCopy && m_form) platform::CallOnUiThread([this] { FreeAndNil(m_form); });
    }

    /// The editor, made by make() and opened on depository when none is open; shown as asked.
    template <class Depository, class Make>
    Form* Show(Depository* depository, bool show, Make&& make)
    {
        return platform::CallOnUiThread([&]() -> Form* {
            if (!m_form) {
                m_form = make();
                m_workingCopy = false;
                m_form->Open(depository, show);
            } else if (show) {
                m_form->Show();
            }
            return m_form;
        });
    }
    /// The depository's OpenEditor: the editor shown when param is its construction; -1 else.
    template <class Depository, class Make>
    int Open(Depository* depository, std::intptr_t param, Make&& make)
    {
        TKCustomConstruction3D* construction = depository->Construction();
        if (m_workingCopy || !construction || reinterpret_cast<TObject*>(param) != construction) return -1;
        Show(depository, true, make);
        return 0;
    }
    /// A renamed construction renames the editor's caption.
    void ConstructionEvent(TKCustomConstruction3D* construction, int code)
    {
        if (code == kevNameChanged && m_form && !m_workingCopy && construction)
            m_form->KFlatCaption1->SetCaption(construction->Name() + " : Properties");
    }
    /// A working copy's record bar follows its drawing systems' names and ends.
    void DrawingEvent(int code)
    {
        if ((code == kevDestroyed || code == kevNameChanged) && m_form && m_workingCopy)
            m_form->KDepositoryComponent1->Refresh();
    }
    /// Before a save: an open editor's stacking depth (0 without one).
    std::int32_t SavedDepth() const
    {
        if (m_workingCopy) return -1;
        return m_form ? WindowZDepth(m_form->Handle()) : 0;
    }
    /// After a load of a project saved with the editor open (depth non-zero): the editor made
    /// again, hidden, and handed to the project to show in its old stacking order.
    template <class Depository, class Make>
    void Reopen(Depository* depository, TKObjectsStream* stream, std::int32_t depth, Make&& make)
    {
        auto* project = dynamic_cast<TKelvora3DProject*>(stream->GetProject());
        if (m_workingCopy || depth == 0 || !project || !depository->Construction()) return;
        const HWND handle = platform::CallOnUiThread([&] { return Show(depository, false, make)->Handle(); });
        project->AddReopenedWindow(handle, depth);
    }

private:
    Form* m_form = nullptr;
    bool m_workingCopy = false;
};
