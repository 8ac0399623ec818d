#include "plugin3d/model/core/k_interfaces.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/forms/format.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/gdi/gdi_objects.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/resources/kelvora_resources.h"

/// Holds the request of the last popup menu built; its Click is the OnClick of the default
/// items. It listens to the end of the change objects the request names, so that a click
/// after one of them is gone does nothing instead of reaching a freed object.
class TInternal_MenuClickObject : public TObject {
    DECLARE_TCLASS(TInternal_MenuClickObject)

    TInternal_MenuClickObject() = default;
    ~TInternal_MenuClickObject() override
    {
        std::lock_guard lock(m_mutex);
        Forget();
    }

    void Keep(const TKObjectRequest& request)
    {
        std::lock_guard lock(m_mutex);
        Forget();
        m_request = request;
        m_live = true;
        for (TObject* object : {request.Project, request.Object, request.Container})
            if (auto* watched = ObjectAs<TKCustomChangeObject>(object);
                watched && std::find(m_watched.begin(), m_watched.end(), watched) == m_watched.end()) {
                watched->Events().Add(Handler());
                m_watched.push_back(watched);
            }
    }

    void Click(TObject* sender)
    {
        const auto* item = ObjectAs<TMenuItem>(sender);
        if (!item || item->Tag() != -1) return;
        TKObjectRequest request;
        {
            std::lock_guard lock(m_mutex);
            if (!m_live) return;
            request = m_request;
        }
        request.Kind = korOpen;
        SendObjectRequest(request.Class, request);
    }

private:
    TKEventHandler Handler() { return TKEventHandler::Of<&TInternal_MenuClickObject::OnEvent>(this); }

    void OnEvent(TObject* sender, int code, std::intptr_t)
    {
        if (code != kevDestroyed) return;
        std::lock_guard lock(m_mutex);
        if (std::find(m_watched.begin(), m_watched.end(), sender) == m_watched.end()) return;
        m_live = false;
        Forget();
    }

    // Under m_mutex. Every watched object still lives: its end would have removed it.
    void Forget()
    {
        for (TKCustomChangeObject* watched : m_watched) watched->Events().Remove(Handler());
        m_watched.clear();
    }

    std::mutex m_mutex;
    TKObjectRequest m_request;
    bool m_live = false;
    std::vector<TKCustomChangeObject*> m_watched;
};

IMPLEMENT_TCLASS(TInternal_MenuClickObject, TObject)

