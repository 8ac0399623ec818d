#include "bench/llvmpipe_peer.h"

#include <dlfcn.h>

namespace bench {

namespace {

// The few GL 1.5 names used here, declared by hand so the benchmark builds without GL headers.
using GLenum = unsigned int;
using GLbitfield = unsigned int;
using GLuint = unsigned int;
using GLint = int;
using GLsizei = int;
using GLboolean = unsigned char;
using GLclampf = float;
using GLclampd = double;
using GLdouble = double;
using GLsizeiptr = std::ptrdiff_t;

constexpr GLenum kOsmesaBgra = 0x1;
constexpr GLenum kUnsignedByte = 0x1401;
constexpr GLenum kUnsignedInt = 0x1405;
constexpr GLenum kFloat = 0x1406;
constexpr GLenum kTriangles = 0x0004;
constexpr GLenum kVertexArray = 0x8074;
constexpr GLenum kColorArray = 0x8076;
constexpr GLenum kModelView = 0x1700;
constexpr GLenum kProjection = 0x1701;
constexpr GLenum kLequal = 0x0203;
constexpr GLenum kDepthTest = 0x0B71;
constexpr GLenum kDither = 0x0BD0;
constexpr GLenum kSmooth = 0x1D01;
constexpr GLbitfield kColorBufferBit = 0x4000;
constexpr GLbitfield kDepthBufferBit = 0x0100;
constexpr GLenum kArrayBuffer = 0x8892;
constexpr GLenum kElementArrayBuffer = 0x8893;
constexpr GLenum kStaticDraw = 0x88E4;

}  // namespace

struct LlvmpipePeer::Api {
    void* library = nullptr;
    void* context = nullptr;
    void* (*createContextExt)(GLenum, GLint, GLint, GLint, void*) = nullptr;
    GLboolean (*makeCurrent)(void*, void*, GLenum, GLsizei, GLsizei) = nullptr;
    void (*destroyContext)(void*) = nullptr;
    void* (*getProcAddress)(const char*) = nullptr;
    void (*viewport)(GLint, GLint, GLsizei, GLsizei) = nullptr;
    void (*matrixMode)(GLenum) = nullptr;
    void (*loadIdentity)() = nullptr;
    void (*ortho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) = nullptr;
    void (*enable)(GLenum) = nullptr;
    void (*disable)(GLenum) = nullptr;
    void (*depthFunc)(GLenum) = nullptr;
    void (*shadeModel)(GLenum) = nullptr;
    void (*clearColor)(GLclampf, GLclampf, GLclampf, GLclampf) = nullptr;
    void (*clearDepth)(GLclampd) = nullptr;
    void (*clear)(GLbitfield) = nullptr;
    void (*enableClientState)(GLenum) = nullptr;
    void (*vertexPointer)(GLint, GLenum, GLsizei, const void*) = nullptr;
    void (*colorPointer)(GLint, GLenum, GLsizei, const void*) = nullptr;
    void (*drawElements)(GLenum, GLsizei, GLenum, const void*) = nullptr;
    void (*finish)() = nullptr;
    void (*genBuffers)(GLsizei, GLuint*) = nullptr;
    void (*bindBuffer)(GLenum, GLuint) = nullptr;
    void (*bufferData)(GLenum, GLsizeiptr, const void*, GLenum) = nullptr;
    void (*deleteBuffers)(GLsizei, const GLuint*) = nullptr;
    GLuint buffers[3] = {0, 0, 0};

