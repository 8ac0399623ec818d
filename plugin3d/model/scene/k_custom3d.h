#pragma once

// Unit KCustom3D: the abstract classes every concrete 3D class stands on, and the records
// that pass between them during a draw pass.
//
// - TKCustomReflectionLaw: a surface's reflection law; lights feed it their contributions.
// - TKCustomDrawSystem3D: a drawing target; takes projected vertices as points, lines and
//   triangles.
// - TKCustomObject3D: an object placed in space by its own TKBasis3D, with a bounding box.
// - TKCustomConstruction3D: a drawable object with the switches Enabled and Visible.
// - TKCustomProjectionSystem3D: a camera, projecting points of its basis onto the image plane.
// - TKCustomLightSystem3D: a light, illuminating a point through a reflection law.
//
// Added operations have empty or trivial default bodies. An operation that exists in
// single and double precision comes as a pair, the single form (suffix Single) first.
// Records hold borrowed pointers: nobody frees what a record points to.

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/k_vectors.h"

class TKCustomConstruction3DList;
class TKCustomDrawSystem3D;
class TKCustomLightSystem3DList;
class TKCustomProjectionSystem3D;
class TKCustomReflectionLaw;
class TKObjectsList;
class TKThread;

/// Events of the 3D classes (sender = the object).
enum TKObject3DEvent : int {
    kevObjectChangeStarted = 4096,   ///< a 3D object's change started (its basis moves)
    kevObjectChangeFinished = 4097,  ///< ... and finished
    kevDrawingStarted = 4098,        ///< a drawing system's draw pass started (param as given)
    kevDrawingFinished = 4099,       ///< ... and finished
    kevPictureChanged = 4100,        ///< the picture may have changed (param as given)
};

/// A projected vertex: x and y on the image plane relative to its centre, z the depth, c1 to
/// c3 the three colour channels (1.0 = full).
struct TVertex3S {
    float x = 0, y = 0, z = 0, c1 = 0, c2 = 0, c3 = 0;
};
struct TVertex3D {
    double x = 0, y = 0, z = 0, c1 = 0, c2 = 0, c3 = 0;
};

/// Projected vertices laid out as a grid: vertex (c, r) lies r * rowStride + c * colStride
/// bytes past the first.
struct TVertexGrid3S {
    const std::uint8_t* first = nullptr;
    std::int64_t colStride = 0;
    std::int64_t rowStride = 0;
    std::int64_t cols = 0;
    std::int64_t rows = 0;

    const TVertex3S& At(std::int64_t c, std::int64_t r) const
    {
        return *reinterpret_cast<const TVertex3S*>(first + r * rowStride + c * colStride);
    }
};

/// What a grid draw reports: checkStop() after every row of cells and every band of the
/// picture it draws, on whichever thread did it (it may throw to stop the draw), and
/// rowsDone(n) on the calling thread with the rows of cells drawn so far. Either may be empty.
struct TGridDrawReport {
    std::function<void()> checkStop;
    std::function<void(std::int64_t rows)> rowsDone;
};

/// What a draw pass hands to Draw. A list's pass may set DrawSystem to null for its items
/// for a while; it restores it afterwards.
struct TDrawContext3D {
    TKCustomProjectionSystem3D* Camera = nullptr;
    TKCustomLightSystem3DList* Lights = nullptr;
    TKCustomConstruction3DList* Objects = nullptr;  ///< the shadow casters
    TKCustomDrawSystem3D* DrawSystem = nullptr;     ///< null: nothing is painted
    TKThread* Thread = nullptr;                     ///< null: no progress or status
};

/// What Illuminate takes: the lit point (world), the law that receives the contributions,
/// and the constructions of the shadow test (null: no test).
struct TIllumination3S {
    const TVector3S* Point = nullptr;
    TKCustomReflectionLaw* Reflection = nullptr;
    TKCustomConstruction3DList* Occluders = nullptr;
};
struct TIllumination3D {
    const TVector3D* Point = nullptr;
    TKCustomReflectionLaw* Reflection = nullptr;
    TKCustomConstruction3DList* Occluders = nullptr;
};

/// What Occlude takes: the ray from the light (From) to the lit point (To), and the light
/// transmission left (starts at 1; an occluder lowers it; 0 or less is full shadow).
struct TOcclusion3S {
    const TVector3S* From = nullptr;
    const TVector3S* To = nullptr;
    float* Factor = nullptr;
};
struct TOcclusion3D {
    const TVector3D* From = nullptr;
    const TVector3D* To = nullptr;
    double* Factor = nullptr;
};

/// A reflection law: lights add ambient colour and per-channel directional light to it.
class TKCustomReflectionLaw : public TKCustomChangeObject {
    DECLARE_TCLASS(TKCustomReflectionLaw)

    /// The inherited constructor, then joins "Global List of KCustomReflectionLaw".
    void Create(void* owner) override;

