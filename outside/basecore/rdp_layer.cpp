#include "outside/basecore/rdp_layer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <string>
#include <unordered_map>

#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/math_helpers.h"
#include "outside/basecore/meter_info.h"
#include "outside/basecore/sample_component.h"
#include "outside/basecore/tags.h"
#include "platform/gdi/region.h"
#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

using namespace layerfile;

namespace {

thread_local std::string t_layerError;

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Fails with `code` and a detail text naming the file.
std::nullptr_t Fail(DWORD code, const std::string& path, const std::string& what)
{
    t_layerError = (path.empty() ? std::string() : BaseName(path) + ": ") + what;
    SetLastError(code);
    return nullptr;
}

void Succeed()
{
    t_layerError.clear();
}

/// A sample value from a double: integers round half away from zero and saturate; NaN is 0.
template <class P>
P FromDouble(double v)
{
    if constexpr (std::is_floating_point_v<P>) {
        return static_cast<P>(v);
    } else {
        if (!(v == v)) return P(0);
        const double r = std::round(v);
        if (r <= double(std::numeric_limits<P>::lowest())) return std::numeric_limits<P>::lowest();
        if (r >= double(std::numeric_limits<P>::max())) return std::numeric_limits<P>::max();
        return static_cast<P>(r);
    }
}

template <class T>
T MakeSample(double r, double i)
{
    using P = PartType<T>;
    if constexpr (!::IsComplex<T>) {
        (void)i;
        return FromDouble<T>(r);
    } else if constexpr (std::is_floating_point_v<P>) {
        return T(FromDouble<P>(r), FromDouble<P>(i));
    } else {
        return T{FromDouble<P>(r), FromDouble<P>(i)};
    }
}

/// Whether the real and imaginary statistics blocks (adjacent wherever they are bound) hold
/// statistics: the file has them, or they have been computed since the layer was opened.
bool PartStatisticsKnown(bool inFile, const BYTE* block)
{
    std::int32_t ready = 0;
    std::memcpy(&ready, block + kStatReady, 4);
    return inFile || ready != 0;
}

/// Clips a GDI rectangle (right and bottom excluded; NULL = all) to the layer.
bool ClipRect(const RECT* rect, int width, int height, RECT* out)
{
    RECT r = rect ? *rect : RECT{0, 0, width, height};
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, width);
    r.bottom = std::min<LONG>(r.bottom, height);
    *out = r;
    return r.left < r.right && r.top < r.bottom;
}

/// The same for a rectangle whose right column and bottom row are included.
RECT InclusiveToExclusive(const RECT* rect, int width, int height)
{
    if (!rect) return RECT{0, 0, width, height};
    const std::int64_t r = std::int64_t(rect->right) + 1, b = std::int64_t(rect->bottom) + 1;
    return RECT{rect->left, rect->top, static_cast<LONG>(std::min<std::int64_t>(r, width)),
                static_cast<LONG>(std::min<std::int64_t>(b, height))};
}

/// True when a statistics block holds values: a minimum not above the maximum, a deviation
/// that is not negative, and not the zeros of a block nobody has filled in. The field at +0
/// is left to each writer and decides nothing.
bool StatisticsValid(const BYTE* block)
{
    double min, max, deviation;
    std::memcpy(&min, block + kStatMin, 8);
    std::memcpy(&max, block + kStatMax, 8);
    std::memcpy(&deviation, block + kStatStdDev, 8);
    if (!(min <= max) || deviation < 0) return false;
    for (std::int64_t i = kStatMin; i < kStatisticsBytes; ++i)
        if (block[i] != 0) return true;
    return false;
}

/// Cuts off the part of a copied run that starts before 0 in one layer: `start` moves to 0,
/// `other` (the same position in the other layer) moves along, and `length` shrinks.
void ClipStart(std::int64_t& start, std::int64_t& other, std::int64_t& length)
{
    if (start >= 0) return;
    length += start;
    other -= start;
    start = 0;
}

}  // namespace

/// What the object keeps besides the fields the suite's inline members reach.
struct CRDPLayer::Impl {
    enum Kind { kOpened, kCreated, kScratch };
    Kind kind = kOpened;
    int openMode = kOpenReadOnly;
    platform::AtomicFile output;  // the new file (or the copy being changed) until it replaces its target
    // Statistics blocks used when the file has none in place: main, phase, real, imaginary.
    alignas(8) BYTE ownStats[4][kStatisticsBytes] = {};
    bool statsInFile[3] = {};   // keys 2, 3, 4 bound inside the mapping
    CMemoryMap alignedSamples;  // samples copied when the file stores them misaligned
    std::int64_t samplesOffset = 0;
    // Tag changes written when the layer closes, in groups applied one after the other as
    // rewrites of the closed file would apply them; SetTag and DeleteTag change the last.
    std::vector<TagEdits> edits = std::vector<TagEdits>(1);
    BYTE* stats[4] = {};  // the bound blocks
    int statsReady = 0;   // what StatsReady() answers
    // The first block of each key of the layer in chain order, indexed once when the
    // layer is bound: payload offset and size (-1 when unreadable).
    struct StoredTag {
        int key;
        std::int64_t payload;
        std::int64_t size;
    };
    std::vector<StoredTag> tags;
    std::unordered_map<int, size_t> tagOf;

