#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/thread_runner.h"
#include "platform/controls/tab_ctrl.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/color_correction_dlg.h"
#include "viewer/frame/frame_viewer_ids.h"

using analysis_test::RecordingParent;
using analysis_test::Text;

namespace {

struct TableCase {
    const char* name;
    double gamma, brightness, contrast;
    std::vector<std::pair<int, int>> entries;  // input, expected output
    bool ramp = false;                         // every entry is input + brightness, capped
};

std::vector<BYTE> Table(const TableCase& c)
{
    std::vector<BYTE> t(256);
    CColorCorrectionDlg::BuildTable(c.gamma, c.brightness, c.contrast, t.data());
    return t;
}

}  // namespace

TEST(ColorCorrection, TablesFollowGammaThenBrightnessThenContrast)
{
    const TableCase cases[] = {
        {"reset", 1.0, 0, 0, {{0, 0}, {255, 255}}, true},
        {"brightness 10", 1.0, 10, 0, {{0, 10}, {245, 255}, {246, 255}}, true},
        {"contrast 127", 1.0, 0, 127, {{0, 0}, {127, 0}, {128, 255}, {255, 255}}},
        {"contrast -127", 1.0, 0, -127, {{0, 127}, {128, 128}, {255, 128}}},
        {"gamma 2", 2.0, 0, 0, {{0, 0}, {64, 128}, {255, 255}}},
        // Far values saturate instead of wrapping through the byte.
        {"brightness far up", 1.0, 1e12, 0, {{0, 255}, {255, 255}}},
        {"brightness far down", 1.0, -1e12, 0, {{0, 0}, {255, 0}}},
    };
    for (const TableCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<BYTE> t = Table(c);
        for (auto [in, out] : c.entries) EXPECT_EQ(t[in], out) << "input " << in;
        if (c.ramp) {
            for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], std::min(255, i + int(c.brightness))) << i;
        }
    }
}

TEST(ColorCorrection, CentredSliderPutsOneInTheMiddle)
{
    CCenteredSliderCtrl slider;  // the mapping needs no window
    slider.m_dMinimum = 0.1;
    slider.m_dMaximum = 7.0;
    const std::pair<int, double> positions[] = {{0, 0.1}, {250, 0.55}, {500, 1.0}, {750, 4.0}, {1000, 7.0}};
    for (auto [p, v] : positions) {
        EXPECT_DOUBLE_EQ(slider.PositionToValue(p), v) << p;
        EXPECT_NEAR(slider.ValueToPosition(v), p, 1) << v;
    }
    // Values beyond the range stay on the track.
    EXPECT_EQ(slider.ValueToPosition(100.0), 1000);
    EXPECT_EQ(slider.ValueToPosition(0.01), 0);
    EXPECT_EQ(slider.ValueToPosition(-1e300), 0);
}

namespace {

struct Fixture {
    tarvenix::test::TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = nullptr;
    explicit Fixture(int width = 24, int height = 16)
    {
        const std::string file = dir.File("plain.rdp");
        frame_test::MakeLayerFile(file, width, height);
        viewer = frame_test::OpenViewer(file, parent);
    }
    ~Fixture()
    {
        tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
        if (viewer && ::IsWindow(viewer->GetSafeHwnd())) viewer->DestroyWindow();
        tarvenix::test::PumpEvents();
    }
};

void Slide(CColorCorrectionDlg& dlg, int sliderId, int position)
{
    CWnd* slider = dlg.GetDlgItem(sliderId);
    static_cast<CSliderCtrl*>(slider)->SetPos(position);
    dlg.SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, WORD(short(position))),
                    reinterpret_cast<LPARAM>(slider->GetSafeHwnd()));
}

void TypeWithFocus(CWnd& dlg, int id, const char* text)
{
    CWnd* edit = dlg.GetDlgItem(id);
    edit->SetFocus();
    edit->SetWindowText(text);
}

