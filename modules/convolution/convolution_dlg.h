#pragma once

// The "Convolution with mask" dialog: input and output files, the kernel library as a tree
// (folders and masks under the "KernelsDir" folder), buttons that create, add, remove and
// edit masks, and the rotation angle of compound masks. A preview follows every change of
// input, mask and angle; Execute starts KernelJob.

#include <vector>

#include "modules/common/tool_dlg.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/kernel_job.h"
#include "modules/convolution/round_slider_ctrl.h"
#include "outside/basecore/button_st.h"
#include "platform/controls/edit.h"
#include "platform/controls/image_list.h"
#include "platform/controls/tool_tip_ctrl.h"
#include "platform/controls/tree_ctrl.h"

class CConvolutionDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_CONVOLUTION;
    CConvolutionDlg();
    ~CConvolutionDlg() override;

    /// Sets the angle from outside (the kernel editor after a save); no new preview.
    void SetAngle(double degrees);
    /// Starts a preview when an input and a mask are chosen; the preview thread, or 0.
    long Dispatcher() override;
    /// The mask's name for the progress list: its caption tag, else its file title.
    CString GetNameCurrentMask() const;
    /// 1 when `path` exists and its header gives a width and a height above 0; else the
    /// user is told why and the result is 0.
    int IsValidRDPFile(const CString& path);
    /// Rebuilds the tree from the library; 1 when rebuilt.
    int RefreshTreeItems();

    float Angle() const { return m_fAngle; }
    int PositiveAngle() const { return m_nPositiveAngle; }
    const CString& KernelsDir() const { return m_kernelsDir; }
    /// The mask the preview and the job use: the chosen leaf, or the target of a link.
    const CString& CurrentMaskPath() const { return m_maskPath; }
    /// The chosen leaf itself (".rdp" or ".lnk"); empty when a folder is chosen.
    const CString& SelectedFile() const { return m_selectedFile; }
    /// The path a leaf's item data indexes.
    CString PathOfItem(HTREEITEM item) const;
    /// The values of the last job started.
    const KernelJobParams& Params() const { return m_params; }
    /// The size last asked for in the new-mask dialog.
    int NewMaskWidth() const { return m_nNewWidth; }
    int NewMaskHeight() const { return m_nNewHeight; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;

    LRESULT OnKernelMessage(WPARAM code, LPARAM data);
    void OnChangeEditAngle();
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnSelchangedTreeMasks(NMHDR* header, LRESULT* result);
    void OnDblclkTreeMasks(NMHDR* header, LRESULT* result);
    void OnButtonCreateNewMask();
    void OnButtonAddMask();
    void OnButtonEditMask();
    void OnButtonRemoveMask();
    void OnExecute();
    DECLARE_MESSAGE_MAP()

private:
    void InsertTreeItem(const CString& folder, HTREEITEM parent);
    HTREEITEM InsertLeaf(const CString& path, const CString& caption, HTREEITEM parent);
    void ForgetMask();
    void SetStateRoundScroll();
    void ShowResult(const KernelJobParams& answer);
    void Message(UINT textId, UINT icon);

    CString m_kernelsDir;
    std::vector<CString> m_paths;
    HTREEITEM m_selectedItem = nullptr;
    CString m_selectedFile;
    CString m_maskPath;
    float m_fAngle = 0.0f;
    CString m_strAngle = "0";
    int m_nPositiveAngle = 1;
    CString m_status;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
    int m_nNewWidth = 0;
    int m_nNewHeight = 0;
    bool m_ready = false;
    KernelJobParams m_params;

    CTreeCtrl m_tree;
    CImageList m_images;
    CButtonST m_buttons[4];
    CRoundSliderCtrl m_slider;
    CEdit m_angleEdit;
    CToolTipCtrl m_tooltip;
    CToolTipCtrl m_treeTip;
};
