// Every byte the texture jobs write, pinned by recorded digests: how a job creates, fills,
// closes and tags its output may change for speed, what it writes may not.

#include <string>

#include <gtest/gtest.h>

#include "modules/texture/texture_job.h"
#include "modules/texture/texture_kernels.h"
#include "tests/support/output_bytes.h"
#include "tests/support/recording_meter.h"

namespace {

using namespace tarvenix::test;

const RecordedOutput kRecorded[] = {
#include "tests/modules/texture/job_output_bytes.inc"
};

void RunTexture(const std::string& in, const std::string& out, int dimensionality, int statistic)
{
    auto* r = new STextureParam;
    r->input = in.c_str();
    r->output = out.c_str();
    r->statistic = statistic;
    r->statisticName = "statistic";
    r->window = 5;
    RecordingMeter meter;
    (dimensionality == 0 ? Texture_Analis_First : Texture_Analis_Second)(r, &meter);
}

TEST(TextureJobOutputBytes, EveryJobWritesOnEveryTypeWhatItWroteBefore)
{
    const std::vector<OutputCase> cases = {
        {"mean-5", RealSampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             RunTexture(in, out, 0, kFirstMean);
         }},
        {"glcm-contrast-5", RealSampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             RunTexture(in, out, 1, kGlcmContrast);
         }},
    };
    ExpectOutputsAsRecorded(cases, kRecorded, std::size(kRecorded));
}

}  // namespace
