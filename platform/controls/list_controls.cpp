#include "platform/controls/list_controls.h"

#include <cstring>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

#include "platform/controls/control_notify.h"

namespace {

constexpr int kDataRole = Qt::UserRole + 1;

QString ToQ(LPCTSTR text)
{
    return QString::fromUtf8(text ? text : "");
}
CString FromQ(const QString& text)
{
    return CString(text.toUtf8().constData());
}

// Where a sorted list puts a new string: before the first item that is greater, ignoring case.
template <class Count, class TextAt>
int SortedPosition(const QString& text, Count count, TextAt textAt)
{
    const int n = count();
    for (int i = 0; i < n; ++i)
        if (QString::compare(textAt(i), text, Qt::CaseInsensitive) > 0) return i;
    return n;
}

template <class TextAt>
int Find(int count, int startAfter, const QString& text, bool exact, TextAt textAt)
{
    if (count <= 0) return -1;
    const int start = startAfter < 0 || startAfter >= count ? 0 : startAfter + 1;
    for (int k = 0; k < count; ++k) {
        const int i = (start + k) % count;
        const QString item = textAt(i);
        const bool match = exact ? QString::compare(item, text, Qt::CaseInsensitive) == 0
                                 : item.startsWith(text, Qt::CaseInsensitive);
        if (match) return i;
    }
    return -1;
}

int CopyOut(const QString& text, LPTSTR buffer)
{
    const QByteArray bytes = text.toUtf8();
    if (buffer) std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()) + 1);
    return static_cast<int>(bytes.size());
}

// Tells programmatic selection changes from the user's.
struct QuietScope {
    QObject* widget;
    explicit QuietScope(QWidget* w) : widget(w) { widget->setProperty("tvxQuiet", true); }
    ~QuietScope() { widget->setProperty("tvxQuiet", false); }
};
bool Quiet(QObject* widget)
{
    return widget->property("tvxQuiet").toBool();
}

}  // namespace

// --- combo box --------------------------------------------------------------------------------------
BOOL CComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("ComboBox"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CComboBox::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    auto* combo = new QComboBox(parentWidget);
    combo->setEditable((style & 0x3) != CBS_DROPDOWNLIST);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setFocusPolicy(Qt::StrongFocus);
    // The template's height includes the drop-down list; the field keeps its own height.
    const int fieldHeight = std::max(combo->sizeHint().height(), 1);
    combo->setMaxVisibleItems(std::max(cs.cy / fieldHeight, 1) * 2);
    // A drop-down's window is its closed field, as tall as the field itself; a simple combo
    // (list always shown) keeps the whole height.
    if ((style & 0x3) != CBS_SIMPLE) combo->setFixedHeight(std::min(std::max(cs.cy, 1), fieldHeight));
    const HWND hwnd = m_hWnd;
    QObject::connect(combo, &QComboBox::activated, combo, [hwnd, combo](int) {
        if (Quiet(combo)) return;
        if (CWnd* wnd = CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, CBN_SELCHANGE);
    });
    if (QLineEdit* edit = combo->lineEdit()) {
        QObject::connect(edit, &QLineEdit::textEdited, combo, [hwnd, combo](const QString&) {
            if (Quiet(combo)) return;
            if (CWnd* wnd = CWnd::FromHandle(hwnd)) {
                platform::NotifyParentCommand(wnd, CBN_EDITUPDATE);
                if (CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, CBN_EDITCHANGE);
            }
        });
    }
    return combo;
}

#define COMBO auto* combo = static_cast<QComboBox*>(GetWidget())

int CComboBox::AddString(LPCTSTR lpszString)
{
    COMBO;
    if (!combo) return CB_ERR;
    const QString text = ToQ(lpszString);
    int index = combo->count();
    if (GetStyle() & CBS_SORT)
        index = SortedPosition(
            text, [&] { return combo->count(); }, [&](int i) { return combo->itemText(i); });
    const QuietScope quiet(combo);
    combo->insertItem(index, text);
    if (combo->isEditable() && combo->currentIndex() == index && combo->count() == 1)
        combo->setCurrentIndex(-1);
    return index;
}

