#pragma once

// Controls of the plug-in's class library: TControl (a rectangle on a parent, with its mouse
// events), TGraphicControl (drawn by its parent, no window of its own) and TWinControl (a
// window: the platform's own control where one exists, else a window the control paints
// itself, TCustomControl). A windowed control holds a CWnd of the platform; the messages of
// that window pass through the control's WndProc first, then the window's own handling.
//
// A container (TForm, TPanel, TGroupBox, TTabSheet...) paints its graphic children after
// itself and hands them the mouse: presses, moves and releases over one go to it (the one
// pressed keeps the mouse until release), and CM_MOUSEENTER / CM_MOUSELEAVE tell which one
// the mouse is over. Notifications of windowed children (WM_COMMAND, WM_NOTIFY, WM_HSCROLL
// and WM_VSCROLL) come back to the child as CN_WMCOMMAND, CN_WMNOTIFY, CN_WMHSCROLL, CN_WMVSCROLL.
//
// Children are laid out by Align (top, bottom, left, right, then the client rest, in that
// order) and Anchors (a right or bottom anchor keeps the distance to that edge of the parent).

#include <memory>
#include <string>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "platform/forms/component.h"
#include "platform/forms/exceptions.h"
#include "platform/forms/form_resource.h"
#include "platform/forms/graphics.h"
#include "platform/forms/method.h"
#include "platform/window/wnd.h"

class TWinControl;
class TForm;
class TPopupMenu;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateKind : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;
/// Cursor shapes; crNone hides the cursor.
enum TCursorShape : int {
    crDefault = 0,
    crNone = -1,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crSizeWE = -9,
    crHSplit = -14,
    crVSplit = -15,
    crHandPoint = -21
};
using TCursor = int;

using TMouseEvent = TMethod<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TMethod<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TMethod<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = TMethod<void(TObject* Sender, char& Key)>;

// Messages of the class library between controls.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
/// Posted by TForm::Release: the form frees itself when it arrives.
constexpr UINT CM_RELEASE = CM_BASE + 33;
/// The window of the control is to be made again (its style changed).
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
// Notifications of a windowed child, handed back to the child by its parent.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_WMCOMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_WMNOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_WMHSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_WMVSCROLL = CN_BASE + WM_VSCROLL;

/// One message as a control sees it.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

/// An event handler of a form, by name: a method of the form bound to it, with its type
/// kept so that it is only ever handed to an event of the same type.
class PLATFORM_API THandler {
public:
    /// Binds the form's method Member under name (the name a layout uses).
    template <auto Member, class C>
    static THandler Of(const char* name, C* object)
    {
        return From(name, MethodOf<Member>(object));
    }
    template <class M>
    static THandler From(const char* name, M method)
    {
        THandler h;
        h.m_name = name;
        h.m_type = &typeid(M);
        h.m_code = reinterpret_cast<void (*)()>(method.code());
        h.m_data = method.data();
        return h;
    }
    /// The method as event type M; raises EComponentError when the handler is of another type.
    template <class M>
    M As(std::string_view event) const
    {
        if (*m_type != typeid(M)) TypeMismatch(event);
        return M(reinterpret_cast<typename M::Code>(m_code), m_data);
    }
    const std::string& Name() const { return m_name; }

private:
    template <auto Member, class C, class R, class... A>
    static TMethod<R(A...)> MethodFor(C* object, R (C::*)(A...))
    {
        return TMethod<R(A...)>::template Of<Member>(object);
    }
    template <auto Member, class C>
    static auto MethodOf(C* object)
    {
        return MethodFor<Member>(object, Member);
    }
    [[noreturn]] void TypeMismatch(std::string_view event) const;

    std::string m_name;
    const std::type_info* m_type = nullptr;
    void (*m_code)() = nullptr;
    void* m_data = nullptr;
};

/// A handler of the form class whose member function this is, for Handlers().
#define FORM_HANDLER(Member) THandler::Of<&std::remove_pointer_t<decltype(this)>::Member>(#Member, this)

class PLATFORM_API TControl : public TComponent {
    DECLARE_TCLASS(TControl)

    void Create(void* owner) override;
    /// Leaves the parent.
    void BeforeDestruction() override;

