#pragma once

// TKFlatCaption (unit KFlatCaption): the flat caption bar every plug-in form carries at its
// top instead of a title bar. Once its parent's window exists it takes the window over
// through a message filter: it replaces the window's frame with one of its own choosing
// (the caption goes), answers HTCAPTION over its text so that the text drags the window,
// keeps the smallest size that shows the buttons, and turns its buttons' clicks into
// system commands (close, maximise or restore, minimise or restore, context help) or into
// keeping the window on top. The unit also keeps a one-second timer that keeps the buttons'
// hot state current, the shared pictures of the standard buttons, and a hidden window that
// tracks the buttons' drop-down menus.

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/units.h"

class TImageList;
class TPopupMenu;
class TKFlatCaption;
class TKFlatCaptionButton;

enum TKFlatCaptionBorder { fcbNone, fcbSingle, fcbDialog, fcbSizeable };
enum TKFlatCaptionCommand {
    fccNone,
    fccMenu,
    fccClose,
    fccMaximize,
    fccMinimize,
    fccHelp,
    fccScreenPin,
    fccUser
};
enum TKFlatCaptionBevel { fbvNone, fbvRaised, fbvLowered };
enum TKFlatCaptionTextPos { fctNone, fctLeft, fctRight };
enum TKFlatCaptionBitmapPos {
    fbmNone,
    fbmCopy,
    fbmStretch,
    fbmLeftTop,
    fbmLeftMid,
    fbmLeftBottom,
    fbmCenterTop,
    fbmCenterMid,
    fbmCenterBottom,
    fbmRightTop,
    fbmRightMid,
    fbmRightBottom
};
/// A button's state, the index of its picture and (after 6) of its text colour.
enum TKFlatCaptionButtonState {
    kfsDisable,
    kfsFreeOut,
    kfsFreeIn,
    kfsFixedOut,
    kfsFixedIn,
    kfsDownOut,
    kfsDownIn
};

using TKFlatCaptionButtonClickEvent =
    TMethod<void(TObject* Sender, TKFlatCaptionButton* aButton, TKFlatCaptionCommand& Command)>;
/// Element: the bar itself, a button, or null for the caption text.
using TKFlatCaptionElementDrawEvent = TMethod<void(TObject* Sender, TObject* Element, bool& DefaultDraw)>;

/// The seven picture indexes of a button, one per state (-1: the shared picture or none).
class TKFlatCaptionButtonImages : public TPersistent {
    DECLARE_TCLASS(TKFlatCaptionButtonImages)

    /// Index of state (0..6); -1 outside.
    int Get(int state) const;
    /// Changes the picture of state (ignored outside 0..6); the button is painted again.
    void Set(int state, int image);
    void Assign(TPersistent* source) override;

private:
    friend class TKFlatCaptionButton;
    TKFlatCaptionButton* m_button = nullptr;
    int m_images[7] = {-1, -1, -1, -1, -1, -1, -1};
};

/// One button of a caption bar.
class TKFlatCaptionButton : public TPersistent {
    DECLARE_TCLASS(TKFlatCaptionButton)

    void Create(void* owner) override;
    void BeforeDestruction() override;

    const std::string& Text() const { return m_text; }
    void SetText(const std::string& text);
    const std::string& Hint() const { return m_hint; }
    void SetHint(const std::string& hint) { m_hint = hint; }
    std::intptr_t Tag() const { return m_tag; }
    void SetTag(std::intptr_t tag) { m_tag = tag; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    bool CheckButton() const { return m_checkButton; }
    /// Clearing it clears Fixed too.
    void SetCheckButton(bool check);
    bool Fixed() const { return m_fixed; }
    void SetFixed(bool fixed);
    bool Flat() const { return m_flat; }
    void SetFlat(bool flat);
    int Width() const { return m_width; }
    void SetWidth(int width);
    int Height() const { return m_height; }
    void SetHeight(int height);
    int Top() const { return m_top; }
    void SetTop(int top);
    int Spacing() const { return m_spacing; }
    void SetSpacing(int spacing);
    /// Negative: placed from the bar's right edge (the most negative outermost); else from
    /// its left edge.
    int Position() const { return m_position; }
    void SetPosition(int position);
    TKFlatCaptionCommand Command() const { return m_command; }
    void SetCommand(TKFlatCaptionCommand command);
    TKFlatCaptionTextPos TextPos() const { return m_textPos; }
    void SetTextPos(TKFlatCaptionTextPos pos);
    TKFlatCaptionButtonImages* Images() const { return m_images; }
    /// A check button with a menu shows it while it is fixed.
    TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* menu) { m_popupMenu = menu; }

