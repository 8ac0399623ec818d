#include "plugin3d/model/render/canvas3d.h"

#include <algorithm>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/render/intensity_transformer.h"

IMPLEMENT_TCLASS(TKCanvas3D, TPersistent)

using canvas_planes::HeapBlock;
using canvas_planes::Plane;

namespace {

std::atomic<std::uint64_t> g_canvasesMade{0};
std::atomic<TKObjectsList*> g_canvases{nullptr};

constexpr std::uint16_t kNothingDrawn = 0xFFFF;

}  // namespace

TKCanvas3D::TKCanvas3D()
{
    InitializeCriticalSection(&m_lock);
    m_depth.present = true;
    m_depth.bytesPerElement = 4;
    for (Plane& c : m_channels) c.bytesPerElement = 2;
    m_name = "TKCanvas3D #" + std::to_string(g_canvasesMade.fetch_add(1)) + "/ PrID #" +
             std::to_string(GetCurrentProcessId()) + "/ ThID #" + std::to_string(GetCurrentThreadId()) +
             "/ Time #" + std::to_string(GetTickCount());
    UpdateTarget();
}

void TKCanvas3D::Create(void* owner)
{
    TPersistent::Create(owner);
    if (TKObjectsList* canvases = CanvasesList()) canvases->Add(this);
}

TKCanvas3D::~TKCanvas3D()
{
    if (TKObjectsList* canvases = CanvasesList()) canvases->Remove(this);
    {
        // A canvas going away waits for its lock: it must not be left half released.
        TKWaitingSectionGuard guard(m_lock);
        ReleaseBlocks();
    }
    DeleteCriticalSection(&m_lock);
}

void TKCanvas3D::Lock()
{
    EnterSection(m_lock);
}

void TKCanvas3D::Unlock()
{
    LeaveSection(m_lock);
}

bool TKCanvas3D::IsEmpty() const
{
    return !m_heap;
}

void TKCanvas3D::SetSize(std::int32_t width, std::int32_t height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height) return;
    AllocatePlanes(width, height);
}

void TKCanvas3D::AllocatePlanes(std::int32_t width, std::int32_t height)
{
    TKSectionGuard guard(m_lock);
    if (!m_heap) {
        m_width = width;
        m_height = height;
        m_heap = true;
    }
    try {
        // What was filed belongs to the old planes.
        Flush();
        m_depth.Resize(width, height, std::uint32_t(kFarDepth));
        const std::int64_t spanBytes = canvas_planes::SpanBufferBytes(height);
        if (m_spans.Bytes() != spanBytes) {
            m_spans.Free();
            m_spans = HeapBlock::Allocate(spanBytes);
        }
        if (std::none_of(std::begin(m_channels), std::end(m_channels),
                         [](const Plane& c) { return c.present; }))
            m_channels[0].present = true;
        for (int n = 1; n <= 3; ++n) {
            Plane& c = *Channel(n);
            if (!c.present) continue;
            c.Resize(width, height, kNothingDrawn);
            if (m_tables[n - 1].Bytes() != canvas_planes::kTableBytes) BuildDefaultTable(n);
        }
    } catch (const EOutOfMemory&) {
        // No canvas of a size but its planes: empty, and a later size starts afresh.
        ReleaseHeap(true);
        m_width = m_height = 0;
        UpdateTarget();
        throw;
    }
    m_width = width;
    m_height = height;
    m_clipLeft = std::max(0, m_userLeft);
    m_clipRight = std::min(width - 1, m_userRight);
    m_clipTop = std::max(0, m_userTop);
    m_clipBottom = std::min(height - 1, m_userBottom);
    UpdateTarget();
}

void TKCanvas3D::ReleaseHeap(bool)
{
    TKSectionGuard guard(m_lock);
    ReleaseBlocks();
}

void TKCanvas3D::ReleaseBlocks()
{
    m_batch.Drop();
    m_depth.Release();
    for (Plane& c : m_channels) c.Release();
    m_spans.Free();
    for (HeapBlock& t : m_tables) t.Free();
    for (int n = 1; n <= 3; ++n) ForgetForm(n);
    m_heap = false;
    UpdateTarget();
}

Plane* TKCanvas3D::Channel(int n)
{
    return n >= 1 && n <= 3 ? &m_channels[n - 1] : nullptr;
}