int CComboBox::InsertString(int nIndex, LPCTSTR lpszString)
{
    COMBO;
    if (!combo || nIndex > combo->count()) return CB_ERR;
    const int index = nIndex < 0 ? combo->count() : nIndex;
    const QuietScope quiet(combo);
    const int current = combo->currentIndex();
    combo->insertItem(index, ToQ(lpszString));
    if (current < 0) combo->setCurrentIndex(-1);
    return index;
}

int CComboBox::DeleteString(UINT nIndex)
{
    COMBO;
    if (!combo || static_cast<int>(nIndex) >= combo->count()) return CB_ERR;
    const QuietScope quiet(combo);
    combo->removeItem(static_cast<int>(nIndex));
    return combo->count();
}

void CComboBox::ResetContent()
{
    COMBO;
    if (!combo) return;
    const QuietScope quiet(combo);
    combo->clear();
    if (combo->lineEdit()) combo->lineEdit()->clear();
}

int CComboBox::GetCount() const
{
    COMBO;
    return combo ? combo->count() : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    COMBO;
    if (!combo) return CB_ERR;
    // Text typed into a drop-down combo that differs from the selected item means no selection.
    const int index = combo->currentIndex();
    if (index >= 0 && combo->isEditable() && combo->lineEdit() &&
        combo->lineEdit()->text() != combo->itemText(index))
        return CB_ERR;
    return index;
}

int CComboBox::SetCurSel(int nSelect)
{
    COMBO;
    if (!combo) return CB_ERR;
    const QuietScope quiet(combo);
    if (nSelect < 0 || nSelect >= combo->count()) {
        combo->setCurrentIndex(-1);
        if (combo->lineEdit()) combo->lineEdit()->clear();
        return CB_ERR;
    }
    combo->setCurrentIndex(nSelect);
    if (combo->lineEdit()) combo->lineEdit()->setText(combo->itemText(nSelect));
    return nSelect;
}

int CComboBox::GetLBText(int nIndex, LPTSTR lpszText) const
{
    COMBO;
    if (!combo || nIndex < 0 || nIndex >= combo->count()) return CB_ERR;
    return CopyOut(combo->itemText(nIndex), lpszText);
}

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    COMBO;
    rString = combo && nIndex >= 0 && nIndex < combo->count() ? FromQ(combo->itemText(nIndex)) : CString();
}

int CComboBox::GetLBTextLen(int nIndex) const
{
    return GetLBText(nIndex, nullptr);
}

DWORD_PTR CComboBox::GetItemData(int nIndex) const
{
    COMBO;
    if (!combo || nIndex < 0 || nIndex >= combo->count()) return static_cast<DWORD_PTR>(CB_ERR);
    return combo->itemData(nIndex, kDataRole).value<qulonglong>();
}

int CComboBox::SetItemData(int nIndex, DWORD_PTR dwItemData)
{
    COMBO;
    if (!combo || nIndex < 0 || nIndex >= combo->count()) return CB_ERR;
    combo->setItemData(nIndex, QVariant::fromValue<qulonglong>(dwItemData), kDataRole);
    return 0;
}

int CComboBox::FindString(int nStartAfter, LPCTSTR lpszString) const
{
    COMBO;
    if (!combo) return CB_ERR;
    return Find(combo->count(), nStartAfter, ToQ(lpszString), false,
                [&](int i) { return combo->itemText(i); });
}

int CComboBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const
{
    COMBO;
    if (!combo) return CB_ERR;
    return Find(combo->count(), nIndexStart, ToQ(lpszFind), true, [&](int i) { return combo->itemText(i); });
}

int CComboBox::SelectString(int nStartAfter, LPCTSTR lpszString)
{
    const int index = FindString(nStartAfter, lpszString);
    if (index == CB_ERR) return CB_ERR;
    return SetCurSel(index);
}

