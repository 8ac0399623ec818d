#pragma once

// Point sets and tie models. TKCustomPointConstruction3D draws an array of points, each with
// its own position, normal and colour, lit through an owned reflection law and attenuated by
// its distance from the camera. TKTiesConstruction3D joins points of its array by index into
// point, line and triangle primitives (ties), so small wire or facet models can be drawn; the
// navigator reads its models from tie-model texts (LoadFromText).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plugin3d/model/render/canvas_planes.h"
#include "plugin3d/model/scene/k_custom3d.h"
#include "plugin3d/model/scene/k_shaded_parts.h"

/// One point of a point set, 60 bytes: position, normal and colour coefficients (1 = full)
/// in the construction's coordinates, then the vertex a draw pass makes of it.
struct TPointRecord3D {
    TVector3S Position;
    TVector3S Normal;
    TVector3S Color;
    TVertex3S Vertex;
};
static_assert(sizeof(TPointRecord3D) == 60);

class TKCustomPointConstruction3D : public TKCustomConstruction3D {
    DECLARE_TCLASS(TKCustomPointConstruction3D)

    /// From another point set: its points (count and records), the bounds updated,
    /// ObjectChanged(0) when Enabled. Other sources raise the assignment error.
    void Assign(TPersistent* source) override;
    /// No points, lighting 1, attenuation (1, 0, 0), no law, a new "Center Point" sub-basis.
    void Init() override;
    /// After the construction's part: count, the 60-byte records, Lighting, C0-C2, the law's
    /// record, the centre point's. "Busy" while a points update is open; -1 for null.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote. A count the record cannot hold raises "Invalid Value";
    /// a missing centre point "Invalid Object".
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The basis and the law; a total of 0 gives -1.
    int LinkObjects(TKObjectsStream* stream) override;
    /// ObjectChanged(0) when Enabled, then 4097.
    void ChangeFinished() override;
    void GetMinCorner(TVector3D& out) override;
    void GetMaxCorner(TVector3D& out) override;
    void EnabledChanged() override;
    void VisibleChanged() override;
    /// Lights and projects every point (PreparePoint); when Visible and the context has a
    /// drawing system, EmitPrimitives. Nothing when disabled or without a camera.
    void Draw(TDrawContext3D* context) override;

    // Slots 31-37.
    /// Fires 4096 with param.
    virtual void PointsChangeStarted(std::intptr_t param);
    /// Fires 4097 with param.
    virtual void PointsChangeFinished(std::intptr_t param);
    /// Negative gives 0. A change resizes the array (new points zero) inside a points update.
    virtual void SetPointCount(std::int32_t count);
    /// 0 colours only, 1 lit through the law; negative gives 0, above 1 is ignored.
    virtual void SetLighting(std::int32_t lighting);
    /// Null drops the law; see TKShadedParts::SetReflection.
    virtual void SetReflection(TKCustomReflectionLaw* law);
    /// Fills the point's vertex: projected position and lit, attenuated colour.
    virtual void PreparePoint(TPointRecord3D& point);
    /// One DrawPointSingle per point.
    virtual void EmitPrimitives(TKCustomDrawSystem3D* drawSystem);

    /// The bracket for editing points directly (GetPoint): the first level fires 4096, the
    /// closing of the last updates the bounds and fires 4097; an update of the object around
    /// it in every case. The project treats 4096/4097 as a scene edit.
    void BeginPointsUpdate(std::intptr_t param);
    void EndPointsUpdate(std::intptr_t param);
    /// Point n, null out of range.
    TPointRecord3D* GetPoint(std::int32_t n);
    std::int32_t PointCount() const { return m_count; }

    void SetAttenuation(double c0, double c1, double c2) { m_parts.SetAttenuation(c0, c1, c2); }
    void GetAttenuation(double& c0, double& c1, double& c2) const { m_parts.GetAttenuation(c0, c1, c2); }
    std::int32_t Lighting() const { return m_parts.Lighting(); }
    TKCustomReflectionLaw* Reflection() const { return m_parts.Reflection(); }
    TKBasis3D* CenterPoint() const { return m_parts.CenterPoint(); }
    /// The box of the positions; with no points the defaults, the centre point left as it is.
    void UpdateBounds();

protected:
    TKCustomPointConstruction3D() : m_parts(*this) {}
    ~TKCustomPointConstruction3D() override;
    /// Resizes the array to count zeroed points (capacity in steps of 16); no events.
    void ResizePoints(std::int32_t count);
    void ReservePoints(std::int32_t count);
    /// Reads count points in place of the ones held.
    void ReadPoints(TKObjectsStream* stream, std::int32_t count);

private:
    // Millions of points, written before they are read: their memory may be reused.
    std::vector<TPointRecord3D, canvas_planes::ArrayAllocator<TPointRecord3D>> m_points;
    std::int32_t m_count = 0;
    /// The bounds of the points ReadPoints read last; valid for the end of a load's update only.
    struct {
        TVector3D min, max;
        bool valid = false;
    } m_readBounds;
    TKShadedParts m_parts;
};

class TKTiesConstruction3D;

