#include "plugin3d/forms/k_flat_caption_pictures.h"

#include <cstdint>

namespace {

constexpr int kSize = 16;
constexpr int kCommands = 5;
constexpr int kStates = 7;
constexpr int kWidth = kSize * kCommands * kStates;  // 560
constexpr std::size_t kRowBytes = (static_cast<std::size_t>(kWidth) * 3 + 3) / 4 * 4;
constexpr std::size_t kFileBytes = 54 + kRowBytes * kSize;

// The signs of the standard commands, '#' where the sign is drawn.
constexpr const char* kClose[kSize] = {
    "                ", "                ", "                ", "   ##      ##   ",
    "    ##    ##    ", "     ##  ##     ", "      ####      ", "       ##       ",
    "      ####      ", "     ##  ##     ", "    ##    ##    ", "   ##      ##   ",
    "                ", "                ", "                ", "                "};
constexpr const char* kMaximize[kSize] = {
    "                ", "                ", "   ##########   ", "   ##########   ",
    "   #        #   ", "   #        #   ", "   #        #   ", "   #        #   ",
    "   #        #   ", "   #        #   ", "   #        #   ", "   ##########   ",
    "                ", "                ", "                ", "                "};
constexpr const char* kMinimize[kSize] = {
    "                ", "                ", "                ", "                ",
    "                ", "                ", "                ", "                ",
    "                ", "                ", "    ########    ", "    ########    ",
    "                ", "                ", "                ", "                "};
constexpr const char* kHelp[kSize] = {
    "                ", "                ", "      ####      ", "     ##  ##     ",
    "     ##  ##     ", "         ##     ", "        ##      ", "       ##       ",
    "       ##       ", "                ", "       ##       ", "       ##       ",
    "                ", "                ", "                ", "                "};
// The pin lies free, and stands pushed in while the window keeps on top.
constexpr const char* kPinFree[kSize] = {
    "                ", "                ", "                ", "        #       ",
    "        #####   ", "        #   #   ", "   #######   #  ", "        #   #   ",
    "        #####   ", "        #       ", "                ", "                ",
    "                ", "                ", "                ", "                "};
constexpr const char* kPinFixed[kSize] = {
    "                ", "                ", "     #######    ", "     #   # #    ",
    "     #   # #    ", "     #   # #    ", "     #   # #    ", "    #########   ",
    "        #       ", "        #       ", "        #       ", "        #       ",
    "                ", "                ", "                ", "                "};

constexpr std::uint32_t kBackground = 0xC0C0C0;  // taken as transparent (the bottom-left pixel)
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGray = 0x808080;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlue = 0x0000FF;    // 0xRRGGBB
constexpr std::uint32_t kMaroon = 0x800000;  // 0xRRGGBB

struct Stroke {
    int dx;
    int dy;
    std::uint32_t colour;
};

/// The strokes of a state, in the strip's order Disable, FreeOut, FreeIn, DownOut, DownIn,
/// FixedOut, FixedIn: an embossed grey sign when disabled, a black or blue one at rest or
/// under the mouse, moved by a pixel when pressed or fixed.
constexpr int StrokesOf(int slot, Stroke (&strokes)[2])
{
    switch (slot) {
        case 0:
            strokes[0] = {1, 1, kWhite};
            strokes[1] = {0, 0, kGray};
            return 2;
        case 1:
            strokes[0] = {0, 0, kBlack};
            return 1;
        case 2:
            strokes[0] = {0, 0, kBlue};
            return 1;
        case 3:
            strokes[0] = {1, 1, kMaroon};
            return 1;
        case 4:
            strokes[0] = {1, 1, kBlack};
            return 1;
        case 5:
            strokes[0] = {1, 1, kBlack};
            return 1;
        default:
            strokes[0] = {1, 1, kBlue};
            return 1;
    }
}

constexpr const char* const* SignOf(int command, int slot)
{
    switch (command) {
        case 0:
            return kClose;
        case 1:
            return kMaximize;
        case 2:
            return kMinimize;
        case 3:
            return kHelp;
        default:
            return slot >= 5 ? kPinFixed : kPinFree;
    }
}

constexpr std::array<unsigned char, kFileBytes> MakeStrip()
{
    std::array<std::uint32_t, static_cast<std::size_t>(kWidth) * kSize> pixels{};
    for (auto& p : pixels) p = kBackground;
    for (int command = 0; command < kCommands; ++command) {
        for (int slot = 0; slot < kStates; ++slot) {
            const int left = (command * kStates + slot) * kSize;
            const char* const* sign = SignOf(command, slot);
            Stroke strokes[2]{};
            const int count = StrokesOf(slot, strokes);
            for (int s = 0; s < count; ++s) {
                for (int y = 0; y < kSize; ++y) {
                    for (int x = 0; x < kSize; ++x) {
                        if (sign[y][x] != '#') continue;
                        const int px = x + strokes[s].dx, py = y + strokes[s].dy;
                        if (px >= kSize || py >= kSize) continue;
                        pixels[static_cast<std::size_t>(py) * kWidth + static_cast<std::size_t>(left + px)] =
                            strokes[s].colour;
                    }
                }
            }
        }
    }
    std::array<unsigned char, kFileBytes> out{};
    const auto put32 = [&out](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(kFileBytes));
    put32(10, 54);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, kSize);
    out[26] = 1;
    out[28] = 24;
    put32(34, static_cast<std::uint32_t>(kRowBytes * kSize));
    for (int y = 0; y < kSize; ++y) {  // bottom row first
        std::size_t at = 54 + kRowBytes * static_cast<std::size_t>(kSize - 1 - y);
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t c =
                pixels[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)];
            out[at++] = static_cast<unsigned char>(c);
            out[at++] = static_cast<unsigned char>(c >> 8);
            out[at++] = static_cast<unsigned char>(c >> 16);
        }
    }
    return out;
}

constexpr auto kStrip = MakeStrip();

}  // namespace

std::span<const unsigned char> FlatCaptionShareImagesBmp()
{
    return kStrip;
}
