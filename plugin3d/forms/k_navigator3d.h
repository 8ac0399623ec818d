#pragma once

// TKNavigator3D (unit KNavigator3DUn): the tool window that places one basis, the slave,
// relative to another, the master. It shows the slave's origin and axes in the master's
// axes, takes typed positions, angles and distances, steps them with auto-repeating
// buttons, turns the slave by a drag in its small dial view, and writes the result into the
// slave (which carries its sub-bases along) while the user works. The arithmetic lives in
// navigator_math.h; this file holds the window, its preview world and its project object.
//
// TKNavigator3DContainerObject: the project object ("Navigator 3D" under "Standart
// Objects") that owns one navigator window and keeps its settings in the project file.

#include <cstdint>
#include <optional>

#include "platform/forms/forms.h"
#include "platform/forms/units.h"
#include "plugin3d/forms/navigator_math.h"
#include "plugin3d/model/core/k_change_object.h"

class TEdit;
class TLabel;
class TMemo;
class TPaintBox;
class TSpeedButtonEx;
class TStringResource;
class TTimer;
class TTrackBar;
class TKBasis3D;
class TKCustomConstruction3DList;
class TKDrawingSystem3D;
class TKelvora3DProject;
class TKFlatCaption;
class TKNavigator3DContainerObject;
class TKSimpleScene3D;
class TKTiesConstruction3D;

/// The navigator's project-file record: always this many bytes.
inline constexpr int kNavigatorPayloadSize = 32;

class TKNavigator3D : public TForm {
    DECLARE_TCLASS(TKNavigator3D)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    TPaintBox* PaintBox2 = nullptr;
    TLabel* MasterLabel = nullptr;
    TLabel* SlaveLabel = nullptr;
    TLabel* IncLabel = nullptr;
    TSpeedButtonEx* MasterBtn = nullptr;
    TSpeedButtonEx* SlaveBtn = nullptr;
    TEdit* EditX = nullptr;
    TEdit* EditY = nullptr;
    TEdit* EditZ = nullptr;
    TEdit* EditA = nullptr;
    TEdit* EditB = nullptr;
    TEdit* EditC = nullptr;
    TEdit* EditD = nullptr;
    /// SpeedButton1 ... SpeedButton14, tags 1-14.
    TSpeedButtonEx* StepButtons[14] = {};
    TSpeedButtonEx* ButtonA = nullptr;
    TSpeedButtonEx* ButtonB = nullptr;
    TSpeedButtonEx* ButtonC = nullptr;
    TSpeedButtonEx* PlusBtn = nullptr;
    TSpeedButtonEx* MinusBtn = nullptr;
    TTrackBar* IncBar = nullptr;
    TSpeedButtonEx* MS_Btn = nullptr;
    TSpeedButtonEx* FixerBtn = nullptr;
    TSpeedButtonEx* InverseBtn = nullptr;
    TSpeedButtonEx* ApplyBtn = nullptr;
    TSpeedButtonEx* ResetBtn = nullptr;
    TSpeedButtonEx* MoreBtn = nullptr;
    TMemo* MoreMemo = nullptr;
    TStringResource* ReperData = nullptr;
    TStringResource* DialData = nullptr;
    TTimer* Timer1 = nullptr;

    /// The object that owns the window (set by it right after the window is made).
    void SetContainer(TKNavigator3DContainerObject* container) { m_container = container; }
    TKNavigator3DContainerObject* Container() const { return m_container; }
    /// The project that holds the container, looked up again at each show and pick.
    TKelvora3DProject* Project() const { return m_project; }

    /// Sets the master or slave (null: none) and resets. Refused when the basis is the
    /// other one, or the current one.
    void SetMaster(TKBasis3D* basis);
    void SetSlave(TKBasis3D* basis);
    TKBasis3D* Master() const { return m_master; }
    TKBasis3D* Slave() const { return m_slave; }

    /// Reads the slave relative to the master again.
    void Reset();
    /// Writes the shown placement into the slave.
    void Apply();
    /// The boxes, the angles and the memo from the state; keep (the box being typed in)
    /// keeps its text.
    void RefreshDisplay(TEdit* keep = nullptr);
    /// The reper of the dial takes the slave's orientation.
    void UpdateReper();
    /// The memo's text from the state (kept up to date while More shows it).
    void ShowInformation();
    const NavigatorMath& State() const { return m_nav; }
    /// The preview world of the dial.
    TKSimpleScene3D* Preview() const { return m_scene; }
    TKDrawingSystem3D* PreviewDrawing() const { return m_drawing; }
    /// The drawing system's palette in colour type 1.
    HPALETTE GetPalette() override;

    /// The 32 bytes of the project file.
    int SavePayload(TKObjectsStream* stream);
    /// Takes what SavePayload writes of the window and its controls (on the window's thread;
    /// a save's job writes what was taken last).
    void CaptureForSave();
    /// Drops both bases, reads the 32 bytes and keeps the stored bases for LinkPayload.
    /// Raises "Invalid Value" for an axis choice outside 1..3 or a step exponent outside 0..6.
    int LoadPayload(TKObjectsStream* stream);
    /// Resolves the stored bases, resets and places the window; it comes back at its depth
    /// when the project shows the reopened windows. Returns 2.
    int LinkPayload(TKObjectsStream* stream);

