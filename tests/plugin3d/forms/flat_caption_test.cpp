// The flat caption bar: where its parts lie, what a click on each button does to the window,
// the frame and style it gives the window, its drop-down buttons, and its timer.

#include <string>
#include <vector>

#include <QTimer>
#include <gtest/gtest.h>

#include "platform/forms/extctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus.h"
#include "platform/menu/menu.h"
#include "platform/resources/module_resources.h"
#include "platform/menu/system_menu.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWholeWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::MouseMove;
using tarvenix::test::MousePress;
using tarvenix::test::MouseRelease;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

constexpr TEventBinding kCaptionEvents[] = {{"OnButtonClick", "CaptionButtonClick"},
                                            {"OnDrawElement", "CaptionDrawElement"}};
constexpr TPropertyResource kPanelProps[] = {{"BevelOuter", "bvLowered"}};
constexpr TControlResource kControls[] = {
    {.className = "TKFlatCaption",
     .name = "KFlatCaption1",
     .bounds = {0, 0, 300, 24},
     .align = alTop,
     .caption = " KCaption Test",
     .events = kCaptionEvents},
    {.className = "TPanel",
     .name = "Body",
     .bounds = {0, 24, 300, 96},
     .align = alClient,
     .properties = kPanelProps},
};
constexpr TFormResource kForms[] = {
    {.name = "TCAPTIONFORM",
     .caption = "Caption",
     .clientWidth = 300,
     .clientHeight = 120,
     .controls = kControls},
};
constexpr platform::ModuleResources kResources{.module = "caption test", .forms = kForms};
const platform::ModuleResourceRegistration kRegistration(kResources);

class TCaptionForm : public TForm {
    DECLARE_TCLASS(TCaptionForm)

    TKFlatCaption* Bar = nullptr;
    std::vector<std::string> clicks;
    std::vector<UINT> commands;
    TKFlatCaptionCommand replace = fccNone;
    int barPaints = 0;

    void WndProc(TMessage& message) override
    {
        if (message.Msg == WM_SYSCOMMAND) commands.push_back(static_cast<UINT>(message.WParam & 0xFFF0));
        TForm::WndProc(message);
    }

protected:
    TCaptionForm() = default;
    std::vector<THandler> Handlers() override
    {
        return {FORM_HANDLER(CaptionButtonClick), FORM_HANDLER(CaptionDrawElement)};
    }
    void Loaded() override { Bar = FindControl<TKFlatCaption>("KFlatCaption1"); }
    void CaptionButtonClick(TObject*, TKFlatCaptionButton* button, TKFlatCaptionCommand& command)
    {
        clicks.push_back(button->Hint());
        if (replace != fccNone) command = replace;
    }
    void CaptionDrawElement(TObject*, TObject* element, bool&)
    {
        if (element == Bar) ++barPaints;
    }
};
IMPLEMENT_TCLASS(TCaptionForm, TForm)

class FlatCaption : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.reset(TCaptionForm::New(nullptr));
        form->SetBounds(200, 150, 320, 140);
        form->Show();
        PumpEvents();
        bar = form->Bar;
    }
    TKFlatCaptionButton* Button(TKFlatCaptionCommand command) const { return bar->Buttons()->Find(command); }
    /// A point of the bar in the form's client coordinates.
    CPoint OnBar(CPoint at) const { return CPoint(bar->Left() + at.x, bar->Top() + at.y); }
    CPoint Centre(TKFlatCaptionCommand command) const { return OnBar(Button(command)->Rect().CenterPoint()); }
    CPoint Screen(CPoint client) const { return form->ClientToScreen(client); }
    void Click(TKFlatCaptionCommand command) { MouseClick(*form, Centre(command)); }

    TOwned<TCaptionForm> form;
    TKFlatCaption* bar = nullptr;
};

}  // namespace

TEST_F(FlatCaption, TakesTheWindowOverWithAFrameOfItsOwn)
{
    ASSERT_EQ(bar->HookedWindow(), form->GetSafeHwnd());
    const DWORD style = form->GetStyle();
    EXPECT_EQ(style & WS_CAPTION, 0u);
    EXPECT_TRUE(style & WS_THICKFRAME);  // fcbSizeable
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(style & WS_CLIPCHILDREN, 0u);  // not kept

    // Going, the bar gives the window its own style back.
    bar->SetParent(nullptr);
    EXPECT_EQ(bar->HookedWindow(), nullptr);
    EXPECT_TRUE(form->GetStyle() & WS_CLIPCHILDREN);
    // A bar without a parent waits; given a parent whose window exists, it takes it over.
    TOwned<TKFlatCaption> other(TKFlatCaption::New(nullptr));
    EXPECT_EQ(other->HookedWindow(), nullptr);
    EXPECT_EQ(other->HitTest(Screen(CPoint(10, 10))), -1);
    other->SetParent(form.get());
    EXPECT_EQ(other->HookedWindow(), form->GetSafeHwnd());
    EXPECT_EQ(form->GetStyle() & WS_CLIPCHILDREN, 0u);
    EXPECT_EQ(other->HitTest(Screen(CPoint(10, 10))), 0);
    other->SetParent(nullptr);
    bar->SetParent(form.get());
}

