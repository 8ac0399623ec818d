#include "outside/basecore/rdp_except.h"

#include <algorithm>
#include <cstring>

#include "outside/basecore/basecore_strings.h"
#include "platform/kernel/row_bands.h"

namespace {

// The failures of row bands that lose the race to reach the caller are freed here.
bool DisposeLostError(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (CRDPExcept* error) {
        if (error) error->Delete();
        return true;
    } catch (...) {
        return false;
    }
}

CString StandardText(int code)
{
    switch (code) {
        case RDP_ERROR_CANCEL:
            return basecore::LoadText(basecore::IDS_RDP_CANCEL);
        case RDP_ERROR_PROCESS:
            return basecore::LoadText(basecore::IDS_RDP_PROCESS_ERROR);
        case RDP_ERROR_FFT:
            return basecore::LoadText(basecore::IDS_RDP_FFT_FAILED);
        default: {
            CString text;
            text.Format(basecore::LoadText(basecore::IDS_RDP_UNKNOWN_ERROR).c_str(), code);
            return text;
        }
    }
}

}  // namespace

CRDPExcept::CRDPExcept(int code, const char* message) : m_nCode(code)
{
    // Before the first error can be thrown, the row bands learn how to free one.
    static const bool disposerRegistered = (platform::RegisterFailureDisposer(DisposeLostError), true);
    (void)disposerRegistered;
    // Whoever catches a cancel recognises it by its text as well as by its code.
    if (code == RDP_ERROR_CANCEL || !message || !*message)
        m_strMessage = StandardText(code);
    else
        m_strMessage = message;
}

BOOL CRDPExcept::GetErrorMessage(LPTSTR buffer, UINT size, UINT* helpId) const
{
    if (helpId) *helpId = 0;
    if (!buffer || size == 0) return FALSE;
    const size_t n = std::min<size_t>(size - 1, static_cast<size_t>(m_strMessage.GetLength()));
    std::memcpy(buffer, m_strMessage.c_str(), n);
    buffer[n] = '\0';
    return TRUE;
}

void AfxThrowRDPExcept(int code, const char* message)
{
    throw new CRDPExcept(code, message);
}

int GetError(const CRDPExcept* e, CString& text)
{
    if (!e) {
        text.Empty();
        return 0;
    }
    text = e->GetMessage();
    return e->GetCode();
}