const Plane* TKCanvas3D::Channel(int n) const
{
    return n >= 1 && n <= 3 ? &m_channels[n - 1] : nullptr;
}

bool TKCanvas3D::GetChannelEnabled(int n) const
{
    const Plane* c = Channel(n);
    return c && c->present;
}

void TKCanvas3D::SetChannelEnabled(int n, bool on)
{
    TKSectionGuard guard(m_lock);
    Plane* c = Channel(n);
    if (!m_heap || !c || c->present == on) return;
    Flush();
    if (on) {
        try {
            c->Resize(m_width, m_height, 0);
            c->present = true;
            BuildDefaultTable(n);
        } catch (const EOutOfMemory&) {
            c->present = false;
            c->Release();
            m_tables[n - 1].Free();
            ForgetForm(n);
            UpdateTarget();
            throw;
        }
    } else {
        c->present = false;
        c->Release();
        m_tables[n - 1].Free();
        ForgetForm(n);
    }
    UpdateTarget();
}

void TKCanvas3D::Clear()
{
    TKSectionGuard guard(m_lock);
    if (!m_heap) return;
    // Everything filed would be overwritten.
    m_batch.Drop();
    canvas_raster::ForEachBand(m_height, [&](int first, int last) {
        m_depth.FillRows(first, last, std::uint32_t(kFarDepth));
        for (Plane& c : m_channels)
            if (c.present) c.FillRows(first, last, kNothingDrawn);
    });
}

void TKCanvas3D::SetBackgroundValue(std::int32_t value)
{
    TKSectionGuard guard(m_lock);
    if (value == m_background) return;
    m_background = value;
    for (HeapBlock& t : m_tables)
        if (t.Bytes() == canvas_planes::kTableBytes)
            reinterpret_cast<std::int32_t*>(t.Data())[canvas_tables::kEmptyLevel] = value;
}

void TKCanvas3D::SetBackgroundColor(std::int32_t red, std::int32_t green, std::int32_t blue,
                                    const TColorBitMap& map)
{
    SetBackgroundValue(canvas_tables::PackColor(red, green, blue, map));
}

std::int32_t TKCanvas3D::DefaultLevel(std::int32_t v) const
{
    return canvas_tables::DefaultLevel(v, m_background);
}

const std::int32_t* TKCanvas3D::GetChannelTable(int n) const
{
    if (n < 1 || n > 3 || m_tables[n - 1].Bytes() != canvas_planes::kTableBytes) return nullptr;
    return reinterpret_cast<const std::int32_t*>(m_tables[n - 1].Data());
}

void TKCanvas3D::EnsureTable(int n)
{
    HeapBlock& t = m_tables[n - 1];
    if (t.Bytes() != canvas_planes::kTableBytes) {
        t.Free();
        t = HeapBlock::Allocate(canvas_planes::kTableBytes);
    }
}

// canvas_tables::DefaultLevel filled in its runs: 0; 256 entries of each level 0..0x7F for
// channel values 1..0x8000; 0 up to the empty level; the background.
void TKCanvas3D::BuildDefaultTable(int n)
{
    ForgetForm(n);
    EnsureTable(n);
    auto* table = reinterpret_cast<std::int32_t*>(m_tables[n - 1].Data());
    table[0] = 0;
    for (std::int32_t level = 0; level < 0x80; ++level) std::fill_n(table + 1 + level * 256, 256, level);
    std::fill(table + 0x8001, table + canvas_tables::kEmptyLevel, 0);
    table[canvas_tables::kEmptyLevel] = m_background;
    static_assert(canvas_tables::kEmptyLevel == canvas_tables::kTableEntries - 1);
    // Every canvas starts with default tables: their form is found once, from the first one
    // (a form covers the levels up to 0x8000, which no background changes).
    static const std::optional<canvas_tables::TableForm> defaultForm =
        canvas_tables::FindTableForm(table, nullptr, 0);
    m_forms[n - 1] = defaultForm;
}

void TKCanvas3D::ForgetForm(int n)
{
    m_forms[n - 1].reset();
    m_formState[n - 1] = FormState::Known;
}

void TKCanvas3D::TableFilled(int n, const std::uint32_t* fieldMasks, int maskCount)
{
    m_formState[n - 1] = FormState::Filled;
    m_formFieldCount[n - 1] = std::clamp(maskCount, 0, 3);
    std::copy_n(fieldMasks, m_formFieldCount[n - 1], m_formFields[n - 1]);
}

