#include "outside/basecore/row_driver.h"

#include "outside/basecore/meter_info.h"

BandProgress MeterProgress(CMeterInfoBase* meter, double base)
{
    if (!meter) return {};
    return [meter, base](std::int64_t done) { meter->SetPos(base + double(done)); };
}
