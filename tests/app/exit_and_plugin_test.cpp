#include <dlfcn.h>

#include <atomic>

#include <QImage>
#include <QPainter>

#include "app/app_resources.h"
#include "app/toolbars/toolbar_ids.h"
#include "app/plugin_loader.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/thread_runner.h"
#include "platform/kernel/modules.h"
#include "tests/app/app_fixture.h"
#include "tests/app/plugin_log.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using namespace apptest;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using Log = std::vector<std::string>;

using namespace tarvenix::toolbars;

namespace {

std::string StandInPlugin(const char* kind)
{
    return BinDir() + "/libapp_test_plugin_" + kind + ".so";
}

using ProgramExit = AppTest;

TEST_F(ProgramExit, NoLeavesEverythingAsItWas)
{
    Start(R"(Tarvenix {Open "a.rdp"})");
    Set3DPluginFileName(StandInPlugin("full").c_str());
    Command().SendMessage(WM_COMMAND, ID_FILE_3DVIEWER, 0);
    ClearPluginLog();

    ChooseExit(IDNO);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const auto& question = Responder().Asked()[0];
    EXPECT_EQ(question.text, CString("Exit Tarvenix ?"));
    EXPECT_EQ(question.caption, CString("Orvane Tarvenix"));
    EXPECT_EQ(question.Buttons(), static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(question.Icon(), static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_EQ(question.owner, Command().GetSafeHwnd());
    PumpEvents();
    EXPECT_TRUE(Command().IsWindowVisible());
    EXPECT_TRUE(IsWindow(Owner()->GetSafeHwnd()));
    EXPECT_EQ(LiveViewers(), 2);
    EXPECT_TRUE(Is3DPluginLoaded());
    EXPECT_TRUE(PluginLog().empty());

    // Esc asks the same question.
    Responder().AnswerMessageBox(IDNO);
    Command().SendMessage(WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(Responder().Asked().size(), 2u);
}

TEST_F(ProgramExit, YesHidesThePluginThenClosesTheViewersThenUnloadsIt)
{
    Start(R"(Tarvenix {DisableView})");
    Set3DPluginFileName(StandInPlugin("full").c_str());
    Command().SendMessage(WM_COMMAND, ID_TOOL_3DVIEWER, 0);
    Command().SendMessage(WM_COMMAND, ID_FILE_OPEN_VIEWER, 0);
    const HWND command = Command().GetSafeHwnd(), owner = Owner()->GetSafeHwnd();

    ChooseExit(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(owner); }));
    EXPECT_FALSE(IsWindow(command));
    EXPECT_EQ(PluginLog(), (Log{"load", "ShowForms", "HideForms", "viewer closes", "unload"}));
    EXPECT_FALSE(Is3DPluginLoaded());
}

TEST_F(ProgramExit, APluginThatKeepsItsProjectStopsTheExitBeforeAnythingCloses)
{
    Start(R"(Tarvenix {DisableView})");
    Set3DPluginFileName(StandInPlugin("full").c_str());
    Command().SendMessage(WM_COMMAND, ID_TOOL_3DVIEWER, 0);
    Command().SendMessage(WM_COMMAND, ID_FILE_OPEN_VIEWER, 0);
    const int viewers = LiveViewers();
    ClearPluginLog();

    SetHideAnswer(0);  // Cancel in the plug-in's save question
    ChooseExit(IDYES);
    PumpEvents();
    EXPECT_EQ(PluginLog(), (Log{"HideForms"}));
    EXPECT_TRUE(Command().IsWindowVisible());
    EXPECT_TRUE(Command().IsWindowEnabled());
    EXPECT_EQ(LiveViewers(), viewers);
    EXPECT_TRUE(Is3DPluginLoaded());

    // Asked again, the plug-in lets go: the exit runs, and the plug-in is not hidden twice.
    ClearPluginLog();
    const HWND owner = Owner()->GetSafeHwnd();
    ChooseExit(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(owner); }));
    EXPECT_EQ(PluginLog(), (Log{"HideForms", "viewer closes", "unload"}));
}

