#include <functional>
#include <string>
#include <vector>

#include <QMenu>
#include <QPainter>
#include <gtest/gtest.h>

#include "app/toolbars/toolbar_band.h"
#include "app/toolbars/toolbar_ids.h"
#include "tests/app/toolbars/row_menus.h"
#include "tests/app/toolbars/command_strip.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace tarvenix::toolbars;
using namespace rowtest;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

void MoveOver(CWnd& wnd, int x = 5, int y = 5)
{
    wnd.SendMessage(WM_MOUSEMOVE, 0, At(x, y));
}

/// A click as the mouse gives it: press at (5, 5), release at (x, y) (outside when negative).
void Click(CWnd& wnd, int x = 5, int y = 5)
{
    wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    wnd.SendMessage(WM_LBUTTONUP, 0, At(x, y));
    PumpEvents();
}

int LookOf(CWnd* wnd)
{
    if (auto* b = dynamic_cast<TarButtons*>(wnd)) return b->GetLook();
    if (auto* m = dynamic_cast<TarMenu*>(wnd)) return m->GetLook();
    return 0;
}

/// Holds an arrow down with the test as its clock: the arrow's own timer is stopped, and
/// each Tick() is one timer period.
class HeldArrow {
public:
    explicit HeldArrow(TarScrollArrow& arrow) : m_arrow(arrow)
    {
        m_arrow.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
        m_arrow.KillTimer(1);
    }
    void Tick()
    {
        m_arrow.SendMessage(WM_TIMER, 1);
        PumpEvents();
    }
    void MoveTo(int x, int y) { m_arrow.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, At(x, y)); }
    void Release(int x = 3, int y = 3)
    {
        m_arrow.SendMessage(WM_LBUTTONUP, 0, At(x, y));
        PumpEvents();
    }

private:
    TarScrollArrow& m_arrow;
};

/// Where a child window lies in the band's client area.
CRect InBand(CToolBarBand& band, CWnd& wnd)
{
    CRect r;
    wnd.GetWindowRect(&r);
    band.ScreenToClient(&r);
    return r;
}

struct StripTest : ::testing::Test {
    CommandStrip strip;
    void Open(int width)
    {
        ASSERT_TRUE(strip.Open(width));
        PumpEvents();
    }
};

}  // namespace

TEST_F(StripTest, RowsThatFitShowNoArrowsAndStartAtTheMargin)
{
    Open(1000);
    for (CToolBarBand* band : {&strip.menuBand, &strip.mainBand, &strip.pageBand}) {
        SCOPED_TRACE(band == &strip.menuBand ? "menu" : band == &strip.mainBand ? "MAIN" : "page");
        ASSERT_NE(band->GetContent(), nullptr);
        EXPECT_FALSE(band->IsLeftArrowShown());
        EXPECT_FALSE(band->IsRightArrowShown());
        EXPECT_EQ(band->GetContent()->GetOffset(), 2);
        EXPECT_EQ(InBand(*band, *band->GetContent()->GetButton(0)).left, 2);
        EXPECT_EQ(band->GetVisibleRect().left, 0);
    }
    // The rows as the command window lays them out.
    EXPECT_EQ(strip.mainRow.GetButtonCount(), 4);
    EXPECT_EQ(strip.menuRow.GetButtonCount(), 6);
    EXPECT_EQ(strip.pageCount, 4);
    const int items[] = {4, 7, 2, 8};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(strip.pages[i]->GetButtonCount(), items[i]) << "page " << i;
    EXPECT_EQ(strip.mainButtonWidth, 103);
    EXPECT_EQ(strip.mainButtonHeight, 38);
    EXPECT_EQ(strip.pageButtonWidth, 74);
    EXPECT_EQ(strip.pageButtonHeight, 65);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < strip.pages[i]->GetButtonCount(); ++k)
            EXPECT_TRUE(static_cast<TarButtons*>(strip.PageButton(i, k))->HasImage()) << i << "/" << k;
}

