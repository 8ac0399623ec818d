#include "plugin3d/forms/k_navigator3d.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "platform/forms/comctrls.h"
#include "platform/forms/exceptions.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/format.h"
#include "platform/forms/stdctrls.h"
#include "platform/gdi/dc.h"
#include "platform/window/ui_thread.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/k_save_capture.h"
#include "plugin3d/forms/string_resource.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/render/k_basis3d.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_point_constructions.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"
#include "plugin3d/model/scene/k_scene3d.h"

IMPLEMENT_TCLASS(TKNavigator3D, TForm)
IMPLEMENT_TCLASS(TKNavigator3DContainerObject, TKCustomChangeObject)

namespace {

constexpr char kNoObject[] = "- No Object -";
constexpr int kObjectChanged = 4100;
// Basis and drawing-system events raised on another thread reach the window as this
// message (wParam the code, lParam the sender).
constexpr UINT kBasisEventMessage = WM_USER + 1;
constexpr UINT kDrawingEventMessage = WM_USER + 2;
// Widths and decimals of the boxes: positions and the distance, and the angles.
constexpr int kNumberWidth = 13;
constexpr int kNumberDecimals = 6;
constexpr int kAngleWidth = 6;
constexpr int kAngleDecimals = 2;

std::string Row(const TVector3D& v)
{
    // + 0.0 turns a negative zero into a plain one: no "-0.0000" in the text.
    return Format("   ( %8.4f; %8.4f; %8.4f ) ", v.x + 0.0, v.y + 0.0, v.z + 0.0);
}

void AddMatrixRows(std::vector<std::string>& lines, const TMatrix3D& m)
{
    for (int i = 0; i < 3; ++i) lines.push_back(Row({m.m[3 * i], m.m[3 * i + 1], m.m[3 * i + 2]}));
}

// The number in a box; an empty or unreadable box counts as 0.
double BoxValue(TEdit* edit)
{
    double value = 0;
    if (!StrToFloatDot(edit->Text(), value)) return 0;
    return value;
}

}  // namespace

// --- the window ---------------------------------------------------------------------------

std::vector<THandler> TKNavigator3D::Handlers()
{
    return {FORM_HANDLER(FormCreate),
            FORM_HANDLER(FormDestroy),
            FORM_HANDLER(FormShow),
            FORM_HANDLER(MasterBtnClick),
            FORM_HANDLER(SlaveBtnClick),
            FORM_HANDLER(ApplyBtnClick),
            FORM_HANDLER(ResetBtnClick),
            FORM_HANDLER(EditXChange),
            FORM_HANDLER(EditXKeyPress),
            FORM_HANDLER(SpeedButton1MouseDown),
            FORM_HANDLER(SpeedButton1MouseUp),
            FORM_HANDLER(Timer1Timer),
            FORM_HANDLER(IncBarChange),
            FORM_HANDLER(ButtonAClick),
            FORM_HANDLER(MinusBtnClick),
            FORM_HANDLER(InverseBtnClick),
            FORM_HANDLER(FixerBtnClick),
            FORM_HANDLER(MS_BtnClick),
            FORM_HANDLER(MoreBtnClick),
            FORM_HANDLER(PaintBox1MouseDown),
            FORM_HANDLER(PaintBox1MouseMove),
            FORM_HANDLER(PaintBox1MouseUp),
            FORM_HANDLER(PaintBox1Paint),
            FORM_HANDLER(PaintBox2Paint)};
}

