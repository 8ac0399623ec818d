// The layer reader on well-formed files: layers and parts, the tree, descriptions, the
// creators, opening and closing, mapping again, and files of every size the format holds.

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/layer_file_format.h"
#include "platform/forms/exceptions.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "tests/plugin3d/model/render/layer_reader_support.h"
#include "tests/support/test_environment.h"

namespace {

using layerreader::Bytes;
using layerreader::OpenAndAccess;
using layerreader::OpenFile;
using layerreader::RowAsDoubles;
using tarvenix::test::TempDir;

template <class T>
Bytes SamplesOf(const std::vector<T>& values)
{
    Bytes bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Offset of the first sample of layer n, found by the core library's reader.
std::int64_t SamplesAt(const Bytes& file, int n)
{
    layerfile::FileIndex index(layerfile::FileView{file.data(), std::int64_t(file.size())});
    return index.FindPayload(n, 1, 4) + 4;
}

struct ExpectedLayer {
    std::string path;  // in the file's tree, parts joined by "."
    int elementType;
    int elementSize;
    int width;
    int height;
    std::int64_t dataOffset;  // from the start of the file
    std::vector<double> firstRow;
};

struct ReaderCase {
    const char* name;
    Bytes file;
    int fileLayers;
    std::vector<ExpectedLayer> layers;
};

ReaderCase FloatLayerVersion2()
{
    const std::vector<float> samples = {1.5f, -2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12.25f};
    layertest::Fixture f(2, 4, 3, 7, SamplesOf(samples));
    return {"FloatLayerVersion2",
            f.bytes,
            1,
            {{"Layer 1", ketFloat32, 4, 4, 3, std::int64_t(f.dataPayload + 4), {1.5, -2, 3, 4}}}};
}

ReaderCase ComplexDoubleSecondLayer()
{
    layertest::ForeignLayer plain{3, 2, 4, SamplesOf(std::vector<std::int16_t>{-1, 2, -3, 4, -5, 6}), {}};
    layertest::ForeignLayer complex{2, 2, 10, SamplesOf(std::vector<double>{1, -1, 2, -2, 3, -3, 4, -4}), {}};
    complex.tags.push_back({2, Bytes(1064, 0)});
    layertest::ForeignOptions options;
    options.shuffle = false;
    options.shuffleChain = false;
    const Bytes file = layertest::WriteForeignFile({plain, complex}, options);
    const std::int64_t payload = SamplesAt(file, 1) - 4;
    return {"ComplexDoubleSecondLayer",
            file,
            2,
            {{"Layer 1", ketInt16, 2, 3, 2, SamplesAt(file, 0), {-1, 2, -3}},
             {"Layer 2.Real", ketFloat64, 16, 2, 2, payload + 4, {1, 2}},
             {"Layer 2.Image", ketFloat64, 16, 2, 2, payload + 12, {-1, -2}}}};
}

ReaderCase ShuffledBlocksWithGaps()
{
    layertest::ForeignLayer a{2,
                              3,
                              13,
                              SamplesOf(std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
                              {{600, Bytes(9, 7)}, {501, layertest::PalettePayload(2)}}};
    layertest::ForeignLayer b{1, 1, 8, SamplesOf(std::vector<double>{-0.5}), {}};
    layertest::ForeignOptions options;
    options.seed = 7;
    options.maxGap = 13;
    const Bytes file = layertest::WriteForeignFile({a, b}, options);
    return {"ShuffledBlocksWithGaps",
            file,
            2,
            {{"Layer 1.Real", ketUInt16, 4, 2, 3, SamplesAt(file, 0), {1, 3}},
             {"Layer 1.Image", ketUInt16, 4, 2, 3, SamplesAt(file, 0) + 2, {2, 4}},
             {"Layer 2", ketFloat64, 8, 1, 1, SamplesAt(file, 1), {-0.5}}}};
}

void PrintTo(const ReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class LayerReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(LayerReaderCases, LayersPartsTreeAndRows)
{
    const ReaderCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("case.rdp");
    layertest::WriteFile(path, c.file);
    const TOwned<TKRDPFile> file = OpenAndAccess(path);
    ASSERT_FALSE(file->IsBadFormat());
    ASSERT_EQ(file->Count(), static_cast<int>(c.layers.size()));
    EXPECT_EQ(file->FileLayerCount(), c.fileLayers);

    const TOwned<TKDataBranch> tree(file->MakeBranch());
    EXPECT_EQ(tree->Name(), "case.rdp");
    EXPECT_EQ(tree->Data(), TKData::OfObject(file.get()));
    EXPECT_EQ(tree->Count(), c.fileLayers);
    for (int i = 0; i < file->Count(); ++i) {
        const ExpectedLayer& want = c.layers[std::size_t(i)];
        SCOPED_TRACE(want.path);
        TKRDPLayer* layer = file->GetRDPLayer(i);
        ASSERT_NE(layer, nullptr);
        const TKDataBranch* node = tree->FindDataInTree(TKData::OfObject(layer));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetPath(tree.get(), '.'), want.path);
        EXPECT_EQ(layer->Name(), want.path);
        EXPECT_EQ(layer->ElementType(), want.elementType);
        EXPECT_EQ(layer->ElementSize(), want.elementSize);
        EXPECT_EQ(layer->Width(), want.width);
        EXPECT_EQ(layer->Height(), want.height);
        EXPECT_EQ(layer->RowBytes(), std::int64_t(want.elementSize) * want.width);
        ASSERT_NE(layer->Data(), nullptr);
        EXPECT_EQ(layer->Data() - file->ViewBase(), want.dataOffset);
        EXPECT_EQ(layer->Description(), want.path + " - " + std::to_string(want.width) + " x " +
                                            std::to_string(want.height) + " (" +
                                            ElementTypeName(want.elementType) + ")");
        EXPECT_EQ(RowAsDoubles(*layer, 0), want.firstRow);
    }
}

INSTANTIATE_TEST_SUITE_P(LayerReader, LayerReaderCases,
                         ::testing::Values(FloatLayerVersion2(), ComplexDoubleSecondLayer(),
                                           ShuffledBlocksWithGaps()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LayerReader, DescriptionOfAFloatLayerEndsWithItsTypeName)
{
    TempDir dir;
    const std::string path = dir.File("f.rdp");
    layertest::WriteFile(path, layertest::Fixture(2, 4, 3, 7, Bytes(48, 0)).bytes);
    const TOwned<TKRDPFile> file = OpenFile(path);
    EXPECT_EQ(file->GetLayer(0)->Description(), "Layer 1 - 4 x 3 ( Float 32-bit )");
}

// A chain of block headers, each of key 100 + its place, the first at 12 (version 2).
Bytes LongBlockChain(int blocks)
{
    Bytes bytes(12, 0);
    std::memcpy(bytes.data(), "RDPR", 4);
    layertest::Put32(bytes, 4, 2);
    for (int k = 0; k < blocks; ++k) {
        const std::size_t at = 12 + std::size_t(k) * 12;
        layertest::Put32(bytes, at, 100 + k);
        layertest::Put32(bytes, at + 4, 12);  // every payload at the first header: valid, unread
        layertest::Put32(bytes, at + 8, k + 1 < blocks ? std::int32_t(at + 12) : 0);
    }
    bytes.resize(bytes.size() + 4, 0);
    return bytes;
}

TEST(LayerReader, BlockChainsEndAfterTenThousandLinks)
{
    TempDir dir;
    const std::string path = dir.File("chain.rdp");
    layertest::WriteFile(path, LongBlockChain(TKRDPFile::kMaxLinks + 2));
    TOwned<TKRDPFile> file = OpenAndAccess(path);
    ASSERT_TRUE(file->IsMapped());
    EXPECT_NE(file->LayerBlock(0, 100 + TKRDPFile::kMaxLinks), nullptr);  // reached by 10,000 links
    EXPECT_EQ(file->LayerBlock(0, 101 + TKRDPFile::kMaxLinks), nullptr);
    EXPECT_EQ(file->LayerBlock(0, 0), nullptr);
    EXPECT_EQ(file->GetLayer(0)->ElementType(), ketUnknown);  // no descriptor in the chain

    // Two headers linked to each other: any key they lack ends as absent.
    Bytes cycle = LongBlockChain(2);
    layertest::Put32(cycle, 12 + 12 + 8, 12);
    layertest::WriteFile(path, cycle);
    file = OpenAndAccess(dir.File("./chain.rdp"));
    EXPECT_NE(file->LayerBlock(0, 101), nullptr);
    EXPECT_EQ(file->LayerBlock(0, 7), nullptr);
    EXPECT_EQ(file->LayerEntry(1), nullptr);
}

TEST(LayerReader, CreatorsChooseByExtensionLastRegisteredFirst)
{
    const struct {
        const char* name;
        bool rdp;
    } names[] = {{"a.rdp", true},         {"/data/b.RDP", true},  {"c.Rdp", true},  {"d.rdp.bak", false},
                 {"/x.rdp/image", false}, {"noextension", false}, {"e.rdpx", false}};
    for (const auto& n : names) {
        SCOPED_TRACE(n.name);
        const TOwned<TKFileLayerKeeper> keeper(CreateFileLayerKeeper(n.name));
        EXPECT_EQ(ObjectAs<TKRDPFile>(keeper.get()) != nullptr, n.rdp);
        if (keeper) {
            EXPECT_TRUE(keeper->IsClosed());
        }
    }

    // A creator registered later is asked first; one that declines passes the name on.
    static int asked;
    asked = 0;  // afresh on every run of the test in the process
    const TKLayerFileCreator anyFile = [](const std::string& name) -> TKFileLayerKeeper* {
        ++asked;
        return name == "decline.rdp" ? nullptr : TKFileLayerKeeper::New(nullptr);
    };
    RegisterLayerFileCreator(anyFile);
    {
        const TOwned<TKFileLayerKeeper> keeper(CreateFileLayerKeeper("a.rdp"));
        EXPECT_EQ(keeper->ClassType(), TKFileLayerKeeper::StaticClass());
        const TOwned<TKFileLayerKeeper> declined(CreateFileLayerKeeper("decline.rdp"));
        EXPECT_NE(ObjectAs<TKRDPFile>(declined.get()), nullptr);
    }
    UnregisterLayerFileCreator(anyFile);
    const TOwned<TKFileLayerKeeper> after(CreateFileLayerKeeper("a.rdp"));
    EXPECT_NE(ObjectAs<TKRDPFile>(after.get()), nullptr);
    EXPECT_EQ(asked, 2);
}

TEST(LayerReader, OpeningTheSameNameKeepsItsStateAnotherNameClosesIt)
{
    TempDir dir;
    const std::string a = dir.File("a.rdp"), b = dir.File("b.rdp");
    layertest::WriteFile(a, layertest::Fixture(2, 2, 2, 1, Bytes{1, 2, 3, 4}).bytes);
    layertest::ForeignLayer one{1, 1, 9, Bytes(8, 0), {}};
    layertest::WriteFile(b, layertest::WriteForeignFile({one, one}, {}));

    TOwned<TKRDPFile> file = OpenAndAccess(a);
    TKLayer* layer = file->GetLayer(0);
    ASSERT_TRUE(file->IsMapped());
    int destroyed = 0;
    struct Counter {
        int* count;
        void OnEvent(TObject*, int code, std::intptr_t) { *count += code == kevDestroyed; }
    } counter{&destroyed};
    layer->Events().Add(TKEventHandler::Of<&Counter::OnEvent>(&counter));

    // The same file under another spelling of its path.
    file->Open(dir.File("./sub/../a.rdp"), layerreader::kShareMode, layerreader::kFlags, 1);
    EXPECT_EQ(file->GetLayer(0), layer);
    EXPECT_TRUE(file->IsMapped());
    EXPECT_EQ(RowAsDoubles(*layer, 1), (std::vector<double>{3, 4}));
    EXPECT_EQ(destroyed, 0);

    file->Open(b, layerreader::kShareMode, layerreader::kFlags, 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(file->FileName(), b);
    EXPECT_EQ(file->Count(), 4);
    EXPECT_EQ(file->Tree()->Name(), "b.rdp");
    EXPECT_FALSE(file->IsMapped());  // the view is released until a layer is accessed

    file->Close(false);
    EXPECT_FALSE(file->IsClosed());
    file->Close(true);
    EXPECT_TRUE(file->IsClosed());
    EXPECT_EQ(file->Count(), 0);
    EXPECT_EQ(file->FileName(), "");
    EXPECT_EQ(file->Tree()->Count(), 0);
    EXPECT_EQ(file->Tree()->Name(), "");
}

TEST(LayerReader, MissingAndForeignFilesGiveNoLayers)
{
    TempDir dir;
    TOwned<TKRDPFile> file = OpenFile(dir.File("missing.rdp"));
    EXPECT_TRUE(file->IsClosed());
    EXPECT_EQ(file->Count(), 0);
    EXPECT_FALSE(file->IsBadFormat());

    Bytes versionFour = layertest::Fixture(2, 1, 1, 1, Bytes{1}).bytes;
    layertest::Put32(versionFour, 4, 4);
    Bytes otherMagic = layertest::Fixture(3, 1, 1, 1, Bytes{1}).bytes;
    otherMagic[3] = 'X';
    const Bytes files[] = {{}, {'R', 'D', 'P', 'R', 2, 0, 0, 0, 0, 0, 0}, versionFour, otherMagic};
    for (const Bytes& bytes : files) {
        SCOPED_TRACE(bytes.size());
        const std::string path = dir.File("foreign.rdp");
        layertest::WriteFile(path, bytes);
        file = OpenFile(path);
        EXPECT_TRUE(file->IsBadFormat());
        EXPECT_FALSE(file->IsClosed());
        EXPECT_EQ(file->Count(), 0);
        EXPECT_EQ(file->ViewBase(), nullptr);  // released as for a good file
        EXPECT_EQ(file->LayerEntry(0), nullptr);
    }
}

TEST(LayerReader, MappingAgainRebindsTheLayersCallersHold)
{
    TempDir dir;
    const std::string path = dir.File("m.rdp");
    const std::vector<std::int32_t> first = {10, 20, 30, 40, 50, 60};
    layertest::Fixture fixture(2, 3, 2, 6, SamplesOf(first));
    layertest::WriteFile(path, fixture.bytes);

    TOwned<TKRDPFile> file = OpenFile(path);
    TKRDPLayer* layer = file->GetRDPLayer(0);
    ASSERT_NE(layer, nullptr);
    EXPECT_FALSE(file->IsMapped());
    EXPECT_EQ(layer->Data(), nullptr);  // format known, data only while mapped
    EXPECT_EQ(layer->Width(), 3);
    std::vector<double> untouched = {-1, -1, -1};
    layer->ReadRowAs(0, untouched.data(), 3);
    EXPECT_EQ(untouched, (std::vector<double>{-1, -1, -1}));

    layer->BeginAccess();
    EXPECT_TRUE(layer->IsAccessed());
    EXPECT_TRUE(file->IsMapped());
    EXPECT_EQ(RowAsDoubles(*layer, 1), (std::vector<double>{40, 50, 60}));
    for (int outside : {-1, 2}) {  // rows outside the layer are refused, not read past the view
        layer->ReadRowAs(outside, untouched.data(), 3);
        EXPECT_EQ(untouched, (std::vector<double>{-1, -1, -1}));
    }
    file->ReleaseIfUnused();  // accessed: the view stays
    EXPECT_TRUE(file->IsMapped());

    // The same structure with new values: the held layer follows the new view.
    const std::vector<std::int32_t> second = {1, 2, 3, 4, 5, 6};
    layertest::WriteFile(path, layertest::Fixture(2, 3, 2, 6, SamplesOf(second)).bytes);
    file->Unmap();
    EXPECT_EQ(layer->Data(), nullptr);
    file->EnsureMapped();
    EXPECT_EQ(file->GetRDPLayer(0), layer);
    EXPECT_EQ(RowAsDoubles(*layer, 1), (std::vector<double>{4, 5, 6}));

    // Another structure: the layer stays alive, without data, until the file is opened anew.
    layertest::ForeignLayer complex{3, 2, 9, Bytes(48, 0), {}};
    layertest::WriteFile(path, layertest::WriteForeignFile({complex}, {}));
    file->Unmap();
    file->EnsureMapped();
    EXPECT_TRUE(file->IsMapped());
    EXPECT_EQ(file->Count(), 1);
    EXPECT_EQ(file->GetRDPLayer(0), layer);
    EXPECT_EQ(layer->Data(), nullptr);
    EXPECT_EQ(layer->GetElementPtr(0, 0), nullptr);
    layer->ReadRowAs(1, untouched.data(), 3);
    EXPECT_EQ(untouched, (std::vector<double>{-1, -1, -1}));
}

TEST(LayerReader, WritableFilesTakeRowsReadOnlyFilesIgnoreThem)
{
    TempDir dir;
    const std::string path = dir.File("w.rdp");
    layertest::Fixture fixture(2, 3, 2, 4, Bytes(12, 0));
    layertest::WriteFile(path, fixture.bytes);
    const std::vector<double> row = {-1.5, 2.5, 70000};  // rounds to even, keeps the low 16 bits

    {
        const TOwned<TKRDPFile> readOnly = OpenAndAccess(path);
        readOnly->GetLayer(0)->WriteRowFrom(1, row.data(), 3);  // mapped read-only: must not fault
        EXPECT_EQ(RowAsDoubles(*readOnly->GetLayer(0), 1), (std::vector<double>{0, 0, 0}));
    }
    {
        const TOwned<TKRDPFile> writable = OpenAndAccess(path, 0);
        ASSERT_FALSE(writable->IsReadOnly());
        writable->GetLayer(0)->WriteRowFrom(1, row.data(), 3);
        EXPECT_EQ(RowAsDoubles(*writable->GetLayer(0), 1), (std::vector<double>{-2, 2, 4464}));
    }
    const Bytes written = layertest::ReadFile(path);
    std::int16_t samples[3];
    std::memcpy(samples, written.data() + fixture.dataPayload + 4 + 6, sizeof samples);
    EXPECT_EQ(std::vector<std::int16_t>(samples, samples + 3), (std::vector<std::int16_t>{-2, 2, 4464}));
}

// A sparse file of size bytes whose head is head.
void WriteSparse(const std::string& path, const Bytes& head, std::int64_t size)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, head.data(), head.size()), ssize_t(head.size()));
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

TEST(LayerReader, OpensEveryFileTheFormatHoldsAndRefusesLarger)
{
    TempDir dir;
    // A 16384 x 16384 float layer: 1 GiB of samples, most of them never written.
    const std::string big = dir.File("big.rdp");
    layertest::Fixture fixture(2, 16384, 16384, 7, SamplesOf(std::vector<float>{1, 2, 3}));
    const std::int64_t samples = std::int64_t(16384) * 16384 * 4;
    layertest::Put32(fixture.bytes, fixture.dataPayload, std::int32_t(samples));
    WriteSparse(big, fixture.bytes, std::int64_t(fixture.dataPayload) + 4 + samples + 8);
    const TOwned<TKRDPFile> file = OpenAndAccess(big);
    TKLayer* layer = file->GetLayer(0);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->Description(), "Layer 1 - 16384 x 16384 ( Float 32-bit )");
    std::vector<float> row(16384, -1);
    layer->ReadRowAs(0, row.data(), 16384);
    EXPECT_EQ(row[2], 3);
    layer->ReadRowAs(16383, row.data(), 16384);
    EXPECT_EQ(row[16383], 0);

    const std::string huge = dir.File("huge.rdp");
    WriteSparse(huge, fixture.bytes, TKRDPFile::kMaxFileSize);
    const TOwned<TKRDPFile> refused(TKRDPFile::New(nullptr));
    const auto open = [&] { refused->Open(huge, layerreader::kShareMode, layerreader::kFlags, 1); };
    try {
        open();
        ADD_FAILURE() << "a file of 2 GiB opened";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "File \"" + huge + "\" is very large");
    }
    // A failed opening is forgotten: the same name is tried again.
    WriteSparse(huge, fixture.bytes, TKRDPFile::kMaxFileSize - 1);
    open();
    ASSERT_EQ(refused->Count(), 1);

    // Grown past the limit before its first access: the access fails and is not counted.
    WriteSparse(huge, fixture.bytes, TKRDPFile::kMaxFileSize);
    TKLayer* grown = refused->GetLayer(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(grown->BeginAccess(), EStreamError);
        EXPECT_FALSE(grown->IsAccessed());
    }
}

}  // namespace

