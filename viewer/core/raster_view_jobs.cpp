#include "viewer/core/raster_view_jobs.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "outside/basecore/cmeter_info.h"
#include "platform/last_error.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/window/modal.h"
#include "viewer/core/raster_view_services.h"
#include "viewer/core/view_result_param.h"

RasterSaveRecord::~RasterSaveRecord()
{
    if (region) ::DeleteObject(region);
}

RasterViewServices& GetRasterViewServices()
{
    // Empty until the frame and the analysis windows install theirs at load.
    static RasterViewServices services;
    return services;
}

namespace {

void OpenSource(CRDPLayer& source, const CString& path)
{
    if (!source.OpenLayer(path.c_str(), kOpenReadOnly))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
}

/// Copies the box (left, top, width x height) of the source into a new layer file; the
/// caller may change its rows before it closes. Returns with `out` still open.
void CopyBox(CRDPLayer& out, const CRDPLayer& source, const CString& destination, int left, int top,
             int width, int height)
{
    if (!out.CreateLayer(destination.c_str(), width, height, source.Type(), 7))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, kTextErrorCreatingFile);
    if (!out.ReadData(&source, CPoint(left, top), CPoint(0, 0), CSize(width, height)))
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
}

/// Closes the new layer, then gives it the source's tags and coordinates.
void Finish(CRDPLayer& out, const RasterSaveRecord& record, int left, int top)
{
    if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
    CopyTag(record.destination.c_str(), record.source.c_str());
    POINT origin{left, top};
    SaveSubsetTransform(origin, record.source.c_str(), record.destination.c_str());
}

}  // namespace

void SaveRasterRectJob(void* arg, CMeterInfo* meter)
{
    std::unique_ptr<RasterSaveRecord> record(static_cast<RasterSaveRecord*>(arg));
    CRDPLayer source(nullptr);
    OpenSource(source, record->source);
    RECT r = record->rect;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    const int left = std::max<int>(0, r.left), top = std::max<int>(0, r.top);
    const int right = std::min<int>(source.Width() - 1, r.right);
    const int bottom = std::min<int>(source.Height() - 1, r.bottom);
    if (right < left || bottom < top) AfxThrowRDPExcept(RDP_ERROR_PROCESS, kTextErrorCreatingFile);
    CRDPLayer out(meter);
    CopyBox(out, source, record->destination, left, top, right - left + 1, bottom - top + 1);
    Finish(out, *record, left, top);
}

void SaveRgbRectJob(void* arg, CMeterInfo* meter)
{
    std::unique_ptr<RgbSaveRecord> record(static_cast<RgbSaveRecord*>(arg));
    RECT r = record->rect;
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    // The outputs stay uncommitted until every channel is copied: a later failure then
    // removes them all and replaces nothing.
    std::unique_ptr<CRDPLayer> outputs[3];
    int left[3] = {}, top[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (record->destination[i].IsEmpty()) continue;
        CRDPLayer source(nullptr);
        OpenSource(source, record->source[i]);
        left[i] = std::max<int>(0, r.left);
        top[i] = std::max<int>(0, r.top);
        const int right = std::min<int>(source.Width() - 1, r.right);
        const int bottom = std::min<int>(source.Height() - 1, r.bottom);
        auto out = std::make_unique<CRDPLayer>(meter);
        if (right < left[i] || bottom < top[i] ||
            !out->CreateLayer(record->destination[i].c_str(), right - left[i] + 1, bottom - top[i] + 1,
                              source.Type(), 7)) {
            ::MessageBox(nullptr, kTextErrorCreatingFile, "", MB_OK);
            continue;
        }
        if (!out->ReadData(&source, CPoint(left[i], top[i]), CPoint(0, 0),
                           CSize(right - left[i] + 1, bottom - top[i] + 1)))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
        outputs[i] = std::move(out);
    }
    for (int i = 0; i < 3; ++i) {
        if (!outputs[i]) continue;
        RasterSaveRecord part;
        part.destination = record->destination[i];
        part.source = record->source[i];
        Finish(*outputs[i], part, left[i], top[i]);
    }
}

