#include "viewer/core/vector_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <limits>

#include "outside/basecore/tags.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"

namespace {

constexpr std::int64_t kHeaderBytes = 20;
constexpr std::int64_t kRecordBytes = 28;
constexpr std::int64_t kPointBytes = 12;
constexpr std::int64_t kGrowStep = 0x80000;
// Links and sizes in the payload are 32-bit; the tag layer's sizes are signed.
constexpr std::int64_t kMaxPayload = std::numeric_limits<std::int32_t>::max();

// Field offsets of a layer record.
constexpr int kColour = 0, kPoints = 4, kLines = 8, kFirstPoint = 12, kFirstLine = 16, kLastPoint = 20,
              kLastLine = 24;

std::uint32_t Get32(const BYTE* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Put32(BYTE* p, std::uint32_t v)
{
    std::memcpy(p, &v, 4);
}

/// Checks a tag 500 payload and returns its content size (20 + the layer sizes), or -1.
/// Every link must lead to a whole node past the layer records, on a 4-byte boundary; no
/// byte may belong to two nodes, so lists neither cross nor loop; each list holds exactly
/// its count of nodes, ends with a zero link and with its "last" link; and the nodes fill
/// the payload with nothing left over, so new nodes go exactly after them.
std::int64_t CheckedContentSize(const BYTE* block, std::int64_t size)
{
    if (size < kHeaderBytes) return -1;
    const std::int64_t layers = static_cast<std::int32_t>(Get32(block + 12));
    if (layers < 0 || kHeaderBytes + kRecordBytes * layers > size) return -1;
    const std::int64_t nodesStart = kHeaderBytes + kRecordBytes * layers;
    std::vector<bool> taken(static_cast<std::size_t>((size - nodesStart) / 4));
    auto claim = [&](std::int64_t link, std::int64_t bytes) {
        if (link < nodesStart || link % 4 != 0 || bytes > size - link) return false;
        for (std::int64_t w = (link - nodesStart) / 4, end = w + bytes / 4; w < end; ++w) {
            if (taken[static_cast<std::size_t>(w)]) return false;
            taken[static_cast<std::size_t>(w)] = true;
        }
        return true;
    };
    std::int64_t total = nodesStart;
    for (std::int64_t n = 0; n < layers; ++n) {
        const BYTE* record = block + kHeaderBytes + kRecordBytes * n;
        if (const std::uint32_t count = Get32(record + kPoints)) {
            std::int64_t link = Get32(record + kFirstPoint), last = 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                if (!claim(link, kPointBytes)) return -1;
                last = link;
                link = Get32(block + link + 8);
            }
            if (link != 0 || last != Get32(record + kLastPoint)) return -1;
            total += kPointBytes * count;
        }
        if (const std::uint32_t count = Get32(record + kLines)) {
            std::int64_t link = Get32(record + kFirstLine), last = 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                if (link < nodesStart || link > size - 8) return -1;
                const std::int64_t bytes = LineBytes(Get32(block + link));
                if (!claim(link, bytes)) return -1;
                total += bytes;
                last = link;
                link = Get32(block + link + 4);
            }
            if (link != 0 || last != Get32(record + kLastLine)) return -1;
        }
    }
    return total == size ? total : -1;
}

void TellDamaged(CWnd* owner, const CString& path)
{
    CString text;
    text.Format("The vector overlay of %s cannot be read: it is damaged.", static_cast<const char*>(path));
    HWND window = owner ? owner->GetSafeHwnd() : nullptr;
    platform::CallOnUiThread([&] { ::MessageBox(window, text, "Error", MB_OK | MB_ICONEXCLAMATION); });
}

/// Screen coordinate of picture coordinate v: truncation toward zero of (v - origin) / scale,
/// clamped first so that a far coordinate never overflows the conversion.
int ToScreen(double v, double origin, double scale)
{
    const double s = (v - origin) / scale;
    if (!(s == s)) return 0;
    return static_cast<int>(std::clamp(s, -1.0e9, 1.0e9));
}

// Coordinates inside this bound are drawn as they are; beyond it a segment is cut to the
// window first (drawing engines misbehave on coordinates near the integer limits).
constexpr int kSafeCoordinate = 1 << 20;

