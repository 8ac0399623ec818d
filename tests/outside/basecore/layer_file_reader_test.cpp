// Files written by the layer class, read by a small reader that follows only the plug-in's
// description of the layout (its own element types, offsets and checks), as the 3D
// plug-in's reader will.

#include <gtest/gtest.h>

#include <cstring>

#include "independent_layer_writer.h"
#include "layer_test_support.h"
#include "outside/basecore/rdp_layer.h"
#include "tests/support/test_environment.h"

using namespace layertest;
using tarvenix::test::TempDir;

namespace {

struct ReaderLayer {
    int fileLayer = 0;
    int part = 0;         // 0 real or plain, 1 imaginary
    int elementType = 0;  // the plug-in's element types: 1..6 integers, 9 float 32, 10 float 64
    int elementSize = 0;  // in the row
    int width = 0, height = 0, rowBytes = 0;
    std::int64_t data = -1;  // offset of element (0, 0), -1 without data
};

class PluginStyleReader {
public:
    explicit PluginStyleReader(Bytes file) : m_f(std::move(file)) {}

    bool IsBadFormat() const
    {
        return m_f.size() < 12 || std::memcmp(m_f.data(), "RDPR", 4) != 0 || (I(4) != 2 && I(4) != 3);
    }
    std::int64_t LayerEntry(int n) const
    {
        if (n < 0) return -1;
        if (I(4) == 2) return n == 0 ? 12 : -1;
        std::int64_t e = 12;
        for (int i = 0; i < n; ++i) {
            const std::int64_t next = I(e + 8);
            if (next <= 0 || next >= Size()) return -1;
            e = next;
        }
        const std::int64_t first = I(e + 4);
        return first > 0 && first < Size() ? first : -1;
    }
    std::int64_t LayerBlock(int n, int key) const
    {
        std::int64_t b = LayerEntry(n);
        for (int links = 0; b >= 0; ++links) {
            if (I(b) == key) {
                const std::int64_t payload = I(b + 4);
                return payload > 0 && payload < Size() ? payload : -1;
            }
            if (links == 10000) return -1;
            const std::int64_t next = I(b + 8);
            if (next <= 0 || next >= Size()) return -1;
            b = next;
        }
        return -1;
    }
    int FileLayers() const
    {
        if (I(4) == 2) return 1;
        int count = 1;
        for (std::int64_t e = 12; count < 10000; ++count) {
            const std::int64_t next = I(e + 8);
            if (next <= 0 || next >= Size()) break;
            e = next;
        }
        return count;
    }
    std::vector<ReaderLayer> BuildLayers() const
    {
        static const int kElement[17] = {0, 1, 2, 3, 4, 5, 6, 9, 10, 9, 10, 1, 2, 3, 4, 5, 6};
        static const int kSize[11] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8};
        std::vector<ReaderLayer> objects;
        for (int j = 0; j < FileLayers(); ++j) {
            const std::int64_t d = LayerBlock(j, 0);
            const int code = d >= 0 ? I(d + 12) : 0;
            const bool complex = code >= 9 && code <= 16;
            for (int part = 0; part < (complex ? 2 : 1); ++part) {
                ReaderLayer l;
                l.fileLayer = j;
                l.part = part;
                if (d >= 0) {
                    l.elementType = code >= 1 && code <= 16 ? kElement[code] : 0;
                    l.width = I(d + 4);
                    l.height = I(d + 8);
                    l.elementSize = kSize[l.elementType] * (complex ? 2 : 1);
                    l.rowBytes = l.elementSize * l.width;
                    const std::int64_t data = LayerBlock(j, 1);
                    if (data >= 0 && data + 4 + std::uint32_t(I(data)) < Size())
                        l.data = data + 4 + part * kSize[l.elementType];
                }
                objects.push_back(l);
            }
        }
        return objects;
    }
    /// A value of type T at p, whatever p's alignment.
    template <class T>
    static double Load(const std::uint8_t* p)
    {
        T v;
        std::memcpy(&v, p, sizeof v);
        return double(v);
    }
    /// Element (x, y) read as a double by its element type.
    double Element(const ReaderLayer& l, int x, int y) const
    {
        const std::uint8_t* p =
            m_f.data() + l.data + std::int64_t(y) * l.rowBytes + std::int64_t(x) * l.elementSize;
        switch (l.elementType) {
            case 1:
                return *p;
            case 2:
                return std::int8_t(*p);
            case 3:
                return Load<std::uint16_t>(p);
            case 4:
                return Load<std::int16_t>(p);
            case 5:
                return Load<std::uint32_t>(p);
            case 6:
                return Load<std::int32_t>(p);
            case 9:
                return Load<float>(p);
            case 10:
                return Load<double>(p);
            default:
                return 0;
        }
    }

private:
    std::int64_t Size() const { return std::int64_t(m_f.size()); }
    std::int32_t I(std::int64_t at) const { return at >= 0 && at + 4 <= Size() ? Get32(m_f, size_t(at)) : 0; }
    Bytes m_f;
};

}  // namespace

