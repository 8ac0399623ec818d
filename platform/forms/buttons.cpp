#include "platform/forms/buttons.h"

#include <algorithm>

#include "platform/forms/format.h"
#include "platform/forms/image_list.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"

IMPLEMENT_TCLASS(TSpeedButton, TGraphicControl)

void TSpeedButton::Create(void* owner)
{
    TGraphicControl::Create(owner);
    m_glyph = TBitmap::New();
    m_glyph->OnChange = TNotifyEvent::Of<&TSpeedButton::GlyphChange>(this);
    m_glyphs = TImageList::New();
    SetBounds(0, 0, 23, 22);
}

void TSpeedButton::BeforeDestruction()
{
    TGraphicControl::BeforeDestruction();
    FreeAndNil(m_glyph);
    FreeAndNil(m_glyphs);
}

void TSpeedButton::GlyphChange(TObject*)
{
    m_glyphs->Clear();
    if (!m_glyph->Empty()) {
        const int count = std::max(m_numGlyphs, 1);
        m_glyphs->SetSize(std::max(m_glyph->Width() / count, 1), m_glyph->Height());
        m_glyphs->AddMasked(m_glyph->Bitmap(), TImageList::TransparentColorOf(m_glyph->Bitmap()));
    }
    Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* glyph)
{
    m_glyph->Assign(glyph);
}

void TSpeedButton::SetNumGlyphs(int count)
{
    m_numGlyphs = std::clamp(count, 1, 4);
    GlyphChange(nullptr);
}

void TSpeedButton::SetFlat(bool flat)
{
    m_flat = flat;
    Invalidate();
}

void TSpeedButton::SetGroupIndex(int index)
{
    m_groupIndex = index;
    UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool allow)
{
    m_allowAllUp = allow;
    UpdateExclusive();
}

void TSpeedButton::SetLayout(TButtonLayout layout)
{
    m_layout = layout;
    Invalidate();
}

void TSpeedButton::SetDown(bool down)
{
    if (m_groupIndex == 0) down = false;
    if (down == m_down) return;
    if (m_down && !m_allowAllUp) return;
    m_down = down;
    m_state = down ? bsExclusive : bsUp;
    Invalidate();
    if (down) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive()
{
    TWinControl* parent = Parent();
    if (!parent || m_groupIndex == 0) return;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* other = ObjectAs<TSpeedButton>(parent->Control(i));
        if (!other || other == this || other->m_groupIndex != m_groupIndex) continue;
        // The group shares AllowAllUp; only one of it is down.
        other->m_allowAllUp = m_allowAllUp;
        if (m_down && other->m_down) {
            other->m_down = false;
            other->m_state = bsUp;
            other->Invalidate();
        }
    }
}

void TSpeedButton::EnabledChanged()
{
    m_state = !Enabled() ? bsDisabled : m_down ? bsExclusive : bsUp;
    if (!Enabled()) m_mouseInControl = false;
    Invalidate();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft || !Enabled()) return;
    if (!m_down) {
        m_state = bsDown;
        Invalidate();
    }
    m_dragging = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (!m_dragging) return;
    const bool inside = ClientRect().PtInRect(CPoint(x, y));
    const TButtonState state = inside ? (m_down ? bsExclusive : bsDown) : (m_down ? bsExclusive : bsUp);
    if (state != m_state) {
        m_state = state;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!m_dragging || button != mbLeft) return;
    m_dragging = false;
    const bool click = ClientRect().PtInRect(CPoint(x, y));
    if (m_groupIndex == 0) {
        m_state = bsUp;
    } else if (click) {
        SetDown(!m_down);
        m_state = m_down ? bsExclusive : bsUp;
    } else {
        m_state = m_down ? bsExclusive : bsUp;
    }
    Invalidate();
    if (click) Click();
}

void TSpeedButton::MouseEnter()
{
    if (m_mouseInControl || !Enabled()) return;
    m_mouseInControl = true;
    if (m_flat) Invalidate();
}

void TSpeedButton::MouseLeave()
{
    if (!m_mouseInControl) return;
    m_mouseInControl = false;
    if (m_flat) Invalidate();
}

