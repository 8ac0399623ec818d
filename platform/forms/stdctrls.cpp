#include "platform/forms/stdctrls.h"

#include <algorithm>

#include "platform/controls/button.h"
#include "platform/controls/edit.h"
#include "platform/controls/list_controls.h"
#include "platform/controls/static_ctrl.h"
#include "platform/forms/format.h"
#include "platform/forms/forms.h"
#include "platform/gdi/dc.h"
#include "platform/shell/clipboard.h"

IMPLEMENT_TCLASS(TLabel, TGraphicControl)
IMPLEMENT_TCLASS(TStaticText, TWinControl)
IMPLEMENT_TCLASS(TEdit, TWinControl)
IMPLEMENT_TCLASS(TMemo, TEdit)
IMPLEMENT_TCLASS(TButton, TWinControl)
IMPLEMENT_TCLASS(TCheckBox, TButton)
IMPLEMENT_TCLASS(TGroupBox, TCustomControl)
IMPLEMENT_TCLASS(TRadioGroup, TGroupBox)
IMPLEMENT_TCLASS(TComboBox, TWinControl)
IMPLEMENT_TCLASS(TListBox, TWinControl)

namespace {

template <class T>
T* WindowAs(CWnd* window)
{
    return static_cast<T*>(window);
}

TAlignment ReadAlignment(std::string_view value)
{
    return static_cast<TAlignment>(PropertyEnum(value, {"taLeftJustify", "taRightJustify", "taCenter"}));
}

/// The form a control sits on (null when none).
TForm* ParentForm(TControl* control)
{
    for (TControl* c = control; c; c = c->Parent())
        if (auto* form = ObjectAs<TForm>(c)) return form;
    return nullptr;
}

std::vector<std::string> ItemsOf(const TControlResource& record)
{
    return std::vector<std::string>(record.items.begin(), record.items.end());
}

}  // namespace

// --- TLabel ---------------------------------------------------------------------------------------------
void TLabel::Create(void* owner)
{
    TGraphicControl::Create(owner);
    m_clickEvents = true;
    SetBounds(0, 0, 65, 13);
}

void TLabel::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    Invalidate();
}

void TLabel::SetAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    AdjustSize();
}

void TLabel::SetTransparent(bool transparent)
{
    m_transparent = transparent;
    Invalidate();
}

void TLabel::SetWordWrap(bool wordWrap)
{
    m_wordWrap = wordWrap;
    AdjustSize();
    Invalidate();
}

void TLabel::TextChanged()
{
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged()
{
    AdjustSize();
    Invalidate();
}

void TLabel::AdjustSize()
{
    if (!m_autoSize || m_wordWrap) return;
    CDC dc;
    if (!dc.CreateCompatibleDC(nullptr)) return;
    HGDIOBJ previous = SelectObject(dc.GetSafeHdc(), Font()->Handle());
    const std::string text = Caption().empty() ? std::string(" ") : Caption();
    const CSize size = dc.GetTextExtent(text.c_str(), static_cast<int>(text.size()));
    SelectObject(dc.GetSafeHdc(), previous);
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TLabel::Paint()
{
    TCanvas* canvas = Canvas();
    CRect rect = ClientRect();
    if (!m_transparent) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(rect);
    }
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(Font());
    UINT format = DT_NOPREFIX | (m_wordWrap ? DT_WORDBREAK : DT_SINGLELINE);
    format |= m_alignment == taCenter ? DT_CENTER : m_alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
    if (!Enabled()) {
        CRect shifted = rect;
        shifted.OffsetRect(1, 1);
        canvas->Font()->SetColor(clBtnHighlight);
        canvas->DrawText(Caption(), shifted, format);
        canvas->Font()->SetColor(clBtnShadow);
    }
    canvas->DrawText(Caption(), rect, format);
}

bool TLabel::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Alignment"))
        SetAlignment(ReadAlignment(value));
    else if (SameText(name, "AutoSize"))
        SetAutoSize(PropertyBool(value));
    else if (SameText(name, "Transparent"))
        SetTransparent(PropertyBool(value));
    else if (SameText(name, "WordWrap"))
        SetWordWrap(PropertyBool(value));
    else
        return TGraphicControl::SetProperty(name, value, form);
    return true;
}

