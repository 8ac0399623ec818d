#include "outside/basecore/geo_tags.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "outside/basecore/byte_order_f64.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"

namespace {

using layerfile::ReadI32;
using layerfile::WriteI32;

constexpr int kPointsBytes = 72, kRasterSizeBytes = 24, kTransformBytes = 56, kReadoutBytes = 12;

/// Copies record `id` into `buffer` when it has exactly `size` bytes.
using RecordReader = std::function<bool(int id, int size, BYTE* buffer)>;

bool ReadTransform(const BYTE* p, TransformMatrix* m)
{
    TransformMatrix t;
    t.m11 = ReadF64(p);
    t.m12 = ReadF64(p + 8);
    t.m21 = ReadF64(p + 16);
    t.m22 = ReadF64(p + 24);
    t.dx = ReadF64(p + 32);
    t.dy = ReadF64(p + 40);
    if (!std::isfinite(t.m11) || !std::isfinite(t.m12) || !std::isfinite(t.m21) || !std::isfinite(t.m22) ||
        !std::isfinite(t.dx) || !std::isfinite(t.dy))
        return false;
    *m = t;
    return true;
}

/// The four records through `readExactly`; a record counts when its validity word is set.
BOOL ReadGeoRecords(const RecordReader& readExactly, SGeoTags* tags)
{
    const auto ReadRecord = [&](int id, int size, BYTE* buffer) {
        return readExactly(id, size, buffer) && ReadI32(buffer) != 0;
    };
    BYTE b[kPointsBytes] = {};
    if (ReadRecord(TAG_GEO_POINTS, kPointsBytes, b)) {
        CPointT<double> points[4];
        bool finite = true;
        for (int i = 0; i < 4; ++i) {
            points[i] = {ReadF64(b + 8 + 16 * i + 8), ReadF64(b + 8 + 16 * i)};  // stored latitude first
            finite = finite && std::isfinite(points[i].x) && std::isfinite(points[i].y);
        }
        if (finite) {
            for (int i = 0; i < 4; ++i) tags->points[i] = points[i];
            tags->hasPoints = TRUE;
        }
    }
    if (ReadRecord(TAG_GEO_RASTER_SIZE, kRasterSizeBytes, b) && ReadI32(b + 8) > 0 && ReadI32(b + 12) > 0) {
        tags->width = ReadI32(b + 8);
        tags->height = ReadI32(b + 12);
        tags->hasRasterSize = TRUE;
    }
    if (ReadRecord(TAG_GEO_TRANSFORM, kTransformBytes, b) && ReadTransform(b + 8, &tags->transform)) {
        tags->transformVersion = ReadI32(b + 4);
        tags->hasTransform = TRUE;
    }
    if (ReadRecord(TAG_GEO_READOUT, kReadoutBytes, b)) {
        tags->compact = ReadI32(b + 8);
        tags->hasReadout = TRUE;
    }
    return tags->hasPoints || tags->hasRasterSize || tags->hasTransform || tags->hasReadout;
}

}  // namespace

BOOL ReadGeoTags(const char* path, SGeoTags* tags)
{
    if (!tags) return FALSE;
    *tags = SGeoTags();
    if (!path) return FALSE;
    // One look at the file per record; a record longer than its size is refused unread.
    return ReadGeoRecords(
        [path](int id, int size, BYTE* buffer) {
            std::vector<BYTE> payload;
            if (!ReadTag(path, id, size, &payload) || payload.size() != std::size_t(size)) return false;
            std::memcpy(buffer, payload.data(), payload.size());
            return true;
        },
        tags);
}

BOOL ReadGeoTags(const CRDPLayer& layer, SGeoTags* tags)
{
    if (!tags) return FALSE;
    *tags = SGeoTags();
    if (!layer.IsOpen()) return FALSE;
    return ReadGeoRecords(
        [&layer](int id, int size, BYTE* buffer) {
            const void* payload = layer.GetTag(id);
            if (!payload || layer.GetSizeTag(id) != size) return false;
            std::memcpy(buffer, payload, std::size_t(size));
            return true;
        },
        tags);
}

BOOL MakeGeoTransform(const SGeoTags& tags, TransformMatrix* transform)
{
    if (!transform || !tags.hasPoints || !tags.hasRasterSize) return FALSE;
    const CPointT<double> corners[3] = {{0.0, 0.0}, {double(tags.width), 0.0}, {0.0, double(tags.height)}};
    TransformMatrix toRaster, toPicture;
    if (!CalculationTransform(tags.points, corners, &toRaster) ||
        !CalcMultiplicationTransform(toRaster, tags.transform, &toPicture) ||
        !IsInvertibleTransform(toPicture))
        return FALSE;
    *transform = toPicture;
    return TRUE;
}

BOOL MovedGeoTransformRecord(const char* path, POINT origin, std::vector<BYTE>* payload)
{
    SGeoTags tags;
    ReadGeoTags(path, &tags);
    if (!payload || !tags.hasPoints || !tags.hasRasterSize) return FALSE;
    TransformMatrix shift;
    shift.dx = -double(origin.x);
    shift.dy = -double(origin.y);
    TransformMatrix moved;
    if (!CalcMultiplicationTransform(tags.transform, shift, &moved)) return FALSE;
    payload->assign(kTransformBytes, 0);
    BYTE* b = payload->data();
    WriteI32(b, 1);
    WriteI32(b + 4, tags.hasTransform ? tags.transformVersion : 1);
    const double values[6] = {moved.m11, moved.m12, moved.m21, moved.m22, moved.dx, moved.dy};
    for (int i = 0; i < 6; ++i) WriteF64(b + 8 + 8 * i, values[i]);
    return TRUE;
}
