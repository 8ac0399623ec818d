// The view's layers, sample read-out, profiles, statistics of a selection and saves of parts.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/sample_component.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/stretch_calculator.h"
#include "outside/basecore/thread_runner.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/region.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_internal.h"
#include "viewer/core/raster_view_jobs.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/view_result_param.h"

namespace {

constexpr const char* kTextProfileX = "Profile along X axis with Y=";
constexpr const char* kTextProfileY = "Profile along Y axis with X=";
constexpr COLORREF kProfileColour = 0xFF80FF;

/// One sample of the shown mode as a double, for every type; unsigned complex parts stay
/// unsigned.
double SampleValue(int type, const void* element, int mode)
{
    return visitSampleType(type, [&]<class T>(Tag<T>) -> double {
        T s;
        std::memcpy(&s, element, sizeof(T));
        return SampleComponent(s, mode);
    });
}

}  // namespace

using raster_view_detail::NewLayer;

BOOL CRasterView::MakeWorkingCopy()
{
    if (m_workingIsFileLayer) return TRUE;
    if (!m_fileLayer || !m_fileLayer->IsOpen()) return FALSE;
    if (m_fileLayer->GetOpenMode() == kOpenWritable && !m_tempStats) {
        m_workingIsFileLayer = TRUE;
        m_workingShown = TRUE;
        return TRUE;
    }
    m_workingCopy.reset();
    auto copy = NewLayer(true);
    if (!copy->CreateLayerTempName(m_nGeometry[0], m_nGeometry[1], m_type, 7)) return FALSE;
    if (!copy->ReadData(m_fileLayer.get(), CPoint(0, 0), CPoint(0, 0), CSize(-1, -1))) return FALSE;
    m_workingCopy = copy;
    m_workingShown = TRUE;
    Notify(kViewerReopened, 0, nullptr, TRUE);
    return TRUE;
}

CRDPLayer* CRasterView::GetLayer(int component)
{
    if (component != 1) return nullptr;
    if (m_workingShown && !m_workingIsFileLayer && m_workingCopy) return m_workingCopy.get();
    return m_fileLayer.get();
}

CRDPLayer* CRasterView::GetSourceLayer(int component)
{
    return component == 1 ? m_fileLayer.get() : nullptr;
}

void** CRasterView::GetRows(int component)
{
    if (component != 1) return nullptr;
    if (CRDPLayer* layer = GetLayer(1)) return layer->GetRows();
    return m_bufferRows.empty() ? nullptr : m_bufferRows.data();
}

BOOL CRasterView::IsComplex(int component)
{
    if (component != 1) return FALSE;
    return IsComplexType(m_type);
}

