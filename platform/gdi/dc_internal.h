#pragma once

// The device context object behind an HDC and the helpers its drawing code shares.

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/raster_internal.h"
#include "platform/gdi/surface_internal.h"

namespace platform::gdi {

struct MetaFileData;

struct DcState {
    std::shared_ptr<PenObj> pen;
    std::shared_ptr<BrushObj> brush;
    std::shared_ptr<FontObj> font;
    std::shared_ptr<PaletteObj> palette;
    std::shared_ptr<BitmapObj> bitmap;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    int polyFillMode = ALTERNATE;
    POINT brushOrg{0, 0};
    POINT pos{0, 0};
    POINT viewportOrg{0, 0};
    POINT windowOrg{0, 0};
    std::optional<SpanRegion> clip;  // device pixels
};

struct DcObj : GdiObject {
    static constexpr Kind kKind = Kind::DC;
    DcObj() : GdiObject(kKind) {}
    ~DcObj() override;
    DcState st;
    std::vector<DcState> saved;
    QImage* image = nullptr;                  // a DC over someone else's picture
    std::shared_ptr<SharedSurface> shared;    // a window's surface: `image` points into it
    std::optional<SpanRegion> systemClip;     // device pixels a window DC may touch
    RECT dirty{0, 0, 0, 0};                   // device pixels drawn so far
    std::shared_ptr<MetaFileData> recording;  // a metafile DC records instead of drawing

    int ToDevX(int x) const { return x - st.windowOrg.x + st.viewportOrg.x; }
    int ToDevY(int y) const { return y - st.windowOrg.y + st.viewportOrg.y; }
    POINT ToDev(POINT p) const { return {ToDevX(p.x), ToDevY(p.y)}; }
    /// Pixels that can be drawn: the surface, cut by the clip region.
    RECT SurfaceRect() const;
    SpanRegion Visible(const SpanRegion& shape) const;
    /// The pixels of the rectangle that can be drawn, where they are a rectangle (every clip
    /// is one); none where a clip is another shape (Visible gives those).
    std::optional<RECT> VisibleRect(const RECT& r) const;
};

/// A DC found by its handle. A DC on a window's surface holds the surface's lock for as long
/// as this exists, so one drawing call is never torn by another thread's drawing, by the
/// window's painting or by a resize of the surface.
class DcRef {
public:
    DcRef() = default;
    explicit DcRef(std::shared_ptr<DcObj> dc) : m_dc(std::move(dc))
    {
        if (m_dc && m_dc->shared) m_lock = std::unique_lock(m_dc->shared->mutex);
    }
    /// The caller has locked the DC's surface already.
    DcRef(std::shared_ptr<DcObj> dc, std::adopt_lock_t) : m_dc(std::move(dc))
    {
        m_lock = std::unique_lock(m_dc->shared->mutex, std::adopt_lock);
    }
    explicit operator bool() const { return m_dc != nullptr; }
    DcObj* operator->() const { return m_dc.get(); }
    DcObj& operator*() const { return *m_dc; }
    DcObj* get() const { return m_dc.get(); }

private:
    std::shared_ptr<DcObj> m_dc;  // declared first: the lock is released before the DC goes
    std::unique_lock<std::recursive_mutex> m_lock;
};

DcRef FindDc(HDC dc);
/// Two DCs for a call that draws from one onto the other, their surfaces locked together.
std::pair<DcRef, DcRef> FindDcPair(HDC first, HDC second);

/// A DC over a 32-bit picture owned elsewhere, drawing only inside `visible` when given.
HDC CreateSurfaceDC(QImage* image, std::optional<SpanRegion> visible);
/// A DC over a window's shared surface (any thread); null when the surface is not 32-bit.
HDC CreateSharedSurfaceDC(std::shared_ptr<SharedSurface> surface, std::optional<SpanRegion> visible);
/// Drops the calling thread's CDC wrapper of a DC that is being deleted.
void ForgetDcWrapper(HDC dc);
/// What a DC has drawn (device pixels), forgotten by the call.
RECT TakeDirty(DcObj& dc);

/// Direct 32-bit rows of the DC's picture for the device rectangle `area`; pictures of
/// other depths are converted into a scratch band and written back when the lock ends.
class SurfaceLock {
public:
    SurfaceLock(DcObj& dc, const RECT& area, bool writeBack = true);
    ~SurfaceLock();
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    const Surface& Get() const { return m_surface; }
    /// The drawing gave every pixel it wrote the surface's alpha: nothing is left to mend.
    void AlphaKept() { m_alphaKept = true; }

private:
    Surface m_surface;
    BitmapObj* m_converted = nullptr;
    RECT m_area{};
    bool m_writeBack = true;
    bool m_opaque = false;
    bool m_alphaKept = false;
    std::vector<std::uint32_t> m_scratch;
};

/// The brush of a handle; (HBRUSH)(COLOR_xxx + 1) is a solid brush of that system colour.
std::shared_ptr<BrushObj> BrushOf(HBRUSH brush);

/// A brush as a paint for the DC (hatch gaps and monochrome patterns take the DC's colours).
struct BrushPaint {
    Paint paint;
    std::vector<std::uint32_t> storage;
    bool null = false;
};
BrushPaint MakeBrushPaint(const DcObj& dc, const BrushObj* brush, int rop2);

/// Fills the (device) shape, clipped, with the paint.
void PaintShape(DcObj& dc, const SpanRegion& shape, const Paint& paint);

// Text (text.cpp): device coordinates throughout.
QFont CurrentFont(const DcObj& dc);
/// Draws one line of text (UTF-8), which `text` describes in the DC's font.
void DrawTextLine(DcObj& dc, int x, int y, UINT align, std::string_view utf8, TextRecord& text,
                  const RECT* clip, bool opaqueCell);
/// The lines DrawText shows for the text, the width and the DT_ flags.
QStringList DrawTextLines(const QFont& font, const std::string& text, int width, UINT format);

}  // namespace platform::gdi
