#include "platform/window/wnd.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <strings.h>

#include <QPainter>

#include "platform/window/app_hooks.h"
#include "platform/kernel/threads.h"
#include "platform/last_error.h"
#include "platform/window/cursor.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window_internal.h"
#include "platform/window/window_widget_internal.h"
#include "platform/menu/system_menu.h"

using namespace platform;

// --- messages ----------------------------------------------------------------------------------------------
LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessage(m_hWnd, message, wParam, lParam);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    for (HWND child : ChildWindows(m_hWnd)) {
        CWnd* wnd = LookupWindow(child);
        if (!wnd) continue;
        Dispatch(wnd, message, wParam, lParam);
        if (bDeep && LookupWindow(child) == wnd) wnd->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

LRESULT CWnd::Default()
{
    MSG msg;
    if (!CurrentMessage(msg)) return 0;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        if (!lParam) return FALSE;
        LRESULT result = 0;
        if (!OnNotify(wParam, lParam, &result)) return FALSE;
        *pResult = result;
        return TRUE;
    }
    const MessageMapEntry* entry = FindMessageEntry(message);
    if (!entry) return FALSE;
    DispatchArgs args{message, wParam, lParam, 0, nullptr, 0};
    entry->thunk(this, args);
    *pResult = args.result;
    return TRUE;
}

