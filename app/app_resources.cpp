#include "app/app_resources.h"

#include <array>
#include <cstddef>

#include "app/toolbars/toolbar_resources.h"
#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"

namespace {

using platform::kMenuEnd;
using platform::MenuItemData;

constexpr platform::StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "&About Tarvenix..."},
    {IDS_HELP_TOPIC, "default.htm"},
    {IDS_EXIT_QUESTION, "Exit Tarvenix ?"},
    {IDS_STARTUP_CLOSE, "After click button all processes will be closed."},
    {IDS_ERROR_OCCURED, "ERROR OCCURED"},
};

constexpr MenuItemData kMainMenu[] = {
    {0, "File", MF_POPUP},
    {ID_FILE_OPEN_VIEWER, "Open", 0},
    {ID_FILE_3DVIEWER, "3D Viewer", 0},
    {ID_FILE_IMPORT, "Import / Export", 0},
    {ID_FILE_CREATE_NEW, "Create New", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_FILE_EXIT_PROGRAM, "Exit", kMenuEnd},
    {0, "Processing", MF_POPUP},
    {ID_PROC_FILTRATION, "Filtration", 0},
    {ID_PROC_CONVOLUTION, "Convolution", 0},
    {ID_PROC_PHASE_FILTRATION, "Phase Filtration", 0},
    {ID_PROC_COHERENCE, "Coherence", 0},
    {ID_PROC_ADD_NOISE, "Add Noise", 0},
    {0, "Edges", MF_POPUP},
    {ID_PROC_EDGE_DETECTION, "Edge Detection", 0},
    {ID_PROC_THRESHOLD, "Threshold", kMenuEnd},
    {ID_PROC_REPLACE_VALUES, "Replace Values", 0},
    {ID_PROC_DERIVATION, "Derivation", 0},
    {ID_PROC_MATRIX, "Matrix operations", kMenuEnd},
    {0, "Analysis", MF_POPUP},
    {ID_ANALYSIS_TEXTURE, "Texture", 0},
    {ID_ANALYSIS_SPECTRUM, "Spectrum", kMenuEnd},
    {0, "Toolbelt", MF_POPUP},
    {ID_UTIL_CALCULATOR, "File Calculator", 0},
    {ID_UTIL_COMPLEX, "Complex", 0},
    {ID_UTIL_CHANGE_TYPE, "Change Type", 0},
    {ID_UTIL_RESAMPLING, "Resampling", 0},
    {ID_UTIL_ROTATE, "Rotate", 0},
    {ID_UTIL_MIRROR, "Mirror", 0},
    {ID_UTIL_SUBSET, "Subset", 0},
    {ID_UTIL_INSERT, "Insert", 0},
    {ID_UTIL_COMPLEX_OPERATIONS, "Complex Operations", kMenuEnd},
    {0, "Preferences", MF_POPUP},
    {ID_PREF_COMMON, "Common", 0},
    {ID_PREF_INTERFACE, "Interface", kMenuEnd},
    {0, "?", MF_POPUP | kMenuEnd},
    {ID_HELP_CONTENTS, "Help", 0},
    {0, nullptr, MF_SEPARATOR},
    {ID_HELP_ABOUT, "About", kMenuEnd},
};

// One popup per tool-bar page: the buttons' ids and captions in order.
constexpr MenuItemData kToolsMenu[] = {
    {0, "Files", MF_POPUP},
    {ID_TOOL_VIEW, "View", 0},
    {ID_TOOL_3DVIEWER, "3D Viewer", 0},
    {ID_TOOL_IMPORT, "Import Export", 0},
    {ID_TOOL_CREATE_NEW, "Create New", kMenuEnd},
    {0, "Processing", MF_POPUP},
    {ID_TOOL_FILTRATION, "Filtration", 0},
    {ID_TOOL_CONVOLUTION, "Convolution", 0},
    {ID_TOOL_PHASE_FILTRATION, "Phase Filtration", 0},
    {ID_TOOL_COHERENCE, "Coherence", 0},
    {ID_TOOL_EDGE_DETECTION, "Edge Detection", 0},
    {ID_TOOL_REPLACE_VALUES, "Replace Values", 0},
    {ID_PROC_MATRIX, "Matrix operation", kMenuEnd},
    {0, "Analysis", MF_POPUP},
    {ID_TOOL_TEXTURE, "Texture", 0},
    {ID_TOOL_SPECTRUM, "Spectrum", kMenuEnd},
    {0, "Toolbelt", MF_POPUP | kMenuEnd},
    {ID_TOOL_CALCULATOR, "File calculator", 0},
    {ID_TOOL_COMPLEX, "Complex", 0},
    {ID_TOOL_CHANGE_TYPE, "Type Change", 0},
    {ID_TOOL_RESAMPLING, "Resampling", 0},
    {ID_TOOL_ROTATE, "Rotate", 0},
    {ID_TOOL_MIRROR, "Mirror", 0},
    {ID_TOOL_SUBSET, "Subset", 0},
    {ID_TOOL_INSERT, "Insert", kMenuEnd},
};

