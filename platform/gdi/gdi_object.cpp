#include "platform/gdi/gdi_object.h"

#include <cstring>
#include <map>
#include <typeinfo>
#include <unordered_map>

#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<const void*, std::shared_ptr<GdiObject>> objects;
};

HandleTable& Table()
{
    static auto* table = new HandleTable;  // outlives every static wrapper's destructor
    return *table;
}

}  // namespace

void* Register(std::shared_ptr<GdiObject> object)
{
    void* handle = object.get();
    HandleTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    t.objects.emplace(handle, std::move(object));
    return handle;
}

bool Unregister(const void* handle)
{
    std::shared_ptr<GdiObject> keep;  // freed outside the lock: a DC's destructor deselects
    HandleTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.objects.find(handle);
    if (it == t.objects.end()) return false;
    keep = std::move(it->second);
    t.objects.erase(it);
    return true;
}

std::shared_ptr<GdiObject> Find(const void* handle)
{
    if (!handle) return nullptr;
    HandleTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.objects.find(handle);
    return it == t.objects.end() ? nullptr : it->second;
}

CGdiObject* TemporaryWrapper(HGDIOBJ handle, int typeTag, CGdiObject* (*make)())
{
    struct Wrappers {
        std::map<std::pair<HGDIOBJ, int>, std::unique_ptr<CGdiObject>> map;
        ~Wrappers()
        {
            for (auto& [key, w] : map) w->Detach();
        }
    };
    thread_local Wrappers wrappers;
    auto& slot = wrappers.map[{handle, typeTag}];
    if (!slot) {
        slot.reset(make());
        slot->m_hObject = handle;
    }
    return slot.get();
}

namespace {

std::shared_ptr<GdiObject> MakeStock(int which)
{
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_shared<BrushObj>();
        b->style = style;
        b->color = c;
        return b;
    };
    auto pen = [](int style, COLORREF c) {
        auto p = std::make_shared<PenObj>();
        p->style = style;
        p->color = c;
        return p;
    };
    auto font = [](int height, int weight, const char* face, BYTE pitch) {
        LOGFONT lf{};
        lf.lfHeight = height;
        lf.lfWeight = weight;
        lf.lfPitchAndFamily = pitch;
        std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        return MakeFont(lf);
    };
    switch (which) {
        case WHITE_BRUSH:
            return brush(BS_SOLID, RGB(255, 255, 255));
        case LTGRAY_BRUSH:
            return brush(BS_SOLID, RGB(192, 192, 192));
        case GRAY_BRUSH:
            return brush(BS_SOLID, RGB(128, 128, 128));
        case DKGRAY_BRUSH:
            return brush(BS_SOLID, RGB(64, 64, 64));
        case BLACK_BRUSH:
            return brush(BS_SOLID, RGB(0, 0, 0));
        case NULL_BRUSH:
            return brush(BS_NULL, 0);
        case DC_BRUSH:
            return brush(BS_SOLID, RGB(255, 255, 255));
        case WHITE_PEN:
            return pen(PS_SOLID, RGB(255, 255, 255));
        case BLACK_PEN:
            return pen(PS_SOLID, 0);
        case NULL_PEN:
            return pen(PS_NULL, 0);
        case DC_PEN:
            return pen(PS_SOLID, 0);
        case OEM_FIXED_FONT:
        case ANSI_FIXED_FONT:
        case SYSTEM_FIXED_FONT:
            return font(16, FW_NORMAL, "Monospace", FIXED_PITCH | FF_MODERN);
        case ANSI_VAR_FONT:
        case DEVICE_DEFAULT_FONT:
        case SYSTEM_FONT:
            return font(16, FW_BOLD, "Sans Serif", VARIABLE_PITCH | FF_SWISS);
        case DEFAULT_GUI_FONT:
            return font(-11, FW_NORMAL, "Sans Serif", VARIABLE_PITCH | FF_SWISS);
        case DEFAULT_PALETTE: {
            auto p = std::make_shared<PaletteObj>();
            p->entries.assign(StaticColours(), StaticColours() + 20);
            return p;
        }
        default:
            return nullptr;
    }
}

}  // namespace

