#include "app/toolbars/toolbar_resources.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/toolbars/toolbar_ids.h"
#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"

using namespace tarvenix::toolbars;

namespace {

// --- templates ----------------------------------------------------------------------------------------

constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_TOOLBAR_BAND, "", WS_CHILD | WS_VISIBLE, 0, nullptr, 0, 0, 0, 0, 0, {}},
    {IDD_TOOLBAR_WINDOW, "", WS_CHILD, 0, nullptr, 0, 0, 0, 0, 0, {}},
};

// --- pictograms ---------------------------------------------------------------------------------------
// Each 32 x 32 picture is drawn on a magenta ground (the strip's top-left pixel, taken as
// transparent); the gray strip is the same pictures in lightened gray.

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kGround{255, 0, 255};
constexpr Rgb kInk{40, 44, 60};
constexpr Rgb kPaper{250, 250, 244};
constexpr Rgb kBlue{44, 96, 200};
constexpr Rgb kSky{120, 180, 240};
constexpr Rgb kYellow{240, 196, 56};
constexpr Rgb kGreen{56, 156, 76};
constexpr Rgb kRed{204, 60, 48};
constexpr Rgb kOrange{236, 128, 40};
constexpr Rgb kPurple{132, 72, 180};
constexpr Rgb kTeal{32, 150, 150};

class Canvas {
public:
    static constexpr int kSize = 32;
    Canvas() { m_pixels.fill(kGround); }

    void Dot(int x, int y, Rgb c)
    {
        if (x >= 0 && y >= 0 && x < kSize && y < kSize) m_pixels[static_cast<std::size_t>(y * kSize + x)] = c;
    }
    /// Filled box, both corners inclusive.
    void Box(int x0, int y0, int x1, int y1, Rgb c)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Dot(x, y, c);
    }
    void Frame(int x0, int y0, int x1, int y1, Rgb c)
    {
        Line(x0, y0, x1, y0, c);
        Line(x0, y1, x1, y1, c);
        Line(x0, y0, x0, y1, c);
        Line(x1, y0, x1, y1, c);
    }
    /// A framed, filled box.
    void Panel(int x0, int y0, int x1, int y1, Rgb fill, Rgb edge = kInk)
    {
        Box(x0, y0, x1, y1, fill);
        Frame(x0, y0, x1, y1, edge);
    }
    void Line(int x0, int y0, int x1, int y1, Rgb c, int thickness = 1)
    {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i) {
            const double t = steps ? double(i) / steps : 0.0;
            const int x = static_cast<int>(std::lround(x0 + (x1 - x0) * t));
            const int y = static_cast<int>(std::lround(y0 + (y1 - y0) * t));
            Box(x - thickness / 2, y - thickness / 2, x + (thickness - 1) / 2, y + (thickness - 1) / 2, c);
        }
    }
    void Disc(double cx, double cy, double r, Rgb c)
    {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (std::hypot(x - cx, y - cy) <= r) Dot(x, y, c);
    }
    void Ring(double cx, double cy, double r, double width, Rgb c)
    {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double d = std::hypot(x - cx, y - cy);
                if (d <= r && d > r - width) Dot(x, y, c);
            }
    }
    void Triangle(POINT a, POINT b, POINT c, Rgb colour)
    {
        auto side = [](POINT p, POINT q, double x, double y) {
            return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
        };
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const double s1 = side(a, b, x, y), s2 = side(b, c, x, y), s3 = side(c, a, x, y);
                if ((s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0)) Dot(x, y, colour);
            }
    }
    /// y = mid + amp * sin(phase + x * k) from x0 to x1.
    void Wave(int x0, int x1, double mid, double amp, double k, double phase, Rgb c, int thickness = 2)
    {
        int px = x0, py = static_cast<int>(std::lround(mid + amp * std::sin(phase + x0 * k)));
        for (int x = x0 + 1; x <= x1; ++x) {
            const int y = static_cast<int>(std::lround(mid + amp * std::sin(phase + x * k)));
            Line(px, py, x, y, c, thickness);
            px = x;
            py = y;
        }
    }
    /// Arrow from (x0, y) to (x1, y) with its head at x1.
    void ArrowH(int x0, int x1, int y, Rgb c)
    {
        Line(x0, y, x1, y, c, 3);
        const int d = x1 > x0 ? -1 : 1;
        Triangle({x1 + (x1 > x0 ? 2 : -2), y}, {x1 + d * 5, y - 5}, {x1 + d * 5, y + 5}, c);
    }
    Rgb At(int x, int y) const { return m_pixels[static_cast<std::size_t>(y * kSize + x)]; }

