#include "app/preferences_resources.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/app_resources.h"
#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/static_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"
#include "platform/window/modal.h"

namespace {

constexpr platform::StringEntry kStrings[] = {
    {IDS_SELECT_TEMP_FOLDER, "Select TEMP FOLDER name"},
    {IDS_SELECT_WORK_FOLDER, "Select WORK FOLDER name"},
    {IDS_HELP_FILES, "Help Files"},
    {IDS_ACTION_ROOT_KEY, "SOFTWARE\\Orvane\\Tarvenix2.0"},
    {IDS_ACTION_SETTINGS_KEY, "\\Settings"},
    {IDS_ACTION_INTERFACE_KEY, "\\Interface\\Russian"},
    {IDS_SELECT_PALETTE_FOLDER, "Select PALETTE FOLDER name"},
    {IDS_SELECT_KERNELS_FOLDER, "Select KERNELS FOLDER name"},
};

// --- templates ----------------------------------------------------------------------------------------

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFolderEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kBrowseButton = BS_OWNERDRAW | WS_TABSTOP;

// Five rows, each a group box with its picture, its field and its button, 38 units apart.
constexpr platform::DialogControl kPreferencesControls[] = {
    {"Button", "Temp Directory", IDC_STATIC, 6, 4, 232, 34, BS_GROUPBOX},
    {"Static", "#145", IDC_STATIC, 12, 14, 21, 20, SS_ICON},
    {"Edit", "", IDC_PREF_TEMP_DIR, 40, 17, 158, 12, kFolderEdit},
    {"Button", "", IDC_PREF_TEMP_BROWSE, 204, 12, 26, 22, kBrowseButton},

    {"Button", "Work Directory", IDC_STATIC, 6, 42, 232, 34, BS_GROUPBOX},
    {"Static", "#128", IDC_STATIC, 12, 52, 21, 20, SS_ICON},
    {"ComboBox", "", IDC_PREF_WORK_DIR, 40, 55, 158, 90,
     CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP},
    {"Button", "", IDC_PREF_WORK_BROWSE, 204, 50, 26, 22, kBrowseButton},

    {"Button", "Palette Directory", IDC_STATIC, 6, 80, 232, 34, BS_GROUPBOX},
    {"Static", "#146", IDC_STATIC, 12, 90, 21, 20, SS_ICON},
    {"Edit", "", IDC_PREF_PALETTE_DIR, 40, 93, 158, 12, kFolderEdit},
    {"Button", "", IDC_PREF_PALETTE_BROWSE, 204, 88, 26, 22, kBrowseButton},

    {"Button", "Help File Location", IDC_STATIC, 6, 118, 232, 34, BS_GROUPBOX},
    {"Static", "#147", IDC_STATIC, 12, 128, 21, 20, SS_ICON},
    {"Edit", "", IDC_PREF_HELP_FILE, 40, 131, 158, 12, kFolderEdit},
    {"Button", "...", IDC_PREF_HELP_BROWSE, 204, 130, 26, 14, BS_PUSHBUTTON | WS_TABSTOP},

    {"Button", "Kernels directory", IDC_STATIC, 6, 156, 232, 34, BS_GROUPBOX},
    {"Static", "#151", IDC_STATIC, 12, 166, 21, 20, SS_ICON},
    {"Edit", "", IDC_PREF_KERNELS_DIR, 40, 169, 158, 12, kFolderEdit},
    {"Button", "", IDC_PREF_KERNELS_BROWSE, 204, 164, 26, 22, kBrowseButton},

    {"Button", "OK", IDOK, 246, 8, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 246, 26, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

// The fields only show the selected record, so they take no typing.
constexpr DWORD kShownField = ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP;
constexpr DWORD kShownCombo = CBS_DROPDOWNLIST | WS_VSCROLL | WS_DISABLED;

constexpr platform::DialogControl kActionListControls[] = {
    {"SysTreeView32", "", IDC_ACTION_TREE, 7, 7, 150, 176,
     TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP},
    {"Static", "Name:", IDC_STATIC, 166, 9, 50, 8, SS_LEFT},
    {"Edit", "", IDC_ACTION_NAME, 218, 7, 112, 12, kShownField},
    {"Static", "Text:", IDC_STATIC, 166, 27, 50, 8, SS_LEFT},
    {"Edit", "", IDC_ACTION_TEXT, 218, 25, 112, 12, kShownField},
    {"Static", "Description:", IDC_STATIC, 166, 45, 50, 8, SS_LEFT},
    {"Edit", "", IDC_ACTION_DESCRIPTION, 218, 43, 112, 12, kShownField},
    {"Static", "Provider:", IDC_STATIC, 166, 63, 50, 8, SS_LEFT},
    {"Edit", "", IDC_ACTION_PROVIDER, 218, 61, 112, 12, kShownField},
    {"Static", "Modifier:", IDC_STATIC, 166, 81, 50, 8, SS_LEFT},
    {"ComboBox", "", IDC_ACTION_MODIFIER, 218, 79, 112, 80, kShownCombo},
    {"Static", "Type:", IDC_STATIC, 166, 99, 50, 8, SS_LEFT},
    {"ComboBox", "", IDC_ACTION_TYPE, 218, 97, 112, 90, kShownCombo},
    {"Button", "New action...", IDC_ACTION_NEW, 166, 133, 70, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Save", IDC_ACTION_SAVE, 260, 133, 70, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 260, 169, 70, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr DWORD kKindRadio = BS_AUTORADIOBUTTON;
constexpr platform::DialogControl kNewActionControls[] = {
    {"Button", "Kind of action", IDC_STATIC, 7, 4, 120, 94, BS_GROUPBOX},
    {"Button", "Plain action", IDC_NEW_ACTION_KIND_FIRST, 14, 16, 106, 10,
     kKindRadio | WS_GROUP | WS_TABSTOP},
    {"Button", "Registered action", IDC_NEW_ACTION_KIND_FIRST + 1, 14, 29, 106, 10, kKindRadio},
    {"Button", "DLL call", IDC_NEW_ACTION_KIND_FIRST + 2, 14, 42, 106, 10, kKindRadio},
    {"Button", "COM call", IDC_NEW_ACTION_KIND_FIRST + 3, 14, 55, 106, 10, kKindRadio},
    {"Button", "Call from shell", IDC_NEW_ACTION_KIND_FIRST + 4, 14, 68, 106, 10, kKindRadio},
    {"Button", "Custom list", IDC_NEW_ACTION_KIND_LAST, 14, 81, 106, 10, kKindRadio},
    {"Button", "OK", IDOK, 136, 8, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 136, 26, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_PREFERENCES, "Preferences", kDialogStyle, 0, "MS Sans Serif", 8, 0, 0, 302, 196,
     kPreferencesControls},
    {IDD_ACTION_LIST, "User Actions", kDialogStyle, 0, "MS Sans Serif", 8, 0, 0, 338, 190,
     kActionListControls},
    {IDD_NEW_ACTION, "New Action", kDialogStyle, 0, "MS Sans Serif", 8, 0, 0, 194, 104, kNewActionControls},
};

// --- icons --------------------------------------------------------------------------------------------
// 32 x 32 pictures on a clear ground, kept as 32-bit BMP files with an alpha channel.

struct Argb {
    std::uint8_t a, r, g, b;
};

constexpr Argb kClear{0, 0, 0, 0};
constexpr Argb kInk{255, 40, 44, 60};
constexpr Argb kPaper{255, 250, 250, 244};
constexpr Argb kFolder{255, 236, 196, 80};
constexpr Argb kFolderDark{255, 196, 148, 40};
constexpr Argb kBlue{255, 44, 96, 200};
constexpr Argb kSky{255, 150, 200, 245};
constexpr Argb kRed{255, 204, 60, 48};
constexpr Argb kGreen{255, 56, 156, 76};
constexpr Argb kYellow{255, 240, 210, 56};
constexpr Argb kWood{255, 214, 170, 110};
constexpr Argb kGrey{255, 150, 150, 160};

constexpr int kSide = 32;

class Picture {
public:
    Picture() { m_pixels.fill(kClear); }
    void Dot(int x, int y, Argb c)
    {
        if (x >= 0 && y >= 0 && x < kSide && y < kSide) m_pixels[static_cast<std::size_t>(y * kSide + x)] = c;
    }
    /// Filled box, corners inclusive.
    void Box(int x0, int y0, int x1, int y1, Argb c)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Dot(x, y, c);
    }
    void Frame(int x0, int y0, int x1, int y1, Argb c)
    {
        Box(x0, y0, x1, y0, c);
        Box(x0, y1, x1, y1, c);
        Box(x0, y0, x0, y1, c);
        Box(x1, y0, x1, y1, c);
    }
    /// Filled disc around (cx, cy) in half pixels, so that centres may lie between pixels.
    void Disc(int cx2, int cy2, int r2, Argb c)
    {
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const int dx = 2 * x + 1 - cx2, dy = 2 * y + 1 - cy2;
                if (dx * dx + dy * dy <= r2 * r2) Dot(x, y, c);
            }
    }
    Argb At(int x, int y) const { return m_pixels[static_cast<std::size_t>(y * kSide + x)]; }

private:
    std::array<Argb, static_cast<std::size_t>(kSide* kSide)> m_pixels{};
};

void DrawFolder(Picture& p)
{
    p.Box(3, 7, 13, 10, kFolderDark);
    p.Box(3, 10, 28, 26, kFolder);
    p.Frame(3, 10, 28, 26, kFolderDark);
    p.Box(6, 14, 25, 14, kPaper);
    // A magnifier: choosing a folder is looking for one.
    p.Disc(42, 38, 13, kInk);
    p.Disc(42, 38, 9, kSky);
    for (int i = 0; i < 6; ++i) p.Box(25 + i, 24 + i, 26 + i, 25 + i, kInk);
}

void DrawTemp(Picture& p)
{
    // An hourglass: files that only last a while.
    p.Box(8, 3, 23, 5, kWood);
    p.Box(8, 26, 23, 28, kWood);
    for (int i = 0; i < 10; ++i) {
        p.Box(10 + i / 2 * 1, 6 + i, 21 - i / 2 * 1, 6 + i, i < 3 ? kSky : kYellow);
        p.Box(10 + i / 2 * 1, 25 - i, 21 - i / 2 * 1, 25 - i, i < 6 ? kYellow : kSky);
        p.Dot(10 + i / 2, 6 + i, kInk);
        p.Dot(21 - i / 2, 6 + i, kInk);
        p.Dot(10 + i / 2, 25 - i, kInk);
        p.Dot(21 - i / 2, 25 - i, kInk);
    }
}

void DrawPalette(Picture& p)
{
    p.Disc(32, 32, 27, kWood);
    p.Disc(20, 42, 6, kClear);
    p.Disc(22, 18, 5, kRed);
    p.Disc(36, 14, 5, kYellow);
    p.Disc(48, 22, 5, kGreen);
    p.Disc(48, 38, 5, kBlue);
}

void DrawHelp(Picture& p)
{
    // A book with a question mark.
    p.Box(6, 4, 25, 27, kBlue);
    p.Box(8, 5, 24, 25, kPaper);
    p.Box(6, 26, 25, 27, kInk);
    p.Box(12, 8, 19, 9, kBlue);
    p.Box(18, 10, 19, 14, kBlue);
    p.Box(15, 14, 18, 15, kBlue);
    p.Box(15, 16, 16, 18, kBlue);
    p.Box(15, 21, 16, 22, kBlue);
    p.Box(12, 10, 13, 11, kBlue);
}

void DrawKernels(Picture& p)
{
    // A 3 x 3 kernel with a bright centre.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const int x = 4 + col * 8, y = 4 + row * 8;
            const bool centre = row == 1 && col == 1;
            const bool edge = row == 1 || col == 1;
            p.Box(x, y, x + 7, y + 7, centre ? kRed : edge ? kYellow : kGrey);
            p.Frame(x, y, x + 7, y + 7, kInk);
        }
}

void Put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

/// The picture as a bottom-up 32-bit BMP file whose version-4 header names an alpha mask.
std::vector<unsigned char> IconBmp(void (*draw)(Picture&))
{
    Picture picture;
    draw(picture);
    constexpr std::uint32_t kFileHeader = 14, kInfoHeader = 108;
    constexpr std::uint32_t kDataBytes = kSide * kSide * 4;
    std::vector<unsigned char> out;
    out.reserve(kFileHeader + kInfoHeader + kDataBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, kFileHeader + kInfoHeader + kDataBytes);
    Put32(out, 0);
    Put32(out, kFileHeader + kInfoHeader);
    Put32(out, kInfoHeader);
    Put32(out, kSide);
    Put32(out, kSide);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 3);  // BI_BITFIELDS
    Put32(out, kDataBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0x00FF0000u);
    Put32(out, 0x0000FF00u);
    Put32(out, 0x000000FFu);
    Put32(out, 0xFF000000u);
    Put32(out, 0x73524742u);                     // "sRGB"
    for (int i = 0; i < 12; ++i) Put32(out, 0);  // end points and gamma: unused with sRGB
    for (int y = kSide - 1; y >= 0; --y)
        for (int x = 0; x < kSide; ++x) {
            const Argb c = picture.At(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(c.a);
        }
    return out;
}

// Made when the program loads, before the record below that points at them.
const std::vector<unsigned char> kTempIcon = IconBmp(DrawTemp);
const std::vector<unsigned char> kPaletteIcon = IconBmp(DrawPalette);
const std::vector<unsigned char> kHelpIcon = IconBmp(DrawHelp);
const std::vector<unsigned char> kFolderIcon = IconBmp(DrawFolder);
const std::vector<unsigned char> kKernelsIcon = IconBmp(DrawKernels);

const platform::ImageResource kIcons[] = {
    {IDI_PREF_TEMP, nullptr, nullptr, nullptr, kTempIcon},
    {IDI_PREF_PALETTE, nullptr, nullptr, nullptr, kPaletteIcon},
    {IDI_PREF_HELP, nullptr, nullptr, nullptr, kHelpIcon},
    {IDI_BROWSE_FOLDER, nullptr, nullptr, nullptr, kFolderIcon},
    {IDI_PREF_KERNELS, nullptr, nullptr, nullptr, kKernelsIcon},
};

const platform::ModuleResources kResources{
    .module = "TarvenixPreferences", .strings = kStrings, .icons = kIcons, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE PreferencesResourcesInstance()
{
    // The program's icon, which the preferences show too, is in the program's own record.
    RegisterAppResources();
    return kRegistration.Instance();
}