TEST_F(FlatCaption, LaysTheButtonsOutFromTheRightMostNegativeOutermost)
{
    const int right = bar->Width();
    const CRect close = Button(fccClose)->Rect(), maximize = Button(fccMaximize)->Rect();
    const CRect minimize = Button(fccMinimize)->Rect(), help = Button(fccHelp)->Rect(),
                pin = Button(fccScreenPin)->Rect();
    EXPECT_EQ(close, CRect(right - 22, 2, right - 2, 22));
    EXPECT_EQ(maximize.right, close.left - 2);
    EXPECT_EQ(minimize.right, maximize.left - 2);
    EXPECT_EQ(help.right, minimize.left - 2);
    EXPECT_EQ(pin.right, help.left - 2);
    EXPECT_EQ(bar->TextRect(), CRect(2, 2, pin.left - 2, 22));

    // A hidden button takes no room; a button at a positive place goes to the left.
    Button(fccHelp)->SetVisible(false);
    EXPECT_EQ(Button(fccScreenPin)->Rect().right, Button(fccMinimize)->Rect().left - 2);
    TKFlatCaptionButton* menu = bar->Buttons()->Add(10, fccMenu, "Menu", false);
    EXPECT_EQ(menu->Rect(), CRect(2, 2, 22, 22));
    EXPECT_EQ(bar->TextRect().left, 22 + 2);
}

TEST_F(FlatCaption, HitTestTellsButtonTextRestAndNothing)
{
    struct Case {
        const char* what;
        CPoint client;
        int expected;
    };
    const CRect text = bar->TextRect();
    const CRect pin = Button(fccScreenPin)->Rect();
    const Case cases[] = {
        {"close button", Centre(fccClose), 1},
        {"maximize button", Centre(fccMaximize), 2},
        {"pin", Centre(fccScreenPin), 5},
        {"text", OnBar(text.CenterPoint()), 0},
        {"spacing beside the text", OnBar(CPoint(text.left - 1, 12)), 0x1000000},
        {"between two buttons", OnBar(CPoint(pin.right + 1, 12)), 0x1000000},
        {"below the bar", CPoint(50, 60), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(bar->HitTest(Screen(c.client)), c.expected) << c.what;

    // The text drags the window: the form answers HTCAPTION there, and client elsewhere.
    const auto hit = [&](CPoint client) {
        const CPoint s = Screen(client);
        return form->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(s.x), static_cast<WORD>(s.y)));
    };
    EXPECT_EQ(hit(OnBar(text.CenterPoint())), static_cast<LRESULT>(HTCAPTION));
    EXPECT_EQ(hit(Centre(fccClose)), static_cast<LRESULT>(HTCLIENT));

    const CPoint onText = Screen(OnBar(text.CenterPoint()));
    form->SetWindowState(wsMinimized);
    EXPECT_EQ(bar->HitTest(onText), -1);
    form->SetWindowState(wsNormal);
    EXPECT_EQ(bar->HitTest(Screen(OnBar(text.CenterPoint()))), 0);
    bar->Hide();
    EXPECT_EQ(bar->HitTest(Screen(OnBar(text.CenterPoint()))), -1);
    bar->Show();
    form->Hide();
    EXPECT_EQ(bar->HitTest(Screen(OnBar(text.CenterPoint()))), -1);
}

TEST_F(FlatCaption, ClicksBecomeTheWindowsSystemCommands)
{
    // Minimize on a minimised window and Maximize on a maximised one restore it.
    form->SetWindowState(wsMinimized);
    bar->ButtonClick(Button(fccMinimize));
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsNormal);
    Click(fccMaximize);
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsMaximized);
    bar->ButtonClick(Button(fccMaximize));
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsNormal);
    Click(fccMinimize);
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsMinimized);
    form->SetWindowState(wsNormal);
    Click(fccHelp);  // no help system: nothing happens
    PumpEvents();
    EXPECT_EQ(form->commands,
              (std::vector<UINT>{SC_RESTORE, SC_MAXIMIZE, SC_RESTORE, SC_MINIMIZE, SC_CONTEXTHELP}));
    EXPECT_EQ(form->clicks,
              (std::vector<std::string>{"Minimize", "Maximize", "Maximize", "Minimize", "Help"}));

    // OnButtonClick may change the command: Close then minimises instead.
    form->replace = fccMinimize;
    Click(fccClose);
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsMinimized);
    EXPECT_TRUE(form->Visible());
    form->SetWindowState(wsNormal);
    form->replace = fccNone;
    Click(fccClose);
    PumpEvents();
    EXPECT_FALSE(form->Visible());  // closed (the form's default close hides it)
}

