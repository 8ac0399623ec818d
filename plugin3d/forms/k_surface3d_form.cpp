#include "plugin3d/forms/k_surface3d_form.h"

#include <algorithm>
#include <filesystem>

#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/stdctrls.h"
#include "platform/window/modal.h"
#include "plugin3d/forms/edit_keys.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_save_capture.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/k_thread_form.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKSurface3DForm, TForm)

namespace {

constexpr char kApplyTitle[] = "Apply changes ...";
constexpr char kApplyFailed[] = "The changes could not be applied.";
constexpr char kApplyCaption[] = "KSurface 3D Properties";
constexpr char kNoLaw[] = " - No Reflection Law - ";
// The apply job's end, posted by the worker to the form.
constexpr std::size_t kCountDigits = 7;

std::string NumberText(double value)
{
    std::string text;
    FloatToStrDot(12, 6, text, value);
    return text;
}

std::string ExpandedPath(const std::string& name)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full.lexically_normal().string();
}

}  // namespace

std::vector<THandler> TKSurface3DForm::Handlers()
{
    return {FORM_HANDLER(FormCreate),
            FORM_HANDLER(FormDestroy),
            FORM_HANDLER(FormClose),
            FORM_HANDLER(XEditChange),
            FORM_HANDLER(XEditKeyPress),
            FORM_HANDLER(MaxEditChange),
            FORM_HANDLER(MaxEditKeyPress),
            FORM_HANDLER(LayerListClick),
            FORM_HANDLER(FillBoxClick),
            FORM_HANDLER(FileBtnClick),
            FORM_HANDLER(LayerBtnClick),
            FORM_HANDLER(EnabledBoxClick),
            FORM_HANDLER(LightBoxChange),
            FORM_HANDLER(DrawBoxChange),
            FORM_HANDLER(ReflectionMemoChange),
            FORM_HANDLER(ReflectionEditChange),
            FORM_HANDLER(ChangeBtnClick),
            FORM_HANDLER(PropertiesClick),
            FORM_HANDLER(ApplyBtnClick),
            FORM_HANDLER(ResetBtnClick),
            FORM_HANDLER(CloseBtnClick),
            FORM_HANDLER(KDepositoryComponent1Change),
            FORM_HANDLER(KDepositoryComponent1CurrentRecordChange)};
}

void TKSurface3DForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    CloseBtn = FindControl<TButton>("CloseBtn");
    ApplyBtn = FindControl<TButton>("ApplyBtn");
    ResetBtn = FindControl<TButton>("ResetBtn");
    PageControl1 = FindControl<TPageControl>("PageControl1");
    XEdit = FindControl<TEdit>("XEdit");
    YEdit = FindControl<TEdit>("YEdit");
    LayerList = FindControl<TListBox>("LayerList");
    FillBox = FindControl<TRadioGroup>("FillBox");
    MaxEdit = FindControl<TEdit>("MaxEdit");
    MinEdit = FindControl<TEdit>("MinEdit");
    FileText = FindControl<TEdit>("FileText");
    FileBtn = FindControl<TButton>("FileBtn");
    LayerText = FindControl<TEdit>("LayerText");
    LayerBtn = FindControl<TButton>("LayerBtn");
    OpenDialog1 = FindControl<TOpenDialog>("OpenDialog1");
    EnabledBox = FindControl<TCheckBox>("EnabledBox");
    VisibleBox = FindControl<TCheckBox>("VisibleBox");
    SmoothBox = FindControl<TCheckBox>("SmoothBox");
    LightBox = FindControl<TComboBox>("LightBox");
    DrawBox = FindControl<TComboBox>("DrawBox");
    StepEdit = FindControl<TEdit>("StepEdit");
    KDepositoryComponent1 = FindControl<TKDepositoryComponent>("KDepositoryComponent1");
    AEdit1 = FindControl<TEdit>("AEdit1");
    AEdit2 = FindControl<TEdit>("AEdit2");
    AEdit3 = FindControl<TEdit>("AEdit3");
    ReflectionEdit = FindControl<TEdit>("ReflectionEdit");
    ReflectionMemo = FindControl<TMemo>("ReflectionMemo");
    ChangeBtn = FindControl<TButton>("ChangeBtn");
    Properties = FindControl<TButton>("Properties");
}

