#include "tests/app/toolbars/row_menus.h"

#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"

using namespace rowtest;

namespace {

using platform::kMenuEnd;

constexpr platform::MenuItemData kMenuBar[] = {
    {0, "File", MF_POPUP},
    {ID_FILE_OPEN, "Open", 0},
    {32793, "3D Viewer", 0},
    {32771, "Import / Export", 0},
    {32893, "Create New", 0},
    {0, nullptr, MF_SEPARATOR},
    {32896, "Exit", kMenuEnd},
    {0, "Processing", MF_POPUP},
    {ID_PROC_FILTRATION, "Filtration", 0},
    {32904, "Convolution", 0},
    {32864, "Phase Filtration", 0},
    {32905, "Coherence", 0},
    {32913, "Add Noise", 0},
    {0, "Edges", MF_POPUP},
    {32920, "Edge Detection", 0},
    {32917, "Threshold", kMenuEnd},
    {32919, "Replace Values", 0},
    {32922, "Derivation", 0},
    {32923, "Matrix operations", kMenuEnd},
    {0, "Analysis", MF_POPUP},
    {32786, "Texture", 0},
    {32785, "Spectrum", kMenuEnd},
    {0, "Toolbelt", MF_POPUP},
    {32791, "File Calculator", 0},
    {32883, "Complex", 0},
    {32881, "Change Type", 0},
    {32890, "Resampling", 0},
    {32894, "Rotate", 0},
    {32789, "Mirror", 0},
    {32790, "Subset", 0},
    {32780, "Insert", 0},
    {32921, "Complex Operations", kMenuEnd},
    {0, "Preferences", MF_POPUP},
    {32889, "Common", 0},
    {32914, "Interface", kMenuEnd},
    {0, "?", MF_POPUP | kMenuEnd},
    {32795, "Help", 0},
    {0, nullptr, MF_SEPARATOR},
    {32772, "About", kMenuEnd},
};

constexpr platform::MenuItemData kPagesMenu[] = {
    {0, "Files", MF_POPUP},
    {ID_TB_VIEW, "View", 0},
    {32844, "3D Viewer", 0},
    {32845, "Import Export", 0},
    {32916, "Create New", kMenuEnd},
    {0, "Processing", MF_POPUP},
    {32847, "Filtration", 0},
    {32907, "Convolution", 0},
    {32908, "Phase Filtration", 0},
    {32909, "Coherence", 0},
    {32846, "Edge Detection", 0},
    {32915, "Replace Values", 0},
    {32923, "Matrix operation", kMenuEnd},
    {0, "Analysis", MF_POPUP},
    {32850, "Texture", 0},
    {32851, "Spectrum", kMenuEnd},
    {0, "Toolbelt", MF_POPUP | kMenuEnd},
    {32911, "File calculator", 0},
    {32852, "Complex", 0},
    {32853, "Type Change", 0},
    {32854, "Resampling", 0},
    {32856, "Rotate", 0},
    {32858, "Mirror", 0},
    {32857, "Subset", 0},
    {32859, "Insert", kMenuEnd},
};

constexpr platform::MenuItemData kPageNamesMenu[] = {
    {32830, "MAIN", 0},
    {ID_PAGE_FILES, "FILES", 0},
    {ID_PAGE_PROCESSING, "PROCESSING", 0},
    {ID_PAGE_ANALYSE, "ANALYSE", 0},
    {ID_PAGE_UTIL, "UTIL", kMenuEnd},
};

constexpr platform::MenuResource kMenus[] = {
    {130, kMenuBar},
    {136, kPagesMenu},
    {137, kPageNamesMenu},
};

const platform::ModuleResources kResources{.module = "toolbars-tests", .menus = kMenus};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
