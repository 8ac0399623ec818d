#pragma once

// Project templates (unit KTemplates): prepared project files the user can start from. The
// list comes from the user's registry, key
// "Software\Orvane\Tarvenix2.0\Settings\3DRaster\Templates\Projects": each value
// "file<suffix>" (exact case) with a non-empty "caption<suffix>" beside it is a template.
// The unit publishes them as entries of TKProject's class information (key -4: Name = the
// caption, Data = TKTemplate, Tag = the template's index), which the administrator's New
// dialog lists; a chosen entry is opened through a TKTemplate made with its tag.

#include <string>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_object.h"

/// The registry key of the templates, below HKEY_CURRENT_USER.
inline constexpr char kProjectTemplatesKey[] =
    "Software\\Orvane\\Tarvenix2.0\\Settings\\3DRaster\\Templates\\Projects";

/// One template: its caption and its file, kept as a pair, so that a caption holding "="
/// still names its file.
struct TKProjectTemplate {
    std::string caption;
    std::string file;
};

/// The templates read at the unit's start, in the order of the registry's values.
std::vector<TKProjectTemplate> ProjectTemplates();
/// The same as lines: caption, "=" and file joined.
std::vector<std::string> ProjectTemplateLines();

class TKTemplate : public TKObject {
    DECLARE_TCLASS(TKTemplate)

    /// A template object for the template at index.
    static TKTemplate* NewForIndex(int index);
    /// Slot 13. The owner a template is made with is its index (as the administrator makes
    /// it from an entry's tag); it is kept in Index, and the object has no owner.
    void Create(void* owner) override;

    // Slot 16. For an index inside the list: the file of the first template with this
    // template's caption, when it is named and exists, is loaded through the administrator
    // (the forms' loadProjectFromFile). Otherwise, or without the administrator, nothing.
    virtual void Open();

    int Index() const { return m_index; }

protected:
    TKTemplate() = default;

private:
    int m_index = -1;
};

/// Unit KTemplates: reads and publishes the templates and registers the "TKTemplate_64"
/// glyph; its end takes its entries back.
extern const TUnitInfo kKTemplatesUnit;
