// The 3D project: where objects go, which viewers a change marks, scene edits and the image
// job they stop, the search path, the objects block's checks and the number texts.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "platform/registry/registry.h"
#include <QImage>
#include <QPainter>

#include "platform/forms/image_list.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/last_error.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/core/glyph_picture.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace kelvora::test {

/// Never registered in "Classes": a file's record of it is of a class the program does not know.
class UnlistedConstruction : public TestConstruction {
    DECLARE_TCLASS(UnlistedConstruction)

protected:
    UnlistedConstruction() = default;
};
IMPLEMENT_TCLASS(UnlistedConstruction, TestConstruction)

}  // namespace kelvora::test

namespace {

using namespace kelvora::test;

class Project3D : public ::testing::Test {
protected:
    ProjectTestClasses classes;
    TOwned<TKelvora3DProject> project = NewProject();

    template <class T>
    T* Add(TObject* target = nullptr)
    {
        T* object = T::New(nullptr);
        project->AddObject(target, object);
        return object;
    }
};

TEST_F(Project3D, AFreshProjectHasItsDefaultsAndFourNamedLists)
{
    EXPECT_EQ(project->Description(), "Standart Kelvora 3D project");
    EXPECT_EQ(project->NoWaitFlags(), 2u);
    EXPECT_EQ(project->WaitTime(false), 100);
    EXPECT_EQ(project->WaitTime(true), 200);
    EXPECT_EQ(project->Interactive(), 0);
    EXPECT_EQ(project->CustomObjects()->Name(), "Custom Objects");
    EXPECT_EQ(project->Objects()->Name(), "Objects");
    EXPECT_EQ(project->Lights()->Name(), "Lights");
    EXPECT_EQ(project->Cameras()->Name(), "Cameras");
    EXPECT_EQ(project->ViewerCount(), 0);
    EXPECT_FALSE(project->ImagePending());
}

TEST_F(Project3D, AddObjectPutsEachObjectInItsPlaceOnce)
{
    // Nested lists the targets may name.
    TKCustomLightSystem3DList* nestedLights = TKCustomLightSystem3DList::New(nullptr);
    project->Lights()->Add(nestedLights);
    TKCustomConstruction3DList* nestedObjects = TKCustomConstruction3DList::New(nullptr);
    project->Objects()->Add(nestedObjects);

    struct Case {
        const char* what;
        TClass cls;
        TObject* target;
        TKObject* expectedList;
    };
    const Case cases[] = {
        {"light", TestLight::StaticClass(), nullptr, project->Lights()},
        {"light offered to Objects", TestLight::StaticClass(), project->Objects(), project->Lights()},
        {"light into a list inside Lights", TestLight::StaticClass(), nestedLights, nestedLights},
        {"camera", TestCamera::StaticClass(), nullptr, project->Cameras()},
        {"construction offered to Cameras", TestConstruction::StaticClass(), project->Cameras(),
         project->Objects()},
        {"construction into a list inside Objects", TestConstruction::StaticClass(), nestedObjects,
         nestedObjects},
        {"other object", CountingList::StaticClass(), project->Lights(), project->CustomObjects()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* object = static_cast<TKCustomChangeObject*>(c.cls->Construct(nullptr));
        project->AddObject(c.target, object);
        project->AddObject(nullptr, object);  // a second time: still one copy
        TKFindRequest request{object, nullptr};
        ASSERT_EQ(project->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)), 1);
        EXPECT_EQ(request.container, c.expectedList);
        int copies = 0;
        for (TKObject* list :
             {static_cast<TKObject*>(project->Lights()), static_cast<TKObject*>(nestedLights),
              static_cast<TKObject*>(project->Objects()), static_cast<TKObject*>(nestedObjects),
              static_cast<TKObject*>(project->Cameras()), static_cast<TKObject*>(project->CustomObjects())}) {
            auto* plain = ObjectAs<TKCustomChangeObjectList>(list);
            auto* constructions = ObjectAs<TKCustomConstruction3DList>(list);
            auto* lights = ObjectAs<TKCustomLightSystem3DList>(list);
            if (plain) copies += plain->IndexOf(object) >= 0;
            if (constructions) copies += constructions->IndexOf(object) >= 0;
            if (lights) copies += lights->IndexOf(object) >= 0;
        }
        EXPECT_EQ(copies, 1);
    }
    // Each construction got its depository (the test construction has a depository class).
    EXPECT_EQ(project->DepositoryCount(), 2);

