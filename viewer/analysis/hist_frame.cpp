#include "viewer/analysis/hist_frame.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/easy_registry.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "outside/huebook/color_map.h"
#include "platform/common_dialogs/file_dialog.h"
#include "platform/gdi/gdi_object.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/region.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"
#include "platform/shell/shell.h"
#include "platform/window/modal.h"
#include "viewer/analysis/hist_bars.h"
#include "viewer/analysis/hist_view.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_result_param.h"
#include "viewer/core/viewer_resources.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/viewer_meter_info.h"
#include "viewer/core/virtual_view.h"

/// Jobs of one window still running (the window waits for them before the layers go).
struct HistJobTracker {
    std::mutex lock;
    std::condition_variable idle;
    int running = 0;
};

/// What a counting job hands back: its own buffers, swapped in only when it completes.
struct HistJobResult {
    std::atomic<bool> done{false};
    int kind = 1;
    int bins[3] = {};
    std::vector<std::uint32_t> counts[3];
};

namespace {

constexpr int kToolImage = 22;
constexpr int kMinWidth = 500;
constexpr int kMinHeight = 300;
/// The background of the tool-bar pictures: it shows through.
constexpr COLORREF kArtBackground = RGB(192, 192, 192);

/// Pictures of the tool-bar strip, in its order.
enum HistToolImage : int {
    kImageOutline,
    kImageColumns,
    kImagePalette,
    kImageSpikes,
    kImageFull,
    kImagePseudo,
    kImageRealSize,
    kImageSelection,
    kImageRed,
    kImageGreen,
    kImageBlue,
    kImageAll,
};

struct ToolButton {
    UINT id;
    int image;  ///< -1: a separator
    bool check;
};

constexpr ToolButton kSingleBandButtons[] = {
    {ID_HIST_CONTOUR, kImageOutline, true},
    {ID_HIST_DRAW_COLS, kImageColumns, true},
    {ID_HIST_PALETTE_FILL, kImagePalette, true},
    {ID_SEPARATOR, -1, false},
    {ID_HIST_REMOVE_SPIKES, kImageSpikes, true},
    {ID_HIST_FULL, kImageFull, true},
    {ID_HIST_PSEUDO, kImagePseudo, false},
    {ID_HIST_REAL_SIZE, kImageRealSize, false},
    {ID_SEPARATOR, -1, false},
    {ID_HIST_SELECTION_MODE, kImageSelection, true},
};
/// Buttons the single-band bar keeps hidden: their commands do nothing yet.
constexpr UINT kHiddenButtons[] = {ID_HIST_REMOVE_SPIKES, ID_HIST_FULL};

constexpr ToolButton kRgbButtons[] = {
    {ID_HIST_RED, kImageRed, true},
    {ID_HIST_GREEN, kImageGreen, true},
    {ID_HIST_BLUE, kImageBlue, true},
    {ID_HIST_ALL_CHANNELS, kImageAll, true},
    {ID_SEPARATOR, -1, false},
    {ID_HIST_CONTOUR, kImageOutline, true},
    {ID_HIST_DRAW_COLS, kImageColumns, true},
    {ID_HIST_PALETTE_FILL, kImagePalette, true},
    {ID_SEPARATOR, -1, false},
    {ID_HIST_PSEUDO, kImagePseudo, false},
    {ID_HIST_REAL_SIZE, kImageRealSize, false},
    {ID_HIST_SELECTION_MODE, kImageSelection, true},
};

constexpr const char* kComponentNames[4] = {"Amplitude", "Phase", "Real", "Image"};
constexpr COLORREF kChannelColors[3] = {255, 65280, 16711680};

struct CalcHistJob {
    ViewHold view;  // the view outlives a viewer closed while the job counts
    HWND frame = nullptr;
    HRGN region = nullptr;  // the job's own copy
    std::shared_ptr<HistJobResult> result;
    std::shared_ptr<HistJobTracker> tracker;
};

HRGN CopyRgn(HRGN region)
{
    if (!region) return nullptr;
    HRGN copy = ::CreateRectRgn(0, 0, 0, 0);
    if (copy && ::CombineRgn(copy, region, nullptr, RGN_COPY) == ERROR) {
        ::DeleteObject(copy);
        return nullptr;
    }
    return copy;
}

void CalcHistProc(void* arg)
{
    std::unique_ptr<CalcHistJob> job(static_cast<CalcHistJob*>(arg));
    HistJobResult& r = *job->result;
    const int channels = r.kind == 1 ? 1 : 3;
    for (int i = 0; i < channels; ++i) {
        const int component = r.kind == 1 ? 1 : 3 + i;
        const std::int64_t bytes = std::int64_t(r.counts[i].size()) * 4;
        job->view->GetHistDataRgn(component, r.counts[i].data(),
                                  int(std::min<std::int64_t>(bytes, INT32_MAX)), unsigned(r.bins[i]),
                                  job->region);
    }
    r.done.store(true, std::memory_order_release);
    if (job->region) ::DeleteObject(job->region);
    ::PostMessage(job->frame, WM_HISTCOMMAND, 23, r.kind);
    std::lock_guard<std::mutex> hold(job->tracker->lock);
    --job->tracker->running;
    job->tracker->idle.notify_all();
}

int ParseInt(const CString& text, int fallback)
{
    if (text.IsEmpty()) return fallback;
    const char* s = text;
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    return end == s ? fallback : int(v);
}

}  // namespace

CHistFrame::CHistFrame(int) : m_tracker(std::make_shared<HistJobTracker>())
{
    m_pMaster = this;
}

