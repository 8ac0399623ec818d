// The derivation tool's dialog template, texts and formula pictures, joined to the resource
// chain with the convolution module.

#include "modules/convolution/gradient_resources.h"

#include <array>

#include "modules/convolution/round_slider_ctrl.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

// ---- the formula pictures ----------------------------------------------------------------
// Drawn from a small font: each glyph is up to 7 pixels wide and 9 rows high (row 6 is the
// baseline, rows 7 and 8 take descenders). Stand-ins: 'D' the partial sign, 'N' nabla,
// '2' a raised two.

struct Glyph {
    int width;
    const char* rows[9];
};

constexpr Glyph GlyphOf(char c)
{
    switch (c) {
        case 'D':
            return {5, {".###.", "#...#", "....#", ".####", "#...#", "#...#", ".###.", ".....", "....."}};
        case 'F':
            return {5, {"#####", "#....", "#....", "####.", "#....", "#....", "#....", ".....", "....."}};
        case '/':
            return {4, {"...#", "...#", "..#.", "..#.", ".#..", ".#..", "#...", "#...", "...."}};
        case 'x':
            return {5, {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."}};
        case 'y':
            return {5, {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", "....#", ".###."}};
        case 'n':
            return {5, {".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."}};
        case 'a':
            return {5, {".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."}};
        case 'r':
            return {4, {"....", "....", "#.##", "##..", "#...", "#...", "#...", "....", "...."}};
        case 'g':
            return {5, {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."}};
        case 'd':
            return {5, {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####", ".....", "....."}};
        case '(':
            return {3, {"..#", ".#.", "#..", "#..", "#..", ".#.", "..#", "...", "..."}};
        case ')':
            return {3, {"#..", ".#.", "..#", "..#", "..#", ".#.", "#..", "...", "..."}};
        case 'N':
            return {7,
                    {"#######", "#.....#", ".#...#.", ".#...#.", "..#.#..", "..#.#..", "...#...", ".......",
                     "......."}};
        case '|':
            return {1, {"#", "#", "#", "#", "#", "#", "#", "#", "."}};
        case '-':
            return {4, {"....", "....", "....", "####", "....", "....", "....", "....", "...."}};
        case '2':  // raised: its rows start two rows above the others
            return {3, {"##.", "..#", ".#.", "#..", "###", "...", "...", "...", "..."}};
        default:
            return {3, {"...", "...", "...", "...", "...", "...", "...", "...", "..."}};
    }
}

constexpr int kW = kGradientPictureWidth;
constexpr int kH = kGradientPictureHeight;
constexpr int kGlyphTop = 4;  // the glyphs' first row in a picture
constexpr int kRaise = 2;     // how much higher a raised two starts

constexpr int TextWidth(const char* text)
{
    int width = 0;
    for (const char* p = text; *p; ++p) width += GlyphOf(*p).width + (p[1] ? 1 : 0);
    return width;
}

/// N pictures of kW x kH side by side, each formula centred on `background` in black, as
/// one BMP file.
template <int N>
constexpr std::array<unsigned char, viewer_art::BmpSize<N * kW, kH>> MakeFormulaStrip(
    const char* const (&formulas)[N], char background)
{
    char text[kH][N * kW + 1] = {};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < N * kW; ++x) text[y][x] = background;
    for (int n = 0; n < N; ++n) {
        int x = n * kW + (kW - TextWidth(formulas[n])) / 2;
        for (const char* p = formulas[n]; *p; ++p) {
            const Glyph g = GlyphOf(*p);
            const int top = kGlyphTop - (*p == '2' ? kRaise : 0);
            for (int row = 0; row < 9; ++row)
                for (int col = 0; col < g.width; ++col)
                    if (g.rows[row][col] == '#') text[top + row][x + col] = '#';
            x += g.width + 1;
        }
    }
    const char* rows[kH] = {};
    for (int y = 0; y < kH; ++y) rows[y] = text[y];
    return viewer_art::MakeBmp<N * kW, kH>(rows);
}

constexpr const char* kKindFormulas[7] = {"grad (F)", "DF/Dx",   "DF/Dy",   "DF/Dn",
                                          "D2F/Dx2",  "D2F/Dy2", "D2F/DxDy"};
constexpr const char* kPartFormulas[7] = {"|NF|", "arg NF", "DF/Dx", "DF/Dy", "-DF/Dx", "-DF/Dy", "DF/Dn"};
// The list shows its pictures on white; the buttons' pictures are grey where clear.
constexpr auto kKindsBmp = MakeFormulaStrip<7>(kKindFormulas, 'w');
constexpr auto kPartsBmp = MakeFormulaStrip<7>(kPartFormulas, ' ');

constexpr platform::ImageResource kBitmaps[] = {
    {IDB_GRADIENT_KINDS, nullptr, nullptr, nullptr, kKindsBmp},
    {IDB_GRADIENT_PARTS, nullptr, nullptr, nullptr, kPartsBmp},
};

// ---- the dialog -----------------------------------------------------------------------------

constexpr DWORD kPictureRadio = BS_AUTORADIOBUTTON | BS_ICON;

constexpr platform::DialogControl kControls[] = {
    {"Button", "Input File", -1, 6, 3, 174, 48, BS_GROUPBOX},
    {"Static", "", IDC_GRAD_INPUT, 10, 13, 166, 34, SS_LEFT},
    {"Button", "Output File", -1, 6, 53, 174, 48, BS_GROUPBOX},
    {"Static", "", IDC_GRAD_OUTPUT, 10, 63, 166, 34, SS_LEFT},
    {"Button", "Derivative type", -1, 6, 103, 174, 113, BS_GROUPBOX},
    {"SysListView32", "", IDC_GRAD_KINDS, 12, 114, 162, 96,
     LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | WS_BORDER | WS_TABSTOP},
    {"Static", "", IDC_GRAD_PREVIEW, 186, 7, 180, 90, SS_LEFT | SS_SUNKEN},
    {"Button", "Angle:", -1, 186, 100, 106, 98, BS_GROUPBOX},
    {"Static", "270\xC2\xB0", IDC_GRAD_LABEL_270, 229, 110, 30, 8, SS_CENTER},
    {kRoundSliderClass, "", IDC_GRAD_SLIDER, 216, 119, 56, 56, WS_TABSTOP},
    {"Static", "180\xC2\xB0", IDC_GRAD_LABEL_180, 190, 143, 24, 8, SS_RIGHT},
    {"Static", "0\xC2\xB0", IDC_GRAD_LABEL_0, 274, 143, 16, 8, SS_LEFT},
    {"Static", "90\xC2\xB0", IDC_GRAD_LABEL_90, 229, 176, 30, 8, SS_CENTER},
    {"Edit", "", IDC_GRAD_ANGLE, 209, 185, 70, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Button", "", IDC_GRAD_MODULUS, 298, 104, 68, 14, kPictureRadio | WS_GROUP | WS_TABSTOP},
    {"Button", "", IDC_GRAD_ARGUMENT, 298, 120, 68, 14, kPictureRadio},
    {"Button", "", IDC_GRAD_DX, 298, 136, 68, 14, kPictureRadio},
    {"Button", "", IDC_GRAD_DY, 298, 152, 68, 14, kPictureRadio},
    // Hidden at first (WS_CHILD without WS_VISIBLE); it takes the first button's place.
    {"Static", "", IDC_GRAD_DIRECTION, 298, 104, 68, 14, SS_ICON | WS_CHILD},
    {"Button", "Help", IDC_GRAD_HELP, 186, 202, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Execute", IDOK, 251, 202, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 316, 202, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_CALC_GRADIENT, "Derivation", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, "MS Sans Serif",
     8, 0, 0, 372, 222, kControls},
};

constexpr platform::StringEntry kStrings[] = {
    {IDS_GRAD_HELP_PAGE, "Processing_Differential.htm"},
    {IDS_GRAD_NO_OUTPUT, "Enter an output file name !"},
    {IDS_GRAD_PREVIEW_LOAD_FAILED, "Error loading preview information !"},
    {IDS_GRAD_PREVIEW_TEMP_FAILED, "Can't create temporary file for preview !"},
    {IDS_GRAD_PREVIEW_STATS_FAILED, "Error loading statistics information from input file !"},
    {IDS_GRAD_PREVIEW_FAILED, "Error calculation preview !"},
    {IDS_GRAD_KIND_FIRST, "gradient"},
    {IDS_GRAD_KIND_FIRST + 1, "partial"},
    {IDS_GRAD_KIND_FIRST + 2, "partial"},
    {IDS_GRAD_KIND_FIRST + 3, "directional"},
    {IDS_GRAD_KIND_FIRST + 4, "second partial"},
    {IDS_GRAD_KIND_FIRST + 5, "second partial"},
    {IDS_GRAD_KIND_FIRST + 6, "second mixed"},
};

constexpr platform::ModuleResources kResources{
    .module = "kernova derivation", .strings = kStrings, .bitmaps = kBitmaps, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
