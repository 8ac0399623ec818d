// A form's window: owned by the default owner when it has none, a maximised form keeps
// its normal rectangle, a press where it answers HTCAPTION moves it, and a layout that names
// what the form or the class library does not have fails the form's creation.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/forms/stdctrls.h"
#include "platform/resources/module_resources.h"
#include "platform/window/nonclient.h"
#include "tests/platform/forms/forms_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::FormsTest;
using tarvenix::test::MouseMove;
using tarvenix::test::MousePress;
using tarvenix::test::MouseRelease;
using tarvenix::test::PumpEvents;

namespace {

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

constexpr TControlResource kPlainControls[] = {
    {.className = "TStaticText", .name = "Title", .bounds = {40, 2, 100, 16}, .caption = "drag me"},
    {.className = "TButton", .name = "Go", .bounds = {10, 40, 75, 25}, .caption = "Go"},
};
constexpr TFormResource kPlainForms[] = {
    {.name = "TPLAINFORM",
     .caption = "Plain",
     .clientWidth = 200,
     .clientHeight = 120,
     .controls = kPlainControls},
};
constexpr platform::ModuleResources kPlainResources{.module = "plain forms", .forms = kPlainForms};
const platform::ModuleResourceRegistration kPlainRegistration(kPlainResources);

/// A form whose top 20 pixels are its caption.
class TPlainForm : public TForm {
    DECLARE_TCLASS(TPlainForm)

    std::vector<UINT> moves;

    void WndProc(TMessage& message) override
    {
        if (message.Msg == WM_NCHITTEST) {
            CPoint at(static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam)));
            ScreenToClient(&at);
            if (at.y >= 0 && at.y < 20) {
                message.Result = HTCAPTION;
                return;
            }
        }
        if (message.Msg == WM_ENTERSIZEMOVE || message.Msg == WM_EXITSIZEMOVE) moves.push_back(message.Msg);
        TForm::WndProc(message);
    }

protected:
    TPlainForm() = default;
};
IMPLEMENT_TCLASS(TPlainForm, TForm)

HWND g_owner = nullptr;
HWND OwnerSource()
{
    return g_owner;
}

class FormWindow : public FormsTest {};

}  // namespace

TEST_F(FormWindow, AFormWithoutOwnerTakesTheDefaultOwnerAndGoesWithIt)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "main window 0",
                               WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 10, 10, 300, 10, nullptr,
                               nullptr));
    owner.ShowWindow(SW_SHOW);
    g_owner = owner.m_hWnd;
    Application->SetDefaultOwnerSource(OwnerSource);
    TOwned<TPlainForm> form(TPlainForm::New(nullptr));
    EXPECT_EQ(form->GetOwner(), &owner);
    form->Show();
    owner.SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const std::vector<HWND> order = platform::TopLevelZOrder();
    const auto formAt = std::find(order.begin(), order.end(), form->GetSafeHwnd());
    const auto ownerAt = std::find(order.begin(), order.end(), owner.m_hWnd);
    EXPECT_LT(formAt, ownerAt);  // stays above its owner

    owner.ShowWindow(SW_MINIMIZE);
    EXPECT_FALSE(form->IsWindowVisible());
    EXPECT_TRUE(form->Visible());  // taken along, not hidden by the program
    owner.ShowWindow(SW_RESTORE);
    EXPECT_TRUE(form->IsWindowVisible());
    owner.ShowWindow(SW_HIDE);
    EXPECT_FALSE(form->IsWindowVisible());

    form.reset();
    Application->SetDefaultOwnerSource(nullptr);
    g_owner = nullptr;
    owner.DestroyWindow();
}

