#pragma once

// Tag operations on closed layer files. They address layer 0 unless a layer index is given.
// A change is written to a temporary file beside the file and moved over it, so the file
// is complete whatever happens; a file that does not exist is never created.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/types.h"

class CRDPLayer;
namespace platform {
class AtomicFile;
}

/// What the descriptor of a layer (its header tag, key 0) says.
struct LayerHeader {
    int width = 0;
    int height = 0;
    int type = 0;  ///< a valid data type code
};
/// The header of layer 0 of `path`, checked as opening the layer checks it: width and
/// height of at least 1, a known type code, and a data block that holds the samples.
/// Empty, with the last-error code and detail text set, for a missing or unreadable file,
/// one that is no layer file, or a damaged layer.
std::optional<LayerHeader> LayerHeaderOf(const char* path);

/// Accepts or refuses a tag id for CopyTag.
using TagFilter = BOOL (*)(int id);

/// Copies `size` bytes of tag `id` into `buffer`; nonzero when the tag exists and holds them.
BOOL GetTag(const char* path, int id, int size, void* buffer);
/// Sets tag `id` (not keys 0 and 1; keys 2 and 3 take 1064 bytes, key 4 2128) of layer 0.
BOOL SetTag(const char* path, int id, int size, const void* data);
/// Removes tag `id` (not keys 0 and 1) of layer 0; nonzero also when it was absent.
BOOL DeleteTag(const char* path, int id);
/// Byte size of tag `id` of layer 0; -1 when absent or the file is unreadable.
int GetSizeTag(const char* path, int id);
/// The whole of tag `id` of layer 0 in one look at the file (GetSizeTag then GetTag map it
/// twice). Nonzero when the tag exists; a tag longer than `maxBytes` is refused with
/// ERROR_FILE_TOO_LARGE and not copied.
BOOL ReadTag(const char* path, int id, std::int64_t maxBytes, std::vector<BYTE>* payload);

/// Copies every tag of `source` into `target`, keys 0 to 4 excepted: a target's own
/// descriptor, samples and statistics are never overwritten.
BOOL CopyTag(const char* target, const char* source);
/// Copies tag `id` (not keys 0 to 4).
BOOL CopyTag(const char* target, const char* source, int id);
/// Copies the tags of layer `sourceLayer` that `filter` accepts (all when null) into layer `targetLayer`.
BOOL CopyTag(const char* target, int targetLayer, const char* source, int sourceLayer, TagFilter filter);
/// Copies the tags of layer 0 of the file `source` (all, or only `id`) to the layer `target`
/// being written, exactly as CopyTag would copy them into its file once it is closed: each
/// call is one group of changes applied after the earlier ones, the keys it sets moving to
/// the end of the chain. The target's file is then written once, not once per copy.
BOOL CopyTag(CRDPLayer* target, const char* source);
BOOL CopyTag(CRDPLayer* target, const char* source, int id);
/// The same between open layers: the target (writable) keeps the tags until it is closed.
BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source);
BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source, int id);
BOOL CopyTag(CRDPLayer* target, const CRDPLayer* source, TagFilter filter);

/// Reads a colour-map tag (501 to 504) of layer 0 whole: a 48-byte head whose word at +8
/// is 1 and at +12 the entry count N (at least 2), then N entries of 20 bytes, all inside
/// the tag. Nonzero when the tag exists and is sound; a damaged tag is refused.
BOOL GetPaletteTag(const char* path, int id, std::vector<BYTE>* payload);
/// The same for an open layer.
BOOL GetPaletteTag(const CRDPLayer& layer, int id, std::vector<BYTE>* payload);
/// Checks the head of a colour-map tag of `size` bytes; nonzero when its entries fit.
BOOL IsSoundPaletteTag(const BYTE* payload, std::int64_t size);

/// True for the keys that belong to a layer itself and are never copied between layers.
constexpr bool IsLayerOwnKey(int id)
{
    return id >= 0 && id <= 4;
}

/// Changes to the tags of one layer of a file.
struct TagEdits {
    std::map<int, std::vector<BYTE>> set;  ///< new payloads (replace every block of the key)
    std::set<int> remove;
    bool Empty() const { return set.empty() && remove.empty(); }
};
/// Rewrites `path` with `edits` applied to layer `layer`, through a temporary file beside it.
/// Keys 0 and 1 cannot be edited. Nonzero on success, else the last-error code is set.
BOOL ApplyTagEdits(const char* path, int layer, const TagEdits& edits);
/// Writes a new version of `target` from the layer file held in memory at `image` with
/// `edits` applied to layer `layer` (the image may be a mapping of the target itself).
/// `imageFile`, the file handle the image is a shared mapping of, lets the file system copy
/// the large parts.
BOOL RewriteWithTagEdits(const BYTE* image, std::int64_t bytes, int layer, const TagEdits& edits,
                         const char* target, HANDLE imageFile = nullptr);
/// The chain of tag keys after `group` is applied to `keys`: the keys it sets or removes
/// leave their places, and those it sets follow at the end in key order.
void ApplyTagEditsToKeys(const TagEdits& group, std::vector<int>* keys);
/// Commits the new version `version`, which holds the layer file that `image` maps, with
/// `groups` of tag changes applied to layer `layer` one after the other. Where the samples keep
/// their place the version is rewritten around them; else the file is written anew from the
/// image into a second version. Either way one version is synced and replaces the target.
BOOL CommitWithTagEdits(platform::AtomicFile& version, const BYTE* image, std::int64_t bytes, int layer,
                        const std::vector<TagEdits>& groups);