const canvas_tables::TableForm* TKCanvas3D::FormOf(int n)
{
    switch (m_formState[n - 1]) {
        case FormState::Filled:
            m_formState[n - 1] = FormState::PaintedOnce;
            break;
        case FormState::PaintedOnce:
            m_formState[n - 1] = FormState::Known;
            m_forms[n - 1] = canvas_tables::FindTableForm(GetChannelTable(n), m_formFields[n - 1],
                                                          m_formFieldCount[n - 1]);
            break;
        case FormState::Known:
            break;
    }
    return m_forms[n - 1] ? &*m_forms[n - 1] : nullptr;
}

void TKCanvas3D::FillChannelTable(int n, TCanvasLevelFunction fn, void* context)
{
    TKSectionGuard guard(m_lock);
    if (!m_heap || !GetChannelEnabled(n)) return;
    if (!fn) return BuildDefaultTable(n);
    ForgetForm(n);
    EnsureTable(n);
    auto* table = reinterpret_cast<std::int32_t*>(m_tables[n - 1].Data());
    for (std::int32_t i = 0; i < canvas_tables::kTableEntries; ++i) table[i] = fn(context, i);
    TableFilled(n);
}

void TKCanvas3D::CopyChannelTable(int n, const std::int32_t* entries)
{
    TKSectionGuard guard(m_lock);
    if (!m_heap || !GetChannelEnabled(n) || !entries) return;
    ForgetForm(n);
    EnsureTable(n);
    std::copy_n(entries, canvas_tables::kTableEntries,
                reinterpret_cast<std::int32_t*>(m_tables[n - 1].Data()));
    TableFilled(n);
}

void TKCanvas3D::BuildChannelTable(int n, const TKCnv3DIITransformer* red, const TKCnv3DIITransformer* green,
                                   const TKCnv3DIITransformer* blue, const TColorBitMap& map)
{
    TKSectionGuard guard(m_lock);
    if (!m_heap || !GetChannelEnabled(n)) return;
    ForgetForm(n);
    EnsureTable(n);
    // Each curve is read once under its own lock.
    const TKCnv3DIITransformer* sources[3] = {red, green, blue};
    std::vector<std::int32_t> pairs[3];
    canvas_tables::Curve curves[3];
    for (int k = 0; k < 3; ++k)
        if (sources[k]) {
            pairs[k] = sources[k]->Pairs();
            curves[k] = {pairs[k].data(), int(pairs[k].size() / 2)};
        }
    canvas_tables::BuildChannelTable(reinterpret_cast<std::int32_t*>(m_tables[n - 1].Data()),
                                     red ? &curves[0] : nullptr, green ? &curves[1] : nullptr,
                                     blue ? &curves[2] : nullptr, map, m_background);
    // One field per component the channel drives: a grey picture's channel drives all three.
    std::uint32_t fieldMasks[3] = {};
    int fields = 0;
    for (int k = 0; k < 3; ++k) {
        if (!sources[k]) continue;
        std::int32_t masks[16];
        canvas_tables::ComponentMasks(map, k + 1, masks);
        for (std::int32_t m : masks) fieldMasks[fields] |= std::uint32_t(m);
        ++fields;
    }
    TableFilled(n, fieldMasks, fields);
}

void TKCanvas3D::UpdateTarget()
{
    canvas_raster::Target t;
    if (m_heap && m_depth.block.Data()) {
        t.depth = reinterpret_cast<std::int32_t*>(m_depth.block.Data());
        t.depthStride = m_depth.stride;
        for (int k = 0; k < 3; ++k) {
            const Plane& c = m_channels[k];
            if (!c.present || !c.block.Data()) continue;
            const int i = t.channels.count++;
            t.channels.row[i] = reinterpret_cast<std::uint16_t*>(c.block.Data());
            t.channels.stride[i] = c.stride;
            t.channels.pairOffset[i] = kSpanChannelOffset[k];
        }
        t.spans = reinterpret_cast<TCanvasSpan*>(m_spans.Data());
        t.left = m_clipLeft;
        t.top = m_clipTop;
        t.right = m_clipRight;
        t.bottom = m_clipBottom;
    }
    t.nearDepth = kNearDepth;
    t.farDepth = kFarDepth;
    m_target = t;
}

