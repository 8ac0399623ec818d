#include "modules/convolution/gradient_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "modules/convolution/gradient_resources.h"
#include "modules/convolution/kernova_resources.h"
#include "outside/basecore/cmeter_info_empty.h"
#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/resources/resources.h"
#include "platform/window/modal.h"

namespace {

constexpr int kPreviewDone = 1;
constexpr int kPreviewFailed = 3;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr int kStatisticsBytes = 1064;
constexpr COLORREF kPictureMask = RGB(192, 192, 192);

/// The preview thread hands over its failure text (a CString* valid during the send).
constexpr UINT WM_GRADIENT_PREVIEW_ERROR = WM_USER + 803;
/// Posted to itself: shows that text once the preview answer has been taken.
constexpr UINT WM_GRADIENT_SHOW_ERROR = WM_USER + 804;

/// A failure of the preview thread, with the text the user is told.
struct PreviewFailure {
    UINT text;
};

/// The preview's levels are shown in grey.
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

/// A sample the preview can place between its minimum and maximum: NaN and infinities
/// would spoil the scale of every other pixel.
double Shown(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

/// Scales values (width x height, top row first) from their minimum to their maximum into
/// the record's levels (bottom row first) and hands the record to its dialog. 0 when the
/// values are flat.
int ScaleAndSend(SGradientParams* record, const std::vector<double>& values)
{
    const int w = record->width, h = record->height;
    double lo = values[0], hi = values[0];
    for (double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (!(hi > lo)) return 0;
    const double scale = 255.0 / (hi - lo);
    record->pixels.assign(std::size_t(w) * std::size_t(h), 0);
    for (int i = 0; i < h; ++i) {
        const double* row = values.data() + std::size_t(h - 1 - i) * std::size_t(w);
        BYTE* levels = record->pixels.data() + std::size_t(i) * std::size_t(w);
        for (int j = 0; j < w; ++j) levels[j] = BYTE(std::clamp(Round((row[j] - lo) * scale), 0, 255));
    }
    // The dialog frees the record once it has it; a dialog closed meanwhile takes nothing.
    const HWND dialog = record->dialog;
    if (!::SendMessage(dialog, WM_GRADIENT_PREVIEW, kPreviewDone, reinterpret_cast<LPARAM>(record)))
        delete record;
    return 1;
}

/// Runs the double kernel over the preview grid; false when the grid is too small for it.
bool Differentiate(const SGradientParams& record, void* const* in, void* const* out)
{
    if (!in || !out || record.width < 3 || record.height < 3) return false;
    CMeterInfoEmpty meter;
    // On this idle thread alone: the preview must not take the cores from jobs.
    CalcDerivative(record, &meter, int(DataType::F64), in, out, record.width, record.height, 1);
    return true;
}

constexpr ToolPolicy kPolicy{.text = LoadKernovaText,
                             .errorCaption = IDS_DERIV_CAPTION,
                             .titleText = IDS_DERIV_CAPTION,
                             .blankAfterColon = true,
                             .askBeforeOverwrite = true,
                             .inputMustExist = true,
                             .presetFolders = true,
                             .preview = true,
                             .helpTopic = IDS_GRAD_HELP_PAGE};

/// The differences need three samples along each direction and have no engine for complex
/// samples: such an input is refused when it is chosen, not after a job ran.
CString DerivableRefusal(const CInFileCtrl& picker)
{
    if (!picker.DataReady() || IsDerivableInput(picker.Type(), picker.Width(), picker.Height()))
        return CString();
    return LoadKernovaText(IDS_DERIV_NOT_DERIVABLE) + "\n" + picker.GetPathName();
}

}  // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CCalcGradientDlg, CToolDlg)
    ON_MESSAGE(WM_GRADIENT_PREVIEW, OnDlgMessage)
    ON_MESSAGE(WM_GRADIENT_PREVIEW_ERROR, OnPreviewError)
    ON_MESSAGE(WM_GRADIENT_SHOW_ERROR, OnShowPreviewError)
    ON_BN_CLICKED(IDC_GRAD_HELP, OnButtonHelp)
    ON_CONTROL(EN_CHANGE, IDC_GRAD_ANGLE, OnChangeEditAngle)
    ON_WM_HSCROLL()
    ON_BN_CLICKED(IDC_GRAD_MODULUS, OnRadioModulus)
    ON_BN_CLICKED(IDC_GRAD_ARGUMENT, OnRadioArgument)
    ON_BN_CLICKED(IDC_GRAD_DX, OnRadioDx)
    ON_BN_CLICKED(IDC_GRAD_DY, OnRadioDy)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_GRAD_KINDS, OnItemchangedListDerivType)
END_MESSAGE_MAP()
// clang-format on

CCalcGradientDlg::CCalcGradientDlg()
    : CToolDlg(IDD, kPolicy, {{.id = IDC_GRAD_INPUT, .check = DerivableRefusal}},
               {.id = IDC_GRAD_OUTPUT, .emptyText = IDS_GRAD_NO_OUTPUT})
{
}

CCalcGradientDlg::~CCalcGradientDlg()
{
    for (HICON& icon : m_icons) {
        if (icon) DestroyIcon(icon);
        icon = nullptr;
    }
}

void CCalcGradientDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_GRAD_KINDS, m_list);
    DDX_Control(pDX, IDC_GRAD_DIRECTION, m_direction);
    DDX_Control(pDX, IDC_GRAD_ANGLE, m_angleEdit);
    DDX_Control(pDX, IDC_GRAD_ARGUMENT, m_buttons[1]);
    DDX_Control(pDX, IDC_GRAD_DX, m_buttons[2]);
    DDX_Control(pDX, IDC_GRAD_DY, m_buttons[3]);
    DDX_Control(pDX, IDC_GRAD_MODULUS, m_buttons[0]);
    DDX_Control(pDX, IDC_GRAD_SLIDER, m_slider);
    DDX_Text(pDX, IDC_GRAD_ANGLE, m_strAngle);
}

