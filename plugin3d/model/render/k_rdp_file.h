#pragma once

// The reader of the suite's layer files (.rdp): TKRDPFile maps a file and keeps one
// TKRDPLayer per plain layer and two (real and imaginary part) per complex layer, with a
// tree of "Layer k" branches that mirrors the file. Every offset, count and size read from
// a file is checked against the file before it is used.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/handles.h"
#include "plugin3d/model/render/k_layers.h"

class TKRDPFile;

/// One layer of a layer file, or one part of a complex layer.
class TKRDPLayer : public TKLayer {
    DECLARE_TCLASS(TKRDPLayer)

    /// Maps the file when it is not mapped (rebinding all its layers).
    void Acquire() override;
    /// Unmaps the file when none of its layers is accessed.
    void Release() override;
    /// A file layer's format is the file's: nothing changes.
    void SetFormat(int elementType, int width, int height) override;
    /// data + y x row bytes + x x element size (unchecked); null without data.
    void* GetElementPtr(int x, int y) override;
    /// As TKLayer's, named by the layer's path in the file's tree ("Layer 2.Real").
    void GetDescription(std::string& text) override;
    /// Nothing without data, with a width or height <= 0, or for a row outside the layer.
    void ReadRow(int row, void* dest, int destType, std::int64_t destStride, int count) override;
    /// As ReadRow; also nothing when the file was opened read-only.
    void WriteRow(int row, const void* source, int sourceType, std::int64_t sourceStride, int count) override;

    /// Reads format and data position from the mapped file (in an update bracket with
    /// param 1). Without a descriptor everything is 0; the data is kept only when its block
    /// lies inside the file and holds height x row bytes.
    void Bind();

    TKRDPFile* File() const { return m_file; }
    int FileLayerIndex() const { return m_fileLayer; }
    /// 0 for the real part or a plain layer, 1 for the imaginary part.
    int Part() const { return m_part; }
    /// The descriptor's data type code (0 without descriptor).
    std::int32_t Code() const { return m_code; }
    /// Bytes of a whole element in the row (both parts of a complex one).
    int ElementSize() const { return m_elementSize; }
    std::int64_t RowBytes() const { return m_rowBytes; }
    /// The first element, in the mapped view; null when the layer has no data.
    const std::uint8_t* Data() const { return m_data; }

protected:
    TKRDPLayer() = default;
    ~TKRDPLayer() override;

private:
    friend class TKRDPFile;
    void Place(TKRDPFile* file, int fileLayer, int part);
    void ClearData();

    TKRDPFile* m_file = nullptr;
    std::int32_t m_fileLayer = 0;
    std::int32_t m_part = 0;
    std::int32_t m_code = 0;
    const std::uint8_t* m_firstBlock = nullptr;
    std::uint8_t* m_data = nullptr;
    std::int32_t m_elementSize = 0;
    std::int64_t m_rowBytes = 0;
    bool m_writable = false;
};

/// A layer file, mapped while its layers are accessed.
class TKRDPFile : public TKFileLayerKeeper {
    DECLARE_TCLASS(TKRDPFile)

    /// Files this size or larger are refused: offsets in the file are signed 32-bit.
    static constexpr std::int64_t kMaxFileSize = std::int64_t(1) << 31;
    /// Links followed in a block chain, and entries taken from a layer list.
    static constexpr int kMaxLinks = 10000;

    void Init() override;

    /// Layer objects beyond n are freed, missing ones made (owned by the file); the array
    /// grows and shrinks in steps of 16.
    void SetCount(int n) override;
    TKLayer* GetLayer(int n) override;
    /// A copy of the file's tree; the caller owns it.
    TKDataBranch* MakeBranch() override;
    /// With flag set and the file not closed: forgets the file, unmaps it, frees the layers
    /// and empties the tree.
    void Close(bool flag) override;
    /// Loads the file's structure (layers and tree) when name, made a full path, differs
    /// from the open one; the view is released afterwards and mapped again on access.
    /// Nothing when the file does not exist.
    void Open(const std::string& name, std::uint32_t shareMode, std::uint32_t flagsAndAttributes,
              std::uint32_t readOnly) override;
    bool IsBadFormat() override;