    // Slots 20-27. The colour is (channel 1, 2, 3); direction is the light's direction.
    virtual void AddAmbientSingle(const TVector3S& colour);
    virtual void AddAmbient(const TVector3D& colour);
    virtual void AddRedSingle(const TVector3S& direction, float intensity);
    virtual void AddRed(const TVector3D& direction, double intensity);
    virtual void AddGreenSingle(const TVector3S& direction, float intensity);
    virtual void AddGreen(const TVector3D& direction, double intensity);
    virtual void AddBlueSingle(const TVector3S& direction, float intensity);
    virtual void AddBlue(const TVector3D& direction, double intensity);

protected:
    TKCustomReflectionLaw() = default;
    ~TKCustomReflectionLaw() override;
};

/// A drawing target.
class TKCustomDrawSystem3D : public TKCustomChangeObject {
    DECLARE_TCLASS(TKCustomDrawSystem3D)

    /// The inherited constructor, then joins "Global List of KCustomDrawSystem3D".
    void Create(void* owner) override;
    /// Enabled 1, flat shading, no pass open.
    void Init() override;
    /// The name, then an int32 of flags: bit 0 Enabled, bit 1 SmoothShading. -1 for null.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote; the flags are stored without events.
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 20-32.
    /// Fires 4098 with param.
    virtual void DrawingStarted(std::intptr_t param);
    /// Fires 4099 with param.
    virtual void DrawingFinished(std::intptr_t param);
    virtual void EnabledChanged();
    /// Stores mode in SmoothShading (0 flat: a primitive takes the mean of its vertex colours).
    virtual void SetShadeMode(std::uint8_t mode);
    virtual void Clear();
    virtual void DrawPointSingle(const TVertex3S& v);
    virtual void DrawPoint(const TVertex3D& v);
    virtual void DrawLineSingle(const TVertex3S& a, const TVertex3S& b);
    virtual void DrawLine(const TVertex3D& a, const TVertex3D& b);
    virtual void DrawTriangleSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c);
    virtual void DrawTriangle(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c);
    virtual void DrawQuadSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c,
                                const TVertex3S& d);
    virtual void DrawQuad(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c, const TVertex3D& d);
    /// Beyond the slots: the cells of a grid row by row, two triangles each, the diagonals
    /// alternating as a checkerboard: cell (c, r) is (n00, n10, n11), (n00, n01, n11) where
    /// c + r is odd and (n00, n10, n01), (n11, n10, n01) where it is even (n10 is one column
    /// on, n01 one row on). Here one DrawTriangleSingle per triangle; a system that can share
    /// each vertex between its triangles draws the same in fewer steps.
    virtual void DrawTriangleGridSingle(const TVertexGrid3S& grid, const TGridDrawReport& report);

    /// The setter protocol: events 4, then EnabledChanged, then 5; an equal value does nothing.
    void SetEnabled(std::uint8_t enabled);
    std::uint8_t Enabled() const { return m_enabled.load(std::memory_order_acquire); }
    std::uint8_t SmoothShading() const { return m_smoothShading.load(std::memory_order_acquire); }

    /// The bracket of one draw pass (one thread at a time; no lock): the first level calls
    /// DrawingStarted, the closing of the last DrawingFinished; a surplus end does nothing.
    void BeginDrawing(std::intptr_t param);
    void EndDrawing(std::intptr_t param);
    int DrawingDepth() const { return m_drawingDepth.load(std::memory_order_acquire); }

protected:
    TKCustomDrawSystem3D() = default;
    ~TKCustomDrawSystem3D() override;

private:
    std::atomic<std::uint8_t> m_enabled{1};
    std::atomic<int> m_drawingDepth{0};
    std::atomic<std::uint8_t> m_smoothShading{0};
};

/// An object placed in space by its own basis, which it owns and names like itself. The
/// basis's events 4096, 4097 and 4100 come out as ChangeStarted, ChangeFinished and
/// ObjectChanged(this).
class TKCustomObject3D : public TKCustomChangeObject {
    DECLARE_TCLASS(TKCustomObject3D)

    /// Makes the basis (owned, named like the object) and listens to it.
    void Init() override;
    /// Renames the basis, then fires 8.
    void NameChanged() override;
    /// Kinds 3 and 4 only (else -1): passes the operation to the basis; 1 plus its positive
    /// answer.
    int BeginOperation(int kind) override;
    int EndOperation(int kind) override;
    /// The name, then the basis as an object record. -1 for a null stream.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads the name and a basis record, which replaces (and frees) the current basis. A
    /// record that gives no basis raises EStreamError "Invalid Object".
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The basis's link; -1 for a null stream.
    int LinkObjects(TKObjectsStream* stream) override;