private:
    std::array<Rgb, kSize * kSize> m_pixels;
};

using Picture = void (*)(Canvas&);

// MAIN: the four pages.
void Folder(Canvas& c)
{
    c.Panel(3, 6, 13, 10, kYellow);
    c.Panel(3, 9, 28, 26, kYellow);
    c.Line(4, 12, 27, 12, kOrange);
}
void Sliders(Canvas& c)
{
    for (int i = 0; i < 3; ++i) {
        const int y = 8 + i * 8;
        c.Line(4, y, 27, y, kInk, 2);
        const int knob = 9 + ((i * 7) % 3) * 7;
        c.Panel(knob - 2, y - 3, knob + 2, y + 3, i == 1 ? kRed : kBlue);
    }
}
void Bars(Canvas& c)
{
    c.Line(4, 27, 28, 27, kInk, 2);
    c.Line(4, 4, 4, 27, kInk, 2);
    c.Panel(8, 16, 12, 26, kBlue);
    c.Panel(15, 8, 19, 26, kGreen);
    c.Panel(22, 12, 26, 26, kRed);
}
void Wrench(Canvas& c)
{
    c.Line(8, 24, 20, 12, kInk, 5);
    c.Ring(22, 9, 6.5, 3.5, kInk);
    c.Triangle({22, 9}, {30, 4}, {30, 12}, kGround);
    c.Line(8, 24, 20, 12, kTeal, 3);
}

// FILES
void Picture_(Canvas& c)
{
    c.Panel(3, 5, 28, 26, kSky);
    c.Triangle({4, 25}, {13, 12}, {21, 25}, kGreen);
    c.Triangle({14, 25}, {21, 15}, {27, 25}, kTeal);
    c.Disc(22, 10, 3, kYellow);
    c.Frame(3, 5, 28, 26, kInk);
}
void Cube(Canvas& c)
{
    c.Panel(5, 11, 20, 26, kBlue);
    c.Triangle({5, 11}, {11, 5}, {26, 5}, kSky);
    c.Triangle({5, 11}, {20, 11}, {26, 5}, kSky);
    c.Triangle({20, 11}, {26, 5}, {26, 20}, kPurple);
    c.Triangle({20, 11}, {20, 26}, {26, 20}, kPurple);
    c.Line(5, 11, 11, 5, kInk);
    c.Line(11, 5, 26, 5, kInk);
    c.Line(26, 5, 26, 20, kInk);
    c.Line(20, 11, 26, 5, kInk);
    c.Line(20, 26, 26, 20, kInk);
    c.Frame(5, 11, 20, 26, kInk);
}
void Exchange(Canvas& c)
{
    c.ArrowH(4, 24, 10, kBlue);
    c.ArrowH(27, 7, 21, kGreen);
}
void NewPage(Canvas& c)
{
    c.Panel(6, 3, 24, 28, kPaper);
    c.Triangle({18, 3}, {24, 9}, {24, 3}, kGround);
    c.Line(18, 3, 24, 9, kInk);
    c.Line(18, 3, 18, 9, kInk);
    c.Line(18, 9, 24, 9, kInk);
    c.Line(16, 16, 26, 16, kGreen, 3);
    c.Line(21, 11, 21, 21, kGreen, 3);
}

// PROCESSING
void Funnel(Canvas& c)
{
    c.Triangle({3, 5}, {28, 5}, {16, 18}, kSky);
    c.Panel(14, 17, 18, 27, kBlue);
    c.Line(3, 5, 28, 5, kInk);
    c.Line(3, 5, 14, 17, kInk);
    c.Line(28, 5, 18, 17, kInk);
}
void Kernel(Canvas& c)
{
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const int x = 4 + i * 8, y = 4 + j * 8;
            c.Panel(x, y, x + 7, y + 7, i == 1 && j == 1 ? kOrange : kPaper);
        }
}
void PhaseWave(Canvas& c)
{
    c.Wave(2, 29, 12, 6, 0.45, 0, kPurple);
    c.Line(3, 24, 28, 24, kInk, 2);
    c.Wave(2, 29, 24, 1.5, 0.45, 0, kTeal, 1);
}
void TwoWaves(Canvas& c)
{
    c.Wave(2, 29, 12, 6, 0.35, 0, kBlue);
    c.Wave(2, 29, 20, 6, 0.35, 0.6, kRed);
}
void Edges(Canvas& c)
{
    c.Box(5, 5, 26, 26, kPaper);
    c.Box(9, 9, 22, 22, kBlue);
    c.Frame(9, 9, 22, 22, kYellow);
    c.Frame(8, 8, 23, 23, kInk);
}
void Replace(Canvas& c)
{
    c.Panel(3, 4, 12, 13, kRed);
    c.Panel(19, 18, 28, 27, kGreen);
    c.Line(8, 16, 8, 22, kInk, 2);
    c.ArrowH(8, 14, 22, kInk);
}
void Matrix(Canvas& c)
{
    c.Line(5, 4, 5, 27, kInk, 2);
    c.Line(5, 4, 8, 4, kInk, 2);
    c.Line(5, 27, 8, 27, kInk, 2);
    c.Line(26, 4, 26, 27, kInk, 2);
    c.Line(23, 4, 26, 4, kInk, 2);
    c.Line(23, 27, 26, 27, kInk, 2);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) c.Disc(10.5 + i * 5, 10.5 + j * 5, 1.6, i == j ? kRed : kBlue);
}

