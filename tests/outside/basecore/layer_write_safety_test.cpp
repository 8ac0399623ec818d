// Layer files are complete or absent whatever happens while they are written: a failure at
// any step of the writer, an exception, or the writing process being killed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "layer_test_support.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/kernel/atomic_file.h"
#include "platform/kernel/file_mapping.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

namespace {

using platform::AtomicStep;
using tarvenix::test::TempDir;

constexpr int kF32 = 7;

std::set<std::string> Names(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

// The file's inode number.
std::uintmax_t Identity(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class Faults {
public:
    explicit Faults(platform::AtomicFileFaults faults) { platform::SetAtomicFileFaults(faults); }
    ~Faults() { platform::SetAtomicFileFaults({}); }
};

void MakeLayer(const std::string& path, int side, float value)
{
    CRDPLayer layer;
    void** rows = layer.CreateLayer(path.c_str(), side, side, kF32);
    ASSERT_NE(rows, nullptr);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) static_cast<float*>(rows[y])[x] = value;
    ASSERT_TRUE(layer.CloseLayer());
}

enum class Writer { kCreateLayer, kAddLayer, kSetTag, kWritableClose };

struct LayerFaultCase {
    Writer writer;
    AtomicStep step;
    bool named;
};

// Runs one writer against `path`; false when it reported the failure.
bool RunWriter(Writer writer, const std::string& path)
{
    const BYTE tag[6] = {1, 2, 3, 4, 5, 6};
    switch (writer) {
        case Writer::kCreateLayer:
        case Writer::kAddLayer: {
            CRDPLayer layer;
            void** rows = writer == Writer::kCreateLayer ? layer.CreateLayer(path.c_str(), 8, 8, kF32)
                                                         : layer.AddLayer(path.c_str(), 8, 8, kF32);
            if (!rows) return false;
            static_cast<float*>(rows[0])[0] = 9.0f;
            layer.SetTag(600, sizeof tag, tag);
            return layer.CloseLayer() != FALSE;
        }
        case Writer::kSetTag:
            return SetTag(path.c_str(), 600, sizeof tag, tag) != FALSE;
        case Writer::kWritableClose: {
            CRDPLayer layer;
            if (!layer.OpenLayer(path.c_str(), kOpenWritable)) return false;
            layer.SetValue(3, 3, 42.0);
            layer.SetTag(600, sizeof tag, tag);
            return layer.CloseLayer() != FALSE;
        }
    }
    return false;
}

class LayerWriteFault : public ::testing::TestWithParam<LayerFaultCase> {};

TEST_P(LayerWriteFault, LeavesTheOldFileIntactAndNothingBeside)
{
    const LayerFaultCase c = GetParam();
    TempDir dir;
    const std::string path = dir.File("scene.rdp");
    MakeLayer(path, 8, 1.0f);
    const layertest::Bytes before = layertest::ReadFile(path);
    {
        Faults faults({c.step, c.named});
        EXPECT_FALSE(RunWriter(c.writer, path));
        EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        // A layer that fails to write says why.
        if (c.writer != Writer::kSetTag) {
            EXPECT_FALSE(GetLastLayerError().IsEmpty());
        }
    }
    EXPECT_EQ(layertest::ReadFile(path), before);
    EXPECT_EQ(Names(dir), std::set<std::string>{"scene.rdp"});
    // Without a fault the same writer succeeds, so the fault was what stopped it.
    EXPECT_TRUE(RunWriter(c.writer, path));
    EXPECT_EQ(Names(dir), std::set<std::string>{"scene.rdp"});
}

std::vector<LayerFaultCase> LayerFaults()
{
    std::vector<LayerFaultCase> cases;
    for (Writer w : {Writer::kCreateLayer, Writer::kAddLayer, Writer::kSetTag, Writer::kWritableClose})
        for (AtomicStep step :
             {AtomicStep::kCreate, AtomicStep::kWrite, AtomicStep::kSync, AtomicStep::kRename})
            for (bool named : {false, true}) cases.push_back({w, step, named});
    return cases;
}

std::string LayerFaultName(const ::testing::TestParamInfo<LayerFaultCase>& info)
{
    static const char* const writers[] = {"CreateLayer", "AddLayer", "SetTag", "WritableClose"};
    static const char* const steps[] = {"none", "create", "write", "sync", "rename"};
    return std::string(writers[static_cast<int>(info.param.writer)]) + "_" +
           steps[static_cast<int>(info.param.step)] + (info.param.named ? "_named" : "_unnamed");
}

INSTANTIATE_TEST_SUITE_P(EachStep, LayerWriteFault, ::testing::ValuesIn(LayerFaults()), LayerFaultName);

TEST(LayerWriteSafety, AnExceptionWhileCreatingOrChangingLeavesTheOldFile)
{
    for (bool named : {false, true}) {
        Faults faults({AtomicStep::kNone, named});
        TempDir dir;
        const std::string path = dir.File("out.rdp");
        MakeLayer(path, 8, 1.0f);
        const layertest::Bytes before = layertest::ReadFile(path);
        try {
            CRDPLayer layer;
            ASSERT_NE(layer.CreateLayer(path.c_str(), 64, 64, kF32), nullptr);
            throw layertest::TestCancel{};
        } catch (const layertest::TestCancel&) {
        }
        try {
            CRDPLayer layer;
            ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenWritable), nullptr);
            ASSERT_TRUE(layer.SetValue(1, 1, 5.0));
            EXPECT_EQ(layertest::ReadFile(path), before) << "changes reach the file only when it closes";
            throw layertest::TestCancel{};
        } catch (const layertest::TestCancel&) {
        }
        CRDPLayer scratch;
        ASSERT_NE(scratch.CreateTempLayer(64, 64, kF32), nullptr);
        EXPECT_EQ(layertest::ReadFile(path), before);
        EXPECT_EQ(Names(dir), std::set<std::string>{"out.rdp"});
    }
}

