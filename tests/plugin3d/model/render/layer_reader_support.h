#pragma once

// Shared pieces of the layer reader's tests: opening a file as the plug-in's callers do,
// reading rows, and the reader's promise about data (inside the file, never past it).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin3d/model/render/k_rdp_file.h"
#include "tests/outside/basecore/independent_layer_writer.h"
#include "tests/outside/basecore/layer_test_support.h"

namespace layerreader {

using layertest::Bytes;

/// Share mode and flags the plug-in's callers open layer files with.
inline constexpr std::uint32_t kShareMode = 3;
inline constexpr std::uint32_t kFlags = 1;

/// Writes a file anew. The old one is removed first: truncating a file in place makes some
/// file systems flush it to disk on close, which makes thousands of rewrites slow.
inline void Rewrite(const std::string& path, const Bytes& bytes)
{
    std::remove(path.c_str());
    layertest::WriteFile(path, bytes);
}

/// A reader opened on path (read-only unless readOnly is 0).
inline TOwned<TKRDPFile> OpenFile(const std::string& path, std::uint32_t readOnly = 1)
{
    TOwned<TKRDPFile> file(TKRDPFile::New(nullptr));
    file->Open(path, kShareMode, kFlags, readOnly);
    return file;
}

/// OpenFile, then every layer accessed (which maps the file).
inline TOwned<TKRDPFile> OpenAndAccess(const std::string& path, std::uint32_t readOnly = 1)
{
    TOwned<TKRDPFile> file = OpenFile(path, readOnly);
    for (int i = 0; i < file->Count(); ++i)
        if (TKLayer* layer = file->GetLayer(i)) layer->BeginAccess();
    return file;
}

/// Row y of layer as doubles (the layer's width of them).
inline std::vector<double> RowAsDoubles(TKLayer& layer, int y)
{
    std::vector<double> row(std::size_t(std::max(layer.Width(), 0)), -12345.0);
    layer.ReadRowAs(y, row.data(), static_cast<int>(row.size()));
    return row;
}

/// True when the last byte of the layer's last element lies inside the mapped view.
inline bool DataInsideView(const TKRDPFile& file, const TKRDPLayer& layer)
{
    if (!layer.Data()) return true;
    const std::int64_t start = layer.Data() - file.ViewBase();
    const std::int64_t partBytes = ElementTypeSize(layer.ElementType());
    const std::int64_t last = start + std::int64_t(layer.Height() - 1) * layer.RowBytes() +
                              std::int64_t(layer.Width() - 1) * layer.ElementSize() + partBytes;
    return start > 0 && layer.Width() > 0 && layer.Height() > 0 && last <= file.FileSize();
}

}  // namespace layerreader
