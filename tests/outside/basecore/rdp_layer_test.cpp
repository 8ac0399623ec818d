#include "outside/basecore/rdp_layer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "layer_test_support.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::RecordingMeter;
using tarvenix::test::TempDir;
namespace fs = std::filesystem;

namespace {

int FilesIn(const fs::path& dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

/// Test values every type holds exactly: small, and negative only for signed parts.
std::vector<double> RowValues(int code, int y, int width)
{
    const TypeInfo& t = typeInfo(code);
    std::vector<double> v;
    for (int x = 0; x < width; ++x) {
        const double a = x + 10.0 * y, b = t.signedParts ? -(x + 1.0) : 2.0 * x;
        if (t.complex) {
            v.push_back(a);
            v.push_back(b);
        } else {
            v.push_back(t.signedParts && (x % 2) ? -a : a);
        }
    }
    if (t.floating) v[0] += 0.5;  // floats keep fractions
    return v;
}

}  // namespace

TEST(RdpLayerTypes, EveryCodeWritesRowsThatReadBackAfterReopening)
{
    TempDir dir;
    const int w = 7, h = 4;
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(code);
        const std::string path = dir.File("t" + std::to_string(code) + ".rdp");
        {
            CRDPLayer out;
            void** rows = out.CreateLayer(path.c_str(), w, h, code);
            ASSERT_NE(rows, nullptr) << GetLastLayerError().c_str();
            EXPECT_FALSE(FileFind(path.c_str())) << "the target appears only when closed";
            for (int y = 0; y < h; ++y)
                ASSERT_TRUE(out.SetLineFromDouble(y, RowValues(code, y, w).data(), w));
            ASSERT_TRUE(out.CloseLayer());
        }
        EXPECT_EQ(FilesIn(dir.Path()), code) << "no temporary file is left beside the output";

        CRDPLayer in;
        void** rows = in.OpenLayer(path.c_str(), kOpenReadOnly);
        ASSERT_NE(rows, nullptr) << GetLastLayerError().c_str();
        EXPECT_EQ(in.Width(), w);
        EXPECT_EQ(in.Height(), h);
        EXPECT_EQ(in.Type(), code);
        EXPECT_EQ(bool(in.IsComplex()), code >= 9);
        EXPECT_EQ(bool(in.IsFloatType()), code >= 7 && code <= 10);
        EXPECT_TRUE(in.StatsReady()) << "closing a new layer stores its statistics";
        const int es = elementBytes(code);
        std::vector<double> line(2 * w);
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(static_cast<char*>(rows[y]) - static_cast<char*>(rows[0]), std::ptrdiff_t(y) * w * es);
            ASSERT_TRUE(in.GetDoubleLine(y, line.data(), w));
            const std::vector<double> want = RowValues(code, y, w);
            for (size_t i = 0; i < want.size(); ++i)
                EXPECT_EQ(line[i], want[i]) << "row " << y << " value " << i;
        }
    }
}

TEST(RdpLayerTypes, ComplexComponentsAreReadAndWrittenOneByOne)
{
    TempDir dir;
    for (int code = 9; code <= 16; ++code) {
        SCOPED_TRACE(code);
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(3, 2, code), nullptr);
        ASSERT_TRUE(layer.SetValue(1, 1, 3.0, kReal));
        ASSERT_TRUE(layer.SetValue(1, 1, 4.0, kImaginary));
        EXPECT_DOUBLE_EQ(layer.GetValue(1, 1, kAmplitude), 5.0);
        EXPECT_DOUBLE_EQ(layer.GetValue(1, 1, kPhase), std::atan2(4.0, 3.0));
        EXPECT_EQ(layer.GetValue(1, 1, kReal), 3.0);
        EXPECT_EQ(layer.GetValue(1, 1, kImaginary), 4.0);
        EXPECT_EQ(layer.GetValue(0, 1, kAmplitude), 0.0) << "neighbours stay untouched";
        // Both parts have no one value: they read, as the display shows them, as the amplitude.
        EXPECT_DOUBLE_EQ(layer.GetValue(1, 1, kBothParts), 5.0);
        // Setting the amplitude keeps the phase (within the parts' rounding).
        ASSERT_TRUE(layer.SetValue(1, 1, 10.0, kAmplitude));
        EXPECT_NEAR(layer.GetValue(1, 1, kReal), 6.0, 1e-5);
        EXPECT_NEAR(layer.GetValue(1, 1, kImaginary), 8.0, 1e-5);
        // A component written reads back as written, the pair's code included.
        ASSERT_TRUE(layer.SetValue(1, 1, 15.0, kBothParts));
        EXPECT_NEAR(layer.GetValue(1, 1, kBothParts), 15.0, 1e-5);
        EXPECT_NEAR(layer.GetValue(1, 1, kReal), 9.0, 1e-5);
        EXPECT_EQ(layer.GetValue(5, 0, kReal), 0.0) << "outside the layer";
    }
}

