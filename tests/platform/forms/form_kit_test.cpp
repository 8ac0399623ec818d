// A form laid out from data with every control of the kit: its events reach the form's
// handlers by name, as a user's clicks, keys and drags make them.

#include <string>
#include <vector>

#include <QAbstractSlider>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/controls/list_ctrl.h"
#include "platform/controls/tab_ctrl.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/forms/buttons.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/grids.h"
#include "platform/forms/image_list.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "platform/frame/tool_bar.h"
#include "platform/resources/module_resources.h"
#include "platform/shell/clipboard.h"
#include "tests/platform/forms/forms_test_support.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::FormsTest;
using tarvenix::test::GrabWholeWindow;
using tarvenix::test::MouseClick;
using tarvenix::test::MouseDoubleClick;
using tarvenix::test::MousePress;
using tarvenix::test::MouseRelease;
using tarvenix::test::PressKey;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::TypeKeys;

namespace {

// --- pictures of the test form ------------------------------------------------------------------------
QImage ToolPictures()
{
    QImage strip(64, 16, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    QPainter p(&strip);
    const QColor colours[] = {QColor(40, 120, 40), QColor(200, 160, 40), QColor(40, 60, 160),
                              QColor(160, 40, 40)};
    for (int i = 0; i < 4; ++i) {
        p.setPen(Qt::black);
        p.setBrush(colours[i]);
        p.drawRect(i * 16 + 2, 2, 11, 11);
    }
    return strip;
}

QImage LargePictures()
{
    QImage strip(96, 32, QImage::Format_RGB32);
    strip.fill(QColor(192, 192, 192));
    QPainter p(&strip);
    p.setPen(Qt::black);
    p.setBrush(QColor(60, 100, 200));
    p.drawEllipse(3, 3, 25, 25);
    p.setBrush(QColor(200, 80, 60));
    p.drawRect(35, 5, 22, 22);
    p.setBrush(QColor(60, 170, 60));
    const QPoint triangle[] = {QPoint(80, 3), QPoint(93, 28), QPoint(67, 28)};
    p.drawPolygon(triangle, 3);
    return strip;
}

// --- the layout --------------------------------------------------------------------------------------------
constexpr const char* kModes[] = {"Points", "Lines", "Triangles"};
constexpr const char* kFills[] = {"Linear", "From file"};
constexpr const char* kLayers[] = {"X Layer", "Y Layer", "Z Layer", "Red Layer"};
constexpr const char* kNotes[] = {"First line", "Second line"};
constexpr const char* kGridHeads[] = {"  X", "  Y"};

constexpr TPropertyResource kImages16[] = {{"Width", "16"}, {"Height", "16"}, {"Bitmap", "KITTOOLS"}};
constexpr TPropertyResource kImages32[] = {{"Width", "32"}, {"Height", "32"}, {"Bitmap", "KITICONS"}};
constexpr TEventBinding kRecentEvents[] = {{"OnClick", "RecentClick"}};
constexpr TPropertyResource kTimerProps[] = {{"Interval", "20"}, {"Enabled", "False"}};
constexpr TEventBinding kTimerEvents[] = {{"OnTimer", "Timer1Timer"}};
constexpr TPropertyResource kOpenProps[] = {{"Filter", "Kit files (*.kit)|*.kit|All files (*.*)|*.*"},
                                            {"Title", "Open a Kit"},
                                            {"Options", "[ofHideReadOnly,ofPathMustExist,ofFileMustExist]"}};
constexpr TPropertyResource kToolBarProps[] = {{"Images", "Images16"}};
constexpr TEventBinding kNewEvents[] = {{"OnClick", "NewBtnClick"}};
constexpr TPropertyResource kNewProps[] = {{"ImageIndex", "0"}};
constexpr TEventBinding kOpenEvents[] = {{"OnClick", "OpenBtnClick"}};
constexpr TPropertyResource kOpenBtnProps[] = {
    {"ImageIndex", "1"}, {"Style", "tbsDropDown"}, {"DropdownMenu", "DropMenu"}};
constexpr TPropertyResource kSaveBtnProps[] = {{"ImageIndex", "2"}};
constexpr TPropertyResource kLoweredPanel[] = {{"BevelOuter", "bvLowered"}};
constexpr TPropertyResource kFlatPanel[] = {{"BevelOuter", "bvNone"}};
constexpr TPropertyResource kFlatPages[] = {{"Style", "tsFlatButtons"}};
constexpr TEventBinding kPagesEvents[] = {{"OnChange", "PagesChange"}};
constexpr TPropertyResource kTreeProps[] = {{"RightClickSelect", "True"}};
constexpr TEventBinding kTreeEvents[] = {{"OnChange", "Tree1Change"},       {"OnExpanding", "Tree1Toggling"},
                                         {"OnCollapsing", "Tree1Toggling"}, {"OnEdited", "Tree1Edited"},
                                         {"OnMouseDown", "Tree1MouseDown"}, {"OnDblClick", "Tree1DblClick"}};
constexpr TPropertyResource kIconsProps[] = {{"LargeImages", "Images32"}, {"ReadOnly", "True"}};
constexpr TEventBinding kIconsEvents[] = {{"OnChange", "Icons1Change"}, {"OnDblClick", "Icons1DblClick"}};
constexpr TEventBinding kNameEvents[] = {{"OnChange", "NameEditChange"}, {"OnKeyPress", "DigitsKeyPress"}};
constexpr TEventBinding kRealEvents[] = {{"OnKeyPress", "RealKeyPress"}};
constexpr TEventBinding kAutoEvents[] = {{"OnClick", "AutoBoxClick"}};
constexpr TPropertyResource kModeProps[] = {{"ItemIndex", "2"}};
constexpr TEventBinding kModeEvents[] = {{"OnChange", "ModeBoxChange"}};
constexpr TPropertyResource kLevelProps[] = {
    {"Max", "1000"}, {"PageSize", "100"}, {"Frequency", "50"}, {"Position", "400"}};
constexpr TEventBinding kLevelEvents[] = {{"OnChange", "LevelChange"}};
constexpr TPropertyResource kSunken[] = {{"BorderStyle", "sbsSunken"}};
constexpr TEventBinding kApplyEvents[] = {{"OnClick", "ApplyBtnClick"}};
constexpr TPropertyResource kFillProps[] = {{"ItemIndex", "0"}};
constexpr TEventBinding kFillEvents[] = {{"OnClick", "FillBoxClick"}};
constexpr TEventBinding kLayersEvents[] = {{"OnClick", "LayersClick"}};
constexpr TPropertyResource kGridProps[] = {{"ColCount", "2"},          {"RowCount", "5"},
                                            {"FixedCols", "0"},         {"DefaultColWidth", "41"},
                                            {"DefaultRowHeight", "18"}, {"Color", "clSilver"}};
constexpr TEventBinding kPaintEvents[] = {{"OnPaint", "Paint1Paint"}, {"OnMouseDown", "Paint1MouseDown"}};
constexpr TPropertyResource kPaintProps[] = {{"Cursor", "crNone"}};
constexpr TPropertyResource kBevelProps[] = {{"Shape", "bsFrame"}};
constexpr TPropertyResource kModeAProps[] = {{"GroupIndex", "1"}, {"Down", "True"}, {"Flat", "True"}};
constexpr TPropertyResource kModeBProps[] = {{"GroupIndex", "1"}, {"Flat", "True"}};
constexpr TEventBinding kModeBtnEvents[] = {{"OnClick", "ModeClick"}};
constexpr TPropertyResource kToggleProps[] = {{"GroupIndex", "2"}, {"AllowAllUp", "True"}};
constexpr TEventBinding kToggleEvents[] = {{"OnMouseDown", "ToggleMouseDown"},
                                           {"OnMouseUp", "ToggleMouseUp"}};
constexpr TPropertyResource kOkProps[] = {{"ModalResult", "mrOk"}};
constexpr TPropertyResource kCancelProps[] = {{"ModalResult", "mrCancel"}};
constexpr TEventBinding kOkEvents[] = {{"OnClick", "OkBtnClick"}};

constexpr TControlResource kControls[] = {
    {.className = "TImageList", .name = "Images16", .properties = kImages16},
    {.className = "TImageList", .name = "Images32", .properties = kImages32},
    {.className = "TPopupMenu", .name = "DropMenu"},
    {.className = "TMenuItem",
     .name = "Recent1",
     .parent = "DropMenu",
     .caption = "first.kit",
     .events = kRecentEvents},
    {.className = "TMenuItem",
     .name = "Recent2",
     .parent = "DropMenu",
     .caption = "second.kit",
     .events = kRecentEvents},
    {.className = "TTimer", .name = "Timer1", .events = kTimerEvents, .properties = kTimerProps},
    {.className = "TOpenDialog", .name = "OpenDialog1", .properties = kOpenProps},
    {.className = "TSaveDialog", .name = "SaveDialog1"},
    {.className = "TToolBar",
     .name = "ToolBar1",
     .bounds = {0, 0, 560, 28},
     .align = alTop,
     .properties = kToolBarProps},
    {.className = "TToolButton",
     .name = "NewBtn",
     .parent = "ToolBar1",
     .bounds = {0, 0, 23, 22},
     .events = kNewEvents,
     .properties = kNewProps},
    {.className = "TToolButton",
     .name = "OpenBtn",
     .parent = "ToolBar1",
     .bounds = {23, 0, 35, 22},
     .events = kOpenEvents,
     .properties = kOpenBtnProps},
    {.className = "TToolButton",
     .name = "SaveBtn",
     .parent = "ToolBar1",
     .bounds = {58, 0, 23, 22},
     .properties = kSaveBtnProps},
    {.className = "TPanel",
     .name = "StatusPanel",
     .bounds = {0, 372, 560, 28},
     .align = alBottom,
     .properties = kLoweredPanel},
    {.className = "TLabel",
     .name = "StatusLabel",
     .parent = "StatusPanel",
     .bounds = {8, 7, 60, 13},
     .caption = "Ready"},
    {.className = "TSpeedButton",
     .name = "ModeA",
     .parent = "StatusPanel",
     .bounds = {300, 2, 24, 24},
     .caption = "A",
     .events = kModeBtnEvents,
     .properties = kModeAProps},
    {.className = "TSpeedButton",
     .name = "ModeB",
     .parent = "StatusPanel",
     .bounds = {326, 2, 24, 24},
     .caption = "B",
     .events = kModeBtnEvents,
     .properties = kModeBProps},
    {.className = "TSpeedButton",
     .name = "Toggle",
     .parent = "StatusPanel",
     .bounds = {356, 2, 60, 24},
     .caption = "More",
     .events = kToggleEvents,
     .properties = kToggleProps},
    {.className = "TPanel",
     .name = "LeftPanel",
     .bounds = {0, 28, 200, 344},
     .align = alLeft,
     .properties = kFlatPanel},
    {.className = "TPageControl",
     .name = "Pages",
     .parent = "LeftPanel",
     .bounds = {0, 0, 200, 344},
     .align = alClient,
     .page = 0,
     .events = kPagesEvents,
     .properties = kFlatPages},
    {.className = "TTabSheet", .name = "TreeSheet", .parent = "Pages", .caption = "Tree", .page = 0},
    {.className = "TTabSheet", .name = "IconSheet", .parent = "Pages", .caption = "Icons", .page = 1},
    {.className = "TTreeView",
     .name = "Tree1",
     .parent = "TreeSheet",
     .bounds = {0, 0, 190, 300},
     .align = alClient,
     .events = kTreeEvents,
     .properties = kTreeProps},
    {.className = "TListView",
     .name = "Icons1",
     .parent = "IconSheet",
     .bounds = {0, 0, 190, 300},
     .align = alClient,
     .events = kIconsEvents,
     .properties = kIconsProps},
    {.className = "TSplitter", .name = "Splitter1", .bounds = {200, 28, 4, 344}, .align = alLeft},
    {.className = "TGroupBox", .name = "InputBox", .bounds = {210, 34, 340, 150}, .caption = " Input "},
    {.className = "TLabel",
     .name = "NameLabel",
     .parent = "InputBox",
     .bounds = {10, 24, 40, 13},
     .caption = "Count"},
    {.className = "TEdit",
     .name = "NameEdit",
     .parent = "InputBox",
     .bounds = {60, 20, 120, 21},
     .events = kNameEvents},
    {.className = "TLabel",
     .name = "RealLabel",
     .parent = "InputBox",
     .bounds = {10, 52, 40, 13},
     .caption = "Real"},
    {.className = "TEdit",
     .name = "RealEdit",
     .parent = "InputBox",
     .bounds = {60, 48, 120, 21},
     .events = kRealEvents},
    {.className = "TCheckBox",
     .name = "AutoBox",
     .parent = "InputBox",
     .bounds = {190, 20, 130, 19},
     .caption = "Automatic",
     .checked = true,
     .events = kAutoEvents},
    {.className = "TComboBox",
     .name = "ModeBox",
     .parent = "InputBox",
     .bounds = {190, 48, 140, 22},
     .items = kModes,
     .events = kModeEvents,
     .properties = kModeProps},
    {.className = "TTrackBar",
     .name = "Level",
     .parent = "InputBox",
     .bounds = {6, 78, 328, 32},
     .events = kLevelEvents,
     .properties = kLevelProps},
    {.className = "TStaticText",
     .name = "LevelText",
     .parent = "InputBox",
     .bounds = {10, 118, 120, 19},
     .caption = "Level 400",
     .properties = kSunken},
    {.className = "TButton",
     .name = "ApplyBtn",
     .parent = "InputBox",
     .bounds = {255, 114, 75, 25},
     .caption = "Apply",
     .events = kApplyEvents},
    {.className = "TRadioGroup",
     .name = "FillBox",
     .bounds = {210, 190, 160, 64},
     .caption = " Fill Type ",
     .items = kFills,
     .events = kFillEvents,
     .properties = kFillProps},
    {.className = "TListBox",
     .name = "Layers",
     .bounds = {380, 194, 170, 60},
     .items = kLayers,
     .events = kLayersEvents},
    {.className = "TMemo", .name = "Notes", .bounds = {210, 260, 160, 56}, .items = kNotes},
    {.className = "TStringGrid",
     .name = "Grid1",
     .bounds = {380, 260, 170, 76},
     .items = kGridHeads,
     .properties = kGridProps},
    {.className = "TPaintBox",
     .name = "Paint1",
     .bounds = {210, 322, 60, 44},
     .events = kPaintEvents,
     .properties = kPaintProps},
    {.className = "TBevel", .name = "Bevel1", .bounds = {276, 322, 94, 44}, .properties = kBevelProps},
    {.className = "TButton",
     .name = "OkBtn",
     .bounds = {394, 342, 75, 25},
     .anchors = akRight | akBottom,
     .caption = "Ok",
     .events = kOkEvents,
     .properties = kOkProps},
    {.className = "TButton",
     .name = "CancelBtn",
     .bounds = {475, 342, 75, 25},
     .anchors = akRight | akBottom,
     .caption = "Cancel",
     .properties = kCancelProps},
};

constexpr TEventBinding kFormEvents[] = {
    {"OnCreate", "FormCreate"}, {"OnDestroy", "FormDestroy"}, {"OnShow", "FormShow"},  {"OnHide", "FormHide"},
    {"OnClose", "FormClose"},   {"OnResize", "FormResize"},   {"OnPaint", "FormPaint"}};

constexpr TFormResource kForms[] = {
    {.name = "TKITTESTFORM",
     .caption = "Form Kit",
     .clientWidth = 560,
     .clientHeight = 400,
     .position = poScreenCenter,
     .borderStyle = bsSizeable,
     .events = kFormEvents,
     .controls = kControls},
};

constexpr platform::ImageResource kBitmaps[] = {{0, "KITTOOLS", nullptr, ToolPictures},
                                                {0, "KITICONS", nullptr, LargePictures}};
constexpr platform::ModuleResources kResources{
    .module = "form kit test", .bitmaps = kBitmaps, .forms = kForms};
const platform::ModuleResourceRegistration kRegistration(kResources);

// --- the form ----------------------------------------------------------------------------------------------
std::vector<std::string> g_log;
TCloseAction g_closeAction = caFree;

class TKitTestForm : public TForm {
    DECLARE_TCLASS(TKitTestForm)

    TTreeView* Tree1 = nullptr;
    TListView* Icons1 = nullptr;
    TEdit* NameEdit = nullptr;
    TEdit* RealEdit = nullptr;
    TTrackBar* Level = nullptr;
    TStaticText* LevelText = nullptr;
    TStringGrid* Grid1 = nullptr;
    TTimer* Timer1 = nullptr;

protected:
    TKitTestForm() = default;

    std::vector<THandler> Handlers() override
    {
        return {FORM_HANDLER(FormCreate),     FORM_HANDLER(FormDestroy),     FORM_HANDLER(FormShow),
                FORM_HANDLER(FormHide),       FORM_HANDLER(FormClose),       FORM_HANDLER(FormResize),
                FORM_HANDLER(FormPaint),      FORM_HANDLER(RecentClick),     FORM_HANDLER(Timer1Timer),
                FORM_HANDLER(NewBtnClick),    FORM_HANDLER(OpenBtnClick),    FORM_HANDLER(PagesChange),
                FORM_HANDLER(Tree1Change),    FORM_HANDLER(Tree1Toggling),   FORM_HANDLER(Tree1Edited),
                FORM_HANDLER(Tree1MouseDown), FORM_HANDLER(Tree1DblClick),   FORM_HANDLER(Icons1Change),
                FORM_HANDLER(Icons1DblClick), FORM_HANDLER(NameEditChange),  FORM_HANDLER(DigitsKeyPress),
                FORM_HANDLER(RealKeyPress),   FORM_HANDLER(AutoBoxClick),    FORM_HANDLER(ModeBoxChange),
                FORM_HANDLER(LevelChange),    FORM_HANDLER(ApplyBtnClick),   FORM_HANDLER(FillBoxClick),
                FORM_HANDLER(LayersClick),    FORM_HANDLER(Paint1Paint),     FORM_HANDLER(Paint1MouseDown),
                FORM_HANDLER(ModeClick),      FORM_HANDLER(ToggleMouseDown), FORM_HANDLER(ToggleMouseUp),
                FORM_HANDLER(OkBtnClick)};
    }

    void Loaded() override
    {
        Tree1 = FindControl<TTreeView>("Tree1");
        Icons1 = FindControl<TListView>("Icons1");
        NameEdit = FindControl<TEdit>("NameEdit");
        RealEdit = FindControl<TEdit>("RealEdit");
        Level = FindControl<TTrackBar>("Level");
        LevelText = FindControl<TStaticText>("LevelText");
        Grid1 = FindControl<TStringGrid>("Grid1");
        Timer1 = FindControl<TTimer>("Timer1");
    }

    void Note(const std::string& what) { g_log.push_back(what); }

    void FormCreate(TObject*)
    {
        Note("FormCreate");
        TTreeNode* objects = Tree1->Items()->Add(nullptr, "Objects");
        Tree1->Items()->AddChild(objects, "Surface 1");
        Tree1->Items()->AddChild(objects, "Surface 2");
        TTreeNode* lights = Tree1->Items()->Add(nullptr, "Lights");
        Tree1->Items()->AddChild(lights, "Ambient");
        objects->Expand(false);
        Icons1->AddItem("Sphere", nullptr, 0);
        Icons1->AddItem("Box", nullptr, 1);
        Icons1->AddItem("Cone", nullptr, 2);
        for (int row = 1; row < 5; ++row) {
            Grid1->SetCell(0, row, std::to_string(row * 250));
            Grid1->SetCell(1, row, std::to_string(1000 - row * 200));
        }
        g_log.clear();  // what follows is the user's
        Note("FormCreate");
    }
    void FormDestroy(TObject*) { Note("FormDestroy"); }
    void FormShow(TObject*) { Note("FormShow"); }
    void FormHide(TObject*) { Note("FormHide"); }
    void FormClose(TObject*, TCloseAction& action)
    {
        Note("FormClose");
        action = g_closeAction;
    }
    void FormResize(TObject*) { Note("FormResize"); }
    void FormPaint(TObject*) { Note("FormPaint"); }
    void RecentClick(TObject* sender) { Note("RecentClick " + ObjectAs<TMenuItem>(sender)->Caption()); }
    void Timer1Timer(TObject*)
    {
        Note("Timer1Timer");
        Timer1->SetEnabled(false);
    }
    void NewBtnClick(TObject*) { Note("NewBtnClick"); }
    void OpenBtnClick(TObject*) { Note("OpenBtnClick"); }
    void PagesChange(TObject*) { Note("PagesChange"); }
    void Tree1Change(TObject*, TTreeNode* node) { Note("Tree1Change " + (node ? node->Text() : "-")); }
    void Tree1Toggling(TObject*, TTreeNode* node, bool& allow)
    {
        Note("Tree1Toggling " + node->Text());
        allow = node->Text() != "Lights";
    }
    void Tree1Edited(TObject*, TTreeNode*, std::string& text) { text += "!"; }
    void Tree1MouseDown(TObject*, TMouseButton button, TShiftState, int, int)
    {
        Note(std::string("Tree1MouseDown ") + (button == mbRight ? "right" : "left") + " " +
             (Tree1->Selected() ? Tree1->Selected()->Text() : "-"));
    }
    void Tree1DblClick(TObject*) { Note("Tree1DblClick"); }
    void Icons1Change(TObject*, TListItem* item, TItemChange)
    {
        if (item->Selected()) Note("Icons1Change " + item->Caption());
    }
    void Icons1DblClick(TObject*) { Note("Icons1DblClick"); }
    void NameEditChange(TObject*) { Note("NameEditChange " + NameEdit->Text()); }
    // Digits and backspace, at most 4 characters.
    void DigitsKeyPress(TObject* sender, char& key)
    {
        const auto* edit = ObjectAs<TEdit>(sender);
        if (key == '\b') return;
        if (key < '0' || key > '9' || edit->Text().size() >= 4) key = 0;
    }
    // Digits, one '-', one '.', and backspace, at most 13 characters.
    void RealKeyPress(TObject* sender, char& key)
    {
        const std::string text = ObjectAs<TEdit>(sender)->Text();
        if (key == '\b') return;
        const bool digit = key >= '0' && key <= '9';
        const bool mark = (key == '-' || key == '.') && text.find(key) == std::string::npos;
        if ((!digit && !mark) || text.size() >= 13) key = 0;
    }
    void AutoBoxClick(TObject* sender)
    {
        Note(std::string("AutoBoxClick ") + (ObjectAs<TCheckBox>(sender)->Checked() ? "on" : "off"));
    }
    void ModeBoxChange(TObject* sender)
    {
        Note("ModeBoxChange " + std::to_string(ObjectAs<TComboBox>(sender)->ItemIndex()));
    }
    void LevelChange(TObject*)
    {
        Note("LevelChange " + std::to_string(Level->Position()));
        LevelText->SetCaption("Level " + std::to_string(Level->Position()));
    }
    void ApplyBtnClick(TObject*) { Note("ApplyBtnClick"); }
    void FillBoxClick(TObject* sender)
    {
        Note("FillBoxClick " + std::to_string(ObjectAs<TRadioGroup>(sender)->ItemIndex()));
    }
    void LayersClick(TObject* sender)
    {
        Note("LayersClick " + std::to_string(ObjectAs<TListBox>(sender)->ItemIndex()));
    }
    void Paint1Paint(TObject* sender)
    {
        auto* box = ObjectAs<TPaintBox>(sender);
        TCanvas* canvas = box->Canvas();
        canvas->Brush()->SetColor(clWhite);
        canvas->FillRect(box->ClientRect());
        canvas->Pen()->SetColor(clNavy);
        const POINT curve[] = {{2, 40}, {20, 30}, {40, 10}, {58, 4}};
        canvas->Polyline(curve, 4);
        Note("Paint1Paint");
    }
    void Paint1MouseDown(TObject*, TMouseButton, TShiftState, int x, int y)
    {
        Note("Paint1MouseDown " + std::to_string(x) + "," + std::to_string(y));
    }
    void ModeClick(TObject* sender) { Note("ModeClick " + ObjectAs<TSpeedButton>(sender)->Caption()); }
    void ToggleMouseDown(TObject*, TMouseButton, TShiftState, int, int) { Note("ToggleMouseDown"); }
    void ToggleMouseUp(TObject*, TMouseButton, TShiftState, int, int) { Note("ToggleMouseUp"); }
    void OkBtnClick(TObject*) { Note("OkBtnClick"); }
};
IMPLEMENT_TCLASS(TKitTestForm, TForm)

/// The log since the last call.
std::vector<std::string> Take()
{
    std::vector<std::string> taken;
    taken.swap(g_log);
    return taken;
}

bool Logged(const std::vector<std::string>& log, const std::string& entry)
{
    return std::find(log.begin(), log.end(), entry) != log.end();
}

CPoint CenterOf(const TControl* control)
{
    return CPoint(control->Width() / 2, control->Height() / 2);
}

/// A point of a graphic control in its parent window's client coordinates.
CPoint InParent(const TControl* control, CPoint at)
{
    return CPoint(control->Left() + at.x, control->Top() + at.y);
}

class FormKit : public FormsTest {
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        g_log.clear();
        g_closeAction = caFree;
        form = TKitTestForm::New(nullptr);
        form->Show();
        PumpEvents();
    }
    void TearDown() override
    {
        if (form) form->Free();
        FormsTest::TearDown();
    }
    template <class T>
    T* Control(const char* name)
    {
        return form->FindControl<T>(name);
    }

    TKitTestForm* form = nullptr;
};

}  // namespace

