// A library with resources of its own, for the resource-chain tests: it joins the chain
// when it is loaded and leaves it when it is unloaded, as every library of the suite does.

#include "platform/controls/button.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {9300, "from the library"},  // overrides the test program's own text while loaded
    {9500, "only in the library"},
};

// A 2 x 2 bitmap as a BMP file: red, green over blue, white (24 bits, rows bottom-up).
constexpr unsigned char kFourColoursBmp[] = {
    'B',  'M', 70,   0,    0,    0,    0, 0, 0,    0,    54, 0, 0, 0,                     // file header
    40,   0,   0,    0,    2,    0,    0, 0, 2,    0,    0,  0, 1, 0, 24, 0, 0, 0, 0, 0,  // info header
    16,   0,   0,    0,    0x13, 0x0B, 0, 0, 0x13, 0x0B, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,
    0xFF, 0,   0,    0xFF, 0xFF, 0xFF, 0, 0,  // blue, white
    0,    0,   0xFF, 0,    0xFF, 0,    0, 0,  // red, green
};
constexpr platform::ImageResource kBitmaps[] = {{9520, "FOUR_COLOURS", nullptr, nullptr, kFourColoursBmp}};

// A plus sign with a white outline, hot spot in its middle.
constexpr const char* kPlusArt[] = {
    " ... ", " .#. ", "..#..", ".###.", "..#..", " .#. ", " ... ",
};
constexpr platform::CursorResource kCursors[] = {{9510, 2, 3, kPlusArt}};

constexpr platform::DialogControl kControls[] = {{"Button", "OK", IDOK, 10, 10, 50, 14, BS_DEFPUSHBUTTON}};
constexpr platform::DialogTemplate kDialogs[] = {
    {9530, "From the library", WS_POPUP | WS_CAPTION, 0, nullptr, 8, 0, 0, 80, 40, kControls}};

constexpr platform::ModuleResources kResources{.module = "resource-test-library",
                                               .strings = kStrings,
                                               .bitmaps = kBitmaps,
                                               .cursors = kCursors,
                                               .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
