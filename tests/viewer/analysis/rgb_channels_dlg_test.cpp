#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/gdi/region.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/rgb_channels_dlg.h"
#include "viewer/frame/frame_viewer_ids.h"

using analysis_test::RecordingParent;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

namespace {

std::string MakeLayer(tarvenix::test::TempDir& dir, const char* name, int width, int height, int type = 7)
{
    const std::string path = dir.File(name);
    CRDPLayer layer;
    EXPECT_NE(layer.CreateLayer(path.c_str(), width, height, type), nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            layer.SetValue(x, y, (x * 7 + y * 3) % 50, 2);
            if (layer.IsComplex()) layer.SetValue(x, y, x - y, 3);
        }
    EXPECT_TRUE(layer.CloseLayer());
    return path;
}

/// The user picks `path` with the browse button of picker `slot`.
void Choose(CRGBChannelsDlg& dlg, int slot, const std::string& path, bool complex = false)
{
    Responder().AnswerFile({CString(path.c_str())});
    if (complex) Responder().AnswerDialogCommand(IDOK);  // "Open complex layer" as amplitude
    CInFileCtrl& picker = dlg.m_pickers[slot];
    CWnd* browse = picker.GetDlgItem(CInFileCtrl::kBrowseId);
    picker.SendMessage(WM_COMMAND, MAKEWPARAM(CInFileCtrl::kBrowseId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(browse->GetSafeHwnd()));
    PumpEvents();
}

bool OpenEnabled(CRGBChannelsDlg& dlg)
{
    return dlg.GetDlgItem(IDOK)->IsWindowEnabled();
}

/// OK as Enter gives it; the text of the box it brings up, empty when none.
CString PressOk(CRGBChannelsDlg& dlg)
{
    const std::size_t asked = Responder().Asked().size();
    Responder().AnswerMessageBox(IDOK);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (Responder().Asked().size() == asked) {
        Responder().Reset();
        return CString();
    }
    return Responder().Asked().back().text;
}

}  // namespace

TEST(RgbChannelsDlg, InputNeedsThreeFilesOfOneSizeAndRedsFolderIsOffered)
{
    tarvenix::test::TempDir dir;
    const std::string red = MakeLayer(dir, "red.rdp", 100, 100);
    const std::string green = MakeLayer(dir, "green.rdp", 100, 99);
    const std::string blue = MakeLayer(dir, "blue.rdp", 100, 100);
    RecordingParent parent;
    CRGBChannelsDlg dlg(&parent, 1);
    ASSERT_TRUE(dlg.CreateStandIn(&parent));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_FALSE(OpenEnabled(dlg));
    EXPECT_EQ(dlg.m_previews[0].GetText(), "Red");

    Choose(dlg, 0, red);
    EXPECT_FALSE(OpenEnabled(dlg));
    EXPECT_EQ(dlg.m_previews[0].GetImageIndex(), 0);
    EXPECT_EQ(dlg.m_pickers[1].GetOnlyPath(), dlg.m_pickers[0].GetOnlyPath());
    EXPECT_EQ(dlg.m_pickers[2].GetOnlyPath(), dlg.m_pickers[0].GetOnlyPath());
    EXPECT_EQ(PressOk(dlg), "Enter file names !");
    EXPECT_TRUE(dlg.IsDataReady(3).IsEmpty());

    Choose(dlg, 1, green);
    Choose(dlg, 2, blue);
    EXPECT_TRUE(OpenEnabled(dlg));
    EXPECT_EQ(dlg.IsDataReady(4), CString(green.c_str()));
    analysis_test::Screenshot(dlg, "rgb_channels_input");
    EXPECT_EQ(PressOk(dlg), "Files must be of the same size");
    EXPECT_TRUE(dlg.IsWindowVisible());

    // Green replaced by a file of the right size: the dialog ends.
    Choose(dlg, 1, blue);
    EXPECT_EQ(PressOk(dlg), "");
    EXPECT_EQ(dlg.GetChannelFile(3), 0);
    EXPECT_EQ(dlg.GetChannelFile(6), 0);
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.IsDataReady(3), CString(red.c_str()));
    EXPECT_EQ(dlg.IsDataReady(5), CString(blue.c_str()));
    EXPECT_TRUE(dlg.IsDataReady(2).IsEmpty());
}

TEST(RgbChannelsDlg, OutputModeOpensAtOnce)
{
    RecordingParent parent;
    CRGBChannelsDlg dlg(&parent, 0);
    ASSERT_TRUE(dlg.CreateStandIn(&parent));
    EXPECT_TRUE(OpenEnabled(dlg));
    EXPECT_EQ(dlg.m_pickers[0].GetOpenMode(), 0);
    EXPECT_EQ(PressOk(dlg), "Enter file names !");
    dlg.DestroyWindow();
}

