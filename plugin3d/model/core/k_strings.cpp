#include "plugin3d/model/core/k_strings.h"

#include <cstdint>
#include <cstring>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_object.h"

namespace {
std::int32_t StoredLength(std::string_view s)
{
    return static_cast<std::int32_t>(std::min<std::size_t>(s.size(), kMaxStoredString));
}

[[noreturn]] void InvalidStringSize()
{
    throw EStreamError(ktext::kInvalidStringSize);
}

// Compared unsigned, so a negative length fails too.
bool ValidLength(std::int32_t n)
{
    return static_cast<std::uint32_t>(n) <= static_cast<std::uint32_t>(kMaxStoredString);
}
}  // namespace

int WriteStringTo(TKObjectsStream* stream, std::string_view s)
{
    const std::int32_t n = StoredLength(s);
    if (!stream) return n + 4;
    if (std::uint8_t* room = stream->TakeDirectRoom(4 + n)) {
        std::memcpy(room, &n, 4);
        std::memcpy(room + 4, s.data(), static_cast<std::size_t>(n));
    } else {
        WriteValue(stream, n);
        stream->WriteBytes(s.data(), n);
    }
    return n + 4;
}

int ReadStringView(TKObjectsStream* stream, std::string_view& text, std::string& storage)
{
    if (!stream) {
        storage.clear();
        text = storage;
        return 0;
    }
    std::int32_t n = 0;
    ReadValue(stream, n);
    if (!ValidLength(n) || n > stream->RemainingBytes()) InvalidStringSize();
    if (const std::uint8_t* bytes = stream->TakeDirectBytes(n)) {
        text = std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
    } else {
        storage.assign(static_cast<std::size_t>(n), '\0');
        stream->ReadBytes(storage.data(), n);
        text = storage;
    }
    return n + 4;
}

int ReadStringFrom(TKObjectsStream* stream, std::string& s)
{
    std::string_view text;
    const int bytes = ReadStringView(stream, text, s);
    if (text.data() != s.data()) s.assign(text);
    return bytes;
}

int WriteStringToBuffer(void* buffer, const std::string& s)
{
    const std::int32_t n = StoredLength(s);
    if (buffer) {
        auto* out = static_cast<char*>(buffer);
        std::memcpy(out, &n, 4);
        std::memcpy(out + 4, s.data(), static_cast<std::size_t>(n));
    }
    return n + 4;
}

int ReadStringFromBuffer(const void* buffer, std::size_t size, std::string& s)
{
    s.clear();
    if (!buffer) return 0;
    if (size < 4) InvalidStringSize();
    std::int32_t n = 0;
    std::memcpy(&n, buffer, 4);
    if (!ValidLength(n) || static_cast<std::size_t>(n) > size - 4) InvalidStringSize();
    s.assign(static_cast<const char*>(buffer) + 4, static_cast<std::size_t>(n));
    return n + 4;
}

void AssignStringCopy(void* target, const std::string& source)
{
    if (target) *static_cast<std::string*>(target) = source;
}