/// Cuts the segment (x0, y0)-(x1, y1) to `box` (Liang-Barsky); false when nothing is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, const RECT& box)
{
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - box.left, box.right - x0, y0 - box.top, box.bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    x1 = bx;
    y1 = by;
    return true;
}

BYTE* Allocate(std::int64_t bytes)
{
    auto* block = static_cast<BYTE*>(std::malloc(static_cast<std::size_t>(bytes)));
    if (!block) throw std::bad_alloc();
    return block;
}

}  // namespace

CVectorImage::CVectorImage(CWnd* owner) : m_pOwner(owner), m_PaintModes(10, 0) {}

CVectorImage::~CVectorImage()
{
    std::free(m_pBlock);
}

void CVectorImage::Clear()
{
    std::free(m_pBlock);
    m_pBlock = nullptr;
    m_bOpen = 0;
    m_nFree = 0;
    m_nCapacity = 0;
    m_nLayers = 0;
    m_pPointCursor = nullptr;
    m_pLineCursor = nullptr;
}

std::int64_t CVectorImage::GetTotalSize() const
{
    return m_pBlock ? Get32(m_pBlock + 16) : 0;
}

BYTE* CVectorImage::Record(int layer) const
{
    if (!m_bOpen || layer < 0 || layer >= m_nLayers) return nullptr;
    return m_pBlock + kHeaderBytes + kRecordBytes * layer;
}

void CVectorImage::GrowPaintModes()
{
    if (static_cast<int>(m_PaintModes.size()) < m_nLayers) m_PaintModes.resize(std::size_t(m_nLayers) + 5, 0);
}

int CVectorImage::Open(const char* path)
{
    if (m_bOpen || !path) return 0;
    const int size = GetSizeTag(path, kVectorOverlayTag);
    if (size <= 0) return 0;
    m_Name = path;
    const std::int64_t capacity = (std::int64_t(size) + 4095) / 4096 * 4096;
    m_pBlock = Allocate(capacity);
    m_nCapacity = capacity;
    const std::int64_t content =
        GetTag(path, kVectorOverlayTag, size, m_pBlock) ? CheckedContentSize(m_pBlock, size) : -1;
    if (content < 0) {
        Clear();
        TellDamaged(m_pOwner, m_Name);
        return 0;
    }
    Put32(m_pBlock + 16, static_cast<std::uint32_t>(content));
    m_nFree = content;
    m_nLayers = static_cast<int>(Get32(m_pBlock + 12));
    m_bOpen = 1;
    GrowPaintModes();
    std::fill_n(m_PaintModes.begin(), m_nLayers, 0);
    return 1;
}

int CVectorImage::Create(const char* path, int size)
{
    if (m_bOpen) return 0;
    m_Name = path ? path : "";
    // Whatever the caller asks for, the header must fit.
    const std::int64_t capacity = size == 0 ? kGrowStep : std::max<std::int64_t>(size, kHeaderBytes);
    m_pBlock = Allocate(capacity);
    m_nCapacity = capacity;
    std::memset(m_pBlock, 0, kHeaderBytes);
    Put32(m_pBlock + 16, static_cast<std::uint32_t>(kHeaderBytes));
    m_nFree = kHeaderBytes;
    m_nLayers = 0;
    m_bOpen = 1;
    std::fill(m_PaintModes.begin(), m_PaintModes.end(), 0);
    return 1;
}

int CVectorImage::Save()
{
    if (!m_bOpen) return 0;
    const std::int64_t total = GetTotalSize();
    Put32(m_pBlock + 0, static_cast<std::uint32_t>(total));
    Put32(m_pBlock + 4, 0);
    Put32(m_pBlock + 8, 0);
    // One rewrite through the tag layer's temporary file: a failed write leaves the old
    // overlay in the file and this image open for another try.
    TagEdits edits;
    edits.set[kVectorOverlayTag].assign(m_pBlock, m_pBlock + total);
    if (!ApplyTagEdits(m_Name, 0, edits)) return 0;
    Clear();
    return 1;
}

void CVectorImage::Destroy()
{
    if (m_bOpen) Clear();
}

