#pragma once

// TDllMainForm (unit DllMainUn): the owner of every plug-in window. A zero-height popup with
// a caption, system menu and minimise box that carries the plug-in's task-bar entry; it sits
// as an invisible strip on the administrator's top edge, and minimising, restoring and
// closing the administrator are done through it: closing it hides it, and hiding it asks
// about unsaved changes and frees the administrator.

#include "platform/forms/forms.h"
#include "platform/forms/units.h"

class TKAdministrator;

/// The owner form's window style: WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU |
/// WS_MINIMIZEBOX.
inline constexpr DWORD kDllMainFormStyle = 0x84CA0000;

class TDllMainForm : public TForm {
    DECLARE_TCLASS(TDllMainForm)

    /// The administrator while one exists, else null.
    TKAdministrator* Administrator() const { return m_administrator; }
    /// Runs before the administrator's own handling: minimise, restore (of a minimised
    /// administrator) and close are posted to this window instead. True consumes.
    bool AdministratorHook(TMessage& message);
    /// Asks about unsaved changes and frees the administrator; false (nothing freed) when
    /// the user keeps the project.
    bool ReleaseAdministrator();
    void WndProc(TMessage& message) override;

protected:
    TDllMainForm() = default;
    std::vector<THandler> Handlers() override;
    void CreateParams(TCreateParams& params) override;
    void CreateWnd(CWnd* parentWindow) override;
    void Notification(TComponent* component, TOperation operation) override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormShow(TObject* sender);
    void FormHide(TObject* sender);

private:
    /// Puts the strip on the administrator's top edge, after insertAfter, and shows it.
    void PlaceOnAdministrator(const CWnd* insertAfter);
    void FreeAdministrator();

    TKAdministrator* m_administrator = nullptr;
    bool m_placing = false;  ///< the strip is being placed (and shown) now
};

/// The owner form while the unit runs, else null.
TDllMainForm* DllMainForm();

/// The exports: show the owner form in its normal state; hide it (which frees the
/// administrator); its window (null when there is no owner form). Each does nothing when
/// the owner form does not exist. Hiding asks about unsaved changes first: TRUE when the
/// forms are hidden (or there were none), FALSE when the user chose Cancel and everything
/// stays as it was.
void DllShowForms();
BOOL DllHideForms();
HWND DllGetMainWnd();

/// Unit DllMainUn, the last of the plug-in's units: makes the owner form and registers it as
/// main window 0; its end unregisters and frees it.
extern const TUnitInfo kDllMainUnit;
