#include "viewer/analysis/stats_grid_resources.h"

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/dialog_template.h"
#include "platform/resources/module_resources.h"
#include "platform/window/wnd.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_CHANNEL_RED, "Red"},
    {IDS_CHANNEL_GREEN, "Green"},
    {IDS_CHANNEL_BLUE, "Blue"},
    {IDS_COMPUTING_STATISTICS, "Computing statisticses ..."},
    {IDS_ABOUT_ORIGIN, "About origin"},
    {IDS_ABOUT_MEAN, "About Mean"},
    {IDS_COLUMN_COMPONENT, "Component"},
    {IDS_COLUMN_MIN, "Min"},
    {IDS_COLUMN_MAX, "Max"},
    {IDS_COLUMN_MEAN, "Mean"},
    {IDS_COLUMN_STDDEV, "StdDev"},
    {IDS_COPY_TOO_LARGE, "The selection is too large to copy as text."},
};

// A spare image, then the red, green and blue marks.
constexpr const char* kChannelArt[4][16] = {
    {"................", "................", "................", "................", "................",
     "................", "................", "................", "................", "................",
     "................", "................", "................", "................", "................",
     "................"},
    {"................", "................", "...##########...", "...#rrrrrrrr#...", "...#rrrrrrrr#...",
     "...#rrrrrrrr#...", "...#rrrrrrrr#...", "...#rrrrrrrr#...", "...#rrrrrrrr#...", "...#rrrrrrrr#...",
     "...#rrrrrrrr#...", "...#rrrrrrrr#...", "...##########...", "................", "................",
     "................"},
    {"................", "................", "...##########...", "...#gggggggg#...", "...#gggggggg#...",
     "...#gggggggg#...", "...#gggggggg#...", "...#gggggggg#...", "...#gggggggg#...", "...#gggggggg#...",
     "...#gggggggg#...", "...#gggggggg#...", "...##########...", "................", "................",
     "................"},
    {"................", "................", "...##########...", "...#bbbbbbbb#...", "...#bbbbbbbb#...",
     "...#bbbbbbbb#...", "...#bbbbbbbb#...", "...#bbbbbbbb#...", "...#bbbbbbbb#...", "...#bbbbbbbb#...",
     "...#bbbbbbbb#...", "...#bbbbbbbb#...", "...##########...", "................", "................",
     "................"},
};
constexpr auto kChannelBmp = viewer_art::MakeStripBmp<4, 16, 16>(kChannelArt);

// "Re", "Im", "A" and phi.
constexpr const char* kComplexArt[4][16] = {
    {"................", "................", "................", ".####...........", ".#...#..........",
     ".#...#...###....", ".####...#...#...", ".#.#....#####...", ".#..#...#.......", ".#...#...###....",
     "................", "................", "................", "................", "................",
     "................"},
    {"................", "................", "................", ".###............", "..#.............",
     "..#...##.#.#....", "..#...#.#.#.#...", "..#...#.#.#.#...", "..#...#.#.#.#...", ".###..#.#.#.#...",
     "................", "................", "................", "................", "................",
     "................"},
    {"................", "................", "......##........", ".....#..#.......", ".....#..#.......",
     "....#....#......", "....#....#......", "...########.....", "...#......#.....", "..#........#....",
     "..#........#....", "................", "................", "................", "................",
     "................"},
    {"................", ".......#........", ".......#........", ".....#####......", "....#..#..#.....",
     "...#...#...#....", "...#...#...#....", "...#...#...#....", "....#..#..#.....", ".....#####......",
     ".......#........", ".......#........", "................", "................", "................",
     "................"},
};
constexpr auto kComplexBmp = viewer_art::MakeStripBmp<4, 16, 16>(kComplexArt);

// Columns of a histogram.
constexpr const char* kHistogramArt[16] = {
    "................", "................", ".........##.....", ".........##.....",
    "......##.##.....", "......##.##.....", "......##.##.##..", "...##.##.##.##..",
    "...##.##.##.##..", "...##.##.##.##..", "...##.##.##.##..", "...##.##.##.##..",
    ".##############.", "................", "................", "................",
};
constexpr auto kHistogramBmp = viewer_art::MakeBmp<16, 16>(kHistogramArt);

