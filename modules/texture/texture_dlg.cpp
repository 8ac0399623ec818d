#include "modules/texture/texture_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "modules/common/window_spin.h"
#include "modules/texture/texture_job.h"
#include "modules/texture/texture_kernels.h"
#include "modules/texture/texture_resources.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/window/modal.h"

namespace {

constexpr int kLargestSpinPosition = 9;
constexpr int kPreviewAnswer = 1;
constexpr int kStatisticsBytes = 1064;

constexpr const char* kDimensionalities[] = {"1-D", "2-D"};
constexpr const char* kDirections[] = {"0°", "45°", "90°", "135°"};
constexpr int kSecondOrderControls[] = {IDC_TEXTURE_EDIT_DIST, IDC_TEXTURE_LABEL_DIST,
                                        IDC_TEXTURE_LABEL_ANGLE, IDC_TEXTURE_COMBO_ANGLE};

constexpr ToolPolicy kPolicy{.text = LoadTextureText,
                             .errorCaption = IDS_TEXTURE_ERROR_CAPTION,
                             .titleText = IDS_TEXTURE_TITLE,
                             .askBeforeOverwrite = true,
                             .preview = true,
                             .helpTopic = IDS_TEXTURE_HELP_PAGE};

const std::array<BYTE, 1024>& GreyPalette()
{
    static const std::array<BYTE, 1024> palette = [] {
        std::array<BYTE, 1024> p{};
        for (int i = 0; i < 256; ++i)
            p[std::size_t(i) * 4] = p[std::size_t(i) * 4 + 1] = p[std::size_t(i) * 4 + 2] = BYTE(i);
        return p;
    }();
    return palette;
}

}  // namespace

BEGIN_MESSAGE_MAP(CMainTextureDlg, CToolDlg)
    ON_CONTROL(CBN_SELCHANGE, IDC_TEXTURE_COMBO_ORDER, OnSelchangeTextureComboOrder)
    ON_CONTROL(CBN_SELCHANGE, IDC_TEXTURE_COMBO_TYPE, OnSelchangeTextureComboType)
    ON_CONTROL(CBN_SELCHANGE, IDC_TEXTURE_COMBO_ANGLE, OnSelchangeTextureComboAngle)
    ON_CONTROL(EN_CHANGE, IDC_TEXTURE_EDIT_DIST, OnChangeTextureEditDist)
    ON_BN_CLICKED(IDC_TEXTURE_CHECK_TRIM, OnTextureCheckObrez)
    ON_BN_CLICKED(IDC_TEXTURE_HELP, OnButtonHelp)
    ON_WM_VSCROLL()
    ON_MESSAGE(WM_TEXTUREPREVIEW, OnDlgMessage)
END_MESSAGE_MAP()

// Only real images have texture: a complex input is refused when it is chosen.
CMainTextureDlg::CMainTextureDlg()
    : CToolDlg(IDD, kPolicy,
               {{.id = IDC_TEXTURE_INPUT,
                 .emptyText = IDS_TEXTURE_NO_INPUT,
                 .admitted = TypeSet::Range(DataType::U8, DataType::F64),
                 .badTypeText = IDS_TEXTURE_BAD_TYPE}},
               {.id = IDC_TEXTURE_OUTPUT, .emptyText = IDS_TEXTURE_NO_OUTPUT})
{
}

void CMainTextureDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TEXTURE_SPIN, m_spin);
    DDX_Control(pDX, IDC_TEXTURE_COMBO_TYPE, m_statisticCombo);
    DDX_Control(pDX, IDC_TEXTURE_EDIT_DIST, m_distanceEdit);
    DDX_CBIndex(pDX, IDC_TEXTURE_COMBO_ORDER, m_dimensionality);
    DDX_Text(pDX, IDC_TEXTURE_EDIT_DIST, m_distance);
    DDX_CBIndex(pDX, IDC_TEXTURE_COMBO_TYPE, m_statistic);
    DDX_Text(pDX, IDC_TEXTURE_SIZE_TEXT, m_sizeText);
    DDX_CBIndex(pDX, IDC_TEXTURE_COMBO_ANGLE, m_direction);
    DDX_Check(pDX, IDC_TEXTURE_CHECK_TRIM, m_preTrimming);
}