CHistFrame::~CHistFrame()
{
    StopCalcHist();
    if (m_bCreated) SaveSettings();
    delete m_pLevelsBar;
    delete m_pView;
    if (m_hRgn) ::DeleteObject(m_hRgn);
}

void CHistFrame::PostNcDestroy()
{
    if (m_bCreated) delete this;
}

BOOL CHistFrame::Create(CWnd* parent, int mode)
{
    if (mode != 0 && mode != 1) return FALSE;
    m_pParent = parent;
    m_nKind = mode;
    LPCTSTR cls = AfxRegisterWndClass(0, nullptr, nullptr, nullptr);
    if (!CFrameWnd::Create(cls, "Histogram", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rectDefault, parent,
                           nullptr, WS_EX_TOOLWINDOW))
        return FALSE;
    m_bCreated = true;
    return TRUE;
}

int CHistFrame::OnCreateWindow()
{
    m_pView = new CHistView;
    if (!m_pView->Create(this, AFX_IDW_PANE_FIRST)) return -1;
    m_pView->SetData(&m_data);
    if (!m_wndReBar.Create(this, RBS_BANDBORDERS,
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_ALIGN_TOP,
                           AFX_IDW_REBAR))
        return -1;
    if (!m_wndToolBar.CreateEx(this, TBSTYLE_FLAT,
                               WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_TOOLTIPS | CBRS_FLYBY))
        return -1;
    m_pLevelsBar = new CHistLevelsBar;
    m_pGridBar = new CHistGridBar;
    if (!m_pLevelsBar->Create(this) || !m_pGridBar->Create(this)) {
        delete m_pGridBar;
        m_pGridBar = nullptr;
        return -1;
    }
    m_pLevelsBar->ShowWindow(SW_SHOW);
    m_pGridBar->ShowWindow(SW_SHOW);
    m_wndToolBar.SetSizes(CSize(kToolImage, kToolImage), CSize(kToolImage, kToolImage));
    CBitmap strip;
    if (strip.LoadBitmap(IDB_HIST_TOOLBAR)) {
        m_toolImages.Create(kToolImage, kToolImage, ILC_COLOR24 | ILC_MASK, 12, 1);
        m_toolImages.Add(&strip, kArtBackground);
        m_hotImages.Create(kToolImage, kToolImage, ILC_COLOR24 | ILC_MASK, 12, 1);
        m_hotImages.Add(&strip, kArtBackground);
        m_wndToolBar.GetToolBarCtrl().SetImageList(&m_toolImages);
        m_wndToolBar.GetToolBarCtrl().SetHotImageList(&m_hotImages);
    }
    SetToolBar(1);
    m_wndReBar.AddBar(&m_wndToolBar);
    m_wndReBar.AddBar(m_pLevelsBar);
    m_wndReBar.AddBar(m_pGridBar);
    REBARBANDINFO band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE;
    band.cxMinChild = 150;
    band.cyMinChild = UINT(m_wndToolBar.CalcFixedLayout(FALSE, TRUE).cy + 2);
    band.cx = 250;
    m_wndReBar.GetReBarCtrl().SetBandInfo(0, &band);
    static const UINT kPanes[] = {ID_SEPARATOR};
    if (!m_wndStatusBar.Create(this) || !m_wndStatusBar.SetIndicators(kPanes, 1)) return -1;
    BuildThemes();
    if (!LoadSettings()) return -1;
    ApplyTheme(m_strThemeKey);
    RecalcLayout();
    m_pView->InitBuffer();
    return 0;
}

// --- settings and themes ------------------------------------------------------------------

bool CHistFrame::LoadSettings()
{
    CEasyRegistry reg;
    if (!reg.InitSubKey(kHistSettingsKey, 1)) {
        m_nFillType = 1;
        m_bColumns = 0;
        m_bOutline = 1;
        m_bPaletteFill = 0;
        return false;
    }
    m_nFillType = std::clamp(ParseInt(reg.GetStringValue("TypeOfFilling"), 3), 0, 3);
    m_bColumns = m_nFillType >> 1;
    m_bOutline = m_nFillType & 1;
    m_bPaletteFill = ParseInt(reg.GetStringValue("ColorHistogram"), 1) ? 1 : 0;
    std::fill(std::begin(m_paletteCopies), std::end(m_paletteCopies), m_bPaletteFill);
    m_bPseudoCut = ParseInt(reg.GetStringValue("ShowPseudoCutMode"), 0) ? 1 : 0;
    const CString last = reg.GetStringValue("LastScheme");
    m_strThemeKey = last.IsEmpty() ? CString("0") : last;
    return true;
}

void CHistFrame::SaveSettings()
{
    CEasyRegistry reg;
    if (!reg.InitSubKey(kHistSettingsKey, 0)) return;
    CString v;
    v.Format("%d", m_nFillType);
    reg.SetStringValue("TypeOfFilling", v);
    v.Format("%d", m_data.m_nMode == 2 ? m_paletteCopies[0] : m_paletteCopies[2]);
    reg.SetStringValue("ColorHistogram", v);
    reg.SetStringValue("LastScheme", m_strThemeKey);
    v.Format("%d", (m_nEnableBits & 4) ? 1 : 0);
    reg.SetStringValue("ShowPseudoCutMode", v);
}

