#include <cctype>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "platform/controls/button.h"
#include "platform/controls/control_notify.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/slider_ctrl.h"
#include "platform/controls/spin_button_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/controls/tool_tip_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/gdi/dc.h"
#include "tests/support/ui_helpers.h"

namespace {

struct Heard {
    UINT message;
    int id;
    UINT code;
    bool operator==(const Heard&) const = default;
};

// The parent: records what its controls tell it and answers as the test says.
class ParentWnd : public CWnd {
public:
    std::vector<Heard> heard;
    std::vector<NMLISTVIEW> listChanges;
    std::vector<NMUPDOWN> spins;
    bool vetoSpin = false;
    bool vetoExpand = false;
    int paintedRow = 1, paintedColumn = 1;
    bool drawCell = false;  // the parent draws the painted cell itself instead of colouring it
    int drawnRow = -1;      // a row the parent draws whole itself

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && lParam) {
            heard.push_back({message, LOWORD(wParam), HIWORD(wParam)});
            return 0;
        }
        if (message == WM_VSCROLL || message == WM_HSCROLL) {
            heard.push_back(
                {message, CWnd::FromHandle(reinterpret_cast<HWND>(lParam))->GetDlgCtrlID(), LOWORD(wParam)});
            return 0;
        }
        if (message == WM_NOTIFY) {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == NM_CUSTOMDRAW) return CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            heard.push_back({message, static_cast<int>(header->idFrom), header->code});
            if (header->code == UDN_DELTAPOS) {
                spins.push_back(*reinterpret_cast<NMUPDOWN*>(lParam));
                return vetoSpin ? 1 : 0;
            }
            if (header->code == TVN_ITEMEXPANDING) return vetoExpand ? 1 : 0;
            if (header->code == LVN_ITEMCHANGED)
                listChanges.push_back(*reinterpret_cast<NMLISTVIEW*>(lParam));
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw)
    {
        switch (draw->nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                return CDRF_NOTIFYITEMDRAW;
            case CDDS_ITEMPREPAINT:
                if (static_cast<int>(draw->nmcd.dwItemSpec) == drawnRow) {
                    CDC::FromHandle(draw->nmcd.hdc)->FillSolidRect(&draw->nmcd.rc, RGB(0, 160, 60));
                    return CDRF_SKIPDEFAULT;
                }
                return CDRF_NOTIFYSUBITEMDRAW;
            case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
                if (static_cast<int>(draw->nmcd.dwItemSpec) == paintedRow &&
                    draw->iSubItem == paintedColumn) {
                    if (drawCell) {
                        CDC::FromHandle(draw->nmcd.hdc)->FillSolidRect(&draw->nmcd.rc, RGB(0, 128, 255));
                        return CDRF_SKIPDEFAULT;
                    }
                    draw->clrTextBk = RGB(255, 0, 0);
                }
                return CDRF_DODEFAULT;
            default:
                return CDRF_DODEFAULT;
        }
    }
};

struct ControlsFixture : ::testing::Test {
    ParentWnd parent;
    void SetUp() override
    {
        ASSERT_TRUE(
            parent.CreateEx(0, nullptr, "Controls", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300), nullptr, 0));
        parent.ShowWindow(SW_SHOW);
    }
    std::vector<Heard> Take()
    {
        std::vector<Heard> result;
        result.swap(parent.heard);
        return result;
    }
};

void Type(QWidget* widget, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(static_cast<QObject*>(widget), &press);
    }
}