// --- TStaticText ---------------------------------------------------------------------------------------
void TStaticText::Create(void* owner)
{
    TWinControl::Create(owner);
    SetTabStop(false);
    SetBounds(0, 0, 65, 17);
}

void TStaticText::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    RecreateWnd();
}

void TStaticText::SetBorderStyle(TStaticBorderStyle border)
{
    m_border = border;
    RecreateWnd();
}

std::unique_ptr<CWnd> TStaticText::MakeWindow()
{
    return std::make_unique<TControlWindow<CStatic>>(this);
}

BOOL TStaticText::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CStatic>(&window)->Create(TControl::Caption().c_str(), style, bounds, parentWindow, id);
}

DWORD TStaticText::WindowStyle() const
{
    DWORD style = TWinControl::WindowStyle() & ~WS_TABSTOP;
    style |= m_alignment == taCenter ? SS_CENTER : m_alignment == taRightJustify ? SS_RIGHT : SS_LEFT;
    if (m_border == sbsSingle) style |= WS_BORDER;
    if (m_border == sbsSunken) style |= SS_SUNKEN;
    return style | SS_NOPREFIX;
}

void TStaticText::WndProc(TMessage& message)
{
    if (message.Msg == WM_NCHITTEST) {
        message.Result = static_cast<LRESULT>(HTTRANSPARENT);
        return;
    }
    TWinControl::WndProc(message);
}

bool TStaticText::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Alignment"))
        SetAlignment(ReadAlignment(value));
    else if (SameText(name, "BorderStyle"))
        SetBorderStyle(
            static_cast<TStaticBorderStyle>(PropertyEnum(value, {"sbsNone", "sbsSingle", "sbsSunken"})));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

// --- TEdit ------------------------------------------------------------------------------------------------
void TEdit::Create(void* owner)
{
    TWinControl::Create(owner);
    SetColor(clWindow);
    SetBounds(0, 0, 121, 21);
}

std::unique_ptr<CWnd> TEdit::MakeWindow()
{
    return std::make_unique<TControlWindow<CEdit>>(this);
}

DWORD TEdit::EditStyle() const
{
    return ES_AUTOHSCROLL;
}

DWORD TEdit::WindowStyle() const
{
    return TWinControl::WindowStyle() | WS_BORDER | EditStyle() | (m_readOnly ? ES_READONLY : 0);
}

BOOL TEdit::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CEdit>(&window)->Create(style, bounds, parentWindow, id);
}

void TEdit::WindowCreated()
{
    auto* edit = WindowAs<CEdit>(m_window);
    edit->SetWindowText(TControl::Caption().c_str());
    edit->SetLimitText(static_cast<UINT>(m_maxLength));
}

void TEdit::SetMaxLength(int length)
{
    m_maxLength = std::max(length, 0);
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->SetLimitText(static_cast<UINT>(m_maxLength));
}

void TEdit::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->SetReadOnly(readOnly);
}

int TEdit::SelStart() const
{
    int start = 0, end = 0;
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->GetSel(start, end);
    return start;
}

int TEdit::SelLength() const
{
    int start = 0, end = 0;
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->GetSel(start, end);
    return end - start;
}

void TEdit::SetSelStart(int start)
{
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->SetSel(start, start);
}

void TEdit::SetSelLength(int length)
{
    const int start = SelStart();
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->SetSel(start, start + length);
}

void TEdit::SelectAll()
{
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->SetSel(0, -1);
}

void TEdit::SetSelText(const std::string& text)
{
    if (HandleAllocated()) WindowAs<CEdit>(m_window)->ReplaceSel(text.c_str());
}

