// The camera and reflection editors as a user meets them: what they show, what Ok and Cancel
// leave behind, the boxes' key rules, and the requests they answer or pass on.

#include <gtest/gtest.h>

#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/edit_keys.h"
#include "plugin3d/forms/k_camera_reflection_editors.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

/// Answers the next editor of class Form with command after act has worked it.
template <class Form>
void AnswerEditor(int command, std::function<void(Form&)> act, const std::string& shot = "")
{
    Responder().AnswerDialogCommand(command).Doing([act, shot](CWnd& window) {
        auto* form = dynamic_cast<Form*>(&window);
        ASSERT_NE(form, nullptr);
        if (!shot.empty()) {
            tarvenix::test::PumpEvents();  // the dialog becomes the active window, as users see it
            EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), shot).empty());
        }
        if (act) act(*form);
    });
}

struct Camera {
    TOwned<TKEyeSystem3D> camera{TKEyeSystem3D::New()};
    TOwned<TKEyeSystem3D_Depository> depository{TKEyeSystem3D_Depository::New()};
    Camera()
    {
        camera->SetName("Camera 1");
        camera->SetScreenDistance(2.0);
        camera->SetDepthScale(0.5);
        std::intptr_t value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(camera.get()));
        EXPECT_EQ(depository->SetProperty(4096, &value), 0);
    }
};

TEST(CameraEditor, OkTakesWhatParsesAndCancelNothing)
{
    Camera c;
    AnswerEditor<TKEyeSystem3DForm>(
        IDOK,
        [](TKEyeSystem3DForm& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "Camera 1 : Properties");
            EXPECT_EQ(form.Edit1->Text(), "2");
            EXPECT_EQ(form.Edit2->Text(), "0.5");
            form.Edit1->SetText("3.25");
            form.Edit2->SetText("1..5");  // does not parse: the depth scale stays
        },
        "kelvora-camera-editor");
    EXPECT_EQ(c.depository->Operation(kopOpenEditor, 0), 0);
    EXPECT_EQ(c.camera->ScreenDistance(), 3.25);
    EXPECT_EQ(c.camera->DepthScale(), 0.5);

    AnswerEditor<TKEyeSystem3DForm>(IDCANCEL, [](TKEyeSystem3DForm& form) { form.Edit1->SetText("9"); });
    EXPECT_EQ(c.depository->Operation(kopOpenEditor, 0), 0);
    EXPECT_EQ(c.camera->ScreenDistance(), 3.25);
}

TEST(CameraEditor, ADestroyedCameraOpensNothingAndStillAnswers)
{
    Camera c;
    c.camera.reset();
    EXPECT_EQ(c.depository->Camera(), nullptr);
    EXPECT_EQ(c.depository->Operation(kopOpenEditor, 0), 0);  // no form: the responder saw none
    std::intptr_t value = 0;
    EXPECT_EQ(c.depository->GetProperty(4096, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(c.depository->GetProperty(4097, &value), -1);
    // Something that is no camera counts as none.
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(law.get()));
    EXPECT_EQ(c.depository->SetProperty(4096, &value), 0);
    EXPECT_EQ(c.depository->Camera(), nullptr);
}

TEST(ReflectionEditor, AnswersOnlyOpenRequestsAndKeepsWhatDoesNotParse)
{
    TOwned<TKSimpleDiffuseReflection> law(TKSimpleDiffuseReflection::New());
    law->SetAttenuation(0.5, 0.25, 0);
    law->SetRadiation(1, 0, 0);
    TKObjectRequest request;
    request.Object = law.get();
    request.Kind = korOpen;
    AnswerEditor<TKSimpleDiffuseReflectionForm>(
        IDOK,
        [](TKSimpleDiffuseReflectionForm& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "KSimpleDiffuseReflection");
            EXPECT_EQ(form.Edits[0]->Text(), "0.5");
            EXPECT_EQ(form.Edits[3]->Text(), "1");
            form.Edits[1]->SetText("0.75");
            form.Edits[5]->SetText("-0.125");
            form.Edits[2]->SetText("x");  // keeps 0
        },
        "kelvora-reflection-editor");
    EXPECT_EQ(SendObjectRequest(TKSimpleDiffuseReflection::StaticClass(), request), 0);
    EXPECT_EQ(law->Attenuation().y, 0.75);
    EXPECT_EQ(law->Attenuation().z, 0.0);
    EXPECT_EQ(law->Radiation().z, -0.125);

    AnswerEditor<TKSimpleDiffuseReflectionForm>(
        IDCANCEL, [](TKSimpleDiffuseReflectionForm& form) { form.Edits[0]->SetText("7"); });
    EXPECT_EQ(SendObjectRequest(TKSimpleDiffuseReflection::StaticClass(), request), 0);
    EXPECT_EQ(law->Attenuation().x, 0.5);

    // A caption request (kind 2) is left to the next handler: no editor comes up.
    std::string caption;
    request.Kind = korClassCaption;
    request.Argument = reinterpret_cast<std::intptr_t>(&caption);
    EXPECT_GE(SendObjectRequest(TKSimpleDiffuseReflection::StaticClass(), request), 0);
}

TEST(EditKeys, RealAndCountBoxesRefuseWhatCannotBeANumber)
{
    struct Case {
        const char* text;
        char key;
        bool accepted;
    };
    const Case reals[] = {
        {"", '5', true},
        {"", 'a', false},
        {"1.5", '.', false},
        {"-1", '-', false},
        {"12", '-', true},
        {"1234567890123", '1', false},
        {"1234567890123", '\b', true},
        {"", ' ', false},
    };
    for (const Case& c : reals) {
        char key = c.key;
        FilterRealKey(c.text, key);
        EXPECT_EQ(key != 0, c.accepted) << '"' << c.text << "\" + '" << c.key << "'";
    }
    const Case counts[] = {{"", '7', true},
                           {"123456", '7', true},
                           {"1234567", '7', false},
                           {"12", '-', false},
                           {"1234567", '\b', true}};
    for (const Case& c : counts) {
        char key = c.key;
        FilterCountKey(c.text, key, 7);
        EXPECT_EQ(key != 0, c.accepted) << '"' << c.text << "\" + '" << c.key << "'";
    }
}

}  // namespace
