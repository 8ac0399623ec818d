#pragma once

// The handle of every drawing object and the framework's base wrapper class.

#include <type_traits>

#include "platform/gdi/gdi_types.h"

/// Deletes a pen, brush, font, bitmap, palette or region. Stock objects stay (TRUE).
/// A bitmap selected into a device context is refused (FALSE); a pen, brush, font or
/// palette still selected somewhere goes when it is deselected.
PLATFORM_API BOOL DeleteObject(HGDIOBJ object);
/// Copies the object's description: BITMAP or DIBSECTION for bitmaps, LOGPEN, LOGBRUSH,
/// LOGFONT, or the entry count (WORD) of a palette. Returns the bytes written, 0 on failure;
/// with a null buffer, the size needed.
PLATFORM_API int GetObject(HGDIOBJ object, int size, void* buffer);
/// The shared stock pens, brushes, fonts and palette (WHITE_BRUSH, NULL_PEN, ...).
PLATFORM_API HGDIOBJ GetStockObject(int which);

/// The typed handles of drawing objects, accepted wherever any drawing object is.
template <class H>
concept GdiHandle = std::is_same_v<H, HPEN> || std::is_same_v<H, HBRUSH> || std::is_same_v<H, HFONT> ||
                    std::is_same_v<H, HBITMAP> || std::is_same_v<H, HRGN> || std::is_same_v<H, HPALETTE>;
template <GdiHandle H>
inline BOOL DeleteObject(H object)
{
    return DeleteObject(reinterpret_cast<HGDIOBJ>(object));
}
template <GdiHandle H>
inline int GetObject(H object, int size, void* buffer)
{
    return GetObject(reinterpret_cast<HGDIOBJ>(object), size, buffer);
}

/// The framework's wrapper of one drawing object handle; it deletes the object it
/// holds when it is destroyed (Detach first to keep it).
class PLATFORM_API CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;

    operator HGDIOBJ() const { return m_hObject; }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    BOOL CreateStockObject(int which);
    int GetObject(int size, void* buffer) const { return ::GetObject(m_hObject, size, buffer); }
    BOOL UnrealizeObject() { return m_hObject != nullptr; }

    /// A wrapper of a handle that the caller does not own; it lives as long as the thread
    /// and never deletes the handle.
    static CGdiObject* FromHandle(HGDIOBJ object);
};

namespace platform::gdi {
/// Keeps one non-owning wrapper of type T per handle for the calling thread.
CGdiObject* TemporaryWrapper(HGDIOBJ handle, int typeTag, CGdiObject* (*make)());
}  // namespace platform::gdi

/// A non-owning wrapper of the derived class T for a handle (the FromHandle of each class).
template <class T>
T* GdiFromHandle(HGDIOBJ handle, int typeTag)
{
    if (!handle) return nullptr;
    return static_cast<T*>(platform::gdi::TemporaryWrapper(handle, typeTag, [] { return static_cast<CGdiObject*>(new T); }));
}
