// The light editors as a user meets them: opened from the light's depository, numbers typed
// into the current record, Apply and Reset, the ambient editor on a flat light, and a project
// saved with an editor open reopening it.

#include <gtest/gtest.h>

#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_light_depositories.h"
#include "plugin3d/forms/k_light_forms.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/support/ui_helpers.h"

using kelvora::test::MemoryStream;
using kelvora::test::ProjectStream;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;

namespace {

std::intptr_t Param(TObject* object)
{
    return reinterpret_cast<std::intptr_t>(object);
}

TEST(LightEditors, PointLightEditsApplyAndReset)
{
    TOwned<TKPointSpringLight3D> light(TKPointSpringLight3D::New());
    light->SetName("Lamp");
    TOwned<TKPointSpringLight3D_Depository> d(TKPointSpringLight3D_Depository::New());
    d->SetConstruction(light.get());
    d->SetRecordCount(1);
    d->SetRecordName(0, "Daylight");
    TOwned<TKAmbientLight3D> other(TKAmbientLight3D::New());
    EXPECT_EQ(d->OpenEditor(Param(other.get())), -1);
    EXPECT_EQ(d->EditorForm(), nullptr);

    d->Operation(kopOpenEditor, Param(light.get()));  // answers as the object model does
    TKLightEditorForm* form = d->EditorForm();
    ASSERT_NE(form, nullptr);
    PumpEvents();
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(form->KFlatCaption1->Caption(), "Lamp : Properties");
    EXPECT_EQ(form->FieldEdit(0)->Text(), "1");
    EXPECT_EQ(form->FieldEdit(7)->Text(), "-1");
    EXPECT_TRUE(form->EnabledBox->Checked());
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-point-light").empty());

    form->FieldEdit(1)->SetText("0.25");
    EXPECT_TRUE(form->ApplyBtn->Enabled());
    form->FieldEdit(2)->SetText("-");  // not a number: nothing changes
    form->ApplyBtn->Click();
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    const auto* record = static_cast<const TPointLightRecord*>(d->GetRecordData(0));
    EXPECT_EQ(record->Green, 0.25);
    EXPECT_EQ(record->Blue, 1.0);

    form->FieldEdit(0)->SetText("0.5");
    form->EnabledBox->SetChecked(false);
    EXPECT_TRUE(form->ApplyBtn->Enabled());
    form->ResetBtn->Click();
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    EXPECT_EQ(form->FieldEdit(0)->Text(), "1");
    EXPECT_TRUE(form->EnabledBox->Checked());
    EXPECT_EQ(static_cast<const TPointLightRecord*>(d->GetRecordData(0))->Red, 1.0);

    // A renamed light renames the caption; closing hands the place back.
    light->SetName("Lamp 2");
    EXPECT_EQ(form->KFlatCaption1->Caption(), "Lamp 2 : Properties");
    form->CloseBtn->Click();
    PumpEvents();
    EXPECT_EQ(d->EditorForm(), nullptr);
    EXPECT_NE(d->Place().Left, -1);
}

TEST(LightEditors, AmbientEditorOnAFlatLight)
{
    TOwned<TKFlatSpringLight3D> light(TKFlatSpringLight3D::New());
    light->SetName("Sun");
    TOwned<TKAmbientLight3D_Depository> d(TKAmbientLight3D_Depository::New());
    d->SetConstruction(light.get());
    d->SetRecordCount(1);
    ASSERT_EQ(d->OpenEditor(Param(light.get())), 0);
    TKLightEditorForm* form = d->EditorForm();
    ASSERT_NE(form, nullptr);
    PumpEvents();
    EXPECT_EQ(form->KFlatCaption1->Caption(), "Sun : Properties");
    form->FieldEdit(0)->SetText("0.5");
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-ambient-light").empty());
    form->ApplyBtn->Click();
    d->SetCurrentRecord(-1);
    d->SetCurrentRecord(0);
    EXPECT_EQ(light->Color().x, 0.5);
    form->Close();
    PumpEvents();
    EXPECT_EQ(d->EditorForm(), nullptr);
}

TEST(LightEditors, ASaveWithTheEditorOpenReopensItOnLoad)
{
    TOwned<TKPointSpringLight3D> light(TKPointSpringLight3D::New());
    TOwned<TKPointSpringLight3D_Depository> d(TKPointSpringLight3D_Depository::New());
    d->SetConstruction(light.get());
    ASSERT_EQ(d->OpenEditor(Param(light.get())), 0);
    PumpEvents();
    ProjectStream stream;
    stream.WriteObject(light.get());
    d->SaveToStream(&stream);
    EXPECT_NE(d->Place().Depth, 0);
    d->EditorForm()->Close();
    PumpEvents();

    stream.SetPosition(0);
    TKObject* loadedLight = nullptr;
    stream.ReadObject(loadedLight, nullptr);
    TOwned<TKObject> lightOwner(loadedLight);
    TOwned<TKPointSpringLight3D_Depository> loaded(TKPointSpringLight3D_Depository::New());
    loaded->LoadFromStream(&stream);
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    stream.project = project.get();
    loaded->LinkObjects(&stream);
    ASSERT_NE(loaded->EditorForm(), nullptr);
    EXPECT_FALSE(loaded->EditorForm()->Visible());  // the project shows it in its stacking order
}

}  // namespace