void TKSurface3DForm::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
    m_copy = TKSurface3D_Depository::New();
    m_copy->SetEditorForm(this, true);
    KDepositoryComponent1->OnCurrentRecordChange =
        TNotifyEvent::Of<&TKSurface3DForm::KDepositoryComponent1CurrentRecordChange>(this);
    KDepositoryComponent1->OnChange = TNotifyEvent::Of<&TKSurface3DForm::KDepositoryComponent1Change>(this);
    KDepositoryComponent1->SetDepository(m_copy);
    ApplyBtn->SetEnabled(false);
    // A save keeps the view seen now and the window's depth, taken here before its job runs.
    AddSaveCapture(this, [this] {
        if (!m_edited) return;
        KeepView(m_edited->Place());
        m_edited->Place().Depth = HandleAllocated() ? WindowZDepth(Handle()) : 0;
    });
}

void TKSurface3DForm::FormDestroy(TObject*)
{
    RemoveSaveCapture(this);
    StopApply();
    if (m_edited && m_copy) {
        TSurfaceEditorPlace& place = m_edited->Place();
        const TSurfaceEditorPlace& kept = m_copy->Place();
        place.Left = kept.Left;
        place.Top = kept.Top;
        place.KeepOnTop = kept.KeepOnTop;
        place.Page = kept.Page;
        place.Slot = kept.Slot;
        place.Drawing = kept.Drawing;
        place.Record = kept.Record;
        place.Depth = 0;
        m_edited->SetEditorForm(nullptr, false);
    }
    m_edited = nullptr;
    KDepositoryComponent1->SetConstruction(nullptr);
    KDepositoryComponent1->SetDepository(nullptr);
    FreeAndNil(m_copy);
}

void TKSurface3DForm::FormClose(TObject*, TCloseAction& action)
{
    // The job still reads the copy: the form hides, and goes when the job's end reaches it.
    if (Applying()) {
        action = caHide;
        return;
    }
    if (m_copy) KeepView(m_copy->Place());
    action = caFree;
}

void TKSurface3DForm::KeepView(TSurfaceEditorPlace& place) const
{
    const RECT r = BoundsRect();
    place.Left = r.left;
    place.Top = r.top;
    place.KeepOnTop = KFlatCaption1->IsStayOnTop() ? 1 : 0;
    place.Page = std::max(PageControl1->ActivePageIndex(), 0);
    if (m_copy) place.Slot = m_copy->Place().Slot;
    place.Drawing = KDepositoryComponent1->CurrentDrawing();
    place.Record = KDepositoryComponent1->CurrentRecord();
}

void TKSurface3DForm::Open(TKSurface3D_Depository* depository, bool show)
{
    m_edited = depository;
    KDepositoryComponent1->SetConstruction(depository->Construction());
    m_copy->Assign(depository);
    TKCustomConstruction3D* surface = depository->Construction();
    KFlatCaption1->SetCaption((surface ? surface->Name() : std::string()) + " : Properties");
    const TSurfaceEditorPlace place = m_copy->Place();
    PageControl1->SetActivePageIndex(std::clamp(place.Page, 0, PageControl1->PageCount() - 1));
    KFlatCaption1->SetStayOnTop(place.KeepOnTop != 0);
    KDepositoryComponent1->Refresh();
    KDepositoryComponent1->SetCurrentDrawing(place.Drawing);
    KDepositoryComponent1->SetCurrentRecord(place.Record);
    ShowValues();
    ApplyBtn->SetEnabled(false);
    PlaceFormOnScreen(this, place.Left, place.Top, 0, 0, place.KeepOnTop != 0, show);
}

// --- showing -------------------------------------------------------------------------------

void TKSurface3DForm::ShowValues()
{
    ShowGeneral();
    ShowDrawing();
    ShowAdditional();
}

TSurfaceLayerSlot& TKSurface3DForm::CurrentSlot() const
{
    TSurfaceEditorPlace& place = m_copy->Place();
    place.Slot = std::clamp(place.Slot, 0, kSurfaceSlots - 1);
    return m_copy->EditSlot(place.Slot);
}

TSurfaceRecord* TKSurface3DForm::CurrentRecord() const
{
    if (!m_copy) return nullptr;
    return static_cast<TSurfaceRecord*>(m_copy->GetRecordData(KDepositoryComponent1->CurrentRecord()));
}