    template <class F>
    bool Find(F& f, const char* name)
    {
        void* p = dlsym(library, name);
        if (!p && getProcAddress) p = getProcAddress(name);
        f = reinterpret_cast<F>(p);
        return p != nullptr;
    }
};

LlvmpipePeer::LlvmpipePeer(int width, int height, double far)
    : m_api(std::make_unique<Api>()), m_width(width), m_height(height)
{
    Api& a = *m_api;
    for (const char* name : {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"})
        if ((a.library = dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
    if (!a.library) {
        m_missing = "libOSMesa not found (Debian libosmesa6; `make bench` installs it)";
        return;
    }
    bool ok = a.Find(a.getProcAddress, "OSMesaGetProcAddress") &&
              a.Find(a.createContextExt, "OSMesaCreateContextExt") &&
              a.Find(a.makeCurrent, "OSMesaMakeCurrent") && a.Find(a.destroyContext, "OSMesaDestroyContext");
    ok = ok && a.Find(a.viewport, "glViewport") && a.Find(a.matrixMode, "glMatrixMode") &&
         a.Find(a.loadIdentity, "glLoadIdentity") && a.Find(a.ortho, "glOrtho") &&
         a.Find(a.enable, "glEnable") && a.Find(a.disable, "glDisable") &&
         a.Find(a.depthFunc, "glDepthFunc") && a.Find(a.shadeModel, "glShadeModel") &&
         a.Find(a.clearColor, "glClearColor") && a.Find(a.clearDepth, "glClearDepth") &&
         a.Find(a.clear, "glClear") && a.Find(a.enableClientState, "glEnableClientState") &&
         a.Find(a.vertexPointer, "glVertexPointer") && a.Find(a.colorPointer, "glColorPointer") &&
         a.Find(a.drawElements, "glDrawElements") && a.Find(a.finish, "glFinish");
    if (!ok) {
        m_missing = "libOSMesa lacks the functions used";
        return;
    }
    a.context = a.createContextExt(kOsmesaBgra, 32, 0, 0, nullptr);
    m_pixels.assign(std::size_t(width) * height, 0);
    if (!a.context || !a.makeCurrent(a.context, m_pixels.data(), kUnsignedByte, width, height)) {
        m_missing = "OSMesa could not make a context";
        return;
    }
    // Buffer objects are looked up once a context is current.
    if (!a.Find(a.genBuffers, "glGenBuffers") || !a.Find(a.bindBuffer, "glBindBuffer") ||
        !a.Find(a.bufferData, "glBufferData") || !a.Find(a.deleteBuffers, "glDeleteBuffers")) {
        m_missing = "OSMesa lacks buffer objects";
        return;
    }
    a.viewport(0, 0, width, height);
    a.matrixMode(kProjection);
    a.loadIdentity();
    // Screen pixels and the canvas's depth (smaller nearer, given as -depth) map straight
    // onto the window and the depth range.
    a.ortho(0.0, width, 0.0, height, 0.0, far);
    a.matrixMode(kModelView);
    a.loadIdentity();
    a.enable(kDepthTest);
    a.depthFunc(kLequal);
    a.disable(kDither);
    a.shadeModel(kSmooth);
    a.clearColor(0.0f, 0.0f, 0.0f, 1.0f);
    a.clearDepth(1.0);
}

LlvmpipePeer::~LlvmpipePeer()
{
    Api& a = *m_api;
    if (a.context) {
        if (a.deleteBuffers && a.buffers[0]) a.deleteBuffers(3, a.buffers);
        a.destroyContext(a.context);
    }
    if (a.library) dlclose(a.library);
}

bool LlvmpipePeer::Ready() const
{
    return m_missing.empty();
}

void LlvmpipePeer::Load(const ScreenMesh& mesh)
{
    if (!Ready()) return;
    Api& a = *m_api;
    std::vector<float> positions(mesh.positions);
    for (std::size_t i = 2; i < positions.size(); i += 3) positions[i] = -positions[i];
    if (!a.buffers[0]) a.genBuffers(3, a.buffers);
    a.bindBuffer(kArrayBuffer, a.buffers[0]);
    a.bufferData(kArrayBuffer, GLsizeiptr(positions.size() * sizeof(float)), positions.data(), kStaticDraw);
    a.enableClientState(kVertexArray);
    a.vertexPointer(3, kFloat, 0, nullptr);
    a.bindBuffer(kArrayBuffer, a.buffers[1]);
    a.bufferData(kArrayBuffer, GLsizeiptr(mesh.colours.size()), mesh.colours.data(), kStaticDraw);
    a.enableClientState(kColorArray);
    a.colorPointer(4, kUnsignedByte, 0, nullptr);
    a.bindBuffer(kElementArrayBuffer, a.buffers[2]);
    a.bufferData(kElementArrayBuffer, GLsizeiptr(mesh.indices.size() * sizeof(std::uint32_t)),
                 mesh.indices.data(), kStaticDraw);
    m_indexCount = std::int32_t(mesh.indices.size());
}

void LlvmpipePeer::DrawFrame()
{
    if (!Ready()) return;
    Api& a = *m_api;
    a.clear(kColorBufferBit | kDepthBufferBit);
    a.drawElements(kTriangles, m_indexCount, kUnsignedInt, nullptr);
    a.finish();
}

}  // namespace bench
