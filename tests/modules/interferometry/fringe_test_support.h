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
#include "platform/window/window_internal.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

namespace fringetest {

/// Writes a one-layer file of `type` from doubles (complex types: re, im pairs), row after
/// row, and closes it, which stores its statistics.
inline bool WriteLayer(const std::string& path, int width, int height, int type,
                       const std::vector<double>& values)
{
    CRDPLayer layer;
    if (!layer.CreateLayer(path.c_str(), width, height, type)) return false;
    const std::size_t parts = isComplexType(type) ? 2 : 1;
    for (int y = 0; y < height; ++y)
        if (!layer.SetLineFromDouble(y, values.data() + std::size_t(y) * width * parts, width)) return false;
    return layer.CloseLayer() != 0;
}

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
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return d;
    d.width = layer.Width();
    d.height = layer.Height();
    d.type = layer.Type();
    const std::size_t parts = isComplexType(d.type) ? 2 : 1;
    d.values.resize(std::size_t(d.width) * d.height * parts);
    for (int y = 0; y < d.height; ++y)
        layer.GetDoubleLine(y, d.values.data() + std::size_t(y) * d.width * parts, d.width);
    return d;
}

/// A progress meter without a window that records the job's tasks and can stop it (the
/// user's cancel) at a position.
class RecordingMeter : public CMeterInfo {
public:
    void SetPos(double pos) override
    {
        if (stopAt >= 0 && pos >= stopAt) AfxThrowRDPExcept(RDP_ERROR_CANCEL);
        CMeterInfo::SetPos(pos);
    }
    std::vector<int> States()
    {
        std::vector<int> s;
        for (int i = 0; i < GetTaskCount(); ++i) s.push_back(GetTaskState(i));
        return s;
    }
    double stopAt = -1;
};

/// The message boxes asked so far (file dialogs left out).
inline std::vector<tarvenix::test::Question> Boxes()
{
    std::vector<tarvenix::test::Question> boxes;
    for (const auto& q : tarvenix::test::Responder().Asked())
        if (q.kind == tarvenix::test::Question::Kind::MessageBox) boxes.push_back(q);
    return boxes;
}

/// Top-level windows of class Wnd.
template <class Wnd>
std::vector<Wnd*> Windows()
{
    std::vector<Wnd*> found;
    for (HWND h : platform::TopLevelWindows())
        if (auto* w = dynamic_cast<Wnd*>(CWnd::FromHandle(h))) found.push_back(w);
    return found;
}

inline int ProgressWindows()
{
    return int(Windows<basecore::CProgressWnd>().size());
}

/// Serves the event loop until no job runs and no progress window is left.
inline bool JobsEnded()
{
    return tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindows() == 0; });
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
    for (HWND h : platform::TopLevelWindows()) {
        CString t;
        CWnd::FromHandle(h)->GetWindowText(t);
        if (std::string(t).rfind(prefix, 0) == 0) titles.emplace_back(t);
    }
    return titles;
}

}  // namespace fringetest
