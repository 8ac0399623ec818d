#include "plugin3d/model/scene/k_surface3d.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/scene_bands.h"

IMPLEMENT_TCLASS(TKSurface3D, TKCustomConstruction3D)

namespace {

constexpr std::int64_t kNodeBytes = sizeof(TSurfaceNode);
// Node counts are int32 in the editor and the pass's row arithmetic.
constexpr std::int64_t kMaxNodes = std::int64_t(1) << 31;

std::int64_t RoundUp16(std::int64_t value)
{
    return (value + 15) / 16 * 16;
}

[[noreturn]] void RaiseTooLarge(std::int32_t width, std::int32_t height)
{
    EOutOfMemory error;
    error.SetMessage("A surface of " + std::to_string(width) + " x " + std::to_string(height) +
                     " nodes does not fit in memory");
    throw error;
}

// Helper threads of a band cannot check the job (CheckTerminated answers only on the job's
// own thread): they look at its stop request after every sampled row.
void ThrowIfStopped(TKThread* thread)
{
    if (thread && thread->IsStopRequested() && thread->State() == ktsRunning) throw EAbort();
}

std::int32_t StepAlong(std::int32_t size, std::int64_t step)
{
    return std::int32_t(8 * step > size ? (std::int64_t(size) + 7) / 8 : step);
}

void StartSurfaces()
{
    RegisterClassBranch(TKSurface3D::StaticClass());
    RegisterClassCaption(TKSurface3D::StaticClass(), "Surface 3D");
    RegisterStandardSubItem(TKCustomConstruction3DList::StaticClass(), "Surface 3D",
                            TKSurface3D::StaticClass());
}

void EndSurfaces()
{
    UnregisterClassBranch(TKSurface3D::StaticClass());
}

}  // namespace

const TUnitInfo kKSurfaces3DUnit{"KSurfaces3D", StartSurfaces, EndSurfaces};

TVector3S SurfaceNormal(const TSurfaceGridView& grid, std::int32_t i, std::int32_t j)
{
    const auto position = [&](std::int32_t x, std::int32_t y) {
        const TVertex3S& v = grid.At(x, y).Vertex;
        return TVector3S{v.x, v.y, v.z};
    };
    // An edge node stands in for its missing neighbour: the difference is one-sided there.
    const TVector3S pm = position(i - grid.stepX >= 0 ? i - grid.stepX : i, j);
    const TVector3S pp = position(std::int64_t(i) + grid.stepX < grid.width ? i + grid.stepX : i, j);
    const TVector3S qm = position(i, j - grid.stepY >= 0 ? j - grid.stepY : j);
    const TVector3S qp = position(i, std::int64_t(j) + grid.stepY < grid.height ? j + grid.stepY : j);
    const TVector3S dx{pp.x - pm.x, pp.y - pm.y, pp.z - pm.z};
    const TVector3S dy{qp.x - qm.x, qp.y - qm.y, qp.z - qm.z};
    TVector3S n{dx.y * dy.z - dx.z * dy.y, dx.z * dy.x - dx.x * dy.z, dx.x * dy.y - dx.y * dy.x};
    VectorNormalizeSingle(n, n);
    return n;
}

// What one draw pass carries between its phases.
struct TKSurface3D::Pass {
    TKThread* thread = nullptr;
    TKCustomProjectionSystem3D* camera = nullptr;
    TKCustomDrawSystem3D* drawSystem = nullptr;
    TSurfaceGridView grid;
    std::int64_t rows = 0;  // sampled rows
    std::int64_t cols = 0;  // sampled columns

    TSurfaceNode& Sampled(std::int64_t c, std::int64_t r) const
    {
        return grid.At(std::int32_t(c * grid.stepX), std::int32_t(r * grid.stepY));
    }
};

TKSurface3D::~TKSurface3D()
{
    Done();
    m_nodes.Free();
    m_width = m_height = 0;
    m_parts.Release();
}

void TKSurface3D::Init()
{
    TKCustomConstruction3D::Init();
    m_nodes.Free();
    m_width = m_height = 0;
    m_rowStride = 0;
    m_step = 1;
    m_mode = ksmTriangles;
    m_smooth = 0;
    m_storeNodes = false;
    m_parts.Init();
    ComputeSteps();
}

// Grid access

