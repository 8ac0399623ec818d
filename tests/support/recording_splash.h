#pragma once

// Stands in for the splash program's window: it has the class and title that start-up
// texts are sent to, and keeps what each WM_COPYDATA carried.

#include <cstdint>
#include <string>
#include <vector>

#include "outside/splash/splash.h"
#include "platform/window/message_map.h"
#include "platform/window/wnd.h"

namespace tarvenix::test {

class RecordingSplash : public CWnd {
public:
    struct Text {
        std::uintptr_t kind;
        std::string bytes;  ///< as sent: no terminating zero unless the sender counted one
        HWND sender;
        bool operator==(const Text&) const = default;
    };
    std::vector<Text> received;

    /// Creates the window: a top-level one with the splash title unless told otherwise;
    /// with a parent it is a child, which no sender counts as the splash.
    bool Make(const char* title = kSplashWindowTitle, CWnd* parent = nullptr);

protected:
    BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* data);
    DECLARE_MESSAGE_MAP()
};

}  // namespace tarvenix::test
