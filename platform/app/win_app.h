#pragma once

// The application object. One CWinApp-derived object per program; its constructor makes it
// the current application. AfxWinMain creates the Qt application, then runs InitInstance,
// Run (the message loop) and ExitInstance. The loop ends when the main window is destroyed
// or PostQuitMessage is called.

#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/cmd_target.h"

class CWnd;

class PLATFORM_API CWinThread : public CCmdTarget {
public:
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return m_exitCode; }
    /// The message loop: runs until the main window is gone or PostQuitMessage; then
    /// returns ExitInstance().
    virtual int Run();
    /// Called for queued messages before they are dispatched; the default lets the
    /// target window and its parents look at the message.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    /// Idle work when the queue is empty; lCount counts the calls since the last message.
    /// Pass 0 refreshes the command states of all windows. TRUE asks for another pass.
    virtual BOOL OnIdle(LONG lCount);
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

protected:
    int m_exitCode = 0;
};

class PLATFORM_API CWinApp : public CWinThread {
public:
    /// Becomes the current application (AfxGetApp) until destroyed.
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    LPCTSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 5;  // SW_SHOW

    BOOL Enable3dControls() { return TRUE; }
    HCURSOR LoadStandardCursor(LPCTSTR lpszCursorName) const;
    /// A cursor resource of the libraries in the resource chain (newest first).
    HCURSOR LoadCursor(LPCTSTR lpszCursorName) const;
    HCURSOR LoadCursor(UINT nIDResource) const { return LoadCursor(MAKEINTRESOURCE(nIDResource)); }
    /// An icon resource of the libraries in the resource chain (newest first).
    HICON LoadIcon(LPCTSTR lpszResourceName) const;
    HICON LoadIcon(UINT nIDResource) const { return LoadIcon(MAKEINTRESOURCE(nIDResource)); }

    static const platform::MessageMap* GetThisMessageMap();
    const platform::MessageMap* GetMessageMap() const override;

private:
    CString m_appName;
};

PLATFORM_API CWinApp* AfxGetApp();
PLATFORM_API CWnd* AfxGetMainWnd();
PLATFORM_API LPCTSTR AfxGetAppName();
/// Ends the message loop with the exit code (any thread).
PLATFORM_API void PostQuitMessage(int nExitCode);
/// The program's main: makes the Qt application and runs the current application object.
PLATFORM_API int AfxWinMain(int argc, char** argv);