    TWinControl* Parent() const { return m_parent; }
    /// Moves the control onto parent (null: off any parent).
    virtual void SetParent(TWinControl* parent);

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void SetLeft(int left) { SetBounds(left, m_top, m_width, m_height); }
    void SetTop(int top) { SetBounds(m_left, top, m_width, m_height); }
    void SetWidth(int width) { SetBounds(m_left, m_top, width, m_height); }
    void SetHeight(int height) { SetBounds(m_left, m_top, m_width, height); }
    /// The rectangle in the parent's client coordinates (for a form: on the screen).
    virtual void SetBounds(int left, int top, int width, int height);
    CRect BoundsRect() const { return CRect(m_left, m_top, m_left + m_width, m_top + m_height); }
    void SetBoundsRect(const RECT& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
    /// The client area, at (0, 0).
    virtual CRect ClientRect() const { return CRect(0, 0, m_width, m_height); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientSize(int width, int height);

    TAlign Align() const { return m_align; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return m_anchors; }
    void SetAnchors(TAnchors anchors);

    bool Visible() const { return m_visible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    /// Visible, and its parents too (a form: its window shown).
    virtual bool Showing() const;
    bool Enabled() const { return m_enabled; }
    virtual void SetEnabled(bool enabled);

    /// The caption (the text of edits).
    virtual std::string Caption() const { return m_caption; }
    virtual void SetCaption(const std::string& caption);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
    const std::string& Hint() const { return m_hint; }
    void SetHint(const std::string& hint) { m_hint = hint; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show) { m_showHint = show; }
    TFont* Font() const { return m_font; }
    TColor Color() const { return m_color; }
    virtual void SetColor(TColor color);
    TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* menu);
    TCursor Cursor() const { return m_cursor; }
    void SetCursor(TCursor cursor) { m_cursor = cursor; }
    /// The palette the control's painting wants selected; null for none.
    virtual HPALETTE GetPalette() { return nullptr; }
    /// Whether the control takes its parent's font (until a font of its own is set).
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool parentFont);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

    /// OnClick (buttons and the like do their own part first).
    virtual void Click();
    virtual void DblClick();

    /// Asks for a repaint of the control.
    virtual void Invalidate();
    /// Paints what is invalid now.
    virtual void Update();
    void Repaint()
    {
        Invalidate();
        Update();
    }
    void BringToFront();
    void SendToBack();

    /// Client coordinates of the control to the screen and back.
    CPoint ClientToScreen(CPoint point) const;
    CPoint ScreenToClient(CPoint point) const;
    /// Where the client's (0, 0) lies on the screen.
    virtual CPoint ClientOrigin() const;

    /// Hands a message to the control (its WndProc) and returns the result.
    LRESULT Perform(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    /// The control's handling of a message: mouse messages (client coordinates in lParam)
    /// become the mouse events, CM_MOUSEENTER / CM_MOUSELEAVE MouseEnter / MouseLeave.
    virtual void WndProc(TMessage& message);

    // --- layouts ---------------------------------------------------------------------------------
    /// Bounds, align, anchors, caption, visibility, enabling and font; items, checks and
    /// pages go to the classes that take them.
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TControl() = default;
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    /// The caption changed (windowed controls show it).
    virtual void TextChanged() { Invalidate(); }
    /// The font changed.
    virtual void FontChanged() { Invalidate(); }
    /// The control's position within its parent changed (windowed controls move their window).
    virtual void BoundsChanged() {}
    virtual void VisibleChanged() {}
    virtual void EnabledChanged() { Invalidate(); }
    /// Notes the parent's client size now, which right and bottom anchors keep distances to.
    void NoteAnchorOrigin();
    /// Bounds, align, anchors, caption, visibility, enabling and font of the record.
    void ReadControlFields(const TControlResource& record);
    /// A left press and release inside the control is a click (labels, panels, paint boxes).
    bool m_clickEvents = false;

private:
    friend class TWinControl;
    void FontChange(TObject* sender);

    TWinControl* m_parent = nullptr;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    TAlign m_align = alNone;
    TAnchors m_anchors = akLeft | akTop;
    CSize m_anchorParent{-1, -1};  ///< the parent's client size the anchors measure from
    bool m_visible = true;
    bool m_enabled = true;
    std::string m_caption;
    std::string m_hint;
    bool m_showHint = false;
    TFont* m_font = nullptr;
    TColor m_color = clBtnFace;
    TPopupMenu* m_popupMenu = nullptr;
    TCursor m_cursor = crDefault;
    bool m_parentFont = true;
    bool m_pressedInside = false;
};

/// A control without a window: its parent paints it (Paint, on Canvas) and hands it the mouse.
class PLATFORM_API TGraphicControl : public TControl {
    DECLARE_TCLASS(TGraphicControl)

    void Create(void* owner) override;
    void BeforeDestruction() override;
    /// Draws on the parent's window within the control's rectangle, in the control's
    /// coordinates: during Paint the parent's paint context, at other times a context of
    /// the parent's window that is let go when the current message has been handled.
    TCanvas* Canvas() const { return m_canvas; }

    void Invalidate() override;
    void Update() override;
    bool Showing() const override;

    /// Paints the control on its canvas; the parent calls it with the canvas set up.
    virtual void Paint() {}

protected:
    TGraphicControl() = default;

private:
    friend class TWinControl;
    TCanvas* m_canvas = nullptr;
};

class IControlWindow;

class PLATFORM_API TWinControl : public TControl {
    DECLARE_TCLASS(TWinControl)

    void Create(void* owner) override;
    /// Frees the child controls, then the window.
    void BeforeDestruction() override;

    /// The window (made when the control has a parent with a window, or is a form); null
    /// before that.
    CWnd* Window() const { return m_window; }
    HWND Handle() const;
    bool HandleAllocated() const { return Handle() != nullptr; }
    /// Makes the window now when it can be made.
    void HandleNeeded();
    /// Destroys the window and makes it anew with the current parameters.
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(m_controls.size()); }
    TControl* Control(int index) const;
    /// The topmost visible graphic child at the point (client coordinates); with allowDisabled
    /// disabled ones count too.
    TControl* ControlAtPos(CPoint point, bool allowDisabled = false) const;
    /// The windowed control whose window this is (for any window of the class library).
    static TWinControl* FromHandle(HWND hwnd);

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    CRect ClientRect() const override;
    CPoint ClientOrigin() const override;
    bool Showing() const override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    std::string Caption() const override;
    void SetColor(TColor color) override;
    void Invalidate() override;
    void Update() override;

    bool Focused() const;
    virtual void SetFocus();
    bool CanFocus() const;
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool tabStop) { m_tabStop = tabStop; }