TEST_F(FormKit, StandardControlsReachTheirHandlersByName)
{
    EXPECT_EQ(form->Caption(), "Form Kit");
    EXPECT_EQ(form->ClientWidth(), 560);
    Take();

    MouseClick(*Control<TButton>("ApplyBtn")->Window(), CenterOf(Control<TButton>("ApplyBtn")));
    TypeKeys(*form->NameEdit->Window(), "12");
    MouseClick(*Control<TCheckBox>("AutoBox")->Window(), CPoint(8, 9));
    PressKey(*Control<TComboBox>("ModeBox")->Window(), Qt::Key_Up);
    PressKey(*form->Level->Window(), Qt::Key_PageUp);
    auto* layers = qobject_cast<QListWidget*>(Control<TListBox>("Layers")->Window()->GetWidget());
    ASSERT_NE(layers, nullptr);
    const QRect second = layers->visualItemRect(layers->item(1));
    const QPoint secondAt = layers->viewport()->mapTo(layers, second.center());
    MouseClick(*Control<TListBox>("Layers")->Window(), CPoint(secondAt.x(), secondAt.y()));
    PumpEvents();

    const std::vector<std::string> log = Take();
    for (const char* entry : {"ApplyBtnClick", "NameEditChange 1", "NameEditChange 12", "AutoBoxClick off",
                              "ModeBoxChange 1", "LevelChange 500", "LayersClick 1"})
        EXPECT_TRUE(Logged(log, entry)) << entry;
    EXPECT_EQ(form->LevelText->Caption(), "Level 500");
    EXPECT_FALSE(Control<TCheckBox>("AutoBox")->Checked());

    // Setting by program: a radio group and a check box tell their OnClick, as a user's click does.
    Control<TRadioGroup>("FillBox")->SetItemIndex(1);
    EXPECT_EQ(Take(), (std::vector<std::string>{"FillBoxClick 1"}));
}