namespace {

TEST(LayerReader, SetCountMakesAndFreesLayersTheFileOwns)
{
    const TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->SetCount(17);
    ASSERT_EQ(file->Count(), 17);
    int destroyed = 0;
    struct Counter {
        int* count;
        void OnEvent(TObject*, int code, std::intptr_t) { *count += code == kevDestroyed; }
    } counter{&destroyed};
    for (int i = 0; i < 17; ++i) {
        TKRDPLayer* layer = file->GetRDPLayer(i);
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->File(), file.get());
        EXPECT_EQ(layer->Owner(), file.get());
        layer->Events().Add(TKEventHandler::Of<&Counter::OnEvent>(&counter));
    }
    EXPECT_EQ(file->GetLayer(17), nullptr);
    EXPECT_EQ(file->GetLayer(-1), nullptr);

    TKLayer* kept = file->GetLayer(2);
    file->SetCount(3);
    EXPECT_EQ(destroyed, 14);
    EXPECT_EQ(file->GetLayer(2), kept);
    EXPECT_EQ(file->GetLayer(3), nullptr);

    // A layer freed by someone else leaves an empty entry, not a dangling one.
    file->GetLayer(1)->Free();
    EXPECT_EQ(file->GetLayer(1), nullptr);
    file->SetCount(-5);
    EXPECT_EQ(file->Count(), 0);
    EXPECT_EQ(destroyed, 17);
}

}  // namespace

