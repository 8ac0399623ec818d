// Files of the suite's own writer (the core library's CRDPLayer) read back through the
// plug-in's reader as the values written, for every data type code, in every part.

#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "plugin3d/model/render/k_rdp_file.h"
#include "tests/plugin3d/model/render/layer_reader_support.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::TempDir;

// Parts of a layer: the limits of the part type first, then random values (finite floats).
template <class P>
std::vector<P> PartValues(std::size_t count, std::mt19937& rng)
{
    using L = std::numeric_limits<P>;
    std::vector<P> values = {L::lowest(), L::max(), P(0), P(1)};
    if constexpr (std::is_floating_point_v<P>) {
        values.push_back(L::denorm_min());
        values.push_back(P(-0.0));
        values.push_back(P(-2.5));
        std::uniform_real_distribution<P> any(P(-1e6), P(1e6));
        while (values.size() < count) values.push_back(any(rng));
    } else {
        std::uniform_int_distribution<long long> any(L::lowest(), L::max());
        while (values.size() < count) values.push_back(P(any(rng)));
    }
    values.resize(count);
    return values;
}

class LayerReaderWriter : public ::testing::TestWithParam<int> {};

TEST_P(LayerReaderWriter, EveryCodeReadsBackAsWritten)
{
    const int code = GetParam();
    TempDir dir;
    const std::string path = dir.File("written.rdp");
    std::mt19937 rng(static_cast<std::uint32_t>(code));
    const int sizes[2][2] = {{7, 3}, {2, 5}};  // two layers, so the second sits behind a list entry
    visitSampleType(DataType(code), [&]<class T>(Tag<T>) {
        using P = PartType<T>;
        const int parts = IsComplex<T> ? 2 : 1;
        std::vector<std::vector<P>> written;
        for (int n = 0; n < 2; ++n) {
            const auto [width, height] = sizes[n];
            written.push_back(PartValues<P>(std::size_t(width * height * parts), rng));
            CRDPLayer layer;
            void** rows = n == 0 ? layer.CreateLayer(path.c_str(), width, height, code)
                                 : layer.AddLayer(path.c_str(), width, height, code);
            ASSERT_NE(rows, nullptr);
            for (int y = 0; y < height; ++y)
                std::memcpy(rows[y], written[n].data() + std::size_t(y) * width * parts,
                            sizeof(P) * width * parts);
            ASSERT_TRUE(layer.CloseLayer());
        }

        const TOwned<TKRDPFile> file = layerreader::OpenAndAccess(path);
        ASSERT_EQ(file->FileLayerCount(), 2);
        ASSERT_EQ(file->Count(), 2 * parts);
        for (int n = 0; n < 2; ++n)
            for (int part = 0; part < parts; ++part) {
                SCOPED_TRACE("layer " + std::to_string(n) + " part " + std::to_string(part));
                TKLayer* layer = file->GetLayer(n * parts + part);
                const auto [width, height] = sizes[n];
                ASSERT_EQ(layer->Width(), width);
                ASSERT_EQ(layer->Height(), height);
                ASSERT_EQ(layer->ElementType(), ElementTypeOf<P>);
                for (int y = 0; y < height; ++y) {
                    std::vector<P> own(static_cast<std::size_t>(width));
                    std::vector<double> doubles(static_cast<std::size_t>(width));
                    layer->ReadRowAs(y, own.data(), width);
                    layer->ReadRowAs(y, doubles.data(), width);
                    for (int x = 0; x < width; ++x) {
                        const P want = written[n][(std::size_t(y) * width + x) * parts + part];
                        ASSERT_EQ(0, std::memcmp(&own[x], &want, sizeof(P))) << x << ", " << y;
                        ASSERT_EQ(doubles[x], double(want)) << x << ", " << y;
                    }
                }
            }
    });
}

INSTANTIATE_TEST_SUITE_P(AllCodes, LayerReaderWriter, ::testing::Range(1, 17),
                         [](const auto& info) { return std::string(typeInfo(info.param).name); });

}  // namespace
