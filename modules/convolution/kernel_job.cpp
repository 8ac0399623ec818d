#include "modules/convolution/kernel_job.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "modules/common/job_support.h"
#include "modules/convolution/convolution_kernels.h"
#include "modules/convolution/kernova_resources.h"
#include "outside/basecore/cmeter_info_empty.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"
#include "platform/window/wnd.h"

namespace {

BOOL AllButTag201(int id)
{
    return id != TAG_NO_COPY_201;
}

[[noreturn]] void Fail(UINT textId)
{
    AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadKernovaText(textId));
}

/// The values of a mask layer, row 0 first; a complex mask gives its real parts.
bool ReadMaskValues(const CRDPLayer& layer, std::vector<double>& values)
{
    const int w = layer.Width(), h = layer.Height();
    std::vector<double> line(2 * std::size_t(w));
    values.resize(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        if (!layer.GetDoubleLine(y, line.data(), w)) return false;
        double* out = values.data() + std::size_t(y) * w;
        if (layer.IsComplex())
            for (int x = 0; x < w; ++x) out[x] = line[std::size_t(2 * x)];
        else
            std::copy_n(line.data(), w, out);
    }
    return true;
}

void ConvolveLayer(const KernelJobParams& job, CMeterInfo& meter)
{
    const CString caption = LoadKernovaText(IDS_CONV_CAPTION);
    const CString createText = LoadKernovaText(IDS_FILTR_TASK_CREATE);
    const CString prepareText = LoadKernovaText(IDS_FILTR_PREPARING);
    CRDPLayer in(&meter);
    CRDPLayer out(&meter);
    const int taskCreate = meter.AddTask(createText, "", 0);
    const int taskPrepare = meter.AddTask(prepareText, "", 0);
    const int taskConvolve = meter.AddTask(job.maskCaption, "", 0);
    const int taskStats = meter.AddTask(LoadKernovaText(IDS_FILTR_TASK_STATS), "", 0);

    RunGuarded(meter, caption, out, [&] {
        if (!in.OpenLayer(job.inputPath, kOpenReadOnly)) Fail(IDS_CONV_OPEN_FAILED);
        const int w = in.Width(), h = in.Height(), type = in.Type();
        meter.SetText(createText);
        meter.SetPos(0);
        Phase(meter, taskCreate, [&] {
            const int outType = ConvolutionOutputType(type);
            if (!outType || !out.CreateLayer(job.outputPath, w, h, outType, 15))
                Fail(IDS_FILTR_CREATE_FAILED);
        });
        meter.SetText(prepareText);
        Phase(meter, taskPrepare, [&] { out.SetZero(nullptr); });
        WorkingMask mask;
        Phase(meter, taskConvolve, [&] {
            mask = PrepareMask(job.maskPath, w, h, job.angleDegrees);
            meter.SetRange(0, h);
            meter.SetText(job.maskCaption);
            ConvolveImage(type, RowSource{in.GetRows(), h, w}, mask, out.GetRows(),
                          MeterProgress(&meter, mask.HalfHeight()));
        });
        Phase(meter, taskStats, [&] {
            // The border the mask cannot reach holds no data: the statistics leave it out.
            const RECT convolved{mask.HalfWidth(), mask.HalfHeight(), w - mask.HalfWidth() - 1,
                                 h - mask.HalfHeight() - 1};
            if (!out.StatisticCountRect(&convolved))
                AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
        });
        // Tags join the output before it is closed, so the file appears complete at once.
        CopyTag(&out, &in, AllButTag201);
        in.CloseLayer();
        if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
    });
    in.CloseLayer();
}

/// Fills the result of a real preview: the engine's double arithmetic on the preview raster.
void ConvolveRealPreview(const KernelJobParams& request, int w, int h, CRDPLayer& source, CRDPLayer& result)
{
    const WorkingMask mask = PrepareMask(request.maskPath, w, h, request.angleDegrees);
    // On this idle thread alone: the preview must not take the cores from jobs.
    ConvolveImage(int(DataType::F64), RowSource{source.GetRows(), h, w}, mask, result.GetRows(), {}, 1);
}

/// NaN shows as 0 in a preview.
void ClearNaN(CRDPLayer& layer)
{
    const std::size_t parts = std::size_t(layer.Width()) * (layer.IsComplex() ? 2 : 1);
    for (int y = 0; y < layer.Height(); ++y) {
        auto* row = static_cast<double*>(layer.GetRows()[y]);
        for (std::size_t i = 0; i < parts; ++i)
            if (std::isnan(row[i])) row[i] = 0.0;
    }
}

}  // namespace

