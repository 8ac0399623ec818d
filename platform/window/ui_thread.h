#pragma once

// Running code on the user-interface thread from any thread. The user-interface thread is
// the thread the QApplication was created on.
//
// The blocking form waits until the user-interface thread has run the function; the
// user-interface thread runs such requests from any event loop, modal loops and message
// boxes included. Called on the user-interface thread itself, it runs the function inline,
// so it never deadlocks. The user-interface thread never waits for a worker, so these are
// the only waits: a worker on the user-interface thread.

#include <functional>
#include <type_traits>
#include <utility>

#include "platform/types.h"

namespace platform {

/// True when the process runs a widget application (windows can be shown).
PLATFORM_API bool HasWindows();

/// True on the user-interface thread (or when no application object exists yet).
PLATFORM_API bool IsUiThread();

/// Runs fn on the user-interface thread and returns when it has run. An exception that fn
/// throws is carried back and rethrown in the caller.
PLATFORM_API void RunOnUiThread(const std::function<void()>& fn);

/// Queues fn to run on the user-interface thread and returns at once (any thread); runs it
/// at once when there is no application (a tool run without windows).
PLATFORM_API void PostToUiThread(std::function<void()> fn);

/// Runs fn on the user-interface thread and returns its result (blocking form).
template <class F>
auto CallOnUiThread(F&& fn) -> decltype(fn())
{
    using R = decltype(fn());
    if constexpr (std::is_void_v<R>) {
        RunOnUiThread(std::function<void()>(std::forward<F>(fn)));
    } else {
        R result{};
        RunOnUiThread([&] { result = fn(); });
        return result;
    }
}

}  // namespace platform
