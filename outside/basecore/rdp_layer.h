#pragma once

// The raster layer class: one layer of a layer file, opened or created by file name and
// reached through a table of row pointers into the mapped samples. Statistics live in the
// file's statistics blocks; the object keeps pointers to them. Failures return NULL or 0
// and leave the thread's last-error code (GetLastError) and a detail text
// (GetLastLayerError).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "outside/basecore/layer_statistics.h"
#include "outside/basecore/memory_map.h"
#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/types.h"

class CMeterInfoBase;
struct TagEdits;

/// Complex components, numbered alike throughout the suite.
enum ComplexComponent { kAmplitude = 0, kPhase = 1, kReal = 2, kImaginary = 3, kBothParts = 4 };

/// Tag keys of a layer's blocks.
enum : int {
    TAG_LAYER_HEADER = 0,
    TAG_DATA = 1,
    TAG_STATISTICS = 2,
    TAG_PHASE_STATISTICS = 3,
    /// Statistics of the real and of the imaginary part of a complex layer (two blocks in
    /// the layout of TAG_STATISTICS); like keys 0 to 3 it belongs to the layer and is never copied.
    TAG_PART_STATISTICS = 4,
    TAG_NO_COPY_201 = 201,
    TAG_SPECTRUM = 401,
    TAG_VECTOR_OVERLAY = 500,
    TAG_PALETTE = 501,
    TAG_DESCRIPTION = 600,
};

/// Open modes of OpenLayer.
enum : int {
    kOpenReadOnly = 0,  ///< the file is never changed; values stored through the object stay in memory
    kOpenWritable = 1,  ///< samples and statistics are written to the file in place
};

class CRDPLayer {
public:
    /// `meter` (may be null, not owned) receives the progress of long operations; a
    /// progress call may throw the cancel error through them.
    explicit CRDPLayer(CMeterInfoBase* meter = nullptr);
    /// Closes what is open. A layer being created is kept only when the object is
    /// destroyed normally; while an exception unwinds, the unfinished output is removed.
    ~CRDPLayer();
    CRDPLayer(const CRDPLayer&) = delete;
    CRDPLayer& operator=(const CRDPLayer&) = delete;

    /// Opens layer 0 of `path`; mode kOpenReadOnly or kOpenWritable. The row table, or NULL.
    void** OpenLayer(const char* path, int mode);
    /// Opens layer `index` (from 0) of `path`.
    void** OpenLayerEx(const char* path, int mode, int index);
    /// The number of layers in the file; 0 (with the last-error code) when it is not a readable layer file.
    static int GetNumLayer(const char* path);

    /// Creates a one-layer file of zero samples. It is written beside `path` under a temporary
    /// name and moved over `path` only by a successful CloseLayer; DestroyLayer removes it.
    /// `flags`: 7 for ordinary layers (the texture jobs pass 15); no bit changes the layout.
    void** CreateLayer(const char* path, int width, int height, int type, int flags = 7);
    /// A scratch layer like `source`: same width, height and type, a copy of its samples,
    /// statistics not ready; removed when closed.
    void** CreateLayer(CRDPLayer* source);
    /// Appends a layer to `path` (creates the file when it does not exist) and makes it
    /// this object's layer; the file is replaced only by a successful CloseLayer.
    void** AddLayer(const char* path, int width, int height, int type, int flags = 7);
    /// A scratch layer of zero samples, removed when closed.
    void** CreateTempLayer(int width, int height, int type);
    /// A layer in the system's temporary folder under a name no file has; the file stays
    /// after CloseLayer (GetFileName gives its name) and goes with DestroyLayer.
    void** CreateLayerTempName(int width, int height, int type, int flags = 7);

    /// Closes; a layer being created computes its statistics when they are not ready and
    /// then replaces its target. Nonzero on success. May throw the meter's cancel error.
    BOOL CloseLayer();
    /// Closes and removes a layer being created or a scratch layer; an opened user's file is
    /// only closed, never removed. Nonzero on success.
    BOOL DestroyLayer();

    /// The row table (NULL when nothing is open): row y starts at GetRows()[y].
    void** GetRows() const { return m_rows.empty() ? nullptr : const_cast<void**>(m_rows.data()); }
    /// TRUE when another program cut the open file short while it was mapped: rows past the
    /// cut read as zeros, which the file no longer holds.
    BOOL IsDamaged() const { return m_map.IsDamaged(); }
    /// The first sample (row 0).
    void* GetDataPtr() const { return m_rows.empty() ? nullptr : m_rows[0]; }
    BOOL IsOpen() const { return m_width > 0; }
    /// kOpenReadOnly or kOpenWritable (created layers are writable).
    int GetOpenMode() const;
    /// The file the layer belongs to (the target path of a layer being created).
    const CString& GetFileName() const { return m_path; }
    /// Index of the layer in its file.
    int GetLayerIndex() const { return m_layerIndex; }