void TEdit::TypeText(std::string_view text)
{
    const HWND hwnd = Handle();
    for (char c : text) {
        if (c == '\r') continue;  // a line end types as one character
        if (!IsWindow(hwnd)) return;
        char key = c == '\n' && !(EditStyle() & ES_MULTILINE) ? '\0' : c;
        if (key) KeyPress(key);
        if (key == '\b') {
            // A backspace in pasted text deletes, as typed.
            int start = 0, end = 0;
            WindowAs<CEdit>(m_window)->GetSel(start, end);
            if (start == end && start > 0) WindowAs<CEdit>(m_window)->SetSel(start - 1, end);
            WindowAs<CEdit>(m_window)->ReplaceSel("");
        } else if (key) {
            const char one[2] = {key, '\0'};
            WindowAs<CEdit>(m_window)->ReplaceSel(one);
        }
    }
}

void TEdit::PasteFromClipboard()
{
    if (!HandleAllocated() || m_readOnly) return;
    TypeText(std::string(platform::ClipboardText().c_str()));
}

void TEdit::Change()
{
    if (OnChange) OnChange(this);
}

void TEdit::WndProc(TMessage& message)
{
    switch (message.Msg) {
        case CN_WMCOMMAND:
            if (HIWORD(message.WParam) == EN_CHANGE) Change();
            message.Result = 0;
            return;
        case WM_PASTE:
            // A paste obeys the key rule as typing does.
            PasteFromClipboard();
            return;
        case WM_KEYDOWN:
            if (message.WParam == VK_INSERT && (KeyShiftState() & ssShift)) {
                PasteFromClipboard();
                return;
            }
            break;
        case WM_CHAR: {
            if (message.WParam == 0x16) {  // Ctrl+V
                PasteFromClipboard();
                return;
            }
            const char typed = static_cast<char>(message.WParam);
            char key = typed;
            KeyPress(key);
            if (key == 0) return;
            if (key != typed) {
                // Changed by the rule: the field gets the new character instead.
                const char one[2] = {key, '\0'};
                if (HandleAllocated()) WindowAs<CEdit>(m_window)->ReplaceSel(one);
                return;
            }
            DefaultHandler(message);
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(message);
}

bool TEdit::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "MaxLength"))
        SetMaxLength(PropertyInt(value));
    else if (SameText(name, "ReadOnly"))
        SetReadOnly(PropertyBool(value));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

bool TEdit::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange")) {
        OnChange = handler.As<TNotifyEvent>(name);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

// --- TMemo -------------------------------------------------------------------------------------------------
DWORD TMemo::EditStyle() const
{
    DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (!m_wordWrap || m_scrollBars == ssHorizontal || m_scrollBars == ssBoth) style |= ES_AUTOHSCROLL;
    if (m_scrollBars == ssVertical || m_scrollBars == ssBoth) style |= WS_VSCROLL;
    return style;
}

std::vector<std::string> TMemo::Lines() const
{
    std::vector<std::string> lines;
    const std::string text = Caption();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

int TMemo::LineCount() const
{
    return static_cast<int>(Lines().size());
}

std::string TMemo::Line(int index) const
{
    const std::vector<std::string> lines = Lines();
    return index >= 0 && index < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(index)]
                                                                : std::string();
}

void TMemo::SetLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    SetCaption(text);
}

void TMemo::AddLine(const std::string& line)
{
    std::vector<std::string> lines = Lines();
    lines.push_back(line);
    SetLines(lines);
}

void TMemo::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TEdit::ReadLayout(rest);
    if (!record.items.empty()) SetLines(ItemsOf(record));
}

