#include "modules/interferometry/fringe_tool.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "modules/common/tool_dlg.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/job_error.h"
#include "outside/basecore/rdp_except.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"

// ---- titles and sizes ---------------------------------------------------------------------

CString FileNamePart(const CString& path)
{
    const std::string p = static_cast<const char*>(path);
    const auto cut = p.find_last_of("/\\");
    return cut == std::string::npos ? path : CString(p.substr(cut + 1).c_str());
}

CString FringeJobTitle(const CString& text, const CString& path)
{
    return text + ":" + FileNamePart(path);
}

int WindowSizeOfSpin(int pos)
{
    return 2 * std::clamp(pos, 0, kWindowSpinLast) + 3;
}

CString WindowSizeText(int size)
{
    CString text;
    text.Format("%dx%d", size, size);
    return text;
}

// ---- the dialog ---------------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CFringeToolDlg, CDialog)
    ON_MESSAGE(WM_INFILECTRL_CHOSEN, OnPickerChosen)
    ON_WM_HELPINFO()
END_MESSAGE_MAP()

CFringeToolDlg::CFringeToolDlg(UINT templateId, UINT errorCaption)
    : CDialog(templateId, nullptr), m_templateId(templateId), m_errorCaptionId(errorCaption)
{
}

CFringeToolDlg::~CFringeToolDlg() = default;

BOOL CFringeToolDlg::Create(CWnd* parent)
{
    return CDialog::Create(m_templateId, parent);
}

BOOL CFringeToolDlg::DestroyWindow()
{
    // PostNcDestroy deletes the dialog once the window is gone.
    return CDialog::DestroyWindow();
}

void CFringeToolDlg::PostNcDestroy()
{
    delete this;
}

BOOL CFringeToolDlg::OnInitDialog()
{
    m_strErrorCaption = LoadFringeText(m_errorCaptionId);
    return CDialog::OnInitDialog();
}

void CFringeToolDlg::OnCancel()
{
    DestroyWindow();
}

LRESULT CFringeToolDlg::OnPickerChosen(WPARAM id, LPARAM lParam)
{
    return OnMesgInputClick(id, lParam);
}

void CFringeToolDlg::OnButtonHelp()
{
    const CString page = HelpPage();
    if (!page.IsEmpty()) CallHelpSystem(this, page);
}

BOOL CFringeToolDlg::OnHelpInfo(HELPINFO*)
{
    const CString page = HelpPage();
    return page.IsEmpty() ? FALSE : CallHelpSystem(this, page);
}

bool CFringeToolDlg::Refuse(UINT id, UINT icon)
{
    m_strMessage = LoadFringeText(id);
    MessageBox(m_strMessage, m_strErrorCaption, MB_OK | icon);
    return false;
}

void CFringeToolDlg::RefusePicker(CInFileCtrl& picker, UINT id)
{
    Refuse(id);
    picker.ClearAll();
}

bool CFringeToolDlg::CheckOutputApart(const CString& output, std::initializer_list<CString> inputs)
{
    for (const CString& input : inputs) {
        if (!NamesSameFile(input, output)) continue;
        m_strMessage = LoadFrameText(IDS_FRAME_OUTPUT_IS_INPUT);
        MessageBox(m_strMessage, m_strErrorCaption, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

ViewResultParam* CFringeToolDlg::NewResult(const CString& output)
{
    auto* result = new ViewResultParam;
    result->fileName = output;
    return result;
}

void CFringeToolDlg::InitWindowSpin(CSpinButtonCtrl& spin)
{
    spin.SetRange(0, kWindowSpinLast);
    spin.SetPos(0);
}

bool CFringeToolDlg::WindowSpinScrolled(UINT code, UINT pos, CScrollBar* bar, CSpinButtonCtrl& spin,
                                        int& size, CString& text)
{
    if (code != SB_THUMBPOSITION || !bar || reinterpret_cast<CWnd*>(bar) != static_cast<CWnd*>(&spin))
        return false;
    size = WindowSizeOfSpin(int(short(pos)));
    text = WindowSizeText(size);
    return true;
}

// ---- the job ------------------------------------------------------------------------------

namespace {

void ReportWithPath(CMeterInfo& meter, const CString& caption, UINT id, const CString& path)
{
    CString text;
    text.Format(LoadFringeText(id), static_cast<const char*>(path));
    meter.SetErrorState(-1);
    ReportJobFailure(meter, caption, text);
}

}  // namespace

bool OpenFringeInput(CRDPLayer& layer, const CString& path, CMeterInfo& meter, const CString& caption)
{
    if (layer.OpenLayer(path, kOpenReadOnly)) return true;
    ReportWithPath(meter, caption, IDS_CANT_OPEN, path);
    return false;
}

bool CreateFringeOutput(CRDPLayer& layer, const CString& path, int width, int height, int type,
                        CMeterInfo& meter, const CString& caption)
{
    if (layer.CreateLayer(path, width, height, type, 7)) return true;
    ReportWithPath(meter, caption, IDS_CANT_CREATE, path);
    return false;
}

void CloseFringeOutput(CRDPLayer& out)
{
    if (!out.CloseLayer()) AfxThrowRDPExcept(RDP_ERROR_PROCESS, GetErrorMessage(GetLastError()));
}
