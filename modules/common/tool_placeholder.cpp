#include "modules/common/tool_placeholder.h"

#include "platform/cstring.h"
#include "platform/window/modal.h"

void ShowToolNotBuilt(const char* toolName)
{
    CString text(toolName);
    text += " is not built yet.";
    AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
}
