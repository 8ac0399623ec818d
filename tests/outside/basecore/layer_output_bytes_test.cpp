// Every byte the layer writer puts in a file, pinned by recorded digests for each way a layer
// is written: created and closed (statistics, then tags set on the closed file), created with
// tags set while open, changed in place, and given a second layer.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/output_bytes.h"

namespace {

using namespace tarvenix::test;

const RecordedOutput kRecorded[] = {
#include "tests/outside/basecore/layer_output_bytes.inc"
};

void Copy(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

TEST(LayerOutputBytes, EveryWayOfWritingALayerWritesWhatItWroteBefore)
{
    const std::vector<OutputCase> cases = {
        {"created-then-tagged", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) { Copy(in, out); }},
        {"tagged-while-open", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             CRDPLayer source, layer;
             ASSERT_TRUE(source.OpenLayer(in.c_str(), kOpenReadOnly));
             ASSERT_TRUE(layer.CreateLayer(out.c_str(), source.Width(), source.Height(), source.Type()));
             ASSERT_TRUE(layer.ReadData(&source, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1)));
             ASSERT_TRUE(CopyTag(&layer, &source));
             const char note[] = "a note";
             ASSERT_TRUE(layer.SetTag(700, sizeof note, note));
             ASSERT_TRUE(layer.CloseLayer());
         }},
        {"changed-in-place", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             Copy(in, out);
             CRDPLayer layer;
             ASSERT_TRUE(layer.OpenLayer(out.c_str(), kOpenWritable));
             ASSERT_TRUE(layer.SetValue(3, 4, 17.0));
             ASSERT_TRUE(layer.StatisticCountRect(nullptr));
             ASSERT_TRUE(layer.DeleteTag(TAG_DESCRIPTION));
             ASSERT_TRUE(layer.CloseLayer());
         }},
        {"second-layer", AnySampleType,
         [](const std::string& in, const std::string& out, const std::string&) {
             Copy(in, out);
             CRDPLayer source, layer;
             ASSERT_TRUE(source.OpenLayer(in.c_str(), kOpenReadOnly));
             ASSERT_TRUE(layer.AddLayer(out.c_str(), source.Width(), source.Height(), source.Type()));
             ASSERT_TRUE(layer.ReadData(&source, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1)));
             ASSERT_TRUE(layer.CloseLayer());
         }},
    };
    ExpectOutputsAsRecorded(cases, kRecorded, std::size(kRecorded));
}

}  // namespace
