#include "modules/convolution/convolution_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/kernel_library.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/new_mask_dlg.h"
#include "modules/convolution/user_mask_dlg.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/info_file_dialog.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_filter.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/files.h"
#include "platform/window/modal.h"

namespace {

constexpr int kStatisticsBytes = 1064;
constexpr LPARAM kFolderData = -1;

constexpr ToolPolicy kPolicy{.text = LoadKernovaText,
                             .errorCaption = IDS_CONV_CAPTION,
                             .titleText = IDS_CONV_CAPTION,
                             .blankAfterColon = true,
                             .askBeforeOverwrite = true,
                             .inputMustExist = true,
                             .presetFolders = true,
                             .preview = true,
                             .helpTopic = IDS_CONV_HELP_PAGE};

/// An angle as typed: the whole degrees of the text within one turn (-359..359); a text that
/// is no finite number counts as 0. Reduced before any conversion to an integer, so that a
/// huge value cannot overflow one.
double TypedAngle(const CString& text)
{
    const double value = std::atof(text);
    if (!std::isfinite(value)) return 0.0;
    return std::fmod(std::trunc(value), 360.0);
}

/// Where the knob goes for an angle: its whole degrees within one turn, 0..359.
float KnobAngle(double degrees)
{
    if (!std::isfinite(degrees)) return 0.0f;
    double turn = std::fmod(std::trunc(degrees), 360.0);
    if (turn < 0) turn += 360.0;
    return float(turn);
}

CString FormatG(double v)
{
    CString text;
    text.Format("%g", std::isfinite(v) ? v : 0.0);
    return text;
}

const BYTE* GreyPalette()
{
    static const auto palette = [] {
        std::array<BYTE, 1024> p{};
        for (int i = 0; i < 256; ++i)
            p[std::size_t(i) * 4] = p[std::size_t(i) * 4 + 1] = p[std::size_t(i) * 4 + 2] = BYTE(i);
        return p;
    }();
    return palette.data();
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CConvolutionDlg, CToolDlg)
    ON_MESSAGE(WM_KERNEL_PREVIEW, OnKernelMessage)
    ON_BN_CLICKED(IDC_CONV_HELP, OnButtonHelp)
    ON_BN_CLICKED(IDC_CONV_EXECUTE, OnExecute)
    ON_BN_CLICKED(IDC_CONV_NEW_MASK, OnButtonCreateNewMask)
    ON_BN_CLICKED(IDC_CONV_ADD_MASK, OnButtonAddMask)
    ON_BN_CLICKED(IDC_CONV_EDIT_MASK, OnButtonEditMask)
    ON_BN_CLICKED(IDC_CONV_REMOVE_MASK, OnButtonRemoveMask)
    ON_CONTROL(EN_CHANGE, IDC_CONV_ANGLE, OnChangeEditAngle)
    ON_WM_HSCROLL()
    ON_NOTIFY(TVN_SELCHANGED, IDC_CONV_TREE, OnSelchangedTreeMasks)
    ON_NOTIFY(NM_DBLCLK, IDC_CONV_TREE, OnDblclkTreeMasks)
END_MESSAGE_MAP()
// clang-format on

CConvolutionDlg::CConvolutionDlg()
    : CToolDlg(IDD, kPolicy, {{.id = IDC_CONV_INPUT}},
               {.id = IDC_CONV_OUTPUT, .emptyText = IDS_CONV_NO_OUTPUT})
{
    m_kernelsDir = GetStringValue("\\Settings\\General", "KernelsDir");
}

CConvolutionDlg::~CConvolutionDlg() = default;

void CConvolutionDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONV_TREE, m_tree);
    DDX_Control(pDX, IDC_CONV_SLIDER, m_slider);
    DDX_Control(pDX, IDC_CONV_ANGLE, m_angleEdit);
    DDX_Control(pDX, IDC_CONV_NEW_MASK, m_buttons[0]);
    DDX_Control(pDX, IDC_CONV_ADD_MASK, m_buttons[1]);
    DDX_Control(pDX, IDC_CONV_REMOVE_MASK, m_buttons[2]);
    DDX_Control(pDX, IDC_CONV_EDIT_MASK, m_buttons[3]);
    DDX_Text(pDX, IDC_CONV_ANGLE, m_strAngle);
    DDX_Text(pDX, IDC_CONV_STATUS, m_status);
}