TEST_F(ControlsFixture, UserActionsSendTheirNotifications)
{
    CButton check;
    ASSERT_TRUE(check.Create("Check", BS_AUTOCHECKBOX | WS_VISIBLE, CRect(5, 5, 100, 20), &parent, 101));
    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_VISIBLE | WS_BORDER, CRect(5, 25, 100, 45), &parent, 102));
    CComboBox combo;
    ASSERT_TRUE(combo.Create(CBS_DROPDOWNLIST | WS_VISIBLE, CRect(5, 50, 100, 150), &parent, 103));
    CComboBox dropDown;
    ASSERT_TRUE(dropDown.Create(CBS_DROPDOWN | WS_VISIBLE, CRect(110, 50, 200, 150), &parent, 104));
    CListBox list;
    ASSERT_TRUE(list.Create(LBS_NOTIFY | WS_VISIBLE, CRect(5, 80, 100, 140), &parent, 105));
    for (const char* s : {"a", "b", "c"}) {
        combo.AddString(s);
        list.AddString(s);
    }
    Take();

    struct Step {
        const char* action;
        std::function<void()> act;
        std::vector<Heard> expected;
    } steps[] = {
        {"click a check box",
         [&] { static_cast<QAbstractButton*>(check.GetWidget())->click(); },
         {{WM_COMMAND, 101, BN_CLICKED}}},
        {"type into an edit",
         [&] { Type(edit.GetWidget(), "7"); },
         {{WM_COMMAND, 102, EN_UPDATE}, {WM_COMMAND, 102, EN_CHANGE}}},
        {"set an edit's text",
         [&] { edit.SetWindowText("x"); },
         {{WM_COMMAND, 102, EN_UPDATE}, {WM_COMMAND, 102, EN_CHANGE}}},
        {"select in a combo",
         [&] {
             auto* qcombo = static_cast<QComboBox*>(combo.GetWidget());
             qcombo->setCurrentIndex(2);
             emit qcombo->activated(2);
         },
         {{WM_COMMAND, 103, CBN_SELCHANGE}}},
        {"select in a combo by program", [&] { combo.SetCurSel(0); }, {}},
        {"type into a drop-down combo",
         [&] { Type(static_cast<QComboBox*>(dropDown.GetWidget())->lineEdit(), "q"); },
         {{WM_COMMAND, 104, CBN_EDITUPDATE}, {WM_COMMAND, 104, CBN_EDITCHANGE}}},
        {"select in a list box",
         [&] { static_cast<QListWidget*>(list.GetWidget())->setCurrentRow(1); },
         {{WM_COMMAND, 105, LBN_SELCHANGE}}},
        {"double-click a list box item",
         [&] {
             auto* qlist = static_cast<QListWidget*>(list.GetWidget());
             emit qlist->itemDoubleClicked(qlist->item(1));
         },
         {{WM_COMMAND, 105, LBN_DBLCLK}}},
        {"select in a list box by program", [&] { list.SetCurSel(2); }, {}},
    };
    for (Step& step : steps) {
        step.act();
        EXPECT_EQ(Take(), step.expected) << step.action;
    }
    EXPECT_EQ(check.GetCheck(), BST_CHECKED);
    CString text;
    edit.GetWindowText(text);
    EXPECT_EQ(text, "x");
    EXPECT_EQ(combo.GetCurSel(), 0);
    EXPECT_EQ(list.GetCurSel(), 2);
}

class DigitsOnlyEdit : public CEdit {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CHAR && !std::isdigit(static_cast<int>(wParam)) && wParam >= 0x20)
            return 0;  // eaten
        return CEdit::WindowProc(message, wParam, lParam);
    }
};

TEST_F(ControlsFixture, AnEditSubclassSeesCharactersFirstAndCanEatThem)
{
    DigitsOnlyEdit edit;
    ASSERT_TRUE(edit.Create(WS_VISIBLE | WS_BORDER, CRect(5, 5, 100, 25), &parent, 201));
    Type(edit.GetWidget(), "1a2-3");
    CString text;
    edit.GetWindowText(text);
    EXPECT_EQ(text, "123");
    edit.SetSel(1, 2);
    edit.ReplaceSel("99");
    edit.GetWindowText(text);
    EXPECT_EQ(text, "1993");
    int start = 0, end = 0;
    edit.GetSel(start, end);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 3);
    edit.SetLimitText(5);
    Type(edit.GetWidget(), "456");
    edit.GetWindowText(text);
    EXPECT_EQ(text, "19943");
}