BOOL CMainTextureDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    // Our templates hold no list items: the two fixed lists are filled here.
    auto* order = static_cast<CComboBox*>(GetDlgItem(IDC_TEXTURE_COMBO_ORDER));
    for (const char* text : kDimensionalities) order->AddString(text);
    auto* angle = static_cast<CComboBox*>(GetDlgItem(IDC_TEXTURE_COMBO_ANGLE));
    for (const char* text : kDirections) angle->AddString(text);
    InitWindowSpin(m_spin, kLargestSpinPosition);
    m_window = 3;
    SetFirstCombo();
    m_preview.Init(this, IDC_TEXTURE_PREVIEW, 1);
    m_preview.SetText(LoadTextureText(IDS_TEXTURE_SELECT_INPUT));
    return TRUE;
}

void CMainTextureDlg::FillStatistics(int dimensionality)
{
    for (int i = m_statisticCombo.GetCount() - 1; i >= 0; --i) m_statisticCombo.DeleteString(UINT(i));
    for (int i = 0; i < TextureStatisticCount(dimensionality); ++i)
        m_statisticCombo.InsertString(i, TextureStatisticName(dimensionality, i));
    m_statistic = 0;
    for (int id : kSecondOrderControls) GetDlgItem(id)->EnableWindow(dimensionality == 1);
    m_statisticCombo.SetCurSel(0);
    WriteControls();
}

void CMainTextureDlg::SetFirstCombo()
{
    FillStatistics(0);
}

void CMainTextureDlg::SetSecondCombo()
{
    FillStatistics(1);
}

void CMainTextureDlg::OnSelchangeTextureComboOrder()
{
    UpdateData(TRUE);
    if (m_dimensionality == 0)
        SetFirstCombo();
    else if (m_dimensionality == 1)
        SetSecondCombo();
    Dispatcher();
}

void CMainTextureDlg::OnSettingChanged()
{
    UpdateData(TRUE);
    Dispatcher();
}

void CMainTextureDlg::OnSelchangeTextureComboType()
{
    OnSettingChanged();
}

void CMainTextureDlg::OnSelchangeTextureComboAngle()
{
    OnSettingChanged();
}

void CMainTextureDlg::OnChangeTextureEditDist()
{
    // Values the dialog writes itself are no change of the user's.
    if (WritingControls()) return;
    OnSettingChanged();
}

void CMainTextureDlg::OnTextureCheckObrez()
{
    OnSettingChanged();
}

void CMainTextureDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, kLargestSpinPosition, m_window, m_sizeText))
        WriteControls();
    CToolDlg::OnVScroll(code, pos, bar);
    Dispatcher();
}

bool CMainTextureDlg::CheckParameters(const ToolPaths&)
{
    // Compared unsigned, a negative distance is refused as well.
    if (unsigned(m_distance) <= unsigned(m_window - 1)) return true;
    Refuse(IDS_TEXTURE_BAD_DISTANCE, MB_ICONERROR);
    GotoDlgCtrl(&m_distanceEdit);
    return false;
}

ToolJob CMainTextureDlg::MakeJob(const ToolPaths& paths)
{
    auto record = std::make_unique<STextureParam>();
    record->input = paths.Input();
    record->output = paths.output;
    record->statistic = m_statistic;
    record->statisticName = TextureStatisticName(m_dimensionality, m_statistic);
    record->window = m_window;
    record->direction = std::uint8_t(m_direction);
    record->distance = std::uint8_t(m_distance);
    record->preTrimming = m_preTrimming;
    record->errorCaption = m_strErrorCaption;
    return MakeToolJob(m_dimensionality == 0 ? Texture_Analis_First : Texture_Analis_Second,
                       std::move(record));
}

