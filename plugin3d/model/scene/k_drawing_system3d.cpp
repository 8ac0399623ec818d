#include "plugin3d/model/scene/k_drawing_system3d.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/render/vertex_mapping.h"
#include "plugin3d/model/scene/scene_bands.h"

IMPLEMENT_TCLASS(TKDrawingSystem3D, TKCustomDrawSystem3D)

using vertex_mapping::ToCanvas;

namespace {

// A colour component as the drawing system keeps it: 0..1, NaN and below 0 giving 0.
double ClampComponent(double v)
{
    if (!(v >= 0)) return 0;
    return v > 1 ? 1 : v;
}

TVector3D ClampColour(const TVector3D& c)
{
    return {ClampComponent(c.x), ClampComponent(c.y), ClampComponent(c.z)};
}

// 0..1 to 0..scale, rounded half to even.
std::int32_t Scaled(double v, double scale)
{
    return std::int32_t(std::lrint(v * scale));
}

// Stored flags: bits 0-2 channel 1-3 visible, bits 3-5 canvas channel 1-3 present.
constexpr std::int32_t kVisibleBit = 1, kPresentBit = 8;

// Runs body inside a setup bracket of ds, closed on every way out.
template <class Body>
void WithinSetup(TKDrawingSystem3D& ds, Body&& body)
{
    ds.BeginSetup(0);
    try {
        body();
    } catch (...) {
        ds.EndSetup(0);
        throw;
    }
    ds.EndSetup(0);
}

}  // namespace

TKDrawingSystem3D* TKDrawingSystem3D::NewWithScene(TKSimpleScene3D* scene)
{
    auto* ds = static_cast<TKDrawingSystem3D*>(StaticClass()->make());
    try {
        ds->CreateWithScene(scene);
    } catch (...) {
        ds->Free();
        throw;
    }
    return ds;
}

void TKDrawingSystem3D::CreateWithScene(TKSimpleScene3D* scene)
{
    m_withoutViewer = true;
    Create(scene);
}

void TKDrawingSystem3D::Create(void* owner)
{
    TKCustomDrawSystem3D::Create(owner);
    if (m_withoutViewer) return;
    const TKFormLinks links = FormLinks();
    if (!links.createViewer) return;
    m_viewer = links.createViewer(this);
    m_freeViewer = m_viewer ? links.freeViewer : nullptr;
}

TKDrawingSystem3D::~TKDrawingSystem3D()
{
    Done();
    if (TComponent* viewer = m_viewer) {
        m_viewer = nullptr;
        if (m_freeViewer) m_freeViewer(viewer);
    }
}

void TKDrawingSystem3D::Init()
{
    TKCustomDrawSystem3D::Init();
    m_setupDepth = 0;
    m_sources[0] = 1;
    m_sources[1] = 2;
    m_sources[2] = 3;
    m_width = m_height = 0;
    m_colorType = kpfNone;
    m_visible[0] = m_visible[1] = m_visible[2] = true;
    m_centreX = m_centreY = 0;
    m_bitMap = {};
    m_bitmap.reset(TKMemoryBitmap::New(this));
    m_canvas.reset(TKCanvas3D::New(this));
    for (auto& curve : m_curves) {
        curve.reset(TKCnv3DIITransformer::New());
        curve->AddPoint(0, 0);
        curve->AddPoint(0x8000, 0xFFFF);
    }
    m_background = {0, 0, 0};
    m_rampStart = {0, 0, 0};
    m_rampEnd = {1, 1, 1};
    BuildPalette();
    // A viewer a load makes gets its tables and picture from the load's own update.
    m_buildDeferred = TakeLoadConstruction(ClassType());
    // One update: the tables and the picture are built once, when it closes.
    WithinUpdate([&] {
        SetColorType(kpfIndexed8);
        SetImageSize(128, 128);
    });
}

// Setup bracket

void TKDrawingSystem3D::BeginSetup(std::intptr_t param)
{
    if (IsDestroying()) return;
    TKObjectLock lock(*this);
    if (++m_setupDepth == 1) SetupStarted(param);
}