void CHistFrame::BuildThemes()
{
    CGraphColorTheme store;
    m_themes.clear();
    m_themeKeys.clear();
    store.EnumThemes(kHistSettingsKey, &m_themeKeys);
    if (m_themeMenu.GetSafeHmenu()) m_themeMenu.DestroyMenu();
    m_themeMenu.CreatePopupMenu();
    for (std::size_t i = 0; i < m_themeKeys.size(); ++i) {
        store.Load(CString(kHistSettingsKey) + "\\" + m_themeKeys[i]);
        m_themes.push_back(store.Item(m_themeKeys[i]));
        m_themeMenu.AppendMenu(MF_STRING, ID_HIST_THEME_FIRST + UINT(i), m_themes.back().name);
    }
}

void CHistFrame::ApplyTheme(const CString& key)
{
    if (m_themes.empty()) return;
    auto it =
        std::find_if(m_themes.begin(), m_themes.end(), [&](const GraphThemeItem& t) { return t.key == key; });
    m_theme = it != m_themes.end() ? *it : m_themes.back();
    m_strThemeName = m_theme.name;
    if (m_pView) {
        m_pView->SetColors(m_theme);
        m_pView->Redraw(1, 1);
    }
    CheckThemes();
}

void CHistFrame::CheckThemes()
{
    if (m_strThemeName.IsEmpty() || !m_themeMenu.GetSafeHmenu()) return;
    for (std::size_t i = 0; i < m_themes.size(); ++i)
        m_themeMenu.CheckMenuItem(
            ID_HIST_THEME_FIRST + UINT(i),
            MF_BYCOMMAND | (m_themes[i].name == m_strThemeName ? MF_CHECKED : MF_UNCHECKED));
}

// --- sources ------------------------------------------------------------------------------

void CHistFrame::AddSource(CWnd* window)
{
    if (window && window != this) m_sources.push_back(window);
}

void CHistFrame::RemoveSource(CWnd* window)
{
    std::erase(m_sources, window);
}

void CHistFrame::SendToSources(UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::vector<CWnd*> sources = m_sources;
    for (CWnd* source : sources)
        if (::IsWindow(source->GetSafeHwnd())) source->SendMessage(message, wParam, lParam);
}

void CHistFrame::SetChannelRange(const double minima[4], const double maxima[4], int channel)
{
    if (!minima || !maxima || !(channel == 1 || (channel >= 3 && channel <= 5))) return;
    // The arrays are indexed by component: 0 real, 1 imaginary, 2 amplitude, 3 phase. A real
    // layer's range is in the first; a complex one's in the component its viewer shows.
    int at = 0;
    CViewerHost* viewer = Viewer();
    if (viewer && viewer->GetViewRect()->IsComplex(channel)) {
        switch (viewer->GetComplexMode(channel)) {
            case 1:
                at = 3;
                break;
            case 2:
                at = 0;
                break;
            case 3:
                at = 1;
                break;
            default:
                at = 2;
                break;
        }
    }
    HistChannel& c = m_data.Channel(channel);
    c.dataMin = minima[at];
    c.dataMax = maxima[at];
    m_channelRanges[channel][0] = c.dataMin;
    m_channelRanges[channel][1] = c.dataMax;
}

CWnd* CHistFrame::GetViewer() const
{
    return m_pMaster ? m_pMaster->m_pParent : nullptr;
}

CViewerHost* CHistFrame::Viewer() const
{
    return dynamic_cast<CViewerHost*>(GetViewer());
}

CString CHistFrame::GetStatusText() const
{
    return m_wndStatusBar.GetSafeHwnd() ? m_wndStatusBar.GetPaneText(0) : CString();
}

// --- loading and counting -----------------------------------------------------------------

void CHistFrame::BuildPalette(int channel)
{
    HistChannel& c = m_data.Channel(channel);
    c.palette.assign(std::size_t(c.bins) * 3, 0);
    if (channel == 1) {
        if (m_data.m_pColorMap && m_data.m_pColorMap->CreatePalette(c.palette.data(), c.bins)) return;
        for (int i = 0; i < c.bins; ++i) {
            const BYTE v = BYTE(c.bins > 1 ? i * 255 / (c.bins - 1) : 0);
            c.palette[std::size_t(i) * 3] = c.palette[std::size_t(i) * 3 + 1] =
                c.palette[std::size_t(i) * 3 + 2] = v;
        }
        return;
    }
    CColorMap map;
    if (map.CreateSimpleColorMap(c.displayMin, c.displayMax, 0, kChannelColors[channel - 3], 0))
        map.CreatePalette(c.palette.data(), c.bins);
}

