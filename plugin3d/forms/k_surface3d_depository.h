#pragma once

// TKSurface3D_Depository: what the surface editor keeps of a surface in the project file.
// The grid size; for each of the six value slots (X, Y, Z, Red, Green, Blue) either a linear
// ramp between two bounds or a layer of a raster file resampled onto the grid and stretched
// onto the bounds; the attenuation, the reflection law and a free text; the editor window's
// place; and, as named records, the drawing settings of each viewer.
//
// ApplyEdited hands an edited copy back to the surface, refilling only the slots that
// changed. It runs on a job thread: the busy flag (set by the editor before the job starts)
// refuses saving and loading meanwhile, and the editor refuses edits.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "plugin3d/forms/editor_link.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_surface3d.h"

class TKCustomReflectionLaw;
class TKSurface3DForm;
class TKThread;
class TKThreadParams;

/// One value slot: linear between Min and Max, or from a layer of a file (then stretched
/// onto Min..Max).
struct TSurfaceLayerSlot {
    std::int32_t FromFile = 0;  ///< 0 "Linear", -1 "From file"
    double Max = 1.0;
    double Min = 0.0;
    std::int32_t LayerIndex = 0;
    std::string FileName;
    std::string LayerName;  ///< shown only, never saved
    /// The file was not found at the last load: the slot is filled linearly meanwhile and
    /// the next apply reads the file again (never saved).
    bool Missing = false;

    /// The fields an apply compares: a from-file slot also by its file and layer.
    bool SameFill(const TSurfaceLayerSlot& other) const;
};

/// The 16-byte record: the drawing settings of the viewers that choose it.
struct TSurfaceRecord {
    std::uint8_t Enabled = 255;
    std::uint8_t Visible = 255;
    std::uint8_t Smooth = 0;
    std::uint8_t Padding = 0;
    std::int32_t Lighting = 0;  ///< 0 "No light", 1 "Scene light"
    std::int32_t Mode = 3;      ///< 1 "Points", 2 "Lines", 3 "Triangles"
    std::int32_t Step = 1;
};
static_assert(sizeof(TSurfaceRecord) == 16);

/// The editor window's place, kept across closing and in the project file.
struct TSurfaceEditorPlace {
    std::int32_t Left = -1;
    std::int32_t Top = -1;
    std::uint8_t KeepOnTop = 0;
    std::int32_t Page = 0;  ///< 0 "General", 1 "Drawing", 2 "Additional"
    std::int32_t Slot = 0;
    std::int32_t Drawing = 0;
    std::int32_t Record = 0;
    std::int32_t Depth = 0;  ///< window z-order depth; 0: not open
};

/// The text " - NO LAYER -" stands for a slot whose layer could not be found.
inline constexpr char kNoLayerText[] = "- NO LAYER -";

