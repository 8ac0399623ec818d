#include "outside/basecore/coord_law_data.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "outside/basecore/byte_order_f64.h"
#include "outside/basecore/geo_tags.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"

namespace {

using layerfile::ReadI32;
using layerfile::WriteI32;

constexpr std::int32_t kFormat = 1;

bool Sound(double kx, double bx, double ky, double by)
{
    return std::isfinite(kx) && std::isfinite(bx) && std::isfinite(ky) && std::isfinite(by) && kx != 0.0 &&
           ky != 0.0;
}

std::vector<BYTE> LawRecord(double kx, double bx, double ky, double by)
{
    std::vector<BYTE> payload(kCoordLawBytes);
    WriteI32(payload.data(), kCoordLawBytes);
    WriteI32(payload.data() + 4, kFormat);
    WriteF64(payload.data() + 8, kx);
    WriteF64(payload.data() + 16, bx);
    WriteF64(payload.data() + 24, ky);
    WriteF64(payload.data() + 32, by);
    return payload;
}

BOOL StoreLaw(const char* path, double kx, double bx, double ky, double by)
{
    const std::vector<BYTE> payload = LawRecord(kx, bx, ky, by);
    return SetTag(path, TAG_COORD_LAW, kCoordLawBytes, payload.data());
}

}  // namespace

bool CCoordLawData::Set(double kx, double bx, double ky, double by)
{
    if (!Sound(kx, bx, ky, by)) return false;
    m_kx = kx;
    m_bx = bx;
    m_ky = ky;
    m_by = by;
    m_set = TRUE;
    return true;
}

void CCoordLawData::Reset()
{
    *this = CCoordLawData();
}

BOOL CCoordLawData::LoadPayload(const BYTE* payload, std::int64_t size)
{
    if (!payload || size != kCoordLawBytes) return FALSE;
    if (ReadI32(payload) != kCoordLawBytes || ReadI32(payload + 4) != kFormat) return FALSE;
    return Set(ReadF64(payload + 8), ReadF64(payload + 16), ReadF64(payload + 24), ReadF64(payload + 32));
}

BOOL CCoordLawData::LoadData(const char* path)
{
    Reset();
    std::vector<BYTE> payload;
    // A longer tag is refused unread: it is no law.
    if (!path || !ReadTag(path, TAG_COORD_LAW, kCoordLawBytes, &payload)) return FALSE;
    return LoadPayload(payload.data(), std::int64_t(payload.size()));
}

BOOL CCoordLawData::LoadData(const CRDPLayer& layer)
{
    Reset();
    if (!layer.IsOpen()) return FALSE;
    return LoadPayload(static_cast<const BYTE*>(layer.GetTag(TAG_COORD_LAW)),
                       layer.GetSizeTag(TAG_COORD_LAW));
}

BOOL CCoordLawData::SaveData(const char* path, double xFrom, double xTo, double yFrom, double yTo)
{
    const auto header = LayerHeaderOf(path);
    if (!header) return FALSE;
    return SaveDataKt(path, (xTo - xFrom) / header->width, xFrom, (yTo - yFrom) / header->height, yFrom);
}

BOOL CCoordLawData::SaveDataKt(const char* path, double kx, double bx, double ky, double by)
{
    if (!path || !Sound(kx, bx, ky, by) || !StoreLaw(path, kx, bx, ky, by)) return FALSE;
    return Set(kx, bx, ky, by);
}

BOOL CCoordLawData::SaveDataKt(CRDPLayer& layer, double kx, double bx, double ky, double by)
{
    if (!Sound(kx, bx, ky, by)) return FALSE;
    TagEdits law;
    law.set[TAG_COORD_LAW] = LawRecord(kx, bx, ky, by);
    if (!layer.AppendTagEdits(law)) return FALSE;
    return Set(kx, bx, ky, by);
}

BOOL CCoordLawData::SaveLaw(const char* path) const
{
    return path && StoreLaw(path, m_kx, m_bx, m_ky, m_by);
}

int CCoordLawData::SetDataManual(int width, int height, double xFrom, double xTo, double yFrom, double yTo)
{
    if (width < 1 || height < 1) return 0;
    const double kx = (xTo - xFrom) / (width > 1 ? width - 1 : 1);
    const double ky = (yTo - yFrom) / (height > 1 ? height - 1 : 1);
    return Set(kx, xFrom, ky, yFrom) ? 1 : 0;
}

BOOL CCoordLawData::GetPixelSize(double& x, double& y) const
{
    x = std::fabs(m_kx);
    y = std::fabs(m_ky);
    return m_set;
}

BOOL SaveSubsetTransform(POINT origin, const char* sourcePath, const char* targetPath)
{
    if (!sourcePath || !targetPath) return FALSE;
    CCoordLawData law;
    law.LoadData(sourcePath);  // pixel coordinates when the source has no law
    const double bx = law.Bx() + law.Kx() * origin.x, by = law.By() + law.Ky() * origin.y;
    if (!Sound(law.Kx(), bx, law.Ky(), by)) return FALSE;
    // One rewrite of the target for both records.
    TagEdits edits;
    edits.set[TAG_COORD_LAW] = LawRecord(law.Kx(), bx, law.Ky(), by);
    std::vector<BYTE> moved;
    if (MovedGeoTransformRecord(targetPath, origin, &moved)) edits.set[TAG_GEO_TRANSFORM] = std::move(moved);
    return ApplyTagEdits(targetPath, 0, edits);
}