bool TMemo::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ScrollBars"))
        SetScrollBars(static_cast<TScrollStyle>(
            PropertyEnum(value, {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"})));
    else if (SameText(name, "WordWrap"))
        SetWordWrap(PropertyBool(value));
    else
        return TEdit::SetProperty(name, value, form);
    return true;
}

// --- TButton --------------------------------------------------------------------------------------------
std::unique_ptr<CWnd> TButton::MakeWindow()
{
    return std::make_unique<TControlWindow<CButton>>(this);
}

DWORD TButton::WindowStyle() const
{
    return TWinControl::WindowStyle() | (m_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

BOOL TButton::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CButton>(&window)->Create(TControl::Caption().c_str(), style, bounds, parentWindow, id);
}

void TButton::Click()
{
    TControl::Click();
    if (m_modalResult != mrNone)
        if (TForm* form = ParentForm(this)) form->SetModalResult(m_modalResult);
}

void TButton::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMCOMMAND) {
        if (HIWORD(message.WParam) == BN_CLICKED) Click();
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

bool TButton::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ModalResult"))
        SetModalResult(PropertyEnum(
            value, {"mrNone", "mrOk", "mrCancel", "mrAbort", "mrRetry", "mrIgnore", "mrYes", "mrNo"}));
    else if (SameText(name, "Default"))
        SetDefault(PropertyBool(value));
    else
        return TWinControl::SetProperty(name, value, form);
    return true;
}

// --- TCheckBox ---------------------------------------------------------------------------------------------
DWORD TCheckBox::WindowStyle() const
{
    return TWinControl::WindowStyle() | BS_AUTOCHECKBOX;
}

void TCheckBox::WindowCreated()
{
    WindowAs<CButton>(m_window)->SetCheck(m_checked ? BST_CHECKED : BST_UNCHECKED);
}

bool TCheckBox::Checked() const
{
    if (HandleAllocated()) return WindowAs<CButton>(m_window)->GetCheck() == BST_CHECKED;
    return m_checked;
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == Checked()) return;
    m_checked = checked;
    if (HandleAllocated()) WindowAs<CButton>(m_window)->SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
    Click();
}

void TCheckBox::Click()
{
    m_checked = Checked();
    TControl::Click();
}

void TCheckBox::WndProc(TMessage& message)
{
    TButton::WndProc(message);
}

void TCheckBox::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.checked = false;
    TButton::ReadLayout(rest);
    m_checked = record.checked;
}

bool TCheckBox::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "Checked")) {
        SetChecked(PropertyBool(value));
        return true;
    }
    return TButton::SetProperty(name, value, form);
}

// --- TGroupBox ---------------------------------------------------------------------------------------------
int TGroupBox::FrameTop()
{
    return Canvas()->TextHeight("0") / 2;
}

CRect TGroupBox::ClientRect() const
{
    CRect client = TCustomControl::ClientRect();
    const int text = std::max(-Font()->Height(), 8) + 4;
    client.DeflateRect(2, text, 2, 2);
    return client;
}

void TGroupBox::Paint()
{
    TCanvas* canvas = Canvas();
    const CRect whole = TCustomControl::ClientRect();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(whole);
    canvas->Font()->Assign(Font());
    const int top = FrameTop();
    CRect frame(0, top, whole.right, whole.bottom);
    // The etched frame: a shadow line with a highlight below and right of it.
    CDC* dc = canvas->Dc();
    if (!dc) return;
    CRect outer = frame;
    outer.DeflateRect(0, 0, 1, 1);
    dc->Draw3dRect(&outer, ColorToRGB(clBtnShadow), ColorToRGB(clBtnShadow));
    CRect inner = frame;
    inner.DeflateRect(1, 1, 0, 0);
    dc->Draw3dRect(&inner, ColorToRGB(clBtnHighlight), ColorToRGB(clBtnHighlight));
    const std::string caption = Caption();
    if (!caption.empty()) {
        const CSize size = canvas->TextExtent(caption);
        canvas->Brush()->SetColor(Color());
        CRect text(8, 0, 8 + size.cx, size.cy);
        canvas->FillRect(text);
        canvas->Brush()->SetStyle(bsClear);
        if (!Enabled()) canvas->Font()->SetColor(clGrayText);
        canvas->DrawText(caption, text, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT);
    }
}

// --- TRadioGroup -----------------------------------------------------------------------------------------
void TRadioGroup::BeforeDestruction()
{
    for (auto& button : m_buttons)
        if (button->GetSafeHwnd()) button->DestroyWindow();
    m_buttons.clear();
    TGroupBox::BeforeDestruction();
}

void TRadioGroup::SetItems(const std::vector<std::string>& items)
{
    m_items = items;
    if (m_itemIndex >= Count()) m_itemIndex = -1;
    MakeButtons();
}

void TRadioGroup::SetColumns(int columns)
{
    m_columns = std::clamp(columns, 1, 16);
    ArrangeButtons();
}

void TRadioGroup::WindowCreated()
{
    MakeButtons();
}

