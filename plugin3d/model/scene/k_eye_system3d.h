#pragma once

// TKEyeSystem3D ("Eye System"), the camera of the plug-in: a pinhole that projects points of
// its basis onto the image plane ScreenDistance in front of the eye. It looks along its
// basis's local +z axis; a new camera's basis is turned by diag(1, 1, -1), so at the origin
// it looks along the parent's -z axis. Local x and y map to the image's x and y relative to
// the image centre (the drawing system adds the centre).

#include "plugin3d/model/scene/k_custom3d.h"

class TKEyeSystem3D : public TKCustomProjectionSystem3D {
    DECLARE_TCLASS(TKEyeSystem3D)

    static constexpr double kDefaultScreenDistance = 1000.0;
    static constexpr double kDefaultDepthScale = 1000.0;

    // Slot 2. Takes both doubles of another eye system (not its basis); other sources are
    // ignored.
    void Assign(TPersistent* source) override;
    // Slot 3. Both doubles 1000, the basis turned by diag(1, 1, -1).
    void Init() override;
    // Slots 7, 8. After the construction's part: ScreenDistance, DepthScale (+16).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    // Slot 21. The basis finished moving: a visible camera is drawn in other viewers, so
    // every viewer redraws (4100 with null); an invisible one redraws its own (4100 with the
    // camera). Then 4097.
    void ChangeFinished() override;
    // Slots 23, 24. (-d, -d, -d) and (d, d, d), d = ScreenDistance.
    void GetMinCorner(TVector3D& out) override;
    void GetMaxCorner(TVector3D& out) override;
    // Slots 31, 32. in is a point of the camera's basis: (x k, y k, z DepthScale) with
    // k = ScreenDistance / z; z = 0 gives (0, 0, 0). in and out may be the same vector.
    void ProjectSingle(const TVector3S& in, TVector3S& out) override;
    void Project(const TVector3D& in, TVector3D& out) override;

    /// The setter protocol: events 4, 4100 (this camera, when Enabled), 5; an equal value
    /// does nothing.
    void SetScreenDistance(double distance);
    void SetDepthScale(double scale);
    double ScreenDistance() const;
    double DepthScale() const;

protected:
    TKEyeSystem3D() = default;

private:
    void SetDouble(double& field, double value);

    double m_screenDistance = kDefaultScreenDistance;
    double m_depthScale = kDefaultDepthScale;
};
