#pragma once

// TKViewer3D (unit KViewer3DUn): the window in which one drawing system shows its picture.
// Every drawing system made with the plain constructor gets one (hidden) through the forms'
// links, keeps its place in its own part of the project file, and frees it when it goes. The
// window paints the drawing system's bitmap below its caption bar, resizes the picture when
// the user resizes it, keeps its caption equal to the drawing system's name, and offers
// "Save as Bitmap" and the setup form. The unit also answers the drawing system's requests
// (open: show the viewer; popup menu: "Setup..." and "Select Camera...") and holds the
// camera picker TKSelectCameraForm.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/forms/comctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/units.h"
#include "plugin3d/model/core/k_data_branch.h"

class TMenuItem;
class TPanel;
class TButton;
class TPopupMenu;
class TSaveDialog;
class TKDrawingSystem3D;
class TKFlatCaption;
class TKObjectsStream;
class TKViewer3DSetup;
class TKelvora3DProject;
class TKCustomProjectionSystem3D;

class TKViewer3D : public TForm {
    DECLARE_TCLASS(TKViewer3D)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TPopupMenu* PopupMenu1 = nullptr;
    TMenuItem* Save1 = nullptr;
    TMenuItem* SetupMenu = nullptr;
    TSaveDialog* SaveDialog1 = nullptr;

    /// Attaches system (null detaches): events re-posted to this window, the window fitted to
    /// the picture and repainted. Nothing for the system shown already.
    void SetDrawingSystem(TKDrawingSystem3D* system);
    TKDrawingSystem3D* DrawingSystem() const { return m_system; }
    TKViewer3DSetup* Setup() const { return m_setup; }
    bool SetupWasVisible() const { return m_setupWasVisible; }
    /// The bytes of the window's part of its drawing system's record.
    static constexpr int kPlacementBytes = 40;
    /// The placement block (24 bytes: the normal rectangle, flags, stacking depth) and the
    /// setup form's block (16). A null stream: 24 on save, -1 on load. Any thread: on
    /// another than the window's, the place taken last (CapturePlacement) is written.
    int SaveToStream(TKObjectsStream* stream);
    /// Takes the window's and its setup form's place now (the window's thread).
    void CapturePlacement();
    int LoadFromStream(TKObjectsStream* stream);
    /// What LoadFromStream read: the window's place and state, and its setup form's.
    struct TViewerPlacement {
        std::int32_t rect[4] = {};
        std::uint32_t flags = 0;
        std::int32_t depth = 0;
        std::int32_t setupLeft = 0, setupTop = 0, setupDepth = 0;
        std::uint32_t setupFlags = 0;
    };
    /// Places the window and its setup form as read (on the window's thread).
    void ApplyPlacement(const TViewerPlacement& place);
    /// Writes the picture as a bitmap file (".bmp" added to a name without extension), under
    /// the drawing system's lock; nothing inside a setup bracket. True when written.
    bool SaveBitmap(const std::string& fileName);
    /// Messages posted to the window by the drawing system's events so far (a test counts).
    int PostedEvents() const { return m_posted.load(); }

    void WndProc(TMessage& message) override;
    HPALETTE GetPalette() override;

protected:
    TKViewer3D() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormHide(TObject* sender);
    void FormShow(TObject* sender);
    /// The picture (OnPaint), then the form's colour around it.
    void Paint() override;
    void FormPaint(TObject* sender);
    void FormResize(TObject* sender);
    void Save1Click(TObject* sender);
    void SetupMenuClick(TObject* sender);

private:
    void SystemEvent(TObject* sender, int code, std::intptr_t param);
    void FitToPicture();
    void UpdateCaptions();

    TKViewer3DSetup* m_setup = nullptr;
    bool m_setupWasVisible = false;
    TKDrawingSystem3D* m_system = nullptr;
    bool m_inResize = false;
    bool m_created = false;
    bool m_destroying = false;
    HWND m_handle = nullptr;
    CRect m_pictureArea;  ///< what the last FormPaint covered with the picture (paint only)
    std::atomic<int> m_posted{0};
    std::mutex m_placementMutex;
    std::array<std::uint8_t, kPlacementBytes> m_placement{};  ///< guarded by m_placementMutex
};

/// TKSelectCameraForm (unit KCameraSelectUn): the cameras of a project as a tree, to pick one.
class TKSelectCameraForm : public TForm {
    DECLARE_TCLASS(TKSelectCameraForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TTreeView* TreeView1 = nullptr;
    TPanel* Panel1 = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

    TKDataBranch* Root() const { return m_root; }

protected:
    TKSelectCameraForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormResize(TObject* sender);
    void TreeView1DblClick(TObject* sender);
    void TreeView1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

private:
    TKDataBranch* m_root = nullptr;
    CPoint m_lastPress{-1, -1};
};

/// Runs the camera picker titled caption over the project's cameras, current selected; true
/// on Ok, with camera the picked camera (null when the picked node is none). False at once
/// without a project.
bool SelectCamera(const std::string& caption, TKelvora3DProject* project,
                  TKCustomProjectionSystem3D*& camera);

/// The viewer window of a drawing system (null without one).
TKViewer3D* ViewerOf(TKDrawingSystem3D* system);
/// Takes the place of every viewer of the project now, for a save on a job's thread.
void CaptureViewerPlacements(TKelvora3DProject* project);

/// Unit KViewer3DUn: the drawing system's request handler and glyph, the shared click object
/// of its popup entries, and the forms' links that give every drawing system its viewer.
extern const TUnitInfo kKViewer3DUnit;
