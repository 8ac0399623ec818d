#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "outside/basecore/math_helpers.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/view_rect_internal.h"

namespace {

/// Copies `text` into a caller's buffer of `size` bytes, cut so that no UTF-8 character is
/// split. A null buffer or a size below 1 is skipped.
void CopyCut(char* buffer, int size, const std::string& text)
{
    if (!buffer || size < 1) return;
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    // Back up over continuation bytes when the cut falls inside a character.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string Format(const char* fmt, auto... args)
{
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt, args...);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

/// Degrees, minutes and seconds of an angle; only the degrees carry the sign.
struct Dms {
    int d;
    int m;
    double s;
};

Dms ToDms(double v)
{
    const double d = std::trunc(v);
    const double minutes = (v - d) * 60.0;
    return {static_cast<int>(d), std::abs(static_cast<int>(std::trunc(minutes))),
            std::fabs((minutes - std::trunc(minutes)) * 60.0)};
}

std::string LoadText(UINT id, const char* fallback)
{
    CString s;
    if (s.LoadString(id) && !s.IsEmpty()) return std::string(static_cast<const char*>(s));
    return fallback;
}

constexpr UINT IDS_LONGITUDE = 34068;
constexpr UINT IDS_LATITUDE = 34069;

}  // namespace

void CViewRect::FormatPointInfo(int x, int y, char* zoomText, int zoomSize, char* pixelText, int pixelSize,
                                char* valueText, int valueSize, char* coordText, int coordSize) const
{
    if (m_Views.empty()) {
        CopyCut(zoomText, zoomSize, {});
        CopyCut(pixelText, pixelSize, {});
        CopyCut(valueText, valueSize, {});
        CopyCut(coordText, coordSize, {});
        return;
    }
    CopyCut(zoomText, zoomSize, Format("%d %%", Round(100.0 / m_dScale)));
    if (x < 0 || y < 0 || x >= m_nImageWidth || y >= m_nImageHeight) {
        CopyCut(pixelText, pixelSize, {});
        CopyCut(valueText, valueSize, {});
        CopyCut(coordText, coordSize, {});
        return;
    }
    CopyCut(pixelText, pixelSize, Format("( %d, %d )", x, y));
    std::string value;
    if (CVirtualView* view = GetActiveView()) value = static_cast<const char*>(view->GetValueText(x, y));
    CopyCut(valueText, valueSize, value);

    std::string coord;
    CPointT<double> geo;
    if (m_bGeoTransform && InverseTransformPoint(m_Transform, CPointT<double>{double(x), double(y)}, &geo)) {
        const Dms lon = ToDms(geo.x), lat = ToDms(geo.y);
        const char* lonPart = m_bGeoCompact == 1 ? " %d\u00b0  %d' %lg''   " : "  %d\u00b0  %d' %lg''   ";
        const char* latPart = m_bGeoCompact == 1 ? " %d\u00b0  %d' %lg'' " : "  %d\u00b0  %d' %lg'' ";
        coord = " " + LoadText(IDS_LONGITUDE, "Longitude:") + Format(lonPart, lon.d, lon.m, lon.s) +
                LoadText(IDS_LATITUDE, "Latitude:") + Format(latPart, lat.d, lat.m, lat.s);
    } else {
        CPointT<double> logical = m_CoordLaw.GetLogicalCoord(double(x), double(y));
        if (std::fabs(logical.x) < 1e-10) logical.x = 0.0;
        if (std::fabs(logical.y) < 1e-10) logical.y = 0.0;
        coord = Format(" X:  %lg  Y:  %lg", logical.x, logical.y);
    }
    CopyCut(coordText, coordSize, coord);
}

void CViewRect::GetStatusTexts(char* zoomText, int zoomSize, char* pixelText, int pixelSize, char* valueText,
                               int valueSize, char* coordText, int coordSize) const
{
    const CPoint p = ScreenToImage(m_ptMouse);
    FormatPointInfo(p.x, p.y, zoomText, zoomSize, pixelText, pixelSize, valueText, valueSize, coordText,
                    coordSize);
    if (m_ToolMode == 9 && (m_MoveMode == 1 || m_MoveMode == 6)) {
        const int* r = m_rcSel;
        CopyCut(coordText, coordSize,
                Format("(%d, %d) - (%d, %d) = [%d x %d]", r[0], r[1], r[2], r[3], std::abs(r[0] - r[2]),
                       std::abs(r[1] - r[3])));
    }
}

int CViewRect::SetLogicalCoords(int width, int height, double xFrom, double xTo, double yFrom, double yTo)
{
    const int result = m_CoordLaw.SetDataManual(width, height, xFrom, xTo, yFrom, yTo);
    if (CWnd* parent = GetParent()) parent->SendMessage(kWmViewRect, 3, 0);
    return result;
}

void CViewRect::ExportBmp()
{
    // Built with the view window's export tools.
}

int CViewRect::CopyToClipboard(int)
{
    // Built with the view window's export tools.
    return 0;
}

// --- forwarders to the active view ----------------------------------------------------------------

namespace {

/// Component 1 asks a single-band view, the others a view of another kind.
bool ComponentFits(const CVirtualView* view, int component)
{
    return (component == 1) == (view->GetViewKind() == kViewKindSingleBand);
}

}  // namespace

int CViewRect::GetViewKind() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetViewKind() : 0;
}