bool TKSurface3D::IsEmpty() const
{
    return !m_nodes.Data() || m_nodes.Bytes() <= 0 || m_width <= 0 || m_height <= 0;
}

TSurfaceGridView TKSurface3D::GridView() const
{
    return {m_nodes.Data(), m_rowStride, m_width, m_height, m_stepX, m_stepY};
}

TSurfaceNode* TKSurface3D::NodeRow(std::int32_t j)
{
    if (IsEmpty() || j < 0 || j >= m_height) return nullptr;
    return reinterpret_cast<TSurfaceNode*>(m_nodes.Data() + j * m_rowStride);
}

TSurfaceNode* TKSurface3D::Node(std::int32_t i, std::int32_t j)
{
    TSurfaceNode* row = NodeRow(j);
    return row && i >= 0 && i < m_width ? row + i : nullptr;
}

float* TKSurface3D::NodeSlot(std::int32_t i, std::int32_t j, int k)
{
    TSurfaceNode* node = Node(i, j);
    return node && k >= 0 && k < kSurfaceSlots ? &node->Values[k] : nullptr;
}

// The grid bracket and sizes

void TKSurface3D::BeginGridUpdate(std::intptr_t param)
{
    m_parts.BeginEditing(param, [this](std::intptr_t p) { GridChangeStarted(p); });
}

void TKSurface3D::EndGridUpdate(std::intptr_t param)
{
    m_parts.EndEditing(
        param, [this] { UpdateBounds(); }, [this](std::intptr_t p) { GridChangeFinished(p); });
}

void TKSurface3D::GridChangeStarted(std::intptr_t param)
{
    FireEvent(kevObjectChangeStarted, param);
}

void TKSurface3D::GridChangeFinished(std::intptr_t param)
{
    FireEvent(kevObjectChangeFinished, param);
}

void TKSurface3D::SetSize(std::int32_t width, std::int32_t height)
{
    width = std::max<std::int32_t>(width, 0);
    height = std::max<std::int32_t>(height, 0);
    TKObjectLock lock(*this);
    if (width == m_width && height == m_height) return;
    BeginGridUpdate(0);
    try {
        Resize(width, height);
        ComputeSteps();
        if (Enabled() && !IsDestroying()) ObjectChanged(0);
    } catch (...) {
        ComputeSteps();
        EndGridUpdate(0);
        throw;
    }
    EndGridUpdate(0);
}

std::int64_t TKSurface3D::GridBytes(std::int32_t width, std::int32_t height)
{
    const std::int64_t columns = RoundUp16(std::max<std::int32_t>(width, 0));
    const std::int64_t rows = RoundUp16(std::max<std::int32_t>(height, 0));
    if (columns * rows >= kMaxNodes) return -1;
    return columns * rows * kNodeBytes;
}

bool TKSurface3D::GrantLoadedGrid(TKObjectsStream* stream, std::int32_t width, std::int32_t height,
                                  std::int64_t storedBytes, const std::string& asker)
{
    if (!stream || width <= 0 || height <= 0) {
        if (stream) stream->GrantLoadMemory(this, 0);
        return true;
    }
    const std::int64_t bytes = GridBytes(width, height);
    std::string why;
    if (bytes < 0)
        why = "is more than a surface holds (2^31 nodes)";
    else if (storedBytes >= 0 && storedBytes < bytes)
        why = "needs " + ByteSizeText(bytes) + " of nodes, but the file stores " + ByteSizeText(storedBytes);
    else if (!stream->GrantLoadMemory(this, bytes))
        why = "needs " + ByteSizeText(bytes) + ", more than this machine can give the project now";
    else
        return true;
    stream->GrantLoadMemory(this, 0);
    stream->ReportRefusal("Surface \"" + Name() + "\": the grid of " + std::to_string(width) + " x " +
                          std::to_string(height) + " nodes " + (asker.empty() ? "" : asker + " asks for ") +
                          why + "; it loads empty.");
    return false;
}