namespace {

constexpr char kInterfaces[] = "KInterfaces";
constexpr char kMainWindows[] = "Windows\\MainWnd";
constexpr int kGlyphSizes[] = {64, 32, 16};

struct GlyphEntry {
    int imageIndex;
    std::int32_t glyphId;
};

// The unit's state, made by its start and freed by its end (user-interface thread).
struct InterfacesState {
    std::mutex mutex;
    TImageList* lists[3] = {};
    std::vector<GlyphEntry> glyphs;
    std::int32_t lastGlyphId = 0;
    TInternal_MenuClickObject* clickObject = nullptr;
};
InterfacesState g_state;

int SizeSlot(int size)
{
    for (int i = 0; i < 3; ++i)
        if (kGlyphSizes[i] == size) return i;
    return -1;
}

std::intptr_t GlyphKey(int size)
{
    switch (size) {
        case 64:
            return kciGlyph64;
        case 32:
            return kciGlyph32;
        case 16:
            return kciGlyph16;
        default:
            return 0;
    }
}

TKDataBranch* InterfacesNode(bool create)
{
    TKDataBranch* root = create ? RegistryRoot(nullptr) : RegistryFind(nullptr);
    if (!root) return nullptr;
    return create ? root->ForceChild(kInterfaces, false) : root->FindChildByName(kInterfaces, false);
}

TKDataBranch* MainWindowsNode(bool create)
{
    TKDataBranch* root = create ? RegistryRoot(nullptr) : RegistryFind(nullptr);
    if (!root) return nullptr;
    return create ? root->ForcePath(kMainWindows, false, '\\') : root->FindPath(kMainWindows, false, '\\');
}

// The handlers of one class, taken under the tree lock and called outside it: a handler
// may register or remove handlers.
std::vector<TKRequestHandler> HandlersOf(TClass cls)
{
    std::vector<TKRequestHandler> handlers;
    TKTreeLock lock;
    if (TKDataBranch* node = GetClassInfoBranch(cls, kciHandlers, false))
        for (int i = 0; i < node->Count(); ++i)
            if (TKDataBranch* child = node->DataChild(i))
                if (auto* handler = child->Data().AsFunction<std::int32_t(TKObjectRequest&)>())
                    handlers.push_back(handler);
    return handlers;
}

void OpenEditor(TKObjectRequest& request)
{
    if (!request.Object) return;
    const auto param = reinterpret_cast<std::intptr_t>(request.Object);
    if (request.Container) {
        if (auto* container = ObjectAs<TKObject>(request.Container)) container->Operation(4098, param);
    } else if (auto* object = ObjectAs<TKObject>(request.Object)) {
        object->Operation(4098, param);
    }
}

void AddSubItems(TKObjectRequest& request)
{
    auto* target = ObjectAs<TKDataBranch>(reinterpret_cast<TObject*>(request.Argument));
    if (!target) return;
    std::vector<TKBranch*> templates;
    {
        TKTreeLock lock;
        if (TKDataBranch* node = GetClassInfoBranch(request.Class, kciSubItems, false))
            for (int i = 0; i < node->Count(); ++i)
                if (TKBranch* child = node->GetChild(i)) templates.push_back(child);
        for (TKBranch* item : templates)
            if (auto* copy = ObjectAs<TKBranch>(item->Clone(nullptr))) target->AddChild(copy);
    }
}

void FillBranch(TKObjectRequest& request)
{
    auto* branch = ObjectAs<TKDataBranch>(reinterpret_cast<TObject*>(request.Argument));
    if (!request.Object || !branch) return;
    const auto* named = ObjectAs<TKCustomChangeObject>(request.Object);
    branch->SetCount(0);
    branch->SetData(TKData::OfObject(request.Object));
    branch->SetName(named ? named->Name() : std::string());
}

// Where GetClassInfoBranch found a node, or that it found none. Every object request asks
// for the handlers of each class from the object's up to TObject, most of which have no
// node, so searching the class nodes anew for each object was most of the time a large
// project's tree took to fill. A found node is taken from its remembered place while the
// node there still holds that data; a miss stands while the list it searched has as many
// nodes as then. Nodes are made only by GetClassInfoBranch, which forgets every place when
// it makes one. Read and written under the tree lock.
struct ChildPlace {
    int index = -2;  ///< the child's index; -1: none among `count` children; -2: not searched
    int count = 0;
};

struct ClassInfoPlace {
    const TKDataBranch* interfaces = nullptr;
    const TKDataBranch* classSeen = nullptr;  ///< the class node keyNode was searched in
    ChildPlace classNode;
    ChildPlace keyNode;
};

struct ClassInfoKeyHash {
    std::size_t operator()(const std::pair<TClass, std::intptr_t>& k) const
    {
        return std::hash<const void*>()(k.first) ^
               (std::hash<std::intptr_t>()(k.second) * 0x9E3779B97F4A7C15ull);
    }
};

std::unordered_map<std::pair<TClass, std::intptr_t>, ClassInfoPlace, ClassInfoKeyHash> g_classInfoPlaces;

// The first child of parent that matches, looked for at its remembered place first (the tree
// lock is held).
template <class Match>
TKDataBranch* ChildAt(TKDataBranch* parent, Match matches, ChildPlace& place)
{
    const int count = parent->Count();
    if (place.index >= 0 && place.index < count)
        if (TKDataBranch* child = parent->DataChild(place.index); child && matches(*child)) return child;
    if (place.index == -1 && place.count == count) return nullptr;
    for (int i = 0; i < count; ++i)
        if (TKDataBranch* child = parent->DataChild(i); child && matches(*child)) {
            place = {i, count};
            return child;
        }
    place = {-1, count};
    return nullptr;
}

TKDataBranch* ChildAt(TKDataBranch* parent, TKData data, ChildPlace& place)
{
    return ChildAt(
        parent, [&](const TKDataBranch& child) { return child.Data() == data; }, place);
}

// The registry's "KInterfaces" node, without searching the registry's nodes on every request
// (the tree lock is held).
TKDataBranch* FoundInterfacesNode()
{
    static const TKDataBranch* searched = nullptr;
    static ChildPlace place;
    TKDataBranch* root = RegistryFind(nullptr);
    if (!root) return nullptr;
    if (root != searched) {
        searched = root;
        place = {};
    }
    return ChildAt(
        root, [](const TKDataBranch& child) { return SameText(child.Name(), kInterfaces); }, place);
}

void StartInterfaces()
{
    std::lock_guard lock(g_state.mutex);
    for (int i = 0; i < 3; ++i) {
        g_state.lists[i] = TImageList::New(nullptr);
        g_state.lists[i]->SetSize(kGlyphSizes[i], kGlyphSizes[i]);
    }
    g_state.glyphs.clear();
    g_state.lastGlyphId = 0;
    g_state.clickObject = TInternal_MenuClickObject::New();
}

void EndInterfaces()
{
    {
        std::lock_guard lock(g_state.mutex);
        for (TImageList*& list : g_state.lists) FreeAndNil(list);
        g_state.glyphs.clear();
        FreeAndNil(g_state.clickObject);
    }
    TKTreeLock lock;
    g_classInfoPlaces.clear();
    FreeObject(InterfacesNode(false));
}

}  // namespace