void ChooseTab(CColorCorrectionDlg& dlg, int tab)
{
    auto* tabs = static_cast<CTabCtrl*>(dlg.GetDlgItem(IDC_CC_TABS));
    tabs->SetCurSel(tab);
    NMHDR header{tabs->GetSafeHwnd(), UINT_PTR(IDC_CC_TABS), TCN_SELCHANGE};
    dlg.SendMessage(WM_NOTIFY, IDC_CC_TABS, reinterpret_cast<LPARAM>(&header));
}

/// A pixel of the picture (shown 1:1 from the view's corner), value 5 + 100 x 5 of 0 .. 1523.
QRgb PicturePixel(CFrameViewer& viewer)
{
    const QImage picture = tarvenix::test::GrabWindow(*viewer.GetViewRect());
    return picture.pixel(5, 5) & 0xFFFFFF;
}

}  // namespace

TEST(ColorCorrection, TheViewersCommandShowsASingleBandDialogWhoseBrightnessLightensThePicture)
{
    Fixture f;
    ASSERT_NE(f.viewer, nullptr);
    ASSERT_TRUE(tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_BRIGHT_CONTRAST));
    auto* dlg =
        dynamic_cast<CColorCorrectionDlg*>(CWnd::FromHandle(::FindWindow(nullptr, "Color correction")));
    ASSERT_NE(dlg, nullptr);
    tarvenix::test::PumpEvents();
    EXPECT_TRUE(dlg->IsWindowVisible());
    EXPECT_EQ(dlg->GetMode(), 1);
    // One band: no channel tabs, and the dialog is shorter by their height.
    EXPECT_FALSE(dlg->GetDlgItem(IDC_CC_TABS)->IsWindowVisible());
    CRect window, tabs;
    dlg->GetWindowRect(&window);
    dlg->GetDlgItem(IDC_CC_TABS)->GetWindowRect(&tabs);
    EXPECT_EQ(window.Height(), dlg->m_rcFull.Height() - tabs.Height());
    EXPECT_EQ(Text(*dlg, IDC_CC_BRIGHT_EDIT), "0");
    EXPECT_EQ(Text(*dlg, IDC_CC_CONTRAST_EDIT), "0");
    EXPECT_EQ(Text(*dlg, IDC_CC_GAMMA_EDIT), "1.0");

    const QRgb before = PicturePixel(*f.viewer);
    Slide(*dlg, IDC_CC_BRIGHT_SLIDER, 100);
    EXPECT_EQ(Text(*dlg, IDC_CC_BRIGHT_EDIT), "100");
    EXPECT_EQ(dlg->Table(0)[10], 110);
    const QRgb after = PicturePixel(*f.viewer);
    EXPECT_GT(qGray(after), qGray(before) + 50) << std::hex << before << " -> " << after;
    analysis_test::Screenshot(*dlg, "color_correction_single_band");

    // The close box hides the window and undoes the viewer's toggle.
    dlg->SendMessage(WM_CLOSE);
    tarvenix::test::PumpEvents();
    EXPECT_FALSE(dlg->IsWindowVisible());
    ASSERT_TRUE(tarvenix::test::ClickCommand(*f.viewer, ID_VIEWER_BRIGHT_CONTRAST));
    EXPECT_TRUE(dlg->IsWindowVisible());
}