BOOL CConvolutionDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    m_preview.Init(this, IDC_CONV_PREVIEW, 1);
    m_preview.SetText(LoadKernovaText(IDS_CONV_SELECT_MASK));

    // Position 0 at 3 o'clock, growing clockwise, as the labels round the slider say.
    m_slider.SetRange(0, 359, FALSE);
    m_slider.SendMessage(TBM_SETPOS, TRUE, 0);
    m_slider.SetZeroAngle(90);
    m_slider.SetInverse(false);
    m_slider.SetOwner(this);
    m_slider.EnableSlider(false);
    m_angleEdit.EnableWindow(FALSE);

    m_images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 0);
    CBitmap strip;
    if (strip.LoadBitmap(IDB_MASK_TREE)) m_images.Add(&strip, RGB(255, 255, 255));
    m_tree.SetImageList(&m_images, TVSIL_NORMAL);
    if (!m_kernelsDir.IsEmpty()) InsertTreeItem(m_kernelsDir, TVI_ROOT);

    const UINT icons[4] = {IDI_NEW_MASK, IDI_ADD_MASK, IDI_REMOVE_MASK, IDI_EDIT_MASK};
    m_tooltip.Create(this);
    m_tooltip.Activate(TRUE);
    for (int i = 0; i < 4; ++i) {
        m_buttons[i].SetIcon(int(icons[i]), 0, 32, 32);
        m_tooltip.AddTool(&m_buttons[i], LoadKernovaText(IDS_CONV_NEW_TIP + UINT(i)));
    }
    m_treeTip.Create(this);
    m_ready = true;
    WriteControls();
    return TRUE;
}

BOOL CConvolutionDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_tooltip.GetSafeHwnd()) m_tooltip.RelayEvent(pMsg);
    return CToolDlg::PreTranslateMessage(pMsg);
}

// ---- the library tree -----------------------------------------------------------------------

HTREEITEM CConvolutionDlg::InsertLeaf(const CString& path, const CString& caption, HTREEITEM parent)
{
    m_paths.push_back(path);
    HTREEITEM item = m_tree.InsertItem(caption, 2, 3, parent, TVI_LAST);
    if (item) m_tree.SetItemData(item, DWORD_PTR(m_paths.size() - 1));
    return item;
}

void CConvolutionDlg::InsertTreeItem(const CString& folder, HTREEITEM parent)
{
    const std::vector<LibraryNode> nodes = ReadKernelLibrary(folder);
    // Depth first, in the listing's order, as the library is laid out on disk.
    struct Step {
        const std::vector<LibraryNode>* nodes;
        HTREEITEM parent;
    };
    std::vector<Step> work{{&nodes, parent}};
    while (!work.empty()) {
        const Step step = work.back();
        work.pop_back();
        for (const LibraryNode& node : *step.nodes) {
            if (node.folder) {
                HTREEITEM item = m_tree.InsertItem(node.caption, 0, 1, step.parent, TVI_LAST);
                if (!item) continue;
                m_tree.SetItemData(item, DWORD_PTR(kFolderData));
                work.push_back({&node.children, item});
            } else {
                InsertLeaf(node.path, node.caption, step.parent);
            }
        }
    }
}

int CConvolutionDlg::RefreshTreeItems()
{
    // The rebuilt tree has new items: nothing chosen before stays chosen.
    m_selectedItem = nullptr;
    if (!m_tree.DeleteAllItems()) return 0;
    ForgetMask();
    if (m_kernelsDir.IsEmpty()) return 0;
    InsertTreeItem(m_kernelsDir, TVI_ROOT);
    return 1;
}

