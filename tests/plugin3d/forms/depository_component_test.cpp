// The record bar on a form: what an empty depository shows, the buttons' tables, the clamps of
// the current drawing and record, the combo boxes on "All Drawings", read-only refusals and the
// layout of both metric sets.

#include <gtest/gtest.h>

#include "platform/controls/list_ctrl.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"
#include "platform/resources/module_resources.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_light_depositories.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;

namespace {

constexpr TPropertyResource kEditorMetrics[] = {{"BevelPos", "135"}, {"BoxPos", "55"}};
constexpr TControlResource kControls[] = {
    {.className = "TKDepositoryComponent",
     .name = "KDepositoryComponent1",
     .bounds = {4, 4, 300, 170},
     .properties = kEditorMetrics},
};
constexpr TFormResource kForms[] = {
    {.name = "TBARTESTFORM",
     .caption = "Record bar",
     .clientWidth = 308,
     .clientHeight = 178,
     .controls = kControls},
};
constexpr platform::ModuleResources kResources{.module = "record bar test", .forms = kForms};
const platform::ModuleResourceRegistration kRegistration(kResources);

class TBarTestForm : public TForm {
    DECLARE_TCLASS(TBarTestForm)

    TKDepositoryComponent* Bar = nullptr;

protected:
    TBarTestForm() = default;
    void Loaded() override { Bar = FindControl<TKDepositoryComponent>("KDepositoryComponent1"); }
};
IMPLEMENT_TCLASS(TBarTestForm, TForm)

class RecordBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.reset(TBarTestForm::New(nullptr));
        form->Show();
        PumpEvents();
        bar = form->Bar;
        ASSERT_NE(bar, nullptr);
        bar->OnChange = TNotifyEvent::Of<&RecordBar::OnChange>(this);
        bar->OnCurrentRecordChange = TNotifyEvent::Of<&RecordBar::OnRecord>(this);
        bar->OnCurrentDrawingChange = TNotifyEvent::Of<&RecordBar::OnDrawing>(this);
        bar->SetDepository(depository.get());
        changes = records = drawings = 0;
    }
    void TearDown() override
    {
        bar->SetDepository(nullptr);
        form.reset();
    }
    void OnChange(TObject*) { ++changes; }
    void OnRecord(TObject*) { ++records; }
    void OnDrawing(TObject*) { ++drawings; }
    std::vector<bool> Enabled() const
    {
        return {bar->DrawingDeleteBtn->Enabled(), bar->DrawingUpBtn->Enabled(),
                bar->DrawingDownBtn->Enabled(),   bar->RecordDeleteBtn->Enabled(),
                bar->RecordUpBtn->Enabled(),      bar->RecordDownBtn->Enabled()};
    }

    TOwned<TKPointSpringLight3D_Depository> depository{TKPointSpringLight3D_Depository::New()};
    TOwned<TBarTestForm> form;
    TKDepositoryComponent* bar = nullptr;
    int changes = 0, records = 0, drawings = 0;
};

TEST_F(RecordBar, EmptyShowsAllDrawingsAndAddMakesANamedRecord)
{
    ASSERT_EQ(bar->DrawingList->Count(), 1);
    EXPECT_EQ(bar->DrawingList->Item(0), "All Drawings");
    EXPECT_EQ(bar->DrawingList->ItemIndex(), 0);
    EXPECT_EQ(bar->RecordList->Count(), 0);
    EXPECT_EQ(Enabled(), std::vector<bool>(6, false));
    EXPECT_TRUE(bar->RecordAddBtn->Enabled());
    EXPECT_TRUE(bar->DrawingAddBtn->Enabled());

    bar->RecordAddBtn->Click();
    ASSERT_EQ(depository->RecordCount(), 1);
    EXPECT_EQ(depository->GetRecordName(0), kNewRecordName);
    EXPECT_EQ(bar->CurrentRecord(), 0);
    EXPECT_EQ(bar->RecordList->Item(0)->Caption(), "No Named Record");
    EXPECT_TRUE(bar->RecordList->Item(0)->Selected());
    EXPECT_EQ(bar->Box0->Count(), 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(records, 1);
    bar->RecordAddBtn->Click();
    bar->RecordAddBtn->Click();
    EXPECT_EQ(bar->CurrentRecord(), 2);
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, true, true, false}));
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-record-bar").empty());
    // Record names have the list's whole width, not a narrow column that cuts them short.
    auto* recordWindow = static_cast<CListCtrl*>(bar->RecordList->Window());
    CRect item, client;
    ASSERT_TRUE(recordWindow->GetItemRect(0, &item, LVIR_BOUNDS));
    recordWindow->GetClientRect(&client);
    EXPECT_GE(item.Width(), client.Width() - 4);

    // Deleting the last of three selects the new last one; deleting the only one leaves none.
    bar->RecordDeleteBtn->Click();
    EXPECT_EQ(depository->RecordCount(), 2);
    EXPECT_EQ(bar->CurrentRecord(), 1);
    bar->RecordUpBtn->Click();
    EXPECT_EQ(bar->CurrentRecord(), 0);
    bar->RecordDeleteBtn->Click();
    EXPECT_EQ(bar->CurrentRecord(), 0);
    bar->RecordDeleteBtn->Click();
    EXPECT_EQ(depository->RecordCount(), 0);
    EXPECT_EQ(bar->CurrentRecord(), -1);
    EXPECT_EQ(depository->GetRecordData(bar->CurrentRecord()), nullptr);  // the form's no-record state
}