TEST_F(FormKit, TreesListsPagesAndBarsReachTheirHandlers)
{
    auto* tree = static_cast<CTreeCtrl*>(form->Tree1->Window());
    TTreeNode* surface = form->Tree1->Items()->Item(1);
    ASSERT_EQ(surface->Text(), "Surface 1");
    CRect rect;
    ASSERT_TRUE(tree->GetItemRect(surface->ItemId(), &rect, TRUE));
    Take();
    MouseClick(*tree, CPoint(rect.left + 20, rect.CenterPoint().y));
    EXPECT_TRUE(Logged(Take(), "Tree1Change Surface 1"));

    // A right press selects the node under it before the form hears of the press.
    TTreeNode* lights = form->Tree1->Items()->Item(3);
    ASSERT_TRUE(tree->GetItemRect(lights->ItemId(), &rect, TRUE));
    MousePress(*tree, CPoint(rect.left + 12, rect.CenterPoint().y), Qt::RightButton);
    MouseRelease(*tree, CPoint(rect.left + 12, rect.CenterPoint().y), Qt::RightButton);
    EXPECT_TRUE(Logged(Take(), "Tree1MouseDown right Lights"));
    // Expanding asks the handler, which refuses "Lights" and allows the others.
    lights->Expand(false);
    EXPECT_FALSE(lights->Expanded());
    form->Tree1->Items()->Item(0)->Collapse(false);
    EXPECT_FALSE(form->Tree1->Items()->Item(0)->Expanded());
    EXPECT_EQ(Take(), (std::vector<std::string>{"Tree1Toggling Lights", "Tree1Toggling Objects"}));

    // The page control's flat buttons switch pages; the list view shows its icons there.
    auto* tabs = static_cast<CTabCtrl*>(Control<TPageControl>("Pages")->Window());
    CRect tab;
    ASSERT_TRUE(tabs->GetItemRect(1, &tab));
    MouseClick(*tabs, tab.CenterPoint());
    PumpEvents();
    EXPECT_EQ(Control<TPageControl>("Pages")->ActivePageIndex(), 1);
    EXPECT_TRUE(Logged(Take(), "PagesChange"));
    CRect icon;
    auto* list = form->Icons1->Window();
    ASSERT_TRUE(static_cast<CListCtrl*>(list)->GetItemRect(1, &icon, LVIR_BOUNDS));
    MouseDoubleClick(*list, icon.CenterPoint());
    const std::vector<std::string> iconLog = Take();
    EXPECT_TRUE(Logged(iconLog, "Icons1Change Box"));
    EXPECT_TRUE(Logged(iconLog, "Icons1DblClick"));

    // A tool button clicks; the arrow of a drop-down button opens its menu.
    TToolBar* bar = Control<TToolBar>("ToolBar1");
    const CRect newRect = bar->ButtonRect(Control<TToolButton>("NewBtn"));
    MouseClick(*bar->Window(), newRect.CenterPoint());
    const CRect openRect = bar->ButtonRect(Control<TToolButton>("OpenBtn"));
    MouseClick(*bar->Window(), CPoint(openRect.left + 6, openRect.CenterPoint().y));
    Responder().AnswerPopupMenu(2);
    MouseClick(*bar->Window(), CPoint(openRect.right - 4, openRect.CenterPoint().y));
    EXPECT_EQ(Take(), (std::vector<std::string>{"NewBtnClick", "OpenBtnClick", "RecentClick second.kit"}));
}

