#include "plugin3d/forms/k_viewer3d_setup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/format.h"
#include "platform/forms/grids.h"
#include "platform/forms/stdctrls.h"
#include "platform/kernel/mul_div.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/model/render/memory_bitmap.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_project_helpers.h"

IMPLEMENT_TCLASS(TKViewer3DSetup, TForm)

namespace {

// The curve editor's look.
constexpr TColor kBackground = static_cast<TColor>(0xC0C0C0);
constexpr int kMargin = 3;
constexpr int kOverhang = 2;
constexpr TColor kAxis = clBlack;
constexpr TColor kCursor = static_cast<TColor>(0x808080);
constexpr TColor kCurve = static_cast<TColor>(0x800000);
constexpr TColor kDraggedSegments = static_cast<TColor>(0x008000);
constexpr int kNodeHalf = 3;
constexpr int kHotHalf = 4;
constexpr TColor kHotNode = static_cast<TColor>(0xFF0000);
constexpr TColor kDraggedNode = static_cast<TColor>(0x0000FF);
constexpr char kNumberBox[] = "0000";

constexpr const char* kComponentNames[3] = {"Red", "Green", "Blue"};

int TextNumber(const std::string& text, int fallback)
{
    int value = 0;
    return TryStrToInt(text, value) ? value : fallback;
}

// The plot's frame lines belong to it.
bool InPlot(const CRect& plot, CPoint p)
{
    return p.x >= plot.left && p.x <= plot.right && p.y >= plot.top && p.y <= plot.bottom;
}

bool IsDigitOrBackspace(char key)
{
    return (key >= '0' && key <= '9') || key == '\b';
}

}  // namespace

CPoint CurvePixel(const CRect& plot, std::int32_t input, std::int32_t output)
{
    input = std::clamp(input, 0, kCurveInputMax);
    output = std::clamp(output, 0, kCurveOutputMax);
    return CPoint(plot.left + MulDiv(input, plot.right - plot.left, kCurveInputMax),
                  plot.bottom - MulDiv(output, plot.bottom - plot.top, kCurveOutputMax));
}

void CurveNode(const CRect& plot, CPoint pixel, std::int32_t& input, std::int32_t& output)
{
    const int x = std::clamp<int>(pixel.x, plot.left, plot.right);
    const int y = std::clamp<int>(pixel.y, plot.top, plot.bottom);
    input = MulDiv(x - plot.left, kCurveInputMax, plot.right - plot.left);
    output = MulDiv(plot.bottom - y, kCurveOutputMax, plot.bottom - plot.top);
}

std::vector<std::pair<std::string, std::string>> CurveGridRows(const TKCnv3DIITransformer& curve)
{
    std::vector<std::pair<std::string, std::string>> rows{{"  X", "  Y"}};
    const std::vector<std::int32_t> pairs = curve.Pairs();
    if (pairs.empty()) rows.emplace_back("-", "-");
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
        rows.emplace_back(std::to_string(MulDiv(pairs[i], 1000, kCurveInputMax)),
                          std::to_string(MulDiv(pairs[i + 1], 1000, kCurveOutputMax)));
    return rows;
}

std::vector<THandler> TKViewer3DSetup::Handlers()
{
    return {FORM_HANDLER(FormCreate),     FORM_HANDLER(FormDestroy),        FORM_HANDLER(FormShow),
            FORM_HANDLER(PropertyChange), FORM_HANDLER(PropertyKeyUp),      FORM_HANDLER(SizeKeyPress),
            FORM_HANDLER(ApplyBtnClick),  FORM_HANDLER(CancelBtnClick),     FORM_HANDLER(SourceChange),
            FORM_HANDLER(CurvePaint),     FORM_HANDLER(CurveDown),          FORM_HANDLER(CurveMove),
            FORM_HANDLER(CurveUp),        FORM_HANDLER(ColorTypeBoxChange), FORM_HANDLER(TrackBarChange),
            FORM_HANDLER(ColorEditChange)};
}

