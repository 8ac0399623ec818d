#include "outside/basecore/info_file_dialog.h"

#include <algorithm>
#include <filesystem>

#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/controls/button.h"
#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/data_exchange.h"

CString SLayerFileInfo::FormatLine() const
{
    if (!exists) return "File not found";
    if (!isLayer) return "Not a layer file";
    CString line;
    line.Format("%d x %d, %s, %lld bytes", width, height, GetTypeName(type).c_str(), (long long)fileBytes);
    if (layers > 1) line.AppendFormat(", %d layers", layers);
    return line;
}

CString SLayerFileInfo::FormatText() const
{
    CString text = FormatLine();
    if (!caption.IsEmpty()) text += "\n" + caption;
    if (!description.IsEmpty()) text += "\n" + description;
    return text;
}

SLayerFileInfo CInfoFileDialog::DescribeFile(LPCTSTR path)
{
    SLayerFileInfo info;
    if (!path || !*path) return info;
    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::is_regular_file(file, error)) return info;
    info.exists = true;
    const auto bytes = std::filesystem::file_size(file, error);
    info.fileBytes = error ? 0 : std::int64_t(bytes);
    info.layers = std::max(CRDPLayer::GetNumLayer(path), 0);
    const auto header = info.layers > 0 ? LayerHeaderOf(path) : std::nullopt;
    if (!header) return info;
    info.isLayer = true;
    info.width = header->width;
    info.height = header->height;
    info.type = header->type;
    info.complex = IsComplexType(info.type) != FALSE;
    CLayerDescription::GetDescriptionTag(path, CLayerDescription::kCaptionTag, info.caption);
    CLayerDescription::GetDescriptionTag(path, CLayerDescription::kDescriptionTag, info.description);
    return info;
}

CInfoFileDialog::CInfoFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName,
                                 DWORD dwFlags, LPCTSTR lpszFilter, CWnd* pParentWnd)
    : CFileDialog(bOpenFileDialog, lpszDefExt, lpszFileName, dwFlags, lpszFilter, pParentWnd)
{
    SetFileDescriber([](const CString& path) { return DescribeFile(path).FormatText(); });
}

INT_PTR CInfoFileDialog::DoModal()
{
    const int previous = m_nWhat;
    m_nWhat = 0;
    m_info = {};
    const INT_PTR result = CFileDialog::DoModal();
    if (result != IDOK) {
        m_nWhat = previous;
        return result;
    }
    m_info = DescribeFile(GetPathName());
    if (!m_bOpenFileDialog || !m_askComponent || !m_info.isLayer || !m_info.complex) return IDOK;
    // The last component chosen is offered again when the same dialog object is reused.
    CInfoFileComponentDlg ask(GetPathName(), m_info, previous, m_pParentWnd);
    if (ask.DoModal() != IDOK) {
        m_nWhat = previous;
        return IDCANCEL;
    }
    m_nWhat = ask.GetWhat();
    return IDOK;
}

CInfoFileComponentDlg::CInfoFileComponentDlg(const CString& path, const SLayerFileInfo& info, int what,
                                             CWnd* parent)
    : CDialog(IDD_INFO_FILE_COMPONENT, parent), m_path(path), m_info(info), m_nWhat(std::clamp(what, 0, 3))
{
}

BOOL CInfoFileComponentDlg::OnInitDialog()
{
    const std::filesystem::path file(m_path.c_str());
    SetDlgItemText(IDC_INFO_FILE_NAME, file.filename().string().c_str());
    SetDlgItemText(IDC_INFO_FILE_FORMAT, m_info.FormatLine());
    SetDlgItemText(IDC_INFO_FILE_CAPTION, m_info.caption);
    SetDlgItemText(IDC_INFO_FILE_DESCRIPTION, m_info.description);
    return CDialog::OnInitDialog();
}

void CInfoFileComponentDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_INFO_FILE_AMPLITUDE, m_nWhat);
    if (m_nWhat < 0) m_nWhat = 0;
}