void CHistFrame::AttachData()
{
    m_pView->SetData(&m_data);
    CViewerHost* viewer = Viewer();
    if (!viewer) return;
    CViewRect* rect = viewer->GetViewRect();
    CVirtualView* active = rect->GetActiveView();
    const int mode = viewer->GetColorMode();
    if (!active || (mode != 1 && mode != 2)) return;
    m_data.m_nMode = mode;
    m_data.m_nWidth = rect->ImageWidth();
    m_data.m_nHeight = rect->ImageHeight();
    m_data.m_pColorMap = rect->GetColorMap();
    if (mode == 1) {
        if (m_nKind == 0 && rect->CalcStatistics(0, viewer->GetMeterInfo(), nullptr, 1) != 1) {
            m_nChannelChecks = m_nDrawChecks = m_nStateBits = m_nEnableBits = 0;
            m_pLevelsBar->DisableControls();
            m_pGridBar->EnableGrid(FALSE);
            m_data.m_nStatus = kHistComputing;
            m_pView->Redraw(1, 1);
            return;
        }
        m_nChannelChecks = m_nDrawChecks = m_nStateBits = m_nEnableBits = 0;
        m_nEnableBits |= 4;
        HistChannel& c = m_data.m_single;
        c.dataMin = rect->Min(1);
        c.dataMax = rect->Max(1);
        c.shownLo = c.dataMin;
        c.shownHi = c.dataMax;
        c.displayMin = active->GetDisplayMin(1);
        c.displayMax = active->GetDisplayMax(1);
        c.verticalScale = 1.0;
        c.offset = 0.0;
        if (m_nKind == 0) {
            if (m_hRgn) ::DeleteObject(m_hRgn);
            m_hRgn = ::CreateRectRgn(0, 0, m_data.m_nWidth, m_data.m_nHeight);
        }
        m_data.m_nGridCode = 5;
        m_pView->SetGridMode(1);
        m_pView->SetGridFactor(5);
        BuildPalette(1);
        StartCalcHist();
        SetToolBar(1);
        SetGridControls(1);
    } else {
        if (m_nKind != 0) return;  // region histograms of RGB composites are not supported
        m_data.m_nChannel = 0;
        if (m_hRgn) ::DeleteObject(m_hRgn);
        m_hRgn = ::CreateRectRgn(0, 0, m_data.m_nWidth, m_data.m_nHeight);
        for (int ch = 3; ch <= 5; ++ch) {
            HistChannel& c = m_data.Channel(ch);
            c.dataMin = active->Min(ch);
            c.dataMax = active->Max(ch);
            c.shownLo = c.dataMin;
            c.shownHi = c.dataMax;
            c.displayMin = active->GetDisplayMin(ch);
            c.displayMax = active->GetDisplayMax(ch);
            c.offset = 0.0;
            BuildPalette(ch);
        }
        StartCalcHist();
        SetToolBar(2);
        m_data.m_single.verticalScale = 1.0;
        m_pGridBar->EnableGrid(FALSE);
        SetGridControls(0);
    }
    m_pLevelsBar->SetImageSize(m_data.m_nWidth, m_data.m_nHeight);
    m_pLevelsBar->FillLevels();
    m_pLevelsBar->EnableControls();
    ApplyFillType();
    SetTitle();
    m_pView->Redraw(1, 1);
}

void CHistFrame::StartCalcHist()
{
    CViewerHost* viewer = Viewer();
    CVirtualView* active = viewer ? viewer->GetViewRect()->GetActiveView() : nullptr;
    if (!active || !m_hRgn) return;
    auto result = std::make_shared<HistJobResult>();
    result->kind = m_data.m_nMode == 2 ? 2 : 1;
    try {
        if (result->kind == 1) {
            m_data.m_bComplex = viewer->GetViewRect()->IsComplex(1) ? 1 : 0;
            const int component = viewer->GetComplexMode(1);
            m_data.m_nComponent = component >= 0 && component <= 3 ? component : 0;
            result->bins[0] = m_data.m_single.bins;
            result->counts[0].assign(std::size_t(result->bins[0]) * (m_data.m_bComplex ? 4 : 1), 0);
        } else {
            for (int i = 0; i < 3; ++i) {
                result->bins[i] = m_data.Channel(3 + i).bins;
                result->counts[i].assign(std::size_t(result->bins[i]), 0);
                m_data.Channel(3 + i).counted = false;
            }
        }
    } catch (const std::bad_alloc&) {
        ::MessageBox(GetSafeHwnd(), "Invalid histogram size value !", "Histogram", MB_OK | MB_ICONERROR);
        return;
    }
    auto job = std::make_unique<CalcHistJob>();
    job->view = HoldView(active);
    job->frame = GetSafeHwnd();
    job->region = CopyRgn(m_hRgn);
    job->result = result;
    job->tracker = m_tracker;
    m_nChannelChecks = m_nDrawChecks = m_nStateBits = m_nEnableBits = 0;
    m_data.m_nStatus = kHistComputing;
    {
        std::lock_guard<std::mutex> hold(m_tracker->lock);
        ++m_tracker->running;
    }
    CalcHistJob* record = job.release();
    if (!::Run("Calc hist", &CalcHistProc, static_cast<void*>(record))) {
        if (record->region) ::DeleteObject(record->region);
        delete record;
        std::lock_guard<std::mutex> hold(m_tracker->lock);
        --m_tracker->running;
        return;
    }
    // A newer job supersedes the one before: its completion is dropped.
    m_pending = result;
}

void CHistFrame::StopCalcHist()
{
    std::unique_lock<std::mutex> hold(m_tracker->lock);
    m_tracker->idle.wait(hold, [&] { return m_tracker->running == 0; });
    m_pending.reset();
}

bool CHistFrame::MinMaxCount(const std::uint32_t* counts, int bins, int first, int last,
                             std::uint32_t& largest, std::uint32_t& smallest)
{
    return MinMaxCountOf(counts, bins, first, last, largest, smallest);
}