TEST(RdpLayerTypes, EightBitComplexPartsOfAllOnesReadAsTheirPartType)
{
    TempDir dir;
    for (const auto& [code, want] : {std::pair{12, -1.0}, std::pair{11, 255.0}}) {
        SCOPED_TRACE(code);
        const std::string path = dir.File("p.rdp");
        {
            CRDPLayer out;
            void** rows = out.CreateLayer(path.c_str(), 2, 1, code);
            ASSERT_NE(rows, nullptr);
            std::memset(rows[0], 0xFF, 4);
            ASSERT_TRUE(out.CloseLayer());
        }
        CRDPLayer in;
        ASSERT_NE(in.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
        EXPECT_EQ(in.GetValue(1, 0, kReal), want);
        EXPECT_EQ(in.GetValue(1, 0, kImaginary), want);
        EXPECT_EQ(in.reMin(), want);
    }
}

TEST(RdpLayerTypes, SetZeroClearsOnlyItsRectangleAndFillsSaturate)
{
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(code);
        CRDPLayer layer;
        ASSERT_NE(layer.CreateTempLayer(5, 4, code), nullptr);
        ASSERT_TRUE(layer.SetValue(9.0, nullptr));
        const RECT r{1, 1, 3, 3};
        ASSERT_TRUE(layer.SetZero(&r));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
                const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
                EXPECT_EQ(layer.GetValue(x, y, kReal), inside ? 0.0 : 9.0) << x << "," << y;
                if (code >= 9) {
                    EXPECT_EQ(layer.GetValue(x, y, kImaginary), 0.0);
                }
            }
    }
    CRDPLayer u8;
    ASSERT_NE(u8.CreateTempLayer(3, 1, 1), nullptr);
    const double in[3] = {300.0, -4.0, 2.5};
    ASSERT_TRUE(u8.SetLineFromDouble(0, in, 3));
    EXPECT_EQ(u8.GetValue(0, 0), 255.0);
    EXPECT_EQ(u8.GetValue(1, 0), 0.0);
    EXPECT_EQ(u8.GetValue(2, 0), 3.0) << "halves round away from zero";
}

