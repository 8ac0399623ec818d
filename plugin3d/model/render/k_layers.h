#pragma once

// Unit KLayers: rasters as the plug-in reads them. TKLayer is one raster layer with typed
// row access, TKLayerKeeper a list of layers, TKFileLayerKeeper a list bound to a file.
// Keepers for a file are made by extension through the creators registered under
// "Creators" in the run-time registry (the RDP reader is in k_rdp_file.h).

#include <cstdint>
#include <string>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/render/k_element_types.h"

/// One raster layer: element type, width and height, rows read and written through the
/// element conversion, and an access counter that keeps the layer's data available.
class TKLayer : public TKCustomChangeObject {
    DECLARE_TCLASS(TKLayer)

    // Slot 20. Makes the data available (first access); the base does nothing.
    virtual void Acquire();
    // Slot 21. May let the data go when nothing accesses it; the base does nothing.
    virtual void Release();
    // Slot 22. Stores the element type, width and height.
    virtual void SetFormat(int elementType, int width, int height);
    // Slot 23. Address of element (x, y), unchecked; null without data (the base: always).
    virtual void* GetElementPtr(int x, int y);
    // Slot 24. "<name> - <width> x <height>", then " (<type name>)" for types below 11.
    virtual void GetDescription(std::string& text);
    // Slot 25. Converts min(width, count) elements of row into dest, elements of destType
    // destStride bytes apart. The base does nothing.
    virtual void ReadRow(int row, void* dest, int destType, std::int64_t destStride, int count);
    // Slot 26. Converts min(width, count) elements of sourceType from source, sourceStride
    // bytes apart, into row. The base does nothing.
    virtual void WriteRow(int row, const void* source, int sourceType, std::int64_t sourceStride, int count);

    /// Counts an access; the first one calls Acquire (undone when Acquire fails).
    void BeginAccess();
    bool IsAccessed() const;

    int ElementType() const;
    int Width() const;
    int Height() const;
    std::string Description();

    /// ReadRow into a typed buffer of packed elements.
    template <class T>
    void ReadRowAs(int row, T* dest, int count)
    {
        ReadRow(row, dest, ElementTypeOf<T>, sizeof(T), count);
    }
    /// WriteRow from a typed buffer of packed elements.
    template <class T>
    void WriteRowFrom(int row, const T* source, int count)
    {
        WriteRow(row, source, ElementTypeOf<T>, sizeof(T), count);
    }

protected:
    TKLayer() = default;
    /// The description of GetDescription with name in front.
    std::string DescribeAs(const std::string& name) const;
    /// Stores the format without a bracket, for subclasses that bind it themselves.
    void StoreFormat(int elementType, int width, int height);

    // Written under the lock; row access reads them without one, as it reads elements.
    std::int32_t m_elementType = ketUnknown;
    std::int32_t m_height = 0;
    std::int32_t m_width = 0;

private:
    std::int32_t m_accessCount = 0;
};

/// A list of layers.
class TKLayerKeeper : public TKCustomChangeObject {
    DECLARE_TCLASS(TKLayerKeeper)

    // Slot 20. Stores the count (negative counts as 0).
    virtual void SetCount(int n);
    // Slot 21 is unused.
    // Slot 22. Layer n (0..Count-1), or null; the base has none.
    virtual TKLayer* GetLayer(int n);
    // Slot 23. A new branch named after the keeper with the keeper as data, and one child
    // per layer (its name, the layer as data). The caller owns it.
    virtual TKDataBranch* MakeBranch();

    int Count() const;

protected:
    TKLayerKeeper() = default;
    void StoreCount(int n);

private:
    std::int32_t m_count = 0;
};

/// A list of the layers of one file.
class TKFileLayerKeeper : public TKLayerKeeper {
    DECLARE_TCLASS(TKFileLayerKeeper)

    void Init() override;

    // Slot 24. Stores the file name.
    virtual void SetFileName(const std::string& name);
    // Slot 25. With flag set: marks the keeper closed and forgets the name.
    virtual void Close(bool flag);
    // Slot 26 is unused.
    // Slot 27. Opens a file: share mode, flags and attributes of the system's file opening,
    // and read-only (non-zero) or writable. The base does nothing.
    virtual void Open(const std::string& name, std::uint32_t shareMode, std::uint32_t flagsAndAttributes,
                      std::uint32_t readOnly);
    // Slot 28. True when the open file is not of the keeper's format; the base reads no
    // format and answers false.
    virtual bool IsBadFormat();

    std::string FileName() const;
    bool IsClosed() const;

protected:
    TKFileLayerKeeper() = default;
    void StoreFileName(const std::string& name);
    void SetClosed(bool closed);

private:
    std::string m_fileName;
    bool m_closed = true;
};

/// A creator: a new, unopened keeper for a file name it can read, else null.
using TKLayerFileCreator = TKFileLayerKeeper* (*)(const std::string& fileName);

/// Adds fn under "Creators" as a branch named by a running number.
void RegisterLayerFileCreator(TKLayerFileCreator fn);
/// Frees the branch of fn.
void UnregisterLayerFileCreator(TKLayerFileCreator fn);
/// Asks the creators from the last registered to the first; the first keeper made, or null.
TKFileLayerKeeper* CreateFileLayerKeeper(const std::string& fileName);

/// Unit KLayers: the "Creators" branch with the RDP reader's creator.
extern const TUnitInfo kKLayersUnit;