TEST_F(FormKit, GraphicControlsTimersAndDialogs)
{
    form->UpdateWindow();
    Take();
    // Speed buttons of one group: one down at a time.
    auto* modeA = Control<TSpeedButton>("ModeA");
    auto* modeB = Control<TSpeedButton>("ModeB");
    CWnd& status = *Control<TPanel>("StatusPanel")->Window();
    MouseClick(status, InParent(modeB, CenterOf(modeB)));
    EXPECT_TRUE(modeB->Down());
    EXPECT_FALSE(modeA->Down());
    // A toggle with AllowAllUp comes up again; its press and release reach the form.
    auto* toggle = Control<TSpeedButton>("Toggle");
    MouseClick(status, InParent(toggle, CenterOf(toggle)));
    EXPECT_TRUE(toggle->Down());
    MouseClick(status, InParent(toggle, CenterOf(toggle)));
    EXPECT_FALSE(toggle->Down());
    EXPECT_EQ(Take(), (std::vector<std::string>{"ModeClick B", "ToggleMouseDown", "ToggleMouseUp",
                                                "ToggleMouseDown", "ToggleMouseUp"}));

    // The paint box paints with the form and takes the mouse in its own coordinates.
    auto* paint = Control<TPaintBox>("Paint1");
    paint->Invalidate();
    form->UpdateWindow();
    MouseClick(*form, InParent(paint, CPoint(5, 7)));
    EXPECT_EQ(Take(), (std::vector<std::string>{"FormPaint", "Paint1Paint", "Paint1MouseDown 5,7"}));

    form->Timer1->SetEnabled(true);
    EXPECT_TRUE(PumpUntil([] { return Logged(g_log, "Timer1Timer"); }));

    // The open dialog asks with its filter and title and hands back the choice.
    tarvenix::test::TempDir dir;
    const std::string chosen = dir.File("chosen.kit");
    tarvenix::test::WriteWholeFile(chosen, "kit");
    Responder().AnswerFile({chosen.c_str()});
    auto* open = Control<TOpenDialog>("OpenDialog1");
    ASSERT_TRUE(open->Execute());
    EXPECT_EQ(open->FileName(), chosen);
    const auto& asked = Responder().Asked().back().file;
    EXPECT_EQ(std::string(asked.caption.c_str()), "Open a Kit");
    EXPECT_FALSE(asked.save);
}

