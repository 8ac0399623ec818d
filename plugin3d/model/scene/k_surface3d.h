#pragma once

// Unit KSurfaces3D: TKSurface3D, the plug-in's main drawable object. A regular grid of nodes,
// usually made from raster layers (the surface editor fills the six value slots of every
// node: x, y, height and three colour coefficients), shown as points, a wire grid or a
// triangle mesh, lit per node through an owned reflection law and attenuated by the distance
// from the camera. Large grids are drawn with a sampling step.
//
// Nodes lie row by row; a row holds the width rounded up to 16 nodes (RowStride bytes), the
// buffer the height rounded up to 16 rows, so a resize within the same multiples of 16 keeps
// the block. The draw pass runs by bands of sampled rows on all cores (results do not depend
// on the number of threads) and emits its primitives in row order.

#include <cstdint>

#include "platform/forms/units.h"
#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_shaded_parts.h"

/// The value slots of a node, as the editor fills them.
enum TSurfaceSlot : int { kssX = 0, kssY, kssZ, kssRed, kssGreen, kssBlue, kSurfaceSlots };

/// One node, 48 bytes: the six value slots (source position in the surface's coordinates,
/// colour coefficients), and the vertex a draw pass makes of it (world, then projected
/// position; lit colour).
struct TSurfaceNode {
    float Values[kSurfaceSlots] = {};
    TVertex3S Vertex;

    TVector3S Source() const { return {Values[kssX], Values[kssY], Values[kssZ]}; }
    TVector3S Color() const { return {Values[kssRed], Values[kssGreen], Values[kssBlue]}; }
};
static_assert(sizeof(TSurfaceNode) == 48);

/// A node grid as the pass's kernels see it: node (i, j) starts at j * rowStride + i * 48;
/// stepX and stepY are the sampling steps.
struct TSurfaceGridView {
    std::uint8_t* nodes = nullptr;
    std::int64_t rowStride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stepX = 1;
    std::int32_t stepY = 1;

    TSurfaceNode& At(std::int32_t i, std::int32_t j) const
    {
        return reinterpret_cast<TSurfaceNode*>(nodes + j * rowStride)[i];
    }
};

/// The unit normal at sampled node (i, j): the cross product of the central differences of
/// the world positions (vertex x, y, z) of its sampled neighbours along i and along j. An edge
/// node stands in for its missing neighbour; a zero product stays zero.
TVector3S SurfaceNormal(const TSurfaceGridView& grid, std::int32_t i, std::int32_t j);

/// The drawing settings a depository applies before a viewer is drawn.
struct TSurfaceSettings {
    std::uint8_t Enabled = 1;
    std::uint8_t Visible = 1;
    std::uint8_t SmoothShading = 0;
    std::int32_t Lighting = 1;
    std::int32_t Mode = 3;
    std::int32_t Step = 1;
};

/// Drawing modes.
enum TSurfaceMode : std::int32_t { ksmBasisPoint = 0, ksmPoints = 1, ksmLines = 2, ksmTriangles = 3 };

class TKSurface3D : public TKCustomConstruction3D {
    DECLARE_TCLASS(TKSurface3D)

    /// An empty grid, Step 1, lighting 1, mode 3, flat, attenuation (1, 0, 0), no law, a new
    /// "Center Point" sub-basis.
    void Init() override;
    /// After the construction's part: width, height, Step, Lighting, mode, flags (bit 0
    /// SmoothShading, bit 1 StoreNodes), C0-C2, the law's record, the centre point's, and with
    /// StoreNodes the node buffer's byte size and bytes. "Busy" inside a grid update.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote. A negative size raises "Invalid Value"; a grid that
    /// cannot be had fails with EOutOfMemory and leaves the surface empty; a stored node block
    /// is read as far as the buffer goes and the rest skipped.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The basis and the law; a total of 0 gives -1.
    int LinkObjects(TKObjectsStream* stream) override;
    /// ObjectChanged(0) when Enabled, then 4097.
    void ChangeFinished() override;
    void GetMinCorner(TVector3D& out) override;
    void GetMaxCorner(TVector3D& out) override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    /// The pass: transform, light and project the sampled nodes, then emit them (mode 1
    /// points, 2 the wire grid, 3 triangles). Mode 0 draws the basis point. A stop of the
    /// context's thread ends it with EAbort within one sampled row.
    void Draw(TDrawContext3D* context) override;

