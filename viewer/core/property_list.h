#pragma once

// The name and value texts that describe an object laid over the image: the measure
// figure's length, segments and nodes, a selection's figures. The view window and its
// figures fill a list; the window that shows it (a Properties dialog made on demand) is the
// analysis side's, and the view makes its lists through its services (raster_view_services.h).

#include "platform/cstring.h"

class CWnd;

class CPropertyList {
public:
    virtual ~CPropertyList() = default;

    /// Shows the list in a new window owned by `parent`; a window shown before is closed.
    virtual void Show(CWnd* parent) = 0;
    virtual void SetObjectName(const CString& name) = 0;
    /// Appends a pair; opens the window first when there is none.
    virtual void Add(const CString& name, const CString& value) = 0;
    virtual void Clear() = 0;
};