    // The project and its lists are never added anywhere.
    const int objects = project->Objects()->Count(), lights = project->Lights()->Count();
    const int custom = project->CustomObjects()->Count();
    for (TObject* self : {static_cast<TObject*>(project.get()), static_cast<TObject*>(project->Objects()),
                          static_cast<TObject*>(project->Lights()), static_cast<TObject*>(project->Cameras()),
                          static_cast<TObject*>(project->CustomObjects())})
        project->AddObject(nullptr, self);
    EXPECT_EQ(project->Objects()->Count(), objects);
    EXPECT_EQ(project->Lights()->Count(), lights);
    EXPECT_EQ(project->CustomObjects()->Count(), custom);

    // A drawing system becomes a viewer, once.
    auto* ds = Add<TestDrawSystem>();
    project->AddObject(nullptr, ds);
    EXPECT_EQ(project->ViewerCount(), 1);
    EXPECT_EQ(project->IndexOfViewer(ds), 0);
}

TEST_F(Project3D, OnlyTheFourListsAreKeptFromDeletion)
{
    auto* light = Add<TestLight>();
    auto* ds = Add<TestDrawSystem>();
    const std::pair<TObject*, int> cases[] = {
        {project->CustomObjects(), 0},
        {project->Objects(), 0},
        {project->Lights(), 0},
        {project->Cameras(), 0},
        {light, -1},
        {ds, -1},
        {project.get(), -1},
        {nullptr, -1},
    };
    for (const auto& [object, expected] : cases)
        EXPECT_EQ(project->Operation(kopCanDelete, reinterpret_cast<std::intptr_t>(object)), expected);
}

TEST_F(Project3D, ObjectOperationsMakeObjectsAndReachTheirDepositories)
{
    TKCreateObjectRequest create{project->Objects(), TestConstruction::StaticClass(), nullptr};
    ASSERT_EQ(project->Operation(kopCreateObject, reinterpret_cast<std::intptr_t>(&create)), 0);
    ASSERT_NE(create.Object, nullptr);
    EXPECT_EQ(project->Objects()->IndexOf(create.Object), 0);
    TKCreateObjectRequest notAnObject{nullptr, TKThreadParams::StaticClass(), nullptr};
    EXPECT_EQ(project->Operation(kopCreateObject, reinterpret_cast<std::intptr_t>(&notAnObject)), -1);

    auto* depository = static_cast<TestDepository*>(project->GetDepository(create.Object));
    ASSERT_NE(depository, nullptr);
    EXPECT_EQ(depository->Construction(), create.Object);
    TObject* reference = create.Object;
    EXPECT_EQ(project->Operation(kopDepositoryOf, reinterpret_cast<std::intptr_t>(&reference)), 0);
    EXPECT_EQ(reference, depository);

    // Opening the editor goes through the depository.
    EXPECT_EQ(project->Operation(kopOpenObjectEditor, reinterpret_cast<std::intptr_t>(create.Object)), 0);
    EXPECT_EQ(depository->editorsOpened.size(), 1u);
    EXPECT_EQ(project->Operation(kopOpenObjectEditor, reinterpret_cast<std::intptr_t>(project.get())), -1);

    // An object that goes takes its depository along.
    create.Object->Free();
    EXPECT_EQ(project->GetDepository(create.Object), nullptr);
    EXPECT_EQ(project->DepositoryCount(), 0);
}