BOOL CCalcGradientDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    m_preview.Init(this, IDC_GRAD_PREVIEW, 1);
    m_preview.SetText(LoadFrameText(IDS_FRAME_SELECT_INPUT));

    // Position 0 at 3 o'clock, growing clockwise, as the labels round the slider say.
    m_slider.SetRange(0, 359, FALSE);
    m_slider.SendMessage(TBM_SETPOS, TRUE, 0);
    m_slider.SetZeroAngle(90);
    m_slider.SetInverse(false);
    m_slider.SetOwner(this);
    m_buttons[0].SetCheck(BST_CHECKED);
    m_ready = true;

    m_kindImages.Create(kGradientPictureWidth, kGradientPictureHeight, ILC_COLOR24, kPictures, 0);
    CBitmap kinds;
    if (kinds.LoadBitmap(IDB_GRADIENT_KINDS)) m_kindImages.Add(&kinds, CLR_NONE);
    m_list.SetImageList(&m_kindImages, LVSIL_SMALL);
    m_partImages.Create(kGradientPictureWidth, kGradientPictureHeight, ILC_COLOR24 | ILC_MASK, kPictures, 0);
    CBitmap parts;
    if (parts.LoadBitmap(IDB_GRADIENT_PARTS)) m_partImages.Add(&parts, kPictureMask);
    for (int i = 0; i < kPictures; ++i) m_icons[i] = m_partImages.ExtractIcon(i);

    m_list.InsertColumn(0, "");
    for (int i = 0; i < kPictures; ++i)
        m_list.InsertItem(i, LoadKernovaText(IDS_GRAD_KIND_FIRST + UINT(i)), i);
    // The one column fills the list (inside its sunken border), as a column sized to its
    // empty heading would, so no scroll bar shows.
    constexpr int kListBorder = 2;
    CRect client;
    m_list.GetClientRect(&client);
    m_list.SetColumnWidth(0, client.Width() - 2 * kListBorder);
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    SelectListItem(0);

    for (int i = 0; i < 4; ++i) m_buttons[i].SetIcon(m_icons[i]);
    m_direction.SetIcon(m_icons[6]);
    m_direction.ShowWindow(SW_HIDE);

    SetDerivType(kDerivGradient);
    m_tooltip.Create(this);
    m_tooltip.Activate(TRUE);
    return TRUE;
}