void CHistFrame::OnCompleted(int kind)
{
    if (!m_pending || !m_pending->done.load(std::memory_order_acquire) || m_pending->kind != kind) return;
    std::shared_ptr<HistJobResult> r = std::move(m_pending);
    if (kind == 1) {
        HistChannel& c = m_data.m_single;
        c.bins = r->bins[0];
        c.counts = std::move(r->counts[0]);
        std::uint32_t largest = 0, smallest = 0;
        MinMaxCount(c.Block(m_data.m_bComplex ? m_data.m_nComponent : 0), c.bins, 0, c.bins, largest,
                    smallest);
        c.largest = largest;
        c.smallest = smallest;
        c.countScale = largest;
        BuildPalette(1);
        m_data.m_bLoaded = 1;
    } else {
        for (int i = 0; i < 3; ++i) {
            HistChannel& c = m_data.Channel(3 + i);
            c.bins = r->bins[i];
            c.counts = std::move(r->counts[i]);
            std::uint32_t largest = 0, smallest = 0;
            MinMaxCount(c.counts.data(), c.bins, 0, c.bins, largest, smallest);
            c.largest = largest;
            c.smallest = smallest;
            c.countScale = largest;
            c.counted = true;
            BuildPalette(3 + i);
        }
    }
    m_nEnableBits |= 1 | 4;
    m_nStateBits |= 1;
    m_data.m_nStatus = kHistReady;
    RangeCheck();
    if (kind == 2) SelectChannel(0);
    ApplyFillType();
    RealSize();
    m_pView->ShowScroll(m_data.m_nStatus == kHistReady);
    SetTitle();
}

void CHistFrame::RangeCheck()
{
    if (m_data.m_nStatus == kHistComputing) return;
    m_data.m_nStatus = HistRangeStatus(m_data);
}

void CHistFrame::RealSize()
{
    const auto reset = [&](int channel) {
        HistChannel& c = m_data.Channel(channel);
        c.shownLo = c.dataMin;
        c.shownHi = c.dataMax;
        std::uint32_t largest = 0, smallest = 0;
        const std::uint32_t* block =
            channel == 1 ? c.Block(m_data.m_bComplex ? m_data.m_nComponent : 0) : c.Block(0);
        if (MinMaxCount(block, c.bins, 0, c.bins, largest, smallest)) c.countScale = largest;
        c.offset = 0.0;
    };
    if (m_data.m_nMode == 1) {
        reset(1);
    } else if (m_data.m_nChannel == 0) {
        for (int ch = 3; ch <= 5; ++ch) reset(ch);
    } else {
        reset(m_data.m_nChannel);
    }
    m_pView->UpdateScrollRange(true);
    m_pView->Redraw(1, 1);
}

void CHistFrame::PseudoRange()
{
    if (!m_data.OneChannelShown()) return;
    HistChannel& c = m_data.Shown();
    const double low = c.displayMin > c.dataMin ? c.displayMin : c.dataMin;
    const double high = c.displayMax < c.dataMax ? c.displayMax : c.dataMax;
    c.shownLo = c.displayMin;
    c.shownHi = c.displayMax;
    const int first = HistBinOf(low, c.dataMin, c.dataMax, c.bins);
    const int last = HistBinOf(high, c.dataMin, c.dataMax, c.bins);
    std::uint32_t largest = 0, smallest = 0;
    // An empty interval keeps the count scale.
    if (MinMaxCount(m_data.ShownCounts(), c.bins, first, last, largest, smallest)) c.countScale = largest;
    c.offset = first;
    m_pView->SetScrollPosition(0, c.bins, first);
    SetTitle();
    m_pView->Redraw(m_data.m_nMode == 1 ? 0 : 1, 1);
}

// --- commands -----------------------------------------------------------------------------

int CHistFrame::PaletteSlot() const
{
    if (m_data.m_nMode == 1) return 2;
    switch (m_data.m_nChannel) {
        case 3:
            return 1;
        case 4:
            return 3;
        case 5:
            return 4;
        default:
            return 0;
    }
}

int CHistFrame::SelSlot() const
{
    if (m_data.m_nMode == 1) return 1;
    return m_data.m_nChannel == 3 ? 0 : m_data.m_nChannel == 4 ? 2 : 3;
}

void CHistFrame::ApplyFillType()
{
    m_bColumns = m_nFillType >> 1;
    m_bOutline = m_nFillType & 1;
    m_pView->SetFillType(m_nFillType);
    m_bPaletteFill = m_paletteCopies[PaletteSlot()];
    m_pView->SetPaletteFilling(m_bPaletteFill);
    if (m_data.m_nStatus == kHistReady) {
        if (m_bPseudoCut)
            m_nEnableBits |= 4;
        else
            m_nEnableBits &= ~4;
    }
}

void CHistFrame::SetGridControls(int selection)
{
    if (m_pGridBar) m_pGridBar->SetSelection(selection);
}

void CHistFrame::SetToolBar(int mode)
{
    if (!m_wndToolBar.GetSafeHwnd()) return;
    const bool rgb = mode == 2;
    const ToolButton* buttons = rgb ? kRgbButtons : kSingleBandButtons;
    const int count = rgb ? int(std::size(kRgbButtons)) : int(std::size(kSingleBandButtons));
    std::vector<UINT> ids;
    for (int i = 0; i < count; ++i) ids.push_back(buttons[i].id);
    m_wndToolBar.SetButtons(ids.data(), count);
    for (int i = 0; i < count; ++i) {
        if (buttons[i].image < 0) continue;
        m_wndToolBar.SetButtonInfo(i, buttons[i].id, buttons[i].check ? TBBS_CHECKBOX : TBBS_BUTTON,
                                   buttons[i].image);
    }
    if (!rgb)
        for (UINT id : kHiddenButtons) m_wndToolBar.GetToolBarCtrl().HideButton(int(id));
    m_wndReBar.LayoutBands();
    RecalcLayout();
}

