#include "viewer/core/fault_names.h"

#include <new>

#include "outside/basecore/rdp_except.h"
#include "platform/last_error.h"

const char* FaultName(std::uint32_t code)
{
    switch (code) {
        case kFaultAccessViolation:
            return "EXCEPTION_ACCESS_VIOLATION";
        case kFaultIllegalInstruction:
            return "EXCEPTION_ILLEGAL_INSTRUCTION";
        case kFaultFltDenormalOperand:
            return "EXCEPTION_FLT_DENORMAL_OPERAND";
        case kFaultFltDivideByZero:
            return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case kFaultFltInexactResult:
            return "EXCEPTION_FLT_INEXACT_RESULT";
        case kFaultFltInvalidOperation:
            return "EXCEPTION_FLT_INVALID_OPERATION";
        case kFaultFltOverflow:
            return "EXCEPTION_FLT_OVERFLOW";
        case kFaultFltUnderflow:
            return "EXCEPTION_FLT_UNDERFLOW";
        case kFaultIntDivideByZero:
            return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case kFaultIntOverflow:
            return "EXCEPTION_INT_OVERFLOW";
        case kFaultStackOverflow:
            return "EXCEPTION_STACK_OVERFLOW";
    }
    return "";
}

const char* FaultCaption()
{
    return "Error !";
}

CString FaultTextOf(std::exception_ptr fault)
{
    if (!fault) return CString();
    try {
        std::rethrow_exception(fault);
    } catch (CRDPExcept* e) {
        CString text;
        GetError(e, text);
        e->Delete();
        return text;
    } catch (const std::bad_alloc&) {
        return ErrorText(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::exception& e) {
        return CString(e.what());
    } catch (...) {
    }
    return CString(FaultName(0));
}
