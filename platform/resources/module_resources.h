#pragma once

// The resource record of a library: everything the library keeps as resources (strings,
// menus, tool bars, bitmaps, icons, cursors, dialog templates), joined to the resource
// chain with one call when the library is loaded and taken out with one call when it is
// unloaded. A library declares its record as constant data and a registration object
// beside it, so that loading the library joins the chain and unloading it leaves it:
//
//     namespace {
//     constexpr platform::StringEntry kStrings[] = {{20001, "Layer"}, {20002, "Zoom in"}};
//     constexpr const char* kZoomInArt[] = {"  ##  ", " #..# ", "#....#", " #..# ", "  ##  "};
//     constexpr platform::CursorResource kCursors[] = {{231, 2, 2, kZoomInArt}};
//     constexpr platform::ModuleResources kResources{
//         .module = "panekit", .strings = kStrings, .cursors = kCursors, .dialogs = kDialogs};
//     const platform::ModuleResourceRegistration kRegistration(kResources);
//     }  // namespace
//
// Lookups walk the chain newest registration first, so a library loaded later may
// override an id of one loaded before it; each library keeps its ids in its own range.
// A lookup never reaches a record that has been unregistered. Texts and pictures are
// copied out under the chain's lock, so a worker thread may load them while another
// library is unloaded. Menus, tool bars and dialog templates are read in place: the
// pointer a Find call returns is valid while the library that owns it stays loaded
// (libraries are loaded and unloaded on the user-interface thread, where these are used).
// Cursors are made on the user-interface thread, as every cursor is. A picture's draw
// function runs under the chain's lock and must not look up resources itself.

#include <span>

#include "platform/forms/form_resource.h"
#include "platform/resources/resources.h"
#include "platform/string_table.h"

namespace platform {

/// A cursor: a small picture (at most 64 x 64) and its hot spot. The picture is either
/// drawn as text rows, '#' black, '.' white and anything else clear, or the bytes of a PNG
/// or BMP file.
struct CursorResource {
    UINT id;
    short hotX;
    short hotY;
    std::span<const char* const> rows;
    std::span<const unsigned char> bytes = {};
};

/// Everything one library keeps as resources. Every list may be empty. The record and all
/// it points to must be static data of the library (they are read in place).
struct ModuleResources {
    const char* module;  ///< a name for diagnostics
    std::span<const StringEntry> strings = {};
    std::span<const MenuResource> menus = {};
    std::span<const ToolBarResource> toolBars = {};
    std::span<const ImageResource> bitmaps = {};
    std::span<const ImageResource> icons = {};
    std::span<const CursorResource> cursors = {};
    std::span<const DialogTemplate> dialogs = {};
    /// Layouts of the plug-in's forms (platform/forms/form_resource.h).
    std::span<const TFormResource> forms = {};
};

/// Joins the record to the chain as its newest entry and returns the instance handle of
/// the library that holds it (the handle LoadLibrary gives for that library; the program's
/// own for a record of the program). Registering a record twice keeps one entry.
PLATFORM_API HINSTANCE RegisterModuleResources(const ModuleResources& resources);
/// Takes the record out of the chain; the records of other libraries stay. Unknown: ignored.
PLATFORM_API void UnregisterModuleResources(const ModuleResources& resources);

/// Registers a record for as long as it lives: a library defines one at namespace scope,
/// so that it registers when the library is loaded and unregisters when it is unloaded.
class ModuleResourceRegistration {
public:
    explicit ModuleResourceRegistration(const ModuleResources& resources)
        : m_resources(resources), m_instance(RegisterModuleResources(resources))
    {
    }
    ~ModuleResourceRegistration() { UnregisterModuleResources(m_resources); }
    ModuleResourceRegistration(const ModuleResourceRegistration&) = delete;
    ModuleResourceRegistration& operator=(const ModuleResourceRegistration&) = delete;

    /// The library's instance handle, for LoadCursor, LoadIcon and LoadBitmap.
    HINSTANCE Instance() const { return m_instance; }

    /// The text of string `id` as the chain has it, else as the record's own table has it:
    /// a static destructor of another library may ask after this one has left the chain at
    /// exit, and still gets the text. Empty when neither has it.
    CString Text(UINT id) const
    {
        CString text;
        if (FindString(id, text)) return text;
        for (const StringEntry& entry : m_resources.strings)
            if (entry.id == id) return entry.text;
        return CString();
    }

private:
    const ModuleResources& m_resources;
    HINSTANCE m_instance;
};

}  // namespace platform