TEST(ToolBarWindow, AStripThatCannotBeLoadedLeavesTheButtonsWithoutImages)
{
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, "Host", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 80), nullptr, 0));
    CToolBarBand band;
    CToolBarWindow row;
    ASSERT_TRUE(band.Build(&host, 0, 0, 400, 69, nullptr, -11, IDC_PAGE_ARROW_LEFT, IDC_PAGE_ARROW_RIGHT));
    ASSERT_TRUE(row.Create(&band, nullptr, -11));
    const CString texts[] = {"One", "Two"};
    const UINT ids[] = {101, 102};
    EXPECT_EQ(row.CreateImageButtons(2, "IDB_BITMAP_TOOL_MISSING", "IDB_BITMAP_TOOL_MISSING_GRAY", texts, ids,
                                     74, 65),
              148);
    EXPECT_EQ(row.GetColourImages().GetImageCount(), 0);
    for (int i = 0; i < 2; ++i) EXPECT_FALSE(static_cast<TarButtons*>(row.GetButton(i))->HasImage());
    band.SetContent(&row);
    row.ShowWindow(SW_SHOW);
    band.Layout();
    MoveOver(*row.GetButton(0));
    EXPECT_FALSE(GrabWindow(host).isNull());  // paints without its picture
}

TEST_F(StripTest, HoldingAnArrowScrollsFasterUntilTheRowEnds)
{
    Open(250);
    CToolBarBand& band = strip.pageBand;
    CToolBarWindow& page = *strip.pages[0];
    EXPECT_FALSE(band.IsLeftArrowShown());
    ASSERT_TRUE(band.IsRightArrowShown());
    {
        HeldArrow right(band.GetRightArrow());
        std::vector<int> offsets;
        for (int i = 0; i < 3; ++i) {
            right.Tick();
            offsets.push_back(page.GetOffset());
        }
        EXPECT_EQ(offsets, (std::vector<int>{1, -1, -4}));  // 1, 2, 3 pixels per tick
        EXPECT_TRUE(band.IsLeftArrowShown());
        // Dragged off the arrow, the row stands still.
        right.MoveTo(-20, 3);
        right.Tick();
        EXPECT_EQ(page.GetOffset(), -4);
        right.MoveTo(3, 3);
        right.Release();
        EXPECT_EQ(page.GetOffset(), -14);  // the release adds 10
    }
    {
        HeldArrow right(band.GetRightArrow());
        for (int i = 0; i < 100 && band.IsRightArrowShown(); ++i) right.Tick();
        right.Release();
    }
    CRect band_;
    band.GetClientRect(&band_);
    EXPECT_FALSE(band.IsRightArrowShown());
    CWnd* last = page.GetButton(page.GetButtonCount() - 1);
    EXPECT_EQ(InBand(band, *last).right, band_.Width() - 2);
    // Only what lies between the left arrow and the band's margin shows.
    EXPECT_EQ(band.GetVisibleRect().left, 2 + CToolBarBand::kArrowWidth - page.GetOffset());
    EXPECT_EQ(band.GetVisibleRect().Width(), band_.Width() - 4 - CToolBarBand::kArrowWidth);
    {
        HeldArrow left(band.GetLeftArrow());
        for (int i = 0; i < 100 && band.IsLeftArrowShown(); ++i) left.Tick();
        left.Release();
    }
    EXPECT_FALSE(band.IsLeftArrowShown());
    EXPECT_TRUE(band.IsRightArrowShown());
    EXPECT_EQ(InBand(band, *page.GetButton(0)).left, 2);
}

TEST_F(StripTest, WideningTheWindowHidesTheArrowsOfARowThatNowFits)
{
    Open(250);
    ASSERT_TRUE(strip.pageBand.IsRightArrowShown());
    strip.Resize(900);
    PumpEvents();
    EXPECT_FALSE(strip.pageBand.IsRightArrowShown());
    strip.Resize(250);
    PumpEvents();
    EXPECT_TRUE(strip.pageBand.IsRightArrowShown());
}

