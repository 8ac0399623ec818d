#include "platform/kernel/uuid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace {

bool FillRandom(unsigned char* bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = getrandom(bytes + done, count - done, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

RPC_STATUS UuidCreate(UUID* uuid)
{
    if (!uuid) return RPC_S_INVALID_ARG;
    unsigned char b[16];
    if (!FillRandom(b, sizeof b)) {
        std::memset(uuid, 0, sizeof *uuid);
        return RPC_S_UUID_NO_ADDRESS;
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    // The fields read as the text form's groups: Data1, Data2 and Data3 big-endian in b.
    uuid->Data1 =
        (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
    uuid->Data2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
    uuid->Data3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
    std::memcpy(uuid->Data4, b + 8, 8);
    return RPC_S_OK;
}

int UuidIsNil(const UUID* uuid, RPC_STATUS* status)
{
    if (status) *status = RPC_S_OK;
    if (!uuid) return 1;
    static const UUID kNil{};
    return std::memcmp(uuid, &kNil, sizeof kNil) == 0;
}

int UuidEqual(const UUID* a, const UUID* b, RPC_STATUS* status)
{
    if (status) *status = RPC_S_OK;
    if (!a || !b) return UuidIsNil(a, nullptr) && UuidIsNil(b, nullptr);
    return a->Data1 == b->Data1 && a->Data2 == b->Data2 && a->Data3 == b->Data3 &&
           std::memcmp(a->Data4, b->Data4, 8) == 0;
}
