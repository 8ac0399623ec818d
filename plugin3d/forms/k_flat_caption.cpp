#include "plugin3d/forms/k_flat_caption.h"

#include <algorithm>

#include "platform/forms/format.h"
#include "platform/forms/forms.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/gdi/dc.h"
#include "platform/menu/menu.h"
#include "platform/window/hooks.h"
#include "platform/window/nonclient.h"
#include "platform/window/ui_thread.h"

IMPLEMENT_TCLASS(TKFlatCaptionButtonImages, TPersistent)
IMPLEMENT_TCLASS(TKFlatCaptionButton, TPersistent)
IMPLEMENT_TCLASS(TKFlatCaptionButtonList, TPersistent)
IMPLEMENT_TCLASS(TKFlatCaptionColors, TPersistent)
IMPLEMENT_TCLASS(TKFlatCaption, TGraphicControl)

namespace {

/// The hidden window that owns the buttons' drop-down menus while they are tracked: the
/// command chosen reaches the menu being tracked, and the item under the mouse gives the
/// application its hint.
class TPopupExWindow : public CWnd {
public:
    TPopupMenu* current = nullptr;
    HMENU currentHandle = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        try {
            switch (message) {
                case WM_COMMAND:
                    if (current && lParam == 0 && !current->DispatchCommand(LOWORD(wParam), currentHandle))
                        current = nullptr;  // a command of no item: the menu is forgotten
                    return 0;
                case WM_MENUSELECT:
                    if (Application) Application->SetHint(std::string());
                    return 0;
                default:
                    break;
            }
        } catch (const std::exception& error) {
            if (Application) Application->HandleException(error);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Unit-wide state.
std::vector<TKFlatCaption*>* g_bars = nullptr;
TImageList* g_shareImages = nullptr;
TPopupExWindow* g_popupWindow = nullptr;
UINT_PTR g_timer = 0;

/// The slot in the shared strip of a state: the strip keeps Disable, FreeOut, FreeIn, DownOut,
/// DownIn, FixedOut, FixedIn per command.
constexpr int kStripSlot[7] = {0, 1, 2, 5, 6, 3, 4};

void TimerTick(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!g_bars) return;
    for (auto it = g_bars->rbegin(); it != g_bars->rend(); ++it)
        if (const HWND hwnd = (*it)->HookedWindow()) PostMessage(hwnd, WM_TIMER, id, 0);
}

DWORD FrameBits(TKFlatCaptionBorder border)
{
    switch (border) {
        case fcbSingle:
            return WS_BORDER;
        case fcbDialog:
            return WS_DLGFRAME;
        case fcbSizeable:
            return WS_THICKFRAME;
        default:
            return 0;
    }
}

CPoint PointOf(LPARAM lParam)
{
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

}  // namespace

UINT_PTR FlatCaptionTimerId()
{
    return g_timer;
}

TImageList* FlatCaptionShareImages()
{
    return g_shareImages;
}

// --- button pictures
// ----------------------------------------------------------------------------------------
int TKFlatCaptionButtonImages::Get(int state) const
{
    return state >= 0 && state < 7 ? m_images[state] : -1;
}

void TKFlatCaptionButtonImages::Set(int state, int image)
{
    if (state < 0 || state >= 7 || m_images[state] == image) return;
    m_images[state] = image;
    if (m_button) m_button->Changed(false);
}

void TKFlatCaptionButtonImages::Assign(TPersistent* source)
{
    const auto* other = ObjectAs<TKFlatCaptionButtonImages>(source);
    if (!other) return TPersistent::Assign(source);
    std::copy(std::begin(other->m_images), std::end(other->m_images), std::begin(m_images));
    if (m_button) m_button->Changed(false);
}

// --- buttons
// ------------------------------------------------------------------------------------------------
void TKFlatCaptionButton::Create(void* owner)
{
    TPersistent::Create(owner);
    m_images = TKFlatCaptionButtonImages::New();
    m_images->m_button = this;
}

void TKFlatCaptionButton::BeforeDestruction()
{
    FreeAndNil(m_images);
    TPersistent::BeforeDestruction();
}

void TKFlatCaptionButton::Changed(bool layout)
{
    if (!m_bar) return;
    if (layout) {
        m_bar->Layout();
        m_bar->Invalidate();
    } else {
        m_bar->InvalidateRect(m_rect);
    }
}

void TKFlatCaptionButton::SetText(const std::string& text)
{
    if (text == m_text) return;
    m_text = text;
    if (m_textPos != fctNone) Changed(false);
}

void TKFlatCaptionButton::SetVisible(bool visible)
{
    if (!Change(m_visible, visible, true)) return;
    if (m_bar && (m_command == fccMaximize || m_command == fccMinimize)) m_bar->SyncStyle();
}

void TKFlatCaptionButton::SetEnabled(bool enabled)
{
    if (!Change(m_enabled, enabled, false)) return;
    if (m_bar && (m_command == fccMaximize || m_command == fccMinimize)) m_bar->SyncStyle();
}

void TKFlatCaptionButton::SetCheckButton(bool check)
{
    m_checkButton = check;
    if (!check) SetFixed(false);
}

void TKFlatCaptionButton::SetFixed(bool fixed)
{
    Change(m_fixed, fixed, false);
}

void TKFlatCaptionButton::SetFlat(bool flat)
{
    Change(m_flat, flat, false);
}

void TKFlatCaptionButton::SetWidth(int width)
{
    Change(m_width, width, true);
}

void TKFlatCaptionButton::SetHeight(int height)
{
    Change(m_height, height, true);
}

void TKFlatCaptionButton::SetTop(int top)
{
    Change(m_top, top, true);
}

void TKFlatCaptionButton::SetSpacing(int spacing)
{
    Change(m_spacing, spacing, true);
}

void TKFlatCaptionButton::SetPosition(int position)
{
    Change(m_position, position, true);
}

void TKFlatCaptionButton::SetCommand(TKFlatCaptionCommand command)
{
    if (Change(m_command, command, false) && m_bar) m_bar->SyncStyle();
}

void TKFlatCaptionButton::SetTextPos(TKFlatCaptionTextPos pos)
{
    Change(m_textPos, pos, false);
}

TKFlatCaptionButtonState TKFlatCaptionButton::State() const
{
    if (!m_enabled) return kfsDisable;
    if (m_down) return m_in ? kfsDownIn : kfsDownOut;
    if (m_fixed) return m_in ? kfsFixedIn : kfsFixedOut;
    return m_in ? kfsFreeIn : kfsFreeOut;
}

void TKFlatCaptionButton::Assign(TPersistent* source)
{
    const auto* other = ObjectAs<TKFlatCaptionButton>(source);
    if (!other) return TPersistent::Assign(source);
    m_text = other->m_text;
    m_hint = other->m_hint;
    m_tag = other->m_tag;
    m_visible = other->m_visible;
    m_enabled = other->m_enabled;
    m_checkButton = other->m_checkButton;
    m_fixed = other->m_fixed;
    m_flat = other->m_flat;
    m_width = other->m_width;
    m_height = other->m_height;
    m_top = other->m_top;
    m_spacing = other->m_spacing;
    m_position = other->m_position;
    m_command = other->m_command;
    m_textPos = other->m_textPos;
    m_images->Assign(other->m_images);
    m_popupMenu = other->m_popupMenu;
    Changed(true);
}

// --- button list
// ---------------------------------------------------------------------------------------------
void TKFlatCaptionButtonList::BeforeDestruction()
{
    m_bar = nullptr;
    Clear();
    TPersistent::BeforeDestruction();
}

TKFlatCaptionButton* TKFlatCaptionButtonList::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)] : nullptr;
}