CThread* CMainTextureDlg::StartPreview(const CString& input)
{
    auto record = std::make_unique<STexturePreviewParam>();
    record->input = input;
    record->statistic = m_statistic;
    record->window = m_window;
    record->direction = std::uint8_t(m_direction);
    record->distance = std::uint8_t(m_distance);
    record->preTrimming = m_preTrimming;
    record->dimensionality = m_dimensionality;
    record->dialog = GetSafeHwnd();
    CThread* thread = RunEx(TexturePreviewProc, record.get(), THREAD_PRIORITY_IDLE);
    if (thread) record.release();
    return thread;
}

void CMainTextureDlg::TakePreview(WPARAM code, LPARAM record)
{
    std::unique_ptr<STexturePreviewParam> answer(reinterpret_cast<STexturePreviewParam*>(record));
    if (code != kPreviewAnswer || !answer || InputPicker().GetPathName().IsEmpty()) return;
    if (answer->picture.empty())
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
    else
        m_preview.SetBitmapData(answer->picture.data(), answer->width, answer->height, GreyPalette().data());
}

// ---- the preview thread -------------------------------------------------------------------

std::vector<std::uint8_t> TexturePreviewPicture(const std::vector<float>& values, int width, int height)
{
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (float v : values)
        if (std::isfinite(v)) {
            lo = std::min(lo, double(v));
            hi = std::max(hi, double(v));
        }
    if (!(hi > lo)) return {};
    std::vector<std::uint8_t> picture(std::size_t(width) * std::size_t(height), 0);
    const double scale = 255.0 / (hi - lo);
    for (int y = 0; y < height; ++y) {
        const float* src = values.data() + std::size_t(height - 1 - y) * std::size_t(width);
        std::uint8_t* dst = picture.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            if (std::isfinite(src[x])) dst[x] = std::uint8_t(Round((double(src[x]) - lo) * scale));
    }
    return picture;
}

UINT TexturePreviewProc(LPVOID arg)
{
    auto* record = static_cast<STexturePreviewParam*>(arg);
    try {
        SDoublePreviewImage image;
        std::array<BYTE, kStatisticsBytes> statistics{};
        CRDPLayer in(nullptr);
        if (GetPreviewImage(record->input, image, 0) && image.width > 0 && image.height > 0 &&
            GetTag(record->input, TAG_STATISTICS, kStatisticsBytes, statistics.data()) &&
            in.OpenLayer(record->input, kOpenReadOnly) && !in.IsComplex()) {
            const int w = image.width, h = image.height;
            const LevelRange range = TextureLevelRange(in, record->preTrimming != 0);
            in.CloseLayer();
            // The preview keeps its bottom row first; the kernels read rows top first.
            std::vector<const void*> rows(static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y) rows[std::size_t(y)] = image.data.data() + std::size_t(h - 1 - y) * w;
            std::vector<float> result(std::size_t(w) * h, 0.0f);
            std::vector<float*> resultRows(static_cast<std::size_t>(h));
            for (int y = 0; y < h; ++y) resultRows[std::size_t(y)] = result.data() + std::size_t(y) * w;
            const TextureSpec spec{record->dimensionality, record->statistic, record->window,
                                   record->direction, record->distance};
            // On this idle thread alone: the preview must not take the cores from jobs.
            TextureImage(int(DataType::F64), RowSource{rows.data(), h, w}, range, spec, resultRows.data(), {},
                         1);
            record->picture = TexturePreviewPicture(result, w, h);
            if (!record->picture.empty()) {
                record->width = w;
                record->height = h;
            }
        }
    } catch (...) {
        record->picture.clear();
    }
    // The dialog frees the record once it has it. A dialog closed meanwhile takes nothing:
    // then the record is still this thread's.
    if (!::SendMessage(record->dialog, WM_TEXTUREPREVIEW, kPreviewAnswer, reinterpret_cast<LPARAM>(record)))
        delete record;
    return 1;
}