TEST(RgbChannelsDlg, AComplexFileOffersFourImagesAndTheOneLeftShownIsTheComponent)
{
    tarvenix::test::TempDir dir;
    const std::string complex = MakeLayer(dir, "complex.rdp", 40, 30, 9);
    const std::string plain = MakeLayer(dir, "plain.rdp", 40, 30);
    RecordingParent parent;
    CRGBChannelsDlg dlg(&parent, 1);
    // A preset red file with its component shows that component's image first.
    dlg.SetChannelPath(complex.c_str(), 3);
    dlg.SetChannelComponent(1, 3);
    ASSERT_TRUE(dlg.CreateStandIn(&parent));
    dlg.ShowWindow(SW_SHOW);
    EXPECT_EQ(dlg.m_previews[0].GetImageCount(), 4);
    EXPECT_EQ(dlg.m_previews[0].GetImageIndex(), 1);
    Choose(dlg, 1, plain);
    Choose(dlg, 2, complex, true);
    EXPECT_EQ(dlg.m_previews[2].GetImageCount(), 4);
    // Two clicks on the red preview move it on to the real part.
    CWnd& preview = dlg.m_previews[0];
    for (int i = 0; i < 2; ++i) preview.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    analysis_test::Screenshot(dlg, "rgb_channels_complex");
    EXPECT_EQ(PressOk(dlg), "");
    EXPECT_EQ(dlg.GetChannelFile(3), 3);
    EXPECT_EQ(dlg.GetChannelFile(4), 0);
    EXPECT_EQ(dlg.GetChannelFile(5), 0);
    dlg.DestroyWindow();
}

TEST(RgbChannelsDlg, TheViewersOpenRgbCommandShowsTheThreeFilesAsAComposite)
{
    tarvenix::test::TempDir dir;
    const std::string files[3] = {MakeLayer(dir, "r.rdp", 32, 24), MakeLayer(dir, "g.rdp", 32, 24),
                                  MakeLayer(dir, "b.rdp", 32, 24)};
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = frame_test::OpenViewer(files[0], parent);
    ASSERT_NE(viewer, nullptr);
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        auto& dlg = dynamic_cast<CRGBChannelsDlg&>(window);
        for (int slot = 0; slot < 3; ++slot) Choose(dlg, slot, files[slot]);
        analysis_test::Screenshot(dlg, "rgb_channels_over_viewer");
    });
    const std::size_t heard = parent.received.size();
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer, ID_VIEWER_OPEN_RGB));
    // The composite is loaded by a job of the viewer, which tells its parent when it shows.
    ASSERT_TRUE(tarvenix::test::PumpUntil([&] { return parent.received.size() > heard; }));
    EXPECT_EQ(parent.received.back().second, 2);
    EXPECT_EQ(viewer->GetColorMode(), 2);
    EXPECT_EQ(viewer->GetFileName(4), CString(files[1].c_str()));
    tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
    viewer->DestroyWindow();
    PumpEvents();
}

TEST(RgbChannelsDlg, SaveRegionOfACompositeWritesTheBoxOfEachChannel)
{
    tarvenix::test::TempDir dir;
    const std::string files[3] = {MakeLayer(dir, "r.rdp", 32, 24), MakeLayer(dir, "g.rdp", 32, 24),
                                  MakeLayer(dir, "b.rdp", 32, 24)};
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = frame_test::OpenViewer(files[0], parent);
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(frame_test::ShowComposite(*viewer, parent, files));

    HRGN region = ::CreateRectRgn(5, 4, 15, 10);  // columns 5..14, rows 4..9
    viewer->GetViewRect()->SetSelection(region);
    ::DeleteObject(region);
    const std::string outputs[3] = {dir.File("r_part.rdp"), dir.File("g_part.rdp"), dir.File("b_part.rdp")};
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
        auto& dlg = dynamic_cast<CRGBChannelsDlg&>(window);
        for (int slot = 0; slot < 3; ++slot) Choose(dlg, slot, outputs[slot]);
    });
    ASSERT_TRUE(tarvenix::test::ClickCommand(*viewer, ID_VIEWER_SAVE_REGION));
    tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(outputs[i]);
        CRDPLayer part;
        ASSERT_NE(part.OpenLayer(outputs[i].c_str(), kOpenReadOnly), nullptr);
        EXPECT_EQ(part.Width(), 10);
        EXPECT_EQ(part.Height(), 6);
        EXPECT_EQ(part.GetValue(0, 0), ((5 * 7 + 4 * 3) % 50));
        EXPECT_EQ(part.GetValue(9, 5), ((14 * 7 + 9 * 3) % 50));
    }
    viewer->DestroyWindow();
    PumpEvents();
}