    void IndexTags(FileIndex& index, int layer)
    {
        tags.clear();
        tagOf.clear();
        const Chain* chain = index.Blocks(layer);
        if (!chain) return;
        for (const BlockRef& b : chain->blocks)
            if (tagOf.emplace(b.key, tags.size()).second)
                tags.push_back({b.key, b.payload, index.PayloadSize(b)});
    }
    const StoredTag* FindTag(int key) const
    {
        const auto it = tagOf.find(key);
        return it == tagOf.end() ? nullptr : &tags[it->second];
    }
};

CRDPLayer::CRDPLayer(CMeterInfoBase* meter) : m_pMeter(meter)
{
    Reset();
}

CRDPLayer::~CRDPLayer()
{
    if (!m_impl) return;
    if (std::uncaught_exceptions() > 0) {
        // Unwinding from a failure: nothing unfinished is committed; a new layer goes and
        // an opened file keeps what it held before.
        Reset();
        return;
    }
    m_pMeter = nullptr;  // no progress, hence no cancel, from a destructor
    try {
        if (!CloseLayer()) DestroyLayer();
    } catch (...) {
        DestroyLayer();
    }
}

void CRDPLayer::Reset()
{
    m_noStatistic = 0.0;
    m_noStatsReady = 0;
    m_pMax = m_pMin = m_pReMax = m_pReMin = m_pImMax = m_pImMin = &m_noStatistic;
    m_pMean = m_pStdDev = m_pReMean = m_pReStdDev = m_pImMean = m_pImStdDev = &m_noStatistic;
    m_pStatsReady = &m_noStatsReady;
    m_pHist = m_pReHist = m_pImHist = nullptr;
    m_width = m_height = m_type = 0;
    m_rows.clear();
    m_map.Close();
    m_path.Empty();
    m_layerIndex = 0;
    m_impl.reset();
}

int CRDPLayer::GetOpenMode() const
{
    if (!m_impl) return kOpenReadOnly;
    return m_impl->kind == Impl::kOpened ? m_impl->openMode : kOpenWritable;
}

BOOL CRDPLayer::IsComplex() const
{
    return isComplexType(m_type);
}
BOOL CRDPLayer::IsFloatType() const
{
    return isFloatType(m_type);
}

void CRDPLayer::BindRows(BYTE* samples)
{
    const std::int64_t stride = std::int64_t(m_width) * elementBytes(m_type);
    m_rows.resize(static_cast<size_t>(m_height));
    for (int y = 0; y < m_height; ++y) m_rows[static_cast<size_t>(y)] = samples + stride * y;
}

void CRDPLayer::BindStatistics()
{
    BYTE* main = m_impl->stats[0];
    auto d = [](BYTE* block, int offset) { return reinterpret_cast<double*>(block + offset); };
    m_pStatsReady = &m_impl->statsReady;
    m_pMin = d(main, kStatMin);
    m_pMax = d(main, kStatMax);
    m_pStdDev = d(main, kStatStdDev);
    m_pMean = d(main, kStatMean);
    m_pHist = reinterpret_cast<DWORD*>(main + kStatHist);
    // A real layer's value is its real part; it has no imaginary part (zeros).
    BYTE* rePart = IsComplex() ? m_impl->stats[2] : main;
    BYTE* imPart = m_impl->stats[3];
    m_pReMin = d(rePart, kStatMin);
    m_pReMax = d(rePart, kStatMax);
    m_pReStdDev = d(rePart, kStatStdDev);
    m_pReMean = d(rePart, kStatMean);
    m_pReHist = reinterpret_cast<DWORD*>(rePart + kStatHist);
    m_pImMin = d(imPart, kStatMin);
    m_pImMax = d(imPart, kStatMax);
    m_pImStdDev = d(imPart, kStatStdDev);
    m_pImMean = d(imPart, kStatMean);
    m_pImHist = reinterpret_cast<DWORD*>(imPart + kStatHist);
}

void** CRDPLayer::OpenLayer(const char* path, int mode)
{
    return OpenLayerEx(path, mode, 0);
}

void** CRDPLayer::OpenLayerEx(const char* path, int mode, int index)
{
    return Open(path, mode, index);
}

