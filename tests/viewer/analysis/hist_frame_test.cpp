#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/easy_registry.h"
#include "outside/basecore/layer_statistics.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "platform/gdi/region.h"
#include "platform/window/cmd_target.h"
#include "tests/support/dialog_helpers.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/hist_bars.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/analysis/hist_view.h"
#include "viewer/core/view_result_param.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

/// A viewer on a small F32 layer (sample x + 100 y) with its histogram window shown and counted.
struct HistFixture {
    TempDir dir;
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = nullptr;
    CHistFrame* hist = nullptr;
    std::string file;

    explicit HistFixture(int width = 24, int height = 16)
    {
        file = dir.File("ramp.rdp");
        frame_test::MakeLayerFile(file, width, height);
        viewer = frame_test::OpenViewer(file, parent);
        if (!viewer) return;
        hist = dynamic_cast<CHistFrame*>(viewer->GetHistWnd());
    }
    ~HistFixture()
    {
        if (viewer && ::IsWindow(viewer->GetSafeHwnd())) viewer->DestroyWindow();
        tarvenix::test::PumpEvents();
    }
    bool ShowAndCount()
    {
        hist->ShowWindow(SW_SHOW);
        return Counted();
    }
    bool Counted()
    {
        return PumpUntil(
            [&] { return hist->Data().m_nStatus == kHistReady && hist->Data().m_single.Block(0); });
    }
    /// The counts a plain loop gives with the statistics' bin rule.
    std::vector<std::uint32_t> PlainCounts(int bins) const
    {
        CRDPLayer layer;
        std::vector<std::uint32_t> counts(std::size_t(bins), 0);
        if (!layer.OpenLayer(file.c_str(), 0)) return counts;
        double lo = 1e300, hi = -1e300;
        for (int y = 0; y < layer.Height(); ++y)
            for (int x = 0; x < layer.Width(); ++x)
                lo = std::min(lo, layer.GetValue(x, y)), hi = std::max(hi, layer.GetValue(x, y));
        for (int y = 0; y < layer.Height(); ++y)
            for (int x = 0; x < layer.Width(); ++x)
                ++counts[std::size_t(BinOf(layer.GetValue(x, y), lo, hi, bins))];
        return counts;
    }
};

std::vector<std::uint32_t> Shown(CHistFrame& hist)
{
    const HistChannel& c = hist.Data().m_single;
    const std::uint32_t* b = c.Block(0);
    return b ? std::vector<std::uint32_t>(b, b + c.bins) : std::vector<std::uint32_t>{};
}

CString WindowText(CWnd& w)
{
    CString text;
    w.GetWindowText(text);
    return text;
}

}  // namespace