const TUnitInfo kKInterfacesUnit{"KInterfaces", StartInterfaces, EndInterfaces};

TKDataBranch* GetClassInfoBranch(TClass cls, std::intptr_t key, bool create)
{
    if (!cls) return nullptr;
    TKTreeLock lock;
    TKDataBranch* interfaces = create ? InterfacesNode(true) : FoundInterfacesNode();
    if (!interfaces) return nullptr;
    ClassInfoPlace& place = g_classInfoPlaces[{cls, key}];
    if (place.interfaces != interfaces) place = {interfaces, nullptr, {}, {}};
    TKDataBranch* classNode = ChildAt(interfaces, TKData::OfClass(cls), place.classNode);
    if (!classNode) {
        if (!create) return nullptr;
        g_classInfoPlaces.clear();
        classNode = static_cast<TKDataBranch*>(
            interfaces->AddChild(TKDataBranch::NewNamed(cls->name, 0, TKData::OfClass(cls))));
        return static_cast<TKDataBranch*>(
            classNode->AddChild(TKDataBranch::NewNamed("", 0, TKData::OfKey(key))));
    }
    if (place.classSeen != classNode) {
        place.classSeen = classNode;
        place.keyNode = {};
    }
    TKDataBranch* keyNode = ChildAt(classNode, TKData::OfKey(key), place.keyNode);
    if (!keyNode && create) {
        g_classInfoPlaces.clear();
        keyNode = static_cast<TKDataBranch*>(
            classNode->AddChild(TKDataBranch::NewNamed("", 0, TKData::OfKey(key))));
    }
    return keyNode;
}

TKDataBranch* RegisterRequestHandler(TClass cls, TKRequestHandler handler)
{
    if (!cls || !handler || handler == &DefaultObjectRequest) return nullptr;
    TKTreeLock lock;
    TKDataBranch* node = GetClassInfoBranch(cls, kciHandlers, true);
    if (!node) return nullptr;
    if (TKDataBranch* existing = node->FindByData(TKData::OfFunction(handler))) return existing;
    return static_cast<TKDataBranch*>(
        node->AddChild(TKDataBranch::NewNamed("", 0, TKData::OfFunction(handler))));
}

void UnregisterRequestHandler(TClass cls, TKRequestHandler handler)
{
    if (!cls || !handler) return;
    TKTreeLock lock;
    if (TKDataBranch* node = GetClassInfoBranch(cls, kciHandlers, false))
        FreeObject(node->FindByData(TKData::OfFunction(handler)));
}

