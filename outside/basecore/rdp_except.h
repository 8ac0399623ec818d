#pragma once

// The error exception of the core library. Workers throw it by pointer; whoever catches
// it reads it with GetError and deletes it (Delete). Code 11 is the user's cancel.

#include "platform/cstring.h"
#include "platform/types.h"

/// A worker's own failure, with a string-table text.
constexpr int RDP_ERROR_PROCESS = 10;
/// The user stopped the job; nobody shows it.
constexpr int RDP_ERROR_CANCEL = 11;
/// A two-dimensional Fourier transform failed.
constexpr int RDP_ERROR_FFT = 12;

class CRDPExcept {
public:
    /// An exception with `code`; an empty `message` takes the code's standard text.
    explicit CRDPExcept(int code, const char* message = nullptr);
    virtual ~CRDPExcept() = default;

    int GetCode() const { return m_nCode; }
    const CString& GetMessage() const { return m_strMessage; }
    /// Copies the text into `buffer` (cut to `size` - 1 characters); `helpId` gets 0.
    virtual BOOL GetErrorMessage(LPTSTR buffer, UINT size, UINT* helpId = nullptr) const;
    /// Frees an exception that was thrown by pointer.
    void Delete() { delete this; }

private:
    int m_nCode;
    CString m_strMessage;
};

/// Throws `new CRDPExcept(code, message)`.
[[noreturn]] void AfxThrowRDPExcept(int code, const char* message = nullptr);

/// The exception's code and, in `text`, its message ("CANCEL" for code 11). A null
/// exception reads as code 0 with an empty text.
int GetError(const CRDPExcept* e, CString& text);
