#pragma once

// Pieces the coherence, phase filter and unwrapping tests share: small layer files made in
// the test, a meter that records and can stop, the viewers' clean-up, and plain window sums
// to hold the kernels to.

#include <array>
#include <string>
#include <vector>

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

namespace interftest {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::ReadLayer;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TopLevelOf;
using tarvenix::test::WriteLayer;

/// A colour-map tag payload (blue to red over lo..hi).
inline std::vector<BYTE> PalettePayload(double lo, double hi)
{
    CColorMap map;
    map.CreateSimpleColorMap(lo, hi, RGB(0, 0, 255), RGB(255, 0, 0), 0);
    std::vector<BYTE> payload(std::size_t(map.GetSizeToSave()));
    map.SaveColorMapToPtr(payload.data(), int(payload.size()));
    return payload;
}

/// The sums of K quantities over the window x window square around every inner pixel of
/// row y (columns k .. width - k - 1, k = window / 2; the others stay 0), the plain way: the
/// window's rows added column by column, then window neighbouring columns added.
/// quantities(x, y, q) fills q[0 .. K - 1] for the sample at (x, y).
template <int K, class Acc, class Quantities>
std::vector<std::array<Acc, K>> PlainWindowSums(int width, int y, int window, Quantities&& quantities)
{
    const int k = window / 2;
    std::vector<std::array<Acc, K>> columns(std::size_t(width)), out(std::size_t(width));
    std::array<Acc, K> q;
    for (int x = 0; x < width; ++x) {
        columns[std::size_t(x)].fill(Acc(0));
        for (int dy = -k; dy <= k; ++dy) {
            quantities(x, y + dy, q);
            for (int i = 0; i < K; ++i) columns[std::size_t(x)][std::size_t(i)] += q[std::size_t(i)];
        }
    }
    for (int x = 0; x < width; ++x) out[std::size_t(x)].fill(Acc(0));
    for (int x = k; x < width - k; ++x)
        for (int dx = -k; dx <= k; ++dx)
            for (int i = 0; i < K; ++i)
                out[std::size_t(x)][std::size_t(i)] += columns[std::size_t(x + dx)][std::size_t(i)];
    return out;
}

/// Serves the event loop until no worker runs and nothing more arrives.
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

}  // namespace interftest