    TNotifyEvent OnResize;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    /// Lays the children out again (Align and Anchors).
    void Realign();

    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

    /// The window's messages arrive here (from the window object).
    LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    TWinControl() = default;
    /// Makes the window object and its window as a child of parentWindow.
    virtual void CreateWnd(CWnd* parentWindow);
    /// Makes the window object (not its window): the platform's control wrapped so that its
    /// messages reach WndProc. The base makes a window the control paints itself.
    virtual std::unique_ptr<CWnd> MakeWindow();
    /// Creates the window of the object MakeWindow made; the base creates a generic child.
    virtual BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id);
    /// The window style of the control (WS_CHILD, visibility and the class's own bits).
    virtual DWORD WindowStyle() const;
    virtual DWORD WindowExStyle() const { return 0; }
    /// The window exists: the class fills it (items, values).
    virtual void WindowCreated() {}
    /// The window's own handling of a message (the platform's control, or CWnd's default).
    void DefaultHandler(TMessage& message);
    /// Paints the control's own window: PaintWindow, then the graphic children.
    void PaintHandler();
    /// The control paints its window's content (TCustomControl); the base paints nothing.
    virtual void PaintWindow(HDC dc);
    /// Paints the graphic children on dc (the window's client coordinates).
    void PaintControls(HDC dc);
    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyPress(char& key);
    virtual void KeyUp(WORD& key, TShiftState shift);
    void TextChanged() override;
    void FontChanged() override;
    void BoundsChanged() override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    /// The window was resized (after the children were laid out again): OnResize.
    virtual void Resize();
    /// Lays out the children in the client rectangle.
    virtual void AlignControls();
    /// The window changes its own position (a form moved by the user): the bounds follow.
    void UpdateBoundsFromWindow();
    /// The window was made: the table of controls, the font, the children's windows, the layout.
    void WindowMade();
    /// Destroys the window the control made (its children's go with it).
    void DestroyOwnWindow();
    /// Forgets the window's handle in the table of controls (the window goes).
    void DetachWindow();

    CWnd* m_window = nullptr;               ///< the window object (the form itself for forms)
    std::unique_ptr<CWnd> m_ownedWindow;    ///< the window object the control made
    IControlWindow* m_classProc = nullptr;  ///< reaches the window class's own handling
    bool m_paintsItself = false;            ///< WM_PAINT runs PaintHandler

