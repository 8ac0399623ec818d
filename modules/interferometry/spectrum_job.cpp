#include "modules/interferometry/spectrum_job.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

#include "modules/common/job_support.h"
#include "modules/interferometry/fringe_job.h"
#include "modules/interferometry/spectrum_kernels.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/fft_class.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"

namespace {

std::atomic<Transform2DProc> g_forward{&CFFTClass::FFT_2D};
std::atomic<Transform2DProc> g_inverse{&CFFTClass::IFFT_2D};

void ThrowLastError()
{
    AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
}

/// Creates the output inside a guarded body: a failure is the 631 text for the guard to show.
void CreateOutput(CRDPLayer& out, const CString& path, int width, int height, int type)
{
    if (out.CreateLayer(path, width, height, type, 7)) return;
    CString text;
    text.Format(LoadFringeText(IDS_CANT_CREATE), static_cast<const char*>(path));
    AfxThrowRDPExcept(RDP_ERROR_PROCESS, text);
}

void** CreateScratch(CRDPLayer& layer, std::int64_t width, std::int64_t height, int type)
{
    void** rows = layer.CreateTempLayer(int(width), int(height), type);
    if (!rows) ThrowLastError();
    return rows;
}

/// Both padded sides, or the transform's failure when a side is beyond its limit.
void PaddedSides(int w, int h, std::int64_t& wp, std::int64_t& hp)
{
    wp = PaddedSide(w);
    hp = PaddedSide(h);
    if (wp == 0 || hp == 0) AfxThrowRDPExcept(RDP_ERROR_FFT);
}

/// The quadrant swap over a whole spectrum, rows in parallel; progress counts row pairs.
void SwapQuadrants(int type, void* const* rows, std::int64_t wp, std::int64_t hp, CMeterInfo* meter)
{
    const std::int64_t half = hp / 2;
    meter->SetText(LoadFringeText(IDS_SPECTRUM_SHIFT));
    meter->SetRange(0, double(half));
    ForEachRow(
        half, [&](std::int64_t y, int) { SwapQuadrantRows(type, rows[y], rows[y + half], wp); },
        MeterProgress(meter));
}

/// The frequency law of a centred spectrum from the input's coordinate law, written with the
/// spectrum: none when a pixel step is zero or not finite (a one-pixel side, a damaged law).
void SaveFrequencyLaw(const CString& input, CRDPLayer& output, std::int64_t wp, std::int64_t hp)
{
    CCoordLawData law;
    law.LoadData(input);
    const auto p0 = law.GetLogicalCoord(0.0, 0.0);
    const auto p1 = law.GetLogicalCoord(double(wp - 1), double(hp - 1));
    const double dx = p1.x - p0.x, dy = p1.y - p0.y;
    if (!std::isfinite(dx) || !std::isfinite(dy) || dx == 0.0 || dy == 0.0) return;
    CCoordLawData frequency;
    frequency.SaveDataKt(output, 1.0 / dx, double(1 - wp / 2) / dx, 1.0 / dy, double(1 - hp / 2) / dy);
}

}  // namespace

FourierTransforms SetFourierTransforms(const FourierTransforms& transforms)
{
    return FourierTransforms{g_forward.exchange(transforms.forward), g_inverse.exchange(transforms.inverse)};
}

void Calc_Spectr(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SSpectrParam> job(static_cast<SSpectrParam*>(record));
    const CString& caption = job->errorCaption;
    const int taskCreate = meter->AddTask(LoadFringeText(IDS_TASK_CREATE), "", 0);
    const int taskSpectrum = meter->AddTask(LoadFringeText(IDS_SPECTRUM_ANALYSIS), "", 0);
    const int taskStats = meter->AddTask(LoadFringeText(IDS_TASK_STATISTICS), "", 0);

    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    if (!OpenFringeInput(in, job->input, *meter, caption)) return;
    const int w = in.Width(), h = in.Height(), inType = in.Type();
    const int outType = (inType == int(DataType::F64) || inType == int(DataType::C128)) ? int(DataType::C128)
                                                                                        : int(DataType::C64);
    std::int64_t wp = 0, hp = 0;
    RunGuarded(*meter, caption, out, [&] {
        Phase(*meter, taskCreate, [&] {
            PaddedSides(w, h, wp, hp);
            CreateOutput(out, job->output, int(wp), int(hp), outType);
        });
        Phase(*meter, taskSpectrum, [&] {
            // A failed transform ends the job before anything is closed or tagged, so the
            // half-made spectrum is removed.
            if (!g_forward.load()(in.GetRows(), out.GetRows(), w, h, inType, meter, outType))
                AfxThrowRDPExcept(RDP_ERROR_FFT);
            if (job->shift) SwapQuadrants(outType, out.GetRows(), wp, hp, meter);
            const SpectrumInfo info{isComplexType(inType) ? 0 : 1, w, h};
            const auto tag = EncodeSpectrumTag(info);
            if (!out.SetTag(TAG_SPECTRUM, kSpectrumTagBytes, tag.data())) ThrowLastError();
        });
        Phase(*meter, taskStats, [&] {
            if (job->shift) SaveFrequencyLaw(job->input, out, wp, hp);
            CloseFringeOutput(out);
        });
    });
    in.CloseLayer();
}

