#pragma once

// Mesa's llvmpipe software rasteriser through OSMesa, the peer the 3D renderer's
// measurements compare with. The library is loaded at run time (libosmesa6, installed by
// `make bench`); where it is missing, the measurements report that and run without it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bench {

/// Triangles in screen pixels, as the 3D canvas gets them: x, y, a depth (smaller nearer)
/// and a grey level 0..255 per vertex.
struct ScreenMesh {
    std::vector<float> positions;        ///< x, y, depth per vertex
    std::vector<std::uint8_t> colours;   ///< r, g, b, a per vertex
    std::vector<std::uint32_t> indices;  ///< three per triangle
};

class LlvmpipePeer {
public:
    /// An off-screen 32-bit picture of width x height with a 32-bit depth buffer; `far` is
    /// the depth mapped to the far plane. Check Ready() before use.
    LlvmpipePeer(int width, int height, double far);
    ~LlvmpipePeer();
    LlvmpipePeer(const LlvmpipePeer&) = delete;
    LlvmpipePeer& operator=(const LlvmpipePeer&) = delete;

    bool Ready() const;
    /// Why the peer is not ready ("libOSMesa.so.8 not found", ...).
    const std::string& Missing() const { return m_missing; }

    /// Uploads the mesh into buffers of the GL, once.
    void Load(const ScreenMesh& mesh);
    /// One frame: clear colour and depth, draw the loaded triangles smooth-shaded with
    /// GL_LEQUAL, and wait for the picture.
    void DrawFrame();

private:
    struct Api;
    std::unique_ptr<Api> m_api;
    std::string m_missing;
    std::vector<std::uint32_t> m_pixels;
    int m_width, m_height;
    std::int32_t m_indexCount = 0;
};

}  // namespace bench
