#include "viewer/analysis/find_replace_value_dlg.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/meter_info.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "platform/controls/button.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/analysis/value_scan.h"
#include "viewer/analysis/viewer_host.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"
#include "viewer/core/viewer_meter_info.h"
#include "viewer/core/virtual_view.h"

namespace {

constexpr WPARAM kDoneCount = 1;
constexpr WPARAM kDoneError = 2;  // lParam: the error text, valid during the send

CString FindKey()
{
    return GetAppRegKey() + "\\Settings\\Viewer\\Find";
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

void WriteCellValue(CRDPLayer& layer, CPoint cell, int component, double re, double im)
{
    if (component == 4) {
        layer.SetValue(cell.x, cell.y, re, 2);
        layer.SetValue(cell.x, cell.y, im, 3);
    } else {
        layer.SetValue(cell.x, cell.y, re, component);
    }
}

CFindReplaceValueDlg::CFindReplaceValueDlg() : CDialog(IDD_REPLACE_VALUE) {}

BOOL CFindReplaceValueDlg::Create(CViewerHost* host)
{
    m_pHost = host;
    m_bCreated = CDialog::Create(IDD_REPLACE_VALUE, host ? host->HostWnd() : nullptr) != FALSE;
    return m_bCreated ? TRUE : FALSE;
}

void CFindReplaceValueDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_REPLACE_FIND, m_strFind);
    DDX_Text(pDX, IDC_REPLACE_WITH, m_strReplace);
    DDX_Radio(pDX, IDC_REPLACE_FORWARD, m_nDirection);
    DDX_Check(pDX, IDC_REPLACE_APPROXIMATE, m_bApproximate);
}

void CFindReplaceValueDlg::LoadSettings()
{
    CTLRegKey key;
    if (key.Open(HKEY_CURRENT_USER, FindKey(), KEY_READ) != ERROR_SUCCESS) return;
    CString text;
    if (key.QueryValue(text, "LastFindExpression") == ERROR_SUCCESS) m_strFind = text;
    if (key.QueryValue(text, "LastReplaceExpression") == ERROR_SUCCESS) m_strReplace = text;
    DWORD value = 0;
    if (key.QueryValue(value, "Direction") == ERROR_SUCCESS) m_nDirection = value ? 1 : 0;
    if (key.QueryValue(value, "FindLike") == ERROR_SUCCESS) m_bApproximate = value ? 1 : 0;
}

void CFindReplaceValueDlg::SaveSettings()
{
    CTLRegKey key;
    if (key.Create(HKEY_CURRENT_USER, FindKey()) != ERROR_SUCCESS) return;
    key.SetValue(m_strFind, "LastFindExpression");
    key.SetValue(m_strReplace, "LastReplaceExpression");
    key.SetValue(DWORD(m_nDirection), "Direction");
    key.SetValue(DWORD(m_bApproximate), "FindLike");
}

BOOL CFindReplaceValueDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_pHost) {
        if (CVirtualView* view = m_pHost->GetViewRect()->GetActiveView()) {
            CRDPLayer* layer = view->GetLayer(1);
            if (CWnd* check = GetDlgItem(IDC_REPLACE_APPROXIMATE))
                check->EnableWindow(layer && layer->IsFloatType() ? TRUE : FALSE);
        }
    }
    LoadSettings();
    UpdateData(FALSE);
    return TRUE;
}

CRDPLayer* CFindReplaceValueDlg::ActiveLayer(bool forWriting)
{
    if (!m_pHost) return nullptr;
    CVirtualView* view = m_pHost->GetViewRect()->GetActiveView();
    if (!view) return nullptr;
    if (forWriting && !view->IsWorkingCopy() && !view->MakeWorkingCopy()) return nullptr;
    return view->GetLayer(1);
}

void CFindReplaceValueDlg::StartCell(const CRDPLayer& layer, CPoint pointer)
{
    m_position.x = std::clamp(int(pointer.x), 0, std::max(0, layer.Width() - 1));
    m_position.y = std::clamp(int(pointer.y), 0, std::max(0, layer.Height() - 1));
}

bool CFindReplaceValueDlg::Search(const CRDPLayer& layer, int component)
{
    const ValueQuery query = MakeValueQuery(m_strFind, m_bApproximate != 0, component);
    return ScanForValue(layer, query, m_nDirection, m_position);
}

void CFindReplaceValueDlg::NotFound()
{
    CString caption;
    GetWindowText(caption);
    MessageBox(LoadText(IDS_VALUE_NOT_FOUND), caption, MB_ICONEXCLAMATION);
}