TEST_F(ControlsFixture, ASpinAsksItsParentBeforeMovingAndTheParentMayVetoIt)
{
    CEdit buddy;
    ASSERT_TRUE(buddy.Create(WS_VISIBLE | WS_BORDER, CRect(5, 5, 105, 25), &parent, 300));
    CSpinButtonCtrl spin;
    ASSERT_TRUE(spin.Create(WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_NOTHOUSANDS,
                            CRect(0, 0, 16, 20), &parent, 301));
    EXPECT_EQ(spin.GetBuddy(), &buddy);
    CRect buddyRect, spinRect;
    buddy.GetWindowRect(&buddyRect);
    spin.GetWindowRect(&spinRect);
    EXPECT_EQ(buddyRect.right, spinRect.left);  // the arrows sit on the buddy's right edge
    spin.SetRange32(0, 10);
    spin.SetPos32(5);
    Take();

    auto* up = spin.GetWidget()->findChildren<QToolButton*>()[0];
    parent.vetoSpin = true;
    up->click();
    EXPECT_EQ(Take(), (std::vector<Heard>{{WM_NOTIFY, 301, UDN_DELTAPOS}}));
    ASSERT_EQ(parent.spins.size(), 1u);
    EXPECT_EQ(parent.spins[0].iPos, 5);
    EXPECT_EQ(parent.spins[0].iDelta, 1);
    EXPECT_EQ(spin.GetPos32(), 5);

    parent.vetoSpin = false;
    up->click();
    EXPECT_EQ(Take(), (std::vector<Heard>{{WM_NOTIFY, 301, UDN_DELTAPOS},
                                          {WM_COMMAND, 300, EN_UPDATE},  // the buddy shows the new number
                                          {WM_COMMAND, 300, EN_CHANGE},
                                          {WM_VSCROLL, 301, SB_THUMBPOSITION},
                                          {WM_VSCROLL, 301, SB_ENDSCROLL}}));
    EXPECT_EQ(spin.GetPos32(), 6);
    CString text;
    buddy.GetWindowText(text);
    EXPECT_EQ(text, "6");
    // The user's text in the buddy is what GetPos reads; a text out of range is an error.
    buddy.SetWindowText("9");
    EXPECT_EQ(LOWORD(spin.GetPos()), 9);
    buddy.SetWindowText("99");
    EXPECT_NE(HIWORD(static_cast<DWORD>(spin.GetPos())), 0);
    spin.SetPos32(10);
    up->click();
    EXPECT_EQ(spin.GetPos32(), 10);  // stays at the top without UDS_WRAP
}

TEST_F(ControlsFixture, TreeExpansionCanBeVetoedAndSelectionIsReported)
{
    CTreeCtrl tree;
    ASSERT_TRUE(
        tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(5, 5, 200, 200), &parent, 400));
    HTREEITEM layers = tree.InsertItem("Layers");
    HTREEITEM second = tree.InsertItem("beta", layers);
    HTREEITEM first = tree.InsertItem("Alpha", layers, TVI_SORT);
    tree.InsertItem("gamma", layers, TVI_LAST);
    tree.SetItemData(second, 42);
    EXPECT_EQ(tree.GetChildItem(layers), first);
    EXPECT_EQ(tree.GetNextSiblingItem(first), second);
    EXPECT_EQ(tree.GetParentItem(second), layers);
    EXPECT_EQ(tree.GetItemData(second), 42u);
    EXPECT_EQ(tree.GetCount(), 4u);
    Take();

    QTreeWidgetItem* item = CTreeCtrl::ItemOf(layers);
    parent.vetoExpand = true;
    item->setExpanded(true);  // as a click on the item's button does
    EXPECT_EQ(Take(), (std::vector<Heard>{{WM_NOTIFY, 400, TVN_ITEMEXPANDING}}));
    EXPECT_FALSE(item->isExpanded());
    parent.vetoExpand = false;
    item->setExpanded(true);
    EXPECT_EQ(Take(),
              (std::vector<Heard>{{WM_NOTIFY, 400, TVN_ITEMEXPANDING}, {WM_NOTIFY, 400, TVN_ITEMEXPANDED}}));
    EXPECT_TRUE(item->isExpanded());
    EXPECT_TRUE(tree.Expand(layers, TVE_COLLAPSE));  // the program does not ask
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(tree.GetItemState(layers, TVIS_EXPANDED), 0u);

    tree.SelectItem(second);
    EXPECT_EQ(Take(), (std::vector<Heard>{{WM_NOTIFY, 400, TVN_SELCHANGED}}));
    EXPECT_EQ(tree.GetSelectedItem(), second);
    EXPECT_TRUE(tree.DeleteItem(first));
    EXPECT_EQ(tree.GetChildItem(layers), second);
}

