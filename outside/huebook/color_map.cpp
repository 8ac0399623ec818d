#include "outside/huebook/color_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "outside/huebook/standard_color_maps.h"
#include "platform/kernel/uuid.h"

namespace {

constexpr std::uint32_t kFormat = 1;

void PutU32(BYTE* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}
void PutU16(BYTE* p, std::uint16_t v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
void PutF64(BYTE* p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<BYTE>(bits >> (8 * i));
}
std::uint32_t GetU32(const BYTE* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
std::uint16_t GetU16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
double GetF64(const BYTE* p)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(p[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

bool SoundEntries(const std::vector<ColorMapEntry>& entries)
{
    if (entries.size() < 2 || entries.size() > std::size_t(kMaxColorMapEntries)) return false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!std::isfinite(entries[i].position)) return false;
        if (i && entries[i].position < entries[i - 1].position) return false;
    }
    return true;
}

/// Where v lies in minimum..maximum (0 at the minimum, 1 at the maximum). A range or a
/// distance beyond the largest double is taken in halves, which cannot overflow.
double PositionIn(double minimum, double maximum, double v)
{
    const double span = maximum - minimum, offset = v - minimum;
    if (std::isfinite(span) && std::isfinite(offset)) return offset / span;
    return (v * 0.5 - minimum * 0.5) / (maximum * 0.5 - minimum * 0.5);
}

/// minimum + (maximum - minimum) x t within the finite doubles: a range beyond the largest
/// double is taken in halves, and a result that rounds past it is the largest double.
double ValueAt(double minimum, double maximum, double t)
{
    const double span = maximum - minimum;
    const double v = std::isfinite(span) ? minimum + span * t
                                         : 2.0 * (minimum * 0.5 + (maximum * 0.5 - minimum * 0.5) * t);
    return std::clamp(v, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
}

BYTE Blend(BYTE a, BYTE b, double f)
{
    return static_cast<BYTE>(std::lround(a + (double(b) - a) * f));
}

}  // namespace

CColorMap::CColorMap() : m_entries{{0.0, RGB(0, 0, 0)}, {1.0, RGB(255, 255, 255)}} {}

CColorMap::CColorMap(double minimum, double maximum) : CColorMap()
{
    m_min = minimum;
    m_max = maximum;
}

double CColorMap::NormToValue(double t) const
{
    // A stop at the edge of the doubles stays a number: its serial form would be refused
    // as an infinity, and its colour lost.
    return ValueAt(m_min, m_max, t);
}

double CColorMap::ValueToNorm(double v) const
{
    return m_max == m_min ? 0.0 : PositionIn(m_min, m_max, v);
}

// The class is polymorphic; its key function keeps one copy of its vtable in the library.
CColorMap::~CColorMap() = default;

BOOL CColorMap::CreateSimpleColorMap(double low, double high, COLORREF colorLow, COLORREF colorHigh, int)
{
    if (!std::isfinite(low) || !std::isfinite(high)) return FALSE;
    m_min = low;
    m_max = high;
    m_entries = {{0.0, colorLow & 0xFFFFFF}, {1.0, colorHigh & 0xFFFFFF}};
    UuidCreate(&m_id);
    return TRUE;
}

BOOL CColorMap::SetEntries(const std::vector<ColorMapEntry>& entries)
{
    if (!SoundEntries(entries)) return FALSE;
    m_entries = entries;
    for (auto& e : m_entries) e.color &= 0xFFFFFF;
    return TRUE;
}

COLORREF CColorMap::GetColor(double v) const
{
    double t;
    if (m_max != m_min)
        t = PositionIn(m_min, m_max, v);
    else
        t = v > m_min ? 1.0 : 0.0;  // an empty range: everything above it takes the top colour
    if (!(t > m_entries.front().position)) return m_entries.front().color;  // NaN lands here too
    if (t >= m_entries.back().position) return m_entries.back().color;
    const auto upper = std::upper_bound(m_entries.begin(), m_entries.end(), t,
                                        [](double x, const ColorMapEntry& e) { return x < e.position; });
    const ColorMapEntry& b = *upper;
    const ColorMapEntry& a = *(upper - 1);
    const double span = b.position - a.position;
    const double f = span > 0 ? (t - a.position) / span : 1.0;
    return RGB(Blend(GetRValue(a.color), GetRValue(b.color), f),
               Blend(GetGValue(a.color), GetGValue(b.color), f),
               Blend(GetBValue(a.color), GetBValue(b.color), f));
}

BOOL CColorMap::CreatePseudoPalette(BYTE* rgb, double low, double high) const
{
    if (!rgb) return FALSE;
    for (int i = 0; i < 256; ++i) {
        const double span = high - low;
        const COLORREF c =
            GetColor(std::isfinite(span) ? low + span * i / 255.0 : ValueAt(low, high, i / 255.0));
        rgb[3 * i] = GetRValue(c);
        rgb[3 * i + 1] = GetGValue(c);
        rgb[3 * i + 2] = GetBValue(c);
    }
    return TRUE;
}

BOOL CColorMap::CreatePalette(BYTE* rgb, int count) const
{
    if (!rgb || count < 1) return FALSE;
    for (int i = 0; i < count; ++i) {
        const double t = count > 1 ? double(i) / (count - 1) : 0.0;
        const COLORREF c = GetColor(NormToValue(t));
        rgb[3 * std::size_t(i)] = GetRValue(c);
        rgb[3 * std::size_t(i) + 1] = GetGValue(c);
        rgb[3 * std::size_t(i) + 2] = GetBValue(c);
    }
    return TRUE;
}

int CColorMap::GetSizeToSave() const
{
    return kColorMapHeadBytes + kColorMapEntryBytes * GetEntryCount();
}

BOOL CColorMap::SaveColorMapToPtr(void* buffer, int size) const
{
    const int need = GetSizeToSave();
    if (!buffer || size < need) return FALSE;
    BYTE* p = static_cast<BYTE*>(buffer);
    std::memset(p, 0, std::size_t(need));
    PutU32(p, std::uint32_t(need));
    PutU32(p + 4, kColorMapHeadBytes);
    PutU32(p + 8, kFormat);
    PutU32(p + 12, std::uint32_t(m_entries.size()));
    PutF64(p + 16, m_min);
    PutF64(p + 24, m_max);
    PutU32(p + 32, m_id.Data1);
    PutU16(p + 36, m_id.Data2);
    PutU16(p + 38, m_id.Data3);
    std::memcpy(p + 40, m_id.Data4, 8);
    BYTE* e = p + kColorMapHeadBytes;
    for (const ColorMapEntry& entry : m_entries) {
        PutF64(e, NormToValue(entry.position));
        PutU32(e + 8, entry.color);
        e += kColorMapEntryBytes;
    }
    return TRUE;
}

BOOL CColorMap::LoadColorMapFromPtr(const void* data, int size)
{
    if (!data || size < kColorMapHeadBytes) return FALSE;
    const BYTE* p = static_cast<const BYTE*>(data);
    const std::uint32_t count = GetU32(p + 12);
    if (GetU32(p + 8) != kFormat || GetU32(p + 4) != kColorMapHeadBytes || count < 2 ||
        count > kMaxColorMapEntries)
        return FALSE;
    const std::int64_t total = std::int64_t(kColorMapHeadBytes) + std::int64_t(kColorMapEntryBytes) * count;
    if (total != size || GetU32(p) != std::uint32_t(size)) return FALSE;
    const double minimum = GetF64(p + 16), maximum = GetF64(p + 24);
    if (!std::isfinite(minimum) || !std::isfinite(maximum)) return FALSE;

    std::vector<ColorMapEntry> entries(count);
    const BYTE* e = p + kColorMapHeadBytes;
    for (std::uint32_t i = 0; i < count; ++i, e += kColorMapEntryBytes) {
        const double v = GetF64(e);
        if (!std::isfinite(v)) return FALSE;
        // An empty range keeps no positions: the stops are spread evenly over it.
        entries[i].position = maximum != minimum ? PositionIn(minimum, maximum, v) : double(i) / (count - 1);
        entries[i].color = GetU32(e + 8) & 0xFFFFFF;
    }
    if (!SoundEntries(entries)) return FALSE;

    GUID id;
    id.Data1 = GetU32(p + 32);
    id.Data2 = GetU16(p + 36);
    id.Data3 = GetU16(p + 38);
    std::memcpy(id.Data4, p + 40, 8);

    m_min = minimum;
    m_max = maximum;
    m_entries = std::move(entries);
    m_id = id;
    m_name = StandartColorMapName(&m_id);
    return TRUE;
}
