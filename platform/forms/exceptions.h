#pragma once

// The exceptions of the plug-in's class library. Code raises them by value and catches
// them by reference; Exception is the base of all of them.

#include <exception>
#include <string>

#include "platform/types.h"

/// An error with a text for the user.
class PLATFORM_API Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const { return m_message; }
    void SetMessage(std::string message) { m_message = std::move(message); }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

/// The silent exception: it ends an operation (a job the user stopped) and is never shown.
class PLATFORM_API EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

/// A stream or stored data that cannot be read or written.
class PLATFORM_API EStreamError : public Exception {
public:
    using Exception::Exception;
};

/// An operation the object cannot do in its present state.
class PLATFORM_API EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

/// A value that cannot be converted (text to number, one class to another).
class PLATFORM_API EConvertError : public Exception {
public:
    using Exception::Exception;
};

/// A component that cannot be made or put together (an unknown class in a form's layout, a
/// control or handler the layout names that the form does not have, a property or event a
/// control does not know).
class PLATFORM_API EComponentError : public Exception {
public:
    using Exception::Exception;
};

/// A resource the program asked for that no library has (a form's layout).
class PLATFORM_API EResNotFound : public Exception {
public:
    using Exception::Exception;
};

/// A floating-point division by zero (a matrix without an inverse).
class PLATFORM_API EZeroDivide : public Exception {
public:
    EZeroDivide() : Exception("Floating point division by zero") {}
};

/// Memory that could not be had.
class PLATFORM_API EOutOfMemory : public Exception {
public:
    EOutOfMemory() : Exception("Out of memory") {}
};

/// A failed system call: the code and text of the thread's last error.
class PLATFORM_API EOSError : public Exception {
public:
    EOSError(DWORD code, std::string message) : Exception(std::move(message)), m_code(code) {}
    DWORD ErrorCode() const { return m_code; }

private:
    DWORD m_code;
};

/// Raises EAbort.
[[noreturn]] PLATFORM_API void Abort();
/// Raises EOSError with the thread's last error (GetLastError) and its text.
[[noreturn]] PLATFORM_API void RaiseLastOSError();