// ANALYSE
void Texture(Canvas& c)
{
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const int x = 4 + i * 6, y = 4 + j * 6;
            c.Box(x, y, x + 5, y + 5, (i + j) % 2 ? kOrange : kYellow);
            if ((i * 3 + j) % 4 == 1) c.Box(x + 1, y + 1, x + 3, y + 3, kRed);
        }
    c.Frame(3, 3, 28, 28, kInk);
}
void Spectrum(Canvas& c)
{
    c.Line(3, 27, 28, 27, kInk, 2);
    for (int x = 4; x <= 27; x += 2) {
        const double d = (x - 16) / 5.0;
        const int h = static_cast<int>(20 * std::exp(-d * d / 2)) + 2;
        c.Line(x, 26, x, 26 - h, x == 16 ? kRed : kBlue);
    }
}

// UTIL
void Calculator(Canvas& c)
{
    c.Panel(6, 3, 25, 28, kInk);
    c.Panel(8, 5, 23, 10, kSky);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            const int x = 9 + i * 5, y = 13 + j * 5;
            c.Box(x, y, x + 3, y + 3, i == 2 && j == 2 ? kOrange : kPaper);
        }
}
void Polar(Canvas& c)
{
    c.Line(3, 16, 28, 16, kInk);
    c.Line(16, 3, 16, 28, kInk);
    c.Ring(16, 16, 11, 2, kBlue);
    c.Line(16, 16, 24, 8, kRed, 2);
    c.Disc(24, 8, 2, kRed);
}
void TypeChange(Canvas& c)
{
    c.Panel(3, 4, 13, 14, kSky);
    c.Line(6, 7, 10, 7, kInk);
    c.Line(8, 7, 8, 12, kInk);
    c.Panel(18, 17, 28, 27, kYellow);
    c.Line(21, 20, 25, 20, kInk);
    c.Line(23, 20, 23, 25, kInk);
    c.Line(10, 18, 10, 24, kGreen, 2);
    c.ArrowH(10, 14, 24, kGreen);
}
void Resample(Canvas& c)
{
    c.Panel(3, 3, 17, 17, kPaper);
    for (int k = 6; k < 17; k += 4) {
        c.Line(k, 3, k, 17, kSky);
        c.Line(3, k, 17, k, kSky);
    }
    c.Frame(3, 3, 17, 17, kInk);
    c.Panel(19, 19, 28, 28, kBlue);
    c.Line(23, 19, 23, 28, kSky);
    c.Line(19, 23, 28, 23, kSky);
    c.Line(15, 15, 21, 21, kInk, 2);
}
void Rotate(Canvas& c)
{
    c.Ring(16, 16, 11, 3, kGreen);
    c.Box(3, 14, 13, 29, kGround);
    c.Triangle({3, 15}, {14, 15}, {8, 22}, kGreen);
    c.Panel(12, 12, 20, 20, kOrange);
}
void Mirror(Canvas& c)
{
    c.Triangle({3, 26}, {13, 26}, {13, 6}, kBlue);
    c.Triangle({28, 26}, {18, 26}, {18, 6}, kSky);
    for (int y = 3; y < 30; y += 4) c.Line(15, y, 15, y + 1, kInk, 2);
}
void Subset(Canvas& c)
{
    c.Panel(3, 3, 28, 28, kPaper);
    for (int k = 3; k <= 28; k += 4) {
        c.Line(k, 3, k + 1, 3, kGround);
        c.Line(k, 28, k + 1, 28, kGround);
        c.Line(3, k, 3, k + 1, kGround);
        c.Line(28, k, 28, k + 1, kGround);
    }
    c.Panel(10, 10, 21, 21, kOrange);
}
void Insert(Canvas& c)
{
    c.Panel(8, 8, 28, 28, kPaper);
    c.Panel(16, 16, 24, 24, kGreen);
    c.Line(3, 3, 14, 14, kInk, 2);
    c.Triangle({17, 17}, {10, 14}, {14, 10}, kInk);
}

