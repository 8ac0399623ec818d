#include <QIcon>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/menu/menu.h"
#include "platform/menu/system_menu.h"
#include "platform/resources/icon_internal.h"
#include "platform/resources/resources.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;

namespace {

constexpr UINT kAbout = 0x10;

class CommandWnd : public CWnd {
public:
    std::vector<UINT> commands;
    int abouts = 0;
    HICON dragIcon = nullptr;

protected:
    void OnSysCommand(UINT nID, LPARAM lParam)
    {
        commands.push_back(nID);
        if ((nID & 0xFFF0) == kAbout)
            ++abouts;
        else
            CWnd::OnSysCommand(nID, lParam);
    }
    HCURSOR OnQueryDragIcon()
    {
        return dragIcon ? reinterpret_cast<HCURSOR>(dragIcon) : CWnd::OnQueryDragIcon();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandWnd, CWnd)
    ON_WM_SYSCOMMAND()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_VISIBLE;

}  // namespace

TEST(SystemMenu, AppendedItemArrivesAsSysCommandAndRevertRestoresTheMenu)
{
    CommandWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Command", kStyle, CRect(10, 10, 200, 80), nullptr, 0));
    CMenu* menu = wnd.GetSystemMenu(FALSE);
    ASSERT_NE(menu, nullptr);
    const UINT standard = menu->GetMenuItemCount();
    EXPECT_EQ(menu->GetMenuItemID(static_cast<int>(standard) - 1), SC_CLOSE);
    menu->AppendMenu(MF_SEPARATOR);
    menu->AppendMenu(MF_STRING, kAbout, "&About Tarvenix...");
    EXPECT_EQ(wnd.GetSystemMenu(FALSE), menu);  // the same menu each time

    EXPECT_TRUE(platform::ChooseSystemMenuItem(wnd.GetSafeHwnd(), kAbout));
    EXPECT_EQ(wnd.abouts, 0);  // posted, as menus send it
    ASSERT_TRUE(PumpUntil([&] { return wnd.abouts == 1; }));

    // Items the window's style rules out are greyed and cannot be chosen; unknown ids neither.
    EXPECT_FALSE(platform::ChooseSystemMenuItem(wnd.GetSafeHwnd(), SC_MAXIMIZE));
    EXPECT_FALSE(platform::ChooseSystemMenuItem(wnd.GetSafeHwnd(), SC_RESTORE));
    EXPECT_FALSE(platform::ChooseSystemMenuItem(wnd.GetSafeHwnd(), 0x20));
    PumpEvents();
    EXPECT_EQ(wnd.commands, std::vector<UINT>{kAbout});

    EXPECT_EQ(wnd.GetSystemMenu(TRUE), nullptr);
    CMenu* fresh = wnd.GetSystemMenu(FALSE);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetMenuItemCount(), standard);
    EXPECT_EQ(fresh->GetMenuState(kAbout, MF_BYCOMMAND), static_cast<UINT>(-1));

    // The standard items keep their default handling.
    EXPECT_TRUE(platform::ChooseSystemMenuItem(wnd.GetSafeHwnd(), SC_CLOSE));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(wnd.GetSafeHwnd()); }));
    EXPECT_EQ(wnd.commands.back(), SC_CLOSE);
}

TEST(SystemMenu, AltSpaceShowsTheMenuAndChildWindowsHaveNone)
{
    CommandWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Command", kStyle, CRect(10, 10, 200, 80), nullptr, 0));
    wnd.GetSystemMenu(FALSE)->AppendMenu(MF_STRING, kAbout, "&About Tarvenix...");
    Responder().AnswerPopupMenu(kAbout);
    wnd.SendMessage(WM_SYSKEYDOWN, VK_SPACE, 0x20000001);
    ASSERT_TRUE(PumpUntil([&] { return wnd.abouts == 1; }));
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].popup.items.back().text, CString("&About Tarvenix..."));

    CWnd child;
    ASSERT_TRUE(child.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &wnd, 1));
    EXPECT_EQ(child.GetSystemMenu(FALSE), nullptr);
}

TEST(SystemMenu, IconsShowAsTheWindowIconAndAnswerTheDragIconQuery)
{
    CommandWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "Command", kStyle, CRect(10, 10, 200, 80), nullptr, 0));
    EXPECT_EQ(wnd.SendMessage(WM_QUERYDRAGICON), 0);
    QImage big(32, 32, QImage::Format_ARGB32);
    big.fill(Qt::red);
    QImage small(16, 16, QImage::Format_ARGB32);
    small.fill(Qt::blue);
    HICON__ bigIcon{big}, smallIcon{small};

    EXPECT_EQ(wnd.SetIcon(&bigIcon, TRUE), nullptr);
    EXPECT_EQ(wnd.SetIcon(&smallIcon, FALSE), nullptr);
    EXPECT_EQ(wnd.GetIcon(TRUE), &bigIcon);
    EXPECT_EQ(wnd.GetIcon(FALSE), &smallIcon);
    const QIcon shown = wnd.GetWidget()->windowIcon();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixmap(32, 32).toImage().pixelColor(16, 16), QColor(Qt::red));
    EXPECT_EQ(shown.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));

    // The default answer is the big icon; a handler may answer with its own.
    EXPECT_EQ(wnd.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(&bigIcon));
    wnd.dragIcon = &smallIcon;
    EXPECT_EQ(wnd.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(&smallIcon));

    EXPECT_EQ(wnd.SetIcon(nullptr, TRUE), &bigIcon);
}