WorkingMask PrepareMask(const char* maskPath, int inputWidth, int inputHeight, float angleDegrees)
{
    CRDPLayer first(nullptr);
    if (!maskPath || !first.OpenLayer(maskPath, kOpenReadOnly)) Fail(IDS_CONV_OPEN_FAILED);
    const int w = first.Width(), h = first.Height();
    if (inputWidth - w < 1 || inputHeight - h < 1) Fail(IDS_CONV_MASK_TOO_LARGE);
    if (w % 2 == 0 || h % 2 == 0) Fail(IDS_CONV_MASK_EVEN);
    std::vector<double> x, y;
    try {
        if (!ReadMaskValues(first, x)) Fail(IDS_CONV_MASK_LOAD_FAILED);
        if (CRDPLayer::GetNumLayer(maskPath) != 2) return MixMask(w, h, std::move(x), nullptr, angleDegrees);
        CRDPLayer second(nullptr);
        // The Y component is mixed element by element with the X one: it must match it.
        if (!second.OpenLayerEx(maskPath, kOpenReadOnly, 1) || second.Width() != w || second.Height() != h ||
            !ReadMaskValues(second, y))
            Fail(IDS_CONV_MASK_LOAD_FAILED);
    } catch (const std::bad_alloc&) {
        Fail(IDS_CONV_MASK_LOAD_FAILED);
    }
    return MixMask(w, h, std::move(x), &y, angleDegrees);
}

void KernelJob(void* record, CMeterInfo* meter)
{
    std::unique_ptr<KernelJobParams> job(static_cast<KernelJobParams*>(record));
    if (!job || !meter) return;
    // Without a readable header there is no type to convolve with: say so rather than end
    // silently with no output.
    if (!LayerHeaderOf(job->inputPath)) {
        ReportJobFailure(*meter, LoadKernovaText(IDS_CONV_CAPTION),
                         LoadKernovaText(IDS_CONV_OPEN_FAILED) + job->inputPath);
        return;
    }
    ConvolveLayer(*job, *meter);
}

bool ConvolveComplexPreview(const KernelJobParams& request, int width, int height,
                            const double* const* source, double* const* result)
{
    try {
        const WorkingMask mask = PrepareMask(request.maskPath, width, height, request.angleDegrees);
        ConvolveImage(int(DataType::C128),
                      RowSource{reinterpret_cast<const void* const*>(source), height, width}, mask,
                      reinterpret_cast<void* const*>(result), {}, 1);
        return true;
    } catch (CRDPExcept* e) {
        e->Delete();
    } catch (const std::exception&) {
    }
    return false;
}

UINT ConvolvePreview(LPVOID request)
{
    auto* record = static_cast<KernelJobParams*>(request);
    if (!record) return 0;
    CMeterInfoEmpty sink;
    CRDPLayer source(&sink);
    CRDPLayer result(&sink);
    bool done = false;
    try {
        std::vector<BYTE> statistics(std::size_t(layerfile::kStatisticsBytes));
        if (!GetTag(record->inputPath, TAG_STATISTICS, int(layerfile::kStatisticsBytes), statistics.data()))
            throw 0;
        // The planes to read follow the file's own type, so that the rows always match the
        // arithmetic run on them.
        const auto header = LayerHeaderOf(record->inputPath);
        if (!header) throw 0;
        const bool complex = isComplexType(header->type);
        SDoublePreviewImage first, second;
        if (!GetPreviewImage(record->inputPath, first, complex ? kReal : 0)) throw 0;
        if (complex && (!GetPreviewImage(record->inputPath, second, kImaginary) ||
                        second.width != first.width || second.height != first.height))
            throw 0;
        const int w = first.width, h = first.height;
        const int type = int(complex ? DataType::C128 : DataType::F64);
        if (!source.CreateTempLayer(w, h, type) || !result.CreateTempLayer(w, h, type)) throw 0;
        result.SetZero(nullptr);
        record->previewWidth = w;
        record->previewHeight = h;
        // The preview raster keeps its bottom row first; the layers keep the file's order, in
        // which the mask's first row meets the row above the centre.
        for (int y = 0; y < h; ++y) {
            const std::size_t from = std::size_t(h - 1 - y) * w;
            auto* dst = static_cast<double*>(source.GetRows()[y]);
            for (int x = 0; x < w; ++x) {
                if (complex) {
                    dst[2 * x] = first.data[from + x];
                    dst[2 * x + 1] = second.data[from + x];
                } else {
                    dst[x] = first.data[from + x];
                }
            }
        }
        if (!complex)
            ConvolveRealPreview(*record, w, h, source, result);
        else if (!ConvolveComplexPreview(*record, w, h,
                                         reinterpret_cast<const double* const*>(source.GetRows()),
                                         reinterpret_cast<double* const*>(result.GetRows())))
            throw 0;
        ClearNaN(result);
        record->resultLayer = &result;
        done = true;
    } catch (CRDPExcept* e) {
        e->Delete();
    } catch (...) {
    }
    if (!done) record->resultLayer = nullptr;
    // The dialog frees the request once it has taken it, inside this call; a dialog closed
    // meanwhile takes nothing, and the request is still this thread's.
    const HWND owner = record->owner;
    if (!::SendMessage(owner, WM_KERNEL_PREVIEW, done ? kKernelPreviewDone : kKernelPreviewFailed,
                       reinterpret_cast<LPARAM>(record)))
        delete record;
    if (done) {
        source.CloseLayer();
        result.CloseLayer();
    } else {
        source.DestroyLayer();
        result.DestroyLayer();
    }
    return done ? 1 : 0;
}