TEST_F(ProgramExit, WaitsForAViewerThatSavesWhenToldToClose)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("large.rdp");
    constexpr int kSide = 2048;
    std::atomic<bool> saved{false};
    Start(R"(Tarvenix {Open "large.rdp"} {DisableView})");
    ASSERT_EQ(OpenedViewers().size(), 1u);

    // Told to close, the viewer writes its layer on a worker and goes when it is written.
    struct Save {
        std::string path;
        HWND viewer;
        std::atomic<bool>* saved;
    };
    OpenedViewers()[0]->onClose = [&](StandInViewer& viewer) {
        auto* job = new Save{path, viewer.GetSafeHwnd(), &saved};
        ::Run("Saving", static_cast<JobProc>([](void* arg) {
                  std::unique_ptr<Save> save(static_cast<Save*>(arg));
                  CRDPLayer layer;
                  void** rows = layer.CreateLayer(save->path.c_str(), kSide, kSide, 7);
                  if (rows) {
                      for (int y = 0; y < kSide; ++y) {
                          float* row = static_cast<float*>(rows[y]);
                          for (int x = 0; x < kSide; ++x) row[x] = static_cast<float>(y + x);
                      }
                      if (layer.CloseLayer()) save->saved->store(true);
                  }
                  PostMessage(save->viewer, WM_CLOSE, 0, 0);
              }),
              job);
    };

    const HWND owner = Owner()->GetSafeHwnd();
    ChooseExit(IDYES);
    EXPECT_FALSE(Command().IsWindowVisible());
    bool endedBeforeSave = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!IsWindow(owner) && !saved.load()) endedBeforeSave = true;
            return !IsWindow(owner);
        },
        std::chrono::seconds(120)));
    EXPECT_FALSE(endedBeforeSave);
    EXPECT_EQ(GetRunningThreadCount(), 0);

    CRDPLayer back;
    ASSERT_NE(back.OpenLayer(path.c_str(), 0), nullptr);
    EXPECT_EQ(back.Width(), kSide);
    EXPECT_EQ(back.Height(), kSide);
    EXPECT_EQ(back.GetValue(kSide - 1, kSide - 1), 2.0 * (kSide - 1));
    EXPECT_EQ(back.GetValue(7, 1000), 1007.0);
    back.CloseLayer();
}

TEST_F(ProgramExit, StopsARunningJobAsItsStopButtonDoes)
{
    struct Job {
        std::atomic<bool> started{false};
        std::atomic<bool> ranToTheEnd{false};
        std::atomic<bool> unwound{false};
    };
    static Job job;
    job.started = job.ranToTheEnd = job.unwound = false;
    static bool finished;
    finished = false;
    Start(R"(Tarvenix {DisableView})");
    ::Run(
        "Long job", static_cast<MeterJobProc>([](void*, CMeterInfo* meter) {
            struct Unwind {
                ~Unwind() { job.unwound = true; }
            } unwind;
            job.started = true;
            meter->SetRangeWords(0, 60000);
            for (int i = 0; i < 60000; ++i) {
                meter->SetPosInt(i);  // raises the cancel error once stopped
                Sleep(1);
            }
            job.ranToTheEnd = true;
        }),
        nullptr, [](void*) { finished = true; }, nullptr);
    ASSERT_TRUE(PumpUntil([] { return job.started.load(); }));

    const HWND owner = Owner()->GetSafeHwnd();
    ChooseExit(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(owner); }, std::chrono::seconds(120)));
    EXPECT_TRUE(job.unwound);
    EXPECT_FALSE(job.ranToTheEnd);
    EXPECT_FALSE(finished);  // a stopped job shows no result
    EXPECT_EQ(GetRunningThreadCount(), 0);
}

struct PluginCase {
    const char* name;
    const char* plugin;  ///< stand-in kind; null: no such file
    int commands;        ///< "3D Viewer" commands before the exit
    Log beforeExit;
    Log atExit;
};

class PluginLoading : public AppTest, public ::testing::WithParamInterface<PluginCase> {};
using PluginCommands = AppTest;

TEST_P(PluginLoading, CallsWhatTheLibraryOffersAndStaysSilentOtherwise)
{
    const PluginCase& c = GetParam();
    Start(R"(Tarvenix {DisableView})");
    Set3DPluginFileName(c.plugin ? StandInPlugin(c.plugin).c_str()
                                 : (BinDir() + "/libno_such_plugin.so").c_str());
    for (int i = 0; i < c.commands; ++i)
        Command().SendMessage(WM_COMMAND, i % 2 ? ID_TOOL_3DVIEWER : ID_FILE_3DVIEWER, 0);
    EXPECT_EQ(PluginLog(), c.beforeExit);
    EXPECT_EQ(Is3DPluginLoaded(), c.plugin != nullptr && c.commands > 0);
    ClearPluginLog();

    const HWND owner = Owner()->GetSafeHwnd();
    ChooseExit(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(owner); }));
    EXPECT_EQ(PluginLog(), c.atExit);
    EXPECT_EQ(Responder().Asked().size(), 1u);  // the exit question, nothing else
}