void TKDrawingSystem3D::EndSetup(std::intptr_t param)
{
    if (IsDestroying()) return;
    // The closing half waits for the lock: a bracket left open would keep the set-up open.
    TKWaitingSectionGuard guard(LockSection());
    if (m_setupDepth <= 0) return;
    --m_setupDepth;
    try {
        Rebuild();
    } catch (...) {
        if (m_setupDepth == 0) SetupFinished(param);
        throw;
    }
    if (m_setupDepth == 0) SetupFinished(param);
}

bool TKDrawingSystem3D::InSetup() const
{
    TKSectionGuard guard(LockSection());
    return m_setupDepth > 0;
}

void TKDrawingSystem3D::SetupStarted(std::intptr_t param)
{
    FireEvent(kevSetupStarted, param);
}

void TKDrawingSystem3D::SetupFinished(std::intptr_t param)
{
    FireEvent(kevSetupFinished, param);
}

void TKDrawingSystem3D::PaletteChanged()
{
    FireEvent(kevPictureRepainted, 0);
}

void TKDrawingSystem3D::Changing(std::intptr_t param)
{
    BeginSetup(0);
    try {
        TKCustomDrawSystem3D::Changing(param);
    } catch (...) {
        EndSetup(0);
        throw;
    }
}

void TKDrawingSystem3D::Changed(std::intptr_t param)
{
    try {
        if (!IsDestroying() && Enabled()) FireEvent(kevPictureChanged, reinterpret_cast<std::intptr_t>(this));
        TKCustomDrawSystem3D::Changed(param);
    } catch (...) {
        EndSetup(0);
        throw;
    }
    EndSetup(0);
}

// Tables and picture

void TKDrawingSystem3D::Rebuild()
{
    TKObjectLock lock(*this);
    if (IsUpdating() || m_buildDeferred) return;
    for (int n = 1; n <= 3; ++n) BuildChannel(n);
    MakePaletteIndexTables();
    PaintToBitmap();
}

void TKDrawingSystem3D::BuildChannel(int n)
{
    if (n < 1 || n > 3) return;
    TKObjectLock lock(*this);
    const TKCnv3DIITransformer* curves[3] = {};
    if (m_visible[n - 1])
        for (int c = 0; c < 3; ++c)
            if (m_sources[c] == n) curves[c] = m_curves[c].get();
    m_canvas->BuildChannelTable(n, curves[0], curves[1], curves[2], m_bitMap);
}

int TKDrawingSystem3D::PaletteChannel() const
{
    auto shows = [&](int n) { return n >= 1 && n <= 3 && m_visible[n - 1] && m_canvas->GetChannelTable(n); };
    if (shows(m_sources[0])) return m_sources[0];
    // No shown channel drives red: drawn pixels still take the ramp's first colour, never
    // indices below the ramp.
    for (int n = 1; n <= 3; ++n)
        if (shows(n)) return n;
    return 0;
}

void TKDrawingSystem3D::MakePaletteIndexTables()
{
    TKObjectLock lock(*this);
    if (m_colorType != kpfIndexed8) return;
    // Only the channel that drives red carries the ramp's offset. The pixel is the OR of the
    // shown channels' entries, and the others hold 0 for every drawn level (type 1 packs red
    // only), so every drawn pixel lands on 64..191 and nothing drawn on 192.
    const int n = PaletteChannel();
    if (n == 0) return;
    // In place: the levels a pixel can hold are changed, the rest of the table stays.
    m_canvas->ChangeChannelTable(n, [](std::int32_t* entries) {
        for (int i = 0; i < canvas_tables::kLevels; ++i) entries[i] = entries[i] / 2 + kRampFirstIndex;
    });
}

void TKDrawingSystem3D::PaintToBitmap()
{
    TKObjectLock lock(*this);
    if (IsDestroying() || IsUpdating() || m_colorType == kpfNone) return;
    TKMemoryBitmap& bitmap = *m_bitmap;
    {
        TKObjectLock bitmapLock(bitmap);
        bitmap.LockCanvas();
        struct Unlock {
            TKMemoryBitmap& b;
            ~Unlock() { b.UnlockCanvas(); }
        } unlock{bitmap};
        // Only into pixel memory made for this picture: after a failed size or format change
        // the bitmap has none, or one of another shape.
        void* pixels = bitmap.Pixels();
        if (!pixels || bitmap.PixelFormat() != m_colorType || bitmap.GetSize(0) != m_width ||
            bitmap.GetSize(1) != m_height)
            return;
        m_canvas->PaintTo({pixels, m_width, m_height, PixelFormatBits(m_colorType) / 8, bitmap.RowBytes()});
    }
    PaletteChanged();
}