    /// The mouse is over it / it is pressed.
    bool In() const { return m_in; }
    bool Down() const { return m_down; }
    /// Its rectangle in the bar.
    const CRect& Rect() const { return m_rect; }
    TKFlatCaption* Bar() const { return m_bar; }
    /// The state it is drawn in now.
    TKFlatCaptionButtonState State() const;
    void Assign(TPersistent* source) override;

private:
    friend class TKFlatCaption;
    friend class TKFlatCaptionButtonList;
    friend class TKFlatCaptionButtonImages;
    void Changed(bool layout);
    /// Stores value in field and reports the change (layout: the bar's layout changes too);
    /// false when field already held it.
    template <class T>
    bool Change(T& field, T value, bool layout)
    {
        if (field == value) return false;
        field = value;
        Changed(layout);
        return true;
    }

    TKFlatCaption* m_bar = nullptr;
    std::string m_text;
    std::string m_hint;
    std::intptr_t m_tag = 0;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_checkButton = false;
    bool m_fixed = false;
    bool m_flat = true;
    int m_width = 20;
    int m_height = 20;
    int m_top = 2;
    int m_spacing = 2;
    int m_position = 0;
    TKFlatCaptionCommand m_command = fccNone;
    TKFlatCaptionTextPos m_textPos = fctNone;
    TKFlatCaptionButtonImages* m_images = nullptr;
    TPopupMenu* m_popupMenu = nullptr;
    bool m_in = false;
    bool m_down = false;
    CRect m_rect{0, 0, 0, 0};
};

/// The buttons of a bar, owned by it.
class TKFlatCaptionButtonList : public TPersistent {
    DECLARE_TCLASS(TKFlatCaptionButtonList)

    void BeforeDestruction() override;
    int Count() const { return static_cast<int>(m_items.size()); }
    /// Button index; null outside the list.
    TKFlatCaptionButton* Item(int index) const;
    /// A new button with the defaults, last in the list.
    TKFlatCaptionButton* Add();
    /// A new button at position with command, hint and kind.
    TKFlatCaptionButton* Add(int position, TKFlatCaptionCommand command, const std::string& hint, bool check);
    void Delete(int index);
    void Clear();
    /// The first button of that command; null when none has it.
    TKFlatCaptionButton* Find(TKFlatCaptionCommand command) const;
    /// Copies the buttons of another list.
    void Assign(TPersistent* source) override;

private:
    friend class TKFlatCaption;
    void Update();
    TKFlatCaption* m_bar = nullptr;
    std::vector<TKFlatCaptionButton*> m_items;
};

/// The thirteen colours of a bar.
class TKFlatCaptionColors : public TPersistent {
    DECLARE_TCLASS(TKFlatCaptionColors)

    enum Index {
        Shade,
        Light,
        Active,
        Inactive,
        TextActive,
        TextInactive,
        Disable,
        FreeOut,
        FreeIn,
        FixedOut,
        FixedIn,
        DownOut,
        DownIn
    };
    /// Colour index; 0 outside 0..12.
    TColor Get(int index) const;
    /// Changes colour index (ignored outside 0..12); the bar is painted again.
    void Set(int index, TColor color);
    void Assign(TPersistent* source) override;

private:
    friend class TKFlatCaption;
    TKFlatCaption* m_bar = nullptr;
    TColor m_colors[13] = {clGray,  clWhite, clSilver, clSilver, clBlack,  clGray, clGray,
                           clBlack, clBlue,  clBlack,  clBlue,   clMaroon, clBlack};
};

class TKFlatCaption : public TGraphicControl {
    DECLARE_TCLASS(TKFlatCaption)

    /// Width 120, height 24, aligned top, with the five standard buttons.
    void Create(void* owner) override;
    /// Gives the window back its own frame and handling.
    void BeforeDestruction() override;

    // The caption text is the control's Caption (Text).
    int SpacingX() const { return m_spacingX; }
    void SetSpacingX(int spacing);
    int SpacingY() const { return m_spacingY; }
    void SetSpacingY(int spacing);
    /// On: the window keeps its client area where it was when the frame changes.
    bool ClientControl() const { return m_clientControl; }
    void SetClientControl(bool client) { m_clientControl = client; }
    TKFlatCaptionBitmapPos BitmapPos() const { return m_bitmapPos; }
    void SetBitmapPos(TKFlatCaptionBitmapPos pos);
    TKFlatCaptionTextPos TextPos() const { return m_textPos; }
    void SetTextPos(TKFlatCaptionTextPos pos);
    TKFlatCaptionBevel Bevel() const { return m_bevel; }
    void SetBevel(TKFlatCaptionBevel bevel);
    TKFlatCaptionBevel CaptionBevel() const { return m_captionBevel; }
    void SetCaptionBevel(TKFlatCaptionBevel bevel);
    TKFlatCaptionBorder Border() const { return m_border; }
    /// A new frame: the window's frame changes at once.
    void SetBorder(TKFlatCaptionBorder border);
    TKFlatCaptionButtonList* Buttons() const { return m_buttons; }
    TKFlatCaptionColors* Colors() const { return m_colors; }
    TBitmap* Bitmap() const { return m_bitmap; }
    TFont* CaptionFont() const { return m_captionFont; }
    TFont* ButtonFont() const { return m_buttonFont; }
    TImageList* Images() const { return m_images; }
    void SetImages(TImageList* images);
    TKFlatCaptionButtonClickEvent OnButtonClick;
    TKFlatCaptionElementDrawEvent OnDrawElement;

