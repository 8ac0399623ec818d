#include "platform/forms/extctrls.h"

#include <algorithm>
#include <map>

#include "platform/forms/format.h"
#include "platform/gdi/dc.h"

IMPLEMENT_TCLASS(TPanel, TCustomControl)
IMPLEMENT_TCLASS(TBevel, TGraphicControl)
IMPLEMENT_TCLASS(TSplitter, TGraphicControl)
IMPLEMENT_TCLASS(TPaintBox, TGraphicControl)
IMPLEMENT_TCLASS(TTimer, TComponent)

namespace {

TPanelBevel ReadPanelBevel(std::string_view value)
{
    return static_cast<TPanelBevel>(PropertyEnum(value, {"bvNone", "bvLowered", "bvRaised", "bvSpace"}));
}

/// Draws a raised or lowered edge of width pixels inside rect and moves rect inside it.
void DrawEdgeOf(CDC* dc, CRect& rect, TPanelBevel bevel, int width)
{
    if (bevel == bvNone) return;
    for (int i = 0; i < width; ++i) {
        if (bevel == bvRaised)
            dc->Draw3dRect(&rect, ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow));
        else if (bevel == bvLowered)
            dc->Draw3dRect(&rect, ColorToRGB(clBtnShadow), ColorToRGB(clBtnHighlight));
        rect.DeflateRect(1, 1);
    }
}

}  // namespace

// --- TPanel ----------------------------------------------------------------------------------------------
void TPanel::Create(void* owner)
{
    TCustomControl::Create(owner);
    m_clickEvents = true;
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelInner(TPanelBevel bevel)
{
    m_bevelInner = bevel;
    Realign();
    Invalidate();
}

void TPanel::SetBevelOuter(TPanelBevel bevel)
{
    m_bevelOuter = bevel;
    Realign();
    Invalidate();
}

void TPanel::SetBevelWidth(int width)
{
    m_bevelWidth = std::max(width, 1);
    Realign();
    Invalidate();
}

void TPanel::SetBorderWidth(int width)
{
    m_borderWidth = std::max(width, 0);
    Realign();
    Invalidate();
}

CRect TPanel::ClientRect() const
{
    CRect client = TCustomControl::ClientRect();
    int inset = m_borderWidth;
    if (m_bevelOuter != bvNone) inset += m_bevelWidth;
    if (m_bevelInner != bvNone) inset += m_bevelWidth;
    client.DeflateRect(inset, inset);
    return client;
}

void TPanel::Paint()
{
    TCanvas* canvas = Canvas();
    CRect rect = TCustomControl::ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(rect);
    CDC* dc = canvas->Dc();
    if (!dc) return;
    DrawEdgeOf(dc, rect, m_bevelOuter, m_bevelWidth);
    rect.DeflateRect(m_borderWidth, m_borderWidth);
    DrawEdgeOf(dc, rect, m_bevelInner, m_bevelWidth);
    const std::string caption = Caption();
    if (!caption.empty()) {
        canvas->Font()->Assign(Font());
        canvas->Brush()->SetStyle(bsClear);
        canvas->DrawText(caption, rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    }
}

bool TPanel::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "BevelInner"))
        SetBevelInner(ReadPanelBevel(value));
    else if (SameText(name, "BevelOuter"))
        SetBevelOuter(ReadPanelBevel(value));
    else if (SameText(name, "BevelWidth"))
        SetBevelWidth(PropertyInt(value));
    else if (SameText(name, "BorderWidth"))
        SetBorderWidth(PropertyInt(value));
    else
        return TCustomControl::SetProperty(name, value, form);
    return true;
}

// --- TBevel ---------------------------------------------------------------------------------------------
void TBevel::Create(void* owner)
{
    TGraphicControl::Create(owner);
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    m_shape = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style)
{
    m_style = style;
    Invalidate();
}

void TBevel::Paint()
{
    CDC* dc = Canvas()->Dc();
    if (!dc) return;
    const COLORREF shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
    const COLORREF first = m_style == bsLowered ? shadow : light,
                   second = m_style == bsLowered ? light : shadow;
    const int w = Width(), h = Height();
    switch (m_shape) {
        case bsBox: {
            CRect box(0, 0, w, h);
            dc->Draw3dRect(&box, first, second);
            break;
        }
        case bsFrame: {
            CRect outer(0, 0, w - 1, h - 1), inner(1, 1, w, h);
            dc->Draw3dRect(&outer, first, first);
            dc->Draw3dRect(&inner, second, second);
            break;
        }
        case bsTopLine:
            dc->FillSolidRect(0, 0, w, 1, first);
            dc->FillSolidRect(0, 1, w, 1, second);
            break;
        case bsBottomLine:
            dc->FillSolidRect(0, h - 2, w, 1, first);
            dc->FillSolidRect(0, h - 1, w, 1, second);
            break;
        case bsLeftLine:
            dc->FillSolidRect(0, 0, 1, h, first);
            dc->FillSolidRect(1, 0, 1, h, second);
            break;
        case bsRightLine:
            dc->FillSolidRect(w - 2, 0, 1, h, first);
            dc->FillSolidRect(w - 1, 0, 1, h, second);
            break;
        default:
            break;
    }
}

