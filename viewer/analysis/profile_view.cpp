#include "viewer/analysis/profile_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "outside/basecore/nearest_step.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/atomic_file.h"
#include "platform/shell/clipboard_change.h"
#include "platform/window/cursor.h"
#include "platform/window/modal.h"

namespace {

constexpr int kMarginX = 40;
constexpr int kMarginY = 20;
// Room between the plot and the extreme values right of it, and after them.
constexpr int kRangeLabelGap = 2;
constexpr int kTickSpacing = 50;
constexpr int kTickGap = 5;
constexpr int kReadoutWidth = 40;
constexpr int kReadoutHeight = 15;
constexpr int kReadoutOffset = 20;
// More grid lines than this cannot be told apart; it also bounds a degenerate step.
constexpr std::int64_t kMaxTicks = 4096;
// From this many segments a curve is drawn through a pixel mask (DrawCurves).
constexpr int kMaskedSegments = 256;

int ClampToInt(double v)
{
    if (!(v == v)) return 0;
    v = std::clamp(v, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max()));
    return static_cast<int>(v);
}

CString Format(double v)
{
    CString s;
    s.Format("%g", v);
    return s;
}

bool Finite(const ProfileRange& r)
{
    return std::isfinite(r.xMin) && std::isfinite(r.xMax) && std::isfinite(r.yMin) && std::isfinite(r.yMax);
}

int OutCode(double x, double y, const ProfileRange& w)
{
    int code = 0;
    if (x < w.xMin) code |= 8;
    if (x > w.xMax) code |= 4;
    if (y < w.yMin) code |= 2;
    if (y > w.yMax) code |= 1;
    return code;
}

// Moves an end point that lies outside onto the window along the segment's slope.
bool MoveOntoWindow(double& x, double& y, int code, double m, bool vertical, const ProfileRange& w)
{
    if (!vertical && (code & 8)) {
        const double ny = (w.xMin - x) * m + y;
        if (ny >= w.yMin && ny <= w.yMax) {
            x = w.xMin;
            y = ny;
            return true;
        }
    }
    if (!vertical && (code & 4)) {
        const double ny = (w.xMax - x) * m + y;
        if (ny >= w.yMin && ny <= w.yMax) {
            x = w.xMax;
            y = ny;
            return true;
        }
    }
    if (code & 1) {
        const double nx = vertical ? x : (w.yMax - y) / m + x;
        if (nx >= w.xMin && nx <= w.xMax) {
            x = nx;
            y = w.yMax;
            return true;
        }
    }
    if (code & 2) {
        const double nx = vertical ? x : (w.yMin - y) / m + x;
        if (nx >= w.xMin && nx <= w.xMax) {
            x = nx;
            y = w.yMin;
            return true;
        }
    }
    return false;
}

void PutLE(std::vector<BYTE>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(BYTE(v >> (8 * i)));
}

}  // namespace

bool ClipProfileSegment(double& x1, double& y1, double& x2, double& y2, const ProfileRange& window)
{
    const int c1 = OutCode(x1, y1, window);
    const int c2 = OutCode(x2, y2, window);
    if (c1 == 0 && c2 == 0) return true;
    if (c1 & c2) return false;
    const bool vertical = x1 == x2;
    const double m = vertical ? std::numeric_limits<double>::max() : (y2 - y1) / (x2 - x1);
    double nx1 = x1, ny1 = y1, nx2 = x2, ny2 = y2;
    if (c1 && !MoveOntoWindow(nx1, ny1, c1, m, vertical, window)) return false;
    if (c2 && !MoveOntoWindow(nx2, ny2, c2, m, vertical, window)) return false;
    x1 = nx1;
    y1 = ny1;
    x2 = nx2;
    y2 = ny2;
    return true;
}

// clang-format off
BEGIN_MESSAGE_MAP(CProfileView, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()
// clang-format on

CProfileView::CProfileView()
{
    m_font.CreateFont(13, 0, 0, 0, 300, FALSE, FALSE, FALSE, 204, 0, 0, 0, 0x20, "Tahoma");
}

CProfileView::~CProfileView()
{
    if (m_memDC.GetSafeHdc()) {
        if (m_hOldBitmap) ::SelectObject(m_memDC.GetSafeHdc(), m_hOldBitmap);
        m_memDC.DeleteDC();
    }
    if (m_hBuffer) ::DeleteObject(m_hBuffer);
}

BOOL CProfileView::Create(CWnd* parent, UINT id, DWORD style)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, ::LoadCursor(nullptr, IDC_ARROW),
                                      reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    style = (style & ~WS_BORDER) | WS_HSCROLL | WS_VSCROLL;
    if (!CWnd::CreateEx(WS_EX_CLIENTEDGE, cls, "", style, CRect(0, 0, 0, 0), parent, id)) return FALSE;
    SetScrollRange(SB_HORZ, 0, 1000, FALSE);
    SetScrollPos(SB_HORZ, 500, FALSE);
    SetScrollRange(SB_VERT, 0, 1000, FALSE);
    SetScrollPos(SB_VERT, 500, FALSE);
    return TRUE;
}

