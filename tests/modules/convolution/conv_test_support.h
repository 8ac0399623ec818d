#pragma once

// Pieces the convolution and derivative tests share: masks and layers made in the test, and
// layer files read back whole.

#include <string>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "tests/modules/convolution/filter_test_support.h"

namespace convtest {

/// A mask file: one layer of x, or two (x then y) when y is given; F64 samples.
inline bool WriteMask(const std::string& path, int width, int height, const std::vector<double>& x,
                      const std::vector<double>& y = {})
{
    if (!filtertest::WriteLayer(path, width, height, int(DataType::F64), x)) return false;
    if (y.empty()) return true;
    CRDPLayer second;
    if (!second.AddLayer(path.c_str(), width, height, int(DataType::F64))) return false;
    for (int r = 0; r < height; ++r)
        if (!second.SetLineFromDouble(r, y.data() + std::size_t(r) * width, width)) return false;
    return second.CloseLayer() != 0;
}

/// Every part of layer 0 as doubles, row after row (complex samples as real, imaginary).
inline std::vector<double> ReadParts(const std::string& path, int* width = nullptr, int* height = nullptr,
                                     int* type = nullptr)
{
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return {};
    const int w = layer.Width(), h = layer.Height(), parts = layer.IsComplex() ? 2 : 1;
    if (width) *width = w;
    if (height) *height = h;
    if (type) *type = layer.Type();
    std::vector<double> v(std::size_t(w) * h * parts);
    for (int y = 0; y < h; ++y) layer.GetDoubleLine(y, v.data() + std::size_t(y) * w * parts, w);
    return v;
}

}  // namespace convtest