TEST_F(FormKit, ADisabledSpeedButtonShowsItsGlyphGreyedOut)
{
    // A one-picture glyph: a red square on the transparent colour.
    TOwned<TBitmap> glyph(TBitmap::New());
    glyph->SetSize(16, 16);
    glyph->Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(255, 0, 255)));
    glyph->Canvas()->FillRect(RECT{0, 0, 16, 16});
    glyph->Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(255, 0, 0)));
    glyph->Canvas()->FillRect(RECT{3, 3, 13, 13});
    auto* button = Control<TSpeedButton>("ModeA");
    button->SetCaption("");
    button->SetFlat(true);
    button->SetGlyph(glyph.get());
    ASSERT_EQ(button->NumGlyphs(), 1);
    CWnd& status = *Control<TPanel>("StatusPanel")->Window();

    // Counts the red and the button-shadow pixels over the button.
    const auto count = [&](COLORREF colour) {
        status.Invalidate();
        status.UpdateWindow();
        const QImage shot = tarvenix::test::GrabWindow(status);
        int n = 0;
        for (int y = button->Top(); y < button->Top() + button->Height(); ++y)
            for (int x = button->Left(); x < button->Left() + button->Width(); ++x)
                n += shot.pixel(x, y) == qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
        return n;
    };
    const COLORREF red = RGB(255, 0, 0), shadow = ColorToRGB(clBtnShadow);
    EXPECT_EQ(count(red), 100);
    const int shadowUp = count(shadow);
    button->SetEnabled(false);
    EXPECT_EQ(count(red), 0);
    EXPECT_GE(count(shadow), shadowUp + 100);
    // Enabled again, it shows its colours again.
    button->SetEnabled(true);
    EXPECT_EQ(count(red), 100);
}