TKFlatCaptionButton* TKFlatCaptionButtonList::Add()
{
    auto* button = TKFlatCaptionButton::New();
    button->m_bar = m_bar;
    m_items.push_back(button);
    Update();
    return button;
}

TKFlatCaptionButton* TKFlatCaptionButtonList::Add(int position, TKFlatCaptionCommand command,
                                                  const std::string& hint, bool check)
{
    TKFlatCaptionButton* button = Add();
    button->m_position = position;
    button->m_command = command;
    button->m_hint = hint;
    button->m_checkButton = check;
    Update();
    return button;
}

void TKFlatCaptionButtonList::Delete(int index)
{
    TKFlatCaptionButton* button = Item(index);
    if (!button) return;
    m_items.erase(m_items.begin() + index);
    button->Free();
    Update();
}

void TKFlatCaptionButtonList::Clear()
{
    for (TKFlatCaptionButton* button : m_items) button->Free();
    m_items.clear();
    Update();
}

TKFlatCaptionButton* TKFlatCaptionButtonList::Find(TKFlatCaptionCommand command) const
{
    for (TKFlatCaptionButton* button : m_items)
        if (button->Command() == command) return button;
    return nullptr;
}

void TKFlatCaptionButtonList::Assign(TPersistent* source)
{
    const auto* other = ObjectAs<TKFlatCaptionButtonList>(source);
    if (!other) return TPersistent::Assign(source);
    for (TKFlatCaptionButton* button : m_items) button->Free();
    m_items.clear();
    for (const TKFlatCaptionButton* from : other->m_items) {
        auto* button = TKFlatCaptionButton::New();
        button->m_bar = m_bar;
        m_items.push_back(button);
        button->Assign(const_cast<TKFlatCaptionButton*>(from));
    }
    Update();
}

void TKFlatCaptionButtonList::Update()
{
    if (!m_bar) return;
    m_bar->Layout();
    m_bar->SyncStyle();
    m_bar->Invalidate();
}

// --- colours ----------------------------------------------------------------------------------------------
TColor TKFlatCaptionColors::Get(int index) const
{
    return index >= 0 && index < 13 ? m_colors[index] : 0;
}

void TKFlatCaptionColors::Set(int index, TColor color)
{
    if (index < 0 || index >= 13 || m_colors[index] == color) return;
    m_colors[index] = color;
    if (m_bar) m_bar->Invalidate();
}

