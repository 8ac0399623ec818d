#pragma once

// The cache files of the raster view's display pyramids. A cache file holds a 1048-byte
// header (stretch method, display range, the source's 32-bit modification time, the display
// histogram), the pyramid, a checksum of every tile of the pyramid (8 bytes each, in the
// pyramid's tile order), and a trailer that ties it to one state of one source: the
// source's size, full modification time and path, the layer's width, height and type, the
// display mode, and a checksum of the header and the tile checksums. Only a file of this
// user whose trailer matches and whose header and tile checksums have that checksum is
// reused, and each of its tiles only once it matches its own checksum (checked when it is
// first read, so that a reopening view does not read the whole file); a new one becomes
// visible only when its build has completed (it is written through the platform's atomic
// writer).

#include <array>
#include <cstdint>
#include <string>

#include "platform/types.h"

class CMemoryMap;

/// Bytes before the pyramid: method, low, high, time, then 256 histogram counters.
inline constexpr std::int64_t kCacheHeaderBytes = 1048;
/// Bytes of the trailer after the pyramid.
inline constexpr std::int64_t kCacheTrailerBytes = 64;

/// What ties a cache file to its source.
struct RasterCacheKey {
    std::string sourcePath;  ///< as given; hashed in its absolute, normal form
    int width = 0;
    int height = 0;
    int type = 0;
    int mode = 0;
};

/// The header fields of a cache file.
struct RasterCacheHeader {
    std::int32_t stretchMethod = 0;
    double low = 0.0;
    double high = 0.0;
    std::uint32_t sourceTime = 0;
};

/// The folder for cache files that cannot lie beside their source: the "TempDir" setting,
/// or the user's own cache folder when it is empty (never a folder others can write to
/// unless the user chose it). Empty when there is none.
std::string RasterCacheTempFolder();
/// The cache names of a source in the order they are tried: beside the source (its name
/// with the extension of the mode), then in `tempFolder` with a hash of the full source
/// path in the name, so that same-named sources of different folders never share one.
std::array<std::string, 2> RasterCacheNames(const RasterCacheKey& key, const std::string& tempFolder);
/// Total bytes of a cache file of a width x height layer.
std::int64_t RasterCacheFileBytes(int width, int height);
/// Offset in a cache file of a width x height layer of its tile checksums.
std::int64_t RasterCacheTileSumsOffset(int width, int height);
/// Whether tile `index` of the pyramid of the cache file mapped at `file` (whole, of a
/// width x height layer, opened by OpenRasterCache) holds the `bytes` bytes at `tile` that
/// its checksum was made of.
bool RasterCacheTileIntact(const BYTE* file, int width, int height, std::int64_t index, const BYTE* tile,
                           std::int64_t bytes);

/// Maps `cachePath` into `map` (read-only) when it is a complete cache of the source's
/// current state: a regular file of this user, of the right size, with a matching trailer
/// and checksum. `header` and `histogram` (may be null) get the header's fields and its 256
/// counters. False, with `map` closed, for anything else.
bool OpenRasterCache(const std::string& cachePath, const RasterCacheKey& key, CMemoryMap* map,
                     RasterCacheHeader* header, std::uint32_t* histogram);
/// As OpenRasterCache, for the header only.
bool ReadRasterCache(const std::string& cachePath, const RasterCacheKey& key, RasterCacheHeader* header,
                     std::uint32_t* histogram);
/// Writes the header, the tile checksums and the trailer of a built cache mapped at `file`
/// (the whole file, RasterCacheFileBytes long); the histogram is already in place. False
/// when the source can no longer be examined.
bool StampRasterCache(BYTE* file, const RasterCacheKey& key, const RasterCacheHeader& header);
/// The header of the cache a view of `sourcePath` in display mode `mode` would reuse now
/// (the stored stretch of the file); false when there is none.
bool FindRasterCacheStretch(const std::string& sourcePath, int mode, RasterCacheHeader* header);
