#include "platform/window/modal.h"

#include <atomic>

#include <QImage>
#include <QMessageBox>
#include <QPushButton>

#include "platform/window/app_hooks.h"
#include "platform/window/wnd.h"

namespace platform {
namespace {

std::atomic<ModalResponder*> g_responder{nullptr};

const char* ButtonText(int id)
{
    switch (id) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "&Abort";
        case IDRETRY:
            return "&Retry";
        case IDIGNORE:
            return "&Ignore";
        case IDYES:
            return "&Yes";
        case IDNO:
            return "&No";
        default:
            return "";
    }
}

QMessageBox::ButtonRole ButtonRole(int id)
{
    switch (id) {
        case IDOK:
        case IDYES:
            return QMessageBox::AcceptRole;
        case IDNO:
            return QMessageBox::NoRole;
        case IDCANCEL:
        case IDABORT:
            return QMessageBox::RejectRole;
        default:
            return QMessageBox::ActionRole;
    }
}

/// Lays out box as the question asks for it; its buttons in the order of ButtonIds().
std::vector<QPushButton*> FillMessageBox(QMessageBox& box, const MessageBoxQuestion& question)
{
    box.setWindowTitle(QString::fromUtf8(question.caption.c_str()));
    box.setText(QString::fromUtf8(question.text.c_str()));
    switch (question.Icon()) {
        case MB_ICONHAND:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONASTERISK:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    const std::vector<int> ids = question.ButtonIds();
    std::vector<QPushButton*> buttons;
    for (int id : ids) buttons.push_back(box.addButton(QString::fromUtf8(ButtonText(id)), ButtonRole(id)));
    const std::size_t defaultIndex = (question.type & MB_DEFMASK) >> 8;
    box.setDefaultButton(buttons[defaultIndex < buttons.size() ? defaultIndex : 0]);
    const int escape = question.EscapeAnswer();
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == escape && (escape == IDCANCEL || ids.size() == 1)) box.setEscapeButton(buttons[i]);
    return buttons;
}

int ShowRealMessageBox(const MessageBoxQuestion& question)
{
    CWnd* owner = CWnd::FromHandle(question.owner);
    QMessageBox box(owner && owner->GetWidget() ? owner->GetWidget()->window() : nullptr);
    const std::vector<QPushButton*> buttons = FillMessageBox(box, question);
    const std::vector<int> ids = question.ButtonIds();
    const int escape = question.EscapeAnswer();
    if (question.type & (MB_SYSTEMMODAL | MB_TOPMOST)) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (box.clickedButton() == buttons[i]) return ids[i];
    return escape;
}

}  // namespace

QImage MessageBoxPicture(const MessageBoxQuestion& question)
{
    QMessageBox box;
    FillMessageBox(box, question);
    box.adjustSize();
    return box.grab().toImage();
}

std::vector<int> MessageBoxQuestion::ButtonIds() const
{
    switch (Buttons()) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case MB_RETRYCANCEL:
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

int MessageBoxQuestion::EscapeAnswer() const
{
    const std::vector<int> ids = ButtonIds();
    for (int preferred : {IDCANCEL, IDNO, IDOK, IDABORT})
        for (int id : ids)
            if (id == preferred) return id;
    return ids.front();
}

void SetModalResponder(ModalResponder* responder)
{
    g_responder = responder;
}
ModalResponder* GetModalResponder()
{
    return g_responder;
}

FileAnswer AskModal(const FileQuestion& question, const std::function<FileAnswer()>& show)
{
    return CallOnUiThread([&] { return g_responder ? g_responder.load()->AnswerFile(question) : show(); });
}

FolderAnswer AskModal(const FolderQuestion& question, const std::function<FolderAnswer()>& show)
{
    return CallOnUiThread([&] { return g_responder ? g_responder.load()->AnswerFolder(question) : show(); });
}

ColorAnswer AskModal(const ColorQuestion& question, const std::function<ColorAnswer()>& show)
{
    return CallOnUiThread([&] { return g_responder ? g_responder.load()->AnswerColor(question) : show(); });
}

UINT AskModal(const PopupMenuQuestion& question, const std::function<UINT()>& show)
{
    return CallOnUiThread(
        [&] { return g_responder ? g_responder.load()->AnswerPopupMenu(question) : show(); });
}

}  // namespace platform

int MessageBox(HWND hWnd, LPCTSTR lpText, LPCTSTR lpCaption, UINT uType)
{
    platform::MessageBoxQuestion question;
    question.owner = hWnd;
    question.caption = lpCaption ? lpCaption : "Error";
    question.text = lpText ? lpText : "";
    question.type = uType;
    return platform::CallOnUiThread([&] {
        if (platform::ModalResponder* responder = platform::GetModalResponder())
            return responder->AnswerMessageBox(question);
        return platform::ShowRealMessageBox(question);
    });
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT)
{
    const platform::AppHooks& app = platform::GetAppHooks();
    const char* name = app.appName ? app.appName() : nullptr;
    const char* caption = name ? name : "";
    return platform::CallOnUiThread([&] {
        CWnd* owner = app.mainWindow ? app.mainWindow() : nullptr;
        return MessageBox(owner ? owner->GetSafeHwnd() : nullptr, lpszText, caption, nType);
    });
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp);
}
