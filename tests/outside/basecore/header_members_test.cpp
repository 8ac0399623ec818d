// The small members of Basecore's classes that other modules link: what each stores and
// answers.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/dis_edit.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/list_frame.h"
#include "outside/basecore/my_string.h"
#include "outside/basecore/order_file.h"
#include "outside/basecore/title_tip.h"
#include "platform/gdi/region.h"
#include "tests/support/test_environment.h"

TEST(HeaderMembers, SmallClassesStoreWhatTheyAreGiven)
{
    CMyString empty;
    EXPECT_EQ(empty.m_pData, nullptr);
    EXPECT_EQ(empty.m_nLength, 0);
    EXPECT_EQ(empty.m_nAllocated, 0);
    char buffer[4] = "abc";
    CMyString filled;
    filled.m_pData = buffer;
    filled.m_nLength = 3;
    filled.m_nAllocated = 4;
    empty = filled;
    EXPECT_EQ(empty.m_pData, buffer) << "the fields are copied as they are";
    EXPECT_EQ(empty.m_nLength, 3);
    EXPECT_EQ(empty.m_nAllocated, 4);

    CDisEdit edit;
    EXPECT_EQ(edit.GetPasswordMode(), 0);
    edit.SetPasswordMode(1);
    EXPECT_EQ(edit.GetPasswordMode(), 1);

    CListFrame list;
    EXPECT_EQ(list.GetActiveIndex(), -1);
    EXPECT_EQ(list.GetLastActiveColIndex(), -1);
    EXPECT_EQ(list.GetRows(), 0);
    EXPECT_EQ(list.GetCol(0), nullptr) << "no such column";

    CTitleTip tip;
    CWnd owner;
    tip.SetParentWnd(&owner);
    EXPECT_EQ(tip.GetParentWnd(), &owner);
    tip.SetRestrictionMode(2);
    EXPECT_EQ(tip.GetRestrictionMode(), 2);
}

TEST(HeaderMembers, AnOrderFileReadsItsBytesAsTheyLie)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("records.bin");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const unsigned char bytes[] = {0x78, 0x56, 0x34, 0x12, 0xFF};
    std::fwrite(bytes, 1, sizeof bytes, f);
    std::fclose(f);
    COrderFile file;
    CFile& plain = file;
    ASSERT_TRUE(plain.Open(path.c_str(), CFile::modeRead));
    std::uint32_t value = 0;
    EXPECT_EQ(plain.Read(&value, 4), 4u) << "the file's own Read, through the base";
    EXPECT_EQ(value, 0x12345678u);
    unsigned char rest[4] = {};
    EXPECT_EQ(plain.Read(rest, 4), 1u);
    plain.Close();
}

TEST(HeaderMembers, GridRangesCellsAndRegions)
{
    const CCellRange range(2, 3, 5, 8);
    EXPECT_EQ(range.GetCenterCell(), CCellID(3, 5)) << "the middle, in the grid's coordinates";
    EXPECT_EQ(CCellRange(4, 4, 4, 4).GetCenterCell(), CCellID(4, 4));

    RECT rect{10, 20, 70, 38};
    CGridCellBase base;
    EXPECT_TRUE(base.GetTipTextRect(&rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.right, 70);
    CGridCell cell;
    cell.SetMargin(4);
    EXPECT_TRUE(cell.GetTipTextRect(&rect));
    EXPECT_EQ(rect.left, 14);
    EXPECT_EQ(rect.right, 66);
    EXPECT_FALSE(cell.GetTipTextRect(nullptr));

    CTableRegion region;
    region.AddRange(CCellRange(1, 2, 3, 4));
    const CCellID inside(2, 3), outside(4, 3);
    EXPECT_TRUE(region.CellInRegion(&inside));
    EXPECT_FALSE(region.CellInRegion(&outside));
    EXPECT_FALSE(region.CellInRegion(nullptr));
    EXPECT_EQ(region.CellInRegion(&inside), region.CellInRegion(2, 3));
}

TEST(HeaderMembers, EveryGridSettingReadsBackWhatWasSet)
{
    CGridCtrl grid;
    struct Setting {
        const char* name;
        std::function<void(int)> set;
        std::function<int()> get;
    };
    const std::vector<Setting> settings = {
        {"fixed row selection", [&](int v) { grid.SetFixedRowSelection(v); },
         [&] { return grid.GetFixedRowSelection(); }},
        {"fixed column selection", [&](int v) { grid.SetFixedColumnSelection(v); },
         [&] { return grid.GetFixedColumnSelection(); }},
        {"drag and drop", [&](int v) { grid.EnableDragAndDrop(v); }, [&] { return grid.GetDragAndDrop(); }},
        {"header sort", [&](int v) { grid.SetHeaderSort(v); }, [&] { return grid.GetHeaderSort(); }},
        {"tab key", [&](int v) { grid.SetHandleTabKey(v); }, [&] { return grid.GetHandleTabKey(); }},
        {"double buffering", [&](int v) { grid.SetDoubleBuffering(v); },
         [&] { return grid.GetDoubleBuffering(); }},
        {"title tips", [&](int v) { grid.EnableTitleTips(v); }, [&] { return grid.GetTitleTips(); }},
        {"sort ascending", [&](int v) { grid.SetSortAscending(v); }, [&] { return grid.GetSortAscending(); }},
        {"track focus cell", [&](int v) { grid.SetTrackFocusCell(v); },
         [&] { return grid.GetTrackFocusCell(); }},
        {"frame focus cell", [&](int v) { grid.SetFrameFocusCell(v); },
         [&] { return grid.GetFrameFocusCell(); }},
        {"auto size style", [&](int v) { grid.SetAutoSizeStyle(v); },
         [&] { return grid.GetAutoSizeStyle(); }},
        {"hidden column unhide", [&](int v) { grid.EnableHiddenColUnhide(v); },
         [&] { return grid.GetHiddenColUnhide(); }},
        {"hidden row unhide", [&](int v) { grid.EnableHiddenRowUnhide(v); },
         [&] { return grid.GetHiddenRowUnhide(); }},
        {"column hide", [&](int v) { grid.EnableColumnHide(v); }, [&] { return grid.GetColumnHide(); }},
        {"row hide", [&](int v) { grid.EnableRowHide(v); }, [&] { return grid.GetRowHide(); }},
    };
    EXPECT_EQ(settings.size(), 15u);
    for (const Setting& s : settings)
        for (int value : {0, 1}) {
            s.set(value);
            EXPECT_EQ(s.get(), value) << s.name;
        }
}
