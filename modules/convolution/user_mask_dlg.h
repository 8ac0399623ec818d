#pragma once

// The kernel editor ("User Mask"): a mask shown as a table of numbers. The X and Y layers of
// a compound mask are edited cell by cell; the result view shows the mask that convolves
// for the rotation angle. Edits go to a working copy (scratch layers without a file name); a
// save writes the mask beside its file and puts it in place in one step, so the original is
// never lost and nothing is left behind. The editor tells the convolution dialog that opened it through
// WM_KERNEL_PREVIEW and SetAngle, and frees itself when closed.

#include <memory>
#include <vector>

#include "modules/convolution/round_slider_ctrl.h"
#include "platform/controls/edit.h"
#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"
#include "platform/menu/menu.h"

class CConvolutionDlg;
class CGridCtrl;
class CRDPLayer;

class CUserMaskDlg : public CDialog {
public:
    /// An editor of an existing mask.
    explicit CUserMaskDlg(CConvolutionDlg* owner);
    /// An editor of a new mask of width x height.
    CUserMaskDlg(CConvolutionDlg* owner, int width, int height);
    ~CUserMaskDlg() override;

    /// Creates the modeless window.
    BOOL Create(CWnd* owner);

    void SetMaskPath(const CString& path) { m_maskPath = path; }
    void SetKernelsDir(const CString& folder) { m_kernelsDir = folder; }
    /// Marks the mask as made with "Create new mask".
    void SetNew() { m_isNew = 1; }
    /// Sets the angle, its text and the knob; positive-angle flag from its sign.
    void SetEditorAngle(double degrees);
    /// Opens a mask of one or two layers and makes its working copy; 0 (nothing loaded) for
    /// other files.
    int LoadMask(const char* path);
    /// Makes the working copy of a new mask: `layers` zero layers of F32.
    void CreateNewMask(int width, int height, int layers);
    /// 1: a simple mask, no angle and no views to pick; 2 changes nothing.
    void SetMaskType(int layers);
    /// Asks whether to save a changed mask and does it; 1 when the editor may close.
    int SaveChanges();
    /// Saves under a name the user picks; the editor goes on with a copy of the saved file.
    void SaveAs();

    const CString& MaskPath() const { return m_maskPath; }
    int IsModified() const { return m_modified; }
    int IsNew() const { return m_isNew; }
    int LayerCount() const { return m_layerCount; }
    double EditorAngle() const { return m_angle; }
    /// Layer `index` (0 X, 1 Y) of the working copy; null when there is none.
    const CRDPLayer* WorkingLayer(int index) const;
    CGridCtrl* Grid() const { return m_grid.get(); }
    /// The value shown by the result view at data cell (row, col) for the current angle.
    double ResultValue(int row, int col) const;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    void OnOK() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void PostNcDestroy() override;
    void OnShowX();
    void OnShowY();
    void OnShowResult();
    void OnChangeEditAngle();
    void OnChangeTexts();
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnButtonHelp();
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnMakeWorkingCopy(WPARAM wParam, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void CreateWorkingCopy(int layers);
    void ShowLayer(int index);
    void CloseWorkingLayers();
    void RemoveWorkingCopy();
    /// Puts the working copy, with the caption and description, in place of `target` in one
    /// step; on failure the user is told and `target` is as it was.
    bool CommitWorkingCopy(const CString& target);
    void SendToOwner(WPARAM code, LPARAM data);
    /// Tells the owner that the mask now lies in `target` (created or changed).
    void AnnounceSaved(CString target);

    HWND m_owner = nullptr;
    void** m_rows[2] = {nullptr, nullptr};
    std::unique_ptr<CRDPLayer> m_layers[2];
    std::unique_ptr<CRDPLayer> m_sources[2];  ///< the opened mask while its working copy is made
    int m_haveWorkingCopy = 0;
    int m_layerCount = 1;
    int m_view = 0;  ///< 0 X, 1 Y, 2 the result
    CString m_maskPath;
    int m_width = 0;
    int m_height = 0;
    int m_type = 0;
    double m_angle = 0.0;
    int m_positiveAngle = 1;
    CString m_strAngle = "0";
    int m_modified = 0;
    int m_isNew = 0;
    bool m_savedAsUnannounced = false;  ///< a new mask saved as, not yet announced to the owner
    CString m_kernelsDir;
    int m_newWidth = 7;
    int m_newHeight = 9;
    CString m_caption;
    CString m_description;
    bool m_writing = false;

    std::unique_ptr<CGridCtrl> m_grid;
    CRoundSliderCtrl m_slider;
    CEdit m_angleEdit;
    CMenu m_menu;
    CRect m_initialClient;
    struct Anchor {
        int id;
        CRect rect;
        bool moveX, moveY, growX, growY;
    };
    std::vector<Anchor> m_anchors;
};
