#pragma once

// What the overlay tests share: a layer file to hold tag 500, the tag's bytes, payloads built
// word by word, and a canvas to paint on.

#include <QImage>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "platform/gdi/dc.h"
#include "viewer/core/vector_image.h"

namespace overlaytest {

using Bytes = std::vector<std::uint8_t>;

/// A small layer file without an overlay.
inline bool MakeLayerFile(const std::string& path, int width = 8, int height = 6)
{
    CRDPLayer out;
    if (!out.CreateLayer(path.c_str(), width, height, 1)) return false;
    return out.CloseLayer() != 0;
}

inline Bytes Tag500(const std::string& path)
{
    const int size = GetSizeTag(path.c_str(), kVectorOverlayTag);
    if (size <= 0) return {};
    Bytes b(static_cast<std::size_t>(size));
    if (!GetTag(path.c_str(), kVectorOverlayTag, size, b.data())) return {};
    return b;
}

/// A payload written word by word, as a test states it.
inline Bytes Words(std::initializer_list<std::uint32_t> words)
{
    Bytes b;
    for (std::uint32_t w : words)
        for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(w >> (8 * i)));
    return b;
}

inline std::uint32_t Word(const Bytes& b, std::size_t at)
{
    std::uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

inline std::uint32_t FloatBits(float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

/// A line node buffer of the given vertices.
class LineOf {
public:
    LineOf(std::initializer_list<std::pair<float, float>> vertices) : m_bytes(LineBytes(vertices.size()))
    {
        Line head;
        head.count = static_cast<std::uint32_t>(vertices.size());
        std::memcpy(m_bytes.data(), &head, sizeof head);
        std::size_t at = 8;
        for (auto [x, y] : vertices) {
            std::memcpy(m_bytes.data() + at, &x, 4);
            std::memcpy(m_bytes.data() + at + 4, &y, 4);
            at += 8;
        }
    }
    const Line& operator*() const { return *reinterpret_cast<const Line*>(m_bytes.data()); }

private:
    Bytes m_bytes;
};

struct Node {
    float x, y;
    bool operator==(const Node&) const = default;
};

/// Every layer as colour, points and lines (vertex lists), read through the iterators.
struct LayerContent {
    std::uint32_t colour = 0;
    std::vector<Node> points;
    std::vector<std::vector<Node>> lines;
    bool operator==(const LayerContent&) const = default;
};

inline std::vector<LayerContent> Content(CVectorImage& image)
{
    std::vector<LayerContent> out;
    for (int n = 0; n < image.GetNumLayer(); ++n) {
        LayerContent c;
        c.colour = image.GetColor(n);
        for (Point* p = image.SetFirstPoint(n); p; p = image.GetNextPoint()) c.points.push_back({p->x, p->y});
        for (Line* l = image.SetFirstLine(n); l; l = image.GetNextLine()) {
            std::vector<Node> v;
            for (std::uint32_t i = 0; i < l->count; ++i)
                v.push_back({l->Vertices()[2 * i], l->Vertices()[2 * i + 1]});
            c.lines.push_back(v);
        }
        out.push_back(c);
    }
    return out;
}

/// A canvas of one colour with a device context on it, deleted with the canvas.
class Canvas {
public:
    Canvas(int width, int height, QRgb fill = qRgb(0, 0, 0)) : m_image(width, height, QImage::Format_RGB32)
    {
        m_image.fill(fill);
        m_dc = CreateImageDC(&m_image);
    }
    ~Canvas()
    {
        if (m_dc) DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    CDC* DC() { return CDC::FromHandle(m_dc); }
    const QImage& Image() const { return m_image; }
    QRgb At(int x, int y) const { return m_image.pixel(x, y) | 0xFF000000u; }
    /// Pixels of colour `c` (the rectangle that holds them in `box`).
    int Count(QRgb c, QRect* box = nullptr) const
    {
        int n = 0;
        QRect r;
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                if ((m_image.pixel(x, y) | 0xFF000000u) == (c | 0xFF000000u)) {
                    ++n;
                    r |= QRect(x, y, 1, 1);
                }
        if (box) *box = r;
        return n;
    }

private:
    QImage m_image;
    HDC m_dc = nullptr;
};

}  // namespace overlaytest