int CVectorImage::Resize(std::int64_t capacity)
{
    if (!m_bOpen || capacity < m_nCapacity) return 0;
    // Links are offsets from the block's start, so moving the block changes none of them;
    // a large block usually grows where it is, without a copy.
    const std::ptrdiff_t pointAt = m_pPointCursor ? reinterpret_cast<BYTE*>(m_pPointCursor) - m_pBlock : -1;
    const std::ptrdiff_t lineAt = m_pLineCursor ? reinterpret_cast<BYTE*>(m_pLineCursor) - m_pBlock : -1;
    auto* block = static_cast<BYTE*>(std::realloc(m_pBlock, static_cast<std::size_t>(capacity)));
    if (!block) throw std::bad_alloc();
    m_pBlock = block;
    m_nCapacity = capacity;
    m_pPointCursor = pointAt >= 0 ? reinterpret_cast<Point*>(m_pBlock + pointAt) : nullptr;
    m_pLineCursor = lineAt >= 0 ? reinterpret_cast<Line*>(m_pBlock + lineAt) : nullptr;
    return 1;
}

bool CVectorImage::Reserve(std::int64_t bytes)
{
    const std::int64_t need = m_nFree + bytes;
    if (bytes < 0 || need > kMaxPayload) return false;
    if (need <= m_nCapacity) return true;
    // Whole steps of 0x80000, at least half the block at a time, so that filling a large
    // overlay copies it a few times and not once per step.
    const std::int64_t want = std::max(need, m_nCapacity + m_nCapacity / 2);
    const std::int64_t steps = (want - m_nCapacity + kGrowStep - 1) / kGrowStep;
    return Resize(m_nCapacity + steps * kGrowStep) != 0;
}

int CVectorImage::AddLayer(std::uint32_t colour)
{
    if (!m_bOpen || !Reserve(kRecordBytes)) return 0;
    const std::int64_t nodesStart = kHeaderBytes + kRecordBytes * m_nLayers;
    // Every node moves up by one record, so every link of every layer grows by 28.
    std::memmove(m_pBlock + nodesStart + kRecordBytes, m_pBlock + nodesStart,
                 static_cast<std::size_t>(m_nFree - nodesStart));
    for (int n = 0; n < m_nLayers; ++n) {
        BYTE* record = Record(n);
        if (const std::uint32_t count = Get32(record + kPoints)) {
            for (int field : {kFirstPoint, kLastPoint})
                Put32(record + field, Get32(record + field) + kRecordBytes);
            std::uint32_t link = Get32(record + kFirstPoint);
            for (std::uint32_t i = 0; i < count && link; ++i) {
                BYTE* next = m_pBlock + link + 8;
                link = Get32(next);
                if (link) Put32(next, link += kRecordBytes);
            }
        }
        if (const std::uint32_t count = Get32(record + kLines)) {
            for (int field : {kFirstLine, kLastLine})
                Put32(record + field, Get32(record + field) + kRecordBytes);
            std::uint32_t link = Get32(record + kFirstLine);
            for (std::uint32_t i = 0; i < count && link; ++i) {
                BYTE* next = m_pBlock + link + 4;
                link = Get32(next);
                if (link) Put32(next, link += kRecordBytes);
            }
        }
    }
    BYTE* record = m_pBlock + nodesStart;
    std::memset(record, 0, kRecordBytes);
    Put32(record + kColour, colour);
    m_nFree += kRecordBytes;
    Put32(m_pBlock + 16, static_cast<std::uint32_t>(m_nFree));
    ++m_nLayers;
    Put32(m_pBlock + 12, static_cast<std::uint32_t>(m_nLayers));
    m_pPointCursor = nullptr;
    m_pLineCursor = nullptr;
    GrowPaintModes();
    m_PaintModes[std::size_t(m_nLayers) - 1] = 0;
    return 1;
}

int CVectorImage::Add(int layer, const Point& point)
{
    if (!Record(layer)) return 0;
    const Point copy{point.x, point.y, 0};  // the source may lie in the block, which may move
    if (!Reserve(kPointBytes)) return 0;
    BYTE* record = Record(layer);
    const auto at = static_cast<std::uint32_t>(m_nFree);
    std::memcpy(m_pBlock + at, &copy, sizeof copy);
    const std::uint32_t count = Get32(record + kPoints);
    if (count)
        Put32(m_pBlock + Get32(record + kLastPoint) + 8, at);
    else
        Put32(record + kFirstPoint, at);
    Put32(record + kLastPoint, at);
    Put32(record + kPoints, count + 1);
    m_nFree += kPointBytes;
    Put32(m_pBlock + 16, static_cast<std::uint32_t>(m_nFree));
    return 0;
}

