#pragma once

// Enhanced metafiles, as this layer keeps them: a DC that records its drawing calls, the
// recording's handle, replay into another DC, and the recording as SVG (for the clipboard
// and for files). Recordings live in memory; a file name given at creation is not used.

#include <string>

#include "platform/gdi/dc.h"

/// A recording DC. `frame` is in hundredths of a millimetre (null: the bounds of what is
/// drawn); `reference` and `file` are not needed.
PLATFORM_API HDC CreateEnhMetaFile(HDC reference, LPCSTR file, const RECT* frame, LPCSTR description);
/// Ends the recording; the DC goes and the recording stays (delete it with DeleteEnhMetaFile).
PLATFORM_API HENHMETAFILE CloseEnhMetaFile(HDC dc);
PLATFORM_API BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);
PLATFORM_API HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE metafile, LPCSTR file);
/// Draws the recording with its frame's top-left corner at the rectangle's (no scaling).
PLATFORM_API BOOL PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect);
/// The recording as an SVG document (UTF-8); empty for a bad handle. Raster operations
/// other than copies are drawn as copies; pattern brushes show their colour.
PLATFORM_API std::string GetEnhMetaFileSvg(HENHMETAFILE metafile);

class PLATFORM_API CMetaFileDC : public CDC {
public:
    CMetaFileDC() = default;
    ~CMetaFileDC() override;
    BOOL CreateEnhanced(CDC* reference, LPCTSTR file, const RECT* frame, LPCTSTR description);
    HENHMETAFILE CloseEnhanced();
    /// What has been recorded so far, as SVG.
    std::string GetSvg() const;
};

/// What GetEnhMetaFileHeader tells of a recording (the fields the suite reads).
struct ENHMETAHEADER {
    DWORD iType;     ///< EMR_HEADER
    DWORD nSize;     ///< the size of this record
    RECT rclBounds;  ///< what is drawn, in device pixels, right and bottom included; (0, 0, -1, -1) when
                     ///< nothing
    RECT rclFrame;   ///< the frame in hundredths of a millimetre (the bounds when none was given)
    DWORD nRecords;  ///< the number of drawing records
};
constexpr DWORD EMR_HEADER = 1;
/// Fills `header` (when not null and `size` holds it); returns the header's size, 0 for a bad handle.
PLATFORM_API UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header);

/// Clipboard formats: a 32-bit bitmap and a recording.
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_ENHMETAFILE = 14;
/// Adds data to the open clipboard change. CF_BITMAP (a 32-bit bitmap) and CF_ENHMETAFILE
/// are taken: a bitmap goes on as an image, a recording as a drawing (SVG), both copied at
/// once, so, unlike the system's clipboard, the handle stays the caller's. Returns `data`, or null when no change is open or the format
/// or handle is not taken.
PLATFORM_API HANDLE SetClipboardData(UINT format, HANDLE data);