TEST_F(StripTest, APageSwitchShowsTheNewPageFromItsStart)
{
    Open(250);
    {
        HeldArrow right(strip.pageBand.GetRightArrow());
        right.Tick();
        right.Release();
    }
    ASSERT_LT(strip.pages[0]->GetOffset(), 2);
    Click(*strip.mainRow.GetButton(1));
    EXPECT_EQ(strip.commands, std::vector<UINT>{ID_PAGE_PROCESSING});
    EXPECT_EQ(strip.pageBand.GetContent(), strip.pages[1]);
    EXPECT_EQ(strip.pages[1]->GetOffset(), 2);
    EXPECT_FALSE(strip.pageBand.IsLeftArrowShown());
    EXPECT_TRUE(strip.pages[1]->IsWindowVisible());
    EXPECT_FALSE(strip.pages[0]->IsWindowVisible());
    // The selectors keep in step: the new one pressed, the old one released.
    EXPECT_TRUE(static_cast<TarPressButtons*>(strip.mainRow.GetButton(1))->IsChecked());
    EXPECT_FALSE(static_cast<TarPressButtons*>(strip.mainRow.GetButton(0))->IsChecked());
    EXPECT_EQ(LookOf(strip.mainRow.GetButton(0)), TarButtons::kFlat);
    EXPECT_EQ(strip.mainRow.GetPressedIndex(), 1);
}

TEST_F(StripTest, ClicksSendTheirCommandOnlyWhenReleasedOnAnUncheckedButton)
{
    Open(1000);
    struct Case {
        const char* name;
        std::function<CWnd*(CommandStrip&)> button;
        int releaseX;
        std::vector<UINT> commands;
        int look;
    };
    const Case cases[] = {
        {"image button",
         [](CommandStrip& s) { return s.PageButton(0, 0); },
         5,
         {ID_TB_VIEW},
         TarButtons::kRaised},
        {"image button let go outside",
         [](CommandStrip& s) { return s.PageButton(0, 1); },
         -10,
         {},
         TarButtons::kFlat},
        {"the checked selector",
         [](CommandStrip& s) { return s.mainRow.GetButton(0); },
         5,
         {},
         TarButtons::kPressed},
        {"a selector let go outside",
         [](CommandStrip& s) { return s.mainRow.GetButton(2); },
         -10,
         {},
         TarButtons::kFlat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.commands.clear();
        CWnd* button = c.button(strip);
        Click(*button, c.releaseX);
        EXPECT_EQ(strip.commands, c.commands);
        EXPECT_EQ(LookOf(button), c.look);
    }
    EXPECT_EQ(strip.currentPage, 0);
    EXPECT_EQ(strip.mainRow.GetPressedIndex(), 0);
}

TEST_F(StripTest, TheHotButtonIsPassedUpTheRowsAndGoesFlatWhenTheMouseLeaves)
{
    Open(1000);
    CWnd* first = strip.PageButton(0, 0);
    CWnd* second = strip.PageButton(0, 1);
    MoveOver(*first);
    EXPECT_EQ(LookOf(first), TarButtons::kRaised);
    EXPECT_EQ(strip.hot, &strip.pageBand);
    EXPECT_EQ(strip.pageBand.GetHotChild(), strip.pages[0]);
    EXPECT_EQ(strip.pages[0]->GetHotChild(), first);

    MoveOver(*second);
    EXPECT_EQ(LookOf(first), TarButtons::kFlat);
    EXPECT_EQ(LookOf(second), TarButtons::kRaised);

    // The mouse moves on to the MAIN row: the command window flattens the page row.
    MoveOver(*strip.mainRow.GetButton(3));
    EXPECT_EQ(strip.hot, &strip.mainBand);
    EXPECT_EQ(LookOf(second), TarButtons::kFlat);
    EXPECT_EQ(strip.pageBand.GetHotChild(), nullptr);

    // Back on the page row, the button reports again.
    MoveOver(*second);
    EXPECT_EQ(strip.hot, &strip.pageBand);
    EXPECT_EQ(LookOf(second), TarButtons::kRaised);
    EXPECT_EQ(LookOf(strip.mainRow.GetButton(3)), TarButtons::kFlat);
}

TEST_F(StripTest, AClickOnTheOpenMenuButtonClosesItsPopupForGood)
{
    Open(1000);
    auto* file = static_cast<TarMenu*>(strip.menuRow.GetButton(0));
    Responder().KeepPopupMenuOpen();
    // The second press is the user's click on the button while its popup is up.
    ::PostMessage(file->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    file->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PumpEvents();
    file->SendMessage(WM_LBUTTONUP, 0, At(5, 5));
    ASSERT_EQ(Responder().Asked().size(), 1u);
    EXPECT_EQ(Responder().Asked()[0].popup.items.at(0).id, ID_FILE_OPEN);
    EXPECT_FALSE(file->IsPopupOpen());
    EXPECT_NE(file->GetLook(), TarButtons::kPressed);
    EXPECT_TRUE(strip.commands.empty());
}

TEST_F(StripTest, MovingOntoTheNeighbourOpensItsPopupAndItsCommandReachesTheWindow)
{
    Open(1000);
    auto* file = static_cast<TarMenu*>(strip.menuRow.GetButton(0));
    auto* processing = static_cast<TarMenu*>(strip.menuRow.GetButton(1));
    Responder().KeepPopupMenuOpen();
    Responder().AnswerPopupMenu(ID_PROC_FILTRATION);
    // The mouse slides onto "Processing" while the "File" popup is up, and on over it.
    ::PostMessage(processing->m_hWnd, WM_MOUSEMOVE, 0, At(5, 5));
    ::PostMessage(processing->m_hWnd, WM_MOUSEMOVE, 0, At(7, 5));
    file->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));

    ASSERT_TRUE(PumpUntil([&] { return !strip.commands.empty(); }));
    PumpEvents();
    EXPECT_EQ(strip.commands, std::vector<UINT>{ID_PROC_FILTRATION});
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[1].popup.items.at(0).id, ID_PROC_FILTRATION);
    EXPECT_FALSE(file->IsPopupOpen());
    EXPECT_FALSE(processing->IsPopupOpen());
    EXPECT_EQ(file->GetLook(), TarButtons::kFlat);
    EXPECT_EQ(strip.menuRow.GetOpenMenuButton(), nullptr);
}