void TKNavigator3D::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    PaintBox1 = FindControl<TPaintBox>("PaintBox1");
    PaintBox2 = FindControl<TPaintBox>("PaintBox2");
    MasterLabel = FindControl<TLabel>("MasterLabel");
    SlaveLabel = FindControl<TLabel>("SlaveLabel");
    IncLabel = FindControl<TLabel>("IncLabel");
    MasterBtn = FindControl<TSpeedButtonEx>("MasterBtn");
    SlaveBtn = FindControl<TSpeedButtonEx>("SlaveBtn");
    EditX = FindControl<TEdit>("EditX");
    EditY = FindControl<TEdit>("EditY");
    EditZ = FindControl<TEdit>("EditZ");
    EditA = FindControl<TEdit>("EditA");
    EditB = FindControl<TEdit>("EditB");
    EditC = FindControl<TEdit>("EditC");
    EditD = FindControl<TEdit>("EditD");
    for (int i = 0; i < 14; ++i)
        StepButtons[i] = FindControl<TSpeedButtonEx>("SpeedButton" + std::to_string(i + 1));
    ButtonA = FindControl<TSpeedButtonEx>("ButtonA");
    ButtonB = FindControl<TSpeedButtonEx>("ButtonB");
    ButtonC = FindControl<TSpeedButtonEx>("ButtonC");
    PlusBtn = FindControl<TSpeedButtonEx>("PlusBtn");
    MinusBtn = FindControl<TSpeedButtonEx>("MinusBtn");
    IncBar = FindControl<TTrackBar>("IncBar");
    MS_Btn = FindControl<TSpeedButtonEx>("MS_Btn");
    FixerBtn = FindControl<TSpeedButtonEx>("FixerBtn");
    InverseBtn = FindControl<TSpeedButtonEx>("InverseBtn");
    ApplyBtn = FindControl<TSpeedButtonEx>("ApplyBtn");
    ResetBtn = FindControl<TSpeedButtonEx>("ResetBtn");
    MoreBtn = FindControl<TSpeedButtonEx>("MoreBtn");
    MoreMemo = FindControl<TMemo>("MoreMemo");
    ReperData = FindControl<TStringResource>("ReperData");
    DialData = FindControl<TStringResource>("DialData");
    Timer1 = FindControl<TTimer>("Timer1");
}

void TKNavigator3D::FormCreate(TObject*)
{
    m_nav = NavigatorMath{};
    BuildPreview();
    KFlatCaption1->SetHeight(24);
    SyncSwitches();
    RefreshDisplay();
    CaptureForSave();
    AddSaveCapture(this, [this] { CaptureForSave(); });
}

void TKNavigator3D::FormDestroy(TObject*)
{
    RemoveSaveCapture(this);
    m_destroying = true;
    Timer1->SetEnabled(false);
    ChangeBasis(m_slave, nullptr, nullptr);
    ChangeBasis(m_master, nullptr, nullptr);
    FreePreview();
}

void TKNavigator3D::FormShow(TObject*)
{
    FitToMemo();
    FindProject();
    UpdateReper();
    RefreshDisplay();
}

void TKNavigator3D::FitToMemo()
{
    const int width = MoreBtn->Down() ? MoreMemo->Left() + MoreMemo->Width() + 1 : MoreMemo->Left() - 1;
    SetClientSize(width, MoreMemo->Top() + MoreMemo->Height() + 1);
}

void TKNavigator3D::FindProject()
{
    m_project = m_container ? ObjectAs<TKelvora3DProject>(FindProjectOf(m_container)) : nullptr;
}

// --- the preview world --------------------------------------------------------------------

