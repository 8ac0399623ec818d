#include <QCoreApplication>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <string>
#include <vector>

#include "app/about_dlg.h"
#include "app/app_resources.h"
#include "app/hyperlink.h"
#include "platform/dialogs/data_exchange.h"
#include "platform/gdi/window_dc.h"
#include "platform/kernel/win_exec.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace apptest;
using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;

namespace {

// Nothing is opened or started in these tests: the shell refuses every target (as it does
// for a link no desktop handler takes), and started programs are only recorded.
class AboutBox : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        platform::SetShellOpenHook([this](const QUrl& url) {
            shellTargets.push_back(url.toString().toStdString());
            return shellOpens;
        });
        platform::SetWinExecHook([this](const std::vector<std::string>& parts, UINT) {
            started.push_back(parts);
            return startResult;
        });
        RemoveBrowser();
    }
    void TearDown() override
    {
        platform::SetShellOpenHook(nullptr);
        platform::SetWinExecHook(nullptr);
        RemoveBrowser();
        AppTest::TearDown();
    }

    // The browser registered for ".htm" pages, as a desktop registers it.
    static void RegisterBrowser(const char* command)
    {
        SetDefault(".htm", "tvxpage");
        SetDefault("tvxpage\\shell\\open\\command", command);
    }
    static void SetDefault(const char* path, const char* text)
    {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        // Written without its terminating zero, as some writers do.
        RegSetValueEx(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                      static_cast<DWORD>(std::strlen(text)));
        RegCloseKey(key);
    }
    static void RemoveBrowser()
    {
        for (const char* path :
             {"tvxpage\\shell\\open\\command", "tvxpage\\shell\\open", "tvxpage\\shell", "tvxpage", ".htm"})
            RegDeleteKey(HKEY_CLASSES_ROOT, path);
    }

    /// Runs the About box from the "?" menu's About command; `act` runs while it is up.
    void RunAbout(std::function<void(CWnd&)> act)
    {
        Responder().AnswerDialogCommand(IDOK).Doing(std::move(act));
        Command().SendMessage(WM_COMMAND, ID_HELP_ABOUT, 0);
    }

    static CHyperLink& Link(CWnd& dialog, int id)
    {
        auto* link = dynamic_cast<CHyperLink*>(dialog.GetDlgItem(id));
        EXPECT_NE(link, nullptr);
        return *link;
    }

    /// A click on the link: the left button let go over it.
    static void Click(CWnd&, CHyperLink& link)
    {
        QWidget* widget = link.GetWidget();
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &release);
    }

    std::vector<std::string> shellTargets;
    bool shellOpens = false;
    std::vector<std::vector<std::string>> started;
    UINT startResult = 33;
};

int CountPixels(const QImage& image, COLORREF colour)
{
    const QRgb wanted = qRgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF)) ++count;
    return count;
}

TEST_F(AboutBox, ShowsNameVersionAndTwoLinksFittedToTheirText)
{
    Start(R"(Tarvenix {DisableView})");
    RunAbout([&](CWnd& dialog) {
        CString text;
        dialog.GetDlgItem(IDC_ABOUT_TEXT)->GetWindowText(text);
        EXPECT_NE(text.Find("radar rasters"), -1);
        CHyperLink& mail = Link(dialog, IDC_ABOUT_MAIL);
        CHyperLink& web = Link(dialog, IDC_ABOUT_WEB);
        EXPECT_EQ(mail.GetURL().Left(7), CString("mailto:"));
        EXPECT_EQ(web.GetURL().Left(8), CString("https://"));
        for (CHyperLink* link : {&mail, &web}) {
            EXPECT_TRUE(link->GetStyle() & SS_NOTIFY);
            EXPECT_EQ(link->GetToolTipText(), link->GetURL());
            EXPECT_EQ(link->GetLinkCursor(), LoadCursor(nullptr, IDC_HAND));
            // The window is exactly as wide and high as its text.
            CString shown;
            link->GetWindowText(shown);
            CClientDC dc(link);
            dc.SelectObject(link->GetFont());
            const CSize extent = dc.GetTextExtent(shown);
            CRect rect;
            link->GetClientRect(&rect);
            EXPECT_EQ(rect.Size(), extent);
        }
        EXPECT_FALSE(
            tarvenix::test::SaveTestOutput(tarvenix::test::GrabWholeWindow(dialog), "about-box").empty());
    });
    EXPECT_EQ(Responder().Unused(), 0u);
}