void TKFlatCaptionColors::Assign(TPersistent* source)
{
    const auto* other = ObjectAs<TKFlatCaptionColors>(source);
    if (!other) return TPersistent::Assign(source);
    std::copy(std::begin(other->m_colors), std::end(other->m_colors), std::begin(m_colors));
    if (m_bar) m_bar->Invalidate();
}

// --- the bar ----------------------------------------------------------------------------------------------
void TKFlatCaption::Create(void* owner)
{
    TGraphicControl::Create(owner);
    m_buttons = TKFlatCaptionButtonList::New();
    m_buttons->m_bar = this;
    m_colors = TKFlatCaptionColors::New();
    m_colors->m_bar = this;
    m_bitmap = TBitmap::New();
    m_bitmap->OnChange = TNotifyEvent::Of<&TKFlatCaption::ImagesChange>(this);
    m_captionFont = TFont::New();
    m_captionFont->SetStyle(fsBold);
    m_captionFont->OnChange = TNotifyEvent::Of<&TKFlatCaption::FontChange>(this);
    m_buttonFont = TFont::New();
    m_buttonFont->OnChange = TNotifyEvent::Of<&TKFlatCaption::FontChange>(this);
    SetShowHint(true);
    SetHint(std::string());
    SetBounds(0, 0, 120, 24);
    SetAlign(alTop);
    m_buttons->Add(-500, fccClose, "Close", false);
    m_buttons->Add(-400, fccMaximize, "Maximize", false);
    m_buttons->Add(-300, fccMinimize, "Minimize", false);
    m_buttons->Add(-200, fccHelp, "Help", false);
    m_buttons->Add(-100, fccScreenPin, "", true);
    if (g_bars) g_bars->push_back(this);
}

void TKFlatCaption::BeforeDestruction()
{
    if (g_bars) std::erase(*g_bars, this);
    Unhook(false);
    SetImages(nullptr);
    FreeAndNil(m_buttons);
    FreeAndNil(m_colors);
    FreeAndNil(m_bitmap);
    FreeAndNil(m_captionFont);
    FreeAndNil(m_buttonFont);
    TGraphicControl::BeforeDestruction();
}

CWnd* TKFlatCaption::Window() const
{
    return m_hooked ? CWnd::FromHandle(m_hooked) : nullptr;
}

void TKFlatCaption::FontChange(TObject*)
{
    Invalidate();
}

void TKFlatCaption::ImagesChange(TObject*)
{
    Invalidate();
}

void TKFlatCaption::SetImages(TImageList* images)
{
    if (m_images) RemoveFreeNotification(m_images);
    m_images = images;
    if (images) FreeNotification(images);
    Invalidate();
}

void TKFlatCaption::Notification(TComponent* component, TOperation operation)
{
    TGraphicControl::Notification(component, operation);
    if (operation == opRemove && component == m_images) SetImages(nullptr);
}

void TKFlatCaption::SetSpacingX(int spacing)
{
    m_spacingX = spacing;
    Layout();
    Invalidate();
}

void TKFlatCaption::SetSpacingY(int spacing)
{
    m_spacingY = spacing;
    Layout();
    Invalidate();
}

void TKFlatCaption::SetBitmapPos(TKFlatCaptionBitmapPos pos)
{
    m_bitmapPos = pos;
    Invalidate();
}

void TKFlatCaption::SetTextPos(TKFlatCaptionTextPos pos)
{
    m_textPos = pos;
    Invalidate();
}

void TKFlatCaption::SetBevel(TKFlatCaptionBevel bevel)
{
    m_bevel = bevel;
    Invalidate();
}

void TKFlatCaption::SetCaptionBevel(TKFlatCaptionBevel bevel)
{
    m_captionBevel = bevel;
    Invalidate();
}

void TKFlatCaption::SetBorder(TKFlatCaptionBorder border)
{
    if (border == m_border) return;
    m_border = border;
    // The window takes the new frame at once (it is made again on the system).
    if (CWnd* window = Window()) {
        const DWORD style = window->GetStyle();
        window->ModifyStyle((style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)), FrameBits(border),
                            SWP_FRAMECHANGED);
        window->PostMessage(WM_SIZE, SIZE_RESTORED, 0);
    }
}

void TKFlatCaption::SetActive(bool active)
{
    if (active == m_active) return;
    m_active = active;
    Invalidate();
}

void TKFlatCaption::SetBounds(int left, int top, int width, int height)
{
    TGraphicControl::SetBounds(left, top, width, height);
    if (m_buttons) {
        Layout();
        Invalidate();
    }
}

void TKFlatCaption::SetParent(TWinControl* parent)
{
    if (parent == Parent()) return;
    Unhook(false);
    TGraphicControl::SetParent(parent);
    TryHook();
}

