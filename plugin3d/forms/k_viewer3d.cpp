#include "plugin3d/forms/k_viewer3d.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "platform/gdi/dc.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/forms/k_viewer3d_setup.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKViewer3D, TForm)
IMPLEMENT_TCLASS(TKSelectCameraForm, TForm)

namespace {

constexpr int kCaptionHeight = 24;
constexpr char kNoSystemCaption[] = "Viewer3D";
constexpr char kSetupSuffix[] = " : Setup";

// Placement flags of the viewer's block.
// The short cuts of the popup's entries: F2 and F3.
constexpr UINT kSaveKey = VK_F1 + 1, kSetupKey = VK_F1 + 2;
constexpr std::uint32_t kVisible = 1, kSetupVisible = 2, kNormal = 4, kMaximized = 8;

}  // namespace

/// The click object of the drawing system's popup entries, one for the library: the viewer
/// and the project of the last popup request.
class TInternal_SetupMenuClickObject : public TObject {
    DECLARE_TCLASS(TInternal_SetupMenuClickObject)

    TInternal_SetupMenuClickObject() = default;
    void Keep(TKViewer3D* viewer, TObject* project)
    {
        m_viewer = viewer;
        m_project = project;
    }
    void Forget(TKViewer3D* viewer)
    {
        if (m_viewer == viewer) m_viewer = nullptr, m_project = nullptr;
    }
    void SetupClick(TObject*)
    {
        if (m_viewer) m_viewer->Setup()->Show();
    }
    void SelectCameraClick(TObject*)
    {
        auto* project = ObjectAs<TKelvora3DProject>(m_project);
        TKDrawingSystem3D* system = m_viewer ? m_viewer->DrawingSystem() : nullptr;
        if (!project || !system) return;
        TKCustomProjectionSystem3D* camera = project->GetViewerCamera(system);
        if (SelectCamera("Select Camera", project, camera)) project->SetViewerCamera(system, camera);
    }

private:
    TKViewer3D* m_viewer = nullptr;
    TObject* m_project = nullptr;
};
IMPLEMENT_TCLASS(TInternal_SetupMenuClickObject, TObject)

namespace {

TInternal_SetupMenuClickObject* g_clickObject = nullptr;

TMenuItem* MenuEntry(TPopupMenu* menu, const char* caption, TNotifyEvent click)
{
    TMenuItem* item = TMenuItem::New(menu);
    item->SetCaption(caption);
    item->SetOnClick(click);
    return item;
}

std::int32_t DrawingSystemRequest(TKObjectRequest& request)
{
    auto* system = ObjectAs<TKDrawingSystem3D>(request.Object);
    if (!system) return -1;
    switch (request.Kind) {
        case korOpen:
            if (TKViewer3D* viewer = ViewerOf(system)) viewer->Show();
            return 0;
        case korPopupMenu: {
            auto* menu = ObjectAs<TPopupMenu>(reinterpret_cast<TObject*>(request.Argument));
            if (!menu || !g_clickObject) return -1;
            DefaultObjectRequest(request);
            menu->Items()->Insert(
                1, MenuEntry(menu, "Setup...",
                             TNotifyEvent::Of<&TInternal_SetupMenuClickObject::SetupClick>(g_clickObject)));
            menu->Items()->Insert(
                2, MenuEntry(
                       menu, "Select Camera...",
                       TNotifyEvent::Of<&TInternal_SetupMenuClickObject::SelectCameraClick>(g_clickObject)));
            g_clickObject->Keep(ViewerOf(system), request.Project);
            return 0;
        }
        default:
            return -1;
    }
}

// The drawing system's side of its viewer, on the user-interface thread whoever asks.
TComponent* CreateViewer(TKDrawingSystem3D* system)
{
    return platform::CallOnUiThread([system]() -> TComponent* {
        TKViewer3D* viewer = TKViewer3D::New(nullptr);
        viewer->SetDrawingSystem(system);
        return viewer;
    });
}

void FreeViewer(TComponent* viewer)
{
    platform::RunOnUiThread([viewer] { FreeObject(viewer); });
}

int SaveViewer(TComponent* viewer, TKObjectsStream* stream)
{
    auto* form = ObjectAs<TKViewer3D>(viewer);
    return form ? form->SaveToStream(stream) : 0;
}

int LoadViewer(TComponent* viewer, TKObjectsStream* stream)
{
    auto* form = ObjectAs<TKViewer3D>(viewer);
    return form ? form->LoadFromStream(stream) : 0;
}

void StartViewerUnit()
{
    g_clickObject = new TInternal_SetupMenuClickObject;
    RegisterRequestHandler(TKDrawingSystem3D::StaticClass(), DrawingSystemRequest);
    RegisterClassGlyph("TKDrawingSystem3D_64", 64, TKDrawingSystem3D::StaticClass(), true);
    TKFormLinks links = FormLinks();
    links.createViewer = CreateViewer;
    links.freeViewer = FreeViewer;
    links.saveViewer = SaveViewer;
    links.loadViewer = LoadViewer;
    SetFormLinks(links);
}

void EndViewerUnit()
{
    TKFormLinks links = FormLinks();
    links.createViewer = nullptr;
    links.freeViewer = nullptr;
    links.saveViewer = nullptr;
    links.loadViewer = nullptr;
    SetFormLinks(links);
    UnregisterRequestHandler(TKDrawingSystem3D::StaticClass(), DrawingSystemRequest);
    FreeAndNil(g_clickObject);
}

}  // namespace