TEST_F(AboutBox, TheLinkIsColouredByItsState)
{
    Start(R"(Tarvenix {DisableView})");
    RunAbout([&](CWnd& dialog) {
        CHyperLink& link = Link(dialog, IDC_ABOUT_WEB);
        const COLORREF linkColour = RGB(0, 0, 238), visited = RGB(85, 26, 139);
        const COLORREF hover = GetSysColor(COLOR_HIGHLIGHT);
        const auto shows = [&](COLORREF expected) {
            const QImage image = GrabWindow(link);
            int found = 0, others = 0;
            for (COLORREF c : {linkColour, visited, hover})
                (c == expected ? found : others) += CountPixels(image, c);
            // The underline alone is a whole row of the text colour.
            EXPECT_GE(found, image.width()) << std::hex << expected;
            EXPECT_EQ(others, 0) << std::hex << expected;
        };
        shows(linkColour);
        // The first move over it: hovered at once, and the link keeps the mouse.
        link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        EXPECT_TRUE(link.IsHovering());
        EXPECT_EQ(CWnd::GetCapture(), &link);
        shows(hover);
        // A move outside gives the mouse back and the colour with it.
        link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-3), 2));
        EXPECT_FALSE(link.IsHovering());
        EXPECT_EQ(CWnd::GetCapture(), nullptr);
        shows(linkColour);
        // A link the shell opened is visited.
        shellOpens = true;
        Click(dialog, link);
        EXPECT_TRUE(link.GetVisited());
        shows(visited);
        EXPECT_EQ(shellTargets, std::vector<std::string>{link.GetURL().c_str()});
    });
}

TEST_F(AboutBox, AFailedLinkTellsWhyAndStaysUnvisited)
{
    Start(R"(Tarvenix {DisableView})");
    struct Case {
        UINT code;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {7, "Unknown Error (7) occurred."},
    };
    RegisterBrowser("/usr/bin/tvx-browser %1");
    Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& dialog) {
        CHyperLink& link = Link(dialog, IDC_ABOUT_MAIL);
        for (const Case& c : cases) {
            startResult = c.code;
            Responder().AnswerMessageBox(IDOK);
            Click(dialog, link);
            const tarvenix::test::Question& asked = Responder().Asked().back();
            EXPECT_EQ(asked.text, CString("Unable to open hyperlink:\n\n") + c.text) << c.code;
            EXPECT_EQ(asked.Icon(), MB_ICONEXCLAMATION);
            EXPECT_FALSE(link.GetVisited());
        }
        // With no browser registered, the shell's own answer is told.
        RemoveBrowser();
        Responder().AnswerMessageBox(IDOK);
        Click(dialog, link);
        EXPECT_NE(Responder().Asked().back().text.Find("no application associated"), -1);
    });
    Command().SendMessage(WM_COMMAND, ID_HELP_ABOUT, 0);
    EXPECT_EQ(started.size(), std::size(cases));
    EXPECT_EQ(Responder().Unused(), 0u);
}