TEST_F(Project3D, AChangeMarksTheViewersThatShowIt)
{
    auto* c1 = Add<TestCamera>();
    auto* c2 = Add<TestCamera>();
    auto* surface = Add<TestConstruction>();
    TestDrawSystem* ds[4];
    for (auto*& d : ds) d = Add<TestDrawSystem>();
    project->SetViewerCamera(ds[0], c1);
    project->SetViewerCamera(ds[1], c1);
    project->SetViewerCamera(ds[2], c2);
    // ds[3] has no camera.
    ASSERT_TRUE(WaitForImages(*project));

    EventLog drawn3;
    ds[3]->Events().Add(drawn3.Handler());
    project->BeginSceneEdit(0);  // holds the job off while the marks are looked at
    c1->ObjectChanged(reinterpret_cast<std::intptr_t>(c1));
    EXPECT_TRUE(project->ViewerOutOfDate(0));
    EXPECT_TRUE(project->ViewerOutOfDate(1));  // every viewer of the camera
    EXPECT_FALSE(project->ViewerOutOfDate(2));
    EXPECT_FALSE(project->RedrawAllPending());
    surface->draws.clear();
    surface->ObjectChanged(reinterpret_cast<std::intptr_t>(surface));
    EXPECT_TRUE(project->RedrawAllPending());
    project->EndSceneEdit(0);
    ASSERT_TRUE(WaitForImages(*project));

    // Every viewer with a camera drew the scene, in table order; the one without was cleared
    // (a pass with nothing drawn) and its mark taken all the same.
    const std::vector<std::string> expected = {"Make Image : " + ds[0]->Name() + ".1+",
                                               "Make Image : " + ds[1]->Name() + ".1+",
                                               "Make Image : " + ds[2]->Name() + ".1+"};
    EXPECT_EQ(surface->draws, expected);
    EXPECT_EQ(drawn3.Params(kevDrawingStarted).size(), 1u);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(project->ViewerOutOfDate(i));
    EXPECT_FALSE(project->RedrawAllPending());
    ds[3]->Events().Remove(drawn3.Handler());
}

TEST_F(Project3D, NestedSceneEditsAnnounceOnceAndRestartTheJobAtTheLast)
{
    auto* camera = Add<TestCamera>();
    auto* surface = Add<TestConstruction>();
    auto* ds = Add<TestDrawSystem>();
    project->SetViewerCamera(ds, camera);
    ASSERT_TRUE(WaitForImages(*project));
    surface->draws.clear();

    EventLog log;
    project->Events().Add(log.Handler());
    project->BeginSceneEdit(7);
    project->BeginSceneEdit(8);
    surface->ObjectChanged(0);
    project->EndSceneEdit(8);
    EXPECT_EQ(project->SceneEditCount(), 1);
    EXPECT_TRUE(surface->draws.empty());  // nothing runs inside the edit
    EXPECT_TRUE(project->ImagePending());
    project->EndSceneEdit(9);
    project->EndSceneEdit(10);  // a surplus end does nothing
    ASSERT_TRUE(WaitForImages(*project));
    project->Events().Remove(log.Handler());

    EXPECT_EQ(log.Params(kevSceneEditStarted), std::vector<std::intptr_t>{7});
    EXPECT_EQ(log.Params(kevSceneEditFinished), std::vector<std::intptr_t>{9});
    EXPECT_EQ(project->SceneEditCount(), 0);
    EXPECT_EQ(surface->draws.size(), 1u);
}