void** CRDPLayer::Open(const char* path, int mode, int index)
{
    if (IsOpen() && !CloseLayer()) return nullptr;
    Reset();
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER, "", "no file name");
    if (mode != kOpenReadOnly && mode != kOpenWritable)
        return Fail(ERROR_INVALID_PARAMETER, path, "unknown open mode");
    const std::string name = path;
    if (!m_map.Open(path, mode == kOpenWritable ? CMemoryMap::kReadWrite : CMemoryMap::kReadOnly))
        return Fail(GetLastError(), name, "cannot open the file");
    // Changes go to a copy that replaces the file when the layer closes, so the user's file
    // stays whole until then (the read-write open above checks that it may be changed).
    platform::AtomicFile copy;
    if (mode == kOpenWritable && m_map.Size() > 0 &&
        (!copy.CreateCopyOf(path, path) || !m_map.MapFile(copy.Handle(), 0)))
        return Fail(GetLastError(), name, "cannot open the file for changes");
    FileIndex fileIndex({m_map.AdresData(), static_cast<std::int64_t>(m_map.Size())});
    LayerInfo info;
    std::string detail;
    if (const DWORD e = ReadLayer(fileIndex, index, &info, &detail)) {
        m_map.Close();
        return Fail(e, name, detail);
    }
    m_impl = std::make_unique<Impl>();
    m_impl->kind = Impl::kOpened;
    m_impl->openMode = mode;
    m_impl->output = std::move(copy);
    m_impl->samplesOffset = info.samples;
    m_path = path;
    m_layerIndex = index;
    m_width = info.width;
    m_height = info.height;
    m_type = info.type;

    BYTE* samples = m_map.AdresData() + info.samples;
    if (reinterpret_cast<std::uintptr_t>(samples) % typeInfo(m_type).partBytes != 0) {
        // Someone else's file with samples off their natural alignment: work on a copy
        // (written back on close when the layer is writable).
        if (!m_impl->alignedSamples.CreateAnonymous(static_cast<std::uint64_t>(info.sampleBytes))) {
            const DWORD e = GetLastError();
            Reset();
            return Fail(e, name, "not enough memory for the samples");
        }
        std::memcpy(m_impl->alignedSamples.AdresData(), samples, static_cast<size_t>(info.sampleBytes));
        samples = m_impl->alignedSamples.AdresData();
    }
    const int keys[3] = {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS};
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && !IsComplex()) break;
        const std::int64_t bytes = keys[k] == TAG_PART_STATISTICS ? kPartStatisticsBytes : kStatisticsBytes;
        const std::int64_t at = fileIndex.FindPayload(index, keys[k], bytes);
        if (at < 0) continue;
        BYTE* block = m_map.AdresData() + at;
        if (reinterpret_cast<std::uintptr_t>(block) % 8 == 0) {
            m_impl->statsInFile[k] = true;
            m_impl->stats[k] = block;
            if (k == 2) m_impl->stats[3] = block + kStatisticsBytes;
        } else {
            std::memcpy(m_impl->ownStats[k], block, kStatisticsBytes);
            if (k == 2) std::memcpy(m_impl->ownStats[3], block + kStatisticsBytes, kStatisticsBytes);
        }
    }
    for (int k = 0; k < 4; ++k)
        if (!m_impl->stats[k]) m_impl->stats[k] = m_impl->ownStats[k];
    m_impl->statsReady = StatisticsValid(m_impl->stats[0]) ? 1 : 0;
    m_impl->IndexTags(fileIndex, index);
    BindStatistics();
    BindRows(samples);
    Succeed();
    return GetRows();
}

int CRDPLayer::GetNumLayer(const char* path)
{
    CMemoryMap map;
    if (!path || !map.Open(path, CMemoryMap::kReadOnly)) {
        Fail(path ? GetLastError() : ERROR_INVALID_PARAMETER, path ? path : "", "cannot open the file");
        return 0;
    }
    const int n = CountLayers(FileView{map.AdresData(), static_cast<std::int64_t>(map.Size())});
    if (n == 0)
        Fail(ERROR_BAD_FORMAT, path, "not a layer file");
    else
        Succeed();
    return n;
}

void** CRDPLayer::CreateLayer(const char* path, int width, int height, int type, int /*flags*/)
{
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER, "", "no file name");
    return Create(path, width, height, type, Impl::kCreated, false);
}

void** CRDPLayer::AddLayer(const char* path, int width, int height, int type, int /*flags*/)
{
    if (!path || !*path) return Fail(ERROR_INVALID_PARAMETER, "", "no file name");
    return Create(path, width, height, type, Impl::kCreated, true);
}

void** CRDPLayer::CreateTempLayer(int width, int height, int type)
{
    return Create("", width, height, type, Impl::kScratch, false);
}

void** CRDPLayer::CreateLayerTempName(int width, int height, int type, int /*flags*/)
{
    const CString name = GetNotExistFileName();
    if (name.IsEmpty()) return Fail(GetLastError(), "", "no temporary file name");
    return Create(name.c_str(), width, height, type, Impl::kCreated, false);
}

void** CRDPLayer::CreateLayer(CRDPLayer* source)
{
    if (!source || !source->IsOpen()) return Fail(ERROR_INVALID_PARAMETER, "", "no source layer");
    if (source == this) return Fail(ERROR_INVALID_PARAMETER, "", "a layer cannot be made like itself");
    if (!Create("", source->Width(), source->Height(), source->Type(), Impl::kScratch, false)) return nullptr;
    const std::int64_t rowBytes = std::int64_t(m_width) * elementBytes(m_type);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(m_rows[static_cast<size_t>(y)], source->m_rows[static_cast<size_t>(y)],
                    static_cast<size_t>(rowBytes));
    return GetRows();
}

