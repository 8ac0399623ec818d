#include "modules/convolution/round_slider_ctrl.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/controls/control_notify.h"
#include "platform/dialogs/dialog.h"
#include "platform/gdi/gdi_types.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kRadiansPerDegree = 0.017453292519943295;

// Templates create the control through this class, so that it gets a window it paints.
const bool kRegistered = [] {
    platform::RegisterControlClass(kRoundSliderClass,
                                   [] { return static_cast<CWnd*>(new CRoundSliderCtrl); });
    return true;
}();

/// Colour of a shaded circle's pixel at screen angle phi (radians, y downwards): colour `a`
/// full towards the upper left, `b` on the opposite side.
COLORREF Shade(double phi, COLORREF a, COLORREF b)
{
    double theta = -2.356 - phi;
    if (theta < -3.1415)
        theta += 6.293;
    else if (theta > 3.1415)
        theta = 6.293 - theta;
    const double w = (std::cos(theta) + 1.0) * 0.5;
    auto mix = [w](int from, int to) { return int(double(to) * (1.0 - w) + double(from) * w); };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
               mix(GetBValue(a), GetBValue(b)));
}

/// The midpoint circle walk of radius r: calls plot(dx, dy) with the offsets of the eight
/// mirrored pixels of each step; with `dotted`, only on every other step (the first one).
template <class Plot>
void WalkCircle(int r, bool dotted, Plot&& plot)
{
    int u = r, v = 0, error = -r, g = 2 * r;
    for (int step = 0; u >= v; ++step) {
        if (!dotted || step % 2 == 0) {
            const int offsets[8][2] = {{u, v}, {-u, v}, {u, -v}, {-u, -v},
                                       {v, u}, {-v, u}, {v, -u}, {-v, -u}};
            for (const auto& o : offsets) plot(o[0], o[1]);
        }
        const int t = error + 2 * v + 1;
        if (t < 0) {
            error = t;
        } else {
            error = error + 2 * v + 3 - g;
            --u;
            g -= 2;
        }
        ++v;
    }
}

void ShadedCircle(CDC& dc, int px, int py, int r, COLORREF a, COLORREF b)
{
    if (r < 0) return;
    WalkCircle(r, false, [&](int dx, int dy) {
        dc.SetPixelV(px + dx, py + dy, Shade(std::atan2(double(dy), double(dx)), a, b));
    });
}

void DottedCircle(CDC& dc, int px, int py, int r, COLORREF colour)
{
    if (r < 0) return;
    WalkCircle(r, true, [&](int dx, int dy) { dc.SetPixelV(px + dx, py + dy, colour); });
}

void Line(CDC& dc, int x0, int y0, int x1, int y1)
{
    dc.MoveTo(x0, y0);
    dc.LineTo(x1, y1);
}

}  // namespace

// ---- CBufferedPaintDC ----------------------------------------------------------------------

CBufferedPaintDC::CBufferedPaintDC(CWnd* window) : m_paint(window)
{
    m_paint.GetClipBox(&m_clip);
    // This platform has no printer DCs: the paint DC always gets its off-screen copy.
    if (!m_clip.IsRectEmpty() && CreateCompatibleDC(&m_paint) &&
        m_bitmap.CreateCompatibleBitmap(&m_paint, m_clip.Width(), m_clip.Height())) {
        m_oldBitmap = SelectObject(&m_bitmap);
        SetWindowOrg(m_clip.left, m_clip.top);
        m_buffered = true;
    } else {
        if (m_hDC) DeleteDC();
        Attach(m_paint.m_hDC);
    }
}

CBufferedPaintDC::~CBufferedPaintDC()
{
    if (m_buffered) {
        m_paint.BitBlt(m_clip.left, m_clip.top, m_clip.Width(), m_clip.Height(), this, m_clip.left,
                       m_clip.top, SRCCOPY);
        SelectObject(m_oldBitmap);
        m_bitmap.DeleteObject();
        DeleteDC();
    } else {
        Detach();
    }
}

// ---- CRoundSliderCtrl ----------------------------------------------------------------------

// clang-format off
BEGIN_MESSAGE_MAP(CRoundSliderCtrl, CSliderCtrl)
    ON_WM_SIZE()
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
END_MESSAGE_MAP()
// clang-format on

CRoundSliderCtrl::CRoundSliderCtrl() : m_format("%ld\xC2\xB0"), m_textColour(GetSysColor(COLOR_WINDOWTEXT))
{
    (void)kRegistered;
    m_font.CreateStockObject(DEFAULT_GUI_FONT);
    m_knobBrush.CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
}

CRoundSliderCtrl::~CRoundSliderCtrl() = default;