// --- taking the window over
// -----------------------------------------------------------------------------------
bool TKFlatCaption::TryHook()
{
    if (m_hooked) return true;
    if (m_hooking > 0 || !Parent() || !Parent()->HandleAllocated()) return false;
    ++m_hooking;
    struct Done {
        int& depth;
        ~Done() { --depth; }
    } done{m_hooking};
    const HWND hwnd = Parent()->Handle();
    CWnd* window = CWnd::FromHandle(hwnd);
    if (!window) return false;
    m_savedStyle = window->GetStyle();
    CRect client;
    window->GetClientRect(&client);
    window->ClientToScreen(&client);
    m_filter =
        platform::AddMessageFilter(hwnd, [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            return HookMessage(message, wParam, lParam, result);
        });
    if (!m_filter) RaiseLastOSError();
    m_hooked = hwnd;
    const DWORD kept = m_savedStyle & (WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    const DWORD style = FrameBits(m_border) | WS_POPUP | kept;
    window->ModifyStyle(m_savedStyle & ~style & ~WS_VISIBLE, style & ~WS_VISIBLE);
    SyncStyle();
    if (m_clientControl) {
        // The client area stays where it was: the window grows round it by the new frame.
        RECT outer = client;
        AdjustWindowRectEx(&outer, window->GetStyle(), FALSE, window->GetExStyle());
        window->SetWindowPos(nullptr, outer.left, outer.top, outer.right - outer.left,
                             outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        window->SetWindowPos(nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    m_active = CWnd::GetActiveWindow() == window;
    Layout();
    window->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    CRect now;
    window->GetClientRect(&now);
    window->PostMessage(WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(static_cast<WORD>(now.Width()), static_cast<WORD>(now.Height())));
    return true;
}

void TKFlatCaption::Unhook(bool keepPosition)
{
    if (!m_hooked) return;
    const HWND hwnd = m_hooked;
    m_hooked = nullptr;
    platform::RemoveMessageFilter(hwnd, m_filter);
    m_filter = 0;
    CWnd* window = CWnd::FromHandle(hwnd);
    if (!window) return;
    const DWORD now = window->GetStyle();
    const DWORD restored = (m_savedStyle & ~WS_VISIBLE) | (now & WS_VISIBLE);
    CRect client;
    window->GetClientRect(&client);
    window->ClientToScreen(&client);
    window->ModifyStyle(now & ~restored & ~WS_VISIBLE, restored & ~WS_VISIBLE);
    if (!keepPosition && m_clientControl) {
        RECT outer = client;
        AdjustWindowRectEx(&outer, window->GetStyle(), FALSE, window->GetExStyle());
        window->SetWindowPos(nullptr, outer.left, outer.top, outer.right - outer.left,
                             outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        window->SetWindowPos(nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    CRect size;
    window->GetClientRect(&size);
    window->PostMessage(WM_SIZE, SIZE_RESTORED,
                        MAKELPARAM(static_cast<WORD>(size.Width()), static_cast<WORD>(size.Height())));
}

bool TKFlatCaption::HookMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
        case WM_DESTROY:
            Unhook(true);
            return false;
        case WM_ACTIVATE:
            SetActive(LOWORD(wParam) != WA_INACTIVE);
            return false;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const CSize least = MinTrackSize();
            info->ptMinTrackSize.x = least.cx;
            info->ptMinTrackSize.y = least.cy;
            return false;
        }
        case WM_NCHITTEST:
            if (HitTest(PointOf(lParam)) == 0) {
                result = HTCAPTION;
                return true;
            }
            return false;
        case WM_TIMER:
            if (wParam != g_timer || g_timer == 0) return false;
            UpdateHotStates();
            result = 0;
            return true;
        case WM_NCMOUSEMOVE:
            UpdateHotStates();
            return false;
        case WM_RBUTTONDOWN: {
            TPopupMenu* menu = PopupMenu();
            const CPoint at = PointOf(lParam);
            if (menu && m_textRect.PtInRect(CPoint(at.x - Left(), at.y - Top()))) {
                const CPoint screen = Parent()->ClientToScreen(at);
                menu->Popup(screen.x, screen.y);
            }
            return false;
        }
        default:
            return false;
    }
}

// --- geometry and hot states
// ---------------------------------------------------------------------------------
CSize TKFlatCaption::MinTrackSize() const
{
    RECT outer{0, 0, Width() - m_textRect.Width() + 10, Height()};
    if (CWnd* window = Window()) AdjustWindowRectEx(&outer, window->GetStyle(), FALSE, window->GetExStyle());
    return CSize(outer.right - outer.left, outer.bottom - outer.top);
}

void TKFlatCaption::Layout()
{
    if (!m_buttons) return;
    m_textRect = ClientRect();
    std::vector<TKFlatCaptionButton*> sorted(m_buttons->m_items);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TKFlatCaptionButton* a, const TKFlatCaptionButton* b) {
                         return a->m_position < b->m_position;
                     });
    int right = m_textRect.right, left = m_textRect.left;
    for (TKFlatCaptionButton* b : sorted) {
        if (!b->m_visible) {
            b->m_rect = CRect(0, 0, 0, 0);
            continue;
        }
        if (b->m_position < 0) {
            right -= b->m_width + b->m_spacing;
            b->m_rect = CRect(right, b->m_top, right + b->m_width, b->m_top + b->m_height);
        } else {
            left += b->m_width + b->m_spacing;
            b->m_rect = CRect(left - b->m_width, b->m_top, left, b->m_top + b->m_height);
        }
    }
    m_textRect = CRect(left + m_spacingX, m_textRect.top + m_spacingY, right - m_spacingX,
                       m_textRect.bottom - m_spacingY);
    UpdateHotStates();
}

int TKFlatCaption::HitTest(CPoint screen) const
{
    CWnd* window = Window();
    if (!window || !Visible() || !window->IsWindowVisible()) return -1;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (window->GetWindowPlacement(&placement) &&
        (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_MINIMIZE ||
         placement.showCmd == SW_SHOWMINNOACTIVE || placement.showCmd == SW_HIDE))
        return -1;
    CPoint at = screen;
    window->ScreenToClient(&at);
    at.Offset(-Left(), -Top());
    if (!ClientRect().PtInRect(at)) return -1;
    for (int i = m_buttons->Count() - 1; i >= 0; --i) {
        const TKFlatCaptionButton* b = m_buttons->Item(i);
        if (b->m_visible && b->m_rect.PtInRect(at)) return i + 1;
    }
    if (m_textRect.PtInRect(at)) return 0;
    return 0x1000000;
}

void TKFlatCaption::UpdateHotStates()
{
    CWnd* window = Window();
    if (!window || !m_buttons || !Visible() || !window->IsWindowVisible()) return;
    CPoint cursor;
    GetCursorPos(&cursor);
    // Anything over the bar (a child window, another window) covers it.
    const bool covered = ::WindowFromPoint(cursor) != m_hooked;
    CPoint at = cursor;
    window->ScreenToClient(&at);
    at.Offset(-Left(), -Top());
    bool hotFound = false;
    for (int i = m_buttons->Count() - 1; i >= 0; --i) {
        TKFlatCaptionButton* b = m_buttons->Item(i);
        if (!b->m_visible) continue;
        const bool in = !covered && !hotFound && b->m_rect.PtInRect(at);
        if (in) hotFound = true;
        SetButtonState(b, in, b->m_down, b->m_fixed);
    }
    const bool textHot = !covered && !hotFound && m_textRect.PtInRect(at);
    if (textHot != m_textHot) {
        m_textHot = textHot;
        InvalidateRect(m_textRect);
    }
}

void TKFlatCaption::InvalidateRect(const CRect& rect)
{
    if (!Parent() || !Parent()->HandleAllocated() || rect.IsRectEmpty()) return;
    CRect inParent = rect;
    inParent.OffsetRect(Left(), Top());
    Parent()->Window()->InvalidateRect(&inParent, FALSE);
}

void TKFlatCaption::SetButtonState(TKFlatCaptionButton* button, bool in, bool down, bool fixed)
{
    if (button->m_in == in && button->m_down == down && button->m_fixed == fixed) return;
    InvalidateRect(button->m_rect);
    if (in && !button->m_in) SetHint(button->m_hint);
    const bool wasDown = button->m_down;
    button->m_in = in;
    button->m_down = down;
    button->m_fixed = fixed;
    // A press that ends with the mouse still on a visible, enabled button is a click.
    if (wasDown && !down && in && button->m_visible && button->m_enabled) {
        ButtonClick(button);
        if (button->m_checkButton && button->m_popupMenu && button->m_fixed) ShowDropDown(button);
    }
}

void TKFlatCaption::PressRelease(bool press, CPoint at)
{
    UpdateHotStates();
    for (int i = 0; i < m_buttons->Count(); ++i) {
        TKFlatCaptionButton* b = m_buttons->Item(i);
        if (!b->m_visible) continue;
        const bool under = b->m_rect.PtInRect(at) && b->m_enabled;
        if (!under) {
            SetButtonState(b, false, false, b->m_fixed);
        } else if (press) {
            SetButtonState(b, true, true, b->m_fixed);
        } else {
            const bool toggle = b->m_checkButton && b->m_down;
            SetButtonState(b, true, false, toggle ? !b->m_fixed : b->m_fixed);
        }
    }
}

void TKFlatCaption::ButtonClick(TKFlatCaptionButton* button)
{
    if (!m_hooked) return;
    TKFlatCaptionCommand command = button->m_command;
    if (OnButtonClick) OnButtonClick(this, button, command);
    CWnd* window = Window();
    if (!window) return;
    switch (command) {
        case fccClose:
            window->PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case fccMaximize:
            window->PostMessage(WM_SYSCOMMAND, window->IsZoomed() ? SC_RESTORE : SC_MAXIMIZE, 0);
            break;
        case fccMinimize:
            window->PostMessage(WM_SYSCOMMAND, window->IsIconic() ? SC_RESTORE : SC_MINIMIZE, 0);
            break;
        case fccHelp:
            window->PostMessage(WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
            break;
        case fccScreenPin:
            SetStayOnTop(button->m_fixed);
            break;
        default:
            break;
    }
}

void TKFlatCaption::ShowDropDown(TKFlatCaptionButton* button)
{
    TPopupMenu* menu = button->m_popupMenu;
    if (!menu || !g_popupWindow || !Parent()) return;
    const CPoint at =
        Parent()->ClientToScreen(CPoint(Left() + button->m_rect.left, Top() + button->m_rect.top));
    CRect exclude = button->m_rect;
    exclude.OffsetRect(Left(), Top());
    const CPoint origin = Parent()->ClientToScreen(CPoint(0, 0));
    exclude.OffsetRect(origin.x, origin.y);
    HMENU handle = menu->CreateMenuHandle();
    g_popupWindow->current = menu;
    g_popupWindow->currentHandle = handle;
    TPMPARAMS params{sizeof(TPMPARAMS), exclude};
    const TKFlatCaptionButton* tracked = button;
    TrackPopupMenuEx(handle, TPM_VERTICAL | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y,
                     g_popupWindow->GetSafeHwnd(), &params);
    // The chosen command arrives posted; the menu stays known until the next one is tracked.
    if (std::find(m_buttons->m_items.begin(), m_buttons->m_items.end(), tracked) == m_buttons->m_items.end())
        return;
    // A click on this button closed the menu: that click unfixes it once it arrives.
    MSG press{};
    const bool clickedAgain = platform::LastPopupClosingPress(&press) && press.message == WM_LBUTTONDOWN &&
                              exclude.PtInRect(press.pt);
    if (!clickedAgain) SetButtonState(button, button->m_in, button->m_down, false);
}

bool TKFlatCaption::IsStayOnTop() const
{
    for (const TKFlatCaptionButton* b : m_buttons->m_items)
        if (b->m_command == fccScreenPin && b->m_fixed) return true;
    return false;
}

void TKFlatCaption::SetStayOnTop(bool stayOnTop)
{
    for (TKFlatCaptionButton* b : m_buttons->m_items)
        if (b->m_command == fccScreenPin) b->SetFixed(stayOnTop);
    if (CWnd* window = Window())
        window->SetWindowPos(stayOnTop ? &CWnd::wndTopMost : &CWnd::wndNoTopMost, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TKFlatCaption::SyncStyle()
{
    CWnd* window = Window();
    if (!window || !m_buttons) return;
    const auto shown = [&](TKFlatCaptionCommand command) {
        for (const TKFlatCaptionButton* b : m_buttons->m_items)
            if (b->m_command == command && b->m_visible && b->m_enabled) return true;
        return false;
    };
    DWORD remove = 0, add = 0;
    if (shown(fccMinimize))
        add |= WS_MINIMIZEBOX;
    else
        remove |= WS_MINIMIZEBOX | WS_MINIMIZE;
    if (shown(fccMaximize))
        add |= WS_MAXIMIZEBOX;
    else
        remove |= WS_MAXIMIZEBOX | WS_MAXIMIZE;
    const DWORD style = window->GetStyle();
    if (((style & ~remove) | add) != style) window->ModifyStyle(remove, add);
}

// --- mouse of the bar
// ------------------------------------------------------------------------------------------
void TKFlatCaption::WndProc(TMessage& message)
{
    if (!m_hooked) TryHook();
    TGraphicControl::WndProc(message);
}

void TKFlatCaption::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseDown(button, shift, x, y);
    if (button == mbLeft) PressRelease(true, CPoint(x, y));
}

void TKFlatCaption::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    TGraphicControl::MouseUp(button, shift, x, y);
    if (button == mbLeft) PressRelease(false, CPoint(x, y));
}

void TKFlatCaption::MouseMove(TShiftState shift, int x, int y)
{
    TGraphicControl::MouseMove(shift, x, y);
    UpdateHotStates();
}

void TKFlatCaption::MouseLeave()
{
    UpdateHotStates();
}

// --- painting ----------------------------------------------------------------------------------------------
bool TKFlatCaption::DrawElement(TObject* element)
{
    bool defaultDraw = true;
    if (OnDrawElement) OnDrawElement(this, element, defaultDraw);
    return defaultDraw;
}

void TKFlatCaption::DrawBevel(TCanvas* canvas, const CRect& rect, TKFlatCaptionBevel bevel)
{
    if (bevel == fbvNone || rect.IsRectEmpty()) return;
    const COLORREF light = ColorToRGB(m_colors->Get(TKFlatCaptionColors::Light));
    const COLORREF shade = ColorToRGB(m_colors->Get(TKFlatCaptionColors::Shade));
    CRect r = rect;
    if (CDC* dc = canvas->Dc())
        dc->Draw3dRect(&r, bevel == fbvRaised ? light : shade, bevel == fbvRaised ? shade : light);
}

void TKFlatCaption::PaintBackground(TCanvas* canvas)
{
    const CRect bar = ClientRect();
    const TColor background =
        m_colors->Get(m_active ? TKFlatCaptionColors::Active : TKFlatCaptionColors::Inactive);
    canvas->Brush()->SetColor(background);
    if (m_bitmap->Empty() || m_bitmapPos == fbmNone) {
        canvas->FillRect(bar);
    } else if (m_bitmapPos == fbmStretch) {
        canvas->StretchDraw(bar, m_bitmap);
    } else if (m_bitmapPos == fbmCopy) {
        for (int y = 0; y < bar.bottom; y += m_bitmap->Height())
            for (int x = 0; x < bar.right; x += m_bitmap->Width()) canvas->Draw(x, y, m_bitmap);
    } else {
        canvas->FillRect(bar);
        const int placed = static_cast<int>(m_bitmapPos) - static_cast<int>(fbmLeftTop);
        const int column = placed / 3, row = placed % 3;
        const int x = column == 0   ? 0
                      : column == 1 ? (bar.Width() - m_bitmap->Width()) / 2
                                    : bar.Width() - m_bitmap->Width();
        const int y = row == 0   ? 0
                      : row == 1 ? (bar.Height() - m_bitmap->Height()) / 2
                                 : bar.Height() - m_bitmap->Height();
        canvas->Draw(x, y, m_bitmap);
    }
    DrawBevel(canvas, bar, m_bevel);
}

void TKFlatCaption::PaintButton(TCanvas* canvas, TKFlatCaptionButton* button)
{
    CDC* dc = canvas->Dc();
    if (!dc || button->m_rect.IsRectEmpty()) return;
    const CRect rect = button->m_rect;
    const TKFlatCaptionButtonState state = button->State();
    // The picture: the button's own of the bar's list, else the shared one of its command.
    TImageList* list = nullptr;
    int image = button->m_images->Get(state);
    if (image >= 0 && m_images) {
        list = m_images;
    } else if (image < 0 && button->m_command >= fccClose && button->m_command <= fccScreenPin &&
               g_shareImages) {
        list = g_shareImages;
        image = (button->m_command - fccClose) * 7 + kStripSlot[state];
    }
    if (list && image >= list->Count()) list = nullptr;
    const CSize picture = list ? CSize(list->Width(), list->Height()) : CSize(0, 0);
    canvas->Font()->Assign(m_buttonFont);
    const bool showText = button->m_textPos != fctNone && !button->m_text.empty();
    const CSize text = showText ? canvas->TextExtent(button->m_text) : CSize(0, 0);
    const int spare = rect.Width() - picture.cx - text.cx;
    const int gap = picture.cx && text.cx ? spare / 3 : spare / 2;
    const bool textFirst = button->m_textPos == fctLeft;
    int x = rect.left + gap;
    CPoint pictureAt, textAt;
    if (textFirst) {
        textAt = CPoint(x, rect.top + (rect.Height() - text.cy) / 2);
        pictureAt = CPoint(x + text.cx + (text.cx ? gap : 0), rect.top + (rect.Height() - picture.cy) / 2);
    } else {
        pictureAt = CPoint(x, rect.top + (rect.Height() - picture.cy) / 2);
        textAt = CPoint(x + picture.cx + (picture.cx ? gap : 0), rect.top + (rect.Height() - text.cy) / 2);
    }
    const int saved = SaveDC(dc->GetSafeHdc());
    IntersectClipRect(dc->GetSafeHdc(), rect.left, rect.top, rect.right, rect.bottom);
    if (list) list->Draw(dc, pictureAt.x, pictureAt.y, image);
    if (showText) {
        canvas->Brush()->SetStyle(bsClear);
        const auto draw = [&](int dx, int dy, TColor color) {
            canvas->Font()->SetColor(color);
            CRect r(textAt.x + dx, textAt.y + dy, textAt.x + dx + text.cx, textAt.y + dy + text.cy);
            canvas->DrawText(button->m_text, r, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX);
        };
        const TColor own = m_colors->Get(TKFlatCaptionColors::Disable + static_cast<int>(state));
        if (state == kfsDisable) {
            draw(1, 1, m_colors->Get(TKFlatCaptionColors::Light));
            draw(0, 0, own);
        } else if (state == kfsFreeIn) {
            draw(1, 1, m_colors->Get(TKFlatCaptionColors::Shade));
            draw(0, 0, own);
        } else if (state == kfsFixedOut || state == kfsFixedIn || state == kfsDownIn) {
            draw(1, 1, own);
        } else {
            draw(0, 0, own);
        }
    }
    RestoreDC(dc->GetSafeHdc(), saved);
    if (button->m_enabled) {
        if (state == kfsFreeIn)
            DrawBevel(canvas, rect, fbvRaised);
        else if (state == kfsFixedOut || state == kfsFixedIn || state == kfsDownIn)
            DrawBevel(canvas, rect, fbvLowered);
        else if (!button->m_flat)
            DrawBevel(canvas, rect, fbvRaised);
    }
}

void TKFlatCaption::PaintText(TCanvas* canvas)
{
    canvas->Font()->Assign(m_captionFont);
    canvas->Brush()->SetStyle(bsClear);
    CRect area = m_textRect;
    area.DeflateRect(3, 0);
    const std::string text = Caption();
    if (!text.empty() && area.Width() > 0) {
        const CSize size = canvas->TextExtent(text);
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
        if (size.cx < area.Width())
            format |= m_textPos == fctNone ? DT_CENTER : m_textPos == fctRight ? DT_RIGHT : DT_LEFT;
        const auto draw = [&](int dx, int dy, TColor color) {
            canvas->Font()->SetColor(color);
            CRect r = area;
            r.OffsetRect(dx, dy);
            canvas->DrawText(text, r, format);
        };
        if (m_textHot) {
            draw(1, 1, m_colors->Get(TKFlatCaptionColors::Shade));
            draw(0, 0, m_colors->Get(TKFlatCaptionColors::FreeIn));
        } else {
            draw(0, 0,
                 m_colors->Get(m_active ? TKFlatCaptionColors::TextActive
                                        : TKFlatCaptionColors::TextInactive));
        }
    }
    DrawBevel(canvas, m_textRect, m_captionBevel);
}

void TKFlatCaption::Paint()
{
    if (!m_hooked || !Visible()) return;
    TCanvas* canvas = Canvas();
    if (DrawElement(this)) PaintBackground(canvas);
    for (TKFlatCaptionButton* button : std::vector<TKFlatCaptionButton*>(m_buttons->m_items))
        if (button->m_visible && DrawElement(button)) PaintButton(canvas, button);
    if (DrawElement(nullptr)) PaintText(canvas);
}

// --- layouts -----------------------------------------------------------------------------------------------
namespace {

constexpr std::initializer_list<const char*> kCommandNames = {
    "fccNone", "fccMenu", "fccClose", "fccMaximize", "fccMinimize", "fccHelp", "fccScreenPin", "fccUser"};

}  // namespace

bool TKFlatCaption::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Border")) {
        SetBorder(static_cast<TKFlatCaptionBorder>(
            PropertyEnum(value, {"fcbNone", "fcbSingle", "fcbDialog", "fcbSizeable"})));
    } else if (SameText(name, "TextPos")) {
        SetTextPos(
            static_cast<TKFlatCaptionTextPos>(PropertyEnum(value, {"fctNone", "fctLeft", "fctRight"})));
    } else if (SameText(name, "Bevel")) {
        SetBevel(
            static_cast<TKFlatCaptionBevel>(PropertyEnum(value, {"fbvNone", "fbvRaised", "fbvLowered"})));
    } else if (SameText(name, "CaptionBevel")) {
        SetCaptionBevel(
            static_cast<TKFlatCaptionBevel>(PropertyEnum(value, {"fbvNone", "fbvRaised", "fbvLowered"})));
    } else if (SameText(name, "SpacingX")) {
        SetSpacingX(PropertyInt(value));
    } else if (SameText(name, "SpacingY")) {
        SetSpacingY(PropertyInt(value));
    } else if (SameText(name, "ClientControl")) {
        SetClientControl(PropertyBool(value));
    } else if (SameText(name, "Images")) {
        SetImages(PropertyComponent<TImageList>(value, form));
    } else if (SameText(name, "Buttons")) {
        // The buttons stored with the form: the standard ones of these commands, in that order.
        const unsigned keep = PropertySet(value, kCommandNames);
        for (int i = m_buttons->Count() - 1; i >= 0; --i)
            if (!(keep & (1u << m_buttons->Item(i)->Command()))) m_buttons->Delete(i);
    } else if (SameText(name, "HiddenButtons")) {
        const unsigned hidden = PropertySet(value, kCommandNames);
        for (int i = 0; i < m_buttons->Count(); ++i)
            m_buttons->Item(i)->SetVisible(!(hidden & (1u << m_buttons->Item(i)->Command())));
    } else {
        return TGraphicControl::SetProperty(name, value, form);
    }
    return true;
}

bool TKFlatCaption::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnButtonClick"))
        OnButtonClick = handler.As<TKFlatCaptionButtonClickEvent>(name);
    else if (SameText(name, "OnDrawElement"))
        OnDrawElement = handler.As<TKFlatCaptionElementDrawEvent>(name);
    else
        return TGraphicControl::SetEvent(name, handler);
    return true;
}

