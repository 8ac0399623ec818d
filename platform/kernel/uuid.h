#pragma once

// Identities: random 128-bit UUIDs (version 4), as colour maps and views use them.

#include "platform/types.h"

using UUID = GUID;
using RPC_STATUS = long;
constexpr RPC_STATUS RPC_S_OK = 0;
constexpr RPC_STATUS RPC_S_INVALID_ARG = 87;
constexpr RPC_STATUS RPC_S_UUID_NO_ADDRESS = 1739;

/// Fills *uuid with a new random identity (version 4, RFC 4122 variant). RPC_S_OK on
/// success; RPC_S_INVALID_ARG for a null pointer; RPC_S_UUID_NO_ADDRESS when the system
/// gives no random bytes (*uuid is then all zero).
PLATFORM_API RPC_STATUS UuidCreate(UUID* uuid);
/// Nonzero when both identities hold the same 16 bytes; two nulls are equal, a null and an
/// all-zero identity too. *status receives RPC_S_OK when given.
PLATFORM_API int UuidEqual(const UUID* a, const UUID* b, RPC_STATUS* status);
/// Nonzero for a null pointer or an all-zero identity.
PLATFORM_API int UuidIsNil(const UUID* uuid, RPC_STATUS* status);
