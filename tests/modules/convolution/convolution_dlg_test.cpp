#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "modules/convolution/exports.h"
#include "modules/convolution/kernel_library.h"
#include "outside/basecore/in_file_ctrl.h"
#include "outside/basecore/preview_static.h"
#include "outside/basecore/progress_window.h"
#include "platform/controls/edit.h"
#include "platform/shell/shell_link.h"
#include "tests/modules/convolution/convolution_dlg_support.h"
#include "tests/support/test_environment.h"
#include "viewer/frame/frame_viewer.h"

namespace {

using namespace convdlgtest;
using filtertest::CloseAllViewers;
using filtertest::Ramp;
using filtertest::WriteLayer;
using tarvenix::test::TempDir;
namespace fs = std::filesystem;

class ConvolutionDialog : public ::testing::Test {
protected:
    void SetUp() override { SetLibrary(""); }
    void TearDown() override
    {
        for (CUserMaskDlg* e : TopLevelOf<CUserMaskDlg>()) e->SendMessage(WM_COMMAND, IDCANCEL);
        for (CConvolutionDlg* d : TopLevelOf<CConvolutionDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        PumpEvents();
        EXPECT_TRUE(TopLevelOf<CConvolutionDlg>().empty());
        CloseAllViewers();
        SetLibrary("");
    }

    template <class Dlg = CConvolutionDlg>
    Dlg* Open()
    {
        auto* d = new Dlg;
        EXPECT_TRUE(d->Create(nullptr));
        d->ShowWindow(SW_SHOW);
        return d;
    }

    static CString Text(CWnd* d, int id)
    {
        CString t;
        d->GetDlgItem(id)->GetWindowText(t);
        return t;
    }
    static CPreviewStatic* Preview(CWnd* d)
    {
        return dynamic_cast<CPreviewStatic*>(d->GetDlgItem(IDC_CONV_PREVIEW)->GetDlgItem(IDC_CONV_PREVIEW));
    }
    static CInFileCtrl* Picker(CWnd* d, int id) { return dynamic_cast<CInFileCtrl*>(d->GetDlgItem(id)); }
    static CRoundSliderCtrl* Slider(CWnd* d)
    {
        return static_cast<CRoundSliderCtrl*>(d->GetDlgItem(IDC_CONV_SLIDER));
    }
    static void Click(CWnd* d, int id) { d->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    static void TypeAngle(CWnd* d, const char* text) { d->GetDlgItem(IDC_CONV_ANGLE)->SetWindowText(text); }
    /// The choice handed in as the picker hands it in.
    static void Choose(CWnd* d, int id, const std::string& path)
    {
        Picker(d, id)->SetPathName(path.c_str());
        d->SendMessage(WM_INFILECTRL_CHOSEN, WPARAM(id), 0);
    }
    static void Select(CConvolutionDlg* d, const std::string& caption)
    {
        HTREEITEM item = FindItem(Tree(d), caption);
        ASSERT_NE(item, nullptr) << caption;
        Tree(d)->SelectItem(item);
    }
    static bool Idle(CConvolutionDlg* d) { return !d->PreviewBusy() && GetRunningThreadCount() == 0; }
};

// ---- the library -----------------------------------------------------------------------------

/// kernels/ Edges/ (Description.dat "word\n": A.RDP captioned "Sobel", notes.txt),
/// Plain/ (blur.rdp without a caption), far.lnk to a mask outside, and a link to the
/// library itself.
struct Library {
    TempDir dir;
    std::string kernels = dir.File("kernels");
    std::string sobel = kernels + "/Edges/A.RDP";
    std::string blur = kernels + "/Plain/blur.rdp";
    std::string farTarget = dir.File("elsewhere/far_target.rdp");
    std::string farLink = kernels + "/far.lnk";

    Library()
    {
        MakeMask(sobel, 3, 3, Box3(), {}, "Sobel");
        MakeMask(blur, 3, 3, Box3());
        MakeMask(farTarget, 3, 3, Box3(), Box3(), "Far mask");
        std::FILE* f = std::fopen((kernels + "/Edges/Description.dat").c_str(), "wb");
        std::fputs("word\n", f);
        std::fclose(f);
        f = std::fopen((kernels + "/Edges/notes.txt").c_str(), "wb");
        std::fputs("not a mask", f);
        std::fclose(f);
        CreateMaskShortcut(farTarget.c_str(), farLink.c_str(), "Far mask");
        fs::create_directory_symlink(kernels, kernels + "/loop");
        SetLibrary(kernels);
    }
};

TEST_F(ConvolutionDialog, TheTreeShowsTheLibraryAsItIsOnDisk)
{
    Library lib;
    Convolution_Files();
    ASSERT_EQ(TopLevelOf<CConvolutionDlg>().size(), 1u);
    CConvolutionDlg* d = TopLevelOf<CConvolutionDlg>()[0];
    CString caption;
    d->GetWindowText(caption);
    EXPECT_EQ(std::string(caption), "Convolution with mask");
    EXPECT_EQ(std::string(Preview(d)->GetText()), "\n\n\nSelect input file and mask.");

    CTreeCtrl* tree = Tree(d);
    std::multiset<std::string> roots;
    for (HTREEITEM i = tree->GetRootItem(); i; i = tree->GetNextSiblingItem(i))
        roots.insert(std::string(tree->GetItemText(i)));
    // The link to the library itself is not followed; a link file has no caption tag.
    EXPECT_EQ(roots, (std::multiset<std::string>{"word\n", "Plain", "far"}));

    const struct {
        const char* caption;
        const char* parent;
        int image;
        std::string path;
    } items[] = {{"word\n", nullptr, 0, ""},
                 {"Plain", nullptr, 0, ""},
                 {"Sobel", "word\n", 2, lib.sobel},
                 {"blur", "Plain", 2, lib.blur},
                 {"far", nullptr, 2, lib.farLink}};
    for (const auto& c : items) {
        SCOPED_TRACE(c.caption);
        HTREEITEM item = FindItem(tree, c.caption);
        ASSERT_NE(item, nullptr);
        int image = -1, selected = -1;
        tree->GetItemImage(item, image, selected);
        EXPECT_EQ(image, c.image);
        EXPECT_EQ(selected, c.image + 1);
        HTREEITEM parent = tree->GetParentItem(item);
        EXPECT_EQ(parent ? std::string(tree->GetItemText(parent)) : std::string(), c.parent ? c.parent : "");
        EXPECT_EQ(std::string(d->PathOfItem(item)), c.path);
        if (c.image == 0) EXPECT_EQ(LPARAM(tree->GetItemData(item)), LPARAM(-1));
    }
    // The text file is left out: "word\n" holds the one mask.
    HTREEITEM edges = FindItem(tree, "word\n");
    EXPECT_EQ(tree->GetNextSiblingItem(tree->GetChildItem(edges)), nullptr);

    // A link shows its target as its tip and as the mask; Remove would take the link.
    EXPECT_EQ(std::string(tree->GetInfoTip(FindItem(tree, "far"))), lib.farTarget);
    EXPECT_EQ(std::string(tree->GetInfoTip(FindItem(tree, "Sobel"))), "");
    EXPECT_EQ(std::string(tree->GetInfoTip(edges)), "");
    Select(d, "far");
    EXPECT_EQ(std::string(d->CurrentMaskPath()), lib.farTarget);
    EXPECT_EQ(std::string(d->SelectedFile()), lib.farLink);
    EXPECT_EQ(d->GetNameCurrentMask(), CString("Far mask"));
    Select(d, "Plain");
    EXPECT_EQ(std::string(d->CurrentMaskPath()), "");
    EXPECT_EQ(std::string(d->SelectedFile()), "");
}

TEST(KernelLibrary, TheWalkStopsAtItsDepthAndReadsOnlyTheStartOfADescription)
{
    TempDir dir;
    std::string folder = dir.File("lib");
    for (int i = 0; i < kMaxLibraryDepth + 3; ++i) folder += "/d" + std::to_string(i);
    fs::create_directories(folder);
    MakeMask(dir.File("lib/top.rdp"), 1, 1, {1.0});
    std::FILE* f = std::fopen(dir.File("lib/d0/Description.dat").c_str(), "wb");
    const std::string big(3 * kMaxDescriptionBytes, 'x');
    std::fputs(big.c_str(), f);
    std::fclose(f);

    const std::vector<LibraryNode> nodes = ReadKernelLibrary(dir.File("lib").c_str());
    int depth = 0;
    const LibraryNode* folderNode = nullptr;
    for (const auto& n : nodes)
        if (n.folder) folderNode = &n;
    ASSERT_NE(folderNode, nullptr);
    EXPECT_EQ(std::size_t(folderNode->caption.GetLength()), kMaxDescriptionBytes);
    for (const LibraryNode* n = folderNode; n; n = n->children.empty() ? nullptr : &n->children[0]) ++depth;
    EXPECT_EQ(depth, kMaxLibraryDepth);
    EXPECT_TRUE(ReadKernelLibrary(dir.File("missing").c_str()).empty());
}

TEST(ShellLink, ReadsOnlyItsOwnLinkFiles)
{
    TempDir dir;
    const std::string link = dir.File("m.lnk");
    ASSERT_EQ(CreateMaskShortcut("/data/masks/x.rdp", link.c_str(), "two\nlines"), S_OK);
    platform::ShellLink read;
    ASSERT_TRUE(platform::ReadShellLink(link.c_str(), read));
    EXPECT_EQ(std::string(read.target), "/data/masks/x.rdp");
    EXPECT_EQ(std::string(read.description), "two\nlines");

    // A Windows link, an empty file and a missing one all resolve to nothing.
    const std::string windows = dir.File("w.lnk"), empty = dir.File("e.lnk");
    std::FILE* f = std::fopen(windows.c_str(), "wb");
    std::fwrite("L\0\0\0\x01\x14\x02\0", 1, 8, f);
    std::fclose(f);
    std::fclose(std::fopen(empty.c_str(), "wb"));
    for (const std::string& bad : {windows, empty, dir.File("none.lnk")}) {
        CString target = "stale";
        EXPECT_EQ(ResolveMaskShortcut(nullptr, bad.c_str(), target), E_FAIL) << bad;
        EXPECT_TRUE(target.IsEmpty());
    }
    // A line break in the target cannot be stored.
    EXPECT_EQ(CreateMaskShortcut("/a\nb.rdp", link.c_str(), ""), E_FAIL);
    CString target;
    EXPECT_EQ(ResolveMaskShortcut(nullptr, link.c_str(), target), S_OK);
    EXPECT_EQ(std::string(target), "/data/masks/x.rdp");
}

// ---- the angle -------------------------------------------------------------------------------

TEST_F(ConvolutionDialog, TheAngleFollowsTheMaskKindTheTextAndTheSlider)
{
    TempDir dir;
    MakeMask(dir.File("k/simple.rdp"), 3, 3, Box3());
    MakeMask(dir.File("k/compound.rdp"), 3, 3, Box3(), Box3());
    SetLibrary(dir.File("k"));
    CConvolutionDlg* d = Open();
    EXPECT_FALSE(d->GetDlgItem(IDC_CONV_ANGLE)->IsWindowEnabled());
    EXPECT_FALSE(Slider(d)->IsSliderEnabled());

    Select(d, "compound");
    EXPECT_TRUE(d->GetDlgItem(IDC_CONV_ANGLE)->IsWindowEnabled());
    EXPECT_TRUE(Slider(d)->IsSliderEnabled());

    const struct {
        const char* typed;
        float angle;
        int knob;
        const char* shown;
        int positive;
    } cases[] = {
        {"-30", -30, 330, "-30", 0},   {"725", 5, 5, "725", 1}, {"400.9", 40, 40, "400.9", 1},
        {"-400", -40, 320, "-400", 0}, {"", 0, 0, "0", 1},      {"abc", 0, 0, "0", 1},
        {"nan", 0, 0, "0", 1},         {"-inf", 0, 0, "0", 1},  {"1e20", 280, 280, "1e20", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        TypeAngle(d, "33");
        TypeAngle(d, c.typed);
        EXPECT_EQ(d->Angle(), c.angle);
        EXPECT_EQ(Slider(d)->GetPos(), c.knob);
        EXPECT_EQ(std::string(Text(d, IDC_CONV_ANGLE)), c.shown);
        EXPECT_EQ(d->PositiveAngle(), c.positive);
    }

    // After -30 the knob stands at 330; moved to 300 it means -60.
    TypeAngle(d, "-30");
    Slider(d)->SendMessage(TBM_SETPOS, TRUE, 300);
    Slider(d)->PostMessageToParent(TB_THUMBPOSITION);
    PumpEvents();
    EXPECT_EQ(d->Angle(), -60.0f);
    EXPECT_EQ(std::string(Text(d, IDC_CONV_ANGLE)), "-60");

    // Set from outside: the text keeps the value, the knob its turn.
    const struct {
        double angle;
        const char* shown;
        int knob;
    } set[] = {{-30.5, "-30.5", 330}, {725, "725", 5}, {1e20, "1e+20", 280}, {NAN, "0", 0}};
    for (const auto& c : set) {
        d->SetAngle(c.angle);
        EXPECT_EQ(std::string(Text(d, IDC_CONV_ANGLE)), c.shown);
        EXPECT_EQ(Slider(d)->GetPos(), c.knob);
    }

    // A simple mask has no angle.
    TypeAngle(d, "45");
    Select(d, "simple");
    EXPECT_EQ(d->Angle(), 0.0f);
    EXPECT_EQ(std::string(Text(d, IDC_CONV_ANGLE)), "0");
    EXPECT_EQ(Slider(d)->GetPos(), 0);
    EXPECT_FALSE(d->GetDlgItem(IDC_CONV_ANGLE)->IsWindowEnabled());
    EXPECT_FALSE(Slider(d)->IsSliderEnabled());
}

// ---- remove, add --------------------------------------------------------------------------------

TEST_F(ConvolutionDialog, RemoveTakesOnlyALeafChosenNow)
{
    Library lib;
    CConvolutionDlg* d = Open();
    // A mask, then a folder: Remove has nothing to take.
    Select(d, "blur");
    Select(d, "Plain");
    Responder().AnswerMessageBox(IDOK);
    Click(d, IDC_CONV_REMOVE_MASK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "You must select a mask !");
    EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
    EXPECT_TRUE(fs::exists(lib.blur));

    // A link: the question names it, and only the link goes.
    Select(d, "far");
    Responder().AnswerMessageBox(IDYES);
    Click(d, IDC_CONV_REMOVE_MASK);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].text),
              "Do you really want to delete shortcut?\n" + lib.farLink);
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].caption), "Convolution with mask");
    EXPECT_EQ(MessageBoxesAsked()[1].Buttons(), UINT(MB_YESNO));
    EXPECT_FALSE(fs::exists(lib.farLink));
    EXPECT_TRUE(fs::exists(lib.farTarget));
    EXPECT_EQ(FindItem(Tree(d), "far"), nullptr);
    EXPECT_EQ(std::string(d->SelectedFile()), "");

    // A mask file, answered No: it stays.
    Select(d, "Sobel");
    Responder().AnswerMessageBox(IDNO);
    Click(d, IDC_CONV_REMOVE_MASK);
    EXPECT_EQ(std::string(MessageBoxesAsked().back().text),
              "Do you really want to delete this mask file?\n" + lib.sobel);
    EXPECT_TRUE(fs::exists(lib.sobel));
    EXPECT_NE(FindItem(Tree(d), "Sobel"), nullptr);
}

