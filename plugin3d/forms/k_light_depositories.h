#pragma once

// The depositories of the light editors: named records of a light's settings, one per
// drawing system as chosen, applied to the light before each viewer is drawn. The point
// light's record holds colour, attenuation, spot and the enabled switch; the ambient one
// (which serves ambient and flat lights) colour and the switch. Applying an editor's copy
// runs at once, on the user-interface thread.

#include <cstdint>

#include "platform/forms/units.h"
#include "plugin3d/model/scene/k_depository.h"

/// The editor window's place, kept across closing and in the project file.
struct TLightEditorPlace {
    std::int32_t Left = -1;
    std::int32_t Top = -1;
    std::uint8_t KeepOnTop = 0;
    std::int32_t Drawing = 0;
    std::int32_t Record = 0;
    std::int32_t Depth = 0;  ///< window z-order depth; 0: not open
};

#pragma pack(push, 4)
/// The point light's 68-byte record.
struct TPointLightRecord {
    double Red = 1.0, Green = 1.0, Blue = 1.0;
    double Constant = 1.0, Linear = 0.0, Quadratic = 0.0;
    double SpotExponent = 0.0;
    double SpotCutOff = -1.0;
    std::int32_t Enabled = -1;  ///< -1 on, 0 off
};
/// The ambient and flat lights' 28-byte record.
struct TAmbientLightRecord {
    double Red = 1.0, Green = 1.0, Blue = 1.0;
    std::int32_t Enabled = -1;
};
#pragma pack(pop)
static_assert(sizeof(TPointLightRecord) == 68);
static_assert(sizeof(TAmbientLightRecord) == 28);

/// What both light depositories share: the editor's place and the hand-back of a copy.
class TKLightEditorDepository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(TKLightEditorDepository)

    void Init() override;
    /// The base's; from a depository of the same class also the place.
    void Assign(TPersistent* source) override;
    /// The base's payload, then left, top, keep-on-top, drawing, record and depth (24 bytes).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;

    /// Hands an editor's copy back: inside the light's update, its records and drawings, a
    /// redraw of the views (4100), and the copy's place.
    virtual void ApplyEdited(TKLightEditorDepository* copy);

    TLightEditorPlace& Place() { return m_place; }
    const TLightEditorPlace& Place() const { return m_place; }

protected:
    TKLightEditorDepository() = default;

private:
    TLightEditorPlace m_place;
};

class TKPointSpringLight3D_Depository : public TKLightEditorDepository {
    DECLARE_TCLASS(TKPointSpringLight3D_Depository)

    /// Not a point light: null.
    void SetConstruction(TKCustomConstruction3D* construction) override;
    int RecordSize() const override;
    void ClearRecordData(void* payload) override;
    /// True when one of the eight numbers differs, or the switches differ as booleans; only
    /// then is the record copied.
    bool CopyRecordData(void* dest, const void* source) override;
    void ApplyCurrentRecord() override;

protected:
    TKPointSpringLight3D_Depository() = default;
};

class TKAmbientLight3D_Depository : public TKLightEditorDepository {
    DECLARE_TCLASS(TKAmbientLight3D_Depository)

    /// Not an ambient or flat light: null.
    void SetConstruction(TKCustomConstruction3D* construction) override;
    int RecordSize() const override;
    void ClearRecordData(void* payload) override;
    bool CopyRecordData(void* dest, const void* source) override;
    /// The colour through the flat light's setter for a flat light, the ambient light's for
    /// an ambient one; then the switch.
    void ApplyCurrentRecord() override;

protected:
    TKAmbientLight3D_Depository() = default;
};

/// Unit KLightForms: the two depositories' class branches, their pairings with the light
/// classes and the glyphs "TKPointSpringLight3D_64", "TKAmbientLight3D_64",
/// "TKFlatSpringLight3D_64".
extern const TUnitInfo kKLightFormsUnit;