TEST(HistThemes, BuiltInsAreRewrittenAndHandAddedThemesAppear)
{
    const CString key = kHistSettingsKey;
    // A hand edit of "1" does not last; a hand-added "3" is listed.
    SetStringValue(key + "\\1", "BackGround", "12345");
    SetStringValue(key + "\\3", "", "Sea");
    SetStringValue(key + "\\3", "BackGround", "8388608");
    SetStringValue(key + "\\3", "Graphic", "not a number");

    CHistFrame* hist = new CHistFrame(0);
    frame_test::NotifyWindow owner;
    ASSERT_TRUE(hist->Create(&owner, 0));
    EXPECT_EQ(GetStringValue(key + "\\1", "BackGround"), "16777215");
    const struct {
        const char* sub;
        const char* name;
        const char* values[7];
    } kBuiltIns[] = {
        {"1", "Light", {"16777215", "0", "8388736", "64", "4194368", "8388608", "16776960"}},
        {"2", "Dark", {"0", "16777215", "16744703", "16777015", "65535", "16777015", "16776960"}},
    };
    for (const auto& t : kBuiltIns) {
        EXPECT_EQ(GetStringValue(key + "\\" + t.sub, ""), t.name);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(GetStringValue(key + "\\" + t.sub, kThemeColorNames[i]), t.values[i]);
    }
    ASSERT_EQ(hist->m_themes.size(), 3u);
    EXPECT_EQ(hist->m_themes[2].name, "Sea");
    EXPECT_EQ(hist->m_themes[2].background, 8388608u);
    EXPECT_EQ(hist->m_themes[2].graph, 0u);  // not a number reads as black
    EXPECT_EQ(hist->ThemeMenu().GetMenuItemCount(), 3u);
    // No "LastScheme" matching: the last listed theme applies and is checked.
    EXPECT_EQ(hist->m_strThemeName, "Sea");
    EXPECT_TRUE(hist->ThemeMenu().GetMenuState(ID_HIST_THEME_FIRST + 2, MF_BYCOMMAND) & MF_CHECKED);

    // Choosing "Dark" remembers its key when the window goes.
    hist->SendMessage(WM_COMMAND, ID_HIST_THEME_FIRST + 1, 0);
    EXPECT_EQ(hist->m_strThemeName, "Dark");
    EXPECT_TRUE(hist->ThemeMenu().GetMenuState(ID_HIST_THEME_FIRST + 1, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(hist->ThemeMenu().GetMenuState(ID_HIST_THEME_FIRST + 2, MF_BYCOMMAND) & MF_CHECKED);
    hist->DestroyWindow();
    EXPECT_EQ(GetStringValue(key, "LastScheme"), "2");
    EXPECT_EQ(GetStringValue(key, "TypeOfFilling"), "3");
    EXPECT_EQ(GetStringValue(key, "ColorHistogram"), "1");
    RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey(key + "\\3"));
}

TEST(HistWindow, CountsEqualAPlainCountAndBinsComeFromTheLevelsBar)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    ASSERT_TRUE(f.ShowAndCount());
    EXPECT_EQ(Shown(*f.hist), f.PlainCounts(256));
    EXPECT_EQ(WindowText(*f.hist), "Histogram: " + f.viewer->GetViewRect()->GetLayerName());

    // The levels bar offers 256 first; any positive count is taken, power of two or not.
    f.hist->LevelsBar()->m_combo.SetWindowText("1000");
    f.hist->LevelsBar()->FillLevels();
    EXPECT_EQ(WindowText(f.hist->LevelsBar()->m_combo), "256");
    EXPECT_EQ(f.hist->LevelsBar()->m_combo.GetCount(), 9);
    f.hist->LevelsBar()->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HIST_APPLY, BN_CLICKED), 0);
    ASSERT_TRUE(f.Counted());
    EXPECT_EQ(f.hist->Data().m_single.bins, 256);
    f.hist->LevelsBar()->m_combo.SetWindowText("1000");
    f.hist->LevelsBar()->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HIST_APPLY, BN_CLICKED), 0);
    ASSERT_TRUE(f.Counted());
    EXPECT_EQ(f.hist->Data().m_single.bins, 1000);
    EXPECT_EQ(Shown(*f.hist), f.PlainCounts(1000));

    // Refused entries show the error and change nothing.
    for (const char* bad : {"abc", "0", "", "1048577"}) {
        tarvenix::test::Responder().AnswerMessageBox(IDOK);
        f.hist->LevelsBar()->m_combo.SetWindowText(bad);
        f.hist->LevelsBar()->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_HIST_APPLY, BN_CLICKED), 0);
        EXPECT_EQ(tarvenix::test::Responder().Asked().back().text, "Invalid histogram size value !") << bad;
        EXPECT_EQ(f.hist->Data().m_single.bins, 1000);
    }

    // Closing hides the window; the next show counts 256 bins again.
    f.hist->SendMessage(WM_CLOSE);
    EXPECT_FALSE(f.hist->IsWindowVisible());
    ASSERT_TRUE(::IsWindow(f.hist->GetSafeHwnd()));
    ASSERT_TRUE(f.ShowAndCount());
    EXPECT_EQ(f.hist->Data().m_single.bins, 256);
}

TEST(HistWindow, CommandStatesFollowTheData)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    const auto state = [&](UINT id) { return platform::QueryCommandState(f.hist, id); };
    ASSERT_TRUE(f.ShowAndCount());
    for (UINT id : {ID_HIST_REMOVE_SPIKES, ID_HIST_FULL, ID_HIST_STATISTICS})
        EXPECT_FALSE(state(id).enabled) << id;
    for (UINT id : {ID_HIST_RED, ID_HIST_GREEN, ID_HIST_BLUE, ID_HIST_ALL_CHANNELS})
        EXPECT_FALSE(state(id).enabled);
    EXPECT_TRUE(state(ID_HIST_REAL_SIZE).enabled);
    EXPECT_TRUE(state(ID_HIST_SAVE_AS).enabled);
    EXPECT_EQ(state(ID_HIST_DRAW_COLS).checked, 1);
    EXPECT_EQ(state(ID_HIST_CONTOUR).checked, 1);
    EXPECT_EQ(state(ID_HIST_SELECTION_MODE).checked, 0);
    f.hist->SendMessage(WM_COMMAND, ID_HIST_DRAW_COLS, 0);
    EXPECT_EQ(state(ID_HIST_DRAW_COLS).checked, 0);
    EXPECT_EQ(f.hist->m_nFillType, 1);
    f.hist->SendMessage(WM_COMMAND, ID_HIST_SELECTION_MODE, 0);
    EXPECT_EQ(state(ID_HIST_SELECTION_MODE).checked, 1);
    EXPECT_EQ(f.hist->Data().m_nDragMode, 0);
}

