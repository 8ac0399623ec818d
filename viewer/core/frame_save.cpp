#include "viewer/core/frame_save.h"

#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_except.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/last_error.h"

namespace {

// Removes the unfinished version while keeping the error that stopped it.
SaveOutcome Abandon(CRDPLayer& out, SaveOutcome outcome)
{
    const DWORD error = ::GetLastError();
    out.DestroyLayer();
    ::SetLastError(error);
    return outcome;
}

}  // namespace

SaveOutcome SaveLayerOver(CRDPLayer& work, const char* target, const char* tagSource, CMeterInfoBase* meter)
{
    if (!work.IsOpen() || !target || !*target) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return SaveOutcome::kFailed;
    }
    CRDPLayer out(meter);
    try {
        if (!out.CreateLayer(target, work.Width(), work.Height(), work.Type())) return SaveOutcome::kFailed;
        if (!out.ReadData(&work, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1)))
            return Abandon(out, SaveOutcome::kFailed);
        CopyTag(&out, &work);
        // The user's file keeps its own tags (palette, coordinates, descriptions, overlays);
        // its version is still the one on disk, since the new one replaces it only at the end.
        if (tagSource && *tagSource && FileFind(tagSource)) {
            CRDPLayer original;
            if (original.OpenLayer(tagSource, kOpenReadOnly)) {
                CopyTag(&out, &original);
                original.CloseLayer();
            }
        }
        // Statistics are computed from the samples written: the working copy's own may
        // predate the user's last edit.
        if (!out.CloseLayer()) return Abandon(out, SaveOutcome::kFailed);
    } catch (CRDPExcept* e) {
        const bool cancelled = e->GetCode() == RDP_ERROR_CANCEL;
        e->Delete();
        return Abandon(out, cancelled ? SaveOutcome::kCancelled : SaveOutcome::kFailed);
    }
    return SaveOutcome::kDone;
}