int CVectorImage::Add(int layer, const Line& line)
{
    if (!Record(layer)) return 0;
    const std::int64_t bytes = LineBytes(line.count);
    if (bytes > kMaxPayload) return 0;
    // A line of this image is copied first: the block may move when it grows.
    const auto* source = reinterpret_cast<const BYTE*>(&line);
    std::vector<BYTE> copy;
    if (source >= m_pBlock && source < m_pBlock + m_nCapacity) {
        copy.assign(source, source + bytes);
        source = copy.data();
    }
    if (!Reserve(bytes)) return 0;
    BYTE* record = Record(layer);
    const auto at = static_cast<std::uint32_t>(m_nFree);
    std::memcpy(m_pBlock + at, source, static_cast<std::size_t>(bytes));
    Put32(m_pBlock + at + 4, 0);
    const std::uint32_t count = Get32(record + kLines);
    if (count)
        Put32(m_pBlock + Get32(record + kLastLine) + 4, at);
    else
        Put32(record + kFirstLine, at);
    Put32(record + kLastLine, at);
    Put32(record + kLines, count + 1);
    m_nFree += bytes;
    Put32(m_pBlock + 16, static_cast<std::uint32_t>(m_nFree));
    return 0;
}

std::uint32_t CVectorImage::GetColor(int layer) const
{
    const BYTE* record = Record(layer);
    return record ? Get32(record + kColour) : 0;
}

void CVectorImage::SetColor(int layer, std::uint32_t colour)
{
    if (BYTE* record = Record(layer)) Put32(record + kColour, colour);
}

void CVectorImage::SetPaintMode(int mode, int layer)
{
    if (!m_bOpen) return;
    if (layer == -1)
        std::fill(m_PaintModes.begin(), m_PaintModes.end(), mode);
    else if (layer >= 0 && layer < static_cast<int>(m_PaintModes.size()))
        m_PaintModes[std::size_t(layer)] = mode;
}

int CVectorImage::GetPaintMode(int layer) const
{
    return layer >= 0 && layer < static_cast<int>(m_PaintModes.size()) ? m_PaintModes[std::size_t(layer)] : 0;
}

Point* CVectorImage::SetFirstPoint(int layer)
{
    const BYTE* record = Record(layer);
    if (!record) return nullptr;
    m_pPointCursor =
        Get32(record + kPoints) ? reinterpret_cast<Point*>(m_pBlock + Get32(record + kFirstPoint)) : nullptr;
    return m_pPointCursor;
}

Line* CVectorImage::SetFirstLine(int layer)
{
    const BYTE* record = Record(layer);
    if (!record) return nullptr;
    m_pLineCursor =
        Get32(record + kLines) ? reinterpret_cast<Line*>(m_pBlock + Get32(record + kFirstLine)) : nullptr;
    return m_pLineCursor;
}

Point* CVectorImage::GetNextPoint()
{
    if (!m_pPointCursor) return nullptr;
    const std::uint32_t next = m_pPointCursor->next;
    m_pPointCursor = next ? reinterpret_cast<Point*>(m_pBlock + next) : nullptr;
    return m_pPointCursor;
}

Line* CVectorImage::GetNextLine()
{
    if (!m_pLineCursor) return nullptr;
    const std::uint32_t next = m_pLineCursor->next;
    m_pLineCursor = next ? reinterpret_cast<Line*>(m_pBlock + next) : nullptr;
    return m_pLineCursor;
}

int CVectorImage::LayerIsEmpty(int layer) const
{
    const BYTE* record = Record(layer);
    return !record || (Get32(record + kPoints) == 0 && Get32(record + kLines) == 0);
}

int CVectorImage::Paint(CDC* dc, double scale, CPoint origin, int layer)
{
    if (!m_bOpen || !dc) return 0;
    if (layer != -1) {
        PaintOneLayer(dc, scale, origin, layer);
        return 1;
    }
    for (int n = 0; n < m_nLayers; ++n)
        if (GetPaintMode(n)) PaintOneLayer(dc, scale, origin, n);
    return 1;
}

