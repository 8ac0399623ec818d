#pragma once

// The setter convention of the camera, the lights and the reflection law: under the object's
// lock, and only when a value differs, one update around storing all values and the
// notification, so listeners see 4, the notification's events, then 5.

#include <array>
#include <cstddef>

#include "plugin3d/model/core/k_change_object.h"

/// Stores values into fields as above; notify() runs inside the update unless the object is
/// being destroyed. True when a value differed.
template <std::size_t N, class Notify>
bool StoreInUpdate(TKCustomChangeObject& object, const std::array<double*, N>& fields,
                   const std::array<double, N>& values, Notify&& notify)
{
    TKObjectLock lock(object);
    bool same = true;
    for (std::size_t i = 0; i < N; ++i) same = same && *fields[i] == values[i];
    if (same) return false;
    object.WithinUpdate([&] {
        for (std::size_t i = 0; i < N; ++i) *fields[i] = values[i];
        if (!object.IsDestroying()) notify();
    });
    return true;
}