TEST_F(RecordBar, CurrentDrawingIsClampedAndCombosSetTheDefaultsOnAllDrawings)
{
    TOwned<TKCustomDrawSystem3D> one(TKCustomDrawSystem3D::New());
    TOwned<TKCustomDrawSystem3D> two(TKCustomDrawSystem3D::New());
    one->SetName("Viewer 1");
    two->SetName("Viewer 2");
    depository->SetRecordCount(3);
    depository->AddDrawing(one.get());
    depository->AddDrawing(two.get());
    bar->Refresh();
    ASSERT_EQ(bar->DrawingList->Count(), 3);
    EXPECT_EQ(bar->DrawingList->Item(2), "Viewer 2");

    bar->SetCurrentDrawing(99);
    EXPECT_EQ(bar->CurrentDrawing(), 1);
    EXPECT_EQ(bar->DrawingList->ItemIndex(), 2);
    EXPECT_FALSE(bar->DrawingDownBtn->Enabled());
    bar->SetCurrentDrawing(-5);
    EXPECT_EQ(bar->CurrentDrawing(), -1);
    EXPECT_EQ(bar->DrawingList->ItemIndex(), 0);
    EXPECT_FALSE(bar->DrawingDeleteBtn->Enabled());

    // A choice on "All Drawings" sets the default of that kind.
    bar->Box1->SetItemIndex(2);
    bar->Box1->OnChange(bar->Box1);
    EXPECT_EQ(depository->DefaultRecord1(), 2);
    EXPECT_EQ(depository->DefaultRecord0(), 0);
    EXPECT_EQ(changes, 1);
    // ... and on a drawing, that drawing's entry.
    bar->DrawingDownBtn->Click();
    bar->Box0->SetItemIndex(1);
    bar->Box0->OnChange(bar->Box0);
    EXPECT_EQ(depository->GetDrawingRecord(0, 0), 1);
    EXPECT_EQ(depository->DefaultRecord0(), 0);

    // Read-only: no rename, no choice, no OnChange; moving stays possible.
    bar->SetReadOnly(true);
    EXPECT_FALSE(bar->RecordAddBtn->Enabled());
    EXPECT_FALSE(bar->DrawingDeleteBtn->Enabled());
    changes = 0;
    bar->Box0->SetItemIndex(2);
    bar->Box0->OnChange(bar->Box0);
    EXPECT_EQ(depository->GetDrawingRecord(0, 0), 1);
    EXPECT_EQ(bar->Box0->ItemIndex(), 1);
    std::string text = "Renamed";
    bar->RecordList->OnEdited(bar->RecordList, bar->RecordList->Item(0), text);
    EXPECT_EQ(depository->GetRecordName(0), "");
    EXPECT_EQ(changes, 0);
    bar->DrawingUpBtn->Click();
    EXPECT_EQ(bar->CurrentDrawing(), -1);

    bar->SetReadOnly(false);
    text = "Bright";
    bar->RecordList->OnEdited(bar->RecordList, bar->RecordList->Item(0), text);
    EXPECT_EQ(depository->GetRecordName(0), "Bright");
    EXPECT_EQ(bar->Box0->Item(0), "Bright");
    EXPECT_EQ(changes, 1);

    // Deleting a drawing falls back to the one before.
    bar->SetCurrentDrawing(1);
    bar->DrawingDeleteBtn->Click();
    EXPECT_EQ(depository->DrawingCount(), 1);
    EXPECT_EQ(bar->CurrentDrawing(), 0);
}

TEST_F(RecordBar, LaysOutBothMetricSets)
{
    // The layout's metrics (BevelPos 135, BoxPos 55) and then the defaults.
    for (const TDepositoryBarLayout& layout : {bar->BarLayout(), TDepositoryBarLayout{}}) {
        bar->SetBarLayout(layout);
        SCOPED_TRACE(layout.BevelPos);
        const int w = bar->Width(), h = bar->Height();
        EXPECT_EQ(bar->Bevel->Left(), layout.BevelPos);
        EXPECT_EQ(bar->Bevel->Height(), h);
        EXPECT_EQ(bar->DrawingAddBtn->Left(), 1);
        EXPECT_EQ(bar->DrawingDeleteBtn->Left(), 1 + layout.BtnWidth + layout.BtnXInterval);
        EXPECT_EQ(bar->DrawingDownBtn->Left() + layout.BtnWidth, layout.BevelPos - layout.BevelInterval);
        EXPECT_EQ(bar->RecordAddBtn->Left(), layout.BevelPos + 2 + layout.BevelInterval);
        EXPECT_EQ(bar->RecordDownBtn->Left() + layout.BtnWidth, w - 1);
        EXPECT_EQ(bar->Box1->Left(), layout.BoxPos);
        EXPECT_EQ(bar->Box1->Top() + bar->Box1->Height(), h - 1);
        EXPECT_EQ(bar->Box0->Top() + bar->Box0->Height() + layout.BoxInterval, bar->Box1->Top());
        EXPECT_EQ(bar->Box0->Width(), layout.BevelPos - layout.BevelInterval - layout.BoxPos);
        EXPECT_EQ(bar->DrawingList->Top(), layout.BtnHeight + layout.BtnYInterval + 1);
        EXPECT_EQ(bar->DrawingList->Top() + bar->DrawingList->Height() + layout.BoxInterval,
                  bar->Box0->Top());
        EXPECT_EQ(bar->RecordList->Left() + bar->RecordList->Width(), w - 1);
        EXPECT_EQ(bar->Label0->Left(), layout.LabelPos);
    }
    EXPECT_EQ(TDepositoryBarLayout{}.BevelPos, 128);
}

}  // namespace
