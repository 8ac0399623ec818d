#include "platform/forms/forms.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include <QCoreApplication>

#include "platform/forms/buttons.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/format.h"
#include "platform/forms/grids.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/window_dc.h"
#include "platform/window/modal.h"
#include "platform/window/nonclient.h"

IMPLEMENT_TCLASS(TForm, TWinControl)
IMPLEMENT_TCLASS(TApplication, TComponent)
IMPLEMENT_TCLASS(TScreen, TComponent)

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

// --- classes known to layouts ------------------------------------------------------------------------
namespace {

std::vector<TClass>& Classes()
{
    static auto* classes = new std::vector<TClass>;
    return *classes;
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

DWORD BorderBits(TFormBorderStyle style)
{
    switch (style) {
        case bsSingle:
        case bsToolWindow:
            return WS_BORDER;
        case bsSizeable:
        case bsSizeToolWin:
            return WS_THICKFRAME;
        case bsDialog:
            return WS_DLGFRAME;
        default:
            return 0;
    }
}

void ApplyFont(TFont* font, const TFontResource& record)
{
    if (!record.name) return;
    font->SetName(record.name);
    font->SetSize(record.size);
    font->SetStyle(record.style);
    font->SetColor(record.color);
}

}  // namespace

void RegisterClasses(std::span<const TClass> classes)
{
    for (TClass cls : classes)
        if (cls && std::find(Classes().begin(), Classes().end(), cls) == Classes().end())
            Classes().push_back(cls);
}

void UnregisterClasses(std::span<const TClass> classes)
{
    for (TClass cls : classes) std::erase(Classes(), cls);
}

TClass FindClass(const char* name)
{
    if (!name) return nullptr;
    for (TClass cls : Classes())
        if (SameText(cls->name, name)) return cls;
    return nullptr;
}

// --- TControl's layout fields ------------------------------------------------------------------------------
void TControl::ReadLayout(const TControlResource& record)
{
    if (!record.items.empty()) throw EComponentError(Format("%s takes no items", ClassName()));
    if (record.checked) throw EComponentError(Format("%s cannot be checked", ClassName()));
    if (record.page >= 0) throw EComponentError(Format("%s has no pages", ClassName()));
    ReadControlFields(record);
}

void TControl::ReadControlFields(const TControlResource& record)
{
    SetBounds(record.bounds.left, record.bounds.top, record.bounds.width, record.bounds.height);
    m_align = record.align;
    m_anchors = record.anchors;
    if (record.caption) SetCaption(record.caption);
    SetVisible(record.visible);
    SetEnabled(record.enabled);
    if (record.font.name) {
        ApplyFont(m_font, record.font);
        m_parentFont = false;
    }
}

// --- TForm ---------------------------------------------------------------------------------------------
TForm::~TForm() = default;

void TForm::Create(void* owner)
{
    TWinControl::Create(owner);
    m_paintsItself = true;
    m_window = this;
    m_classProc = this;
    m_canvas = NewControlCanvas(this);
    if (Screen) Screen->m_forms.push_back(this);
    const std::string layoutName = UpperCase(ClassName());
    const TFormResource* layout = FindFormResource(layoutName.c_str());
    if (!layout) throw EResNotFound("Resource " + layoutName + " not found");
    m_loading = true;
    m_borderStyle = layout->borderStyle;
    m_position = layout->position;
    TControl::SetColor(layout->color);
    ApplyFont(Font(), layout->font);
    TControl::SetCaption(layout->caption ? layout->caption : "");
    CreateWnd(nullptr);
    SetClientSize(layout->clientWidth, layout->clientHeight);
    ReadFormLayout(*layout);
    if (m_position == poScreenCenter) SetPosition(poScreenCenter);
    m_loading = false;
    Loaded();
    if (OnCreate) OnCreate(this);
}

void TForm::BeforeDestruction()
{
    if (OnDestroy) {
        const TNotifyEvent onDestroy = OnDestroy;
        OnDestroy = {};
        onDestroy(this);
    }
    if (Screen) std::erase(Screen->m_forms, this);
    TWinControl::BeforeDestruction();
    FreeControlCanvas(m_canvas);
    if (m_hWnd) CWnd::DestroyWindow();
}

void TForm::CreateParams(TCreateParams& params)
{
    params.Caption = TControl::Caption();
    params.Style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX |
                   WS_MAXIMIZEBOX | BorderBits(m_borderStyle);
    params.ExStyle = (m_borderStyle == bsToolWindow || m_borderStyle == bsSizeToolWin) ? WS_EX_TOOLWINDOW : 0;
    params.X = Left();
    params.Y = Top();
    params.Width = std::max(Width(), 1);
    params.Height = std::max(Height(), 1);
}

void TForm::CreateWnd(CWnd*)
{
    TCreateParams params;
    CreateParams(params);
    if (!params.WndParent && !(params.Style & WS_CHILD) && Application)
        params.WndParent = Application->DefaultOwner();
    // Each form class is a window class of its own name, as the class library has it.
    AfxRegisterClass(ClassName(), CS_DBLCLKS);
    if (!CreateEx(params.ExStyle, ClassName(), params.Caption.c_str(), params.Style & ~WS_VISIBLE, params.X,
                  params.Y, params.Width, params.Height, params.WndParent, nullptr))
        throw EComponentError(Format("Cannot create the window of %s", ClassName()));
    UpdateBoundsFromWindow();
    WindowMade();
}

void TForm::ReadFormLayout(const TFormResource& layout)
{
    std::vector<std::pair<TComponent*, const TControlResource*>> made;
    for (const TControlResource& record : layout.controls) {
        TClass cls = FindClass(record.className);
        if (!cls || !cls->InheritsFrom(TComponent::StaticClass()))
            throw EComponentError(
                Format("Class %s not found", record.className ? record.className : "(none)"));
        if (!record.name || !*record.name)
            throw EComponentError(Format("A %s of %s has no name", cls->name, ClassName()));
        if (FindComponent(record.name))
            throw EComponentError(Format("A component named %s already exists", record.name));
        TComponent* parentComponent = nullptr;
        if (record.parent) {
            parentComponent = FindComponent(record.parent);
            if (!parentComponent)
                throw EComponentError(Format("Parent %s of %s not found", record.parent, record.name));
        }
        auto* component = static_cast<TComponent*>(cls->Construct(static_cast<TComponent*>(this)));
        component->SetName(record.name);
        component->SetTag(record.tag);
        made.emplace_back(component, &record);
        if (auto* item = ObjectAs<TMenuItem>(component)) {
            if (record.caption) item->SetCaption(record.caption);
            if (auto* menu = ObjectAs<TPopupMenu>(parentComponent))
                menu->Items()->Add(item);
            else if (auto* parentItem = ObjectAs<TMenuItem>(parentComponent))
                parentItem->Add(item);
            else
                throw EComponentError(Format("Menu item %s needs a menu as its parent", record.name));
            continue;
        }
        auto* control = ObjectAs<TControl>(component);
        if (!control) {
            component->ReadLayout(record);
            continue;
        }
        TWinControl* parent = this;
        if (parentComponent) {
            parent = ObjectAs<TWinControl>(parentComponent);
            if (!parent) throw EComponentError(Format("%s cannot hold controls", record.parent));
        }
        control->ReadLayout(record);
        control->SetParent(parent);
    }
    for (const auto& [component, record] : made)
        for (const TPropertyResource& property : record->properties)
            if (!component->SetProperty(property.name, property.value, this))
                throw EComponentError(Format("%s has no property %s", component->ClassName(), property.name));
    for (const TPropertyResource& property : layout.properties)
        if (!SetProperty(property.name, property.value, this))
            throw EComponentError(Format("%s has no property %s", ClassName(), property.name));
    const std::vector<THandler> handlers = Handlers();
    for (const auto& [component, record] : made) BindEvents(component, record->events, handlers);
    BindEvents(this, layout.events, handlers);
    for (const auto& [component, record] : made) component->Loaded();
    Realign();
}

void TForm::BindEvents(TComponent* component, std::span<const TEventBinding> events,
                       const std::vector<THandler>& handlers)
{
    for (const TEventBinding& binding : events) {
        const auto found = std::find_if(handlers.begin(), handlers.end(), [&](const THandler& h) {
            return SameText(h.Name(), binding.handler);
        });
        if (found == handlers.end())
            throw EComponentError(Format("Handler %s not found in %s", binding.handler, ClassName()));
        if (!component->SetEvent(binding.event, *found))
            throw EComponentError(Format("%s has no event %s", component->ClassName(), binding.event));
    }
}

LRESULT TForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_window) return CWnd::WindowProc(message, wParam, lParam);  // being freed
    return WindowMessage(message, wParam, lParam);
}

