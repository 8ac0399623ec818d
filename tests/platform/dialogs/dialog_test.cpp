#include <QApplication>
#include <QFont>
#include <QWidget>
#include <strings.h>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/slider_ctrl.h"
#include "platform/controls/static_ctrl.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/dialogs/dialog.h"
#include "platform/resources/module_resources.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::Responder;

namespace {

constexpr UINT kTemplateId = 30100;
constexpr int kName = 3001, kCount = 3002, kSize = 3003, kOffset = 3004, kScale = 3005, kRatio = 3006;
constexpr int kRadioA = 3010, kRadioB = 3011, kRadioC = 3012, kCheck = 3013;
constexpr int kCombo = 3020, kDropDown = 3021, kList = 3022, kMultiLine = 3023, kSlider = 3024;

const platform::DialogControl kControls[] = {
    {"Static", "Name:", IDC_STATIC, 7, 9, 40, 8, SS_LEFT},
    {"Edit", "", kName, 50, 7, 100, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {"Edit", "", kCount, 50, 22, 40, 12, WS_BORDER | WS_TABSTOP},
    {"Edit", "", kSize, 95, 22, 40, 12, WS_BORDER | WS_TABSTOP},
    {"Edit", "", kOffset, 140, 22, 40, 12, WS_BORDER | WS_TABSTOP},
    {"Edit", "", kScale, 50, 37, 40, 12, WS_BORDER | WS_TABSTOP},
    {"Edit", "", kRatio, 95, 37, 40, 12, WS_BORDER | WS_TABSTOP},
    {"Button", "Units", IDC_STATIC, 5, 52, 120, 40, BS_GROUPBOX},
    {"Button", "&Pixels", kRadioA, 10, 62, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
    {"Button", "&Metres", kRadioB, 10, 72, 50, 10, BS_AUTORADIOBUTTON},
    {"Button", "&Degrees", kRadioC, 10, 82, 50, 10, BS_AUTORADIOBUTTON},
    {"Button", "&Approximate", kCheck, 130, 62, 60, 10, BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP},
    {"ComboBox", "", kCombo, 130, 75, 60, 60, CBS_DROPDOWNLIST | WS_TABSTOP},
    {"ComboBox", "", kDropDown, 130, 90, 60, 60, CBS_DROPDOWN | WS_TABSTOP},
    {"ListBox", "", kList, 7, 95, 60, 30, LBS_NOTIFY | WS_BORDER | WS_TABSTOP},
    {"Edit", "", kMultiLine, 70, 105, 60, 20, ES_MULTILINE | ES_WANTRETURN | WS_BORDER | WS_TABSTOP},
    {"msctls_trackbar32", "", kSlider, 135, 105, 60, 15, TBS_NOTICKS | WS_TABSTOP},
    {"Button", "OK", IDOK, 195, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Cancel", IDCANCEL, 195, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

const platform::DialogTemplate kTemplates[] = {
    {kTemplateId, "Exchange", DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8, 0, 0,
     252, 130, kControls},
};

const platform::ModuleResources kResources{.module = "dialog_test", .dialogs = kTemplates};

struct Registration : platform::ModuleResourceRegistration {
    Registration() : platform::ModuleResourceRegistration(kResources) {}
};

class ExchangeDlg : public CDialog {
public:
    ExchangeDlg(CWnd* parent = nullptr) : CDialog(kTemplateId, parent) {}

    CString m_name = "Scene";
    int m_count = 3;
    UINT m_size = 4000000000u;
    long m_offset = -12;
    double m_scale = 0.25;
    float m_ratio = 1.5f;
    int m_unit = 1;
    int m_approximate = 1;
    int m_comboIndex = 1;
    CString m_dropDown = "typed";
    int m_listIndex = 2;
    int m_level = 30;
    class NameEdit : public CEdit {
    public:
        int m_setUps = 0;
        void PreSubclassWindow() override { ++m_setUps; }
    } m_nameEdit;
    int m_initCalls = 0;

    BOOL OnInitDialog() override
    {
        ++m_initCalls;
        auto* combo = static_cast<CComboBox*>(GetDlgItem(kCombo));
        for (const char* s : {"Linear", "Square root", "Logarithm"}) combo->AddString(s);
        auto* dropDown = static_cast<CComboBox*>(GetDlgItem(kDropDown));
        dropDown->AddString("alpha");
        auto* list = static_cast<CListBox*>(GetDlgItem(kList));
        for (const char* s : {"one", "two", "three"}) list->AddString(s);
        static_cast<CSliderCtrl*>(GetDlgItem(kSlider))->SetRange(0, 50);
        return CDialog::OnInitDialog();
    }

    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, kName, m_nameEdit);
        DDX_Text(pDX, kName, m_name);
        DDV_MaxChars(pDX, m_name, 8);
        DDX_Text(pDX, kCount, m_count);
        DDV_MinMaxInt(pDX, m_count, 1, 10);
        DDX_Text(pDX, kSize, m_size);
        DDX_Text(pDX, kOffset, m_offset);
        DDV_MinMaxLong(pDX, m_offset, -100, 100);
        DDX_Text(pDX, kScale, m_scale);
        DDV_MinMaxDouble(pDX, m_scale, 0.0, 1.0);
        DDX_Text(pDX, kRatio, m_ratio);
        DDX_Radio(pDX, kRadioA, m_unit);
        DDX_Check(pDX, kCheck, m_approximate);
        DDX_CBIndex(pDX, kCombo, m_comboIndex);
        DDX_CBString(pDX, kDropDown, m_dropDown);
        DDX_LBIndex(pDX, kList, m_listIndex);
        DDX_Slider(pDX, kSlider, m_level);
    }
};

struct DialogFixture : ::testing::Test {
    Registration registration;
};

CString Text(CWnd& dialog, int id)
{
    CString text;
    dialog.GetDlgItem(id)->GetWindowText(text);
    return text;
}

void SetText(CWnd& dialog, int id, const char* text)
{
    dialog.GetDlgItem(id)->SetWindowText(text);
}

TEST_F(DialogFixture, ControlsSitWhereTheirDialogUnitsSayInTemplateOrder)
{
    ExchangeDlg dlg;
    ASSERT_TRUE(dlg.Create(kTemplateId));
    EXPECT_EQ(dlg.m_initCalls, 1);
    CString caption;
    dlg.GetWindowText(caption);
    EXPECT_EQ(caption, "Exchange");

    const CSize base = platform::DialogBaseUnits(platform::DialogFont("MS Sans Serif", 8));
    ASSERT_GT(base.cx, 0);
    CRect client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(client.Width(), (252 * base.cx + 2) / 4);
    EXPECT_EQ(client.Height(), (130 * base.cy + 4) / 8);

    std::size_t i = 0;
    for (CWnd* child = dlg.GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT), ++i) {
        ASSERT_LT(i, std::size(kControls));
        const platform::DialogControl& c = kControls[i];
        EXPECT_EQ(child->GetDlgCtrlID(), c.id) << "control " << i;
        CRect rect;
        child->GetWindowRect(&rect);
        dlg.ScreenToClient(&rect);
        CRect units(c.x, c.y, c.x + c.cx, c.y + c.cy);
        dlg.MapDialogRect(&units);
        EXPECT_EQ(rect.left, (c.x * base.cx + 2) / 4) << "control " << c.id;
        EXPECT_EQ(rect.top, (c.y * base.cy + 4) / 8) << "control " << c.id;
        if (strcasecmp(c.className, "ComboBox") != 0) {  // a combo's field keeps its own height
            EXPECT_EQ(CRect(rect), units) << "control " << c.id;
        }
    }
    EXPECT_EQ(i, std::size(kControls));
    EXPECT_EQ(dlg.GetDlgItem(kName)->GetClassName(), "Edit");
    EXPECT_EQ(LOWORD(dlg.GetDefID()), IDOK);
    // The first tab stop has the focus after WM_INITDIALOG.
    EXPECT_EQ(CWnd::GetFocus(), &dlg.m_nameEdit);
}

TEST_F(DialogFixture, DataExchangeRoundTripsEveryKind)
{
    ExchangeDlg dlg;
    ASSERT_TRUE(dlg.Create(kTemplateId));
    // Loading (OnInitDialog's UpdateData(FALSE)).
    EXPECT_EQ(dlg.m_nameEdit.GetSafeHwnd(), dlg.GetDlgItem(kName)->GetSafeHwnd());
    EXPECT_EQ(dlg.m_nameEdit.m_setUps, 1);
    EXPECT_EQ(Text(dlg, kName), "Scene");
    EXPECT_EQ(Text(dlg, kCount), "3");
    EXPECT_EQ(Text(dlg, kSize), "4000000000");
    EXPECT_EQ(Text(dlg, kOffset), "-12");
    EXPECT_EQ(Text(dlg, kScale), "0.25");
    EXPECT_EQ(Text(dlg, kRatio), "1.5");
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioA), 0u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioB), 1u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kCheck), 1u);
    EXPECT_EQ(static_cast<CComboBox*>(dlg.GetDlgItem(kCombo))->GetCurSel(), 1);
    EXPECT_EQ(Text(dlg, kDropDown), "typed");
    EXPECT_EQ(static_cast<CListBox*>(dlg.GetDlgItem(kList))->GetCurSel(), 2);
    EXPECT_EQ(static_cast<CSliderCtrl*>(dlg.GetDlgItem(kSlider))->GetPos(), 30);
    EXPECT_EQ(static_cast<CEdit*>(dlg.GetDlgItem(kName))->GetLimitText(), 8u);  // DDV_MaxChars while loading

    // Saving what the user changed.
    SetText(dlg, kName, "Other");
    SetText(dlg, kCount, " 7 ");
    SetText(dlg, kSize, "12");
    SetText(dlg, kOffset, "-99");
    SetText(dlg, kScale, "1e-1");
    SetText(dlg, kRatio, "-2.75");
    static_cast<CButton*>(dlg.GetDlgItem(kRadioC))->Click();
    static_cast<CButton*>(dlg.GetDlgItem(kCheck))->Click();
    static_cast<CComboBox*>(dlg.GetDlgItem(kCombo))->SetCurSel(2);
    SetText(dlg, kDropDown, "alpha");
    static_cast<CListBox*>(dlg.GetDlgItem(kList))->SetCurSel(0);
    static_cast<CSliderCtrl*>(dlg.GetDlgItem(kSlider))->SetPos(80);  // beyond the range: the top
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.m_name, "Other");
    EXPECT_EQ(dlg.m_count, 7);
    EXPECT_EQ(dlg.m_size, 12u);
    EXPECT_EQ(dlg.m_offset, -99);
    EXPECT_DOUBLE_EQ(dlg.m_scale, 0.1);
    EXPECT_FLOAT_EQ(dlg.m_ratio, -2.75f);
    EXPECT_EQ(dlg.m_unit, 2);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioB), 0u);  // auto radio buttons clear their group
    EXPECT_EQ(dlg.m_approximate, 0);
    EXPECT_EQ(dlg.m_comboIndex, 2);
    EXPECT_EQ(dlg.m_dropDown, "alpha");
    EXPECT_EQ(dlg.m_listIndex, 0);
    EXPECT_EQ(dlg.m_level, 50);
    EXPECT_TRUE(Responder().Asked().empty());
}

