#pragma once

// TForm, TApplication and TScreen of the plug-in's class library.
//
// A TForm is a CWnd: its window is a popup of the platform (handle, message map,
// non-client model, owned windows, stacking, modal gateway, test responder), always without
// a system caption (a caption bar control draws its own). Its layout is a resource named by
// the class name in capitals (form_resource.h); its events (OnCreate, OnShow, OnClose ...)
// and its controls' events are bound by handler name to the handlers the class lists
// (Handlers, with FORM_HANDLER).
//
// A form made without a parent window and without an owner window takes the window that
// Application->DefaultOwner gives as its owner (the plug-in sets main window 0 of its
// main-window list there), so it stays above that window and hides and minimises with it.

#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/units.h"

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TMethod<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TMethod<void(TObject* Sender, bool& CanClose)>;
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

/// What a form's window is made with (CreateParams may change it).
struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    /// The parent (for WS_CHILD) or owner window; null: none.
    HWND WndParent = nullptr;
};

class PLATFORM_API TForm : public TWinControl, public CWnd, private IControlWindow {
    DECLARE_TCLASS(TForm)

    /// Reads the layout named by the class (EResNotFound when there is none), makes the
    /// window and the components, binds the events, then runs Loaded and OnCreate.
    void Create(void* owner) override;
    /// OnDestroy, then the components and the window go.
    void BeforeDestruction() override;

    using CWnd::ClientToScreen;
    using CWnd::ScreenToClient;
    using TControl::ClientToScreen;
    using TControl::OnMouseMove;
    using TControl::ScreenToClient;
    using TWinControl::Invalidate;
    using TWinControl::OnKeyDown;
    using TWinControl::OnKeyUp;
    using TWinControl::SetFocus;
    using TWinControl::Update;

    /// Shows the form and brings it to the top.
    void Show();
    /// Asks OnCloseQuery, then OnClose with the close action (caHide by default) and does
    /// it: hide, minimise, free after the current message (caFree), or nothing. A modal form
    /// ends its modal loop with mrCancel instead.
    void Close();
    /// Frees the form once the message being handled now (and those queued before) are done.
    void Release();
    /// Shows the form modally through the modal gateway until ModalResult is set; returns it.
    /// Raises EInvalidOperation for a form that is visible already.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return m_modalResult; }
    /// Setting a result other than mrNone ends a modal loop.
    void SetModalResult(TModalResult result);
    bool Modal() const { return m_modal; }

    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);
    /// The form's outer rectangle on the screen.
    using TControl::BoundsRect;
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TFormPosition Position() const { return m_position; }
    void SetPosition(TFormPosition position);
    /// The outer size that gives this client size with the window's frame.
    void SetClientSize(int width, int height) override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnPaint;

    /// The canvas of the form's client area (during OnPaint: the paint context).
    TCanvas* Canvas() const { return m_canvas; }
    /// The component of the layout named name, of class T; raises EComponentError when the
    /// form has none or it is of another class.
    template <class T>
    T* FindControl(std::string_view name) const
    {
        return PropertyComponent<T>(name, const_cast<TForm*>(this));
    }

    void WndProc(TMessage& message) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void EndModalLoop(int nResult) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TForm() = default;
    ~TForm() override;
    /// The form's handlers that layouts bind by name; the base has none.
    virtual std::vector<THandler> Handlers() { return {}; }
    /// The parameters of the window: a captionless popup with a frame by BorderStyle, owned
    /// by Application->DefaultOwner() when nothing else is given.
    virtual void CreateParams(TCreateParams& params);
    /// The layout is read and its events are bound (before OnCreate): a class takes its
    /// controls here (FindControl).
    void Loaded() override {}
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);
    virtual bool CloseQuery();
    /// OnPaint on the canvas (the form's background is filled with Color first).
    virtual void Paint();
    void PaintWindow(HDC dc) override;
    void VisibleChanged() override;
    void CreateWnd(CWnd* parentWindow) override;

private:
    LRESULT CallClassProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Detach() override {}
    void ReadFormLayout(const TFormResource& layout);
    void BindEvents(TComponent* component, std::span<const TEventBinding> events,
                    const std::vector<THandler>& handlers);
    /// IDOK / IDCANCEL commands: the button with that modal result, else the result itself.
    bool DefaultCommand(int id);

    TCanvas* m_canvas = nullptr;
    TModalResult m_modalResult = mrNone;
    bool m_modal = false;
    bool m_loading = false;
    TFormBorderStyle m_borderStyle = bsSizeable;
    TFormPosition m_position = poDesigned;
    TWindowState m_windowState = wsNormal;  ///< the state to show a hidden form in
};

/// The application of the plug-in: errors, the message pump, the hint, message boxes.
class PLATFORM_API TApplication : public TComponent {
    DECLARE_TCLASS(TApplication)

    /// Shows the error's text in a box (EAbort shows nothing).
    void HandleException(const std::exception& error);
    /// Handles what is queued now (posted messages, timers due, repaints).
    void ProcessMessages();
    const std::string& Hint() const { return m_hint; }
    /// Sets the hint and tells OnHint when it changes.
    void SetHint(const std::string& hint);
    TNotifyEvent OnHint;
    const std::string& Title() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    /// A message box owned by the active form (or the default owner), captioned caption
    /// (the title when null); returns the button chosen (IDYES, IDNO, IDCANCEL ...).
    int MessageBox(const std::string& text, const char* caption, UINT flags);
    /// The window forms without parent and owner are owned by; null when none is set.
    HWND DefaultOwner() const { return m_defaultOwner ? m_defaultOwner() : nullptr; }
    /// Sets where DefaultOwner comes from (null: none).
    void SetDefaultOwnerSource(HWND (*source)()) { m_defaultOwner = source; }

protected:
    TApplication() = default;

private:
    std::string m_hint;
    std::string m_title;
    HWND (*m_defaultOwner)() = nullptr;
};

/// The screen and the forms on it.
class PLATFORM_API TScreen : public TComponent {
    DECLARE_TCLASS(TScreen)

    int FormCount() const { return static_cast<int>(m_forms.size()); }
    TForm* Forms(int index) const;
    /// The form whose window is active; null when none of the forms is.
    TForm* ActiveForm() const;
    int Width() const;
    int Height() const;
    /// Bits per pixel of the screen.
    int Depth() const;
    int PixelsPerInch() const { return 96; }

protected:
    TScreen() = default;

private:
    friend class TForm;
    std::vector<TForm*> m_forms;
};

/// The application and screen objects while the unit Forms runs; null otherwise.
PLATFORM_API extern TApplication* Application;
PLATFORM_API extern TScreen* Screen;

/// Unit Forms: makes Application and Screen and registers the class library's classes.
PLATFORM_API extern const TUnitInfo kFormsUnit;
