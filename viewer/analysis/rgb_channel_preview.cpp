#include "viewer/analysis/rgb_channel_preview.h"

#include <cstring>

#include "outside/basecore/file_helpers.h"

std::array<BYTE, 1024> ChannelRampPalette(int channel)
{
    std::array<BYTE, 1024> palette{};
    const int byte = channel == 3 ? 2 : channel == 4 ? 1 : channel == 5 ? 0 : -1;
    if (byte < 0) return palette;
    for (int i = 0; i < 256; ++i) palette[std::size_t(i) * 4 + std::size_t(byte)] = BYTE(i);
    return palette;
}

bool BuildChannelPreview(const char* path, int component, int channel, ChannelPreview& out)
{
    out = ChannelPreview{};
    S256PreviewImage image;
    if (!GetPreviewImage256(path, image, 0)) return false;
    const std::size_t n = std::size_t(image.width) * std::size_t(image.height);
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() < n) return false;
    const std::array<BYTE, 1024> palette = ChannelRampPalette(channel);
    out.width = image.width;
    out.height = image.height;
    out.images = 1;
    out.pixels.assign(image.pixels.begin(), image.pixels.begin() + std::ptrdiff_t(n));

    if (image.complex) {
        // A further image of another size would be read past its end as one of this size.
        std::vector<BYTE> all(out.pixels);
        bool whole = true;
        for (int mode = 1; mode <= 3 && whole; ++mode) {
            S256PreviewImage part;
            whole = GetPreviewImage256(path, part, mode) && part.width == image.width &&
                    part.height == image.height && part.pixels.size() >= n;
            if (whole) all.insert(all.end(), part.pixels.begin(), part.pixels.begin() + std::ptrdiff_t(n));
        }
        if (whole) {
            out.images = 4;
            out.pixels = std::move(all);
            out.first = component >= 0 && component <= 3 ? component : 0;
        }
    }
    out.palettes.resize(std::size_t(out.images) * palette.size());
    for (int i = 0; i < out.images; ++i)
        std::memcpy(out.palettes.data() + std::size_t(i) * palette.size(), palette.data(), palette.size());
    return true;
}