void TSpeedButton::Paint()
{
    TCanvas* canvas = Canvas();
    CDC* dc = canvas->Dc();
    if (!dc) return;
    CRect rect = ClientRect();
    const bool pressed = m_state == bsDown || m_state == bsExclusive || m_down;
    const COLORREF light = ColorToRGB(clBtnHighlight), shadow = ColorToRGB(clBtnShadow);
    if (!m_flat) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(rect);
    }
    if (pressed && m_state != bsDown) {
        // A button that stays down shows a dithered face.
        for (int y = rect.top + 1; y < rect.bottom - 1; ++y)
            for (int x = rect.left + 1 + ((y + rect.left) & 1); x < rect.right - 1; x += 2)
                dc->SetPixelV(x, y, light);
    }
    if (pressed) {
        dc->Draw3dRect(&rect, shadow, light);
    } else if (!m_flat) {
        dc->Draw3dRect(&rect, light, ColorToRGB(cl3DDkShadow));
        CRect inner = rect;
        inner.DeflateRect(1, 1);
        dc->Draw3dRect(&inner, ColorToRGB(clBtnFace), shadow);
    } else if (m_mouseInControl && Enabled()) {
        dc->Draw3dRect(&rect, light, shadow);
    }
    const int offset = pressed ? 1 : 0;
    const std::string caption = Caption();
    canvas->Font()->Assign(Font());
    const CSize text = caption.empty() ? CSize(0, 0) : canvas->TextExtent(caption);
    const bool hasGlyph = m_glyphs->Count() > 0;
    const int glyphWidth = hasGlyph ? m_glyphs->Width() : 0, glyphHeight = hasGlyph ? m_glyphs->Height() : 0;
    const int spacing = hasGlyph && !caption.empty() ? 4 : 0;
    const bool vertical = m_layout == blGlyphTop || m_layout == blGlyphBottom;
    const int totalWidth = vertical ? std::max<int>(glyphWidth, text.cx) : glyphWidth + spacing + text.cx;
    const int totalHeight = vertical ? glyphHeight + spacing + text.cy : std::max<int>(glyphHeight, text.cy);
    int x = (rect.Width() - totalWidth) / 2 + offset, y = (rect.Height() - totalHeight) / 2 + offset;
    CPoint glyphAt, textAt;
    switch (m_layout) {
        case blGlyphRight:
            textAt = CPoint(x, (rect.Height() - text.cy) / 2 + offset);
            glyphAt = CPoint(x + text.cx + spacing, (rect.Height() - glyphHeight) / 2 + offset);
            break;
        case blGlyphTop:
            glyphAt = CPoint((rect.Width() - glyphWidth) / 2 + offset, y);
            textAt = CPoint((rect.Width() - text.cx) / 2 + offset, y + glyphHeight + spacing);
            break;
        case blGlyphBottom:
            textAt = CPoint((rect.Width() - text.cx) / 2 + offset, y);
            glyphAt = CPoint((rect.Width() - glyphWidth) / 2 + offset, y + text.cy + spacing);
            break;
        default:
            glyphAt = CPoint(x, (rect.Height() - glyphHeight) / 2 + offset);
            textAt = CPoint(x + glyphWidth + spacing, (rect.Height() - text.cy) / 2 + offset);
            break;
    }
    if (hasGlyph) {
        const int index = !Enabled() ? 1 : m_state == bsDown ? 2 : m_state == bsExclusive ? 3 : 0;
        if (index < m_glyphs->Count())
            m_glyphs->Draw(dc, glyphAt.x, glyphAt.y, index);
        else if (!Enabled())  // no disabled picture of its own: the up one greyed out
            m_glyphs->DrawDisabled(dc, glyphAt.x, glyphAt.y, 0);
        else
            m_glyphs->Draw(dc, glyphAt.x, glyphAt.y, 0);
    }
    if (!caption.empty()) {
        canvas->Brush()->SetStyle(bsClear);
        if (!Enabled()) {
            canvas->Font()->SetColor(clBtnHighlight);
            canvas->TextOut(textAt.x + 1, textAt.y + 1, caption);
            canvas->Font()->SetColor(clBtnShadow);
        }
        canvas->TextOut(textAt.x, textAt.y, caption);
    }
}

bool TSpeedButton::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Flat"))
        SetFlat(PropertyBool(value));
    else if (SameText(name, "GroupIndex"))
        SetGroupIndex(PropertyInt(value));
    else if (SameText(name, "AllowAllUp"))
        SetAllowAllUp(PropertyBool(value));
    else if (SameText(name, "Down"))
        SetDown(PropertyBool(value));
    else if (SameText(name, "NumGlyphs"))
        SetNumGlyphs(PropertyInt(value));
    else if (SameText(name, "Glyph")) {
        const std::string resource(value);
        if (!m_glyph->LoadFromResourceName(nullptr, resource.c_str()))
            throw EResNotFound("Bitmap resource " + resource + " not found");
    } else if (SameText(name, "Layout"))
        SetLayout(static_cast<TButtonLayout>(
            PropertyEnum(value, {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"})));
    else
        return TGraphicControl::SetProperty(name, value, form);
    return true;
}
