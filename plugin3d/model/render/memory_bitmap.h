#pragma once

// TKMemoryBitmap: the off-screen picture of a drawing system. A device-independent bitmap of
// one of six pixel formats, its pixels in a mapping of fresh memory kept in whole 512 KiB
// steps, selected into a memory device context of its own so that a viewer can copy it to
// the screen; an optional palette for the 8-bit format; and a `.bmp` file written from it.
// Rows are bottom-up: the first row in memory is the picture's bottom row.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_change_object.h"

/// The memory bitmap's pixel formats, shared with the drawing system's colour types.
enum TKPixelFormat : std::int32_t {
    kpfNone = 0,       ///< no picture, no pixel memory
    kpfIndexed8 = 1,   ///< palette indices, 8 bits
    kpfRgb555 = 2,     ///< 16 bits, 5-5-5
    kpfRgb565 = 3,     ///< 16 bits, 5-6-5 (bit fields)
    kpfRgb888 = 4,     ///< 24 bits
    kpfRgb888x = 5,    ///< 32 bits, 8-8-8 (bit fields)
    kpfRgb111110 = 6,  ///< 32 bits, 11-11-10 (bit fields)
};

/// Bits per pixel of a format (0 for none or an unknown code).
int PixelFormatBits(std::int32_t format);

/// The info block a bitmap holds: the header, room for 256 colour entries (blue, green,
/// red, 0) or three masks and a zero dword, and one spare dword.
struct TKBitmapInfoBlock {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    DWORD spare;
};
static_assert(sizeof(TKBitmapInfoBlock) == 1068, "the info block is 1068 bytes");

/// Events of a memory bitmap beside the generic ones: around the writing of a file.
enum TKMemoryBitmapEvent : int { kmbSaveStarted = 4096, kmbSaveFinished = 4097 };

class TKMemoryBitmap : public TKCustomChangeObject {
    DECLARE_TCLASS(TKMemoryBitmap)

    /// The step in which pixel memory is mapped, and the most that is mapped.
    static constexpr std::int64_t kMappingStep = 0x80000;
    static constexpr std::int64_t kMappingLimit = 0x7FF80000;

    // Slot 3. The device context and a zeroed info block: format 0, no pixel memory.
    void Init() override;
    /// Takes palette, format, size and pixels of another memory bitmap inside an update.
    void Assign(TPersistent* source) override;
    // Slot 20. Writes the picture as a .bmp file through the atomic writer, between events
    // 4096 and 4097. Inside an update or with format 0 nothing is written (an existing file
    // stays as it was) and the answer is false. A file that cannot be written raises the
    // system's error.
    virtual bool SaveToFile(const std::string& fileName);

    /// Changes the format (codes 0..6), keeping the size; events 4 and 5 around a change.
    void SetPixelFormat(std::int32_t format);
    std::int32_t PixelFormat() const;
    /// Changes the size, keeping the format; negative sizes are refused.
    void SetSize(std::int32_t width, std::int32_t height);
    /// 0: width, 1: height, other selectors 0.
    std::int32_t GetSize(int selector) const;

    /// Takes a copy of the palette's entries (null drops the bitmap's own palette).
    void SetPalette(HPALETTE palette);
    /// Sets entries start.. (cut to 256) of the palette, made from the system palette when
    /// there is none yet, and copies all 256 into the colour tables.
    void SetPaletteEntries(int start, int count, const PALETTEENTRY* entries);
    HPALETTE Palette() const;

    /// Bytes of one row: bits per pixel / 8 * width, rounded up to 4.
    std::int64_t RowBytes() const;
    /// RowBytes * height; 0 without pixel memory.
    std::int64_t ImageBytes() const;
    /// The first row in memory (the picture's bottom row), or null.
    void* Pixels() const;
    /// The memory device context the picture is selected into. Take LockCanvas around uses
    /// (re-entrant; on a job thread it gives up with EAbort once the job's stop is requested).
    HDC Canvas() const { return m_dc; }
    void LockCanvas() const { EnterSection(m_canvasLock); }
    void UnlockCanvas() const { LeaveSection(m_canvasLock); }
    /// Bytes of the pixel memory's mapping (whole 512 KiB steps).
    std::int64_t MappingSize() const;
    /// A copy of the info block as held.
    TKBitmapInfoBlock Info() const;

protected:
    TKMemoryBitmap();
    ~TKMemoryBitmap() override;

private:
    void SetFormat(std::int32_t width, std::int32_t height, std::int32_t format);
    void SetMappingSize(std::int64_t bytes);
    void ReleaseSection();
    void SetPaletteHandle(HPALETTE palette);
    void CopyPaletteToColorTables();

    std::unique_ptr<TKBitmapInfoBlock> m_info;
    HANDLE m_mapping = nullptr;
    std::int64_t m_mappingSize = 0;
    HBITMAP m_section = nullptr;
    HGDIOBJ m_replaced = nullptr;
    HPALETTE m_palette = nullptr;
    std::int32_t m_format = kpfNone;
    void* m_pixels = nullptr;
    HDC m_dc = nullptr;
    mutable CRITICAL_SECTION m_canvasLock{};
};

/// The screen's pixel format (8 -> 1, 15 -> 2, 16 -> 3, 24 -> 4, 32 -> 6, else 0) and its
/// width and height.
std::int32_t GetScreenPixelFormat(std::int32_t* width, std::int32_t* height);
