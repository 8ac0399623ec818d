// The picker and the preview area of the tool dialogs, in a small dialog of their own.

#include <filesystem>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/preview_static.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/color_map.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using tarvenix::test::Responder;
using tarvenix::test::TempDir;

constexpr int kPicker = 100;
constexpr int kPreview = 101;

constexpr platform::DialogControl kControls[] = {
    {"Static", "", kPicker, 5, 5, 160, 35, SS_LEFT},
    {"Static", "", kPreview, 170, 5, 100, 100, SS_LEFT | SS_SUNKEN},
};
constexpr platform::DialogTemplate kTemplate{
    0, "Controls", WS_POPUP | WS_CAPTION, 0, "MS Sans Serif", 8, 0, 0, 280, 110, kControls};

class HostDlg : public CDialog {
public:
    CInFileCtrl picker;
    CPreviewStatic preview;
    std::vector<WPARAM> chosen;

    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, kPicker, picker); }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        picker.Create(1, nullptr, nullptr, 0);
        preview.Init(this, kPreview, 1);
        return TRUE;
    }
    LRESULT OnChosen(WPARAM id, LPARAM)
    {
        chosen.push_back(id);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(HostDlg, CDialog)
    ON_MESSAGE(WM_INFILECTRL_CHOSEN, OnChosen)
END_MESSAGE_MAP()

void MakeLayer(const std::string& path, int width, int height, int type)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, type), nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.SetValue(x, y, x + y);
    ASSERT_TRUE(out.CloseLayer());
}

std::set<QRgb> Colours(const QImage& shot, CWnd& host, CWnd& area)
{
    CRect r;
    area.GetWindowRect(&r);
    host.ScreenToClient(&r);
    std::set<QRgb> colours;
    for (int y = r.top + 2; y < r.bottom - 2; ++y)
        for (int x = r.left + 2; x < r.right - 2; ++x) colours.insert(shot.pixel(x, y) & 0xFFFFFF);
    return colours;
}

TEST(InFileCtrl, BrowsingChoosesAFileReadsItsHeaderAndTellsTheParent)
{
    TempDir dir;
    const std::string path = dir.File("slc.rdp");
    MakeLayer(path, 12, 7, 9);
    HostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTemplate));
    EXPECT_FALSE(dlg.picker.DataReady());
    EXPECT_EQ(dlg.picker.GetOpenMode(), 1);

    dlg.picker.SetOnlyPath(dir.Path().string().c_str());
    Responder().AnswerFile({path.c_str()});
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& ask) {
        static_cast<CDialog&>(ask).CheckRadioButton(IDC_INFO_FILE_AMPLITUDE, IDC_INFO_FILE_IMAGINARY,
                                                    IDC_INFO_FILE_REAL);
    });
    dlg.picker.GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
    tarvenix::test::PumpEvents();

    EXPECT_EQ(std::string(Responder().Asked()[0].file.initialDir), dir.Path().string());
    EXPECT_EQ(dlg.chosen, std::vector<WPARAM>{kPicker});
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), path);
    EXPECT_EQ(std::string(dlg.picker.GetFileName()), "slc.rdp");
    EXPECT_EQ(std::string(dlg.picker.GetOnlyPath()), dir.Path().string());
    EXPECT_TRUE(dlg.picker.DataReady());
    EXPECT_EQ(dlg.picker.Width(), 12);
    EXPECT_EQ(dlg.picker.Height(), 7);
    EXPECT_EQ(dlg.picker.Type(), 9);
    EXPECT_EQ(dlg.picker.FazaMode(), 2);
    CString shown;
    dlg.picker.GetDlgItem(CInFileCtrl::kInfoId)->GetWindowText(shown);
    EXPECT_EQ(std::string(shown).rfind("12 x 7, C64, ", 0), 0u) << shown;

    // A cancelled choice changes nothing and tells nobody.
    Responder().CancelFile();
    dlg.picker.GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(dlg.chosen.size(), 1u);

    dlg.picker.ClearAll();
    EXPECT_FALSE(dlg.picker.DataReady());
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), "");
    EXPECT_EQ(std::string(dlg.picker.GetOnlyPath()), dir.Path().string());
    dlg.DestroyWindow();
}

TEST(PreviewStatic, HoldsSeveralPicturesAndAClickShowsTheNext)
{
    HostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTemplate));
    dlg.ShowWindow(SW_SHOW);
    // Four 3 x 2 pictures, each one level; palette i paints everything in one colour.
    std::vector<BYTE> pixels(4 * 6);
    std::vector<BYTE> palettes(4 * 1024, 0);
    const QRgb colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (int i = 0; i < 4; ++i)
        for (int e = 0; e < 256; ++e) {
            palettes[std::size_t(i * 1024 + e * 4)] = BYTE(colours[i]);
            palettes[std::size_t(i * 1024 + e * 4 + 1)] = BYTE(colours[i] >> 8);
            palettes[std::size_t(i * 1024 + e * 4 + 2)] = BYTE(colours[i] >> 16);
        }
    dlg.preview.SetBitmapData(pixels.data(), 3, 2, 4, palettes.data(), 2);
    EXPECT_EQ(dlg.preview.GetImageIndex(), 2);
    EXPECT_TRUE(Colours(tarvenix::test::GrabWindow(dlg), dlg, dlg.preview).count(colours[2]));

    for (int expected : {3, 0}) {
        dlg.preview.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(dlg.preview.GetImageIndex(), expected);
    }
    EXPECT_TRUE(Colours(tarvenix::test::GrabWindow(dlg), dlg, dlg.preview).count(colours[0]));
    dlg.preview.SetText("\n\n\nPreview");
    EXPECT_EQ(dlg.preview.GetImageIndex(), -1);
    dlg.DestroyWindow();
}

TEST(PreviewStatic, DrawsALayerFileInItsPaletteAndNeedsItNoLonger)
{
    TempDir dir;
    const std::string path = dir.File("answer.rdp");
    MakeLayer(path, 40, 30, 8);
    CColorMap map;
    map.CreateSimpleColorMap(0, 67, RGB(0, 0, 255), RGB(255, 0, 0), 0);
    std::vector<BYTE> tag(std::size_t(map.GetSizeToSave()));
    map.SaveColorMapToPtr(tag.data(), int(tag.size()));
    ASSERT_TRUE(SetTag(path.c_str(), TAG_PALETTE, int(tag.size()), tag.data()));

    HostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTemplate));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(dlg.preview.SetSourceFile(path.c_str()));
    std::filesystem::remove(path);
    const QImage shot = tarvenix::test::GrabWindow(dlg);
    tarvenix::test::SaveTestOutput(shot, "preview_static_palette");
    const auto seen = Colours(shot, dlg, dlg.preview);
    // The ramp's ends in the map's colours, and no grey level in between.
    EXPECT_TRUE(seen.count(0x0000FF));
    EXPECT_TRUE(seen.count(0xFF0000));
    EXPECT_FALSE(seen.count(0x808080));
    EXPECT_FALSE(dlg.preview.SetSourceFile(path.c_str()));
    dlg.DestroyWindow();
}

}  // namespace