TEST_F(FormWindow, AMaximisedFormKeepsItsNormalRectangle)
{
    TOwned<TPlainForm> form(TPlainForm::New(nullptr));
    form->SetBounds(100, 80, 240, 160);
    form->Show();
    form->SetWindowState(wsMaximized);
    EXPECT_EQ(form->WindowState(), wsMaximized);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ASSERT_TRUE(GetWindowPlacement(form->GetSafeHwnd(), &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(Text(placement.rcNormalPosition), "100,80,340,240");

    // A new normal rectangle given while maximised is where the form comes back to.
    placement.rcNormalPosition = RECT{120, 90, 420, 290};
    ASSERT_TRUE(SetWindowPlacement(form->GetSafeHwnd(), &placement));
    EXPECT_EQ(form->WindowState(), wsMaximized);
    form->SetWindowState(wsNormal);
    EXPECT_EQ(Text(form->BoundsRect()), "120,90,420,290");
    form->SetWindowState(wsMinimized);
    ASSERT_TRUE(GetWindowPlacement(form->GetSafeHwnd(), &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
    EXPECT_EQ(Text(placement.rcNormalPosition), "120,90,420,290");
}

TEST_F(FormWindow, APressWhereTheFormAnswersHtCaptionMovesIt)
{
    TOwned<TPlainForm> form(TPlainForm::New(nullptr));
    form->SetBounds(100, 100, 240, 160);
    form->Show();
    const CRect start = form->BoundsRect();
    const CPoint origin = form->ClientOrigin();
    const CPoint caption(10, 10);
    const CPoint pressed = form->ClientToScreen(caption);
    // The pointer moves on the screen; the window follows it.
    const auto at = [&](int dx, int dy) {
        return form->ScreenToClient(CPoint(pressed.x + dx, pressed.y + dy));
    };
    MousePress(*form, caption);
    MouseMove(*form, at(15, 20), Qt::LeftButton);
    MouseMove(*form, at(30, 40), Qt::LeftButton);
    MouseRelease(*form, at(30, 40));
    PumpEvents();
    EXPECT_EQ(Text(form->BoundsRect()),
              Text(CRect(start.left + 30, start.top + 40, start.right + 30, start.bottom + 40)));
    EXPECT_EQ(form->moves, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));

    // A static text in the caption lets the press through to the form; the button does not.
    auto* title = form->FindControl<TStaticText>("Title");
    form->moves.clear();
    MousePress(*title->Window(), CPoint(5, 5));
    MouseRelease(*title->Window(), CPoint(5, 5));
    EXPECT_EQ(form->moves, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
    form->moves.clear();
    const CRect before = form->BoundsRect();
    auto* go = form->FindControl<TButton>("Go");
    MousePress(*go->Window(), CPoint(5, 5));
    MouseRelease(*go->Window(), CPoint(5, 5));
    EXPECT_TRUE(form->moves.empty());
    EXPECT_EQ(Text(form->BoundsRect()), Text(before));
    EXPECT_NE(form->ClientOrigin(), origin);
}

// --- layouts that do not fit their form --------------------------------------------------------------------
namespace {

class TBrokenForm : public TForm {
    DECLARE_TCLASS(TBrokenForm)

protected:
    TBrokenForm() = default;
    std::vector<THandler> Handlers() override { return {FORM_HANDLER(GoClick), FORM_HANDLER(GoKeyPress)}; }
    void GoClick(TObject*) {}
    void GoKeyPress(TObject*, char&) {}
};
IMPLEMENT_TCLASS(TBrokenForm, TForm)

constexpr TEventBinding kMissingHandler[] = {{"OnClick", "StopClick"}};
constexpr TEventBinding kWrongType[] = {{"OnClick", "GoKeyPress"}};
constexpr TEventBinding kUnknownEvent[] = {{"OnWobble", "GoClick"}};
constexpr TPropertyResource kUnknownProperty[] = {{"Wobble", "1"}};
constexpr TPropertyResource kBadValue[] = {{"ModalResult", "mrMaybe"}};
constexpr TControlResource kUnknownClass[] = {{.className = "TWobbleBox", .name = "Box"}};
constexpr TControlResource kMissingParent[] = {{.className = "TButton", .name = "Go", .parent = "Panel9"}};
constexpr TControlResource kTwice[] = {{.className = "TButton", .name = "Go"},
                                       {.className = "TEdit", .name = "go"}};
constexpr TControlResource kHandlerGone[] = {
    {.className = "TButton", .name = "Go", .events = kMissingHandler}};
constexpr TControlResource kHandlerOfOtherType[] = {
    {.className = "TButton", .name = "Go", .events = kWrongType}};
constexpr TControlResource kEventGone[] = {{.className = "TButton", .name = "Go", .events = kUnknownEvent}};
constexpr TControlResource kPropertyGone[] = {
    {.className = "TButton", .name = "Go", .properties = kUnknownProperty}};
constexpr TControlResource kValueWrong[] = {{.className = "TButton", .name = "Go", .properties = kBadValue}};
constexpr const char* kItems[] = {"a"};
constexpr TControlResource kItemsOnButton[] = {{.className = "TButton", .name = "Go", .items = kItems}};

struct BrokenCase {
    const char* what;
    std::span<const TControlResource> controls;
    const char* message;
};

}  // namespace

TEST_F(FormWindow, ALayoutNamingWhatIsNotThereFailsTheForm)
{
    const BrokenCase cases[] = {
        {"unknown class", kUnknownClass, "Class TWobbleBox not found"},
        {"missing parent", kMissingParent, "Parent Panel9 of Go not found"},
        {"name used twice", kTwice, "A component named go already exists"},
        {"missing handler", kHandlerGone, "Handler StopClick not found in TBrokenForm"},
        {"handler of another type", kHandlerOfOtherType, "Handler 'GoKeyPress' does not fit event OnClick"},
        {"unknown event", kEventGone, "TButton has no event OnWobble"},
        {"unknown property", kPropertyGone, "TButton has no property Wobble"},
        {"items on a button", kItemsOnButton, "TButton takes no items"},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TFormResource forms[] = {{.name = "TBROKENFORM", .controls = c.controls}};
        const platform::ModuleResources resources{.module = "broken", .forms = forms};
        const platform::ModuleResourceRegistration registration(resources);
        try {
            TBrokenForm::New(nullptr);
            ADD_FAILURE() << "the form was made";
        } catch (const EComponentError& error) {
            EXPECT_EQ(error.Message(), c.message);
        }
        EXPECT_EQ(Screen->FormCount(), 0);
    }
    // A value a property cannot take, and a form class without any layout.
    const TFormResource forms[] = {{.name = "TBROKENFORM", .controls = kValueWrong}};
    const platform::ModuleResources resources{.module = "broken", .forms = forms};
    {
        const platform::ModuleResourceRegistration registration(resources);
        EXPECT_THROW(TBrokenForm::New(nullptr), EConvertError);
    }
    EXPECT_THROW(TBrokenForm::New(nullptr), EResNotFound);
    EXPECT_EQ(Screen->FormCount(), 0);
    // A control the form asks for that the layout does not have.
    TOwned<TPlainForm> form(TPlainForm::New(nullptr));
    EXPECT_THROW(form->FindControl<TButton>("Stop"), EComponentError);
    EXPECT_THROW(form->FindControl<TEdit>("Go"), EComponentError);
}

TEST_F(FormWindow, TheApplicationShowsErrorsAndAsksAndTheScreenKnowsItsForms)
{
    tarvenix::test::Responder().AnswerMessageBox(IDOK);
    Application->HandleException(EInvalidOperation("The project is busy"));
    const auto& error = tarvenix::test::Responder().Asked().back();
    EXPECT_EQ(std::string(error.text.c_str()), "The project is busy");
    EXPECT_EQ(error.Icon(), MB_ICONERROR);
    const std::size_t asked = tarvenix::test::Responder().Asked().size();
    Application->HandleException(EAbort());  // the silent one shows nothing
    EXPECT_EQ(tarvenix::test::Responder().Asked().size(), asked);

    tarvenix::test::Responder().AnswerMessageBox(IDNO);
    EXPECT_EQ(
        Application->MessageBox("Save changes to file", "KAdministrator", MB_YESNOCANCEL | MB_ICONQUESTION),
        IDNO);
    EXPECT_EQ(tarvenix::test::Responder().Asked().back().Buttons(), MB_YESNOCANCEL);

    EXPECT_EQ(Screen->FormCount(), 0);
    TOwned<TPlainForm> form(TPlainForm::New(nullptr));
    EXPECT_EQ(Screen->FormCount(), 1);
    EXPECT_EQ(Screen->Forms(0), form.get());
    EXPECT_GT(Screen->Width(), 0);
    EXPECT_GT(Screen->Height(), 0);
    EXPECT_GE(Screen->Depth(), 24);
    form.reset();
    EXPECT_EQ(Screen->FormCount(), 0);

    std::vector<std::string> hints;
    struct Listener {
        std::vector<std::string>* hints;
        void OnHint(TObject*) { hints->push_back(Application->Hint()); }
    } listener{&hints};
    Application->OnHint = TNotifyEvent::Of<&Listener::OnHint>(&listener);
    Application->SetHint("Close");
    Application->SetHint("Close");
    Application->SetHint("");
    Application->OnHint = {};
    EXPECT_EQ(hints, (std::vector<std::string>{"Close", ""}));
}
