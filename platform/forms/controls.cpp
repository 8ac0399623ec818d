#include "platform/forms/controls.h"

#include <algorithm>
#include <unordered_map>

#include "platform/forms/forms.h"
#include "platform/forms/format.h"
#include "platform/forms/menus.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/cursor.h"

IMPLEMENT_TCLASS(TControl, TComponent)
IMPLEMENT_TCLASS(TGraphicControl, TControl)
IMPLEMENT_TCLASS(TWinControl, TControl)
IMPLEMENT_TCLASS(TCustomControl, TWinControl)

namespace {

/// The windows of the class library's controls, by handle (user-interface thread).
std::unordered_map<HWND, TWinControl*>& ControlsByHandle()
{
    static auto* map = new std::unordered_map<HWND, TWinControl*>;
    return *map;
}

CPoint PointOf(LPARAM lParam)
{
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

LPARAM ParamOf(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

bool IsMouseMessage(UINT message)
{
    return message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK;
}

/// A canvas of a control that takes a context of the control's window (for a graphic
/// control: of its parent's, moved and clipped to the control) when it is drawn on outside
/// painting, and lets it go once the current message is handled.
class TControlCanvas : public TCanvas {
    DECLARE_TCLASS(TControlCanvas)

    TControl* control = nullptr;
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    HWND m_window = nullptr;
    HDC m_taken = nullptr;
};
IMPLEMENT_TCLASS(TControlCanvas, TCanvas)

std::vector<TControlCanvas*>& TakenCanvases()
{
    static auto* list = new std::vector<TControlCanvas*>;
    return *list;
}

void TControlCanvas::CreateHandle()
{
    if (!control) return;
    TWinControl* host = ObjectAs<TWinControl>(control);
    CPoint origin(0, 0);
    if (!host) {
        host = control->Parent();
        origin = CPoint(control->Left(), control->Top());
    }
    if (!host || !host->HandleAllocated()) return;
    m_window = host->Handle();
    m_taken = GetDC(m_window);
    if (!m_taken) return;
    SetViewportOrgEx(m_taken, origin.x, origin.y, nullptr);
    IntersectClipRect(m_taken, 0, 0, control->Width(), control->Height());
    SetHandle(m_taken);
    TakenCanvases().push_back(this);
}

void TControlCanvas::FreeHandle()
{
    if (!m_taken) return;
    SetHandle(nullptr);
    ReleaseDC(m_window, m_taken);
    m_taken = nullptr;
    m_window = nullptr;
    std::erase(TakenCanvases(), this);
}

/// The cursor handle of a cursor shape.
HCURSOR CursorHandle(TCursor cursor)
{
    switch (cursor) {
        case crNone:
            return nullptr;
        case crCross:
            return LoadCursor(nullptr, IDC_CROSS);
        case crIBeam:
            return LoadCursor(nullptr, IDC_IBEAM);
        case crSizeWE:
        case crHSplit:
            return LoadCursor(nullptr, IDC_SIZEWE);
        case crVSplit:
            return LoadCursor(nullptr, IDC_SIZENS);
        case crHandPoint:
            return LoadCursor(nullptr, IDC_HAND);
        default:
            return LoadCursor(nullptr, IDC_ARROW);
    }
}

}  // namespace

void FreeControlCanvases()
{
    while (!TakenCanvases().empty()) TakenCanvases().back()->FreeHandle();
}

TCanvas* NewControlCanvas(TControl* control)
{
    auto* canvas = static_cast<TControlCanvas*>(TControlCanvas::StaticClass()->Construct(nullptr));
    canvas->control = control;
    return canvas;
}

void FreeControlCanvas(TCanvas*& canvas)
{
    if (auto* own = ObjectAs<TControlCanvas>(canvas)) own->FreeHandle();
    FreeAndNil(canvas);
}

void BindControlCanvas(TCanvas* canvas, HDC dc)
{
    if (auto* own = ObjectAs<TControlCanvas>(canvas)) own->FreeHandle();
    if (canvas) canvas->SetHandle(dc);
}

// --- handlers -------------------------------------------------------------------------------------------
void THandler::TypeMismatch(std::string_view event) const
{
    throw EComponentError("Handler '" + m_name + "' does not fit event " + std::string(event));
}

// --- reading layout values ------------------------------------------------------------------------------
int PropertyInt(std::string_view value)
{
    int result = 0;
    if (!TryStrToInt(value, result))
        throw EConvertError("'" + std::string(value) + "' is not a valid integer value");
    return result;
}

bool PropertyBool(std::string_view value)
{
    if (SameText(value, "True")) return true;
    if (SameText(value, "False")) return false;
    throw EConvertError("'" + std::string(value) + "' is not a valid boolean value");
}

int PropertyEnum(std::string_view value, std::initializer_list<const char*> names)
{
    int index = 0;
    for (const char* name : names) {
        if (SameText(value, name)) return index;
        ++index;
    }
    throw EConvertError("'" + std::string(value) + "' is not a valid value");
}

unsigned PropertySet(std::string_view value, std::initializer_list<const char*> names)
{
    if (value.size() < 2 || value.front() != '[' || value.back() != ']')
        throw EConvertError("'" + std::string(value) + "' is not a valid set");
    std::string_view rest = value.substr(1, value.size() - 2);
    unsigned bits = 0;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view part = rest.substr(0, comma);
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
        if (!part.empty()) bits |= 1u << PropertyEnum(part, names);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return bits;
}

TColor PropertyColor(std::string_view value)
{
    TColor color = 0;
    if (!TextToColor(value, color)) throw EConvertError("'" + std::string(value) + "' is not a valid colour");
    return color;
}

TShiftState ShiftStateOf(WPARAM keyFlags)
{
    TShiftState shift = 0;
    if (keyFlags & MK_SHIFT) shift |= ssShift;
    if (keyFlags & MK_CONTROL) shift |= ssCtrl;
    if (keyFlags & MK_LBUTTON) shift |= ssLeft;
    if (keyFlags & MK_RBUTTON) shift |= ssRight;
    if (keyFlags & MK_MBUTTON) shift |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

TShiftState KeyShiftState()
{
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    return shift;
}

// --- TControl ---------------------------------------------------------------------------------------------
void TControl::Create(void* owner)
{
    TComponent::Create(owner);
    m_font = TFont::New();
    m_font->OnChange = TNotifyEvent::Of<&TControl::FontChange>(this);
}

void TControl::BeforeDestruction()
{
    SetParent(nullptr);
    if (m_popupMenu) RemoveFreeNotification(m_popupMenu);
    m_popupMenu = nullptr;
    TComponent::BeforeDestruction();
    FreeAndNil(m_font);
}

void TControl::FontChange(TObject*)
{
    m_parentFont = false;  // a font of its own from now on (the parent's copy sets it back)
    FontChanged();
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == m_parent) return;
    if (m_parent) m_parent->RemoveControl(this);
    m_parent = parent;
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == m_left && top == m_top && width == m_width && height == m_height) return;
    const CRect before = BoundsRect();
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
    if (m_parent && !m_parent->m_aligning) NoteAnchorOrigin();
    BoundsChanged();
    if (m_parent && !ObjectAs<TWinControl>(this)) {
        // A graphic control: both the old and the new place show something else now.
        if (m_parent->HandleAllocated() && m_visible) {
            m_parent->m_window->InvalidateRect(before);
            m_parent->m_window->InvalidateRect(BoundsRect());
        }
    }
    if (m_parent && m_align != alNone && !m_parent->m_aligning) m_parent->Realign();
}

void TControl::SetClientSize(int width, int height)
{
    const CRect client = ClientRect();
    SetBounds(m_left, m_top, m_width + width - client.Width(), m_height + height - client.Height());
}

void TControl::NoteAnchorOrigin()
{
    if (!m_parent) return;
    const CRect client = m_parent->ClientRect();
    m_anchorParent = CSize(client.Width(), client.Height());
}

void TControl::SetAlign(TAlign align)
{
    if (align == m_align) return;
    m_align = align;
    if (m_parent) m_parent->Realign();
}

void TControl::SetAnchors(TAnchors anchors)
{
    m_anchors = anchors;
    NoteAnchorOrigin();
}

void TControl::SetVisible(bool visible)
{
    if (visible == m_visible) return;
    m_visible = visible;
    VisibleChanged();
    if (m_parent && !ObjectAs<TWinControl>(this) && m_parent->HandleAllocated())
        m_parent->m_window->InvalidateRect(BoundsRect());
    if (m_parent && m_align != alNone) m_parent->Realign();
}

bool TControl::Showing() const
{
    return m_visible && m_parent && m_parent->Showing();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    EnabledChanged();
}

void TControl::SetCaption(const std::string& caption)
{
    if (caption == Caption()) return;
    m_caption = caption;
    TextChanged();
}

void TControl::SetParentFont(bool parentFont)
{
    m_parentFont = parentFont;
    if (parentFont && m_parent) {
        m_font->Assign(m_parent->m_font);
        m_parentFont = true;
    }
}

void TControl::SetColor(TColor color)
{
    if (color == m_color) return;
    m_color = color;
    Invalidate();
}

void TControl::SetPopupMenu(TPopupMenu* menu)
{
    if (m_popupMenu) RemoveFreeNotification(m_popupMenu);
    m_popupMenu = menu;
    if (menu) FreeNotification(menu);
}

void TControl::Click()
{
    if (OnClick) OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick) OnDblClick(this);
}

