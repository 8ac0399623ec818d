#include "tests/support/dialog_helpers.h"

#include "platform/window/window_internal.h"

namespace tarvenix::test {

std::vector<CWnd*> TopLevelWindowObjects()
{
    std::vector<CWnd*> windows;
    for (HWND h : platform::TopLevelWindows())
        if (CWnd* wnd = CWnd::FromHandle(h)) windows.push_back(wnd);
    return windows;
}

std::vector<Question> MessageBoxesAsked()
{
    std::vector<Question> boxes;
    for (const Question& q : Responder().Asked())
        if (q.kind == Question::Kind::MessageBox) boxes.push_back(q);
    return boxes;
}

}  // namespace tarvenix::test
