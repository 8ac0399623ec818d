// The four pickers: what each offers, what Ok and Cancel leave behind, and the cases in which
// they return without showing a form.

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/forms/stdctrls.h"
#include "platform/window/modal.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/outside/basecore/independent_layer_writer.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

namespace fs = std::filesystem;

/// Answers the next picker with Ok (or Cancel) after act has worked it; shot names the
/// screenshot of the form as it came up (none when empty).
template <class Form>
void AnswerPicker(int command, std::function<void(Form&)> act, const std::string& shot = "")
{
    Responder().AnswerDialogCommand(command).Doing([act, shot](CWnd& window) {
        auto* form = dynamic_cast<Form*>(&window);
        ASSERT_NE(form, nullptr);
        if (!shot.empty()) {
            PumpEvents();  // the dialog becomes the active window, as the user sees it
            EXPECT_TRUE(form->KFlatCaption1->Active());
            EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), shot).empty());
        }
        if (act) act(*form);
    });
}

TTreeNode* NodeOf(TKTreeFinderForm& form, TObject* object)
{
    TKDataBranch* branch = form.Root()->FindDataInTree(TKData::OfObject(object));
    return branch ? FindNodeByData(static_cast<TObject*>(branch), form.TreeView1->Items()) : nullptr;
}

TEST(Finders, PickBasisOffersTheProjectsBasesAndItsRootMeansNone)
{
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    project->SetName("Scene project");
    TKEyeSystem3D* eye = TKEyeSystem3D::New();
    eye->SetName("Eye");
    project->AddObject(nullptr, eye);
    TKBasis3D* eyeBasis = eye->Basis();
    ASSERT_NE(eyeBasis, nullptr);

    TKBasis3D* basis = eyeBasis;
    AnswerPicker<TKObject3DFinder>(
        IDOK,
        [&](TKObject3DFinder& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "Master");
            ASSERT_NE(form.TreeView1->Selected(), nullptr);
            EXPECT_EQ(form.SelectedObject(), eyeBasis);  // the path to it is open
            form.TreeView1->SetSelected(form.TreeView1->Items()->GetFirstNode());
            EXPECT_EQ(form.TreeView1->Selected()->Text(), "Scene project");
        },
        "kelvora-finder-basis");
    EXPECT_TRUE(PickBasis("Master", project.get(), basis));
    EXPECT_EQ(basis, nullptr);

    AnswerPicker<TKObject3DFinder>(
        IDOK, [&](TKObject3DFinder& form) { form.TreeView1->SetSelected(NodeOf(form, eyeBasis)); });
    EXPECT_TRUE(PickBasis("Master", project.get(), basis));
    EXPECT_EQ(basis, eyeBasis);

    AnswerPicker<TKObject3DFinder>(IDCANCEL, nullptr);
    EXPECT_FALSE(PickBasis("Master", project.get(), basis));
    EXPECT_EQ(basis, nullptr);
    EXPECT_FALSE(PickBasis("Master", nullptr, basis));
}

TEST(Finders, PickReflectionLawAnswersOnlyForAnotherChoice)
{
    const TClass base = TKCustomReflectionLaw::StaticClass();
    TClass law = TKSimpleDiffuseReflection::StaticClass();
    AnswerPicker<TKFinderReflectionForm>(
        IDOK,
        [](TKFinderReflectionForm& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "Select Reflection Law");
            ASSERT_GE(form.ListBox1->Count(), 2);
            EXPECT_EQ(form.ListBox1->Item(0), "NO REFLECTION");
            EXPECT_GT(form.ListBox1->ItemIndex(), 0);  // the current law
        },
        "kelvora-finder-law");
    EXPECT_FALSE(PickReflectionLaw(base, law));  // the same law
    EXPECT_EQ(law, TKSimpleDiffuseReflection::StaticClass());

    AnswerPicker<TKFinderReflectionForm>(
        IDOK, [](TKFinderReflectionForm& form) { form.ListBox1->SetItemIndex(0); });
    EXPECT_TRUE(PickReflectionLaw(base, law));
    EXPECT_EQ(law, nullptr);

    AnswerPicker<TKFinderReflectionForm>(
        IDCANCEL, [](TKFinderReflectionForm& form) { form.ListBox1->SetItemIndex(1); });
    EXPECT_FALSE(PickReflectionLaw(base, law));
    EXPECT_EQ(law, nullptr);
}

TEST(Finders, PickLayerClampsTheIndexEvenWhenCancelledAndOpensTheFileReadOnly)
{
    const fs::path dir = fs::temp_directory_path() / ("kelvora-finder-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "two.rdp").string();
    layertest::ForeignOptions options;
    options.shuffle = false;
    options.shuffleChain = false;
    const layertest::ForeignLayer layer{3, 2, 4, layertest::Bytes(12, 1), {}};
    layertest::WriteFile(file, layertest::WriteForeignFile({layer, layer}, options));
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    int index = 7;
    AnswerPicker<TKLayerFinderForm>(
        IDCANCEL,
        [](TKLayerFinderForm& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "Select Layer");
            ASSERT_NE(form.TreeView1->Selected(), nullptr);
            EXPECT_EQ(form.TreeView1->Selected()->Text(), "Layer 2");
        },
        "kelvora-finder-layer");
    EXPECT_FALSE(PickLayer(file, index));
    EXPECT_EQ(index, 1);

    AnswerPicker<TKLayerFinderForm>(IDOK, [](TKLayerFinderForm& form) {
        TTreeNode* fileNode = form.TreeView1->Items()->GetFirstNode();
        form.TreeView1->SetSelected(fileNode->Item(0));
    });
    EXPECT_TRUE(PickLayer(file, index));
    EXPECT_EQ(index, 0);

    AnswerPicker<TKLayerFinderForm>(IDOK, [](TKLayerFinderForm& form) {
        form.TreeView1->SetSelected(form.TreeView1->Items()->GetFirstNode());  // the file, no layer
    });
    EXPECT_FALSE(PickLayer(file, index));

    const std::size_t asked = Responder().Asked().size();
    EXPECT_FALSE(PickLayer((dir / "absent.rdp").string(), index));
    EXPECT_EQ(Responder().Asked().size(), asked);  // no form
    fs::permissions(file, fs::perms::owner_all);
    fs::remove_all(dir);
}

TEST(Finders, PickDrawingListsTheViewersAndNothingWithoutThem)
{
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    EXPECT_EQ(PickDrawing(project.get()), nullptr);
    EXPECT_EQ(PickDrawing(nullptr), nullptr);
    EXPECT_TRUE(Responder().Asked().empty());  // no form for either

    TKDrawingSystem3D* front = TKDrawingSystem3D::New();
    front->SetName("Front");
    TKDrawingSystem3D* side = TKDrawingSystem3D::New();
    side->SetName("Side");
    project->AddObject(nullptr, front);
    project->AddObject(nullptr, side);
    AnswerPicker<TKDrawingFinderForm>(
        IDOK,
        [](TKDrawingFinderForm& form) {
            EXPECT_EQ(form.KFlatCaption1->Caption(), "Select Drawing");
            ASSERT_EQ(form.ListBox1->Count(), 2);
            EXPECT_EQ(form.ListBox1->ItemIndex(), 0);
            form.ListBox1->SetItemIndex(1);
        },
        "kelvora-finder-drawing");
    EXPECT_EQ(PickDrawing(project.get()), side);
    AnswerPicker<TKDrawingFinderForm>(IDCANCEL, nullptr);
    EXPECT_EQ(PickDrawing(project.get()), nullptr);
}

}  // namespace
