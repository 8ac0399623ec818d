#pragma once

// The tests' answer to every modal question. A test queues answers in the order the
// questions will come, runs the code, and reads afterwards what was asked. A question
// with no fitting answer queued fails the test with the question's text and is closed
// at once (with the box's cancel-like button), so nothing ever waits for a person.
// The test main installs one responder for the whole process (Responder()); every test
// starts with it empty, and answers a test leaves unused fail that test.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/window/modal.h"
#include "platform/window/wnd.h"

namespace tarvenix::test {

struct Question {
    enum class Kind { MessageBox, Dialog, File, Folder, Color, PopupMenu };
    Kind kind = Kind::MessageBox;
    HWND owner = nullptr;
    CString caption;
    CString text;            ///< message boxes
    UINT type = 0;           ///< message boxes: MB_ flags
    CWnd* window = nullptr;  ///< dialogs: the window of the modal loop (valid while it runs)
    CString className;       ///< dialogs
    platform::FileQuestion file;
    platform::FolderQuestion folder;
    platform::ColorQuestion color;
    platform::PopupMenuQuestion popup;

    UINT Buttons() const { return type & MB_TYPEMASK; }
    UINT Icon() const { return type & MB_ICONMASK; }
    std::string Describe() const;
};

class Answer {
public:
    /// Keeps the question open, running the event loop, until condition holds (a bounded
    /// wait: the test fails when it never does); then answers.
    Answer& When(std::function<bool()> condition);
    /// Dialogs: what the user does in the dialog before the closing command.
    Answer& Doing(std::function<void(CWnd&)> act);

private:
    friend class ModalResponder;
    Question::Kind m_kind = Question::Kind::MessageBox;
    int m_id = 0;
    bool m_command = false;
    bool m_ok = true;
    std::vector<CString> m_paths;
    COLORREF m_color = 0;
    std::function<bool()> m_when;
    std::function<void(CWnd&)> m_act;
};

class ModalResponder : public platform::ModalResponder {
public:
    /// The next message box is answered with the button buttonId (IDOK, IDYES...).
    Answer& AnswerMessageBox(int buttonId);
    /// The next modal dialog gets the command commandId (IDOK, IDCANCEL or a button id),
    /// as a click on that button; the dialog must then end its modal loop.
    Answer& AnswerDialogCommand(int commandId);
    /// The next modal dialog's loop ends with result, without any command.
    Answer& AnswerDialogResult(int result);
    Answer& AnswerFile(std::vector<CString> paths, int filterIndex = 1);
    Answer& CancelFile();
    Answer& AnswerFolder(const CString& path);
    Answer& CancelFolder();
    Answer& AnswerColor(COLORREF color);
    Answer& CancelColor();
    /// The next popup menu is answered by choosing command id (it must be an enabled item).
    Answer& AnswerPopupMenu(UINT id);
    /// The next popup menu is dismissed without a choice.
    Answer& DismissPopupMenu();
    /// The next popup menu stays open, the event loop running, until a press beside it
    /// closes it (as a click on another window does); the test fails when none comes.
    /// A popup answered with When() is closed by such a press too.
    Answer& KeepPopupMenuOpen();

    /// Every question asked so far, answered or not.
    const std::vector<Question>& Asked() const { return m_asked; }
    /// Answers queued but not used yet.
    std::size_t Unused() const { return m_answers.size(); }
    void Reset();

    int AnswerMessageBox(const platform::MessageBoxQuestion& question) override;
    void RunModal(CWnd& window, const platform::DialogQuestion& question) override;
    platform::FileAnswer AnswerFile(const platform::FileQuestion& question) override;
    platform::FolderAnswer AnswerFolder(const platform::FolderQuestion& question) override;
    platform::ColorAnswer AnswerColor(const platform::ColorQuestion& question) override;
    UINT AnswerPopupMenu(const platform::PopupMenuQuestion& question) override;

private:
    Answer& Queue(Question::Kind kind);
    /// Records the question and takes the next answer when it fits; null (and a test
    /// failure) otherwise.
    bool Take(const Question& question, Answer& answer);

    std::deque<Answer> m_answers;
    std::vector<Question> m_asked;
};

/// The process's responder (installed by the test main).
ModalResponder& Responder();

}  // namespace tarvenix::test
