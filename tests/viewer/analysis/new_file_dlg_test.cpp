#include "viewer/analysis/new_file_dlg.h"

#include <gtest/gtest.h>

#include "outside/basecore/settings.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"

using analysis_test::Text;
using analysis_test::Type;
using tarvenix::test::Responder;

namespace {

CString Key()
{
    return GetAppRegKey() + "\\Settings\\Viewer\\NewFile";
}

void ForgetStored()
{
    ::RegDeleteKey(HKEY_CURRENT_USER, Key());
}

struct Stored {
    bool present = false;
    DWORD width = 0, height = 0, type = 0;
};

Stored ReadStored()
{
    Stored s;
    CTLRegKey key;
    if (key.Open(HKEY_CURRENT_USER, Key(), KEY_READ) != ERROR_SUCCESS) return s;
    s.present = key.QueryValue(s.width, "Size_Width") == ERROR_SUCCESS;
    key.QueryValue(s.height, "Size_Height");
    key.QueryValue(s.type, "Data_Type");
    return s;
}

CString SelectedRow(CNewFileDlg& dlg)
{
    CString text;
    const int row = dlg.m_cbType.GetCurSel();
    if (row >= 0) dlg.m_cbType.GetLBText(row, text);
    return text;
}

void ChooseRow(CNewFileDlg& dlg, int row)
{
    dlg.m_cbType.SetCurSel(row);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_NEW_TYPE, CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(dlg.m_cbType.GetSafeHwnd()));
}

}  // namespace

TEST(NewFileDlg, FirstUseShowsTheDefaultsAndCancelStoresNothing)
{
    ForgetStored();
    CString width, height, type;
    Responder().AnswerDialogCommand(IDCANCEL).Doing([&](CWnd& wnd) {
        auto& dlg = static_cast<CNewFileDlg&>(wnd);
        width = Text(dlg, IDC_NEW_WIDTH);
        height = Text(dlg, IDC_NEW_HEIGHT);
        type = SelectedRow(dlg);
        EXPECT_EQ(dlg.m_cbType.GetCount(), 13);
        Type(dlg, IDC_NEW_WIDTH, "64");
        analysis_test::Screenshot(dlg, "new_file");
    });
    CNewFileDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(width, "200");
    EXPECT_EQ(height, "200");
    EXPECT_EQ(type, "float 32 bit ");
    EXPECT_FALSE(ReadStored().present);
}

TEST(NewFileDlg, RowsMapToTypeCodesAndAreRemembered)
{
    struct Case {
        int row;
        const char* text;
        DWORD code;
    };
    const Case cases[] = {{0, "unsigned integer 8 bit", 1},  {5, "signed integer 32 bit ", 6},
                          {8, "complex integer 8 bit ", 11}, {10, "complex integer 32 bit ", 15},
                          {11, "complex float 32 bit  ", 9}, {12, "complex float 64 bit  ", 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ForgetStored();
        Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& wnd) {
            auto& dlg = static_cast<CNewFileDlg&>(wnd);
            Type(dlg, IDC_NEW_WIDTH, "33");
            Type(dlg, IDC_NEW_HEIGHT, "17");
            ChooseRow(dlg, c.row);
        });
        CNewFileDlg dlg;
        ASSERT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.m_nWidth, 33u);
        EXPECT_EQ(dlg.m_nHeight, 17u);
        EXPECT_EQ(dlg.m_nDataType, c.code);
        const Stored stored = ReadStored();
        EXPECT_EQ(stored.width, 33u);
        EXPECT_EQ(stored.height, 17u);
        EXPECT_EQ(stored.type, c.code);

        // The next dialog opens on the stored row.
        CString shown;
        Responder().AnswerDialogCommand(IDCANCEL).Doing(
            [&](CWnd& wnd) { shown = SelectedRow(static_cast<CNewFileDlg&>(wnd)); });
        CNewFileDlg next;
        next.DoModal();
        EXPECT_EQ(shown, c.text);
    }
}

TEST(NewFileDlg, AZeroSizeIsRefusedAndTheDialogStays)
{
    ForgetStored();
    for (const char* field : {"width", "height"}) {
        SCOPED_TRACE(field);
        Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& wnd) {
            auto& dlg = static_cast<CNewFileDlg&>(wnd);
            Type(dlg, std::string(field) == "width" ? IDC_NEW_WIDTH : IDC_NEW_HEIGHT, "0");
            Responder().AnswerMessageBox(IDOK);
            dlg.SendMessage(WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(::IsWindow(dlg.GetSafeHwnd()));
            EXPECT_FALSE(ReadStored().present);
            Type(dlg, IDC_NEW_WIDTH, "5");
            Type(dlg, IDC_NEW_HEIGHT, "6");
        });
        CNewFileDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        const auto& asked = Responder().Asked();
        ASSERT_GE(asked.size(), 2u);
        const auto& box = asked[asked.size() - 1];
        EXPECT_EQ(box.text, "File size can't be zero values.");
        EXPECT_EQ(box.caption, "Create new file");
        EXPECT_EQ(box.Icon(), UINT(MB_ICONEXCLAMATION));
        ForgetStored();
    }
}