    /// Maps the whole file when it exists and is not mapped, and reads its head. Raises the
    /// system's error, or EStreamError "File "<name>" is very large" from kMaxFileSize on.
    void MapFile();
    /// Unmaps the view; every layer loses its data.
    void Unmap();
    /// Maps the file again when needed. Layers are rebound in place; when the file's
    /// structure changed since it was opened, they stay without data.
    void EnsureMapped();
    /// Unmaps when no layer is accessed.
    void ReleaseIfUnused();
    bool IsMapped() const;
    /// Raises EStreamError naming the file, and leaves every layer without data, when another
    /// program cut the file short while it was mapped (its lost pages read as zeros).
    void CheckNotCut();

    /// The first block header of file layer n, or null (the file must be mapped).
    const std::uint8_t* LayerEntry(int n) const;
    /// The payload of the first block with key in file layer n's chain, or null.
    const std::uint8_t* LayerBlock(int n, std::int32_t key) const;
    /// Counts the file's layers, makes the layer objects and binds them, and builds the tree.
    void BuildLayers();

    TKRDPLayer* GetRDPLayer(int n) const;
    /// Layers in the file (a complex layer counts once).
    int FileLayerCount() const;
    /// The tree: the file's name with a "Layer k" branch per file layer.
    const TKDataBranch* Tree() const { return m_root; }
    bool IsReadOnly() const;
    /// The mapped view and its size (null and 0 when not mapped).
    const std::uint8_t* ViewBase() const;
    std::int64_t FileSize() const;

protected:
    TKRDPFile() = default;
    ~TKRDPFile() override;

private:
    friend class TKRDPLayer;

    // (file layer, part) of each layer object, in object order.
    struct Slot {
        int fileLayer;
        int part;
        bool operator==(const Slot&) const = default;
    };

    /// True when bytes bytes at offset lie in the view, offset > 0.
    bool Fits(std::int64_t offset, std::int64_t bytes) const;
    /// The int32 at offset (which must fit).
    std::int32_t ReadInt(std::int64_t offset) const;
    /// Field at of the 12-byte header at offset, or 0 (an invalid offset) when the header
    /// does not lie in the view.
    std::int32_t HeaderField(std::int64_t header, int at) const;
    std::int64_t FirstBlockOffset(int n) const;
    /// The payload offset of the first block with key of layer n when bytes fit there, or -1.
    std::int64_t FindPayload(int n, std::int32_t key, std::int64_t bytes) const;
    /// The descriptor's code of file layer n, 0 without descriptor.
    std::int32_t LayerCode(int n) const;
    void ReadEntries();
    std::vector<Slot> Layout() const;
    void BindAll();
    void RebuildTree();
    void ForgetLayer(TKRDPLayer* layer);
    void FreeLayersFrom(int n);
    void ReleaseView();

    std::vector<TKRDPLayer*> m_layers;    // capacity in steps of 16; entries beyond the count null
    std::vector<std::int64_t> m_entries;  // offsets of the layer entries (version 3) of the view
    std::int32_t m_fileLayers = 0;
    std::int32_t m_version = 0;
    bool m_badFormat = false;
    bool m_built = false;  // the layers of the open file exist; later mappings rebind them
    HANDLE m_mapping = nullptr;
    std::uint8_t* m_view = nullptr;
    std::int64_t m_size = 0;
    std::uint32_t m_shareMode = 0;
    std::uint32_t m_flags = 0;
    bool m_readOnly = true;
    TKDataBranch* m_root = nullptr;
};

/// The creator of RDP keepers: a new TKRDPFile for a name whose extension is ".rdp" in any
/// case, else null.
TKFileLayerKeeper* CreateRDPFileKeeper(const std::string& fileName);
