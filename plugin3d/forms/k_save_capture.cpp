#include "plugin3d/forms/k_save_capture.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

struct Capture {
    const void* key;
    std::function<void()> run;
};

std::mutex g_mutex;
std::vector<Capture> g_captures;

}  // namespace

void AddSaveCapture(const void* key, std::function<void()> capture)
{
    std::lock_guard lock(g_mutex);
    for (Capture& c : g_captures)
        if (c.key == key) {
            c.run = std::move(capture);
            return;
        }
    g_captures.push_back({key, std::move(capture)});
}

void RemoveSaveCapture(const void* key)
{
    std::lock_guard lock(g_mutex);
    g_captures.erase(std::remove_if(g_captures.begin(), g_captures.end(),
                                    [key](const Capture& c) { return c.key == key; }),
                     g_captures.end());
}

void CaptureFormsForSave()
{
    // A capture may make or free forms (it never does today): run a copy, outside the lock.
    std::vector<Capture> captures;
    {
        std::lock_guard lock(g_mutex);
        captures = g_captures;
    }
    for (const Capture& c : captures) {
        {
            std::lock_guard lock(g_mutex);
            const bool live = std::any_of(g_captures.begin(), g_captures.end(),
                                          [&](const Capture& other) { return other.key == c.key; });
            if (!live) continue;
        }
        if (c.run) c.run();
    }
}
