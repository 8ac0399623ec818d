// The surface editor as a user meets it: opened from the surface's depository, the grid and a
// slot from a layer file set on the General page, the record's settings on the Drawing page,
// attenuation and a reflection law on the Additional page; Apply running as a job with the
// progress form, Reset, closing while the job runs, and a project saved with the editor open
// reopening it. SurfaceApplyRace runs under ThreadSanitizer: the job against the user's edits,
// Reset and Close, and against the image job of a viewer on the surface.

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/comctrls.h"
#include "platform/forms/exceptions.h"
#include "platform/forms/stdctrls.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_camera_reflection_editors.h"
#include "plugin3d/forms/k_depository_component.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_load_report.h"
#include "plugin3d/forms/k_surface3d_depository.h"
#include "plugin3d/forms/k_surface3d_form.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/outside/basecore/independent_layer_writer.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using kelvora::test::MemoryStream;
using kelvora::test::ProjectStream;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::TempDir;

namespace {

std::intptr_t Param(TObject* object)
{
    return reinterpret_cast<std::intptr_t>(object);
}

/// A one-layer file of 32-bit floats, row after row.
std::string WriteFloatLayer(const std::string& path, int width, int height, const std::vector<float>& values)
{
    layertest::ForeignOptions options;
    options.shuffle = false;
    options.shuffleChain = false;
    layertest::ForeignLayer layer{width, height, 7, {}, {}};
    for (float v : values) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        layer.samples.insert(layer.samples.end(), p, p + sizeof v);
    }
    layertest::WriteFile(path, layertest::WriteForeignFile({layer}, options));
    return path;
}

/// A ramp layer: value i + j.
std::string WriteRampLayer(const std::string& path, int width, int height)
{
    std::vector<float> values;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) values.push_back(float(i + j));
    return WriteFloatLayer(path, width, height, values);
}

/// Holds an apply job at the start of the surface's update (on the job's thread only) until
/// it is opened.
class JobGate {
public:
    explicit JobGate(TKSurface3D& surface) : m_surface(surface)
    {
        m_surface.Events().Add(TKEventHandler::Of<&JobGate::OnEvent>(this));
    }
    ~JobGate()
    {
        Open();
        m_surface.Events().Remove(TKEventHandler::Of<&JobGate::OnEvent>(this));
    }
    bool Reached()
    {
        std::lock_guard lock(m_mutex);
        return m_reached;
    }
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    /// A job asked to stop goes on as well (the form going under it waits for it).
    static bool StopAsked()
    {
        TKObjectsList* threads = ThreadsList();
        for (int i = 0; threads && i < threads->Count(); ++i)
            if (auto* thread = ObjectAs<TKThread>(threads->GetItem(i)); thread && thread->IsStopRequested())
                return true;
        return false;
    }
    void OnEvent(TObject*, int code, std::intptr_t)
    {
        if (code != kevChangeBegins || platform::IsUiThread()) return;
        std::unique_lock lock(m_mutex);
        m_reached = true;
        while (!m_open && !StopAsked()) m_changed.wait_for(lock, std::chrono::milliseconds(1));
    }

    TKSurface3D& m_surface;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_open = false;
};

/// A surface with its depository (one named record) and the editor open on it.
struct OpenEditor {
    TOwned<TKSurface3D> surface{TKSurface3D::New()};
    TOwned<TKSurface3D_Depository> depository{TKSurface3D_Depository::New()};
    TKSurface3DForm* form = nullptr;

    explicit OpenEditor(int records = 1)
    {
        surface->SetName("Terrain");
        depository->SetConstruction(surface.get());
        depository->SetRecordCount(records);
        if (records > 0) depository->SetRecordName(0, "Relief");
        depository->Operation(kopOpenEditor, Param(surface.get()));
        form = depository->EditorForm();
        PumpEvents();
    }
    bool ApplyAndWait()
    {
        form->ApplyBtn->Click();
        return PumpUntil([&] { return !form->Applying(); }, std::chrono::seconds(60));
    }
};

void SelectSlot(TKSurface3DForm& form, int slot)
{
    form.LayerList->SetItemIndex(slot);
    form.LayerList->OnClick(form.LayerList);
}