TEST_F(AboutBox, TheBrowserFallbackPassesTheTargetAsOneArgument)
{
    struct Case {
        const char* command;
        const char* target;
        std::vector<std::string> parts;  // empty: nothing is started
    };
    const Case cases[] = {
        // The quoted placeholder and what follows it are cut; the target comes instead.
        {R"("/opt/web browser/run" -osint -url "%1" --tail)",
         "http://h.example/a",
         {"/opt/web browser/run", "-osint", "-url", "http://h.example/a"}},
        // The bare placeholder likewise.
        {"/usr/bin/tvx-browser %1 --new",
         "http://h.example/b",
         {"/usr/bin/tvx-browser", "http://h.example/b"}},
        // No placeholder: the target is appended.
        {"/usr/bin/tvx-browser --new-window",
         "http://h.example/c",
         {"/usr/bin/tvx-browser", "--new-window", "http://h.example/c"}},
        // Blanks and shell characters stay inside the one argument; a quote is escaped.
        {"/usr/bin/tvx-browser %1",
         "http://h.example/a b;$(touch x)|y",
         {"/usr/bin/tvx-browser", "http://h.example/a b;$(touch x)|y"}},
        {"/usr/bin/tvx-browser %1",
         R"(http://h.example/"q")",
         {"/usr/bin/tvx-browser", "http://h.example/%22q%22"}},
        // A command that is only the placeholder would run the target itself: refused.
        {R"("%1")", "http://h.example/p", {}},
        {"  %1 --flag", "http://h.example/p", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        started.clear();
        RegisterBrowser(c.command);
        const INT_PTR result = CHyperLink::GotoURL(c.target, SW_SHOW);
        if (c.parts.empty()) {
            EXPECT_TRUE(started.empty());
            EXPECT_EQ(result, SE_ERR_NOASSOC);
        } else {
            EXPECT_EQ(started, std::vector<std::vector<std::string>>{c.parts});
            EXPECT_EQ(result, 33);
        }
    }
    // Without a registered ".htm" class the shell's result stands.
    RemoveBrowser();
    started.clear();
    EXPECT_EQ(CHyperLink::GotoURL("http://h.example/", SW_SHOW), SE_ERR_NOASSOC);
    EXPECT_TRUE(started.empty());
}

}  // namespace

namespace {

// Three links of one text, fitted by their alignment, and one that keeps its size.
constexpr platform::DialogControl kFitControls[] = {
    {"Static", "fit me", 2001, 10, 10, 120, 20, SS_LEFT},
    {"Static", "fit me", 2002, 10, 40, 120, 20, SS_RIGHT},
    {"Static", "fit me", 2003, 10, 70, 120, 20, SS_CENTER | SS_CENTERIMAGE},
    {"Static", "fit me", 2004, 10, 100, 120, 20, SS_LEFT},
};
constexpr platform::DialogTemplate kFitTemplate{
    0, "Links", WS_POPUP | WS_CAPTION, 0, "MS Sans Serif", 8, 0, 0, 150, 130, kFitControls};

class FitDialog : public CDialog {
public:
    CHyperLink links[4];

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        links[3].SetAutoSize(FALSE);
        for (int i = 0; i < 4; ++i) DDX_Control(pDX, 2001 + i, links[i]);
    }
};

TEST(HyperLink, FitsItsWindowToItsTextByItsAlignment)
{
    FitDialog dialog;
    // The rectangles the template gives, before any link is fitted.
    CDialog plain;
    ASSERT_TRUE(plain.CreateIndirect(kFitTemplate));
    CRect before[4];
    for (int i = 0; i < 4; ++i) {
        plain.GetDlgItem(2001 + i)->GetWindowRect(&before[i]);
        plain.ScreenToClient(&before[i]);
    }
    plain.DestroyWindow();

    ASSERT_TRUE(dialog.CreateIndirect(kFitTemplate));
    CRect after[4];
    for (int i = 0; i < 4; ++i) {
        dialog.links[i].GetWindowRect(&after[i]);
        dialog.ScreenToClient(&after[i]);
    }
    CClientDC dc(&dialog.links[0]);
    dc.SelectObject(dialog.links[0].GetFont());
    const CSize text = dc.GetTextExtent(CString("fit me"));
    ASSERT_LT(text.cx, before[0].Width());

    // Left: keeps its top-left corner.
    EXPECT_EQ(after[0], CRect(before[0].TopLeft(), text));
    // Right: keeps its right edge.
    EXPECT_EQ(after[1], CRect(CPoint(before[1].right - text.cx, before[1].top), text));
    // Centred both ways: keeps its centre.
    EXPECT_EQ(after[2].Size(), text);
    EXPECT_LE(std::abs(after[2].CenterPoint().x - before[2].CenterPoint().x), 1);
    EXPECT_LE(std::abs(after[2].CenterPoint().y - before[2].CenterPoint().y), 1);
    // Without fitting it stays as the template made it.
    EXPECT_EQ(after[3], before[3]);
    dialog.DestroyWindow();
}

}  // namespace
