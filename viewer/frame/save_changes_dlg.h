#pragma once

// The question a viewer asks before it closes with changes pending: one checked line per
// pending change, and Yes, No and Cancel. Yes keeps the lines the user left checked.

#include <vector>

#include "platform/cstring.h"
#include "platform/dialogs/dialog.h"

/// The dialog's template and its list.
inline constexpr UINT IDD_SAVE_CHANGES = 239;
inline constexpr int IDC_SAVE_CHANGES_LIST = 2300;
inline constexpr int IDC_SAVE_CHANGES_TEXT = 2301;

/// Line ids, one per kind of change.
enum : int { kChangePalette = 0, kChangeLogicalCoords = 1, kChangeProperties = 2, kChangeData = 3 };

class CSaveChangesDlg : public CDialog {
public:
    struct Line {
        int id;
        CString text;
        bool checked;
    };

    explicit CSaveChangesDlg(CWnd* parent = nullptr);
    /// Adds a line; every line starts checked.
    void AddLine(int id, const CString& text);
    void SetQuestion(const CString& question) { m_question = question; }
    void SetCaption(const CString& caption) { m_caption = caption; }
    /// Whether the line with `id` was checked when the user pressed Yes.
    bool IsChecked(int id) const;
    const std::vector<Line>& Lines() const { return m_lines; }

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Line> m_lines;
    CString m_question;
    CString m_caption;
};
