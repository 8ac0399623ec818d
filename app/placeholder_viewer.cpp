#include "app/placeholder_viewer.h"

#include "platform/gdi/window_dc.h"
#include "platform/window/wnd.h"

namespace {

int g_openPlaceholders = 0;

class CPlaceholderViewer : public CWnd {
public:
    explicit CPlaceholderViewer(const char* fileName) : m_fileName(fileName ? fileName : "")
    {
        ++g_openPlaceholders;
    }
    ~CPlaceholderViewer() override { --g_openPlaceholders; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == ViewerControlMessage()) {
            switch (static_cast<int>(wParam)) {
                case kViewerClose:
                    DestroyWindow();
                    return 0;
                case kViewerMinimize:
                    ShowWindow(SW_MINIMIZE);
                    return 0;
                case kViewerRestore:
                    ShowWindow(SW_RESTORE);
                    return 0;
                case kViewerMaximize:
                    ShowWindow(SW_MAXIMIZE);
                    return 0;
                case kViewerShow:
                    ShowWindow(SW_SHOW);
                    return 0;
                default:
                    return 0;
            }
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

protected:
    void OnPaint()
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        dc.FillSolidRect(&client, RGB(96, 104, 112));
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(RGB(255, 255, 255));
        CString text = m_fileName.IsEmpty() ? CString("Empty viewer") : "Viewer: " + m_fileName;
        dc.DrawText(text, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    void PostNcDestroy() override { delete this; }
    DECLARE_MESSAGE_MAP()

private:
    CString m_fileName;
};

BEGIN_MESSAGE_MAP(CPlaceholderViewer, CWnd)
    ON_WM_PAINT()
END_MESSAGE_MAP()

void OpenPlaceholder(const char* fileName, CWnd*, const RECT* rect)
{
    auto* viewer = new CPlaceholderViewer(fileName);
    const CString title =
        fileName && *fileName ? CString("Tarvenix Viewer - ") + fileName : CString("Tarvenix Viewer");
    const BOOL made =
        rect ? viewer->CreateEx(WS_EX_APPWINDOW, nullptr, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect->left,
                                rect->top, rect->right - rect->left, rect->bottom - rect->top, nullptr,
                                nullptr)
             : viewer->CreateEx(WS_EX_APPWINDOW, nullptr, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr);
    (void)made;  // a viewer that could not be made has reported or freed itself
}

int CountPlaceholders()
{
    return g_openPlaceholders;
}

}  // namespace

ViewerSeam PlaceholderViewerSeam()
{
    return ViewerSeam{OpenPlaceholder, CountPlaceholders};
}
