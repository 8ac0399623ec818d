#include "plugin3d/forms/k_dll_main.h"

#include <algorithm>

#include "platform/window/nonclient.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/forms/k_viewer3d_setup.h"
#include "plugin3d/model/core/k_interfaces.h"

IMPLEMENT_TCLASS(TDllMainForm, TForm)

namespace {

TDllMainForm* g_mainForm = nullptr;

void DllMainUnInit()
{
    if (g_mainForm) return;
    g_mainForm = TDllMainForm::New(nullptr);
    RegisterMainWindow(g_mainForm, nullptr);
}

void DllMainUnFinal()
{
    TDllMainForm* form = g_mainForm;
    if (!form) return;
    UnregisterMainWindow(form, nullptr);
    g_mainForm = nullptr;
    FreeObject(form);
    // Nothing of the plug-in may outlive it: forms waiting to be released go now, and any
    // form still left (a progress form whose job ended last) is freed. Viewers and their setup
    // forms belong to their drawing systems, which free them.
    if (Application) Application->ProcessMessages();
    for (int i = Screen ? Screen->FormCount() - 1 : -1; i >= 0; --i) {
        TForm* left = Screen->Forms(i);
        if (left && !ObjectAs<TKViewer3D>(left) && !ObjectAs<TKViewer3DSetup>(left)) FreeObject(left);
        i = std::min(i, Screen->FormCount());
    }
}

}  // namespace

const TUnitInfo kDllMainUnit{"DllMainUn", DllMainUnInit, DllMainUnFinal};

TDllMainForm* DllMainForm()
{
    return g_mainForm;
}

void DllShowForms()
{
    if (!g_mainForm) return;
    g_mainForm->Show();
    g_mainForm->SetWindowState(wsNormal);
}

BOOL DllHideForms()
{
    if (!g_mainForm) return TRUE;
    // The question comes before anything is hidden: Cancel leaves the forms and the project
    // as they were, and the program hears that its exit stops here.
    if (!g_mainForm->ReleaseAdministrator()) return FALSE;
    g_mainForm->Hide();
    return TRUE;
}

HWND DllGetMainWnd()
{
    return g_mainForm ? g_mainForm->GetSafeHwnd() : nullptr;
}

std::vector<THandler> TDllMainForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(FormDestroy), FORM_HANDLER(FormShow),
            FORM_HANDLER(FormHide)};
}

void TDllMainForm::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    params.Style = kDllMainFormStyle;
}

void TDllMainForm::CreateWnd(CWnd* parentWindow)
{
    TForm::CreateWnd(parentWindow);
    // The strip has no size to show: on a screen it would be a stray frame of its own that
    // stays behind when the administrator moves. It owns, minimises and restores the
    // plug-in's windows from off the screen.
    platform::SetShownOffScreen(GetSafeHwnd(), true);
}

void TDllMainForm::FormCreate(TObject*)
{
    m_administrator = nullptr;
    SetHeight(0);
}

void TDllMainForm::FormDestroy(TObject*)
{
    FreeAdministrator();
}

void TDllMainForm::FreeAdministrator()
{
    TKAdministrator* administrator = m_administrator;
    if (!administrator) return;
    m_administrator = nullptr;
    administrator->RemoveFreeNotification(this);
    FreeObject(administrator);
}

void TDllMainForm::Notification(TComponent* component, TOperation operation)
{
    TForm::Notification(component, operation);
    if (operation == opRemove && component == m_administrator) m_administrator = nullptr;
}

void TDllMainForm::PlaceOnAdministrator(const CWnd* insertAfter)
{
    const bool placing = m_placing;
    m_placing = true;
    struct Done {
        bool& flag;
        bool before;
        ~Done() { flag = before; }
    } done{m_placing, placing};
    const CRect bounds = m_administrator->BoundsRect();
    SetWindowPos(insertAfter, bounds.left, bounds.top, bounds.Width(), 0, SWP_SHOWWINDOW);
}

void TDllMainForm::FormShow(TObject*)
{
    // Placing the strip shows it, which tells this form again.
    if (m_placing) return;
    m_placing = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_placing};
    if (!m_administrator) {
        m_administrator = TKAdministrator::New(nullptr);
        m_administrator->FreeNotification(this);
        m_administrator->SetHook([this](TMessage& message) { return AdministratorHook(message); });
    }
    PlaceOnAdministrator(&CWnd::wndTop);
    if (!IsIconic()) m_administrator->Show();
}

bool TDllMainForm::ReleaseAdministrator()
{
    if (!m_administrator) return true;
    // A load is stopped and a save let end first: the question is about what stays open.
    m_administrator->FinishJob();
    if (!m_administrator || !m_administrator->CanReplaceProject(true)) return false;
    FreeAdministrator();
    return true;
}

void TDllMainForm::FormHide(TObject*)
{
    if (!m_administrator) return;
    // Hidden some other way than by HideForms or a close (which ask first): the question is
    // asked, and the administrator goes whatever the answer.
    m_administrator->CanReplaceProject(true);
    FreeAdministrator();
}

void TDllMainForm::WndProc(TMessage& message)
{
    if (message.Msg == WM_SYSCOMMAND && m_administrator) {
        switch (message.WParam & 0xFFF0) {
            case SC_RESTORE:
                m_administrator->Show();
                // Behind the administrator, so that its button and animation belong to it.
                PlaceOnAdministrator(m_administrator);
                break;
            case SC_MINIMIZE:
                PlaceOnAdministrator(&CWnd::wndTop);
                break;
            case SC_CLOSE:
                // Cancel in the save question keeps the administrator and its project open.
                if (!ReleaseAdministrator()) {
                    message.Result = 0;
                    return;
                }
                break;
            default:
                break;
        }
    }
    TForm::WndProc(message);
}

bool TDllMainForm::AdministratorHook(TMessage& message)
{
    if (message.Msg != WM_SYSCOMMAND || !m_administrator) return false;
    const WPARAM command = message.WParam & 0xFFF0;
    const bool relay = command == SC_MINIMIZE || command == SC_CLOSE ||
                       (command == SC_RESTORE && m_administrator->IsIconic());
    if (!relay) return false;
    message.Result = 0;
    ::PostMessage(GetSafeHwnd(), WM_SYSCOMMAND, message.WParam, message.LParam);
    return true;
}
