#include "plugin3d/forms/k_light_forms.h"

#include <cstring>

#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/edit_keys.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_save_capture.h"
#include "plugin3d/forms/k_light_depositories.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKLightEditorForm, TForm)
IMPLEMENT_TCLASS(TKPointSpringLight3DForm, TKLightEditorForm)
IMPLEMENT_TCLASS(TKAmbientLight3DForm, TKLightEditorForm)

namespace {

constexpr TLightRecordField kPointFields[] = {
    {"EditC1", offsetof(TPointLightRecord, Red)},
    {"EditC2", offsetof(TPointLightRecord, Green)},
    {"EditC3", offsetof(TPointLightRecord, Blue)},
    {"EditA1", offsetof(TPointLightRecord, Constant)},
    {"EditA2", offsetof(TPointLightRecord, Linear)},
    {"EditA3", offsetof(TPointLightRecord, Quadratic)},
    {"EditS1", offsetof(TPointLightRecord, SpotExponent)},
    {"EditS2", offsetof(TPointLightRecord, SpotCutOff)},
};
constexpr TLightRecordField kAmbientFields[] = {
    {"RedEdit", offsetof(TAmbientLightRecord, Red)},
    {"GreenEdit", offsetof(TAmbientLightRecord, Green)},
    {"BlueEdit", offsetof(TAmbientLightRecord, Blue)},
};

double ReadDouble(const std::uint8_t* record, int offset)
{
    double value = 0;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

}  // namespace

std::vector<THandler> TKLightEditorForm::Handlers()
{
    return {FORM_HANDLER(FormCreate),    FORM_HANDLER(FormDestroy),
            FORM_HANDLER(FormClose),     FORM_HANDLER(EditChange),
            FORM_HANDLER(EditKeyPress),  FORM_HANDLER(EnabledBoxClick),
            FORM_HANDLER(CloseBtnClick), FORM_HANDLER(ApplyBtnClick),
            FORM_HANDLER(ResetBtnClick), FORM_HANDLER(BarCurrentRecordChange),
            FORM_HANDLER(BarChange)};
}

void TKLightEditorForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    KDepositoryComponent1 = FindControl<TKDepositoryComponent>("KDepositoryComponent1");
    EnabledBox = FindControl<TCheckBox>("EnabledBox");
    CloseBtn = FindControl<TButton>("CloseBtn");
    ApplyBtn = FindControl<TButton>("ApplyBtn");
    ResetBtn = FindControl<TButton>("ResetBtn");
    m_edits.clear();
    for (const TLightRecordField& field : Fields()) m_edits.push_back(FindControl<TEdit>(field.edit));
}

void TKLightEditorForm::FormCreate(TObject*)
{
    KFlatCaption1->SetHeight(24);
    m_copy = NewCopy();
    m_copy->SetEditorForm(this, true);
    KDepositoryComponent1->OnCurrentRecordChange =
        TNotifyEvent::Of<&TKLightEditorForm::BarCurrentRecordChange>(this);
    KDepositoryComponent1->OnChange = TNotifyEvent::Of<&TKLightEditorForm::BarChange>(this);
    KDepositoryComponent1->SetDepository(m_copy);
    ApplyBtn->SetEnabled(false);
    AddSaveCapture(this, [this] {
        if (!m_edited) return;
        KeepPlace();
        m_edited->Place().Depth = HandleAllocated() ? WindowZDepth(Handle()) : 0;
    });
}

void TKLightEditorForm::KeepPlace()
{
    if (!m_edited) return;
    const RECT r = BoundsRect();
    m_edited->Place().Left = r.left;
    m_edited->Place().Top = r.top;
}

