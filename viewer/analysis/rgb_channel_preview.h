#pragma once

// The small pictures of the RGB channels dialog: a layer file's 8-bit preview shown through
// a black-to-colour ramp of its channel, and for a complex file its four images.

#include <array>
#include <vector>

#include "platform/types.h"

/// 256 palette entries of four bytes (blue, green, red, unused): entry i holds i in the byte
/// of channel 3 (red), 4 (green) or 5 (blue) and 0 in the others.
std::array<BYTE, 1024> ChannelRampPalette(int channel);

/// What a channel's preview control shows.
struct ChannelPreview {
    int width = 0;
    int height = 0;
    int images = 0;              ///< 1, or 4 for a complex file (amplitude, phase, real, imaginary)
    int first = 0;               ///< the image shown first
    std::vector<BYTE> pixels;    ///< images x width x height bytes, image after image
    std::vector<BYTE> palettes;  ///< images x 1024 bytes
};

/// The preview of `path` for channel 3, 4 or 5, `component` choosing the image shown first of
/// a complex file (0 .. 3; any other shows the first). A complex file gives four images only
/// when each of them can be made with the first one's size; otherwise it gives that one.
/// False when the file gives no preview.
bool BuildChannelPreview(const char* path, int component, int channel, ChannelPreview& out);
