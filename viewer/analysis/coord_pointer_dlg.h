#pragma once

// The modeless "Coordinate Pointer" dialog of a viewer: the pointer's position in file
// pixels and in logical coordinates, and the value under it. Typing, the spin buttons and
// "Move to center" move the pointer; "Go to point" brings it into view.

#include "platform/controls/spin_button_ctrl.h"
#include "platform/cstring.h"
#include "viewer/analysis/stand_in_dlg.h"

class CViewerHost;

class CCoordPointerDlg : public CSelfDeletingDlg {
public:
    CCoordPointerDlg();
    explicit CCoordPointerDlg(CWnd* parent);
    /// Modeless and hidden, with `parent` as owner, reading and moving the pointer of `frame`.
    BOOL Create(CWnd* parent, CViewerHost* host);

    /// Takes the picture's size and logical extent from the frame and centres the pointer.
    void Refresh();
    /// Reads the pointer's position, value and logical coordinates into the edits.
    void ReadPointer();

    CViewerHost* m_pHost = nullptr;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    double m_dLogicalWidth = 0.0, m_dLogicalHeight = 0.0;
    double m_dStepX = 0.0, m_dStepY = 0.0;
    int m_nFileX = 0;
    int m_nFileY = 0;
    CString m_strValue;
    double m_dLogicalX = 0.0;
    double m_dLogicalY = 0.0;

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    bool HasPicture() const { return m_nImageWidth > 0 && m_nImageHeight > 0; }
    /// Moves the pointer to the file pixel and shows where it landed.
    void MoveTo(int x, int y);
    /// The file pixel of the logical point, rounded to the nearest pixel.
    CPoint FileOf(double x, double y) const;
    /// Takes the edits into the fields; false (nothing taken) when one is refused.
    bool TakeEdits();
    void Close();

    CSpinButtonCtrl m_spins[4];
    bool m_bExchanging = false;
};

inline constexpr UINT IDD_COORD_POINTER = 207;
inline constexpr int IDC_CP_FILE_X = 2073;
inline constexpr int IDC_CP_FILE_Y = 2074;
inline constexpr int IDC_CP_LOGICAL_X = 2021;
inline constexpr int IDC_CP_LOGICAL_Y = 2022;
inline constexpr int IDC_CP_VALUE = 2020;
inline constexpr int IDC_CP_CENTER = 2075;
inline constexpr int IDC_CP_GO_TO = 2076;
inline constexpr int IDC_CP_SPIN_FILE_X = 2080;
inline constexpr int IDC_CP_SPIN_FILE_Y = 2081;
inline constexpr int IDC_CP_SPIN_LOGICAL_X = 2082;
inline constexpr int IDC_CP_SPIN_LOGICAL_Y = 2083;