void ChooseCombo(TComboBox* box, int index)
{
    box->SetItemIndex(index);
    box->OnChange(box);
}

TEST(SurfaceEditor, GeneralPageBuildsTheGridFromAFileAsAJobAndResets)
{
    TempDir dir;
    const std::string file = WriteRampLayer(dir.File("ramp.rdp"), 8, 6);
    OpenEditor editor;
    TKSurface3DForm* form = editor.form;
    TKSurface3D_Depository* d = editor.depository.get();
    TOwned<TKSurface3D> other(TKSurface3D::New());
    EXPECT_EQ(d->OpenEditor(Param(other.get())), -1);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(form->KFlatCaption1->Caption(), "Terrain : Properties");
    EXPECT_EQ(form->XEdit->Text(), "0");
    EXPECT_EQ(form->MaxEdit->Text(), "1");
    EXPECT_EQ(form->FillBox->ItemIndex(), 0);
    EXPECT_FALSE(form->FileBtn->Enabled());
    EXPECT_FALSE(form->ApplyBtn->Enabled());

    form->XEdit->SetText("5");
    form->YEdit->SetText("4");
    EXPECT_TRUE(form->ApplyBtn->Enabled());
    EXPECT_EQ(form->Copy()->XCount(), 5);
    EXPECT_EQ(d->XCount(), 0);  // the copy only, until Apply

    // Z from the file: one layer, so the index 1 a new file gets is clamped to 0.
    SelectSlot(*form, 2);
    form->FillBox->SetItemIndex(1);
    EXPECT_TRUE(form->FileBtn->Enabled());
    Responder().AnswerFile({CString(file.c_str())});
    form->FileBtn->Click();
    const TSurfaceLayerSlot& z = form->Copy()->Slot(2);
    EXPECT_EQ(z.FromFile, -1);
    EXPECT_EQ(z.FileName, file);
    EXPECT_EQ(z.LayerIndex, 0);
    EXPECT_EQ(form->FileText->Text(), file);
    EXPECT_NE(form->LayerText->Text(), kNoLayerText);
    form->MaxEdit->SetText("10");
    form->MinEdit->SetText("2");
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-surface-general").empty());
    form->MinEdit->SetText("2-");  // not a number: nothing changes
    EXPECT_EQ(z.Min, 2.0);
    EXPECT_EQ(z.Max, 10.0);

    // Apply: flags and read-only are set before the job runs; edits wait for its end.
    form->ApplyBtn->Click();
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    EXPECT_TRUE(d->IsBusy());
    EXPECT_TRUE(form->Copy()->IsBusy());
    EXPECT_TRUE(form->KDepositoryComponent1->ReadOnly());
    form->XEdit->SetText("9");
    EXPECT_EQ(form->Copy()->XCount(), 5);
    ASSERT_TRUE(PumpUntil([&] { return !form->Applying(); }, std::chrono::seconds(60)));
    EXPECT_FALSE(d->IsBusy());
    EXPECT_FALSE(form->Copy()->IsBusy());
    EXPECT_FALSE(form->KDepositoryComponent1->ReadOnly());
    TKSurface3D& surface = *editor.surface;
    ASSERT_EQ(surface.Width(), 5);
    ASSERT_EQ(surface.Height(), 4);
    EXPECT_EQ(*surface.NodeSlot(4, 0, kssX), 1.0f);  // the linear ramp 0..1
    EXPECT_EQ(*surface.NodeSlot(0, 3, kssY), 1.0f);
    EXPECT_EQ(*surface.NodeSlot(0, 0, kssZ), 2.0f);   // the ramp's low corner onto Min...
    EXPECT_EQ(*surface.NodeSlot(4, 3, kssZ), 10.0f);  // ...its high corner onto Max
    EXPECT_EQ(d->Slot(2).FileName, file);

    // Reset takes the depository again, keeping the slot shown.
    form->XEdit->SetText("7");
    form->ResetBtn->Click();
    EXPECT_EQ(form->XEdit->Text(), "5");
    EXPECT_EQ(form->LayerList->ItemIndex(), 2);
    EXPECT_EQ(form->MaxEdit->Text(), "10");
    EXPECT_FALSE(form->ApplyBtn->Enabled());

    // A renamed surface renames the caption; closing hands the place back.
    surface.SetName("Relief");
    EXPECT_EQ(form->KFlatCaption1->Caption(), "Relief : Properties");
    form->CloseBtn->Click();
    PumpEvents();
    EXPECT_EQ(d->EditorForm(), nullptr);
    EXPECT_NE(d->Place().Left, -1);
    EXPECT_EQ(d->Place().Slot, 2);
}

