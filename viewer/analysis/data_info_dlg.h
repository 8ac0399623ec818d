#pragma once

// The modeless "Data Information" dialog of a viewer frame: size, data type, statistics
// (one row for a real layer, four for a complex one) and the range of the logical
// coordinates of the active layer, with one tab per channel of an RGB composite.

#include <memory>

#include "platform/controls/image_list.h"
#include "platform/controls/progress_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "viewer/analysis/collapsible_dlg.h"
#include "viewer/core/viewer_meter_info.h"

class CGridCtrl;
class CViewerHost;

/// What one refresh shows.
struct DataInfoRecord {
    int width = 0;
    int height = 0;
    CString type;
    double minimum[4] = {}, maximum[4] = {}, mean[4] = {}, stdDev[4] = {};
    double firstX = 0, firstY = 0, lastX = 0, lastY = 0;
};

class CDataInfoDlg : public CCollapsibleDlg {
public:
    CDataInfoDlg();
    ~CDataInfoDlg() override;
    /// Modeless and hidden, owned by the frame.
    BOOL Create(CViewerHost* host);
    /// 1: single band (the tabs folded away); 2: RGB (three tabs).
    void SetMode(int mode);
    /// Has the active layer's statistics made ready (with this dialog's meter) and shows them.
    void Refresh(int tab);
    /// Fills the dialog for a tab (0..2 of an RGB composite).
    void Fill(int tab);
    CGridCtrl* GetGrid() const { return m_pGrid.get(); }
    int GetGridKind() const { return m_nGridKind; }
    CViewerMeterInfo* GetMeter() { return m_pMeter.get(); }

    CViewerHost* m_pHost = nullptr;
    int m_nMode = -1;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    /// Lays the grid out for a complex (1) or real (0) layer; nothing when it already is.
    void LayOutGrid(int complex);
    void ShowEmpty();

    int m_nGridKind = 0;
    std::unique_ptr<CViewerMeterInfo> m_pMeter = std::make_unique<CViewerMeterInfo>();
    std::unique_ptr<CGridCtrl> m_pGrid;
    CTabCtrl m_tabs;
    CProgressCtrl m_progress;
    CImageList m_tabImages;
    CImageList m_rowImages;
};