std::int32_t SendObjectRequest(TClass cls, TKObjectRequest& request)
{
    if (!cls || cls == TObject::StaticClass()) return -1;
    request.Class = cls;
    for (TClass c = cls; c && c != TObject::StaticClass(); c = c->parent) {
        const std::vector<TKRequestHandler> handlers = HandlersOf(c);
        for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
            if (const std::int32_t answer = (*it)(request); answer >= 0) return answer;
    }
    return DefaultObjectRequest(request);
}

std::int32_t DefaultObjectRequest(TKObjectRequest& request)
{
    auto* text = reinterpret_cast<std::string*>(request.Argument);
    switch (request.Kind) {
        case korOpen:
            OpenEditor(request);
            break;
        case korClassCaption:
            AssignStringCopy(text, GetClassCaption(request.Class));
            break;
        case korSubItems:
            AddSubItems(request);
            break;
        case korRename:
            if (auto* object = ObjectAs<TKCustomChangeObject>(request.Object); object && text)
                object->SetName(*text);
            break;
        case korCaption:
            if (request.Object) {
                const auto* object = ObjectAs<TKCustomChangeObject>(request.Object);
                AssignStringCopy(text, object ? object->Name() : std::string());
            }
            break;
        case korFillBranch:
            FillBranch(request);
            break;
        case korGlyph64:
            request.Argument = GetClassGlyphIndex(64, request.Class);
            break;
        case korGlyph32:
            request.Argument = GetClassGlyphIndex(32, request.Class);
            break;
        case korGlyph16:
            request.Argument = GetClassGlyphIndex(16, request.Class);
            break;
        case korPopupMenu:
            if (request.Object) BuildObjectPopupMenu(request);
            break;
        default:
            break;
    }
    return 0;
}

void RegisterClassCaption(TClass cls, const std::string& caption)
{
    if (TKDataBranch* node = GetClassInfoBranch(cls, kciCaption, true)) node->SetName(caption);
}

std::string GetClassCaption(TClass cls)
{
    if (!cls) return {};
    if (TKDataBranch* node = GetClassInfoBranch(cls, kciCaption, false)) return node->Name();
    return cls->name;
}

void SetClassGlyph(int size, TClass cls, std::int32_t glyphId)
{
    const std::intptr_t key = GlyphKey(size);
    if (!key) return;
    if (TKDataBranch* node = GetClassInfoBranch(cls, key, true)) node->SetTag(glyphId);
}

std::int32_t GetClassGlyphIndex(int size, TClass cls)
{
    const std::intptr_t key = GlyphKey(size);
    if (!key) return -1;
    TKDataBranch* node = GetClassInfoBranch(cls, key, false);
    return node ? node->Tag() : -1;
}

std::int32_t AddGlyph(int size, CBitmap* bitmap, bool masked)
{
    const int slot = SizeSlot(size);
    if (slot < 0) return -1;
    std::lock_guard lock(g_state.mutex);
    TImageList* list = g_state.lists[slot];
    if (!list) return -1;
    const int index =
        masked ? list->AddMasked(bitmap, TImageList::TransparentColorOf(bitmap)) : list->Add(bitmap);
    if (index < 0) return index;
    const std::int32_t id = ++g_state.lastGlyphId;
    g_state.glyphs.push_back({index, id});
    return id;
}

int GlyphImageIndex(std::int32_t glyphId)
{
    std::lock_guard lock(g_state.mutex);
    for (const GlyphEntry& entry : g_state.glyphs)
        if (entry.glyphId == glyphId) return entry.imageIndex;
    return -1;
}

TImageList* GlyphImageList(int size)
{
    const int slot = SizeSlot(size);
    if (slot < 0) return nullptr;
    std::lock_guard lock(g_state.mutex);
    return g_state.lists[slot];
}

std::int32_t RegisterClassGlyph(const std::string& resourceName, int size, TClass cls, bool masked)
{
    HBITMAP handle = LoadBitmap(KelvoraResourceInstance(), resourceName.c_str());
    if (!handle) return -1;
    CBitmap bitmap;
    bitmap.Attach(reinterpret_cast<HGDIOBJ>(handle));
    const std::int32_t id = AddGlyph(size, &bitmap, masked);
    if (id < 0) return -1;
    SetClassGlyph(size, cls, id);
    return id;
}

