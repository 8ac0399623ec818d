#include "outside/basecore/tags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "layer_test_support.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

namespace {

void MakeLayer(const std::string& path, double value, int w = 3, int h = 2)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), w, h, 7), nullptr);
    ASSERT_TRUE(out.SetValue(value, nullptr));
    ASSERT_TRUE(out.CloseLayer());
}

BOOL RefuseOnly201(int id)
{
    return id != TAG_NO_COPY_201;
}

}  // namespace

TEST(LayerTags, ClosedFileTagsAreSetReadSizedAndDeleted)
{
    TempDir dir;
    const std::string path = dir.File("a.rdp");
    MakeLayer(path, 4.0);
    const BYTE spectrum[20] = {20, 0, 0, 0, 1};
    ASSERT_TRUE(SetTag(path.c_str(), TAG_SPECTRUM, 20, spectrum));
    EXPECT_EQ(GetSizeTag(path.c_str(), TAG_SPECTRUM), 20);
    BYTE back[20] = {};
    ASSERT_TRUE(GetTag(path.c_str(), TAG_SPECTRUM, 20, back));
    EXPECT_EQ(std::memcmp(back, spectrum, 20), 0);
    EXPECT_FALSE(GetTag(path.c_str(), TAG_SPECTRUM, 21, back)) << "more than the file holds there";
    std::vector<BYTE> whole{9};
    ASSERT_TRUE(ReadTag(path.c_str(), TAG_SPECTRUM, 20, &whole));
    EXPECT_EQ(whole, std::vector<BYTE>(spectrum, spectrum + 20));
    EXPECT_FALSE(ReadTag(path.c_str(), TAG_SPECTRUM, 19, &whole)) << "longer than the caller takes";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(whole.empty());
    EXPECT_FALSE(ReadTag(path.c_str(), 600, 1 << 20, &whole)) << "absent tag";
    EXPECT_FALSE(ReadTag(dir.File("absent.rdp").c_str(), TAG_SPECTRUM, 20, &whole));
    EXPECT_FALSE(std::filesystem::exists(dir.File("absent.rdp")));
    // Large files are looked at through a mapping instead of a whole read: the same tags.
    const std::string large = dir.File("large.rdp");
    MakeLayer(large, 2.0, 512, 512);
    ASSERT_GT(std::filesystem::file_size(large), std::uintmax_t(1) << 20);
    ASSERT_TRUE(SetTag(large.c_str(), TAG_SPECTRUM, 20, spectrum));
    ASSERT_TRUE(ReadTag(large.c_str(), TAG_SPECTRUM, 20, &whole));
    EXPECT_EQ(whole, std::vector<BYTE>(spectrum, spectrum + 20));
    EXPECT_EQ(GetSizeTag(large.c_str(), TAG_SPECTRUM), 20);
    std::filesystem::remove(large);

    // Replacing keeps one block of the key; the layer itself is unchanged.
    ASSERT_TRUE(SetTag(path.c_str(), TAG_SPECTRUM, 4, "new"));
    EXPECT_EQ(GetSizeTag(path.c_str(), TAG_SPECTRUM), 4);
    int header[6];
    ASSERT_TRUE(GetTag(path.c_str(), TAG_LAYER_HEADER, 24, header));
    EXPECT_EQ(header[1], 3);
    EXPECT_EQ(header[2], 2);
    EXPECT_EQ(header[3], 7);
    double stats[133];
    ASSERT_TRUE(GetTag(path.c_str(), TAG_STATISTICS, 1064, stats));
    EXPECT_EQ(stats[1], 4.0);

    ASSERT_TRUE(DeleteTag(path.c_str(), TAG_SPECTRUM));
    EXPECT_EQ(GetSizeTag(path.c_str(), TAG_SPECTRUM), -1);
    EXPECT_TRUE(DeleteTag(path.c_str(), TAG_SPECTRUM)) << "removing an absent tag succeeds";
    EXPECT_FALSE(DeleteTag(path.c_str(), TAG_DATA));
    EXPECT_FALSE(SetTag(path.c_str(), TAG_LAYER_HEADER, 24, header));
    EXPECT_FALSE(SetTag(path.c_str(), TAG_STATISTICS, 100, stats)) << "statistics keep their size";
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), 0), nullptr);
    EXPECT_EQ(layer.GetValue(2, 1), 4.0);
    EXPECT_EQ(std::filesystem::directory_iterator(dir.Path())->path().filename(), "a.rdp")
        << "no temporary file is left";
}