void TKSurface3DForm::ShowGeneral()
{
    const bool was = m_displaying;
    m_displaying = true;
    XEdit->SetText(std::to_string(m_copy->XCount()));
    YEdit->SetText(std::to_string(m_copy->YCount()));
    const TSurfaceLayerSlot& slot = CurrentSlot();
    LayerList->SetItemIndex(m_copy->Place().Slot);
    FillBox->SetItemIndex(slot.FromFile ? 1 : 0);
    MaxEdit->SetText(NumberText(slot.Max));
    MinEdit->SetText(NumberText(slot.Min));
    FileText->SetText(slot.FileName);
    LayerText->SetText(slot.LayerName);
    FileBtn->SetEnabled(slot.FromFile != 0);
    LayerBtn->SetEnabled(slot.FromFile != 0);
    m_displaying = was;
}

void TKSurface3DForm::ShowDrawing()
{
    const bool was = m_displaying;
    m_displaying = true;
    const TSurfaceRecord* record = CurrentRecord();
    EnabledBox->SetChecked(record && record->Enabled != 0);
    VisibleBox->SetChecked(record && record->Visible != 0);
    SmoothBox->SetChecked(record && record->Smooth != 0);
    LightBox->SetItemIndex(record ? record->Lighting : 0);
    DrawBox->SetItemIndex(record ? record->Mode - 1 : 0);
    StepEdit->SetText(std::to_string(record ? record->Step : 0));
    m_displaying = was;
}

void TKSurface3DForm::ShowAdditional()
{
    const bool was = m_displaying;
    m_displaying = true;
    double c0 = 0, c1 = 0, c2 = 0;
    m_copy->GetAttenuation(c0, c1, c2);
    AEdit1->SetText(NumberText(c0));
    AEdit2->SetText(NumberText(c1));
    AEdit3->SetText(NumberText(c2));
    ReflectionEdit->SetText(m_copy->Law() ? m_copy->Law()->Name() : std::string(kNoLaw));
    ReflectionMemo->SetText(m_copy->ReflectionText());
    m_displaying = was;
}

// --- edits ---------------------------------------------------------------------------------

bool TKSurface3DForm::Refused() const
{
    return m_displaying || !m_copy || m_copy->IsBusy();
}

void TKSurface3DForm::Changed()
{
    ApplyBtn->SetEnabled(true);
}

void TKSurface3DForm::XEditChange(TObject* sender)
{
    if (Refused()) return;
    auto* edit = ObjectAs<TEdit>(sender);
    int value = 0;
    if (!edit || !StrToIntDot(edit->Text(), value)) return;  // not a number: nothing changes
    if (edit == XEdit) {
        m_copy->SetCounts(value, m_copy->YCount());
    } else if (edit == YEdit) {
        m_copy->SetCounts(m_copy->XCount(), value);
    } else if (edit == StepEdit) {
        TSurfaceRecord* record = m_copy->RecordCount() > 0 ? CurrentRecord() : nullptr;
        if (!record) return;
        record->Step = value;
    } else {
        return;
    }
    Changed();
}

void TKSurface3DForm::XEditKeyPress(TObject* sender, char& key)
{
    if (auto* edit = ObjectAs<TEdit>(sender)) FilterCountKey(edit->Text(), key, kCountDigits);
}

void TKSurface3DForm::MaxEditChange(TObject* sender)
{
    if (Refused()) return;
    auto* edit = ObjectAs<TEdit>(sender);
    double value = 0;
    if (!edit || !StrToFloatDot(edit->Text(), value)) return;
    double c[3];
    m_copy->GetAttenuation(c[0], c[1], c[2]);
    if (edit == MaxEdit) {
        CurrentSlot().Max = value;
    } else if (edit == MinEdit) {
        CurrentSlot().Min = value;
    } else if (edit == AEdit1 || edit == AEdit2 || edit == AEdit3) {
        c[edit == AEdit1 ? 0 : edit == AEdit2 ? 1 : 2] = value;
        m_copy->SetAttenuation(c[0], c[1], c[2]);
    } else {
        return;
    }
    Changed();
}

