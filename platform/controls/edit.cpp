#include "platform/controls/edit.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QTextBlock>
#include <QTextCursor>

#include "platform/controls/control_notify.h"

namespace {

constexpr int kNoLimit = 0x7FFFFFFE;

// The edit's state that must stay with the window (a window object may take it over).
struct EditState {
    int limit = kNoLimit;
    bool focused = false;
    bool quiet = false;  // inside a change made by the edit itself
};

class StateHolder : public QObject {
public:
    explicit StateHolder(QWidget* widget) : QObject(widget) { setObjectName(QStringLiteral("tvxEditState")); }
    EditState m_state;
};

EditState& StateOf(QWidget* widget)
{
    QObject* holder = widget->findChild<QObject*>(QStringLiteral("tvxEditState"), Qt::FindDirectChildrenOnly);
    return static_cast<StateHolder*>(holder)->m_state;
}

QString ToQ(LPCTSTR text)
{
    return QString::fromUtf8(text ? text : "");
}

// The standard menu of the text field, whose Paste goes through WM_PASTE, so that a class
// that filters what may be typed filters what is pasted too.
template <class Field>
void RoutePasteThroughWindow(Field* field, HWND hwnd)
{
    field->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(field, &QWidget::customContextMenuRequested, field, [field, hwnd](const QPoint& at) {
        QMenu* menu = field->createStandardContextMenu();
        for (QAction* action : menu->actions()) {
            if (action->objectName() != QStringLiteral("edit-paste")) continue;
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            QObject::connect(action, &QAction::triggered, field,
                             [hwnd] { ::SendMessage(hwnd, WM_PASTE, 0, 0); });
        }
        menu->exec(field->mapToGlobal(at));
        delete menu;
    });
}

}  // namespace

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("Edit"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CEdit::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    const HWND hwnd = m_hWnd;
    QWidget* widget = nullptr;
    const auto changed = [hwnd] {
        CWnd* wnd = CWnd::FromHandle(hwnd);
        if (!wnd || !wnd->GetWidget()) return;  // still being made
        EditState& state = StateOf(wnd->GetWidget());
        if (state.quiet) return;
        platform::NotifyParentCommand(wnd, EN_UPDATE);
        if (CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, EN_CHANGE);
    };
    if (style & ES_MULTILINE) {
        auto* edit = new QPlainTextEdit(parentWidget);
        edit->setReadOnly(style & ES_READONLY);
        edit->setLineWrapMode((style & ES_AUTOHSCROLL) ? QPlainTextEdit::NoWrap
                                                       : QPlainTextEdit::WidgetWidth);
        edit->setTabChangesFocus(true);
        QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, hwnd, changed] {
            if (!edit->findChild<QObject*>(QStringLiteral("tvxEditState"), Qt::FindDirectChildrenOnly))
                return;
            EditState& state = StateOf(edit);
            if (!state.quiet && edit->document()->characterCount() - 1 > state.limit) {
                // Past the limit: cut what was typed, as a single-line field refuses it.
                state.quiet = true;
                QTextCursor cursor = edit->textCursor();
                cursor.movePosition(QTextCursor::End);
                cursor.setPosition(state.limit, QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
                state.quiet = false;
                if (CWnd* wnd = CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, EN_MAXTEXT);
            }
            changed();
        });
        RoutePasteThroughWindow(edit, hwnd);
        widget = edit;
    } else {
        auto* edit = new QLineEdit(ToQ(cs.lpszName), parentWidget);
        edit->setReadOnly(style & ES_READONLY);
        if (style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
        if (style & ES_NUMBER)
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setAlignment((style & ES_RIGHT)    ? Qt::AlignRight
                           : (style & ES_CENTER) ? Qt::AlignHCenter
                                                 : Qt::AlignLeft);
        edit->setFrame(style & WS_BORDER || cs.dwExStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
        QObject::connect(edit, &QLineEdit::textChanged, edit, changed);
        RoutePasteThroughWindow(edit, hwnd);
        widget = edit;
    }
    new StateHolder(widget);
    if (style & ES_MULTILINE) static_cast<QPlainTextEdit*>(widget)->setPlainText(ToQ(cs.lpszName));
    widget->setFocusPolicy(Qt::StrongFocus);
    return widget;
}

LRESULT CEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    QWidget* widget = GetWidget();
    auto* line = qobject_cast<QLineEdit*>(widget);
    auto* multi = qobject_cast<QPlainTextEdit*>(widget);
    if (!line && !multi) return CWnd::WindowProc(message, wParam, lParam);
    switch (message) {
        case EM_SETSEL: {
            const int length =
                line ? static_cast<int>(line->text().size()) : multi->document()->characterCount() - 1;
            int start = static_cast<int>(wParam), end = static_cast<int>(lParam);
            if (start == -1) {
                start = end = line ? line->cursorPosition() : multi->textCursor().position();
            } else {
                start = std::clamp(start, 0, length);
                end = end < 0 ? length : std::clamp(end, 0, length);
            }
            if (line) {
                line->setSelection(start, end - start);
                if (end == start) line->setCursorPosition(start);
            } else {
                QTextCursor cursor = multi->textCursor();
                cursor.setPosition(start);
                cursor.setPosition(end, QTextCursor::KeepAnchor);
                multi->setTextCursor(cursor);
            }
            return 0;
        }
        case EM_GETSEL: {
            int start = 0, end = 0;
            if (line) {
                start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
                end = line->hasSelectedText() ? line->selectionEnd() : start;
            } else {
                start = multi->textCursor().selectionStart();
                end = multi->textCursor().selectionEnd();
            }
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(start);
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(end);
            return MAKELONG(static_cast<WORD>(start), static_cast<WORD>(end));
        }
        case EM_REPLACESEL: {
            const QString text = ToQ(reinterpret_cast<LPCTSTR>(lParam));
            if (line)
                line->insert(text);
            else
                multi->insertPlainText(text);
            return 0;
        }
        case EM_LIMITTEXT: {
            const int limit = wParam == 0 ? kNoLimit : static_cast<int>(std::min<WPARAM>(wParam, kNoLimit));
            StateOf(widget).limit = limit;
            if (line) {
                // Qt sets the text again when the limit changes; the caret and selection stay.
                const int start = line->selectionStart(),
                          length = static_cast<int>(line->selectedText().size());
                const int cursor = line->cursorPosition();
                line->setMaxLength(std::min(limit, 32767 * 1024));
                if (start >= 0 && length > 0)
                    line->setSelection(start, length);
                else
                    line->setCursorPosition(std::min(cursor, static_cast<int>(line->text().size())));
            }
            return 0;
        }
        case EM_GETLIMITTEXT:
            return StateOf(widget).limit;
        case WM_PASTE:
            if (line)
                line->paste();
            else
                multi->paste();
            return 0;
        case EM_SETREADONLY:
            if (line)
                line->setReadOnly(wParam != 0);
            else
                multi->setReadOnly(wParam != 0);
            ModifyStyle(wParam ? 0 : ES_READONLY, wParam ? ES_READONLY : 0);
            return TRUE;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            // Focus can be reported twice (SetFocus and Qt's focus event): tell the parent once.
            if (CWnd::FromHandle(m_hWnd) == this && GetWidget()) {
                EditState& state = StateOf(GetWidget());
                const bool focused = message == WM_SETFOCUS;
                if (state.focused != focused) {
                    state.focused = focused;
                    platform::NotifyParentCommand(this, focused ? EN_SETFOCUS : EN_KILLFOCUS);
                }
            }
            return result;
        }
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CEdit::ApplyWindowText(const CString& text)
{
    QWidget* widget = GetWidget();
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setText(ToQ(text.c_str()));
    else if (auto* multi = qobject_cast<QPlainTextEdit*>(widget))
        multi->setPlainText(ToQ(text.c_str()));
}

CString CEdit::ReadWindowText() const
{
    QWidget* widget = GetWidget();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return CString(line->text().toUtf8().constData());
    if (auto* multi = qobject_cast<QPlainTextEdit*>(widget)) {
        // Lines end in CR LF, as the control hands them out.
        return CString(
            multi->toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8().constData());
    }
    return CWnd::ReadWindowText();
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL)
{
    SendMessage(EM_SETSEL, static_cast<WPARAM>(nStartChar), static_cast<LPARAM>(nEndChar));
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const
{
    DWORD start = 0, end = 0;
    ::SendMessage(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

void CEdit::ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo)
{
    SendMessage(EM_REPLACESEL, static_cast<WPARAM>(bCanUndo), reinterpret_cast<LPARAM>(lpszNewText));
}

void CEdit::SetLimitText(UINT nMax)
{
    SendMessage(EM_LIMITTEXT, nMax);
}
UINT CEdit::GetLimitText() const
{
    return static_cast<UINT>(::SendMessage(m_hWnd, EM_GETLIMITTEXT, 0, 0));
}
BOOL CEdit::SetReadOnly(BOOL bReadOnly)
{
    return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(bReadOnly)));
}