void TKSurface3D::Resize(std::int32_t width, std::int32_t height)
{
    try {
        const std::int64_t columns = RoundUp16(width), rows = RoundUp16(height);
        if (columns * rows >= kMaxNodes) RaiseTooLarge(width, height);
        const std::int64_t stride = columns * kNodeBytes;
        const std::int64_t bytes = stride * rows;
        const std::int32_t oldWidth = m_nodes.Data() ? m_width : 0;
        const std::int32_t oldHeight = m_nodes.Data() ? m_height : 0;
        const std::int32_t keptWidth = std::min(width, oldWidth);
        if (bytes == m_nodes.Bytes() && stride == m_rowStride) {
            // The same block: nodes the old grid did not have are zeroed, the others stay.
            for (std::int32_t j = 0; j < height; ++j) {
                auto* row = reinterpret_cast<TSurfaceNode*>(m_nodes.Data() + j * stride);
                const std::int32_t from = j < oldHeight ? keptWidth : 0;
                if (width > from)
                    std::memset(static_cast<void*>(row + from), 0, std::size_t(width - from) * kNodeBytes);
            }
        } else {
            canvas_planes::HeapBlock fresh;
            try {
                fresh = canvas_planes::HeapBlock::Allocate(bytes);
            } catch (const EOutOfMemory&) {
                RaiseTooLarge(width, height);
            }
            const std::int32_t keptRows = std::min(height, oldHeight);
            for (std::int32_t j = 0; j < keptRows && keptWidth > 0; ++j)
                std::memcpy(fresh.Data() + j * stride, m_nodes.Data() + j * m_rowStride,
                            std::size_t(keptWidth) * kNodeBytes);
            m_nodes = std::move(fresh);
        }
        m_width = width;
        m_height = height;
        m_rowStride = stride;
    } catch (...) {
        m_nodes.Free();
        m_width = m_height = 0;
        m_rowStride = 0;
        throw;
    }
}

void TKSurface3D::ClearGrid()
{
    TKObjectLock lock(*this);
    if (!m_nodes.Data() && m_width == 0 && m_height == 0) return;
    BeginGridUpdate(0);
    m_nodes.Free();
    m_width = m_height = 0;
    m_rowStride = 0;
    ComputeSteps();
    EndGridUpdate(0);
    if (Enabled() && !IsDestroying()) ObjectChanged(0);
}

void TKSurface3D::ComputeSteps()
{
    if (IsEmpty()) {
        m_stepX = m_stepY = 1;
        m_byteStepX = m_byteStepY = 0;
        return;
    }
    // A Step below 1 would let no sampling loop advance.
    const std::int64_t step = std::max<std::int32_t>(m_step, 1);
    m_stepX = StepAlong(m_width, step);
    m_stepY = StepAlong(m_height, step);
    m_byteStepX = std::int64_t(m_stepX) * kNodeBytes;
    m_byteStepY = std::int64_t(m_stepY) * m_rowStride;
    const std::int64_t columns = std::max<std::int64_t>(1, (std::int64_t(m_width) + m_stepX - 1) / m_stepX);
    m_rowsPerTick = std::int32_t(std::max<std::int64_t>(1, (columns + 999) / columns));
    const std::int64_t rowsPerTick = std::int64_t(m_rowsPerTick) * m_stepY;
    m_ticks = std::int32_t((std::int64_t(m_height) + rowsPerTick - 1) / rowsPerTick);
}

void TKSurface3D::UpdateBounds()
{
    if (IsDestroying()) return;
    if (IsEmpty()) {
        m_parts.ResetBounds();
        return;
    }
    if (m_gridZero) {
        m_gridZero = false;
        m_parts.SetBounds(TVector3D{0, 0, 0}, TVector3D{0, 0, 0});
        return;
    }
    TVector3D min, max;
    VectorFromSingle(NodeRow(0)->Source(), min);
    max = min;
    for (std::int32_t j = 0; j < m_height; ++j) {
        const TSurfaceNode* row = NodeRow(j);
        for (std::int32_t i = 0; i < m_width; ++i) ExpandBox(row[i].Source(), min, max);
    }
    m_parts.SetBounds(min, max);
}

void TKSurface3D::GetMinCorner(TVector3D& out)
{
    m_parts.GetMinCorner(out);
}

void TKSurface3D::GetMaxCorner(TVector3D& out)
{
    m_parts.GetMaxCorner(out);
}

// Settings

void TKSurface3D::SetLighting(std::int32_t lighting)
{
    m_parts.SetLighting(lighting);
}

void TKSurface3D::SetMode(std::int32_t mode)
{
    if (mode < 0) mode = 0;
    if (mode > ksmTriangles) return;
    TKObjectLock lock(*this);
    if (mode == m_mode) return;
    WithinUpdate([&] {
        m_mode = mode;
        if (Enabled() && Visible() && !IsDestroying()) ObjectChanged(0);
    });
}

