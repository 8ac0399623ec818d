#pragma once

// The standard controls of the class library: labels, static texts, edits, memos, buttons,
// check boxes, group boxes, radio groups, combo boxes and list boxes, each over the
// platform's own control where there is one.

#include <string>
#include <vector>

#include "platform/forms/controls.h"

class TStringList;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

/// A text drawn on its parent (no window): it lets the mouse through to the parent's caption.
class PLATFORM_API TLabel : public TGraphicControl {
    DECLARE_TCLASS(TLabel)

    void Create(void* owner) override;
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    /// Sizes the label to its text (on by default).
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool autoSize);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool transparent);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wordWrap);
    void Paint() override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TLabel() = default;
    void TextChanged() override;
    void FontChanged() override;
    void AdjustSize();

private:
    TAlignment m_alignment = taLeftJustify;
    bool m_autoSize = true;
    bool m_transparent = false;
    bool m_wordWrap = false;
};

enum TStaticBorderStyle { sbsNone, sbsSingle, sbsSunken };

/// A text in a window of its own (the platform's static control). The mouse passes through
/// it to the parent (a press on it moves a form whose client answers HTCAPTION).
class PLATFORM_API TStaticText : public TWinControl {
    DECLARE_TCLASS(TStaticText)

    void Create(void* owner) override;
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TStaticBorderStyle BorderStyle() const { return m_border; }
    void SetBorderStyle(TStaticBorderStyle border);
    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TStaticText() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;

private:
    TAlignment m_alignment = taLeftJustify;
    TStaticBorderStyle m_border = sbsNone;
};

/// A one-line text field. OnKeyPress sees each typed character and may drop it (set it to
/// 0) or change it; a pasted text goes through the same rule character by character.
class PLATFORM_API TEdit : public TWinControl {
    DECLARE_TCLASS(TEdit)

    void Create(void* owner) override;
    TNotifyEvent OnChange;
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int start);
    void SetSelLength(int length);
    void SelectAll();
    /// Replaces the selection with text (no key rule applies: the program's own text).
    void SetSelText(const std::string& text);
    /// Pastes the clipboard's text as if each character were typed.
    void PasteFromClipboard();
    /// Inserts text as if its characters were typed one by one (each through OnKeyPress).
    void TypeText(std::string_view text);
    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TEdit() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;
    virtual void Change();
    /// Style bits of the platform's edit for this class.
    virtual DWORD EditStyle() const;

private:
    int m_maxLength = 0;
    bool m_readOnly = false;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

/// A text field of several lines.
class PLATFORM_API TMemo : public TEdit {
    DECLARE_TCLASS(TMemo)

    int LineCount() const;
    std::string Line(int index) const;
    void AddLine(const std::string& line);
    /// The lines as a list (a copy).
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    TScrollStyle ScrollBars() const { return m_scrollBars; }
    void SetScrollBars(TScrollStyle bars) { m_scrollBars = bars; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool wordWrap) { m_wordWrap = wordWrap; }
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TMemo() = default;
    DWORD EditStyle() const override;

private:
    TScrollStyle m_scrollBars = ssNone;
    bool m_wordWrap = true;
};

/// A push button; a ModalResult other than mrNone sets the form's result when it is clicked.
class PLATFORM_API TButton : public TWinControl {
    DECLARE_TCLASS(TButton)

    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }
    bool Default() const { return m_default; }
    void SetDefault(bool isDefault) { m_default = isDefault; }
    /// As a user's click: OnClick, then the form's modal result.
    void Click() override;
    void WndProc(TMessage& message) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TButton() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;

private:
    int m_modalResult = 0;
    bool m_default = false;
};

/// A check box; a click toggles it and runs OnClick, as setting Checked by program does.
class PLATFORM_API TCheckBox : public TButton {
    DECLARE_TCLASS(TCheckBox)

    bool Checked() const;
    void SetChecked(bool checked);
    void Click() override;
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TCheckBox() = default;
    DWORD WindowStyle() const override;
    void WindowCreated() override;

private:
    bool m_checked = false;
};

/// A frame with a caption around other controls.
class PLATFORM_API TGroupBox : public TCustomControl {
    DECLARE_TCLASS(TGroupBox)

    CRect ClientRect() const override;

protected:
    TGroupBox() = default;
    void Paint() override;
    /// The top of the area inside the frame.
    int FrameTop();
};

/// A group box of radio buttons, one per item; ItemIndex is the checked one (-1: none).
class PLATFORM_API TRadioGroup : public TGroupBox {
    DECLARE_TCLASS(TRadioGroup)

    int ItemIndex() const { return m_itemIndex; }
    /// Checks item index (-1: none) and runs OnClick when it changes.
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(m_items.size()); }
    const std::string& Item(int index) const { return m_items.at(static_cast<std::size_t>(index)); }
    void SetItems(const std::vector<std::string>& items);
    int Columns() const { return m_columns; }
    void SetColumns(int columns);
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    void BeforeDestruction() override;

protected:
    TRadioGroup() = default;
    void WindowCreated() override;
    void Resize() override;

private:
    void MakeButtons();
    void ArrangeButtons();

    std::vector<std::string> m_items;
    std::vector<std::unique_ptr<CWnd>> m_buttons;
    int m_itemIndex = -1;
    int m_columns = 1;
};

/// A drop-down list of items with an object per item (the platform's combo box).
class PLATFORM_API TComboBox : public TWinControl {
    DECLARE_TCLASS(TComboBox)

    int ItemIndex() const;
    /// Selects item index (-1: none); no OnChange, as for the program's changes.
    void SetItemIndex(int index);
    int Count() const;
    std::string Item(int index) const;
    int AddItem(const std::string& text, TObject* object = nullptr);
    void Clear();
    TObject* ItemObject(int index) const;
    TNotifyEvent OnChange;
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;
    bool SetEvent(std::string_view name, const THandler& handler) override;

protected:
    TComboBox() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;

private:
    std::vector<std::pair<std::string, TObject*>> m_items;  ///< kept until the window exists
    int m_itemIndex = -1;
};

/// A list of items with an object per item (the platform's list box).
class PLATFORM_API TListBox : public TWinControl {
    DECLARE_TCLASS(TListBox)

    int ItemIndex() const;
    /// Selects item index (-1: none); no OnClick, as for the program's changes.
    void SetItemIndex(int index);
    int Count() const;
    std::string Item(int index) const;
    int AddItem(const std::string& text, TObject* object = nullptr);
    void Clear();
    TObject* ItemObject(int index) const;
    void WndProc(TMessage& message) override;
    void ReadLayout(const TControlResource& record) override;

protected:
    TListBox() = default;
    std::unique_ptr<CWnd> MakeWindow() override;
    BOOL CreateWindowOf(CWnd& window, CWnd* parentWindow, DWORD style, const CRect& bounds, UINT id) override;
    DWORD WindowStyle() const override;
    void WindowCreated() override;

private:
    std::vector<std::pair<std::string, TObject*>> m_items;  ///< kept until the window exists
    int m_itemIndex = -1;
};