void CHistFrame::SelectChannel(int channel)
{
    m_data.m_nChannel = channel;
    m_bPaletteFill = m_paletteCopies[PaletteSlot()];
    m_pView->SetPaletteFilling(m_bPaletteFill);
    if (channel == 0) {
        m_pGridBar->EnableGrid(FALSE);
        SetGridControls(0);
    } else {
        m_bSelMode = m_selCopies[SelSlot()];
        if (!m_bSelMode) {
            m_pView->ClearSelection();
            m_data.m_nDragMode = 1;
        } else {
            m_data.m_nDragMode = 0;
        }
        m_pGridBar->EnableGrid(TRUE);
        SetGridControls(1);
        m_data.m_nGridCode = 5;
        m_pView->SetGridMode(1);
        m_data.Channel(channel).verticalScale = 1.0;
        m_pView->SetGridFactor(5);
    }
    m_pView->UpdateScrollRange(true);
    SetTitle();
    m_pView->Redraw(1, 1);
}

bool CHistFrame::Command(UINT id)
{
    const bool rgb = m_data.m_nMode == 2;
    const bool ready = m_data.m_nStatus == kHistReady;
    switch (id) {
        case ID_HIST_RED:
        case ID_HIST_GREEN:
        case ID_HIST_BLUE:
            if (rgb && ready) SelectChannel(3 + int(id - ID_HIST_RED));
            return true;
        case ID_HIST_ALL_CHANNELS:
            if (rgb && ready) SelectChannel(0);
            return true;
        case ID_HIST_DRAW_COLS:
            m_bColumns = !m_bColumns;
            m_nFillType = 2 * m_bColumns + m_bOutline;
            m_pView->SetFillType(m_nFillType);
            m_pView->Redraw(1, 1);
            return true;
        case ID_HIST_CONTOUR:
            m_bOutline = !m_bOutline;
            m_nFillType = 2 * m_bColumns + m_bOutline;
            m_pView->SetFillType(m_nFillType);
            m_pView->Redraw(1, 1);
            return true;
        case ID_HIST_PALETTE_FILL:
            m_bPaletteFill = !m_bPaletteFill;
            m_paletteCopies[PaletteSlot()] = m_bPaletteFill;
            m_pView->SetPaletteFilling(m_bPaletteFill);
            m_pView->Redraw(1, 1);
            return true;
        case ID_HIST_REAL_SIZE:
            if ((m_nStateBits & 1) && m_data.OneChannelShown()) RealSize();
            return true;
        case ID_HIST_SELECTION_MODE:
            if (!m_data.OneChannelShown()) return true;
            m_bSelMode = !m_bSelMode;
            m_selCopies[SelSlot()] = m_bSelMode;
            if (!m_bSelMode) {
                m_pView->ClearSelection();
                m_data.m_nDragMode = 1;
                m_pView->Redraw(1, 1);
            } else {
                m_data.m_nDragMode = 0;
            }
            return true;
        case ID_HIST_PSEUDO:
            if ((m_nEnableBits & 4) && ready) PseudoRange();
            return true;
        case ID_HIST_CTX_NO_GRID:
            OnHistCommand(4, 0);
            return true;
        case ID_HIST_CTX_NORMAL_GRID:
            m_data.m_single.verticalScale = 1.0;
            OnHistCommand(5, 0);
            return true;
        case ID_HIST_CTX_PDF_GRID:
            OnHistCommand(6, 0);
            return true;
        case ID_HIST_COPY:
            m_pView->CopyToClipboard();
            return true;
        case ID_HIST_SAVE_AS:
            SaveHistogramAs();
            return true;
        default:
            break;
    }
    if (id >= ID_HIST_THEME_FIRST && id < ID_HIST_THEME_FIRST + m_themeKeys.size()) {
        const CString key = m_themeKeys[id - ID_HIST_THEME_FIRST];
        auto it = std::find_if(m_themes.begin(), m_themes.end(),
                               [&](const GraphThemeItem& t) { return t.key == key; });
        if (it != m_themes.end()) {
            m_theme = *it;
            m_strThemeKey = key;
            m_strThemeName = it->name;
            m_pView->SetColors(m_theme);
        }
        CheckThemes();
        m_pView->Redraw(1, 1);
        return true;
    }
    return false;
}

bool CHistFrame::UpdateState(UINT id, bool& enabled, int& checked) const
{
    const bool rgb = m_data.m_nMode == 2;
    const bool one = m_data.OneChannelShown();
    const bool computed = (m_nStateBits & 1) != 0;
    enabled = true;
    checked = 0;
    switch (id) {
        case ID_HIST_RED:
        case ID_HIST_GREEN:
        case ID_HIST_BLUE:
            enabled = rgb && computed;
            checked = rgb && m_data.m_nChannel == int(3 + id - ID_HIST_RED);
            return true;
        case ID_HIST_ALL_CHANNELS:
            enabled = rgb && computed;
            checked = rgb && m_data.m_nChannel == 0;
            return true;
        case ID_HIST_DRAW_COLS:
            checked = m_bColumns;
            return true;
        case ID_HIST_CONTOUR:
            checked = m_bOutline;
            return true;
        case ID_HIST_PALETTE_FILL:
            checked = m_bPaletteFill;
            return true;
        case ID_HIST_REMOVE_SPIKES:
        case ID_HIST_FULL:
        case ID_HIST_STATISTICS:
            enabled = false;
            return true;
        case ID_HIST_REAL_SIZE:
            enabled = computed && one;
            return true;
        case ID_HIST_SELECTION_MODE:
            enabled = one;
            checked = m_bSelMode;
            return true;
        case ID_HIST_PSEUDO:
            enabled = (m_nEnableBits & 4) && computed && one;
            return true;
        case ID_HIST_SAVE_AS:
            // A save writes the shown channel's counts; with all channels there is none.
            enabled = computed && one;
            return true;
        case ID_HIST_COPY:
        case ID_HIST_CTX_NO_GRID:
        case ID_HIST_CTX_NORMAL_GRID:
        case ID_HIST_CTX_PDF_GRID:
            return true;
        default:
            return id >= ID_HIST_THEME_FIRST && id < ID_HIST_THEME_FIRST + m_themeKeys.size();
    }
}