TEST_F(ControlsFixture, CheckingAListViewItemReportsTheStateChange)
{
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(5, 5, 300, 200), &parent, 500));
    list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    list.InsertColumn(0, "Layer", LVCFMT_LEFT, 100);
    list.InsertColumn(1, "Size", LVCFMT_RIGHT, 80);
    for (int i = 0; i < 3; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "L%d", i);
        list.InsertItem(i, name);
        list.SetItemText(i, 1, "10");
        list.SetItemData(i, static_cast<DWORD_PTR>(100 + i));
    }
    Take();

    static_cast<QTreeWidget*>(list.GetWidget())
        ->topLevelItem(1)
        ->setCheckState(0, Qt::Checked);  // the user's click
    ASSERT_EQ(parent.listChanges.size(), 1u);
    const NMLISTVIEW& change = parent.listChanges[0];
    EXPECT_EQ(change.hdr.code, LVN_ITEMCHANGED);
    EXPECT_EQ(change.iItem, 1);
    EXPECT_EQ(change.uChanged, LVIF_STATE);
    EXPECT_EQ(change.uOldState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(1));
    EXPECT_EQ(change.uNewState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(change.lParam, 101);
    EXPECT_TRUE(list.GetCheck(1));
    EXPECT_FALSE(list.GetCheck(0));

    parent.listChanges.clear();
    list.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_EQ(parent.listChanges.size(), 1u);
    EXPECT_EQ(parent.listChanges[0].iItem, 2);
    EXPECT_EQ(parent.listChanges[0].uNewState & (LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
    EXPECT_EQ(list.GetNextItem(2, LVNI_SELECTED), -1);

    Take();
    emit static_cast<QTreeWidget*>(list.GetWidget())->header()->sectionClicked(1);
    EXPECT_EQ(Take(), (std::vector<Heard>{{WM_NOTIFY, 500, LVN_COLUMNCLICK}}));

    // Sorting by item data, highest first.
    list.SortItems([](LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(b - a); }, 0);
    EXPECT_EQ(list.GetItemText(0, 0), "L2");
    EXPECT_EQ(list.GetItemData(2), 100u);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 0);  // the selection follows its item
}

TEST_F(ControlsFixture, CustomDrawSetsACellsBackgroundColour)
{
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(5, 5, 300, 200), &parent, 600));
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, "Value", LVCFMT_LEFT, 100);
    for (int i = 0; i < 3; ++i) list.InsertItem(i, "row");
    const QImage image = tarvenix::test::GrabWindow(list);
    CRect painted, plain;
    ASSERT_TRUE(list.GetSubItemRect(1, 1, LVIR_BOUNDS, painted));
    ASSERT_TRUE(list.GetSubItemRect(1, 0, LVIR_BOUNDS, plain));
    const QPoint inside(painted.right - 4, painted.CenterPoint().y);
    EXPECT_EQ(image.pixel(inside), qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(QPoint(plain.right - 4, plain.CenterPoint().y)), qRgb(255, 0, 0));
    CRect below;
    ASSERT_TRUE(list.GetSubItemRect(2, 1, LVIR_BOUNDS, below));
    EXPECT_NE(image.pixel(QPoint(below.right - 4, below.CenterPoint().y)), qRgb(255, 0, 0));
}