int CVectorImage::Paint(double scale, CPoint origin, int layer)
{
    if (!m_bOpen || !m_pOwner || !m_pOwner->GetSafeHwnd()) return 0;
    CClientDC dc(m_pOwner);
    return Paint(&dc, scale, origin, layer);
}

int CVectorImage::PaintOneLayer(CDC* dc, double scale, CPoint origin, int layer)
{
    const BYTE* record = Record(layer);
    if (!record || !(scale > 0.0) || !std::isfinite(scale)) return 0;
    const int s = static_cast<int>(std::clamp(std::trunc(1.0 / scale), 1.0, 65536.0));
    const COLORREF colour = Get32(record + kColour);
    const double ox = origin.x, oy = origin.y;

    // Only what crosses the device's drawable area is drawn; marks and pens reach s pixels
    // right and below their position, and a wide pen s / 2 around its line.
    RECT box{};
    if (dc->GetClipBox(&box) == ERROR || box.right <= box.left || box.bottom <= box.top) return 1;
    const RECT reach{box.left - s - 1, box.top - s - 1, box.right + s + 1, box.bottom + s + 1};
    const RECT cut{box.left - 2 * s - 8, box.top - 2 * s - 8, box.right + 2 * s + 8, box.bottom + 2 * s + 8};

    if (const std::uint32_t count = Get32(record + kPoints)) {
        CBrush brush(colour);
        std::uint32_t link = Get32(record + kFirstPoint);
        for (std::uint32_t i = 0; i < count && link; ++i) {
            const auto* p = reinterpret_cast<const Point*>(m_pBlock + link);
            link = p->next;
            const int sx = ToScreen(p->x, ox, scale), sy = ToScreen(p->y, oy, scale);
            if (sx < reach.left || sx >= reach.right || sy < reach.top || sy >= reach.bottom) continue;
            if (s == 1) {
                dc->SetPixelV(sx, sy, colour);
            } else {
                const RECT mark{sx, sy, sx + s, sy + s};
                dc->FillRect(&mark, &brush);
            }
        }
    }
    if (const std::uint32_t count = Get32(record + kLines)) {
        CPen pen(PS_SOLID, s, colour);
        CPen* old = dc->SelectObject(&pen);
        std::uint32_t link = Get32(record + kFirstLine);
        std::vector<POINT> run;
        auto flush = [&] {
            if (run.size() >= 2) dc->Polyline(run.data(), static_cast<int>(run.size()));
            run.clear();
        };
        for (std::uint32_t i = 0; i < count && link; ++i) {
            const auto* line = reinterpret_cast<const Line*>(m_pBlock + link);
            link = line->next;
            const float* v = line->Vertices();
            const std::uint32_t n = line->count;
            if (n == 0) continue;
            int px = ToScreen(v[0], ox, scale), py = ToScreen(v[1], oy, scale);
            for (std::uint32_t j = 1; j < n; ++j) {
                const int qx = ToScreen(v[2 * j], ox, scale), qy = ToScreen(v[2 * j + 1], oy, scale);
                const bool crosses = std::max(px, qx) >= reach.left && std::min(px, qx) < reach.right &&
                                     std::max(py, qy) >= reach.top && std::min(py, qy) < reach.bottom;
                if (crosses) {
                    const bool safe = std::abs(px) < kSafeCoordinate && std::abs(py) < kSafeCoordinate &&
                                      std::abs(qx) < kSafeCoordinate && std::abs(qy) < kSafeCoordinate;
                    if (safe) {
                        if (run.empty() || run.back().x != px || run.back().y != py) {
                            flush();
                            run.push_back(POINT{px, py});
                        }
                        run.push_back(POINT{qx, qy});
                    } else {
                        flush();
                        double x0 = px, y0 = py, x1 = qx, y1 = qy;
                        if (ClipSegment(x0, y0, x1, y1, cut)) {
                            dc->MoveTo(static_cast<int>(x0), static_cast<int>(y0));
                            dc->LineTo(static_cast<int>(x1), static_cast<int>(y1));
                        }
                    }
                } else {
                    flush();
                }
                px = qx;
                py = qy;
            }
            flush();
        }
        dc->SelectObject(old);
    }
    return 1;
}
