#pragma once

// TKCanvas3D: the software rasteriser behind every 3D picture. A depth plane and up to three
// 16-bit channel planes, drawn into with integer points, lines and triangles (each vertex
// carries one value per channel), and packed into pixels of any memory-bitmap format
// through one 65536-entry table per channel. It knows nothing of colours or geometry: the
// drawing system projects, rounds and chooses which channel feeds which colour component.
//
// Depth: int32, smaller is nearer, cleared to the far depth 0x10000000; nothing nearer than
// the near depth 1 is drawn. Channels: 0..0x8000 drawn, 0xFFFF where nothing was drawn
// (entry 0xFFFF of every table is the background). Canvas row 0 is the first row of the
// target it is painted into.
//
// Sizing, clearing, channel switching, tables and output run under the canvas's lock. The
// draw operations take no lock: the caller draws from one thread at a time. They are filed
// and drawn in bands of rows on all cores when the canvas is painted (or the filed work
// grows large), each band in the order of the calls, so the planes come out byte for byte
// as if drawn one after the other.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/forms/object.h"
#include "platform/forms/units.h"
#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/render/canvas_batch.h"
#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/render/canvas_tables.h"
#include "plugin3d/model/render/span_fill.h"

class TKCnv3DIITransformer;
class TKObjectsList;

/// Where a canvas is painted: pixel rows of `bytesPerPixel` (1..4) bytes per pixel,
/// `stride` bytes apart, row 0 first.
struct TCanvasTarget {
    void* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bytesPerPixel = 0;
    std::int64_t stride = 0;
};

/// A table level function: entry i of a channel table is fn(context, i).
using TCanvasLevelFunction = std::int32_t (*)(void* context, std::int32_t level);

class TKCanvas3D : public TPersistent {
    DECLARE_TCLASS(TKCanvas3D)

    static constexpr std::int32_t kFarDepth = 0x10000000;
    static constexpr std::int32_t kNearDepth = 1;

    /// Joins "Global List of KCanvas3D".
    void Create(void* owner) override;

    /// "TKCanvas3D #n/ PrID #p/ ThID #t/ Time #ms": n counts the canvases made before.
    const std::string& Name() const { return m_name; }
    /// The canvas's lock (re-entrant; on a job thread it gives up with EAbort once the job's
    /// stop is requested, as every lock of the model does).
    void Lock();
    void Unlock();
    /// True until the first SetSize, and after a size or clear that could not be had.
    bool IsEmpty() const;

    // The slot after Assign. Sizes the canvas; negative sizes count as 0, an unchanged size
    // does nothing. Pixels of the common part are kept, new ones are far and empty. Raises
    // EOutOfMemory, leaving the canvas empty, when the planes cannot be had.
    virtual void SetSize(std::int32_t width, std::int32_t height);
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    /// Drops every plane and table at once.
    void ReleaseHeap(bool destroy = true);

    /// Whether channel n (1..3) has a plane.
    bool GetChannelEnabled(int n) const;
    /// Gives channel n a plane (filled with 0, so it shows table entry 0 until the next
    /// Clear) and its default table, or takes both away. Nothing on an empty canvas.
    void SetChannelEnabled(int n, bool on);

    /// Every depth far, every present channel 0xFFFF (nothing drawn).
    void Clear();

    void SetBackgroundValue(std::int32_t value);
    std::int32_t BackgroundValue() const { return m_background; }
    /// The background as the packed pixel of colour levels (0..65535) under the bit map.
    void SetBackgroundColor(std::int32_t red, std::int32_t green, std::int32_t blue, const TColorBitMap& map);
    /// Table entry for channel value v when no curve is set: the background for 0xFFFF,
    /// (v - 1) >> 8 for 1..0x8000, else 0.
    std::int32_t DefaultLevel(std::int32_t v) const;
    /// The 65536 entries of channel n's table, null when it has none.
    const std::int32_t* GetChannelTable(int n) const;
    /// Entry i := fn(context, i) for every i; a null fn gives DefaultLevel.
    void FillChannelTable(int n, TCanvasLevelFunction fn, void* context);
    /// Channel n's table := the 65536 entries of a table made elsewhere.
    void CopyChannelTable(int n, const std::int32_t* entries);
    /// Calls change(entries) on the 65536 entries of channel n's table in place, under the
    /// canvas's lock, as CopyChannelTable of the changed entries would; nothing for a channel
    /// that is not present or has no table.
    template <class Change>
    void ChangeChannelTable(int n, Change&& change)
    {
        TKSectionGuard guard(m_lock);
        if (!m_heap || !GetChannelEnabled(n) || m_tables[n - 1].Bytes() != canvas_planes::kTableBytes) return;
        ForgetForm(n);
        change(reinterpret_cast<std::int32_t*>(m_tables[n - 1].Data()));
        TableFilled(n);
    }
    /// The table of present channel n from the colour curves (null: that component gets
    /// nothing) and the bit map of the pixel format.
    void BuildChannelTable(int n, const TKCnv3DIITransformer* red, const TKCnv3DIITransformer* green,
                           const TKCnv3DIITransformer* blue, const TColorBitMap& map);

