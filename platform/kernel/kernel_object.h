#pragma once

// The process's table of kernel handles (files, mappings, threads, events). Handles are
// looked up before use, so a stale or foreign handle gives ERROR_INVALID_HANDLE instead of
// a crash, and an object lives while a call that looked it up still uses it.

#include <memory>

#include "platform/last_error.h"
#include "platform/types.h"

namespace platform {

/// Base of every object a kernel handle refers to.
class KernelObject {
public:
    virtual ~KernelObject() = default;
};

/// Enters an object into the table and returns its new handle.
PLATFORM_API HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);
/// Removes a handle from the table; the object goes when its last user lets go of it.
/// False when the handle is unknown.
PLATFORM_API bool ReleaseHandle(HANDLE handle);
/// The object behind a handle, or null when the handle is unknown.
PLATFORM_API std::shared_ptr<KernelObject> LookupKernelObject(HANDLE handle);

/// The object behind a handle, or null (and ERROR_INVALID_HANDLE) when the handle is
/// unknown or refers to an object of another kind.
template <class T>
std::shared_ptr<T> LookupHandle(HANDLE handle)
{
    auto object = std::dynamic_pointer_cast<T>(LookupKernelObject(handle));
    if (!object) ::SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace platform
