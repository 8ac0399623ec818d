#pragma once

// The convolution tool's job and preview: an input layer convolved with a mask file (one
// layer, or two mixed for a rotation angle), normalised by the mask's sum. The border the
// mask cannot cover stays 0.

#include "modules/convolution/convolution_kernels.h"
#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"
#include "platform/types.h"
#include "platform/window/messages.h"

class CRDPLayer;
class CWnd;

/// The preview's answer to its dialog: wParam kKernelPreviewDone or kKernelPreviewFailed,
/// lParam the request.
constexpr UINT WM_KERNEL_PREVIEW = WM_USER + 801;
constexpr WPARAM kKernelPreviewDone = 1;
constexpr WPARAM kKernelPreviewFailed = 3;

/// One job's or one preview request's values. Input comes first: the tool frame relies on it.
struct KernelJobParams {
    CString inputPath;
    CString outputPath;   ///< job only
    CString maskCaption;  ///< job only: the progress task that convolves
    CString maskPath;
    /// Preview only, set by the preview thread: the result (F64, or C128 for a complex
    /// input), valid while the dialog handles the answer inside the send.
    CRDPLayer* resultLayer = nullptr;
    /// Preview only: the dialog's window that receives WM_KERNEL_PREVIEW.
    HWND owner = nullptr;
    int previewWidth = 0;  ///< preview only, set by the preview thread
    int previewHeight = 0;
    int isComplex = 0;          ///< preview only: nonzero for a complex input
    float angleDegrees = 0.0f;  ///< rotation of a two-layer mask
};

/// Reads the mask file for an input of inputWidth x inputHeight samples; a two-layer mask
/// is mixed for angleDegrees (MixMask). Throws the error (code 10) with the user's text when
/// the mask cannot be read, is too large for the input, has an even side, or its layers
/// differ in size.
WorkingMask PrepareMask(const char* maskPath, int inputWidth, int inputHeight, float angleDegrees);

/// The job routine handed to Run: convolves record->inputPath into record->outputPath.
/// Owns and frees `record` on every path; failures are told in boxes owned by the
/// progress window (nothing for the user's stop) and leave no output.
void KernelJob(void* record, CMeterInfo* meter);

/// The preview thread: convolves the input's preview raster and sends WM_KERNEL_PREVIEW to
/// request->owner with kKernelPreviewDone (resultLayer set) or kKernelPreviewFailed. The
/// dialog frees the request when it takes the answer; a request nobody took is freed here.
/// 1 on success, 0 on failure.
UINT ConvolvePreview(LPVOID request);

/// The complex core of the preview: `source` and `result` are `height` rows of `width`
/// complex doubles (real, imaginary); the mask of `request` is applied to the inner part
/// of `source` into `result`, whose border is left as it is. False when the mask cannot
/// be used (it is not read, too large or even).
bool ConvolveComplexPreview(const KernelJobParams& request, int width, int height,
                            const double* const* source, double* const* result);