void TKDrawingSystem3D::BuildPalette()
{
    TKObjectLock lock(*this);
    PALETTEENTRY entries[kRampEntries + 1] = {};
    const double step[3] = {(m_rampEnd.x - m_rampStart.x) / 127, (m_rampEnd.y - m_rampStart.y) / 127,
                            (m_rampEnd.z - m_rampStart.z) / 127};
    for (int i = 0; i < kRampEntries; ++i)
        entries[i] = {BYTE(Scaled(m_rampStart.x + i * step[0], 255)),
                      BYTE(Scaled(m_rampStart.y + i * step[1], 255)),
                      BYTE(Scaled(m_rampStart.z + i * step[2], 255)), 0};
    entries[kRampEntries] = {BYTE(Scaled(m_background.x, 255)), BYTE(Scaled(m_background.y, 255)),
                             BYTE(Scaled(m_background.z, 255)), 0};
    m_bitmap->SetPaletteEntries(kRampFirstIndex, kRampEntries + 1, entries);
}

void TKDrawingSystem3D::ApplyCanvasBackground()
{
    if (m_colorType == kpfIndexed8)
        m_canvas->SetBackgroundValue(kBackgroundIndex);
    else
        m_canvas->SetBackgroundColor(Scaled(m_background.x, 65535), Scaled(m_background.y, 65535),
                                     Scaled(m_background.z, 65535), m_bitMap);
}

// Settings

void TKDrawingSystem3D::SetColorType(std::int32_t type)
{
    if (type < kpfNone || type > kpfRgb111110) return;
    TKObjectLock lock(*this);
    WithinSetup(*this, [&] {
        if (type != m_colorType) {
            // The type is taken back from the bitmap also when the change fails, so the two
            // never disagree on what the pixel memory holds.
            auto takeBack = [&] {
                m_colorType = m_bitmap->PixelFormat();
                if (m_colorType != kpfNone) m_bitMap = canvas_tables::ColorBitMapOf(m_colorType);
            };
            try {
                m_bitmap->SetPixelFormat(type);
            } catch (...) {
                takeBack();
                throw;
            }
            takeBack();
        }
        ApplyCanvasBackground();
        BuildPalette();
    });
}

std::int32_t TKDrawingSystem3D::ColorType() const
{
    TKSectionGuard guard(LockSection());
    return m_colorType;
}

void TKDrawingSystem3D::SetChannelVisible(int n, bool visible)
{
    if (n < 1 || n > 3) return;
    TKObjectLock lock(*this);
    if (m_visible[n - 1] == visible) return;
    WithinSetup(*this, [&] { m_visible[n - 1] = visible; });
}

bool TKDrawingSystem3D::GetChannelVisible(int n) const
{
    if (n < 1 || n > 3) return false;
    TKSectionGuard guard(LockSection());
    return m_visible[n - 1];
}

void TKDrawingSystem3D::SetChannelMode(int component, std::int32_t source)
{
    if (component < 1 || component > 3) return;
    if (source < 0 || source > 3) source = 0;
    TKObjectLock lock(*this);
    if (m_sources[component - 1] == source) return;
    WithinSetup(*this, [&] { m_sources[component - 1] = source; });
}

std::int32_t TKDrawingSystem3D::GetChannelMode(int component) const
{
    if (component < 1 || component > 3) return 0;
    TKSectionGuard guard(LockSection());
    return m_sources[component - 1];
}

void TKDrawingSystem3D::SetBackground(const TVector3D& colour)
{
    const TVector3D clamped = ClampColour(colour);
    TKObjectLock lock(*this);
    if (VectorEqual(clamped, m_background)) return;
    WithinSetup(*this, [&] {
        m_background = clamped;
        ApplyCanvasBackground();
        BuildPalette();
    });
}