CString CConvolutionDlg::PathOfItem(HTREEITEM item) const
{
    if (!item) return CString();
    const auto data = LPARAM(m_tree.GetItemData(item));
    if (data < 0 || std::size_t(data) >= m_paths.size()) return CString();
    return m_paths[std::size_t(data)];
}

void CConvolutionDlg::ForgetMask()
{
    m_maskPath.Empty();
    m_selectedFile.Empty();
    m_slider.EnableSlider(false);
    m_angleEdit.EnableWindow(FALSE);
    m_preview.SetText(LoadKernovaText(IDS_CONV_SELECT_MASK));
}

void CConvolutionDlg::OnSelchangedTreeMasks(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const auto* change = reinterpret_cast<const NMTREEVIEW*>(header);
    m_selectedItem = change->itemNew.hItem;
    const CString path = PathOfItem(m_selectedItem);
    // A folder, or nothing: Remove and Edit must not act on a mask chosen before.
    if (path.IsEmpty()) {
        ForgetMask();
        return;
    }
    m_selectedFile = path;
    if (IsMaskShortcut(path)) {
        CString target;
        ResolveMaskShortcut(GetSafeHwnd(), path, target);
        m_maskPath = target;
        // A link that leads nowhere gives no mask: no picture of the mask chosen before.
        if (target.IsEmpty()) m_preview.SetText(LoadKernovaText(IDS_CONV_SELECT_MASK));
    } else {
        m_maskPath = path;
    }
    SetStateRoundScroll();
    Dispatcher();
}

void CConvolutionDlg::OnDblclkTreeMasks(NMHDR*, LRESULT* result)
{
    *result = 0;
    if (!m_maskPath.IsEmpty()) OnButtonEditMask();
}

BOOL CConvolutionDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->code == TVN_GETINFOTIP && int(header->idFrom) == IDC_CONV_TREE) {
        auto* tip = reinterpret_cast<NMTVGETINFOTIP*>(lParam);
        const LPARAM data = tip->lParam;
        if (data >= 0 && std::size_t(data) < m_paths.size() && IsMaskShortcut(m_paths[std::size_t(data)]) &&
            tip->pszText && tip->cchTextMax > 0) {
            CString target;
            ResolveMaskShortcut(GetSafeHwnd(), m_paths[std::size_t(data)], target);
            const std::size_t room = std::size_t(std::min(tip->cchTextMax, 1024) - 1);
            const std::size_t n = std::min<std::size_t>(std::strlen(target), room);
            std::memcpy(tip->pszText, static_cast<const char*>(target), n);
            tip->pszText[n] = '\0';
        }
    }
    return CToolDlg::OnNotify(wParam, lParam, pResult);
}

// ---- the angle ----------------------------------------------------------------------------

void CConvolutionDlg::SetStateRoundScroll()
{
    const bool compound = CRDPLayer::GetNumLayer(m_maskPath) == 2;
    if (!compound) {
        m_fAngle = 0.0f;
        m_strAngle.Format("%d", 0);
        m_slider.SetAngle(0.0f);
        WriteControls();
    }
    m_slider.EnableSlider(compound);
    m_angleEdit.EnableWindow(compound);
}

void CConvolutionDlg::OnChangeEditAngle()
{
    // Texts the dialog writes itself are no change of the user's.
    if (!m_ready || WritingControls()) return;
    UpdateData(TRUE);
    m_fAngle = float(TypedAngle(m_strAngle));
    if (m_fAngle == 0.0f) {
        m_fAngle = 0.0f;
        m_strAngle = FormatG(0.0);
        WriteControls();
    }
    m_nPositiveAngle = m_fAngle >= 0 ? 1 : 0;
    m_slider.SetAngle(m_fAngle >= 0 ? m_fAngle : m_fAngle + 360.0f);
    Dispatcher();
}

void CConvolutionDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar)
{
    CToolDlg::OnHScroll(code, pos, bar);
    if (reinterpret_cast<CWnd*>(bar) != static_cast<CWnd*>(&m_slider)) return;
    // The slider answers its keys even while inactive; a simple mask has no angle.
    if (!m_slider.IsSliderEnabled()) {
        m_slider.SetAngle(KnobAngle(m_fAngle));
        return;
    }
    const int position = m_slider.GetPos();
    m_fAngle = float(m_nPositiveAngle ? position : position - 360);
    m_strAngle = FormatG(m_fAngle);
    WriteControls();
    Dispatcher();
}

void CConvolutionDlg::SetAngle(double degrees)
{
    if (!std::isfinite(degrees)) degrees = 0.0;
    m_fAngle = float(degrees);
    m_strAngle = FormatG(degrees);
    m_nPositiveAngle = degrees >= 0 ? 1 : 0;
    m_slider.SetAngle(KnobAngle(degrees));
    WriteControls();
}

// ---- the preview -------------------------------------------------------------------------

long CConvolutionDlg::Dispatcher()
{
    UpdateData(TRUE);
    const CString input = InputPicker().GetPathName();
    if (InputPicker().GetFileName().IsEmpty() || m_maskPath.IsEmpty()) return 0;
    std::array<BYTE, kStatisticsBytes> statistics{};
    SDoublePreviewImage image;
    const auto inputHeader = LayerHeaderOf(input);
    if (!GetTag(input, TAG_STATISTICS, kStatisticsBytes, statistics.data()) || !inputHeader ||
        !LayerHeaderOf(m_maskPath) || !GetPreviewImage(input, image, 0)) {
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW_NOT_ACCESSIBLE));
        return 0;
    }
    if (m_bPreviewBusy) {
        m_bPreviewAgain = true;
        return 0;
    }
    m_bPreviewBusy = true;
    m_status = LoadKernovaText(IDS_CONV_CALCULATING);
    WriteControls();
    auto request = std::make_unique<KernelJobParams>();
    request->inputPath = input;
    request->maskPath = m_maskPath;
    request->angleDegrees = m_fAngle;
    request->isComplex = isComplexType(inputHeader->type) ? 1 : 0;
    request->owner = GetSafeHwnd();
    CThread* thread = RunEx(ConvolvePreview, request.get(), THREAD_PRIORITY_IDLE);
    if (!thread) {
        m_bPreviewBusy = false;
        m_status.Empty();
        WriteControls();
        return 0;
    }
    request.release();
    return static_cast<long>(reinterpret_cast<std::intptr_t>(thread));
}

void CConvolutionDlg::ShowResult(const KernelJobParams& answer)
{
    CRDPLayer* layer = answer.resultLayer;
    const int w = layer ? layer->Width() : 0, h = layer ? layer->Height() : 0;
    if (w <= 0 || h <= 0) {
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
        return;
    }
    // The result layer lives only inside the send: its levels are taken now.
    const bool complex = layer->IsComplex();
    std::vector<double> values(std::size_t(w) * std::size_t(h));
    std::vector<double> line(std::size_t(w) * (complex ? 2 : 1));
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int y = 0; y < h; ++y) {
        layer->GetDoubleLine(y, line.data(), w);
        for (int x = 0; x < w; ++x) {
            const double v = complex ? std::hypot(line[std::size_t(2 * x)], line[std::size_t(2 * x + 1)])
                                     : line[std::size_t(x)];
            values[std::size_t(y) * std::size_t(w) + std::size_t(x)] = v;
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
        }
    }
    const double scale = hi > lo ? 255.0 / (hi - lo) : 0.0;
    std::vector<BYTE> pixels(values.size(), 0);
    for (int i = 0; i < h; ++i) {
        const double* row = values.data() + std::size_t(h - 1 - i) * std::size_t(w);
        BYTE* levels = pixels.data() + std::size_t(i) * std::size_t(w);
        for (int x = 0; x < w; ++x)
            levels[x] =
                std::isfinite(row[x]) ? BYTE(std::clamp(std::lround((row[x] - lo) * scale), 0L, 255L)) : 0;
    }
    m_preview.SetBitmapData(pixels.data(), w, h, GreyPalette());
}

