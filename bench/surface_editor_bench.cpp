// What the surface editor's fills cost on a 16384 x 16384 float layer: a whole apply of a
// 1024 x 1024 grid whose Z comes from the layer (resampling and stretch) against opening the
// file as the apply does and reading every row through the reader on all cores; and the resampling alone onto
// 1000 x 1000 against OpenCV's area resize of the same samples (when its headers are installed).

#include <algorithm>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/model_units.h"
#include "platform/kernel/row_bands.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/surface_fills.h"
#include "plugin3d/model/render/k_rdp_file.h"

#if TARVENIX_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kSide = 16384;
constexpr int kFloatType = 7;

/// Every row of the layer read as floats, rows shared among all cores.
double ReadEveryRow(TKRDPLayer& layer)
{
    const platform::RowBands bands = platform::RowBands::Even(kSide, 16);
    std::vector<std::vector<float>> rows(std::size_t(platform::RowDriverSlots(bands.Count())),
                                         std::vector<float>(kSide));
    std::vector<double> kept(rows.size(), 0.0);
    platform::RunRowBands(bands, [&](const platform::RowBand& band) {
        std::vector<float>& row = rows[std::size_t(band.slot)];
        for (std::int64_t y = band.begin; y < band.end; ++y) {
            layer.ReadRowAs(std::int32_t(y), row.data(), kSide);
            kept[std::size_t(band.slot)] += row[std::size_t(y % kSide)];
        }
    });
    double sum = 0;
    for (double k : kept) sum += k;
    return sum;
}

/// The float layer opened as an apply opens it (read-only, read in order).
TOwned<TKRDPFile> OpenLayerFile(const std::string& path)
{
    TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->Open(path, 3, 1 | 128, 1);
    file->GetRDPLayer(0)->BeginAccess();
    return file;
}

double OpenAndReadEveryRow(const std::string& path)
{
    return ReadEveryRow(*OpenLayerFile(path)->GetRDPLayer(0));
}

const bool kFill = RegisterBench("surface-fill-16k-f32", "plain-read-pass", [](BenchContext& ctx) {
    ModelUnits units;
    const std::string path = ctx.Layer(kSide, kSide, kFloatType);
    TOwned<TKSurface3D> surface(TKSurface3D::New());
    TOwned<TKSurface3D_Depository> edited(TKSurface3D_Depository::New());
    edited->SetConstruction(surface.get());
    TOwned<TKSurface3D_Depository> copy(TKSurface3D_Depository::New());
    copy->SetCounts(1024, 1024);
    TSurfaceLayerSlot& z = copy->EditSlot(kssZ);
    z.FromFile = -1;
    z.FileName = path;
    z.LayerIndex = 0;
    // The first apply makes the grid and fills every slot (and brings the file into the page
    // cache); the measured one refills Z alone, as a changed Max does.
    edited->ApplyEdited(nullptr, copy.get());
    z.Max = 2.0;
    volatile double sink = 0;
    const Timing fill = Measure([&] { edited->ApplyEdited(nullptr, copy.get()); });
    const Timing read = Measure([&] { sink = sink + OpenAndReadEveryRow(path); });
    return BenchTimes{.seconds = fill.wall,
                      .referenceSeconds = read.wall,
                      .cpuSeconds = fill.cpu,
                      .referenceCpuSeconds = read.cpu};
});

const bool kResample = RegisterBench("surface-resample-16k-1000", "opencv-inter-area", [](BenchContext& ctx) {
    ModelUnits units;
    constexpr int kGrid = 1000;
    const TOwned<TKRDPFile> file = OpenLayerFile(ctx.Layer(kSide, kSide, kFloatType));
    TKRDPLayer& layer = *file->GetRDPLayer(0);
    std::vector<TSurfaceNode> nodes(std::size_t(kGrid) * kGrid);
    TSurfaceGridView grid;
    grid.nodes = reinterpret_cast<std::uint8_t*>(nodes.data());
    grid.rowStride = std::int64_t(sizeof(TSurfaceNode)) * kGrid;
    grid.width = grid.height = kGrid;
    const auto readRow = [&layer](std::int32_t row, float* dest) {
        if (row < 0 || row >= kSide) return false;
        layer.ReadRowAs(row, dest, kSide);
        return true;
    };
    volatile double sink = ReadEveryRow(layer);  // the pages mapped in before either runs
    (void)sink;
    BenchTimes t;
    const Timing resample = Measure([&] { surface_fills::ResampleLayer(grid, kssZ, kSide, kSide, readRow); });
    t.seconds = resample.wall;
    t.cpuSeconds = resample.cpu;
#if TARVENIX_HAVE_OPENCV
    // The same samples as the reader hands them: the mapped floats of the layer.
    const cv::Mat samples(kSide, kSide, CV_32F, const_cast<std::uint8_t*>(layer.Data()),
                          std::size_t(layer.RowBytes()));
    cv::Mat resized;
    cv::setNumThreads(platform::RowDriverThreads());
    const Timing peer =
        Measure([&] { cv::resize(samples, resized, cv::Size(kGrid, kGrid), 0, 0, cv::INTER_AREA); });
    t.referenceSeconds = peer.wall;
    t.referenceCpuSeconds = peer.cpu;
#else
    t.referenceMissing = "OpenCV's headers (libopencv-imgproc-dev) are not installed";
#endif
    return t;
});

}  // namespace