void** CRDPLayer::Create(const char* target, int width, int height, int type, int kind, bool append)
{
    if (IsOpen() && !CloseLayer()) return nullptr;
    Reset();
    const std::string name = target;
    if (width <= 0 || height <= 0)
        return Fail(ERROR_INVALID_PARAMETER, name, "width and height must be positive");
    if (!isValidType(type))
        return Fail(ERROR_INVALID_PARAMETER, name, "unknown data type code " + std::to_string(type));

    // Layers already in the file when one is appended; they are copied into the new file.
    CMemoryMap existing;
    std::vector<LayerOut> layers;
    if (append && FileFind(target)) {
        if (!existing.Open(target, CMemoryMap::kReadOnly))
            return Fail(GetLastError(), name, "cannot open the file");
        FileIndex index({existing.AdresData(), static_cast<std::int64_t>(existing.Size())});
        if (index.Version() == 0)
            return Fail(ERROR_BAD_FORMAT, name, "not a layer file; no layer can be added to it");
        std::string detail;
        if (const DWORD e = DescribeFile(index, &layers, &detail)) return Fail(e, name, detail);
        // A layer past the bound would be written where no reader's walk reaches it.
        if (layers.size() >= size_t(kMaxLinks))
            return Fail(
                ERROR_NOT_SUPPORTED, name,
                "the file already holds " + std::to_string(kMaxLinks) + " layers, the most a reader follows");
    }
    LayerOut fresh;
    fresh.width = width;
    fresh.height = height;
    fresh.type = type;
    fresh.blocks.push_back({TAG_STATISTICS, nullptr, kStatisticsBytes});
    if (isComplexType(type)) {
        fresh.blocks.push_back({TAG_PHASE_STATISTICS, nullptr, kStatisticsBytes});
        fresh.blocks.push_back({TAG_PART_STATISTICS, nullptr, kPartStatisticsBytes});
    }
    layers.push_back(fresh);
    if (PlannedSize(layers) < 0) {
        char what[160];
        std::snprintf(what, sizeof what, "a layer of %d x %d %s samples would make the file 2 GiB or larger",
                      width, height, typeInfo(type).name);
        return Fail(ERROR_FILE_TOO_LARGE, name, what);
    }

    // A scratch layer is a new version that is never committed: it has no name at all
    // where the file system allows, and goes with the object.
    platform::AtomicFile output;
    const std::string where =
        kind == Impl::kScratch ? std::string(GetTempFolder().c_str()) + "/rdp-scratch" : name;
    if (!output.Create(where.c_str()))
        return Fail(GetLastError(), name, "cannot create a file in its folder");
    std::vector<LayerPlaced> placed;
    const DWORD written = WriteFile(output, layers, &placed);
    existing.Close();
    if (written || !m_map.MapFile(output.Handle(), 0))
        return Fail(written ? written : GetLastError(), name, "cannot write the new layer");
    m_impl = std::make_unique<Impl>();
    m_impl->kind = static_cast<Impl::Kind>(kind);
    m_impl->openMode = kOpenWritable;
    m_impl->output = std::move(output);
    m_path = target;
    m_layerIndex = static_cast<int>(layers.size()) - 1;
    m_width = width;
    m_height = height;
    m_type = type;
    const LayerPlaced& here = placed.back();
    m_impl->samplesOffset = here.samples;
    BYTE* base = m_map.AdresData();
    m_impl->stats[0] = base + here.payloads[0];
    m_impl->statsInFile[0] = true;
    if (IsComplex()) {
        m_impl->stats[1] = base + here.payloads[1];
        m_impl->stats[2] = base + here.payloads[2];
        m_impl->stats[3] = base + here.payloads[2] + kStatisticsBytes;
        m_impl->statsInFile[1] = m_impl->statsInFile[2] = true;
    } else {
        m_impl->stats[1] = m_impl->ownStats[1];
        m_impl->stats[2] = m_impl->ownStats[2];
        m_impl->stats[3] = m_impl->ownStats[3];
    }
    FileIndex newFile({base, static_cast<std::int64_t>(m_map.Size())});
    m_impl->IndexTags(newFile, m_layerIndex);
    BindStatistics();
    BindRows(base + here.samples);
    Succeed();
    return GetRows();
}

BOOL CRDPLayer::CloseLayer()
{
    return CloseImpl(true);
}

BOOL CRDPLayer::DestroyLayer()
{
    return CloseImpl(false);
}