void TRadioGroup::MakeButtons()
{
    for (auto& button : m_buttons)
        if (button->GetSafeHwnd()) button->DestroyWindow();
    m_buttons.clear();
    if (!HandleAllocated()) return;
    for (int i = 0; i < Count(); ++i) {
        auto button = std::make_unique<CButton>();
        const DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON |
                            (i == 0 ? WS_GROUP | WS_TABSTOP : 0) | (Enabled() ? 0 : WS_DISABLED);
        button->Create(Item(i).c_str(), style, CRect(0, 0, 10, 10), m_window, static_cast<UINT>(100 + i));
        button->SetFont(Font()->WindowFont(), FALSE);
        button->SetCheck(i == m_itemIndex ? BST_CHECKED : BST_UNCHECKED);
        m_buttons.push_back(std::move(button));
    }
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons()
{
    if (m_buttons.empty()) return;
    const int perColumn = (Count() + m_columns - 1) / m_columns;
    const int textHeight = std::max(-Font()->Height(), 8) + 2;
    const int buttonWidth = (Width() - 10) / m_columns;
    const int room = Height() - textHeight - 5;
    const int buttonHeight = std::max(room / perColumn, 1);
    const int topMargin = textHeight + 1 + (room % perColumn) / 2;
    for (int i = 0; i < Count(); ++i) {
        const int column = i / perColumn, row = i % perColumn;
        m_buttons[static_cast<std::size_t>(i)]->MoveWindow(
            column * buttonWidth + 8, row * buttonHeight + topMargin, buttonWidth, buttonHeight);
    }
}

void TRadioGroup::Resize()
{
    ArrangeButtons();
    TGroupBox::Resize();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1 || index >= Count()) index = -1;
    if (index == m_itemIndex) return;
    m_itemIndex = index;
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        static_cast<CButton*>(m_buttons[i].get())
            ->SetCheck(static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED);
    Click();
}

void TRadioGroup::WndProc(TMessage& message)
{
    if (message.Msg == WM_COMMAND && HIWORD(message.WParam) == BN_CLICKED) {
        const HWND from = reinterpret_cast<HWND>(message.LParam);
        for (std::size_t i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons[i]->GetSafeHwnd() != from) continue;
            if (m_itemIndex != static_cast<int>(i)) {
                m_itemIndex = static_cast<int>(i);
                Click();
            }
            return;
        }
    }
    TGroupBox::WndProc(message);
}

void TRadioGroup::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TGroupBox::ReadLayout(rest);
    SetItems(ItemsOf(record));
}

bool TRadioGroup::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ItemIndex")) {
        m_itemIndex = std::clamp(PropertyInt(value), -1, Count() - 1);
        MakeButtons();
    } else if (SameText(name, "Columns")) {
        SetColumns(PropertyInt(value));
    } else {
        return TGroupBox::SetProperty(name, value, form);
    }
    return true;
}

// --- TComboBox ---------------------------------------------------------------------------------------------
std::unique_ptr<CWnd> TComboBox::MakeWindow()
{
    return std::make_unique<TControlWindow<CComboBox>>(this);
}

DWORD TComboBox::WindowStyle() const
{
    return TWinControl::WindowStyle() | CBS_DROPDOWNLIST;
}

BOOL TComboBox::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CComboBox>(&window)->Create(style, bounds, parentWindow, id);
}

void TComboBox::WindowCreated()
{
    auto* combo = WindowAs<CComboBox>(m_window);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        combo->AddString(m_items[i].first.c_str());
        combo->SetItemData(static_cast<int>(i), reinterpret_cast<DWORD_PTR>(m_items[i].second));
    }
    combo->SetCurSel(m_itemIndex);
}

int TComboBox::ItemIndex() const
{
    return HandleAllocated() ? WindowAs<CComboBox>(m_window)->GetCurSel() : m_itemIndex;
}

void TComboBox::SetItemIndex(int index)
{
    m_itemIndex = index >= 0 && index < Count() ? index : -1;
    if (HandleAllocated()) WindowAs<CComboBox>(m_window)->SetCurSel(m_itemIndex);
}

int TComboBox::Count() const
{
    return static_cast<int>(m_items.size());
}

