#pragma once

// What the analysis dialogs' tests share: a parent window that keeps the WM_DLGMESSAGE codes
// it hears, reading and typing into a dialog's controls, clicks, screenshots.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/messages.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"
#include "viewer/core/viewer_messages.h"

namespace analysis_test {

/// A top-level window that records the WM_DLGMESSAGE codes (wParam, lParam) it is sent.
class RecordingParent : public CWnd {
public:
    RecordingParent()
    {
        CreateEx(0, AfxRegisterWndClass(0), "Parent", WS_OVERLAPPED, CRect(0, 0, 200, 150), nullptr, 0);
    }
    ~RecordingParent() override
    {
        if (GetSafeHwnd()) DestroyWindow();
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DLGMESSAGE) {
            codes.emplace_back(int(wParam), int(lParam));
            return 1;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int Count(int code) const
    {
        int n = 0;
        for (auto [w, l] : codes) n += w == code;
        return n;
    }
    std::vector<std::pair<int, int>> codes;
};

inline CString Text(CWnd& dlg, int id)
{
    CString text;
    if (CWnd* item = dlg.GetDlgItem(id)) item->GetWindowText(text);
    return text;
}

inline void Type(CWnd& dlg, int id, const char* text)
{
    if (CWnd* item = dlg.GetDlgItem(id)) item->SetWindowText(text);
}

/// A click on the button `id` of the dialog.
inline void Click(CWnd& dlg, int id)
{
    CWnd* item = dlg.GetDlgItem(id);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                    reinterpret_cast<LPARAM>(item ? item->GetSafeHwnd() : nullptr));
}

inline void Screenshot(CWnd& wnd, const std::string& name)
{
    tarvenix::test::PumpEvents();
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(wnd), name).empty());
}

}  // namespace analysis_test