TEST_F(ConvolutionDialog, AddMakesALinkInTheLibrary)
{
    TempDir dir;
    const std::string chosen = dir.File("mine/edge_x.rdp");
    MakeMask(chosen, 3, 3, Box3(), {}, "Edge X");
    // No work folder, then no library: each is told.
    SetStringValue("\\Settings\\General", "KernelsDir", "");
    SetStringValue("\\Settings\\General", "WorkDir", "");
    CConvolutionDlg* d = Open();
    Responder().AnswerMessageBox(IDOK);
    Click(d, IDC_CONV_ADD_MASK);
    SetStringValue("\\Settings\\General", "WorkDir", dir.Path().c_str());
    Responder().AnswerMessageBox(IDOK);
    Click(d, IDC_CONV_ADD_MASK);
    ASSERT_EQ(MessageBoxesAsked().size(), 2u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Error on load several parameters from registry!\n");
    EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONSTOP));
    EXPECT_EQ(std::string(MessageBoxesAsked()[1].text), "No mask library folder is set (KernelsDir).");
    d->SendMessage(WM_COMMAND, IDCANCEL);

    fs::create_directories(dir.File("k"));
    SetLibrary(dir.File("k"), dir.Path().string());
    d = Open();
    Responder().AnswerFile({chosen.c_str()});
    Click(d, IDC_CONV_ADD_MASK);
    EXPECT_EQ(MessageBoxesAsked().size(), 2u);
    platform::ShellLink link;
    ASSERT_TRUE(platform::ReadShellLink(dir.File("k/edge_x.lnk").c_str(), link));
    EXPECT_EQ(std::string(link.target), chosen);
    EXPECT_EQ(std::string(link.description), "Edge X");
    Select(d, "edge_x");
    EXPECT_EQ(std::string(d->CurrentMaskPath()), chosen);
}

