// What the 3D plug-in's layer reader costs: every row of a 16384 x 16384 unsigned 16-bit
// layer read as floats through ReadRow, against summing the same mapped samples directly.

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/bench_registry.h"
#include "plugin3d/model/render/k_rdp_file.h"

namespace {

constexpr int kSide = 16384;

// A plain pass over the mapped samples: what reading them costs at the least.
std::uint64_t SumSamples(const std::uint8_t* samples, std::int64_t rowBytes)
{
    std::uint64_t sum = 0;
    for (int y = 0; y < kSide; ++y) {
        const std::uint8_t* row = samples + y * rowBytes;
        for (int x = 0; x < kSide; ++x) {
            std::uint16_t v;
            std::memcpy(&v, row + 2 * x, 2);
            sum += v;
        }
    }
    return sum;
}

const bool kRegistered = RegisterBench("rdp-read-rows-16k-u16", "plain-read-pass", [](BenchContext& ctx) {
    const std::string path = ctx.Layer(kSide, kSide, 3);
    TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->Open(path, 3, 1, 1);
    TKRDPLayer* layer = file->GetRDPLayer(0);
    layer->BeginAccess();
    const std::uint8_t* samples = layer->Data();
    std::vector<float> row(kSide);

    // The first pass maps the pages in; neither measurement should pay for that.
    volatile std::uint64_t sink = SumSamples(samples, layer->RowBytes());
    const double read = Seconds([&] {
        float kept = 0;
        for (int y = 0; y < kSide; ++y) {
            layer->ReadRowAs(y, row.data(), kSide);
            kept += row[std::size_t(y)];
        }
        sink = sink + std::uint64_t(kept);
    });
    const double plain = Seconds([&] { sink = sink + SumSamples(samples, layer->RowBytes()); });
    return BenchTimes{read, plain};
});

}  // namespace