INSTANTIATE_TEST_SUITE_P(
    Table, PluginLoading,
    ::testing::Values(
        PluginCase{"FileAbsent", nullptr, 2, {}, {}},
        PluginCase{"ChosenTwice", "full", 2, {"load", "ShowForms", "ShowForms"}, {"HideForms", "unload"}},
        PluginCase{"NoShowForms", "no_show", 1, {"load"}, {"HideForms", "unload"}},
        PluginCase{"NoHideForms", "no_hide", 1, {"load", "ShowForms"}, {"unload"}},
        PluginCase{"Never3DViewer", "full", 0, {}, {}}),
    [](const ::testing::TestParamInfo<PluginCase>& info) { return std::string(info.param.name); });

TEST_F(PluginCommands, AFailedLoadIsTriedAgainAtTheNextCommand)
{
    Start(R"(Tarvenix {DisableView})");
    Set3DPluginFileName((BinDir() + "/libno_such_plugin.so").c_str());
    Command().SendMessage(WM_COMMAND, ID_FILE_3DVIEWER, 0);
    EXPECT_FALSE(Is3DPluginLoaded());
    Set3DPluginFileName(StandInPlugin("full").c_str());  // as if the file had been put in place
    Command().SendMessage(WM_COMMAND, ID_FILE_3DVIEWER, 0);
    EXPECT_TRUE(Is3DPluginLoaded());
    EXPECT_EQ(PluginLog(), (Log{"load", "ShowForms"}));
}

using Plugin3DEndToEnd = AppTest;

// The real plug-in next to the program: its hidden owner exists from its load, the 3D command
// shows the administrator over the program, and the exit hides and unloads it with its windows.
TEST_F(Plugin3DEndToEnd, TheCommandShowsTheAdministratorAndTheExitTakesThePluginAway)
{
    Start(R"(Tarvenix {DisableView})");
    // Loaded on its own first: the hidden owner exists and its handle is offered.
    HMODULE module = LoadLibraryA("Kelvora3Dl.dll");
    ASSERT_NE(module, nullptr);
    using GetWindow = HWND (*)();
    auto getMainWnd = reinterpret_cast<GetWindow>(GetProcAddress(module, MAKEINTRESOURCE(3)));
    ASSERT_NE(getMainWnd, nullptr);
    const HWND kelvora = FindWindow(nullptr, "Kelvora");
    ASSERT_NE(kelvora, nullptr);
    EXPECT_EQ(getMainWnd(), kelvora);
    EXPECT_FALSE(CWnd::FromHandle(kelvora)->IsWindowVisible());
    EXPECT_EQ(FindWindow(nullptr, "KAdministrator"), nullptr);

    Command().SendMessage(WM_COMMAND, ID_FILE_3DVIEWER, 0);  // "Kelvora3Dl.dll" next to the program
    ASSERT_TRUE(Is3DPluginLoaded());
    const HWND admin = FindWindow(nullptr, "KAdministrator");
    ASSERT_NE(admin, nullptr);
    EXPECT_TRUE(CWnd::FromHandle(admin)->IsWindowVisible());
    EXPECT_EQ(CWnd::FromHandle(admin)->GetOwner()->GetSafeHwnd(), kelvora);
    PumpEvents();
    {
        CRect command, shown;
        Command().GetWindowRect(&command);
        CWnd::FromHandle(admin)->GetWindowRect(&shown);
        const CRect all(std::min(command.left, shown.left), std::min(command.top, shown.top),
                        std::max(command.right, shown.right), std::max(command.bottom, shown.bottom));
        QImage screen(all.Width(), all.Height(), QImage::Format_RGB32);
        screen.fill(QColor(40, 60, 90));
        QPainter painter(&screen);
        painter.drawImage(command.left - all.left, command.top - all.top,
                          tarvenix::test::GrabWholeWindow(Command()));
        painter.drawImage(shown.left - all.left, shown.top - all.top,
                          tarvenix::test::GrabWholeWindow(*CWnd::FromHandle(admin)));
        painter.end();
        EXPECT_FALSE(tarvenix::test::SaveTestOutput(screen, "main-program-3d").empty());
    }
    FreeLibrary(module);  // the program's own load keeps it

    const HWND owner = Owner()->GetSafeHwnd();
    ChooseExit(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(owner); }));
    EXPECT_FALSE(Is3DPluginLoaded());
    EXPECT_FALSE(IsWindow(admin));
    EXPECT_FALSE(IsWindow(kelvora));
    EXPECT_EQ(Responder().Asked().size(), 1u);  // the exit question only: no project was changed
    // Gone from the process, not only from the program's table: nothing of it (a per-thread
    // destructor, a thread) holds it in memory.
    void* stillMapped = dlopen((BinDir() + "/libKelvora3Dl.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(stillMapped, nullptr);
    if (stillMapped) dlclose(stillMapped);
}

}  // namespace
