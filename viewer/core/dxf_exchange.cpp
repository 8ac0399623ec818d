#include "viewer/core/dxf_exchange.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "outside/basecore/memory_map.h"
#include "platform/kernel/atomic_file.h"
#include "viewer/core/vector_image.h"

namespace {

// --- writing -------------------------------------------------------------------------------------

class DxfText {
public:
    void Add(std::string_view s) { m_text.append(s); }
    void Int(int v)
    {
        char buf[16];
        m_text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }
    /// What "%g" prints for the value, independent of the locale.
    void Number(float v)
    {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, double(v), std::chars_format::general, 6);
        m_text.append(buf, r.ptr);
    }
    const std::string& Text() const { return m_text; }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};

// Every line of the drawing ends with CR LF, as other programs expect of a DXF file.
constexpr std::string_view kHeader =
    "  0\r\nSECTION\r\n  2\r\nHEADER\r\n"
    "  9\r\n$ACADVER\r\n  1\r\nAC1006\r\n"
    "  9\r\n$ANGBASE\r\n  50\r\n0.0\r\n"
    "  9\r\n$ANGDIR\r\n  70\r\n0\r\n"
    "  9\r\n$AUNITS\r\n  70\r\n0\r\n"
    "  9\r\n$AUPREC\r\n  70\r\n0\r\n"
    "  9\r\n$COORDS\r\n  70\r\n0\r\n"
    "  9\r\n$LIMMIN\r\n  10\r\n0\r\n  20\r\n0\r\n";

void WriteLine(DxfText& t, int layer, float x1, float y1, float x2, float y2)
{
    t.Add("  0\r\nLINE\r\n  8\r\n");
    t.Int(layer);
    t.Add("\r\n  10\r\n");
    t.Number(x1);
    t.Add("\r\n  20\r\n");
    t.Number(y1);
    t.Add("\r\n  30\r\n0.0\r\n  11\r\n");
    t.Number(x2);
    t.Add("\r\n  21\r\n");
    t.Number(y2);
    t.Add("\r\n  31\r\n0.0\r\n");
}

void WritePoint(DxfText& t, int layer, float x, float y)
{
    t.Add("  0\r\nPOINT\r\n  8\r\n");
    t.Int(layer);
    t.Add("\r\n  10\r\n");
    t.Number(x);
    t.Add("\r\n  20\r\n");
    t.Number(y);
    t.Add("\r\n  30\r\n0.0\r\n");
}

// --- reading -------------------------------------------------------------------------------------

/// The drawing as group code and value pairs.
class PairReader {
public:
    PairReader(const char* text, std::size_t size) : m_p(text), m_end(text + size) {}

    /// The next pair; false at the end of the text or when a code line is not a number
    /// (the rest of the text can then not be read as pairs).
    bool Next(int& code, std::string_view& value)
    {
        std::string_view codeLine;
        if (!NextLine(codeLine) || !NextLine(value)) return false;
        return ParseCode(Trim(codeLine), code);
    }

    static std::string_view Trim(std::string_view s)
    {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
        return s;
    }

private:
    bool NextLine(std::string_view& line)
    {
        if (m_p >= m_end) return false;
        const void* lf = std::memchr(m_p, '\n', static_cast<std::size_t>(m_end - m_p));
        const char* stop = lf ? static_cast<const char*>(lf) : m_end;
        line = std::string_view(m_p, static_cast<std::size_t>(stop - m_p));
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_p = lf ? stop + 1 : m_end;
        return true;
    }

    static bool ParseCode(std::string_view s, int& code)
    {
        if (s.empty() || s.size() > 6) return false;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), code);
        return r.ec == std::errc() && r.ptr == s.data() + s.size();
    }

    const char* m_p;
    const char* m_end;
};

/// Letter case as the drawing's reader has always ignored it: A to Z and 0xC0 to 0xDF are
/// the capitals of the bytes 0x20 above them.
unsigned char Lower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF) ? static_cast<unsigned char>(c + 0x20) : c;
}

bool Is(std::string_view value, std::string_view lowerWord)
{
    value = PairReader::Trim(value);
    if (value.size() != lowerWord.size()) return false;
    for (std::size_t i = 0; i < value.size(); ++i)
        if (Lower(static_cast<unsigned char>(value[i])) != static_cast<unsigned char>(lowerWord[i]))
            return false;
    return true;
}

/// A coordinate from a whole value line; false for anything else, and for values no 32-bit
/// float holds.
bool ParseNumber(std::string_view value, float& out)
{
    value = PairReader::Trim(value);
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    if (value.empty()) return false;
    double v = 0.0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), v);
    if (r.ec != std::errc() || r.ptr != value.data() + value.size() || !std::isfinite(v)) return false;
    if (std::fabs(v) > double(std::numeric_limits<float>::max())) return false;
    out = static_cast<float>(v);
    return true;
}

