#pragma once

// The system's metrics and colours. They sit below drawing and windows alike: device
// contexts draw with the system colours (system-colour brushes, 3D edges), and windows
// measure their parts with the metrics.

#include "platform/types.h"

/// A size of the screen or of a part of windows, in pixels; 0 for an index not kept.
PLATFORM_API int GetSystemMetrics(int nIndex);
/// A colour of the fixed classic scheme; white for an index not kept.
PLATFORM_API DWORD GetSysColor(int nIndex);

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
// The sizing border the platform draws around a popup with WS_THICKFRAME and no caption
// (nonclient.h): the platform's own metric, as such a window has no decorations otherwise.
constexpr int SM_CXPOPUPFRAME = 0x1001;
constexpr int SM_CYPOPUPFRAME = 0x1002;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;

constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_3DFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_3DSHADOW = 16;
constexpr int COLOR_3DHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
