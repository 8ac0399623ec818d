// Every byte the interferometry module's jobs write, pinned by recorded digests: how a job
// creates, fills, closes and tags its output may change for speed, what it writes may not.

#include <string>

#include <gtest/gtest.h>

#include "modules/interferometry/coherence_job.h"
#include "modules/interferometry/complex_operation_job.h"
#include "modules/interferometry/phase_filter_job.h"
#include "modules/interferometry/phase_unwrap_job.h"
#include "modules/interferometry/spectrum_job.h"
#include "tests/support/output_bytes.h"
#include "tests/support/recording_meter.h"

namespace {

using namespace tarvenix::test;

const RecordedOutput kRecorded[] = {
#include "tests/modules/interferometry/job_output_bytes.inc"
};

bool ComplexFloat(int type)
{
    return type == int(DataType::C64) || type == int(DataType::C128);
}

/// The spectrum of `in` (quadrants swapped) written to `out`.
void Spectrum(const std::string& in, const std::string& out)
{
    auto* r = new SSpectrParam;
    r->input = in.c_str();
    r->output = out.c_str();
    RecordingMeter meter;
    Calc_Spectr(r, &meter);
}

TEST(FringeJobOutputBytes, EveryJobWritesOnEveryTypeWhatItWroteBefore)
{
    const std::vector<OutputCase> cases = {
        {"coherence-5", ComplexSampleType,
         [](const std::string& in, const std::string& out, const std::string& dir) {
             const std::string second = dir + "/second.rdp";
             CRDPLayer first;
             ASSERT_TRUE(first.OpenLayer(in.c_str(), kOpenReadOnly));
             ASSERT_TRUE(WriteDigestInput(second, first.Type(), first.Width(), first.Height(), 2));
             RecordingMeter meter;
             CalcCoher(new SCoherParam{in.c_str(), second.c_str(), out.c_str(), 5, "coherence"}, &meter);
         }},
        {"complex-multiply", ComplexFloat,
         [](const std::string& in, const std::string& out, const std::string& dir) {
             const std::string second = dir + "/second.rdp";
             CRDPLayer first;
             ASSERT_TRUE(first.OpenLayer(in.c_str(), kOpenReadOnly));
             ASSERT_TRUE(WriteDigestInput(second, first.Type(), first.Width(), first.Height(), 3));
             auto* r = new SComplexOperationParam;
             r->input1 = in.c_str();
             r->input2 = second.c_str();
             r->output = out.c_str();
             r->operation = 2;
             RecordingMeter meter;
             Complex_Operation(r, &meter);
         }},
        {"phase-filter-5", [](int type) { return IsPhaseFilterInput(type); },
         [](const std::string& in, const std::string& out, const std::string&) {
             RecordingMeter meter;
             Filtration_Phase(new SPhaseFiltrParam{in.c_str(), out.c_str(), 0, 5, "phase"}, &meter);
         }},
        {"unwrap", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             RecordingMeter meter;
             FazeUnwrap_F32C64(new SPhaseUnwrapParam{in.c_str(), out.c_str(), "", 0, ""}, &meter);
         }},
        {"spectrum", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) { Spectrum(in, out); }},
        {"restore", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string& dir) {
             const std::string spectrum = dir + "/spectrum.rdp";
             Spectrum(in, spectrum);
             auto* r = new SSpectrParam;
             r->input = spectrum.c_str();
             r->output = out.c_str();
             r->mode = 1;
             RecordingMeter meter;
             Restore_From_Spectr(r, &meter);
         }},
        {"derivative-x", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             auto* r = new SDiffParam;
             r->input = in.c_str();
             r->output = out.c_str();
             RecordingMeter meter;
             Calc_Diff(r, &meter);
         }},
    };
    ExpectOutputsAsRecorded(cases, kRecorded, std::size(kRecorded));
}

}  // namespace