// ---- preview and Execute --------------------------------------------------------------------------

TEST_F(ConvolutionDialog, FiveChangesDuringAPreviewGiveOneRerunWithTheLastAngle)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 64, 48, int(DataType::F32), Ramp(64, 48)));
    MakeMask(dir.File("k/compound.rdp"), 3, 3, Box3(), {0, 1, 0, 1, 2, 1, 0, 1, 0});
    SetLibrary(dir.File("k"));
    auto* d = Open<RecordingConvolutionDlg>();
    Select(d, "compound");
    EXPECT_FALSE(d->PreviewBusy());  // no input yet
    Choose(d, IDC_CONV_INPUT, in);
    ASSERT_TRUE(d->PreviewBusy());
    EXPECT_EQ(std::string(Text(d, IDC_CONV_STATUS)), "Preview calculation...");
    for (const char* angle : {"10", "20", "30", "40", "50"}) TypeAngle(d, angle);
    EXPECT_TRUE(d->PreviewAgain());
    EXPECT_TRUE(PumpUntil([&] { return Idle(d) && d->answerAngles.size() == 2; }));
    PumpEvents();
    ASSERT_EQ(d->answerAngles.size(), 2u);
    EXPECT_EQ(d->answerAngles[1], 50.0f);
    EXPECT_FALSE(d->PreviewAgain());
    EXPECT_EQ(std::string(Text(d, IDC_CONV_STATUS)), "");
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
}

