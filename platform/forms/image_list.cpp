#include "platform/forms/image_list.h"

#include <QImage>

#include "platform/controls/image_list.h"
#include "platform/forms/controls.h"
#include "platform/forms/format.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"

IMPLEMENT_TCLASS(TImageList, TComponent)

TImageList::TImageList() : m_list(std::make_unique<CImageList>()) {}

TImageList::~TImageList() = default;

void TImageList::Create(void* owner)
{
    TComponent::Create(owner);
    m_list->Create(m_width, m_height, ILC_COLOR32 | ILC_MASK, 0, 4);
}

void TImageList::SetSize(int width, int height)
{
    if (width <= 0 || height <= 0) return;
    m_width = width;
    m_height = height;
    m_list->DeleteImageList();
    m_list->Create(m_width, m_height, ILC_COLOR32 | ILC_MASK, 0, 4);
}

int TImageList::Count() const
{
    return m_list->GetImageCount();
}

int TImageList::Add(CBitmap* image)
{
    return m_list->Add(image, CLR_NONE);
}

int TImageList::AddMasked(CBitmap* image, COLORREF maskColor)
{
    return m_list->Add(image, maskColor);
}

bool TImageList::Draw(CDC* dc, int x, int y, int index) const
{
    return dc && m_list->Draw(dc, index, POINT{x, y}, ILD_TRANSPARENT);
}

bool TImageList::DrawDisabled(CDC* dc, int x, int y, int index) const
{
    return dc && m_list->DrawDisabled(dc, index, POINT{x, y});
}

bool TImageList::GetBitmap(int index, CBitmap* image) const
{
    if (!image || index < 0 || index >= Count()) return false;
    CDC dc;
    if (!dc.CreateCompatibleDC(nullptr)) return false;
    image->DeleteObject();
    if (!image->CreateBitmap(m_width, m_height, 1, 32, nullptr)) return false;
    CBitmap* previous = dc.SelectObject(image);
    dc.FillSolidRect(0, 0, m_width, m_height, RGB(0, 0, 0));
    m_list->Draw(&dc, index, POINT{0, 0}, ILD_TRANSPARENT);
    dc.SelectObject(previous);
    return true;
}

COLORREF TImageList::TransparentColorOf(CBitmap* image)
{
    BITMAP info{};
    if (!image || !image->GetSafeHandle() || !image->GetBitmap(&info) || info.bmWidth <= 0 ||
        info.bmHeight <= 0)
        return CLR_NONE;
    CDC dc;
    if (!dc.CreateCompatibleDC(nullptr)) return CLR_NONE;
    CBitmap* previous = dc.SelectObject(image);
    const COLORREF colour = dc.GetPixel(0, info.bmHeight - 1);
    dc.SelectObject(previous);
    return colour;
}

int TImageList::AddResource(HINSTANCE instance, const char* name)
{
    CBitmap strip;
    HBITMAP loaded = LoadBitmap(instance, name);
    if (!loaded) return -1;
    strip.Attach(reinterpret_cast<HGDIOBJ>(loaded));
    return AddMasked(&strip, TransparentColorOf(&strip));
}

void TImageList::Clear()
{
    SetSize(m_width, m_height);
}

bool TImageList::SetProperty(std::string_view name, std::string_view value, TComponent*)
{
    if (SameText(name, "Width")) {
        SetSize(PropertyInt(value), m_height);
    } else if (SameText(name, "Height")) {
        SetSize(m_width, PropertyInt(value));
    } else if (SameText(name, "Bitmap")) {
        const std::string resource(value);
        if (AddResource(nullptr, resource.c_str()) < 0)
            throw EResNotFound("Bitmap resource " + resource + " not found");
    } else {
        return false;
    }
    return true;
}

void TImageList::Assign(TPersistent* source)
{
    auto* other = ObjectAs<TImageList>(source);
    if (!other) return TComponent::Assign(source);
    if (other == this) return;
    SetSize(other->m_width, other->m_height);
    for (int i = 0; i < other->Count(); ++i) m_list->Add(other->m_list->GetImage(i));
}