LRESULT TForm::CallClassProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CWnd::WindowProc(message, wParam, lParam);
}

void TForm::WndProc(TMessage& message)
{
    switch (message.Msg) {
        case WM_SHOWWINDOW:
            // Shown or hidden by the program; not when its owner takes it along.
            if (message.LParam == 0) {
                if (message.WParam)
                    DoShow();
                else
                    DoHide();
            }
            break;
        case WM_CLOSE:
            Close();
            return;
        case CM_RELEASE:
            Free();  // nothing of the form is touched after this
            return;
        case WM_MOVE:
            DefaultHandler(message);
            UpdateBoundsFromWindow();
            return;
        case WM_COMMAND:
            if (message.LParam == 0 &&
                (LOWORD(message.WParam) == IDOK || LOWORD(message.WParam) == IDCANCEL) &&
                DefaultCommand(LOWORD(message.WParam)))
                return;
            break;
        default:
            break;
    }
    TWinControl::WndProc(message);
}

bool TForm::DefaultCommand(int id)
{
    const TModalResult wanted = id == IDOK ? mrOk : mrCancel;
    std::vector<TWinControl*> pending{this};
    while (!pending.empty()) {
        TWinControl* container = pending.back();
        pending.pop_back();
        for (int i = 0; i < container->ControlCount(); ++i) {
            TControl* c = container->Control(i);
            if (auto* button = ObjectAs<TButton>(c);
                button && button->ModalResult() == wanted && button->Visible()) {
                if (button->Enabled()) button->Click();
                return true;
            }
            if (auto* win = ObjectAs<TWinControl>(c)) pending.push_back(win);
        }
    }
    if (m_modal) SetModalResult(wanted);
    return true;
}