TEST(SurfaceEditor, DrawingAndAdditionalPagesReachTheSurface)
{
    OpenEditor editor;
    TKSurface3DForm* form = editor.form;
    TKSurface3D_Depository* d = editor.depository.get();
    ASSERT_NE(form, nullptr);
    form->PageControl1->SetActivePageIndex(1);
    EXPECT_TRUE(form->EnabledBox->Checked());
    EXPECT_TRUE(form->VisibleBox->Checked());
    EXPECT_FALSE(form->SmoothBox->Checked());
    EXPECT_EQ(form->LightBox->ItemIndex(), 0);
    EXPECT_EQ(form->DrawBox->ItemIndex(), 2);
    EXPECT_EQ(form->StepEdit->Text(), "1");
    form->SmoothBox->SetChecked(true);
    ChooseCombo(form->LightBox, 1);
    ChooseCombo(form->DrawBox, 1);
    form->StepEdit->SetText("3");
    EXPECT_TRUE(form->ApplyBtn->Enabled());
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-surface-drawing").empty());

    form->PageControl1->SetActivePageIndex(2);
    EXPECT_EQ(form->ReflectionEdit->Text(), " - No Reflection Law - ");
    form->ReflectionEdit->SetText("Matt");  // no law to rename: nothing changes
    EXPECT_EQ(form->Copy()->Law(), nullptr);
    form->AEdit2->SetText("0.5");
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* finder = dynamic_cast<TKFinderReflectionForm*>(&window);
        ASSERT_NE(finder, nullptr);
        ASSERT_GT(finder->ListBox1->Count(), 1);
        finder->ListBox1->SetItemIndex(1);
    });
    form->ChangeBtn->Click();
    ASSERT_NE(form->Copy()->Law(), nullptr);
    EXPECT_NE(form->ReflectionEdit->Text(), " - No Reflection Law - ");
    form->ReflectionEdit->SetText("Matt");
    EXPECT_EQ(form->Copy()->Law()->Name(), "Matt");
    form->ReflectionMemo->SetText("Heights of the March pass");
    EXPECT_FALSE(SaveTestOutput(GrabWindow(*form), "kelvora-surface-additional").empty());

    ASSERT_TRUE(editor.ApplyAndWait());
    TKSurface3D& surface = *editor.surface;
    ASSERT_NE(surface.Reflection(), nullptr);
    EXPECT_EQ(surface.Reflection()->Name(), "Matt");
    EXPECT_NE(surface.Reflection(), form->Copy()->Law());  // the surface's own clone
    double c0 = 0, c1 = 0, c2 = 0;
    surface.GetAttenuation(c0, c1, c2);
    EXPECT_EQ(c0, 1.0);
    EXPECT_EQ(c1, 0.5);
    EXPECT_EQ(d->ReflectionText(), "Heights of the March pass");
    d->SetCurrentRecord(-1);
    d->SetCurrentRecord(0);
    EXPECT_EQ(surface.SmoothShading(), 1);
    EXPECT_EQ(surface.Lighting(), 1);
    EXPECT_EQ(surface.Mode(), 2);
    EXPECT_EQ(surface.Step(), 3);

    // The law's own editor: a change there enables Apply and stays in the copy.
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* lawEditor = dynamic_cast<TKSimpleDiffuseReflectionForm*>(&window);
        ASSERT_NE(lawEditor, nullptr);
        lawEditor->Edits[0]->SetText("0.75");
    });
    form->Properties->Click();
    EXPECT_TRUE(form->ApplyBtn->Enabled());
    EXPECT_EQ(ObjectAs<TKSimpleDiffuseReflection>(form->Copy()->Law())->Attenuation().x, 0.75);
    EXPECT_NE(ObjectAs<TKSimpleDiffuseReflection>(surface.Reflection())->Attenuation().x, 0.75);

    // "NO REFLECTION" takes the law away again.
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
        auto* finder = dynamic_cast<TKFinderReflectionForm*>(&window);
        ASSERT_NE(finder, nullptr);
        finder->ListBox1->SetItemIndex(0);
    });
    form->ChangeBtn->Click();
    EXPECT_EQ(form->Copy()->Law(), nullptr);
    EXPECT_EQ(form->ReflectionEdit->Text(), " - No Reflection Law - ");
    form->Close();
    PumpEvents();
    EXPECT_EQ(d->EditorForm(), nullptr);
}