void TKSurface3DForm::MaxEditKeyPress(TObject* sender, char& key)
{
    if (auto* edit = ObjectAs<TEdit>(sender)) FilterRealKey(edit->Text(), key);
}

void TKSurface3DForm::LayerListClick(TObject*)
{
    if (Refused() || LayerList->ItemIndex() < 0) return;
    m_copy->Place().Slot = LayerList->ItemIndex();
    ShowGeneral();
}

void TKSurface3DForm::FillBoxClick(TObject*)
{
    if (Refused() || FillBox->ItemIndex() < 0) return;
    TSurfaceLayerSlot& slot = CurrentSlot();
    const std::int32_t fromFile = FillBox->ItemIndex() == 1 ? -1 : 0;
    if (fromFile == slot.FromFile) return;
    slot.FromFile = fromFile;
    FileBtn->SetEnabled(fromFile != 0);
    LayerBtn->SetEnabled(fromFile != 0);
    Changed();
}

void TKSurface3DForm::FileBtnClick(TObject*)
{
    if (Refused()) return;
    TSurfaceLayerSlot& slot = CurrentSlot();
    OpenDialog1->SetFileName(slot.FileName);
    if (!OpenDialog1->Execute() || Refused()) return;
    slot.FileName = ExpandedPath(OpenDialog1->FileName());
    slot.Missing = false;
    // The second layer is the usual height layer; a file with one layer clamps it to 0.
    slot.LayerIndex = 1;
    TKSurface3D_Depository::RefreshLayerName(slot);
    ShowGeneral();
    Changed();
}

void TKSurface3DForm::LayerBtnClick(TObject*)
{
    if (Refused()) return;
    TSurfaceLayerSlot& slot = CurrentSlot();
    int index = slot.LayerIndex;
    if (!PickLayer(slot.FileName, index) || Refused()) return;
    slot.LayerIndex = index;
    TKSurface3D_Depository::RefreshLayerName(slot);
    ShowGeneral();
    Changed();
}

void TKSurface3DForm::EnabledBoxClick(TObject* sender)
{
    TSurfaceRecord* record = Refused() ? nullptr : CurrentRecord();
    auto* box = ObjectAs<TCheckBox>(sender);
    if (!record || !box) return;
    std::uint8_t* byte = box == EnabledBox   ? &record->Enabled
                         : box == VisibleBox ? &record->Visible
                         : box == SmoothBox  ? &record->Smooth
                                             : nullptr;
    if (!byte || (*byte != 0) == box->Checked()) return;
    *byte = box->Checked() ? 1 : 0;
    Changed();
}

void TKSurface3DForm::LightBoxChange(TObject*)
{
    TSurfaceRecord* record = Refused() ? nullptr : CurrentRecord();
    if (!record || LightBox->ItemIndex() < 0) return;
    record->Lighting = LightBox->ItemIndex();
    Changed();
}

void TKSurface3DForm::DrawBoxChange(TObject*)
{
    TSurfaceRecord* record = Refused() ? nullptr : CurrentRecord();
    if (!record || DrawBox->ItemIndex() < 0) return;
    record->Mode = DrawBox->ItemIndex() + 1;
    Changed();
}

void TKSurface3DForm::ReflectionMemoChange(TObject*)
{
    if (Refused()) return;
    m_copy->SetReflectionText(ReflectionMemo->Text());
    Changed();
}

void TKSurface3DForm::ReflectionEditChange(TObject*)
{
    if (Refused() || !m_copy->Law()) return;
    m_copy->Law()->SetName(ReflectionEdit->Text());
    Changed();
}

void TKSurface3DForm::ChangeBtnClick(TObject*)
{
    if (Refused()) return;
    TClass lawClass = m_copy->Law() ? m_copy->Law()->ClassType() : nullptr;
    if (!PickReflectionLaw(TKSimpleDiffuseReflection::StaticClass(), lawClass) || Refused()) return;
    m_copy->SetLaw(nullptr);
    if (lawClass && lawClass->make) {
        TObject* made = nullptr;
        try {
            made = lawClass->Construct(nullptr);
        } catch (...) {
            // A law that cannot be made leaves the copy without one.
            made = nullptr;
        }
        auto* law = dynamic_cast<TKCustomReflectionLaw*>(made);
        if (made && !law) FreeObject(made);
        m_copy->SetLaw(law);
    }
    ShowAdditional();
    Changed();
}

