#include "plugin3d/forms/class_glyphs.h"

#include "platform/forms/image_list.h"

// The class information registry that keeps the glyphs is not part of this build yet: the
// forms show no glyphs until it is.
void CopyClassGlyphs64(TImageList* images)
{
    if (images) images->SetSize(64, 64);
}

int ClassGlyphIndex64(TClass)
{
    return -1;
}