constexpr platform::ImageResource kBitmaps[] = {
    {IDB_CHANNEL_TABS, nullptr, nullptr, nullptr, kChannelBmp},
    {IDB_COMPLEX_TABS, nullptr, nullptr, nullptr, kComplexBmp},
};
constexpr platform::ImageResource kIcons[] = {
    {IDI_HISTOGRAM_BUTTON, nullptr, nullptr, nullptr, kHistogramBmp}};

constexpr DWORD kReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER;

constexpr platform::DialogControl kStatisticsControls[] = {
    {"SysTabControl32", "", IDC_CHANNEL_TAB, 5, 0, 175, 15, WS_TABSTOP},
    {"SysTabControl32", "", IDC_COMPLEX_TAB, 5, 18, 175, 16, WS_TABSTOP},
    {"Static", "Min", IDC_MIN_LABEL, 8, 37, 12, 8, SS_LEFT},
    {"Edit", "", IDC_MIN, 8, 47, 50, 12, kReadOnlyEdit},
    {"Static", "Max", IDC_STATIC, 65, 37, 14, 8, SS_LEFT},
    {"Edit", "", IDC_MAX, 65, 47, 50, 12, kReadOnlyEdit},
    {"Button", "Histogram", IDC_HISTOGRAM, 118, 46, 63, 13, BS_OWNERDRAW | WS_TABSTOP},
    {"Button", "Sample moments", IDC_STATIC, 5, 61, 175, 92, BS_GROUPBOX},
    {"Button", "", IDC_GRID_PLACE, 7, 70, 171, 80, BS_GROUPBOX},
    {"Static", "Coefficient of skewness", IDC_STATIC, 5, 157, 108, 8, SS_LEFT},
    {"Edit", "", IDC_SKEWNESS, 117, 157, 60, 12, kReadOnlyEdit},
    {"Static", "Coefficient of kurtosis", IDC_STATIC, 5, 172, 108, 8, SS_LEFT},
    {"Edit", "", IDC_KURTOSIS, 117, 172, 60, 12, kReadOnlyEdit},
};

constexpr platform::DialogControl kDataInfoControls[] = {
    {"SysTabControl32", "", IDC_INFO_TABS, 5, 2, 228, 15, WS_TABSTOP},
    {"Static", "Size:", IDC_INFO_SIZE_LABEL, 7, 22, 30, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_SIZE, 40, 20, 80, 12, kReadOnlyEdit},
    {"Static", "Type data:", IDC_STATIC, 125, 22, 40, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_TYPE, 168, 20, 65, 12, kReadOnlyEdit},
    {"Button", "Static", IDC_GRID_PLACE, 5, 36, 228, 40, BS_GROUPBOX},
    {"Static", "Range of the logical coordiantes", IDC_INFO_RANGE_LABEL, 7, 82, 200, 8, SS_LEFT},
    {"Static", "X:", IDC_STATIC, 7, 96, 10, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_X_FROM, 20, 94, 95, 12, kReadOnlyEdit},
    {"Static", "...", IDC_STATIC, 118, 96, 12, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_X_TO, 133, 94, 100, 12, kReadOnlyEdit},
    {"Static", "Y:", IDC_STATIC, 7, 112, 10, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_Y_FROM, 20, 110, 95, 12, kReadOnlyEdit},
    {"Static", "...", IDC_STATIC, 118, 112, 12, 8, SS_LEFT},
    {"Edit", "", IDC_INFO_Y_TO, 133, 110, 100, 12, kReadOnlyEdit},
    {"msctls_progress32", "", IDC_INFO_PROGRESS, 5, 130, 228, 10, WS_BORDER},
};

constexpr DWORD kToolDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_STATISTICS, "Statistics", kToolDialogStyle, WS_EX_TOOLWINDOW, "MS Sans Serif", 8, 0, 0, 187, 188,
     kStatisticsControls},
    {IDD_DATA_INFO, "Data Information", kToolDialogStyle, WS_EX_TOOLWINDOW, "MS Sans Serif", 8, 0, 0, 238,
     148, kDataInfoControls},
};

constexpr platform::ModuleResources kResources{.module = "PaneKit statistics and grid",
                                               .strings = kStrings,
                                               .bitmaps = kBitmaps,
                                               .icons = kIcons,
                                               .dialogs = kDialogs};

const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE StatsGridInstance()
{
    return kRegistration.Instance();
}