void TForm::Show()
{
    SetVisible(true);
    if (m_hWnd) SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void TForm::VisibleChanged()
{
    if (!m_hWnd || m_loading) return;
    if (!Visible()) {
        ShowWindow(SW_HIDE);
        return;
    }
    switch (m_windowState) {
        case wsMinimized:
            ShowWindow(SW_SHOWMINIMIZED);
            break;
        case wsMaximized:
            ShowWindow(SW_SHOWMAXIMIZED);
            break;
        default:
            ShowWindow(IsIconic() || IsZoomed() ? SW_SHOW : SW_SHOWNORMAL);
            break;
    }
}

void TForm::DoShow()
{
    if (OnShow) OnShow(this);
}

void TForm::DoHide()
{
    if (OnHide) OnHide(this);
}

bool TForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::DoClose(TCloseAction& action)
{
    if (OnClose) OnClose(this, action);
}

void TForm::Close()
{
    if (m_modal) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    switch (action) {
        case caHide:
            Hide();
            break;
        case caMinimize:
            SetWindowState(wsMinimized);
            break;
        case caFree:
            Release();
            break;
        default:
            break;
    }
}

void TForm::Release()
{
    if (m_hWnd) PostMessage(CM_RELEASE, 0, 0);
}

TModalResult TForm::ShowModal()
{
    if (Visible() && Showing()) throw EInvalidOperation("Cannot make a visible window modal");
    if (m_modal) throw EInvalidOperation("The form is modal already");
    const HWND hwnd = m_hWnd;
    m_modal = true;
    m_modalResult = mrNone;
    Show();
    TCloseAction action = caHide;
    for (;;) {
        const int result = RunModalLoop(0);
        if (!IsWindow(hwnd)) return result > 0 ? result : mrCancel;
        if (m_modalResult == mrNone) m_modalResult = result > 0 ? result : mrCancel;
        action = caNone;
        if (CloseQuery()) action = caHide;
        DoClose(action);
        // A form that refuses to close goes on being modal; one the responder answered
        // cannot be asked again.
        if (action != caNone || platform::GetModalResponder()) break;
        m_modalResult = mrNone;
    }
    m_modal = false;
    const TModalResult result = m_modalResult;
    Hide();
    if (action == caFree) Release();
    return result;
}

void TForm::SetModalResult(TModalResult result)
{
    m_modalResult = result;
    if (m_modal && result != mrNone) CWnd::EndModalLoop(result);
}

void TForm::EndModalLoop(int nResult)
{
    if (m_modal && m_modalResult == mrNone) m_modalResult = nResult > 0 ? nResult : mrCancel;
    CWnd::EndModalLoop(nResult);
}

TWindowState TForm::WindowState() const
{
    if (!m_hWnd || !IsWindowVisible()) return m_windowState;
    return IsIconic() ? wsMinimized : IsZoomed() ? wsMaximized : wsNormal;
}

void TForm::SetWindowState(TWindowState state)
{
    m_windowState = state;
    if (!m_hWnd || !Visible()) return;
    ShowWindow(state == wsMinimized ? SW_MINIMIZE : state == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == m_borderStyle) return;
    m_borderStyle = style;
    if (m_hWnd) ModifyStyle(WS_BORDER | WS_DLGFRAME | WS_THICKFRAME, BorderBits(style), SWP_FRAMECHANGED);
}

void TForm::SetPosition(TFormPosition position)
{
    m_position = position;
    if (position != poScreenCenter || !Screen) return;
    SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(), Height());
}

void TForm::SetClientSize(int width, int height)
{
    if (!m_hWnd) return TWinControl::SetClientSize(width, height);
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, GetStyle(), FALSE, GetExStyle());
    SetBounds(Left(), Top(), outer.right - outer.left, outer.bottom - outer.top);
}