void TKViewer3DSetup::Loaded()
{
    KFlatCaption1 = FindControl<TKFlatCaption>("KFlatCaption1");
    PageControl1 = FindControl<TPageControl>("PageControl1");
    WidthEdit = FindControl<TEdit>("WidthEdit");
    HeightEdit = FindControl<TEdit>("HeightEdit");
    ColorBox = FindControl<TComboBox>("ColorBox");
    DisplayLabel = FindControl<TLabel>("DisplayLabel");
    EnabledBox = FindControl<TCheckBox>("EnabledBox");
    ApplyBtn = FindControl<TButton>("ApplyBtn");
    CancelBtn = FindControl<TButton>("CancelBtn");
    ColorTypeBox = FindControl<TComboBox>("ColorTypeBox");
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1), name = kComponentNames[i];
        BoxEnabled[i] = FindControl<TCheckBox>("Box" + n + "Enabled");
        BoxVisible[i] = FindControl<TCheckBox>("Box" + n + "Visible");
        PaintBoxes[i] = FindControl<TPaintBox>("PaintBox" + name);
        Grids[i] = FindControl<TStringGrid>(name + "Grid");
        SourceBoxes[i] = FindControl<TComboBox>(name + "ComboBox");
        TrackBars[i] = FindControl<TTrackBar>("TrackBar" + name);
        ColorEdits[i] = FindControl<TEdit>(name + "Edit");
    }
}

void TKViewer3DSetup::FormCreate(TObject*)
{
    m_handle = GetSafeHwnd();
    KFlatCaption1->SetHeight(24);
    m_loadingProperties = m_loadingChannels = m_applyingChannels = m_loadingColors = false;
    m_hotNode = -1;
    m_mouse = CPoint(-1, -1);
    m_dragging = false;
    for (auto*& curve : m_curves) curve = TKCnv3DIITransformer::New();
    for (int i = 0; i < 3; ++i) {
        // The editor draws its own cross-hair.
        PaintBoxes[i]->SetCursor(crNone);
        Grids[i]->SetCell(0, 0, "  X");
        Grids[i]->SetCell(1, 0, "  Y");
    }
    ColorTypeBox->SetItemIndex(0);
}

void TKViewer3DSetup::FormDestroy(TObject*)
{
    SetDrawingSystem(nullptr);
    for (auto*& curve : m_curves) FreeAndNil(curve);
}

void TKViewer3DSetup::FormShow(TObject*)
{
    FitToProperty();
    // The window is not visible yet while it is being shown: load as if it were.
    m_showing = true;
    ShowDisplayMode();
    LoadProperties();
    m_showing = false;
    LoadChannels();
    LoadColors();
}

void TKViewer3DSetup::FitToProperty()
{
    // The pages and the window grow until the Property page holds its Apply and Cancel whole,
    // with a margin below and beside them; they never shrink.
    TTabSheet* page = PageControl1->PageCount() > 0 ? PageControl1->Page(0) : nullptr;
    if (!page || !CancelBtn) return;
    const CRect cancel = CancelBtn->BoundsRect();
    const int wider = std::max(0, int(cancel.right) + 4 - page->ClientWidth());
    const int taller = std::max(0, int(cancel.bottom) + 6 - page->ClientHeight());
    const CRect pages = PageControl1->BoundsRect();
    if (wider > 0 || taller > 0)
        PageControl1->SetBounds(pages.left, pages.top, pages.Width() + wider, pages.Height() + taller);
    const CRect fitted = PageControl1->BoundsRect();
    SetClientSize(std::max(ClientWidth(), int(fitted.right) + 4),
                  std::max(ClientHeight(), int(fitted.bottom) + 4));
}

void TKViewer3DSetup::SetDrawingSystem(TKDrawingSystem3D* system)
{
    if (system == m_system) return;
    const auto handler = TKEventHandler::Of<&TKViewer3DSetup::SystemEvent>(this);
    if (m_system) m_system->Events().Remove(handler);
    m_system = system;
    if (m_system) m_system->Events().Add(handler);
    if (m_curves[0]) {
        LoadProperties();
        LoadChannels();
        LoadColors();
    }
}