TEST_F(FormKit, ScreenshotOfTheFormWithEveryControl)
{
    form->UpdateWindow();
    PumpEvents();
    const QImage image = GrabWholeWindow(*form);
    EXPECT_FALSE(SaveTestOutput(image, "kelvora-form-kit").empty());
}

TEST_F(FormKit, CloseFreesTheFormAfterTheMessage)
{
    Take();
    const HWND hwnd = form->GetSafeHwnd();
    form->Close();  // caFree: the form goes once this message is done
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(Take(), (std::vector<std::string>{"FormClose"}));
    PumpEvents();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Take(), (std::vector<std::string>{"FormDestroy"}));
    form = nullptr;
}

TEST_F(FormKit, CloseWithHideHidesAndAModalFormAnswersThroughTheGateway)
{
    g_closeAction = caHide;
    Take();
    form->Close();
    EXPECT_FALSE(form->Visible());
    EXPECT_FALSE(form->IsWindowVisible());
    EXPECT_EQ(Take(), (std::vector<std::string>{"FormClose", "FormHide"}));

    // The responder clicks Ok: the button's modal result ends the loop.
    Responder().AnswerDialogCommand(IDOK);
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(Responder().Asked().back().className, "TKitTestForm");
    EXPECT_EQ(Take(), (std::vector<std::string>{"FormShow", "OkBtnClick", "FormClose", "FormHide"}));
    EXPECT_FALSE(form->Visible());

    Responder().AnswerDialogCommand(IDCANCEL);
    EXPECT_EQ(form->ShowModal(), mrCancel);
}

