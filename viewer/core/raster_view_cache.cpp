#include "viewer/core/raster_view_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/memory_map.h"
#include "outside/basecore/row_driver.h"
#include "outside/basecore/settings.h"
#include "platform/kernel/user_cache_folder.h"
#include "viewer/core/tile_pyramid_storage.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

// A file of an earlier layout has another magic: it is built again, never read as this one.
constexpr char kTrailerMagic[8] = {'T', 'V', 'X', 'P', 'Y', 'R', '3', 0};
constexpr int kTrailerChecksum = 56;  // the checksum's place in the trailer

struct SourceStamp {
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
};

bool StatSource(const std::string& path, SourceStamp* stamp)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp->size = std::uint64_t(st.st_size);
    stamp->seconds = std::int64_t(st.st_mtim.tv_sec);
    stamp->nanoseconds = std::int64_t(st.st_mtim.tv_nsec);
    return true;
}

std::string FullPath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::uint64_t PathHash(const std::string& path)
{
    std::uint64_t h = 1469598103934665603ULL;  // FNV-1a
    for (unsigned char c : FullPath(path)) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

void Put32(BYTE* at, std::int32_t v)
{
    std::memcpy(at, &v, 4);
}
void Put64(BYTE* at, std::int64_t v)
{
    std::memcpy(at, &v, 8);
}

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ULL;

std::uint64_t Rotl(std::uint64_t v, int r)
{
    return (v << r) | (v >> (64 - r));
}

std::uint64_t Load64(const BYTE* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

/// A 64-bit hash of one run of bytes: four lanes of multiply and rotate over 32-byte
/// blocks, so that it runs at memory speed and any changed byte changes it.
std::uint64_t HashRun(const BYTE* p, std::int64_t n, std::uint64_t seed)
{
    const std::int64_t total = n;
    std::uint64_t lane[4] = {seed + kPrime1 + kPrime2, seed + kPrime2, seed, seed - kPrime1};
    for (; n >= 32; p += 32, n -= 32)
        for (int i = 0; i < 4; ++i) lane[i] = Rotl(lane[i] + Load64(p + 8 * i) * kPrime2, 31) * kPrime1;
    std::uint64_t h = Rotl(lane[0], 1) + Rotl(lane[1], 7) + Rotl(lane[2], 12) + Rotl(lane[3], 18);
    h += std::uint64_t(total);
    for (; n >= 8; p += 8, n -= 8)
        h = Rotl(h ^ (Rotl(Load64(p) * kPrime2, 31) * kPrime1), 27) * kPrime1 + kPrime3;
    for (; n > 0; ++p, --n) h = Rotl(h ^ (std::uint64_t(*p) * kPrime3), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    return h ^ (h >> 32);
}

std::uint64_t TileSum(const BYTE* tile, std::int64_t bytes, std::int64_t index)
{
    // The index seeds the sum, so that tiles of the same size that changed places fail too.
    return HashRun(tile, bytes, std::uint64_t(index));
}

/// The checksum the trailer keeps: of the header and of the tile checksums.
std::uint64_t ContentChecksum(const BYTE* file, int width, int height)
{
    const std::int64_t sums = RasterCacheTileSumsOffset(width, height);
    const std::uint64_t parts[2] = {HashRun(file, kCacheHeaderBytes, 0),
                                    HashRun(file + sums, PyramidTileCount(width, height) * 8, 1)};
    return HashRun(reinterpret_cast<const BYTE*>(parts), sizeof parts, 2);
}

void MakeTrailer(BYTE* out, const RasterCacheKey& key, const SourceStamp& stamp)
{
    std::memcpy(out, kTrailerMagic, 8);
    Put64(out + 8, std::int64_t(stamp.size));
    Put64(out + 16, stamp.seconds);
    Put64(out + 24, stamp.nanoseconds);
    Put64(out + 32, std::int64_t(PathHash(key.sourcePath)));
    Put32(out + 40, key.width);
    Put32(out + 44, key.height);
    Put32(out + 48, key.type);
    Put32(out + 52, key.mode);
}

}  // namespace

std::string RasterCacheTempFolder()
{
    const CString setting = GetStringValue("\\Settings\\General", "TempDir");
    std::string folder = setting.IsEmpty() ? platform::UserCacheFolder().str() : setting.str();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::array<std::string, 2> RasterCacheNames(const RasterCacheKey& key, const std::string& tempFolder)
{
    const std::filesystem::path source(key.sourcePath);
    const std::string ext = "." + FormTmpExt(key.mode, 0).str();
    std::filesystem::path beside = source;
    beside.replace_extension(ext);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(PathHash(key.sourcePath)));
    // Without a folder of its own a cache can only lie beside its source.
    const std::string inTemp =
        tempFolder.empty()
            ? beside.string()
            : (std::filesystem::path(tempFolder) / (source.stem().string() + "-" + hash + ext)).string();
    return {beside.string(), inTemp};
}

std::int64_t RasterCacheTileSumsOffset(int width, int height)
{
    return kCacheHeaderBytes + GetViewerTempSize(width, height);
}

std::int64_t RasterCacheFileBytes(int width, int height)
{
    return RasterCacheTileSumsOffset(width, height) + PyramidTileCount(width, height) * 8 +
           kCacheTrailerBytes;
}

bool RasterCacheTileIntact(const BYTE* file, int width, int height, std::int64_t index, const BYTE* tile,
                           std::int64_t bytes)
{
    if (!file || !tile || index < 0 || index >= PyramidTileCount(width, height)) return false;
    const std::uint64_t stored = Load64(file + RasterCacheTileSumsOffset(width, height) + index * 8);
    return stored == TileSum(tile, bytes, index);
}

bool OpenRasterCache(const std::string& cachePath, const RasterCacheKey& key, CMemoryMap* map,
                     RasterCacheHeader* header, std::uint32_t* histogram)
{
    map->Close();
    const std::int64_t pyramidBytes = GetViewerTempSize(key.width, key.height);
    if (pyramidBytes <= 0) return false;
    SourceStamp stamp;
    if (!StatSource(key.sourcePath, &stamp)) return false;
    // Only a file this user wrote is taken: not a link, not another user's file that was
    // put in a shared folder under the name.
    struct stat st {};
    if (::lstat(cachePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        std::int64_t(st.st_size) != RasterCacheFileBytes(key.width, key.height))
        return false;
    if (!map->Open(cachePath.c_str(), CMemoryMap::kReadOnly) ||
        std::int64_t(map->Size()) != RasterCacheFileBytes(key.width, key.height)) {
        map->Close();
        return false;
    }
    const BYTE* file = map->AdresData();
    const std::int64_t content = RasterCacheFileBytes(key.width, key.height) - kCacheTrailerBytes;
    BYTE expected[kCacheTrailerBytes];
    MakeTrailer(expected, key, stamp);
    // The trailer's own fields first: a file of another layer never has its sums taken.
    if (std::memcmp(file + content, expected, kTrailerChecksum) != 0) {
        map->Close();
        return false;
    }
    Put64(expected + kTrailerChecksum, std::int64_t(ContentChecksum(file, key.width, key.height)));
    if (std::memcmp(file + content, expected, kCacheTrailerBytes) != 0) {
        map->Close();
        return false;
    }
    if (header) {
        std::memcpy(&header->stretchMethod, file, 4);
        std::memcpy(&header->low, file + 4, 8);
        std::memcpy(&header->high, file + 12, 8);
        std::memcpy(&header->sourceTime, file + 20, 4);
    }
    if (histogram) std::memcpy(histogram, file + 24, 1024);
    return true;
}

bool ReadRasterCache(const std::string& cachePath, const RasterCacheKey& key, RasterCacheHeader* header,
                     std::uint32_t* histogram)
{
    CMemoryMap map;
    return OpenRasterCache(cachePath, key, &map, header, histogram);
}

bool StampRasterCache(BYTE* file, const RasterCacheKey& key, const RasterCacheHeader& header)
{
    SourceStamp stamp;
    if (!file || !StatSource(key.sourcePath, &stamp)) return false;
    Put32(file, header.stretchMethod);
    std::memcpy(file + 4, &header.low, 8);
    std::memcpy(file + 12, &header.high, 8);
    std::memcpy(file + 20, &header.sourceTime, 4);
    // The tiles lie one after another in the pyramid's order from the first pyramid byte.
    const int levels = PyramidLevelCount(key.width, key.height);
    std::vector<std::pair<std::int64_t, std::int32_t>> tiles;  // offset and size of each
    tiles.reserve(std::size_t(PyramidTileCount(key.width, key.height)));
    std::int64_t offset = kCacheHeaderBytes;
    for (int k = 0; k < levels; ++k) {
        PyramidLevel level;
        LayOutLevel(level, key.width, key.height, k, nullptr);
        for (const TileRecord& t : level.tiles) {
            tiles.emplace_back(offset, t.size);
            offset += t.size;
        }
    }
    BYTE* sums = file + RasterCacheTileSumsOffset(key.width, key.height);
    ForEachRow(std::int64_t(tiles.size()), [&](std::int64_t i, int) {
        const auto [at, size] = tiles[std::size_t(i)];
        Put64(sums + i * 8, std::int64_t(TileSum(file + at, size, i)));
    });
    const std::int64_t content = RasterCacheFileBytes(key.width, key.height) - kCacheTrailerBytes;
    MakeTrailer(file + content, key, stamp);
    Put64(file + content + kTrailerChecksum, std::int64_t(ContentChecksum(file, key.width, key.height)));
    return true;
}

bool FindRasterCacheStretch(const std::string& sourcePath, int mode, RasterCacheHeader* header)
{
    RasterCacheKey key{sourcePath, 0, 0, 0, mode};
    for (const std::string& name : RasterCacheNames(key, RasterCacheTempFolder())) {
        // The trailer, at the end of the file, tells the layer's shape; opening the cache for
        // that shape then checks owner, trailer and checksum as an opening view would. The
        // file is only mapped (never a pipe or a link followed into someone else's file).
        CMemoryMap map;
        if (!map.Open(name.c_str(), CMemoryMap::kReadOnly) ||
            std::int64_t(map.Size()) < kCacheHeaderBytes + kCacheTrailerBytes)
            continue;
        const BYTE* trailer = map.AdresData() + map.Size() - kCacheTrailerBytes;
        std::memcpy(&key.width, trailer + 40, 4);
        std::memcpy(&key.height, trailer + 44, 4);
        std::memcpy(&key.type, trailer + 48, 4);
        if (OpenRasterCache(name, key, &map, header, nullptr)) return true;
    }
    return false;
}
