#pragma once

// TKSimpleDiffuseReflection ("Simple Diffuse Reflection"), the reflection law of the plug-in:
// it turns the lights of a scene into the colour of one lit point. The owner of a law (a
// surface or point set, each with a private copy) points the borrowed fields at the point,
// its unit normal, the view direction and the output colour, and calls Compute: the output is
// cleared, every enabled light adds its share through AddAmbient and AddRed, AddGreen,
// AddBlue, and the sum is weighted by how squarely the point faces the camera.
//
// Both weights are clamped quadratics in a cosine: the light term A0 + A1 x + A2 x^2 weights
// each light by the cosine x between the normal and the way back to it, the radiation term
// R0 + R1 r + R2 r^2 the sum by the cosine r towards the camera; each is held to [0, 1]. The
// output is not clamped: two lights add up beyond 1.

#include <cstdint>

#include "plugin3d/model/scene/k_custom3d.h"

// Final: the law runs once per lit point and light, and its terms are inlined into the Add
// operations.
class TKSimpleDiffuseReflection final : public TKCustomReflectionLaw {
    DECLARE_TCLASS(TKSimpleDiffuseReflection)

    /// A law of this class: its name, and its coefficients when one of them differs (4100,
    /// null); null does nothing; any other source is refused.
    void Assign(TPersistent* source) override;
    // Slot 3. No borrowed fields, UseNormal 1, attenuation (0.5, 0.5, 0), radiation (1, 0, 0).
    void Init() override;
    // Slots 7, 8. After the name, A0, A1, A2, R0, R1, R2 (+48).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 20-27. Output channel 1, 2, 3 (red, green, blue) += the light term times the
    // contribution: of cosine 1 for ambient colour, of -(direction . normal) for a light
    // travelling along direction (1 when UseNormal is 0).
    void AddAmbientSingle(const TVector3S& colour) override;
    void AddAmbient(const TVector3D& colour) override;
    void AddRedSingle(const TVector3S& direction, float intensity) override;
    void AddRed(const TVector3D& direction, double intensity) override;
    void AddGreenSingle(const TVector3S& direction, float intensity) override;
    void AddGreen(const TVector3D& direction, double intensity) override;
    void AddBlueSingle(const TVector3S& direction, float intensity) override;
    void AddBlue(const TVector3D& direction, double intensity) override;

    // Slots 28-30.
    /// A0 + A1 x + A2 x^2, held to [0, 1] (NaN gives 0).
    virtual double LightTerm(double x);
    /// R0 + R1 x + R2 x^2, held to [0, 1] (NaN gives 0).
    virtual double RadiationTerm(double x);
    /// Lights the point into Output through Lights (nothing without Output; only the
    /// radiation weight of nothing without Lights).
    virtual void Compute();

    /// AddRed, AddGreen and AddBlue of one light at once (red, green, blue intensities):
    /// the same sums, with the cosine and its term taken once. The lights call these when
    /// they light through this law.
    void AddLightSingle(const TVector3S& direction, const float (&rgb)[3]);
    void AddLight(const TVector3D& direction, const double (&rgb)[3]);

    /// The setter convention: an update around the store and 4100 (null) when a value differs.
    void SetAttenuation(double a0, double a1, double a2);
    void SetRadiation(double r0, double r1, double r2);
    /// (A0, A1, A2) and (R0, R1, R2).
    TVector3D Attenuation() const;
    TVector3D Radiation() const;

    // Borrowed for one call of Compute (the law owns none of them).
    TKCustomLightSystem3DList* Lights = nullptr;      ///< the lights to ask
    TKCustomConstruction3DList* Occluders = nullptr;  ///< passed on to the lights' shadow tests
    const TVector3S* Point = nullptr;                 ///< the lit point (world)
    const TVector3S* Normal = nullptr;                ///< its unit normal
    const TVector3S* ViewDir = nullptr;               ///< unit vector from the camera to the point
    float* Output = nullptr;                          ///< three channels: red, green, blue
    std::uint8_t UseNormal = 1;                       ///< 0: every cosine counts as 1

protected:
    TKSimpleDiffuseReflection() = default;

private:
    template <class Vector>
    void AddAmbientColour(const Vector& colour);
    template <class Vector>
    double TermOf(const Vector& direction);
    template <class Vector, class Real>
    void AddChannel(int channel, const Vector& direction, Real intensity);

    double m_attenuation[3] = {0.5, 0.5, 0};
    double m_radiation[3] = {1, 0, 0};
};
