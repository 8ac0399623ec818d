#pragma once

// Pieces the noise filter tests share: small layer files made in the test, the recording
// meter, and the kernels run on a file's samples as the reference job.

#include <cstring>
#include <string>
#include <vector>

#include "modules/convolution/noise_filter_kernels.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/color_map.h"
#include "platform/window/wnd.h"
#include "tests/support/layer_files.h"
#include "tests/support/recording_meter.h"
#include "tests/support/ui_helpers.h"

namespace filtertest {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::ReadLayer;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TopLevelOf;
using tarvenix::test::WriteLayer;

/// A ramp with some noise on it, so every filter gives something different.
inline std::vector<double> Ramp(int width, int height, int parts = 1)
{
    std::vector<double> v;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * parts; ++x) v.push_back(10 + x * 3 + y * 7 + ((x * 7 + y * 13) % 5));
    return v;
}

/// Gives the file a palette tag (a blue-to-red ramp over lo..hi); the payload is returned.
inline std::vector<BYTE> AddPalette(const std::string& path, double lo, double hi)
{
    CColorMap map;
    map.CreateSimpleColorMap(lo, hi, RGB(0, 0, 255), RGB(255, 0, 0), 0);
    std::vector<BYTE> payload(std::size_t(map.GetSizeToSave()));
    map.SaveColorMapToPtr(payload.data(), int(payload.size()));
    SetTag(path.c_str(), TAG_PALETTE, int(payload.size()), payload.data());
    return payload;
}

/// What the job must write into the inner rectangle: the kernels run on the file's rows.
inline std::vector<float> FilterFile(const std::string& path, const NoiseFilterSpec& spec, float fill)
{
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return {};
    const int w = layer.Width(), h = layer.Height();
    std::vector<float> out(std::size_t(w) * h, fill);
    std::vector<float*> rows;
    for (int y = 0; y < h; ++y) rows.push_back(out.data() + std::size_t(y) * w);
    FilterNoiseImage(layer.Type(), RowSource{layer.GetRows(), h, w}, spec, rows.data());
    return out;
}

/// Serves the event loop until no worker runs and nothing more arrives: the viewers' own
/// work on their files has ended and reported.
inline void SettleViewers()
{
    for (int settled = 0; settled < 5;) {
        tarvenix::test::PumpEvents();
        settled = GetRunningThreadCount() == 0 ? settled + 1 : 0;
    }
}

/// Closes every viewer the jobs' results opened, as the main program does at exit.
inline void CloseAllViewers()
{
    SettleViewers();
    ::SendMessage(HWND_BROADCAST, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"), 1, 0);
    tarvenix::test::PumpEvents();
}

}  // namespace filtertest