void TForm::PaintWindow(HDC dc)
{
    ControlCanvasBinding binding(m_canvas, dc);
    Paint();
}

void TForm::Paint()
{
    m_canvas->Brush()->SetColor(Color());
    m_canvas->FillRect(ClientRect());
    if (OnPaint) OnPaint(this);
}

bool TForm::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Position"))
        SetPosition(static_cast<TFormPosition>(PropertyEnum(value, {"poDesigned", "poScreenCenter"})));
    else if (SameText(name, "BorderStyle"))
        SetBorderStyle(static_cast<TFormBorderStyle>(PropertyEnum(
            value, {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"})));
    else if (SameText(name, "ClientWidth"))
        SetClientSize(PropertyInt(value), ClientHeight());
    else if (SameText(name, "ClientHeight"))
        SetClientSize(ClientWidth(), PropertyInt(value));
    else if (SameText(name, "WindowState"))
        SetWindowState(
            static_cast<TWindowState>(PropertyEnum(value, {"wsNormal", "wsMinimized", "wsMaximized"})));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TForm::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnCreate"))
        OnCreate = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnDestroy"))
        OnDestroy = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnShow"))
        OnShow = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnHide"))
        OnHide = handler.As<TNotifyEvent>(name);
    else if (SameText(name, "OnClose"))
        OnClose = handler.As<TCloseEvent>(name);
    else if (SameText(name, "OnCloseQuery"))
        OnCloseQuery = handler.As<TCloseQueryEvent>(name);
    else if (SameText(name, "OnPaint"))
        OnPaint = handler.As<TNotifyEvent>(name);
    else
        return TWinControl::SetEvent(name, handler);
    return true;
}

// --- TApplication
// -------------------------------------------------------------------------------------------
void TApplication::HandleException(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error)) return;
    MessageBox(error.what(), nullptr, MB_OK | MB_ICONERROR);
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TApplication::SetHint(const std::string& hint)
{
    if (hint == m_hint) return;
    m_hint = hint;
    if (OnHint) OnHint(this);
}

int TApplication::MessageBox(const std::string& text, const char* caption, UINT flags)
{
    HWND owner = DefaultOwner();
    if (TForm* active = Screen ? Screen->ActiveForm() : nullptr) owner = active->GetSafeHwnd();
    const std::string title = caption ? caption : m_title;
    return ::MessageBox(owner, text.c_str(), title.empty() ? nullptr : title.c_str(), flags);
}

// --- TScreen
// -------------------------------------------------------------------------------------------------
TForm* TScreen::Forms(int index) const
{
    return index >= 0 && index < FormCount() ? m_forms[static_cast<std::size_t>(index)] : nullptr;
}

TForm* TScreen::ActiveForm() const
{
    CWnd* active = CWnd::GetActiveWindow();
    for (TForm* form : m_forms)
        if (static_cast<CWnd*>(form) == active) return form;
    return nullptr;
}

int TScreen::Width() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

int TScreen::Depth() const
{
    HDC dc = GetDC(nullptr);
    const int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) : 32;
    if (dc) ReleaseDC(nullptr, dc);
    return bits;
}

// --- unit Forms
// ------------------------------------------------------------------------------------------------
namespace {

std::span<const TClass> LibraryClasses()
{
    static const TClass classes[] = {
        TLabel::StaticClass(),       TStaticText::StaticClass(), TEdit::StaticClass(),
        TMemo::StaticClass(),        TButton::StaticClass(),     TCheckBox::StaticClass(),
        TRadioGroup::StaticClass(),  TGroupBox::StaticClass(),   TComboBox::StaticClass(),
        TListBox::StaticClass(),     TTreeView::StaticClass(),   TListView::StaticClass(),
        TPanel::StaticClass(),       TBevel::StaticClass(),      TSplitter::StaticClass(),
        TPageControl::StaticClass(), TTabSheet::StaticClass(),   TTrackBar::StaticClass(),
        TStringGrid::StaticClass(),  TPaintBox::StaticClass(),   TSpeedButton::StaticClass(),
        TToolBar::StaticClass(),     TToolButton::StaticClass(), TTimer::StaticClass(),
        TOpenDialog::StaticClass(),  TSaveDialog::StaticClass(), TImageList::StaticClass(),
        TPopupMenu::StaticClass(),   TMenuItem::StaticClass(),
    };
    return classes;
}

void FormsInit()
{
    Application = TApplication::New();
    Screen = TScreen::New();
    RegisterClasses(LibraryClasses());
}

void FormsFinal()
{
    UnregisterClasses(LibraryClasses());
    FreeAndNil(Screen);
    FreeAndNil(Application);
}

}  // namespace

const TUnitInfo kFormsUnit = {"Forms", FormsInit, FormsFinal};