void TKNavigator3D::BuildPreview()
{
    m_scene = TKSimpleScene3D::New(nullptr);
    m_scene->BeginUpdate();
    const int width = PaintBox1->Width(), height = PaintBox1->Height();
    m_drawing = TKDrawingSystem3D::NewWithScene(m_scene);
    m_drawing->SetImageSize(width, height);
    m_drawing->SetColorType(1);
    m_drawing->Events().Add(DrawingHandler());
    m_drawing->SetShadeMode(1);
    m_scene->SetDrawSystem(m_drawing);

    TKAmbientLight3D* light = TKAmbientLight3D::New(nullptr);
    light->SetColor({1, 1, 1});
    m_scene->Lights()->Add(light);

    m_dialList = TKCustomConstruction3DList::New(nullptr);
    m_scene->Objects()->Add(m_dialList);
    m_dial = TKTiesConstruction3D::New(nullptr);
    m_dial->BeginPointsUpdate(0);
    m_dial->SetPointCount(36);
    m_dial->SetLighting(0);
    TKTiesConstruction3D::LoadFromText(m_dial, DialData->Data()->Text());
    m_dial->EndPointsUpdate(0);
    m_dialList->Add(m_dial);

    m_reperList = TKCustomConstruction3DList::New(nullptr);
    m_scene->Objects()->Add(m_reperList);
    m_reper = TKTiesConstruction3D::New(nullptr);
    m_reper->BeginPointsUpdate(0);
    m_reper->SetLighting(0);
    m_reper->SetAttenuation(-0.25, 0, 0.27);
    TKTiesConstruction3D::LoadFromText(m_reper, ReperData->Data()->Text());
    m_reper->SetSmoothShading(1);
    m_reper->EndPointsUpdate(0);
    m_reperList->Add(m_reper);

    TKEyeSystem3D* camera = TKEyeSystem3D::New(nullptr);
    camera->SetScreenDistance(std::nearbyint((width + height) * 3 / 4.8));
    TMatrix3D view;
    view.m[8] = -1;
    camera->Basis()->SetPlacement(view, {0, 0, 3});
    m_scene->Cameras()->Add(camera);
    m_scene->SetCamera(camera);
    m_scene->EndUpdate();
}

void TKNavigator3D::FreePreview()
{
    if (!m_scene) return;
    if (m_drawing) m_drawing->Events().Remove(DrawingHandler());
    m_drawing = nullptr;
    m_dial = m_reper = nullptr;
    m_dialList = m_reperList = nullptr;
    FreeAndNil(m_scene);
}

void TKNavigator3D::UpdateReper()
{
    if (!m_reperList || m_destroying) return;
    // An unchanged orientation (a step of the position) leaves the dial's picture alone.
    const TMatrix3D reper = m_nav.ReperMatrix();
    TKBasis3D* basis = m_reperList->Basis();
    TVector3D origin;
    basis->GetOrigin(origin);
    if (m_placedReper && std::equal(std::begin(reper.m), std::end(reper.m), std::begin(m_placedReper->m)) &&
        VectorEqual(origin, {0, 0, 0}))
        return;
    basis->SetPlacement(reper, {0, 0, 0});
    m_placedReper = reper;
}

HPALETTE TKNavigator3D::GetPalette()
{
    if (m_drawing && m_drawing->ColorType() == 1) return m_drawing->Bitmap()->Palette();
    return TForm::GetPalette();
}

void TKNavigator3D::PaintBox1Paint(TObject*)
{
    if (!Visible() || !m_drawing) return;
    HDC dc = PaintBox1->Canvas()->Handle();
    if (!dc) return;
    TKObjectLock picture(*m_drawing);
    TKMemoryBitmap* bitmap = m_drawing->Bitmap();
    HPALETTE old = SelectPalette(dc, bitmap->Palette(), FALSE);
    RealizePalette(dc);
    bitmap->LockCanvas();
    BitBlt(dc, 0, 0, m_drawing->ImageWidth(), m_drawing->ImageHeight(), bitmap->Canvas(), 0, 0, SRCCOPY);
    bitmap->UnlockCanvas();
    SelectPalette(dc, old, FALSE);
}

void TKNavigator3D::PaintBox2Paint(TObject*)
{
    TCanvas* canvas = PaintBox2->Canvas();
    canvas->Pen()->SetColor(clWhite);
    const int under = MoreBtn->Top() + MoreBtn->Height() + 2 - PaintBox2->Top();
    const int right = PaintBox2->Width() - 1;
    canvas->MoveTo(0, 0);
    canvas->LineTo(0, under);
    canvas->LineTo(right, under);
    canvas->LineTo(right, PaintBox2->Height());
}

// --- bases ----------------------------------------------------------------------------------

TKEventHandler TKNavigator3D::BasisHandler()
{
    return TKEventHandler::Of<&TKNavigator3D::OnBasisEvent>(this);
}

TKEventHandler TKNavigator3D::DrawingHandler()
{
    return TKEventHandler::Of<&TKNavigator3D::OnDrawingEvent>(this);
}