BOOL CCalcGradientDlg::PreTranslateMessage(MSG* pMsg)
{
    if (m_tooltip.GetSafeHwnd()) m_tooltip.RelayEvent(pMsg);
    return CToolDlg::PreTranslateMessage(pMsg);
}

long CCalcGradientDlg::RequestPreview()
{
    if (!m_ready || InputPicker().GetFileName().IsEmpty()) return 0;
    return Dispatcher();
}

void CCalcGradientDlg::OnItemchangedListDerivType(NMHDR* header, LRESULT* result)
{
    *result = 0;
    const auto* item = reinterpret_cast<const NMLISTVIEW*>(header);
    if (!m_ready || !item || item->iItem < 0) return;
    // Only a row that has just become selected changes the kind; focus moves do not.
    if (!((item->uNewState & ~item->uOldState) & LVIS_SELECTED)) return;
    if (!(m_list.GetItemState(item->iItem, LVIS_SELECTED) & LVIS_SELECTED)) return;
    if (item->iItem <= kDerivXY) {
        m_nDerivType = item->iItem;
        SetDerivType(item->iItem);
    }
    RequestPreview();
}

void CCalcGradientDlg::SetDerivType(int kind)
{
    if (kind >= kDerivGradient && kind <= kDerivXY) {
        const bool gradient = kind == kDerivGradient;
        const bool directional = kind == kDerivDirectional;
        for (CButton& button : m_buttons) button.ShowWindow(gradient ? SW_SHOW : SW_HIDE);
        if (!gradient && m_nComponent != 0) {
            // The component goes back to the modulus, and so does the button that shows it.
            m_nComponent = 0;
            for (int i = 0; i < 4; ++i) m_buttons[i].SetCheck(i == 0 ? BST_CHECKED : BST_UNCHECKED);
        }
        m_slider.EnableSlider(directional);
        m_angleEdit.EnableWindow(directional);
        m_direction.ShowWindow(directional ? SW_SHOW : SW_HIDE);
        if (directional) {
            UpdateDirectionIcon();
        } else {
            // Only the directional derivative has an angle.
            m_strAngle = "0.";
            m_fAngle = 0.0f;
            m_slider.SetAngle(0.0f);
        }
    }
    WriteControls();
}

void CCalcGradientDlg::SelectListItem(int index)
{
    m_list.SetItemState(index, LVIS_SELECTED, LVIS_SELECTED);
    m_list.EnsureVisible(index, FALSE);
}

void CCalcGradientDlg::UpdateDirectionIcon()
{
    const double a = m_fAngle;
    const auto equal = [a](double v) { return std::fabs(a - v) <= 1.1920928955078125e-07; };
    const int picture = equal(0) ? 2 : equal(180) ? 4 : equal(90) ? 3 : equal(270) ? 5 : 6;
    m_direction.SetIcon(m_icons[picture]);
}

void CCalcGradientDlg::OnChangeEditAngle()
{
    // Texts the dialog writes itself are no change of the user's.
    if (!m_ready || WritingControls()) return;
    UpdateData(TRUE);
    const double value = std::atof(m_strAngle);
    const float angle = float(value);
    // A text that reads as no finite angle counts as 0, as an empty one does.
    m_fAngle = std::isfinite(value) && std::isfinite(angle) ? angle : 0.0f;
    if (m_fAngle == 0.0f) {
        m_fAngle = 0.0f;
        m_strAngle = "0.";
        WriteControls();
    }
    m_slider.SetAngle(m_fAngle);
    UpdateDirectionIcon();
    RequestPreview();
}