TEST_F(ControlsFixture, CustomDrawParentDrawsCellsAndRowsOnTheGivenDeviceContext)
{
    parent.drawCell = true;
    parent.drawnRow = 2;
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(5, 5, 300, 200), &parent, 601));
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, "Value", LVCFMT_LEFT, 100);
    for (int i = 0; i < 4; ++i) {
        list.InsertItem(i, "row");
        list.SetItemText(i, 1, "value");  // skipped default drawing leaves no text
    }
    const QImage image = tarvenix::test::GrabWindow(list);
    const auto all = [&](CRect r, QRgb colour) {
        int other = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) other += image.pixel(x, y) != colour;
        return other == 0;
    };
    CRect cell, beside, row, next;
    ASSERT_TRUE(list.GetSubItemRect(1, 1, LVIR_BOUNDS, cell));
    ASSERT_TRUE(list.GetSubItemRect(1, 0, LVIR_BOUNDS, beside));
    ASSERT_TRUE(list.GetItemRect(2, row, LVIR_BOUNDS));
    ASSERT_TRUE(list.GetSubItemRect(3, 1, LVIR_BOUNDS, next));
    EXPECT_TRUE(all(cell, qRgb(0, 128, 255)));  // exactly the cell, nothing drawn over it
    EXPECT_NE(image.pixel(beside.CenterPoint().x, beside.CenterPoint().y), qRgb(0, 128, 255));
    EXPECT_TRUE(all(row, qRgb(0, 160, 60)));  // the row stage's DC covers the whole row
    EXPECT_NE(image.pixel(next.CenterPoint().x, next.CenterPoint().y), qRgb(0, 160, 60));
}

}  // namespace

namespace {

class TabParent : public ParentWnd {
public:
    bool vetoTab = false;
    std::vector<int> selectionSeen;
    CTabCtrl* tabs = nullptr;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGING) {
            heard.push_back({message, static_cast<int>(wParam), TCN_SELCHANGING});
            selectionSeen.push_back(tabs->GetCurSel());
            return vetoTab ? 1 : 0;
        }
        return ParentWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(CommonControls, TabSelectionCanBeVetoedBeforeItChanges)
{
    TabParent parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Tabs", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    CTabCtrl tabs;
    parent.tabs = &tabs;
    ASSERT_TRUE(tabs.Create(WS_VISIBLE, CRect(5, 5, 205, 105), &parent, 700));
    for (const char* name : {"Red", "Green", "Blue"}) tabs.InsertItem(tabs.GetItemCount(), name);
    EXPECT_EQ(tabs.GetCurSel(), 0);
    EXPECT_EQ(tabs.SetCurSel(2), 0);
    EXPECT_TRUE(parent.heard.empty());  // the program's selection sends nothing

    auto* bar = tabs.GetWidget()->findChild<QTabBar*>();
    parent.vetoTab = true;
    bar->setCurrentIndex(1);  // as a click on the tab does
    EXPECT_EQ(tabs.GetCurSel(), 2);
    parent.vetoTab = false;
    bar->setCurrentIndex(1);
    EXPECT_EQ(tabs.GetCurSel(), 1);
    EXPECT_EQ(parent.heard, (std::vector<Heard>{{WM_NOTIFY, 700, TCN_SELCHANGING},
                                                {WM_NOTIFY, 700, TCN_SELCHANGING},
                                                {WM_NOTIFY, 700, TCN_SELCHANGE}}));
    EXPECT_EQ(parent.selectionSeen, (std::vector<int>{2, 2}));  // asked while the old tab is current

    CRect client(0, 0, 200, 100), display = client;
    tabs.AdjustRect(FALSE, &display);
    EXPECT_GT(display.top, client.top);
    EXPECT_LT(display.bottom, client.bottom);
    tabs.AdjustRect(TRUE, &display);
    EXPECT_EQ(display, client);
    CRect first;
    ASSERT_TRUE(tabs.GetItemRect(0, &first));
    EXPECT_LT(first.top, display.top + 30);
    EXPECT_FALSE(tabs.GetItemRect(3, &first));
}

TEST(CommonControls, ASliderTellsItsParentWhatTheUserDid)
{
    ParentWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "Slider", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_VISIBLE, CRect(5, 5, 205, 35), &parent, 800));
    slider.SetRange(0, 359);
    slider.SetLineSize(1);
    EXPECT_EQ(slider.SetPageSize(10), 20);
    slider.SetPos(400);
    EXPECT_EQ(slider.GetPos(), 359);
    slider.SetPos(100);
    EXPECT_TRUE(parent.heard.empty());
    auto* qslider = static_cast<QSlider*>(slider.GetWidget());
    qslider->triggerAction(QAbstractSlider::SliderPageStepAdd);
    qslider->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(parent.heard, (std::vector<Heard>{{WM_HSCROLL, 800, TB_PAGEDOWN},
                                                {WM_HSCROLL, 800, TB_ENDTRACK},
                                                {WM_HSCROLL, 800, TB_LINEUP},
                                                {WM_HSCROLL, 800, TB_ENDTRACK}}));
    EXPECT_EQ(slider.GetPos(), 109);
}