void TKSurface3DForm::LawEvent(TObject*, int code, std::intptr_t)
{
    if (code == kevPictureChanged) Changed();
}

void TKSurface3DForm::PropertiesClick(TObject*)
{
    if (Refused() || !m_edited || !m_copy->Law()) return;
    TKCustomReflectionLaw* law = m_copy->Law();
    const auto listener = TKEventHandler::Of<&TKSurface3DForm::LawEvent>(this);
    law->Events().Add(listener);
    TKObjectRequest request;
    request.Object = law;
    request.Container = m_copy;
    request.Kind = korOpen;
    try {
        SendObjectRequest(law->ClassType(), request);
    } catch (...) {
        law->Events().Remove(listener);
        throw;
    }
    law->Events().Remove(listener);
}

void TKSurface3DForm::KDepositoryComponent1Change(TObject*)
{
    Changed();
}

void TKSurface3DForm::KDepositoryComponent1CurrentRecordChange(TObject*)
{
    ShowDrawing();
}

// --- commands ------------------------------------------------------------------------------

void TKSurface3DForm::ApplyBtnClick(TObject*)
{
    if (!m_edited || !m_copy || m_copy->IsBusy() || Applying()) return;
    ApplyBtn->SetEnabled(false);
    // Set here, before the job starts: no edit or Reset can slip in between.
    m_copy->SetBusy(true);
    m_edited->SetBusy(true);
    KDepositoryComponent1->SetReadOnly(true);
    TKSurface3D_Depository* copy = m_copy;
    TKThreadParams* params = TKThreadParams::NewWith(&copy, static_cast<int>(sizeof copy));
    try {
        // The end comes from the progress form itself, once, after it has handled it: no
        // second message whose order against the form's own could matter.
        m_progress = RunJobInForm(kApplyTitle, params, {},
                                  TKJob::Of<&TKSurface3D_Depository::ApplyJob>(m_edited), false);
        m_progress->SetOnEnded([this](int state, const std::string& error) { EndApply(state, error); });
    } catch (...) {
        m_progress = nullptr;
        m_copy->SetBusy(false);
        m_edited->SetBusy(false);
        KDepositoryComponent1->SetReadOnly(false);
        ApplyBtn->SetEnabled(true);
        throw;
    }
}

void TKSurface3DForm::WndProc(TMessage& message)
{
    TForm::WndProc(message);
}

void TKSurface3DForm::EndApply(int state, const std::string& error)
{
    if (!m_progress) return;
    m_progress = nullptr;
    if (m_copy) m_copy->SetBusy(false);
    if (m_edited) m_edited->SetBusy(false);
    KDepositoryComponent1->SetReadOnly(false);
    if (!Visible()) {
        Close();
        return;
    }
    if (state == ktsDone) return;
    // The surface kept what it had: the edits are still to be applied.
    ApplyBtn->SetEnabled(true);
    if (state == ktsFailed)
        Application->MessageBox(error.empty() ? std::string(kApplyFailed) : error, kApplyCaption,
                                MB_OK | MB_ICONERROR);
}

void TKSurface3DForm::StopApply()
{
    TKThreadForm* progress = m_progress;
    if (!progress) return;
    // The form goes while the job runs (its depository is freed): the job must not outlive
    // the copy it reads. The progress form has not told the end yet, so it is still alive.
    m_progress = nullptr;
    progress->DropOnEnded();
    if (TKThread* thread = progress->Thread()) thread->Join();
    if (m_copy) m_copy->SetBusy(false);
    if (m_edited) m_edited->SetBusy(false);
}

void TKSurface3DForm::ResetBtnClick(TObject*)
{
    if (!m_edited || Refused()) return;
    const int page = PageControl1->ActivePageIndex();
    const std::int32_t slot = m_copy->Place().Slot;
    m_copy->Assign(m_edited);
    KDepositoryComponent1->Refresh();
    m_copy->Place().Slot = slot;
    if (page >= 0) PageControl1->SetActivePageIndex(page);
    ShowValues();
    ApplyBtn->SetEnabled(false);
}

void TKSurface3DForm::CloseBtnClick(TObject*)
{
    Close();
}