TEST_F(ConvolutionDialog, ExecuteRunsTheJobAndAViewerOpensOnTheOutput)
{
    TempDir dir;
    const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
    ASSERT_TRUE(WriteLayer(in, 40, 30, int(DataType::F32), Ramp(40, 30)));
    MakeMask(dir.File("k/box.rdp"), 3, 3, Box3(), {}, "Box");
    SetLibrary(dir.File("k"));
    CConvolutionDlg* d = Open();
    Choose(d, IDC_CONV_INPUT, in);
    Select(d, "Box");
    EXPECT_TRUE(PumpUntil([&] { return Idle(d); }));
    Responder().AnswerMessageBox(IDOK);
    Click(d, IDC_CONV_EXECUTE);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), "Enter an output file name !");

    Choose(d, IDC_CONV_OUTPUT, out);
    d->GetDlgItem(IDC_CONV_ANGLE)->EnableWindow(TRUE);
    TypeAngle(d, "");
    Click(d, IDC_CONV_EXECUTE);
    EXPECT_EQ(std::string(Text(d, IDC_CONV_ANGLE)), "0.");
    EXPECT_EQ(d->Params().angleDegrees, 0.0f);
    EXPECT_EQ(std::string(d->Params().maskPath), dir.File("k/box.rdp"));
    EXPECT_EQ(std::string(d->Params().maskCaption), "Box");
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
    filtertest::SettleViewers();
    EXPECT_EQ(MessageBoxesAsked().size(), 1u);
    ASSERT_TRUE(fs::exists(out));
    bool viewed = false;
    for (CFrameViewer* v : TopLevelOf<CFrameViewer>()) viewed |= std::string(v->GetFileName(1)) == out;
    EXPECT_TRUE(viewed);
    // The inner sample is the mean of its 3 x 3 neighbours.
    const auto input = filtertest::ReadLayer(in), output = filtertest::ReadLayer(out);
    double sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += input[std::size_t((10 + dy) * 40 + 20 + dx)];
    EXPECT_NEAR(output[10 * 40 + 20], sum / 9, 1e-4);
}