const TUnitInfo kKViewer3DUnit{"KViewer3DUn", StartViewerUnit, EndViewerUnit};

TKViewer3D* ViewerOf(TKDrawingSystem3D* system)
{
    return system ? ObjectAs<TKViewer3D>(system->Viewer()) : nullptr;
}

void CaptureViewerPlacements(TKelvora3DProject* project)
{
    if (!project) return;
    for (int i = 0; i < project->ViewerCount(); ++i)
        if (TKViewer3D* viewer = ViewerOf(ObjectAs<TKDrawingSystem3D>(project->GetDrawingSystem(i))))
            viewer->CapturePlacement();
}

// --- TKViewer3D -----------------------------------------------------------------------------

std::vector<THandler> TKViewer3D::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(FormDestroy),   FORM_HANDLER(FormHide),
            FORM_HANDLER(FormShow),   FORM_HANDLER(FormPaint),     FORM_HANDLER(FormResize),
            FORM_HANDLER(Save1Click), FORM_HANDLER(SetupMenuClick)};
}

void TKViewer3D::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    PopupMenu1 = FindControl<TPopupMenu>("PopupMenu1");
    Save1 = FindControl<TMenuItem>("Save1");
    SetupMenu = FindControl<TMenuItem>("SetupMenu");
    SaveDialog1 = FindControl<TSaveDialog>("SaveDialog1");
}

void TKViewer3D::FormCreate(TObject*)
{
    m_handle = GetSafeHwnd();
    m_system = nullptr;
    m_setupWasVisible = false;
    m_inResize = false;
    m_setup = TKViewer3DSetup::New(nullptr);
    m_setup->SetDrawingSystem(nullptr);
    KFlatCaption1->SetHeight(kCaptionHeight);
    const int screenWidth = Screen ? Screen->Width() : 0, screenHeight = Screen ? Screen->Height() : 0;
    SetBounds((screenWidth - Width()) / 2, (screenHeight - Height()) / 2, Width(), Height());
    UpdateCaptions();
    m_created = true;
}

void TKViewer3D::FormDestroy(TObject*)
{
    m_destroying = true;
    if (g_clickObject) g_clickObject->Forget(this);
    if (m_setup) {
        m_setup->SetDrawingSystem(nullptr);
        FreeAndNil(m_setup);
    }
    if (m_system) m_system->Events().Remove(TKEventHandler::Of<&TKViewer3D::SystemEvent>(this));
    m_system = nullptr;
}

void TKViewer3D::SetDrawingSystem(TKDrawingSystem3D* system)
{
    if (m_destroying || !m_created || system == m_system) return;
    const auto handler = TKEventHandler::Of<&TKViewer3D::SystemEvent>(this);
    if (m_system) m_system->Events().Remove(handler);
    m_system = system;
    if (m_system) m_system->Events().Add(handler);
    m_setup->SetDrawingSystem(system);
    CapturePlacement();
    SystemEvent(system, kevChangeEnds, 0);
    SystemEvent(system, kevPictureRepainted, 0);
    UpdateCaptions();
}

// Any thread: the event waits in the window's queue and is handled on its thread.
void TKViewer3D::SystemEvent(TObject*, int code, std::intptr_t param)
{
    ++m_posted;
    ::PostMessage(m_handle, WM_USER, static_cast<WPARAM>(code), param);
}

