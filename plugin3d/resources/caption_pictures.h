#pragma once

// The pictures of the caption bar's standard buttons, drawn for this project: one strip of
// 35 pictures of 16 x 16 (560 x 16), seven per command from Close to the keep-on-top pin in
// the order Disable, FreeOut, FreeIn, DownOut, DownIn, FixedOut, FixedIn. The bitmap
// "KFLATCAPTIONSHAREIMAGES" of the plug-in's resource record.

#include "plugin3d/resources/glyph_canvas.h"

namespace kelvora_art {

inline constexpr int kCaptionPicture = 16;
inline constexpr int kCaptionStripWidth = kCaptionPicture * 5 * 7;
using CaptionStrip = Canvas<kCaptionStripWidth, kCaptionPicture>;

namespace caption_detail {

// The signs of the standard commands, '#' where the sign is drawn.
inline constexpr const char* kClose[kCaptionPicture] = {"",
                                                        "",
                                                        "",
                                                        "   ##      ##",
                                                        "    ##    ##",
                                                        "     ##  ##",
                                                        "      ####",
                                                        "       ##",
                                                        "      ####",
                                                        "     ##  ##",
                                                        "    ##    ##",
                                                        "   ##      ##",
                                                        "",
                                                        "",
                                                        "",
                                                        ""};
inline constexpr const char* kMaximize[kCaptionPicture] = {"",
                                                           "",
                                                           "   ##########",
                                                           "   ##########",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   #        #",
                                                           "   ##########",
                                                           "",
                                                           "",
                                                           "",
                                                           ""};
inline constexpr const char* kMinimize[kCaptionPicture] = {
    "", "", "", "", "", "", "", "", "", "", "    ########", "    ########", "", "", "", ""};
inline constexpr const char* kHelp[kCaptionPicture] = {"",
                                                       "",
                                                       "      ####",
                                                       "     ##  ##",
                                                       "     ##  ##",
                                                       "         ##",
                                                       "        ##",
                                                       "       ##",
                                                       "       ##",
                                                       "",
                                                       "       ##",
                                                       "       ##",
                                                       "",
                                                       "",
                                                       "",
                                                       ""};
// The pin lies free, and stands pushed in while the window keeps on top.
inline constexpr const char* kPinFree[kCaptionPicture] = {"",
                                                          "",
                                                          "",
                                                          "        #",
                                                          "        #####",
                                                          "        #   #",
                                                          "   #######   #",
                                                          "        #   #",
                                                          "        #####",
                                                          "        #",
                                                          "",
                                                          "",
                                                          "",
                                                          "",
                                                          "",
                                                          ""};
inline constexpr const char* kPinFixed[kCaptionPicture] = {"",
                                                           "",
                                                           "     #######",
                                                           "     #   # #",
                                                           "     #   # #",
                                                           "     #   # #",
                                                           "     #   # #",
                                                           "    #########",
                                                           "        #",
                                                           "        #",
                                                           "        #",
                                                           "        #",
                                                           "",
                                                           "",
                                                           "",
                                                           ""};

struct Stroke {
    int dx;
    int dy;
    std::uint32_t colour;
};

/// The strokes of a strip slot: an embossed grey sign when disabled, a black or blue one at
/// rest or under the mouse, moved by a pixel when pressed or fixed.
constexpr int StrokesOf(int slot, Stroke (&strokes)[2])
{
    constexpr std::uint32_t black = 0x000000, grey = 0x808080, white = 0xFFFFFF, blue = 0x0000FF,
                            maroon = 0x800000;
    switch (slot) {
        case 0:
            strokes[0] = {1, 1, white};
            strokes[1] = {0, 0, grey};
            return 2;
        case 1:
            strokes[0] = {0, 0, black};
            return 1;
        case 2:
            strokes[0] = {0, 0, blue};
            return 1;
        case 3:
            strokes[0] = {1, 1, maroon};
            return 1;
        case 4:
        case 5:
            strokes[0] = {1, 1, black};
            return 1;
        default:
            strokes[0] = {1, 1, blue};
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

}  // namespace caption_detail

constexpr std::array<unsigned char, platform::BmpSize<kCaptionStripWidth, kCaptionPicture>> DrawCaptionStrip()
{
    using namespace caption_detail;
    CaptionStrip strip;
    for (int command = 0; command < 5; ++command) {
        for (int slot = 0; slot < 7; ++slot) {
            const int left = (command * 7 + slot) * kCaptionPicture;
            const char* const* sign = SignOf(command, slot);
            Stroke strokes[2]{};
            const int count = StrokesOf(slot, strokes);
            for (int s = 0; s < count; ++s)
                for (int y = 0; y < kCaptionPicture; ++y)
                    for (int x = 0; x < kCaptionPicture && sign[y][x] != '\0'; ++x)
                        if (sign[y][x] == '#' && x + strokes[s].dx < kCaptionPicture &&
                            y + strokes[s].dy < kCaptionPicture)
                            strip.Put(left + x + strokes[s].dx, y + strokes[s].dy, strokes[s].colour);
        }
    }
    return ToBmp(strip);
}

}  // namespace kelvora_art