bool TKNavigator3D::ChangeBasis(TKBasis3D*& field, TKBasis3D* other, TKBasis3D* basis)
{
    if ((basis && basis == other) || basis == field) return false;
    if (field) field->Events().Remove(BasisHandler());
    field = basis;
    if (field) field->Events().Add(BasisHandler());
    return true;
}

void TKNavigator3D::SetMaster(TKBasis3D* basis)
{
    if (!ChangeBasis(m_master, m_slave, basis)) return;
    ShowBasisNames();
    Reset();
}

void TKNavigator3D::SetSlave(TKBasis3D* basis)
{
    if (!ChangeBasis(m_slave, m_master, basis)) return;
    ShowBasisNames();
    Reset();
}

void TKNavigator3D::ShowBasisNames()
{
    MasterLabel->SetCaption(m_master ? m_master->Name() : kNoObject);
    SlaveLabel->SetCaption(m_slave ? m_slave->Name() : kNoObject);
}

void TKNavigator3D::OnBasisEvent(TObject* sender, int code, std::intptr_t)
{
    if (code != kevDestroyed && code != kevNameChanged && code != kevTransformFinished) return;
    if (platform::IsUiThread()) return BasisEvent(sender, code);
    // A basis going away must be forgotten before it is freed: wait for the window.
    const UINT message = kBasisEventMessage;
    if (code == kevDestroyed)
        ::SendMessage(Handle(), message, WPARAM(code), reinterpret_cast<LPARAM>(sender));
    else
        ::PostMessage(Handle(), message, WPARAM(code), reinterpret_cast<LPARAM>(sender));
}

void TKNavigator3D::BasisEvent(TObject* sender, int code)
{
    if (m_destroying || !sender || (sender != m_master && sender != m_slave)) return;
    switch (code) {
        case kevDestroyed:
            if (sender == m_master) ChangeBasis(m_master, nullptr, nullptr);
            if (sender == m_slave) ChangeBasis(m_slave, nullptr, nullptr);
            ShowBasisNames();
            Reset();
            break;
        case kevNameChanged:
            ShowBasisNames();
            break;
        case kevTransformFinished:
            if (sender == m_master || !m_applying) Reset();
            break;
        default:
            break;
    }
}

void TKNavigator3D::OnDrawingEvent(TObject*, int code, std::intptr_t)
{
    if (code != kevPictureRepainted || m_destroying) return;
    if (platform::IsUiThread())
        PaintBox1->Invalidate();
    else if (HandleAllocated())
        ::PostMessage(Handle(), kDrawingEventMessage, WPARAM(code), 0);
}

void TKNavigator3D::WndProc(TMessage& message)
{
    if (message.Msg == kBasisEventMessage) {
        BasisEvent(reinterpret_cast<TObject*>(message.LParam), int(message.WParam));
        return;
    }
    if (message.Msg == kDrawingEventMessage) {
        if (!m_destroying) PaintBox1->Invalidate();
        return;
    }
    TForm::WndProc(message);
}

void TKNavigator3D::PickBasisFor(bool master)
{
    FindProject();
    if (!m_project) return;
    TKBasis3D* chosen = master ? m_master : m_slave;
    if (!PickBasis(master ? "Chose Master Basis" : "Chose Slave Basis", m_project, chosen)) return;
    // Ok on the project's own node gives no basis: the master or slave is dropped.
    if (master)
        SetMaster(chosen);
    else
        SetSlave(chosen);
}

void TKNavigator3D::MasterBtnClick(TObject*)
{
    PickBasisFor(true);
}

void TKNavigator3D::SlaveBtnClick(TObject*)
{
    PickBasisFor(false);
}

// --- reading, writing and showing -----------------------------------------------------------

void TKNavigator3D::SyncSwitches()
{
    m_nav.axis = ButtonB->Down() ? NavigatorAxis::Y : ButtonC->Down() ? NavigatorAxis::Z : NavigatorAxis::X;
    m_nav.masterFromSlave = MS_Btn->Down();
    m_nav.fixer = FixerBtn->Down();
}

