#include "outside/huebook/standard_color_maps.h"

#include <array>
#include <cstring>
#include <span>
#include <vector>

namespace {

struct StandardMap {
    const char* name;
    GUID id;
    std::span<const ColorMapEntry> stops;
};

// Identities never change: files keep them in their colour-map tags.
constexpr GUID MapId(std::uint8_t n)
{
    return GUID{0x6875e0b0, 0x4b1d, 0x4c0a, {0x9e, 0x5b, 0x48, 0x75, 0x65, 0x62, 0x6b, n}};
}

const ColorMapEntry kGrey[] = {{0.0, RGB(0, 0, 0)}, {1.0, RGB(255, 255, 255)}};
const ColorMapEntry kInverseGrey[] = {{0.0, RGB(255, 255, 255)}, {1.0, RGB(0, 0, 0)}};
const ColorMapEntry kRainbow[] = {{0.0, RGB(0, 0, 160)}, {0.2, RGB(0, 0, 255)},   {0.4, RGB(0, 255, 255)},
                                  {0.6, RGB(0, 255, 0)}, {0.8, RGB(255, 255, 0)}, {1.0, RGB(255, 0, 0)}};
const ColorMapEntry kHot[] = {
    {0.0, RGB(0, 0, 0)}, {0.4, RGB(255, 0, 0)}, {0.8, RGB(255, 255, 0)}, {1.0, RGB(255, 255, 255)}};
const ColorMapEntry kBlueWhiteRed[] = {
    {0.0, RGB(0, 0, 192)}, {0.5, RGB(255, 255, 255)}, {1.0, RGB(192, 0, 0)}};
const ColorMapEntry kTerrain[] = {{0.0, RGB(0, 64, 160)},  {0.25, RGB(64, 160, 255)},
                                  {0.3, RGB(32, 160, 64)}, {0.6, RGB(224, 208, 112)},
                                  {0.8, RGB(128, 80, 48)}, {1.0, RGB(255, 255, 255)}};
// Cyclic, for phases: both ends show the same colour.
const ColorMapEntry kPhase[] = {{0.0, RGB(255, 0, 0)},     {1.0 / 6, RGB(255, 255, 0)},
                                {2.0 / 6, RGB(0, 255, 0)}, {3.0 / 6, RGB(0, 255, 255)},
                                {4.0 / 6, RGB(0, 0, 255)}, {5.0 / 6, RGB(255, 0, 255)},
                                {1.0, RGB(255, 0, 0)}};

const std::array<StandardMap, 7> kMaps = {{
    {"Grey", MapId(1), kGrey},
    {"Inverse grey", MapId(2), kInverseGrey},
    {"Rainbow", MapId(3), kRainbow},
    {"Hot", MapId(4), kHot},
    {"Blue - white - red", MapId(5), kBlueWhiteRed},
    {"Terrain", MapId(6), kTerrain},
    {"Phase", MapId(7), kPhase},
}};

}  // namespace

int GetStandartColorMapCount()
{
    return static_cast<int>(kMaps.size());
}

BOOL GetStandartColorMap(int index, CColorMap* map)
{
    if (!map || index < 0 || index >= GetStandartColorMapCount()) return FALSE;
    const StandardMap& s = kMaps[std::size_t(index)];
    CColorMap made(0.0, 1.0);
    made.SetEntries(std::vector<ColorMapEntry>(s.stops.begin(), s.stops.end()));
    made.SetName(s.name);
    made.SetID(&s.id);
    *map = made;
    return TRUE;
}

int FindStandartColorMap(const GUID* id)
{
    if (!id) return -1;
    for (std::size_t i = 0; i < kMaps.size(); ++i)
        if (std::memcmp(&kMaps[i].id, id, sizeof(GUID)) == 0) return static_cast<int>(i);
    return -1;
}

BOOL IsStandartColorMap(const GUID* id)
{
    return FindStandartColorMap(id) >= 0;
}

BOOL IsStandartColorMap(const CColorMap* map)
{
    return map && IsStandartColorMap(map->GetID());
}

CString StandartColorMapName(const GUID* id)
{
    const int i = FindStandartColorMap(id);
    return i >= 0 ? CString(kMaps[std::size_t(i)].name) : CString();
}
