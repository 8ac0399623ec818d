#pragma once

// A parent window for a view window under test: it frees each WM_VIEWER record and keeps
// the notification codes in order.

#include <vector>

#include "platform/window/wnd.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/virtual_view.h"

class ViewHost : public CWnd {
public:
    std::vector<int> codes;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_VIEWER) return CWnd::WindowProc(message, wParam, lParam);
        delete reinterpret_cast<CViewNotify*>(wParam);
        codes.push_back(int(lParam));
        return 1;
    }
};