TEST(HistWindow, DestroyingTheMasterTellsItsRegionWindows)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    frame_test::NotifyWindow owner;
    auto* region = new CHistFrame(0);
    ASSERT_TRUE(region->Create(&owner, 1));
    region->SetMainHist(f.hist);
    f.hist->AddSource(region);
    region->m_hRgn = ::CreateRectRgn(0, 0, 10, 10);
    ASSERT_EQ(region->GetViewer(), f.viewer);
    region->ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil(
        [&] { return region->Data().m_nStatus == kHistReady && region->Data().m_single.Block(0); }));
    EXPECT_EQ(WindowText(*region), "Histogram: Region");
    std::uint64_t total = 0;
    for (std::uint32_t c : Shown(*region)) total += c;
    EXPECT_EQ(total, 100u);

    f.viewer->DestroyWindow();
    f.viewer = nullptr;
    tarvenix::test::PumpEvents();
    EXPECT_EQ(region->m_pMaster, nullptr);
    EXPECT_EQ(region->GetViewer(), nullptr);
    region->DestroyWindow();
}

TEST(HistWindow, RestartsAndACloseDuringCountingStayClean)
{
    HistFixture f(640, 480);
    ASSERT_NE(f.hist, nullptr);
    f.hist->ShowWindow(SW_SHOW);
    for (int bins : {100, 2000, 1 << 20, 50}) f.hist->SendMessage(WM_HISTCOMMAND, 21, bins);
    ASSERT_TRUE(f.Counted());
    EXPECT_EQ(f.hist->Data().m_single.bins, 50);  // only the last start lands
    EXPECT_EQ(Shown(*f.hist), f.PlainCounts(50));
    f.hist->SendMessage(WM_HISTCOMMAND, 21, 4096);
    f.viewer->DestroyWindow();  // while the last job may still count
    f.viewer = nullptr;
    tarvenix::test::PumpEvents();
}

TEST(HistWindow, SavesReadBack)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    ASSERT_TRUE(f.ShowAndCount());
    const std::vector<std::uint32_t> counts = Shown(*f.hist);

    const std::string txt = f.dir.File("h.txt");
    ASSERT_TRUE(f.hist->WriteHistogram(txt.c_str(), 2));
    std::istringstream lines(tarvenix::test::ReadWholeFile(txt));
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        unsigned index = 0, count = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%u\t%u", &index, &count), 2);
        EXPECT_EQ(index, unsigned(n));
        EXPECT_EQ(count, counts[std::size_t(n)]);
        ++n;
    }
    EXPECT_EQ(n, 256);

    const std::string rdp = f.dir.File("h.rdp");
    ASSERT_TRUE(f.hist->WriteHistogram(rdp.c_str(), 1));
    CRDPLayer layer;
    ASSERT_TRUE(layer.OpenLayer(rdp.c_str(), 0));
    ASSERT_EQ(layer.Width(), 256);
    ASSERT_EQ(layer.Height(), 1);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(layer.GetValue(i, 0), double(counts[std::size_t(i)]));
    layer.CloseLayer();
    CCoordLawData law;
    EXPECT_TRUE(law.LoadData(rdp.c_str()));

    const std::string bmp = f.dir.File("h.bmp");
    ASSERT_TRUE(f.hist->WriteHistogram(bmp.c_str(), 3));
    const std::string bytes = tarvenix::test::ReadWholeFile(bmp);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");

    // A save that cannot be made reports failure and leaves nothing.
    EXPECT_FALSE(f.hist->WriteHistogram(f.dir.File("no/such/folder/h.rdp").c_str(), 1));
    tarvenix::test::Responder().AnswerMessageBox(IDOK);
    EXPECT_FALSE(f.hist->WriteHistogram(f.dir.File("no/such/folder/h.txt").c_str(), 2));
}