    /// Row y as doubles: `count` samples from column 0 (at most the width); complex samples
    /// give two doubles each, real then imaginary. Nonzero on success.
    BOOL GetDoubleLine(int y, double* out, int count) const;
    /// Writes `count` samples of row y from doubles (complex: pairs). Integer types round
    /// half away from zero and saturate to their range; NaN becomes 0.
    BOOL SetLineFromDouble(int y, const double* in, int count);

    /// Component of sample (x, y): 1 phase, 2 real, 3 imaginary, 0 and any other (4, both
    /// parts, has no one value) the amplitude; real layers give the value whatever the
    /// component. 0.0 outside the layer.
    double GetValue(int x, int y, int component = kReal) const;
    /// Sets the component of sample (x, y) that GetValue reads: 2 or 3 set that part, 1 the
    /// phase keeping the amplitude, any other the amplitude keeping the phase. Nonzero on
    /// success.
    BOOL SetValue(int x, int y, double value, int component = kReal);
    /// Fills a rectangle (right and bottom excluded; NULL = whole layer) with `value`: real layers the value,
    /// complex layers real part `value` and imaginary part 0.
    BOOL SetValue(double value, const RECT* rect);
    /// Fills a rectangle (NULL = whole layer) with zeros.
    BOOL SetZero(const RECT* rect);
    /// Copies a rectangle of `size` samples from `source` at `srcOrigin` to `dstOrigin`;
    /// size (-1, -1) = all of the source. Clipped to both layers; types are converted.
    BOOL ReadData(const CRDPLayer* source, CPoint srcOrigin, CPoint dstOrigin, CSize size);

    /// Minimum, maximum, mean, deviation and histograms over a rectangle whose right column
    /// and bottom row are included (NULL = whole layer), stored in the statistics blocks and
    /// marked ready. Sets the meter's range to two steps per row. May throw the cancel error;
    /// the stored statistics are then unchanged.
    BOOL StatisticCountRect(const RECT* rect);
    /// Minimum and maximum over a rectangle (right and bottom included; NULL = whole
    /// layer); one meter step per row. Marks the statistics not ready until StatsCalc.
    BOOL MaxMinCount(const RECT* rect);
    /// Mean, deviation and the 256-counter histograms over a rectangle (right and bottom
    /// included; NULL = whole layer) between the stored minimum and maximum, then marks the
    /// statistics ready; one meter step per row.
    BOOL StatsCalc(const RECT* rect);
    /// Nonzero when the stored statistics are complete.
    int StatsReady() const { return m_pStatsReady ? *m_pStatsReady : 0; }
    /// Histogram of a rectangle (right and bottom excluded, as region boxes are; NULL = whole layer) in
    /// `bins` counters between the stored minimum and maximum; `bytes` must hold bins x 4 (x 16 for complex
    /// layers: amplitude, phase, real and imaginary blocks). Returns the number of samples counted, or -1.
    int CalcHist(const RECT* rect, int bins, DWORD* counters, int bytes) const;
    /// The same over the samples of a region given as horizontal spans.
    int CalcHistRgn(const SpanList& region, int bins, DWORD* counters, int bytes) const;
    /// The same over the samples of a region (parts outside the layer are ignored).
    int CalcHistRgn(HRGN region, int bins, DWORD* counters, int bytes) const;

    BOOL IsComplex() const;
    BOOL IsFloatType() const;

    /// Payload of tag `id` of this layer (valid while the layer is open), or NULL.
    void* GetTag(int id) const;
    /// Copies `size` bytes of tag `id` into `buffer`; `buffer`, or NULL when absent or shorter.
    void* GetTag(int id, int size, void* buffer) const;
    /// Byte size of tag `id`, or -1 when absent.
    int GetSizeTag(int id) const;
    /// Sets tag `id` (not keys 0 to 4) of a writable layer; written to the file when it closes.
    BOOL SetTag(int id, int size, const void* data);
    /// Removes tag `id` (not keys 0 to 4) of a writable layer when it closes.
    BOOL DeleteTag(int id);
    /// The layer's file as its mapping shows it (mapped bytes, their size, the open file they
    /// belong to), so that large parts can be copied file to file. False for a layer whose
    /// mapping holds changes its file does not (values stored in a read-only layer stay in
    /// memory) or whose samples were copied out of the file.
    BOOL GetMappedFile(const BYTE** base, std::int64_t* size, HANDLE* file) const;
    /// The ids of the layer's tags in chain order (keys 0 to 4 included).
    std::vector<int> GetTagIds() const;
    /// Adds a group of tag changes (not keys 0 to 4) to a writable layer. It is applied when the
    /// layer closes, after the changes made before it, as a later rewrite of the closed file
    /// would apply it: the keys it sets move to the end of the chain. SetTag and DeleteTag
    /// calls that follow join this group. An empty group changes nothing.
    BOOL AppendTagEdits(const TagEdits& group);