// Item 0 names the MAIN row's picture strip; items 1.. name the pages and carry the ids
// of their selectors.
constexpr MenuItemData kPagesMenu[] = {
    {ID_PAGE_MAIN, "MAIN", 0},       {ID_PAGE_FILES, "FILES", 0},      {ID_PAGE_PROCESSING, "PROCESSING", 0},
    {ID_PAGE_ANALYSE, "ANALYSE", 0}, {ID_PAGE_UTIL, "UTIL", kMenuEnd},
};

constexpr platform::MenuResource kMenus[] = {
    {IDR_MENU_MAIN, kMainMenu},
    {IDR_MENU_TOOLS, kToolsMenu},
    {IDR_MENU_PAGES, kPagesMenu},
};

// The command window: a strip with caption, system menu, sizing border and minimise box;
// it lays out its rows and its size itself.
constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_GOLOVA_DIALOG,
     "Tarvenix 2.0",
     WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
     WS_EX_APPWINDOW | WS_EX_CONTROLPARENT,
     "MS Sans Serif",
     8,
     0,
     0,
     320,
     60,
     {}},
};

// The program's icon, 32 x 32, kept as a 24-bit BMP made at compile time: a radar scope
// with its rings, a sweep and one bright target.
constexpr int kIconSide = 32;
constexpr std::size_t kIconHeader = 54;
constexpr std::size_t kIconBytes = kIconHeader + std::size_t{kIconSide} * kIconSide * 3;

constexpr std::array<unsigned char, kIconBytes> MakeIconBmp()
{
    std::array<unsigned char, kIconBytes> b{};
    auto put = [&b](std::size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<unsigned>(kIconBytes), 4);
    put(10, static_cast<unsigned>(kIconHeader), 4);
    put(14, 40, 4);
    put(18, kIconSide, 4);
    put(22, kIconSide, 4);  // bottom-up rows
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, static_cast<unsigned>(kIconBytes - kIconHeader), 4);
    put(38, 2835, 4);
    put(42, 2835, 4);
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            // Twice the distance from the centre (15.5, 15.5), so that it stays integral.
            const int dx = 2 * x - 31, dy = 2 * y - 31;
            const int d2 = dx * dx + dy * dy;
            int r = 16, g = 36, bl = 70;
            for (int radius : {28, 18, 8}) {
                const int diff = d2 - radius * radius;
                if (diff > -2 * radius && diff < 2 * radius) r = 40, g = 170, bl = 160;
            }
            if (dx > 0 && dy < 0 && d2 < 28 * 28 && (dx + dy) >= -2 && (dx + dy) <= 2)
                r = 140, g = 255, bl = 140;
            if (x >= 21 && x <= 22 && y >= 9 && y <= 10) r = 255, g = 230, bl = 60;
            if (x == 0 || y == 0 || x == kIconSide - 1 || y == kIconSide - 1) r = 8, g = 16, bl = 36;
            const std::size_t at =
                kIconHeader +
                (static_cast<std::size_t>(kIconSide - 1 - y) * kIconSide + static_cast<std::size_t>(x)) * 3;
            b[at] = static_cast<unsigned char>(bl);
            b[at + 1] = static_cast<unsigned char>(g);
            b[at + 2] = static_cast<unsigned char>(r);
        }
    }
    return b;
}

constexpr std::array<unsigned char, kIconBytes> kIconBmp = MakeIconBmp();

constexpr platform::ImageResource kIcons[] = {
    {IDR_MAINFRAME, nullptr, nullptr, nullptr, kIconBmp},
};

constexpr platform::ModuleResources kResources{
    .module = "Tarvenix", .strings = kStrings, .menus = kMenus, .icons = kIcons, .dialogs = kDialogs};

}  // namespace

void RegisterAppResources()
{
    // Registered on first use rather than at load time: the program's code lives in a
    // static library, whose unreferenced objects the linker would drop.
    static const platform::ModuleResourceRegistration registration(kResources);
    // The rows' templates and pictures are the rows' own resources.
    ToolbarResourcesInstance();
}