TEST(SurfaceEditor, AFailedApplyIsToldKeepsTheSurfaceAndLeavesApplyAvailable)
{
    OpenEditor editor;
    TKSurface3DForm* form = editor.form;
    ASSERT_NE(form, nullptr);
    form->XEdit->SetText("5");
    form->YEdit->SetText("4");
    ASSERT_TRUE(editor.ApplyAndWait());
    TKSurface3D& surface = *editor.surface;
    ASSERT_EQ(surface.Width(), 5);
    const float corner = *surface.NodeSlot(4, 0, kssX);

    struct Case {
        const char* x;
        const char* y;
        const char* told;
    };
    // Beyond what a surface can index, and more nodes than any machine here holds.
    const Case cases[] = {
        {"9999999", "9999999", "A surface of 9999999 x 9999999 vertices is larger than a surface can be"},
        {"46000", "46000", "A surface of 46000 x 46000 nodes does not fit in memory"}};
    for (const Case& c : cases) {
        Responder().Reset();
        Responder().AnswerMessageBox(IDOK);
        form->XEdit->SetText(c.x);
        form->YEdit->SetText(c.y);
        ASSERT_TRUE(editor.ApplyAndWait()) << c.x;
        ASSERT_EQ(Responder().Asked().size(), 1u) << c.x;
        EXPECT_EQ(std::string(Responder().Asked()[0].text), c.told);
        EXPECT_EQ(Responder().Asked()[0].Icon(), static_cast<UINT>(MB_ICONERROR));
        if (std::string(c.x) == "46000") {  // the message a user meets most, as shown
            platform::MessageBoxQuestion shown;
            shown.caption = Responder().Asked()[0].caption;
            shown.text = Responder().Asked()[0].text;
            shown.type = Responder().Asked()[0].type;
            EXPECT_FALSE(
                SaveTestOutput(platform::MessageBoxPicture(shown), "kelvora-surface-too-large").empty());
        }
        EXPECT_TRUE(form->ApplyBtn->Enabled()) << c.x;
        EXPECT_FALSE(editor.depository->IsBusy());
        EXPECT_FALSE(form->KDepositoryComponent1->ReadOnly());
        EXPECT_EQ(surface.Width(), 5) << c.x;  // what it had
        EXPECT_EQ(surface.Height(), 4) << c.x;
        EXPECT_EQ(*surface.NodeSlot(4, 0, kssX), corner);
        EXPECT_EQ(editor.depository->XCount(), 5);
    }
}

