#pragma once

// What every job of the interferometry module shares: it opens its inputs and creates its
// output through these (messages 630 and 631, with the job's error caption), computes
// inside RunGuarded and copies the first input's tags.

#include "modules/common/job_support.h"
#include "modules/interferometry/fringe_resources.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/cstring.h"

/// Opens input `path` into `layer` (made with a null meter). On failure tells the user
/// (630 with the path, MB_ICONERROR, `caption`), marks the current task and the job
/// failed; false.
bool OpenFringeInput(CRDPLayer& layer, const CString& path, CMeterInfo& meter, const CString& caption);
/// Creates the output `path` (w x h of `type`) into `layer` (made with the job's meter).
/// On failure tells the user (631 with the path), marks the current task and the job
/// failed; false.
bool CreateFringeOutput(CRDPLayer& layer, const CString& path, int width, int height, int type,
                        CMeterInfo& meter, const CString& caption);
/// Closes the output; a failure to write it becomes an error for RunGuarded.
void CloseFringeOutput(CRDPLayer& out);
