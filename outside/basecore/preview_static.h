#pragma once

// The preview area of the tool dialogs: a window laid over a static control of the
// template that shows either a text or an 8-bit picture with its palette, scaled to fit.
// It can hold several pictures of one size (the components of a complex file); a click
// shows the next one.

#include <cstdint>
#include <vector>

#include "platform/cstring.h"
#include "platform/gdi/gdi_types.h"
#include "platform/window/wnd.h"

class CPreviewStatic : public CWnd {
public:
    CPreviewStatic() = default;
    ~CPreviewStatic() override = default;

    /// Lays the preview over control `id` of `dialog`. `mode` is kept for the callers
    /// (1 tool previews, 2 channel previews). Nonzero on success.
    BOOL Init(CWnd* dialog, UINT id, int mode);
    /// Shows `text` (lines split at "\n") instead of a picture.
    void SetText(const CString& text);
    /// Reads layer 0 of `path` and shows it between its minimum and maximum, in the colours
    /// of its palette tag (grey without one). Everything shown is taken from the file during
    /// the call, so the file may be deleted right after. FALSE (and the text stays) when the
    /// file cannot be read.
    BOOL SetSourceFile(const char* path);
    /// Shows one picture: width x height 8-bit pixels, bottom row first, and 256 palette
    /// entries of four bytes (blue, green, red, unused).
    void SetBitmapData(const BYTE* pixels, int width, int height, const BYTE* palette);
    /// Holds `count` pictures of width x height pixels one after another, each with its own
    /// palette (count x 1024 bytes), and shows picture `first`.
    void SetBitmapData(const BYTE* pixels, int width, int height, int count, const BYTE* palettes, int first);

    /// The picture shown (0 .. count - 1), -1 while a text is shown.
    int GetImageIndex() const { return m_text.IsEmpty() && m_count > 0 ? m_index : -1; }
    int GetImageCount() const { return m_count; }
    /// Shows picture `index` when there is one.
    void SetImageIndex(int index);
    /// The text shown ("" while a picture is shown).
    const CString& GetText() const { return m_text; }
    int GetMode() const { return m_mode; }

protected:
    void OnPaint();
    void OnLButtonDown(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    int m_mode = 0;
    CString m_text;
    int m_width = 0;
    int m_height = 0;
    int m_count = 0;
    int m_index = 0;
    std::vector<BYTE> m_pixels;    // m_count pictures, rows padded to 4 bytes, bottom row first
    std::vector<BYTE> m_palettes;  // m_count x 1024 bytes
};
