// A save of a working copy kept in a file of its own: its samples go to the new version while
// the statistics pass runs, and a stopped save leaves the user's file as it was.

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/layer_files.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "platform/kernel/atomic_file.h"
#include "viewer/frame/frame_save.h"

namespace {

using namespace tarvenix::test;

constexpr int kNoteTag = 600;
const char kNote[] = "scene of the pass";

/// A file of `type` with a tag of its own, and a working copy of it made as a viewer makes it
/// (a new layer in the temporary folder, written through its mapping), with one sample changed.
/// Large enough that the samples go file to file.
void MakeFileAndWorkingCopy(const std::string& file, int type, CRDPLayer& work)
{
    const int width = 173, height = 121;
    const size_t parts = isComplexType(type) ? 2 : 1;
    std::vector<double> values(size_t(width) * height * parts);
    for (size_t i = 0; i < values.size(); ++i) values[i] = double((i * 37) % 1000) - 400.0;
    ASSERT_TRUE(WriteLayer(file, width, height, type, values));
    ASSERT_TRUE(SetTag(file.c_str(), kNoteTag, sizeof kNote, kNote));
    CRDPLayer source;
    ASSERT_TRUE(source.OpenLayer(file.c_str(), kOpenReadOnly));
    ASSERT_TRUE(work.CreateLayerTempName(width, height, type));
    ASSERT_TRUE(work.ReadData(&source, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1)));
    ASSERT_TRUE(work.SetValue(7, 9, 5000.0));
}

/// Rewrites `file` without the part statistics of its complex layer, as files from before
/// they were kept are: a save must then add a block to the layer.
void DropPartStatistics(const std::string& file)
{
    CMemoryMap map;
    ASSERT_TRUE(map.Open(file.c_str(), CMemoryMap::kReadOnly));
    layerfile::FileIndex index(layerfile::FileView{map.AdresData(), std::int64_t(map.Size())});
    std::vector<layerfile::LayerOut> layers;
    std::string detail;
    ASSERT_EQ(layerfile::DescribeFile(index, &layers, &detail), 0u) << detail;
    ASSERT_EQ(std::erase_if(layers[0].blocks,
                            [](const layerfile::BlockOut& b) { return b.key == TAG_PART_STATISTICS; }),
              1u);
    platform::AtomicFile out;
    ASSERT_TRUE(out.Create(file.c_str()));
    ASSERT_EQ(layerfile::WriteFile(out, layers, nullptr), 0u);
    map.Close();
    ASSERT_TRUE(out.Commit());
}

std::string TagBytes(const CRDPLayer& layer, int key)
{
    const void* tag = layer.GetTag(key);
    const int size = layer.GetSizeTag(key);
    return tag && size > 0 ? std::string(static_cast<const char*>(tag), size_t(size)) : std::string();
}

TEST(FrameSave, AWorkingCopyInItsOwnFileIsSavedWithItsSamplesStatisticsAndTags)
{
    for (const int type : {int(DataType::F32), int(DataType::C64), int(DataType::S16)}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const std::string file = dir.File("scene.rdp");
        CRDPLayer work;
        MakeFileAndWorkingCopy(file, type, work);
        if (HasFatalFailure()) return;
        ASSERT_EQ(SaveLayerOver(work, file.c_str(), file.c_str(), nullptr), SaveOutcome::kDone);

        CRDPLayer saved;
        ASSERT_TRUE(saved.OpenLayer(file.c_str(), kOpenReadOnly));
        const size_t bytes = size_t(work.Width()) * work.Height() * elementBytes(type);
        ASSERT_EQ(saved.Width(), work.Width());
        EXPECT_EQ(std::memcmp(saved.GetDataPtr(), work.GetDataPtr(), bytes), 0);
        EXPECT_EQ(TagBytes(saved, kNoteTag), std::string(kNote, sizeof kNote));
        // The stored statistics are those of the samples saved, the edit included.
        std::vector<std::string> stored;
        for (int key : {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS})
            stored.push_back(TagBytes(saved, key));
        EXPECT_FALSE(stored[0].empty());
        EXPECT_EQ(!stored[1].empty() && !stored[2].empty(), isComplexType(type));
        EXPECT_EQ(isComplexType(type) ? saved.reMax() : saved.Max(), 5000.0);
        ASSERT_TRUE(saved.StatisticCountRect(nullptr));
        int k = 0;
        for (int key : {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS})
            EXPECT_EQ(TagBytes(saved, key), stored[size_t(k++)]) << "statistics tag " << key;
        work.DestroyLayer();
    }
}

TEST(FrameSave, AComplexLayerSavedWithoutPartStatisticsGainsThem)
{
    TempDir dir;
    const std::string file = dir.File("old.rdp");
    CRDPLayer scratch;
    MakeFileAndWorkingCopy(file, int(DataType::C64), scratch);
    if (HasFatalFailure()) return;
    scratch.DestroyLayer();
    DropPartStatistics(file);
    if (HasFatalFailure()) return;
    std::vector<double> values = ReadLayer(file);
    values[2 * (9 * 173 + 7)] = 5000.0;

    // The working copy here is the file's own mapping, as a viewer edits a small layer.
    CRDPLayer work;
    ASSERT_TRUE(work.OpenLayer(file.c_str(), kOpenReadOnly));
    ASSERT_EQ(work.GetTag(TAG_PART_STATISTICS), nullptr);
    ASSERT_TRUE(work.SetValue(7, 9, 5000.0));
    ASSERT_EQ(SaveLayerOver(work, file.c_str(), file.c_str(), nullptr), SaveOutcome::kDone);
    work.CloseLayer();

    EXPECT_EQ(ReadLayer(file), values);
    CRDPLayer saved;
    ASSERT_TRUE(saved.OpenLayer(file.c_str(), kOpenReadOnly));
    EXPECT_EQ(TagBytes(saved, kNoteTag), std::string(kNote, sizeof kNote));
    const std::string parts = TagBytes(saved, TAG_PART_STATISTICS);
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(saved.reMax(), 5000.0);
    ASSERT_TRUE(saved.StatisticCountRect(nullptr));
    EXPECT_EQ(TagBytes(saved, TAG_PART_STATISTICS), parts);
}

TEST(FrameSave, AStoppedSaveLeavesTheFileAsItWasAndNoVersionBeside)
{
    for (const int type : {int(DataType::F32), int(DataType::C64)}) {
        SCOPED_TRACE(type);
        TempDir dir;
        const std::string file = dir.File("scene.rdp");
        CRDPLayer work;
        MakeFileAndWorkingCopy(file, type, work);
        if (HasFatalFailure()) return;
        const std::string before = ReadWholeFile(file);
        RecordingMeter meter;
        meter.StopAtReport(3);
        EXPECT_EQ(SaveLayerOver(work, file.c_str(), file.c_str(), &meter), SaveOutcome::kCancelled);
        EXPECT_TRUE(ReadWholeFile(file) == before) << "the file is byte for byte as it was";
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
        EXPECT_EQ(entries, 1) << "only the file itself is in its folder";
        // The working copy stays whole for a later save.
        EXPECT_EQ(work.GetValue(7, 9), 5000.0);
        work.DestroyLayer();
    }
}

}  // namespace
