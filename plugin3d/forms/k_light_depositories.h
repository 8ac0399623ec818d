#pragma once

// The depositories of the light editors: named records of a light's settings, one per
// drawing system as chosen, applied to the light before each viewer is drawn. The point
// light's record holds colour, attenuation, spot and the enabled switch; the ambient one
// (which serves ambient and flat lights) colour and the switch. Applying an editor's copy
// runs at once, on the user-interface thread.

#include <cstdint>

#include "platform/forms/units.h"
#include "plugin3d/forms/editor_link.h"
#include "plugin3d/model/scene/k_depository.h"

class TKLightEditorForm;

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
    /// The base's payload, then left, top, keep-on-top, drawing, record and depth (24 bytes);
    /// an open editor's place and stacking depth are taken first.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Closes an open editor first.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The base's links; then, for a project saved with the editor open, the editor again
    /// (hidden, handed to the project to show in its old stacking order).
    int LinkObjects(TKObjectsStream* stream) override;
    /// Shows the editor (made when none is open) when param is this depository's light; -1
    /// otherwise.
    int OpenEditor(std::intptr_t param) override;
    /// A renamed light renames the editor's caption.
    void ConstructionNotify(TObject* sender, int code, std::intptr_t param) override;
    /// A working copy's record bar follows its drawing systems' names and ends.
    void DrawingNotify(TObject* sender, int code, std::intptr_t param) override;

    /// Hands an editor's copy back: inside the light's update, its records and drawings, a
    /// redraw of the views (4100), and the copy's place.
    virtual void ApplyEdited(TKLightEditorDepository* copy);

    /// The editor open on this depository (owned), or, for a working copy, the editor it
    /// belongs to (not owned).
    TKLightEditorForm* EditorForm() const { return m_editor.Get(); }
    void SetEditorForm(TKLightEditorForm* form, bool workingCopy);

    TLightEditorPlace& Place() { return m_place; }
    const TLightEditorPlace& Place() const { return m_place; }

protected:
    TKLightEditorDepository() = default;
    ~TKLightEditorDepository() override;
    /// A new editor form of the depository's class.
    virtual TKLightEditorForm* NewEditorForm() const = 0;

private:
    TLightEditorPlace m_place;
    TEditorLink<TKLightEditorForm> m_editor;
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
    TKLightEditorForm* NewEditorForm() const override;
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
    TKLightEditorForm* NewEditorForm() const override;
};

/// Unit KLightForms: the two depositories' class branches, their pairings with the light
/// classes and the glyphs "TKPointSpringLight3D_64", "TKAmbientLight3D_64",
/// "TKFlatSpringLight3D_64".
extern const TUnitInfo kKLightFormsUnit;