// Any thread: posted, handled on the form's own.
void TKViewer3DSetup::SystemEvent(TObject*, int code, std::intptr_t param)
{
    if (code == kevSetupFinished) ::PostMessage(m_handle, WM_USER, static_cast<WPARAM>(code), param);
}

void TKViewer3DSetup::WndProc(TMessage& message)
{
    if (message.Msg == WM_USER) {
        if (message.WParam == kevSetupFinished && m_system) {
            if (!ApplyBtn->Enabled()) LoadProperties();
            if (!m_applyingChannels) LoadChannels();
            if (!m_loadingColors) LoadColors();
        }
        return;
    }
    TForm::WndProc(message);
}

// --- the Property page ----------------------------------------------------------------------

void TKViewer3DSetup::ShowDisplayMode()
{
    std::int32_t width = 0, height = 0;
    const int format = std::clamp(GetScreenPixelFormat(&width, &height), 0, 6);
    DisplayLabel->SetCaption(Format(" %d x %d x ", width, height) + ColorBox->Item(std::min(format, 5)));
}

void TKViewer3DSetup::LoadProperties()
{
    if (!IsWindowVisible() && !m_showing) return;
    m_loadingProperties = true;
    if (m_system) {
        WidthEdit->SetText(std::to_string(m_system->ImageWidth()));
        HeightEdit->SetText(std::to_string(m_system->ImageHeight()));
        ColorBox->SetItemIndex(std::min<int>(m_system->ColorType(), 5));
        EnabledBox->SetChecked(m_system->Enabled() != 0);
        for (int n = 1; n <= 3; ++n) {
            BoxEnabled[n - 1]->SetChecked(m_system->Canvas()->GetChannelEnabled(n));
            BoxVisible[n - 1]->SetChecked(m_system->GetChannelVisible(n));
        }
    } else {
        WidthEdit->SetText("0");
        HeightEdit->SetText("0");
        ColorBox->SetItemIndex(0);
        EnabledBox->SetChecked(false);
        for (int i = 0; i < 3; ++i) {
            BoxEnabled[i]->SetChecked(false);
            BoxVisible[i]->SetChecked(false);
        }
    }
    m_loadingProperties = false;
    ApplyBtn->SetEnabled(false);
    CancelBtn->SetEnabled(true);
}

void TKViewer3DSetup::PropertyChange(TObject*)
{
    if (!m_loadingProperties) ApplyBtn->SetEnabled(true);
}

void TKViewer3DSetup::PropertyKeyUp(TObject*, WORD& key, TShiftState)
{
    if (key == VK_RETURN) Apply();
}

void TKViewer3DSetup::SizeKeyPress(TObject*, char& key)
{
    if (!IsDigitOrBackspace(key)) key = 0;
}

void TKViewer3DSetup::ApplyBtnClick(TObject*)
{
    Apply();
}

void TKViewer3DSetup::CancelBtnClick(TObject*)
{
    LoadProperties();
}

void TKViewer3DSetup::Apply()
{
    if (!ApplyBtn->Enabled()) return;
    if (!m_system) {
        LoadProperties();
        return;
    }
    {
        TKObjectLock lock(*m_system);
        const int width = TextNumber(WidthEdit->Text(), 0);
        const int height = TextNumber(HeightEdit->Text(), 0);
        // The last entry is the 32-bit format of this platform.
        const int index = ColorBox->ItemIndex();
        const std::int32_t type = index == 5 ? 6 : std::max(index, 0);
        TKCanvas3D* canvas = m_system->Canvas();
        bool structural = canvas->Width() != width || canvas->Height() != height;
        for (int n = 1; n <= 3; ++n)
            structural = structural || canvas->GetChannelEnabled(n) != BoxEnabled[n - 1]->Checked();
        auto switches = [&] {
            m_system->SetEnabled(EnabledBox->Checked() ? 1 : 0);
            for (int n = 1; n <= 3; ++n) m_system->SetChannelVisible(n, BoxVisible[n - 1]->Checked());
        };
        if (structural) {
            m_system->WithinUpdate([&] {
                m_system->SetImageSize(0, 0);
                for (int n = 1; n <= 3; ++n) canvas->SetChannelEnabled(n, BoxEnabled[n - 1]->Checked());
                m_system->SetColorType(type);
                m_system->SetImageSize(width, height);
                switches();
            });
        } else {
            m_system->BeginSetup(0);
            try {
                m_system->SetColorType(type);
                switches();
            } catch (...) {
                m_system->EndSetup(0);
                throw;
            }
            m_system->EndSetup(0);
        }
    }
    ApplyBtn->SetEnabled(false);
    LoadProperties();
}