std::string TComboBox::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].first : std::string();
}

TObject* TComboBox::ItemObject(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].second : nullptr;
}

int TComboBox::AddItem(const std::string& text, TObject* object)
{
    m_items.emplace_back(text, object);
    const int index = Count() - 1;
    if (HandleAllocated()) {
        WindowAs<CComboBox>(m_window)->AddString(text.c_str());
        WindowAs<CComboBox>(m_window)->SetItemData(index, reinterpret_cast<DWORD_PTR>(object));
    }
    return index;
}

void TComboBox::Clear()
{
    m_items.clear();
    m_itemIndex = -1;
    if (HandleAllocated()) WindowAs<CComboBox>(m_window)->ResetContent();
}

void TComboBox::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMCOMMAND) {
        if (HIWORD(message.WParam) == CBN_SELCHANGE) {
            m_itemIndex = ItemIndex();
            if (OnChange) OnChange(this);
        }
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

void TComboBox::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TWinControl::ReadLayout(rest);
    for (const char* item : record.items) AddItem(item);
}

bool TComboBox::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    if (SameText(name, "ItemIndex")) {
        SetItemIndex(PropertyInt(value));
        return true;
    }
    if (SameText(name, "Style")) return PropertyEnum(value, {"csDropDownList"}) == 0;
    return TWinControl::SetProperty(name, value, form);
}

bool TComboBox::SetEvent(std::string_view name, const THandler& handler)
{
    if (SameText(name, "OnChange")) {
        OnChange = handler.As<TNotifyEvent>(name);
        return true;
    }
    return TWinControl::SetEvent(name, handler);
}

// --- TListBox ----------------------------------------------------------------------------------------------
std::unique_ptr<CWnd> TListBox::MakeWindow()
{
    return std::make_unique<TControlWindow<CListBox>>(this);
}

DWORD TListBox::WindowStyle() const
{
    return TWinControl::WindowStyle() | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
}

BOOL TListBox::CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id)
{
    return WindowAs<CListBox>(&window)->Create(style, bounds, parentWindow, id);
}

void TListBox::WindowCreated()
{
    auto* list = WindowAs<CListBox>(m_window);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        list->AddString(m_items[i].first.c_str());
        list->SetItemData(static_cast<int>(i), reinterpret_cast<DWORD_PTR>(m_items[i].second));
    }
    list->SetCurSel(m_itemIndex);
}

int TListBox::ItemIndex() const
{
    return HandleAllocated() ? WindowAs<CListBox>(m_window)->GetCurSel() : m_itemIndex;
}

void TListBox::SetItemIndex(int index)
{
    m_itemIndex = index >= 0 && index < Count() ? index : -1;
    if (HandleAllocated()) WindowAs<CListBox>(m_window)->SetCurSel(m_itemIndex);
}

int TListBox::Count() const
{
    return static_cast<int>(m_items.size());
}

std::string TListBox::Item(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].first : std::string();
}

TObject* TListBox::ItemObject(int index) const
{
    return index >= 0 && index < Count() ? m_items[static_cast<std::size_t>(index)].second : nullptr;
}

int TListBox::AddItem(const std::string& text, TObject* object)
{
    m_items.emplace_back(text, object);
    const int index = Count() - 1;
    if (HandleAllocated()) {
        WindowAs<CListBox>(m_window)->AddString(text.c_str());
        WindowAs<CListBox>(m_window)->SetItemData(index, reinterpret_cast<DWORD_PTR>(object));
    }
    return index;
}

void TListBox::Clear()
{
    m_items.clear();
    m_itemIndex = -1;
    if (HandleAllocated()) WindowAs<CListBox>(m_window)->ResetContent();
}

void TListBox::WndProc(TMessage& message)
{
    if (message.Msg == CN_WMCOMMAND) {
        const UINT code = HIWORD(message.WParam);
        if (code == LBN_SELCHANGE) {
            m_itemIndex = ItemIndex();
            Click();
        } else if (code == LBN_DBLCLK) {
            DblClick();
        }
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

void TListBox::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TWinControl::ReadLayout(rest);
    for (const char* item : record.items) AddItem(item);
}