TEST(LayerWriteSafety, EveryMappingCanBeFlushedThroughThePlatform)
{
    TempDir dir;
    const std::string path = dir.File("map.rdp");
    MakeLayer(path, 64, 2.0f);
    CMemoryMap readOnly, writable, anonymous, fresh;
    ASSERT_TRUE(readOnly.Open(path.c_str(), CMemoryMap::kReadOnly));
    ASSERT_TRUE(writable.Open(path.c_str(), CMemoryMap::kReadWrite));
    ASSERT_TRUE(anonymous.CreateAnonymous(1 << 16));
    platform::AtomicFile out;
    ASSERT_TRUE(out.Create(dir.File("new.bin").c_str()));
    ASSERT_TRUE(fresh.MapFile(out.Handle(), 1 << 16));
    for (CMemoryMap* map : {&readOnly, &writable, &anonymous, &fresh}) {
        ASSERT_NE(map->AdresData(), nullptr);
        EXPECT_TRUE(FlushViewOfFile(map->AdresData() + 100, 1000));
        EXPECT_TRUE(map->Flush());
    }
    // A read-only view takes stores privately; the file never sees them.
    readOnly.AdresData()[0] = 'X';
    EXPECT_NE(layertest::ReadFile(path)[0], 'X');
    fresh.AdresData()[(1 << 16) - 1] = 7;
    ASSERT_TRUE(out.Commit());
    const layertest::Bytes written = layertest::ReadFile(dir.File("new.bin"));
    ASSERT_EQ(written.size(), 1u << 16);
    EXPECT_EQ(written.back(), 7);
}