void TKLightEditorForm::FormDestroy(TObject*)
{
    RemoveSaveCapture(this);
    if (m_edited && m_copy) {
        TLightEditorPlace& place = m_edited->Place();
        const TLightEditorPlace& kept = m_copy->Place();
        place.Left = kept.Left;
        place.Top = kept.Top;
        place.KeepOnTop = kept.KeepOnTop;
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

void TKLightEditorForm::FormClose(TObject*, TCloseAction& action)
{
    if (m_copy) {
        TLightEditorPlace& place = m_copy->Place();
        const RECT r = BoundsRect();
        place.Left = r.left;
        place.Top = r.top;
        place.KeepOnTop = KFlatCaption1->IsStayOnTop() ? 1 : 0;
        place.Drawing = KDepositoryComponent1->CurrentDrawing();
        place.Record = KDepositoryComponent1->CurrentRecord();
    }
    action = caFree;
}

void TKLightEditorForm::Open(TKLightEditorDepository* depository, bool show)
{
    m_edited = depository;
    KDepositoryComponent1->SetConstruction(depository->Construction());
    m_copy->Assign(depository);
    TKCustomConstruction3D* light = depository->Construction();
    KFlatCaption1->SetCaption((light ? light->Name() : std::string()) + " : Properties");
    const TLightEditorPlace place = m_copy->Place();
    KFlatCaption1->SetStayOnTop(place.KeepOnTop != 0);
    KDepositoryComponent1->Refresh();
    KDepositoryComponent1->SetCurrentDrawing(place.Drawing);
    KDepositoryComponent1->SetCurrentRecord(place.Record);
    ShowRecord();
    ApplyBtn->SetEnabled(false);
    PlaceFormOnScreen(this, place.Left, place.Top, 0, 0, place.KeepOnTop != 0, show);
}

std::uint8_t* TKLightEditorForm::CurrentRecord() const
{
    if (!m_copy) return nullptr;
    return static_cast<std::uint8_t*>(m_copy->GetRecordData(KDepositoryComponent1->CurrentRecord()));
}

void TKLightEditorForm::ShowRecord()
{
    const bool was = m_displaying;
    m_displaying = true;
    const std::uint8_t* record = CurrentRecord();
    const auto fields = Fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        std::string text;
        if (record) FloatToStrDot(12, 6, text, ReadDouble(record, fields[k].offset));
        m_edits[k]->SetText(text);
    }
    std::int32_t enabled = 0;
    if (record) std::memcpy(&enabled, record + EnabledOffset(), sizeof enabled);
    EnabledBox->SetChecked(enabled != 0);
    m_displaying = was;
}

void TKLightEditorForm::BarCurrentRecordChange(TObject*)
{
    ShowRecord();
}

void TKLightEditorForm::BarChange(TObject*)
{
    ApplyBtn->SetEnabled(true);
}

void TKLightEditorForm::EditChange(TObject* sender)
{
    std::uint8_t* record = CurrentRecord();
    if (m_displaying || !record) return;
    const auto fields = Fields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (sender != m_edits[k]) continue;
        double value = 0;
        if (!StrToFloatDot(m_edits[k]->Text(), value)) return;  // not a number: nothing changes
        std::memcpy(record + fields[k].offset, &value, sizeof value);
        ApplyBtn->SetEnabled(true);
    }
}

void TKLightEditorForm::EditKeyPress(TObject* sender, char& key)
{
    if (auto* edit = ObjectAs<TEdit>(sender)) FilterRealKey(edit->Text(), key);
}

void TKLightEditorForm::EnabledBoxClick(TObject*)
{
    std::uint8_t* record = CurrentRecord();
    if (m_displaying || !record) return;
    std::int32_t enabled = 0;
    std::memcpy(&enabled, record + EnabledOffset(), sizeof enabled);
    if ((enabled != 0) == EnabledBox->Checked()) return;
    enabled = EnabledBox->Checked() ? -1 : 0;
    std::memcpy(record + EnabledOffset(), &enabled, sizeof enabled);
    ApplyBtn->SetEnabled(true);
}

void TKLightEditorForm::CloseBtnClick(TObject*)
{
    Close();
}

void TKLightEditorForm::ApplyBtnClick(TObject*)
{
    if (m_edited) m_edited->ApplyEdited(m_copy);
    ApplyBtn->SetEnabled(false);
}

void TKLightEditorForm::ResetBtnClick(TObject*)
{
    if (!m_edited) return;
    m_copy->Assign(m_edited);
    KDepositoryComponent1->Refresh();
    ApplyBtn->SetEnabled(false);
}

std::span<const TLightRecordField> TKPointSpringLight3DForm::Fields() const
{
    return kPointFields;
}

int TKPointSpringLight3DForm::EnabledOffset() const
{
    return offsetof(TPointLightRecord, Enabled);
}

TKLightEditorDepository* TKPointSpringLight3DForm::NewCopy() const
{
    return TKPointSpringLight3D_Depository::New();
}

std::span<const TLightRecordField> TKAmbientLight3DForm::Fields() const
{
    return kAmbientFields;
}

int TKAmbientLight3DForm::EnabledOffset() const
{
    return offsetof(TAmbientLightRecord, Enabled);
}

TKLightEditorDepository* TKAmbientLight3DForm::NewCopy() const
{
    return TKAmbientLight3D_Depository::New();
}