BOOL CRDPLayer::CloseImpl(bool keep)
{
    if (!m_impl) {
        Succeed();
        return TRUE;
    }
    Impl& impl = *m_impl;
    const std::string path = m_path.str();
    if (impl.kind == Impl::kScratch) {
        Reset();
        Succeed();
        return TRUE;
    }
    if (impl.kind == Impl::kOpened) {
        // A user's file is only ever closed here, never removed.
        BOOL ok = TRUE;
        if (keep && impl.openMode == kOpenWritable) {
            if (impl.alignedSamples.AdresData()) {
                const std::int64_t bytes = std::int64_t(m_width) * m_height * elementBytes(m_type);
                std::memcpy(m_map.AdresData() + impl.samplesOffset, impl.alignedSamples.AdresData(),
                            static_cast<size_t>(bytes));
            }
            if (impl.statsInFile[0]) MarkStatisticsInFile();
            std::vector<TagEdits> edits = impl.edits;
            // Statistics computed while the file had no block for them go into new blocks.
            if (StatsReady()) {
                const int keys[3] = {TAG_STATISTICS, TAG_PHASE_STATISTICS, TAG_PART_STATISTICS};
                for (int k = 0; k < (IsComplex() ? 3 : 1); ++k) {
                    if (impl.statsInFile[k]) continue;
                    const BYTE* block = impl.stats[k];
                    std::vector<BYTE> bytes(block, block + kStatisticsBytes);
                    if (k == 2) bytes.insert(bytes.end(), impl.stats[3], impl.stats[3] + kStatisticsBytes);
                    edits.front().set[keys[k]] = std::move(bytes);
                }
            }
            ok = m_map.Flush() && Commit(edits);
            return FinishClose(ok, path);
        }
        // Closed without its tag changes; the samples changed through the rows are kept.
        if (impl.openMode == kOpenWritable && impl.output.IsOpen())
            return FinishClose(m_map.Flush() && impl.output.Commit(), path);
        Reset();
        Succeed();
        return TRUE;
    }

    // A layer being created: it replaces its target only when everything is written;
    // Reset discards a version that was not committed.
    if (!keep) {
        Reset();
        Succeed();
        return TRUE;
    }
    if (!StatsReady()) StatisticCountRect(nullptr);  // may throw the cancel error; the layer stays open
    const BOOL ok = m_map.Flush() && Commit(impl.edits);
    return FinishClose(ok, path);
}

BOOL CRDPLayer::Commit(const std::vector<TagEdits>& edits)
{
    Impl& impl = *m_impl;
    const bool none = std::all_of(edits.begin(), edits.end(), [](const TagEdits& e) { return e.Empty(); });
    if (none) return impl.output.Commit();
    return CommitWithTagEdits(impl.output, m_map.AdresData(), static_cast<std::int64_t>(m_map.Size()),
                              m_layerIndex, edits);
}

BOOL CRDPLayer::FinishClose(BOOL written, const std::string& path)
{
    // The error is taken before Reset, whose clean-up may overwrite it; the file named
    // keeps what it held before when the changes could not be written.
    const DWORD error = written ? 0 : GetLastError();
    Reset();
    if (!written) {
        Fail(error, path, "the changes could not be written");
        return FALSE;
    }
    Succeed();
    return TRUE;
}

BOOL CRDPLayer::GetDoubleLine(int y, double* out, int count) const
{
    if (!IsOpen() || !out || y < 0 || y >= m_height || count < 0) {
        Fail(ERROR_INVALID_PARAMETER, "", "row or count outside the layer");
        return FALSE;
    }
    count = std::min(count, m_width);
    visitSampleType(m_type, [&]<class T>(Tag<T>) {
        const T* row = static_cast<const T*>(m_rows[static_cast<size_t>(y)]);
        if constexpr (::IsComplex<T>) {
            for (int x = 0; x < count; ++x) {
                out[2 * x] = double(re(row[x]));
                out[2 * x + 1] = double(im(row[x]));
            }
        } else {
            for (int x = 0; x < count; ++x) out[x] = double(row[x]);
        }
    });
    return TRUE;
}

BOOL CRDPLayer::SetLineFromDouble(int y, const double* in, int count)
{
    if (!IsOpen() || !in || y < 0 || y >= m_height || count < 0) {
        Fail(ERROR_INVALID_PARAMETER, "", "row or count outside the layer");
        return FALSE;
    }
    count = std::min(count, m_width);
    visitSampleType(m_type, [&]<class T>(Tag<T>) {
        T* row = static_cast<T*>(m_rows[static_cast<size_t>(y)]);
        if constexpr (::IsComplex<T>) {
            for (int x = 0; x < count; ++x) row[x] = MakeSample<T>(in[2 * x], in[2 * x + 1]);
        } else {
            for (int x = 0; x < count; ++x) row[x] = MakeSample<T>(in[x], 0.0);
        }
    });
    return TRUE;
}

double CRDPLayer::GetValue(int x, int y, int component) const
{
    if (!IsOpen() || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0.0;
    return visitSampleType(m_type, [&]<class T>(Tag<T>) {
        return SampleComponent(static_cast<const T*>(m_rows[static_cast<size_t>(y)])[x], component);
    });
}

BOOL CRDPLayer::SetValue(int x, int y, double value, int component)
{
    if (!IsOpen() || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        Fail(ERROR_INVALID_PARAMETER, "", "point outside the layer");
        return FALSE;
    }
    visitSampleType(m_type, [&]<class T>(Tag<T>) {
        T& s = static_cast<T*>(m_rows[static_cast<size_t>(y)])[x];
        if constexpr (!::IsComplex<T>) {
            s = MakeSample<T>(value, 0.0);
        } else {
            double r = double(re(s)), i = double(im(s));
            // The components GetValue reads: any code but 1, 2 and 3 is the amplitude.
            switch (component) {
                case kPhase: {
                    const double amplitude = Amplitude(r, i);
                    r = amplitude * std::cos(value);
                    i = amplitude * std::sin(value);
                    break;
                }
                case kReal:
                    r = value;
                    break;
                case kImaginary:
                    i = value;
                    break;
                default: {
                    const double phase = Arg(r, i);
                    r = value * std::cos(phase);
                    i = value * std::sin(phase);
                    break;
                }
            }
            s = MakeSample<T>(r, i);
        }
    });
    return TRUE;
}

BOOL CRDPLayer::SetValue(double value, const RECT* rect)
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") != nullptr;
    RECT r;
    if (!ClipRect(rect, m_width, m_height, &r)) return TRUE;
    visitSampleType(m_type, [&]<class T>(Tag<T>) {
        const T v = MakeSample<T>(value, 0.0);
        for (int y = r.top; y < r.bottom; ++y) {
            T* row = static_cast<T*>(m_rows[static_cast<size_t>(y)]);
            std::fill(row + r.left, row + r.right, v);
        }
    });
    return TRUE;
}