TEST_F(FlatCaption, ThePinTogglesOnlyOnAFullPressAndReleaseOnIt)
{
    TKFlatCaptionButton* pin = Button(fccScreenPin);
    Click(fccScreenPin);
    EXPECT_TRUE(pin->Fixed());
    EXPECT_TRUE(bar->IsStayOnTop());
    EXPECT_TRUE(form->GetExStyle() & WS_EX_TOPMOST);

    // Released beside the button: no click.
    MousePress(*form, Centre(fccScreenPin));
    EXPECT_TRUE(pin->Down());
    MouseRelease(*form, OnBar(bar->TextRect().CenterPoint()));
    EXPECT_FALSE(pin->Down());
    EXPECT_TRUE(pin->Fixed());
    Click(fccScreenPin);
    EXPECT_FALSE(pin->Fixed());
    EXPECT_FALSE(form->GetExStyle() & WS_EX_TOPMOST);

    // Setting the state by program fixes every pin.
    bar->SetStayOnTop(true);
    EXPECT_TRUE(pin->Fixed());
    EXPECT_TRUE(form->GetExStyle() & WS_EX_TOPMOST);
}

TEST_F(FlatCaption, HiddenMinimizeAndMaximizeLeaveTheSystemMenu)
{
    const HWND hwnd = form->GetSafeHwnd();
    EXPECT_TRUE(form->GetStyle() & WS_MINIMIZEBOX);
    EXPECT_TRUE(form->GetStyle() & WS_MAXIMIZEBOX);
    Button(fccMinimize)->SetVisible(false);
    Button(fccMaximize)->SetEnabled(false);
    EXPECT_FALSE(form->GetStyle() & WS_MINIMIZEBOX);
    EXPECT_FALSE(form->GetStyle() & WS_MAXIMIZEBOX);
    EXPECT_FALSE(platform::ChooseSystemMenuItem(hwnd, SC_MINIMIZE));
    EXPECT_FALSE(platform::ChooseSystemMenuItem(hwnd, SC_MAXIMIZE));
    Button(fccMinimize)->SetVisible(true);
    EXPECT_TRUE(platform::ChooseSystemMenuItem(hwnd, SC_MINIMIZE));
    PumpEvents();
    EXPECT_EQ(form->WindowState(), wsMinimized);
}

TEST_F(FlatCaption, TheWindowKeepsRoomForTheButtons)
{
    const CSize least = bar->MinTrackSize();
    EXPECT_EQ(least.cx, bar->Width() - bar->TextRect().Width() + 10 + 2 * GetSystemMetrics(SM_CXPOPUPFRAME));
    form->SetBounds(form->Left(), form->Top(), 40, 20);
    EXPECT_EQ(form->Width(), least.cx);
    EXPECT_EQ(form->Height(), least.cy);
}

TEST_F(FlatCaption, ADropDownButtonShowsItsMenuWhileFixed)
{
    std::vector<std::string> chosen;
    struct Handler {
        std::vector<std::string>* chosen;
        void Chosen(TObject* sender) { chosen->push_back(ObjectAs<TMenuItem>(sender)->Caption()); }
    } handler{&chosen};
    TOwned<TPopupMenu> menu(TPopupMenu::New(nullptr));
    for (const char* caption : {"Front", "Back"}) {
        TMenuItem* item = TMenuItem::New(menu.get());
        item->SetCaption(caption);
        item->SetOnClick(TNotifyEvent::Of<&Handler::Chosen>(&handler));
        menu->Items()->Add(item);
    }
    TKFlatCaptionButton* drop = bar->Buttons()->Add(5, fccUser, "View", true);
    drop->SetPopupMenu(menu.get());

    // Choosing an item unfixes the button.
    Responder().AnswerPopupMenu(2);
    Click(fccUser);
    PumpEvents();
    EXPECT_EQ(chosen, (std::vector<std::string>{"Back"}));
    EXPECT_FALSE(drop->Fixed());
    const auto& question = Responder().Asked().back().popup;
    EXPECT_EQ(question.owner != nullptr, true);
    EXPECT_TRUE(question.flags & TPM_VERTICAL);

    // A second click on the button while its menu is open closes the menu and leaves the
    // button unfixed, without opening the menu again.
    const CPoint at = Centre(fccUser);
    Responder().KeepPopupMenuOpen();
    QTimer::singleShot(0, [&] { MousePress(*form, at); });
    Click(fccUser);
    PumpEvents();  // the press that closed the menu arrives
    MouseRelease(*form, at);
    PumpEvents();
    EXPECT_FALSE(drop->Fixed());
    EXPECT_EQ(chosen.size(), 1u);
}

