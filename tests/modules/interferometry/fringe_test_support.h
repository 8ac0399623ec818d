#pragma once

// Pieces the interferometry tests share: small layer files made in the test, a meter that
// records and can stop the job, and the dialogs and progress windows on screen.

#include <complex>
#include <cstring>
#include <string>
#include <vector>

#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/thread_runner.h"
#include "platform/window/wnd.h"
#include "tests/support/layer_files.h"
#include "tests/support/recording_meter.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

namespace fringetest {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TopLevelOf;
using tarvenix::test::WriteLayer;

/// A complex layer from complex values.
inline bool WriteComplex(const std::string& path, int width, int height, int type,
                         const std::vector<std::complex<double>>& values)
{
    std::vector<double> flat;
    for (const auto& v : values) flat.insert(flat.end(), {v.real(), v.imag()});
    return WriteLayer(path, width, height, type, flat);
}

/// What a layer file holds: size, type and every sample as doubles (complex: re, im pairs).
struct LayerData {
    int width = 0, height = 0, type = 0;
    std::vector<double> values;
    std::complex<double> At(int x, int y) const
    {
        const std::size_t i = (std::size_t(y) * width + x) * 2;
        return {values[i], values[i + 1]};
    }
    double Real(int x, int y) const { return values[std::size_t(y) * width + x]; }
};
inline LayerData ReadLayer(const std::string& path)
{
    LayerData d;
    d.values = tarvenix::test::ReadLayer(path, &d.width, &d.height, &d.type);
    return d;
}

/// Serves the event loop until no job runs and no progress window is left.
inline bool JobsEnded()
{
    return tarvenix::test::PumpUntil(
        [] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); });
}

/// Closes every viewer the jobs' results opened, as the main program does at exit.
inline void CloseAllViewers()
{
    for (int settled = 0; settled < 5;) {
        tarvenix::test::PumpEvents();
        settled = GetRunningThreadCount() == 0 ? settled + 1 : 0;
    }
    ::SendMessage(HWND_BROADCAST, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"), 1, 0);
    tarvenix::test::PumpEvents();
}

/// Titles of the top-level windows whose title starts with `prefix`.
inline std::vector<std::string> TitlesStartingWith(const std::string& prefix)
{
    std::vector<std::string> titles;
    for (CWnd* w : tarvenix::test::TopLevelWindowObjects()) {
        CString t;
        w->GetWindowText(t);
        if (std::string(t).rfind(prefix, 0) == 0) titles.emplace_back(t);
    }
    return titles;
}

}  // namespace fringetest