void TControl::Invalidate()
{
    if (m_parent && m_parent->HandleAllocated() && m_visible)
        m_parent->m_window->InvalidateRect(BoundsRect());
}

void TControl::Update()
{
    if (m_parent) m_parent->Update();
}

void TControl::BringToFront()
{
    if (!m_parent) return;
    auto& list = m_parent->m_controls;
    std::erase(list, this);
    list.push_back(this);
    if (auto* win = ObjectAs<TWinControl>(this); win && win->HandleAllocated())
        win->m_window->SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack()
{
    if (!m_parent) return;
    auto& list = m_parent->m_controls;
    std::erase(list, this);
    list.insert(list.begin(), this);
    if (auto* win = ObjectAs<TWinControl>(this); win && win->HandleAllocated())
        win->m_window->SetWindowPos(&CWnd::wndBottom, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

CPoint TControl::ClientOrigin() const
{
    if (!m_parent) return CPoint(m_left, m_top);
    const CPoint parent = m_parent->ClientOrigin();
    return CPoint(parent.x + m_left, parent.y + m_top);
}

CPoint TControl::ClientToScreen(CPoint point) const
{
    const CPoint origin = ClientOrigin();
    return CPoint(point.x + origin.x, point.y + origin.y);
}

CPoint TControl::ScreenToClient(CPoint point) const
{
    const CPoint origin = ClientOrigin();
    return CPoint(point.x - origin.x, point.y - origin.y);
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam)
{
    TMessage m{message, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& message)
{
    const CPoint at = PointOf(message.LParam);
    const TShiftState shift = ShiftStateOf(message.WParam);
    switch (message.Msg) {
        case WM_LBUTTONDOWN:
            m_pressedInside = true;
            MouseDown(mbLeft, shift, at.x, at.y);
            break;
        case WM_RBUTTONDOWN:
            MouseDown(mbRight, shift, at.x, at.y);
            break;
        case WM_MBUTTONDOWN:
            MouseDown(mbMiddle, shift, at.x, at.y);
            break;
        case WM_LBUTTONDBLCLK:
            DblClick();
            MouseDown(mbLeft, shift | ssDouble, at.x, at.y);
            break;
        case WM_RBUTTONDBLCLK:
            MouseDown(mbRight, shift | ssDouble, at.x, at.y);
            break;
        case WM_MOUSEMOVE:
            MouseMove(shift, at.x, at.y);
            break;
        case WM_LBUTTONUP: {
            const bool pressed = m_pressedInside;
            m_pressedInside = false;
            MouseUp(mbLeft, shift, at.x, at.y);
            if (pressed && m_clickEvents && ClientRect().PtInRect(at)) Click();
            break;
        }
        case WM_RBUTTONUP:
            MouseUp(mbRight, shift, at.x, at.y);
            break;
        case WM_MBUTTONUP:
            MouseUp(mbMiddle, shift, at.x, at.y);
            break;
        case CM_MOUSEENTER:
            MouseEnter();
            break;
        case CM_MOUSELEAVE:
            MouseLeave();
            break;
        default:
            break;
    }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

bool TControl::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Hint")) {
        SetHint(std::string(value));
    } else if (SameText(name, "ShowHint")) {
        SetShowHint(PropertyBool(value));
    } else if (SameText(name, "Color")) {
        SetColor(PropertyColor(value));
    } else if (SameText(name, "PopupMenu")) {
        SetPopupMenu(PropertyComponent<TPopupMenu>(value, form));
    } else if (SameText(name, "Cursor")) {
        SetCursor(PropertyEnum(value, {"crDefault", "crNone", "crArrow", "crCross", "crIBeam"}) * -1);
    } else if (SameText(name, "Text") || SameText(name, "Caption")) {
        SetCaption(std::string(value));
    } else if (SameText(name, "Width")) {
        SetWidth(PropertyInt(value));
    } else if (SameText(name, "Height")) {
        SetHeight(PropertyInt(value));
    } else {
        return false;
    }
    return true;
}

bool TControl::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnClick"))
        OnClick = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnDblClick"))
        OnDblClick = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnMouseDown"))
        OnMouseDown = handler.As<TMouseEvent>(name);
    else if (SameText(name, "OnMouseMove"))
        OnMouseMove = handler.As<TMouseMoveEvent>(name);
    else if (SameText(name, "OnMouseUp"))
        OnMouseUp = handler.As<TMouseEvent>(name);
    else
        return false;
    return true;
}

// --- TGraphicControl ---------------------------------------------------------------------------------------
void TGraphicControl::Create(void* owner)
{
    TControl::Create(owner);
    m_canvas = NewControlCanvas(this);
}

void TGraphicControl::BeforeDestruction()
{
    FreeControlCanvas(m_canvas);
    TControl::BeforeDestruction();
}

void TGraphicControl::Invalidate()
{
    TControl::Invalidate();
}

void TGraphicControl::Update()
{
    if (Parent()) Parent()->Update();
}

bool TGraphicControl::Showing() const
{
    return TControl::Showing();
}

// --- TWinControl -----------------------------------------------------------------------------------------
void TWinControl::Create(void* owner)
{
    TControl::Create(owner);
}

void TWinControl::BeforeDestruction()
{
    m_destroying = true;
    while (!m_controls.empty()) {
        TControl* child = m_controls.back();
        child->Free();  // leaves this list as it goes
    }
    DetachWindow();
    if (m_ownedWindow) {
        if (m_classProc) m_classProc->Detach();
        if (m_ownedWindow->GetSafeHwnd()) m_ownedWindow->DestroyWindow();
        m_ownedWindow.reset();
    }
    m_window = nullptr;
    m_classProc = nullptr;
    TControl::BeforeDestruction();
}

HWND TWinControl::Handle() const
{
    return m_window ? m_window->GetSafeHwnd() : nullptr;
}

TWinControl* TWinControl::FromHandle(HWND hwnd)
{
    const auto& map = ControlsByHandle();
    const auto it = map.find(hwnd);
    return it == map.end() ? nullptr : it->second;
}

TControl* TWinControl::Control(int index) const
{
    return index >= 0 && index < ControlCount() ? m_controls[static_cast<std::size_t>(index)] : nullptr;
}

void TWinControl::InsertControl(TControl* control)
{
    m_controls.push_back(control);
    control->NoteAnchorOrigin();
    if (control->m_parentFont) {
        control->m_font->Assign(m_font);
        control->m_parentFont = true;
    }
    if (auto* win = ObjectAs<TWinControl>(control)) {
        if (HandleAllocated()) win->HandleNeeded();
    } else {
        control->Invalidate();
    }
    if (control->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* control)
{
    if (m_mouseControl == control) m_mouseControl = nullptr;
    if (m_captureControl == control) m_captureControl = nullptr;
    if (!ObjectAs<TWinControl>(control)) control->Invalidate();
    std::erase(m_controls, control);
    if (auto* win = ObjectAs<TWinControl>(control); win && win->HandleAllocated() && !m_destroying) {
        // A windowed control leaving its parent takes its window along; it is made again
        // under the next parent.
        win->DestroyOwnWindow();
    }
    if (control->Align() != alNone && !m_destroying) Realign();
}

void TWinControl::DestroyOwnWindow()
{
    for (TControl* child : m_controls)
        if (auto* win = ObjectAs<TWinControl>(child)) win->DetachWindow();
    DetachWindow();
    if (m_ownedWindow && m_ownedWindow->GetSafeHwnd()) m_ownedWindow->DestroyWindow();
}

void TWinControl::DetachWindow()
{
    if (m_handle) ControlsByHandle().erase(m_handle);
    m_handle = nullptr;
}

void TWinControl::SetParent(TWinControl* parent)
{
    TControl::SetParent(parent);
}

void TWinControl::HandleNeeded()
{
    if (HandleAllocated() || m_creatingWindow || m_destroying) return;
    if (!Parent() || !Parent()->HandleAllocated()) return;
    CreateWnd(Parent()->m_window);
}

std::unique_ptr<CWnd> TWinControl::MakeWindow()
{
    return std::make_unique<TControlWindow<CWnd>>(this);
}

DWORD TWinControl::WindowStyle() const
{
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (Visible()) style |= WS_VISIBLE;
    if (!Enabled()) style |= WS_DISABLED;
    if (m_tabStop) style |= WS_TABSTOP;
    return style;
}

BOOL TWinControl::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    static LPCTSTR className = AfxRegisterWndClass(CS_DBLCLKS);
    return window.CreateEx(WindowExStyle(), className, Caption().c_str(), style, bounds, parentWindow, id);
}

void TWinControl::CreateWnd(CWnd* parentWindow)
{
    m_creatingWindow = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_creatingWindow};
    if (!m_ownedWindow || m_ownedWindow->GetSafeHwnd()) m_ownedWindow = MakeWindow();
    m_window = m_ownedWindow.get();
    m_classProc = dynamic_cast<IControlWindow*>(m_window);
    static UINT nextId = 1000;
    if (!CreateWindowOf(*m_window, parentWindow, WindowStyle(), BoundsRect(), ++nextId))
        throw EComponentError(Format("Cannot create a window for %s", Name().empty() ? ClassName() : Name()));
    WindowMade();
}

void TWinControl::WindowMade()
{
    m_handle = Handle();
    ControlsByHandle()[m_handle] = this;
    if (m_font) m_window->SetFont(m_font->WindowFont(), FALSE);
    WindowCreated();
    for (TControl* child : m_controls)
        if (auto* win = ObjectAs<TWinControl>(child)) win->HandleNeeded();
    Realign();
}

void TWinControl::RecreateWnd()
{
    if (!HandleAllocated()) return;
    CWnd* parentWindow = Parent() ? Parent()->m_window : nullptr;
    DestroyOwnWindow();
    if (parentWindow) CreateWnd(parentWindow);
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged()
{
    if (HandleAllocated() && !m_updatingFromWindow)
        m_window->SetWindowPos(nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinControl::UpdateBoundsFromWindow()
{
    if (!HandleAllocated()) return;
    CRect rect;
    m_window->GetWindowRect(&rect);
    if (m_window->GetStyle() & WS_CHILD) {
        if (CWnd* parent = m_window->GetParent()) parent->ScreenToClient(&rect);
    }
    m_updatingFromWindow = true;
    TControl::SetBounds(rect.left, rect.top, rect.Width(), rect.Height());
    m_updatingFromWindow = false;
}

CRect TWinControl::ClientRect() const
{
    if (!HandleAllocated()) return CRect(0, 0, Width(), Height());
    CRect client;
    m_window->GetClientRect(&client);
    return client;
}

CPoint TWinControl::ClientOrigin() const
{
    if (!HandleAllocated()) return TControl::ClientOrigin();
    CPoint origin(0, 0);
    m_window->ClientToScreen(&origin);
    return origin;
}

bool TWinControl::Showing() const
{
    return HandleAllocated() && m_window->IsWindowVisible();
}

void TWinControl::SetVisible(bool visible)
{
    TControl::SetVisible(visible);
}

void TWinControl::VisibleChanged()
{
    if (HandleAllocated()) m_window->ShowWindow(Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled)
{
    TControl::SetEnabled(enabled);
}

void TWinControl::EnabledChanged()
{
    if (HandleAllocated()) m_window->EnableWindow(Enabled());
    Invalidate();
}

std::string TWinControl::Caption() const
{
    if (!HandleAllocated()) return TControl::Caption();
    CString text;
    m_window->GetWindowText(text);
    return std::string(text.c_str());
}

void TWinControl::TextChanged()
{
    if (HandleAllocated()) m_window->SetWindowText(TControl::Caption().c_str());
    Invalidate();
}

void TWinControl::FontChanged()
{
    if (HandleAllocated()) m_window->SetFont(m_font->WindowFont());
    for (TControl* child : m_controls) {
        if (!child->m_parentFont) continue;
        child->m_font->Assign(m_font);
        child->m_parentFont = true;
    }
    Invalidate();
}

void TWinControl::SetColor(TColor color)
{
    TControl::SetColor(color);
}

void TWinControl::Invalidate()
{
    if (HandleAllocated()) m_window->Invalidate(FALSE);
}

void TWinControl::Update()
{
    if (HandleAllocated()) m_window->UpdateWindow();
}

bool TWinControl::Focused() const
{
    return HandleAllocated() && CWnd::GetFocus() == m_window;
}

void TWinControl::SetFocus()
{
    if (HandleAllocated()) m_window->SetFocus();
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

TControl* TWinControl::ControlAtPos(CPoint point, bool allowDisabled) const
{
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        TControl* c = *it;
        if (ObjectAs<TWinControl>(c) || !c->Visible() || (!allowDisabled && !c->Enabled())) continue;
        if (c->BoundsRect().PtInRect(point)) return c;
    }
    return nullptr;
}

void TWinControl::Realign()
{
    if (m_aligning || m_destroying) return;
    m_aligning = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_aligning};
    AlignControls();
}

void TWinControl::AlignControls()
{
    CRect rest = ClientRect();
    const auto placeAll = [&](TAlign kind, auto less, auto place) {
        std::vector<TControl*> list;
        for (TControl* c : m_controls)
            if (c->Align() == kind && c->Visible()) list.push_back(c);
        std::stable_sort(list.begin(), list.end(), less);
        for (TControl* c : list) place(c);
    };
    placeAll(
        alTop, [](TControl* a, TControl* b) { return a->Top() < b->Top(); },
        [&](TControl* c) {
            c->SetBounds(rest.left, rest.top, rest.Width(), c->Height());
            rest.top += c->Height();
        });
    placeAll(
        alBottom, [](TControl* a, TControl* b) { return a->Top() + a->Height() > b->Top() + b->Height(); },
        [&](TControl* c) {
            rest.bottom -= c->Height();
            c->SetBounds(rest.left, rest.bottom, rest.Width(), c->Height());
        });
    placeAll(
        alLeft, [](TControl* a, TControl* b) { return a->Left() < b->Left(); },
        [&](TControl* c) {
            c->SetBounds(rest.left, rest.top, c->Width(), std::max(rest.Height(), 0));
            rest.left += c->Width();
        });
    placeAll(
        alRight, [](TControl* a, TControl* b) { return a->Left() + a->Width() > b->Left() + b->Width(); },
        [&](TControl* c) {
            rest.right -= c->Width();
            c->SetBounds(rest.right, rest.top, c->Width(), std::max(rest.Height(), 0));
        });
    placeAll(
        alClient, [](TControl*, TControl*) { return false; },
        [&](TControl* c) {
            c->SetBounds(rest.left, rest.top, std::max(rest.Width(), 0), std::max(rest.Height(), 0));
        });
    // Anchored controls keep their distances to the anchored edges.
    const CRect client = ClientRect();
    for (TControl* c : m_controls) {
        if (c->Align() != alNone || c->m_anchorParent.cx < 0) continue;
        const int dx = client.Width() - c->m_anchorParent.cx, dy = client.Height() - c->m_anchorParent.cy;
        if (dx == 0 && dy == 0) continue;
        const TAnchors a = c->Anchors();
        int left = c->Left(), top = c->Top(), width = c->Width(), height = c->Height();
        if ((a & akLeft) && (a & akRight))
            width += dx;
        else if (a & akRight)
            left += dx;
        else if (!(a & akLeft))
            left += dx / 2;
        if ((a & akTop) && (a & akBottom))
            height += dy;
        else if (a & akBottom)
            top += dy;
        else if (!(a & akTop))
            top += dy / 2;
        c->SetBounds(left, top, width, height);
        c->m_anchorParent = CSize(client.Width(), client.Height());
    }
}

namespace {
int g_messageDepth = 0;  // messages of controls being handled, nested
}  // namespace

LRESULT TWinControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The control may be freed by its own handling (a form's release): nothing of it is
    // touched afterwards.
    TMessage m{message, wParam, lParam, 0};
    ++g_messageDepth;
    try {
        WndProc(m);
    } catch (const EAbort&) {
    } catch (const std::exception& error) {
        if (Application)
            Application->HandleException(error);
        else
            --g_messageDepth, throw;
    }
    if (--g_messageDepth == 0) FreeControlCanvases();
    return m.Result;
}

void TWinControl::DefaultHandler(TMessage& message)
{
    if (m_classProc) message.Result = m_classProc->CallClassProc(message.Msg, message.WParam, message.LParam);
}

bool TWinControl::RouteNotification(TMessage& message)
{
    HWND from = nullptr;
    switch (message.Msg) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
            from = reinterpret_cast<HWND>(message.LParam);
            break;
        case WM_NOTIFY:
            if (message.LParam) from = reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom;
            break;
        default:
            return false;
    }
    TWinControl* child = from ? FromHandle(from) : nullptr;
    if (!child || child == this) return false;
    TMessage routed{CN_BASE + message.Msg, message.WParam, message.LParam, 0};
    routed.Result = -1;  // a child that does not answer leaves the parent to it
    child->WndProc(routed);
    if (routed.Result == -1) return false;
    message.Result = routed.Result;
    return true;
}

void TWinControl::SetMouseControl(TControl* control)
{
    if (control == m_mouseControl) return;
    TControl* old = m_mouseControl;
    m_mouseControl = control;
    if (old) old->Perform(CM_MOUSELEAVE);
    if (control && m_mouseControl == control) control->Perform(CM_MOUSEENTER);
}

void TWinControl::RouteMouse(TMessage& message)
{
    const CPoint at = PointOf(message.LParam);
    TControl* target = m_captureControl ? m_captureControl : ControlAtPos(at);
    if (message.Msg == WM_MOUSEMOVE && !m_captureControl) SetMouseControl(target);
    if (!target) {
        TControl::WndProc(message);
        if (Handle()) DefaultHandler(message);
        return;
    }
    const bool down = message.Msg == WM_LBUTTONDOWN || message.Msg == WM_RBUTTONDOWN ||
                      message.Msg == WM_MBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK ||
                      message.Msg == WM_RBUTTONDBLCLK;
    const bool up = message.Msg == WM_LBUTTONUP || message.Msg == WM_RBUTTONUP || message.Msg == WM_MBUTTONUP;
    if (down) {
        m_captureControl = target;
        if (HandleAllocated()) m_window->SetCapture();
    }
    target->Perform(message.Msg, message.WParam, ParamOf(at.x - target->Left(), at.y - target->Top()));
    if (up && !(message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        m_captureControl = nullptr;
        if (HandleAllocated() && CWnd::GetCapture() == m_window) ReleaseCapture();
        if (HandleAllocated()) {
            CPoint cursor;
            GetCursorPos(&cursor);
            m_window->ScreenToClient(&cursor);
            SetMouseControl(ControlAtPos(cursor));
        }
    }
}

void TWinControl::WndProc(TMessage& message)
{
    if (IsMouseMessage(message.Msg)) {
        RouteMouse(message);
        return;
    }
    switch (message.Msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (RouteNotification(message)) return;
            break;
        case WM_MOUSELEAVE:
            if (!m_captureControl) SetMouseControl(nullptr);
            break;
        case WM_PAINT:
            if (m_paintsItself) {
                PaintHandler();
                return;
            }
            break;
        case WM_ERASEBKGND:
            if (m_paintsItself) {
                message.Result = 1;
                return;
            }
            break;
        case WM_SIZE:
            DefaultHandler(message);
            if (message.WParam != SIZE_MINIMIZED) {
                UpdateBoundsFromWindow();
                Realign();
                Resize();
            }
            return;
        case WM_SETCURSOR:
            if (LOWORD(message.LParam) == HTCLIENT && reinterpret_cast<HWND>(message.WParam) == Handle()) {
                CPoint cursor;
                GetCursorPos(&cursor);
                m_window->ScreenToClient(&cursor);
                const TControl* over = m_captureControl ? m_captureControl : ControlAtPos(cursor);
                const TCursor shape = over && over->Cursor() != crDefault ? over->Cursor() : Cursor();
                if (shape != crDefault || m_paintsItself) {
                    ::SetCursor(CursorHandle(shape));
                    message.Result = TRUE;
                    return;
                }
            }
            break;
        case WM_CONTEXTMENU: {
            CPoint at = PointOf(message.LParam);
            CPoint client = at;
            if (HandleAllocated()) m_window->ScreenToClient(&client);
            const TControl* over = ControlAtPos(client, true);
            TPopupMenu* menu = over && over->PopupMenu() ? over->PopupMenu() : PopupMenu();
            if (menu && reinterpret_cast<HWND>(message.WParam) == Handle()) {
                if (at.x == -1 && at.y == -1) at = ClientToScreen(CPoint(0, 0));
                menu->Popup(at.x, at.y);
                return;
            }
            break;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            WORD key = static_cast<WORD>(message.WParam);
            KeyDown(key, KeyShiftState());
            if (key == 0) return;
            message.WParam = key;
            break;
        }
        case WM_CHAR: {
            char key = static_cast<char>(message.WParam);
            KeyPress(key);
            if (key == 0) return;
            message.WParam = static_cast<unsigned char>(key);
            break;
        }
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            WORD key = static_cast<WORD>(message.WParam);
            KeyUp(key, KeyShiftState());
            if (key == 0) return;
            message.WParam = key;
            break;
        }
        case WM_SETFOCUS:
            if (OnEnter) OnEnter(this);
            break;
        case WM_KILLFOCUS:
            if (OnExit) OnExit(this);
            break;
        default:
            break;
    }
    TControl::WndProc(message);
    if (message.Msg < CM_BASE) DefaultHandler(message);
}

void TWinControl::Resize()
{
    if (OnResize) OnResize(this);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift)
{
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key)
{
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift)
{
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::PaintHandler()
{
    CPaintDC dc(m_window);
    HDC handle = dc.GetSafeHdc();
    if (!handle) return;
    HPALETTE palette = GetPalette();
    HPALETTE previous = palette ? SelectPalette(handle, palette, TRUE) : nullptr;
    if (palette) RealizePalette(handle);
    PaintWindow(handle);
    PaintControls(handle);
    if (previous) SelectPalette(handle, previous, TRUE);
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc)
{
    RECT box{};
    GetClipBox(dc, &box);
    const CRect update(box);
    for (TControl* c : std::vector<TControl*>(m_controls)) {
        auto* graphic = ObjectAs<TGraphicControl>(c);
        if (!graphic || !graphic->Visible()) continue;
        CRect overlap;
        if (!overlap.IntersectRect(update, graphic->BoundsRect())) continue;
        const int saved = SaveDC(dc);
        OffsetViewportOrgEx(dc, graphic->Left(), graphic->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, graphic->Width(), graphic->Height());
        try {
            ControlCanvasBinding binding(graphic->m_canvas, dc);
            graphic->Paint();
        } catch (...) {
            RestoreDC(dc, saved);
            throw;
        }
        RestoreDC(dc, saved);
    }
}

bool TWinControl::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "TabStop")) {
        SetTabStop(PropertyBool(value));
        return true;
    }
    return TControl::SetProperty(name, value, form);
}

bool TWinControl::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnResize"))
        OnResize = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnKeyDown"))
        OnKeyDown = handler.As<TKeyEvent>(name);
    else if (SameText(name, "OnKeyPress"))
        OnKeyPress = handler.As<TKeyPressEvent>(name);
    else if (SameText(name, "OnKeyUp"))
        OnKeyUp = handler.As<TKeyEvent>(name);
    else if (SameText(name, "OnEnter"))
        OnEnter = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnExit"))
        OnExit = handler.As<TNotifyEvent>(name);
    else
        return TControl::SetEvent(name, handler);
    return true;
}

// --- TCustomControl ----------------------------------------------------------------------------------------
void TCustomControl::Create(void* owner)
{
    TWinControl::Create(owner);
    m_paintsItself = true;
    m_canvas = NewControlCanvas(this);
}

void TCustomControl::BeforeDestruction()
{
    TWinControl::BeforeDestruction();
    FreeControlCanvas(m_canvas);
}

void TCustomControl::PaintWindow(HDC dc)
{
    ControlCanvasBinding binding(m_canvas, dc);
    Paint();
}

void TCustomControl::Paint()
{
    m_canvas->Brush()->SetColor(Color());
    m_canvas->FillRect(ClientRect());
}
