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

/// Types `text` into the picker's path field as a user would (the field's old text first
/// selected and replaced).
void TypePath(CInFileCtrl& picker, const std::string& text)
{
    CWnd& field = *picker.GetDlgItem(CInFileCtrl::kNameId);
    field.SetFocus();
    field.SetWindowText("");
    tarvenix::test::TypeKeys(field, text);
}

// A path typed or pasted into the field is taken on Enter or when the field is left, read
// as a file chosen with the browse button: its header, the notification of the parent, the
// component question of a complex layer, and the refusal of a file that is not there.
TEST(InFileCtrl, ATypedPathIsTakenLikeAChosenFile)
{
    TempDir dir;
    const std::string real = dir.File("scene.rdp"), slc = dir.File("slc.rdp");
    MakeLayer(real, 9, 5, 7);
    MakeLayer(slc, 12, 7, 9);
    HostDlg dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTemplate));
    dlg.ShowWindow(SW_SHOW);
    CWnd& field = *dlg.picker.GetDlgItem(CInFileCtrl::kNameId);
    EXPECT_FALSE(field.GetStyle() & ES_READONLY);

    TypePath(dlg.picker, real);
    tarvenix::test::PressKey(field, Qt::Key_Return);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(dlg.chosen, std::vector<WPARAM>{kPicker}) << "Enter takes the path; the parent hears of it";
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), real);
    EXPECT_TRUE(dlg.picker.DataReady());
    EXPECT_EQ(dlg.picker.Width(), 9);
    EXPECT_EQ(dlg.picker.Type(), 7);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_TRUE(::IsWindow(dlg.GetSafeHwnd())) << "Enter in the field is not the dialog's OK";
    CString info;
    dlg.picker.GetDlgItem(CInFileCtrl::kInfoId)->GetWindowText(info);
    EXPECT_EQ(std::string(info).rfind("9 x 5, F32, ", 0), 0u) << info;

    // Pressing Enter again on the same path tells nobody twice.
    tarvenix::test::PressKey(field, Qt::Key_Return);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(dlg.chosen.size(), 1u);

    // A missing file is refused as the file dialog refuses it; the chosen file stays.
    Responder().AnswerMessageBox(IDOK);
    TypePath(dlg.picker, dir.File("missing.rdp"));
    tarvenix::test::PressKey(field, Qt::Key_Return);
    tarvenix::test::PumpEvents();
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(std::string(Responder().Asked()[0].text),
              "missing.rdp\nFile not found.\nCheck the file name and try again.");
    EXPECT_EQ(std::string(Responder().Asked()[0].caption), "Open");
    EXPECT_EQ(dlg.chosen.size(), 1u) << "the parent hears nothing of a refused path";
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), real);
    CString shown;
    field.GetWindowText(shown);
    EXPECT_EQ(std::string(shown), real);

    // A name typed without folder or extension is read in the picker's folder, with ".rdp";
    // leaving the field takes it, and a complex layer asks for its component.
    Responder().Reset();
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& ask) {
        static_cast<CDialog&>(ask).CheckRadioButton(IDC_INFO_FILE_AMPLITUDE, IDC_INFO_FILE_IMAGINARY,
                                                    IDC_INFO_FILE_PHASE);
    });
    TypePath(dlg.picker, "  slc  ");
    dlg.picker.GetDlgItem(CInFileCtrl::kBrowseId)->SetFocus();
    tarvenix::test::PumpEvents();
    EXPECT_EQ(dlg.chosen.size(), 2u);
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), slc);
    EXPECT_EQ(dlg.picker.FazaMode(), 1);
    ASSERT_EQ(Responder().Asked().size(), 1u) << "the component question";
    const QImage shot = tarvenix::test::GrabWindow(dlg);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "picker_with_typed_path").empty());

    // Emptying the field forgets the file.
    TypePath(dlg.picker, "");
    tarvenix::test::PressKey(field, Qt::Key_Return);
    EXPECT_FALSE(dlg.picker.DataReady());
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), "");
    EXPECT_EQ(std::string(dlg.picker.GetOnlyPath()), dir.Path().string());
    dlg.DestroyWindow();
}

// A tool that reads complex layers whole asks nothing when one is chosen, browsed or typed.
TEST(InFileCtrl, APickerOfAToolReadingComplexLayersWholeAsksForNoComponent)
{
    TempDir dir;
    const std::string slc = dir.File("slc.rdp");
    MakeLayer(slc, 12, 7, 9);
    class WholeDlg : public HostDlg {
    public:
        BOOL OnInitDialog() override
        {
            CDialog::OnInitDialog();
            picker.Create(1, nullptr, nullptr, CInFileCtrl::kWholeComplex);
            return TRUE;
        }
    } dlg;
    ASSERT_TRUE(dlg.CreateIndirect(kTemplate));
    Responder().Reset();
    Responder().AnswerFile({slc.c_str()});
    dlg.picker.GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(Responder().Asked().size(), 1u) << "the file dialog only";
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), slc);
    dlg.picker.ClearAll();
    TypePath(dlg.picker, slc);
    tarvenix::test::PressKey(*dlg.picker.GetDlgItem(CInFileCtrl::kNameId), Qt::Key_Return);
    tarvenix::test::PumpEvents();
    EXPECT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(std::string(dlg.picker.GetPathName()), slc);
    EXPECT_EQ(dlg.chosen.size(), 2u);
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
