#pragma once

// Names of the processor faults that a read of the display pyramid may be reported with.
// Reads validate their arguments so that none of these can happen; callers that catch a
// fault elsewhere name it with this table.

#include <cstdint>
#include <exception>

#include "platform/cstring.h"

/// Codes of the processor faults, as the platform numbers them.
enum FaultCode : std::uint32_t {
    kFaultAccessViolation = 0xC0000005u,
    kFaultIllegalInstruction = 0xC000001Du,
    kFaultFltDenormalOperand = 0xC000008Du,
    kFaultFltDivideByZero = 0xC000008Eu,
    kFaultFltInexactResult = 0xC000008Fu,
    kFaultFltInvalidOperation = 0xC0000090u,
    kFaultFltOverflow = 0xC0000091u,
    kFaultFltUnderflow = 0xC0000093u,
    kFaultIntDivideByZero = 0xC0000094u,
    kFaultIntOverflow = 0xC0000095u,
    kFaultStackOverflow = 0xC00000FDu,
};

/// The text that names a fault ("EXCEPTION_ACCESS_VIOLATION", ...); "" for any other code.
const char* FaultName(std::uint32_t code);

/// The caption of the message that reports a fault: "Error !".
const char* FaultCaption();

/// The text that reports a fault caught while loading: the layer library's message, the
/// system's text for missing memory, an exception's own text, or "" for anything else.
/// Frees a caught layer exception.
CString FaultTextOf(std::exception_ptr fault);
