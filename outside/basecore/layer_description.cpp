#include "outside/basecore/layer_description.h"

#include <cstring>
#include <vector>

#include "outside/basecore/tags.h"
#include "platform/last_error.h"

namespace {

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

bool IsUtf8(const unsigned char* s, int n)
{
    for (int i = 0; i < n;) {
        const unsigned char c = s[i];
        int more = 0;
        unsigned min = 0;
        unsigned cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= n) return false;
        for (int k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are not text.
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

// Windows-1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F. 0x98 is unassigned and
// becomes the replacement character.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

CString CLayerDescription::DecodeText(const char* bytes, int length)
{
    if (!bytes || length <= 0) return {};
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    if (IsUtf8(s, length)) return CString(bytes, length);
    std::string out;
    out.reserve(size_t(length) * 2);
    for (int i = 0; i < length; ++i) {
        const unsigned c = s[i];
        if (c < 0x80)
            AppendUtf8(out, c);
        else if (c < 0xC0)
            AppendUtf8(out, kCp1251High[c - 0x80]);
        else
            AppendUtf8(out, 0x0410 + (c - 0xC0));
    }
    return CString(std::move(out));
}

BOOL CLayerDescription::GetDescriptionTag(LPCTSTR path, int id, CString& text)
{
    text.Empty();
    if (!path || !IsDescriptionId(id)) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> bytes;
    if (!ReadTag(path, id, kMaxTextBytes, &bytes)) return FALSE;  // ReadTag sets the code
    // A tag without its closing zero still ends at the tag's last byte.
    const char* chars = bytes.empty() ? "" : reinterpret_cast<const char*>(bytes.data());
    const int length = static_cast<int>(strnlen(chars, bytes.size()));
    text = DecodeText(chars, length);
    return TRUE;
}

BOOL CLayerDescription::SetDescriptionTag(LPCTSTR path, int id, LPCTSTR text)
{
    if (!path || !IsDescriptionId(id)) return Fail(ERROR_INVALID_PARAMETER);
    const char* t = text ? text : "";
    const size_t length = strnlen(t, size_t(kMaxTextBytes) + 1);
    if (length > size_t(kMaxTextBytes)) return Fail(ERROR_INVALID_PARAMETER);
    std::vector<char> bytes(t, t + length);
    bytes.push_back('\0');
    return SetTag(path, id, static_cast<int>(bytes.size()), bytes.data());
}