void TKSurface3D::SetSmoothShading(std::uint8_t smooth)
{
    smooth = smooth ? 1 : 0;
    TKObjectLock lock(*this);
    if (smooth == m_smooth) return;
    WithinUpdate([&] {
        m_smooth = smooth;
        if (Enabled() && Visible() && !IsDestroying()) ObjectChanged(0);
    });
}

void TKSurface3D::SetReflection(TKCustomReflectionLaw* law)
{
    m_parts.SetReflection(law);
}

void TKSurface3D::ApplySettings(const TSurfaceSettings& settings)
{
    if (IsDestroying()) return;
    TKObjectLock lock(*this);
    WithinUpdate([&] {
        SetEnabled(settings.Enabled ? 1 : 0);
        SetVisible(settings.Visible ? 1 : 0);
        m_smooth = settings.SmoothShading ? 1 : 0;
        m_step = settings.Step;
        m_parts.StoreLighting(settings.Lighting);
        m_mode = std::clamp<std::int32_t>(settings.Mode, ksmPoints, ksmTriangles);
        ComputeSteps();
        ObjectChanged(0);
    });
}

void TKSurface3D::ChangeFinished()
{
    if (Enabled()) ObjectChanged(0);
    TKCustomConstruction3D::ChangeFinished();
}

void TKSurface3D::EnabledChanged()
{
    ObjectChanged(0);
}

void TKSurface3D::VisibleChanged()
{
    if (Enabled()) ObjectChanged(0);
}

// The draw pass

void TKSurface3D::Draw(TDrawContext3D* context)
{
    if (!context || IsEmpty() || !Enabled()) return;
    if (m_mode < ksmPoints || m_mode > ksmTriangles) {
        TKCustomConstruction3D::Draw(context);
        return;
    }
    if (!context->Camera) return;
    m_parts.BeginPass(*context);
    Pass pass;
    pass.thread = context->Thread;
    pass.camera = context->Camera;
    pass.drawSystem = context->DrawSystem;
    pass.grid = GridView();
    pass.rows = (std::int64_t(m_height) + m_stepY - 1) / m_stepY;
    pass.cols = (std::int64_t(m_width) + m_stepX - 1) / m_stepX;
    if (pass.thread) pass.thread->SetProgressRange(0, m_ticks, 0);
    TransformNodes(pass);
    LightNodes(pass);
    ProjectNodes(pass);
    if (!pass.drawSystem || !Visible()) return;
    if (m_mode == ksmPoints)
        EmitPoints(pass);
    else
        EmitMesh(pass);
}

void TKSurface3D::TransformNodes(Pass& pass)
{
    if (pass.thread) pass.thread->CheckTerminated();
    const TKBasis3D* basis = Basis();
    RunSceneBands(pass.rows,
                  [&](const TSceneBand& band) {
                      for (std::int64_t r = band.begin; r < band.end; ++r) {
                          for (std::int64_t c = 0; c < pass.cols; ++c) {
                              TSurfaceNode& node = pass.Sampled(c, r);
                              TVector3S w;
                              basis->DirectTransformSingle(node.Source(), w);
                              node.Vertex.x = w.x;
                              node.Vertex.y = w.y;
                              node.Vertex.z = w.z;
                          }
                          ThrowIfStopped(pass.thread);
                      }
                  },
                  {});
    if (pass.thread) pass.thread->CheckTerminated();
}

void TKSurface3D::LightNodes(Pass& pass)
{
    double c[3];
    m_parts.GetAttenuation(c[0], c[1], c[2]);
    std::vector<TOwned<TKCustomReflectionLaw>> lawCopies;
    const std::vector<TPointShader> shaders = MakeShaders(
        SceneBandSlots(pass.rows), pass.camera, c, m_parts.Reflection(), m_parts.Lighting() == 1, lawCopies);
    std::int64_t stepped = 0;
    const auto progress = [&](std::int64_t rowsDone) {
        if (!pass.thread) return;
        const std::int64_t ticks = rowsDone / m_rowsPerTick;
        if (ticks > stepped) pass.thread->StepProgress(int(ticks - stepped));
        stepped = std::max(stepped, ticks);
    };
    RunSceneBands(
        pass.rows,
        [&](const TSceneBand& band) {
            const TPointShader& shader = shaders[std::size_t(band.slot)];
            TVector3S n;
            for (std::int64_t r = band.begin; r < band.end; ++r) {
                const auto j = std::int32_t(r * m_stepY);
                for (std::int64_t col = 0; col < pass.cols; ++col) {
                    const auto i = std::int32_t(col * m_stepX);
                    TSurfaceNode& node = pass.grid.At(i, j);
                    if (shader.Lit()) n = SurfaceNormal(pass.grid, i, j);
                    const TVector3S w{node.Vertex.x, node.Vertex.y, node.Vertex.z};
                    shader.Shade(w, n, node.Color(), node.Vertex);
                }
                ThrowIfStopped(pass.thread);
            }
        },
        progress);
}

