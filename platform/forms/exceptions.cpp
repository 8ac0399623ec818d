#include "platform/forms/exceptions.h"

#include "platform/last_error.h"

void Abort()
{
    throw EAbort();
}

void RaiseLastOSError()
{
    const DWORD code = GetLastError();
    throw EOSError(code, ErrorText(code).str());
}
