#include "viewer/core/raster_view_cache.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/settings.h"
#include "viewer/core/viewer_temp_size.h"

namespace {

constexpr char kTrailerMagic[8] = {'T', 'V', 'X', 'P', 'Y', 'R', '1', 0};

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
    std::string folder = setting.IsEmpty() ? GetTempFolder().str() : setting.str();
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
    const std::string inTemp =
        (std::filesystem::path(tempFolder) / (source.stem().string() + "-" + hash + ext)).string();
    return {beside.string(), inTemp};
}

std::int64_t RasterCacheFileBytes(int width, int height)
{
    return kCacheHeaderBytes + GetViewerTempSize(width, height) + kCacheTrailerBytes;
}

bool ReadRasterCache(const std::string& cachePath, const RasterCacheKey& key, RasterCacheHeader* header,
                     std::uint32_t* histogram)
{
    const std::int64_t pyramidBytes = GetViewerTempSize(key.width, key.height);
    if (pyramidBytes <= 0) return false;
    SourceStamp stamp;
    if (!StatSource(key.sourcePath, &stamp)) return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(cachePath, ec);
    if (ec || std::int64_t(size) != RasterCacheFileBytes(key.width, key.height)) return false;

    std::ifstream in(cachePath, std::ios::binary);
    BYTE head[kCacheHeaderBytes];
    BYTE trailer[kCacheTrailerBytes];
    BYTE expected[kCacheTrailerBytes];
    if (!in.read(reinterpret_cast<char*>(head), kCacheHeaderBytes)) return false;
    in.seekg(kCacheHeaderBytes + pyramidBytes);
    if (!in.read(reinterpret_cast<char*>(trailer), kCacheTrailerBytes)) return false;
    MakeTrailer(expected, key, stamp);
    if (std::memcmp(trailer, expected, kCacheTrailerBytes) != 0) return false;

    if (header) {
        std::memcpy(&header->stretchMethod, head, 4);
        std::memcpy(&header->low, head + 4, 8);
        std::memcpy(&header->high, head + 12, 8);
        std::memcpy(&header->sourceTime, head + 20, 4);
    }
    if (histogram) std::memcpy(histogram, head + 24, 1024);
    return true;
}

bool StampRasterCache(BYTE* file, const RasterCacheKey& key, const RasterCacheHeader& header)
{
    SourceStamp stamp;
    if (!file || !StatSource(key.sourcePath, &stamp)) return false;
    Put32(file, header.stretchMethod);
    std::memcpy(file + 4, &header.low, 8);
    std::memcpy(file + 12, &header.high, 8);
    std::memcpy(file + 20, &header.sourceTime, 4);
    MakeTrailer(file + kCacheHeaderBytes + GetViewerTempSize(key.width, key.height), key, stamp);
    return true;
}

bool FindRasterCacheStretch(const std::string& sourcePath, int mode, RasterCacheHeader* header)
{
    RasterCacheKey key{sourcePath, 0, 0, 0, mode};
    for (const std::string& name : RasterCacheNames(key, RasterCacheTempFolder())) {
        // The trailer, at the end of the file, tells the layer's shape; reading the cache
        // for that shape then checks it against the source as an opening view would.
        std::ifstream in(name, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
        if (size < kCacheHeaderBytes + kCacheTrailerBytes) continue;
        BYTE trailer[kCacheTrailerBytes];
        in.seekg(size - kCacheTrailerBytes);
        if (!in.read(reinterpret_cast<char*>(trailer), kCacheTrailerBytes)) continue;
        std::memcpy(&key.width, trailer + 40, 4);
        std::memcpy(&key.height, trailer + 44, 4);
        std::memcpy(&key.type, trailer + 48, 4);
        if (ReadRasterCache(name, key, header, nullptr)) return true;
    }
    return false;
}
