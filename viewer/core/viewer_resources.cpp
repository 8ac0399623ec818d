#include "viewer/core/viewer_resources.h"

#include "platform/menu/menu.h"
#include "platform/controls/button.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"
#include "viewer/core/save_changes_dlg.h"
#include "viewer/core/figures.h"
#include "viewer/core/frame_viewer_ids.h"
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

// --- the viewer frame: menus, tool bar, strings and icon -------------------------------------

constexpr UINT kEnd = platform::kMenuEnd;
// Commands of the analysis windows' context menus.
constexpr UINT kProfileCopy = 34002, kProfileSave = 34003, kProfileSchemeDark = 34005,
               kProfileSchemeWhite = 34007;
constexpr UINT kHistSaveAs = 34000, kHistCopy = 34008, kHistNoGrid = 34372;
constexpr UINT kScaleCopy = 34168, kScaleHorizontal = 34171;

// The frame's menu; the three menu bars are cut from it.
constexpr platform::MenuItemData kViewerMenu[] = {
    {0, "&File", MF_POPUP},
    {ID_VIEWER_NEW, "&New...", 0},
    {ID_VIEWER_OPEN, "&Open...", 0},
    {ID_VIEWER_OPEN_RGB, "Open &RGB...", 0},
    {ID_VIEWER_CLOSE, "&Close", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_SAVE, "&Save...", 0},
    {ID_VIEWER_SAVE_AS, "Save &As...", 0},
    {ID_VIEWER_EXPORT_BMP, "&Export into bitmap...", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_FILE_PROPERTIES, "&Properties", kEnd},
    {0, "&Edit", MF_POPUP},
    {ID_VIEWER_COPY, "&Copy", 0},
    {ID_VIEWER_COPY_WITH_GRID, "Copy &with grid", 0},
    {ID_VIEWER_PASTE, "&Paste", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_FIND, "&Find", 0},
    {ID_VIEWER_REPLACE, "&Replace", kEnd},
    {0, "&View", MF_POPUP},
    {ID_VIEWER_SHOW_IMAGE, "&Image", 0},
    {ID_VIEWER_SHOW_TABLE, "&Table", 0},
    {0, "Comple&x", MF_POPUP},
    {ID_VIEWER_COMPLEX_FULL, "&Full", 0},
    {ID_VIEWER_COMPLEX_REAL, "&Real", 0},
    {ID_VIEWER_COMPLEX_IMAGINARY, "&Imaginary", 0},
    {ID_VIEWER_COMPLEX_MODULE, "&Module", 0},
    {ID_VIEWER_COMPLEX_ARGUMENT, "&Argument", kEnd},
    {ID_VIEWER_COLORING, "&Coloring", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_SCALE, "Color &Scale", kEnd},
    {0, "&Zoom", MF_POPUP},
    {ID_VIEWER_CENTER_MENU, "&Center", 0},
    {ID_VIEWER_INCREASE, "&Increase", 0},
    {ID_VIEWER_DECREASE, "&Decrease", 0},
    {ID_VIEWER_FIT_WINDOW, "&Fit to window", 0},
    {ID_VIEWER_REAL_SIZE, "&Real size", kEnd},
    {0, "&Image", MF_POPUP},
    {ID_VIEWER_PALETTE, "&Palette", 0},
    {ID_VIEWER_BRIGHT_CONTRAST, "&Bright / Contrast", 0},
    {ID_VIEWER_HIST_TRIMMING, "Histogram &Triming", kEnd},
    {0, "&Data", MF_POPUP},
    {ID_VIEWER_DATA_INFO, "Data &information", 0},
    {ID_VIEWER_POINTER_DLG, "&Pointer", 0},
    {ID_VIEWER_LOGICAL_COORDS, "&Logical coordinates", kEnd},
    {0, "&Region", MF_POPUP},
    {ID_VIEWER_RECT_SELECTION, "&Rectangular selection", 0},
    {ID_VIEWER_POLYGON_SELECTION, "Poly&gonal selection", 0},
    {ID_VIEWER_FREEHAND_SELECTION, "&Freehand selection", 0},
    {ID_VIEWER_MOVE_SELECTION, "&Move", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_VIEWER_SAVE_REGION, "&Save region", 0},
    {ID_VIEWER_REGION_STATISTICS, "Region s&tatistics", 0},
    {ID_VIEWER_REGION_PROPERTIES, "&Properties", kEnd},
    {0, "&Analysis", MF_POPUP},
    {ID_VIEWER_HISTOGRAM, "&Histogram", 0},
    {ID_VIEWER_PROFILE_X_MENU, "Profile along &X axis", 0},
    {ID_VIEWER_PROFILE_Y_MENU, "Profile along &Y axis", 0},
    {ID_VIEWER_MEASURE, "&Measure", kEnd},
    {0, "&Help", MF_POPUP | kEnd},
    {ID_VIEWER_HELP_CONTENTS, "&Contents", kEnd},
};

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
    {IDR_VIEWER_MENU, kViewerMenu},
    {IDR_VIEWER_CONTEXT_MENUS, kViewerContextMenus},
};