void Restore_From_Spectr(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SSpectrParam> job(static_cast<SSpectrParam*>(record));
    const CString& caption = job->errorCaption;
    const int taskCreate = meter->AddTask(LoadFringeText(IDS_TASK_CREATE), "", 0);
    const int taskRestore = meter->AddTask(LoadFringeText(IDS_IMAGE_RESTORE), "", 0);
    const int taskStats = meter->AddTask(LoadFringeText(IDS_TASK_STATISTICS), "", 0);

    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    CRDPLayer unshifted(nullptr), image(nullptr);
    if (!OpenFringeInput(in, job->input, *meter, caption)) return;
    const int wi = in.Width(), hi = in.Height(), inType = in.Type();
    RunGuarded(*meter, caption, out, [&] {
        // The job may be called with any file: only a complex float layer of power-of-two
        // sides can be a spectrum.
        if ((inType != int(DataType::C64) && inType != int(DataType::C128)) || PaddedSide(wi) != wi ||
            PaddedSide(hi) != hi)
            AfxThrowRDPExcept(RDP_ERROR_PROCESS, LoadFringeText(IDS_NOT_A_SPECTRUM));
        SpectrumInfo info{0, wi, hi};
        const BYTE* tag = static_cast<const BYTE*>(in.GetTag(TAG_SPECTRUM));
        if (!DecodeSpectrumTag(tag, in.GetSizeTag(TAG_SPECTRUM), wi, hi, info))
            info = SpectrumInfo{0, wi, hi};
        const bool isDouble = inType == int(DataType::C128);
        const int outType = info.real ? (isDouble ? int(DataType::F64) : int(DataType::F32)) : inType;

        void** source = in.GetRows();
        void** result = nullptr;
        Phase(*meter, taskCreate, [&] {
            CreateOutput(out, job->output, info.width, info.height, outType);
            if (job->shift) source = CreateScratch(unshifted, wi, hi, inType);
            result = CreateScratch(image, wi, hi, inType);
        });
        Phase(*meter, taskRestore, [&] {
            if (job->shift) {
                // Undo the swap into a copy: the input is the user's file and stays as it is.
                // A spectrum one row or one column wide was never swapped (no quadrant pair).
                void** spectrum = in.GetRows();
                const std::int64_t half = hi / 2;
                meter->SetText(LoadFringeText(IDS_SPECTRUM_SHIFT));
                meter->SetRange(0, double(hi));
                ForEachRow(
                    hi,
                    [&](std::int64_t y, int) {
                        if (half == 0 || wi / 2 == 0)
                            std::memcpy(source[y], spectrum[y],
                                        size_t(std::int64_t(wi) * elementBytes(inType)));
                        else
                            UnswapRow(inType, spectrum[(y + half) % hi], source[y], wi);
                    },
                    MeterProgress(meter));
            }
            if (!g_inverse.load()(source, result, wi, hi, inType, meter, inType))
                AfxThrowRDPExcept(RDP_ERROR_FFT);
            meter->SetText(LoadFringeText(IDS_PREPARING_DATA));
            meter->SetRange(0, info.height);
            void** target = out.GetRows();
            const std::int64_t width = info.width;
            const std::int64_t rowBytes = width * elementBytes(outType);
            ForEachRow(
                info.height,
                [&](std::int64_t y, int) {
                    if (info.real)
                        RealPartRow(inType, result[y], target[y], width);
                    else
                        std::memcpy(target[y], result[y], size_t(rowBytes));
                },
                MeterProgress(meter));
        });
        Phase(*meter, taskStats, [&] { CloseFringeOutput(out); });
    });
    unshifted.DestroyLayer();
    image.DestroyLayer();
    in.CloseLayer();
}

void Calc_Diff(void* record, CMeterInfo* meter)
{
    std::unique_ptr<SDiffParam> job(static_cast<SDiffParam*>(record));
    const CString& caption = job->errorCaption;
    CRDPLayer in(nullptr);
    CRDPLayer out(meter);
    CRDPLayer spectrum(nullptr), inverse(nullptr);
    if (!OpenFringeInput(in, job->input, *meter, caption)) return;
    const int w = in.Width(), h = in.Height(), inType = in.Type();
    const int complexFloat = int(DataType::C64);
    RunGuarded(*meter, caption, out, [&] {
        std::int64_t wp = 0, hp = 0;
        PaddedSides(w, h, wp, hp);
        CreateOutput(out, job->output, int(wp), int(hp), int(DataType::F32));
        void** p = CreateScratch(spectrum, wp, hp, complexFloat);
        void** r = CreateScratch(inverse, wp, hp, complexFloat);
        if (!g_forward.load()(in.GetRows(), p, w, h, inType, meter, complexFloat))
            AfxThrowRDPExcept(RDP_ERROR_FFT);

        meter->SetText(LoadFringeText(IDS_DERIVATION_X));
        meter->SetRange(0, double(hp));
        ForEachRow(
            hp, [&](std::int64_t y, int) { DerivativeXRow(p[y], wp); }, MeterProgress(meter));

        if (!g_inverse.load()(p, r, int(wp), int(hp), complexFloat, meter, complexFloat))
            AfxThrowRDPExcept(RDP_ERROR_FFT);

        meter->SetText(LoadFringeText(IDS_PREPARING_DATA));
        meter->SetRange(0, double(hp));
        void** o = out.GetRows();
        ForEachRow(
            hp, [&](std::int64_t y, int) { RealPartRow(complexFloat, r[y], o[y], wp); },
            MeterProgress(meter));
        CopyTag(&out, job->input);  // the input's tags go into the output's one write
        CloseFringeOutput(out);
    });
    spectrum.DestroyLayer();
    inverse.DestroyLayer();
    in.CloseLayer();
}
