#pragma once

// Layer files for tests: written from doubles and read back as doubles, row after row;
// complex samples are (real, imaginary) pairs.

#include <cstddef>
#include <string>
#include <vector>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"

namespace tarvenix::test {

/// Writes a one-layer file of `type` and closes it, which stores its statistics.
inline bool WriteLayer(const std::string& path, int width, int height, int type,
                       const std::vector<double>& values)
{
    CRDPLayer layer;
    if (!layer.CreateLayer(path.c_str(), width, height, type)) return false;
    const std::size_t parts = isComplexType(type) ? 2 : 1;
    for (int y = 0; y < height; ++y)
        if (!layer.SetLineFromDouble(y, values.data() + std::size_t(y) * width * parts, width)) return false;
    return layer.CloseLayer() != 0;
}

/// Every sample of layer 0; empty when the file cannot be opened.
inline std::vector<double> ReadLayer(const std::string& path, int* width = nullptr, int* height = nullptr,
                                     int* type = nullptr)
{
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return {};
    if (width) *width = layer.Width();
    if (height) *height = layer.Height();
    if (type) *type = layer.Type();
    const std::size_t parts = layer.IsComplex() ? 2 : 1;
    std::vector<double> v(std::size_t(layer.Width()) * layer.Height() * parts);
    for (int y = 0; y < layer.Height(); ++y)
        layer.GetDoubleLine(y, v.data() + std::size_t(y) * layer.Width() * parts, layer.Width());
    return v;
}

}  // namespace tarvenix::test
