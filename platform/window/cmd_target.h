#pragma once

// The root of everything that handles commands and messages: a class's message map is a
// static table of entries, each with a small thunk that unpacks the message parameters
// and calls the member handler with its own signature. The map of a class links to the
// map of its base class; lookups walk from the most derived class to the root, and within
// one map the first matching entry wins.

#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/messages.h"

class CCmdTarget;
class CCmdUI;

/// Notification code of a command (menu item, accelerator, button click).
constexpr int CN_COMMAND = 0;
/// Notification code of the update-command-UI query (pExtra is the CCmdUI).
constexpr int CN_UPDATE_COMMAND_UI = -1;

namespace platform {

/// What a handler thunk receives: the message and what the dispatcher already unpacked.
struct DispatchArgs {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    UINT id = 0;            ///< command or control id for WM_COMMAND / WM_NOTIFY entries
    void* extra = nullptr;  ///< CCmdUI* for update entries, NotifyArgs* for notifications
    LRESULT result = 0;     ///< what WindowProc returns for the message
};

/// The notification record and the place for its result.
struct NotifyArgs {
    NMHDR* header;
    LRESULT* result;
};

/// Calls the handler; false when the handler declined (the _EX forms), so routing goes on.
using HandlerThunk = bool (*)(CCmdTarget* target, DispatchArgs& args);

struct MessageMapEntry {
    UINT message;  ///< WM_xxx; WM_COMMAND for commands and update entries; WM_NOTIFY
    UINT code;     ///< notification code (CN_UPDATE_COMMAND_UI as UINT for updates)
    UINT firstId;  ///< id range of command and notification entries
    UINT lastId;
    const UINT* registeredId;  ///< for registered messages: where the id is kept; else null
    HandlerThunk thunk;        ///< null only in the closing entry
};

struct MessageMap {
    const MessageMap* (*base)();  ///< the base class's map; null at the root
    const MessageMapEntry* entries;
};

}  // namespace platform

/// What OnCmdMsg reports when asked only whether a handler exists.
struct AFX_CMDHANDLERINFO {
    CCmdTarget* pTarget = nullptr;
};

class PLATFORM_API CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    /// Routes a command, update query (nCode CN_UPDATE_COMMAND_UI, pExtra the CCmdUI) or
    /// notification (nCode MAKELONG(code, WM_NOTIFY), pExtra a NotifyArgs) through this
    /// object's message maps. With pHandlerInfo set, only reports whether a handler exists.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

    static const platform::MessageMap* GetThisMessageMap();
    virtual const platform::MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

protected:
    /// Finds the first entry for a window message in the maps, most derived first.
    const platform::MessageMapEntry* FindMessageEntry(UINT message) const;
};

/// One user-interface element (menu item, tool-bar button, status pane) asked for the
/// state of its command. Menus and bars derive from it and override the setters.
class PLATFORM_API CCmdUI {
public:
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    UINT m_nIndexMax = 0;
    void* m_pOther = nullptr;  ///< the bar or menu the element lives in
    BOOL m_bEnableChanged = FALSE;
    BOOL m_bContinueRouting = FALSE;

    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);  ///< 0 unchecked, 1 checked, 2 indeterminate
    virtual void SetRadio(BOOL bOn = TRUE) { SetCheck(bOn ? 1 : 0); }
    virtual void SetText(LPCTSTR lpszText);
    void ContinueRouting() { m_bContinueRouting = TRUE; }

    /// Asks target for this element's state. When no update handler answered and
    /// bDisableIfNoHndler is set, a command that has no handler either is disabled.
    BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};

namespace platform {

/// The state a command would show, as the update-command-UI pass finds it.
struct CommandState {
    bool enabled = true;
    int checked = 0;
    bool textSet = false;
    CString text;
};

/// Runs the update pass for one command id against target, as a menu item would.
PLATFORM_API CommandState QueryCommandState(CCmdTarget* target, UINT id, bool disableIfNoHandler = true);

}  // namespace platform