BOOL CHistFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    bool enabled = true;
    int checked = 0;
    if (UpdateState(nID, enabled, checked)) {
        if (pHandlerInfo) {
            pHandlerInfo->pTarget = this;
            return TRUE;
        }
        if (nCode == CN_UPDATE_COMMAND_UI && pExtra) {
            auto* ui = static_cast<CCmdUI*>(pExtra);
            ui->Enable(enabled);
            ui->SetCheck(checked);
            return TRUE;
        }
        if (nCode == CN_COMMAND) {
            if (enabled) Command(nID);
            return TRUE;
        }
    }
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CHistFrame::OnHistCommand(WPARAM code, LPARAM lParam)
{
    switch (int(code)) {
        case 4:
            m_data.m_nGridCode = 4;
            m_pView->SetGridFactor(4);
            m_pView->SetGridMode(0);
            SetGridControls(0);
            break;
        case 5:
            m_pView->SetGridMode(1);
            m_data.m_nGridCode = 5;
            m_pView->SetGridFactor(5);
            m_pView->Redraw(1, 1);
            SetGridControls(1);
            break;
        case 6:
            m_pView->SetGridFactor(6);
            m_data.m_nGridCode = 6;
            m_pView->SetGridMode(2);
            m_pView->Redraw(1, 1);
            SetGridControls(2);
            break;
        case 21: {
            const int bins = int(lParam);
            if (bins <= 0 || bins > kMaxHistBins) return;
            if (m_data.m_nMode == 1)
                m_data.m_single.bins = bins;
            else if (m_data.m_nChannel != 0)
                m_data.Channel(m_data.m_nChannel).bins = bins;
            StartCalcHist();
            SetTitle();
            m_pView->Redraw(1, 1);
            break;
        }
        case 23:
            OnCompleted(int(lParam));
            break;
        default:
            break;
    }
}

void CHistFrame::OnViewerMessage(WPARAM wParam, LPARAM lParam)
{
    // A master going away says so in wParam (13, lParam 0); the viewer's codes come in lParam.
    const int code = lParam == 0 && wParam == 13 ? 13 : int(lParam);
    switch (code) {
        case 6:
            m_data.m_pColorMap = reinterpret_cast<CColorMap*>(wParam);
            BuildPalette(1);
            m_pView->Redraw(1, 1);
            break;
        case 9:
        case 11:
            if (IsWindowVisible()) AttachData();
            break;
        case 10:
            if (CViewerHost* viewer = Viewer())
                if (CVirtualView* active = viewer->GetViewRect()->GetActiveView()) {
                    HistChannel& c = m_data.m_single;
                    if (m_data.m_nMode == 1) {
                        c.displayMin = active->GetDisplayMin(1);
                        c.displayMax = active->GetDisplayMax(1);
                    }
                }
            m_pView->Redraw(1, 1);
            break;
        case 13:
            m_pMaster = nullptr;
            break;
        default:
            break;
    }
    SendToSources(WM_VIEWER, wParam, lParam);
}

void CHistFrame::SetTitle()
{
    CString title = "Histogram";
    if (m_nKind == 0) {
        if (CViewerHost* viewer = Viewer()) title += ": " + viewer->GetViewRect()->GetLayerName();
    } else {
        title += ": Region";
    }
    if (m_data.m_nMode == 1 && m_data.m_bComplex) {
        title += " - ";
        title += kComponentNames[std::clamp(m_data.m_nComponent, 0, 3)];
    }
    SetWindowText(title);
}

void CHistFrame::ShowContextMenu(CPoint screen)
{
    HMENU resource = platform::LoadMenuFromResource(IDR_VIEWER_CONTEXT_MENUS);
    HMENU menu = resource ? ::GetSubMenu(resource, kContextHistogram) : nullptr;
    if (!menu) {
        if (resource) ::DestroyMenu(resource);
        return;
    }
    ::EnableMenuItem(
        menu, ID_HIST_SAVE_AS,
        MF_BYCOMMAND | (m_data.OneChannelShown() && (m_nStateBits & 1) ? MF_ENABLED : MF_GRAYED));
    const int selection = m_data.m_nGridCode - 4;
    CMenu::FromHandle(menu)->CheckMenuRadioItem(ID_HIST_CTX_NO_GRID, ID_HIST_CTX_PDF_GRID,
                                                ID_HIST_CTX_NO_GRID + UINT(selection), MF_BYCOMMAND);
    ::AppendMenu(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(m_themeMenu.GetSafeHmenu()), "Color themes");
    const UINT id = UINT(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, screen.x, screen.y, 0, GetSafeHwnd(), nullptr));
    // The theme popup belongs to the window, not to this menu.
    ::RemoveMenu(menu, UINT(::GetMenuItemCount(menu) - 1), MF_BYPOSITION);
    ::DestroyMenu(resource);
    if (id) Command(id);
    CheckThemes();
    m_pView->Redraw(1, 1);
}

// --- saving -------------------------------------------------------------------------------