namespace {
void PutOnClipboard(const char* text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    platform::SetClipboardText(text);
    CloseClipboard();
}
}  // namespace

TEST_F(FormKit, KeyRulesTakeTypedAndPastedTextAlike)
{
    struct Case {
        const char* edit;  // "count": digits, at most 4; "real": digits, one '-', one '.', at most 13
        const char* typed;
        const char* pasted;
        const char* expected;
    };
    const Case cases[] = {
        {"count", "12a3", "", "123"},
        {"count", "123456", "", "1234"},
        {"count", "1\b2", "", "2"},
        {"count", "", "9x8 y7", "987"},
        {"count", "12", "34567", "1234"},
        {"real", "-1.5", "", "-1.5"},
        {"real", "1.2.3", "", "1.23"},
        {"real", "--5", "", "-5"},
        {"real", "12345678901234", "", "1234567890123"},
        {"real", "a1", "", "1"},
        {"real", "", "3.1.4-e", "3.14-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edit) + " typed '" + c.typed + "' pasted '" + c.pasted + "'");
        TEdit* edit = std::string(c.edit) == "count" ? form->NameEdit : form->RealEdit;
        edit->SetText("");
        TypeKeys(*edit->Window(), c.typed);
        if (*c.pasted) {
            PutOnClipboard(c.pasted);
            PressKey(*edit->Window(), Qt::Key_V, Qt::ControlModifier);
        }
        EXPECT_EQ(edit->Text(), c.expected);
    }
    // The field's own paste command goes through the rule too.
    form->NameEdit->SetText("");
    PutOnClipboard("4a5b6c7d8");
    form->NameEdit->Window()->SendMessage(WM_PASTE);
    EXPECT_EQ(form->NameEdit->Text(), "4567");
}
