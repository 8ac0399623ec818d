#include "viewer/core/viewer_resources.h"

#include "platform/resources/module_resources.h"

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

constexpr platform::ModuleResources kResources{.module = "PaneKit", .cursors = kCursors};

// Joins the resource chain when the library is loaded and leaves it when it is unloaded.
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE ViewerInstance()
{
    return kRegistration.Instance();
}