TEST_F(ConvolutionDialog, ScreenshotWithTheLibraryAndAPreview)
{
    Library lib;
    std::string sample = TVX_SAMPLE_LAYER;
    if (!fs::exists(sample)) {
        sample = lib.dir.File("sample.rdp");
        ASSERT_TRUE(WriteLayer(sample, 300, 200, int(DataType::F32), Ramp(300, 200)));
    }
    MakeMask(lib.kernels + "/Edges/sobel_xy.rdp", 3, 3, {-1, 0, 1, -2, 0, 2, -1, 0, 1},
             {-1, -2, -1, 0, 0, 0, 1, 2, 1}, "Sobel (compound)");
    CConvolutionDlg* d = Open();
    Tree(d)->Expand(FindItem(Tree(d), "word\n"), TVE_EXPAND);
    Tree(d)->Expand(FindItem(Tree(d), "Plain"), TVE_EXPAND);
    Choose(d, IDC_CONV_INPUT, sample);
    Select(d, "Sobel (compound)");
    TypeAngle(d, "30");
    EXPECT_TRUE(PumpUntil([&] { return Idle(d); }));
    PumpEvents();
    EXPECT_EQ(Preview(d)->GetImageIndex(), 0);
    const QImage shot = tarvenix::test::GrabWindow(*d);
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "convolution_dialog_library_preview").empty());
    CRect area;
    Preview(d)->GetWindowRect(&area);
    d->ScreenToClient(&area);
    std::set<QRgb> colours;
    for (int y = area.top + 5; y < area.bottom - 5; y += 3)
        for (int x = area.left + 5; x < area.right - 5; x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);
}

}  // namespace
