#include "app/toolbars/toolbar_resources.h"

#include "app/toolbars/toolbar_band.h"
#include "app/toolbars/toolbar_ids.h"

HINSTANCE ToolbarResourcesInstance()
{
    return nullptr;
}
