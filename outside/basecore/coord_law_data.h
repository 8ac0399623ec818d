#pragma once

// The coordinate law of a raster: logical (map) coordinates of its pixels, linear per axis,
//   X = kx x + bx,  Y = ky y + by
// for column x and row y. A raster without a law has pixel coordinates (kx = ky = 1,
// bx = by = 0).

#include <cstdint>

#include "outside/basecore/rect_t.h"
#include "platform/geometry.h"
#include "platform/types.h"

/// Tag key of the coordinate law in layer 0 of a layer file. Payload, 40 bytes, little-endian:
///   +0 int32 40 (the payload's size), +4 int32 1 (the format),
///   +8 double kx, +16 double bx, +24 double ky, +32 double by.
/// A law with another size or format word, a value that is not finite or a zero scale is
/// damaged and read as no law.
inline constexpr int TAG_COORD_LAW = 700;

class CRDPLayer;
inline constexpr int kCoordLawBytes = 40;

class CCoordLawData {
public:
    /// Pixel coordinates.
    CCoordLawData() = default;

    /// Takes the law of `path` (layer 0). Without a sound law tag (no file, no tag, a
    /// damaged one) the law becomes pixel coordinates and the result is FALSE.
    BOOL LoadData(const char* path);
    /// The same from an open layer, without looking at its file again.
    BOOL LoadData(const CRDPLayer& layer);
    /// Sets the law from the logical values at the edges of the raster of `path` (its width
    /// and height from the file's header): column 0 at xFrom, column `width` at xTo, row 0 at
    /// yFrom, row `height` at yTo; then stores it in the file. FALSE, and the law unchanged,
    /// when the file has no readable header, a value is not finite, or a range is empty.
    BOOL SaveData(const char* path, double xFrom, double xTo, double yFrom, double yTo);
    /// Sets the law X = kx x + bx, Y = ky y + by and stores it in `path`. FALSE, and the law
    /// unchanged, for a value that is not finite or a zero scale, or when the file cannot take it.
    BOOL SaveDataKt(const char* path, double kx, double bx, double ky, double by);
    /// The same into a layer being written, as storing it in the file once closed would.
    BOOL SaveDataKt(CRDPLayer& layer, double kx, double bx, double ky, double by);
    /// Stores the current law in `path` (a pixel law too).
    BOOL SaveLaw(const char* path) const;
    /// Sets the law (not stored) so that pixel (0, 0) lies at (xFrom, yFrom) and pixel
    /// (width - 1, height - 1) at (xTo, yTo); a side of one pixel takes to - from as its
    /// pixel size. 1 on success; 0, and the law unchanged, for a size below 1, a value that
    /// is not finite or an empty range.
    int SetDataManual(int width, int height, double xFrom, double xTo, double yFrom, double yTo);
    /// Back to pixel coordinates.
    void Reset();

    /// The logical coordinates of pixel (x, y).
    CPointT<double> GetLogicalCoord(double x, double y) const { return {m_kx * x + m_bx, m_ky * y + m_by}; }
    CPointT<double> GetLogicalCoord(CPoint pt) const { return GetLogicalCoord(double(pt.x), double(pt.y)); }
    /// The pixel position (fractional) of logical coordinates (X, Y).
    CPointT<double> GetFileCoord(double X, double Y) const { return {(X - m_bx) / m_kx, (Y - m_by) / m_ky}; }
    /// The size of one pixel in logical units along x and y (magnitudes). Nonzero when the
    /// law is not plain pixel coordinates.
    BOOL GetPixelSize(double& x, double& y) const;
    /// Nonzero when a law was loaded or set (not plain pixel coordinates).
    BOOL IsLawSet() const { return m_set; }

    double Kx() const { return m_kx; }
    double Bx() const { return m_bx; }
    double Ky() const { return m_ky; }
    double By() const { return m_by; }

private:
    /// Sets the law when it is sound.
    bool Set(double kx, double bx, double ky, double by);
    /// Sets the law from a law tag's payload of `size` bytes when it is sound.
    BOOL LoadPayload(const BYTE* payload, std::int64_t size);

    double m_kx = 1.0;
    double m_bx = 0.0;
    double m_ky = 1.0;
    double m_by = 0.0;
    BOOL m_set = FALSE;
};

/// Gives the part of a raster cut at `origin` (its pixel (0, 0) is pixel origin of the
/// source) the source's coordinates: the coordinate law of `sourcePath` (pixel coordinates
/// when it has none) moved by the origin, and, when the target holds a geographic reference
/// (tags 302 and 303), its picture transform (tag 308) moved by the origin too. Nonzero on
/// success.
BOOL SaveSubsetTransform(POINT origin, const char* sourcePath, const char* targetPath);