TEST_F(DialogFixture, AFieldThatFailsShowsTheMessageStopsTheExchangeAndTakesTheFocus)
{
    struct Case {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {kCount, "12x", "Please enter an integer."},
        {kCount, "", "Please enter an integer."},
        {kCount, "11", "Please enter an integer between 1 and 10."},
        {kSize, "-1", "Please enter an integer."},
        {kOffset, "101", "Please enter an integer between -100 and 100."},
        {kScale, "0.5.1", "Please enter a number."},
        {kScale, "nan", "Please enter a number."},
        {kScale, "1.5", "Please enter a number between 0 and 1."},
        {kRatio, "1e39", "Please enter a number."},
        {kName, "Too long a name", "Please enter no more than 8 characters."},
    };
    for (const Case& c : cases) {
        ExchangeDlg dlg;
        ASSERT_TRUE(dlg.Create(kTemplateId));
        static_cast<CEdit*>(dlg.GetDlgItem(kName))->SetLimitText(0);
        SetText(dlg, kCount, "5");
        SetText(dlg, c.id, c.text);
        Responder().Reset();
        Responder().AnswerMessageBox(IDOK);
        EXPECT_FALSE(dlg.UpdateData(TRUE)) << c.text;
        ASSERT_EQ(Responder().Asked().size(), 1u) << c.text;
        EXPECT_EQ(Responder().Asked()[0].text, c.message);
        EXPECT_EQ(Responder().Asked()[0].Icon(), MB_ICONEXCLAMATION);
        EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(c.id)) << c.text;
        // Fields before the failing one were read; a value out of range is kept, as read.
        const int count = c.id == kName ? 3 : c.id != kCount ? 5 : c.text == std::string("11") ? 11 : 3;
        EXPECT_EQ(dlg.m_count, count) << c.text;
    }
}

