// A viewer's save writes the samples of the working copy while it computes their statistics.
// A working copy kept in a file of its own (copied by the file system) saves byte for byte
// what one read into memory saves (the path the recorded digests pin), on every type and
// across the pieces the samples go in; a stop or a failure of the statistics leaves the
// user's file as it was and nothing beside it.

#include <atomic>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "platform/last_error.h"
#include "tests/support/output_bytes.h"
#include "tests/support/recording_meter.h"
#include "viewer/frame/frame_save.h"

namespace {

using namespace tarvenix::test;

/// The working copy a viewer makes: a new layer in the temporary folder holding the
/// file's samples.
bool MakeWorkingCopy(CRDPLayer& work, const std::string& file)
{
    CRDPLayer source;
    return source.OpenLayer(file.c_str(), kOpenReadOnly) &&
           work.CreateLayerTempName(source.Width(), source.Height(), source.Type()) &&
           work.ReadData(&source, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1));
}

/// Fails the job with error 5 at its n-th step, as a failing read would.
class FailingMeter : public RecordingMeter {
public:
    explicit FailingMeter(int step) : m_failAt(step) {}
    void StepIt() override
    {
        if (++m_steps == m_failAt) AfxThrowRDPExcept(5);
        RecordingMeter::StepIt();
    }

private:
    const int m_failAt;
    std::atomic<int> m_steps{0};
};

bool Edit(CRDPLayer& work)
{
    return work.SetValue(5, 6, 42.0) && work.SetValue(30, 20, -3.0, kImaginary);
}

TEST(SaveLayerOver, AWorkingCopyInItsOwnFileSavesWhatOneInMemorySaves)
{
    struct Size {
        int width, height;
        bool allTypes;
    };
    // Small, past the size from which samples go file to file, and past one 64 MiB piece.
    for (const Size size : {Size{37, 29, true}, Size{191, 173, true}, Size{4100, 4099, false}})
        for (int type = 1; type <= 16; ++type) {
            if (!size.allTypes && type != int(DataType::F32)) continue;
            SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height) + " " +
                         typeInfo(type).name);
            TempDir dir;
            const std::string in = dir.File("in.rdp"), inMemory = dir.File("a.rdp"),
                              inFile = dir.File("b.rdp");
            ASSERT_TRUE(WriteDigestInput(in, type, size.width, size.height));
            std::filesystem::copy_file(in, inMemory);
            std::filesystem::copy_file(in, inFile);

            CRDPLayer memory, own;
            ASSERT_TRUE(memory.OpenLayer(in.c_str(), kOpenReadOnly));
            ASSERT_TRUE(MakeWorkingCopy(own, in));
            ASSERT_TRUE(Edit(memory));
            ASSERT_TRUE(Edit(own));
            EXPECT_EQ(SaveLayerOver(memory, inMemory.c_str(), inMemory.c_str(), nullptr), SaveOutcome::kDone);
            EXPECT_EQ(SaveLayerOver(own, inFile.c_str(), inFile.c_str(), nullptr), SaveOutcome::kDone);
            own.DestroyLayer();
            EXPECT_TRUE(ReadWholeFile(inMemory) == ReadWholeFile(inFile)) << "the saved files differ";
            // Saved again, now with the statistics of the first save in the working copy.
            CRDPLayer again;
            ASSERT_TRUE(MakeWorkingCopy(again, inFile));
            ASSERT_TRUE(Edit(again));
            const std::string first = ReadWholeFile(inFile);
            EXPECT_EQ(SaveLayerOver(again, inFile.c_str(), inFile.c_str(), nullptr), SaveOutcome::kDone);
            again.DestroyLayer();
            EXPECT_TRUE(ReadWholeFile(inFile) == first) << "a second save differs";
        }
}

TEST(SaveLayerOver, AStopOrAFailureOfTheStatisticsLeavesTheFileAsItWas)
{
    struct Case {
        const char* name;
        bool stop;
        SaveOutcome outcome;
    };
    for (const Case c :
         {Case{"stop", true, SaveOutcome::kCancelled}, Case{"failure", false, SaveOutcome::kFailed}})
        for (const int reports : {1, 40}) {
            SCOPED_TRACE(std::string(c.name) + " at report " + std::to_string(reports));
            TempDir dir;
            const std::string file = dir.File("user.rdp");
            ASSERT_TRUE(WriteDigestInput(file, int(DataType::F32), 1024, 1031));
            const std::string before = ReadWholeFile(file);
            CRDPLayer work;
            ASSERT_TRUE(MakeWorkingCopy(work, file));
            ASSERT_TRUE(Edit(work));
            FailingMeter meter(c.stop ? -1 : reports);
            if (c.stop) meter.StopAtReport(reports);
            EXPECT_EQ(SaveLayerOver(work, file.c_str(), file.c_str(), &meter), c.outcome);
            if (!c.stop) {
                EXPECT_EQ(::GetLastError(), ERROR_OPERATION_ABORTED);
            }
            work.DestroyLayer();
            EXPECT_TRUE(ReadWholeFile(file) == before) << "the file changed";
            std::size_t names = 0;
            for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
                ++names;
            EXPECT_EQ(names, 1u) << "something was left beside the file";
        }
}

}  // namespace
