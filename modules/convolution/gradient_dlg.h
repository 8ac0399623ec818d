#pragma once

// The "Derivation" dialog: input and output files, one of seven derivatives (gradient,
// partial, directional, second partial and mixed), the preview component of the gradient
// and the direction of the directional derivative; a preview of the result follows every
// change, and Execute starts CalcGradientJob.

#include "modules/common/tool_dlg.h"
#include "modules/convolution/derivative_job.h"
#include "modules/convolution/gradient_resources.h"
#include "modules/convolution/round_slider_ctrl.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/image_list.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/controls/tool_tip_ctrl.h"

class CCalcGradientDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_CALC_GRADIENT;
    CCalcGradientDlg();
    ~CCalcGradientDlg() override;

    /// Shows the controls of `kind`: the component buttons for the gradient, the angle
    /// (edit, slider, direction picture) for the directional derivative; every other kind
    /// sets the angle back to 0.
    void SetDerivType(int kind);
    /// Selects row `index` of the list and scrolls it into view.
    void SelectListItem(int index);
    /// Shows the picture of the current direction (dF/dx, -dF/dx, dF/dy, -dF/dy or dF/dn).
    void UpdateDirectionIcon();

    int DerivType() const { return m_nDerivType; }
    int Component() const { return m_nComponent; }
    float Angle() const { return m_fAngle; }
    /// The values of the last job started.
    const SGradientParams& Params() const { return m_params; }
    /// Picture i (0..6) of the component buttons and the direction picture.
    HICON Picture(int i) const { return i >= 0 && i < kPictures ? m_icons[i] : nullptr; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    CThread* StartPreview(const CString& input) override;
    void TakePreview(WPARAM code, LPARAM record) override;
    bool CheckParameters(const ToolPaths& paths) override;
    ToolJob MakeJob(const ToolPaths& paths) override;

    LRESULT OnPreviewError(WPARAM, LPARAM text);
    LRESULT OnShowPreviewError(WPARAM, LPARAM);
    void OnChangeEditAngle();
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnRadioModulus();
    void OnRadioArgument();
    void OnRadioDx();
    void OnRadioDy();
    void OnItemchangedListDerivType(NMHDR* header, LRESULT* result);
    DECLARE_MESSAGE_MAP()

private:
    static constexpr int kPictures = 7;

    /// A preview run when an input is chosen (before that the area keeps its text).
    long RequestPreview();
    void SetComponent(int component);
    /// The records' angle: the angle text in radians (0 for a text that is no finite number).
    double RecordAngle() const;

    SGradientParams m_params;
    int m_nComponent = 0;
    CString m_strAngle = "0";
    float m_fAngle = 0.0f;
    int m_nDerivType = 0;
    bool m_ready = false;
    CString m_previewError;

    CListCtrl m_list;
    CStatic m_direction;
    CEdit m_angleEdit;
    CButton m_buttons[4];
    CRoundSliderCtrl m_slider;
    CImageList m_kindImages;
    CImageList m_partImages;
    HICON m_icons[kPictures] = {};
    CToolTipCtrl m_tooltip;
};

/// The preview thread: differentiates the input's reduced preview image and sends the
/// answer (a picture of width x height levels) to the dialog named in the record.
/// 1 done, 0 failed.
UINT GradientPreviewThread(LPVOID record);

/// The gradient's preview: the component the record names of the gradient of `in` (a
/// grid of record->width x record->height doubles, top row first) into `out` (complex
/// doubles), scaled from its minimum to its maximum into the record's pixels; then the
/// record goes to the dialog. 1 done (the record is no longer the caller's), 0 failed.
int GradientPreview(SGradientParams* record, void* const* in, void* const* out);
/// The same for the real kinds 1 to 6 (`out` holds doubles).
int RealPreview(SGradientParams* record, void* const* in, void* const* out);

/// The job Execute starts: the derivative engine for the input's type.
void CalcGradientJob(void* record, CMeterInfo* meter);