TEST(ColorCorrection, TypedValuesAreFilteredAndKeptWithinTheSliders)
{
    RecordingParent parent;
    auto* dlg = new CColorCorrectionDlg;
    ASSERT_TRUE(dlg->Create(&parent));
    dlg->ShowWindow(SW_SHOW);

    struct Typed {
        int edit;
        const char* text;
        const char* shown;  // what the edit holds afterwards
        double value;       // brightness, contrast or gamma of every channel
    };
    const Typed cases[] = {
        {IDC_CC_BRIGHT_EDIT, "12x", "12", 0.0},  // the bad character goes, nothing is set
        {IDC_CC_BRIGHT_EDIT, "-40", "-40", -40.0},      {IDC_CC_BRIGHT_EDIT, "900", "255", 255.0},
        {IDC_CC_CONTRAST_EDIT, "-128", "-127", -127.0}, {IDC_CC_CONTRAST_EDIT, "30.9", "30.9", 30.0},
        {IDC_CC_GAMMA_EDIT, "0.05", "0.1", 0.1},        {IDC_CC_GAMMA_EDIT, "12", "7.0", 7.0},
        {IDC_CC_GAMMA_EDIT, "2.5", "2.5", 2.5},
    };
    for (const Typed& t : cases) {
        SCOPED_TRACE(t.text);
        TypeWithFocus(*dlg, t.edit, t.text);
        EXPECT_EQ(Text(*dlg, t.edit), t.shown);
        const double* field = t.edit == IDC_CC_BRIGHT_EDIT     ? dlg->m_brightness
                              : t.edit == IDC_CC_CONTRAST_EDIT ? dlg->m_contrast
                                                               : dlg->m_gamma;
        for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(field[c], t.value) << c;
    }
    // The gamma slider shows 2.5; every change reached the owner with the tables.
    EXPECT_NEAR(static_cast<CCenteredSliderCtrl*>(dlg->GetDlgItem(IDC_CC_GAMMA_SLIDER))->GetValue(), 2.5,
                0.01);
    EXPECT_EQ(parent.Count(1), 7);

    // Text the dialog writes itself, or typed without the focus, is not read.
    dlg->GetDlgItem(IDC_CC_GAMMA_SLIDER)->SetFocus();
    dlg->SetDlgItemText(IDC_CC_GAMMA_EDIT, "3");
    EXPECT_DOUBLE_EQ(dlg->m_gamma[0], 2.5);
    dlg->DestroyWindow();
}

TEST(ColorCorrection, ARedTabChangesTheRedTableOnlyAndAllResetsEveryChannel)
{
    RecordingParent parent;
    auto* dlg = new CColorCorrectionDlg;
    ASSERT_TRUE(dlg->Create(&parent));
    dlg->SetMode(2);
    dlg->ShowWindow(SW_SHOW);
    EXPECT_TRUE(dlg->GetDlgItem(IDC_CC_TABS)->IsWindowVisible());

    ChooseTab(*dlg, 1);
    Slide(*dlg, IDC_CC_BRIGHT_SLIDER, 10);
    EXPECT_EQ(dlg->Table(0)[100], 110);
    EXPECT_EQ(dlg->Table(1)[100], 100);
    EXPECT_EQ(dlg->Table(2)[100], 100);
    Slide(*dlg, IDC_CC_GAMMA_SLIDER, 1000);
    EXPECT_EQ(Text(*dlg, IDC_CC_GAMMA_EDIT), "7");
    EXPECT_DOUBLE_EQ(dlg->m_gamma[0], 7.0);
    EXPECT_DOUBLE_EQ(dlg->m_gamma[1], 1.0);
    analysis_test::Screenshot(*dlg, "color_correction_rgb_red");

    // Green shows its own values; "All" puts everything back and sends identity tables.
    ChooseTab(*dlg, 2);
    EXPECT_EQ(Text(*dlg, IDC_CC_BRIGHT_EDIT), "0");
    EXPECT_EQ(Text(*dlg, IDC_CC_GAMMA_EDIT), "1");
    const std::size_t sent = parent.codes.size();
    ChooseTab(*dlg, 0);
    EXPECT_EQ(parent.codes.size(), sent + 1);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) ASSERT_EQ(dlg->Table(c)[i], i) << c;

    // Folding to one band and back restores the layout exactly.
    CRect full;
    dlg->GetWindowRect(&full);
    dlg->SetMode(1);
    dlg->SetMode(2);
    CRect again;
    dlg->GetWindowRect(&again);
    EXPECT_EQ(again, full);
    dlg->DestroyWindow();
}
