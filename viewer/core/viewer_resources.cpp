#include "viewer/core/viewer_resources.h"

#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "viewer/core/figures.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

// The tool cursors, 16 x 16: black shapes with a white outline so that they show over
// dark and light pictures alike.
constexpr const char* kZoomInArt[] = {
    "   .......      ", "  ..#####..     ", " ..##...##..    ", "..#.......#..   ",
    ".##...#...##.   ", ".#....#....#.   ", ".#..#####..#.   ", ".#....#....#.   ",
    ".##...#...##.   ", "..#.......#..   ", " ..##...####..  ", "  ..#####.###.. ",
    "   ........###..", "          ..###.", "           ..###", "            ..#.",
};
constexpr const char* kZoomOutArt[] = {
    "   .......      ", "  ..#####..     ", " ..##...##..    ", "..#.......#..   ",
    ".##.......##.   ", ".#.........#.   ", ".#..#####..#.   ", ".#.........#.   ",
    ".##.......##.   ", "..#.......#..   ", " ..##...####..  ", "  ..#####.###.. ",
    "   ........###..", "          ..###.", "           ..###", "            ..#.",
};
constexpr const char* kCentreArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "      .#.       ", "      ...       ",
};
constexpr const char* kProfileXArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    " ...  .#.  ...  ", "..#.  .#.  .#.. ", ".#...........#..", "######. .######.",
    ".#...........#..", "..#.  .#.  .#.. ", " ...  .#.  ...  ", "      .#.       ",
    "      .#.       ", "      .#.       ", "      .#.       ", "      ...       ",
};
constexpr const char* kProfileYArt[] = {
    "     ..#..      ", "    ..###..     ", "    .#.#.#.     ", "    ...#...     ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.       ", "      .#.       ", "    ...#...     ",
    "    .#.#.#.     ", "    ..###..     ", "     ..#..      ", "      ...       ",
};
constexpr const char* kToolArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.       ", "      .#.       ", "      .#. ..... ",
    "      .#. .###. ", "      .#. .###. ", "      .#. .###. ", "      ... ..... ",
};
constexpr const char* kFreeHandArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.       ", "      .#.   ... ", "      .#.....#..",
    "      .#..#.#.#.", "      .#...#....", "      .#. ...   ", "      ...       ",
};
constexpr const char* kPolygonArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.  ...  ", "      .#.  .#.  ", "      .#. ..#.. ",
    "      .#...#.#..", "      .#..#...#.", "      .#..#####.", "      ..........",
};
constexpr const char* kPolygonCloseArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#. ..... ", "      .#...###..", "      .#..#####.",
    "      .#..#####.", "      .#..#####.", "      .#...###..", "      ... ..... ",
};
constexpr const char* kRectangleArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#........", "      .#..#####.", "      .#..#...#.",
    "      .#..#. .#.", "      .#..#...#.", "      .#..#####.", "      ..........",
};
constexpr const char* kMeasureArt[] = {
    "      .#.       ", "      .#.       ", "      .#.       ", "      .#.       ",
    "      .#.       ", "      .#.       ", "................", "######. .######.",
    "................", "      .#.       ", "      .#.       ", "      .#...  ...",
    "      .#.#....#.", "      .#.#.#.#..", "      .#.######.", "      ..........",
};

constexpr platform::CursorResource kCursors[] = {
    {IDC_VIEW_ZOOMIN, 6, 6, kZoomInArt},
    {IDC_VIEW_ZOOMOUT, 6, 6, kZoomOutArt},
    {IDC_VIEW_CENTER, 7, 7, kCentreArt},
    {IDC_VIEW_PROFILE_X, 7, 7, kProfileXArt},
    {IDC_VIEW_PROFILE_Y, 7, 7, kProfileYArt},
    {IDC_VIEW_TOOL, 7, 7, kToolArt},
    {IDC_VIEW_FREEHAND, 7, 7, kFreeHandArt},
    {IDC_VIEW_POLYGON, 7, 7, kPolygonArt},
    {IDC_VIEW_POLYGON_CLOSE, 7, 7, kPolygonCloseArt},
    {IDC_VIEW_RECTANGLE, 7, 7, kRectangleArt},
    {IDC_VIEW_MEASURE, 7, 7, kMeasureArt},
};

// --- the context menus of the viewer's windows and the overlay figures ------------------------

constexpr UINT kEnd = platform::kMenuEnd;
// Commands of the analysis windows' context menus.
constexpr UINT kProfileCopy = 34002, kProfileSave = 34003, kProfileSchemeDark = 34005,
               kProfileSchemeWhite = 34007;