TEST_F(StripTest, ScreenshotsOfThePagesAndButtonStates)
{
    Open(700);
    const char* names[] = {"files", "processing", "analyse", "util"};
    for (int i = 3; i >= 0; --i) {
        Click(*strip.mainRow.GetButton(i));
        ASSERT_EQ(strip.currentPage, i);
        EXPECT_FALSE(SaveTestOutput(GrabWindow(strip), std::string("toolbar-page-") + names[i]).empty());
    }

    CWnd* button = strip.PageButton(0, 1);
    MoveOver(*button);
    EXPECT_FALSE(SaveTestOutput(GrabWindow(strip), "toolbar-hot-button").empty());
    button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_FALSE(SaveTestOutput(GrabWindow(strip), "toolbar-pressed-button").empty());
    button->SendMessage(WM_LBUTTONUP, 0, At(-10, -10));

    // The open menu: the strip while the popup is up, with the popup drawn below its button.
    auto* processing = static_cast<TarMenu*>(strip.menuRow.GetButton(1));
    QImage shot;
    Responder().DismissPopupMenu().When([&] {
        shot = GrabWindow(strip);
        return true;
    });
    MoveOver(*processing);
    processing->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    ASSERT_FALSE(shot.isNull());
    QMenu menu;
    platform::FillQtMenu(&menu, strip.menuRow.GetRowMenu()->GetSubMenu(1)->GetSafeHmenu());
    menu.resize(menu.sizeHint());
    const QImage popup = menu.grab().toImage();
    CRect r;
    processing->GetWindowRect(&r);
    strip.ScreenToClient(&r);
    QImage composed(std::max(shot.width(), r.left + popup.width()), r.bottom + popup.height(),
                    QImage::Format_RGB32);
    composed.fill(Qt::white);
    QPainter painter(&composed);
    painter.drawImage(0, 0, shot);
    painter.drawImage(r.left, r.bottom, popup);
    painter.end();
    EXPECT_FALSE(SaveTestOutput(composed, "toolbar-open-menu").empty());

    // A narrow window: the page row scrolled part way, both arrows showing.
    strip.Resize(250);
    PumpEvents();
    {
        HeldArrow right(strip.pageBand.GetRightArrow());
        for (int i = 0; i < 6; ++i) right.Tick();
        right.Release(-10, -10);
    }
    ASSERT_TRUE(strip.pageBand.IsLeftArrowShown());
    ASSERT_TRUE(strip.pageBand.IsRightArrowShown());
    EXPECT_FALSE(SaveTestOutput(GrabWindow(strip), "toolbar-scrolled-row").empty());
}