constexpr UINT kViewerToolButtons[] = {
    ID_VIEWER_OPEN,
    ID_VIEWER_OPEN_RGB,
    ID_VIEWER_SAVE,
    ID_VIEWER_CLOSE,
    0,
    ID_VIEWER_ZOOM_IN,
    ID_VIEWER_ZOOM_OUT,
    ID_VIEWER_FIT_BUTTON,
    ID_VIEWER_REAL_SCALE,
    0,
    ID_VIEWER_CENTER,
    ID_VIEWER_DATA_INFO_BUTTON,
    ID_VIEWER_POINTER,
    0,
    ID_VIEWER_MOVE_SELECTION,
    ID_VIEWER_RECT_SELECTION,
    ID_VIEWER_FREEHAND_SELECTION,
    ID_VIEWER_POLYGON_SELECTION,
    0,
    ID_VIEWER_PROFILE_X,
    ID_VIEWER_PROFILE_Y,
    ID_VIEWER_HISTOGRAM_BUTTON,
    ID_VIEWER_MEASURE,
    0,
    ID_VIEWER_BRIGHTNESS_BUTTON,
    ID_VIEWER_SHOW_PALETTE,
};
constexpr UINT IDB_VIEWER_TOOLBAR = IDR_VIEWER_TOOLBAR;
constexpr platform::ToolBarResource kViewerToolBars[] = {
    {IDR_VIEWER_TOOLBAR, 16, 15, kViewerToolButtons, IDB_VIEWER_TOOLBAR}};