const PALETTEENTRY* StaticColours()
{
    static const PALETTEENTRY colours[20] = {
        {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
        {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
        {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
        {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};
    return colours;
}

HGDIOBJ StockObject(int which)
{
    static std::mutex lock;
    static HGDIOBJ stock[DC_PEN + 1] = {};
    if (which < 0 || which > DC_PEN) return nullptr;
    std::lock_guard<std::mutex> g(lock);
    if (!stock[which]) {
        auto o = MakeStock(which);
        if (!o) return nullptr;
        o->stock = true;
        stock[which] = static_cast<HGDIOBJ>(Register(std::move(o)));
    }
    return stock[which];
}

}  // namespace platform::gdi

using namespace platform::gdi;

HGDIOBJ GetStockObject(int which)
{
    return StockObject(which);
}

BOOL DeleteObject(HGDIOBJ object)
{
    auto o = Find(object);
    if (!o || o->kind == Kind::DC || o->kind == Kind::MetaFile) return FALSE;
    if (o->stock) return TRUE;
    if (o->kind == Kind::Bitmap && static_cast<BitmapObj&>(*o).selectedIn.load() != nullptr) return FALSE;
    return Unregister(object) ? TRUE : FALSE;
}

int GetObject(HGDIOBJ object, int size, void* buffer)
{
    auto o = Find(object);
    if (!o) return 0;
    auto copy = [&](const void* data, int bytes) {
        if (!buffer) return bytes;
        const int n = std::min(size, bytes);
        if (n <= 0) return 0;
        std::memcpy(buffer, data, static_cast<size_t>(n));
        return n;
    };
    switch (o->kind) {
        case Kind::Bitmap: {
            const auto& b = static_cast<const BitmapObj&>(*o);
            DIBSECTION ds{};
            ds.dsBm = {0,
                       b.width,
                       b.height,
                       static_cast<LONG>(b.stride),
                       1,
                       static_cast<WORD>(b.bitCount),
                       b.isDib ? b.bits : nullptr};
            if (!b.isDib || size < int(sizeof(DIBSECTION))) return copy(&ds.dsBm, sizeof(BITMAP));
            ds.dsBmih = {40,
                         b.width,
                         b.topDown ? -b.height : b.height,
                         1,
                         static_cast<WORD>(b.bitCount),
                         b.compression,
                         static_cast<DWORD>(b.stride * b.height),
                         0,
                         0,
                         static_cast<DWORD>(b.colors.size()),
                         0};
            std::memcpy(ds.dsBitfields, b.masks, sizeof(ds.dsBitfields));
            ds.dshSection = b.section;
            ds.dsOffset = b.sectionOffset;
            return copy(&ds, sizeof(DIBSECTION));
        }
        case Kind::Pen: {
            const auto& p = static_cast<const PenObj&>(*o);
            LOGPEN lp{static_cast<UINT>(p.style), {p.width, 0}, p.color};
            return copy(&lp, sizeof(LOGPEN));
        }
        case Kind::Brush: {
            const auto& b = static_cast<const BrushObj&>(*o);
            LOGBRUSH lb{b.style, b.color, static_cast<std::uintptr_t>(b.hatch)};
            return copy(&lb, sizeof(LOGBRUSH));
        }
        case Kind::Font:
            return copy(&static_cast<const FontObj&>(*o).log, sizeof(LOGFONT));
        case Kind::Palette: {
            const WORD n = static_cast<WORD>(static_cast<const PaletteObj&>(*o).entries.size());
            return copy(&n, sizeof(WORD));
        }
        default:
            return 0;
    }
}

CGdiObject::~CGdiObject()
{
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    if (!object) return FALSE;
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ h = m_hObject;
    m_hObject = nullptr;
    return h;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject) return FALSE;
    const BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return ok;
}

BOOL CGdiObject::CreateStockObject(int which)
{
    m_hObject = ::GetStockObject(which);
    return m_hObject != nullptr;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object)
{
    return GdiFromHandle<CGdiObject>(object, 0);
}