BOOL CRDPLayer::SetZero(const RECT* rect)
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") != nullptr;
    RECT r;
    if (!ClipRect(rect, m_width, m_height, &r)) return TRUE;
    const int es = elementBytes(m_type);
    for (int y = r.top; y < r.bottom; ++y)
        std::memset(static_cast<BYTE*>(m_rows[static_cast<size_t>(y)]) + std::int64_t(r.left) * es, 0,
                    static_cast<size_t>(std::int64_t(r.right - r.left) * es));
    return TRUE;
}

BOOL CRDPLayer::ReadData(const CRDPLayer* source, CPoint srcOrigin, CPoint dstOrigin, CSize size)
{
    if (!IsOpen() || !source || !source->IsOpen())
        return Fail(ERROR_INVALID_PARAMETER, "", "both layers must be open") != nullptr;
    std::int64_t sx = srcOrigin.x, sy = srcOrigin.y, dx = dstOrigin.x, dy = dstOrigin.y;
    std::int64_t w = size.cx, h = size.cy;
    if (w == -1 && h == -1) {
        w = source->Width();
        h = source->Height();
    }
    // Clip to both layers, moving both origins together.
    ClipStart(sx, dx, w);
    ClipStart(sy, dy, h);
    ClipStart(dx, sx, w);
    ClipStart(dy, sy, h);
    w = std::min({w, std::int64_t(source->Width()) - sx, std::int64_t(m_width) - dx});
    h = std::min({h, std::int64_t(source->Height()) - sy, std::int64_t(m_height) - dy});
    if (w <= 0 || h <= 0) return TRUE;
    if (source->Type() == m_type) {
        const int es = elementBytes(m_type);
        // Within one layer a copy downwards runs from the bottom row up, so no row is
        // overwritten before it is read.
        const bool upwards = source == this && dy > sy;
        for (std::int64_t k = 0; k < h; ++k) {
            const std::int64_t y = upwards ? h - 1 - k : k;
            std::memmove(static_cast<BYTE*>(m_rows[static_cast<size_t>(dy + y)]) + dx * es,
                         static_cast<const BYTE*>(source->m_rows[static_cast<size_t>(sy + y)]) + sx * es,
                         static_cast<size_t>(w * es));
        }
        return TRUE;
    }
    // Different types go through doubles; a complex source gives a real target its real part.
    visitSampleType(source->Type(), [&]<class S>(Tag<S>) {
        visitSampleType(m_type, [&]<class D>(Tag<D>) {
            for (std::int64_t y = 0; y < h; ++y) {
                const S* in = static_cast<const S*>(source->m_rows[static_cast<size_t>(sy + y)]) + sx;
                D* out = static_cast<D*>(m_rows[static_cast<size_t>(dy + y)]) + dx;
                for (std::int64_t x = 0; x < w; ++x)
                    out[x] = MakeSample<D>(double(re(in[x])), double(im(in[x])));
            }
        });
    });
    return TRUE;
}

void CRDPLayer::Progress(int rows)
{
    if (!m_pMeter) return;
    for (int i = 0; i < rows; ++i) m_pMeter->StepIt();
}

BOOL CRDPLayer::StatisticCountRect(const RECT* rect)
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") != nullptr;
    const RECT r = InclusiveToExclusive(rect, m_width, m_height);
    const int rows = std::max(0, std::min<int>(r.bottom, m_height) - std::max<int>(r.top, 0));
    if (m_pMeter) {
        m_pMeter->SetRange(0, 2.0 * rows);
        m_pMeter->SetStep(1.0);
    }
    const SpanList spans = SpansOfRect(r, m_width, m_height);
    const SampleRows src{m_rows.data(), m_width, m_height, m_type};
    MinMaxResult range;
    const auto stats = ComputeStatistics(src, spans, &range, [this](int done) { Progress(done); });
    StoreExtremes(range);
    StoreMoments(stats);
    return TRUE;
}

void CRDPLayer::StoreExtremes(const MinMaxResult& mm)
{
    *m_pStatsReady = 0;
    *m_pMin = mm.min[0];
    *m_pMax = mm.max[0];
    if (IsComplex()) {
        for (int c = kPhase; c <= kImaginary; ++c) {
            std::memcpy(m_impl->stats[c] + kStatMin, &mm.min[c], 8);
            std::memcpy(m_impl->stats[c] + kStatMax, &mm.max[c], 8);
        }
    }
}