TEST(SurfaceEditor, AMissingLayerFileIsNotedAndItsPathKeptThroughASave)
{
    TempDir dir;
    const std::string file = WriteRampLayer(dir.File("moved.rdp"), 8, 6);
    OpenEditor editor;
    TKSurface3DForm* form = editor.form;
    ASSERT_NE(form, nullptr);
    form->XEdit->SetText("4");
    form->YEdit->SetText("3");
    SelectSlot(*form, 2);
    form->FillBox->SetItemIndex(1);
    Responder().AnswerFile({CString(file.c_str())});
    form->FileBtn->Click();
    ASSERT_TRUE(editor.ApplyAndWait());
    form->Close();
    PumpEvents();
    ProjectStream stream;
    editor.depository->SaveToStream(&stream);
    std::filesystem::remove(file);

    // Loaded with the file gone: the slot keeps its path and says it has no layer.
    TakeMissingLayerFiles();
    const auto load = [](ProjectStream& from, TKelvora3DProject* project) {
        from.SetPosition(0);
        TOwned<TKSurface3D_Depository> loaded(TKSurface3D_Depository::New());
        loaded->LoadFromStream(&from);
        from.project = project;
        loaded->LinkObjects(&from);
        return loaded;
    };
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    TOwned<TKSurface3D_Depository> loaded = load(stream, project.get());
    EXPECT_EQ(TakeMissingLayerFiles(), (std::vector<std::string>{file}));
    EXPECT_EQ(loaded->Slot(2).FromFile, -1);
    EXPECT_EQ(loaded->Slot(2).FileName, file);
    EXPECT_EQ(loaded->Slot(2).LayerName, kNoLayerText);

    // Saved again, the path is still there; with the file back, the next load finds it.
    ProjectStream again;
    loaded->SaveToStream(&again);
    WriteRampLayer(file, 8, 6);
    TOwned<TKSurface3D_Depository> relinked = load(again, project.get());
    EXPECT_TRUE(TakeMissingLayerFiles().empty());
    EXPECT_EQ(relinked->Slot(2).FileName, file);
    EXPECT_NE(relinked->Slot(2).LayerName, kNoLayerText);
}

TEST(SurfaceEditor, WithoutARecordTheDrawingPageShowsNothingAndTakesNothing)
{
    OpenEditor editor(0);
    TKSurface3DForm* form = editor.form;
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->EnabledBox->Checked());
    EXPECT_EQ(form->DrawBox->ItemIndex(), 0);
    EXPECT_EQ(form->StepEdit->Text(), "0");
    form->StepEdit->SetText("4");
    form->VisibleBox->SetChecked(true);
    EXPECT_FALSE(form->ApplyBtn->Enabled());
    EXPECT_EQ(form->Copy()->RecordCount(), 0);
}

TEST(SurfaceApplyRace, ClosingDuringAnApplyHidesTheEditorAndTheJobsEndClosesIt)
{
    OpenEditor editor;
    TKSurface3DForm* form = editor.form;
    TKSurface3D_Depository* d = editor.depository.get();
    ASSERT_NE(form, nullptr);
    JobGate gate(*editor.surface);
    form->XEdit->SetText("8");
    form->YEdit->SetText("8");
    form->ApplyBtn->Click();
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached(); }, std::chrono::seconds(60)));

    // Meanwhile Reset and the bar refuse; saving the depository says "Busy".
    form->ResetBtn->Click();
    EXPECT_EQ(form->XEdit->Text(), "8");
    EXPECT_EQ(form->Copy()->XCount(), 8);
    MemoryStream stream;
    EXPECT_THROW(d->SaveToStream(&stream), EInvalidOperation);
    form->CloseBtn->Click();
    PumpEvents();
    EXPECT_EQ(d->EditorForm(), form);
    EXPECT_FALSE(form->Visible());

    gate.Open();
    ASSERT_TRUE(PumpUntil([&] { return d->EditorForm() == nullptr; }, std::chrono::seconds(60)));
    EXPECT_FALSE(d->IsBusy());
    EXPECT_EQ(editor.surface->Width(), 8);
    EXPECT_EQ(d->XCount(), 8);
}

TEST(SurfaceApplyRace, FreeingTheDepositoryDuringAnApplyStopsTheJobFirst)
{
    OpenEditor editor;
    ASSERT_NE(editor.form, nullptr);
    JobGate gate(*editor.surface);
    editor.form->XEdit->SetText("8");
    editor.form->YEdit->SetText("8");
    editor.form->ApplyBtn->Click();
    ASSERT_TRUE(PumpUntil([&] { return gate.Reached(); }, std::chrono::seconds(60)));
    // The editor goes with its depository: the job that reads both is stopped and waited for.
    editor.depository.reset();
    EXPECT_EQ(editor.surface->Width(), 0);
    EXPECT_FALSE(editor.surface->IsUpdating());
    PumpEvents();
}