void TKNavigator3D::Reset()
{
    if (m_destroying) return;
    SyncSwitches();
    m_nav.Reset(m_master, m_slave);  // a singular pair keeps what was shown
    InverseBtn->SetDown(m_nav.mirrored);
    UpdateReper();
    RefreshDisplay();
}

void TKNavigator3D::Apply()
{
    if (m_destroying) return;
    if (m_slave) {
        m_applying = true;
        try {
            if (m_project && (Timer1->Enabled() || m_dragging)) m_project->SetInteractive(1);
            m_nav.Apply(m_master, m_slave);
        } catch (...) {
            m_applying = false;
            throw;
        }
        m_applying = false;
    }
    UpdateReper();
    RefreshDisplay();
}

void TKNavigator3D::SetEditText(TEdit* edit, int width, int precision, double value, TEdit* keep)
{
    if (edit == keep) return;
    std::string text, current;
    FloatToStrDot(width, precision, text, value);
    double shown = 0;
    // A box whose number reads as the same text is left alone: the user may be typing in it.
    if (StrToFloatDot(edit->Text(), shown)) {
        FloatToStrDot(width, precision, current, shown);
        if (current == text) return;
    }
    edit->SetText(text);
}

void TKNavigator3D::RefreshDisplay(TEdit* keep)
{
    if (m_displaying || m_destroying) return;
    m_displaying = true;
    try {
        const TVector3D h = m_nav.ShownVector();
        SetEditText(EditX, kNumberWidth, kNumberDecimals, h.x, keep);
        SetEditText(EditY, kNumberWidth, kNumberDecimals, h.y, keep);
        SetEditText(EditZ, kNumberWidth, kNumberDecimals, h.z, keep);
        SetEditText(EditD, kNumberWidth, kNumberDecimals, m_nav.Distance(), keep);
        if (m_anglesWritable) {
            const NavigatorAngles a = m_nav.ShownAngles();
            SetEditText(EditA, kAngleWidth, kAngleDecimals, a.u, keep);
            SetEditText(EditB, kAngleWidth, kAngleDecimals, a.v, keep);
            SetEditText(EditC, kAngleWidth, kAngleDecimals, a.w, keep);
        }
        if (MoreBtn->Down()) ShowInformation();
    } catch (...) {
        m_displaying = false;
        throw;
    }
    m_displaying = false;
}

void TKNavigator3D::ShowInformation()
{
    TVector3D back;
    MatrixMulVector(m_nav.minv, m_nav.v, back);
    std::vector<std::string> lines = {" Slave Direct Basis Informations ", "  Vector : ", Row(m_nav.v),
                                      "  Matrix : "};
    AddMatrixRows(lines, m_nav.m);
    lines.insert(lines.end(), {"", " Slave Inverse Basis Informations ",
                               "  Vector : ", Row({-back.x, -back.y, -back.z}), "  Matrix : "});
    AddMatrixRows(lines, m_nav.minv);
    MoreMemo->SetLines(lines);
}

TEdit* TKNavigator3D::FieldEdit(int field) const
{
    TEdit* const edits[] = {EditX, EditY, EditZ, EditA, EditB, EditC, EditD};
    return field >= 1 && field <= 7 ? edits[field - 1] : nullptr;
}

void TKNavigator3D::EditXChange(TObject* sender)
{
    auto* edit = ObjectAs<TEdit>(sender);
    if (m_displaying || m_destroying || !edit) return;
    SyncSwitches();
    const int field = int(edit->Tag());
    if (field >= 1 && field <= 3) {
        if (!m_nav.SetPosition({BoxValue(EditX), BoxValue(EditY), BoxValue(EditZ)})) return;
    } else if (field >= 4 && field <= 6) {
        NavigatorAngles typed;
        if (!StrToFloatDot(EditA->Text(), typed.u) || !StrToFloatDot(EditB->Text(), typed.v) ||
            !StrToFloatDot(EditC->Text(), typed.w))
            return;  // a box being typed in that is not a number yet
        m_anglesWritable = false;
        m_nav.SetAngles(typed);
    } else if (field == 7) {
        m_nav.SetDistance(BoxValue(EditD));
    } else {
        return;
    }
    UpdateReper();
    // The box being typed in keeps its text: a refused or rounded value must not be written
    // back under the user's cursor.
    RefreshDisplay(edit);
    m_anglesWritable = true;
}

