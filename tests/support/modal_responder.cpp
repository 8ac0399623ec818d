#include "tests/support/modal_responder.h"

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/window/hooks.h"
#include "tests/support/ui_helpers.h"

namespace tarvenix::test {
namespace {

const char* KindName(Question::Kind kind)
{
    switch (kind) {
        case Question::Kind::MessageBox:
            return "message box";
        case Question::Kind::Dialog:
            return "modal dialog";
        case Question::Kind::File:
            return "file dialog";
        case Question::Kind::Folder:
            return "folder dialog";
        case Question::Kind::Color:
            return "colour dialog";
        case Question::Kind::PopupMenu:
            return "popup menu";
    }
    return "question";
}

}  // namespace

std::string Question::Describe() const
{
    std::ostringstream out;
    out << KindName(kind) << " \"" << caption.c_str() << "\"";
    switch (kind) {
        case Kind::MessageBox:
            out << " saying \"" << text.c_str() << "\" (type 0x" << std::hex << type << ")";
            break;
        case Kind::Dialog:
            out << " of class \"" << className.c_str() << "\"";
            break;
        case Kind::File:
            out << (file.save ? " (save)" : " (open)") << " proposing \"" << file.fileName.c_str()
                << "\" in \"" << file.initialDir.c_str() << "\"";
            break;
        case Kind::Folder:
            out << " starting in \"" << folder.initialDir.c_str() << "\"";
            break;
        case Kind::Color:
            out << " starting with 0x" << std::hex << color.initial;
            break;
        case Kind::PopupMenu:
            out << " with " << popup.items.size() << " items";
            break;
    }
    return out.str();
}

Answer& Answer::When(std::function<bool()> condition)
{
    m_when = std::move(condition);
    return *this;
}

Answer& Answer::Doing(std::function<void(CWnd&)> act)
{
    m_act = std::move(act);
    return *this;
}

Answer& ModalResponder::Queue(Question::Kind kind)
{
    Answer& answer = m_answers.emplace_back();
    answer.m_kind = kind;
    return answer;
}

Answer& ModalResponder::AnswerMessageBox(int buttonId)
{
    Answer& a = Queue(Question::Kind::MessageBox);
    a.m_id = buttonId;
    return a;
}

Answer& ModalResponder::AnswerDialogCommand(int commandId)
{
    Answer& a = Queue(Question::Kind::Dialog);
    a.m_id = commandId;
    a.m_command = true;
    return a;
}

Answer& ModalResponder::AnswerDialogResult(int result)
{
    Answer& a = Queue(Question::Kind::Dialog);
    a.m_id = result;
    return a;
}

Answer& ModalResponder::AnswerFile(std::vector<CString> paths, int filterIndex)
{
    Answer& a = Queue(Question::Kind::File);
    a.m_paths = std::move(paths);
    a.m_id = filterIndex;
    return a;
}

Answer& ModalResponder::CancelFile()
{
    Answer& a = Queue(Question::Kind::File);
    a.m_ok = false;
    return a;
}

Answer& ModalResponder::AnswerFolder(const CString& path)
{
    Answer& a = Queue(Question::Kind::Folder);
    a.m_paths = {path};
    return a;
}

Answer& ModalResponder::CancelFolder()
{
    Answer& a = Queue(Question::Kind::Folder);
    a.m_ok = false;
    return a;
}

Answer& ModalResponder::AnswerColor(COLORREF color)
{
    Answer& a = Queue(Question::Kind::Color);
    a.m_color = color;
    return a;
}

Answer& ModalResponder::CancelColor()
{
    Answer& a = Queue(Question::Kind::Color);
    a.m_ok = false;
    return a;
}

Answer& ModalResponder::AnswerPopupMenu(UINT id)
{
    Answer& a = Queue(Question::Kind::PopupMenu);
    a.m_id = static_cast<int>(id);
    return a;
}

Answer& ModalResponder::DismissPopupMenu()
{
    Answer& a = Queue(Question::Kind::PopupMenu);
    a.m_ok = false;
    return a;
}

Answer& ModalResponder::KeepPopupMenuOpen()
{
    Answer& a = Queue(Question::Kind::PopupMenu);
    a.m_ok = false;
    a.m_when = [] { return false; };
    return a;
}

void ModalResponder::Reset()
{
    m_answers.clear();
    m_asked.clear();
}

bool ModalResponder::Take(const Question& question, Answer& answer)
{
    m_asked.push_back(question);
    if (m_answers.empty()) {
        ADD_FAILURE() << "Nobody answered the " << question.Describe();
        return false;
    }
    if (m_answers.front().m_kind != question.kind) {
        ADD_FAILURE() << "The next answer is for a " << KindName(m_answers.front().m_kind) << ", but the "
                      << question.Describe() << " came first";
        return false;
    }
    answer = std::move(m_answers.front());
    m_answers.pop_front();
    // A press beside an open popup menu closes it, whatever answer was waiting.
    const bool popup = question.kind == Question::Kind::PopupMenu;
    auto ready = [&] { return (popup && platform::PopupMenuDismissed()) || answer.m_when(); };
    if (answer.m_when && !PumpUntil(ready)) {
        ADD_FAILURE() << "The condition to answer the " << question.Describe() << " never held";
        return false;
    }
    return true;
}

int ModalResponder::AnswerMessageBox(const platform::MessageBoxQuestion& box)
{
    Question question;
    question.kind = Question::Kind::MessageBox;
    question.owner = box.owner;
    question.caption = box.caption;
    question.text = box.text;
    question.type = box.type;
    Answer answer;
    if (!Take(question, answer)) return box.EscapeAnswer();
    const std::vector<int> buttons = box.ButtonIds();
    if (std::find(buttons.begin(), buttons.end(), answer.m_id) == buttons.end()) {
        ADD_FAILURE() << "Button " << answer.m_id << " is not on the " << question.Describe();
        return box.EscapeAnswer();
    }
    return answer.m_id;
}

void ModalResponder::RunModal(CWnd& window, const platform::DialogQuestion& dialog)
{
    Question question;
    question.kind = Question::Kind::Dialog;
    question.window = &window;
    question.caption = dialog.caption;
    question.className = dialog.className;
    if (CWnd* owner = window.GetOwner()) question.owner = owner->GetSafeHwnd();
    Answer answer;
    const HWND hwnd = window.GetSafeHwnd();
    if (!Take(question, answer)) {
        if (IsWindow(hwnd)) window.EndModalLoop(IDCANCEL);
        return;
    }
    if (answer.m_act) answer.m_act(window);
    if (!IsWindow(hwnd)) return;
    if (!answer.m_command) {
        window.EndModalLoop(answer.m_id);
        return;
    }
    CWnd* button = window.GetDlgItem(answer.m_id);
    ::SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(answer.m_id), BN_CLICKED),
                  reinterpret_cast<LPARAM>(button ? button->GetSafeHwnd() : nullptr));
    if (IsWindow(hwnd) && window.ContinueModal()) {
        ADD_FAILURE() << "The " << question.Describe() << " stayed open after command " << answer.m_id;
        window.EndModalLoop(IDCANCEL);
    }
}

