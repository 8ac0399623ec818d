// Every byte a viewer's save writes, pinned by recorded digests: the working copy's samples,
// fresh statistics and the file's tags, on every sample type.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "viewer/frame/frame_save.h"
#include "tests/support/output_bytes.h"

namespace {

using namespace tarvenix::test;

const RecordedOutput kRecorded[] = {
#include "tests/viewer/frame/save_output_bytes.inc"
};

TEST(SaveOutputBytes, ASaveWritesOnEveryTypeWhatItWroteBefore)
{
    const std::vector<OutputCase> cases = {
        {"save", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             std::filesystem::copy_file(in, out);
             CRDPLayer work;
             ASSERT_TRUE(work.OpenLayer(in.c_str(), kOpenReadOnly));
             ASSERT_TRUE(work.SetValue(5, 6, 42.0));
             ASSERT_TRUE(work.SetValue(30, 20, -3.0, kImaginary));
             EXPECT_EQ(SaveLayerOver(work, out.c_str(), out.c_str(), nullptr), SaveOutcome::kDone);
         }},
    };
    ExpectOutputsAsRecorded(cases, kRecorded, std::size(kRecorded));
}

}  // namespace