    /// 0: flat (each primitive in the mean of its values), else smooth.
    void SetSmooth(bool smooth) { m_smooth = smooth; }
    bool Smooth() const { return m_smooth; }

    void DrawPoint(const TCanvasVertex& v);
    void DrawLine(const TCanvasVertex& a, const TCanvasVertex& b);
    void DrawTriangle(const TCanvasVertex& a, const TCanvasVertex& b, const TCanvasVertex& c);
    /// Draws the triangles of a grid of vertices (see canvas_raster::TriangleGrid) exactly as
    /// DrawTriangle of each in grid order would, sorting them into bands on all cores.
    void DrawTriangleGrid(const canvas_raster::TriangleGrid& grid, const canvas_raster::GridProgress& report);
    /// Draws what has been filed; the planes below are then up to date.
    void Flush();

    /// Paints the canvas into the target from its first row, clipped to both sizes: each
    /// pixel is the OR of its present channels' table entries. Writes nothing outside the
    /// target, and nothing at all for a null target or a pixel size outside 1..4.
    void PaintTo(const TCanvasTarget& target);

    /// Rows of the planes (after Flush), for the drawing system and tests.
    const std::int32_t* DepthRow(std::int32_t y) const;
    const std::uint16_t* ChannelRow(int n, std::int32_t y) const;

protected:
    TKCanvas3D();
    ~TKCanvas3D() override;

private:
    void AllocatePlanes(std::int32_t width, std::int32_t height);
    void ReleaseBlocks();
    void UpdateTarget();
    canvas_planes::Plane* Channel(int n);
    const canvas_planes::Plane* Channel(int n) const;
    void EnsureTable(int n);
    void BuildDefaultTable(int n);
    // Channel n's table is to be written: until TableFilled it is painted by lookup, so a write
    // that fails part-way leaves no form of the table before it.
    void ForgetForm(int n);
    // Channel n's table was filled: its form is to be looked for, `fieldMasks` as FindTableForm.
    void TableFilled(int n, const std::uint32_t* fieldMasks = nullptr, int maskCount = 0);
    const canvas_tables::TableForm* FormOf(int n);

    std::string m_name;
    bool m_heap = false;
    mutable CRITICAL_SECTION m_lock{};
    canvas_planes::Plane m_depth;
    canvas_planes::Plane m_channels[3];
    canvas_planes::HeapBlock m_spans;
    canvas_planes::HeapBlock m_tables[3];
    // Each table's arithmetic form, when it has one. Looking for it reads the table many times
    // over, which pays only over several paints: a table just filled is painted once by
    // looking its pixels up (a curve being edited is never looked at twice), and its form is
    // looked for at the next paint, with the fields given.
    enum class FormState : std::uint8_t { Known, Filled, PaintedOnce };
    std::optional<canvas_tables::TableForm> m_forms[3];
    FormState m_formState[3] = {};
    std::uint32_t m_formFields[3][3] = {};
    int m_formFieldCount[3] = {};
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_clipLeft = 0, m_clipTop = 0, m_clipRight = -1, m_clipBottom = -1;
    std::int32_t m_userRight = 0x10000000, m_userLeft = 0, m_userBottom = 0x10000000, m_userTop = 0;
    std::int32_t m_background = 0;
    bool m_smooth = false;
    canvas_raster::Target m_target;
    canvas_raster::Batch m_batch;
};

/// "Global List of KCanvas3D" while the unit runs, else null.
TKObjectsList* CanvasesList();
/// Unit KCanvas3D: the list of canvases.
extern const TUnitInfo kKCanvas3DUnit;
