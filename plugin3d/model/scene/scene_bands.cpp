#include "plugin3d/model/scene/scene_bands.h"

#include "platform/kernel/row_bands.h"

namespace {

// Sampled rows per band: enough to be worth a thread, and a fixed cut so results never
// depend on the number of threads.
constexpr std::int64_t kRowsPerBand = 8;

platform::RowBands Cut(std::int64_t rows)
{
    return platform::RowBands::Fixed(rows, kRowsPerBand);
}

}  // namespace

int SceneBandSlots(std::int64_t rows)
{
    return platform::RowDriverSlots(Cut(rows).Count());
}

void RunSceneBands(std::int64_t rows, const std::function<void(const TSceneBand&)>& work,
                   const std::function<void(std::int64_t rowsDone)>& progress)
{
    if (rows <= 0) return;
    platform::RunRowBands(
        Cut(rows),
        [&](const platform::RowBand& band) {
            work(TSceneBand{band.begin, band.end, band.slot});
        },
        progress ? platform::BandProgress(progress) : platform::BandProgress{});
}