BOOL CRoundSliderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass(kRoundSliderClass), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CRoundSliderCtrl::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    // A plain window: the control paints itself through WM_PAINT.
    return CWnd::CreateWidget(cs, parentWidget);
}

void CRoundSliderCtrl::Setup()
{
    SetRange(0, 359, FALSE);
    SetLineSize(1);
    SetPageSize(10);
    ReconstructControl();
}

void CRoundSliderCtrl::PreSubclassWindow()
{
    CSliderCtrl::PreSubclassWindow();
    Setup();
}

BOOL CRoundSliderCtrl::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CSliderCtrl::PreCreateWindow(cs)) return FALSE;
    // No window yet: the state is set here, the geometry at the first WM_SIZE.
    m_min = 0;
    m_max = 359;
    m_pos = 0;
    m_lineSize = 1;
    m_pageSize = 10;
    return TRUE;
}

LRESULT CRoundSliderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool redraw = wParam != 0;
    switch (message) {
        case TBM_GETPOS:
            return m_pos;
        case TBM_GETRANGEMIN:
            return m_min;
        case TBM_GETRANGEMAX:
            return m_max;
        case TBM_SETPOS:
            MovePos(int(lParam), redraw);
            return 0;
        case TBM_SETRANGE:
            m_min = short(LOWORD(DWORD(lParam)));
            m_max = std::max(m_min, int(short(HIWORD(DWORD(lParam)))));
            MovePos(m_pos, redraw);
            return 0;
        case TBM_SETRANGEMIN:
            m_min = int(lParam);
            m_max = std::max(m_min, m_max);
            MovePos(m_pos, redraw);
            return 0;
        case TBM_SETRANGEMAX:
            m_max = std::max(m_min, int(lParam));
            MovePos(m_pos, redraw);
            return 0;
        case TBM_SETPAGESIZE:
            return std::exchange(m_pageSize, int(lParam));
        case TBM_GETPAGESIZE:
            return m_pageSize;
        case TBM_SETLINESIZE:
            return std::exchange(m_lineSize, int(lParam));
        case TBM_GETLINESIZE:
            return m_lineSize;
        case TBM_SETTIC:
            return TRUE;
        case TBM_CLEARTICS:
        case TBM_SETTICFREQ:
            return 0;
        case TBM_GETNUMTICS:
            return 2;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

bool CRoundSliderCtrl::MovePos(int pos, bool redraw)
{
    pos = std::clamp(pos, m_min, m_max);
    const bool changed = pos != m_pos;
    m_pos = pos;
    if (redraw && GetSafeHwnd()) Invalidate();
    return changed;
}

void CRoundSliderCtrl::Redraw()
{
    if (GetSafeHwnd()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CRoundSliderCtrl::SetFormatString(const CString& format)
{
    m_format = format;
}

CString CRoundSliderCtrl::GetFormatString() const
{
    return m_format;
}

CString CRoundSliderCtrl::GetText() const
{
    CString text;
    text.Format(m_format, long(GetPos()));
    return text;
}

void CRoundSliderCtrl::SetKnobRadius(int radius)
{
    m_knobRadius = radius;
}

int CRoundSliderCtrl::GetKnobRadius() const
{
    return m_knobRadius;
}

void CRoundSliderCtrl::SetZeroAngle(int degrees)
{
    m_zeroAngle = degrees;
}

int CRoundSliderCtrl::GetZeroAngle() const
{
    return m_zeroAngle;
}

void CRoundSliderCtrl::SetInverse(bool inverse)
{
    m_inverse = inverse;
}

bool CRoundSliderCtrl::GetInverse() const
{
    return m_inverse;
}

void CRoundSliderCtrl::ReconstructControl()
{
    if (!GetSafeHwnd()) return;
    CRect client;
    GetClientRect(&client);
    const int side = std::min(client.Width(), client.Height());
    m_centreX = (side + client.left) / 2;
    m_centreY = (side + client.top) / 2;
    m_radius = side / 2 - m_knobRadius - 1;

    m_region.DeleteObject();
    SetWindowRgn(nullptr, FALSE);
    m_region.CreateEllipticRgn(client.left, client.top, client.left + side, client.top + side);
    // The window keeps its own copy of the region; ours stays for the next reconstruction.
    SetWindowRgn(m_region, TRUE);
    SendMessage(TBM_SETPOS, FALSE, 0);
}

bool CRoundSliderCtrl::SetKnob(const CPoint& point)
{
    int dx = point.x - m_centreX;
    if (m_inverse) dx = -dx;
    const int dy = point.y - m_centreY;
    double angle;
    if (dx != 0) {
        angle = 90.0 - std::atan(-double(dy) / double(dx)) * kDegreesPerRadian;
        if (dx < 0) angle += 180.0;
    } else {
        angle = dy < 0 ? 0.0 : 180.0;
    }
    angle -= m_zeroAngle;
    while (angle < 0.0) angle += 360.0;
    while (angle >= 360.0) angle -= 360.0;
    const int min = GetRangeMin(), max = GetRangeMax();
    const int pos = min + int(angle * double(max - min + 1) / 360.0);
    if (pos == GetPos()) return false;
    SendMessage(TBM_SETPOS, TRUE, pos);
    return true;
}

void CRoundSliderCtrl::PostMessageToParent(int code)
{
    CWnd* parent = GetParent();
    if (!parent) return;
    parent->PostMessage(WM_HSCROLL, MAKEWPARAM(WORD(code), WORD(GetPos())), reinterpret_cast<LPARAM>(m_hWnd));
}

void CRoundSliderCtrl::SetAngle(float degrees)
{
    // Reduced to one turn before it becomes an integer: a huge or odd value must neither
    // overflow the conversion nor pin the knob to an end of the range.
    double a = std::isfinite(degrees) ? std::fmod(double(degrees), 360.0) : 0.0;
    if (a < 0.0) a += 360.0;
    SendMessage(TBM_SETPOS, TRUE, int(a));
    Redraw();
}

void CRoundSliderCtrl::EnableSlider(bool enable)
{
    m_active = enable;
    Redraw();
}

void CRoundSliderCtrl::SetOwner(CWnd* owner)
{
    m_owner = owner;
}

void CRoundSliderCtrl::OnSize(UINT type, int cx, int cy)
{
    CSliderCtrl::OnSize(type, cx, cy);
    ReconstructControl();
}

BOOL CRoundSliderCtrl::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CRoundSliderCtrl::OnLButtonDown(UINT flags, CPoint point)
{
    if (!m_active) return;
    if (m_dragging) {
        CSliderCtrl::OnLButtonDown(flags, point);
        return;
    }
    m_dragging = true;
    m_moved = false;
    SetCapture();
    SetFocus();
    if (SetKnob(point)) {
        m_moved = true;
        PostMessageToParent(TB_THUMBTRACK);
    }
    Redraw();
}

void CRoundSliderCtrl::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_dragging) {
        CSliderCtrl::OnMouseMove(flags, point);
        return;
    }
    if (SetKnob(point)) {
        m_moved = true;
        PostMessageToParent(TB_THUMBTRACK);
        Redraw();
    }
}

void CRoundSliderCtrl::OnLButtonUp(UINT flags, CPoint point)
{
    if (!m_active) return;
    if (!m_dragging) {
        CSliderCtrl::OnLButtonUp(flags, point);
        return;
    }
    m_dragging = false;
    ::ReleaseCapture();
    if (SetKnob(point)) {
        PostMessageToParent(TB_THUMBTRACK);
        m_moved = true;
    }
    if (m_moved) {
        PostMessageToParent(TB_THUMBPOSITION);
        m_moved = false;
    }
    Redraw();
}

void CRoundSliderCtrl::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    const int min = GetRangeMin(), max = GetRangeMax();
    const int span = max + 1 - min;
    int step = 0;
    UINT code = 0;
    switch (key) {
        case VK_LEFT:
        case VK_UP:
            step = -GetLineSize();
            code = TB_LINEUP;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            step = GetLineSize();
            code = TB_LINEDOWN;
            break;
        case VK_PRIOR:
            step = -GetPageSize();
            code = TB_PAGEUP;
            break;
        case VK_NEXT:
            step = GetPageSize();
            code = TB_PAGEDOWN;
            break;
        case VK_HOME:
        case VK_END:
            return;
        default:
            CSliderCtrl::OnKeyDown(key, repeat, flags);
            return;
    }
    // Wrap round the circle: past the last position comes the first again.
    int pos = GetPos() + step;
    if (span > 0) {
        pos = min + (pos - min) % span;
        if (pos < min) pos += span;
    }
    SendMessage(TBM_SETPOS, TRUE, pos);
    Redraw();
    PostMessageToParent(int(code));
}

