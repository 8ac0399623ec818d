#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "app/app_resources.h"
#include "app/toolbars/toolbar_ids.h"
#include "app/startup_guard.h"
#include "platform/shell/single_instance_channel.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

extern char** environ;

using namespace apptest;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

using namespace tarvenix::toolbars;

namespace {

// Starts the built program with one argument; the child's pid.
pid_t StartProgram(const std::string& argument)
{
    const std::string program = BinDir() + "/Tarvenix";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return pid;
}

// Pumps the test's events until the child has ended; its exit code, or -1.
int WaitForProgram(pid_t pid)
{
    int status = 0;
    const bool ended =
        PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(60));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

using SecondStart = AppTest;

TEST_F(SecondStart, HandsItsCommandLineToTheRunningProgramAndEnds)
{
    Start(R"(Tarvenix {DisableView})");
    const pid_t pid = StartProgram(R"({Open "x.rdp"})");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForProgram(pid), 0);
    ASSERT_TRUE(PumpUntil([] { return !OpenedFiles().empty(); }));
    EXPECT_EQ(OpenedFiles(), std::vector<std::string>{"x.rdp"});
}

TEST_F(SecondStart, IsDroppedWhileAModalDialogDisablesTheCommandWindow)
{
    Start(R"(Tarvenix {DisableView})");
    // A modal dialog's loop disables its owner; the test responder answers dialogs without
    // that loop, so the command window is disabled here as the loop does it.
    Command().EnableWindow(FALSE);
    const pid_t pid = StartProgram(R"({Open "x.rdp"})");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForProgram(pid), 0);  // acknowledged all the same
    PumpEvents();
    EXPECT_TRUE(OpenedFiles().empty());
    Command().EnableWindow(TRUE);
    PumpEvents();
    EXPECT_TRUE(OpenedFiles().empty());
}

TEST_F(SecondStart, TextIsCutTo519Characters)
{
    Start(R"(Tarvenix {DisableView})");
    // The first group ends within the 519 characters, the second one beyond them.
    const std::string first = R"({Open "a.rdp"})";
    const std::string name(519 - first.size() - 8, 'n');
    const std::string text = first + R"({Open ")" + name + R"(.rdp"})";
    ASSERT_GT(text.size(), 519u);
    std::atomic<int> sent{-1};
    std::thread sender([&] {
        sent =
            platform::SingleInstanceChannel::SendToRunning(CTarvenixApp::InstanceChannelName(), text.c_str());
    });
    PumpUntil([&] { return sent.load() >= 0; });
    sender.join();
    EXPECT_EQ(sent.load(), 1);
    PumpEvents();
    EXPECT_EQ(OpenedFiles(), std::vector<std::string>{"a.rdp"});
}

TEST_F(SecondStart, WithNoProgramRunningTheStartRunsOnItsOwn)
{
    // Nobody listens: the hand-over fails and this start makes its own windows and listens.
    Start(R"(Tarvenix {Open "y.rdp"} {DisableView})");
    EXPECT_EQ(OpenedFiles(), std::vector<std::string>{"y.rdp"});
    EXPECT_TRUE(Command().IsWindowVisible());
}

TEST(StartupGuard, AnExceptionEndsTheStartWithTheMessage)
{
    RegisterAppResources();
    Responder().AnswerMessageBox(IDOK);
    EXPECT_FALSE(RunStartupGuarded("ERROR OCCURED", []() -> BOOL { throw std::runtime_error("broken"); }));
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const auto& box = Responder().Asked()[0];
    EXPECT_EQ(box.text, CString("ERROR OCCUREDAfter click button all processes will be closed."));
    EXPECT_EQ(box.caption, CString("Tarvenix"));
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_TOPMOST));
}

TEST(StartupGuard, FaultTextsNameTheFault)
{
    RegisterAppResources();
    EXPECT_EQ(
        StartupErrorText("ERROR OCCURED", 0xC0000094u),
        CString("ERROR OCCUREDEXCEPTION_INT_DIVIDE_BY_ZEROAfter click button all processes will be closed."));
    EXPECT_EQ(StartupErrorText("E", 0xC00000FDu),
              CString("EEXCEPTION_STACK_OVERFLOWAfter click button all processes will be closed."));
    EXPECT_EQ(StartupErrorText("E", 0x12345u), CString("EAfter click button all processes will be closed."));
}

TEST(StartupGuardDeathTest, AProcessorFaultIsWrittenOutAndEndsWithCode1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RegisterAppResources();
            RunStartupGuarded("ERROR OCCURED", []() -> BOOL {
                // A page that may not be touched: the write is the processor's fault, not
                // something a sanitizer would stop first.
                void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                *static_cast<volatile int*>(page) = 1;
                return TRUE;
            });
            std::exit(0);
        },
        ::testing::ExitedWithCode(1),
        "ERROR OCCUREDEXCEPTION_ACCESS_VIOLATIONAfter click button all processes will be closed.");
}

}  // namespace