TEST(LayerFileReader, FilesOfTheLayerClassReadAsThePluginReadsThem)
{
    TempDir dir;
    const std::string path = dir.File("scene.rdp");
    const struct {
        int w, h, code, elementType, elementSize;
    } layers[] = {{5, 3, 7, 9, 4}, {4, 2, 10, 10, 16}, {3, 3, 14, 4, 4}, {6, 1, 12, 2, 2}, {2, 2, 1, 1, 1}};
    for (const auto& l : layers) {
        CRDPLayer out;
        ASSERT_NE(out.AddLayer(path.c_str(), l.w, l.h, l.code), nullptr);
        for (int y = 0; y < l.h; ++y)
            for (int x = 0; x < l.w; ++x) {
                out.SetValue(x, y, x + 10.0 * y, kReal);
                if (l.code >= 9) out.SetValue(x, y, -(x + 1.0), kImaginary);
            }
        ASSERT_TRUE(out.CloseLayer());
    }
    PluginStyleReader reader(ReadFile(path));
    ASSERT_FALSE(reader.IsBadFormat());
    ASSERT_EQ(reader.FileLayers(), 5);
    const std::vector<ReaderLayer> objects = reader.BuildLayers();
    ASSERT_EQ(objects.size(), 8u) << "one object per layer and one more per complex layer";
    size_t k = 0;
    for (int j = 0; j < 5; ++j) {
        const auto& want = layers[j];
        const bool complex = want.code >= 9;
        for (int part = 0; part < (complex ? 2 : 1); ++part, ++k) {
            SCOPED_TRACE("layer " + std::to_string(j) + " part " + std::to_string(part));
            const ReaderLayer& l = objects[k];
            EXPECT_EQ(l.elementType, want.elementType);
            EXPECT_EQ(l.elementSize, want.elementSize);
            EXPECT_EQ(l.width, want.w);
            EXPECT_EQ(l.height, want.h);
            EXPECT_EQ(l.rowBytes, want.elementSize * want.w);
            ASSERT_GE(l.data, 0) << "the samples are followed by more of the file";
            for (int y = 0; y < want.h; ++y)
                for (int x = 0; x < want.w; ++x)
                    EXPECT_EQ(reader.Element(l, x, y), part ? -(x + 1.0) : x + 10.0 * y);
        }
    }
}

TEST(LayerFileReader, TheIndependentWriterAndTheLibraryAgreeWithThePluginReader)
{
    // Both test-only pieces follow the layout alone; the library must read what they agree on.
    TempDir dir;
    const std::string path = dir.File("foreign.rdp");
    ForeignLayer a{3, 2, 4, Bytes{1, 0, 0xFF, 0xFF, 3, 0, 4, 0, 5, 0, 0xFE, 0xFF}, {{600, Bytes{'x', 0}}}};
    ForeignLayer b{2, 1, 13, Bytes{7, 0, 8, 0, 9, 0, 10, 0}, {}};
    const std::vector<double> expected[2] = {{1, -1, 3, 4, 5, -2},
                                             {7, 8, 9, 10}};  // part 0, then part 1 of b
    for (unsigned seed : {1u, 2u, 3u}) {
        for (int gap : {0, 9}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " gap " + std::to_string(gap));
            const Bytes file = WriteForeignFile({a, b}, {seed, 3, true, true, gap});
            WriteFile(path, file);
            PluginStyleReader reader(file);
            ASSERT_FALSE(reader.IsBadFormat());
            ASSERT_EQ(reader.FileLayers(), 2);
            ASSERT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 2);
            const std::vector<ReaderLayer> objects = reader.BuildLayers();
            ASSERT_EQ(objects.size(), 3u);
            for (const ReaderLayer& l : objects) {
                ASSERT_GE(l.data, 0);
                CRDPLayer layer;
                ASSERT_NE(layer.OpenLayerEx(path.c_str(), kOpenReadOnly, l.fileLayer), nullptr)
                    << GetLastLayerError().c_str();
                for (int y = 0; y < l.height; ++y)
                    for (int x = 0; x < l.width; ++x) {
                        const double v = reader.Element(l, x, y);
                        EXPECT_EQ(layer.GetValue(x, y, l.part ? kImaginary : kReal), v);
                        const size_t k = l.fileLayer == 0 ? size_t(y * l.width + x) : size_t(2 * x + l.part);
                        EXPECT_EQ(v, expected[l.fileLayer][k]);
                    }
            }
        }
    }
}