namespace {
TKObjectRequest RequestFor(TObject* object, TKRequestKind kind, std::intptr_t argument)
{
    TKObjectRequest request;
    request.Object = object;
    request.Kind = kind;
    request.Argument = argument;
    return request;
}
}  // namespace

void RequestRename(TObject* object, const std::string& newName)
{
    if (!object) return;
    TKObjectRequest request = RequestFor(object, korRename, reinterpret_cast<std::intptr_t>(&newName));
    SendObjectRequest(object->ClassType(), request);
}

std::string RequestCaption(TObject* object)
{
    std::string caption;
    if (!object) return caption;
    TKObjectRequest request = RequestFor(object, korCaption, reinterpret_cast<std::intptr_t>(&caption));
    SendObjectRequest(object->ClassType(), request);
    return caption;
}

void RequestFillBranch(TObject* project, TObject* object, TKDataBranch* branch)
{
    if (!object || !branch) return;
    TKObjectRequest request =
        RequestFor(object, korFillBranch, reinterpret_cast<std::intptr_t>(static_cast<TObject*>(branch)));
    request.Project = project;
    SendObjectRequest(object->ClassType(), request);
}

void RequestSubItems(TClass cls, TKDataBranch* branch)
{
    TKObjectRequest request = RequestFor(nullptr, korSubItems, reinterpret_cast<std::intptr_t>(branch));
    SendObjectRequest(cls, request);
}

TKDataBranch* RegisterMainWindow(TComponent* component, HWND handle)
{
    if (!component && !handle) return nullptr;
    TKTreeLock lock;
    TKDataBranch* windows = MainWindowsNode(true);
    if (!windows) return nullptr;
    // A handle is pointer-sized: it is kept as a key in Data, which holds one, not in the
    // 32-bit Tag.
    const TKData data =
        component ? TKData::OfObject(component) : TKData::OfKey(reinterpret_cast<std::intptr_t>(handle));
    if (TKDataBranch* existing = windows->FindByData(data)) return existing;
    const std::string name = component ? component->Name() : std::string();
    return static_cast<TKDataBranch*>(windows->AddChild(TKDataBranch::NewNamed(name, 0, data)));
}

HWND GetMainWindowHandle(int index)
{
    TKData data;
    {
        TKTreeLock lock;
        TKDataBranch* windows = MainWindowsNode(false);
        TKDataBranch* entry = windows ? windows->DataChild(index) : nullptr;
        if (!entry) return nullptr;
        data = entry->Data();
    }
    if (auto* component = ObjectAs<TComponent>(data.AsObject())) {
        const TKFormLinks links = FormLinks();
        return links.componentWindow ? links.componentWindow(component) : nullptr;
    }
    return reinterpret_cast<HWND>(data.AsKey());
}

void UnregisterMainWindow(TComponent* component, HWND handle)
{
    if (!component && !handle) return;
    TKTreeLock lock;
    TKDataBranch* windows = MainWindowsNode(false);
    if (!windows) return;
    const TKData data =
        component ? TKData::OfObject(component) : TKData::OfKey(reinterpret_cast<std::intptr_t>(handle));
    FreeObject(windows->FindByData(data));
}

void BuildObjectPopupMenu(const TKObjectRequest& request)
{
    auto* menu = ObjectAs<TPopupMenu>(reinterpret_cast<TObject*>(request.Argument));
    if (!menu) return;
    TNotifyEvent onClick;
    {
        std::lock_guard lock(g_state.mutex);
        if (g_state.clickObject) {
            g_state.clickObject->Keep(request);
            onClick = TNotifyEvent::Of<&TInternal_MenuClickObject::Click>(g_state.clickObject);
        }
    }
    struct Item {
        const char* caption;
        std::intptr_t tag;
    };
    static constexpr Item kItems[] = {{"Open", -1}, {"-", 0}, {"Cut", -2}, {"Copy", -3}, {"Paste", -4}};
    for (int i = 0; i < 5; ++i) {
        TMenuItem* item = TMenuItem::New(menu);
        item->SetCaption(kItems[i].caption);
        item->SetTag(kItems[i].tag);
        if (!item->IsLine()) item->SetOnClick(onClick);
        menu->Items()->Insert(i, item);
    }
}
