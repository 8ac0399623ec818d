#include "viewer/analysis/hist_trim_dlg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "platform/window/modal.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"

using analysis_test::Text;
using analysis_test::Type;
using tarvenix::test::ClickToolBarButton;
using tarvenix::test::Responder;

namespace {

/// A record for a layer ranging min..max with a bell-shaped histogram.
TuneTrimData Record(double min, double max, double low, double high, int method = 1)
{
    TuneTrimData d;
    d.name = "layer.rdp";
    d.dataType = 7;
    d.minimum = min;
    d.maximum = max;
    d.mean = (min + max) / 2;
    d.stdDev = (max - min) / 8;
    for (int i = 0; i < 256; ++i)
        d.histogram[i] = std::uint32_t(1000.0 * std::exp(-(i - 128.0) * (i - 128.0) / 2000.0));
    d.lowBound = low;
    d.highBound = high;
    d.method = method;
    return d;
}

/// Moves the sliders as the trim control reports a drag.
void Slide(CHistTrimDlg& dlg, int left, int right)
{
    NMHISTTRIM nm{};
    nm.hdr.hwndFrom = dlg.m_trimCtrl.GetSafeHwnd();
    nm.hdr.idFrom = IDC_TRIM_CTRL;
    nm.hdr.code = CHistTrimCtrl::kSlideCode;
    nm.left = left;
    nm.right = right;
    EXPECT_EQ(dlg.SendMessage(WM_NOTIFY, IDC_TRIM_CTRL, reinterpret_cast<LPARAM>(&nm)), 0);
}

void ChooseMethod(CHistTrimDlg& dlg, int method)
{
    dlg.m_cbMethod.SetCurSel(method);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TRIM_METHOD, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(dlg.m_cbMethod.GetSafeHwnd()));
}

CString MethodShown(CHistTrimDlg& dlg)
{
    CString text;
    if (dlg.m_cbMethod.GetCurSel() >= 0) dlg.m_cbMethod.GetLBText(dlg.m_cbMethod.GetCurSel(), text);
    return text;
}

/// Runs a single-band dialog on the record, doing `act` before the closing command.
INT_PTR RunSingle(CHistTrimDlg& dlg, const TuneTrimData& data, int command,
                  std::function<void(CHistTrimDlg&)> act)
{
    dlg.SetColorMode(1);
    dlg.SetChannelData(&data, 1);
    Responder().AnswerDialogCommand(command).Doing([&](CWnd& wnd) { act(static_cast<CHistTrimDlg&>(wnd)); });
    return dlg.DoModal();
}

}  // namespace

TEST(HistTrimDlg, SlidersGiveTheRangeAndEndsGiveTheExtremesExactly)
{
    struct Case {
        double min, max;
        int left, right;
        double low, high;
    };
    const Case cases[] = {
        {-3.7, 12.9, 0, 255, -3.7, 12.9},     {-3.7, 12.9, 0, 256, -3.7, 12.9},  {0.1, 0.7, 0, 255, 0.1, 0.7},
        {0.0, 256.0, 128, 200, 128.0, 200.0}, {0.0, 256.0, -7, 300, 0.0, 256.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " at " << c.left << ", " << c.right);
        CHistTrimDlg dlg;
        CString low, high, method;
        ASSERT_EQ(RunSingle(dlg, Record(c.min, c.max, c.min, c.max), IDOK,
                            [&](CHistTrimDlg& d) {
                                Slide(d, c.left, c.right);
                                low = Text(d, IDC_TRIM_LOW);
                                high = Text(d, IDC_TRIM_HIGH);
                                method = MethodShown(d);
                            }),
                  IDOK);
        EXPECT_EQ(dlg.GetLowBound(), c.low);
        EXPECT_EQ(dlg.GetHighBound(), c.high);
        EXPECT_EQ(dlg.GetMethod(), 3);
        EXPECT_EQ(method, "Manual");
        CString expected;
        expected.Format("%g", c.low);
        EXPECT_EQ(low, expected);
        expected.Format("%g", c.high);
        EXPECT_EQ(high, expected);
    }
}

TEST(HistTrimDlg, TypedBoundsAreCheckedAndAlwaysMakeTheMethodManual)
{
    CHistTrimDlg dlg;
    CString kept;
    ASSERT_EQ(RunSingle(dlg, Record(0, 100, 10, 90), IDOK,
                        [&](CHistTrimDlg& d) {
                            Type(d, IDC_TRIM_HIGH, "10");  // equal to the lower bound
                            EXPECT_EQ(d.m_channels[0].highBound, 90.0);
                            EXPECT_EQ(MethodShown(d), "Manual");
                            Type(d, IDC_TRIM_LOW, "150");  // outside the layer
                            EXPECT_EQ(d.m_channels[0].lowBound, 10.0);
                            Type(d, IDC_TRIM_LOW, "20");
                            Type(d, IDC_TRIM_HIGH, "80.5");
                            Type(d, IDC_TRIM_HIGH, "999");
                            // "Manual" chosen again rewrites nothing: the typed text stays.
                            ChooseMethod(d, 3);
                            kept = Text(d, IDC_TRIM_HIGH);
                            EXPECT_EQ(d.m_trimCtrl.GetRightSlidePos(), d.m_trimCtrl.PositionOf(80.5));
                        }),
              IDOK);
    EXPECT_EQ(kept, "999");
    EXPECT_EQ(dlg.GetLowBound(), 20.0);
    EXPECT_EQ(dlg.GetHighBound(), 80.5);
    EXPECT_EQ(dlg.GetMethod(), 3);
}

