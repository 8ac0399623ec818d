#include "viewer/core/figures.h"

#include <algorithm>
#include <cmath>

#include "outside/basecore/coord_law_data.h"
#include "platform/cstring.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "viewer/core/property_list.h"

int FigureToScreen(double v, int origin, double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale)) return 0;
    const double s = std::floor((v + 0.5 - origin) / scale);
    return static_cast<int>(std::clamp(s, -1.0e9, 1.0e9));
}

// --- pointer ---------------------------------------------------------------------------------------

CPointerFigure::CPointerFigure()
{
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(IDB_POINTER_FIGURE)) return;
    BITMAP info{};
    if (!bitmap.GetBitmap(&info) || info.bmWidth <= 0 || info.bmHeight <= 0) return;
    m_Size = CSize(info.bmWidth, info.bmHeight);
    if (m_Images.Create(m_Size.cx, m_Size.cy, ILC_COLOR32 | ILC_MASK, 1, 1))
        m_Images.Add(&bitmap, RGB(0, 0, 0));
}

CPoint CPointerFigure::SetPosition(CPoint position)
{
    const CPoint previous = m_ptPosition;
    m_ptPosition = position;
    return previous;
}

void CPointerFigure::Draw(CDC* dc, int originX, int originY, double scale)
{
    if (!dc || m_Images.GetImageCount() == 0) return;
    const int cx = FigureToScreen(m_ptPosition.x, originX, scale);
    const int cy = FigureToScreen(m_ptPosition.y, originY, scale);
    m_Images.Draw(dc, 0, POINT{cx - m_Size.cx / 2, cy - m_Size.cy / 2}, ILD_TRANSPARENT);
}

CRect CPointerFigure::GetScreenRect(int originX, int originY, double scale) const
{
    const int cx = FigureToScreen(m_ptPosition.x, originX, scale);
    const int cy = FigureToScreen(m_ptPosition.y, originY, scale);
    return CRect(cx - m_Size.cx / 2, cy - m_Size.cy / 2, cx + 1 + m_Size.cx / 2, cy + 1 + m_Size.cy / 2);
}

// --- polyline --------------------------------------------------------------------------------------

void CPolyFigure::SetNodes(const std::vector<CPoint>& nodes)
{
    m_Nodes = nodes;
    Update();
}

void CPolyFigure::SetNodes(const CPoint* nodes, int count)
{
    if (nodes && count > 0)
        m_Nodes.assign(nodes, nodes + count);
    else
        m_Nodes.clear();
    Update();
}

void CPolyFigure::SetCoordLaw(CCoordLawData* law)
{
    m_pLaw = law;
    ReadOut();
}

void CPolyFigure::Update()
{
    m_rcBound = CRect(0, 0, 0, 0);
    for (const CPoint& p : m_Nodes) {
        m_rcBound.left = std::min(m_rcBound.left, p.x);
        m_rcBound.top = std::min(m_rcBound.top, p.y);
        m_rcBound.right = std::max(m_rcBound.right, p.x);
        m_rcBound.bottom = std::max(m_rcBound.bottom, p.y);
    }
    ReadOut();
}

const CCoordLawData* CPolyFigure::Law() const
{
    // A law that was never set stands for pixel units.
    return m_pLaw && m_pLaw->IsLawSet() ? m_pLaw : nullptr;
}

double CPolyFigure::GetLength(std::vector<double>* running) const
{
    const CCoordLawData* law = Law();
    if (running) running->assign(m_Nodes.size(), 0.0);
    double total = 0.0;
    for (std::size_t i = 1; i < m_Nodes.size(); ++i) {
        double dx, dy;
        if (law) {
            const auto a = law->GetLogicalCoord(m_Nodes[i - 1]);
            const auto b = law->GetLogicalCoord(m_Nodes[i]);
            dx = b.x - a.x;
            dy = b.y - a.y;
        } else {
            dx = double(m_Nodes[i].x) - m_Nodes[i - 1].x;
            dy = double(m_Nodes[i].y) - m_Nodes[i - 1].y;
        }
        total += std::sqrt(dx * dx + dy * dy);
        if (running) (*running)[i] = total;
    }
    return total;
}

namespace {

CString Text(UINT id, const char* fallback)
{
    CString s;
    if (!s.LoadString(id) || s.IsEmpty()) s = fallback;
    return s;
}

}  // namespace