    /// The window it took over; null while there is none.
    HWND HookedWindow() const { return m_hooked; }
    bool Active() const { return m_active; }
    void SetActive(bool active);
    /// Whether a keep-on-top button is fixed.
    bool IsStayOnTop() const;
    /// Fixes or frees every keep-on-top button and makes the window topmost or not (without
    /// moving, sizing or activating it).
    void SetStayOnTop(bool stayOnTop);
    /// -1 when not hooked, not visible, the window hidden or minimised, or the point (screen)
    /// outside the bar; the 1-based index of the last visible button containing it; 0 in the
    /// text rectangle; 0x1000000 elsewhere in the bar.
    int HitTest(CPoint screen) const;
    /// What remains of the bar after the buttons, less the spacings (bar coordinates).
    const CRect& TextRect() const { return m_textRect; }
    bool TextHot() const { return m_textHot; }
    /// Lays the buttons out (also on every resize).
    void Layout();
    /// Finds which button (or the text) the mouse is over now.
    void UpdateHotStates();
    /// The window's style bits follow the Minimize and Maximize buttons (shown and enabled).
    void SyncStyle();
    /// The smallest outer size of the window that shows the buttons.
    CSize MinTrackSize() const;
    /// What a full click on the button does: OnButtonClick (which may change the command),
    /// then the command's system command posted to the window, or the keep-on-top state.
    void ButtonClick(TKFlatCaptionButton* button);

    void SetBounds(int left, int top, int width, int height) override;
    void SetParent(TWinControl* parent) override;
    void WndProc(TMessage& message) override;
    void Paint() override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TKFlatCaption() = default;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    void TextChanged() override { Invalidate(); }
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TKFlatCaptionButton;
    friend class TKFlatCaptionButtonList;
    friend class TKFlatCaptionColors;
    /// Takes the parent's window over when it exists; true when hooked (now or before).
    bool TryHook();
    void Unhook(bool keepPosition);
    /// The window's messages, before the window's own handling; true when handled here.
    bool HookMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void PressRelease(bool press, CPoint at);
    void SetButtonState(TKFlatCaptionButton* button, bool in, bool down, bool fixed);
    void ShowDropDown(TKFlatCaptionButton* button);
    void InvalidateRect(const CRect& rect);
    bool DrawElement(TObject* element);
    void PaintBackground(TCanvas* canvas);
    void PaintButton(TCanvas* canvas, TKFlatCaptionButton* button);
    void PaintText(TCanvas* canvas);
    void DrawBevel(TCanvas* canvas, const CRect& rect, TKFlatCaptionBevel bevel);
    void FontChange(TObject* sender);
    void ImagesChange(TObject* sender);
    CWnd* Window() const;

    int m_spacingX = 2;
    int m_spacingY = 2;
    bool m_clientControl = false;
    TKFlatCaptionBitmapPos m_bitmapPos = fbmCopy;
    TKFlatCaptionTextPos m_textPos = fctLeft;
    TKFlatCaptionBevel m_bevel = fbvLowered;
    TKFlatCaptionBevel m_captionBevel = fbvLowered;
    TKFlatCaptionBorder m_border = fcbSizeable;
    TKFlatCaptionButtonList* m_buttons = nullptr;
    TKFlatCaptionColors* m_colors = nullptr;
    TBitmap* m_bitmap = nullptr;
    TFont* m_captionFont = nullptr;
    TFont* m_buttonFont = nullptr;
    TImageList* m_images = nullptr;
    HWND m_hooked = nullptr;
    UINT_PTR m_filter = 0;
    DWORD m_savedStyle = 0;
    int m_hooking = 0;
    bool m_active = false;
    CRect m_textRect{0, 0, 0, 0};
    bool m_textHot = false;
};

/// The shared timer's identifier (its WM_TIMER reaches every hooked window); 0 while the
/// unit does not run.
UINT_PTR FlatCaptionTimerId();
/// The shared pictures of the standard buttons (35: seven per command from fccClose to
/// fccScreenPin); null while the unit does not run.
TImageList* FlatCaptionShareImages();

/// Unit KFlatCaption: the shared timer, pictures and drop-down window; the class known to layouts.
extern const TUnitInfo kKFlatCaptionUnit;