LRESULT CConvolutionDlg::OnKernelMessage(WPARAM code, LPARAM data)
{
    LRESULT taken = 0;
    try {
        switch (code) {
            case kMaskCaptionChanged: {
                // The editor names the mask by its path; the item is found by it, so a tree
                // rebuilt meanwhile is no danger.
                const auto* path = reinterpret_cast<const CString*>(data);
                if (!path || path->IsEmpty()) break;
                std::function<HTREEITEM(HTREEITEM)> find = [&](HTREEITEM item) -> HTREEITEM {
                    for (; item; item = m_tree.GetNextSiblingItem(item)) {
                        if (PathOfItem(item) == *path) return item;
                        if (HTREEITEM inner = find(m_tree.GetChildItem(item))) return inner;
                    }
                    return nullptr;
                };
                if (HTREEITEM item = find(m_tree.GetRootItem())) {
                    m_tree.SetItemText(item, MaskTitle(*path));
                    m_tree.EnsureVisible(item);
                    m_tree.SelectItem(item);
                }
                break;
            }
            case kMaskCreated: {
                const auto* path = reinterpret_cast<const CString*>(data);
                if (!path || path->IsEmpty()) break;
                HTREEITEM item = InsertLeaf(*path, MaskTitle(*path), TVI_ROOT);
                if (item) {
                    m_selectedItem = item;
                    m_tree.EnsureVisible(item);
                    m_tree.SelectItem(item);
                }
                break;
            }
            case kKernelPreviewDone:
            case kKernelPreviewFailed: {
                std::unique_ptr<KernelJobParams> answer(reinterpret_cast<KernelJobParams*>(data));
                taken = 1;
                if (code == kKernelPreviewDone && answer) {
                    m_nPreviewWidth = answer->previewWidth;
                    m_nPreviewHeight = answer->previewHeight;
                    ShowResult(*answer);
                } else {
                    m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
                }
                m_status.Empty();
                m_bPreviewBusy = false;
                break;
            }
            default:
                break;
        }
        if (m_bPreviewAgain || code == kMaskSaved) {
            m_bPreviewAgain = false;
            Dispatcher();
        }
        WriteControls();
    } catch (...) {
    }
    return taken ? taken : 1;
}

// ---- input, Execute, help ---------------------------------------------------------------------

void CConvolutionDlg::OnExecute()
{
    OnOK();
}

bool CConvolutionDlg::CheckParameters(const ToolPaths&)
{
    if (std::atof(m_strAngle) == 0.0) {
        m_fAngle = 0.0f;
        m_strAngle = "0.";
    }
    return true;
}

ToolJob CConvolutionDlg::MakeJob(const ToolPaths& paths)
{
    m_params.inputPath = paths.Input();
    m_params.outputPath = paths.output;
    m_params.angleDegrees = m_fAngle;
    m_params.maskPath = m_maskPath;
    m_params.maskCaption = GetNameCurrentMask();
    m_params.resultLayer = nullptr;
    m_params.owner = nullptr;
    return MakeToolJob(KernelJob, std::make_unique<KernelJobParams>(m_params));
}

CString CConvolutionDlg::GetNameCurrentMask() const
{
    return m_maskPath.IsEmpty() ? CString() : MaskTitle(m_maskPath);
}

void CConvolutionDlg::Message(UINT textId, UINT icon)
{
    MessageBox(LoadKernovaText(textId), ErrorCaption(), MB_OK | icon);
}

// ---- the mask buttons -----------------------------------------------------------------------

