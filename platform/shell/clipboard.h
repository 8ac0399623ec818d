#pragma once

// The clipboard as the suite fills it: text, a bitmap and a drawing. The drawing is SVG
// (mime type "image/svg+xml"), our stand-in for the enhanced metafile. As with the
// system's clipboard, a change is made between OpenClipboard and CloseClipboard:
// EmptyClipboard starts from nothing, otherwise formats are added to what is there, so a
// bitmap and a drawing set by two separate changes both stay.

#include "platform/cstring.h"
#include "platform/shell/clipboard_change.h"
#include "platform/types.h"

class QByteArray;
class QImage;

namespace platform {

/// The mime type of drawings on the clipboard.
constexpr const char* kClipboardDrawingMime = "image/svg+xml";

/// Add a format to the open change; false when no change is open.
PLATFORM_API bool SetClipboardText(const CString& text);
PLATFORM_API bool SetClipboardImage(const QImage& image);
PLATFORM_API bool SetClipboardDrawing(const QByteArray& svg);

/// What the clipboard holds now (empty when it holds no such format). Call these on the
/// user-interface thread.
PLATFORM_API CString ClipboardText();
PLATFORM_API QImage ClipboardImage();
PLATFORM_API QByteArray ClipboardDrawing();

}  // namespace platform