class TKSurface3D_Depository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(TKSurface3D_Depository)

    void Init() override;
    /// From another surface depository: the records and drawings, counts, slots (with layer
    /// names), text, a clone of its law, attenuation and place. Anything else: the base's.
    void Assign(TPersistent* source) override;
    /// Not a surface: null.
    void SetConstruction(TKCustomConstruction3D* construction) override;
    int RecordSize() const override;
    void ClearRecordData(void* payload) override;
    /// True when one of the six fields differed; copies the record then.
    bool CopyRecordData(void* dest, const void* source) override;
    /// The current record's settings to the surface.
    void ApplyCurrentRecord() override;
    /// The base's payload, counts, slots, text, law, attenuation and place. "Busy" while an
    /// apply runs.
    int SaveToStream(TKObjectsStream* stream) override;
    /// What SaveToStream wrote. "Busy" while an apply runs; a negative count or layer index
    /// is "Invalid Value".
    int LoadFromStream(TKObjectsStream* stream) override;
    /// Finds each slot's file again (through the project's FindFile), then rebuilds the
    /// surface from the slots with its events muted. A slot whose layer is gone becomes
    /// linear, "- NO LAYER -".
    int LinkObjects(TKObjectsStream* stream) override;
    /// Shows the editor (made when none is open) when param is this depository's surface; -1
    /// otherwise.
    int OpenEditor(std::intptr_t param) override;
    /// A renamed surface renames the editor's caption.
    void ConstructionNotify(TObject* sender, int code, std::intptr_t param) override;
    /// A working copy's record bar follows its drawing systems' names and ends.
    void DrawingNotify(TObject* sender, int code, std::intptr_t param) override;

    /// Hands copy back to the surface (on the job's thread; thread may be null): the grid
    /// size, the slots that changed (all after a size change) refilled inside one grid
    /// update, text, law, attenuation, records and place. A grid the surface cannot hold
    /// fails with a message and leaves the surface as it was.
    virtual void ApplyEdited(TKThread* thread, TKSurface3D_Depository* copy);

    /// The editor's apply job: params hold the copy's pointer.
    void ApplyJob(TKThread* thread, TKThreadParams* params);

    TKSurface3D* Surface() const;

    /// The editor open on this depository (owned), or, for a working copy, the editor it
    /// belongs to (not owned).
    TKSurface3DForm* EditorForm() const { return m_editor.Get(); }
    void SetEditorForm(TKSurface3DForm* form, bool workingCopy);

    std::int32_t XCount() const { return m_xCount; }
    std::int32_t YCount() const { return m_yCount; }
    void SetCounts(std::int32_t x, std::int32_t y);
    const TSurfaceLayerSlot& Slot(int k) const { return m_slots[static_cast<std::size_t>(k)]; }
    TSurfaceLayerSlot& EditSlot(int k) { return m_slots[static_cast<std::size_t>(k)]; }
    const std::string& ReflectionText() const { return m_reflectionText; }
    void SetReflectionText(const std::string& text) { m_reflectionText = text; }
    TKCustomReflectionLaw* Law() const { return m_law; }
    /// Takes law (owned; null drops the old one).
    void SetLaw(TKCustomReflectionLaw* law);
    void GetAttenuation(double& c0, double& c1, double& c2) const;
    void SetAttenuation(double c0, double c1, double c2);
    TSurfaceEditorPlace& Place() { return m_place; }
    const TSurfaceEditorPlace& Place() const { return m_place; }

    bool IsBusy() const { return m_busy.load(std::memory_order_acquire); }
    void SetBusy(bool busy) { m_busy.store(busy, std::memory_order_release); }

    /// Opens the slot's file read-only: clamps its layer index to the layers it holds and
    /// takes that layer's name, or "- NO LAYER -" with false when there is none.
    static bool RefreshLayerName(TSurfaceLayerSlot& slot);

protected:
    TKSurface3D_Depository() = default;
    ~TKSurface3D_Depository() override;

private:
    /// Fills slot k of the surface from the slot's settings (nothing for an empty surface).
    void FillSlot(TKThread* thread, TKSurface3D& surface, int k);
    void FillLinear(TKThread* thread, TKSurface3D& surface, int k);
    void Stretch(TKThread* thread, TKSurface3D& surface, int k);

    std::int32_t m_xCount = 0;
    std::int32_t m_yCount = 0;
    std::array<TSurfaceLayerSlot, kSurfaceSlots> m_slots;
    std::string m_reflectionText;
    TKCustomReflectionLaw* m_law = nullptr;
    double m_attenuation[3] = {1.0, 0.0, 0.0};
    TSurfaceEditorPlace m_place;
    std::atomic<bool> m_busy{false};
    TEditorLink<TKSurface3DForm> m_editor;
};

/// Unit KSurface3DForm: the depository's class branch, its pairing with TKSurface3D and the
/// glyph "TKSurface3D_64".
extern const TUnitInfo kKSurface3DFormUnit;