void TKDrawingSystem3D::SetRampColor(TVector3D& field, const TVector3D& colour)
{
    const TVector3D clamped = ClampColour(colour);
    TKObjectLock lock(*this);
    if (VectorEqual(clamped, field)) return;
    TKObjectLock bitmapLock(*m_bitmap);
    auto change = [&] {
        field = clamped;
        BuildPalette();
    };
    // Only the palette picture shows the ramp.
    if (m_colorType == kpfIndexed8)
        WithinSetup(*this, change);
    else
        change();
}

void TKDrawingSystem3D::SetRampStartColor(const TVector3D& colour)
{
    SetRampColor(m_rampStart, colour);
}

void TKDrawingSystem3D::SetRampEndColor(const TVector3D& colour)
{
    SetRampColor(m_rampEnd, colour);
}

TVector3D TKDrawingSystem3D::Background() const
{
    TKSectionGuard guard(LockSection());
    return m_background;
}

TVector3D TKDrawingSystem3D::RampStartColor() const
{
    TKSectionGuard guard(LockSection());
    return m_rampStart;
}

TVector3D TKDrawingSystem3D::RampEndColor() const
{
    TKSectionGuard guard(LockSection());
    return m_rampEnd;
}

void TKDrawingSystem3D::SetImageSize(std::int32_t width, std::int32_t height)
{
    if (width < 0 || height < 0) return;
    TKObjectLock lock(*this);
    if (width == m_width && height == m_height) return;
    WithinUpdate([&] {
        // The size reads 0 x 0 until both parts have it: nothing paints into a bitmap or from
        // a canvas caught between two sizes.
        m_width = m_height = 0;
        try {
            m_bitmap->SetSize(width, height);
            m_canvas->SetSize(width, height);
            m_width = width;
            m_height = height;
            m_colorType = m_bitmap->PixelFormat();
        } catch (...) {
            m_centreX = m_width / 2;
            m_centreY = m_height / 2;
            throw;
        }
        m_centreX = width / 2;
        m_centreY = height / 2;
    });
}

std::int32_t TKDrawingSystem3D::ImageWidth() const
{
    TKSectionGuard guard(LockSection());
    return m_width;
}

std::int32_t TKDrawingSystem3D::ImageHeight() const
{
    TKSectionGuard guard(LockSection());
    return m_height;
}

TColorBitMap TKDrawingSystem3D::BitMap() const
{
    TKSectionGuard guard(LockSection());
    return m_bitMap;
}

TKCnv3DIITransformer* TKDrawingSystem3D::Curve(int component) const
{
    return component >= 1 && component <= 3 ? m_curves[component - 1].get() : nullptr;
}

// The draw pass

void TKDrawingSystem3D::DrawingStarted(std::intptr_t param)
{
    m_canvas->Clear();
    TKCustomDrawSystem3D::DrawingStarted(param);
}

void TKDrawingSystem3D::DrawingFinished(std::intptr_t param)
{
    TKCustomDrawSystem3D::DrawingFinished(param);
    PaintToBitmap();
}

void TKDrawingSystem3D::SetShadeMode(std::uint8_t mode)
{
    m_canvas->SetSmooth(mode != 0);
    TKCustomDrawSystem3D::SetShadeMode(mode);
}

void TKDrawingSystem3D::Clear()
{
    m_canvas->Clear();
    PaintToBitmap();
}