// The tool-bar images in button order, 16 x 15 each (see text_art_bitmap.h for the colours).
constexpr const char* kToolImages[21][15] = {
    // Open file: a folder
    {
        "                ",
        "         ###    ",
        "        #   # # ",
        "             ## ",
        " ###       ###  ",
        "#yyy#######     ",
        "#yyyyyyyyy#     ",
        "#yyy###########",
        "#yy#ooooooooo#  ",
        "#y#ooooooooo#   ",
        "##ooooooooo#    ",
        "#ooooooooo#     ",
        "###########     ",
        "                ",
        "                ",
    },
    // Open RGB: three channels
    {
        "                ",
        "  ##########    ",
        "  #rrrrrrrr#    ",
        "  #rrrrrrrr#    ",
        "  ##########    ",
        "  #gggggggg#    ",
        "  #gggggggg#    ",
        "  ##########    ",
        "  #bbbbbbbb#    ",
        "  #bbbbbbbb#    ",
        "  ##########    ",
        "                ",
        "                ",
        "                ",
        "                ",
    },
    // Save: a disk
    {
        "                ",
        " ############## ",
        " #d#wwwwwwww#d# ",
        " #d#wwwwwwww#d# ",
        " #d#wwwwwwww#d# ",
        " #d#wwwwwwww#d# ",
        " #dd########dd# ",
        " #dddddddddddd# ",
        " #ddd######ddd# ",
        " #ddd##ll##ddd# ",
        " #ddd##ll##ddd# ",
        "  ############# ",
        "                ",
        "                ",
        "                ",
    },
    // Close file: a page with a red cross
    {
        "                ",
        "  #######       ",
        "  #wwwww##      ",
        "  #wwwww#w#     ",
        "  #wwwww####    ",
        "  #wwwwwwww#    ",
        "  #wwr#wwr##    ",
        "  #www##r#w#    ",
        "  #wwwwrr#w#    ",
        "  #www##r#w#    ",
        "  #wwr#wwr##    ",
        "  #wwwwwwww#    ",
        "  ##########    ",
        "                ",
        "                ",
    },
    // Zoom in: a lens with a plus
    {
        "                ",
        "    ####        ",
        "  ##wwww##      ",
        " #www##www#     ",
        " #www##www#     ",
        "#ww######ww#    ",
        "#ww######ww#    ",
        " #www##www#     ",
        " #www##www#     ",
        "  ##wwww####    ",
        "    #####oo#    ",
        "          #oo#  ",
        "           #oo# ",
        "            #oo#",
        "             ## ",
    },
    // Zoom out: a lens with a minus
    {
        "                ",
        "    ####        ",
        "  ##wwww##      ",
        " #wwwwwwww#     ",
        " #wwwwwwww#     ",
        "#ww######ww#    ",
        "#ww######ww#    ",
        " #wwwwwwww#     ",
        " #wwwwwwww#     ",
        "  ##wwww####    ",
        "    #####oo#    ",
        "          #oo#  ",
        "           #oo# ",
        "            #oo#",
        "             ## ",
    },
    // Fit in the window: arrows to the corners
    {
        "                ",
        " ############## ",
        " #ww#######www# ",
        " #w#w     #ww#  ",
        " ##  #   # w#   ",
        " #    # #       ",
        " #     #       #",
        " #    # #      #",
        " #   #   #     #",
        " #w #     #  w##",
        " #ww       ww#w#",
        " #www    www#ww#",
        " ############## ",
        "                ",
        "                ",
    },
    // Real scale: 1:1
    {
        "                ",
        "                ",
        "   #        #   ",
        "  ##        ##  ",
        " # #   ##  # #  ",
        "   #   ##    #  ",
        "   #         #  ",
        "   #         #  ",
        "   #   ##    #  ",
        "   #   ##    #  ",
        "  ###       ### ",
        "                ",
        "                ",
        "                ",
        "                ",
    },
    // Center: cross hairs
    {
        "       #        ",
        "       #        ",
        "       #        ",
        "     #####      ",
        "    #  #  #     ",
        "   #   #   #    ",
        "   #       #    ",
        "####### #######",
        "   #       #    ",
        "   #   #   #    ",
        "    #  #  #     ",
        "     #####      ",
        "       #        ",
        "       #        ",
        "       #        ",
    },
    // Data information: an "i"
    {
        "                ",
        "     #####      ",
        "   ##bbbbb##    ",
        "  #bbbbwwbbb#   ",
        "  #bbbbwwbbb#   ",
        " #bbbbbbbbbbb#  ",
        " #bbbbwwwbbbb#  ",
        " #bbbbbwwbbbb#  ",
        " #bbbbbwwbbbb#  ",
        " #bbbbbwwbbbb#  ",
        "  #bbbwwwwbb#   ",
        "  #bbbbbbbbb#   ",
        "   ##bbbbb##    ",
        "     #####      ",
        "                ",
    },
    // Turn on the pointer: a red pointer mark
    {
        "       r        ",
        "       r        ",
        "       r        ",
        "       r        ",
        "       r        ",
        "                ",
        "rrrrr  #  rrrrr ",
        "      ###       ",
        "       #        ",
        "                ",
        "       r        ",
        "       r        ",
        "       r        ",
        "       r        ",
        "       r        ",
    },
    // Move selection: four arrows
    {
        "       #        ",
        "      ###       ",
        "     #####      ",
        "       #        ",
        "  #  # # #  #   ",
        " ##  #   #  ##  ",
        "#####  #  ##### ",
        " ##  #   #  ##  ",
        "  #  # # #  #   ",
        "       #        ",
        "     #####      ",
        "      ###       ",
        "       #        ",
        "                ",
        "                ",
    },
    // Select rectangular region: a dashed rectangle
    {
        "                ",
        "                ",
        " ## ## ## ## ## ",
        " #            # ",
        "                ",
        " #            # ",
        " #            # ",
        "                ",
        " #            # ",
        " #            # ",
        "                ",
        " #            # ",
        " ## ## ## ## ## ",
        "                ",
        "                ",
    },
    // Select Free Hand Region: a loop
    {
        "                ",
        "     ####       ",
        "   ##    ##     ",
        "  #        #    ",
        " #          ##  ",
        " #            # ",
        " #            # ",
        "  #          #  ",
        "   #       ##   ",
        "    ##   ##     ",
        "      ###       ",
        "       #        ",
        "        #       ",
        "         ##     ",
        "                ",
    },
    // Select rectangular area: a polygon
    {
        "                ",
        "      #         ",
        "     # ##       ",
        "    #    ##     ",
        "   #       ##   ",
        "  #          #  ",
        " #           #  ",
        "  #         #   ",
        "   #        #   ",
        "    #      #    ",
        "     #     #    ",
        "      #   #     ",
        "       ####     ",
        "                ",
        "                ",
    },
    // Profile along X axis: a curve over a horizontal axis
    {
        "                ",
        "                ",
        "        ##      ",
        "       #  #     ",
        "  ##  #    #    ",
        " #  ##      #   ",
        "#            ## ",
        "               #",
        "                ",
        "bbbbbbbbbbbbbbbb",
        "              b ",
        "                ",
        "                ",
        "                ",
        "                ",
    },
    // Profile along Y axis: a curve beside a vertical axis
    {
        "     b          ",
        "    bbb         ",
        "     b  #       ",
        "     b   #      ",
        "     b    #     ",
        "     b   #      ",
        "     b  #       ",
        "     b #        ",
        "     b  #       ",
        "     b    ##    ",
        "     b      #   ",
        "     b     #    ",
        "     b    #     ",
        "     b   #      ",
        "     b          ",
    },
    // Histogram: bars
    {
        "                ",
        "                ",
        "       #        ",
        "       #        ",
        "      ###       ",
        "      ###  #    ",
        "     #### ##    ",
        "     #######    ",
        "    ########    ",
        "   ##########   ",
        "  ############  ",
        " ############## ",
        "################",
        "                ",
        "                ",
    },
    // Measure: a ruler
    {
        "                ",
        "                ",
        "                ",
        "                ",
        "################",
        "#yyyyyyyyyyyyyy#",
        "#y#y#y#y#y#y#yy#",
        "#y#yyy#yyy#yyy##",
        "#y#yyy#yyy#yyy##",
        "#yyyyyyyyyyyyyy#",
        "################",
        "                ",
        "                ",
        "                ",
        "                ",
    },
    // Brightness/Contrast: a half-dark sun
    {
        "       #        ",
        "  #    #    #   ",
        "   #       #    ",
        "     #####      ",
        "    #wwww##     ",
        "   #wwwww###    ",
        "## #wwwww### ## ",
        "   #wwwww###    ",
        "    #wwww##     ",
        "     #####      ",
        "   #       #    ",
        "  #    #    #   ",
        "       #        ",
        "                ",
        "                ",
    },
    // Show palette: colour swatches
    {
        "                ",
        " ############## ",
        " #rrr#ggg#bbb#  ",
        " #rrr#ggg#bbb#  ",
        " ############## ",
        " #yyy#ccc#mmm#  ",
        " #yyy#ccc#mmm#  ",
        " ############## ",
        " #www#ddd#nnn#  ",
        " #www#ddd#nnn#  ",
        " ############## ",
        "                ",
        "                ",
        "                ",
        "                ",
    },
};
constexpr auto kToolStripBmp = viewer_art::MakeStripBmp<21, 16, 15>(kToolImages);

