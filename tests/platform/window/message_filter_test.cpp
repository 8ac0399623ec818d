// Message filters stand in for subclassing a window; thread timers belong to no window.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/kernel/mul_div.h"
#include "platform/window/wnd.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpUntil;

namespace {

class RecordingWnd : public CWnd {
public:
    std::vector<UINT> seen;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_USER) seen.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

}  // namespace

TEST(MessageFilter, RunsNewestFirstBeforeTheWindowAndMayTakeTheMessage)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "filtered", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    std::vector<std::string> order;
    const UINT_PTR older =
        platform::AddMessageFilter(wnd.m_hWnd, [&](UINT message, WPARAM, LPARAM, LRESULT& result) {
            if (message < WM_USER) return false;
            order.push_back("older");
            result = 7;
            return message == WM_USER + 1;  // takes only this one
        });
    UINT_PTR newer = 0;
    newer = platform::AddMessageFilter(wnd.m_hWnd, [&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message < WM_USER) return false;
        order.push_back("newer");
        if (message == WM_USER + 2)
            platform::RemoveMessageFilter(wnd.m_hWnd, newer);  // from inside its own call
        return false;
    });
    ASSERT_NE(older, 0u);
    ASSERT_NE(newer, 0u);

    EXPECT_EQ(wnd.SendMessage(WM_USER + 1), 7);
    EXPECT_TRUE(wnd.seen.empty());  // taken before the window saw it
    EXPECT_EQ(order, (std::vector<std::string>{"newer", "older"}));

    order.clear();
    wnd.SendMessage(WM_USER + 2);
    wnd.SendMessage(WM_USER + 3);
    EXPECT_EQ(order, (std::vector<std::string>{"newer", "older", "older"}));
    EXPECT_EQ(wnd.seen, (std::vector<UINT>{WM_USER + 2, WM_USER + 3}));

    EXPECT_TRUE(platform::RemoveMessageFilter(wnd.m_hWnd, older));
    EXPECT_FALSE(platform::RemoveMessageFilter(wnd.m_hWnd, older));
    EXPECT_EQ(platform::AddMessageFilter(nullptr, [](UINT, WPARAM, LPARAM, LRESULT&) { return false; }), 0u);
    wnd.DestroyWindow();
}

TEST(MessageFilter, AFilterThatDestroysTheWindowEndsTheMessage)
{
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "going", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    bool later = false;
    platform::AddMessageFilter(wnd.m_hWnd, [&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_USER + 5) later = true;
        return false;
    });
    platform::AddMessageFilter(wnd.m_hWnd, [&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_USER + 5) wnd.DestroyWindow();
        return false;
    });
    later = false;
    wnd.SendMessage(WM_USER + 5);
    EXPECT_FALSE(later);
    EXPECT_TRUE(wnd.seen.empty());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

namespace {
int g_ticks = 0;
UINT_PTR g_tickId = 0;
void Tick(HWND hwnd, UINT message, UINT_PTR id, DWORD)
{
    if (hwnd == nullptr && message == WM_TIMER && id == g_tickId) ++g_ticks;
    if (g_ticks == 3) KillTimer(nullptr, id);  // from its own call
}
}  // namespace

TEST(ThreadTimer, TicksWithoutAWindowUntilKilled)
{
    g_ticks = 0;
    g_tickId = SetTimer(nullptr, 0, 5, Tick);
    ASSERT_NE(g_tickId, 0u);
    EXPECT_TRUE(PumpUntil([] { return g_ticks >= 3; }));
    tarvenix::test::PumpEvents();
    EXPECT_EQ(g_ticks, 3);
    EXPECT_FALSE(KillTimer(nullptr, g_tickId));
    EXPECT_EQ(SetTimer(nullptr, 0, 5, nullptr), 0u);
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit)
{
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {10, 3, 4, 8},
        {-10, 3, 4, -8},
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {7, 1, -2, -4},
        {1, 1, 0, -1},
        {2000000000, 2, 1, -1},
        {1000000, 333, 1000000, 333},
        {320000, 1000, 0x8000, 9766},
        {0x8000, 160, 0x8000, 160},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}
