#include "modules/convolution/noise_filter_dlg.h"

#include <cmath>
#include <memory>
#include <vector>

#include "modules/common/window_spin.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/convolution/noise_filter_job.h"
#include "modules/convolution/noise_filter_kernels.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/kernel/files.h"
#include "platform/window/modal.h"

namespace {

constexpr int kPreviewDone = 2;
constexpr int kPreviewFailed = 3;
constexpr int kLargestSpinPosition = 7;

constexpr ToolPolicy kPolicy{.text = LoadKernovaText,
                             .errorCaption = IDS_FILTR_CAPTION,
                             .titleText = IDS_FILTR_CAPTION,
                             .blankAfterColon = true,
                             .askBeforeOverwrite = true,
                             .inputMustExist = true,
                             .presetFolders = true,
                             .preview = true,
                             .helpTopic = IDS_FILTR_HELP_PAGE};

}  // namespace

BEGIN_MESSAGE_MAP(CMainFiltrDlg, CToolDlg)
    ON_CONTROL(CBN_SELCHANGE, IDC_FILTR_COMBO, OnSelchangeComboFiltr)
    ON_WM_VSCROLL()
    ON_BN_CLICKED(IDC_FILTR_HELP, OnButtonHelp)
    ON_CONTROL(EN_CHANGE, IDC_FILTR_VARIANCE, OnChangeFltEditDnIndex)
    ON_MESSAGE(WM_FILTR_PREVIEW, OnDlgMessage)
END_MESSAGE_MAP()

// An empty output name is not refused here: the job tells it.
CMainFiltrDlg::CMainFiltrDlg() : CToolDlg(IDD, kPolicy, {{.id = IDC_FILTR_INPUT}}, {.id = IDC_FILTR_OUTPUT})
{
}

void CMainFiltrDlg::DoDataExchange(CDataExchange* pDX)
{
    CToolDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILTR_SPIN, m_spin);
    DDX_Control(pDX, IDC_FILTR_COMBO, m_combo);
    DDX_Text(pDX, IDC_FILTR_VARIANCE, m_variance);
    DDX_CBIndex(pDX, IDC_FILTR_COMBO, m_filter);
    DDX_Text(pDX, IDC_FILTR_SIZE_TEXT, m_sizeText);
}

BOOL CMainFiltrDlg::OnInitDialog()
{
    CToolDlg::OnInitDialog();
    InitWindowSpin(m_spin, kLargestSpinPosition);
    m_window = 3;
    SetRealCombo();
    m_preview.Init(this, IDC_FILTR_PREVIEW, 1);
    m_preview.SetText(LoadFrameText(IDS_FRAME_SELECT_INPUT));
    return TRUE;
}

void CMainFiltrDlg::SetRealCombo()
{
    for (int i = m_combo.GetCount() - 1; i >= 0; --i) m_combo.DeleteString(UINT(i));
    for (int i = 0; i <= kFilterSigma; ++i)
        m_combo.InsertString(i, LoadKernovaText(IDS_FILTR_MEAN + UINT(i)));
    m_filter = 0;
    WriteControls();
}

void CMainFiltrDlg::OnSelchangeComboFiltr()
{
    UpdateData(TRUE);
    if (m_filter == 0 || m_filter == 1 || UsesVariance()) {
        const BOOL enable = UsesVariance();
        GetDlgItem(IDC_FILTR_VARIANCE_GROUP)->EnableWindow(enable);
        GetDlgItem(IDC_FILTR_VARIANCE)->EnableWindow(enable);
    }
    Dispatcher();
}

void CMainFiltrDlg::OnVScroll(UINT code, UINT pos, CScrollBar* bar)
{
    if (WindowSpinScrolled(code, pos, bar, m_spin, kLargestSpinPosition, m_window, m_sizeText))
        WriteControls();
    Dispatcher();
    CToolDlg::OnVScroll(code, pos, bar);
}

void CMainFiltrDlg::OnChangeFltEditDnIndex()
{
    // Values the dialog writes itself are no change of the user's.
    if (WritingControls()) return;
    UpdateData(TRUE);
    Dispatcher();
}