TEST_F(FlatCaption, TheTimerRepaintsNothingWhileNoHotStateChanges)
{
    form->UpdateWindow();
    SetCursorPos(0, 0);
    bar->UpdateHotStates();
    form->UpdateWindow();
    form->barPaints = 0;
    const UINT_PTR timer = FlatCaptionTimerId();
    ASSERT_NE(timer, 0u);
    for (int i = 0; i < 5; ++i) form->PostMessage(WM_TIMER, timer, 0);
    PumpEvents();
    form->UpdateWindow();
    EXPECT_EQ(form->barPaints, 0);

    // The mouse over a button makes it hot at the next tick: one repaint.
    const CPoint over = Screen(Centre(fccClose));
    SetCursorPos(over.x, over.y);
    form->PostMessage(WM_TIMER, timer, 0);
    PumpEvents();
    form->UpdateWindow();
    EXPECT_TRUE(Button(fccClose)->In());
    EXPECT_EQ(form->barPaints, 1);
    form->PostMessage(WM_TIMER, timer, 0);
    PumpEvents();
    form->UpdateWindow();
    EXPECT_EQ(form->barPaints, 1);
    SetCursorPos(0, 0);
}

TEST_F(FlatCaption, OutOfRangeIndexesReadZeroAndMinusOne)
{
    TKFlatCaptionColors* colors = bar->Colors();
    EXPECT_EQ(colors->Get(TKFlatCaptionColors::FreeIn), clBlue);
    EXPECT_EQ(colors->Get(TKFlatCaptionColors::DownOut), clMaroon);
    EXPECT_EQ(colors->Get(-1), 0);
    EXPECT_EQ(colors->Get(13), 0);
    colors->Set(13, clRed);  // ignored
    TKFlatCaptionButtonImages* images = Button(fccClose)->Images();
    EXPECT_EQ(images->Get(0), -1);
    EXPECT_EQ(images->Get(7), -1);
    images->Set(7, 3);
    EXPECT_EQ(images->Get(7), -1);
    EXPECT_EQ(bar->Buttons()->Item(5), nullptr);
    EXPECT_EQ(bar->Buttons()->Item(-1), nullptr);
}

TEST_F(FlatCaption, Screenshots)
{
    // All five buttons, the close button hot and the pin fixed.
    bar->SetStayOnTop(true);
    const CPoint over = Screen(Centre(fccClose));
    SetCursorPos(over.x, over.y);
    bar->UpdateHotStates();
    bar->SetActive(true);
    form->UpdateWindow();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*form), "kelvora-caption-bar").empty());
    SetCursorPos(0, 0);
    bar->UpdateHotStates();
    bar->SetActive(false);
    form->UpdateWindow();
    EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*form), "kelvora-caption-inactive").empty());
}

// The plug-in's library may be unloaded right after its units end: nothing of the bars may
// outlive them, neither the shared timer, nor the pictures, nor the drop-down window.
TEST(FlatCaptionUnit, ItsEndLeavesNoTimerPicturesOrWindowBehind)
{
    const auto windows = [] {
        int count = 0;
        EnumWindows([](HWND, LPARAM counter) -> BOOL { return ++*reinterpret_cast<int*>(counter), TRUE; },
                    reinterpret_cast<LPARAM>(&count));
        return count;
    };
    ASSERT_NE(FlatCaptionTimerId(), 0u);
    ASSERT_NE(FlatCaptionShareImages(), nullptr);
    const int before = windows();
    FinalizeUnits(&kKFlatCaptionUnit, 1);
    EXPECT_EQ(FlatCaptionTimerId(), 0u);
    EXPECT_EQ(FlatCaptionShareImages(), nullptr);
    EXPECT_EQ(windows(), before - 1);
    // Started again (the next test needs it), the unit has them all back.
    InitializeUnits(&kKFlatCaptionUnit, 1);
    EXPECT_NE(FlatCaptionTimerId(), 0u);
    EXPECT_NE(FlatCaptionShareImages(), nullptr);
    EXPECT_EQ(windows(), before);
}