TEST_F(DialogFixture, DoModalIsDrivenByTheResponder)
{
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Owner", WS_OVERLAPPEDWINDOW, CRect(0, 0, 100, 100), nullptr, 0));
    {
        ExchangeDlg dlg(&owner);
        Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& window) {
            EXPECT_EQ(window.GetDlgItem(kCount)->GetParent(), &window);
            window.GetDlgItem(kCount)->SetWindowText("9");
        });
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.m_count, 9);
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);  // the window is gone after DoModal
        ASSERT_EQ(Responder().Asked().size(), 1u);
        EXPECT_EQ(Responder().Asked()[0].caption, "Exchange");
        EXPECT_EQ(Responder().Asked()[0].owner, owner.GetSafeHwnd());
    }
    {
        ExchangeDlg dlg(&owner);
        Responder().AnswerDialogCommand(IDCANCEL).Doing(
            [](CWnd& window) { window.GetDlgItem(kCount)->SetWindowText("8"); });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.m_count, 3);  // cancel reads nothing
    }
    {
        CDialog missing(39999, &owner);
        EXPECT_EQ(missing.DoModal(), -1);
    }
}

class SelfDeletingDlg : public CDialog {
public:
    explicit SelfDeletingDlg(int* deleted) : m_deleted(deleted) {}
    ~SelfDeletingDlg() override { ++*m_deleted; }

protected:
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override { delete this; }

private:
    int* m_deleted;
};