float CMainFiltrDlg::Sigma() const
{
    return float(std::sqrt(double(m_variance)));
}

bool CMainFiltrDlg::PreviewParametersValid() const
{
    return !UsesVariance() || (std::isfinite(m_variance) && m_variance >= 0.0f);
}

bool CMainFiltrDlg::CheckParameters(const ToolPaths&)
{
    // A negative variance has no sigma, and an infinite one no filter.
    return PreviewParametersValid() || Refuse(IDS_FILTR_BAD_VARIANCE);
}

CThread* CMainFiltrDlg::StartPreview(const CString& input)
{
    auto record = std::make_unique<SFiltrParams>();
    record->input = input;
    record->filter = m_filter;
    record->window = m_window;
    record->sigma = Sigma();
    record->dialog = GetSafeHwnd();
    CThread* thread = RunEx(FiltrPreviewThread, record.get(), THREAD_PRIORITY_IDLE);
    if (thread) record.release();
    return thread;
}

void CMainFiltrDlg::TakePreview(WPARAM code, LPARAM record)
{
    std::unique_ptr<SFiltrParams> answer(reinterpret_cast<SFiltrParams*>(record));
    if (code != kPreviewDone || !answer || !m_preview.SetSourceFile(answer->resultFile))
        m_preview.SetText(LoadFrameText(IDS_FRAME_PREVIEW));
}

ToolJob CMainFiltrDlg::MakeJob(const ToolPaths& paths)
{
    auto record = std::make_unique<SFiltrParams>();
    record->input = paths.Input();
    record->output = paths.output;
    record->filter = m_filter;
    record->window = m_window;
    record->sigma = Sigma();
    return MakeToolJob(CalcFiltration, std::move(record));
}

// ---- the preview thread -------------------------------------------------------------------

UINT FiltrPreviewThread(LPVOID arg)
{
    auto* record = static_cast<SFiltrParams*>(arg);
    CString answerFile;
    bool done = false;
    try {
        SDoublePreviewImage image;
        if (!GetPreviewImage(record->input, image, 0)) throw 0;
        const int w = image.width, h = image.height;
        record->previewWidth = w;
        record->previewHeight = h;
        // The preview image keeps its bottom row first; the filter reads rows top first.
        std::vector<const void*> rows(static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y) rows[std::size_t(y)] = image.data.data() + std::size_t(h - 1 - y) * w;
        std::vector<float> result(std::size_t(w) * h, 0.0f);
        std::vector<float*> resultRows(static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y) resultRows[std::size_t(y)] = result.data() + std::size_t(y) * w;
        const NoiseFilterSpec spec{record->filter, record->window, record->sigma};
        // On this idle thread alone: the preview must not take the cores from jobs.
        FilterNoiseImage(int(DataType::F64), RowSource{rows.data(), h, w}, spec, resultRows.data(), {}, 1);

        CRDPLayer answer;
        if (!answer.CreateLayerTempName(w, h, int(DataType::F64), 0)) throw 0;
        answerFile = answer.GetFileName();
        answer.SetZero(nullptr);
        // The outer k rows and columns stay 0: the window does not reach them.
        const int k = spec.window / 2;
        std::vector<double> line(static_cast<std::size_t>(w), 0.0);
        for (int y = k; y < h - k; ++y) {
            for (int x = k; x < w - k; ++x) line[std::size_t(x)] = result[std::size_t(y) * w + x];
            if (!answer.SetLineFromDouble(y, line.data(), w)) throw 0;
        }
        if (!answer.CloseLayer()) throw 0;
        CopyTag(answerFile, record->input, TAG_PALETTE);
        record->resultFile = answerFile;
        done = true;
    } catch (...) {
        done = false;
    }
    // The dialog frees the record once it has it. A dialog closed meanwhile takes nothing:
    // then the record is still this thread's.
    const HWND dialog = record->dialog;
    if (!::SendMessage(dialog, WM_FILTR_PREVIEW, done ? kPreviewDone : kPreviewFailed,
                       reinterpret_cast<LPARAM>(record)))
        delete record;
    if (!answerFile.IsEmpty()) DeleteFile(answerFile);
    return done ? 1 : 0;
}
