#pragma once

// CVectorImage: the vector overlay of a raster. Any number of layers, each with a colour and
// two ordered lists, points and polylines, in picture pixels of the raster it lies over.
//
// The whole overlay is one block laid out byte for byte as the payload of tag 500 of a layer
// file, at all times: every link is a 32-bit byte offset from the start of the block (0 ends
// a list), in memory as in the file, so opening and saving copy bytes and moving the block
// touches no link. Payload (little-endian):
//   +0 total size (stored on save)  +4 zero  +8 zero  +12 layer count N  +16 total size
//   +20 N layer records of 28 bytes: colour, points, lines, first point, first line,
//       last point, last line
//   then the point nodes (12 bytes) and line nodes (8 + 8 x vertices) in the order added.

#include <cstdint>
#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/types.h"

class CDC;
class CWnd;

/// A point node: 12 bytes in the block.
struct Point {
    float x = 0.0f;
    float y = 0.0f;
    std::uint32_t next = 0;  ///< offset of the next point in the block; 0 ends the list
};
static_assert(sizeof(Point) == 12);

/// A polyline node: 8 bytes of head, then `count` vertex pairs x, y (32-bit floats). A line to
/// add is built in a buffer of LineBytes(count) bytes.
struct Line {
    std::uint32_t count = 0;  ///< number of vertices
    std::uint32_t next = 0;   ///< offset of the next line in the block; 0 ends the list

    float* Vertices() { return reinterpret_cast<float*>(this + 1); }
    const float* Vertices() const { return reinterpret_cast<const float*>(this + 1); }
};
static_assert(sizeof(Line) == 8);

/// Bytes of a line node of `count` vertices.
constexpr std::int64_t LineBytes(std::uint32_t count)
{
    return 8 + 8 * static_cast<std::int64_t>(count);
}

/// The tag key of the overlay in a layer file.
inline constexpr int kVectorOverlayTag = 500;

class CVectorImage {
public:
    /// `owner`: the window the device-context-less Paint draws into (may be null).
    explicit CVectorImage(CWnd* owner = nullptr);
    ~CVectorImage();
    CVectorImage(const CVectorImage&) = delete;
    CVectorImage& operator=(const CVectorImage&) = delete;

    /// Loads tag 500 of the layer file. 0 when already open, when the file has no overlay, or
    /// when the overlay is damaged (the user is told which file; the image stays closed).
    int Open(const char* path);
    /// Starts an empty overlay that Save writes to `path`; `size` is the first capacity in
    /// bytes (0: 0x80000). The file is not touched. 0 when already open.
    int Create(const char* path, int size);
    /// Replaces tag 500 of the named file in one step and closes the image. 0 when not open
    /// or when writing fails; the file then keeps its old overlay and the image stays open.
    int Save();
    /// Frees the block; the name stays.
    void Destroy();
    int IsOpen() const { return m_bOpen; }
    int GetNumLayer() const { return m_nLayers; }

    /// Appends a layer (no points, no lines, paint mode 0). 0 when not open.
    int AddLayer(std::uint32_t colour);
    /// Appends a copy of the point's x and y to the layer's point list. Always 0.
    int Add(int layer, const Point& point);
    /// Appends a copy of the line (count and vertices) to the layer's line list. Always 0.
    int Add(int layer, const Line& line);

    /// The layer's colour (0x00BBGGRR); 0 outside 0..count-1.
    std::uint32_t GetColor(int layer) const;
    void SetColor(int layer, std::uint32_t colour);
    /// When open: sets the paint mode of every layer (layer -1) or of one layer.
    void SetPaintMode(int mode, int layer);
    int GetPaintMode(int layer) const;
    /// Entries of the paint-mode array (10 at first, then layer count + 5 when it grows).
    int GetPaintModeCount() const { return static_cast<int>(m_PaintModes.size()); }

    /// Draws one layer, or (layer -1) every layer whose paint mode is non-zero. `scale` is
    /// picture pixels per screen pixel, `origin` the picture position at the device origin.
    /// 0 when not open.
    int Paint(CDC* dc, double scale, CPoint origin, int layer);
    /// The same into a client-area device context of the owner window; 0 without an owner.
    int Paint(double scale, CPoint origin, int layer);

    /// Iterators: SetFirst, then GetNext until null. Null when not open or for a layer out of
    /// range.
    Point* SetFirstPoint(int layer);
    Line* SetFirstLine(int layer);
    Point* GetNextPoint();
    Line* GetNextLine();
    /// 1 when not open, out of range, or with neither points nor lines.
    int LayerIsEmpty(int layer) const;

    /// The block as it stands (the tag payload); null when closed.
    const BYTE* GetBlock() const { return m_bOpen ? m_pBlock : nullptr; }
    /// Used bytes of the block (the total size).
    std::int64_t GetTotalSize() const;
    std::int64_t GetCapacity() const { return m_nCapacity; }
    CString GetName() const { return m_Name; }

private:
    int PaintOneLayer(CDC* dc, double scale, CPoint origin, int layer);
    /// Moves the block to a new allocation of `capacity` bytes. 0 when not open or smaller.
    int Resize(std::int64_t capacity);
    /// Makes room for `bytes` more; false when the payload would pass its 32-bit limit.
    bool Reserve(std::int64_t bytes);
    BYTE* Record(int layer) const;
    void GrowPaintModes();
    void Clear();

    CWnd* m_pOwner = nullptr;
    int m_bOpen = 0;
    CString m_Name;
    BYTE* m_pBlock = nullptr;
    std::int64_t m_nFree = 0;  ///< offset of the first free byte
    std::int64_t m_nCapacity = 0;
    Point* m_pPointCursor = nullptr;
    Line* m_pLineCursor = nullptr;
    int m_nLayers = 0;
    std::vector<int> m_PaintModes;
};