int CProfileView::InitDrawing()
{
    if (!GetSafeHwnd()) return 0;
    if (!m_memDC.GetSafeHdc()) {
        CClientDC dc(this);
        if (!m_memDC.CreateCompatibleDC(&dc)) return 0;
        const HBITMAP one = ::CreateCompatibleBitmap(dc.GetSafeHdc(), 1, 1);
        m_hOldBitmap = ::SelectObject(m_memDC.GetSafeHdc(), one);
        m_pMemDC = &m_memDC;
    }
    m_visible = m_full;
    UpdateHScroll();
    UpdateVScroll();
    RebuildBuffer();
    return 1;
}

int CProfileView::AppendCurve(ProfileCurve curve)
{
    if (curve.color == m_colors[0]) curve.color = 0x000000;
    curve.increasing = true;
    for (int i = 1; i < curve.count && curve.increasing; ++i)
        curve.increasing = curve.points[i].x >= curve.points[i - 1].x;
    if (!m_bHasRange) {
        m_full = {curve.posMin, curve.posMax, curve.valueMin, curve.valueMax};
        m_bHasRange = true;
    } else {
        m_full.xMin = std::min(m_full.xMin, curve.posMin);
        m_full.xMax = std::max(m_full.xMax, curve.posMax);
        m_full.yMin = std::min(m_full.yMin, curve.valueMin);
        m_full.yMax = std::max(m_full.yMax, curve.valueMax);
    }
    m_curves.push_back(std::move(curve));
    m_visible = m_full;
    Redraw(TRUE);
    return int(m_curves.size()) - 1;
}

int CProfileView::AddCurve(const double* values, const double* positions, int n, COLORREF colour)
{
    if (!values || !positions || n <= 0) return -1;
    ProfileCurve curve;
    curve.count = n;
    curve.color = colour;
    curve.points.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) curve.points[i] = {positions[i], values[i]};
    const auto [vMin, vMax] = std::minmax_element(values, values + n);
    const auto [pMin, pMax] = std::minmax_element(positions, positions + n);
    curve.valueMin = *vMin;
    curve.valueMax = *vMax;
    curve.posMin = *pMin;
    curve.posMax = *pMax;
    return AppendCurve(std::move(curve));
}

int CProfileView::SetProfile(const double* values, int n, COLORREF colour)
{
    if (!values || n <= 0) return -1;
    std::vector<double> positions(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) positions[i] = i;
    return AddCurve(values, positions.data(), n, colour);
}

int CProfileView::SetLogicalProfile(const double* values, int n, const CPointT<double>* points,
                                    COLORREF colour)
{
    if (!values || !points || n <= 0) return -1;
    double lxMin = points[0].x, lxMax = points[0].x, lyMin = points[0].y, lyMax = points[0].y;
    for (int i = 1; i < n; ++i) {
        lxMin = std::min(lxMin, points[i].x);
        lxMax = std::max(lxMax, points[i].x);
        lyMin = std::min(lyMin, points[i].y);
        lyMax = std::max(lyMax, points[i].y);
    }
    const bool xVaries = lxMax - lxMin != 0.0;
    const bool yVaries = lyMax - lyMin != 0.0;
    ProfileCurve curve;
    curve.count = n;
    curve.color = colour;
    curve.logical = true;
    curve.logicalPoints.assign(points, points + n);
    curve.points.resize(static_cast<std::size_t>(n));
    if (xVaries != yVaries) {
        for (int i = 0; i < n; ++i) curve.points[i] = {xVaries ? points[i].x : points[i].y, values[i]};
        curve.posMin = xVaries ? lxMin : lyMin;
        curve.posMax = xVaries ? lxMax : lyMax;
        m_axisName = xVaries ? "X" : "Y";
    } else {
        for (int i = 0; i < n; ++i) curve.points[i] = {double(i), values[i]};
        curve.posMin = 0.0;
        curve.posMax = n;
        if (xVaries) m_axisName = "Y";
    }
    const auto [vMin, vMax] = std::minmax_element(values, values + n);
    curve.valueMin = *vMin;
    curve.valueMax = *vMax;
    return AppendCurve(std::move(curve));
}

