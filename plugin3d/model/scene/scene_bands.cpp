#include "plugin3d/model/scene/scene_bands.h"

int SceneBandSlots(std::int64_t)
{
    return 1;
}

void RunSceneBands(std::int64_t rows, const std::function<void(const TSceneBand&)>& work,
                   const std::function<void(std::int64_t rowsDone)>& progress)
{
    if (rows <= 0) return;
    work(TSceneBand{0, rows, 0});
    if (progress) progress(rows);
}