const std::vector<Picture> kMainPictures = {Folder, Sliders, Bars, Wrench};
const std::vector<Picture> kFilesPictures = {Picture_, Cube, Exchange, NewPage};
const std::vector<Picture> kProcessingPictures = {Funnel, Kernel,  PhaseWave, TwoWaves,
                                                  Edges,  Replace, Matrix};
const std::vector<Picture> kAnalysePictures = {Texture, Spectrum};
const std::vector<Picture> kUtilPictures = {Calculator, Polar,  TypeChange, Resample,
                                            Rotate,     Mirror, Subset,     Insert};

Rgb Grayed(Rgb c)
{
    if (c.r == kGround.r && c.g == kGround.g && c.b == kGround.b) return c;
    const int luminance = (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
    // Lightened so that flat buttons look quiet beside the hot one.
    const auto g = static_cast<std::uint8_t>(90 + luminance * 150 / 255);
    return Rgb{g, g, g};
}

void Put16(std::vector<unsigned char>& out, std::uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

/// The pictures side by side as a 24-bit bottom-up BMP file.
std::vector<unsigned char> Strip(const std::vector<Picture>& pictures, bool gray)
{
    std::vector<Canvas> canvases(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) pictures[i](canvases[i]);
    const std::uint32_t width = static_cast<std::uint32_t>(pictures.size()) * Canvas::kSize;
    const std::uint32_t height = Canvas::kSize;
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t dataBytes = rowBytes * height;
    std::vector<unsigned char> out;
    out.reserve(54 + dataBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + dataBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, dataBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = Canvas::kSize - 1; y >= 0; --y) {
        std::uint32_t written = 0;
        for (const Canvas& canvas : canvases)
            for (int x = 0; x < Canvas::kSize; ++x) {
                const Rgb c = gray ? Grayed(canvas.At(x, y)) : canvas.At(x, y);
                out.push_back(c.b);
                out.push_back(c.g);
                out.push_back(c.r);
                written += 3;
            }
        for (; written < rowBytes; ++written) out.push_back(0);
    }
    return out;
}

// The strips are made when the library loads, before the record below that points at them.
const std::vector<unsigned char> kMainStrip = Strip(kMainPictures, false);
const std::vector<unsigned char> kFilesStrip = Strip(kFilesPictures, false);
const std::vector<unsigned char> kFilesGrayStrip = Strip(kFilesPictures, true);
const std::vector<unsigned char> kProcessingStrip = Strip(kProcessingPictures, false);
const std::vector<unsigned char> kProcessingGrayStrip = Strip(kProcessingPictures, true);
const std::vector<unsigned char> kAnalyseStrip = Strip(kAnalysePictures, false);
const std::vector<unsigned char> kAnalyseGrayStrip = Strip(kAnalysePictures, true);
const std::vector<unsigned char> kUtilStrip = Strip(kUtilPictures, false);
const std::vector<unsigned char> kUtilGrayStrip = Strip(kUtilPictures, true);

const platform::ImageResource kBitmaps[] = {
    {3901, "IDB_BITMAP_TOOL_MAIN", nullptr, nullptr, kMainStrip},
    {3902, "IDB_BITMAP_TOOL_FILES", nullptr, nullptr, kFilesStrip},
    {3903, "IDB_BITMAP_TOOL_FILES_GRAY", nullptr, nullptr, kFilesGrayStrip},
    {3904, "IDB_BITMAP_TOOL_PROCESSING", nullptr, nullptr, kProcessingStrip},
    {3905, "IDB_BITMAP_TOOL_PROCESSING_GRAY", nullptr, nullptr, kProcessingGrayStrip},
    {3906, "IDB_BITMAP_TOOL_ANALYSE", nullptr, nullptr, kAnalyseStrip},
    {3907, "IDB_BITMAP_TOOL_ANALYSE_GRAY", nullptr, nullptr, kAnalyseGrayStrip},
    {3908, "IDB_BITMAP_TOOL_UTIL", nullptr, nullptr, kUtilStrip},
    {3909, "IDB_BITMAP_TOOL_UTIL_GRAY", nullptr, nullptr, kUtilGrayStrip},
};

const platform::ModuleResources kResources{
    .module = "TarvenixToolbars", .bitmaps = kBitmaps, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace

HINSTANCE ToolbarResourcesInstance()
{
    return kRegistration.Instance();
}
