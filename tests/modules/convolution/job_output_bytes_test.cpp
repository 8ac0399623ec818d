// Every byte the convolution module's jobs write, pinned by recorded digests: how a job
// creates, fills, closes and tags its output may change for speed, what it writes may not.

#include <string>

#include <gtest/gtest.h>

#include "modules/convolution/derivative_job.h"
#include "modules/convolution/kernel_job.h"
#include "modules/convolution/noise_filter_job.h"
#include "tests/modules/convolution/conv_test_support.h"
#include "tests/support/output_bytes.h"

namespace {

using namespace tarvenix::test;

const RecordedOutput kRecorded[] = {
#include "tests/modules/convolution/job_output_bytes.inc"
};

TEST(ConvolutionJobOutputBytes, EveryJobWritesOnEveryTypeWhatItWroteBefore)
{
    const std::vector<OutputCase> cases = {
        {"lee-5", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             auto* r = new SFiltrParams;
             r->input = in.c_str();
             r->output = out.c_str();
             r->filter = kFilterLee;
             r->window = 5;
             r->sigma = 1.2826f;
             RecordingMeter meter;
             CalcFiltration(r, &meter);
         }},
        {"derivative-gradient", RealSampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             auto* r = new SGradientParams;
             r->input = in.c_str();
             r->output = out.c_str();
             r->kind = kDerivGradient;
             RecordingMeter meter;
             CalcDerivativeJob(r, &meter);
         }},
        {"kernel-3x3", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string& dir) {
             const std::string mask = dir + "/mask.rdp";
             ASSERT_TRUE(convtest::WriteMask(mask, 3, 3, {1, 2, 1, 0, 0, 0, -1, -2, -1}));
             auto* r = new KernelJobParams;
             r->inputPath = in.c_str();
             r->outputPath = out.c_str();
             r->maskCaption = "edges";
             r->maskPath = mask.c_str();
             RecordingMeter meter;
             KernelJob(r, &meter);
         }},
    };
    ExpectOutputsAsRecorded(cases, kRecorded, std::size(kRecorded));
}

}  // namespace
