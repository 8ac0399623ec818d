#pragma once

// Texts of the phase unwrapping tool (its own block of the module's text range): the tool
// speaks Russian, in UTF-8.

#include "platform/cstring.h"
#include "platform/types.h"

enum : UINT {
    IDS_UNWRAP_ERROR_CAPTION = 680,  ///< caption of every box of the tool
    IDS_UNWRAP_TITLE = 681,          ///< the job title's text (the title adds the colon)
    IDS_UNWRAP_CORRUPT = 682,        ///< an input or mask file that cannot be read
    IDS_UNWRAP_BAD_TYPE = 683,
    IDS_UNWRAP_BAD_RANGE = 684,
    IDS_UNWRAP_NEED_INPUT = 685,
    IDS_UNWRAP_NEED_OUTPUT = 686,
    IDS_UNWRAP_NEED_MASK = 687,
    IDS_UNWRAP_FILTER = 688,  ///< the file dialogs' filter
    IDS_UNWRAP_HELP = 689,    ///< the help page
    IDS_UNWRAP_PREPARING = 690,
    IDS_UNWRAP_DIFFERENCES = 691,
    IDS_UNWRAP_FORWARD = 692,
    IDS_UNWRAP_POISSON = 693,
    IDS_UNWRAP_INVERSE = 694,
    IDS_UNWRAP_SAVING = 695,
    IDS_UNWRAP_DESCRIPTION = 696,  ///< "%s, %dx%d": type name, width, height
};

/// A text of the phase unwrapping tool ("" for an unknown id).
CString LoadUnwrapText(UINT id);
