#include "platform/resources/resources.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <strings.h>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/resources/icon_internal.h"
#include "platform/resources/module_resources.h"

namespace platform {
namespace {

// One registered record, with what was made from it. Pictures are decoded once per
// registration, so a library loaded again (perhaps at the same address) starts afresh.
struct Registered {
    const ModuleResources* record;
    HINSTANCE instance;
    std::map<const void*, QImage> pictures;  // by the entry they were made from
    std::map<const void*, HCURSOR> cursors;
    std::map<const void*, HICON> icons;
};

struct Chain {
    std::mutex mutex;
    std::vector<std::unique_ptr<Registered>> records;  // oldest first
    // Handles given out stay valid for the life of the process, as a caller may keep them
    // past the unloading of the library they came from.
    std::deque<HICON__> iconHandles;
};

Chain& TheChain()
{
    // Never destroyed: libraries unregister from their static destructors, which may run
    // after this library's own at exit.
    static auto* chain = new Chain;
    return *chain;
}

HINSTANCE InstanceOf(const void* address)
{
    Dl_info info{};
    link_map* map = nullptr;
    // On this system a library's link map is the handle dlopen (and so LoadLibrary) gives.
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 && map)
        return reinterpret_cast<HINSTANCE>(map);
    return nullptr;
}

bool IsModuleInstance(const Chain& chain, HINSTANCE instance)
{
    if (!instance) return false;
    return std::any_of(chain.records.begin(), chain.records.end(),
                       [&](const auto& r) { return r->instance == instance; });
}

/// Calls visit(registered, entry) for the newest entry of the list `member` whose id is
/// `id` (or whose name is `name` for a string name), limited to one module when `instance`
/// names one. The chain's lock must be held.
template <class Entry, class Visit>
bool FindEntry(Chain& chain, std::span<const Entry> ModuleResources::*member, HINSTANCE instance,
               LPCTSTR name, Visit&& visit)
{
    if (!name) return false;
    const bool byId = IS_INTRESOURCE(name);
    const UINT id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
    const bool oneModule = IsModuleInstance(chain, instance);
    for (auto r = chain.records.rbegin(); r != chain.records.rend(); ++r) {
        if (oneModule && (*r)->instance != instance) continue;
        for (const Entry& e : (*r)->record->*member) {
            bool match = false;
            if (byId) {
                match = e.id == id;
            } else if constexpr (requires { e.name; }) {
                match = e.name && std::strcmp(e.name, name) == 0;
            }
            if (match) {
                visit(**r, e);
                return true;
            }
        }
    }
    return false;
}

template <class Entry>
const Entry* FindById(std::span<const Entry> ModuleResources::*member, UINT id)
{
    Chain& chain = TheChain();
    std::lock_guard lock(chain.mutex);
    const Entry* found = nullptr;
    FindEntry(chain, member, nullptr, MAKEINTRESOURCE(id), [&](Registered&, const Entry& e) { found = &e; });
    return found;
}

QImage Decode(std::span<const unsigned char> bytes)
{
    QImage image;
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return image;
    image.loadFromData(bytes.data(), static_cast<int>(bytes.size()));
    return image;
}

QImage MakePicture(const ImageResource& entry)
{
    if (!entry.bytes.empty()) return Decode(entry.bytes);
    if (entry.path) return QImage(QString::fromUtf8(entry.path));
    if (entry.draw) return entry.draw();
    return {};
}

QImage PictureOf(Registered& r, const ImageResource& entry)
{
    auto it = r.pictures.find(&entry);
    if (it == r.pictures.end()) it = r.pictures.emplace(&entry, MakePicture(entry)).first;
    return it->second;
}

/// The picture of the newest image resource of the list `member` by that name (limited to
/// one module when `instance` names one); null when there is none.
QImage FindPicture(std::span<const ImageResource> ModuleResources::*member, HINSTANCE instance, LPCTSTR name)
{
    Chain& chain = TheChain();
    std::lock_guard lock(chain.mutex);
    QImage image;
    FindEntry(chain, member, instance, name,
              [&](Registered& r, const ImageResource& e) { image = PictureOf(r, e); });
    return image;
}

/// The one handle made for a resource entry: the one kept in `made`, else what make() gives,
/// kept unless it is null. Loaded cursors and icons are shared, as the system shares them.
template <class Handle, class Make>
Handle MadeOnce(std::map<const void*, Handle>& made, const void* entry, Make&& make)
{
    if (auto it = made.find(entry); it != made.end()) return it->second;
    const Handle handle = make();
    if (handle) made.emplace(entry, handle);
    return handle;
}

constexpr int kMaxCursorSize = 64;

QImage CursorPicture(const CursorResource& entry)
{
    if (entry.rows.empty()) return Decode(entry.bytes);
    const int height = static_cast<int>(std::min<std::size_t>(entry.rows.size(), kMaxCursorSize));
    int width = 0;
    for (int y = 0; y < height; ++y)
        if (entry.rows[y]) width = std::max(width, static_cast<int>(strnlen(entry.rows[y], kMaxCursorSize)));
    if (width == 0) return {};
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(0u);
    for (int y = 0; y < height; ++y) {
        const char* row = entry.rows[y];
        for (int x = 0; row && x < width && row[x]; ++x) {
            if (row[x] == '#') image.setPixel(x, y, 0xFF000000u);
            if (row[x] == '.') image.setPixel(x, y, 0xFFFFFFFFu);
        }
    }
    return image;
}

}  // namespace

