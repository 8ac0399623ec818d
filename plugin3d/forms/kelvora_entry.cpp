// The plug-in's entry: a hidden owner window "Kelvora" made when the library starts (the
// loader calls platform_module_start after loading it) and destroyed when it ends, the
// exports the program binds by number, and the window ShowForms shows.

#include "platform/gdi/window_dc.h"
#include "platform/kernel/modules.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"

namespace {

// The one form of this build: a small window that says the 3D viewer is to come.
class CKelvoraInfoWnd : public CWnd {
protected:
    void OnPaint()
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
        dc.DrawText("The 3D viewer is not built yet.", &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    // Closing it only hides it: the plug-in keeps its forms until it is unloaded.
    void OnClose() { ShowWindow(SW_HIDE); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CKelvoraInfoWnd, CWnd)
    ON_WM_PAINT()
    ON_WM_CLOSE()
END_MESSAGE_MAP()

// The owner of every plug-in window: a zero-height popup that carries its task-bar entry.
class CKelvoraForms {
public:
    CKelvoraForms()
    {
        if (!platform::HasWindows()) return;
        m_owner.CreateEx(0, nullptr, "Kelvora", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                         336, 0, nullptr, nullptr);
        m_info.CreateEx(0, nullptr, "Kelvora 3D", WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 200, 320, 90,
                        m_owner.GetSafeHwnd(), nullptr);
    }
    ~CKelvoraForms()
    {
        if (!platform::HasWindows()) return;
        if (m_info.GetSafeHwnd()) m_info.DestroyWindow();
        if (m_owner.GetSafeHwnd()) m_owner.DestroyWindow();
    }

    void Show()
    {
        if (!m_owner.GetSafeHwnd()) return;
        m_owner.ShowWindow(SW_SHOWNORMAL);
        if (m_info.GetSafeHwnd()) m_info.ShowWindow(SW_SHOWNORMAL);
    }
    void Hide()
    {
        if (!m_owner.GetSafeHwnd()) return;
        if (m_info.GetSafeHwnd()) m_info.ShowWindow(SW_HIDE);
        m_owner.ShowWindow(SW_HIDE);
    }
    HWND Owner() const { return m_owner.GetSafeHwnd(); }

private:
    CWnd m_owner;
    CKelvoraInfoWnd m_info;
};

// Made by the start entry and freed by the end entry; null before and after. A plain
// pointer: nothing of the plug-in runs while the library is being loaded or unloaded.
CKelvoraForms* g_forms = nullptr;

}  // namespace

PLATFORM_EXPORT BOOL platform_module_start()
{
    if (!g_forms) g_forms = new CKelvoraForms;
    return TRUE;
}

PLATFORM_EXPORT void platform_module_end()
{
    delete g_forms;
    g_forms = nullptr;
}

PLATFORM_EXPORT void ShowForms()
{
    if (g_forms) g_forms->Show();
}

PLATFORM_EXPORT void HideForms()
{
    if (g_forms) g_forms->Hide();
}

PLATFORM_EXPORT HWND GetDllMainWnd()
{
    return g_forms ? g_forms->Owner() : nullptr;
}

PLATFORM_EXPORT const PlatformOrdinal* platform_ordinal_table()
{
    static const PlatformOrdinal table[] = {
        {1, "ShowForms"}, {2, "HideForms"}, {3, "GetDllMainWnd"}, {0, nullptr}};
    return table;
}