void TKNavigator3D::EditXKeyPress(TObject* sender, char& key)
{
    auto* edit = ObjectAs<TEdit>(sender);
    if (!AcceptEditKey(edit ? edit->Text() : std::string(), key)) key = 0;
}

void TKNavigator3D::ApplyBtnClick(TObject*)
{
    Apply();
}

void TKNavigator3D::ResetBtnClick(TObject*)
{
    Reset();
}

// --- step buttons ---------------------------------------------------------------------------

void TKNavigator3D::SpeedButton1MouseDown(TObject* sender, TMouseButton, TShiftState, int, int)
{
    auto* button = ObjectAs<TComponent>(sender);
    if (!button) return;
    const int tag = int(button->Tag());
    const int field = StepField(tag);
    if (field < 1 || field > 7) return;
    m_step = StepSize(IncBar->Position(), tag);
    m_field = field;
    m_ticks = 0;
    Timer1->SetEnabled(true);
    FindProject();
    if (m_project) m_project->SetInteractive(1);
    StepTick();
}

void TKNavigator3D::SpeedButton1MouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    StopRepeat();
}

void TKNavigator3D::StopRepeat()
{
    const bool wasRunning = Timer1->Enabled();
    Timer1->SetEnabled(false);
    m_field = 0;
    if (wasRunning) FinishInteraction(true);
}

void TKNavigator3D::Timer1Timer(TObject*)
{
    if (Timer1->Enabled()) StepTick();
}

void TKNavigator3D::StepTick()
{
    TEdit* edit = FieldEdit(m_field);
    if (!edit) return;
    double value = 0;
    StrToFloatDot(edit->Text(), value);
    std::string text;
    FloatToStrDot(kNumberWidth, kNumberDecimals, text, value + StepMultiplier(m_ticks) * m_step);
    edit->SetText(text);  // its change handler takes the value
    ++m_ticks;
    Apply();
}

void TKNavigator3D::FinishInteraction(bool notifySlave)
{
    if (!m_project) return;
    m_project->BeginSceneEdit(0);
    try {
        m_project->SetInteractive(0);
        if (notifySlave && m_slave)
            m_slave->Events().Notify(m_slave, kObjectChanged, reinterpret_cast<std::intptr_t>(m_slave));
        m_project->Invalidate(nullptr);
    } catch (...) {
        m_project->EndSceneEdit(0);
        throw;
    }
    m_project->EndSceneEdit(0);
}

void TKNavigator3D::IncBarChange(TObject*)
{
    IncLabel->SetCaption(StepLabel(IncBar->Position()));
}

// --- switches -------------------------------------------------------------------------------

void TKNavigator3D::ButtonAClick(TObject*)
{
    SyncSwitches();
    RefreshDisplay();
}

void TKNavigator3D::MinusBtnClick(TObject* sender)
{
    SyncSwitches();
    const double length = m_nav.Distance();
    m_nav.SetDistance(sender == MinusBtn ? length * kNavigatorDistanceFactor
                                         : length / kNavigatorDistanceFactor);
    UpdateReper();
    RefreshDisplay();
    Apply();
}

void TKNavigator3D::InverseBtnClick(TObject*)
{
    SyncSwitches();
    if (!m_nav.SetMirrored(InverseBtn->Down())) InverseBtn->SetDown(m_nav.mirrored);
    UpdateReper();
    RefreshDisplay();
}

void TKNavigator3D::FixerBtnClick(TObject*)
{
    SyncSwitches();
    m_nav.UpdateFixedDirection();
}

void TKNavigator3D::MS_BtnClick(TObject*)
{
    SyncSwitches();
    m_nav.UpdateFixedDirection();
    RefreshDisplay();
}

void TKNavigator3D::MoreBtnClick(TObject*)
{
    FitToMemo();
    if (MoreBtn->Down()) ShowInformation();
}