TEST(SurfaceEditor, ASaveWithTheEditorOpenReopensItOnLoad)
{
    OpenEditor editor;
    ASSERT_NE(editor.form, nullptr);
    editor.form->PageControl1->SetActivePageIndex(2);
    SelectSlot(*editor.form, 4);
    ProjectStream stream;
    stream.WriteObject(editor.surface.get());
    editor.depository->SaveToStream(&stream);
    EXPECT_NE(editor.depository->Place().Depth, 0);
    editor.form->Close();
    PumpEvents();

    stream.SetPosition(0);
    TKObject* loadedSurface = nullptr;
    stream.ReadObject(loadedSurface, nullptr);
    TOwned<TKObject> surfaceOwner(loadedSurface);
    TOwned<TKSurface3D_Depository> loaded(TKSurface3D_Depository::New());
    loaded->LoadFromStream(&stream);
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    stream.project = project.get();
    loaded->LinkObjects(&stream);
    TKSurface3DForm* reopened = loaded->EditorForm();
    ASSERT_NE(reopened, nullptr);
    EXPECT_FALSE(reopened->Visible());  // the project shows it in its stacking order
    EXPECT_EQ(reopened->PageControl1->ActivePageIndex(), 2);
    EXPECT_EQ(reopened->LayerList->ItemIndex(), 4);
}

// --- under ThreadSanitizer too ------------------------------------------------------------

TEST(SurfaceApplyRace, EditsResetAndCloseAgainstTheApplyJobAndTheImageJob)
{
    TempDir dir;
    const std::string file = WriteRampLayer(dir.File("ramp.rdp"), 64, 48);
    TOwned<TKelvora3DProject> project(TKelvora3DProject::New());
    auto* surface = TKSurface3D::New(nullptr);
    surface->SetName("Race");
    project->AddObject(nullptr, surface);
    auto* camera = TKEyeSystem3D::New(nullptr);
    camera->SetScreenDistance(200);
    camera->Basis()->SetPlacement(TMatrix3D{{1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 0, 400});
    project->AddObject(nullptr, camera);
    auto* viewer = TKDrawingSystem3D::New(nullptr);
    viewer->SetImageSize(96, 72);
    project->AddObject(nullptr, viewer);
    project->SetViewerCamera(viewer, camera);
    auto* d = dynamic_cast<TKSurface3D_Depository*>(project->GetDepository(surface));
    ASSERT_NE(d, nullptr);

    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        if (!d->EditorForm()) ASSERT_EQ(d->OpenEditor(Param(surface)), 0);
        TKSurface3DForm* form = d->EditorForm();
        ASSERT_NE(form, nullptr);
        form->XEdit->SetText(std::to_string(40 + 8 * round));
        form->YEdit->SetText("30");
        SelectSlot(*form, 2);
        if (round == 0) {
            form->FillBox->SetItemIndex(1);
            Responder().AnswerFile({CString(file.c_str())});
            form->FileBtn->Click();
        }
        form->MaxEdit->SetText(std::to_string(50 + round));
        form->ApplyBtn->Click();
        // What a user does while the job runs: all refused, none of it may race the job.
        for (int k = 0; k < 3; ++k) {
            form->MaxEdit->SetText(std::to_string(k));
            form->XEdit->SetText(std::to_string(k + 2));
            SelectSlot(*form, k);
            form->ResetBtn->Click();
            form->PageControl1->SetActivePageIndex(k);
            surface->SetName("Race " + std::to_string(k));
            PumpEvents();
        }
        if (round % 2 == 1) {
            form->Close();
            ASSERT_TRUE(PumpUntil([&] { return d->EditorForm() == nullptr; }, std::chrono::seconds(60)));
        } else {
            ASSERT_TRUE(PumpUntil([&] { return !form->Applying(); }, std::chrono::seconds(60)));
        }
        EXPECT_FALSE(d->IsBusy());
        EXPECT_EQ(surface->Width(), 40 + 8 * round);
        EXPECT_EQ(d->Slot(2).Max, 50.0 + round);
    }
    ASSERT_TRUE(
        PumpUntil([&] { return !project->ImagePending() && project->ImageThread()->State() != ktsRunning; },
                  std::chrono::seconds(60)));
    EXPECT_EQ(*surface->NodeSlot(63, 29, kssZ), 53.0f);  // the last round's Max at the far corner
}

}  // namespace
