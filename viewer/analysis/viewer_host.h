#pragma once

// What the analysis windows of a viewer ask of the viewer they serve: its view window, the
// pointer, the complex component and size of what it shows, its progress meter, a freeze
// while a dialog's job runs, and the description texts it writes with its next save. The
// viewer frame is the host; the windows report back to its window with WM_DLGMESSAGE and
// WM_VIEWER.

#include "platform/cstring.h"
#include "platform/geometry.h"

class CViewRect;
class CViewerMeterInfo;
class CWnd;

class CViewerHost {
public:
    /// The host's window, which the analysis windows send their reports to.
    virtual CWnd* HostWnd() = 0;
    virtual CViewRect* GetViewRect() = 0;
    virtual CViewerMeterInfo* GetMeterInfo() = 0;

    /// The size of what is shown, in file pixels.
    virtual int ImageWidth(int component) = 0;
    virtual int ImageHeight(int component) = 0;
    /// 1 single band with palette, 2 RGB composite, 0 none.
    virtual int GetColorMode() = 0;
    /// The complex component shown (in the table when the table is shown); -1 when none.
    virtual int GetComplexMode(int component) = 0;

    /// The pointer's file pixel (the table's focus cell when the table is shown).
    virtual CPoint GetPointerPos() = 0;
    /// Moves the pointer and the table's focus cell to `p`; the previous position.
    virtual CPoint SetPointerPos(CPoint p) = 0;

    /// Freezes (1) or frees (0) the host for input while a dialog's job runs.
    virtual void FreezForInput(int freeze) = 0;
    /// The file properties dialog's two texts, written as the description tags.
    virtual void SetDescriptionTexts(const CString& caption, const CString& description) = 0;

protected:
    ~CViewerHost() = default;
};