CString CRasterView::GetValueText(int x, int y)
{
    double value = 0.0;
    void** rows = GetRows(1);
    if (rows && !IsBusy() && x >= 0 && y >= 0 && x < m_nGeometry[0] && y < m_nGeometry[1] &&
        isValidType(m_type))
        value = SampleValue(
            m_type, static_cast<const BYTE*>(rows[y]) + std::int64_t(x) * elementBytes(m_type), m_mode);
    CString text;
    text.Format("%g", value);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Profiles

bool CRasterView::ReadProfile(int direction, int position, std::vector<double>& values)
{
    void** rows = GetRows(1);
    const int width = m_nGeometry[0], height = m_nGeometry[1];
    const bool alongX = direction == 1;
    // A row or column outside the layer has no profile.
    if (!rows || !isValidType(m_type) || position < 0 || position >= (alongX ? height : width)) return false;
    const int count = alongX ? width : height;
    values.resize(std::size_t(count));
    const int element = elementBytes(m_type);
    for (int i = 0; i < count; ++i) {
        const BYTE* at = alongX ? static_cast<const BYTE*>(rows[position]) + std::int64_t(i) * element
                                : static_cast<const BYTE*>(rows[i]) + std::int64_t(position) * element;
        values[std::size_t(i)] = SampleValue(m_type, at, m_mode);
    }
    return true;
}

CString CRasterView::ProfileCaption(int direction, int position)
{
    CString caption;
    caption.Format("%s %d", direction == 1 ? kTextProfileX : kTextProfileY, position);
    return caption;
}

void CRasterView::ShowProfile(int direction, int position, CWnd* parent, CCoordLawData* law)
{
    RasterProfileRequest request;
    if (!ReadProfile(direction, position, request.values)) return;
    request.parent = parent;
    request.colour = kProfileColour;
    request.caption = ProfileCaption(direction, position);
    const bool alongX = direction == 1;
    if (law) {
        const int count = int(request.values.size());
        request.points.resize(std::size_t(count));
        for (int i = 0; i < count; ++i)
            request.points[std::size_t(i)] = alongX ? law->GetLogicalCoord(double(i), double(position))
                                                    : law->GetLogicalCoord(double(position), double(i));
    }
    const RasterViewServices& services = GetRasterViewServices();
    if (!services.showProfile) return;
    if (!services.showProfile(request) && !law)
        ::MessageBox(nullptr, "Error on init ProfileFrame", "ShowProfile", MB_OK);
}

// ---------------------------------------------------------------------------------------------
// Statistics of a selection

int CRasterView::GetHistDataRgn(int component, unsigned* counters, int bytes, unsigned bins, HRGN region)
{
    CRDPLayer* layer = GetLayer(1);
    if (component != 1 || !layer || !region || !counters) return -1;
    if (::CombineRgn(region, region, region, RGN_AND) == SIMPLEREGION) {
        RECT box{};
        ::GetRgnBox(region, &box);
        return layer->CalcHist(&box, int(bins), reinterpret_cast<DWORD*>(counters), bytes);
    }
    return layer->CalcHistRgn(region, int(bins), reinterpret_cast<DWORD*>(counters), bytes);
}

void CRasterView::ShowRegionStatistics(HRGN region, CWnd* histogramSource)
{
    if (!region) return;
    RasterRegionStatisticsRequest request;
    request.parent = m_notify;
    request.histogramSource = histogramSource;
    request.rows = GetRows(1);
    if (std::shared_ptr<CRDPLayer> shown =
            m_workingShown && !m_workingIsFileLayer ? m_workingCopy : m_fileLayer) {
        request.keepAlive = shown;
    } else if (!m_bufferRows.empty()) {
        // A caller's buffer: the job gets its own copy of the row table.
        auto table = std::make_shared<std::vector<void*>>(m_bufferRows);
        request.rows = table->data();
        request.keepAlive = table;
    }
    request.typeCode = m_type;
    request.width = m_nGeometry[0];
    request.height = m_nGeometry[1];
    request.sourcePath = m_path;
    request.region = ::CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(request.region, region, nullptr, RGN_COPY);
    const RasterViewServices& services = GetRasterViewServices();
    if (services.showRegionStatistics)
        services.showRegionStatistics(request);
    else
        ::DeleteObject(request.region);
}

// ---------------------------------------------------------------------------------------------
// Saving parts

void CRasterView::SaveRectAs(const RECT* rect)
{
    if (!rect || !GetRows(1) || !m_fileLayer) return;
    CString path;
    if (!AskSavePath(path)) return;
    auto record = std::make_unique<RasterSaveRecord>();
    record->destination = path;
    record->rect = *rect;
    record->source = m_path;
    RasterSaveRecord* job = record.release();
    if (!::Run(kTextSavingSegment, &SaveRasterRectJob, job)) delete job;  // never started: still ours
}

void CRasterView::SaveRegionAs(HRGN region)
{
    if (!region || !GetRows(1) || !m_fileLayer) return;
    CString path;
    if (!AskSavePath(path)) return;
    auto record = std::make_unique<RasterSaveRecord>();
    record->destination = path;
    record->region = ::CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(record->region, region, nullptr, RGN_COPY);
    record->source = m_path;
    auto* param = new ViewResultParam;
    param->component = m_mode;
    param->stretchLow = m_low;
    param->stretchHigh = m_high;
    param->stretchMethod = kStretchManual;
    param->fileName = path;
    RasterSaveRecord* job = record.release();
    if (!::Run(kTextSavingSegment, &SaveRasterRegionJob, job, &ViewResultFunction, param))
        delete job;  // never started: the record is still ours (the runner disposed of param)
}

BOOL CRasterView::AskSavePath(CString& path)
{
    const CString folder = GetStringValue("\\Settings\\General", "WorkDir");
    CInfoFileDialog dialog(FALSE, "rdp", nullptr, 0xC006, kTextSaveFilter, m_notify);
    dialog.m_ofn.lpstrInitialDir = folder.IsEmpty() ? nullptr : folder.c_str();
    if (dialog.DoModal() != IDOK) return FALSE;
    path = dialog.GetPathName();
    return path.IsEmpty() ? FALSE : TRUE;
}