// A process killed while writing a large layer leaves the old file or the complete new
// one, and no temporary (an unnamed one) or only one that the next write removes (a named one).
TEST(LayerWriteSafety, AWriterKilledMidWriteLeavesTheOldFileOrTheNewOne)
{
    TempDir dir;
    const std::string path = dir.File("large.rdp");
    constexpr int kSide = 4096;  // 64 MiB of samples
    auto run = [&](const char* value, bool named) {
        const pid_t child = ::fork();
        if (child == 0) {
            const char* args[] = {TVX_LAYER_WRITER,          path.c_str(), "4096", value,
                                  named ? "named" : nullptr, nullptr};
            ::execv(TVX_LAYER_WRITER, const_cast<char* const*>(args));
            ::_exit(127);
        }
        return child;
    };
    int status = 0;
    ASSERT_EQ(::waitpid(run("1", false), &status, 0) > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);

    int value = 1;
    // From before the file exists to about when a writer of this build finishes.
    const int delaysMs[] = {0, 5, 20, 100, 300, 700, 1200, 1800};
    for (bool named : {false, true}) {
        for (int delay : delaysMs) {
            SCOPED_TRACE((named ? "named, " : "unnamed, ") + std::to_string(delay) + " ms");
            // Writers never change the file in place: the same file is the old one.
            const std::uintmax_t before = Identity(path);
            const std::string next = std::to_string(++value);
            const pid_t child = run(next.c_str(), named);
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);

            for (const std::string& name : Names(dir)) {
                if (name == "large.rdp") continue;
                EXPECT_TRUE(named && platform::IsAtomicTemporaryName(name.c_str())) << name;
            }
            if (Identity(path) == before) continue;
            CRDPLayer layer;
            ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
            EXPECT_TRUE(layer.StatsReady());
            EXPECT_EQ(layer.GetValue(0, 0), double(value));
            EXPECT_EQ(layer.GetValue(kSide - 1, kSide - 1), double(value));
            EXPECT_EQ(layer.Min(), layer.Max());
        }
    }
    // The next write in the folder removes what killed writers left.
    const BYTE tag[4] = {1, 2, 3, 4};
    ASSERT_TRUE(SetTag(path.c_str(), 600, sizeof tag, tag));
    EXPECT_EQ(Names(dir), std::set<std::string>{"large.rdp"});
}

}  // namespace

namespace {

// Large payloads of a rewritten file are copied file to file; the samples must come out
// exactly, and a failure of that copy must still leave the old file.
TEST(LayerWriteSafety, ARewriteCopiesLargeLayersExactly)
{
    TempDir dir;
    const std::string path = dir.File("big.rdp");
    {
        CRDPLayer layer;
        void** rows = layer.CreateLayer(path.c_str(), 300, 260, kF32);
        ASSERT_NE(rows, nullptr);
        for (int y = 0; y < 260; ++y)
            for (int x = 0; x < 300; ++x) static_cast<float*>(rows[y])[x] = float(y * 1000 + x);
        ASSERT_TRUE(layer.CloseLayer());
    }
    const layertest::Bytes before = layertest::ReadFile(path);
    const char note[] = "scene";
    {
        Faults faults({AtomicStep::kWrite, false});
        EXPECT_FALSE(SetTag(path.c_str(), 600, sizeof note, note));
    }
    EXPECT_EQ(layertest::ReadFile(path), before);
    ASSERT_TRUE(SetTag(path.c_str(), 600, sizeof note, note));
    {
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenWritable), nullptr);
        ASSERT_TRUE(layer.SetValue(299, 259, -1.0));
        ASSERT_TRUE(layer.SetTag(601, sizeof note, note));
        ASSERT_TRUE(layer.CloseLayer());
    }
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    for (int y = 0; y < 260; ++y)
        for (int x = 0; x < 300; ++x)
            if (x != 299 || y != 259) {
                ASSERT_EQ(layer.GetValue(x, y), double(y * 1000 + x)) << x << "," << y;
            }
    EXPECT_EQ(layer.GetValue(299, 259), -1.0);
    EXPECT_STREQ(static_cast<const char*>(layer.GetTag(600)), note);
    EXPECT_STREQ(static_cast<const char*>(layer.GetTag(601)), note);
    EXPECT_EQ(Names(dir), std::set<std::string>{"big.rdp"});
}

}  // namespace