void CRoundSliderCtrl::OnKeyUp(UINT key, UINT repeat, UINT flags)
{
    switch (key) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            PostMessageToParent(TB_ENDTRACK);
            return;
        case VK_HOME:
        case VK_END:
            return;
        default:
            CSliderCtrl::OnKeyUp(key, repeat, flags);
    }
}

void CRoundSliderCtrl::OnPaint()
{
    CBufferedPaintDC dc(this);
    Paint(dc);
}

void CRoundSliderCtrl::Paint(CDC& dc)
{
    CRect client;
    GetClientRect(&client);
    dc.SelectStockObject(HOLLOW_BRUSH);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));

    const int min = GetRangeMin(), max = GetRangeMax();
    const int cx = m_centreX, cy = m_centreY, r = m_radius, knob = m_knobRadius;
    int d = ((GetPos() - min) * 360 / std::max(1, max + 1 - min) + m_zeroAngle + 360) % 360;
    if (m_inverse) d = 360 - d;
    const int x = int(r * std::sin(d * kRadiansPerDegree) + cx);
    const int y = int(cy - r * std::cos(d * kRadiansPerDegree));

    auto sys = [](int index) { return GetSysColor(index); };
    // The groove: four shaded circles, raised and sunk.
    const struct {
        int radius;
        int activeA, activeB, inactiveA, inactiveB;
    } groove[] = {
        {r, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DLIGHT, COLOR_GRAYTEXT},
        {r - 1, COLOR_BTNSHADOW, COLOR_3DLIGHT, COLOR_BTNSHADOW, COLOR_GRAYTEXT},
        {r - 3, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
        {r - 4, COLOR_3DLIGHT, COLOR_BTNSHADOW, COLOR_3DLIGHT, COLOR_GRAYTEXT},
    };
    for (const auto& c : groove)
        ShadedCircle(dc, cx, cy, c.radius, sys(m_active ? c.activeA : c.inactiveA),
                     sys(m_active ? c.activeB : c.inactiveB));

    // The knob: raised at rest, pressed while dragged, grey when inactive.
    CGdiObject* oldPen = dc.SelectStockObject(NULL_PEN);
    CBrush* oldBrush = dc.SelectObject(&m_knobBrush);
    dc.Ellipse(x - knob, y - knob, x + knob, y + knob);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
    struct Pair {
        int a, b;
    };
    const Pair outer = m_active ? (m_dragging ? Pair{COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT}
                                              : Pair{COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW})
                                : (m_dragging ? Pair{COLOR_3DDKSHADOW, COLOR_GRAYTEXT}
                                              : Pair{COLOR_BTNHIGHLIGHT, COLOR_GRAYTEXT});
    const Pair inner =
        m_active ? (m_dragging ? Pair{COLOR_BTNSHADOW, COLOR_3DLIGHT} : Pair{COLOR_3DLIGHT, COLOR_BTNSHADOW})
                 : (m_dragging ? Pair{COLOR_BTNSHADOW, COLOR_GRAYTEXT} : Pair{COLOR_3DLIGHT, COLOR_GRAYTEXT});
    ShadedCircle(dc, x, y, knob - 1, sys(outer.a), sys(outer.b));
    ShadedCircle(dc, x, y, knob - 2, sys(inner.a), sys(inner.b));

    if (GetFocus() == this) DottedCircle(dc, x, y, knob - 4, RGB(0, 0, 0));

    // Ticks every 45 degrees with their relief, and the hand.
    const int c = r - 5;
    const int e = int(c * std::sqrt(2.0) / 2.0);
    const int e10 = int((c - 10) * std::sqrt(2.0) / 2.0);
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CPen shadow(PS_SOLID, 1, sys(COLOR_BTNSHADOW));
    CPen highlight(PS_SOLID, 1, sys(COLOR_BTNHIGHLIGHT));

    CPen* previous = dc.SelectObject(m_active ? &shadow : &highlight);
    Line(dc, cx - c, cy - 1, cx - c + 10, cy - 1);
    Line(dc, cx + c, cy + 1, cx + c - 10, cy + 1);
    Line(dc, cx + 1, cy - c, cx + 1, cy - c + 10);
    Line(dc, cx - 1, cy + c, cx - 1, cy + c - 10);
    Line(dc, cx - e, cy - e - 1, cx - e10, cy - e10 - 1);
    Line(dc, cx + e, cy + e + 1, cx + e10, cy + e10 + 1);
    Line(dc, cx + e + 1, cy - e, cx + e10 + 1, cy - e10);
    Line(dc, cx - e - 1, cy + e, cx - e10 - 1, cy + e10);

    dc.SelectObject(&highlight);
    Line(dc, cx, cy + 1, x, y + 1);

    dc.SelectObject(m_active ? &black : &shadow);
    Line(dc, cx - c, cy, cx - c + 10, cy);
    Line(dc, cx + c, cy, cx + c - 10, cy);
    Line(dc, cx, cy - c, cx, cy - c + 10);
    Line(dc, cx, cy + c, cx, cy + c - 10);
    Line(dc, cx - e, cy - e, cx - e10, cy - e10);
    Line(dc, cx + e, cy + e, cx + e10, cy + e10);
    Line(dc, cx + e, cy - e, cx + e10, cy - e10);
    Line(dc, cx - e, cy + e, cx - e10, cy + e10);

    dc.SelectObject(m_active ? &red : &shadow);
    Line(dc, cx, cy, x, y);
    dc.SelectObject(previous);
}