    // Slots 31-39.
    /// Fires 4096 with param.
    virtual void GridChangeStarted(std::intptr_t param);
    /// Fires 4097 with param.
    virtual void GridChangeFinished(std::intptr_t param);
    /// Negative gives 0, above 1 is ignored.
    virtual void SetLighting(std::int32_t lighting);
    /// Negative gives 0, above 3 is ignored.
    virtual void SetMode(std::int32_t mode);
    virtual void SetSmoothShading(std::uint8_t smooth);
    /// Null drops the law; see TKShadedParts::SetReflection.
    virtual void SetReflection(TKCustomReflectionLaw* law);
    /// Frees the nodes inside a grid update; the grid is 0 x 0.
    virtual void ClearGrid();
    /// Negative sizes give 0. Keeps node (i, j) for i and j below both the old and the new
    /// size, zeroes the others. A grid of 2^31 nodes or more, or one the machine cannot hold,
    /// raises EOutOfMemory and leaves the surface empty.
    virtual void SetSize(std::int32_t width, std::int32_t height);
    /// The bytes of the node buffer of a width x height grid (padded to multiples of 16 each
    /// way); -1 for a grid of 2^31 nodes or more, which no surface holds.
    static std::int64_t GridBytes(std::int32_t width, std::int32_t height);
    /// Whether a load may give this surface a grid of width x height read from its file: one
    /// a surface can hold, whose nodes the file holds when it stores them (`storedBytes`; -1
    /// when it does not) and which the machine can give with the rest of the load. A refusal
    /// is told through the stream, naming the surface, the size and `asker` (who asked for
    /// it, such as "its editor"; empty for the surface's own record).
    bool GrantLoadedGrid(TKObjectsStream* stream, std::int32_t width, std::int32_t height,
                         std::int64_t storedBytes, const std::string& asker);
    /// The switches, shading, Step, Lighting (0..1) and mode (1..3) of one viewer, then
    /// ObjectChanged(0). Nothing while destroying.
    virtual void ApplySettings(const TSurfaceSettings& settings);

    /// The bracket for writing nodes directly: the first level fires 4096, the closing of the
    /// last updates the bounds and fires 4097; an update of the object around it in every
    /// case. The project treats 4096/4097 as a scene edit.
    void BeginGridUpdate(std::intptr_t param);
    void EndGridUpdate(std::intptr_t param);
    bool IsEmpty() const;

    /// Node row j: Width() nodes, null outside the grid.
    TSurfaceNode* NodeRow(std::int32_t j);
    /// Node (column i, row j), null outside the grid.
    TSurfaceNode* Node(std::int32_t i, std::int32_t j);
    /// Value slot k (TSurfaceSlot) of node (i, j), null outside the grid or the slots.
    float* NodeSlot(std::int32_t i, std::int32_t j, int k);
    /// The grid with the sampling steps in use.
    TSurfaceGridView GridView() const;

    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::int64_t RowStride() const { return m_rowStride; }
    std::int64_t BufferSize() const { return m_nodes.Bytes(); }
    std::int32_t Step() const { return m_step; }
    /// The sampling steps in use (ComputeSteps).
    std::int32_t StepX() const { return m_stepX; }
    std::int32_t StepY() const { return m_stepY; }
    std::int32_t RowsPerTick() const { return m_rowsPerTick; }
    std::int32_t ProgressTicks() const { return m_ticks; }
    std::int32_t Mode() const { return m_mode; }
    std::uint8_t SmoothShading() const { return m_smooth; }
    std::int32_t Lighting() const { return m_parts.Lighting(); }
    bool StoreNodes() const { return m_storeNodes; }
    void SetAttenuation(double c0, double c1, double c2) { m_parts.SetAttenuation(c0, c1, c2); }
    void GetAttenuation(double& c0, double& c1, double& c2) const { m_parts.GetAttenuation(c0, c1, c2); }
    TKCustomReflectionLaw* Reflection() const { return m_parts.Reflection(); }
    TKBasis3D* CenterPoint() const { return m_parts.CenterPoint(); }

    /// The sampling steps from Step and the size: Step (below 1 counts as 1) unless eight
    /// samples of it do not fit across, then (size + 7) div 8; rows per progress tick (about
    /// 1000 sampled nodes) and the ticks of a pass.
    void ComputeSteps();
    /// The box of the source positions of all nodes; an empty grid has the defaults.
    void UpdateBounds();

protected:
    TKSurface3D() : m_parts(*this) {}
    ~TKSurface3D() override;

private:
    struct Pass;
    void Resize(std::int32_t width, std::int32_t height);
    void TransformNodes(Pass& pass);
    void LightNodes(Pass& pass);
    void ProjectNodes(Pass& pass);
    void EmitPoints(Pass& pass);
    void EmitMesh(Pass& pass);

    canvas_planes::HeapBlock m_nodes;
    /// Set by a load for the end of its update only: the grid was made then and holds zeros.
    bool m_gridZero = false;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int64_t m_rowStride = 0;
    std::int32_t m_step = 1;
    std::int32_t m_stepX = 1;
    std::int32_t m_stepY = 1;
    std::int64_t m_byteStepX = 0;
    std::int64_t m_byteStepY = 0;
    std::int32_t m_rowsPerTick = 1;
    std::int32_t m_ticks = 1;
    std::int32_t m_mode = ksmTriangles;
    std::uint8_t m_smooth = 0;
    bool m_storeNodes = false;
    TKShadedParts m_parts;
};

/// Unit KSurfaces3D: registers TKSurface3D, its caption "Surface 3D" and the sub-item
/// "Standart Objects" / "Surface 3D" of the construction list.
extern const TUnitInfo kKSurfaces3DUnit;
