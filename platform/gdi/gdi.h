#pragma once

// Everything of the drawing layer in one include.

#include "platform/gdi/dc.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/region.h"
#include "platform/gdi/window_dc.h"