// Another program cuts the file short while the reader has it mapped: the pages past the new
// end are gone. The read survives, the layer is reported damaged and reads nothing more.
TEST(LayerReader, AFileCutShortWhileMappedIsReportedDamaged)
{
    TempDir dir;
    const std::string path = dir.File("cut.rdp");
    layertest::Fixture fixture(2, 512, 512, 7, SamplesOf(std::vector<float>(512 * 512, 5.0f)));
    layerreader::Rewrite(path, fixture.bytes);
    const TOwned<TKRDPFile> file = OpenAndAccess(path);
    TKLayer* layer = file->GetLayer(0);
    ASSERT_NE(layer, nullptr);
    std::vector<float> row(512, -1);
    layer->ReadRowAs(0, row.data(), 512);
    EXPECT_EQ(row[7], 5.0f);
    ASSERT_EQ(::truncate(path.c_str(), fixture.dataPayload + 8), 0);
    try {
        layer->ReadRowAs(400, row.data(), 512);
        ADD_FAILURE() << "a cut file reads as damaged";
    } catch (const EStreamError& error) {
        EXPECT_NE(error.Message().find("was cut short by another program"), std::string::npos)
            << error.Message();
        EXPECT_NE(error.Message().find(path), std::string::npos) << error.Message();
    }
    std::fill(row.begin(), row.end(), -1.0f);
    layer->ReadRowAs(1, row.data(), 512);
    EXPECT_EQ(row[0], -1.0f) << "a damaged layer reads nothing more";
    EXPECT_TRUE(file->IsBadFormat());
}