/// Kinds of ties.
enum TKTieKind : std::int32_t { ktkPoint = 1, ktkLine = 2, ktkTriangle = 4 };

/// A primitive joining points of a ties construction by index.
class TKCustomTie3D : public TPersistent {
    DECLARE_TCLASS(TKCustomTie3D)

    /// Draws the primitive through drawSystem with the vertices of its points; the base draws
    /// nothing. An index outside the owner's points draws nothing.
    virtual void Draw(TKCustomDrawSystem3D* drawSystem);

    TKTiesConstruction3D* Owner() const { return m_owner; }
    std::int32_t Kind() const { return m_kind; }
    /// Point indexes: 1, 2 or 3 for kinds 1, 2 and 4, none for others.
    int IndexCount() const;
    std::int32_t Index(int k) const { return m_index[k]; }
    void SetIndex(int k, std::int32_t index) { m_index[k] = index; }

protected:
    TKCustomTie3D() = default;
    explicit TKCustomTie3D(std::int32_t kind) : m_kind(kind) {}
    /// The vertex of point index of the owner, null when there is none.
    const TVertex3S* VertexOf(std::int32_t index) const;

private:
    friend class TKTiesConstruction3D;
    TKTiesConstruction3D* m_owner = nullptr;
    std::int32_t m_kind = 0;
    std::int32_t m_index[3] = {-1, -1, -1};
};

class TKSimplePointTie3D : public TKCustomTie3D {
    DECLARE_TCLASS(TKSimplePointTie3D)
    void Draw(TKCustomDrawSystem3D* drawSystem) override;

protected:
    TKSimplePointTie3D() : TKCustomTie3D(ktkPoint) {}
};

class TKSimpleLineTie3D : public TKCustomTie3D {
    DECLARE_TCLASS(TKSimpleLineTie3D)
    void Draw(TKCustomDrawSystem3D* drawSystem) override;

protected:
    TKSimpleLineTie3D() : TKCustomTie3D(ktkLine) {}
};

class TKSimpleTriangleTie3D : public TKCustomTie3D {
    DECLARE_TCLASS(TKSimpleTriangleTie3D)
    void Draw(TKCustomDrawSystem3D* drawSystem) override;

protected:
    TKSimpleTriangleTie3D() : TKCustomTie3D(ktkTriangle) {}
};

/// A point set whose points are drawn through ties.
class TKTiesConstruction3D : public TKCustomPointConstruction3D {
    DECLARE_TCLASS(TKTiesConstruction3D)

    /// No ties, flat shading, TieMask 7.
    void Init() override;
    /// After the point set's part: SmoothShading, TieMask, the tie count, then per tie its
    /// kind (0 for an empty entry) and its indexes.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote; ties of unknown kinds leave their entries empty.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// With TieMask 0 the points; else SetShadeMode(SmoothShading) and every tie whose kind
    /// shares a bit with TieMask, in order.
    void EmitPrimitives(TKCustomDrawSystem3D* drawSystem) override;

    // Slots 38-40.
    /// Negative gives 0. Ties past count are freed; new entries are empty.
    virtual void SetTieCount(std::int32_t count);
    virtual void SetSmoothShading(std::uint8_t smooth);
    virtual void SetTieMask(std::int32_t mask);

    /// The index of tie, searched from the end; -1 when it is not here.
    std::int32_t IndexOfTie(const TKCustomTie3D* tie) const;
    /// Appends tie and owns it; returns its index. Null and a tie of another construction
    /// give -1; a tie already here gives its index.
    std::int32_t AddTie(TKCustomTie3D* tie);
    /// Tie n (null for an empty entry or out of range).
    TKCustomTie3D* GetTie(std::int32_t n) const;
    std::int32_t TieCount() const { return std::int32_t(m_ties.size()); }
    std::uint8_t SmoothShading() const { return m_smooth; }
    std::int32_t TieMask() const { return m_tieMask; }

    /// Reads a tie-model text into construction: the points, then the ties. Stops quietly at
    /// the first keyword it cannot find and keeps what it read; a number that is not one
    /// raises EConvertError. Callers bracket it with BeginPointsUpdate/EndPointsUpdate.
    static void LoadFromText(TKTiesConstruction3D* construction, std::string_view text);

protected:
    TKTiesConstruction3D() = default;
    ~TKTiesConstruction3D() override;

private:
    void FreeTies();

    std::vector<TKCustomTie3D*> m_ties;
    std::uint8_t m_smooth = 0;
    std::int32_t m_tieMask = 7;
};

/// The readers of tie-model texts, from a position in the text.
namespace tietext {
/// Moves pos to the first place from pos on where text continues with keyword
/// (case-sensitive); false, pos unchanged, when there is none.
bool FindTextKeyword(std::string_view text, std::size_t& pos, std::string_view keyword);
/// Skips separators (codes up to 32 and from 128 up) and reads the following token (codes 33
/// to 127) as an integer; 0 when no token starts before the end. A token that is no number
/// raises EConvertError. The decimal point is '.' whatever the locale.
std::int32_t ReadTextInt(std::string_view text, std::size_t& pos);
double ReadTextFloat(std::string_view text, std::size_t& pos);
}  // namespace tietext