TEST(CommonControls, ToolTipsShowForTheirToolsWhileActive)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Tips", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&owner));
    CRect area(10, 10, 50, 30);
    tips.AddTool(&owner, "Zoom in", &area, 1);
    EXPECT_EQ(tips.GetToolCount(), 1);
    const auto move = [&](int x, int y) {
        MSG msg{owner.GetSafeHwnd(),
                WM_MOUSEMOVE,
                0,
                MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)),
                0,
                {x, y}};
        tips.RelayEvent(&msg);
    };
    move(20, 20);
    EXPECT_EQ(tips.GetShownText(), "Zoom in");
    tips.UpdateTipText("Zoom out", &owner, 1);
    EXPECT_EQ(tips.GetShownText(), "Zoom out");
    move(80, 80);
    EXPECT_EQ(tips.GetShownText(), "");
    tips.Activate(FALSE);
    move(20, 20);
    EXPECT_EQ(tips.GetShownText(), "");
    tips.Activate(TRUE);
    move(20, 20);
    CString text;
    tips.GetText(text, &owner, 1);
    EXPECT_EQ(text, "Zoom out");
    EXPECT_EQ(tips.GetShownText(), "Zoom out");
}

}  // namespace

namespace {

class DrawingParent : public CWnd {
public:
    int drawn = 0;
    UINT lastType = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DRAWITEM && wParam == 901) {
            auto* item = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
            ++drawn;
            lastType = item->CtlType;
            CDC::FromHandle(item->hDC)->FillSolidRect(&item->rcItem, RGB(255, 0, 0));
            return TRUE;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class BlueStatic : public CStatic {
public:
    void DrawItem(LPDRAWITEMSTRUCT item) override
    {
        CDC::FromHandle(item->hDC)->FillSolidRect(&item->rcItem, RGB(0, 0, 255));
    }
};

TEST(CommonControls, OwnerDrawnControlsAreDrawnByTheirParentOrElseByTheirClass)
{
    DrawingParent parent;
    ASSERT_TRUE(
        parent.CreateEx(0, nullptr, "Owner draw", WS_OVERLAPPEDWINDOW, CRect(0, 0, 200, 100), nullptr, 0));
    parent.ShowWindow(SW_SHOW);
    CButton button;
    ASSERT_TRUE(button.Create("Colour", BS_OWNERDRAW | WS_VISIBLE, CRect(5, 5, 65, 30), &parent, 901));
    BlueStatic swatch;
    ASSERT_TRUE(swatch.Create("", SS_OWNERDRAW | WS_VISIBLE, CRect(70, 5, 100, 30), &parent, 902));

    const QImage buttonImage = tarvenix::test::GrabWindow(button);
    EXPECT_GE(parent.drawn, 1);
    EXPECT_EQ(parent.lastType, ODT_BUTTON);
    EXPECT_EQ(buttonImage.pixel(30, 12), qRgb(255, 0, 0));
    const QImage swatchImage = tarvenix::test::GrabWindow(swatch);
    EXPECT_EQ(swatchImage.pixel(15, 12), qRgb(0, 0, 255));  // the parent left it to the class
}

}  // namespace
