#include "platform/resources/resources.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/resource_chain.h"

namespace platform {
namespace {

ResourceChain<MenuResource>& Menus()
{
    static ResourceChain<MenuResource> chain;
    return chain;
}
ResourceChain<ToolBarResource>& ToolBars()
{
    static ResourceChain<ToolBarResource> chain;
    return chain;
}
ResourceChain<ImageResource>& Bitmaps()
{
    static ResourceChain<ImageResource> chain;
    return chain;
}
ResourceChain<ImageResource>& Icons()
{
    static ResourceChain<ImageResource> chain;
    return chain;
}

// Lookups by name are rare (a handful of tool-bar strips), so the names are kept in a
// list of their own beside the id chain.
struct NamedTable {
    std::string module;
    std::span<const ImageResource> entries;
};
std::mutex g_namedMutex;
std::vector<NamedTable>& NamedBitmaps()
{
    static std::vector<NamedTable> tables;
    return tables;
}

QImage Picture(const ImageResource* entry)
{
    if (!entry) return {};
    if (entry->draw) return entry->draw();
    if (entry->path) return QImage(QString::fromUtf8(entry->path));
    return {};
}

const ImageResource* FindImage(const ResourceChain<ImageResource>& chain, LPCTSTR name)
{
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) return chain.Find(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)));
    std::lock_guard lock(g_namedMutex);
    const auto& tables = NamedBitmaps();
    for (auto t = tables.rbegin(); t != tables.rend(); ++t)
        for (const ImageResource& e : t->entries)
            if (e.name && std::string(e.name) == name) return &e;
    return nullptr;
}

}  // namespace

void RegisterMenus(const char* module, std::span<const MenuResource> menus)
{
    Menus().Register(module, menus);
}
void RegisterToolBars(const char* module, std::span<const ToolBarResource> toolBars)
{
    ToolBars().Register(module, toolBars);
}
void RegisterBitmaps(const char* module, std::span<const ImageResource> bitmaps)
{
    Bitmaps().Register(module, bitmaps);
    std::lock_guard lock(g_namedMutex);
    NamedBitmaps().push_back({module, bitmaps});
}
void RegisterIcons(const char* module, std::span<const ImageResource> icons)
{
    Icons().Register(module, icons);
}

void UnregisterResources(const char* module)
{
    Menus().Unregister(module);
    ToolBars().Unregister(module);
    Bitmaps().Unregister(module);
    Icons().Unregister(module);
    std::lock_guard lock(g_namedMutex);
    auto& tables = NamedBitmaps();
    std::erase_if(tables, [&](const NamedTable& t) { return t.module == module; });
}

const MenuResource* FindMenuResource(UINT id)
{
    return Menus().Find(id);
}
const ToolBarResource* FindToolBarResource(UINT id)
{
    return ToolBars().Find(id);
}
QImage LoadBitmapImage(LPCTSTR name)
{
    return Picture(FindImage(Bitmaps(), name));
}
QImage LoadIconImage(LPCTSTR name)
{
    if (!name || !IS_INTRESOURCE(name)) return {};
    return Picture(Icons().Find(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name))));
}

}  // namespace platform

HICON LoadIcon(HINSTANCE, LPCTSTR lpIconName)
{
    // One handle per icon resource for the life of the process, as loaded icons are shared.
    static std::mutex mutex;
    static std::map<const void*, std::unique_ptr<HICON__>> handles;
    const QImage image = platform::LoadIconImage(lpIconName);
    if (image.isNull()) return nullptr;
    std::lock_guard lock(mutex);
    auto& slot = handles[lpIconName];
    if (!slot) slot = std::make_unique<HICON__>(HICON__{image});
    return slot.get();
}
