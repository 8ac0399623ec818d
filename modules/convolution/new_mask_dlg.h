#pragma once

// "New mask parameters": the size (odd, 1 to 1023 each way) and the kind (simple or
// compound) of a mask to create. The last values are kept under "\Settings\Convolution".

#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

/// The largest side of a new mask.
inline constexpr int kMaxNewMaskSide = 1023;

class CNewMaskDlg : public CDialog {
public:
    explicit CNewMaskDlg(CWnd* parent = nullptr);

    /// 1 and the size when both sides are above 0 (after OK), else 0.
    int GetSize(int& width, int& height) const;
    /// Always 1; `type` becomes 1 (simple) or 2 (compound).
    int GetMaskType(int& type) const;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    void OnSimple();
    void OnCompound();
    DECLARE_MESSAGE_MAP()

private:
    void SaveSettings();
    /// Tells the user and puts the focus on the edit `id`.
    void Refuse(UINT textId, int id);

    CString m_strWidth = "0";
    CString m_strHeight = "0";
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nType = 1;
};