void TKViewer3D::WndProc(TMessage& message)
{
    switch (message.Msg) {
        case WM_USER:
            if (m_destroying || !m_created) return;
            if (message.WParam == kevChangeEnds) {
                FitToPicture();
            } else if (message.WParam == kevNameChanged) {
                UpdateCaptions();
            } else if (message.WParam == kevPictureRepainted) {
                Invalidate();
                UpdateWindow();
            }
            return;
        case WM_ERASEBKGND:
            // The picture covers the client area.
            message.Result = 0;
            return;
        case WM_KEYDOWN:
            if (message.WParam == kSaveKey) {
                Save1Click(this);
                return;
            }
            if (message.WParam == kSetupKey) {
                SetupMenuClick(this);
                return;
            }
            break;
        default:
            break;
    }
    TForm::WndProc(message);
}

void TKViewer3D::FitToPicture()
{
    if (m_inResize || !m_system) return;
    const CRect client = ClientRect();
    const int width = Width() + m_system->ImageWidth() - client.Width();
    const int height = Height() + m_system->ImageHeight() + kCaptionHeight - client.Height();
    if (width == Width() && height == Height()) return;
    m_inResize = true;
    try {
        // A hidden window keeps the state it is to be shown in.
        if (IsWindowVisible() && WindowState() != wsNormal) SetWindowState(wsNormal);
        SetWindowPos(nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    } catch (...) {
        m_inResize = false;
        throw;
    }
    m_inResize = false;
}

void TKViewer3D::FormResize(TObject*)
{
    // Only the user resizes: a hidden window's sizes (its creation, its placing) leave the
    // picture as it is.
    if (m_inResize || !m_created || m_destroying || !m_system || !IsWindowVisible()) return;
    const CRect client = ClientRect();
    m_inResize = true;
    try {
        m_system->SetImageSize(client.Width(), std::max<int>(client.Height() - kCaptionHeight, 0));
    } catch (...) {
        m_inResize = false;
        throw;
    }
    m_inResize = false;
}

void TKViewer3D::Paint()
{
    m_pictureArea = {};
    if (OnPaint) OnPaint(this);
    // The form's colour goes only where the picture did not: filling the whole client under a
    // picture that covers it cost as much as the picture's copy on every repaint.
    TCanvas* canvas = Canvas();
    const HDC dc = canvas ? canvas->Handle() : nullptr;
    if (!dc) return;
    const int saved = SaveDC(dc);
    if (!m_pictureArea.IsRectEmpty())
        ExcludeClipRect(dc, m_pictureArea.left, m_pictureArea.top, m_pictureArea.right, m_pictureArea.bottom);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    RestoreDC(dc, saved);
}

void TKViewer3D::FormPaint(TObject*)
{
    if (!IsWindowVisible() || !m_system) return;
    TKMemoryBitmap* bitmap = m_system->Bitmap();
    TCanvas* canvas = Canvas();
    const HDC target = canvas ? canvas->Handle() : nullptr;
    if (!bitmap || !target) return;
    // The sizes first: the image job holds the drawing system's lock while it waits for the
    // canvas, so asking the drawing system with the canvas held would deadlock the two.
    const std::int32_t width = m_system->ImageWidth();
    const std::int32_t height = m_system->ImageHeight();
    bitmap->LockCanvas();
    const HPALETTE palette = bitmap->Palette();
    const HPALETTE old = palette ? SelectPalette(target, palette, FALSE) : nullptr;
    BitBlt(target, 0, kCaptionHeight, width, height, bitmap->Canvas(), 0, 0, SRCCOPY);
    if (palette) SelectPalette(target, old, FALSE);
    // What the copy covered: the part of the requested size the bitmap has pixels for.
    BITMAP shape{};
    if (HGDIOBJ pixels = GetCurrentObject(bitmap->Canvas(), OBJ_BITMAP);
        pixels && GetObject(pixels, sizeof shape, &shape) == int(sizeof shape))
        m_pictureArea = CRect(0, kCaptionHeight, std::max<int>(0, std::min<int>(shape.bmWidth, width)),
                              kCaptionHeight + std::max<int>(0, std::min<int>(shape.bmHeight, height)));
    bitmap->UnlockCanvas();
}

HPALETTE TKViewer3D::GetPalette()
{
    if (m_system && m_system->ColorType() == 1 && m_system->Bitmap()) return m_system->Bitmap()->Palette();
    return TForm::GetPalette();
}

void TKViewer3D::FormHide(TObject*)
{
    if (!m_setup) return;
    m_setupWasVisible = m_setup->IsWindowVisible();
    m_setup->Hide();
}

void TKViewer3D::FormShow(TObject*)
{
    if (m_setup) m_setup->SetVisible(m_setupWasVisible);
}

void TKViewer3D::UpdateCaptions()
{
    const std::string text = m_system ? m_system->Name() : std::string(kNoSystemCaption);
    SetCaption(text);
    KFlatCaption1->SetCaption(text);
    KFlatCaption1->SetHeight(kCaptionHeight);
    if (m_setup) m_setup->KFlatCaption1->SetCaption(text + kSetupSuffix);
}

bool TKViewer3D::SaveBitmap(const std::string& fileName)
{
    if (!m_system) return false;
    TKObjectLock lock(*m_system);
    // Inside a setup bracket the picture is being rebuilt: nothing is written.
    if (m_system->InSetup()) return false;
    std::string name = fileName;
    if (!std::filesystem::path(name).has_extension()) name += ".bmp";
    return m_system->Bitmap() && m_system->Bitmap()->SaveToFile(name);
}

void TKViewer3D::Save1Click(TObject*)
{
    if (!m_system) return;
    if (SaveDialog1->Execute()) SaveBitmap(SaveDialog1->FileName());
}

void TKViewer3D::SetupMenuClick(TObject*)
{
    if (m_setup) m_setup->Show();
}

void TKViewer3D::CapturePlacement()
{
    WINDOWPLACEMENT placement{};
    placement.length = 44;
    GetWindowPlacement(&placement);
    const bool visible = IsWindowVisible();
    if (visible && m_setup) m_setupWasVisible = m_setup->IsWindowVisible();
    std::uint32_t flags = 0;
    if (visible) flags |= kVisible;
    if (m_setupWasVisible) flags |= kSetupVisible;
    const TWindowState state = WindowState();
    if (state == wsNormal) flags |= kNormal;
    if (state == wsMaximized) flags |= kMaximized;
    const RECT& normal = placement.rcNormalPosition;
    const std::int32_t values[6] = {normal.left,
                                    normal.top,
                                    normal.right,
                                    normal.bottom,
                                    static_cast<std::int32_t>(flags),
                                    static_cast<std::int32_t>(WindowZDepth(GetSafeHwnd()))};
    std::array<std::uint8_t, kPlacementBytes> block{};
    std::memcpy(block.data(), values, sizeof values);
    if (m_setup) m_setup->WritePlacement(block.data() + sizeof values);
    std::lock_guard lock(m_placementMutex);
    m_placement = block;
}

int TKViewer3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return 24;
    // A save on a job's thread writes the place taken last on this window's thread: asking
    // the window there would wait for a thread that may wait for the drawing system's lock,
    // which the saving thread holds.
    if (platform::IsUiThread()) CapturePlacement();
    std::array<std::uint8_t, kPlacementBytes> block;
    {
        std::lock_guard lock(m_placementMutex);
        block = m_placement;
    }
    stream->Write(block.data(), kPlacementBytes);
    return kPlacementBytes;
}

