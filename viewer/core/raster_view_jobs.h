#pragma once

// The jobs and small pieces behind the raster view: saving a rectangle or a region of a
// layer as a new layer file, statistics of a layer, and the nearest-neighbour stretch of
// display levels.

#include <cstdint>

#include "platform/cstring.h"
#include "platform/types.h"

class CRDPLayer;
class CMeterInfo;
class CMeterInfoBase;

inline constexpr const char* kTextSavingSegment = "Saving segment ...";
inline constexpr const char* kTextErrorCreatingFile = "Error creating file !";
inline constexpr const char* kTextSaveFilter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";
/// The largest magnified picture a view keeps; above it only the visible part is drawn.
inline constexpr std::int64_t kMaxMagnifiedBytes = std::int64_t(256) << 20;

/// A save of part of a layer file; the job owns and frees it.
struct RasterSaveRecord {
    CString destination;
    RECT rect{};            ///< rectangle saves: both edges inside
    HRGN region = nullptr;  ///< region saves: a copy owned by the record
    CString source;
    ~RasterSaveRecord();
};

/// A save of one rectangle of the three channels of a composite; the job owns and frees it.
struct RgbSaveRecord {
    CString destination[3];  ///< red, green, blue; an empty one is skipped
    CString source[3];
    RECT rect{};  ///< both edges inside
};

/// Saves rect (right and bottom inside) of the source as a new layer file with the source's
/// tags and its coordinates continued. Opens the source read-only itself. Failures throw.
void SaveRasterRectJob(void* record, CMeterInfo* meter);
/// Saves rect of each channel as its own layer file, as SaveRasterRectJob does. A file that
/// cannot be created is reported ("Error creating file !") and the other channels follow;
/// no file is replaced before all three have been copied, so a failed or stopped job leaves
/// every earlier file of those names as it was.
void SaveRgbRectJob(void* record, CMeterInfo* meter);
/// Saves the region's box (right and bottom outside) with every sample outside the region
/// zero (both parts of complex samples), the source's tags and its coordinates continued.
void SaveRasterRegionJob(void* record, CMeterInfo* meter);

/// Minimum, maximum, mean, deviation and histograms of a layer; with a meter, two steps a
/// row. False when they could not be computed (or the meter stopped the job).
bool ComputeLayerStatistics(CRDPLayer& layer, CMeterInfoBase* meter);

/// Nearest-neighbour stretch of a block of levels (srcW x srcH, rows srcStride apart) to
/// dstW x dstH (rows dstStride apart), stepping with running remainders.
void StretchLevelRows(BYTE* dst, int dstW, int dstH, int dstStride, const BYTE* src, int srcW, int srcH,
                      int srcStride);