// --- unit
// ----------------------------------------------------------------------------------------------------
namespace {

void FlatCaptionInit()
{
    g_bars = new std::vector<TKFlatCaption*>;
    if (platform::HasWindows()) {
        g_popupWindow = new TPopupExWindow;
        g_popupWindow->CreateEx(WS_EX_TOOLWINDOW, nullptr, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
    }
    g_shareImages = TImageList::New();
    g_shareImages->SetSize(16, 16);
    g_shareImages->AddResource(nullptr, "KFLATCAPTIONSHAREIMAGES");
    g_timer = SetTimer(nullptr, 0, 1000, TimerTick);
    const TClass classes[] = {TKFlatCaption::StaticClass()};
    RegisterClasses(classes);
}

void FlatCaptionFinal()
{
    const TClass classes[] = {TKFlatCaption::StaticClass()};
    UnregisterClasses(classes);
    if (g_timer) KillTimer(nullptr, g_timer);
    g_timer = 0;
    if (g_popupWindow) {
        if (g_popupWindow->GetSafeHwnd()) g_popupWindow->DestroyWindow();
        delete g_popupWindow;
        g_popupWindow = nullptr;
    }
    FreeAndNil(g_shareImages);
    delete g_bars;
    g_bars = nullptr;
}

}  // namespace

const TUnitInfo kKFlatCaptionUnit = {"KFlatCaption", FlatCaptionInit, FlatCaptionFinal};