TEST(RdpLayerCreate, OutputNamingItsInputKeepsTheInputReadableUntilCommitted)
{
    TempDir dir;
    const std::string path = dir.File("same.rdp");
    {
        CRDPLayer first;
        ASSERT_NE(first.CreateLayer(path.c_str(), 4, 3, 4), nullptr);
        ASSERT_TRUE(first.SetValue(7.0, nullptr));
        ASSERT_TRUE(first.CloseLayer());
    }
    CRDPLayer in, out;
    ASSERT_NE(in.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    ASSERT_NE(out.CreateLayer(path.c_str(), 4, 3, 4), nullptr);
    std::vector<double> line(4);
    for (int y = 0; y < 3; ++y) {
        ASSERT_TRUE(in.GetDoubleLine(y, line.data(), 4));
        for (double& v : line) v += 1;
        ASSERT_TRUE(out.SetLineFromDouble(y, line.data(), 4));
    }
    ASSERT_TRUE(out.CloseLayer());
    EXPECT_EQ(in.GetValue(2, 2), 7.0) << "the open input still reads what it read";
    in.CloseLayer();
    CRDPLayer again;
    ASSERT_NE(again.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(again.GetValue(2, 2), 8.0);
    EXPECT_EQ(again.Min(), 8.0);
    EXPECT_EQ(FilesIn(dir.Path()), 1);
}

TEST(RdpLayerCreate, CancelDestroyAndUnwindingLeaveNoOutput)
{
    TempDir dir;
    const std::string path = dir.File("out.rdp");
    const std::string kept = dir.File("kept.rdp");
    {
        CRDPLayer previous;
        ASSERT_NE(previous.CreateLayer(kept.c_str(), 2, 2, 1), nullptr);
        ASSERT_TRUE(previous.CloseLayer());
    }
    const Bytes before = ReadFile(kept);

    // Cancel inside the statistics of CloseLayer: the layer stays open; DestroyLayer cleans up.
    RecordingMeter meter;
    meter.StopAtReport(3);
    CRDPLayer out(&meter);
    ASSERT_NE(out.CreateLayer(kept.c_str(), 64, 8, 7), nullptr);
    try {
        out.CloseLayer();
        ADD_FAILURE() << "the cancel should pass through CloseLayer";
    } catch (CRDPExcept* e) {
        EXPECT_EQ(e->GetCode(), RDP_ERROR_CANCEL);
        e->Delete();
    }
    EXPECT_TRUE(out.IsOpen());
    EXPECT_TRUE(out.DestroyLayer());
    EXPECT_EQ(ReadFile(kept), before) << "the old file is untouched";

    // A plain DestroyLayer of a new layer.
    CRDPLayer gone;
    ASSERT_NE(gone.CreateLayer(path.c_str(), 2, 2, 1), nullptr);
    EXPECT_TRUE(gone.DestroyLayer());

    // An exception unwinding through a layer being created removes it.
    try {
        CRDPLayer unwinding;
        ASSERT_NE(unwinding.CreateLayer(path.c_str(), 2, 2, 1), nullptr);
        throw 1;
    } catch (int) {
    }
    EXPECT_FALSE(FileFind(path.c_str()));
    EXPECT_EQ(FilesIn(dir.Path()), 1);

    // A layer destroyed normally is kept (the destructor closes it).
    {
        CRDPLayer closedByDestructor;
        ASSERT_NE(closedByDestructor.CreateLayer(path.c_str(), 2, 2, 1), nullptr);
    }
    EXPECT_TRUE(FileFind(path.c_str()));
}

TEST(RdpLayerCreate, RefusesBadSizesTypesAndFilesOfTwoGibibytes)
{
    TempDir dir;
    const std::string path = dir.File("big.rdp");
    struct Case {
        int w, h, type;
        DWORD error;
    } cases[] = {
        {32768, 16384, 7, ERROR_FILE_TOO_LARGE},       // exactly 2 GiB of samples
        {65536, 65536, 10, ERROR_FILE_TOO_LARGE},      // overflows 32 bits many times
        {1 << 30, 1 << 30, 10, ERROR_FILE_TOO_LARGE},  // 2^64 bytes: a 64-bit product wraps to 0
        {0x7FFFFFFF, 0x7FFFFFFF, 16, ERROR_FILE_TOO_LARGE},
        {0, 5, 1, ERROR_INVALID_PARAMETER},
        {5, -1, 1, ERROR_INVALID_PARAMETER},
        {5, 5, 17, ERROR_INVALID_PARAMETER},
        {5, 5, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " type " + std::to_string(c.type));
        CRDPLayer layer;
        EXPECT_EQ(layer.CreateLayer(path.c_str(), c.w, c.h, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_FALSE(GetErrorMessage(GetLastError()).IsEmpty());
        EXPECT_EQ(FilesIn(dir.Path()), 0);
        EXPECT_EQ(layer.AddLayer(path.c_str(), c.w, c.h, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(FilesIn(dir.Path()), 0);
    }
    CRDPLayer layer;
    EXPECT_EQ(layer.CreateLayer(dir.File("no/such/folder.rdp").c_str(), 2, 2, 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(RdpLayerCreate, AddedLayersKeepTheirOwnSizeAndType)
{
    TempDir dir;
    const std::string path = dir.File("multi.rdp");
    const int shapes[3][3] = {{4, 3, 1}, {5, 2, 10}, {2, 6, 7}};
    for (int i = 0; i < 3; ++i) {
        CRDPLayer layer;
        ASSERT_NE(layer.AddLayer(path.c_str(), shapes[i][0], shapes[i][1], shapes[i][2]), nullptr);
        EXPECT_EQ(layer.GetLayerIndex(), i);
        ASSERT_TRUE(layer.SetValue(i + 1.0, nullptr));
        ASSERT_TRUE(layer.CloseLayer());
    }
    EXPECT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayerEx(path.c_str(), kOpenReadOnly, i), nullptr);
        EXPECT_EQ(layer.Width(), shapes[i][0]);
        EXPECT_EQ(layer.Height(), shapes[i][1]);
        EXPECT_EQ(layer.Type(), shapes[i][2]);
        EXPECT_EQ(layer.GetValue(1, 1), i + 1.0);
        EXPECT_EQ(layer.Max(), i + 1.0);
    }
    CRDPLayer none;
    EXPECT_EQ(none.OpenLayerEx(path.c_str(), kOpenReadOnly, 3), nullptr);
    EXPECT_EQ(CRDPLayer::GetNumLayer(dir.File("missing.rdp").c_str()), 0);
}

TEST(RdpLayerCreate, ScratchAndTemporaryNamedLayers)
{
    TempDir dir;
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    {
        CRDPLayer scratch;
        ASSERT_NE(scratch.CreateTempLayer(16, 16, 8), nullptr);
        EXPECT_EQ(FilesIn(dir.Path()), 0) << "a scratch layer leaves no name behind";
        ASSERT_TRUE(scratch.SetValue(2.0, nullptr));
        ASSERT_TRUE(scratch.SetTag(600, 4, "abc"));
        EXPECT_STREQ(static_cast<const char*>(scratch.GetTag(600)), "abc");
        // A layer like this one: same shape, a copy of the samples, statistics to be made.
        CRDPLayer like;
        ASSERT_NE(like.CreateLayer(&scratch), nullptr);
        EXPECT_EQ(like.Type(), 8);
        EXPECT_EQ(like.GetValue(15, 15), 2.0);
        EXPECT_FALSE(like.StatsReady());
        ASSERT_TRUE(like.StatisticCountRect(nullptr));
        EXPECT_EQ(like.Mean(), 2.0);
    }
    EXPECT_EQ(FilesIn(dir.Path()), 0);
    CRDPLayer named;
    ASSERT_NE(named.CreateLayerTempName(3, 3, 1), nullptr);
    const std::string name = named.GetFileName().str();
    EXPECT_EQ(fs::path(name).parent_path(), dir.Path());
    ASSERT_TRUE(named.CloseLayer());
    EXPECT_TRUE(FileFind(name.c_str()));
    ::unsetenv("TMPDIR");
}

TEST(RdpLayerOpen, ReadOnlyOpensNeverChangeTheFileWritableOnesStoreStatistics)
{
    TempDir dir;
    // A file without statistics blocks, as another writer may make it.
    const std::string path = dir.File("bare.rdp");
    Bytes samples;
    for (int i = 0; i < 6; ++i) samples.push_back(std::uint8_t(10 * i));
    WriteFile(path, Fixture(3, 3, 2, 1, samples).bytes);
    const Bytes original = ReadFile(path);
    {
        CRDPLayer ro;
        void** rows = ro.OpenLayer(path.c_str(), kOpenReadOnly);
        ASSERT_NE(rows, nullptr);
        EXPECT_FALSE(ro.StatsReady());
        static_cast<std::uint8_t*>(rows[0])[0] = 99;
        ASSERT_TRUE(ro.StatisticCountRect(nullptr));
        EXPECT_EQ(ro.Max(), 99.0);
        ro.SetMax(5.0);
        EXPECT_EQ(ro.Max(), 5.0);
        EXPECT_EQ(ro.GetOpenMode(), kOpenReadOnly);
        EXPECT_FALSE(ro.SetTag(700, 1, "x"));
        ASSERT_TRUE(ro.CloseLayer());
    }
    EXPECT_EQ(ReadFile(path), original);
    {
        CRDPLayer rw;
        ASSERT_NE(rw.OpenLayer(path.c_str(), kOpenWritable), nullptr);
        ASSERT_TRUE(rw.StatisticCountRect(nullptr));
        ASSERT_TRUE(rw.SetTag(600, 5, "note"));
        ASSERT_TRUE(rw.CloseLayer());
    }
    CRDPLayer again;
    ASSERT_NE(again.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    EXPECT_TRUE(again.StatsReady());
    EXPECT_EQ(again.Max(), 50.0);
    EXPECT_DOUBLE_EQ(again.Mean(), 25.0);
    EXPECT_STREQ(static_cast<const char*>(again.GetTag(600)), "note");
}

TEST(RdpLayerOpen, FailuresSayWhatIsWrong)
{
    TempDir dir;
    CRDPLayer layer;
    EXPECT_EQ(layer.OpenLayer(dir.File("absent.rdp").c_str(), 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    WriteFile(dir.File("text.rdp"), Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'});
    EXPECT_EQ(layer.OpenLayer(dir.File("text.rdp").c_str(), 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
    EXPECT_EQ(GetLastLayerError(), "text.rdp: not a layer file");
    EXPECT_EQ(GetErrorMessage(GetLastError()), "text.rdp: not a layer file");
    EXPECT_EQ(layer.OpenLayer(dir.Path().c_str(), 0), nullptr) << "a folder is not a file";
}

TEST(RdpLayerData, ReadDataCopiesClippedRectanglesAcrossTypes)
{
    CRDPLayer src, dst, cplx;
    ASSERT_NE(src.CreateTempLayer(4, 4, 4), nullptr);
    ASSERT_NE(dst.CreateTempLayer(3, 3, 7), nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.SetValue(x, y, 10.0 * y + x);
    ASSERT_TRUE(dst.ReadData(&src, CPoint(1, 1), CPoint(0, 0), CSize(-1, -1)));
    EXPECT_EQ(dst.GetValue(0, 0), 11.0);
    EXPECT_EQ(dst.GetValue(2, 2), 33.0);
    ASSERT_TRUE(dst.ReadData(&src, CPoint(0, 0), CPoint(2, 2), CSize(5, 5)));
    EXPECT_EQ(dst.GetValue(2, 2), 0.0);
    EXPECT_EQ(dst.GetValue(1, 1), 22.0) << "outside the target's part untouched";
    // Within one layer, shifted down and right over itself.
    ASSERT_TRUE(src.ReadData(&src, CPoint(0, 0), CPoint(1, 1), CSize(3, 3)));
    EXPECT_EQ(src.GetValue(1, 1), 0.0);
    EXPECT_EQ(src.GetValue(3, 3), 22.0);
    EXPECT_EQ(src.GetValue(2, 3), 21.0);
    ASSERT_NE(cplx.CreateTempLayer(2, 2, 14), nullptr);
    ASSERT_TRUE(cplx.ReadData(&src, CPoint(2, 2), CPoint(0, 0), CSize(2, 2)));
    EXPECT_EQ(cplx.GetValue(1, 1, kReal), 22.0);
    EXPECT_EQ(cplx.GetValue(1, 1, kImaginary), 0.0);
}

TEST(RdpLayerStatistics, MembersReachTheStoredBlocks)
{
    TempDir dir;
    const std::string path = dir.File("s.rdp");
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), 2, 2, 9), nullptr);
    layer.SetValue(0, 0, 3.0, kReal);
    layer.SetValue(0, 0, -4.0, kImaginary);
    ASSERT_TRUE(layer.StatisticCountRect(nullptr));
    EXPECT_EQ(layer.Max(), 5.0);
    EXPECT_EQ(layer.reMax(), 3.0);
    EXPECT_EQ(layer.imMin(), -4.0);
    layer.SetMax(42.0);
    EXPECT_EQ(layer.Max(), 42.0);
    double stored;
    std::memcpy(&stored, static_cast<const char*>(layer.GetTag(TAG_STATISTICS)) + 16, 8);
    EXPECT_EQ(stored, 42.0) << "the value lives in the statistics block";
    ASSERT_TRUE(layer.CloseLayer());
    double block[133];
    ASSERT_TRUE(GetTag(path.c_str(), TAG_PHASE_STATISTICS, 1064, block));
    EXPECT_DOUBLE_EQ(block[1], std::atan2(-4.0, 3.0)) << "phase minimum at +8";
    EXPECT_EQ(block[2], 0.0) << "phase maximum at +16 (the zero samples)";
    ASSERT_TRUE(GetTag(path.c_str(), TAG_STATISTICS, 1064, block));
    EXPECT_EQ(block[2], 42.0);
}