int TKViewer3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TViewerPlacement place;
    for (std::int32_t& value : place.rect) ReadValue(stream, value);
    ReadValue(stream, place.flags);
    ReadValue(stream, place.depth);
    ReadValue(stream, place.setupLeft);
    ReadValue(stream, place.setupTop);
    ReadValue(stream, place.setupDepth);
    ReadValue(stream, place.setupFlags);
    if (platform::IsUiThread()) {
        ApplyPlacement(place);
    } else {
        // A load's job only reads the record: the windows are placed on their own thread,
        // after what the job handed over before and before the project shows them. Waiting
        // for that thread here could wait for one that waits for the drawing system's lock,
        // which the loading thread holds.
        const HWND handle = GetSafeHwnd();
        platform::PostToUiThread([handle, place] {
            if (auto* viewer = ObjectAs<TKViewer3D>(FindFormByHandle(handle))) viewer->ApplyPlacement(place);
        });
    }
    if (auto* project = ObjectAs<TKelvora3DProject>(stream->GetProject())) {
        if ((place.setupFlags & 1) && m_setup)
            project->AddReopenedWindow(m_setup->GetSafeHwnd(), place.setupDepth);
        if (place.flags & kVisible) project->AddReopenedWindow(GetSafeHwnd(), place.depth);
    }
    return kPlacementBytes;
}