void TKCanvas3D::DrawPoint(const TCanvasVertex& v)
{
    if (m_target.depth && m_batch.AddPoint(m_target, v)) Flush();
}

void TKCanvas3D::DrawLine(const TCanvasVertex& a, const TCanvasVertex& b)
{
    if (m_target.depth && m_batch.AddLine(m_target, a, b, m_smooth)) Flush();
}

void TKCanvas3D::DrawTriangle(const TCanvasVertex& a, const TCanvasVertex& b, const TCanvasVertex& c)
{
    if (m_target.depth && m_batch.AddTriangle(m_target, a, b, c, m_smooth)) Flush();
}

void TKCanvas3D::DrawTriangleGrid(const canvas_raster::TriangleGrid& grid,
                                  const canvas_raster::GridProgress& report)
{
    if (m_target.depth) m_batch.DrawGrid(m_target, grid, m_smooth, report);
}

void TKCanvas3D::Flush()
{
    if (!m_batch.Empty()) m_batch.Draw(m_target);
}

void TKCanvas3D::PaintTo(const TCanvasTarget& target)
{
    TKSectionGuard guard(m_lock);
    if (!m_heap) return;
    Flush();
    const std::int32_t rows = std::min(m_height, target.height), cols = std::min(m_width, target.width);
    const int bytes = target.bytesPerPixel;
    if (!target.pixels || bytes < 1 || bytes > 4 || rows <= 0 || cols <= 0 ||
        target.stride < std::int64_t(cols) * bytes)
        return;
    int count = 0;
    const std::uint16_t* channelRows[3];
    std::ptrdiff_t strides[3];
    const std::int32_t* tables[3];
    const canvas_tables::TableForm* forms[3];
    // Finding a table's form reads the whole table many times over: a picture of fewer pixels
    // than the table has levels is painted sooner by looking each pixel up, and the form is
    // kept to be found by a larger picture. Forms are exact: the pixels are the same.
    const bool withForms = std::int64_t(rows) * cols >= canvas_tables::kLevels;
    for (int n = 1; n <= 3; ++n) {
        const Plane& c = *Channel(n);
        const std::int32_t* table = GetChannelTable(n);
        if (!c.present || !c.block.Data() || !table) continue;
        channelRows[count] = reinterpret_cast<const std::uint16_t*>(c.block.Data());
        strides[count] = c.stride;
        forms[count] = withForms ? FormOf(n) : nullptr;
        tables[count++] = table;
    }
    auto* pixels = static_cast<std::uint8_t*>(target.pixels);
    canvas_raster::ForEachBand(rows, [&](int first, int last) {
        const std::uint16_t* bandRows[3];
        for (int k = 0; k < count; ++k)
            bandRows[k] = reinterpret_cast<const std::uint16_t*>(
                reinterpret_cast<const std::uint8_t*>(channelRows[k]) + first * strides[k]);
        canvas_kernels::PackChannelRows(count, bandRows, strides, tables, forms,
                                        pixels + first * target.stride, target.stride, bytes,
                                        last - first + 1, cols);
    });
}

const std::int32_t* TKCanvas3D::DepthRow(std::int32_t y) const
{
    if (!m_depth.block.Data() || y < 0 || y >= m_depth.height) return nullptr;
    return reinterpret_cast<const std::int32_t*>(m_depth.Row(y));
}

const std::uint16_t* TKCanvas3D::ChannelRow(int n, std::int32_t y) const
{
    const Plane* c = Channel(n);
    if (!c || !c->present || !c->block.Data() || y < 0 || y >= c->height) return nullptr;
    return reinterpret_cast<const std::uint16_t*>(c->Row(y));
}

TKObjectsList* CanvasesList()
{
    return g_canvases.load(std::memory_order_acquire);
}

namespace {

void StartCanvases()
{
    g_canvases.store(TKObjectsList::NewNamed("Global List of KCanvas3D"), std::memory_order_release);
}

void EndCanvases()
{
    FreeObject(g_canvases.exchange(nullptr, std::memory_order_acq_rel));
    canvas_planes::ReleaseKeptBlocks();
}

}  // namespace

const TUnitInfo kKCanvas3DUnit{"KCanvas3D", StartCanvases, EndCanvases};