namespace {

// Answers only "is it enabled", as a click on a menu item needs to know.
class EnabledProbe : public CCmdUI {
public:
    bool enabled = true;
    void Enable(BOOL on) override
    {
        enabled = on != FALSE;
        m_bEnableChanged = TRUE;
    }
    void SetCheck(int) override {}
    void SetText(LPCTSTR) override {}
};

}  // namespace

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    int code = HIWORD(wParam);
    if (lParam == 0) {
        // A menu command or accelerator: a command its update handler disabled does not run.
        EnabledProbe probe;
        probe.m_nID = id;
        OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &probe, nullptr);
        if (!probe.enabled) return TRUE;
        code = CN_COMMAND;
    }
    return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    NotifyArgs notify{header, pResult};
    return OnCmdMsg(static_cast<UINT>(header->idFrom),
                    static_cast<int>(MAKELONG(static_cast<WORD>(header->code), WM_NOTIFY)), &notify, nullptr);
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
    // Top-level windows (frames, dialogs) let the application have commands nobody took.
    const AppHooks& app = GetAppHooks();
    const bool isCommand = nCode == CN_COMMAND || nCode == CN_UPDATE_COMMAND_UI;
    if (app.onCmdMsg && isCommand && m_hWnd && !(GetStyle() & WS_CHILD))
        return app.onCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hwnd = pMsg->hwnd; hwnd;) {
        CWnd* wnd = LookupWindow(hwnd);
        if (!wnd) break;
        if (wnd->PreTranslateMessage(pMsg)) return TRUE;
        if (hwnd == hWndStop || !LookupWindow(hwnd)) break;
        const WindowData* data = DataOf(wnd);
        hwnd = data && (data->style & WS_CHILD) ? data->parent : nullptr;
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    NoteDefaultReached(m_hWnd, message);
    WindowData* data = m_data.get();
    if (!data) return 0;
    const bool child = data->style & WS_CHILD;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow();
            return 0;
        case WM_SETTEXT:
            data->text = lParam ? reinterpret_cast<LPCTSTR>(lParam) : "";
            ApplyWindowText(data->text);
            return TRUE;
        case WM_GETTEXT: {
            if (wParam == 0 || !lParam) return 0;
            const CString text = ReadWindowText();
            const auto count = std::min<std::size_t>(static_cast<std::size_t>(text.GetLength()), wParam - 1);
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), count);
            reinterpret_cast<char*>(lParam)[count] = '\0';
            return static_cast<LRESULT>(count);
        }
        case WM_GETTEXTLENGTH:
            return ReadWindowText().GetLength();
        case WM_ERASEBKGND: {
            PaintTarget* target = data->paintTarget;
            if (!target || !data->windowClass.background) return 0;
            std::unique_lock<std::recursive_mutex> lock;  // workers may be drawing on the surface
            if (data->generic) lock = std::unique_lock(data->generic->SurfaceMutex());
            target->painter->fillRect(target->surface->rect(), ToQColor(*data->windowClass.background));
            return 1;
        }
        case WM_NCPAINT:
            PaintDefaultFrame(this);
            return 0;
        case WM_NCHITTEST:
            return NonClientHitTest(
                this, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        case WM_SETCURSOR: {
            if (child) {
                CWnd* parent = LookupWindow(data->parent);
                if (parent && Dispatch(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
            }
            if (LOWORD(lParam) == HTCLIENT && m_data && m_data->windowClass.cursor)
                ::SetCursor(m_data->windowClass.cursor);
            return FALSE;
        }
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_MINIMIZE:
                    ShowWindow(SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(SW_RESTORE);
                    break;
                case SC_CLOSE:
                    SendMessage(WM_CLOSE);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(DragIconOf(this));
        case WM_SETICON:
            return reinterpret_cast<LRESULT>(SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
        case WM_GETICON:
            return reinterpret_cast<LRESULT>(GetIcon(wParam == ICON_BIG));
        case WM_SYSKEYDOWN:
            if (wParam == VK_SPACE) ShowSystemMenu(GetTopLevelParent());
            return 0;
        case WM_MOUSEWHEEL:
        case WM_CONTEXTMENU:
        case WM_HELP:
            // Not handled here: the parent may want it.
            if (child) {
                if (CWnd* parent = LookupWindow(data->parent))
                    return Dispatch(parent, message, wParam, lParam);
            }
            return 0;
        default:
            return 0;
    }
}

// --- free functions ----------------------------------------------------------------------------------------
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == HWND_BROADCAST) {
        platform::RunOnUiThread([&] {
            for (HWND h : TopLevelWindows())
                if (CWnd* wnd = LookupWindow(h)) Dispatch(wnd, message, wParam, lParam);
        });
        return TRUE;
    }
    if (!IsUiThread()) {
        if (!IsWindow(hWnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        LRESULT result = 0;
        bool delivered = false;
        platform::RunOnUiThread([&] {
            if (CWnd* wnd = LookupWindow(hWnd)) {
                delivered = true;
                result = Dispatch(wnd, message, wParam, lParam);
            }
        });
        if (!delivered) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return result;
    }
    CWnd* wnd = LookupWindow(hWnd);
    if (!wnd) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return Dispatch(wnd, message, wParam, lParam);
}

BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT pt{};
    if (IsUiThread()) GetCursorPos(&pt);
    const MSG msg{hWnd, message, wParam, lParam, GetTickCount(), pt};
    if (hWnd == HWND_BROADCAST) {
        platform::PostToUiThread([msg] {
            for (HWND h : TopLevelWindows()) {
                MSG one = msg;
                one.hwnd = h;
                DispatchQueued(one);
            }
        });
        return TRUE;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // Checked again on arrival: a window destroyed meanwhile drops the message.
    platform::PostToUiThread([msg] { DispatchQueued(msg); });
    return TRUE;
}

BOOL platform::PostMessageOwning(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                 std::function<void()> release)
{
    if (hWnd == HWND_BROADCAST || message == WM_COPYDATA) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT pt{};
    if (IsUiThread()) GetCursorPos(&pt);
    const MSG msg{hWnd, message, wParam, lParam, GetTickCount(), pt};
    platform::PostToUiThread([msg, release = std::move(release)] {
        if (!IsWindow(msg.hwnd)) {
            if (release) release();
            return;
        }
        DispatchQueued(msg);
    });
    return TRUE;
}

BOOL IsWindow(HWND hWnd)
{
    return LookupWindow(hWnd) != nullptr;
}

UINT RegisterWindowMessage(LPCTSTR lpString)
{
    if (!lpString || !*lpString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    static std::mutex mutex;
    static auto* ids = new std::map<std::string, UINT>;
    static UINT next = kFirstRegisteredMessage;
    std::string key(lpString);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));  // names ignore case
    std::lock_guard lock(mutex);
    if (auto it = ids->find(key); it != ids->end()) return it->second;
    if (next > kLastRegisteredMessage) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return (*ids)[key] = next++;
}

HWND FindWindow(LPCTSTR lpClassName, LPCTSTR lpWindowName)
{
    if (!IsUiThread()) return platform::CallOnUiThread([&] { return FindWindow(lpClassName, lpWindowName); });
    for (HWND h : TopLevelWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (!data || data->destroying) continue;
        if (lpClassName && ::strcasecmp(data->windowClass.name, lpClassName) != 0) continue;
        if (lpWindowName && data->text != lpWindowName) continue;
        return h;
    }
    return nullptr;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam)
{
    if (!proc) return FALSE;
    if (!IsUiThread()) return platform::CallOnUiThread([&] { return EnumWindows(proc, lParam); });
    for (HWND h : TopLevelWindows()) {
        const WindowData* data = DataOf(LookupWindow(h));
        if (!data || data->destroying) continue;
        if (!proc(h, lParam)) return FALSE;
    }
    return TRUE;
}

DWORD GetMessageTime()
{
    return GetTickCount();
}