void TKViewer3D::ApplyPlacement(const TViewerPlacement& place)
{
    if (m_setup) m_setup->ApplyPlacement(place.setupLeft, place.setupTop, place.setupFlags);
    // Placing the window gives the picture no new size: the picture was loaded with its own.
    m_inResize = true;
    try {
        // A damaged file may hold any four numbers: the size is taken in 64 bits and the
        // window is held to the screen.
        const auto extent = [](std::int32_t from, std::int32_t to) {
            return static_cast<int>(std::clamp<std::int64_t>(std::int64_t(to) - from, 0, INT_MAX));
        };
        PlaceFormOnScreen(this, place.rect[0], place.rect[1], extent(place.rect[0], place.rect[2]),
                          extent(place.rect[1], place.rect[3]), false, false);
    } catch (...) {
        m_inResize = false;
        throw;
    }
    m_inResize = false;
    m_setupWasVisible = (place.flags & kSetupVisible) != 0;
    if (!(place.flags & kNormal)) SetWindowState((place.flags & kMaximized) ? wsMaximized : wsMinimized);
    UpdateCaptions();
    CapturePlacement();
}

// --- the camera picker ----------------------------------------------------------------------

std::vector<THandler> TKSelectCameraForm::Handlers()
{
    return {FORM_HANDLER(FormCreate), FORM_HANDLER(FormDestroy), FORM_HANDLER(FormResize),
            FORM_HANDLER(TreeView1DblClick), FORM_HANDLER(TreeView1MouseDown)};
}

void TKSelectCameraForm::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    TreeView1 = FindControl<TTreeView>("TreeView1");
    Panel1 = FindControl<TPanel>("Panel1");
    OkBtn = FindControl<TButton>("OkBtn");
    CancelBtn = FindControl<TButton>("CancelBtn");
}

void TKSelectCameraForm::FormCreate(TObject*)
{
    m_root = TKDataBranch::NewNamed("");
}

void TKSelectCameraForm::FormDestroy(TObject*)
{
    TreeView1->Items()->Clear();
    FreeAndNil(m_root);
}

void TKSelectCameraForm::FormResize(TObject*)
{
    CancelBtn->SetLeft(ClientRect().Width() - CancelBtn->Width() - 8);
    OkBtn->SetLeft(CancelBtn->Left() - OkBtn->Width() - 4);
}

void TKSelectCameraForm::TreeView1MouseDown(TObject*, TMouseButton, TShiftState, int x, int y)
{
    m_lastPress = CPoint(x, y);
}

void TKSelectCameraForm::TreeView1DblClick(TObject*)
{
    if (TreeView1->GetHitTestInfoAt(m_lastPress.x, m_lastPress.y) & htOnLabel) SetModalResult(mrOk);
}

bool SelectCamera(const std::string& caption, TKelvora3DProject* project, TKCustomProjectionSystem3D*& camera)
{
    if (!project) return false;
    TOwned<TKSelectCameraForm> form(TKSelectCameraForm::New(nullptr));
    form->KFlatCaption1->SetCaption(caption);
    TKDataBranch* root = form->Root();
    TKDataBranch* found = nullptr;
    {
        TKDataBranch* list = TKDataBranch::NewNamed("");
        {
            const TKTreeLock lock;
            root->SetCount(0);
            root->AddChild(list);
        }
        RequestFillBranch(project, project->Cameras(), list);
        const TKTreeLock lock;
        found = camera ? root->FindDataInTree(TKData::OfObject(camera)) : nullptr;
        root->SetFlagInTree(1);
    }
    FillTreeFromBranch(root, form->TreeView1->Items());
    if (found)
        if (TTreeNode* node = FindNodeByData(static_cast<TObject*>(found), form->TreeView1->Items()))
            form->TreeView1->SetSelected(node);
    camera = nullptr;
    if (form->ShowModal() != mrOk) return false;
    auto* branch = ObjectAs<TKDataBranch>(NodeBranch(form->TreeView1->Selected()));
    camera = branch ? ObjectAs<TKCustomProjectionSystem3D>(branch->Data().AsObject()) : nullptr;
    return true;
}
