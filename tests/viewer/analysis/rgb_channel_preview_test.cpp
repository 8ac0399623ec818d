#include "viewer/analysis/rgb_channel_preview.h"

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "tests/support/test_environment.h"

namespace {

std::string MakeLayer(tarvenix::test::TempDir& dir, const char* name, int width, int height, int type)
{
    const std::string path = dir.File(name);
    CRDPLayer layer;
    EXPECT_NE(layer.CreateLayer(path.c_str(), width, height, type), nullptr);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            layer.SetValue(x, y, x + y, 2);
            if (layer.IsComplex()) layer.SetValue(x, y, x - y, 3);
        }
    EXPECT_TRUE(layer.CloseLayer());
    return path;
}

}  // namespace

TEST(RgbChannelPreview, EachChannelRampsFromBlackToItsColour)
{
    struct Case {
        int channel;
        int byte;
    };
    for (const Case c : {Case{3, 2}, Case{4, 1}, Case{5, 0}}) {
        SCOPED_TRACE(c.channel);
        const auto palette = ChannelRampPalette(c.channel);
        for (int i : {0, 1, 128, 255})
            for (int b = 0; b < 4; ++b) EXPECT_EQ(palette[std::size_t(i * 4 + b)], b == c.byte ? i : 0);
    }
}

TEST(RgbChannelPreview, ARealFileGivesOneImageAComplexFileFour)
{
    tarvenix::test::TempDir dir;
    const std::string real = MakeLayer(dir, "real.rdp", 40, 30, 7);
    const std::string complex = MakeLayer(dir, "complex.rdp", 40, 30, 9);

    ChannelPreview preview;
    ASSERT_TRUE(BuildChannelPreview(real.c_str(), 2, 3, preview));
    EXPECT_EQ(preview.images, 1);
    EXPECT_EQ(preview.first, 0);
    EXPECT_EQ(preview.pixels.size(), std::size_t(preview.width * preview.height));
    EXPECT_EQ(preview.palettes.size(), 1024u);

    for (auto [component, first] : {std::pair{2, 2}, std::pair{3, 3}, std::pair{-1, 0}, std::pair{4, 0}}) {
        SCOPED_TRACE(component);
        ASSERT_TRUE(BuildChannelPreview(complex.c_str(), component, 4, preview));
        EXPECT_EQ(preview.images, 4);
        EXPECT_EQ(preview.first, first);
        EXPECT_EQ(preview.pixels.size(), std::size_t(4 * preview.width * preview.height));
        EXPECT_EQ(preview.palettes.size(), 4096u);
        EXPECT_EQ(preview.palettes[4096 - 1024 + 255 * 4 + 1], 255);
    }

    EXPECT_FALSE(BuildChannelPreview(dir.File("missing.rdp").c_str(), 0, 5, preview));
    EXPECT_EQ(preview.images, 0);
}
