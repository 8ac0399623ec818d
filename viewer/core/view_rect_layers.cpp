#include <memory>

#include "outside/basecore/geo_tags.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/rgb_view.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/vector_view.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

void CViewRect::LoadGeoReference(const CRDPLayer& layer)
{
    SGeoTags tags;
    ReadGeoTags(layer, &tags);
    SetGeoReference(tags, m_CoordLaw.LoadData(layer));
}

void CViewRect::LoadGeoReference(const char* file)
{
    SGeoTags tags;
    ReadGeoTags(file, &tags);
    SetGeoReference(tags, m_CoordLaw.LoadData(file));
}

void CViewRect::SetGeoReference(const SGeoTags& tags, BOOL lawLoaded)
{
    m_bGeoTransform = FALSE;
    m_bGeoCompact = tags.hasReadout ? tags.compact : 0;
    m_Transform = TransformMatrix{};
    if (lawLoaded) EquateTransform(tags.transform, &m_Transform);
    TransformMatrix geo;
    if (MakeGeoTransform(tags, &geo)) {
        m_Transform = geo;
        m_bGeoTransform = TRUE;
    }
}

namespace {

/// Tells the parent that a layer could not be shown (no record: wParam 0).
void PostFailure(CWnd* self)
{
    if (CWnd* parent = self->GetParent()) parent->PostMessage(WM_VIEWER, 0, kViewerFailed);
}

}  // namespace

int CViewRect::AddTransformedLayer(const char* file, int component, double stretchLow, double stretchHigh,
                                   int stretchMethod, int openMode, CMeterInfoBase* meter, CStatusBar* status)
{
    auto* view = new CRasterView;
    const bool first = m_nActive < 0;
    const int index = AppendView(view);
    if (first) m_nActive = index;
    if (!file || !view->Open(view->GetIndex(), this, file, component, stretchLow, stretchHigh, stretchMethod,
                             openMode, meter, status)) {
        RemoveViewAt(index);
        if (first) {
            m_bGeoTransform = FALSE;
            m_Transform = TransformMatrix{};
            m_CoordLaw.Reset();
        }
        AfterStackEmptied();
        PostFailure(this);
        return -1;
    }
    // The first layer's tags give the window its coordinates, read from the layer just opened.
    if (first) LoadGeoReference(*view->GetSourceLayer(1));
    if (m_nBytesPerPixel == 0) m_nBytesPerPixel = 1;
    return index;
}

int CViewRect::AddRasterLayer(const char* name, void* samples, int width, int height, int dataType,
                              BYTE* pyramid, PalitraTag* palette, double low, double high,
                              CMeterInfoBase* meter, CStatusBar* status)
{
    auto* view = new CRasterView;
    const bool first = m_nActive < 0;
    const int index = AppendView(view);
    if (first) m_nActive = index;
    if (!view->OpenBuffer(view->GetIndex(), this, name ? name : "", samples, width, height, dataType, pyramid,
                          palette, low, high, meter, status)) {
        RemoveViewAt(index);
        AfterStackEmptied();
        return -1;
    }
    if (m_nBytesPerPixel == 0) m_nBytesPerPixel = 1;
    return index;
}

int CViewRect::AddBlankLayer(const char* path, int width, int height, int dataType, int stretchMethod,
                             CMeterInfoBase* meter, CStatusBar* status)
{
    auto* view = new CRasterView;
    const bool first = m_nActive < 0;
    const int index = AppendView(view);
    if (first) {
        m_nActive = index;
        m_bGeoTransform = FALSE;
    }
    // A failed creation reports itself to this window once; that late report finds no
    // view and stops here, and the parent hears of the failure from the post below.
    if (!path || !view->CreateBlank(view->GetIndex(), this, path, width, height, dataType, stretchMethod,
                                    meter, status)) {
        RemoveViewAt(index);
        AfterStackEmptied();
        PostFailure(this);
        return -1;
    }
    if (m_nBytesPerPixel == 0) m_nBytesPerPixel = 1;
    return index;
}

int CViewRect::AddRgbLayer(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue,
                           CMeterInfoBase* meter, CStatusBar* status)
{
    auto* view = new CRGBView;
    const bool first = m_nActive < 0;
    const int index = AppendView(view);
    if (first) {
        m_nActive = index;
        LoadGeoReference(red ? static_cast<const char*>(red->fileName) : "");
    }
    m_nBytesPerPixel = 3;
    view->OpenLayers(view->GetIndex(), this, red, green, blue, meter, status);
    return index;
}

int CViewRect::AddVectorLayer(CVectorImage* image)
{
    if (m_nActive < 0 || !image) return -1;
    auto* view = new CVectorView;
    const int index = AppendView(view);
    view->Set(view->GetIndex(), image, m_nImageWidth, m_nImageHeight);
    view->SetShown(TRUE);
    m_bPainted = FALSE;
    Redraw();
    return index;
}

int CViewRect::AddFigureLayer(int flags, BOOL redraw)
{
    if (m_nActive < 0) return -1;
    if (!m_FigureLayer.GetView()) {
        CFigureView* view = m_FigureLayer.CreateView(GetViewCount(), m_nImageWidth, m_nImageHeight);
        AppendView(view);
        view->SetShown(TRUE);
    }
    // One pointer and one measure line at a time: asking again keeps the one there is.
    if ((flags & 1) && !m_pPointer) {
        m_pPointer = m_FigureLayer.AddPointerFigure();
        if (m_pPointer) m_pPointer->SetPosition(CPoint(-1, -1));
    }
    if ((flags & 2) && !m_pMeasure) {
        m_pMeasure = m_FigureLayer.AddPolyFigure();
        if (m_pMeasure) m_pMeasure->SetCoordLaw(&m_CoordLaw);
    }
    if (redraw) {
        m_bPainted = FALSE;
        Redraw();
    }
    return GetViewCount() - 1;
}

// --- forwarders that only a raster view answers ---------------------------------------------------

namespace {

CRasterView* AsRaster(CVirtualView* view)
{
    return view && view->GetViewKind() == kViewKindSingleBand ? dynamic_cast<CRasterView*>(view) : nullptr;
}

}  // namespace

int CViewRect::Redisplay(CMeterInfoBase* meter, CStatusBar* status, int complexMode, double stretchLow,
                         double stretchHigh, int stretchMethod)
{
    CRasterView* view = AsRaster(GetActiveView());
    return view ? view->Redisplay(meter, status, complexMode, stretchLow, stretchHigh, stretchMethod) : 0;
}

int CViewRect::StartTuneRepresentation(ViewResultParam* red, ViewResultParam* green, ViewResultParam* blue)
{
    auto* view = dynamic_cast<CRGBView*>(GetActiveView());
    if (!view) return 0;
    return view->ReopenLayers(red, green, blue, nullptr, nullptr);
}

int CViewRect::Reopen(const char* path)
{
    CRasterView* view = AsRaster(GetActiveView());
    return view && path ? view->Reopen(path) : 0;
}

int CViewRect::CalcStatistics(int a, CMeterInfoBase* meter, CStatusBar* status, int flag)
{
    CRasterView* view = AsRaster(GetActiveView());
    if (flag != 1 || !view) return 1;
    return view->StartStatistics(a, meter, status, 0);
}

void CViewRect::ShowComplexComponent(int mode)
{
    if (CRasterView* view = AsRaster(GetActiveView())) view->SelectModeColorMap(mode);
}