void CFindReplaceValueDlg::WriteReplacement(CRDPLayer& layer, int component)
{
    const ValueQuery value = MakeValueQuery(m_strReplace, false, component);
    WriteCellValue(layer, m_position, component, value.re, value.im);
}

void CFindReplaceValueDlg::OnFindNext()
{
    if (m_bJobRunning) return;
    UpdateData(TRUE);
    CRDPLayer* layer = ActiveLayer(false);
    if (!layer) return;
    const int component = m_pHost->GetComplexMode(1);
    StartCell(*layer, m_pHost->GetPointerPos());
    if (Search(*layer, component))
        m_pHost->SetPointerPos(m_position);
    else
        NotFound();
    SaveSettings();
}

void CFindReplaceValueDlg::OnReplace()
{
    if (m_bJobRunning) return;
    UpdateData(TRUE);
    CRDPLayer* layer = ActiveLayer(true);
    if (!layer) return;
    const int component = m_pHost->GetComplexMode(1);
    StartCell(*layer, m_pHost->GetPointerPos());
    WriteReplacement(*layer, component);
    CWnd* frame = m_pHost->HostWnd();
    frame->SendMessage(WM_VIEWER, reinterpret_cast<WPARAM>(&m_position), 11);
    frame->SendMessage(WM_DLGMESSAGE, 8, 0);
    if (Search(*layer, component))
        m_pHost->SetPointerPos(m_position);
    else
        NotFound();
    SaveSettings();
}

void CFindReplaceValueDlg::OnReplaceAll()
{
    if (m_bJobRunning) return;
    UpdateData(TRUE);
    if (!ActiveLayer(false)) return;
    // The first match is found, and shown, as Find next does.
    const ValueQuery find = MakeValueQuery(m_strFind, m_bApproximate != 0, m_pHost->GetComplexMode(1));
    {
        CRDPLayer* layer = ActiveLayer(false);
        StartCell(*layer, m_pHost->GetPointerPos());
        if (!ScanForValue(*layer, find, m_nDirection, m_position)) {
            NotFound();
            SaveSettings();
            return;
        }
        m_pHost->SetPointerPos(m_position);
    }
    CMeterInfoBase* meter = m_pHost->GetMeterInfo();
    CRDPLayer* layer = ActiveLayer(true);
    if (!layer) {
        SaveSettings();
        return;
    }
    const int component = m_pHost->GetComplexMode(1);
    // The job starts at the match just found. Re-reading the pointer would start at a cell
    // that holds no match whenever the pointer could not follow the find (pointer off).
    const int rows = m_nDirection == 0 ? layer->Height() - m_position.y : m_position.y + 1;
    meter->SetRange(0.0, double(rows));

    auto job = std::make_unique<ReplaceJobParams>();
    const ValueQuery value = MakeValueQuery(m_strReplace, false, component);
    job->re = value.re;
    job->im = value.im;
    job->layer = layer;
    job->component = component;
    job->dialog = this;
    job->meter = meter;
    job->findText = m_strFind;
    job->direction = m_nDirection;
    job->approximate = m_bApproximate;
    job->position = m_position;
    job->hDialog = GetSafeHwnd();
    job->hFrame = m_pHost->HostWnd()->GetSafeHwnd();

    m_pHost->FreezForInput(1);
    m_bJobRunning = true;
    CString title;
    GetWindowText(title);
    ReplaceJobParams* record = job.release();
    if (!Run(title, &CFindReplaceValueDlg::ReplaceAllJob, meter, record)) {
        delete record;
        m_bJobRunning = false;
        m_pHost->FreezForInput(0);
    }
    SaveSettings();
}

