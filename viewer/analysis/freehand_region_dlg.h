#pragma once

// The "Freehand region" dialog: area and bounding rectangle of a free-hand selection, in
// file pixels or logical units.

#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "viewer/analysis/stand_in_dlg.h"
#include "viewer/core/selection_info.h"

class CFreehandRegionDlg : public CSelfDeletingDlg {
public:
    CFreehandRegionDlg();
    /// Stores the figures and shows them in the chosen units.
    void SetData(double pixelArea, double logicalArea, CRect bounds, CPointT<double> logicalTopLeft,
                 CPointT<double> logicalBottomRight, CSelectionInfo* owner);
    /// Empties the texts.
    void Clear();
    /// 0 logical, 1 file; -1 before the window was made.
    int GetUnits() const { return m_nUnits; }

    CSelectionInfo* m_pOwner = nullptr;
    CString m_texts[3];  ///< area, bounding rectangle, spare

    BOOL OnInitDialog() override;
    void OnOK() override { DestroyWindow(); }
    void OnCancel() override { DestroyWindow(); }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Refresh();
    void Show();

    int m_nUnits = -1;
    double m_dPixelArea = 0.0, m_dLogicalArea = 0.0;
    CRect m_fileRect;
    double m_logical[4] = {};  ///< left, top, right, bottom
};

inline constexpr int IDC_FREEHAND_RECT = 2143;
inline constexpr int IDC_FREEHAND_AREA = 2144;
inline constexpr int IDC_FREEHAND_LOGICAL = 2135;
inline constexpr int IDC_FREEHAND_FILE = 2133;
