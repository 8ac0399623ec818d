// The view's colour maps, palettes, correction and display histogram.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "outside/basecore/math_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/huebook/color_map.h"
#include "outside/huebook/standard_color_maps.h"
#include "platform/kernel/uuid.h"
#include "viewer/core/raster_view.h"
#include "viewer/core/raster_view_internal.h"

using raster_view_detail::TagOfMode;

void CRasterView::LoadModeColorMaps()
{
    CRDPLayer* layer = m_fileLayer.get();
    if (!layer) return;
    for (int tag = 501; tag <= 504; ++tag) {
        const int size = layer->GetSizeTag(tag);
        if (size < 0) continue;
        BYTE head[kColorMapHeadBytes];
        if (!layer->GetTag(tag, kColorMapHeadBytes, head)) break;
        std::uint32_t format = 0, count = 0;
        std::memcpy(&format, head + 8, 4);
        std::memcpy(&count, head + 12, 4);
        // A map that is not ours or not a map ends the loading of this and all later tags.
        if (format != 1 || count < 2 || count > kMaxColorMapEntries) break;
        const std::int64_t bytes = std::int64_t(count) * kColorMapEntryBytes + kColorMapHeadBytes;
        if (bytes > size) break;
        std::vector<BYTE> record(static_cast<std::size_t>(bytes));
        if (!layer->GetTag(tag, int(bytes), record.data())) break;
        auto map = std::make_unique<CColorMap>();
        if (!map->LoadColorMapFromPtr(record.data(), int(bytes))) break;
        m_modeMaps[std::size_t(tag - 501)] = std::move(map);
    }
}

void CRasterView::MakeDefaultColorMap()
{
    auto map = std::make_unique<CColorMap>();
    map->CreateSimpleColorMap(m_low, m_high, 0x000000, 0xFFFFFF, 0);
    map->SetID(&m_id);
    map->SetName("Default");
    map->CreatePseudoPalette(&m_displayed.rgb[0][0], m_low, m_high);
    m_colorMap = std::move(map);
}

void CRasterView::MakeCurrentMap(BOOL rescaleOwn)
{
    const CColorMap* kept = m_modeMaps[std::size_t(m_tag - 501)].get();
    if (!kept) {
        MakeDefaultColorMap();
        return;
    }
    m_colorMap = std::make_unique<CColorMap>(*kept);
    if (IsStandartColorMap(m_colorMap.get()) ||
        (rescaleOwn && UuidEqual(m_colorMap->GetID(), &m_id, nullptr)))
        m_colorMap->SetMinMax(m_low, m_high);
    m_colorMap->CreatePseudoPalette(&m_displayed.rgb[0][0], m_low, m_high);
}

CColorMap* CRasterView::GetModeColorMap(int tag)
{
    return tag >= 501 && tag <= 504 ? m_modeMaps[std::size_t(tag - 501)].get() : nullptr;
}

void CRasterView::SelectModeColorMap(int mode)
{
    m_tag = TagOfMode(mode);
    MakeCurrentMap(TRUE);
    // The base palette follows, so that a later correction starts from this map.
    SetPalitra(reinterpret_cast<const ColorStruct*>(m_displayed.rgb));
}

void CRasterView::SetColorMap(CColorMap* map)
{
    if (!map) return;
    m_colorMap = std::make_unique<CColorMap>(*map);
    ColorStruct palette[256];
    m_colorMap->CreatePseudoPalette(reinterpret_cast<BYTE*>(palette), m_low, m_high);
    SetPalitra(palette);
    m_modeMaps[std::size_t(m_tag - 501)] = std::make_unique<CColorMap>(*map);
}

void CRasterView::SetPalitra(const ColorStruct* palette)
{
    if (!palette) return;
    std::memmove(m_base, palette, sizeof m_base);
    ApplyCorrection();
}

void CRasterView::ApplyCorrection()
{
    for (int i = 0; i < 256; ++i) {
        m_displayed.rgb[i][0] = m_correction[m_base[i].red];
        m_displayed.rgb[i][1] = m_correction[m_base[i].green];
        m_displayed.rgb[i][2] = m_correction[m_base[i].blue];
    }
    Notify(kViewerPaletteChanged, 0, m_base, TRUE);
    m_bDrawn = FALSE;
}

void CRasterView::SetCorrectionTable(const BYTE table[256], int /*mode*/)
{
    if (!table) return;
    std::memcpy(m_correction, table, 256);
    ApplyCorrection();
}

void CRasterView::GetPalitra(ColorStruct* out)
{
    if (out) std::memcpy(out, m_displayed.rgb, 768);
}

void CRasterView::EqualizeHistogram()
{
    std::int64_t h[256], q[256];
    std::int64_t total = 0;
    for (int i = 0; i < 256; ++i) total += h[i] = m_levelHist[std::size_t(i)];
    // An empty picture has nothing to equalise: the palette stays.
    if (total == 0) return;
    std::int64_t rest = total;
    for (int k = 255; k >= 0; --k) {
        q[k] = rest / (k + 1);
        rest -= q[k];
    }
    int map[256];
    int lev = 0;
    std::int64_t tgt = q[0], acc = 0;
    for (int i = 0; i <= 255;) {
        if (h[i] > (tgt - acc) * 2) {
            map[i] = lev;
            ++lev;
            if (lev <= 255) tgt += q[lev];
        } else {
            acc += h[i];
            map[i] = lev;
            ++i;
        }
    }
    for (int i = 0; i < 256; ++i) {
        const BYTE grey = BYTE(std::clamp(map[i], 0, 255));
        m_displayed.rgb[i][0] = m_displayed.rgb[i][1] = m_displayed.rgb[i][2] = grey;
    }
    m_bDrawn = FALSE;
}

unsigned* CRasterView::GetHistAddr(int component, int kind)
{
    if (component != 1) return nullptr;
    if (kind == 0) return m_dataHist.data();
    if (kind == 1) return m_levelHist.data();
    return nullptr;
}

void CRasterView::GetLevelRange(int level, double* low, double* high)
{
    const double step = (m_high - m_low) / 256.0;
    double lo = level * step + m_low;
    double hi = lo + step;
    if (m_type >= 1 && m_type <= 6) {
        lo = Round(lo);
        hi = Round(hi);
    }
    if (low) *low = lo;
    if (high) *high = hi;
}

COLORREF CRasterView::GetPixelColor(int x, int y)
{
    const double v = std::atof(GetValueText(x, y).c_str());
    int level = 0;
    // An empty display range shows everything at level 0, as the pyramid does.
    if (m_high != m_low) level = std::clamp(Round((v - m_low) * 255.0 / (m_high - m_low)), 0, 255);
    const BYTE* c = m_displayed.rgb[level];
    return COLORREF(c[0]) | (COLORREF(c[1]) << 8) | (COLORREF(c[2]) << 16);
}
