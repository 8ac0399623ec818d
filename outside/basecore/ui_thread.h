#pragma once

// How the core library's threads reach the user-interface thread.

#include <functional>

namespace basecore {

/// True when the process runs a widget application (windows can be shown).
bool HasWindows();
/// True on the thread that runs the application's message loop.
bool IsUiThread();
/// Queues `fn` to run on the user-interface thread; runs it at once when there is no
/// application (a tool run without windows).
void PostToUiThread(std::function<void()> fn);
/// Runs `fn` on the user-interface thread and waits for it (at once when called there).
void CallOnUiThread(const std::function<void()>& fn);

}  // namespace basecore