TEST_F(Project3D, ASceneEditWaitsForTheRunningImageOnlyWhereTheStateAsks)
{
    struct Case {
        const char* what;
        std::uint32_t noWait;
        std::uint8_t interactive;
        bool finishes;
    };
    const Case cases[] = {
        {"interactive, waiting: the short pass ends", 0, 1, true},
        {"still, the defaults: stopped at once", 2, 0, false},
        {"interactive, no wait: stopped at once", 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto fresh = NewProject();
        auto* cam = TestCamera::New(nullptr);
        fresh->AddObject(nullptr, cam);
        auto* slow = SlowConstruction::New(nullptr);
        // Long enough that a stop lands inside it, short beside the 200 ms wait.
        slow->steps = c.finishes ? 20 : 100000;
        fresh->AddObject(nullptr, slow);
        auto* ds = TestDrawSystem::New(nullptr);
        fresh->AddObject(nullptr, ds);
        fresh->SetNoWait(true, (c.noWait & 1) != 0);
        fresh->SetNoWait(false, (c.noWait & 2) != 0);
        fresh->SetInteractive(c.interactive);
        fresh->SetViewerCamera(ds, cam);
        ASSERT_TRUE(WaitUntil([&] { return slow->started.load() > 0; }));
        fresh->BeginSceneEdit(0);
        EXPECT_EQ(slow->finished.load(), c.finishes ? 1 : 0);
        EXPECT_EQ(slow->stopped.load(), c.finishes ? 0 : 1);
        EXPECT_NE(fresh->ImageThread()->State(), ktsRunning);
        slow->steps = 1;
        fresh->EndSceneEdit(0);
        // A stopped viewer is drawn again by the next job.
        ASSERT_TRUE(WaitForImages(*fresh));
        EXPECT_EQ(slow->finished.load(), 1);
    }
}

TEST_F(Project3D, AStoppedJobIsReportedAndItsViewersStayOutOfDate)
{
    auto* camera = Add<TestCamera>();
    auto* slow = Add<SlowConstruction>();
    slow->steps = 100000;
    auto* ds = Add<TestDrawSystem>();
    EventLog log;
    project->Events().Add(log.Handler());
    project->SetViewerCamera(ds, camera);
    ASSERT_TRUE(WaitUntil([&] { return slow->started.load() > 0; }));
    log.Clear();  // an earlier job that the camera's binding cut short reported already
    project->BeginSceneEdit(0);
    EXPECT_EQ(log.Params(kevImageFailed), std::vector<std::intptr_t>{1});
    EXPECT_TRUE(project->ImagePending());
    EXPECT_TRUE(project->ViewerOutOfDate(0));
    slow->steps = 1;
    project->EndSceneEdit(0);
    ASSERT_TRUE(WaitForImages(*project));
    EXPECT_FALSE(project->ViewerOutOfDate(0));
    project->Events().Remove(log.Handler());
}

TEST_F(Project3D, ADrawingSystemsSetupStopsTheJobFirst)
{
    auto* camera = Add<TestCamera>();
    auto* slow = Add<SlowConstruction>();
    slow->steps = 100000;
    auto* ds = Add<TKDrawingSystem3D>();
    EventLog log;
    project->Events().Add(log.Handler());
    project->SetViewerCamera(ds, camera);
    ASSERT_TRUE(WaitUntil([&] { return slow->started.load() > 0; }));
    log.Clear();
    slow->steps = 1;           // the picture redrawn after the resize is quick
    ds->SetImageSize(64, 32);  // canvas and bitmap change size: the pass must be gone
    EXPECT_EQ(slow->stopped.load(), 1);
    EXPECT_EQ(log.Params(kevSceneEditStarted).size(), 1u);
    EXPECT_EQ(log.Params(kevSceneEditFinished).size(), 1u);
    ASSERT_TRUE(WaitForImages(*project));
    project->Events().Remove(log.Handler());
    EXPECT_EQ(ds->ImageWidth(), 64);
}

TEST_F(Project3D, DestroyingAProjectWhileItRendersIsClean)
{
    auto fresh = NewProject();
    auto* camera = TestCamera::New(nullptr);
    fresh->AddObject(nullptr, camera);
    auto* slow = SlowConstruction::New(nullptr);
    slow->steps = 100000;
    fresh->AddObject(nullptr, slow);
    auto* ds = TestDrawSystem::New(nullptr);
    fresh->AddObject(nullptr, ds);
    fresh->SetViewerCamera(ds, camera);
    ASSERT_TRUE(WaitUntil([&] { return slow->started.load() > 0; }));
    fresh.reset();  // the sanitizers tell of anything drawn after it went
}

TEST_F(Project3D, ViewersFollowTheirDrawingSystemsAndCameras)
{
    auto* camera = Add<TestCamera>();
    auto* outsider = TestCamera::New(nullptr);  // not in "Cameras"
    auto* ds1 = Add<TestDrawSystem>();
    auto* ds2 = Add<TestDrawSystem>();
    EventLog log;
    project->Events().Add(log.Handler());
    project->SetViewerCamera(ds1, outsider);
    EXPECT_EQ(project->GetViewerCamera(ds1), nullptr);
    project->SetViewerCamera(ds1, camera);
    project->SetViewerCamera(ds2, camera);
    EXPECT_EQ(project->GetViewerCamera(ds2), camera);

    camera->Free();  // its viewers show nothing from now on
    EXPECT_EQ(project->GetViewerCamera(ds1), nullptr);
    EXPECT_EQ(project->GetViewerCamera(ds2), nullptr);
    ds1->Free();  // a drawing system that goes takes its viewer along
    EXPECT_EQ(project->ViewerCount(), 1);
    EXPECT_EQ(project->GetDrawingSystem(0), ds2);
    project->DeleteViewer(5);  // out of range: nothing
    project->DeleteViewer(0);
    EXPECT_EQ(project->ViewerCount(), 0);
    EXPECT_EQ(log.Params(kevListChanged).size(), 2u);
    project->Events().Remove(log.Handler());
    outsider->Free();
    ASSERT_TRUE(WaitForImages(*project));
}

TEST_F(Project3D, TheProjectTreeShowsViewersSceneAndCustomObjects)
{
    auto* ds = Add<TestDrawSystem>();
    auto* light = Add<TestLight>();
    Add<CountingList>();
    project->SetName("Site");
    TOwned<TKDataBranch> branch(TKDataBranch::New(nullptr));
    TKObjectRequest request;
    request.Object = project.get();
    request.Kind = korFillBranch;
    request.Argument = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(branch.get()));
    ASSERT_EQ(SendObjectRequest(project->ClassType(), request), 0);

    EXPECT_EQ(branch->Name(), "Site");
    EXPECT_EQ(branch->Flag(), 1);
    ASSERT_EQ(branch->Count(), 3);
    TKDataBranch* viewers = branch->DataChild(0);
    TKDataBranch* scene = branch->DataChild(1);
    EXPECT_EQ(viewers->Name(), "Viewers");
    ASSERT_EQ(viewers->Count(), 1);
    EXPECT_EQ(viewers->DataChild(0)->Name(), ds->Name());
    EXPECT_EQ(scene->Name(), "Scene");
    ASSERT_EQ(scene->Count(), 3);
    EXPECT_EQ(scene->DataChild(0)->Name(), "Objects");
    EXPECT_EQ(scene->DataChild(1)->Name(), "Lights");
    EXPECT_EQ(scene->DataChild(1)->DataChild(0)->Name(), light->Name());
    EXPECT_EQ(scene->DataChild(2)->Name(), "Cameras");
    EXPECT_EQ(branch->DataChild(2)->Name(), "Custom Objects");
    EXPECT_EQ(branch->DataChild(2)->Count(), 1);
}

