#pragma once

// Helpers around layer files: temporary names, the viewer's temporary pyramid files,
// reduced previews and a trimmed value range.

#include <cstdint>
#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

/// The system's temporary folder (TMPDIR, else /tmp), without a trailing "/".
CString GetTempFolder();
/// A full name in `folder` (the temporary folder when null or empty) that no file has,
/// made of `prefix` (default "rdp"), a unique part and `extension` (default ".rdp").
CString GetNotExistFileName(const char* folder = nullptr, const char* prefix = nullptr,
                            const char* extension = nullptr);
/// Nonzero when a file (not a folder) of that name exists.
BOOL FileFind(const char* path);

/// The extension (without the dot) of the viewer's temporary pyramid file for a display
/// mode: "tp0" to "tp3"; `reserved` is 0.
CString FormTmpExt(int mode, int reserved = 0);
/// The header of a temporary pyramid file.
struct STmpInfo {
    int stretchMethod = 0;
    double low = 0.0;
    double high = 0.0;
    std::uint32_t sourceTime = 0;  ///< modification time of the source file (32-bit)
};
/// The modification time of a file as kept in the pyramid header; 0 when it does not exist.
std::uint32_t GetSourceFileTime(const char* path);
/// Reads the header of a temporary pyramid file; nonzero on success.
BOOL GetTMPInfo(const char* tmpPath, STmpInfo* info);
/// The temporary pyramid file of `path` for `mode` that belongs to it (its header names the
/// source's current modification time): beside the source, else in `tempFolder`. Empty when none.
CString FindTMPFile(const char* path, int mode, const char* tempFolder = nullptr);
/// Removes the temporary pyramid files of `path` for `mode` beside the source and in
/// `tempFolder`; nonzero when none is left.
BOOL DeleteTMP(const char* path, int mode, const char* tempFolder = nullptr);

/// A reduced raster of doubles: width x height values, row after row, bottom row first.
struct SDoublePreviewImage {
    int width = 0;
    int height = 0;
    std::vector<double> data;
};
/// A reduced raster of display levels 0..255 between the statistics' minimum and maximum,
/// bottom row first.
struct S256PreviewImage {
    int width = 0;
    int height = 0;
    BOOL complex = FALSE;
    std::vector<BYTE> pixels;
};
/// The largest side of a preview.
inline constexpr int kPreviewSide = 256;
/// A preview of layer 0 of `path` (every n-th sample so that no side exceeds 256); `mode`
/// is the component of complex layers (0 amplitude, 1 phase, 2 real, 3 imaginary; real
/// layers ignore it). Needs the file's statistics (tag 2). Nonzero on success.
BOOL GetPreviewImage(const char* path, SDoublePreviewImage& image, int mode);
BOOL GetPreviewImage256(const char* path, S256PreviewImage& image, int mode);

/// A trimmed range from a 256-bin histogram over min..max: the bins holding the lowest and
/// the highest 0.5 % of the samples are cut off. Nonzero on success; FALSE when min or max
/// is infinite or NaN.
BOOL PseudoMinMaxCalculator(double min, double max, const DWORD* hist, double* low, double* high);