// --- the curve pages ------------------------------------------------------------------------

void TKViewer3DSetup::LoadChannels()
{
    if (m_applyingChannels) return;
    m_loadingChannels = true;
    for (int i = 0; i < 3; ++i) {
        if (m_system) {
            m_curves[i]->Assign(m_system->Curve(i + 1));
            SourceBoxes[i]->SetItemIndex(std::clamp<int>(m_system->GetChannelMode(i + 1), 0, 3));
        } else {
            m_curves[i]->Clear();
            SourceBoxes[i]->SetItemIndex(0);
        }
        FillGrid(i);
        PaintBoxes[i]->Invalidate();
    }
    m_loadingChannels = false;
}

void TKViewer3DSetup::ApplyChannels()
{
    if (!m_system) return;
    m_applyingChannels = true;
    try {
        TKObjectLock lock(*m_system);
        m_system->BeginSetup(0);
        try {
            for (int i = 0; i < 3; ++i) {
                m_system->SetChannelMode(i + 1, std::max(SourceBoxes[i]->ItemIndex(), 0));
                m_system->Curve(i + 1)->Assign(m_curves[i]);
            }
        } catch (...) {
            m_system->EndSetup(0);
            throw;
        }
        m_system->EndSetup(0);
    } catch (...) {
        m_applyingChannels = false;
        throw;
    }
    m_applyingChannels = false;
    for (int i = 0; i < 3; ++i) FillGrid(i);
}

void TKViewer3DSetup::SourceChange(TObject*)
{
    if (!m_loadingChannels) ApplyChannels();
}

void TKViewer3DSetup::FillGrid(int component)
{
    TStringGrid* grid = Grids[component];
    const auto rows = CurveGridRows(*m_curves[component]);
    grid->SetRowCount(std::max<int>(static_cast<int>(rows.size()), 2));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        grid->SetCell(0, static_cast<int>(r), rows[r].first);
        grid->SetCell(1, static_cast<int>(r), rows[r].second);
    }
}

int TKViewer3DSetup::ComponentOf(TObject* sender) const
{
    for (int i = 0; i < 3; ++i)
        if (sender == PaintBoxes[i] || sender == TrackBars[i] || sender == ColorEdits[i]) return i;
    return -1;
}

CRect TKViewer3DSetup::PlotRect(int component)
{
    TPaintBox* box = PaintBoxes[component];
    constexpr int inset = kMargin + kOverhang + 4;
    CRect plot(inset, inset, box->Width() - inset - 1, box->Height() - inset - 1);
    TCanvas* canvas = box->Canvas();
    const CSize number = canvas ? canvas->TextExtent(kNumberBox) : CSize(24, 13);
    plot.bottom -= number.cy + 2;
    plot.left += number.cx + 2;
    return plot;
}

int TKViewer3DSetup::FindHotNode(int component, CPoint at)
{
    const CRect plot = PlotRect(component);
    const std::vector<std::int32_t> pairs = m_curves[component]->Pairs();
    int hot = -1, limit = 4;
    for (std::size_t i = 0; i + 1 < pairs.size() && limit > 0; i += 2) {
        const CPoint node = CurvePixel(plot, pairs[i], pairs[i + 1]);
        const int dx = std::abs(node.x - at.x), dy = std::abs(node.y - at.y);
        if (dx < limit && dy < limit) {
            hot = static_cast<int>(i / 2);
            limit = std::min(dx, dy);
        }
    }
    return hot;
}