void TKSurface3D::ProjectNodes(Pass& pass)
{
    if (pass.thread) pass.thread->CheckTerminated();
    RunSceneBands(pass.rows,
                  [&](const TSceneBand& band) {
                      for (std::int64_t r = band.begin; r < band.end; ++r) {
                          for (std::int64_t c = 0; c < pass.cols; ++c) {
                              TVertex3S& v = pass.Sampled(c, r).Vertex;
                              TVector3S at;
                              ProjectWorldPoint(pass.camera, {v.x, v.y, v.z}, at);
                              v.x = at.x;
                              v.y = at.y;
                              v.z = at.z;
                          }
                          ThrowIfStopped(pass.thread);
                      }
                  },
                  {});
    if (pass.thread) pass.thread->CheckTerminated();
}

namespace {

// One progress step every rowsPerTick emitted rows; the steps left at the end make the
// progress full.
class EmitProgress {
public:
    EmitProgress(TKThread* thread, std::int32_t ticks, std::int32_t rowsPerTick)
        : m_thread(thread), m_ticks(ticks), m_rowsPerTick(rowsPerTick), m_countdown(rowsPerTick)
    {
        if (m_thread) m_thread->SetProgressRange(0, ticks, 0);
    }
    void RowDone()
    {
        ThrowIfStopped(m_thread);
        if (!m_thread || --m_countdown > 0) return;
        m_thread->StepProgress(1);
        ++m_stepped;
        m_countdown = m_rowsPerTick;
    }
    /// The rows done so far (on the job's thread), where another thread checked for the stop.
    void RowsDone(std::int64_t rows)
    {
        if (!m_thread) return;
        const std::int64_t ticks = rows / m_rowsPerTick;
        if (ticks > m_stepped) {
            m_thread->StepProgress(std::int32_t(ticks - m_stepped));
            m_stepped = std::int32_t(ticks);
        }
    }
    void Finish()
    {
        if (m_thread && m_stepped < m_ticks) m_thread->StepProgress(m_ticks - m_stepped);
    }

private:
    TKThread* m_thread;
    std::int32_t m_ticks;
    std::int32_t m_rowsPerTick;
    std::int32_t m_countdown;
    std::int32_t m_stepped = 0;
};

}  // namespace

void TKSurface3D::EmitPoints(Pass& pass)
{
    EmitProgress progress(pass.thread, m_ticks, m_rowsPerTick);
    TKCustomDrawSystem3D* ds = pass.drawSystem;
    for (std::int64_t r = 0; r < pass.rows; ++r) {
        for (std::int64_t c = 0; c < pass.cols; ++c) ds->DrawPointSingle(pass.Sampled(c, r).Vertex);
        progress.RowDone();
    }
    progress.Finish();
}

void TKSurface3D::EmitMesh(Pass& pass)
{
    TKCustomDrawSystem3D* ds = pass.drawSystem;
    ds->SetShadeMode(m_smooth);
    EmitProgress progress(pass.thread, m_ticks, m_rowsPerTick);
    const std::int64_t lastCol = pass.cols - 1;
    if (m_mode != ksmLines) {
        const TVertexGrid3S grid{reinterpret_cast<const std::uint8_t*>(&pass.Sampled(0, 0).Vertex),
                                 std::int64_t(sizeof(TSurfaceNode)) * pass.grid.stepX,
                                 pass.grid.rowStride * pass.grid.stepY, pass.cols, pass.rows};
        TKThread* thread = pass.thread;
        ds->DrawTriangleGridSingle(grid, {[thread] { ThrowIfStopped(thread); },
                                          [&](std::int64_t rows) { progress.RowsDone(rows); }});
        progress.Finish();
        return;
    }
    for (std::int64_t r = 0; r + 1 < pass.rows; ++r) {
        for (std::int64_t c = 0; c < lastCol; ++c) {
            ds->DrawLineSingle(pass.Sampled(c, r).Vertex, pass.Sampled(c + 1, r).Vertex);
            ds->DrawLineSingle(pass.Sampled(c, r).Vertex, pass.Sampled(c, r + 1).Vertex);
        }
        ds->DrawLineSingle(pass.Sampled(lastCol, r).Vertex, pass.Sampled(lastCol, r + 1).Vertex);
        progress.RowDone();
    }
    for (std::int64_t c = 0; c < lastCol; ++c)
        ds->DrawLineSingle(pass.Sampled(c, pass.rows - 1).Vertex, pass.Sampled(c + 1, pass.rows - 1).Vertex);
    progress.Finish();
}

