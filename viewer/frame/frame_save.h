#pragma once

// The data part of a viewer's save: an open layer (the working copy the user edited) is
// written as a new version of the user's file. The file is replaced only once the new
// version is complete, so a failure or a stop leaves it exactly as it was.

#include <string>

class CRDPLayer;
class CMeterInfoBase;
struct TagEdits;

/// How a save of a working copy ended.
enum class SaveOutcome { kDone, kFailed, kCancelled };

/// Writes the samples of `work` as a new version of `target`, with the tags of `work` and
/// then those of the file `tagSource` (the layer's own keys excepted; skipped when null,
/// empty or missing) and statistics computed for the samples. Progress goes to `meter`
/// (may be null), whose stop ends the save with kCancelled. On kFailed the thread's last
/// error says why, and `why` (may be null) what in the file stands in the way. `target` is
/// untouched unless the result is kDone. `edits` (may be null) change the tags of the saved
/// layer in the same pass. The other layers of `tagSource` are kept byte for byte; a file
/// with a layer that cannot be read whole is refused (kFailed) and left as it is.
SaveOutcome SaveLayerOver(CRDPLayer& work, const char* target, const char* tagSource, CMeterInfoBase* meter,
                          const TagEdits* edits = nullptr, std::string* why = nullptr);
