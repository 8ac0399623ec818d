#include "platform/system_metrics.h"

#include <QGuiApplication>
#include <QScreen>

int GetSystemMetrics(int nIndex)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect full = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect available = screen ? screen->availableGeometry() : full;
    switch (nIndex) {
        case SM_CXSCREEN:
            return full.width();
        case SM_CYSCREEN:
            return full.height();
        case SM_CXFULLSCREEN:
            return available.width();
        case SM_CYFULLSCREEN:
            return available.height();
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        // Title bar and borders are the window manager's: they lie outside every window
        // rectangle, so they measure nothing here (nonclient.h has the rule).
        case SM_CYCAPTION:
        case SM_CXBORDER:
        case SM_CYBORDER:
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 0;
        case SM_CXPOPUPFRAME:
        case SM_CYPOPUPFRAME:
            return 4;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CYMENU:  // the menu-bar strip of a frame is exactly this high
            return 20;
        default:
            return 0;
    }
}

DWORD GetSysColor(int nIndex)
{
    // Fixed colours of the classic scheme, so that drawings come out the same everywhere.
    // The one table of system colours: drawing code asks here rather than keeping its own.
    switch (nIndex) {
        case COLOR_SCROLLBAR:
            return RGB(200, 200, 200);
        case COLOR_BACKGROUND:
            return RGB(0, 0, 0);
        case COLOR_ACTIVECAPTION:
            return RGB(153, 180, 209);
        case COLOR_MENU:
            return RGB(240, 240, 240);
        case COLOR_WINDOW:
            return RGB(255, 255, 255);
        case COLOR_WINDOWFRAME:
            return RGB(100, 100, 100);
        case COLOR_MENUTEXT:
            return RGB(0, 0, 0);
        case COLOR_WINDOWTEXT:
            return RGB(0, 0, 0);
        case COLOR_CAPTIONTEXT:
            return RGB(0, 0, 0);
        case COLOR_APPWORKSPACE:
            return RGB(171, 171, 171);
        case COLOR_HIGHLIGHT:
            return RGB(0, 120, 215);
        case COLOR_HIGHLIGHTTEXT:
            return RGB(255, 255, 255);
        case COLOR_BTNFACE:
            return RGB(240, 240, 240);
        case COLOR_BTNSHADOW:
            return RGB(160, 160, 160);
        case COLOR_GRAYTEXT:
            return RGB(109, 109, 109);
        case COLOR_BTNTEXT:
            return RGB(0, 0, 0);
        case COLOR_BTNHIGHLIGHT:
            return RGB(255, 255, 255);
        case COLOR_3DDKSHADOW:
            return RGB(105, 105, 105);
        case COLOR_3DLIGHT:
            return RGB(227, 227, 227);
        case COLOR_INFOTEXT:
            return RGB(0, 0, 0);
        case COLOR_INFOBK:
            return RGB(255, 255, 225);
        default:
            return RGB(255, 255, 255);
    }
}
