#pragma once

// Pieces the convolution dialog and kernel editor tests share: a mask library made in the
// test, the dialogs found among the windows, and the answers they send.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "modules/convolution/convolution_dlg.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/user_mask_dlg.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "tests/modules/convolution/conv_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/recording_meter.h"
#include "tests/support/ui_helpers.h"

namespace convdlgtest {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Question;
using tarvenix::test::Responder;
using tarvenix::test::TopLevelOf;

/// A mask file with an optional caption (tag 600): one layer of x, or x and y.
inline bool MakeMask(const std::string& path, int w, int h, const std::vector<double>& x,
                     const std::vector<double>& y = {}, const char* caption = nullptr)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (!convtest::WriteMask(path, w, h, x, y)) return false;
    return !caption || CLayerDescription::SetDescriptionTag(path.c_str(), 600, caption);
}

inline std::vector<double> Box3()
{
    return std::vector<double>(9, 1.0);
}

inline void SetLibrary(const std::string& kernelsDir, const std::string& workDir = "/tmp")
{
    SetStringValue("\\Settings\\General", "KernelsDir", kernelsDir.c_str());
    SetStringValue("\\Settings\\General", "WorkDir", workDir.c_str());
}

inline CTreeCtrl* Tree(CWnd* d)
{
    return static_cast<CTreeCtrl*>(d->GetDlgItem(IDC_CONV_TREE));
}

/// The first item, depth first, whose caption is `caption`; null when none.
inline HTREEITEM FindItem(CTreeCtrl* tree, const std::string& caption, HTREEITEM first = nullptr)
{
    for (HTREEITEM item = first ? first : tree->GetRootItem(); item; item = tree->GetNextSiblingItem(item)) {
        if (std::string(tree->GetItemText(item)) == caption) return item;
        if (HTREEITEM inner =
                tree->GetChildItem(item) ? FindItem(tree, caption, tree->GetChildItem(item)) : nullptr)
            return inner;
    }
    return nullptr;
}

/// Counts what the dialog hears on WM_KERNEL_PREVIEW: codes, and the angle of each preview answer.
class RecordingConvolutionDlg : public CConvolutionDlg {
public:
    std::vector<WPARAM> codes;
    std::vector<float> answerAngles;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_KERNEL_PREVIEW) {
            codes.push_back(wParam);
            if ((wParam == 1 || wParam == 3) && lParam)
                answerAngles.push_back(reinterpret_cast<KernelJobParams*>(lParam)->angleDegrees);
        }
        return CConvolutionDlg::WindowProc(message, wParam, lParam);
    }
};

}  // namespace convdlgtest