void CRDPLayer::StoreMoments(const std::array<ComponentStats, kComponents>& stats)
{
    const std::int32_t one = 1;
    for (int c = 0; c < (IsComplex() ? kComponents : 1); ++c) {
        BYTE* block = m_impl->stats[c];
        std::memcpy(block + kStatMean, &stats[c].mean, 8);
        std::memcpy(block + kStatStdDev, &stats[c].stdDev, 8);
        std::memcpy(block + kStatHist, stats[c].hist.data(), 1024);
        std::memcpy(block + kStatReady, &one, 4);  // for readers that still look at it
    }
    *m_pStatsReady = 1;
}

void CRDPLayer::MarkStatisticsInFile()
{
    // Readers judge a block by its values: statistics that are not complete are marked by
    // a negative deviation, so that the file does not offer them as ready.
    BYTE* block = m_impl->stats[0];
    const std::int32_t ready = StatsReady() ? 1 : 0;
    std::memcpy(block + kStatReady, &ready, 4);
    if (!ready && StatisticsValid(block)) {
        const double notComputed = -1.0;
        std::memcpy(block + kStatStdDev, &notComputed, 8);
    }
}

BOOL CRDPLayer::MaxMinCount(const RECT* rect)
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") != nullptr;
    const SpanList spans = SpansOfRect(InclusiveToExclusive(rect, m_width, m_height), m_width, m_height);
    const SampleRows src{m_rows.data(), m_width, m_height, m_type};
    // Stored only once complete, so a cancel leaves the statistics as they were.
    StoreExtremes(ComputeMinMax(src, spans, [this](int rows) { Progress(rows); }));
    return TRUE;
}

BOOL CRDPLayer::StatsCalc(const RECT* rect)
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") != nullptr;
    const SpanList spans = SpansOfRect(InclusiveToExclusive(rect, m_width, m_height), m_width, m_height);
    const SampleRows src{m_rows.data(), m_width, m_height, m_type};
    MinMaxResult range;
    for (int c = 0; c < kComponents; ++c) {
        std::memcpy(&range.min[c], m_impl->stats[c] + kStatMin, 8);
        std::memcpy(&range.max[c], m_impl->stats[c] + kStatMax, 8);
    }
    StoreMoments(ComputeMoments(src, spans, range, [this](int rows) { Progress(rows); }));
    return TRUE;
}

int CRDPLayer::CalcHist(const RECT* rect, int bins, DWORD* counters, int bytes) const
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") ? 0 : -1;
    RECT r;
    if (!ClipRect(rect, m_width, m_height, &r)) r = RECT{0, 0, 0, 0};
    return CalcHistRgn(SpansOfRect(r, m_width, m_height), bins, counters, bytes);
}

int CRDPLayer::CalcHistRgn(const SpanList& region, int bins, DWORD* counters, int bytes) const
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") ? 0 : -1;
    const std::int64_t need = std::int64_t(bins) * 4 * (IsComplex() ? 4 : 1);
    if (bins <= 0 || !counters || bytes < need) {
        Fail(ERROR_INSUFFICIENT_BUFFER, "", "the counter buffer is too small for the bins");
        return -1;
    }
    MinMaxResult range;
    for (int c = 0; c < kComponents; ++c) {
        std::memcpy(&range.min[c], m_impl->stats[c] + kStatMin, 8);
        std::memcpy(&range.max[c], m_impl->stats[c] + kStatMax, 8);
    }
    const SampleRows src{m_rows.data(), m_width, m_height, m_type};
    const std::uint64_t n =
        ComputeHistogram(src, ClipSpans(region, m_width, m_height), range, bins, counters);
    return static_cast<int>(std::min<std::uint64_t>(n, std::numeric_limits<int>::max()));
}

int CRDPLayer::CalcHistRgn(HRGN region, int bins, DWORD* counters, int bytes) const
{
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE, "", "no layer is open") ? 0 : -1;
    const platform::SpanRegion pixels = GetRgnSpans(region).ClipToRect(RECT{0, 0, m_width, m_height});
    SpanList spans;
    for (const platform::RegionBand band : pixels.Bands())
        for (int y = band.top; y < band.bottom; ++y)
            for (const platform::Span& s : band.spans) spans.push_back({y, s.x0, s.x1});
    return CalcHistRgn(spans, bins, counters, bytes);
}

void* CRDPLayer::GetTag(int id) const
{
    if (!IsOpen()) {
        Fail(ERROR_INVALID_HANDLE, "", "no layer is open");
        return nullptr;
    }
    const Impl& impl = *m_impl;
    for (auto group = impl.edits.rbegin(); group != impl.edits.rend(); ++group) {
        if (auto it = group->set.find(id); it != group->set.end()) {
            // An empty tag is present: it answers with an address, as one in the file does.
            static BYTE empty = 0;
            return it->second.empty() ? &empty : const_cast<BYTE*>(it->second.data());
        }
        if (group->remove.count(id)) return nullptr;
    }
    // The statistics keys answer with the blocks the object is bound to.
    if (id == TAG_STATISTICS) return impl.stats[0];
    if (IsComplex() && id == TAG_PHASE_STATISTICS) return impl.stats[1];
    if (IsComplex() && id == TAG_PART_STATISTICS && PartStatisticsKnown(impl.statsInFile[2], impl.stats[2]))
        return impl.stats[2];
    const Impl::StoredTag* tag = impl.FindTag(id);
    if (!tag || tag->size < 0) return nullptr;
    return m_map.AdresData() + tag->payload;
}

