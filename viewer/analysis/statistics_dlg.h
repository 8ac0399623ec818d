#pragma once

// The "Statistics" dialog: minimum, maximum, moments of orders 1 to 5 about the origin and
// about the mean, skewness and kurtosis of a selected region, per channel and complex
// component, with a Histogram button that opens a region histogram window.

#include <memory>
#include <vector>

#include "outside/basecore/button_st.h"
#include "platform/controls/image_list.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/gdi/span_region.h"
#include "outside/basecore/rect_t.h"
#include "platform/cstring.h"
#include "viewer/analysis/collapsible_dlg.h"
#include "viewer/analysis/region_statistics.h"

class CGridCtrl;
class CMeterInfoBase;
struct RasterRegionStatisticsRequest;

class CStatisticsDlg : public CCollapsibleDlg {
public:
    CStatisticsDlg();
    ~CStatisticsDlg() override;
    /// Modeless and hidden, from its template.
    virtual BOOL Create(CWnd* parent);
    /// The viewer's histogram window; null leaves the Histogram button without effect.
    void SetHistSource(CWnd* window) { m_pHistSource = window; }
    CWnd* GetHistSource() const { return m_pHistSource; }
    /// 1: single band (the channel tab folded away); 2: RGB (three channel tabs).
    void SetMode(int mode);
    int GetMode() const { return m_nMode; }
    /// Channel 3, 4, 5: the red, green, blue slot; any other: the first. Keeps the rows, the
    /// type code and its own copy of the region; the region is clipped to width x height
    /// (without a size only to the positive quarter).
    void SetChannelRegion(int channel, void** rows, int typeCode, HRGN region);
    void SetChannelRegion(int channel, void** rows, int typeCode, HRGN region, int width, int height);
    /// Computes every slot in use (on a job's thread: touches no window).
    void Calculate(CMeterInfoBase* meter);
    /// Computes one slot; a bad type code leaves its results as they were.
    void CalcChannel(int slot, CMeterInfoBase* meter);
    /// Fills the fields with the results of a slot and complex component (user-interface thread).
    void ShowResults(int slot, int component);
    /// Shows (1) or folds away (0) the complex tab row.
    void ShowComplexTab(int complex);
    /// The Histogram button.
    void OnHistogram();
    /// The region histogram windows this dialog opened and still has.
    const std::vector<HWND>& GetRegionWindows() const { return m_regionWindows; }

    /// Creates the dialog for a selection of the raster view and computes it on a job; the
    /// dialog shows itself when the job has finished and frees itself when it is closed or
    /// the job is stopped. Takes the request's region.
    static void StartRegionStatistics(RasterRegionStatisticsRequest& request);

    /// Results of the last computation.
    RegionStatistics m_results;

    struct Slot {
        void** rows = nullptr;
        std::shared_ptr<const void> keepAlive;  ///< keeps the rows readable while a job counts
        int typeCode = 0;
        int width = 0x7FFFFFFF;
        int height = 0x7FFFFFFF;
        platform::SpanRegion region;
        bool used = false;
    };
    Slot m_slots[3];

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void CreateMomentGrid();
    void PlaceGrid();
    void SetField(int id, double value);

    int m_nMode = -1;
    int m_bComplexShown = 1;
    CWnd* m_pHistSource = nullptr;
    std::unique_ptr<CGridCtrl> m_pGrid;
    CImageList m_channelImages;
    CImageList m_complexImages;
    CButtonST m_histogramButton;
    CTabCtrl m_channelTab;
    CTabCtrl m_complexTab;
    std::vector<HWND> m_regionWindows;
};