TEST(HistWindow, ScreenshotsInEachThemeAndOfAComplexLayer)
{
    const CString key = kHistSettingsKey;
    SetStringValue(key, "TypeOfFilling", "3");  // columns and outline, whatever earlier windows left
    SetStringValue(key, "ColorHistogram", "1");
    SetStringValue(key + "\\3", "", "Paper");
    for (auto [name, value] : {std::pair{"BackGround", "14745599"},
                               {"Grid", "8421504"},
                               {"Graphic", "32768"},
                               {"Axises", "0"},
                               {"Grid Text", "128"},
                               {"Text", "0"},
                               {"Selection", "16776960"}})
        SetStringValue(key + "\\3", name, value);
    {
        HistFixture f(200, 150);
        ASSERT_NE(f.hist, nullptr);
        f.hist->MoveWindow(CRect(0, 0, 640, 480));
        ASSERT_TRUE(f.ShowAndCount());
        const char* names[3] = {"hist_theme_light", "hist_theme_dark", "hist_theme_registry"};
        for (int i = 0; i < 3; ++i) {
            f.hist->SendMessage(WM_COMMAND, ID_HIST_THEME_FIRST + UINT(i), 0);
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*f.hist), names[i]);
        }
        EXPECT_EQ(f.hist->m_strThemeName, "Paper");
    }
    RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey(key + "\\3"));

    // A complex layer: four component blocks in one buffer, the component in the title.
    TempDir dir;
    const std::string file = dir.File("complex.rdp");
    {
        CRDPLayer layer;
        ASSERT_NE(layer.CreateLayer(file.c_str(), 32, 24, 9), nullptr);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                layer.SetValue(x, y, std::cos(x * 0.3) * (y + 1), kReal);
                layer.SetValue(x, y, std::sin(x * 0.2) * (x + 1), kImaginary);
            }
        ASSERT_TRUE(layer.CloseLayer());
    }
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = frame_test::OpenViewer(file, parent);
    ASSERT_NE(viewer, nullptr);
    auto* hist = dynamic_cast<CHistFrame*>(viewer->GetHistWnd());
    hist->MoveWindow(CRect(0, 0, 640, 480));
    hist->ShowWindow(SW_SHOW);
    ASSERT_TRUE(
        PumpUntil([&] { return hist->Data().m_nStatus == kHistReady && hist->Data().m_single.Block(0); }));
    EXPECT_EQ(hist->Data().m_bComplex, 1);
    EXPECT_EQ(hist->Data().m_single.counts.size(), 4u * 256u);
    EXPECT_TRUE(WindowText(*hist).Find(" - ") > 0) << static_cast<const char*>(WindowText(*hist));
    std::uint64_t total = 0;
    for (int i = 0; i < 256; ++i) total += hist->Data().m_single.counts[std::size_t(3 * 256 + i)];
    EXPECT_EQ(total, 32u * 24u);  // every sample counted in the imaginary block too
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*hist), "hist_complex");
    viewer->DestroyWindow();
    tarvenix::test::PumpEvents();
}

namespace {

/// The command ids of the tool bar's buttons in order, 0 for a separator; hidden ones in `hidden`.
std::vector<UINT> Buttons(CToolBar& bar, std::vector<UINT>* hidden = nullptr)
{
    std::vector<UINT> ids;
    CToolBarCtrl& ctrl = bar.GetToolBarCtrl();
    for (int i = 0; i < ctrl.GetButtonCount(); ++i) {
        const UINT id = bar.GetItemID(i);
        ids.push_back(id);
        if (hidden && id && ctrl.IsButtonHidden(int(id))) hidden->push_back(id);
    }
    return ids;
}

/// The bars show the command states as the idle pass leaves them.
void RefreshBars(CHistFrame& hist)
{
    hist.SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
    tarvenix::test::PumpEvents();
}

CString TipOf(CToolBar& bar, UINT id)
{
    CRect r;
    bar.GetItemRect(bar.CommandToIndex(id), &r);
    return bar.ToolTipAt(r.CenterPoint());
}

}  // namespace

