#pragma once

// Colour themes of the histogram graph, kept as numbered subkeys below the histogram settings key.

#include <vector>

#include "platform/cstring.h"
#include "platform/types.h"

/// Histogram settings key below the product key; the themes are its subkeys.
inline constexpr const char* kHistSettingsKey = "\\Settings\\Viewer\\Histogram";

/// A theme as the histogram window lists it and gives it to its view.
struct GraphThemeItem {
    CString name;  ///< display name
    CString key;   ///< subkey name
    COLORREF background = 0, grid = 0, graph = 0, axes = 0, gridText = 0, text = 0, selection = 0;
};

/// The theme store: loads and saves one theme at a time.
class CGraphColorTheme {
public:
    /// Writes the built-in "Light" and "Dark" themes as subkeys "1" and "2".
    CGraphColorTheme();
    /// 1 "Light", 0 "Dark"; any other number changes nothing and gives false.
    bool SetBuiltIn(int number);
    /// Takes name and colours from the item; false (and no change) when its name is empty.
    bool Set(const GraphThemeItem& item);
    /// Writes the theme as subkey key\<index> and advances the index.
    bool Save(const CString& key);
    /// Reads the theme of the subkey; a missing or non-numeric colour reads as 0.
    bool Load(const CString& subKey);
    /// Writes the built-in themes below `key`, keeping the current colours.
    void CreateDefaults(const CString& key);
    /// The theme subkeys of `key` (the built-ins are written first when there are none).
    bool EnumThemes(const CString& key, std::vector<CString>* names);
    /// The loaded theme as an item of subkey `key`.
    GraphThemeItem Item(const CString& key) const;

    int m_nIndex = 1;
    CString m_strName;
    COLORREF m_colors[7] = {};  ///< background, grid, graph, axes, grid text, text, selection
};

/// Value names of the seven colours, in the order of the theme record.
extern const char* const kThemeColorNames[7];