TEST_F(Project3D, ANegativeViewerCountIsAnInvalidValueAndLeavesBothTablesEmpty)
{
    auto* camera = Add<TestCamera>();
    Add<TestConstruction>();
    auto* ds = Add<TestDrawSystem>();
    project->SetViewerCamera(ds, camera);
    ASSERT_TRUE(WaitForImages(*project));
    ASSERT_EQ(project->DepositoryCount(), 1);
    MemoryStream stream;
    project->WriteObjects(&stream);
    for (const std::int32_t count : {-1, 1 << 30}) {
        SCOPED_TRACE(count);
        std::memcpy(stream.bytes.data(), &count, 4);
        stream.SetPosition(0);
        try {
            project->ReadObjects(&stream);
            ADD_FAILURE() << "read";
        } catch (const EStreamError& error) {
            EXPECT_EQ(error.Message(), ObjectErrorText(project.get(), "Can't load", "Invalid Value"));
        }
        EXPECT_EQ(project->ViewerCount(), 0);
        EXPECT_EQ(project->DepositoryCount(), 0);
    }
}

TEST_F(Project3D, AnObjectOfAClassThisProgramDoesNotKnowIsLeftOutOfItsList)
{
    auto* known = Add<TestConstruction>();
    known->SetName("Known");
    Add<UnlistedConstruction>();
    auto* last = Add<TestLight>();
    last->SetName("Lamp");
    tarvenix::test::TempDir dir;
    project->SaveToFile(dir.File("unknown.ktp"));
    auto loaded = NewProject();
    loaded->LoadFromFile(dir.File("unknown.ktp"));
    ASSERT_TRUE(WaitForImages(*loaded));
    // The unknown record is skipped whole: what follows it still loads.
    ASSERT_GE(loaded->Objects()->Count(), 1);
    EXPECT_EQ(loaded->Objects()->GetItem(0)->Name(), "Known");
    EXPECT_EQ(loaded->Objects()->IndexOf(nullptr), 1);
    ASSERT_EQ(loaded->Lights()->Count(), 1);
    EXPECT_EQ(loaded->Lights()->GetItem(0)->Name(), "Lamp");
}

