#include "plugin3d/forms/class_glyphs.h"

#include "platform/forms/image_list.h"
#include "plugin3d/model/core/k_interfaces.h"

void CopyClassGlyphs64(TImageList* images)
{
    if (!images) return;
    if (TImageList* glyphs = GlyphImageList(64))
        images->Assign(glyphs);
    else
        images->SetSize(64, 64);
}

int ClassGlyphIndex64(TClass cls)
{
    return GlyphImageIndex(GetClassGlyphIndex(64, cls));
}
