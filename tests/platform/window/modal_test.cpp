#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/app/win_app.h"
#include "platform/resources/module_resources.h"
#include "platform/window/modal.h"
#include "platform/window/wnd.h"
#include "tests/support/modal_responder.h"

using tarvenix::test::Question;
using tarvenix::test::Responder;

TEST(ModalResponder, AnswersInOrderAndRecordsWhatWasAsked)
{
    CWinApp app("Orvane Tarvenix");
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Command", WS_OVERLAPPEDWINDOW, CRect(0, 0, 10, 10), nullptr, 0));
    Responder().AnswerMessageBox(IDNO);
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerMessageBox(IDRETRY);

    EXPECT_EQ(owner.MessageBox("Exit Tarvenix ?", nullptr, MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox("Error opening file !", MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "Disk full", nullptr, MB_RETRYCANCEL | MB_ICONHAND | MB_DEFBUTTON2),
              IDRETRY);

    const std::vector<Question>& asked = Responder().Asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].caption, "Orvane Tarvenix");  // a window's box without caption: the program's name
    EXPECT_EQ(asked[0].text, "Exit Tarvenix ?");
    EXPECT_EQ(asked[0].owner, owner.GetSafeHwnd());
    EXPECT_EQ(asked[0].Buttons(), MB_YESNO);
    EXPECT_EQ(asked[0].Icon(), MB_ICONQUESTION);
    EXPECT_EQ(asked[1].caption, "Orvane Tarvenix");
    EXPECT_EQ(asked[1].Icon(), MB_ICONEXCLAMATION);
    EXPECT_EQ(asked[2].caption, "Error");  // the system's default caption
    EXPECT_EQ(asked[2].type & MB_DEFMASK, MB_DEFBUTTON2);
}

TEST(ModalResponder, AnUnansweredQuestionFailsTheTestInsteadOfWaiting)
{
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = MessageBox(nullptr, "Save changes ?", "Viewer", MB_YESNOCANCEL),
                            "Nobody answered the message box \"Viewer\" saying \"Save changes ?\"");
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_NONFATAL_FAILURE(answer = MessageBox(nullptr, "Exit Tarvenix ?", "Tarvenix", MB_YESNO),
                            "Nobody answered");
    EXPECT_EQ(answer, IDNO);

    Responder().AnswerMessageBox(IDYES);  // not on an OK box
    EXPECT_NONFATAL_FAILURE(answer = MessageBox(nullptr, "Done", "Tool", MB_OK),
                            "Button 6 is not on the message box");
    EXPECT_EQ(answer, IDOK);

    Responder().CancelFile();  // a file answer, but a message box comes first
    EXPECT_NONFATAL_FAILURE(MessageBox(nullptr, "Text", "Tool", MB_OK),
                            "The next answer is for a file dialog");
    Responder().Reset();
}

namespace {

// A modal window that ends its loop on OK only when its input is valid, as dialogs do.
class AskingWnd : public CWnd {
public:
    bool valid = true;
    int value = 0;

protected:
    void OnOK()
    {
        if (valid) EndModalLoop(IDOK);
    }
    void OnCancel() { EndModalLoop(IDCANCEL); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(AskingWnd, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

}  // namespace

TEST(ModalResponder, ModalLoopsAreDrivenLikeTheUserWould)
{
    AskingWnd dialog;
    ASSERT_TRUE(dialog.CreateEx(0, nullptr, "Histogram Triming", WS_POPUP | WS_CAPTION, CRect(0, 0, 10, 10),
                                nullptr, 0));
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& wnd) { static_cast<AskingWnd&>(wnd).value = 3; });
    Responder().AnswerDialogResult(IDCANCEL);
    EXPECT_EQ(dialog.RunModalLoop(), IDOK);
    EXPECT_EQ(dialog.value, 3);
    EXPECT_EQ(dialog.RunModalLoop(), IDCANCEL);
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[0].caption, "Histogram Triming");
    EXPECT_EQ(Responder().Asked()[0].window, &dialog);