TEST_F(Project3D, TheSearchPathIsTheProjectFolderThenTheWorkFolder)
{
    std::vector<std::string> path;
    project->GetSearchPath(path);
    EXPECT_EQ(path, (std::vector<std::string>{"", ""}));  // no file, no work folder
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Tarvenix2.0\\Settings\\General", 0,
                             nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string work = "/data/radar";
    RegSetValueEx(key, "WorkDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(work.c_str()),
                  DWORD(work.size() + 1));
    project->GetSearchPath(path);
    EXPECT_EQ(path, (std::vector<std::string>{"", "/data/radar/"}));
    RegSetValueEx(key, "WorkDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    project->GetSearchPath(path);
    EXPECT_EQ(path, (std::vector<std::string>{"", ""}));
    RegDeleteValue(key, "WorkDir");
    RegCloseKey(key);
}

TEST(ProjectRegistration, CaptionSubItemsAndGlyphsOfTheProjectAndTheLists)
{
    const TClass project = TKelvora3DProject::StaticClass();
    EXPECT_EQ(GetClassCaption(project), "Kelvora 3D Project");
    TKDataBranch* items = GetClassInfoBranch(project, kciSubItems, false);
    ASSERT_NE(items, nullptr);
    TKDataBranch* viewers = items->FindChildByName("Viewers", true);
    ASSERT_NE(viewers, nullptr);
    ASSERT_EQ(viewers->Count(), 1);
    EXPECT_EQ(viewers->DataChild(0)->Name(), "Standart Viewer 3D");
    EXPECT_EQ(viewers->DataChild(0)->Data().AsClass(), TKDrawingSystem3D::StaticClass());

    // The glyphs side by side, as the lists show them (clear background black).
    const TClass classes[] = {TKProject::StaticClass(),
                              project,
                              TKCustomChangeObjectList::StaticClass(),
                              TKCustomObject3DList::StaticClass(),
                              TKCustomConstruction3DList::StaticClass(),
                              TKCustomProjectionSystem3DList::StaticClass(),
                              TKCustomLightSystem3DList::StaticClass()};
    QImage strip(64 * int(std::size(classes)), 64, QImage::Format_RGB32);
    QPainter painter(&strip);
    for (std::size_t k = 0; k < std::size(classes); ++k) {
        const std::int32_t id = GetClassGlyphIndex(64, classes[k]);
        ASSERT_GT(id, 0) << classes[k]->name;
        const QImage picture = kelvora::test::GlyphPicture64(id);
        ASSERT_FALSE(picture.isNull()) << classes[k]->name;
        EXPECT_EQ(picture.pixel(0, 63), qRgb(0, 0, 0)) << classes[k]->name;
        painter.drawImage(int(k) * 64, 0, picture);
    }
    painter.end();
    tarvenix::test::SaveTestOutput(strip.scaled(strip.width() * 2, 128), "kelvora-glyphs-project-and-lists");
}

TEST(ProjectHelpers, FloatToStrDotWritesNoBlanksOrTrailingZeros)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"}, {2.5, "2.5"}, {-1.25, "-1.25"}, {12.5, "12.5"}, {3, "3"}, {100, "100"}, {-1e-9, "0"},
    };
    for (const auto& [value, expected] : cases) {
        std::string text = "old";
        FloatToStrDot(12, 6, text, value);
        EXPECT_EQ(text, expected) << value;
    }
}

TEST(ProjectHelpers, NumberTextsReadOnlyNumbers)
{
    int i = 0;
    double d = 0;
    EXPECT_TRUE(StrToIntDot("42", i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(StrToFloatDot("-2.75", d));
    EXPECT_EQ(d, -2.75);
    for (const char* bad : {"", "4.2", "x", "2,5"}) EXPECT_FALSE(StrToIntDot(bad, i)) << bad;
    for (const char* bad : {"", "2,5", "1.2.3", "abc"}) EXPECT_FALSE(StrToFloatDot(bad, d)) << bad;
}

TEST(ProjectHelpers, RelocateFileNameMovesOnlyNamesUnderTheSavedFolder)
{
    tarvenix::test::TempDir dir;
    const std::string current = dir.Path().string() + "/";
    tarvenix::test::WriteWholeFile(dir.File("layer.rdp"), "x");
    struct Case {
        const char* saved;
        const char* name;
        bool moved;
    };
    const Case cases[] = {
        {"/old/place/", "/old/place/layer.rdp", true},
        {"/OLD/Place/", "/old/place/layer.rdp", true},             // letters without case
        {"", "/old/place/layer.rdp", false},                       // no saved folder
        {"/old/place/layer.rdp/", "/old/place/layer.rdp", false},  // longer than the name
        {"/elsewhere/", "/old/place/layer.rdp", false},
        {"/old/place/", "/old/place/missing.rdp", false},  // nothing there now
    };
    for (const Case& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(RelocateFileName(current, c.saved, name), c.moved) << c.saved;
        EXPECT_EQ(name, c.moved ? current + std::filesystem::path(c.name).filename().string() : c.name);
    }
}

}  // namespace