/// One entity being read: which coordinates it has seen (bits 10, 20, 11, 21) and their values.
struct Entity {
    enum Kind { kOther, kPoint, kLine } kind = kOther;
    unsigned seen = 0;
    bool bad = false;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;

    void Take(int code, std::string_view value)
    {
        int bit = -1;
        float* target = nullptr;
        switch (code) {
            case 10:
                bit = 0, target = &x1;
                break;
            case 20:
                bit = 1, target = &y1;
                break;
            case 11:
                bit = 2, target = &x2;
                break;
            case 21:
                bit = 3, target = &y2;
                break;
            default:
                return;
        }
        // The first of each group counts, as it always has.
        if (kind == kOther || (seen & (1u << bit))) return;
        if (kind == kPoint && bit >= 2) return;
        if (!ParseNumber(value, *target)) bad = true;
        seen |= 1u << bit;
    }
};

}  // namespace

int VectorToDXF(const char* path, CVectorImage* image, int width, int height, int layer)
{
    if (!path || !image) return 0;
    DxfText t;
    t.Add(kHeader);
    t.Add("  9\r\n$LIMMAX\r\n  10\r\n");
    t.Int(width);
    t.Add("\r\n  20\r\n");
    t.Int(height);
    t.Add("\r\n  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nTABLES\r\n");
    t.Add("  0\r\nTABLE\r\n  2\r\nLAYER\r\n 70\r\n    1\r\n");
    const int layers = image->GetNumLayer();
    for (int i = 0; i < layers; ++i) {
        t.Add("  0\r\nLAYER\r\n  2\r\n");
        t.Int(i);
        t.Add("\r\n  70\r\n  0\r\n  62\r\n  ");
        t.Int(i % 7 + 1);
        t.Add("\r\n  6\r\nCONTINUOUS\r\n");
    }
    t.Add("  0\r\nENDTAB\r\n");
    t.Add("  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nENTITIES\r\n");
    for (int i = layer == -1 ? 0 : layer; i < (layer == -1 ? layers : layer + 1); ++i) {
        for (Line* line = image->SetFirstLine(i); line; line = image->GetNextLine()) {
            const float* v = line->Vertices();
            for (std::uint32_t j = 0; j + 1 < line->count; ++j)
                WriteLine(t, i, v[2 * j], v[2 * j + 1], v[2 * j + 2], v[2 * j + 3]);
        }
        for (Point* p = image->SetFirstPoint(i); p; p = image->GetNextPoint()) WritePoint(t, i, p->x, p->y);
    }
    t.Add("  0\r\nENDSEC\r\n  0\r\nEOF\r\n");

    platform::AtomicFile file;
    if (!file.Create(path)) return 0;
    if (!file.Write(t.Text().data(), t.Text().size()) || !file.Commit()) return 0;
    return 1;
}

int DXFToVector(CVectorImage* image, const char* path, int layer)
{
    if (!image || !path || !image->IsOpen() || layer < 0 || layer >= image->GetNumLayer()) return 0;
    // A read-only mapping: the file is only read, never changed.
    CMemoryMap map;
    if (!map.Open(path, CMemoryMap::kReadOnly) || !map.AdresData() || map.Size() == 0) return 0;
    const char* text = reinterpret_cast<const char*>(map.AdresData());
    // The text ends at a zero byte, if there is one.
    const void* zero = std::memchr(text, 0, static_cast<std::size_t>(map.Size()));
    const std::size_t size = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text)
                                  : static_cast<std::size_t>(map.Size());

    PairReader reader(text, size);
    int code = 0;
    std::string_view value;
    bool inSection = false, found = false;
    while (!found && reader.Next(code, value)) {
        if (code == 0)
            inSection = Is(value, "section");
        else if (code == 2 && inSection)
            found = Is(value, "entities");
    }
    if (!found) return 0;

    alignas(Line) BYTE lineBuffer[LineBytes(2)] = {};
    auto* line = reinterpret_cast<Line*>(lineBuffer);
    line->count = 2;
    Entity entity;
    auto finish = [&] {
        if (entity.bad) return;
        if (entity.kind == Entity::kPoint && entity.seen == 0x3) {
            image->Add(layer, Point{entity.x1, entity.y1, 0});
        } else if (entity.kind == Entity::kLine && entity.seen == 0xF) {
            float* v = line->Vertices();
            v[0] = entity.x1, v[1] = entity.y1, v[2] = entity.x2, v[3] = entity.y2;
            image->Add(layer, *line);
        }
    };
    while (reader.Next(code, value)) {
        if (code != 0) {
            entity.Take(code, value);
            continue;
        }
        finish();
        entity = Entity{};
        if (Is(value, "endsec")) break;
        entity.kind = Is(value, "point")  ? Entity::kPoint
                      : Is(value, "line") ? Entity::kLine
                                          : Entity::kOther;
    }
    // An entity cut off by the end of the file counts only when it is whole.
    if (entity.kind != Entity::kOther) finish();
    return 1;
}
