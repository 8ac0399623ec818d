#pragma once

// The picture a window shows, as windows and device contexts share it.

#include <mutex>

#include <QImage>

namespace platform {

/// A window's surface together with the lock that every drawing on it takes: the
/// user-interface thread while it resizes, erases or shows the surface, and each drawing
/// call of a DC on it, from whatever thread. The DCs keep it alive, so a window destroyed
/// while a worker still holds one of its DCs leaves that DC drawing on a picture nobody shows.
struct SharedSurface {
    std::recursive_mutex mutex;
    QImage image;
};

}  // namespace platform
