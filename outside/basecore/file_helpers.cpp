#include "outside/basecore/file_helpers.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "outside/basecore/data_type.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"

CString GetTempFolder()
{
    const char* env = std::getenv("TMPDIR");
    std::string dir = (env && *env) ? env : "/tmp";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return CString(dir);
}

CString GetNotExistFileName(const char* folder, const char* prefix, const char* extension)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random(std::random_device{}());
    std::string dir = (folder && *folder) ? folder : GetTempFolder().str();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string pre = prefix ? prefix : "rdp";
    const std::string ext = extension ? extension : ".rdp";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char unique[64];
        std::snprintf(unique, sizeof unique, "%08x-%u-%08x", static_cast<unsigned>(random()), counter++,
                      static_cast<unsigned>(random()));
        const std::string name = dir + "/" + pre + unique + ext;
        if (GetFileAttributes(name.c_str()) == INVALID_FILE_ATTRIBUTES) return CString(name);
    }
    SetLastError(ERROR_FILE_EXISTS);
    return CString();
}

BOOL FileFind(const char* path)
{
    if (!path || !*path) return FALSE;
    const DWORD attributes = GetFileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CString FormTmpExt(int mode, int /*reserved*/)
{
    CString ext;
    ext.Format("tp%d", std::clamp(mode, 0, 3));
    return ext;
}

std::uint32_t GetSourceFileTime(const char* path)
{
    if (!path) return 0;
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    FILETIME written{};
    const BOOL ok = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!ok) return 0;
    // Seconds since 1970 from 100-ns intervals since 1601.
    const std::uint64_t ticks = (std::uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return static_cast<std::uint32_t>((ticks - 116444736000000000ULL) / 10000000ULL);
}

BOOL GetTMPInfo(const char* tmpPath, STmpInfo* info)
{
    if (!tmpPath || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HANDLE f = CreateFile(tmpPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    BYTE h[24];
    DWORD n = 0;
    const BOOL read = ReadFile(f, h, sizeof h, &n, nullptr);
    CloseHandle(f);
    if (!read || n != sizeof h) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    info->stretchMethod = layerfile::ReadI32(h);
    std::memcpy(&info->low, h + 4, 8);
    std::memcpy(&info->high, h + 12, 8);
    info->sourceTime = static_cast<std::uint32_t>(layerfile::ReadI32(h + 20));
    return TRUE;
}

namespace {

/// The names a pyramid file of `path` and `mode` may have: beside the source, then in `tempFolder`.
std::vector<std::string> TmpCandidates(const char* path, int mode, const char* tempFolder)
{
    std::vector<std::string> names;
    if (!path || !*path) return names;
    const std::string p = path;
    const size_t slash = p.find_last_of('/');
    const size_t dot = p.find_last_of('.');
    const std::string stem =
        (dot != std::string::npos && (slash == std::string::npos || dot > slash)) ? p.substr(0, dot) : p;
    const std::string ext = "." + FormTmpExt(mode, 0).str();
    names.push_back(stem + ext);
    if (tempFolder && *tempFolder) {
        const std::string base = slash == std::string::npos ? stem : stem.substr(slash + 1);
        names.push_back(std::string(tempFolder) + "/" + base + ext);
    }
    return names;
}

}  // namespace

CString FindTMPFile(const char* path, int mode, const char* tempFolder)
{
    const std::uint32_t sourceTime = GetSourceFileTime(path);
    for (const std::string& name : TmpCandidates(path, mode, tempFolder)) {
        STmpInfo info;
        if (FileFind(name.c_str()) && GetTMPInfo(name.c_str(), &info) && info.sourceTime == sourceTime)
            return CString(name);
    }
    return CString();
}

BOOL DeleteTMP(const char* path, int mode, const char* tempFolder)
{
    BOOL ok = TRUE;
    for (const std::string& name : TmpCandidates(path, mode, tempFolder))
        if (FileFind(name.c_str()) && !DeleteFile(name.c_str())) ok = FALSE;
    return ok;
}

namespace {

/// Samples every step-th value of component `mode` of layer 0, rows from the bottom.
bool ReducedRaster(const char* path, int mode, int* width, int* height, std::vector<double>* values,
                   double* low, double* high, BOOL* complex)
{
    // Files without statistics have no preview (the tools rely on that).
    if (GetSizeTag(path, TAG_STATISTICS) < 0) return false;
    CRDPLayer layer;
    if (!layer.OpenLayer(path, kOpenReadOnly)) return false;
    const int w = layer.Width(), h = layer.Height();
    const int step = std::max(1, (std::max(w, h) + kPreviewSide - 1) / kPreviewSide);
    const int pw = (w + step - 1) / step, ph = (h + step - 1) / step;
    const int component = layer.IsComplex() ? std::clamp(mode, 0, 3) : kReal;
    values->assign(static_cast<size_t>(pw) * ph, 0.0);
    for (int r = 0; r < ph; ++r) {
        const int y = (ph - 1 - r) * step;
        for (int c = 0; c < pw; ++c)
            (*values)[static_cast<size_t>(r) * pw + c] = layer.GetValue(c * step, y, component);
    }
    *width = pw;
    *height = ph;
    *complex = layer.IsComplex();
    switch (layer.IsComplex() ? component : 0) {
        case kPhase: {
            const BYTE* phase = static_cast<const BYTE*>(layer.GetTag(TAG_PHASE_STATISTICS));
            std::memcpy(low, phase + layerfile::kStatMin, 8);
            std::memcpy(high, phase + layerfile::kStatMax, 8);
            break;
        }
        case kReal:
            *low = layer.reMin();
            *high = layer.reMax();
            break;
        case kImaginary:
            *low = layer.imMin();
            *high = layer.imMax();
            break;
        default:
            *low = layer.Min();
            *high = layer.Max();
            break;
    }
    return true;
}

}  // namespace

BOOL GetPreviewImage(const char* path, SDoublePreviewImage& image, int mode)
{
    double low = 0, high = 0;
    BOOL complex = FALSE;
    return ReducedRaster(path, mode, &image.width, &image.height, &image.data, &low, &high, &complex);
}

BOOL GetPreviewImage256(const char* path, S256PreviewImage& image, int mode)
{
    std::vector<double> values;
    double low = 0, high = 0;
    if (!ReducedRaster(path, mode, &image.width, &image.height, &values, &low, &high, &image.complex))
        return FALSE;
    const double range = high - low;
    const double scale = (std::isfinite(range) && range > 0) ? 255.0 / range : 0.0;
    image.pixels.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        image.pixels[i] = static_cast<BYTE>(std::clamp(Round((values[i] - low) * scale), 0, 255));
    return TRUE;
}

BOOL PseudoMinMaxCalculator(double min, double max, const DWORD* hist, double* low, double* high)
{
    // An infinite or NaN bound has no bins to cut at (the histogram of such a range is all in
    // its first bin): refused rather than answered with NaN bounds.
    if (!hist || !low || !high || !std::isfinite(min) || !std::isfinite(max)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::uint64_t total = 0;
    for (int i = 0; i < 256; ++i) total += hist[i];
    const double cut = 0.005 * double(total);
    // Bin edges as weighted means of the bounds: finite even for a range wider than the
    // largest double.
    auto edge = [&](int k) { return k >= 256 ? max : min * (1.0 - k / 256.0) + max * (k / 256.0); };
    int lo = 0, hi = 255;
    std::uint64_t acc = 0;
    for (; lo < 255; ++lo) {
        acc += hist[lo];
        if (double(acc) > cut) break;
    }
    acc = 0;
    for (; hi > lo; --hi) {
        acc += hist[hi];
        if (double(acc) > cut) break;
    }
    *low = total ? edge(lo) : min;
    *high = total ? edge(hi + 1) : max;
    return TRUE;
}