TEST_F(DialogFixture, AModelessDialogThatOwnsItselfIsDeletedWhenDestroyedAndEndDialogOnlyHides)
{
    int deleted = 0;
    auto* dlg = new SelfDeletingDlg(&deleted);
    ASSERT_TRUE(dlg->Create(kTemplateId));
    dlg->ShowWindow(SW_SHOW);
    const HWND hwnd = dlg->GetSafeHwnd();
    const HWND edit = dlg->GetDlgItem(kName)->GetSafeHwnd();
    ::SendMessage(hwnd, WM_CLOSE, 0, 0);  // closing is Cancel, which destroys this one
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(edit));

    ExchangeDlg plain;
    ASSERT_TRUE(plain.Create(kTemplateId));
    plain.ShowWindow(SW_SHOW);
    plain.EndDialog(IDOK);
    EXPECT_TRUE(IsWindow(plain.GetSafeHwnd()));
    EXPECT_FALSE(plain.IsWindowVisible());
}

class KeyDlg : public ExchangeDlg {
public:
    std::vector<int> m_commands;
    void OnOK() override { m_commands.push_back(IDOK); }
    void OnCancel() override { m_commands.push_back(IDCANCEL); }
};

void PressKey(CWnd* control, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                    key == Qt::Key_Return ? QStringLiteral("\r") : QString());
    QApplication::sendEvent(control->GetWidget(), &press);
}

TEST_F(DialogFixture, EnterEscapeAndTabFollowTheDialogRules)
{
    KeyDlg dlg;
    ASSERT_TRUE(dlg.Create(kTemplateId));
    dlg.ShowWindow(SW_SHOW);
    PressKey(dlg.GetDlgItem(kCount), Qt::Key_Return);
    PressKey(dlg.GetDlgItem(kCount), Qt::Key_Escape);
    PressKey(dlg.GetDlgItem(kMultiLine), Qt::Key_Return);  // a new line, not the default button
    EXPECT_EQ(dlg.m_commands, (std::vector<int>{IDOK, IDCANCEL}));
    PressKey(dlg.GetDlgItem(IDCANCEL), Qt::Key_Return);  // a focused push button is clicked
    EXPECT_EQ(dlg.m_commands.back(), IDCANCEL);

    dlg.GotoDlgCtrl(dlg.GetDlgItem(kOffset));
    PressKey(dlg.GetDlgItem(kOffset), Qt::Key_Tab);
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(kScale));
    dlg.GotoDlgCtrl(dlg.GetDlgItem(IDCANCEL));
    dlg.NextDlgCtrl();  // wraps to the first tab stop
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(kName));
    dlg.PrevDlgCtrl();
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDCANCEL));
    // The text of an edit is selected when the focus moves there.
    dlg.SetDlgItemText(kName, "abcdef");
    dlg.GotoDlgCtrl(dlg.GetDlgItem(kName));
    int start = -1, end = -1;
    static_cast<CEdit*>(dlg.GetDlgItem(kName))->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 6);
}

TEST_F(DialogFixture, ItemIntegersAndRadioButtons)
{
    ExchangeDlg dlg;
    ASSERT_TRUE(dlg.Create(kTemplateId));
    dlg.SetDlgItemInt(kCount, static_cast<UINT>(-5));
    EXPECT_EQ(Text(dlg, kCount), "-5");
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(dlg.GetDlgItemInt(kCount, &ok)), -5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(dlg.GetDlgItemInt(kCount, &ok, FALSE), 0u);  // unsigned: a sign is not a number
    EXPECT_FALSE(ok);
    dlg.SetDlgItemText(kCount, "4x");
    dlg.GetDlgItemInt(kCount, &ok);
    EXPECT_FALSE(ok);
    dlg.CheckRadioButton(kRadioA, kRadioC, kRadioA);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioA), 1u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kRadioB), 0u);
    dlg.CheckDlgButton(kCheck, BST_UNCHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(kCheck), 0u);
}

}  // namespace