void CCalcGradientDlg::OnHScroll(UINT code, UINT pos, CScrollBar* bar)
{
    CToolDlg::OnHScroll(code, pos, bar);
    if (reinterpret_cast<CWnd*>(bar) != static_cast<CWnd*>(&m_slider)) return;
    // The slider answers its keys even while inactive; only the directional derivative
    // takes an angle, so the knob goes back to the angle the dialog has.
    if (m_nDerivType != kDerivDirectional) {
        m_slider.SetAngle(m_fAngle);
        return;
    }
    const int position = m_slider.GetPos();
    m_fAngle = float(position);
    m_strAngle.Format("%.1f", double(position));
    UpdateDirectionIcon();
    WriteControls();
    RequestPreview();
}

void CCalcGradientDlg::SetComponent(int component)
{
    m_nComponent = component;
    RequestPreview();
}

void CCalcGradientDlg::OnRadioModulus()
{
    SetComponent(0);
}

void CCalcGradientDlg::OnRadioArgument()
{
    SetComponent(1);
}

void CCalcGradientDlg::OnRadioDx()
{
    SetComponent(2);
}

void CCalcGradientDlg::OnRadioDy()
{
    SetComponent(3);
}

double CCalcGradientDlg::RecordAngle() const
{
    const double degrees = std::atof(m_strAngle);
    return std::isfinite(degrees) ? degrees * kRadiansPerDegree : 0.0;
}

CThread* CCalcGradientDlg::StartPreview(const CString& input)
{
    auto record = std::make_unique<SGradientParams>();
    record->input = input;
    record->dialog = GetSafeHwnd();
    double hx = 1.0, hy = 1.0;
    CCoordLawData law;
    law.LoadData(input);
    law.GetPixelSize(hx, hy);
    record->pixelStepX = UsablePixelStep(hx);
    record->pixelStepY = UsablePixelStep(hy);
    record->component = m_nComponent;
    record->angle = RecordAngle();
    record->kind = m_nDerivType;
    CThread* thread = RunEx(GradientPreviewThread, record.get(), THREAD_PRIORITY_IDLE);
    if (thread) record.release();
    return thread;
}

void CCalcGradientDlg::TakePreview(WPARAM code, LPARAM record)
{
    std::unique_ptr<SGradientParams> answer(reinterpret_cast<SGradientParams*>(record));
    const bool shown = code == kPreviewDone && answer && answer->width > 0 && answer->height > 0 &&
                       answer->pixels.size() == std::size_t(answer->width) * std::size_t(answer->height);
    if (shown)
        m_preview.SetBitmapData(answer->pixels.data(), answer->width, answer->height, GreyPalette());
    else
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
}

LRESULT CCalcGradientDlg::OnPreviewError(WPARAM, LPARAM text)
{
    if (!text) return 0;
    m_previewError = *reinterpret_cast<const CString*>(text);
    // Shown after the thread's send has returned, so the thread never waits on the box.
    PostMessage(WM_GRADIENT_SHOW_ERROR);
    return 1;
}

LRESULT CCalcGradientDlg::OnShowPreviewError(WPARAM, LPARAM)
{
    if (m_previewError.IsEmpty()) return 0;
    const CString text = m_previewError;
    m_previewError.Empty();
    MessageBox(text, ErrorCaption(), MB_OK | MB_ICONERROR);
    return 0;
}

bool CCalcGradientDlg::CheckParameters(const ToolPaths&)
{
    if (RecordAngle() == 0.0) {
        m_strAngle = "0.";
        m_fAngle = 0.0f;
    }
    return true;
}

ToolJob CCalcGradientDlg::MakeJob(const ToolPaths& paths)
{
    m_params.input = paths.Input();
    m_params.output = paths.output;
    m_params.kind = m_nDerivType;
    m_params.angle = RecordAngle();
    return MakeToolJob(CalcGradientJob, std::make_unique<SGradientParams>(m_params));
}

