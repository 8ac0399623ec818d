#pragma once

// The two description texts of a layer file: its caption (tag 600) and its description
// (tag 601). A text is stored as its UTF-8 bytes followed by one zero byte. Texts written
// by older tools in the Cyrillic 8-bit code page (Windows-1251) are recognised on reading
// (bytes that are not valid UTF-8) and converted, so callers always receive UTF-8.

#include "platform/cstring.h"
#include "platform/types.h"

class CLayerDescription {
public:
    static constexpr int kCaptionTag = 600;
    static constexpr int kDescriptionTag = 601;
    /// Longest text stored or read, in bytes; larger tags are refused rather than loaded.
    static constexpr int kMaxTextBytes = 1 << 20;

    /// Reads tag `id` (600 or 601) of layer 0 of `path` into `text` (UTF-8). The text ends
    /// at its first zero byte or at the end of the tag, whichever comes first. FALSE, with
    /// `text` emptied and the last-error code set, when the file or the tag is missing, the
    /// id is not a description id or the tag is larger than kMaxTextBytes.
    static BOOL GetDescriptionTag(LPCTSTR path, int id, CString& text);
    /// Writes `text` (UTF-8, up to kMaxTextBytes) as tag `id` (600 or 601) of layer 0 of an
    /// existing file, through the tag functions' safe rewrite. FALSE with the last-error
    /// code set on failure; the file is then unchanged.
    static BOOL SetDescriptionTag(LPCTSTR path, int id, LPCTSTR text);

    /// True for the two description ids.
    static constexpr bool IsDescriptionId(int id) { return id == kCaptionTag || id == kDescriptionTag; }
    /// The bytes as UTF-8: valid UTF-8 stays as it is, anything else is taken as Windows-1251.
    static CString DecodeText(const char* bytes, int length);
};