    void WndProc(TMessage& message) override;

protected:
    TKNavigator3D() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;

    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormShow(TObject* sender);
    void MasterBtnClick(TObject* sender);
    void SlaveBtnClick(TObject* sender);
    void ApplyBtnClick(TObject* sender);
    void ResetBtnClick(TObject* sender);
    void EditXChange(TObject* sender);
    void EditXKeyPress(TObject* sender, char& key);
    void SpeedButton1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void SpeedButton1MouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void Timer1Timer(TObject* sender);
    void IncBarChange(TObject* sender);
    void ButtonAClick(TObject* sender);
    void MinusBtnClick(TObject* sender);
    void InverseBtnClick(TObject* sender);
    void FixerBtnClick(TObject* sender);
    void MS_BtnClick(TObject* sender);
    void MoreBtnClick(TObject* sender);
    void PaintBox1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void PaintBox1MouseMove(TObject* sender, TShiftState shift, int x, int y);
    void PaintBox1MouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void PaintBox1Paint(TObject* sender);
    void PaintBox2Paint(TObject* sender);

private:
    TKEventHandler BasisHandler();
    TKEventHandler DrawingHandler();
    void OnBasisEvent(TObject* sender, int code, std::intptr_t param);
    void BasisEvent(TObject* sender, int code);
    void OnDrawingEvent(TObject* sender, int code, std::intptr_t param);
    /// Stores basis in field (refusing the other one and the same one), moving the
    /// subscription; true when it changed.
    bool ChangeBasis(TKBasis3D*& field, TKBasis3D* other, TKBasis3D* basis);
    void ShowBasisNames();
    void FindProject();
    void BuildPreview();
    void FreePreview();
    void SyncSwitches();
    void StepTick();
    void StopRepeat();
    /// Ends an interactive move: the project draws its views again at full quality.
    void FinishInteraction(bool notifySlave);
    void PickBasisFor(bool master);
    void FitToMemo();
    TEdit* FieldEdit(int field) const;
    void SetEditText(TEdit* edit, int width, int precision, double value, TEdit* keep);

    TKNavigator3DContainerObject* m_container = nullptr;
    TKelvora3DProject* m_project = nullptr;
    TKBasis3D* m_master = nullptr;
    TKBasis3D* m_slave = nullptr;
    NavigatorMath m_nav;
    // The drag in the dial.
    bool m_dragging = false;
    DialDrag m_drag;
    TMatrix3D m_dragStart;
    int m_lastX = -1;
    int m_lastY = -1;
    // The auto-repeat of a step button.
    double m_step = 0;
    int m_field = 0;
    int m_ticks = 0;
    bool m_displaying = false;
    bool m_anglesWritable = true;
    bool m_applying = false;
    bool m_destroying = false;
    // What the project file gave, for the link step.
    std::int32_t m_storedMaster = 0;
    /// Axis choice, step exponent, flags, depth, left and top as taken for a save.
    std::int32_t m_captured[6] = {1, 0, 0, 0, 0, 0};
    std::int32_t m_storedSlave = 0;
    bool m_storedOnTop = false;
    std::int32_t m_depth = 0;
    std::int32_t m_left = 0;
    std::int32_t m_top = 0;
    // The preview world: the scene owns everything in it.
    TKSimpleScene3D* m_scene = nullptr;
    TKDrawingSystem3D* m_drawing = nullptr;
    TKCustomConstruction3DList* m_dialList = nullptr;
    TKCustomConstruction3DList* m_reperList = nullptr;
    /// The orientation last given to the reper: the basis keeps it in its own form, so
    /// comparing with what the basis holds would redraw the dial for every unchanged step.
    std::optional<TMatrix3D> m_placedReper;
    TKTiesConstruction3D* m_dial = nullptr;
    TKTiesConstruction3D* m_reper = nullptr;
};

class TKNavigator3DContainerObject : public TKCustomChangeObject {
    DECLARE_TCLASS(TKNavigator3DContainerObject)

    /// The navigator window, made hidden, its caption bar showing the object's name.
    void Init() override;
    /// The inherited part, then the navigator's 32 bytes; -1 for a null stream.
    int SaveToStream(TKObjectsStream* stream) override;
    /// The inherited part, then the navigator's 32 bytes; the caption bar shows the name.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// The navigator's bases resolved and its window placed: 2 (-1 for a null stream).
    int LinkObjects(TKObjectsStream* stream) override;
    /// After the inherited codes, 4098 addressed to this object shows the window.
    int Operation(int code, std::intptr_t param) override;
    /// The caption bar shows the new name.
    void NameChanged() override;

    TKNavigator3D* Navigator() const { return m_navigator; }

protected:
    TKNavigator3DContainerObject() = default;
    /// Frees the window first.
    ~TKNavigator3DContainerObject() override;

private:
    void ShowName();
    TKNavigator3D* m_navigator = nullptr;
};

/// Unit KNavigator3DUn: the container's class, its caption "Navigator 3D", its place under
/// "Standart Objects" of the object lists' new items, and its glyph.
extern const TUnitInfo kKNavigator3DUnit;