// The frame's icon: a radar picture in a frame.
constexpr const char* kViewerIconArt[16] = {
    "################", "#nnnnnnnnnnnnnn#", "#nnnnnnnnnnnnnn#", "#nnnngggggnnnnn#",
    "#nnggnnnnnggnnn#", "#nggnnnnnnnggnn#", "#ngnnnngnnnngnn#", "#gnnnnngnnnnngn#",
    "#gnnnnngggggggn#", "#gnnnnnnnnnnngn#", "#ngnnnnnnnnngnn#", "#nggnnnnnnnggnn#",
    "#nnggnnnnnggnnn#", "#nnnngggggnnnnn#", "#nnnnnnnnnnnnnn#", "################",
};
constexpr auto kViewerIconBmp = viewer_art::MakeBmp<16, 16>(kViewerIconArt);

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
    {IDB_VIEWER_TOOLBAR, nullptr, nullptr, nullptr, kToolStripBmp},
    {IDB_POINTER_FIGURE, nullptr, nullptr, nullptr, kPointerFigureBmp}};
constexpr platform::ImageResource kViewerIcons[] = {{IDI_VIEWER, nullptr, nullptr, nullptr, kViewerIconBmp}};

// Strings of commands: the status text, then the tool tip after "\n".
constexpr platform::StringEntry kViewerStrings[] = {
    {IDS_VIEWER_NO_FILE, "Viewer: no file"},
    {IDS_VIEWER_STOP_QUESTION, "Do you really want to stop the process?"},
    {ID_VIEWER_OPEN, "Open a layer file\nOpen file"},
    {ID_VIEWER_OPEN_RGB, "Open three layer files as an RGB composite\nOpen RGB"},
    {ID_VIEWER_SAVE, "Save the changes\nSave"},
    {ID_VIEWER_CLOSE, "Close the file\nClose file"},
    {ID_VIEWER_ZOOM_IN, "Zoom in where you click\nZoom in"},
    {ID_VIEWER_ZOOM_OUT, "Zoom out where you click\nZoom out"},
    {ID_VIEWER_FIT_BUTTON, "Fit the picture in the window\nFit in the window"},
    {ID_VIEWER_REAL_SCALE, "Show the picture at 1:1\nReal scale"},
    {ID_VIEWER_CENTER, "Centre the picture where you click\nCenter"},
    {ID_VIEWER_DATA_INFO_BUTTON, "Show the data information\nData information"},
    {ID_VIEWER_POINTER, "Turn the pointer on or off\nTurn on the pointer"},
    {ID_VIEWER_MOVE_SELECTION, "Move the selection\nMove selection"},
    {ID_VIEWER_RECT_SELECTION, "Select a rectangular region\nSelect rectangular region"},
    {ID_VIEWER_FREEHAND_SELECTION, "Select a free-hand region\nSelect Free Hand Region"},
    {ID_VIEWER_POLYGON_SELECTION, "Select a polygonal area\nSelect rectangular area"},
    {ID_VIEWER_PROFILE_X, "Profile along a row\nProfile along X axis"},
    {ID_VIEWER_PROFILE_Y, "Profile along a column\nProfile along Y axis"},
    {ID_VIEWER_HISTOGRAM_BUTTON, "Show the histogram\nHistogram"},
    {ID_VIEWER_MEASURE, "Measure distances\nMeasure"},
    {ID_VIEWER_BRIGHTNESS_BUTTON, "Adjust brightness and contrast\nBrightness/Contrast"},
    {ID_VIEWER_SHOW_PALETTE, "Choose a colour map\nShow palette"},
    // The measure read-out.
    {IDS_FIGURE_LENGTH, "Lenght"},
    {IDS_FIGURE_SEGMENTS, "Segments"},
    {IDS_FIGURE_NODES, "Nodes"},
    {IDS_FIGURE_NODE, "Node"},
};