// --- the dial -------------------------------------------------------------------------------

void TKNavigator3D::PaintBox1MouseDown(TObject*, TMouseButton button, TShiftState, int x, int y)
{
    if (button != mbLeft) return;
    SyncSwitches();
    FindProject();
    m_drag = DialDrag::Start(x, y, PaintBox1->Width(), PaintBox1->Height());
    m_lastX = x, m_lastY = y;
    m_dragStart = m_nav.m;
    m_dragging = true;
}

void TKNavigator3D::PaintBox1MouseMove(TObject*, TShiftState, int x, int y)
{
    if (x == m_lastX && y == m_lastY) return;
    m_lastX = x, m_lastY = y;
    if (!m_dragging) return;
    if (m_nav.Turn(m_drag.Rotation(x, y), m_dragStart)) Apply();
}

void TKNavigator3D::PaintBox1MouseUp(TObject*, TMouseButton button, TShiftState, int, int)
{
    if (button != mbLeft || !m_dragging) return;
    m_dragging = false;
    if (m_slave) FinishInteraction(true);
}

// --- the project file -----------------------------------------------------------------------

void TKNavigator3D::CaptureForSave()
{
    const std::int32_t axis = ButtonB->Down() ? 2 : ButtonC->Down() ? 3 : 1;
    const std::int32_t flags = (KFlatCaption1->IsStayOnTop() ? 1 : 0) | (MoreBtn->Down() ? 2 : 0) |
                               (MS_Btn->Down() ? 4 : 0) | (FixerBtn->Down() ? 8 : 0);
    const std::int32_t depth = Visible() && HandleAllocated() ? WindowZDepth(Handle()) : 0;
    const std::int32_t captured[6] = {
        axis, std::int32_t(IncBar->Position()), flags, depth, std::int32_t(Left()), std::int32_t(Top())};
    std::copy(std::begin(captured), std::end(captured), m_captured);
}

int TKNavigator3D::SavePayload(TKObjectsStream* stream)
{
    // A save's job writes what the window was like when the save began; asked on the
    // window's own thread, it is taken now.
    if (platform::IsUiThread()) CaptureForSave();
    const std::int32_t fields[8] = {m_master ? stream->ObjectReference(m_master) : m_storedMaster,
                                    m_slave ? stream->ObjectReference(m_slave) : m_storedSlave,
                                    m_captured[0],
                                    m_captured[1],
                                    m_captured[2],
                                    m_captured[3],
                                    m_captured[4],
                                    m_captured[5]};
    int bytes = 0;
    for (std::int32_t value : fields) bytes += WriteValue(stream, value);
    return bytes;
}

int TKNavigator3D::LoadPayload(TKObjectsStream* stream)
{
    ChangeBasis(m_slave, nullptr, nullptr);
    ChangeBasis(m_master, nullptr, nullptr);
    ShowBasisNames();
    std::int32_t fields[8] = {};
    int bytes = 0;
    for (std::int32_t& value : fields) bytes += ReadValue(stream, value);
    const std::int32_t axis = fields[2], exponent = fields[3], flags = fields[4];
    if (axis < 1 || axis > 3 || exponent < 0 || exponent > 6)
        throw EStreamError(ObjectErrorText(m_container, ktext::kCantLoad, ktext::kInvalidValue));
    // Ids stay ids until the link step: the objects they name may not be loaded yet.
    m_storedMaster = fields[0];
    m_storedSlave = fields[1];
    (axis == 1 ? ButtonA : axis == 2 ? ButtonB : ButtonC)->SetDown(true);
    IncBar->SetPosition(exponent);
    IncBarChange(IncBar);
    m_storedOnTop = (flags & 1) != 0;
    MoreBtn->SetDown((flags & 2) != 0);
    MS_Btn->SetDown((flags & 4) != 0);
    FixerBtn->SetDown((flags & 8) != 0);
    m_depth = fields[5];
    m_left = fields[6];
    m_top = fields[7];
    SyncSwitches();
    return bytes;
}

