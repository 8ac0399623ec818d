#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "platform/window/ui_thread.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

constexpr UINT WM_JOB = WM_USER + 519;

// Records which thread handled each message and what it carried.
class ReceiverWnd : public CWnd {
public:
    std::vector<LPARAM> received;
    std::atomic<int> handled{0};
    std::thread::id handlerThread;
    int endLoopWith = 0;

protected:
    LRESULT OnJob(WPARAM wParam, LPARAM lParam)
    {
        handlerThread = std::this_thread::get_id();
        received.push_back(lParam);
        ++handled;
        if (endLoopWith) EndModalLoop(endLoopWith);
        return static_cast<LRESULT>(wParam) * 2;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ReceiverWnd, CWnd)
    ON_MESSAGE(WM_JOB, OnJob)
END_MESSAGE_MAP()

BOOL MakeWindow(CWnd& wnd, CWnd* owner = nullptr)
{
    return wnd.CreateEx(0, nullptr, "Receiver", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 100), owner, 0);
}

}  // namespace

TEST(Threads, SendFromAWorkerWaitsForTheUiThreadAndPostsKeepTheirOrder)
{
    ReceiverWnd wnd;
    ASSERT_TRUE(MakeWindow(wnd));
    const HWND hwnd = wnd.GetSafeHwnd();
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (LPARAM i = 1; i <= 5; ++i) PostMessage(hwnd, WM_JOB, 0, i);
        result = SendMessage(hwnd, WM_JOB, 21, 100);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && wnd.handled == 6; }));
    worker.join();
    EXPECT_EQ(result, 42);
    EXPECT_EQ(wnd.handlerThread, std::this_thread::get_id());
    std::vector<LPARAM> posts;
    for (LPARAM v : wnd.received)
        if (v != 100) posts.push_back(v);
    EXPECT_EQ(posts, (std::vector<LPARAM>{1, 2, 3, 4, 5}));
}

TEST(Threads, AWorkerSendIsAnsweredWhileAMessageBoxIsUp)
{
    ReceiverWnd wnd;
    ASSERT_TRUE(MakeWindow(wnd));
    const HWND hwnd = wnd.GetSafeHwnd();
    std::atomic<bool> workerStarted{false};
    std::atomic<LRESULT> workerResult{0};
    // The box stays up until the worker's send has been handled inside it.
    Responder().AnswerMessageBox(IDYES).When([&] { return wnd.handled == 1; });
    std::thread worker([&] {
        workerStarted = true;
        workerResult = SendMessage(hwnd, WM_JOB, 5, 7);
    });
    while (!workerStarted) std::this_thread::yield();
    EXPECT_EQ(wnd.MessageBox("Save changes ?", "Viewer", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
    worker.join();
    EXPECT_EQ(workerResult, 10);
    EXPECT_EQ(wnd.handled, 1);
}

TEST(Threads, AWorkersMessageBoxIsShownByTheUiThread)
{
    ReceiverWnd wnd;
    ASSERT_TRUE(MakeWindow(wnd));
    Responder().AnswerMessageBox(IDNO);
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer =
            MessageBox(wnd.GetSafeHwnd(), "Do you really want to stop the process?", "Filtration", MB_YESNO);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(answer, IDNO);
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].text, "Do you really want to stop the process?");
    EXPECT_EQ(Responder().Asked()[0].owner, wnd.GetSafeHwnd());
}

TEST(Threads, RunOnUiThreadRunsInlineOnTheUiThreadAndCarriesFailuresBack)
{
    int ran = 0;
    platform::RunOnUiThread([&] { ++ran; });  // inline: no deadlock on the UI thread itself
    EXPECT_EQ(ran, 1);

    std::atomic<bool> done{false};
    std::thread::id ranOn;
    std::string error;
    std::thread worker([&] {
        platform::RunOnUiThread([&] { ranOn = std::this_thread::get_id(); });
        try {
            platform::RunOnUiThread([] { throw std::runtime_error("no layer"); });
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        platform::PostToUiThread([&] { ++ran; });
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && ran == 2; }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(error, "no layer");
}

TEST(Threads, AWorkerSendingToAGoneWindowGetsAFailure)
{
    ReceiverWnd wnd;
    ASSERT_TRUE(MakeWindow(wnd));
    const HWND hwnd = wnd.GetSafeHwnd();
    wnd.DestroyWindow();
    LRESULT result = -1;
    DWORD error = 0;
    BOOL posted = TRUE;
    std::thread([&] {
        result = SendMessage(hwnd, WM_JOB, 1, 1);
        error = GetLastError();
        posted = PostMessage(hwnd, WM_JOB, 1, 1);
    }).join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(posted);
    EXPECT_TRUE(wnd.received.empty());
}

TEST(Threads, ARealModalLoopDisablesItsOwnerAndKeepsAnsweringSends)
{
    ReceiverWnd owner, dialog;
    ASSERT_TRUE(MakeWindow(owner));
    ASSERT_TRUE(MakeWindow(dialog, &owner));
    dialog.endLoopWith = IDOK;
    const HWND hwnd = dialog.GetSafeHwnd();
    std::atomic<bool> ownerDisabledDuringSend{false};
    platform::SetModalResponder(nullptr);  // the real loop, ended by the worker's send
    std::thread worker([&] {
        // Wait until the loop runs (the dialog is shown by it), then send.
        while (!platform::CallOnUiThread([&] { return dialog.IsWindowVisible() != FALSE; }))
            std::this_thread::yield();
        ownerDisabledDuringSend = platform::CallOnUiThread([&] { return owner.IsWindowEnabled() == FALSE; });
        SendMessage(hwnd, WM_JOB, 0, 1);
    });
    const int result = dialog.RunModalLoop();
    platform::SetModalResponder(&Responder());
    worker.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(ownerDisabledDuringSend);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(dialog.handled, 1);
}

TEST(Threads, AWorkerChangingAWindowIsCarriedToTheUiThread)
{
    ReceiverWnd wnd;
    ASSERT_TRUE(MakeWindow(wnd));
    std::atomic<bool> done{false};
    CRect client;
    CString title;
    std::thread worker([&] {
        wnd.SetWindowText("Close Layer");
        wnd.MoveWindow(0, 0, 120, 90);
        wnd.ShowWindow(SW_SHOW);
        wnd.Invalidate();
        wnd.GetClientRect(&client);
        wnd.GetWindowText(title);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(wnd.IsWindowVisible());
    EXPECT_EQ(client, CRect(0, 0, 120, 90));
    EXPECT_EQ(title, "Close Layer");
}