    // Slots 20-24.
    /// Fires 4096.
    virtual void ChangeStarted();
    /// Fires 4097.
    virtual void ChangeFinished();
    /// Fires 4100 with param.
    virtual void ObjectChanged(std::intptr_t param);
    /// The bounding box in the object's own basis coordinates: (-1, -1, -1) to (1, 1, 1).
    virtual void GetMinCorner(TVector3D& out);
    virtual void GetMaxCorner(TVector3D& out);

    TKBasis3D* Basis() const { return m_basis; }

protected:
    TKCustomObject3D() = default;
    /// Stops listening to the basis and frees it.
    ~TKCustomObject3D() override;

private:
    void OnBasisEvent(TObject* sender, int code, std::intptr_t param);
    void TakeBasis(TKBasis3D* basis);
    void ReleaseBasis();

    TKBasis3D* m_basis = nullptr;
};

/// A drawable object with the switches Enabled and Visible.
class TKCustomConstruction3D : public TKCustomObject3D {
    DECLARE_TCLASS(TKCustomConstruction3D)

    /// The inherited constructor, then joins "Global List of KCustomConstruction3D".
    void Create(void* owner) override;
    /// Enabled and Visible 1.
    void Init() override;
    /// After the object's part, an int32 of flags: bit 0 Enabled, bit 1 Visible.
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 25-30.
    /// ObjectChanged(0).
    virtual void EnabledChanged();
    /// ObjectChanged(0) when Enabled.
    virtual void VisibleChanged();
    /// The shadow test of a ray; the default casts no shadow.
    virtual void OccludeSingle(TOcclusion3S* record);
    virtual void Occlude(TOcclusion3D* record);
    /// The default draws one white point at the basis's origin, when Enabled and Visible
    /// (and only when the context has a camera to project it and a drawing system to take it).
    virtual void Draw(TDrawContext3D* context);
    /// A copy of what the construction draws; the default has none (null).
    virtual TKCustomConstruction3D* CreateSnapshot(TPersistent* owner);

    /// The setter protocol: events 4, then the switch's notification, then 5; an equal value
    /// does nothing.
    void SetEnabled(std::uint8_t enabled);
    void SetVisible(std::uint8_t visible);
    std::uint8_t Enabled() const { return m_enabled.load(std::memory_order_acquire); }
    std::uint8_t Visible() const { return m_visible.load(std::memory_order_acquire); }

protected:
    TKCustomConstruction3D() = default;
    ~TKCustomConstruction3D() override;
    /// Stores Visible without events (Init of cameras and lights).
    void StoreVisible(std::uint8_t visible) { m_visible.store(visible, std::memory_order_release); }

private:
    std::atomic<std::uint8_t> m_enabled{1};
    std::atomic<std::uint8_t> m_visible{1};
};

/// A camera: Project takes a point in the camera's basis coordinates to the vertex position.
class TKCustomProjectionSystem3D : public TKCustomConstruction3D {
    DECLARE_TCLASS(TKCustomProjectionSystem3D)

    /// Visible 0.
    void Init() override;

    // Slots 31-34. In and out may be the same vector.
    /// The default copies in to out.
    virtual void ProjectSingle(const TVector3S& in, TVector3S& out);
    virtual void Project(const TVector3D& in, TVector3D& out);
    /// in minus the basis's origin (no rotation).
    virtual void ToLocalSingle(const TVector3S& in, TVector3S& out);
    virtual void ToLocal(const TVector3D& in, TVector3D& out);

protected:
    TKCustomProjectionSystem3D() = default;
};

/// A light: illuminates a point through a reflection law, with a shadow test when Shadows.
class TKCustomLightSystem3D : public TKCustomConstruction3D {
    DECLARE_TCLASS(TKCustomLightSystem3D)

    /// Visible 0, Shadows 0.
    void Init() override;
    /// After the construction's part, an int32: Shadows (0 or 1).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 31-33.
    /// ObjectChanged(0) when Enabled.
    virtual void LightChanged();
    virtual void IlluminateSingle(TIllumination3S* record);
    virtual void Illuminate(TIllumination3D* record);

    /// The setter protocol, notifying LightChanged.
    void SetShadows(std::uint8_t shadows);
    std::uint8_t Shadows() const { return m_shadows.load(std::memory_order_acquire); }

protected:
    TKCustomLightSystem3D() = default;

private:
    std::atomic<std::uint8_t> m_shadows{0};
};

/// Takes a world point into the camera's basis coordinates and projects it (ProjectSingle).
void ProjectWorldPoint(TKCustomProjectionSystem3D* camera, const TVector3S& point, TVector3S& out);

/// The unit's global lists while it runs, else null.
TKObjectsList* Construction3DGlobalList();
TKObjectsList* ReflectionLawGlobalList();
TKObjectsList* DrawSystem3DGlobalList();

/// Unit KCustom3D: "Global List of KCustomConstruction3D", "Global List of
/// KCustomReflectionLaw" and "Global List of KCustomDrawSystem3D".
extern const TUnitInfo kKCustom3DUnit;
