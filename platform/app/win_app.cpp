#include "platform/app/win_app.h"

#include <clocale>

#include <QAbstractEventDispatcher>
#include <QApplication>

#include "platform/gdi/window_dc.h"
#include "platform/resources/resources.h"
#include "platform/window/app_hooks.h"
#include "platform/window/cursor.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/wnd.h"

namespace {

CWinApp* g_app = nullptr;

}  // namespace

BOOL CWinThread::PreTranslateMessage(MSG* pMsg)
{
    CWnd* main = GetMainWnd();
    return CWnd::WalkPreTranslateTree(main ? main->GetSafeHwnd() : nullptr, pMsg);
}

BOOL CWinThread::OnIdle(LONG lCount)
{
    if (lCount > 0) return FALSE;
    for (HWND hwnd : platform::TopLevelWindows()) {
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (!wnd || !wnd->IsWindowVisible()) continue;
        wnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE, 0);
        if (IsWindow(hwnd)) wnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
    }
    return FALSE;
}

int CWinThread::Run()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return ExitInstance();
    if (auto* gui = qobject_cast<QGuiApplication*>(app)) gui->setQuitOnLastWindowClosed(false);
    // Idle work runs each time the loop is about to wait after it has handled something.
    bool busy = true;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    auto awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&busy] { busy = true; });
    auto idle = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this, &busy] {
        if (!busy) return;
        busy = false;
        for (LONG count = 0; OnIdle(count); ++count) {
        }
    });
    m_exitCode = QCoreApplication::exec();
    QObject::disconnect(awake);
    QObject::disconnect(idle);
    return ExitInstance();
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

namespace {

// The main window going away ends the program's message loop.
void NoteWindowDestroyed(CWnd* wnd)
{
    if (g_app && g_app->m_pMainWnd == wnd) {
        g_app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
}

platform::AppHooks Hooks()
{
    platform::AppHooks hooks;
    hooks.preTranslateMessage = [](MSG* msg) -> BOOL {
        return g_app ? g_app->PreTranslateMessage(msg) : CWnd::WalkPreTranslateTree(nullptr, msg);
    };
    hooks.onCmdMsg = [](UINT id, int code, void* extra, AFX_CMDHANDLERINFO* info) -> BOOL {
        return g_app ? g_app->OnCmdMsg(id, code, extra, info) : FALSE;
    };
    hooks.appName = [] { return g_app ? g_app->m_pszAppName : nullptr; };
    hooks.mainWindow = [] { return AfxGetMainWnd(); };
    hooks.windowDestroyed = NoteWindowDestroyed;
    return hooks;
}

}  // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
{
    if (lpszAppName) {
        m_appName = lpszAppName;
        m_pszAppName = m_appName.c_str();
    }
    g_app = this;
    platform::SetAppHooks(Hooks());
}

CWinApp::~CWinApp()
{
    if (g_app == this) {
        g_app = nullptr;
        platform::SetAppHooks({});
    }
}

HCURSOR CWinApp::LoadStandardCursor(LPCTSTR lpszCursorName) const
{
    return ::LoadCursor(nullptr, lpszCursorName);
}

HCURSOR CWinApp::LoadCursor(LPCTSTR lpszCursorName) const
{
    return platform::LoadCursorResource(nullptr, lpszCursorName);
}

HICON CWinApp::LoadIcon(LPCTSTR lpszResourceName) const
{
    return ::LoadIcon(nullptr, lpszResourceName);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->GetMainWnd() : nullptr;
}

LPCTSTR AfxGetAppName()
{
    return g_app && g_app->m_pszAppName ? g_app->m_pszAppName : "";
}

void PostQuitMessage(int nExitCode)
{
    platform::PostToUiThread([nExitCode] { QCoreApplication::exit(nExitCode); });
}

int AfxWinMain(int argc, char** argv)
{
    QApplication qt(argc, argv);
    std::setlocale(LC_ALL, "C");
    platform::InitDrawing();
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
}
