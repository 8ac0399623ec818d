#pragma once

// The surface editor: a non-modal window on a working copy of a surface's depository. The
// General page sets the grid and, per value slot, a linear ramp or a layer of a raster file;
// the Drawing page the named records of the viewers; the Additional page the attenuation and
// the reflection law. Apply hands the copy back as a job with the progress form, since
// resampling a large layer takes a while: the copy, the depository and the record bar refuse
// changes until the job's end reaches the form, and a form closed meanwhile only hides and
// goes when the job has ended.

#include <cstdint>
#include <string>

#include "platform/forms/forms.h"

class TButton;
class TCheckBox;
class TComboBox;
class TEdit;
class TListBox;
class TMemo;
class TOpenDialog;
class TPageControl;
class TRadioGroup;
class TKDepositoryComponent;
class TKFlatCaption;
class TKSurface3D_Depository;
class TKThread;
class TKThreadForm;
struct TSurfaceEditorPlace;
struct TSurfaceLayerSlot;
struct TSurfaceRecord;

class TKSurface3DForm : public TForm {
    DECLARE_TCLASS(TKSurface3DForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TButton* CloseBtn = nullptr;
    TButton* ApplyBtn = nullptr;
    TButton* ResetBtn = nullptr;
    TPageControl* PageControl1 = nullptr;
    TEdit* XEdit = nullptr;
    TEdit* YEdit = nullptr;
    TListBox* LayerList = nullptr;
    TRadioGroup* FillBox = nullptr;
    TEdit* MaxEdit = nullptr;
    TEdit* MinEdit = nullptr;
    TEdit* FileText = nullptr;
    TButton* FileBtn = nullptr;
    TEdit* LayerText = nullptr;
    TButton* LayerBtn = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TCheckBox* EnabledBox = nullptr;
    TCheckBox* VisibleBox = nullptr;
    TCheckBox* SmoothBox = nullptr;
    TComboBox* LightBox = nullptr;
    TComboBox* DrawBox = nullptr;
    TEdit* StepEdit = nullptr;
    TKDepositoryComponent* KDepositoryComponent1 = nullptr;
    TEdit* AEdit1 = nullptr;
    TEdit* AEdit2 = nullptr;
    TEdit* AEdit3 = nullptr;
    TEdit* ReflectionEdit = nullptr;
    TMemo* ReflectionMemo = nullptr;
    TButton* ChangeBtn = nullptr;
    TButton* Properties = nullptr;

    /// Edits depository (not owned): the copy takes its settings, the caption the surface's
    /// name, and the form the saved page, record and place, shown or not.
    void Open(TKSurface3D_Depository* depository, bool show);
    TKSurface3D_Depository* Edited() const { return m_edited; }
    TKSurface3D_Depository* Copy() const { return m_copy; }
    /// True from Apply until the job's end has reached the form.
    bool Applying() const { return m_progress != nullptr; }
    /// The window's place and the view shown (page, slot, drawing, record) into place.
    void KeepView(TSurfaceEditorPlace& place) const;
    /// Shows the copy's values on all three pages.
    void ShowValues();
    void WndProc(TMessage& message) override;

protected:
    TKSurface3DForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;

    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void XEditChange(TObject* sender);
    void XEditKeyPress(TObject* sender, char& key);
    void MaxEditChange(TObject* sender);
    void MaxEditKeyPress(TObject* sender, char& key);
    void LayerListClick(TObject* sender);
    void FillBoxClick(TObject* sender);
    void FileBtnClick(TObject* sender);
    void LayerBtnClick(TObject* sender);
    void EnabledBoxClick(TObject* sender);
    void LightBoxChange(TObject* sender);
    void DrawBoxChange(TObject* sender);
    void ReflectionMemoChange(TObject* sender);
    void ReflectionEditChange(TObject* sender);
    void ChangeBtnClick(TObject* sender);
    void PropertiesClick(TObject* sender);
    void ApplyBtnClick(TObject* sender);
    void ResetBtnClick(TObject* sender);
    void CloseBtnClick(TObject* sender);
    void KDepositoryComponent1Change(TObject* sender);
    void KDepositoryComponent1CurrentRecordChange(TObject* sender);

private:
    /// Edits are refused while the form shows values and while an apply runs.
    bool Refused() const;
    TSurfaceLayerSlot& CurrentSlot() const;
    TSurfaceRecord* CurrentRecord() const;
    void ShowGeneral();
    void ShowDrawing();
    void ShowAdditional();
    void Changed();
    /// The progress form has handled the job's end: the flags are cleared, a failure is told
    /// and leaves Apply available, a hidden form goes.
    void EndApply(int state, const std::string& error);
    /// Stops a running apply job and waits for it (the form is going under it).
    void StopApply();
    /// The law's events while its editor runs: a change enables Apply.
    void LawEvent(TObject* sender, int code, std::intptr_t param);

    TKSurface3D_Depository* m_edited = nullptr;
    TKSurface3D_Depository* m_copy = nullptr;
    /// The progress form of the running apply: alive until it has told this form the end.
    TKThreadForm* m_progress = nullptr;
    bool m_displaying = false;
};
