#pragma once

// The geographic reference of a transformed raster, kept in four tags that programs outside
// the suite write. Every record starts with a validity word (nonzero: valid) and a version
// word, all little-endian:
//   302, 72 bytes: four points as pairs of doubles, each latitude first, then longitude;
//   303, 24 bytes: the width and height (int32) of the raster the points belong to, 8 bytes unused;
//   308, 56 bytes: the transform from that raster to the shown picture, six doubles in the
//        order m11, m12, m21, m22, dx, dy (see TransformMatrix);
//   671, 12 bytes: a spacing flag (int32) for the geographic read-out.
// A record of another size, marked invalid, or with values that are not finite or sizes
// below 1 counts as absent.

#include <vector>

#include "outside/basecore/rect_t.h"
#include "outside/basecore/transform_matrix.h"
#include "platform/types.h"

inline constexpr int TAG_GEO_POINTS = 302;
inline constexpr int TAG_GEO_RASTER_SIZE = 303;
inline constexpr int TAG_GEO_TRANSFORM = 308;
inline constexpr int TAG_GEO_READOUT = 671;

/// The four records as read; everything zero (and the transform the identity) when absent.
struct SGeoTags {
    BOOL hasPoints = FALSE;      ///< 302
    BOOL hasRasterSize = FALSE;  ///< 303
    BOOL hasTransform = FALSE;   ///< 308
    BOOL hasReadout = FALSE;     ///< 671
    CPointT<double> points[4];   ///< x the longitude, y the latitude
    int width = 0;
    int height = 0;
    TransformMatrix transform;  ///< the identity when 308 is absent
    int transformVersion = 0;
    int compact = 0;  ///< the third word of 671
};

class CRDPLayer;

/// Reads the four records of layer 0 of `path`; absent or damaged ones stay zeroed. Nonzero
/// when at least one record was read.
BOOL ReadGeoTags(const char* path, SGeoTags* tags);
/// The same from an open layer, without looking at its file again.
BOOL ReadGeoTags(const CRDPLayer& layer, SGeoTags* tags);

/// The transform from geographic coordinates (longitude, latitude) to picture pixels: the
/// first three points of 302 go to the raster corners (0, 0), (width, 0) and (0, height)
/// of 303, followed by the transform of 308 (the identity when absent). Nonzero, with
/// *transform set, only when 302 and 303 are present and the result can be inverted.
BOOL MakeGeoTransform(const SGeoTags& tags, TransformMatrix* transform);

/// The tag-308 record that moves the geographic reference of `path` (when it has 302 and
/// 303) by -origin, so that a part cut at `origin` keeps the coordinates of its source: the
/// old 308 (or the identity) followed by that shift. Nonzero, with *payload filled, when
/// there is a reference to move.
BOOL MovedGeoTransformRecord(const char* path, POINT origin, std::vector<BYTE>* payload);