TEST(HistWindow, SingleBandToolBarHidesTheUnbuiltButtonsAndClicksAsTheCommands)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    ASSERT_TRUE(f.ShowAndCount());
    CToolBar& bar = f.hist->ToolBar();
    std::vector<UINT> hidden;
    const std::vector<UINT> expected = {
        ID_HIST_CONTOUR, ID_HIST_DRAW_COLS, ID_HIST_PALETTE_FILL, 0, ID_HIST_REMOVE_SPIKES,
        ID_HIST_FULL,    ID_HIST_PSEUDO,    ID_HIST_REAL_SIZE,    0, ID_HIST_SELECTION_MODE};
    EXPECT_EQ(Buttons(bar, &hidden), expected);
    EXPECT_EQ(hidden, (std::vector<UINT>{ID_HIST_REMOVE_SPIKES, ID_HIST_FULL}));
    EXPECT_EQ(TipOf(bar, ID_HIST_CONTOUR), "Draw histogram contour");
    EXPECT_EQ(TipOf(bar, ID_HIST_PSEUDO), "PseudoMin, PseudoMax");
    // The bars' own buttons explain themselves too.
    const std::pair<CDialog*, std::pair<UINT, const char*>> barTips[] = {
        {f.hist->LevelsBar(), {IDC_HIST_APPLY, "Apply"}},
        {f.hist->GridBar(), {IDC_HIST_NO_GRID, "Histogram draw mode without grid"}},
        {f.hist->GridBar(), {IDC_HIST_NORMAL_GRID, "Histogram draw mode with normal grid"}},
        {f.hist->GridBar(), {IDC_HIST_PDF_GRID, "Histogram draw mode with PDF grid"}},
    };
    for (const auto& [dialog, item] : barTips) {
        CString text;
        CToolTipCtrl& tips =
            dialog == f.hist->GridBar() ? f.hist->GridBar()->m_tips : f.hist->LevelsBar()->m_tips;
        tips.GetText(text, dialog->GetDlgItem(int(item.first)));
        EXPECT_EQ(text, item.second);
    }

    // A click on a button is the command: the columns go, the outline stays.
    ASSERT_TRUE(tarvenix::test::ClickToolBarButton(bar, ID_HIST_DRAW_COLS));
    RefreshBars(*f.hist);
    EXPECT_EQ(f.hist->m_nFillType, 1);
    EXPECT_FALSE(bar.GetToolBarCtrl().IsButtonChecked(ID_HIST_DRAW_COLS));
    EXPECT_TRUE(bar.GetToolBarCtrl().IsButtonChecked(ID_HIST_CONTOUR));

    // The tool bar's band: at least 150 wide and 2 higher than the bar, 250 wide in its row;
    // the levels and grid bars follow in bands of their own.
    CReBarCtrl& rebar = f.hist->ReBar().GetReBarCtrl();
    ASSERT_EQ(rebar.GetBandCount(), 3u);
    REBARBANDINFO band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE;
    ASSERT_TRUE(rebar.GetBandInfo(0, &band));
    EXPECT_EQ(band.cxMinChild, 150u);
    EXPECT_EQ(band.cyMinChild, UINT(bar.CalcFixedLayout(FALSE, TRUE).cy + 2));
    EXPECT_EQ(band.cx, 250u);
    EXPECT_FALSE(rebar.GetBandInfo(3, &band));
    CRect barRect, levelsRect;
    bar.GetWindowRect(&barRect);
    f.hist->LevelsBar()->GetWindowRect(&levelsRect);
    EXPECT_GE(barRect.Width(), 150);
    EXPECT_GE(levelsRect.top, barRect.top + int(band.cyMinChild));
}