int TKNavigator3D::LinkPayload(TKObjectsStream* stream)
{
    auto* master = ObjectAs<TKBasis3D>(stream->Link(m_storedMaster, TKBasis3D::StaticClass()));
    auto* slave = ObjectAs<TKBasis3D>(stream->Link(m_storedSlave, TKBasis3D::StaticClass()));
    m_storedMaster = m_storedSlave = 0;
    ChangeBasis(m_master, m_slave, master);
    ChangeBasis(m_slave, m_master, slave);
    ShowBasisNames();
    FindProject();
    if (!m_project) m_project = ObjectAs<TKelvora3DProject>(stream->GetProject());
    Reset();
    FitToMemo();
    KFlatCaption1->SetStayOnTop(m_storedOnTop);
    PlaceFormOnScreen(this, m_left, m_top, 0, 0, m_storedOnTop, false);
    if (m_project && m_depth != 0) m_project->AddReopenedWindow(Handle(), m_depth);
    return 2;
}

// --- the project object ---------------------------------------------------------------------

// The window is made, read, placed and freed on its own thread, also when a load's job
// makes or frees the object; the job waits for it there.
void TKNavigator3DContainerObject::Init()
{
    TKCustomChangeObject::Init();
    m_navigator = platform::CallOnUiThread([this] {
        TKNavigator3D* navigator = TKNavigator3D::New(nullptr);
        navigator->SetContainer(this);
        return navigator;
    });
    ShowName();
}

TKNavigator3DContainerObject::~TKNavigator3DContainerObject()
{
    Done();
    platform::CallOnUiThread([this] {
        if (m_navigator) m_navigator->SetContainer(nullptr);
        FreeAndNil(m_navigator);
    });
}

void TKNavigator3DContainerObject::ShowName()
{
    platform::CallOnUiThread([this] {
        if (m_navigator) m_navigator->KFlatCaption1->SetCaption(Name());
    });
}

void TKNavigator3DContainerObject::NameChanged()
{
    TKCustomChangeObject::NameChanged();
    ShowName();
}

int TKNavigator3DContainerObject::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    return TKCustomChangeObject::SaveToStream(stream) + m_navigator->SavePayload(stream);
}

int TKNavigator3DContainerObject::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int own = TKCustomChangeObject::LoadFromStream(stream);
    const int bytes = own + platform::CallOnUiThread([&] { return m_navigator->LoadPayload(stream); });
    ShowName();
    return bytes;
}

int TKNavigator3DContainerObject::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    const int own = std::max(0, TKCustomChangeObject::LinkObjects(stream));
    const int sum =
        own + std::max(0, platform::CallOnUiThread([&] { return m_navigator->LinkPayload(stream); }));
    return sum == 0 ? -1 : sum;
}

int TKNavigator3DContainerObject::Operation(int code, std::intptr_t param)
{
    const int result = TKCustomChangeObject::Operation(code, param);
    if (result < 0 && code == 4098 && param == reinterpret_cast<std::intptr_t>(this) && m_navigator)
        m_navigator->Show();
    return result;
}

// --- the unit -------------------------------------------------------------------------------

namespace {

void NavigatorInit()
{
    const TClass cls = TKNavigator3DContainerObject::StaticClass();
    RegisterClassBranch(cls);
    RegisterClassCaption(cls, "Navigator 3D");
    if (TKDataBranch* items =
            GetClassInfoBranch(TKCustomChangeObjectList::StaticClass(), kciSubItems, true)) {
        TKTreeLock lock;
        TKDataBranch* entry = items->ForceChild("Standart Objects", true)->ForceChild("Navigator 3D", true);
        entry->SetData(TKData::OfClass(cls));
    }
    RegisterClassGlyph("TKNavigator3DContainerObject_64", 64, cls, true);
}

void NavigatorFinal()
{
    UnregisterClassBranch(TKNavigator3DContainerObject::StaticClass());
}

}  // namespace

const TUnitInfo kKNavigator3DUnit{"KNavigator3DUn", NavigatorInit, NavigatorFinal};
