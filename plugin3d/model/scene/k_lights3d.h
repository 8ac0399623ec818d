#pragma once

// The three lights of the plug-in ("Ambient Light", "Flat Spring Light", "Point Spring
// Light"). A light illuminates a point by adding its contribution to a reflection law:
// the ambient light a constant colour, the flat light a colour along one direction, the
// point light a colour from its position, weakened with distance and shaped by a spot cone.
// The direction a light hands to the law is the way its light travels (towards the point).
//
// Setters change the light inside an update and fire 4100 (null) when the light is enabled.
// A light's direction and position follow its basis when a turn or move finishes (4097),
// never during it. Illuminate reads the light without a lock: the draw pass runs while
// whoever changes the scene has stopped it.

#include <cstdint>

#include "plugin3d/model/scene/k_custom3d.h"

/// A constant colour added everywhere, with the law's ambient weight.
class TKAmbientLight3D : public TKCustomLightSystem3D {
    DECLARE_TCLASS(TKAmbientLight3D)

    /// Colour (0, 0, 0).
    void Init() override;
    /// After the light's part, the colour (three doubles, +24).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The colour through the law's AddAmbient (double form in both), when enabled.
    void IlluminateSingle(TIllumination3S* record) override;
    void Illuminate(TIllumination3D* record) override;

    void SetColor(const TVector3D& colour);
    TVector3D Color() const;

protected:
    TKAmbientLight3D() = default;

private:
    TVector3D m_color;
};

/// A directional light: its colour travels along the x axis of its basis.
class TKFlatSpringLight3D : public TKCustomLightSystem3D {
    DECLARE_TCLASS(TKFlatSpringLight3D)

    /// Colour (1, 1, 1); the direction from the basis.
    void Init() override;
    /// After the light's part, red, green, blue (+24); the direction is taken from the basis
    /// after a load.
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The basis finished moving: the new direction, 4100 (null) when enabled, then 4097.
    void ChangeFinished() override;
    /// Red, green and blue along the direction (double forms), times the light left by the
    /// occluders when the record has some and the light casts shadows.
    void IlluminateSingle(TIllumination3S* record) override;
    void Illuminate(TIllumination3D* record) override;

    void SetColor(double red, double green, double blue);
    TVector3D Color() const;
    /// The normalised x axis of the basis as last taken.
    TVector3D Direction() const { return m_direction; }
    /// Takes the direction from the basis.
    void UpdateDirection();

protected:
    TKFlatSpringLight3D() = default;

private:
    TVector3D m_color{1, 1, 1};
    TVector3D m_direction{1, 0, 0};
};

/// A positional light with distance attenuation C0 + C1 d + C2 d^2 and a spot cone around
/// the x axis of its basis.
class TKPointSpringLight3D : public TKCustomLightSystem3D {
    DECLARE_TCLASS(TKPointSpringLight3D)

    /// Colour (1, 1, 1), attenuation (1, 0, 0), spot exponent 0 and cut-off -1 (light in
    /// every direction); position and direction from the basis.
    void Init() override;
    /// After the light's part, red, green, blue, C0, C1, C2, exponent, cut-off (+64);
    /// position and direction are taken from the basis after a load.
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The basis finished moving: the new placement, 4100 (null) when enabled, then 4097.
    void ChangeFinished() override;
    /// The colour from the position towards the point, times the spot factor, divided by the
    /// attenuation (nothing where it is 0 or less), times the light left by the occluders;
    /// each variant in its own precision.
    void IlluminateSingle(TIllumination3S* record) override;
    void Illuminate(TIllumination3D* record) override;

    // Slot 34.
    /// The spot's weight for the cosine between its axis and the way to the point: 0 below
    /// the cut-off, 1 without an exponent, else exp(-(exponent (1 - cosine))^2).
    virtual double SpotFactor(double cosine);

    void SetColor(double red, double green, double blue);
    void SetAttenuation(double c0, double c1, double c2);
    void SetSpot(double exponent, double cutOff);
    TVector3D Color() const;
    /// (C0, C1, C2).
    TVector3D Attenuation() const;
    double SpotExponent() const;
    double SpotCutOff() const;
    TVector3D Position() const { return m_position; }
    TVector3D Direction() const { return m_direction; }
    /// Takes the position (the basis's origin) and the direction from the basis.
    void UpdatePlacement();

protected:
    TKPointSpringLight3D() = default;

private:
    template <class Vector, class Record>
    void IlluminateIn(Record* record);

    double m_color[3] = {1, 1, 1};
    double m_attenuation[3] = {1, 0, 0};
    double m_spotExponent = 0;
    double m_spotCutOff = -1;
    TVector3D m_position;
    TVector3D m_direction{1, 0, 0};
};