TEST(HistWindow, RgbToolBarOffersTheChannelsAndAllChannelsComeFirst)
{
    TempDir dir;
    std::string files[3];
    for (int i = 0; i < 3; ++i) {
        files[i] = dir.File("c" + std::to_string(i) + ".rdp");
        // Channels of different shapes, so that each shows its own histogram.
        frame_test::MakeLayerFile(files[i], 32, 20, 1.0 + 0.5 * i);
    }
    frame_test::NotifyWindow parent;
    CFrameViewer* viewer = frame_test::OpenViewer(files[0], parent);
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(frame_test::ShowComposite(*viewer, parent, files));
    auto* hist = dynamic_cast<CHistFrame*>(viewer->GetHistWnd());
    ASSERT_NE(hist, nullptr);
    hist->ShowWindow(SW_SHOW);
    ASSERT_TRUE(
        PumpUntil([&] { return hist->Data().m_nStatus == kHistReady && hist->Data().Channel(5).counted; }));

    std::vector<UINT> hidden;
    const std::vector<UINT> expected = {
        ID_HIST_RED, ID_HIST_GREEN,   ID_HIST_BLUE,      ID_HIST_ALL_CHANNELS,
        0,           ID_HIST_CONTOUR, ID_HIST_DRAW_COLS, ID_HIST_PALETTE_FILL,
        0,           ID_HIST_PSEUDO,  ID_HIST_REAL_SIZE, ID_HIST_SELECTION_MODE};
    EXPECT_EQ(Buttons(hist->ToolBar(), &hidden), expected);
    EXPECT_TRUE(hidden.empty());
    RefreshBars(*hist);
    CToolBarCtrl& ctrl = hist->ToolBar().GetToolBarCtrl();
    EXPECT_TRUE(ctrl.IsButtonChecked(ID_HIST_ALL_CHANNELS));
    EXPECT_FALSE(ctrl.IsButtonEnabled(ID_HIST_SELECTION_MODE));
    EXPECT_FALSE(hist->GridBar()->GetDlgItem(IDC_HIST_NORMAL_GRID)->IsWindowEnabled());
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*hist), "hist_window_rgb_all_channels");

    ASSERT_TRUE(tarvenix::test::ClickToolBarButton(hist->ToolBar(), ID_HIST_GREEN));
    RefreshBars(*hist);
    EXPECT_EQ(hist->Data().m_nChannel, 4);
    EXPECT_TRUE(ctrl.IsButtonChecked(ID_HIST_GREEN));
    EXPECT_TRUE(ctrl.IsButtonEnabled(ID_HIST_SELECTION_MODE));
    EXPECT_TRUE(hist->GridBar()->GetDlgItem(IDC_HIST_NORMAL_GRID)->IsWindowEnabled());
    tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(*hist), "hist_rgb_green");
    tarvenix::test::PumpUntil([] { return GetRunningThreadCount() == 0; });
    viewer->DestroyWindow();
    tarvenix::test::PumpEvents();
}

TEST(HistWindow, HelpAsksForItsPageAndSizingKeepsTheSmallestSize)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    // No help folder holds the page here, so the request tells that it is missing.
    tarvenix::test::Responder().AnswerMessageBox(IDOK);
    HELPINFO info{};
    f.hist->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(tarvenix::test::Responder().Asked().size(), 1u);
    EXPECT_NE(std::string(tarvenix::test::Responder().Asked()[0].text).find("2DView_Hist_window.htm"),
              std::string::npos);

    RECT small{100, 100, 300, 200};
    f.hist->SendMessage(WM_SIZING, WMSZ_TOPLEFT, reinterpret_cast<LPARAM>(&small));
    EXPECT_EQ(small.left, 100);
    EXPECT_EQ(small.top, 100);
    EXPECT_EQ(small.right, 600);
    EXPECT_EQ(small.bottom, 400);
    RECT large{0, 0, 800, 500};
    f.hist->SendMessage(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&large));
    EXPECT_EQ(large.right, 800);
    EXPECT_EQ(large.bottom, 500);
}

TEST(HistWindow, ASavedLayerFileOpensInANewViewerAsTheProfileDoes)
{
    HistFixture f;
    ASSERT_NE(f.hist, nullptr);
    ASSERT_TRUE(f.ShowAndCount());
    const std::string rdp = f.dir.File("counts.rdp");
    Responder().Reset();
    Responder().AnswerFile({CString(rdp.c_str())}, 1);
    Responder().AnswerMessageBox(IDYES);
    const int before = CFrameViewer::LiveCount();
    f.hist->SaveHistogramAs();
    EXPECT_EQ(CFrameViewer::LiveCount(), before + 1) << "a new viewer shows the counts";
    // The new viewer is the last frame made; it goes with the test.
    PumpUntil([] { return GetRunningThreadCount() == 0; });
    for (CFrameViewer* viewer : tarvenix::test::TopLevelOf<CFrameViewer>())
        if (viewer != f.viewer) {
            EXPECT_EQ(viewer->GetFileName(1), CString(rdp.c_str()));
            viewer->DestroyWindow();
        }
    PumpEvents();
}