void CComboBox::LimitText(int nMaxChars)
{
    COMBO;
    if (combo && combo->lineEdit()) combo->lineEdit()->setMaxLength(nMaxChars <= 0 ? 32767 : nMaxChars);
}

void CComboBox::ShowDropDown(BOOL bShowIt)
{
    COMBO;
    if (!combo) return;
    if (bShowIt)
        combo->showPopup();
    else
        combo->hidePopup();
}

void CComboBox::ApplyWindowText(const CString& text)
{
    COMBO;
    if (!combo) return;
    const QuietScope quiet(combo);
    if (combo->lineEdit()) {
        combo->lineEdit()->setText(ToQ(text.c_str()));
    } else {
        // A drop-down list shows only its items: the text selects the item that has it.
        const int index = combo->findText(ToQ(text.c_str()), Qt::MatchFixedString);
        if (index >= 0) combo->setCurrentIndex(index);
    }
}

CString CComboBox::ReadWindowText() const
{
    COMBO;
    if (!combo) return CString();
    return FromQ(combo->lineEdit() ? combo->lineEdit()->text() : combo->currentText());
}

// --- list box -----------------------------------------------------------------------------------------
BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    return CWnd::Create(platform::ControlClass("ListBox"), nullptr, dwStyle, rect, pParentWnd, nID);
}

QWidget* CListBox::CreateWidget(const CREATESTRUCT& cs, QWidget* parentWidget)
{
    const DWORD style = static_cast<DWORD>(cs.style);
    auto* list = new QListWidget(parentWidget);
    list->setSelectionMode((style & LBS_EXTENDEDSEL)   ? QAbstractItemView::ExtendedSelection
                           : (style & LBS_MULTIPLESEL) ? QAbstractItemView::MultiSelection
                                                       : QAbstractItemView::SingleSelection);
    list->setFocusPolicy(Qt::StrongFocus);
    list->setFrameShape((style & WS_BORDER) ? QFrame::StyledPanel : QFrame::NoFrame);
    const HWND hwnd = m_hWnd;
    const bool notify = style & LBS_NOTIFY;
    QObject::connect(list, &QListWidget::itemSelectionChanged, list, [hwnd, list, notify] {
        if (Quiet(list) || !notify) return;
        if (CWnd* wnd = CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, LBN_SELCHANGE);
    });
    QObject::connect(list, &QListWidget::itemDoubleClicked, list, [hwnd, notify](QListWidgetItem*) {
        if (!notify) return;
        if (CWnd* wnd = CWnd::FromHandle(hwnd)) platform::NotifyParentCommand(wnd, LBN_DBLCLK);
    });
    return list;
}

#define LIST auto* list = static_cast<QListWidget*>(GetWidget())

int CListBox::AddString(LPCTSTR lpszItem)
{
    LIST;
    if (!list) return LB_ERR;
    const QString text = ToQ(lpszItem);
    int index = list->count();
    if (GetStyle() & LBS_SORT)
        index = SortedPosition(
            text, [&] { return list->count(); }, [&](int i) { return list->item(i)->text(); });
    const QuietScope quiet(list);
    list->insertItem(index, text);
    return index;
}

int CListBox::InsertString(int nIndex, LPCTSTR lpszItem)
{
    LIST;
    if (!list || nIndex > list->count()) return LB_ERR;
    const int index = nIndex < 0 ? list->count() : nIndex;
    const QuietScope quiet(list);
    list->insertItem(index, ToQ(lpszItem));
    return index;
}

int CListBox::DeleteString(UINT nIndex)
{
    LIST;
    if (!list || static_cast<int>(nIndex) >= list->count()) return LB_ERR;
    const QuietScope quiet(list);
    delete list->takeItem(static_cast<int>(nIndex));
    return list->count();
}

void CListBox::ResetContent()
{
    LIST;
    if (!list) return;
    const QuietScope quiet(list);
    list->clear();
}

