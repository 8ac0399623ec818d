#pragma once

// What point sets and surfaces share: the lighting switch, the attenuation by the distance
// from the camera, the owned private copy of a reflection law (whose events reach the owner),
// the bounding box with its "Center Point" sub-basis, and the lighting of one point in a draw
// pass. Each of the two classes holds one TKShadedParts and hands its setters to it.

#include <cstdint>
#include <vector>

#include "plugin3d/model/core/k_object.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/render/k_vectors.h"
#include "plugin3d/model/scene/k_custom3d.h"

/// The parts of a lit construction. Setters follow the owner's change protocol: under the
/// owner's lock, a change inside an update bracket of the owner, and ObjectChanged(0) when
/// the owner's switches say the picture depends on it.
class TKShadedParts {
public:
    explicit TKShadedParts(TKCustomConstruction3D& owner) : m_owner(owner) {}
    TKShadedParts(const TKShadedParts&) = delete;
    TKShadedParts& operator=(const TKShadedParts&) = delete;

    /// Lighting 1, attenuation (1, 0, 0), no law, the empty box, and a new basis "Center
    /// Point" hung under the owner's basis.
    void Init();
    /// Drops the law and frees the centre point (the owner's destruction).
    void Release();

    /// The bracket for writing the points or nodes directly: an update of the owner around it
    /// in every case; under the owner's lock the first level calls started(param), the closing
    /// of the last updateBounds() and then finished(param) (none while destroying).
    template <class Started>
    void BeginEditing(std::intptr_t param, Started&& started)
    {
        m_owner.BeginUpdate();
        TKObjectLock lock(m_owner);
        if (++m_editDepth == 1 && !m_owner.IsDestroying()) started(param);
    }
    template <class UpdateBounds, class Finished>
    void EndEditing(std::intptr_t param, UpdateBounds&& updateBounds, Finished&& finished)
    {
        try {
            TKObjectLock lock(m_owner);
            if (m_editDepth > 0 && --m_editDepth == 0 && !m_owner.IsDestroying()) {
                updateBounds();
                finished(param);
            }
        } catch (...) {
            m_owner.EndUpdate();
            throw;
        }
        m_owner.EndUpdate();
    }
    /// Open levels of the editing bracket (a construction being edited is not saved).
    int EditDepth() const { return m_editDepth; }

    std::int32_t Lighting() const { return m_lighting; }
    /// Negative gives 0, above 1 is ignored; a change: ObjectChanged(0) when Enabled.
    void SetLighting(std::int32_t lighting);
    /// Stores a lighting read from a file, clamped to 0..1, without events.
    void StoreLighting(std::int32_t lighting) { m_lighting = lighting < 0 ? 0 : lighting > 1 ? 1 : lighting; }

    /// C0 + C1 d + C2 d^2 divides the colour of a point d away from the camera, when above 1.
    void GetAttenuation(double& c0, double& c1, double& c2) const;
    /// A change: ObjectChanged(0) when Enabled.
    void SetAttenuation(double c0, double c1, double c2);

    TKCustomReflectionLaw* Reflection() const { return m_law; }
    /// Null drops the law. A law of the owned copy's class is assigned into the copy (its own
    /// 4100 then asks for the redraw); any other becomes a new subscribed copy (Clone), the
    /// old one freed, and ObjectChanged(0) follows when Enabled, Visible and lit.
    void SetReflection(TKCustomReflectionLaw* law);

    TKBasis3D* CenterPoint() const { return m_center; }
    /// The box of the positions in the owner's coordinates; (-1,-1,-1)-(1,1,1) when empty.
    void GetMinCorner(TVector3D& out) const { out = m_min; }
    void GetMaxCorner(TVector3D& out) const { out = m_max; }
    /// The box of no points: the defaults; the centre point stays where it is.
    void ResetBounds();
    /// Stores the box and places the centre point at its centre, carried by the owner's basis.
    void SetBounds(const TVector3D& min, const TVector3D& max);