void CProfileView::GetRange(double& xMin, double& xMax, double& yMin, double& yMax) const
{
    xMin = m_visible.xMin;
    xMax = m_visible.xMax;
    yMin = m_visible.yMin;
    yMax = m_visible.yMax;
}

void CProfileView::SetRange(double xMin, double xMax, double yMin, double yMax)
{
    m_visible = {xMin, xMax, yMin, yMax};
    UpdateHScroll();
    UpdateVScroll();
    RebuildBuffer();
}

void CProfileView::FitToWindow()
{
    SetRange(m_full.xMin, m_full.xMax, m_full.yMin, m_full.yMax);
}

void CProfileView::RebuildBuffer()
{
    if (!m_memDC.GetSafeHdc() || !GetSafeHwnd()) return;
    CRect c;
    GetClientRect(&c);
    const int w = std::max(1, c.Width()), h = std::max(1, c.Height());
    if (!m_hBuffer || m_bufferSize != CSize(w, h)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        CClientDC dc(this);
        void* bits = nullptr;
        const HBITMAP buffer = ::CreateDIBSection(dc.GetSafeHdc(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!buffer) return;
        const HGDIOBJ previous = ::SelectObject(m_memDC.GetSafeHdc(), buffer);
        if (previous && previous != m_hOldBitmap) ::DeleteObject(previous);
        m_hBuffer = buffer;
        m_pBits = bits;
        m_bufferSize = CSize(w, h);
    }
    Redraw(TRUE);
}

int CProfileView::SetScheme(int scheme)
{
    static constexpr COLORREF kWhite[4] = {0xFFFFFF, 0x000000, 0x800000, 0x000000};
    static constexpr COLORREF kDark[4] = {0x000000, 0xFFFFFF, 0xFFFF37, 0xFFFF37};
    if (scheme == 1 || scheme == 2) {
        std::copy_n(scheme == 1 ? kWhite : kDark, 4, m_colors);
        const COLORREF from = scheme == 1 ? 0xFFFFFF : 0x000000;
        const COLORREF to = scheme == 1 ? 0x000000 : 0xFF80FF;
        for (ProfileCurve& curve : m_curves)
            if (curve.color == from) curve.color = to;
    }
    Redraw(TRUE);
    return 1;
}

void CProfileView::Layout()
{
    CRect c;
    GetClientRect(&c);
    int right = kMarginX;
    if (m_pMemDC && m_pMemDC->GetSafeHdc() && !m_curves.empty() && CheckDrawable()) {
        // The extreme values right of the plot get the room their text needs.
        CFont* oldFont = m_pMemDC->SelectObject(&m_font);
        const int widest = std::max(m_pMemDC->GetTextExtent(Format(m_visible.yMax)).cx,
                                    m_pMemDC->GetTextExtent(Format(m_visible.yMin)).cx);
        m_pMemDC->SelectObject(oldFont);
        right = std::max(right, widest + 2 * kRangeLabelGap);
    }
    m_plot = CRect(c.left + 2 * kMarginX, c.top + kMarginY, c.right - right, c.bottom - 2 * kMarginY);
}

bool CProfileView::CheckDrawable() const
{
    // A range of no width, or one that is not a number, has no mapping to pixels.
    const auto sound = [](const ProfileRange& r) {
        return Finite(r) && r.xMax - r.xMin > 0.0 && r.yMax - r.yMin > 0.0 &&
               std::isfinite(r.xMax - r.xMin) && std::isfinite(r.yMax - r.yMin);
    };
    return m_curves.empty() || (sound(m_full) && sound(m_visible));
}

int CProfileView::MapX(double x) const
{
    const double sx = m_plot.Width() / (m_visible.xMax - m_visible.xMin);
    return m_plot.left + ClampToInt((x - m_visible.xMin) * sx);
}

int CProfileView::MapY(double y) const
{
    const double sy = m_plot.Height() / (m_visible.yMax - m_visible.yMin);
    return m_plot.bottom - ClampToInt((y - m_visible.yMin) * sy);
}

double CProfileView::CalcStep(double span, int pixels) const
{
    if (span == 0.0 || pixels <= 0) return -1.0;
    const double n = double(pixels) / kTickSpacing;
    if (n <= 0.0) return -1.0;
    const double step = GetNearestStep(span / n);
    return step > 0.0 && std::isfinite(step) ? step : -1.0;
}

int CProfileView::Redraw(BOOL invalidate)
{
    if (!m_pMemDC || !m_pMemDC->GetSafeHdc() || !GetSafeHwnd()) return 0;
    CDC& dc = *m_pMemDC;
    Layout();
    CRect c;
    GetClientRect(&c);
    CFont* oldFont = dc.SelectObject(&m_font);
    CBrush background;
    background.CreateSolidBrush(m_colors[0]);
    dc.FillRect(&c, &background);
    dc.SetBkColor(m_colors[0]);
    dc.SetROP2(R2_COPYPEN);
    dc.SetTextColor(m_colors[2]);
    dc.SetTextAlign(TA_LEFT | TA_TOP);

    m_bDrawable = CheckDrawable();
    if (m_bDrawable && !m_curves.empty()) {
        // The extreme values right of the plot get the room their text needs.
        const int widest = std::max(dc.GetTextExtent(Format(m_visible.yMax)).cx,
                                    dc.GetTextExtent(Format(m_visible.yMin)).cx);
        m_plot.right =
            std::min(m_plot.right, LONG(c.right - std::max(kMarginX, widest + 2 * kRangeLabelGap)));
    }
    int drawn = 1;
    if (!m_bDrawable) {
        dc.TextOut(c.Width() / 4, c.Height() / 2, CString("Can't draw the profile, because invalid data !"));
        drawn = 0;
    } else if (!m_curves.empty()) {
        const bool axisName = m_curves.size() == 1 && m_curves[0].logical;
        DrawRangeLabels(dc);
        if (m_plot.Width() > 0 && m_plot.Height() > 0) {
            DrawGrid(dc, axisName);
            DrawCurves(dc);
        }
    }
    dc.SelectObject(oldFont);
    if (invalidate) Invalidate(FALSE);
    return drawn;
}

void CProfileView::DrawRangeLabels(CDC& dc)
{
    CRect r(m_plot.right - 80, m_plot.top - 20, m_plot.right, m_plot.top);
    dc.DrawText(Format(m_visible.xMax), &r, DT_RIGHT);
    r = CRect(m_plot.left, m_plot.top - 20, m_plot.left + 80, m_plot.top);
    dc.DrawText(Format(m_visible.xMin), &r, DT_LEFT);
    CRect client;
    GetClientRect(&client);
    const LONG right = client.right - kRangeLabelGap;
    r = CRect(m_plot.right + kRangeLabelGap, m_plot.top, right, m_plot.top + 20);
    dc.DrawText(Format(m_visible.yMax), &r, DT_SINGLELINE | DT_END_ELLIPSIS);
    r = CRect(m_plot.right + kRangeLabelGap, m_plot.bottom - 20, right, m_plot.bottom);
    dc.DrawText(Format(m_visible.yMin), &r, DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS);
}

void CProfileView::DrawGrid(CDC& dc, bool axisName)
{
    dc.SetTextColor(m_colors[1]);
    CPen dotted;
    dotted.CreatePen(PS_DOT, 0, m_colors[1]);
    CPen* oldPen = dc.SelectObject(&dotted);

    m_stepX = CalcStep(m_visible.xMax - m_visible.xMin, m_plot.Width());
    m_stepY = CalcStep(m_visible.yMax - m_visible.yMin, m_plot.Height());
    if (m_stepX > 0.0) {
        const double first = std::ceil(m_visible.xMin / m_stepX) * m_stepX;
        const double last = std::floor(m_visible.xMax / m_stepX) * m_stepX;
        const std::int64_t n = std::min<std::int64_t>(kMaxTicks, std::int64_t((last - first) / m_stepX));
        for (std::int64_t k = 0; k <= n; ++k) {
            const double v = first + double(k) * m_stepX;
            const int px = MapX(v);
            dc.MoveTo(px, m_plot.top);
            dc.LineTo(px, m_plot.bottom);
            dc.TextOut(px, m_plot.bottom + kTickGap, Format(v));
        }
    }
    dc.SetTextAlign(TA_RIGHT | TA_TOP);
    if (m_stepY > 0.0) {
        const double first = std::ceil(m_visible.yMin / m_stepY) * m_stepY;
        const double last = std::floor(m_visible.yMax / m_stepY) * m_stepY;
        const std::int64_t n = std::min<std::int64_t>(kMaxTicks, std::int64_t((last - first) / m_stepY));
        for (std::int64_t k = 0; k <= n; ++k) {
            const double v = first + double(k) * m_stepY;
            const int py = MapY(v);
            dc.MoveTo(m_plot.left, py);
            dc.LineTo(m_plot.right, py);
            dc.TextOut(m_plot.left - kTickGap, py, Format(v));
        }
    }
    CBrush frame;
    frame.CreateSolidBrush(m_colors[3]);
    CRect border(m_plot.left, m_plot.top, m_plot.right + 1, m_plot.bottom + 1);
    dc.FrameRect(&border, &frame);
    if (axisName && (m_axisName == "X" || m_axisName == "Y"))
        dc.TextOut(m_plot.right + 10, m_plot.bottom + 3, m_axisName);
    dc.SetTextAlign(TA_LEFT | TA_TOP);
    dc.SelectObject(oldPen);
}

namespace {

// The pixels a one-pixel pen puts down from a to b, as the device context draws a line:
// per step the pixel nearest to the exact point, halves rounded towards the end point,
// the end point itself left out.
template <class F>
void LinePixels(POINT a, POINT b, F&& pixel)
{
    const std::int64_t dx = std::int64_t(b.x) - a.x, dy = std::int64_t(b.y) - a.y;
    const std::int64_t n = std::max(std::llabs(dx), std::llabs(dy));
    const auto step = [n](std::int64_t d, std::int64_t k) {
        const std::int64_t num = 2 * k * d + (d >= 0 ? n : -n);
        const std::int64_t q = num / (2 * n);
        return (num % (2 * n) != 0 && num < 0) ? q - 1 : q;
    };
    for (std::int64_t i = 0; i < n; ++i)
        pixel(std::int64_t(a.x) + step(dx, i), std::int64_t(a.y) + step(dy, i));
}

}  // namespace

void CProfileView::DrawCurves(CDC& dc)
{
    CRgn clip;
    clip.CreateRectRgn(m_plot.left, m_plot.top, m_plot.right + 1, m_plot.bottom + 1);
    dc.SelectClipRgn(&clip);
    // Into the buffer, a curve of many segments is first put down as a pixel mask and then
    // filled as its column runs: with a solid copy pen the same pixels as drawing it segment
    // by segment, at a fraction of the cost. A drawing (the copy) keeps its segments.
    const bool raster = &dc == &m_memDC;
    const CRect area(std::max<LONG>(m_plot.left, 0), std::max<LONG>(m_plot.top, 0),
                     std::min<LONG>(m_plot.right + 1, m_bufferSize.cx),
                     std::min<LONG>(m_plot.bottom + 1, m_bufferSize.cy));
    const int areaW = area.Width(), areaH = area.Height();
    // MapX and MapY with their scales worked out once.
    const double sx = m_plot.Width() / (m_visible.xMax - m_visible.xMin);
    const double sy = m_plot.Height() / (m_visible.yMax - m_visible.yMin);
    const auto map = [&](double x, double y) {
        return POINT{m_plot.left + ClampToInt((x - m_visible.xMin) * sx),
                     m_plot.bottom - ClampToInt((y - m_visible.yMin) * sy)};
    };
    std::vector<BYTE> mask;
    for (const ProfileCurve& curve : m_curves) {
        CPen pen;
        pen.CreatePen(PS_SOLID, 1, curve.color);
        CPen* oldPen = dc.SelectObject(&pen);
        int from = 1, to = curve.count - 1;
        if (curve.increasing && curve.count > 1) {
            // Only segments that touch the visible positions can draw anything.
            const auto begin = curve.points.begin(), end = curve.points.end();
            const auto lo = std::lower_bound(begin, end, m_visible.xMin,
                                             [](const CPointT<double>& p, double x) { return p.x < x; });
            const auto hi = std::upper_bound(begin, end, m_visible.xMax,
                                             [](double x, const CPointT<double>& p) { return x < p.x; });
            from = std::max(1, int(lo - begin));
            to = std::min(curve.count - 1, int(hi - begin));
        }
        const bool masked = raster && to - from >= kMaskedSegments && areaW > 0 && areaH > 0;
        if (masked) mask.assign(std::size_t(areaW) * std::size_t(areaH), 0);
        const auto mark = [&](std::int64_t x, std::int64_t y) {
            if (x >= area.left && x < area.right && y >= area.top && y < area.bottom)
                mask[std::size_t(x - area.left) * std::size_t(areaH) + std::size_t(y - area.top)] = 1;
        };
        for (int j = from; j <= to; ++j) {
            double x1 = curve.points[j - 1].x, y1 = curve.points[j - 1].y;
            double x2 = curve.points[j].x, y2 = curve.points[j].y;
            if (!ClipProfileSegment(x1, y1, x2, y2, m_visible)) continue;
            const POINT a = map(x1, y1), b = map(x2, y2);
            if (!masked) {
                dc.MoveTo(a.x, a.y);
                dc.LineTo(b.x, b.y);
            } else if (a.x == b.x) {
                // A vertical line covers the rows from the upper end up to the lower one,
                // whichever way it runs.
                if (a.x < area.left || a.x >= area.right) continue;
                const std::int64_t y0 = std::max<std::int64_t>(std::min(a.y, b.y), area.top);
                const std::int64_t y1 = std::min<std::int64_t>(std::max(a.y, b.y), area.bottom);
                BYTE* column = mask.data() + std::size_t(a.x - area.left) * std::size_t(areaH);
                if (y0 < y1) std::memset(column + (y0 - area.top), 1, std::size_t(y1 - y0));
            } else {
                LinePixels(a, b, mark);
            }
        }
        if (masked) {
            // The mask drawn back as one-pixel-wide column runs, each filled in the pen's colour.
            CBrush brush;
            brush.CreateSolidBrush(curve.color);
            for (int x = 0; x < areaW; ++x) {
                const BYTE* column = mask.data() + std::size_t(x) * std::size_t(areaH);
                for (int y = 0; y < areaH;) {
                    if (!column[y]) {
                        ++y;
                        continue;
                    }
                    int end = y + 1;
                    while (end < areaH && column[end]) ++end;
                    const CRect run(area.left + x, area.top + y, area.left + x + 1, area.top + end);
                    dc.FillRect(&run, &brush);
                    y = end;
                }
            }
        }
        dc.SelectObject(oldPen);
    }
    dc.SelectClipRgn(nullptr);
}

void CProfileView::OnPaint()
{
    CPaintDC dc(this);
    if (!m_hBuffer || !m_pBits) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = m_bufferSize.cx;
    info.bmiHeader.biHeight = m_bufferSize.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    ::StretchDIBits(dc.GetSafeHdc(), 0, 0, m_bufferSize.cx, m_bufferSize.cy, 0, 0, m_bufferSize.cx,
                    m_bufferSize.cy, m_pBits, &info, DIB_RGB_COLORS, SRCCOPY);
}

BOOL CProfileView::OnEraseBkgnd(CDC*)
{
    return FALSE;  // the buffer covers every pixel
}

void CProfileView::OnMouseMove(UINT flags, CPoint point)
{
    ShowReadout(point);
    CWnd::OnMouseMove(flags, point);
}

void CProfileView::ShowReadout(CPoint mouse)
{
    if (!m_pMemDC || !m_pMemDC->GetSafeHdc() || !m_bDrawable || m_curves.empty()) return;
    CDC& dc = *m_pMemDC;
    const CRect xStrip(m_plot.left, m_plot.bottom + kReadoutOffset, m_plot.right,
                       m_plot.bottom + kReadoutOffset + kReadoutHeight);
    const CRect yStrip(0, m_plot.top, kReadoutWidth, m_plot.top + m_plot.bottom - kReadoutHeight);
    CBrush background;
    background.CreateSolidBrush(m_colors[0]);
    dc.FillRect(&xStrip, &background);
    dc.FillRect(&yStrip, &background);
    const bool inside = mouse.x >= m_plot.left && mouse.x <= m_plot.right && mouse.y >= m_plot.top &&
                        mouse.y <= m_plot.bottom && m_plot.Width() > 0 && m_plot.Height() > 0;
    if (inside) {
        const double x =
            (mouse.x - m_plot.left) * (m_visible.xMax - m_visible.xMin) / m_plot.Width() + m_visible.xMin;
        const double y =
            (m_plot.bottom - mouse.y) * (m_visible.yMax - m_visible.yMin) / m_plot.Height() + m_visible.yMin;
        CFont* oldFont = dc.SelectObject(&m_font);
        dc.SetROP2(R2_COPYPEN);
        dc.SetTextColor(m_colors[2]);
        dc.SetBkColor(m_colors[0]);
        CRect rx(mouse.x, m_plot.bottom + kReadoutOffset, m_plot.right,
                 m_plot.bottom + kReadoutOffset + kReadoutHeight);
        dc.DrawText(Format(x), &rx, DT_BOTTOM);
        CRect ry(0, mouse.y, kReadoutWidth, m_plot.bottom);
        dc.DrawText(Format(y), &ry, DT_BOTTOM);
        dc.SelectObject(oldFont);
    }
    InvalidateRect(&xStrip, FALSE);
    InvalidateRect(&yStrip, FALSE);
}

void CProfileView::UpdateHScroll()
{
    if (!GetSafeHwnd()) return;
    Layout();
    const double vis = m_visible.xMax - m_visible.xMin;
    const double full = m_full.xMax - m_full.xMin;
    const double vpp = m_plot.Width() > 0 ? vis / m_plot.Width() : 0.0;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    if (vpp > 0.0 && std::isfinite(vpp)) {
        si.nMin = ClampToInt(std::trunc((vis / 2) / vpp));
        si.nMax = ClampToInt(std::trunc((full - vis / 2) / vpp));
        si.nPos = ClampToInt(std::trunc((vis / 2 + m_visible.xMin - m_full.xMin) / vpp));
    }
    SetScrollInfo(SB_HORZ, &si, TRUE);
}

void CProfileView::UpdateVScroll()
{
    if (!GetSafeHwnd()) return;
    Layout();
    const double vis = m_visible.yMax - m_visible.yMin;
    const double full = m_full.yMax - m_full.yMin;
    const double vpp = m_plot.Height() > 0 ? vis / m_plot.Height() : 0.0;
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    if (vpp > 0.0 && std::isfinite(vpp)) {
        const double mn = std::trunc((vis / 2) / vpp);
        const double mx = std::trunc((full - vis / 2) / vpp);
        si.nMin = ClampToInt(mn);
        si.nMax = ClampToInt(mx);
        si.nPos = ClampToInt(std::trunc(mx - (vis / 2 + m_visible.yMin - m_full.yMin) / vpp + mn));
    }
    SetScrollInfo(SB_VERT, &si, TRUE);
}

void CProfileView::OnHScroll(UINT code, UINT, CScrollBar*)
{
    Scroll(true, code);
}

void CProfileView::OnVScroll(UINT code, UINT, CScrollBar*)
{
    Scroll(false, code);
}

void CProfileView::Scroll(bool horizontal, UINT code)
{
    if (!m_bDrawable || m_curves.empty()) return;
    Layout();
    const int pixels = horizontal ? m_plot.Width() : m_plot.Height();
    if (pixels <= 0) return;
    double& lo = horizontal ? m_visible.xMin : m_visible.yMin;
    double& hi = horizontal ? m_visible.xMax : m_visible.yMax;
    const double fullLo = horizontal ? m_full.xMin : m_full.yMin;
    const double vis = hi - lo;
    const double vpp = vis / pixels;
    const int half = ClampToInt(std::trunc((vis / 2) / vpp));
    const int pages = half / 20;
    const CRect area = horizontal ? CRect(m_plot.left + 1, 20, m_plot.right - 1, m_plot.bottom + 20)
                                  : CRect(m_plot.left - 40, m_plot.top + 1, m_plot.right, m_plot.bottom - 1);
    const auto shift = [&](int by, int times) {
        CClientDC dc(this);
        for (int i = 0; i < times; ++i)
            dc.ScrollDC(horizontal ? by : 0, horizontal ? 0 : by, &area, &area, nullptr, nullptr);
    };
    // Positive `values`: the window moves toward larger values (right, or up for the vertical bar).
    const auto step = [&](double values) {
        lo += values;
        hi += values;
    };
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(horizontal ? SB_HORZ : SB_VERT, &si);
    const auto thumbValue = [&](int track) {
        return horizontal ? track * vpp - vis / 2 + fullLo
                          : (double(si.nMax) + si.nMin - track) * vpp - vis / 2 + fullLo;
    };
    // Line and page codes: 0/1 left-right (up-down), 2/3 page left-right (up-down).
    const int dir = horizontal ? 1 : -1;  // screen pixels per step toward larger values
    bool partial = true;
    switch (code) {
        case SB_LINELEFT:
            shift(horizontal ? 1 : 1, 5);
            step(horizontal ? -5 * vpp : 5 * vpp);
            break;
        case SB_LINERIGHT:
            shift(-1, 5);
            step(horizontal ? 5 * vpp : -5 * vpp);
            break;
        case SB_PAGELEFT:
            shift(20, pages);
            step((horizontal ? -20.0 : 20.0) * vpp * pages);
            break;
        case SB_PAGERIGHT:
            shift(-20, pages);
            step((horizontal ? 20.0 : -20.0) * vpp * pages);
            break;
        case SB_THUMBPOSITION:
            lo = thumbValue(si.nTrackPos);
            hi = lo + vis;
            partial = false;
            break;
        case SB_THUMBTRACK: {
            const double newLo = thumbValue(si.nTrackPos);
            const int moved = ClampToInt(std::trunc((newLo - lo) / vpp)) * dir;
            if (moved != 0 && std::abs(moved) < pixels) shift(-moved, 1);
            lo = newLo;
            hi = lo + vis;
            break;
        }
        default:
            return;
    }
    if (code != SB_THUMBTRACK) horizontal ? UpdateHScroll() : UpdateVScroll();
    if (!partial) {
        Redraw(TRUE);
        return;
    }
    Redraw(FALSE);
    const CRect dirty = horizontal ? CRect(m_plot.left, 0, m_plot.right, m_plot.bottom + 30)
                                   : CRect(m_plot.left - 40, m_plot.top, m_plot.right + 40, m_plot.bottom);
    InvalidateRect(&dirty, FALSE);
    UpdateWindow();
}

int CProfileView::CopyToClipboard()
{
    if (!m_hBuffer || !GetSafeHwnd()) return 1;
    if (::OpenClipboard(GetSafeHwnd())) {
        ::EmptyClipboard();
        ::SetClipboardData(CF_BITMAP, m_hBuffer);
        ::CloseClipboard();
    }
    CClientDC screen(this);
    CMetaFileDC meta;
    if (!meta.CreateEnhanced(&screen, nullptr, nullptr, nullptr)) return 1;
    CDC* saved = m_pMemDC;
    m_pMemDC = &meta;
    Redraw(FALSE);
    m_pMemDC = saved;
    const HENHMETAFILE drawing = meta.CloseEnhanced();
    if (drawing) {
        if (::OpenClipboard(GetSafeHwnd())) {
            ::SetClipboardData(CF_ENHMETAFILE, drawing);
            ::CloseClipboard();
        }
        ::DeleteEnhMetaFile(drawing);
    }
    return 1;
}

int CProfileView::SaveToFile(const CString& path, int type)
{
    try {
        switch (type) {
            case 1:
                return SaveLayer(path);
            case 2:
                return SaveText(path);
            case 3:
                return SaveBitmap(path);
            default:
                return 0;
        }
    } catch (...) {
        return 0;
    }
}

int CProfileView::SaveLayer(const CString& path)
{
    int width = 0;
    for (const ProfileCurve& c : m_curves) width = std::max(width, c.count);
    CRDPLayer layer;
    void** rows = width > 0 ? layer.CreateLayer(path, width, int(m_curves.size()), 7, 7) : nullptr;
    if (!rows) {
        CString text;
        text.Format("Error creating file ! \"%s\"\n", static_cast<const char*>(path));
        AfxMessageBox(text, MB_OK);
        return 0;
    }
    for (std::size_t r = 0; r < m_curves.size(); ++r) {
        float* row = static_cast<float*>(rows[r]);
        for (int i = 0; i < m_curves[r].count; ++i) row[i] = float(m_curves[r].points[i].y);
    }
    if (!layer.CloseLayer()) {
        layer.DestroyLayer();
        return 0;
    }
    return 1;
}

int CProfileView::SaveText(const CString& path)
{
    platform::AtomicFile file;
    if (!file.Create(path)) {
        CString text;
        text.Format("Error creating file ! \"%s\"\n%s", static_cast<const char*>(path), std::strerror(errno));
        AfxMessageBox(text, MB_OK);
        return 0;
    }
    int longest = 0;
    for (const ProfileCurve& c : m_curves) longest = std::max(longest, c.count);
    CString row, pair;
    for (int i = 0; i < longest; ++i) {
        row.Empty();
        for (const ProfileCurve& c : m_curves) {
            if (i < c.count) {
                pair.Format("%g\t%g\t", c.points[i].x, c.points[i].y);
                row += pair;
            } else {
                row += "\t\t";  // keeps the later curves in their own columns
            }
        }
        row += "\r\n";
        if (!file.Write(static_cast<const char*>(row), std::uint64_t(row.GetLength()))) return 0;
    }
    return file.Commit() ? 1 : 0;
}

int CProfileView::SaveBitmap(const CString& path)
{
    if (!m_hBuffer || !m_pBits) return 0;
    const std::uint32_t w = std::uint32_t(m_bufferSize.cx), h = std::uint32_t(m_bufferSize.cy);
    const std::uint64_t pixelBytes = std::uint64_t(w) * h * 4;
    std::vector<BYTE> head;
    head.reserve(54);
    head.push_back('B');
    head.push_back('M');
    PutLE(head, std::uint32_t(54 + pixelBytes), 4);
    PutLE(head, 0, 4);
    PutLE(head, 54, 4);
    PutLE(head, 40, 4);
    PutLE(head, w, 4);
    PutLE(head, h, 4);  // rows bottom-up, as the buffer keeps them
    PutLE(head, 1, 2);
    PutLE(head, 32, 2);
    PutLE(head, 0, 4);
    PutLE(head, std::uint32_t(pixelBytes), 4);
    PutLE(head, 2835, 4);
    PutLE(head, 2835, 4);
    PutLE(head, 0, 4);
    PutLE(head, 0, 4);
    platform::AtomicFile file;
    if (!file.Create(path) || !file.Write(head.data(), head.size()) || !file.Write(m_pBits, pixelBytes))
        return 0;
    return file.Commit() ? 1 : 0;
}