// Persistence

int TKSurface3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    if (m_parts.EditDepth() > 0)
        throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    if (m_storeNodes && m_nodes.Bytes() > INT32_MAX)
        throw EStreamError(ObjectErrorText(this, ktext::kCantSave, ktext::kInvalidValue));
    int bytes = TKCustomConstruction3D::SaveToStream(stream);
    bytes += WriteValue(stream, m_width);
    bytes += WriteValue(stream, m_height);
    bytes += WriteValue(stream, m_step);
    bytes += WriteValue(stream, m_parts.Lighting());
    bytes += WriteValue(stream, m_mode);
    bytes += WriteValue(stream, std::int32_t((m_smooth ? 1 : 0) | (m_storeNodes ? 2 : 0)));
    bytes += m_parts.SaveTail(stream);
    if (m_storeNodes) {
        const auto size = std::int32_t(m_nodes.Bytes());
        bytes += WriteValue(stream, size);
        if (size > 0) stream->Write(m_nodes.Data(), size);
        bytes += size;
    }
    return bytes;
}

int TKSurface3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    m_parts.DropLawQuietly();
    int bytes = TKCustomConstruction3D::LoadFromStream(stream);
    std::int32_t width = 0, height = 0;
    bytes += ReadValue(stream, width);
    bytes += ReadValue(stream, height);
    if (width < 0 || height < 0)
        throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidValue));
    // One grid update: its end finds the bounds once, for the nodes the record holds.
    TKObjectLock lock(*this);
    bool hadGrid = true;
    BeginGridUpdate(0);
    try {
        bytes += ReadValue(stream, m_step);
        std::int32_t lighting = 1, flags = 0;
        bytes += ReadValue(stream, lighting);
        m_parts.StoreLighting(lighting);
        bytes += ReadValue(stream, m_mode);
        bytes += ReadValue(stream, flags);
        m_smooth = (flags & 1) ? 1 : 0;
        m_storeNodes = (flags & 2) != 0;
        bytes += m_parts.LoadTail(stream, TKSimpleDiffuseReflection::StaticClass());
        // The grid is sized only once the record has shown whether it holds the nodes: a
        // size the surface, the file or the machine cannot hold is refused before anything
        // is allocated.
        const std::int32_t stored = m_storeNodes ? ReadCount(stream, this, 1) : -1;
        if (!GrantLoadedGrid(stream, width, height, stored, {})) width = height = 0;
        hadGrid = m_nodes.Data() != nullptr;
        SetSize(width, height);
        ComputeSteps();
        if (m_storeNodes) {
            const auto copied = std::int32_t(std::min<std::int64_t>(stored, m_nodes.Bytes()));
            if (copied > 0) stream->Read(m_nodes.Data(), copied);
            stream->SetPosition(stream->GetPosition() + (stored - copied));
            bytes += 4 + stored;
        }
    } catch (...) {
        EndGridUpdate(0);
        throw;
    }
    // A grid made just now for a record without nodes holds only zeros (fresh memory): the
    // bounds the update's end finds need not read it, page by page.
    m_gridZero = !m_storeNodes && !hadGrid && m_nodes.Data() != nullptr;
    struct ZeroGridEnds {
        bool& zero;
        ~ZeroGridEnds() { zero = false; }
    } ends{m_gridZero};
    EndGridUpdate(0);
    return bytes;
}

int TKSurface3D::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    return m_parts.LinkObjects(stream, TKCustomConstruction3D::LinkObjects(stream));
}
