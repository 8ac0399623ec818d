#include "modules/texture/exports.h"

#include "modules/common/tool_placeholder.h"

void Texture_Files()
{
    ShowToolNotBuilt("Texture Analysis");
}
