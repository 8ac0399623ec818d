#pragma once

// The framework's binary file class over the kernel's file handles, and the exception it
// throws (as a heap pointer the catcher deletes with Delete(), like the framework's).

#include <memory>

#include "platform/cstring.h"
#include "platform/kernel/atomic_file.h"
#include "platform/kernel/files.h"
#include "platform/types.h"

class PLATFORM_API CFileException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException(int cause = none, LONG osError = -1, LPCTSTR fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
    {
    }
    virtual ~CFileException() = default;

    /// Frees an exception caught by pointer.
    void Delete() { delete this; }
    /// The text for the failure, naming the file; TRUE when there was one.
    BOOL GetErrorMessage(LPTSTR buffer, UINT maxLength, UINT* helpContext = nullptr) const;
    /// The cause for a last-error code.
    static int OsErrorToException(LONG osError);
    /// Throws `new CFileException` for a last-error code.
    [[noreturn]] static void ThrowOsError(LONG osError, LPCTSTR fileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

class PLATFORM_API CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    /// Opens at once; throws CFileException* when that fails.
    CFile(LPCTSTR fileName, UINT openFlags);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    /// Opens a file: modeCreate creates or empties it (with modeNoTruncate an existing file
    /// keeps its content); without modeCreate the file must exist. FALSE on failure, with
    /// the cause in *error when given. Share flags are accepted and not enforced.
    /// modeCreate without modeNoTruncate writes a new version beside the file (the
    /// platform's atomic writer): the file named keeps its old content until Close puts the
    /// new one in its place; Abort, or destruction while an exception unwinds, drops it.
    virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
    /// Reads up to `count` bytes; returns how many were read (0 at the end). Throws on failure.
    virtual UINT Read(void* buffer, UINT count);
    /// Writes all bytes or throws.
    virtual void Write(const void* buffer, UINT count);
    /// Moves the position and returns it. Throws (badSeek) before the start of the file.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG length);
    virtual void Flush();
    /// Closes the file; throws when the handle cannot be closed, or when a new version was
    /// dropped by a failed write (the file then keeps its old content).
    virtual void Close();
    /// Closes without throwing.
    virtual void Abort();
    virtual CString GetFilePath() const { return m_strFileName; }
    /// The file's name without its folder.
    virtual CString GetFileName() const;

    static void Remove(LPCTSTR fileName);
    static void Rename(LPCTSTR oldName, LPCTSTR newName);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;

protected:
    CString m_strFileName;

private:
    [[noreturn]] void ThrowDroppingVersion();

    std::unique_ptr<platform::AtomicFile> m_pending;  // a new version until Close
    LONG m_lostVersionError = 0;  // a new version dropped by a failed write, reported by Close
};