bool TBevel::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Shape"))
        SetShape(
            static_cast<TBevelShape>(PropertyEnum(value, {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine",
                                                          "bsLeftLine", "bsRightLine", "bsSpacer"})));
    else if (SameText(name, "Style"))
        SetStyle(static_cast<TBevelStyle>(PropertyEnum(value, {"bsLowered", "bsRaised"})));
    else
        return TGraphicControl::SetProperty(name, value, form);
    return true;
}

// --- TSplitter ------------------------------------------------------------------------------------------
void TSplitter::Create(void* owner)
{
    TGraphicControl::Create(owner);
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
}

void TSplitter::Paint()
{
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}

TControl* TSplitter::FindTarget() const
{
    TWinControl* parent = Parent();
    if (!parent || Align() == alNone || Align() == alClient) return nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Control(i);
        if (c == this || !c->Visible() || c->Align() != Align()) continue;
        const bool touches = Align() == alLeft    ? c->Left() + c->Width() == Left()
                             : Align() == alRight ? c->Left() == Left() + Width()
                             : Align() == alTop   ? c->Top() + c->Height() == Top()
                                                  : c->Top() == Top() + Height();
        if (touches) return c;
    }
    return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button != mbLeft) return;
    m_target = FindTarget();
    if (!m_target) return;
    m_dragging = true;
    m_down = ClientToScreen(CPoint(x, y));
    const bool horizontal = Align() == alLeft || Align() == alRight;
    m_startSize = horizontal ? m_target->Width() : m_target->Height();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    if (!m_dragging || !m_target) return;
    const CPoint now = ClientToScreen(CPoint(x, y));
    int delta = 0;
    switch (Align()) {
        case alLeft:
            delta = now.x - m_down.x;
            break;
        case alRight:
            delta = m_down.x - now.x;
            break;
        case alTop:
            delta = now.y - m_down.y;
            break;
        default:
            delta = m_down.y - now.y;
            break;
    }
    const int size = std::max(m_startSize + delta, m_minSize);
    if (Align() == alLeft || Align() == alRight)
        m_target->SetWidth(size);
    else
        m_target->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (!m_dragging) return;
    m_dragging = false;
    m_target = nullptr;
    if (OnMoved) OnMoved(this);
}

bool TSplitter::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "MinSize")) {
        SetMinSize(PropertyInt(value));
        return true;
    }
    return TGraphicControl::SetProperty(name, value, form);
}

bool TSplitter::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnMoved")) {
        OnMoved = handler.As<TNotifyEvent>(name);
        return true;
    }
    return TGraphicControl::SetEvent(name, handler);
}

// --- TPaintBox ------------------------------------------------------------------------------------------
void TPaintBox::Create(void* owner)
{
    TGraphicControl::Create(owner);
    m_clickEvents = true;
    SetBounds(0, 0, 105, 105);
}

void TPaintBox::Paint()
{
    if (OnPaint) OnPaint(this);
}

bool TPaintBox::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnPaint")) {
        OnPaint = handler.As<TNotifyEvent>(name);
        return true;
    }
    return TGraphicControl::SetEvent(name, handler);
}

// --- TTimer ----------------------------------------------------------------------------------------------
namespace {

std::map<UINT_PTR, TTimer*>& RunningTimers()
{
    static auto* timers = new std::map<UINT_PTR, TTimer*>;
    return *timers;
}

}  // namespace

void TTimer::Create(void* owner)
{
    TComponent::Create(owner);
    UpdateTimer();
}

void TTimer::BeforeDestruction()
{
    m_enabled = false;
    UpdateTimer();
    TComponent::BeforeDestruction();
}

void TTimer::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    const auto it = RunningTimers().find(id);
    if (it == RunningTimers().end()) return;
    TTimer* timer = it->second;
    if (timer->OnTimer) timer->OnTimer(timer);
}

void TTimer::UpdateTimer()
{
    if (m_id) {
        KillTimer(nullptr, m_id);
        RunningTimers().erase(m_id);
        m_id = 0;
    }
    if (m_enabled && m_interval > 0) {
        m_id = SetTimer(nullptr, 0, m_interval, &TTimer::Tick);
        if (m_id) RunningTimers()[m_id] = this;
    }
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(UINT interval)
{
    if (interval == m_interval) return;
    m_interval = interval;
    UpdateTimer();
}

bool TTimer::SetProperty(std::string_view name, std::string_view value, TComponent*)
{
    if (SameText(name, "Enabled"))
        SetEnabled(PropertyBool(value));
    else if (SameText(name, "Interval"))
        SetInterval(static_cast<UINT>(std::max(PropertyInt(value), 0)));
    else
        return false;
    return true;
}

bool TTimer::SetEvent(std::string_view name, const THandler& handler)
{
    if (!SameText(name, "OnTimer")) return false;
    OnTimer = handler.As<TNotifyEvent>(name);
    return true;
}