void CFindReplaceValueDlg::ReplaceAll(ReplaceJobParams& job, int& count)
{
    const ValueQuery find = MakeValueQuery(job.findText, job.approximate != 0, job.component);
    CMeterInfoBase* meter = job.meter;
    // A stop is seen at every row scanned, not only where matches change rows.
    const auto checkStop = [meter](int) {
        if (meter && meter->IsStopped()) AfxThrowRDPExcept(RDP_ERROR_CANCEL);
    };
    CRDPLayer& layer = *job.layer;
    if (!layer.IsComplex()) {
        // A real cell's new value does not depend on its old one: the first cell is written
        // as Replace writes it, and its bytes go into every other match, row by row. The
        // reports are those of the search below: a look at the stop as each row is begun,
        // a step before the first match of each row written.
        WriteCellValue(layer, job.position, job.component, job.re, job.im);
        ++count;
        const int size = elementBytes(layer.Type());
        BYTE sample[8];
        const CPoint start = job.position;
        std::memcpy(sample, static_cast<const BYTE*>(layer.GetRows()[start.y]) + std::int64_t(start.x) * size,
                    size_t(size));
        const int step = job.direction == 0 ? 1 : -1;
        int y = start.y;
        auto write = [&](int x) {
            std::memcpy(static_cast<BYTE*>(layer.GetRows()[y]) + std::int64_t(x) * size, sample,
                        size_t(size));
            job.position = CPoint(x, y);
            ++count;
        };
        ForEachMatchInRow(layer, find, job.direction, y, start.x + step, write);
        // The rows ahead are searched and written in groups on all cores. The reports, the
        // stop and the last cell written follow here, row by row in the search's order, as a
        // search of one row after the other makes them; a stop gives the rows from its own
        // on their values back, so it leaves exactly the rows before it replaced.
        constexpr int kGroup = 256;
        std::vector<RowReplacement> rows;
        for (y += step; y >= 0 && y < layer.Height();) {
            const int group = std::min(kGroup, step > 0 ? layer.Height() - y : y + 1);
            ReplaceInRows(layer, find, job.direction, y, group, sample, rows);
            int i = 0;
            try {
                for (; i < group; ++i, y += step) {
                    checkStop(y);
                    const RowReplacement& row = rows[std::size_t(i)];
                    if (row.columns.empty()) continue;
                    if (meter) meter->StepIt();
                    job.position = CPoint(row.columns.back(), y);
                    count += int(row.columns.size());
                }
            } catch (...) {
                for (; i < group; ++i, y += step) UndoRowReplacement(layer, y, rows[std::size_t(i)]);
                throw;
            }
        }
        return;
    }
    for (;;) {
        const int row = job.position.y;
        WriteCellValue(layer, job.position, job.component, job.re, job.im);
        ++count;
        if (!ScanForValue(layer, find, job.direction, job.position, checkStop)) return;
        if (job.position.y != row && meter) meter->StepIt();
    }
}

void CFindReplaceValueDlg::ReplaceAllJob(void* arg, CMeterInfoBase* meter)
{
    std::unique_ptr<ReplaceJobParams> job(static_cast<ReplaceJobParams*>(arg));
    if (!job->meter) job->meter = meter;
    int count = 0;
    try {
        ReplaceAll(*job, count);
    } catch (CRDPExcept* e) {
        CString text;
        const int code = GetError(e, text);
        e->Delete();
        // The box belongs to the user-interface thread; the send waits until it is closed.
        if (code != RDP_ERROR_CANCEL)
            ::SendMessage(job->hDialog, WM_REPLACEDONE, kDoneError, reinterpret_cast<LPARAM>(text.c_str()));
    } catch (const std::exception& e) {
        ::SendMessage(job->hDialog, WM_REPLACEDONE, kDoneError, reinterpret_cast<LPARAM>(e.what()));
    }
    ::SendMessage(job->hFrame, WM_DLGMESSAGE, 8, 0);
    ::PostMessage(job->hFrame, WM_VIEWER, 0, 12);
    ::PostMessage(job->hDialog, WM_REPLACEDONE, kDoneCount, count);
}

LRESULT CFindReplaceValueDlg::OnReplaceDone(WPARAM wParam, LPARAM lParam)
{
    if (wParam == kDoneError) {
        MessageBox(lParam ? reinterpret_cast<const char*>(lParam) : "", "Error", MB_ICONSTOP);
        return 1;
    }
    if (wParam == kDoneCount) {
        m_bJobRunning = false;
        CString caption, text;
        GetWindowText(caption);
        text.Format(LoadText(IDS_ITEMS_REPLACED), int(lParam));
        MessageBox(text, caption, MB_ICONEXCLAMATION);
    }
    return 1;
}

BOOL CFindReplaceValueDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
        case IDC_REPLACE_FIND_NEXT:
            OnFindNext();
            return TRUE;
        case IDC_REPLACE_ONE:
            OnReplace();
            return TRUE;
        case IDC_REPLACE_ALL:
            OnReplaceAll();
            return TRUE;
        default:
            return CDialog::OnCommand(wParam, lParam);
    }
}

LRESULT CFindReplaceValueDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_REPLACEDONE) return OnReplaceDone(wParam, lParam);
    return CDialog::WindowProc(message, wParam, lParam);
}

void CFindReplaceValueDlg::PostNcDestroy()
{
    if (m_bCreated) delete this;
}