int CRDPLayer::GetSizeTag(int id) const
{
    if (!IsOpen()) return -1;
    const Impl& impl = *m_impl;
    for (auto group = impl.edits.rbegin(); group != impl.edits.rend(); ++group) {
        if (auto it = group->set.find(id); it != group->set.end()) return static_cast<int>(it->second.size());
        if (group->remove.count(id)) return -1;
    }
    if (id == TAG_STATISTICS || (IsComplex() && id == TAG_PHASE_STATISTICS)) return kStatisticsBytes;
    if (IsComplex() && id == TAG_PART_STATISTICS && PartStatisticsKnown(impl.statsInFile[2], impl.stats[2]))
        return static_cast<int>(kPartStatisticsBytes);
    const Impl::StoredTag* tag = impl.FindTag(id);
    return tag ? static_cast<int>(tag->size) : -1;
}

void* CRDPLayer::GetTag(int id, int size, void* buffer) const
{
    const void* p = GetTag(id);
    if (!p || !buffer || size < 0 || GetSizeTag(id) < size) {
        if (IsOpen())
            Fail(ERROR_NOT_FOUND, m_path.str(), "tag " + std::to_string(id) + " is absent or shorter");
        return nullptr;
    }
    std::memcpy(buffer, p, static_cast<size_t>(size));
    return buffer;
}

BOOL CRDPLayer::SetTag(int id, int size, const void* data)
{
    if (!IsOpen() || GetOpenMode() != kOpenWritable)
        return Fail(ERROR_ACCESS_DENIED, m_path.str(), "the layer is not writable") != nullptr;
    if (IsLayerOwnKey(id) || size < 0 || (size > 0 && !data))
        return Fail(ERROR_INVALID_PARAMETER, m_path.str(), "tag " + std::to_string(id) + " cannot be set") !=
               nullptr;
    const BYTE* p = static_cast<const BYTE*>(data);
    m_impl->edits.back().set[id] = std::vector<BYTE>(p, p + size);
    m_impl->edits.back().remove.erase(id);
    Succeed();
    return TRUE;
}

BOOL CRDPLayer::DeleteTag(int id)
{
    if (!IsOpen() || GetOpenMode() != kOpenWritable)
        return Fail(ERROR_ACCESS_DENIED, m_path.str(), "the layer is not writable") != nullptr;
    if (IsLayerOwnKey(id))
        return Fail(ERROR_INVALID_PARAMETER, m_path.str(),
                    "tag " + std::to_string(id) + " cannot be removed") != nullptr;
    m_impl->edits.back().set.erase(id);
    m_impl->edits.back().remove.insert(id);
    Succeed();
    return TRUE;
}

BOOL CRDPLayer::GetMappedFile(const BYTE** base, std::int64_t* size, HANDLE* file) const
{
    // Layers written through a shared mapping of their new version: created layers, scratch
    // layers and layers opened for changes (the copy that replaces the file).
    if (!IsOpen() || !m_impl->output.IsOpen() || m_impl->alignedSamples.AdresData()) return FALSE;
    *base = m_map.AdresData();
    *size = static_cast<std::int64_t>(m_map.Size());
    *file = m_impl->output.Handle();
    return TRUE;
}

BOOL CRDPLayer::AppendTagEdits(const TagEdits& group)
{
    if (!IsOpen() || GetOpenMode() != kOpenWritable)
        return Fail(ERROR_ACCESS_DENIED, m_path.str(), "the layer is not writable") != nullptr;
    for (const auto& [id, bytes] : group.set)
        if (IsLayerOwnKey(id))
            return Fail(ERROR_INVALID_PARAMETER, m_path.str(),
                        "tag " + std::to_string(id) + " cannot be set") != nullptr;
    for (int id : group.remove)
        if (IsLayerOwnKey(id))
            return Fail(ERROR_INVALID_PARAMETER, m_path.str(),
                        "tag " + std::to_string(id) + " cannot be removed") != nullptr;
    if (!group.Empty()) m_impl->edits.push_back(group);
    Succeed();
    return TRUE;
}

std::vector<int> CRDPLayer::GetTagIds() const
{
    std::vector<int> ids;
    if (!IsOpen()) return ids;
    for (const Impl::StoredTag& tag : m_impl->tags) ids.push_back(tag.key);
    for (const TagEdits& group : m_impl->edits) ApplyTagEditsToKeys(group, &ids);
    return ids;
}

CString GetLastLayerError()
{
    return CString(t_layerError);
}

void SetLastLayerError(DWORD code, const char* path, const std::string& what)
{
    Fail(code, path ? path : "", what);
}

CString GetErrorMessage(DWORD code)
{
    if (code == GetLastError() && !t_layerError.empty()) return CString(t_layerError);
    return ErrorText(code);
}

CString GetTypeName(int code, int /*reserved*/)
{
    return isValidType(code) ? CString(typeInfo(code).name) : CString("Unknown");
}

BOOL IsComplexType(int code)
{
    return isComplexType(code);
}