    /// The shared tail of the payload: C0, C1, C2 (doubles), the law's object record (empty
    /// for none), the centre point's. Returns the bytes.
    int SaveTail(TKObjectsStream* stream);
    /// Drops the law without events (the load's first step).
    void DropLawQuietly();
    /// Reads what SaveTail wrote: the law as an object of lawClass, attached and subscribed;
    /// the centre point replaces (and frees) the current one. No centre point raises
    /// EStreamError "Invalid Object".
    int LoadTail(TKObjectsStream* stream, TClass lawClass);
    /// The owner's basis link (given as basisAnswer) plus the law's; negative answers count
    /// 0 and a total of 0 gives -1.
    int LinkObjects(TKObjectsStream* stream, int basisAnswer);

    /// Sets up a draw pass: the law uses normals and asks the context's lights with the
    /// context's constructions as shadow casters; the camera is the context's.
    void BeginPass(const TDrawContext3D& context);
    TKCustomProjectionSystem3D* Camera() const { return m_camera; }

private:
    void OnLawEvent(TObject* sender, int code, std::intptr_t param);
    void TakeLaw(TKCustomReflectionLaw* law);

    TKCustomConstruction3D& m_owner;
    int m_editDepth = 0;
    std::int32_t m_lighting = 1;
    double m_c[3] = {1, 0, 0};
    TKCustomReflectionLaw* m_law = nullptr;
    TKBasis3D* m_center = nullptr;
    TVector3D m_min{-1, -1, -1};
    TVector3D m_max{1, 1, 1};
    TKCustomProjectionSystem3D* m_camera = nullptr;
};

/// Widens the box [min, max] by p: a value below min lowers min, else one above max raises
/// max (NaN moves neither).
inline void ExpandBox(const TVector3S& p, TVector3D& min, TVector3D& max)
{
    const double v[3] = {p.x, p.y, p.z};
    double* lo[3] = {&min.x, &min.y, &min.z};
    double* hi[3] = {&max.x, &max.y, &max.z};
    for (int k = 0; k < 3; ++k) {
        if (v[k] < *lo[k])
            *lo[k] = v[k];
        else if (v[k] > *hi[k])
            *hi[k] = v[k];
    }
}

/// The colour of a point d away from the camera is divided by C0 + C1 d + C2 d^2 when that
/// is above 1: attenuation only ever darkens.
inline double AttenuationFactor(const double c[3], double d)
{
    const double a = c[0] + c[1] * d + c[2] * d * d;
    return a > 1 ? 1 / a : 1;
}

class TKSimpleDiffuseReflection;

/// Lights the points of one draw pass on one thread. The law's pointer fields belong to one
/// call, so every thread of a pass lights through a shader of its own, each with its own copy
/// of the law (MakeShaders).
class TPointShader {
public:
    /// law null: colours only (attenuated).
    TPointShader(TKCustomProjectionSystem3D* camera, const double attenuation[3], TKCustomReflectionLaw* law);

    /// Whether Shade reads a normal.
    bool Lit() const { return m_law != nullptr; }

    /// The vertex channels of a point at world position w with unit normal n (read only when
    /// Lit) and colour coefficients: the law's colour times the attenuation and the
    /// coefficients, or, unlit, the attenuated coefficients.
    void Shade(const TVector3S& w, const TVector3S& n, const TVector3S& colour, TVertex3S& vertex) const;

private:
    TKCustomProjectionSystem3D* m_camera;
    double m_c[3];
    TKCustomReflectionLaw* m_law;
    TKSimpleDiffuseReflection* m_diffuse;  // the law, when it is one that computes colours
};

/// Shaders for the slots of a pass: slot 0 lights through the owner's own law, every other
/// slot through a copy of it made for the pass (kept in copies, freed by the caller). Without
/// lighting (lit false or no law) every shader is unlit.
std::vector<TPointShader> MakeShaders(int slots, TKCustomProjectionSystem3D* camera,
                                      const double attenuation[3], TKCustomReflectionLaw* law, bool lit,
                                      std::vector<TOwned<TKCustomReflectionLaw>>& copies);
