// The layer reader on damaged files: whatever a file holds, the reader neither loops, nor
// reads past the file, nor hands out data that does not lie wholly inside it.

#include <sys/mman.h>

#include <climits>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_layer.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "tests/plugin3d/model/render/layer_reader_support.h"
#include "tests/support/test_environment.h"

namespace {

using layerreader::Bytes;
using layerreader::OpenAndAccess;
using layertest::Put32;
using tarvenix::test::TempDir;

// A one-layer file of 3 x 2 signed 16-bit samples. Version 3: the entry at 12, the
// descriptor's block header at 24, the data block's at 36, the descriptor at 48, the count
// at 72, the samples from 76 to 88, then 8 more bytes.
layertest::Fixture Plain(int version = 3)
{
    return layertest::Fixture(version, 3, 2, 4, Bytes{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0});
}

struct Reject {
    const char* name;
    Bytes file;
    std::vector<bool> hasData;  // per layer object
    int firstType;              // element type of the first layer object
};

Reject CyclicEntryChain()
{
    layertest::Fixture f = Plain();
    const auto second = std::int32_t(f.bytes.size());
    Put32(f.bytes, 20, second);
    Put32(f.bytes, second + 4, 0);   // no first block
    Put32(f.bytes, second + 8, 12);  // back to the first entry
    f.bytes.resize(f.bytes.size() + 4, 0);
    return {"CyclicEntryChain", f.bytes, {true, false}, ketInt16};
}

Reject EntryHeaderAcrossTheEnd()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, 20, std::int32_t(f.bytes.size() - 8));
    return {"EntryHeaderAcrossTheEnd", f.bytes, {true, false}, ketInt16};
}

Reject BlockHeaderAcrossTheEnd()
{
    layertest::Fixture f = Plain(2);
    Put32(f.bytes, f.firstBlock + 8, std::int32_t(f.bytes.size() - 8));
    return {"BlockHeaderAcrossTheEnd", f.bytes, {false}, ketInt16};
}

Reject DescriptorAcrossTheEnd()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.firstBlock + 4, std::int32_t(f.bytes.size() - 12));
    return {"DescriptorAcrossTheEnd", f.bytes, {false}, ketUnknown};
}

Reject CountAcrossTheEnd()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.dataBlock + 4, std::int32_t(f.bytes.size() - 2));
    return {"CountAcrossTheEnd", f.bytes, {false}, ketInt16};
}

Reject ShortDataCount()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.dataPayload, 11);
    return {"ShortDataCount", f.bytes, {false}, ketInt16};
}

Reject OverflowingCount()
{
    // 2^31 - 1 rows of 2^31 - 1 complex doubles: their bytes overflow 64 bits.
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.descriptor + 4, INT_MAX);
    Put32(f.bytes, f.descriptor + 8, INT_MAX);
    Put32(f.bytes, f.descriptor + 12, 10);
    return {"OverflowingCount", f.bytes, {false, false}, ketFloat64};
}

Reject NegativeCount()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.dataPayload, -4);
    return {"NegativeCount", f.bytes, {false}, ketInt16};
}

Reject DataEndingAtTheVeryEnd()
{
    layertest::Fixture f = Plain();
    f.bytes.resize(f.dataPayload + 4 + 12);
    return {"DataEndingAtTheVeryEnd", f.bytes, {false}, ketInt16};
}

Reject NegativeWidth()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.descriptor + 4, -3);
    Put32(f.bytes, f.dataPayload, 0);
    return {"NegativeWidth", f.bytes, {false}, ketInt16};
}

Reject NegativeHeight()
{
    layertest::Fixture f = Plain(2);
    Put32(f.bytes, f.descriptor + 8, -2);
    return {"NegativeHeight", f.bytes, {false}, ketInt16};
}

Reject DataPayloadAtZero()
{
    layertest::Fixture f = Plain();
    Put32(f.bytes, f.dataBlock + 4, 0);
    return {"DataPayloadAtZero", f.bytes, {false}, ketInt16};
}

Reject FirstEntryCutShort()
{
    // A version 3 head with room for half an entry: one layer, nothing of it readable.
    Bytes bytes = Plain().bytes;
    bytes.resize(18);
    return {"FirstEntryCutShort", bytes, {false}, ketUnknown};
}

void PrintTo(const Reject& c, std::ostream* os)
{
    *os << c.name;
}

class LayerReaderRejects : public ::testing::TestWithParam<Reject> {};

