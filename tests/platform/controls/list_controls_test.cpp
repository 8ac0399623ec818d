#include <vector>

#include <gtest/gtest.h>

#include "platform/controls/control_notify.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/list_ctrl.h"

namespace {

struct ListFixture : ::testing::Test {
    CWnd parent;
    void SetUp() override
    {
        ASSERT_TRUE(
            parent.CreateEx(0, nullptr, "Lists", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    }
};

// The same calls on a sorted combo and a sorted list box give the same answers.
template <class List>
void CheckSortedList(List& list)
{
    EXPECT_EQ(list.AddString("delta"), 0);
    EXPECT_EQ(list.AddString("Alpha"), 0);
    EXPECT_EQ(list.AddString("charlie"), 1);
    EXPECT_EQ(list.InsertString(-1, "bravo"), 3);  // InsertString does not sort
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.SetItemData(2, 77), 0);
    EXPECT_EQ(list.GetItemData(2), 77u);
    EXPECT_EQ(list.SetItemData(9, 1), -1);
    EXPECT_EQ(list.FindString(-1, "ch"), 1);
    EXPECT_EQ(list.FindString(1, "ch"), 1);  // searching wraps round to the start
    EXPECT_EQ(list.FindString(-1, "x"), -1);
    EXPECT_EQ(list.FindStringExact(-1, "ALPHA"), 0);
    EXPECT_EQ(list.FindStringExact(-1, "alp"), -1);
    EXPECT_EQ(list.SelectString(-1, "b"), 3);
    EXPECT_EQ(list.GetCurSel(), 3);
    EXPECT_EQ(list.SelectString(-1, "zulu"), -1);
    EXPECT_EQ(list.GetCurSel(), 3);  // unchanged when nothing matches
    EXPECT_EQ(list.SetCurSel(10), -1);
    EXPECT_EQ(list.GetCurSel(), -1);
    EXPECT_EQ(list.DeleteString(0), 3);
    EXPECT_EQ(list.DeleteString(5), -1);
    EXPECT_EQ(list.GetItemData(1), 77u);  // data moves with its item
    list.ResetContent();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(ListFixture, SortedCombosAndListBoxesFindAndSelect)
{
    CComboBox combo;
    ASSERT_TRUE(combo.Create(CBS_DROPDOWNLIST | CBS_SORT | WS_VISIBLE, CRect(5, 5, 100, 100), &parent, 10));
    CheckSortedList(combo);
    CListBox list;
    ASSERT_TRUE(list.Create(LBS_SORT | LBS_NOTIFY | WS_VISIBLE, CRect(5, 5, 100, 100), &parent, 11));
    CheckSortedList(list);

    combo.AddString("one");
    CString text;
    combo.GetLBText(0, text);
    EXPECT_EQ(text, "one");
    EXPECT_EQ(combo.GetLBTextLen(0), 3);
    EXPECT_EQ(combo.GetLBText(4, nullptr), CB_ERR);
}

TEST_F(ListFixture, ADropDownComboWithTypedTextHasNoSelection)
{
    CComboBox combo;
    ASSERT_TRUE(combo.Create(CBS_DROPDOWN | WS_VISIBLE, CRect(5, 5, 100, 100), &parent, 12));
    combo.AddString("red");
    combo.AddString("green");
    combo.SetCurSel(1);
    CString text;
    combo.GetWindowText(text);
    EXPECT_EQ(text, "green");
    combo.SetWindowText("blue");
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
}

class SelfSortingList : public CListCtrl {
public:
    int clicks = 0;

protected:
    void OnColumnClick(NMHDR*, LRESULT* result)
    {
        ++clicks;
        *result = 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SelfSortingList, CListCtrl)
    ON_NOTIFY_REFLECT(LVN_COLUMNCLICK, OnColumnClick)
END_MESSAGE_MAP()

class RecordingParent : public CWnd {
public:
    std::vector<UINT> codes;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NOTIFY) codes.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
        if (message == WM_COMMAND && lParam) codes.push_back(HIWORD(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(ControlNotifications, AReflectedNotificationStaysWithTheControlAndFocusChangesReachTheParent)
{
    RecordingParent parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "Reflect", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    SelfSortingList list;
    ASSERT_TRUE(list.Create(LVS_REPORT | WS_VISIBLE, CRect(5, 5, 200, 100), &parent, 20));
    list.InsertColumn(0, "Name");
    NMLISTVIEW click{};
    click.iItem = -1;
    platform::NotifyParent(&list, click.hdr, LVN_COLUMNCLICK);
    EXPECT_EQ(list.clicks, 1);
    EXPECT_TRUE(parent.codes.empty());  // the control took its own notification
    NMHDR other{};
    platform::NotifyParent(&list, other, NM_DBLCLK);
    EXPECT_EQ(parent.codes, std::vector<UINT>{NM_DBLCLK});

    parent.codes.clear();
    CEdit first, second;
    ASSERT_TRUE(first.Create(WS_VISIBLE, CRect(5, 110, 100, 130), &parent, 21));
    ASSERT_TRUE(second.Create(WS_VISIBLE, CRect(110, 110, 200, 130), &parent, 22));
    first.SetFocus();
    second.SetFocus();
    EXPECT_EQ(parent.codes, (std::vector<UINT>{EN_SETFOCUS, EN_KILLFOCUS, EN_SETFOCUS}));
}

}  // namespace

#include <QMouseEvent>
#include <QApplication>
#include <QWidget>

#include "platform/controls/static_ctrl.h"
#include "platform/gdi/dc.h"
#include "tests/support/ui_helpers.h"

namespace {

// A link-like static: takes its own click and picks its own text colour.
class LinkStatic : public CStatic {
public:
    int clicked = 0;

protected:
    void OnClicked() { ++clicked; }
    HBRUSH CtlColor(CDC* pDC, UINT)
    {
        pDC->SetTextColor(RGB(0, 0, 238));
        pDC->SetBkColor(RGB(255, 255, 0));
        return reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(1));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(LinkStatic, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

TEST(ControlNotifications, AStaticTakesItsOwnClickAndColoursThroughReflection)
{
    RecordingParent parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Link", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    parent.ShowWindow(SW_SHOW);
    LinkStatic link;
    ASSERT_TRUE(link.Create("Link", SS_NOTIFY | WS_VISIBLE, CRect(5, 5, 105, 25), &parent, 30));
    QWidget* widget = link.GetWidget();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(static_cast<QObject*>(widget), &press);
    QApplication::sendEvent(static_cast<QObject*>(widget), &release);
    EXPECT_EQ(link.clicked, 1);
    EXPECT_TRUE(parent.codes.empty());

    const QImage image = tarvenix::test::GrabWindow(link);
    EXPECT_EQ(image.pixel(90, 15), qRgb(255, 255, 0));  // the background it asked for
    bool blueText = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < 40; ++x) blueText |= image.pixel(x, y) == qRgb(0, 0, 238);
    EXPECT_TRUE(blueText);
}

}  // namespace