TEST(HistTrimDlg, AMethodFromTheListSetsTheBoundsAndCancelIsNotRead)
{
    CHistTrimDlg dlg;
    CString low, high;
    ASSERT_EQ(RunSingle(dlg, Record(-5, 5, -1, 1, 3), IDOK,
                        [&](CHistTrimDlg& d) {
                            EXPECT_FALSE((d.m_toolbar.GetStyle() & WS_VISIBLE))
                                << "one band needs no channel buttons";
                            ChooseMethod(d, 1);
                            low = Text(d, IDC_TRIM_LOW);
                            high = Text(d, IDC_TRIM_HIGH);
                            analysis_test::Screenshot(d, "hist_trim_single_band");
                        }),
              IDOK);
    EXPECT_EQ(low, "-5");
    EXPECT_EQ(high, "5");
    EXPECT_EQ(dlg.GetMethod(), 1);
    EXPECT_EQ(dlg.GetCurrentChannel(), 1);
}

TEST(HistTrimDlg, ACompositeKeepsEachChannelsBoundsAndMethod)
{
    CHistTrimDlg dlg;
    dlg.SetColorMode(2);
    const TuneTrimData red = Record(0, 255, 10, 200), green = Record(-1, 1, -0.5, 0.5, 2),
                       blue = Record(0, 1000, 0, 1000);
    dlg.SetChannelData(&red, 3);
    dlg.SetChannelData(&green, 4);
    dlg.SetChannelData(&blue, 5);
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& wnd) {
        auto& d = static_cast<CHistTrimDlg&>(wnd);
        ASSERT_TRUE((d.m_toolbar.GetStyle() & WS_VISIBLE));
        EXPECT_TRUE(d.m_toolbar.IsChecked(ID_TRIM_RED));
        EXPECT_EQ(Text(d, IDC_TRIM_LOW), "10");
        Slide(d, 0, 128);
        analysis_test::Screenshot(d, "hist_trim_rgb");

        ASSERT_TRUE(ClickToolBarButton(d.m_toolbar, ID_TRIM_GREEN));
        EXPECT_EQ(d.GetCurrentChannel(), 4);
        EXPECT_TRUE(d.m_toolbar.IsChecked(ID_TRIM_GREEN));
        EXPECT_FALSE(d.m_toolbar.IsChecked(ID_TRIM_RED));
        EXPECT_EQ(Text(d, IDC_TRIM_LOW), "-0.5");
        EXPECT_EQ(MethodShown(d), "Double StdDev");
        Type(d, IDC_TRIM_LOW, "-0.25");
        EXPECT_EQ(d.m_toolbar.ToolTipAt(CPoint(8, 8)), "Red channel");
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetChannelSlot(3)->lowBound, 0.0);
    EXPECT_EQ(dlg.GetChannelSlot(3)->highBound, 128 * (255.0 / 256));
    EXPECT_EQ(dlg.GetChannelSlot(3)->method, 3);
    EXPECT_EQ(dlg.GetChannelSlot(3)->colour, RGB(192, 0, 0));
    EXPECT_EQ(dlg.GetChannelSlot(4)->lowBound, -0.25);
    EXPECT_EQ(dlg.GetChannelSlot(4)->method, 3);
    EXPECT_EQ(dlg.GetChannelSlot(5)->highBound, 1000.0);
    EXPECT_EQ(dlg.GetChannelSlot(5)->method, 1);
    EXPECT_EQ(dlg.GetChannelSlot(2), nullptr);
}

TEST(HistTrimCtrl, ADragMovesTheNearerSliderAndReportsBothPositions)
{
    analysis_test::RecordingParent parent;
    struct Listener : CWnd {
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_NOTIFY) {
                const auto* nm = reinterpret_cast<const NMHISTTRIM*>(lParam);
                if (nm->hdr.code == CHistTrimCtrl::kSlideCode) last = {nm->left, nm->right};
                return 0;
            }
            return CWnd::WindowProc(message, wParam, lParam);
        }
        std::pair<int, int> last{-1, -1};
    } host;
    ASSERT_TRUE(
        host.CreateEx(0, AfxRegisterWndClass(0), "Host", WS_OVERLAPPED, CRect(0, 0, 300, 120), nullptr, 0));
    TuneTrimData data = Record(0, 256, 0, 256);
    CHistTrimCtrl ctrl;
    ASSERT_TRUE(ctrl.Create(CRect(0, 0, 264, 80), &host, IDC_TRIM_CTRL));
    ctrl.SetTrimData(&data);
    ctrl.SetData(data.histogram);
    ctrl.SetLeftSlidePos(0);
    ctrl.SetRightSlidePos(256);
    // The plot starts 4 pixels in and is 256 pixels wide: one pixel per scale step.
    ctrl.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4 + 60, 40));
    ctrl.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(4 + 64, 40));
    ctrl.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(4 + 64, 40));
    EXPECT_EQ(host.last, (std::pair<int, int>{64, 256}));
    ctrl.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4 + 250, 40));
    ctrl.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(4 + 250, 40));
    EXPECT_EQ(host.last, (std::pair<int, int>{64, 250}));
    ctrl.DestroyWindow();
    host.DestroyWindow();
}