constexpr UINT kHistSaveAs = 34000, kHistCopy = 34008, kHistNoGrid = 34372;
constexpr UINT kScaleCopy = 34168, kScaleHorizontal = 34171;

// The context menus of the viewer's windows, one popup each: the view window, the profile,
// histogram and scale windows and the table.
constexpr platform::MenuItemData kViewerContextMenus[] = {
    {0, "View", MF_POPUP},
    {ID_VIEWER_ZOOM_IN_NOW, "Zoom in", 0},
    {ID_VIEWER_ZOOM_OUT_NOW, "Zoom out", 0},
    {ID_VIEWER_FIT_CONTEXT, "&Fit to window", 0},
    {ID_VIEWER_SCALE_1_1, "1:1 Scale", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_COPY, "&Copy", 0},
    {ID_VIEWER_SAVE_REGION, "Save region", 0},
    {ID_VIEWER_REGION_STATISTICS, "Region statistics", 0},
    {ID_VIEWER_REGION_PROPERTIES, "Properties", kEnd},
    {0, "Profile Menu", MF_POPUP},
    {0, "Color scheme", MF_POPUP},
    {kProfileSchemeWhite, "White", 0},
    {kProfileSchemeDark, "Black", kEnd},
    {0, nullptr, MF_SEPARATOR},
    {kProfileCopy, "Copy", 0},
    {kProfileSave, "Save to file...", kEnd},
    {0, "Histogram Menu", MF_POPUP},
    {kHistNoGrid, "No Grid", 0},
    {kHistNoGrid + 1, "Normal Grid", 0},
    {kHistNoGrid + 2, "PDF Grid", 0},
    {0, nullptr, MF_SEPARATOR},
    {kHistCopy, "Copy", 0},
    {kHistSaveAs, "Save as...", kEnd},
    {0, "Scale Menu", MF_POPUP},
    {kScaleHorizontal, "&Horizontal", MF_CHECKED},
    {kScaleHorizontal + 1, "&Vertical", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_SCALE_HIDE, "Hi&de", 0},
    {0, nullptr, MF_SEPARATOR},
    {kScaleCopy, "Copy", 0},
    {ID_VIEWER_SCALE_PALETTE, "View &Palette", kEnd},
    {0, "Text viewer menu", MF_POPUP | kEnd},
    {ID_VIEWER_SAVE_REGION, "Save region", 0},
    {ID_VIEWER_REGION_STATISTICS, "Region statistics", 0},
    {ID_VIEWER_COPY, "Copy", 0},
    {ID_VIEWER_PASTE, "Insert", kEnd},
};

constexpr platform::MenuResource kViewerMenus[] = {
    {IDR_VIEWER_CONTEXT_MENUS, kViewerContextMenus},
};

// The pointer marker, 17 x 17: a red cross hair in a ring with white edges, so that it shows
// over dark and light pictures; black is transparent.
constexpr const char* kPointerFigureArt[17] = {
    "#######wrw#######", "#######wrw#######", "#######wrw#######", "####wwwwrwwww####", "###wrrrwrwrrrw###",
    "###wr#######rw###", "wwwwr#######rwwww", "rrrrr#######rrrrr", "wwwww###r###wwwww", "rrrrr#######rrrrr",
    "wwwwr#######rwwww", "###wr#######rw###", "###wrrrwrwrrrw###", "####wwwwrwwww####", "#######wrw#######",
    "#######wrw#######", "#######wrw#######",
};
constexpr auto kPointerFigureBmp = viewer_art::MakeBmp<17, 17>(kPointerFigureArt);

constexpr platform::ImageResource kViewerBitmaps[] = {
    {IDB_POINTER_FIGURE, nullptr, nullptr, nullptr, kPointerFigureBmp}};

// The measure read-out.
constexpr platform::StringEntry kViewerStrings[] = {
    {IDS_FIGURE_LENGTH, "Lenght"},
    {IDS_FIGURE_SEGMENTS, "Segments"},
    {IDS_FIGURE_NODES, "Nodes"},
    {IDS_FIGURE_NODE, "Node"},
};

constexpr platform::ModuleResources kResources{.module = "PaneKit",
                                               .strings = kViewerStrings,
                                               .menus = kViewerMenus,
                                               .bitmaps = kViewerBitmaps,
                                               .cursors = kCursors};

// Joins the resource chain when the library is loaded and leaves it when it is unloaded.
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE ViewerInstance()
{
    return kRegistration.Instance();
}
