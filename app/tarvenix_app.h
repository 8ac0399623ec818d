#pragma once

// The application object of the Tarvenix program: start-up, the hidden owner window, the
// command window, the hand-over of a second start, and the steering of all viewers.

#include "app/command_syntax.h"
#include "platform/app/win_app.h"
#include "platform/shell/single_instance_channel.h"
#include "platform/window/wnd.h"

class CGolovaDlg;

/// The hidden window that owns the command window and is the application's main window.
class CMainOwnerWnd : public CWnd {
protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnHideAgain(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()
};

class CTarvenixApp : public CWinApp {
public:
    CTarvenixApp();
    ~CTarvenixApp() override;

    /// Start-up with the process's command line.
    BOOL InitInstance() override;
    /// The start-up steps with the given command line (the program path included).
    BOOL StartWith(const CString& commandLine);
    int ExitInstance() override;
    /// A command text handed over by a second start: runs its groups; always TRUE.
    BOOL OnDDECommand(char* command);

    /// Creates the owner window (returned through `owner`, made the main window) and the
    /// command window object, whose window does not exist yet.
    CGolovaDlg* CreateOwnerAndCommandWindow(CWnd** owner);
    /// Creates the command window from its template, owned by the main window.
    BOOL CreateCommandWindow(CGolovaDlg* dialog);

    /// The name a running Tarvenix listens under for the command lines of later starts:
    /// one per user and per settings folder.
    static CString InstanceChannelName();
    /// The hidden owner window (null before start-up made it).
    CWnd* GetOwnerWindow() const { return m_pOwnerWnd; }

    DECLARE_MESSAGE_MAP()

private:
    /// A second start's command line: cut to its first 519 characters and run, but only
    /// while the command window takes input (dropped while a modal dialog is up).
    void OnHandedOver(const CString& text);

    platform::SingleInstanceChannel m_channel;
    CWnd* m_pOwnerWnd = nullptr;
    char m_szStartupError[256] = {};
};

/// The command window the command groups act on (null before start-up made it).
extern CGolovaDlg* g_pGolovaDlg;

/// Runs the command groups of `text` on the command window.
void ParseCommandGroups(const CString& text);

/// Sends the viewer control message with `code` to every top-level window and returns
/// when all have handled it.
void BroadcastViewerControl(int code);

/// Stops every running processing job as its Stop button does.
void StopRunningJobs();