int CHistFrame::WriteHistogram(const CString& path, int kind)
{
    if (!m_data.OneChannelShown() || path.IsEmpty()) return 0;
    const HistChannel& c = m_data.Shown();
    const std::uint32_t* counts = m_data.ShownCounts();
    if (!counts) return 0;
    if (kind == 1) {
        CRDPLayer layer;
        void** rows = layer.CreateLayer(path, c.bins, 1, 5, 7);
        if (!rows) return 0;
        std::memcpy(rows[0], counts, std::size_t(c.bins) * 4);
        if (!layer.CloseLayer()) {
            layer.DestroyLayer();
            return 0;
        }
        CCoordLawData law;
        return law.SaveData(path, c.dataMin, c.dataMax, 0.0, 1.0) ? 1 : 0;
    }
    if (kind == 2) {
        std::string text;
        text.reserve(std::size_t(c.bins) * 12);
        char line[48];
        for (int i = 0; i < c.bins; ++i) {
            const int n = std::snprintf(line, sizeof line, "%u\t%u\r\n", unsigned(i), unsigned(counts[i]));
            text.append(line, std::size_t(n));
        }
        platform::AtomicFile out;
        if (!out.Create(path) || !out.Write(text.data(), text.size()) || !out.Commit()) {
            CString message;
            message.Format("Error creating file ! \"%s\"\n%s", static_cast<const char*>(path),
                           static_cast<const char*>(GetErrorMessage(::GetLastError())));
            ::MessageBox(GetSafeHwnd(), message, "", MB_OK);
            return 0;
        }
        return 1;
    }
    if (kind == 3) return m_pView->ExportBitmap(path);
    return 0;
}

void CHistFrame::SaveHistogramAs()
{
    CEasyRegistry reg;
    int filter = 1;
    if (reg.InitSubKey(kHistSettingsKey, 1))
        filter = std::clamp(ParseInt(reg.GetStringValue("HistLastSaveAs"), 1), 1, 3);
    CFileDialog dlg(FALSE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    "Tarvenix file (*.rdp)|*.rdp|Text file (*.txt)|*.txt|Windows Bitmap file (*.bmp)|*.bmp||",
                    this);
    dlg.m_ofn.nFilterIndex = DWORD(filter);
    const CString folder = ::GetStringValue("\\Settings\\General", "WorkDir");
    if (!folder.IsEmpty()) dlg.m_ofn.lpstrInitialDir = folder;
    if (dlg.DoModal() != IDOK) return;
    const int kind = std::clamp(int(dlg.m_ofn.nFilterIndex), 1, 3);
    if (reg.InitSubKey(kHistSettingsKey, 0)) {
        CString v;
        v.Format("%d", kind);
        reg.SetStringValue("HistLastSaveAs", v);
    }
    CString path = dlg.GetPathName();
    static const char* const kExt[3] = {".rdp", ".txt", ".bmp"};
    const int slash = path.ReverseFind('/');
    if (path.Find('.', slash + 1) < 0) path += kExt[kind - 1];
    if (!WriteHistogram(path, kind)) {
        ::MessageBox(GetSafeHwnd(), "Failure to save file", "Save histogram", MB_OK | MB_ICONERROR);
        return;
    }
    if (::MessageBox(GetSafeHwnd(), "File has been wrote successfull.\nDo you want to view it?",
                     "Save histogram", MB_YESNO) != IDYES)
        return;
    ViewSavedFile(GetSafeHwnd(), path);
}

// --- messages -----------------------------------------------------------------------------

LRESULT CHistFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE: {
            const LRESULT r = CFrameWnd::WindowProc(message, wParam, lParam);
            if (r == -1) return -1;
            return OnCreateWindow();
        }
        case WM_HISTCOMMAND:
            OnHistCommand(wParam, lParam);
            return 0;
        case WM_VIEWER:
            OnViewerMessage(wParam, lParam);
            return 0;
        case WM_SHOWWINDOW: {
            const LRESULT r = CFrameWnd::WindowProc(message, wParam, lParam);
            if (wParam) AttachData();
            return r;
        }
        case WM_CLOSE: {
            ShowWindow(SW_HIDE);
            m_data.ResetBins();
            // The parent may destroy this window while it handles the code.
            CWnd* parent = m_pParent;
            if (parent) parent->SendMessage(WM_DLGMESSAGE, 4, reinterpret_cast<LPARAM>(this));
            return 0;
        }
        case WM_CONTEXTMENU: {
            CPoint p(short(LOWORD(lParam)), short(HIWORD(lParam)));
            ShowContextMenu(p);
            return 0;
        }
        case WM_HELP: {
            CString page;
            page.LoadString(IDS_HIST_HELP_PAGE);
            CallHelpSystem(this, page);
            return TRUE;
        }
        case WM_SIZING: {
            // The window keeps its smallest size by moving the edge that is not its anchor.
            const LRESULT r = CFrameWnd::WindowProc(message, wParam, lParam);
            if (auto* rect = reinterpret_cast<RECT*>(lParam)) {
                if (rect->right - rect->left < kMinWidth) rect->right = rect->left + kMinWidth;
                if (rect->bottom - rect->top < kMinHeight) rect->bottom = rect->top + kMinHeight;
            }
            return r ? r : TRUE;
        }
        case WM_GETMINMAXINFO: {
            const LRESULT r = CFrameWnd::WindowProc(message, wParam, lParam);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, kMinWidth);
            info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, kMinHeight);
            return r;
        }
        case WM_DESTROY:
            StopCalcHist();
            SendToSources(WM_VIEWER, 13, 0);
            if (m_pMaster && m_pMaster != this && ::IsWindow(m_pMaster->GetSafeHwnd()))
                m_pMaster->RemoveSource(this);
            break;
        default:
            break;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}