int CListBox::GetCount() const
{
    LIST;
    return list ? list->count() : LB_ERR;
}

int CListBox::GetCurSel() const
{
    LIST;
    if (!list) return LB_ERR;
    const auto selected = list->selectedItems();
    if (list->selectionMode() != QAbstractItemView::SingleSelection) return list->currentRow();
    return selected.isEmpty() ? LB_ERR : list->row(selected.front());
}

int CListBox::SetCurSel(int nSelect)
{
    LIST;
    if (!list) return LB_ERR;
    const QuietScope quiet(list);
    if (nSelect < 0 || nSelect >= list->count()) {
        list->clearSelection();
        return nSelect == -1 ? LB_ERR : LB_ERR;
    }
    list->setCurrentRow(nSelect, QItemSelectionModel::ClearAndSelect);
    list->scrollToItem(list->item(nSelect));
    return nSelect;
}

int CListBox::GetText(int nIndex, LPTSTR lpszBuffer) const
{
    LIST;
    if (!list || nIndex < 0 || nIndex >= list->count()) return LB_ERR;
    return CopyOut(list->item(nIndex)->text(), lpszBuffer);
}

void CListBox::GetText(int nIndex, CString& rString) const
{
    LIST;
    rString = list && nIndex >= 0 && nIndex < list->count() ? FromQ(list->item(nIndex)->text()) : CString();
}

int CListBox::GetTextLen(int nIndex) const
{
    return GetText(nIndex, nullptr);
}

DWORD_PTR CListBox::GetItemData(int nIndex) const
{
    LIST;
    if (!list || nIndex < 0 || nIndex >= list->count()) return static_cast<DWORD_PTR>(LB_ERR);
    return list->item(nIndex)->data(kDataRole).value<qulonglong>();
}

int CListBox::SetItemData(int nIndex, DWORD_PTR dwItemData)
{
    LIST;
    if (!list || nIndex < 0 || nIndex >= list->count()) return LB_ERR;
    list->item(nIndex)->setData(kDataRole, QVariant::fromValue<qulonglong>(dwItemData));
    return 0;
}

int CListBox::FindString(int nStartAfter, LPCTSTR lpszItem) const
{
    LIST;
    if (!list) return LB_ERR;
    return Find(list->count(), nStartAfter, ToQ(lpszItem), false,
                [&](int i) { return list->item(i)->text(); });
}

int CListBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const
{
    LIST;
    if (!list) return LB_ERR;
    return Find(list->count(), nIndexStart, ToQ(lpszFind), true,
                [&](int i) { return list->item(i)->text(); });
}

int CListBox::SelectString(int nStartAfter, LPCTSTR lpszItem)
{
    const int index = FindString(nStartAfter, lpszItem);
    return index == LB_ERR ? LB_ERR : SetCurSel(index);
}

int CListBox::GetSel(int nIndex) const
{
    LIST;
    if (!list || nIndex < 0 || nIndex >= list->count()) return LB_ERR;
    return list->item(nIndex)->isSelected() ? 1 : 0;
}

int CListBox::SetSel(int nIndex, BOOL bSelect)
{
    LIST;
    if (!list || nIndex >= list->count()) return LB_ERR;
    const QuietScope quiet(list);
    if (nIndex < 0) {
        for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(bSelect);
    } else {
        list->item(nIndex)->setSelected(bSelect);
    }
    return 0;
}

int CListBox::GetSelCount() const
{
    LIST;
    return list ? static_cast<int>(list->selectedItems().size()) : LB_ERR;
}

int CListBox::GetTopIndex() const
{
    LIST;
    if (!list) return LB_ERR;
    const int row = list->row(list->itemAt(1, 1));
    return row < 0 ? 0 : row;
}

int CListBox::SetTopIndex(int nIndex)
{
    LIST;
    if (!list || nIndex < 0 || nIndex >= list->count()) return LB_ERR;
    list->scrollToItem(list->item(nIndex), QAbstractItemView::PositionAtTop);
    return 0;
}