    // A dialog that refuses to close on the command fails the test and is closed anyway.
    dialog.valid = false;
    Responder().AnswerDialogCommand(IDOK);
    int result = 0;
    EXPECT_NONFATAL_FAILURE(result = dialog.RunModalLoop(), "stayed open after command 1");
    EXPECT_EQ(result, IDCANCEL);

    // A loop ended before it started returns at once.
    dialog.EndModalLoop(IDABORT);
    EXPECT_EQ(dialog.RunModalLoop(), IDABORT);
}

TEST(ModalResponder, PickersAndTheColourDialogGoThroughTheGateway)
{
    bool realDialogShown = false;
    auto noRealFile = [&] {
        realDialogShown = true;
        return platform::FileAnswer{};
    };
    platform::FileQuestion save;
    save.save = true;
    save.fileName = "New File.rdp";
    save.filter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";
    Responder().AnswerFile({"/data/out.rdp"});
    Responder().CancelFile();
    Responder().AnswerFolder("/data/kernels");
    Responder().AnswerColor(RGB(1, 2, 3));
    Responder().CancelColor();

    platform::FileAnswer file = platform::AskModal(save, noRealFile);
    EXPECT_TRUE(file.ok);
    EXPECT_EQ(file.paths, (std::vector<CString>{"/data/out.rdp"}));
    EXPECT_FALSE(platform::AskModal(platform::FileQuestion{}, noRealFile).ok);
    const platform::FolderAnswer folder =
        platform::AskModal(platform::FolderQuestion{}, [] { return platform::FolderAnswer{}; });
    EXPECT_EQ(folder.path, "/data/kernels");
    platform::ColorQuestion colour;
    colour.initial = RGB(9, 9, 9);
    EXPECT_EQ(platform::AskModal(colour, [] { return platform::ColorAnswer{}; }).color, RGB(1, 2, 3));
    const platform::ColorAnswer kept = platform::AskModal(colour, [] { return platform::ColorAnswer{}; });
    EXPECT_FALSE(kept.ok);
    EXPECT_EQ(kept.color, RGB(9, 9, 9));

    EXPECT_FALSE(realDialogShown);
    ASSERT_EQ(Responder().Asked().size(), 5u);
    EXPECT_TRUE(Responder().Asked()[0].file.save);
    EXPECT_EQ(Responder().Asked()[0].file.fileName, "New File.rdp");
}

TEST(ModalResponder, AfxMessageBoxLoadsItsTextFromTheStringTable)
{
    static const platform::StringEntry strings[] = {{108, "Exit Tarvenix ?"}};
    static const platform::ModuleResources resources{.module = "modal-test", .strings = strings};
    const platform::ModuleResourceRegistration registration(resources);
    Responder().AnswerMessageBox(IDYES);
    EXPECT_EQ(AfxMessageBox(108, MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Responder().Asked().at(0).text, "Exit Tarvenix ?");
}

namespace {

// Without a responder the real box shows; a person (here: a queued click) picks a button.
class RealDialogs {
public:
    RealDialogs() { platform::SetModalResponder(nullptr); }
    ~RealDialogs() { platform::SetModalResponder(&Responder()); }
};

void ClickWhenShown(const QString& buttonText, QString* seenTitle, QString* defaultText)
{
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        *seenTitle = box->windowTitle();
        if (box->defaultButton()) *defaultText = box->defaultButton()->text();
        for (QAbstractButton* button : box->buttons())
            if (button->text() == buttonText) button->click();
    });
}

}  // namespace

TEST(MessageBox, TheRealBoxMapsItsButtonsToTheirIds)
{
    RealDialogs real;
    QString title, defaultButton;
    ClickWhenShown("&No", &title, &defaultButton);
    EXPECT_EQ(
        MessageBox(nullptr, "Save changes ?", "Viewer", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2),
        IDNO);
    EXPECT_EQ(title, "Viewer");
    EXPECT_EQ(defaultButton, "&No");
    ClickWhenShown("&Retry", &title, &defaultButton);
    EXPECT_EQ(MessageBox(nullptr, "Disk full", nullptr, MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(title, "Error");
}
