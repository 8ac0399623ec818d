#pragma once

// What a user would see of a program's windows: the top-level windows of a class and the
// message boxes asked so far.

#include <vector>

#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"

namespace tarvenix::test {

/// Every top-level window of the process, in stacking order.
std::vector<CWnd*> TopLevelWindowObjects();

/// The top-level windows that are a T, in stacking order.
template <class T>
std::vector<T*> TopLevelOf()
{
    std::vector<T*> found;
    for (CWnd* wnd : TopLevelWindowObjects())
        if (auto* w = dynamic_cast<T*>(wnd)) found.push_back(w);
    return found;
}

/// The message boxes asked since the test began (file, folder and other questions left out).
std::vector<Question> MessageBoxesAsked();

}  // namespace tarvenix::test
