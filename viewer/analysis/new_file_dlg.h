#pragma once

// "Create new file": the size in pixels and the data type of an empty layer, remembered in
// the registry between uses.

#include <cstdint>

#include "platform/controls/list_controls.h"
#include "platform/dialogs/dialog.h"

/// One row of the type list: its text (trailing blanks included) and the type code.
struct NewFileTypeRow {
    const char* text;
    std::uint32_t code;
};
/// The thirteen rows, in list order.
extern const NewFileTypeRow kNewFileTypes[13];

class CNewFileDlg : public CDialog {
public:
    explicit CNewFileDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    std::uint32_t m_nDataType = 0;
    CComboBox m_cbType;
    std::uint32_t m_nHeight = 0;
    std::uint32_t m_nWidth = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
};