TEST(LayerTags, FunctionsOnAbsentFilesNeverCreateThem)
{
    TempDir dir;
    const std::string absent = dir.File("absent.rdp"), source = dir.File("s.rdp");
    MakeLayer(source, 1.0);
    ASSERT_TRUE(SetTag(source.c_str(), 600, 2, "d"));
    char buf[4];
    EXPECT_FALSE(SetTag(absent.c_str(), 600, 2, "d"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteTag(absent.c_str(), 600));
    EXPECT_FALSE(GetTag(absent.c_str(), 600, 2, buf));
    EXPECT_EQ(GetSizeTag(absent.c_str(), 600), -1);
    EXPECT_FALSE(CopyTag(absent.c_str(), source.c_str()));
    EXPECT_FALSE(CopyTag(absent.c_str(), source.c_str(), 600));
    EXPECT_FALSE(FileFind(absent.c_str()));
}

TEST(LayerTags, CopiesNeverOverwriteTheTargetsOwnKeys)
{
    TempDir dir;
    const std::string src = dir.File("src.rdp"), dst = dir.File("dst.rdp");
    MakeLayer(src, 9.0, 5, 5);
    MakeLayer(dst, 2.0, 3, 2);
    for (int id : {int(TAG_NO_COPY_201), int(TAG_SPECTRUM), 501, 600})
        ASSERT_TRUE(SetTag(src.c_str(), id, 4, std::to_string(id).c_str()));

    ASSERT_TRUE(CopyTag(dst.c_str(), 0, src.c_str(), 0, RefuseOnly201));
    EXPECT_EQ(GetSizeTag(dst.c_str(), TAG_NO_COPY_201), -1);
    char buf[4];
    ASSERT_TRUE(GetTag(dst.c_str(), 600, 4, buf));
    EXPECT_STREQ(buf, "600");
    ASSERT_TRUE(CopyTag(dst.c_str(), src.c_str(), TAG_NO_COPY_201));
    EXPECT_EQ(GetSizeTag(dst.c_str(), TAG_NO_COPY_201), 4);
    EXPECT_FALSE(CopyTag(dst.c_str(), src.c_str(), TAG_STATISTICS));
    ASSERT_TRUE(CopyTag(dst.c_str(), src.c_str()));

    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(dst.c_str(), 0), nullptr);
    EXPECT_EQ(layer.Width(), 3);
    EXPECT_EQ(layer.Max(), 2.0) << "the target's statistics stay its own";
    EXPECT_EQ(layer.GetValue(0, 0), 2.0);

    // Between open layers: the output keeps the copies and writes them when it closes.
    const std::string out = dir.File("out.rdp");
    CRDPLayer in, target;
    ASSERT_NE(in.OpenLayer(src.c_str(), 0), nullptr);
    ASSERT_NE(target.CreateLayer(out.c_str(), 5, 5, 7), nullptr);
    ASSERT_TRUE(CopyTag(&target, &in, RefuseOnly201));
    ASSERT_TRUE(CopyTag(&target, &in, TAG_NO_COPY_201));
    EXPECT_FALSE(CopyTag(&target, &in, 999));
    ASSERT_TRUE(target.DeleteTag(TAG_SPECTRUM));
    ASSERT_TRUE(target.CloseLayer());
    EXPECT_EQ(GetSizeTag(out.c_str(), TAG_NO_COPY_201), 4);
    EXPECT_EQ(GetSizeTag(out.c_str(), 501), 4);
    EXPECT_EQ(GetSizeTag(out.c_str(), TAG_SPECTRUM), -1);
    CRDPLayer check;
    ASSERT_NE(check.OpenLayer(out.c_str(), 0), nullptr);
    EXPECT_TRUE(check.StatsReady());
    EXPECT_EQ(check.Max(), 0.0);
}

