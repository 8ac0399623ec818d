// Samples put into a new version ahead of the rest of its file: WriteFile keeps them where
// they belong and writes what it writes anyway, writes them again where they do not, and a
// stop ends the putting before the next piece.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "outside/basecore/layer_file_format.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::TempDir;

/// Every byte of the version `out`.
std::vector<BYTE> BytesOf(const platform::AtomicFile& out)
{
    std::vector<BYTE> bytes(static_cast<std::size_t>(out.Size()));
    if (!bytes.empty()) {
        EXPECT_TRUE(out.ReadAt(0, bytes.data(), bytes.size()));
    }
    return bytes;
}

TEST(LayerFileWriter, SamplesPutAheadAreKeptWhereTheyBelongAndWrittenAgainElsewhere)
{
    // Two layers with blocks on both sides of the samples; the first layer's samples are the
    // ones put ahead.
    std::vector<BYTE> first(97 * 61 * 4), second(13 * 7 * 2), note(300);
    for (std::size_t i = 0; i < first.size(); ++i) first[i] = BYTE(i * 131 + 5);
    for (std::size_t i = 0; i < second.size(); ++i) second[i] = BYTE(i * 7 + 1);
    for (std::size_t i = 0; i < note.size(); ++i) note[i] = BYTE(i);
    std::vector<layerfile::LayerOut> layers(2);
    layers[0] = {97, 61, 7, first.data(), {{700, note.data(), 300}, {701, nullptr, 20}}};
    layers[1] = {13, 7, 3, second.data(), {{702, note.data(), 9}}};
    const std::int64_t at = layerfile::PlannedSampleOffsets(layers)[0];
    const std::int64_t bytes = std::int64_t(first.size());

    TempDir dir;
    platform::AtomicFile plain;
    ASSERT_TRUE(plain.Create(dir.File("plain.rdp").c_str()));
    ASSERT_EQ(layerfile::WriteFile(plain, layers, nullptr), 0u);
    const std::vector<BYTE> want = BytesOf(plain);

    struct Case {
        const char* name;
        std::int64_t putAt;
        std::uint64_t sizedTo;  // the version's size before the samples go in
        bool kept;
    };
    for (const Case c : {Case{"in place", at, std::uint64_t(layerfile::PlannedSize(layers)), true},
                         Case{"in place, the version not sized", at, 0, true},
                         Case{"elsewhere", at + 8, std::uint64_t(layerfile::PlannedSize(layers)), false}}) {
        SCOPED_TRACE(c.name);
        platform::AtomicFile out;
        ASSERT_TRUE(out.Create(dir.File("ahead.rdp").c_str()));
        ASSERT_TRUE(out.SetSize(c.sizedTo, FALSE));
        ASSERT_EQ(layerfile::PutSamples(out, first.data(), bytes, c.putAt, {}), 0u);
        layers[0].samplesWritten = c.kept;
        ASSERT_EQ(layerfile::WriteFile(out, layers, nullptr), 0u);
        layers[0].samplesWritten = false;
        EXPECT_TRUE(BytesOf(out) == want) << "the file differs from one written at once";
    }

    // Stopped before the first piece: nothing is put.
    platform::AtomicFile out;
    ASSERT_TRUE(out.Create(dir.File("stopped.rdp").c_str()));
    const std::atomic<bool> stop{true};
    EXPECT_EQ(layerfile::PutSamples(out, first.data(), bytes, at, {}, &stop), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(out.Size(), 0u);
}

}  // namespace
