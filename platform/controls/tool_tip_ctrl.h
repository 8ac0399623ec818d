#pragma once

// CToolTipCtrl: tips for tools, each a window or a rectangle of a window. The owner hands its
// mouse messages to RelayEvent; a move over a tool shows that tool's tip while the control is
// active. A tool that is a whole window also carries its text as the widget's own tip.

#include <vector>

#include "platform/window/wnd.h"

constexpr DWORD TTS_ALWAYSTIP = 0x01;
constexpr DWORD TTS_NOPREFIX = 0x02;

constexpr UINT TTF_IDISHWND = 0x0001;
constexpr UINT TTF_SUBCLASS = 0x0010;

class PLATFORM_API CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);

    /// A tool over the whole of pWnd (lpRectTool null) or over a rectangle of it (client
    /// coordinates), named by nIDTool.
    BOOL AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    BOOL AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0);
    void DelTool(CWnd* pWnd, UINT_PTR nIDTool = 0);
    void UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0);
    void GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool = 0) const;
    void SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect);
    int GetToolCount() const { return static_cast<int>(m_tools.size()); }
    void Activate(BOOL bActivate);
    void RelayEvent(LPMSG lpMsg);
    int SetMaxTipWidth(int iWidth);
    void SetDelayTime(UINT nDelay) { m_delay = nDelay; }
    void Pop();
    /// The text of the tip showing now (empty when none is).
    CString GetShownText() const { return m_shown; }

private:
    struct Tool {
        HWND hwnd;
        UINT_PTR id;
        bool wholeWindow;
        CRect rect;
        CString text;
    };
    Tool* Find(CWnd* pWnd, UINT_PTR nIDTool);
    const Tool* Find(CWnd* pWnd, UINT_PTR nIDTool) const;
    std::vector<Tool> m_tools;
    bool m_active = true;
    int m_maxWidth = -1;
    UINT m_delay = 0;
    CString m_shown;
};