int CViewRect::ImageWidth() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetWidth() : m_nImageWidth;
}

int CViewRect::ImageHeight() const
{
    const CVirtualView* view = GetActiveView();
    return view ? view->GetHeight() : m_nImageHeight;
}

CString CViewRect::GetLayerName() const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetLayerName() : CString();
}

CString CViewRect::GetValueText(int x, int y) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetValueText(x, y) : CString();
}

CString CViewRect::GetFileName(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetFileName(component) : CString();
}

unsigned* CViewRect::GetHistAddr(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetHistAddr(component, 1) : nullptr;
}

int CViewRect::GetComplexMode(int component) const
{
    CVirtualView* view = GetActiveView();
    return view && ComponentFits(view, component) ? view->GetComplexMode(component) : -1;
}

BOOL CViewRect::IsComplex(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->IsComplex(component) : FALSE;
}

double CViewRect::Min(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Min(component) : 0.0;
}

double CViewRect::Max(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Max(component) : 0.0;
}

double CViewRect::Mean(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->Mean(component) : 0.0;
}

double CViewRect::StDev(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->StDev(component) : 0.0;
}

CString CViewRect::GetStringTypeData(int component) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetStringTypeData(component) : CString();
}

CColorMap* CViewRect::GetColorMap() const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetColorMap() : nullptr;
}

CColorMap* CViewRect::GetModeColorMap(int tag) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetModeColorMap(tag) : nullptr;
}

void CViewRect::GetPalette(BYTE* palette) const
{
    CVirtualView* view = GetActiveView();
    if (view && palette) view->GetPalitra(reinterpret_cast<ColorStruct*>(palette));
}

void CViewRect::SetPaletteMode(CColorMap* map)
{
    if (CVirtualView* view = GetActiveView()) {
        view->SetColorMap(map);
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::SetPalette(const BYTE* palette)
{
    if (CVirtualView* view = GetActiveView(); view && palette) {
        view->SetPalitra(reinterpret_cast<const ColorStruct*>(palette));
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::EqualizeHistogram()
{
    if (CVirtualView* view = GetActiveView()) {
        view->EqualizeHistogram();
        m_bPainted = FALSE;
        Redraw();
    }
}

void CViewRect::SetCorrectionTable(const BYTE* table, int mode)
{
    if (CVirtualView* view = GetActiveView(); view && table) {
        view->SetCorrectionTable(table, mode);
        m_bPainted = FALSE;
        Redraw();
    }
}

int CViewRect::GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetHistDataRgn(component, counters, bytes, bins, region) : -1;
}

int CViewRect::GetHistDataRect(int component, unsigned* counters, int bytes, unsigned bins,
                               const RECT& rect) const
{
    CVirtualView* view = GetActiveView();
    return view ? view->GetHistDataRect(component, counters, bytes, bins, rect.left, rect.top, rect.right,
                                        rect.bottom)
                : -1;
}

void CViewRect::DropRendering()
{
    if (CVirtualView* view = GetActiveView()) view->SetDrawn(FALSE);
}