// --- the save-changes question -------------------------------------------------------------------

constexpr platform::DialogControl kSaveChangesControls[] = {
    {"Static", "?", IDC_STATIC, 7, 7, 20, 20, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {"Static", "Save changes ?", IDC_SAVE_CHANGES_TEXT, 34, 10, 150, 10, SS_LEFT},
    {"SysListView32", "", IDC_SAVE_CHANGES_LIST, 7, 32, 177, 56,
     LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | WS_BORDER | WS_TABSTOP},
    {"Button", "Yes", IDYES, 20, 96, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "No", IDNO, 74, 96, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 128, 96, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
constexpr platform::DialogTemplate kViewerDialogs[] = {
    {IDD_SAVE_CHANGES, "Save changes", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, nullptr, 8, 0,
     0, 191, 117, kSaveChangesControls},
};

constexpr platform::ModuleResources kResources{.module = "PaneKit",
                                               .strings = kViewerStrings,
                                               .menus = kViewerMenus,
                                               .toolBars = kViewerToolBars,
                                               .bitmaps = kViewerBitmaps,
                                               .icons = kViewerIcons,
                                               .cursors = kCursors,
                                               .dialogs = kViewerDialogs};

// Joins the resource chain when the library is loaded and leaves it when it is unloaded.
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE ViewerInstance()
{
    return kRegistration.Instance();
}