    // Meter.
    void SetMeterInfo(CMeterInfoBase* meter) { m_pMeter = meter; }
    void ClearMeterInfo() { m_pMeter = nullptr; }
    CMeterInfoBase* GetMeterInfo() const { return m_pMeter; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Type() const { return m_type; }

    double Max() const { return *m_pMax; }
    double Min() const { return *m_pMin; }
    double Mean() const { return *m_pMean; }
    double StdDev() const { return *m_pStdDev; }
    double reMax() const { return *m_pReMax; }
    double reMin() const { return *m_pReMin; }
    double reMean() const { return *m_pReMean; }
    double reStdDev() const { return *m_pReStdDev; }
    double imMax() const { return *m_pImMax; }
    double imMin() const { return *m_pImMin; }
    double imMean() const { return *m_pImMean; }
    double imStdDev() const { return *m_pImStdDev; }
    DWORD* HistAdr() const { return m_pHist; }
    DWORD* reHistAdr() const { return m_pReHist; }
    DWORD* imHistAdr() const { return m_pImHist; }
    void SetMax(double v) { *m_pMax = v; }
    void SetMin(double v) { *m_pMin = v; }
    void SetMean(double v) { *m_pMean = v; }
    void SetStdDev(double v) { *m_pStdDev = v; }
    void SetStatsReady(int ready) { *m_pStatsReady = ready; }

private:
    struct Impl;

    void** Open(const char* path, int mode, int index);
    void** Create(const char* target, int width, int height, int type, int kind, bool append);
    BOOL CloseImpl(bool keep);
    /// Commits the version being written with its tag changes.
    BOOL Commit(const std::vector<TagEdits>& edits);
    /// Ends a close: clears the layer and reports whether its changes were written.
    BOOL FinishClose(BOOL written, const std::string& path);
    void BindStatistics();
    void BindRows(BYTE* samples);
    void Reset();
    void Progress(int rows);
    void StoreExtremes(const MinMaxResult& extremes);
    void StoreMoments(const std::array<ComponentStats, kComponents>& stats);
    void MarkStatisticsInFile();

    // The order of these fields is the one the suite's inline members rely on.
    CMeterInfoBase* m_pMeter = nullptr;
    double* m_pMax;
    double* m_pMin;
    double* m_pReMax;
    double* m_pReMin;
    double* m_pImMax;
    double* m_pImMin;
    double* m_pMean;
    double* m_pStdDev;
    double* m_pReMean;
    double* m_pReStdDev;
    double* m_pImMean;
    double* m_pImStdDev;
    int* m_pStatsReady;
    DWORD* m_pHist;
    DWORD* m_pReHist;
    DWORD* m_pImHist;
    int m_width = 0;
    int m_height = 0;
    int m_type = 0;

    CMemoryMap m_map;
    CString m_path;
    int m_layerIndex = 0;
    std::vector<void*> m_rows;
    std::unique_ptr<Impl> m_impl;
    // What the statistics pointers show while nothing is open: the object's own, so that
    // layers on different threads share nothing.
    double m_noStatistic = 0.0;
    int m_noStatsReady = 0;
};

/// A detail text for the last failure of a layer or tag operation on this thread
/// ("damaged.rdp: the data block is shorter than its samples"); empty after a success.
CString GetLastLayerError();
/// Sets the thread's last-error code and the detail text GetLastLayerError gives (prefixed
/// with the file's name when `path` is given); the tag functions report through it.
void SetLastLayerError(DWORD code, const char* path, const std::string& what);
/// The message of a last-error code, as the suite shows it; for the codes the layer
/// functions set, the detail text of the last failure when there is one.
CString GetErrorMessage(DWORD code);

/// The display name of a type code ("U8", ..., "CS32"; "Unknown" for other codes).
CString GetTypeName(int code, int reserved = 0);
/// Nonzero for the complex codes 9 to 16.
BOOL IsComplexType(int code);
