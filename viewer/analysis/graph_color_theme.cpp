#include "viewer/analysis/graph_color_theme.h"

#include <cstdlib>

#include "outside/basecore/easy_registry.h"

const char* const kThemeColorNames[7] = {"BackGround", "Grid", "Graphic",  "Axises",
                                         "Grid Text",  "Text", "Selection"};

namespace {

constexpr COLORREF kLight[7] = {16777215, 0, 8388736, 64, 4194368, 8388608, 16776960};
constexpr COLORREF kDark[7] = {0, 16777215, 16744703, 16777015, 65535, 16777015, 16776960};

COLORREF ParseColor(const CString& text)
{
    const char* s = text;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s, &end, 10);
    if (end == s || v > 0xFFFFFFFFull) return 0;
    return COLORREF(v);
}

}  // namespace

CGraphColorTheme::CGraphColorTheme()
{
    CreateDefaults(kHistSettingsKey);
}

bool CGraphColorTheme::SetBuiltIn(int number)
{
    if (number != 0 && number != 1) return false;
    m_strName = number == 1 ? "Light" : "Dark";
    const COLORREF* colors = number == 1 ? kLight : kDark;
    for (int i = 0; i < 7; ++i) m_colors[i] = colors[i];
    return true;
}

bool CGraphColorTheme::Set(const GraphThemeItem& item)
{
    if (item.name.IsEmpty()) return false;
    m_strName = item.name;
    const COLORREF colors[7] = {item.background, item.grid, item.graph,    item.axes,
                                item.gridText,   item.text, item.selection};
    for (int i = 0; i < 7; ++i) m_colors[i] = colors[i];
    return true;
}

bool CGraphColorTheme::Save(const CString& key)
{
    if (key.IsEmpty()) return false;
    CString subKey;
    subKey.Format("%s\\%d", static_cast<const char*>(key), m_nIndex);
    CEasyRegistry reg;
    if (!reg.InitSubKey(subKey, 0)) return false;
    reg.SetStringValue(nullptr, m_strName);
    for (int i = 0; i < 7; ++i) {
        CString v;
        v.Format("%u", unsigned(m_colors[i]));
        reg.SetStringValue(kThemeColorNames[i], v);
    }
    ++m_nIndex;
    return true;
}

bool CGraphColorTheme::Load(const CString& subKey)
{
    if (subKey.IsEmpty()) return false;
    CEasyRegistry reg;
    if (!reg.InitSubKey(subKey, 1)) return false;
    m_strName = reg.GetStringValue(nullptr);
    for (int i = 0; i < 7; ++i) m_colors[i] = ParseColor(reg.GetStringValue(kThemeColorNames[i]));
    return true;
}

void CGraphColorTheme::CreateDefaults(const CString& key)
{
    COLORREF kept[7];
    for (int i = 0; i < 7; ++i) kept[i] = m_colors[i];
    SetBuiltIn(1);
    Save(key);
    SetBuiltIn(0);
    Save(key);
    for (int i = 0; i < 7; ++i) m_colors[i] = kept[i];
}

bool CGraphColorTheme::EnumThemes(const CString& key, std::vector<CString>* names)
{
    if (key.IsEmpty() || !names) return false;
    CEasyRegistry reg;
    if (!reg.EnumSubKeys(key, *names)) {
        CreateDefaults(key);
        names->clear();
        reg.EnumSubKeys(key, *names);
    }
    return true;
}

GraphThemeItem CGraphColorTheme::Item(const CString& key) const
{
    GraphThemeItem item;
    item.name = m_strName;
    item.key = key;
    item.background = m_colors[0];
    item.grid = m_colors[1];
    item.graph = m_colors[2];
    item.axes = m_colors[3];
    item.gridText = m_colors[4];
    item.text = m_colors[5];
    item.selection = m_colors[6];
    return item;
}
