#pragma once

// Pieces the coherence, phase filter and unwrapping tests share: small layer files made in
// the test, a meter that records and can stop, the viewers' clean-up, and plain window sums
// to hold the kernels to.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
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

/// The sums of K quantities over the window x window square around the inner pixels of
/// chosen rows (columns k .. width - k - 1, k = window / 2; the others stay 0), the plain
/// way: the window's rows added column by column, then window neighbouring columns added.
/// rowQuantities(y, q) fills q[K x + i] with quantity i of the sample at (x, y); each input
/// row is asked for once while the centre rows asked for increase. Sums come the same way:
/// Sums(y)[K x + i].
template <int K, class Acc>
class PlainWindowSums {
public:
    PlainWindowSums(int width, int window, std::function<void(int y, Acc* q)> rowQuantities)
        : m_width(width),
          m_k(window / 2),
          m_rowQuantities(std::move(rowQuantities)),
          m_columns(std::size_t(width) * K),
          m_out(std::size_t(width) * K)
    {
    }
    /// The window sums of centre row y.
    const Acc* Sums(int y)
    {
        while (!m_rows.empty() && m_rows.begin()->first < y - m_k) m_rows.erase(m_rows.begin());
        const std::size_t n = std::size_t(m_width) * K;
        Acc* columns = m_columns.data();
        for (std::size_t j = 0; j < n; ++j) columns[j] = Acc(0);
        for (int dy = -m_k; dy <= m_k; ++dy) {
            auto found = m_rows.find(y + dy);
            if (found == m_rows.end()) {
                found = m_rows.emplace(y + dy, std::vector<Acc>(n)).first;
                m_rowQuantities(y + dy, found->second.data());
            }
            const Acc* q = found->second.data();
            for (std::size_t j = 0; j < n; ++j) columns[j] += q[j];
        }
        Acc* out = m_out.data();
        for (std::size_t j = 0; j < n; ++j) out[j] = Acc(0);
        const std::size_t span = std::size_t(2 * m_k + 1) * K;
        for (std::size_t j = std::size_t(m_k) * K; j + std::size_t(m_k) * K < n; ++j) {
            const Acc* c = columns + j - std::size_t(m_k) * K;
            Acc sum = Acc(0);
            for (std::size_t t = 0; t < span; t += K) sum += c[t];
            out[j] = sum;
        }
        return out;
    }

private:
    int m_width;
    int m_k;
    std::function<void(int y, Acc* q)> m_rowQuantities;
    std::map<int, std::vector<Acc>> m_rows;
    std::vector<Acc> m_columns;
    std::vector<Acc> m_out;
};

/// A cheap hash of a sample's place: random-looking parts for large test layers at little cost.
inline std::uint64_t PlaceHash(std::uint64_t i, std::uint64_t seed)
{
    std::uint64_t z = i * 0x9E3779B97F4A7C15ull + seed * 0xBF58476D1CE4E5B9ull + 1;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
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