void TKViewer3DSetup::CurvePaint(TObject* sender)
{
    const int component = ComponentOf(sender);
    if (component >= 0) PaintCurve(component, false);
}

void TKViewer3DSetup::PaintCurve(int component, bool)
{
    TPaintBox* box = PaintBoxes[component];
    TCanvas* canvas = box->Canvas();
    if (!canvas) return;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(kBackground);
    canvas->FillRect(CRect(0, 0, box->Width(), box->Height()));
    const CRect plot = PlotRect(component);
    // A plot with no room (the box too small) has no scale to draw with.
    if (plot.Width() <= 0 || plot.Height() <= 0) return;

    canvas->Pen()->SetColor(kAxis);
    canvas->MoveTo(plot.left - kOverhang, plot.top);
    canvas->LineTo(plot.right + kOverhang + 1, plot.top);
    canvas->MoveTo(plot.left - kOverhang, plot.bottom);
    canvas->LineTo(plot.right + kOverhang + 1, plot.bottom);
    canvas->MoveTo(plot.left, plot.top - kOverhang);
    canvas->LineTo(plot.left, plot.bottom + kOverhang + 1);
    canvas->MoveTo(plot.right, plot.top - kOverhang);
    canvas->LineTo(plot.right, plot.bottom + kOverhang + 1);
    for (int t = 1; t <= 9; ++t) {
        const int x = plot.left + MulDiv(t, plot.Width(), 10), y = plot.bottom - MulDiv(t, plot.Height(), 10);
        canvas->MoveTo(x, plot.bottom + 1);
        canvas->LineTo(x, plot.bottom + 2);
        canvas->MoveTo(x, plot.top - 1);
        canvas->LineTo(x, plot.top);
        canvas->MoveTo(plot.left - 1, y);
        canvas->LineTo(plot.left, y);
        canvas->MoveTo(plot.right + 1, y);
        canvas->LineTo(plot.right + 2, y);
    }

    const CPoint m = m_mouse;
    if (InPlot(plot, m)) {
        canvas->Pen()->SetColor(kCursor);
        canvas->MoveTo(plot.left - kOverhang, m.y);
        canvas->LineTo(m.x - 2, m.y);
        canvas->MoveTo(m.x + 3, m.y);
        canvas->LineTo(plot.right + kOverhang + 1, m.y);
        canvas->MoveTo(m.x, plot.top - kOverhang);
        canvas->LineTo(m.x, m.y - 2);
        canvas->MoveTo(m.x, m.y + 3);
        canvas->LineTo(m.x, plot.bottom + kOverhang + 1);
        const int xValue = MulDiv(m.x - plot.left, 1000, plot.Width());
        const int yValue = MulDiv(plot.bottom - m.y, 1000, plot.Height());
        const CSize number = canvas->TextExtent(kNumberBox);
        canvas->Font()->SetColor(kCursor);
        canvas->Brush()->SetStyle(bsClear);
        const int yBottom = m.y - 1 + MulDiv(yValue, number.cy + 2, 1000);
        CRect yBox(kMargin + 1, yBottom - number.cy, kMargin + 1 + number.cx, yBottom);
        const int xLeft = m.x + 1 - MulDiv(xValue, number.cx + 2, 1000);
        const int xBottom = box->Height() - kMargin - 2;
        CRect xBox(xLeft, xBottom - number.cy, xLeft + number.cx, xBottom);
        for (auto [rect, value] : {std::pair{yBox, yValue}, std::pair{xBox, xValue}}) {
            canvas->Brush()->SetColor(kCursor);
            CRect frame = rect;
            frame.InflateRect(1, 1);
            canvas->FrameRect(frame);
            canvas->Brush()->SetStyle(bsClear);
            canvas->DrawText(std::to_string(value), rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        canvas->Brush()->SetStyle(bsSolid);
    }

    const std::vector<std::int32_t> pairs = m_curves[component]->Pairs();
    const int count = static_cast<int>(pairs.size() / 2);
    std::vector<POINT> points;
    for (int i = 0; i < count; ++i) points.push_back(CurvePixel(plot, pairs[2 * i], pairs[2 * i + 1]));
    if (count > 1) {
        canvas->Pen()->SetColor(kCurve);
        canvas->Polyline(points.data(), count);
        if (m_dragging && m_hotNode >= 0 && m_hotNode < count) {
            canvas->Pen()->SetColor(kDraggedSegments);
            const int from = std::max(m_hotNode - 1, 0), to = std::min(m_hotNode + 1, count - 1);
            canvas->Polyline(points.data() + from, to - from + 1);
        }
    }
    for (int i = 0; i < count; ++i) {
        const bool hot = i == m_hotNode;
        const int half = hot ? kHotHalf : kNodeHalf;
        const TColor colour = hot ? (m_dragging ? kDraggedNode : kHotNode) : kAxis;
        const CPoint p = points[i];
        canvas->Pen()->SetColor(colour);
        canvas->Brush()->SetStyle(bsClear);
        if (i == 0 || i == count - 1 || (hot && m_dragging)) {
            canvas->Rectangle(p.x - half, p.y - half, p.x + half + 1, p.y + half + 1);
        } else {
            const POINT diamond[4] = {
                {p.x, p.y - half}, {p.x + half, p.y}, {p.x, p.y + half}, {p.x - half, p.y}};
            canvas->Polygon(diamond, 4);
        }
    }
    canvas->Brush()->SetStyle(bsSolid);
}

void TKViewer3DSetup::CurveMouseMove(int component, int x, int y)
{
    const CPoint at(x, y);
    if (at == m_mouse) return;
    m_mouse = at;
    const CRect plot = PlotRect(component);
    TKCnv3DIITransformer* curve = m_curves[component];
    if (m_dragging && m_hotNode >= 0) {
        CPoint target = at;
        const int last = curve->Count() - 1;
        const bool edge = m_hotNode == 0 || m_hotNode == last;
        if (m_hotNode == 0) target.x = plot.left;
        if (m_hotNode == last) target.x = plot.right;
        if (edge) target.y = std::clamp<int>(target.y, plot.top, plot.bottom);
        if (!InPlot(plot, target)) {
            // Dragged out of the plot: an inner node goes.
            curve->DeletePoint(m_hotNode);
            m_hotNode = -1;
            m_dragging = false;
        } else {
            std::int32_t input = 0, output = 0;
            CurveNode(plot, target, input, output);
            m_hotNode = curve->SetPoint(m_hotNode, input, output);
        }
        FillGrid(component);
    } else {
        m_hotNode = FindHotNode(component, at);
    }
    PaintBoxes[component]->Invalidate();
}

void TKViewer3DSetup::CurveMouseDown(int component, int x, int y)
{
    m_mouse = CPoint(x, y);
    const CRect plot = PlotRect(component);
    m_hotNode = FindHotNode(component, m_mouse);
    m_dragging = true;
    if (m_hotNode < 0 && InPlot(plot, m_mouse)) {
        std::int32_t input = 0, output = 0;
        CurveNode(plot, m_mouse, input, output);
        m_hotNode = m_curves[component]->AddPoint(input, output);
        FillGrid(component);
    }
    PaintBoxes[component]->Invalidate();
}

void TKViewer3DSetup::CurveMouseUp(int component)
{
    m_dragging = false;
    PaintBoxes[component]->Invalidate();
    ApplyChannels();
}

void TKViewer3DSetup::CurveDown(TObject* sender, TMouseButton button, TShiftState, int x, int y)
{
    const int component = ComponentOf(sender);
    if (component >= 0 && button == mbLeft) CurveMouseDown(component, x, y);
}

void TKViewer3DSetup::CurveMove(TObject* sender, TShiftState, int x, int y)
{
    const int component = ComponentOf(sender);
    if (component >= 0) CurveMouseMove(component, x, y);
}

void TKViewer3DSetup::CurveUp(TObject* sender, TMouseButton, TShiftState, int, int)
{
    const int component = ComponentOf(sender);
    if (component >= 0) CurveMouseUp(component);
}

// --- the Colors page ------------------------------------------------------------------------

void TKViewer3DSetup::LoadColors()
{
    m_loadingColors = true;
    TVector3D colour{0, 0, 0};
    if (m_system) {
        switch (ColorTypeBox->ItemIndex()) {
            case 1:
                colour = m_system->RampStartColor();
                break;
            case 2:
                colour = m_system->RampEndColor();
                break;
            default:
                colour = m_system->Background();
                break;
        }
    }
    const double parts[3] = {colour.x, colour.y, colour.z};
    for (int i = 0; i < 3; ++i) {
        TrackBars[i]->SetPosition(static_cast<int>(std::lround(parts[i] * 1000)));
        ColorEdits[i]->SetText(std::to_string(TrackBars[i]->Position()));
    }
    m_loadingColors = false;
}

void TKViewer3DSetup::SendColors()
{
    if (!m_system) {
        LoadColors();
        return;
    }
    const TVector3D colour{TrackBars[0]->Position() / 1000.0, TrackBars[1]->Position() / 1000.0,
                           TrackBars[2]->Position() / 1000.0};
    m_loadingColors = true;
    try {
        switch (ColorTypeBox->ItemIndex()) {
            case 1:
                m_system->SetRampStartColor(colour);
                break;
            case 2:
                m_system->SetRampEndColor(colour);
                break;
            default:
                m_system->SetBackground(colour);
                break;
        }
    } catch (...) {
        m_loadingColors = false;
        throw;
    }
    m_loadingColors = false;
}

void TKViewer3DSetup::ColorTypeBoxChange(TObject*)
{
    LoadColors();
}

void TKViewer3DSetup::TrackBarChange(TObject* sender)
{
    if (m_loadingColors) return;
    const int i = ComponentOf(sender);
    if (i >= 0) {
        m_loadingColors = true;
        ColorEdits[i]->SetText(std::to_string(TrackBars[i]->Position()));
        m_loadingColors = false;
    }
    SendColors();
}

void TKViewer3DSetup::ColorEditChange(TObject* sender)
{
    if (m_loadingColors) return;
    const int i = ComponentOf(sender);
    if (i < 0) return;
    const int value = TextNumber(ColorEdits[i]->Text(), -1);
    if (value < 0 || value > 1000) return;
    m_loadingColors = true;
    TrackBars[i]->SetPosition(value);
    m_loadingColors = false;
    SendColors();
}

// --- the block in the viewer's stream -------------------------------------------------------

void TKViewer3DSetup::WritePlacement(std::uint8_t* block)
{
    const CRect bounds = BoundsRect();
    std::uint32_t flags = 0;
    if (IsWindowVisible()) flags |= 1;
    if (KFlatCaption1->IsStayOnTop()) flags |= 2;
    const std::int32_t values[4] = {bounds.left, bounds.top, WindowZDepth(GetSafeHwnd()),
                                    static_cast<std::int32_t>(flags)};
    std::memcpy(block, values, sizeof values);
}

int TKViewer3DSetup::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return 16;
    std::uint8_t block[16];
    WritePlacement(block);
    stream->Write(block, sizeof block);
    return 16;
}

void TKViewer3DSetup::ApplyPlacement(std::int32_t left, std::int32_t top, std::uint32_t flags)
{
    const bool onTop = (flags & 2) != 0;
    KFlatCaption1->SetStayOnTop(onTop);
    PlaceFormOnScreen(this, left, top, 0, 0, onTop, false);
}

int TKViewer3DSetup::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    std::int32_t left = 0, top = 0, depth = 0;
    std::uint32_t flags = 0;
    ReadValue(stream, left);
    ReadValue(stream, top);
    ReadValue(stream, depth);
    ReadValue(stream, flags);
    ApplyPlacement(left, top, flags);
    if (flags & 1)
        if (auto* project = ObjectAs<TKelvora3DProject>(stream->GetProject()))
            project->AddReopenedWindow(GetSafeHwnd(), depth);
    return 16;
}