TEST(LayerTags, HeaderOfAFileIsReadOnlyWhenTheLayerWouldOpen)
{
    TempDir dir;
    const std::string good = dir.File("good.rdp");
    {
        CRDPLayer out;
        ASSERT_NE(out.CreateLayer(good.c_str(), 5, 3, 14), nullptr);
        ASSERT_TRUE(out.CloseLayer());
    }
    const auto header = LayerHeaderOf(good.c_str());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->width, 5);
    EXPECT_EQ(header->height, 3);
    EXPECT_EQ(header->type, 14);

    struct Case {
        const char* what;
        Bytes bytes;
        DWORD error;
    };
    const Bytes eight(8, 0);
    Fixture shortData(3, 2, 2, 1, Bytes(3, 0));
    Fixture zeroWidth(3, 0, 2, 1, Bytes(4, 0));
    Fixture badType(3, 2, 2, 17, eight);
    Fixture v2(2, 2, 2, 3, eight);
    const Case cases[] = {
        {"not a layer file", Bytes{'R', 'D', 'P', 'X', 3, 0, 0, 0}, ERROR_BAD_FORMAT},
        {"samples shorter than the size", shortData.bytes, ERROR_FILE_CORRUPT},
        {"a width of 0", zeroWidth.bytes, ERROR_FILE_CORRUPT},
        {"an unknown type code", badType.bytes, ERROR_FILE_CORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.File("bad.rdp");
        WriteFile(path, c.bytes);
        EXPECT_FALSE(LayerHeaderOf(path.c_str()));
        EXPECT_EQ(GetLastError(), c.error);
        CRDPLayer layer;
        EXPECT_EQ(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr) << "the layer refuses it too";
    }
    const std::string older = dir.File("v2.rdp");
    WriteFile(older, v2.bytes);
    ASSERT_TRUE(LayerHeaderOf(older.c_str()));
    EXPECT_EQ(LayerHeaderOf(older.c_str())->type, 3);
    EXPECT_FALSE(LayerHeaderOf(dir.File("absent.rdp").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(LayerHeaderOf(nullptr));
}

TEST(LayerTags, CopiesIntoALayerBeingWrittenGiveTheFileThatCopiesAfterClosingGive)
{
    // A job copies its input's tags into its output before closing it, so that the output is
    // written once; the file must be the one that closing first and copying after gave. One
    // tag more on a real layer leaves the samples in their place (the file is rewritten around
    // them); more blocks move them.
    for (int tags : {1, 6}) {
        for (int type : {7, 9}) {
            SCOPED_TRACE(std::to_string(tags) + " tags, type " + std::to_string(type));
            TempDir dir;
            const std::string src = dir.File("src.rdp");
            MakeLayer(src, 3.0, 9, 7);
            const int ids[] = {600, 501, 650, 700, 502, 610};
            for (int i = 0; i < tags; ++i) ASSERT_TRUE(SetTag(src.c_str(), ids[i], 5 + i, "tagged by hand"));
            auto write = [&](const std::string& path, bool beforeClose) {
                CRDPLayer out;
                void** rows = out.CreateLayer(path.c_str(), 9, 7, type);
                ASSERT_NE(rows, nullptr);
                static_cast<float*>(rows[2])[3] = 5.5f;
                ASSERT_TRUE(out.SetTag(TAG_SPECTRUM, 4, "spec"));
                if (beforeClose) {
                    ASSERT_TRUE(CopyTag(&out, src.c_str()));
                    ASSERT_TRUE(CopyTag(&out, src.c_str(), 600));
                    EXPECT_FALSE(CopyTag(&out, src.c_str(), 999));
                    const std::vector<int> chain = out.GetTagIds();
                    ASSERT_FALSE(chain.empty());
                    EXPECT_EQ(chain.back(), 600) << "the second copy moves its tag to the end";
                }
                ASSERT_TRUE(out.CloseLayer());
                if (!beforeClose) {
                    ASSERT_TRUE(CopyTag(path.c_str(), src.c_str()));
                    ASSERT_TRUE(CopyTag(path.c_str(), src.c_str(), 600));
                }
            };
            const std::string after = dir.File("after.rdp"), before = dir.File("before.rdp");
            write(after, false);
            write(before, true);
            EXPECT_EQ(ReadFile(before), ReadFile(after));
            const auto files = std::distance(std::filesystem::directory_iterator(dir.Path()),
                                             std::filesystem::directory_iterator());
            EXPECT_EQ(files, 3) << "no temporary is left";
        }
    }
}

namespace {

/// Tag `id` of layer 0 of `path` as every reader of closed files sees it; std::nullopt when
/// absent. The three readers must agree on the bytes.
std::optional<std::vector<BYTE>> ClosedTag(const std::string& path, int id)
{
    const int size = GetSizeTag(path.c_str(), id);
    std::vector<BYTE> whole;
    const bool read = ReadTag(path.c_str(), id, 1 << 20, &whole);
    EXPECT_EQ(read, size >= 0) << "tag " << id;
    if (!read) return std::nullopt;
    EXPECT_EQ(size, int(whole.size())) << "tag " << id;
    BYTE copy[512] = {};
    EXPECT_TRUE(GetTag(path.c_str(), id, int(whole.size()), copy)) << "tag " << id;
    EXPECT_FALSE(GetTag(path.c_str(), id, int(whole.size()) + 1, copy)) << "tag " << id << " holds no more";
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), copy));
    return whole;
}