int CConvolutionDlg::IsValidRDPFile(const CString& path)
{
    if (!FileFind(path)) {
        MessageBox(LoadFrameText(IDS_FRAME_INPUT_MISSING) + "\n" + path, ErrorCaption(),
                   MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    if (!LayerHeaderOf(path)) {
        const std::string p = static_cast<const char*>(path);
        const auto cut = p.find_last_of('/');
        const CString name = (cut == std::string::npos ? p : p.substr(cut + 1)).c_str();
        MessageBox(name + LoadKernovaText(IDS_CONV_NOT_RDP), ErrorCaption(), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}

void CConvolutionDlg::OnButtonCreateNewMask()
{
    CNewMaskDlg ask(this);
    ask.DoModal();
    int width = 0, height = 0, type = 1;
    if (!ask.GetSize(width, height)) return;
    ask.GetMaskType(type);
    m_nNewWidth = width;
    m_nNewHeight = height;
    auto* editor = new CUserMaskDlg(this, width, height);
    if (!editor->Create(this)) {
        delete editor;
        MessageBox(LoadKernovaText(IDS_CONV_GRID_FAILED));
        return;
    }
    editor->SetNew();
    editor->SetEditorAngle(m_fAngle);
    editor->CreateNewMask(width, height, type);
    editor->SetKernelsDir(m_kernelsDir);
    editor->SetMaskType(type);
    editor->ShowWindow(SW_SHOW);
}

void CConvolutionDlg::OnButtonAddMask()
{
    if (GetStringValue("\\Settings\\General", "WorkDir").IsEmpty()) {
        Message(IDS_CONV_REGISTRY_FAILED, MB_ICONSTOP);
        return;
    }
    // The link is made in the library: without one there is nowhere to put it.
    if (m_kernelsDir.IsEmpty()) {
        Message(IDS_CONV_NO_LIBRARY, MB_ICONEXCLAMATION);
        return;
    }
    CInfoFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_SHAREAWARE, GetRDPFilter(), this);
    dialog.m_ofn.lpstrInitialDir = m_kernelsDir;
    if (dialog.DoModal() != IDOK) return;
    const CString chosen = dialog.GetPathName();
    CString description;
    CLayerDescription::GetDescriptionTag(chosen, CLayerDescription::kCaptionTag, description);
    const std::string p = static_cast<const char*>(chosen);
    const auto cut = p.find_last_of('/');
    const std::string name = cut == std::string::npos ? p : p.substr(cut + 1);
    const std::string stem = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
    const CString link = m_kernelsDir + "/" + stem.c_str() + ".lnk";
    CreateMaskShortcut(chosen, link, description);
    RefreshTreeItems();
}

void CConvolutionDlg::OnButtonEditMask()
{
    if (m_maskPath.IsEmpty()) {
        Message(IDS_CONV_MUST_SELECT, MB_ICONEXCLAMATION);
        m_tree.SetFocus();
        return;
    }
    if (!IsValidRDPFile(m_maskPath)) return;
    auto* editor = new CUserMaskDlg(this);
    if (!editor->Create(this)) {
        delete editor;
        MessageBox(LoadKernovaText(IDS_CONV_EDIT_FAILED));
        return;
    }
    editor->SetMaskPath(m_maskPath);
    editor->SetKernelsDir(m_kernelsDir);
    editor->SetEditorAngle(m_fAngle);
    editor->LoadMask(m_maskPath);
    editor->ShowWindow(SW_SHOW);
}

void CConvolutionDlg::OnButtonRemoveMask()
{
    if (m_selectedFile.IsEmpty()) {
        Message(IDS_CONV_MUST_SELECT, MB_ICONEXCLAMATION);
        return;
    }
    const std::string file = static_cast<const char*>(m_selectedFile);
    const bool link = file.size() >= 4 && file.compare(file.size() - 4, 4, ".lnk") == 0;
    // The question names the file, so the user knows what goes.
    const CString question = LoadKernovaText(link ? IDS_CONV_DELETE_LINK : IDS_CONV_DELETE_MASK) +
                             (link ? "\n" : "") + m_selectedFile;
    if (MessageBox(question, ErrorCaption(), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (!DeleteFile(m_selectedFile)) {
        Message(IDS_CONV_DELETE_FAILED, MB_ICONSTOP);
        return;
    }
    ForgetMask();
    if (!m_kernelsDir.IsEmpty()) RefreshTreeItems();
}