// ---- the preview ------------------------------------------------------------------------------

int GradientPreview(SGradientParams* record, void* const* in, void* const* out)
{
    if (!record || !Differentiate(*record, in, out)) return 0;
    const int w = record->width, h = record->height, component = record->component;
    if (component < 0 || component > 3) return 0;
    std::vector<double> values(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const std::complex<double>*>(out[y]);
        double* v = values.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            const double dx = row[x].real(), dy = row[x].imag();
            switch (component) {
                case 0:
                    v[x] = Shown(std::sqrt(dx * dx + dy * dy));
                    break;
                case 1:
                    v[x] = Shown(Arg(dx, dy));
                    break;
                case 2:
                    v[x] = Shown(dx);
                    break;
                default:
                    v[x] = Shown(dy);
                    break;
            }
        }
    }
    return ScaleAndSend(record, values);
}

int RealPreview(SGradientParams* record, void* const* in, void* const* out)
{
    if (!record || !Differentiate(*record, in, out)) return 0;
    const int w = record->width, h = record->height;
    std::vector<double> values(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const double*>(out[y]);
        double* v = values.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) v[x] = Shown(row[x]);
    }
    return ScaleAndSend(record, values);
}

UINT GradientPreviewThread(LPVOID arg)
{
    auto* record = static_cast<SGradientParams*>(arg);
    const HWND dialog = record->dialog;
    UINT failure = IDS_GRAD_PREVIEW_FAILED;
    try {
        CRDPLayer grid, result;
        SDoublePreviewImage image;
        if (!GetPreviewImage(record->input, image, 0)) throw PreviewFailure{IDS_GRAD_PREVIEW_LOAD_FAILED};
        const int w = image.width, h = image.height;
        record->width = w;
        record->height = h;
        void** in = grid.CreateTempLayer(w, h, int(DataType::F64));
        void** out = in ? result.CreateTempLayer(
                              w, h, int(record->kind == kDerivGradient ? DataType::C128 : DataType::F64))
                        : nullptr;
        if (!in || !out) throw PreviewFailure{IDS_GRAD_PREVIEW_TEMP_FAILED};
        result.SetZero(nullptr);
        std::array<BYTE, kStatisticsBytes> statistics{};
        if (!GetTag(record->input, TAG_STATISTICS, kStatisticsBytes, statistics.data()))
            throw PreviewFailure{IDS_GRAD_PREVIEW_STATS_FAILED};
        // The preview image keeps its bottom row first; the grid has the layer's order.
        for (int i = 0; i < h; ++i)
            std::memcpy(in[h - 1 - i], image.data.data() + std::size_t(i) * std::size_t(w),
                        std::size_t(w) * sizeof(double));
        image = SDoublePreviewImage{};
        const int done =
            record->kind == kDerivGradient ? GradientPreview(record, in, out) : RealPreview(record, in, out);
        grid.DestroyLayer();
        result.DestroyLayer();
        // Done: the record went to the dialog and is no longer this thread's.
        if (done) return 1;
    } catch (const PreviewFailure& f) {
        failure = f.text;
    } catch (...) {
        failure = IDS_GRAD_PREVIEW_FAILED;
    }
    const CString text = LoadKernovaText(failure);
    if (!::SendMessage(dialog, WM_GRADIENT_PREVIEW, kPreviewFailed, reinterpret_cast<LPARAM>(record))) {
        delete record;
        return 0;
    }
    // The dialog took the answer; it tells the user while it still exists.
    ::SendMessage(dialog, WM_GRADIENT_PREVIEW_ERROR, 0, reinterpret_cast<LPARAM>(&text));
    return 0;
}

// ---- the job ------------------------------------------------------------------------------------

void CalcGradientJob(void* record, CMeterInfo* meter)
{
    // The engine reads the input's header and takes the element type from it; it refuses
    // complex and too small inputs with a message and frees the record on every path.
    CalcDerivativeJob(record, meter);
}
