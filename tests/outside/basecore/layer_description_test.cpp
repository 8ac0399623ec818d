#include "outside/basecore/layer_description.h"

#include <gtest/gtest.h>

#include "layer_test_support.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

using tarvenix::test::TempDir;

namespace {

void MakeLayer(const std::string& path)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), 4, 3, 1), nullptr);
    ASSERT_TRUE(out.CloseLayer());
}

}  // namespace

TEST(LayerDescription, TextsRoundTripPerIdAndReplaceEachOther)
{
    TempDir dir;
    const std::string path = dir.File("a.rdp");
    MakeLayer(path);
    CString text = "stale";
    EXPECT_FALSE(CLayerDescription::GetDescriptionTag(path.c_str(), 600, text)) << "no tag yet";
    EXPECT_TRUE(text.IsEmpty());

    const char* caption = "Ядро Собеля 3x3";
    const char* description = "Line one\r\nВторая строка";
    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 600, caption));
    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 601, description));
    ASSERT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), 600, text));
    EXPECT_EQ(text, caption);
    ASSERT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), 601, text));
    EXPECT_EQ(text, description);
    // Stored as UTF-8 with one closing zero.
    EXPECT_EQ(GetSizeTag(path.c_str(), 600), int(std::strlen(caption)) + 1);

    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 600, ""));
    ASSERT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), 600, text));
    EXPECT_TRUE(text.IsEmpty());
    ASSERT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), 601, text));
    EXPECT_EQ(text, description) << "the other text is kept";

    // The layer itself is untouched by the rewrites.
    CRDPLayer in;
    ASSERT_NE(in.OpenLayer(path.c_str(), 0), nullptr);
    EXPECT_EQ(in.Width(), 4);
    EXPECT_EQ(in.Height(), 3);
}

TEST(LayerDescription, RefusesWhatIsNotADescription)
{
    TempDir dir;
    const std::string path = dir.File("a.rdp");
    MakeLayer(path);
    const auto before = layertest::ReadFile(path);
    CString text;
    for (int id : {0, 1, 2, 501, 599, 602}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(CLayerDescription::SetDescriptionTag(path.c_str(), id, "x"));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_FALSE(CLayerDescription::GetDescriptionTag(path.c_str(), id, text));
    }
    EXPECT_EQ(layertest::ReadFile(path), before);

    const std::string missing = dir.File("missing.rdp");
    EXPECT_FALSE(CLayerDescription::SetDescriptionTag(missing.c_str(), 600, "x"));
    EXPECT_FALSE(std::filesystem::exists(missing)) << "a missing file is never created";
    EXPECT_FALSE(CLayerDescription::GetDescriptionTag(missing.c_str(), 600, text));
    EXPECT_FALSE(CLayerDescription::GetDescriptionTag(nullptr, 600, text));
}

TEST(LayerDescription, ForeignTagsAreReadWithinTheirBytes)
{
    TempDir dir;
    const std::string path = dir.File("a.rdp");
    MakeLayer(path);
    struct Case {
        const char* name;
        std::string bytes;
        const char* expected;
    } cases[] = {
        {"no closing zero", "abc", "abc"},
        {"stops at the first zero", std::string("ab\0cd", 5), "ab"},
        {"Windows-1251 bytes", "\xCF\xF0\xE8\xE2\xE5\xF2 \xB8\xA8", "Привет ёЁ"},
        {"cut UTF-8 sequence", "ok\xD0", "okР"},
        {"empty tag", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetTag(path.c_str(), 601, int(c.bytes.size()), c.bytes.data()));
        CString text;
        ASSERT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), 601, text));
        EXPECT_EQ(text, c.expected);
    }
}
