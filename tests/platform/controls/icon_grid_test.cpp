// The list view's icon mode lays its items out in a grid of large pictures; the tree view
// tells which part of an item lies under a point.

#include <QImage>
#include <gtest/gtest.h>

#include "platform/controls/image_list.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::MouseDoubleClick;
using tarvenix::test::PumpEvents;

namespace {

class NotifyCounter : public CWnd {
public:
    int doubleClicks = 0;
    int lastItem = -2;
    BOOL OnNotify(WPARAM, LPARAM lParam, LRESULT* result) override
    {
        const auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == NM_DBLCLK) {
            ++doubleClicks;
            lastItem = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
        }
        *result = 0;
        return TRUE;
    }
};

}  // namespace

TEST(ListViewIcons, ItemsFillRowsOfLargePicturesAndWrap)
{
    NotifyCounter parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Icons", WS_POPUP, CRect(0, 0, 330, 300), nullptr, 0));
    parent.ShowWindow(SW_SHOW);
    CImageList large;
    ASSERT_TRUE(large.Create(64, 64, ILC_COLOR32, 0, 4));
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    large.Add(picture);
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_ICON | LVS_AUTOARRANGE | LVS_SINGLESEL, CRect(0, 0, 330, 300),
                            &parent, 7));
    list.SetImageList(&large, LVSIL_NORMAL);
    for (int i = 0; i < 6; ++i) list.InsertItem(i, ("Item " + std::to_string(i)).c_str(), 0);
    PumpEvents();

    CRect first, second, fourth;
    ASSERT_TRUE(list.GetItemRect(0, &first, LVIR_BOUNDS));
    ASSERT_TRUE(list.GetItemRect(1, &second, LVIR_BOUNDS));
    ASSERT_TRUE(list.GetItemRect(3, &fourth, LVIR_BOUNDS));
    EXPECT_GE(first.Height(), 64);  // room for the picture and the label below it
    EXPECT_EQ(second.top, first.top);
    EXPECT_GE(second.left, first.right);
    EXPECT_GT(fourth.top, first.bottom - 1);  // three cells fill a row of 330 pixels

    MouseDoubleClick(list, second.CenterPoint());
    EXPECT_EQ(parent.doubleClicks, 1);
    EXPECT_EQ(parent.lastItem, 1);
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
    const QImage shown = GrabWindow(list);
    EXPECT_EQ(shown.pixelColor(first.CenterPoint().x, first.top + 20), QColor(Qt::darkCyan));
    parent.DestroyWindow();
}

TEST(TreeHitTest, TellsTheLabelThePictureTheIndentAndTheRoomBeside)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "Tree", WS_POPUP, CRect(0, 0, 300, 200), nullptr, 0));
    parent.ShowWindow(SW_SHOW);
    CTreeCtrl tree;
    ASSERT_TRUE(
        tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(0, 0, 300, 200), &parent, 8));
    const HTREEITEM top = tree.InsertItem("Objects");
    const HTREEITEM child = tree.InsertItem("Surface", top);
    tree.Expand(top, TVE_EXPAND);
    PumpEvents();
    CRect rect;
    ASSERT_TRUE(tree.GetItemRect(child, &rect, TRUE));
    UINT flags = 0;
    EXPECT_EQ(tree.HitTest(CPoint(rect.left + 6, rect.CenterPoint().y), &flags), child);
    EXPECT_EQ(flags, TVHT_ONITEMLABEL);
    EXPECT_EQ(tree.HitTest(CPoint(rect.left + 200, rect.CenterPoint().y), &flags), child);
    EXPECT_EQ(flags, TVHT_ONITEMRIGHT);
    EXPECT_EQ(tree.HitTest(CPoint(rect.left - 3, rect.CenterPoint().y), &flags), child);
    EXPECT_EQ(flags, TVHT_ONITEMINDENT);
    CRect topRect;
    ASSERT_TRUE(tree.GetItemRect(top, &topRect, TRUE));
    EXPECT_EQ(tree.HitTest(CPoint(topRect.left - 3, topRect.CenterPoint().y), &flags), top);
    EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
    EXPECT_EQ(tree.HitTest(CPoint(20, 190), &flags), nullptr);
    EXPECT_EQ(flags, TVHT_NOWHERE);
    EXPECT_EQ(tree.HitTest(CPoint(20, -5), &flags), nullptr);
    EXPECT_EQ(flags, TVHT_ABOVE);
    parent.DestroyWindow();
}
