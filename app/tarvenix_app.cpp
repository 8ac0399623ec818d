#include "app/tarvenix_app.h"

#include <cstring>

#include "app/app_resources.h"
#include "app/golova_dlg.h"
#include "app/startup_guard.h"
#include "app/viewer_seam.h"
#include "outside/basecore/progress_window.h"
#include "outside/splash/splash.h"
#include "platform/kernel/files.h"
#include "platform/kernel/threads.h"
#include "platform/registry/registry.h"
#include "platform/window/cursor.h"

CGolovaDlg* g_pGolovaDlg = nullptr;

namespace {

// The command window as the target of the command groups.
class CommandWindowTarget : public CommandGroupTarget {
public:
    explicit CommandWindowTarget(CGolovaDlg& dialog) : m_dialog(dialog) {}
    void OpenViewer(const CString& fileName) override { m_dialog.OpenViewer(fileName); }
    void DisableStartViewer() override { m_dialog.m_bStartViewer = 0; }

private:
    CGolovaDlg& m_dialog;
};

BOOL StopJobWindow(HWND hwnd, LPARAM)
{
    if (dynamic_cast<basecore::CProgressWnd*>(CWnd::FromHandle(hwnd)))
        SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    return TRUE;
}

// FNV-1a: a stable short tag of the settings folder for the channel's name.
std::uint64_t Fingerprint(const CString& text)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (int i = 0; i < text.GetLength(); ++i) {
        hash ^= static_cast<unsigned char>(text[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

void ParseCommandGroups(const CString& text)
{
    if (!g_pGolovaDlg) return;
    CommandWindowTarget target(*g_pGolovaDlg);
    ParseCommandGroups(text, target);
}

void BroadcastViewerControl(int code)
{
    SendMessageA(HWND_BROADCAST, ViewerControlMessage(), static_cast<WPARAM>(code), 0);
}

void StopRunningJobs()
{
    EnumWindows(StopJobWindow, 0);
}

// --- owner window ------------------------------------------------------------------------

namespace {
// Posted by the owner to itself: hide again once its restore has run to the end.
constexpr UINT WM_OWNER_HIDE_AGAIN = WM_APP + 1;
}  // namespace

BEGIN_MESSAGE_MAP(CMainOwnerWnd, CWnd)
    ON_WM_SIZE()
    ON_MESSAGE(WM_OWNER_HIDE_AGAIN, OnHideAgain)
END_MESSAGE_MAP()

BOOL CMainOwnerWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style = WS_SYSMENU;
    cs.lpszClass =
        AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                            reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1)),
                            AfxGetApp()->LoadIcon(IDR_MAINFRAME));
    return CWnd::PreCreateWindow(cs);
}

void CMainOwnerWnd::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (nType == SIZE_RESTORED) PostMessage(WM_OWNER_HIDE_AGAIN);
}

LRESULT CMainOwnerWnd::OnHideAgain(WPARAM, LPARAM)
{
    if (IsIconic()) return 0;
    // The owner only stands in for the program while it is minimised. Hiding it takes its
    // owned windows along here, so the command window is brought back after it.
    ShowWindow(SW_HIDE);
    if (g_pGolovaDlg && g_pGolovaDlg->GetSafeHwnd() && !g_pGolovaDlg->IsExiting() &&
        !g_pGolovaDlg->IsWindowVisible())
        g_pGolovaDlg->ShowWindow(SW_RESTORE);
    return 0;
}

// --- application ---------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CTarvenixApp, CWinApp)
END_MESSAGE_MAP()

CTarvenixApp::CTarvenixApp()
{
    RegisterAppResources();
}

CTarvenixApp::~CTarvenixApp()
{
    m_channel.Close();
}

CString CTarvenixApp::InstanceChannelName()
{
    CString name;
    name.Format("Tarvenix-%016llx", static_cast<unsigned long long>(Fingerprint(platform::ConfigFolder())));
    return name;
}

BOOL CTarvenixApp::InitInstance()
{
    return StartWith(GetCommandLineA());
}

BOOL CTarvenixApp::StartWith(const CString& commandLine)
{
    // A running Tarvenix for these settings takes the command line over; when none
    // confirms it, this start goes on by itself.
    if (platform::SingleInstanceChannel::SendToRunning(InstanceChannelName(), commandLine)) {
        m_exitCode = 0;
        return FALSE;
    }

    SendSplashText("Main Dialog Initializing...", 1, nullptr);
    Enable3dControls();
    CString error;
    error.LoadString(IDS_ERROR_OCCURED);
    std::strncpy(m_szStartupError, error.c_str(), sizeof(m_szStartupError) - 1);

    const BOOL started = RunStartupGuarded(m_szStartupError, [&]() -> BOOL {
        m_channel.Listen(InstanceChannelName(), [this](const CString& text) { OnHandedOver(text); });
        CWnd* owner = nullptr;
        CGolovaDlg* dialog = CreateOwnerAndCommandWindow(&owner);
        try {
            ParseCommandGroups(commandLine);
        } catch (...) {
            // A faulty command line costs its remaining groups, never the start.
        }
        if (!CreateCommandWindow(dialog)) ExitProcess(1);
        return TRUE;
    });
    if (!started) m_exitCode = 1;
    return started;
}

int CTarvenixApp::ExitInstance()
{
    m_channel.Close();
    // Both windows are gone by now; their objects go with them.
    if (g_pGolovaDlg && !g_pGolovaDlg->GetSafeHwnd()) delete g_pGolovaDlg;
    if (m_pOwnerWnd && !m_pOwnerWnd->GetSafeHwnd()) {
        delete m_pOwnerWnd;
        m_pOwnerWnd = nullptr;
    }
    return CWinApp::ExitInstance();
}

CGolovaDlg* CTarvenixApp::CreateOwnerAndCommandWindow(CWnd** owner)
{
    auto* ownerWnd = new CMainOwnerWnd;
    ownerWnd->CreateEx(0, nullptr, "TARVENIX v2.0", 0, 0, 0, 0, 0, nullptr, nullptr);
    m_pMainWnd = ownerWnd;
    m_pOwnerWnd = ownerWnd;
    if (owner) *owner = ownerWnd;
    g_pGolovaDlg = new CGolovaDlg(nullptr);
    return g_pGolovaDlg;
}

BOOL CTarvenixApp::CreateCommandWindow(CGolovaDlg* dialog)
{
    return dialog && dialog->Create(IDD_GOLOVA_DIALOG, m_pMainWnd);
}

BOOL CTarvenixApp::OnDDECommand(char* command)
{
    ParseCommandGroups(CString(command ? command : ""));
    return TRUE;
}

void CTarvenixApp::OnHandedOver(const CString& text)
{
    char command[kMaxHandedOverCommand + 1];
    std::strncpy(command, text.c_str(), kMaxHandedOverCommand);
    command[kMaxHandedOverCommand] = '\0';
    if (!g_pGolovaDlg || !g_pGolovaDlg->GetSafeHwnd() || !g_pGolovaDlg->IsWindowEnabled()) return;
    OnDDECommand(command);
}