/// The same tag through an opened layer.
std::optional<std::vector<BYTE>> OpenTag(const std::string& path, int id)
{
    CRDPLayer layer;
    EXPECT_NE(layer.OpenLayer(path.c_str(), 0), nullptr);
    const int size = layer.GetSizeTag(id);
    const BYTE* p = static_cast<const BYTE*>(layer.GetTag(id));
    EXPECT_EQ(p != nullptr, size >= 0) << "tag " << id;
    if (!p) return std::nullopt;
    return std::vector<BYTE>(p, p + size);
}

void AppendLayer(const std::string& path)
{
    CRDPLayer added;
    ASSERT_NE(added.AddLayer(path.c_str(), 3, 2, 7), nullptr);
    ASSERT_TRUE(added.CloseLayer());
}

std::vector<BYTE> Pattern(int n, int seed)
{
    std::vector<BYTE> bytes(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) bytes[size_t(i)] = BYTE(seed + 7 * i + 1);
    return bytes;
}

}  // namespace

// Empty tags are tags: they read back empty, not absent, and the tag before one keeps its
// exact length whatever follows it (the padding after it, another layer's structures).
TEST(LayerTags, EmptyTagsAndTheTagsBeforeThemReadBackExactlyAsWritten)
{
    const std::vector<BYTE> nothing;
    {
        SCOPED_TRACE("two empty writes, then a layer added");
        TempDir dir;
        const std::string path = dir.File("a.rdp");
        MakeLayer(path, 1.0);
        ASSERT_TRUE(SetTag(path.c_str(), 700, 0, nullptr));
        EXPECT_EQ(ClosedTag(path, 700), nothing);
        ASSERT_TRUE(SetTag(path.c_str(), 700, 0, nullptr));
        EXPECT_EQ(ClosedTag(path, 700), nothing);
        AppendLayer(path);
        EXPECT_EQ(ClosedTag(path, 700), nothing);
        EXPECT_EQ(OpenTag(path, 700), nothing);
        ASSERT_TRUE(SetTag(path.c_str(), 600, 3, "abc"));
        ASSERT_TRUE(DeleteTag(path.c_str(), 600));
        AppendLayer(path);
        EXPECT_EQ(ClosedTag(path, 700), nothing) << "and after any further writes";
        EXPECT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 3);
    }

    // The tag before an empty last block, with and without a layer after it; then the file
    // rewritten twice more.
    for (int size : {0, 1, 3, 4, 7, 8, 15, 16, 296}) {
        for (bool layerAfter : {false, true}) {
            SCOPED_TRACE(std::to_string(size) + " bytes" + (layerAfter ? ", a layer after" : ""));
            TempDir dir;
            const std::string path = dir.File("t.rdp");
            MakeLayer(path, 2.0);
            const std::vector<BYTE> before = Pattern(size, size);
            ASSERT_TRUE(SetTag(path.c_str(), 650, size, before.data()));
            ASSERT_TRUE(SetTag(path.c_str(), 651, 0, nullptr));
            if (layerAfter) AppendLayer(path);
            for (int pass = 0; pass < 3; ++pass) {
                SCOPED_TRACE("pass " + std::to_string(pass));
                EXPECT_EQ(ClosedTag(path, 650), before);
                EXPECT_EQ(ClosedTag(path, 651), nothing);
                EXPECT_EQ(OpenTag(path, 650), before);
                EXPECT_EQ(OpenTag(path, 651), nothing);
                // A rewrite that leaves both where they are in the chain.
                ASSERT_TRUE(DeleteTag(path.c_str(), 999));
            }
        }
    }
}

// A layer being written answers for an empty tag set on it as its file will.
TEST(LayerTags, AnEmptyTagSetOnAnOpenLayerIsPresentAndEmpty)
{
    TempDir dir;
    const std::string path = dir.File("o.rdp");
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), 3, 2, 7), nullptr);
    ASSERT_TRUE(out.SetTag(700, 0, nullptr));
    EXPECT_NE(out.GetTag(700), nullptr);
    EXPECT_EQ(out.GetSizeTag(700), 0);
    BYTE none[1];
    EXPECT_NE(out.GetTag(700, 0, none), nullptr);
    ASSERT_TRUE(out.CloseLayer());
    EXPECT_EQ(ClosedTag(path, 700), std::vector<BYTE>{});
}
