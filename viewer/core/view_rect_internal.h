#pragma once

// Messages of the view window that only it and its parent exchange.

#include "platform/window/messages.h"

/// -> view window: wParam the cursor kind to show.
inline constexpr UINT kWmViewCursor = WM_USER + 510;
/// View window -> parent: wParam 1 mouse moved or pressed, 2 pointer moved, 3 coordinate law set.
inline constexpr UINT kWmViewRect = WM_USER + 511;
/// -> view window: answers 1.
inline constexpr UINT kWmViewRectAlive = WM_USER + 513;

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/geometry.h"

class CPropertyList;

/// What the selection outline's thread shares with the window. The window changes the
/// screen region only while it holds the lock, and the thread draws only while it holds
/// it, so a pause (taking the lock once with `paused` set) waits for a frame in progress.
struct OutlineState {
    std::mutex lock;
    std::condition_variable wake;
    bool stop = false;
    bool paused = false;
    HWND window = nullptr;
    HRGN screen = nullptr;  ///< the selection in client pixels, clipped near the client
    HRGN frame = nullptr;   ///< its one-pixel inner border: what each frame paints
    BYTE stripes[8][8] = {};
    std::thread thread;
    std::atomic<long> frames{0};  ///< frames drawn so far
    ~OutlineState();
};

/// The overlay figures the view window keeps until the figure layer takes them over: the
/// measure line's nodes and its property list.
struct ViewFigureStandIn {
    bool measure = false;
    std::vector<CPoint> nodes;
    std::unique_ptr<CPropertyList> properties;
    ViewFigureStandIn();
    ~ViewFigureStandIn();
};