void CPolyFigure::ReadOut()
{
    if (!m_pProperties) return;
    m_pProperties->Clear();
    if (m_Nodes.empty()) return;
    std::vector<double> running;
    const double total = GetLength(&running);
    const int n = static_cast<int>(m_Nodes.size());
    CString value;
    value.Format("%f", total);
    m_pProperties->Add(Text(IDS_FIGURE_LENGTH, "Lenght"), value);
    value.Format("%d", n - 1);
    m_pProperties->Add(Text(IDS_FIGURE_SEGMENTS, "Segments"), value);
    value.Format("%d", n);
    m_pProperties->Add(Text(IDS_FIGURE_NODES, "Nodes"), value);
    const CString node = Text(IDS_FIGURE_NODE, "Node");
    for (int i = 0; i < n; ++i) {
        CString name;
        name.Format("  %s %2d", static_cast<const char*>(node), i);
        const CPoint& p = m_Nodes[std::size_t(i)];
        if (const CCoordLawData* law = Law()) {
            const auto l = law->GetLogicalCoord(p);
            value.Format("(%f, %f)- %g", l.x, l.y, running[std::size_t(i)]);
        } else {
            value.Format("(%4d, %4d)- %g", p.x, p.y, running[std::size_t(i)]);
        }
        m_pProperties->Add(name, value);
    }
}

void CPolyFigure::Draw(CDC* dc, int originX, int originY, double scale)
{
    if (!dc || m_Nodes.empty()) return;
    CPen pen(PS_SOLID, 1, m_Colour);
    CPen* old = dc->SelectObject(&pen);
    dc->MoveTo(FigureToScreen(m_Nodes[0].x, originX, scale), FigureToScreen(m_Nodes[0].y, originY, scale));
    for (std::size_t i = 1; i < m_Nodes.size(); ++i)
        dc->LineTo(FigureToScreen(m_Nodes[i].x, originX, scale),
                   FigureToScreen(m_Nodes[i].y, originY, scale));
    dc->SelectObject(old);
}

CRect CPolyFigure::GetScreenRect(int originX, int originY, double scale) const
{
    return CRect(
        FigureToScreen(m_rcBound.left, originX, scale), FigureToScreen(m_rcBound.top, originY, scale),
        FigureToScreen(m_rcBound.right, originX, scale), FigureToScreen(m_rcBound.bottom, originY, scale));
}

// --- figure view -----------------------------------------------------------------------------------

CFigureView::CFigureView()
{
    m_nLayerClass = kLayerClassOverlay;
    m_nViewKind = kViewKindSingleBand;
}

void CFigureView::Init(int, int width, int height)
{
    m_nLayerClass = kLayerClassOverlay;
    m_nGeometry[0] = width;
    m_nGeometry[1] = height;
}

void CFigureView::AddFigure(CViewFigure* figure)
{
    if (figure) m_Figures.push_back(figure);
}

int CFigureView::RemoveFigure(CViewFigure* figure)
{
    const auto it = std::find(m_Figures.begin(), m_Figures.end(), figure);
    if (it == m_Figures.end()) return 0;
    m_Figures.erase(it);
    return 1;
}

void CFigureView::DrawEx(CDC* dc, int x, int y, int, int, double zoom, BOOL, BYTE*, BITMAPINFO*)
{
    if (!m_bShown) return;
    for (CViewFigure* figure : m_Figures) figure->Draw(dc, x, y, zoom);
}

void CFigureView::DrawRectEx(CDC* dc, int destX, int destY, int srcX, int srcY, int, int, double zoom, BOOL,
                             BYTE*, BITMAPINFO*)
{
    if (!m_bShown || !(zoom > 0.0) || !std::isfinite(zoom)) return;
    const double ox = std::trunc(srcX - destX * zoom), oy = std::trunc(srcY - destY * zoom);
    if (std::fabs(ox) > 2.0e9 || std::fabs(oy) > 2.0e9) return;
    for (CViewFigure* figure : m_Figures) figure->Draw(dc, int(ox), int(oy), zoom);
}

// --- holder ----------------------------------------------------------------------------------------

CFigureLayer::~CFigureLayer() = default;

CFigureView* CFigureLayer::CreateView(int layer, int width, int height)
{
    m_pView = new CFigureView;
    m_pView->Init(layer, width, height);
    return m_pView;
}

CPointerFigure* CFigureLayer::AddPointerFigure()
{
    if (!m_pView) return nullptr;
    auto* figure = new CPointerFigure;
    m_Figures.emplace_back(figure);
    m_pView->AddFigure(figure);
    return figure;
}

CPolyFigure* CFigureLayer::AddPolyFigure()
{
    if (!m_pView) return nullptr;
    auto* figure = new CPolyFigure;
    m_Figures.emplace_back(figure);
    m_pView->AddFigure(figure);
    return figure;
}

int CFigureLayer::RemoveFigure(CViewFigure* figure)
{
    if (!m_pView || !m_pView->RemoveFigure(figure)) return 0;
    const auto it =
        std::find_if(m_Figures.begin(), m_Figures.end(), [&](auto& f) { return f.get() == figure; });
    if (it != m_Figures.end()) m_Figures.erase(it);
    return 1;
}

void CFigureLayer::Forget()
{
    m_pView = nullptr;
    m_Figures.clear();
}