void TKDrawingSystem3D::DrawPointSingle(const TVertex3S& v)
{
    m_canvas->DrawPoint(ToCanvas(v, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawPoint(const TVertex3D& v)
{
    m_canvas->DrawPoint(ToCanvas(v, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawLineSingle(const TVertex3S& a, const TVertex3S& b)
{
    m_canvas->DrawLine(ToCanvas(a, m_centreX, m_centreY), ToCanvas(b, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawLine(const TVertex3D& a, const TVertex3D& b)
{
    m_canvas->DrawLine(ToCanvas(a, m_centreX, m_centreY), ToCanvas(b, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawTriangleSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c)
{
    m_canvas->DrawTriangle(ToCanvas(a, m_centreX, m_centreY), ToCanvas(b, m_centreX, m_centreY),
                           ToCanvas(c, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawTriangle(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c)
{
    m_canvas->DrawTriangle(ToCanvas(a, m_centreX, m_centreY), ToCanvas(b, m_centreX, m_centreY),
                           ToCanvas(c, m_centreX, m_centreY));
}

void TKDrawingSystem3D::DrawTriangleGridSingle(const TVertexGrid3S& grid, const TGridDrawReport& report)
{
    if (grid.cols < 2 || grid.rows < 2) return;
    // Rows of cells mapped and drawn at a time: about two million cells, so the mapped
    // vertices of a huge grid stay small while each part still spreads over the bands.
    constexpr std::int64_t kPartCells = std::int64_t(1) << 21;
    const std::int64_t cols = grid.cols;
    const std::int64_t partRows = std::max<std::int64_t>(1, kPartCells / (cols - 1));
    const std::int64_t nodes = (std::min(partRows, grid.rows - 1) + 1) * cols;
    if (m_gridNodes.size() < std::size_t(nodes)) m_gridNodes.resize(std::size_t(nodes));
    TCanvasVertex* mapped = m_gridNodes.data();
    const std::int32_t centreX = m_centreX, centreY = m_centreY;
    for (std::int64_t first = 0; first + 1 < grid.rows; first += partRows) {
        const std::int64_t rows = std::min(partRows, grid.rows - 1 - first) + 1;
        RunSceneBands(rows,
                      [&](const TSceneBand& band) {
                          for (std::int64_t r = band.begin; r < band.end; ++r) {
                              TCanvasVertex* out = mapped + r * cols;
                              for (std::int64_t c = 0; c < cols; ++c)
                                  out[c] = ToCanvas(grid.At(c, first + r), centreX, centreY);
                              if (report.checkStop) report.checkStop();
                          }
                      },
                      {});
        canvas_raster::GridProgress canvasReport{report.checkStop, {}};
        if (report.rowsDone)
            canvasReport.progress = [&](std::int64_t done) { report.rowsDone(first + done); };
        m_canvas->DrawTriangleGrid({mapped, cols, rows, (first & 1) != 0}, canvasReport);
    }
}

void TKDrawingSystem3D::DrawQuadSingle(const TVertex3S& a, const TVertex3S& b, const TVertex3S& c,
                                       const TVertex3S&)
{
    DrawTriangleSingle(a, b, c);
}

void TKDrawingSystem3D::DrawQuad(const TVertex3D& a, const TVertex3D& b, const TVertex3D& c, const TVertex3D&)
{
    DrawTriangle(a, b, c);
}

// Persistence

int TKDrawingSystem3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKObjectLock lock(*this);
    int bytes = TKCustomDrawSystem3D::SaveToStream(stream);
    bytes += SaveOwnPart(stream);
    if (m_viewer) {
        const TKFormLinks links = FormLinks();
        if (links.saveViewer) bytes += links.saveViewer(m_viewer, stream);
    }
    return bytes;
}

int TKDrawingSystem3D::SaveOwnPart(TKObjectsStream* stream)
{
    int bytes = 0;
    for (std::int32_t source : m_sources) bytes += WriteValue(stream, source);
    bytes += WriteValue(stream, m_width);
    bytes += WriteValue(stream, m_height);
    bytes += WriteValue(stream, m_colorType);
    std::int32_t flags = 0;
    for (int n = 1; n <= 3; ++n) {
        if (m_visible[n - 1]) flags |= kVisibleBit << (n - 1);
        if (m_canvas->GetChannelEnabled(n)) flags |= kPresentBit << (n - 1);
    }
    bytes += WriteValue(stream, flags);
    bytes += WriteValue(stream, m_bitMap);
    for (const TVector3D* colour : {&m_background, &m_rampStart, &m_rampEnd}) {
        bytes += WriteValue(stream, colour->x);
        bytes += WriteValue(stream, colour->y);
        bytes += WriteValue(stream, colour->z);
    }
    for (const auto& curve : m_curves) bytes += curve->SaveToStream(stream);
    return bytes;
}

std::int64_t TKDrawingSystem3D::PictureBytes(std::int32_t width, std::int32_t height, std::int32_t colorType,
                                             int channels)
{
    const std::int64_t w = std::max<std::int32_t>(width, 0), h = std::max<std::int32_t>(height, 0);
    const std::int64_t bitmapRow = (w * PixelFormatBits(colorType) + 31) / 32 * 4;
    return h * (bitmapRow + w * (4 + 2 * std::int64_t(std::clamp(channels, 1, 3))));
}

namespace {

// A picture size read from a file: refused (and told) when a viewer cannot show it or the
// machine cannot give its planes along with the rest of the load; the viewer then opens
// without a picture.
bool PictureGranted(TKObjectsStream* stream, const TKDrawingSystem3D& system, std::int32_t width,
                    std::int32_t height, std::int32_t colorType, int channels)
{
    if (width == 0 || height == 0) return true;
    const std::string what = "Viewer \"" + system.Name() + "\": its picture of " + std::to_string(width) +
                             " x " + std::to_string(height) + " pixels ";
    const std::string outcome = "; it opens without a picture.";
    const int largest = TKDrawingSystem3D::kLargestPicture;
    if (width > largest || height > largest) {
        stream->ReportRefusal(what + "is larger than a viewer shows (" + std::to_string(largest) + " x " +
                              std::to_string(largest) + ")" + outcome);
        return false;
    }
    const std::int64_t bytes = TKDrawingSystem3D::PictureBytes(width, height, colorType, channels);
    if (stream->GrantLoadMemory(&system, bytes)) return true;
    stream->ReportRefusal(what + "needs " + ByteSizeText(bytes) +
                          ", more than this machine can give the project now" + outcome);
    return false;
}

}  // namespace

int TKDrawingSystem3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    TKObjectLock lock(*this);
    int bytes = 0;
    m_buildDeferred = false;
    // One update: the tables and the picture are built once, for what the record holds.
    WithinUpdate([&] {
        SetImageSize(0, 0);
        bytes = TKCustomDrawSystem3D::LoadFromStream(stream);
        std::int32_t sources[3], width = 0, height = 0, type = 0, flags = 0;
        for (std::int32_t& source : sources) bytes += ReadValue(stream, source);
        bytes += ReadValue(stream, width);
        bytes += ReadValue(stream, height);
        bytes += ReadValue(stream, type);
        if (width < 0 || height < 0 || type < kpfNone || type > kpfRgb111110)
            throw EStreamError(ObjectErrorText(this, ktext::kCantLoad, ktext::kInvalidValue));
        bytes += ReadValue(stream, flags);
        TColorBitMap map{};
        bytes += ReadValue(stream, map);
        TVector3D colours[3];
        for (TVector3D& colour : colours) {
            bytes += ReadValue(stream, colour.x);
            bytes += ReadValue(stream, colour.y);
            bytes += ReadValue(stream, colour.z);
        }
        for (auto& curve : m_curves) bytes += curve->LoadFromStream(stream);

        for (int c = 0; c < 3; ++c) m_sources[c] = sources[c];
        for (int n = 1; n <= 3; ++n) {
            m_visible[n - 1] = (flags & (kVisibleBit << (n - 1))) != 0;
            m_canvas->SetChannelEnabled(n, (flags & (kPresentBit << (n - 1))) != 0);
        }
        m_bitMap = map;
        // Colours from a file are held to 0..1 as the setters hold them.
        m_background = ClampColour(colours[0]);
        m_rampStart = ClampColour(colours[1]);
        m_rampEnd = ClampColour(colours[2]);
        const int channels = std::popcount(std::uint32_t(flags >> 3) & 7u);
        if (!PictureGranted(stream, *this, width, height, type, channels)) width = height = 0;
        SetColorType(type);
        SetImageSize(width, height);
    });
    if (m_viewer) {
        // A record written without forms ends here.
        const TKFormLinks links = FormLinks();
        if (links.loadViewer && stream->Remaining() > 0) bytes += links.loadViewer(m_viewer, stream);
    }
    return bytes;
}

// Unit

namespace {

void StartDrawing3D()
{
    RegisterClassBranch(TKDrawingSystem3D::StaticClass());
    RegisterClassCaption(TKDrawingSystem3D::StaticClass(), "Standart Viewer 3D");
}

void EndDrawing3D()
{
    UnregisterClassBranch(TKDrawingSystem3D::StaticClass());
}

}  // namespace

const TUnitInfo kKDrawing3DUnit{"KDrawing3D", StartDrawing3D, EndDrawing3D};