void SaveRasterRegionJob(void* arg, CMeterInfo* meter)
{
    std::unique_ptr<RasterSaveRecord> record(static_cast<RasterSaveRecord*>(arg));
    CRDPLayer source(nullptr);
    OpenSource(source, record->source);
    RECT box{};
    if (!record->region || ::GetRgnBox(record->region, &box) == NULLREGION)
        AfxThrowRDPExcept(RDP_ERROR_PROCESS, kTextErrorCreatingFile);
    // The box's right and bottom edges lie outside the region.
    const int left = std::max<int>(0, box.left), top = std::max<int>(0, box.top);
    const int right = std::min<int>(source.Width(), box.right);
    const int bottom = std::min<int>(source.Height(), box.bottom);
    if (right <= left || bottom <= top) AfxThrowRDPExcept(RDP_ERROR_PROCESS, kTextErrorCreatingFile);
    const int width = right - left, height = bottom - top;
    CRDPLayer out(meter);
    CopyBox(out, source, record->destination, left, top, width, height);

    const int parts = IsComplexType(source.Type()) ? 2 : 1;
    std::vector<double> row(static_cast<std::size_t>(width) * parts);
    // The region's spans, taken once and placed on the part: each row clears what lies
    // between them, instead of asking the region about every pixel.
    platform::SpanRegion inside = ::GetRgnSpans(record->region);
    inside.Offset(-left, -top);
    const auto clear = [&](int from, int to) {
        if (from < to)
            std::fill(row.begin() + std::ptrdiff_t(from) * parts, row.begin() + std::ptrdiff_t(to) * parts,
                      0.0);
    };
    if (meter) {
        meter->SetRange(0, height);
        meter->SetStep(1.0);
    }
    for (int y = 0; y < height; ++y) {
        if (meter) meter->SetPos(y);
        if (!out.GetDoubleLine(y, row.data(), width))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
        int x = 0;
        for (const platform::Span& span : inside.RowSpans(y)) {
            clear(x, std::clamp(span.x0, x, width));
            x = std::clamp(span.x1, x, width);
        }
        clear(x, width);
        if (!out.SetLineFromDouble(y, row.data(), width))
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()).c_str());
    }
    Finish(out, *record, left, top);
}

void StretchLevelRows(BYTE* dst, int dstW, int dstH, int dstStride, const BYTE* src, int srcW, int srcH,
                      int srcStride)
{
    if (dstW <= 0 || dstH <= 0 || srcW <= 0 || srcH <= 0) return;
    // Column steps are the same for every row: one table, then a gather per row.
    std::vector<int> columns(static_cast<std::size_t>(dstW));
    {
        int s = 0, rest = 0;
        const int whole = srcW / dstW, part = srcW % dstW;
        for (int x = 0; x < dstW; ++x) {
            columns[std::size_t(x)] = std::min(s, srcW - 1);
            s += whole;
            rest += part;
            if (rest >= dstW) {
                rest -= dstW;
                ++s;
            }
        }
    }
    int s = 0, rest = 0;
    const int whole = srcH / dstH, part = srcH % dstH;
    const BYTE* previousSource = nullptr;
    BYTE* previousRow = nullptr;
    for (int y = 0; y < dstH; ++y) {
        const BYTE* in = src + std::int64_t(std::min(s, srcH - 1)) * srcStride;
        BYTE* out = dst + std::int64_t(y) * dstStride;
        if (in == previousSource) {
            std::copy_n(previousRow, dstW, out);
        } else {
            for (int x = 0; x < dstW; ++x) out[x] = in[columns[std::size_t(x)]];
            previousSource = in;
            previousRow = out;
        }
        s += whole;
        rest += part;
        if (rest >= dstH) {
            rest -= dstH;
            ++s;
        }
    }
}