HINSTANCE RegisterModuleResources(const ModuleResources& resources)
{
    Chain& chain = TheChain();
    const HINSTANCE instance = InstanceOf(&resources);
    std::lock_guard lock(chain.mutex);
    for (const auto& r : chain.records)
        if (r->record == &resources) return r->instance;
    chain.records.push_back(std::make_unique<Registered>(Registered{&resources, instance, {}, {}, {}}));
    return instance;
}

void UnregisterModuleResources(const ModuleResources& resources)
{
    Chain& chain = TheChain();
    std::lock_guard lock(chain.mutex);
    std::erase_if(chain.records, [&](const auto& r) { return r->record == &resources; });
}

const MenuResource* FindMenuResource(UINT id)
{
    return FindById(&ModuleResources::menus, id);
}

const ToolBarResource* FindToolBarResource(UINT id)
{
    return FindById(&ModuleResources::toolBars, id);
}

const DialogTemplate* FindDialogTemplate(UINT id)
{
    return FindById(&ModuleResources::dialogs, id);
}

}  // namespace platform

const TFormResource* FindFormResource(const char* name)
{
    if (!name) return nullptr;
    platform::Chain& chain = platform::TheChain();
    std::lock_guard lock(chain.mutex);
    for (auto r = chain.records.rbegin(); r != chain.records.rend(); ++r)
        for (const TFormResource& form : (*r)->record->forms)
            if (form.name && ::strcasecmp(form.name, name) == 0) return &form;
    return nullptr;
}

namespace platform {

bool FindString(UINT id, CString& text)
{
    Chain& chain = TheChain();
    std::lock_guard lock(chain.mutex);
    // Copied under the lock: the table may belong to a library being unloaded on another thread.
    return FindEntry(chain, &ModuleResources::strings, nullptr, MAKEINTRESOURCE(id),
                     [&](Registered&, const StringEntry& e) { text = e.text; });
}

QImage LoadBitmapImage(HINSTANCE instance, LPCTSTR name)
{
    return FindPicture(&ModuleResources::bitmaps, instance, name);
}

QImage LoadBitmapImage(LPCTSTR name)
{
    return LoadBitmapImage(nullptr, name);
}

HCURSOR FindCursorResource(HINSTANCE instance, LPCTSTR name,
                           HCURSOR (*make)(const QImage& picture, POINT hotSpot))
{
    if (!name || !IS_INTRESOURCE(name) || !make) return nullptr;
    Chain& chain = TheChain();
    std::lock_guard lock(chain.mutex);
    HCURSOR cursor = nullptr;
    FindEntry(chain, &ModuleResources::cursors, instance, name, [&](Registered& r, const CursorResource& e) {
        cursor = MadeOnce(r.cursors, &e, [&]() -> HCURSOR {
            const QImage picture = CursorPicture(e);
            if (picture.isNull()) return nullptr;
            const POINT hot{std::clamp<int>(e.hotX, 0, picture.width() - 1),
                            std::clamp<int>(e.hotY, 0, picture.height() - 1)};
            return make(picture, hot);
        });
    });
    return cursor;
}

}  // namespace platform

BOOL CString::LoadString(UINT id)
{
    return platform::FindString(id, *this) ? TRUE : FALSE;
}

HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName)
{
    if (!lpIconName || !IS_INTRESOURCE(lpIconName)) return nullptr;
    platform::Chain& chain = platform::TheChain();
    std::lock_guard lock(chain.mutex);
    HICON icon = nullptr;
    platform::FindEntry(chain, &platform::ModuleResources::icons, hInstance, lpIconName,
                        [&](platform::Registered& r, const platform::ImageResource& e) {
                            icon = platform::MadeOnce(r.icons, &e, [&]() -> HICON {
                                const QImage image = platform::PictureOf(r, e);
                                if (image.isNull()) return nullptr;
                                return &chain.iconHandles.emplace_back(HICON__{image});
                            });
                        });
    return icon;
}