private:
    friend class TControl;
    friend class TGraphicControl;
    friend class TForm;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void RouteMouse(TMessage& message);
    void SetMouseControl(TControl* control);
    bool RouteNotification(TMessage& message);

    std::vector<TControl*> m_controls;
    TControl* m_mouseControl = nullptr;    ///< the graphic child the mouse is over
    TControl* m_captureControl = nullptr;  ///< the graphic child that keeps the mouse until release
    HWND m_handle = nullptr;               ///< the handle entered in the table of controls
    bool m_tabStop = true;
    bool m_aligning = false;
    bool m_creatingWindow = false;
    bool m_destroying = false;
    bool m_updatingFromWindow = false;
};

/// Reaches the own handling of a window object that a windowed control wraps.
class IControlWindow {
public:
    virtual LRESULT CallClassProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    /// The control goes: the window stops reaching it.
    virtual void Detach() = 0;

protected:
    ~IControlWindow() = default;
};

/// A window object of the platform's class Base whose messages go to the control first.
template <class Base>
class TControlWindow : public Base, public IControlWindow {
public:
    explicit TControlWindow(TWinControl* control) : m_control(control) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return m_control ? m_control->WindowMessage(message, wParam, lParam)
                         : Base::WindowProc(message, wParam, lParam);
    }
    LRESULT CallClassProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return Base::WindowProc(message, wParam, lParam);
    }
    void Detach() override { m_control = nullptr; }

private:
    TWinControl* m_control;
};

/// A windowed control that paints its own window on a canvas.
class PLATFORM_API TCustomControl : public TWinControl {
    DECLARE_TCLASS(TCustomControl)

    void Create(void* owner) override;
    void BeforeDestruction() override;
    /// During Paint: the window's paint context; at other times a context of the window
    /// that is let go when the current message has been handled.
    TCanvas* Canvas() const { return m_canvas; }

protected:
    TCustomControl() = default;
    /// Paints the window's content on Canvas; the base fills it with Color.
    virtual void Paint();
    void PaintWindow(HDC dc) override;

private:
    TCanvas* m_canvas = nullptr;
};

/// Lets go of the contexts that canvases took outside painting (after each message).
PLATFORM_API void FreeControlCanvases();
/// A canvas for control that takes a context of the control's window (a graphic control:
/// of its parent's) when it is drawn on outside painting.
PLATFORM_API TCanvas* NewControlCanvas(TControl* control);
/// Lets the canvas's context go and frees it.
PLATFORM_API void FreeControlCanvas(TCanvas*& canvas);
/// The canvas draws on dc (painting; null: on nothing), letting go of a context it took.
PLATFORM_API void BindControlCanvas(TCanvas* canvas, HDC dc);

/// Binds a canvas to a painting context for its own life, so that a handler that throws
/// does not leave the canvas drawing on a context the paint has already given back.
class ControlCanvasBinding {
public:
    ControlCanvasBinding(TCanvas* canvas, HDC dc) : m_canvas(canvas) { BindControlCanvas(canvas, dc); }
    ~ControlCanvasBinding() { BindControlCanvas(m_canvas, nullptr); }
    ControlCanvasBinding(const ControlCanvasBinding&) = delete;
    ControlCanvasBinding& operator=(const ControlCanvasBinding&) = delete;

private:
    TCanvas* m_canvas;
};

// --- reading layout values ------------------------------------------------------------------------
/// An integer property value; raises EConvertError for anything else.
PLATFORM_API int PropertyInt(std::string_view value);
/// "True" or "False" (case ignored); raises EConvertError for anything else.
PLATFORM_API bool PropertyBool(std::string_view value);
/// The index of value among names (case ignored); raises EConvertError when it is none of them.
PLATFORM_API int PropertyEnum(std::string_view value, std::initializer_list<const char*> names);
/// A set "[a,b]" of names, as bits in names' order.
PLATFORM_API unsigned PropertySet(std::string_view value, std::initializer_list<const char*> names);
PLATFORM_API TColor PropertyColor(std::string_view value);
/// The component of that name among form's components; raises EComponentError when none
/// is or it is not of class T.
template <class T>
T* PropertyComponent(std::string_view value, TComponent* form)
{
    if (value.empty() || value == "nil") return nullptr;
    TComponent* found = form ? form->FindComponent(value) : nullptr;
    T* typed = ObjectAs<T>(found);
    if (!typed) throw EComponentError("Component '" + std::string(value) + "' not found or of another class");
    return typed;
}
/// The shift state of a mouse or key message's flags (MK_xxx) now.
PLATFORM_API TShiftState ShiftStateOf(WPARAM keyFlags);
PLATFORM_API TShiftState KeyShiftState();