TEST_P(LayerReaderRejects, NoDataOutsideTheFileAndNoCrash)
{
    const Reject& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("bad.rdp");
    layertest::WriteFile(path, c.file);
    const TOwned<TKRDPFile> file = OpenAndAccess(path);
    ASSERT_FALSE(file->IsBadFormat());
    ASSERT_EQ(file->Count(), static_cast<int>(c.hasData.size()));
    EXPECT_EQ(file->GetLayer(0)->ElementType(), c.firstType);
    for (int i = 0; i < file->Count(); ++i) {
        SCOPED_TRACE(i);
        TKRDPLayer* layer = file->GetRDPLayer(i);
        EXPECT_EQ(layer->Data() != nullptr, c.hasData[std::size_t(i)]);
        EXPECT_TRUE(layerreader::DataInsideView(*file, *layer));
        if (!layer->Data()) {
            std::vector<double> row(4, -7);
            for (int y : {0, 1}) layer->ReadRowAs(y, row.data(), 4);
            EXPECT_EQ(row, std::vector<double>(4, -7));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Malformed, LayerReaderRejects,
                         ::testing::Values(CyclicEntryChain(), EntryHeaderAcrossTheEnd(),
                                           BlockHeaderAcrossTheEnd(), DescriptorAcrossTheEnd(),
                                           CountAcrossTheEnd(), ShortDataCount(), OverflowingCount(),
                                           NegativeCount(), DataEndingAtTheVeryEnd(), NegativeWidth(),
                                           NegativeHeight(), DataPayloadAtZero(), FirstEntryCutShort()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Seeded damage over files of the suite's writer and of another writer ---------------

constexpr std::size_t kPage = 4096;

// Where the offsets and counts of an intact file lie: the links and first-block fields of
// the layer entries and block headers, the payload fields, the descriptors' width, height
// and code, and the data count. Found by the core library's reader.
std::vector<std::int64_t> FieldsOf(const Bytes& bytes)
{
    std::vector<std::int64_t> fields;
    layerfile::FileIndex index(layerfile::FileView{bytes.data(), std::int64_t(bytes.size())});
    for (int n = 0; n < index.CountLayers(); ++n) {
        if (index.Version() == 3) {
            std::int64_t entry = 12;
            for (int k = 0; k < n; ++k) entry = layertest::Get32(bytes, std::size_t(entry + 8));
            fields.insert(fields.end(), {entry + 4, entry + 8});
        }
        if (const layerfile::Chain* chain = index.Blocks(n))
            for (const layerfile::BlockRef& block : chain->blocks) {
                fields.insert(fields.end(), {block.header + 4, block.header + 8});
                if (block.key == 0)
                    fields.insert(fields.end(), {block.payload + 4, block.payload + 8, block.payload + 12});
                if (block.key == 1) fields.push_back(block.payload);
            }
    }
    return fields;
}

// A few edits of the kinds that break readers: offsets and counts set to values near the
// file's end or out of range, stray bytes, cut or grown files, headers copied elsewhere.
// Half of the files are first padded to whole pages, so that a read past their end leaves
// the mapping (see ReadEverything), where within a page it would read zeros unseen.
Bytes Damage(Bytes bytes, const std::vector<std::int64_t>& fields, std::mt19937& rng)
{
    if (rng() % 2) bytes.resize((bytes.size() + kPage - 1) / kPage * kPage, 0);
    const int edits = 1 + int(rng() % 3);
    for (int e = 0; e < edits; ++e) {
        const auto size = std::int32_t(bytes.size());
        const auto anywhere = [&](std::int32_t room) {
            return size > room ? std::int32_t(rng() % (size - room)) : 0;
        };
        switch (rng() % 8) {
            case 0:
            case 1:
            case 2: {
                const std::int32_t values[] = {0,
                                               -1,
                                               size - 1,
                                               size - 2,
                                               size - 4,
                                               size - 8,
                                               size - 11,
                                               size - 12,
                                               size,
                                               12,
                                               std::int32_t(rng()),
                                               INT_MIN,
                                               INT_MAX,
                                               size / 2,
                                               1};
                const std::int64_t at = fields.empty() ? 0 : fields[rng() % fields.size()];
                if (at + 4 <= size) Put32(bytes, std::size_t(at), values[rng() % std::size(values)]);
                break;
            }
            case 3:
                if (size >= 4) Put32(bytes, std::size_t(anywhere(4)), std::int32_t(rng()));
                break;
            case 4:
                if (size > 0) bytes[std::size_t(anywhere(0))] = std::uint8_t(rng());
                break;
            case 5:
                if (size % kPage != 0)
                    bytes.resize(std::size_t(size > 0 ? rng() % std::uint32_t(size + 1) : 0));
                break;
            case 6:
                if (size % kPage != 0)
                    for (int k = int(rng() % 24); k > 0; --k) bytes.push_back(std::uint8_t(rng()));
                break;
            case 7:
                if (size >= 24) {
                    const std::int32_t from = anywhere(12), to = anywhere(12);
                    std::memmove(bytes.data() + to, bytes.data() + from, 12);
                }
                break;
        }
    }
    return bytes;
}

// A hole of bytes with a page after it that faults on any access. New mappings go to the
// highest gap they fit in, so every higher gap of that size is plugged until the hole is the
// next in line; the plugs stay until the hole is taken.
class GuardedHole {
public:
    explicit GuardedHole(std::size_t bytes) : m_bytes(bytes)
    {
        void* region = ::mmap(nullptr, bytes + kPage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED) return;
        m_guard = static_cast<std::uint8_t*>(region) + bytes;
        ::munmap(region, bytes);
        for (int i = 0; i < 256; ++i) {
            void* plug = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (plug == MAP_FAILED) break;
            if (plug == region) {
                ::munmap(plug, bytes);
                break;
            }
            m_plugs.push_back(plug);
        }
    }
    ~GuardedHole()
    {
        if (m_guard) ::munmap(m_guard, kPage);
        for (void* plug : m_plugs) ::munmap(plug, m_bytes);
    }
    GuardedHole(const GuardedHole&) = delete;
    GuardedHole& operator=(const GuardedHole&) = delete;
    /// True when a view of the hole's size ends at the guard.
    bool Guards(const std::uint8_t* view) const { return m_guard && view + m_bytes == m_guard; }

private:
    std::size_t m_bytes;
    std::uint8_t* m_guard = nullptr;
    std::vector<void*> m_plugs;
};

// How many damaged files were of whole pages, and how many of those were read with the fault
// page right after their view.
struct GuardCount {
    int pageSized = 0;
    int guarded = 0;
};

// Opens a damaged file and reads every layer as a caller would; the sanitizers and the view
// check catch any use of data outside the file. Reads past the end of a view within its
// last page would go unseen, so a file of whole pages is mapped again into a hole with a
// fault page after it; rebinding then reads every structure of the file again.
void ReadEverything(const std::string& path, GuardCount* guards)
{
    const TOwned<TKRDPFile> file = OpenAndAccess(path);
    std::optional<GuardedHole> hole;
    if (file->ViewBase() && file->FileSize() % std::int64_t(kPage) == 0) {
        const auto size = std::size_t(file->FileSize());
        file->Unmap();
        hole.emplace(size);
        file->EnsureMapped();
        ++guards->pageSized;
        guards->guarded += hole->Guards(file->ViewBase());
    }
    for (int i = 0; i < file->Count(); ++i) {
        TKRDPLayer* layer = file->GetRDPLayer(i);
        ASSERT_NE(layer, nullptr);
        ASSERT_TRUE(layerreader::DataInsideView(*file, *layer)) << layer->Description();
        const int width = std::min(layer->Width(), 4096);
        if (width <= 0 || layer->Height() <= 0) continue;
        std::vector<long double> wide(static_cast<std::size_t>(width));
        std::vector<std::int8_t> narrow(static_cast<std::size_t>(width));
        const int rows = std::min(layer->Height(), 64);
        for (int y = 0; y < rows; ++y) {
            layer->ReadRowAs(y, wide.data(), width);
            layer->ReadRowAs(y, narrow.data(), width);
        }
        layer->ReadRowAs(layer->Height() - 1, wide.data(), width);
        (void)layer->Description();
    }
    const TOwned<TKDataBranch> tree(file->MakeBranch());
}

// Rounds of damage to one intact file, each damaged file read whole.
void DamageAndRead(const std::string& path, const Bytes& intact, int rounds, std::mt19937& rng,
                   GuardCount* guards)
{
    const std::vector<std::int64_t> fields = FieldsOf(intact);
    for (int round = 0; round < rounds; ++round) {
        layerreader::Rewrite(path, Damage(intact, fields, rng));
        ReadEverything(path, guards);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

// Random samples for a layer of code, width and height.
Bytes RandomSamples(int code, int width, int height, std::mt19937& rng)
{
    Bytes samples(std::size_t(elementBytes(code)) * width * height);
    for (auto& b : samples) b = std::uint8_t(rng());
    return samples;
}

TEST(LayerReaderFuzz, DamagedFilesOfTheSuitesWriterForEveryCode)
{
    TempDir dir;
    const std::string path = dir.File("fuzz.rdp");
    std::mt19937 rng(20240611);
    GuardCount guards;
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(code);
        const std::string source = dir.File("source.rdp");
        {
            CRDPLayer first, second;
            const Bytes a = RandomSamples(code, 5, 3, rng), b = RandomSamples(code, 2, 4, rng);
            ASSERT_NE(first.CreateLayer(source.c_str(), 5, 3, code), nullptr);
            std::memcpy(first.GetDataPtr(), a.data(), a.size());
            ASSERT_TRUE(first.CloseLayer());
            ASSERT_NE(second.AddLayer(source.c_str(), 2, 4, code), nullptr);
            std::memcpy(second.GetDataPtr(), b.data(), b.size());
            ASSERT_TRUE(second.CloseLayer());
        }
        DamageAndRead(path, layertest::ReadFile(source), 60, rng, &guards);
        if (HasFatalFailure()) return;
    }
    EXPECT_GE(guards.guarded, guards.pageSized * 9 / 10)
        << "views of whole pages mapped without a fault page after them";
    EXPECT_GT(guards.pageSized, 100);
}

TEST(LayerReaderFuzz, LayoutsOfAnotherWriterReadExactlyThenDamaged)
{
    TempDir dir;
    const std::string path = dir.File("fuzz.rdp");
    std::mt19937 rng(77);
    GuardCount guards;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::vector<layertest::ForeignLayer> layers(1 + rng() % 3);
        for (auto& l : layers) {
            l.type = 1 + int(rng() % 16);
            l.width = 1 + int(rng() % 6);
            l.height = 1 + int(rng() % 5);
            l.samples = RandomSamples(l.type, l.width, l.height, rng);
            for (int t = int(rng() % 3); t > 0; --t) {
                const std::int32_t keys[] = {2, 3, 500, 600, 1000, -5};
                l.tags.push_back({keys[rng() % std::size(keys)], Bytes(rng() % 40, std::uint8_t(rng()))});
            }
        }
        layertest::ForeignOptions options;
        options.seed = seed;
        options.version = rng() % 4 == 0 ? 2 : 3;
        options.maxGap = int(rng() % 17);
        const Bytes bytes = layertest::WriteForeignFile(layers, options);
        layerreader::Rewrite(path, bytes);

        // Every part of every layer reads back as written, whatever the order of the pieces.
        {
            const TOwned<TKRDPFile> file = OpenAndAccess(path);
            const std::size_t expected = options.version == 2 ? 1 : layers.size();
            ASSERT_EQ(file->FileLayerCount(), static_cast<int>(expected));
            int object = 0;
            for (std::size_t n = 0; n < expected; ++n) {
                const layertest::ForeignLayer& l = layers[n];
                const int parts = isComplexType(l.type) ? 2 : 1;
                const int partBytes = typeInfo(l.type).partBytes;
                for (int part = 0; part < parts; ++part, ++object) {
                    TKRDPLayer* layer = file->GetRDPLayer(object);
                    ASSERT_NE(layer, nullptr);
                    ASSERT_EQ(layer->Part(), part);
                    for (int y = 0; y < l.height; ++y) {
                        Bytes row(std::size_t(l.width * partBytes), 0);
                        layer->ReadRow(y, row.data(), layer->ElementType(), partBytes, l.width);
                        for (int x = 0; x < l.width; ++x)
                            ASSERT_EQ(0,
                                      std::memcmp(row.data() + x * partBytes,
                                                  l.samples.data() +
                                                      (std::size_t(y) * l.width + x) * elementBytes(l.type) +
                                                      part * partBytes,
                                                  std::size_t(partBytes)))
                                << "layer " << n << " part " << part << " (" << x << ", " << y << ")";
                    }
                }
            }
            ASSERT_EQ(file->Count(), object);
        }
        DamageAndRead(path, bytes, 30, rng, &guards);
        if (HasFatalFailure()) return;
    }
    EXPECT_GE(guards.guarded, guards.pageSized * 9 / 10)
        << "views of whole pages mapped without a fault page after them";
    EXPECT_GT(guards.pageSized, 100);
}

}  // namespace