platform::FileAnswer ModalResponder::AnswerFile(const platform::FileQuestion& file)
{
    Question question;
    question.kind = Question::Kind::File;
    question.owner = file.owner;
    question.caption = file.caption;
    question.file = file;
    Answer answer;
    if (!Take(question, answer)) return {};
    return platform::FileAnswer{answer.m_ok, answer.m_paths, answer.m_id};
}

platform::FolderAnswer ModalResponder::AnswerFolder(const platform::FolderQuestion& folder)
{
    Question question;
    question.kind = Question::Kind::Folder;
    question.owner = folder.owner;
    question.caption = folder.caption;
    question.folder = folder;
    Answer answer;
    if (!Take(question, answer) || !answer.m_ok) return {};
    return platform::FolderAnswer{true, answer.m_paths.empty() ? CString() : answer.m_paths.front()};
}

platform::ColorAnswer ModalResponder::AnswerColor(const platform::ColorQuestion& color)
{
    Question question;
    question.kind = Question::Kind::Color;
    question.owner = color.owner;
    question.color = color;
    Answer answer;
    if (!Take(question, answer) || !answer.m_ok) return {false, color.initial};
    return platform::ColorAnswer{true, answer.m_color};
}

UINT ModalResponder::AnswerPopupMenu(const platform::PopupMenuQuestion& popup)
{
    Question question;
    question.kind = Question::Kind::PopupMenu;
    question.owner = popup.owner;
    question.popup = popup;
    Answer answer;
    if (!Take(question, answer) || !answer.m_ok || platform::PopupMenuDismissed()) return 0;
    // A person can only choose an item the menu shows enabled.
    for (const platform::PopupMenuItem& item : popup.items) {
        if (item.popup || item.separator || item.id != static_cast<UINT>(answer.m_id)) continue;
        if (item.enabled) return item.id;
        ADD_FAILURE() << "Item " << answer.m_id << " (\"" << item.text.c_str() << "\") of the "
                      << question.Describe() << " is greyed";
        return 0;
    }
    ADD_FAILURE() << "Item " << answer.m_id << " is not on the " << question.Describe();
    return 0;
}

ModalResponder& Responder()
{
    static ModalResponder* responder = new ModalResponder;
    return *responder;
}

}  // namespace tarvenix::test
