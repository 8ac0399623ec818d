#include "platform/kernel/cfile.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"

BOOL CFileException::GetErrorMessage(LPTSTR buffer, UINT maxLength, UINT* helpContext) const
{
    if (helpContext) *helpContext = 0;
    if (!buffer || maxLength == 0) return FALSE;
    CString text =
        m_lOsError > 0 ? ErrorText(static_cast<DWORD>(m_lOsError)) : CString("A file error occurred.");
    if (!m_strFileName.IsEmpty()) text = "\"" + m_strFileName + "\": " + text;
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(text.GetLength()), maxLength - 1);
    std::memcpy(buffer, text.c_str(), length);
    buffer[length] = '\0';
    return m_cause != none;
}

int CFileException::OsErrorToException(LONG osError)
{
    switch (static_cast<DWORD>(osError)) {
        case ERROR_SUCCESS:
            return none;
        case ERROR_FILE_NOT_FOUND:
            return fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return badPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return tooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return accessDenied;
        case ERROR_INVALID_HANDLE:
            return invalidFile;
        case ERROR_NEGATIVE_SEEK:
            return badSeek;
        case ERROR_SHARING_VIOLATION:
            return sharingViolation;
        case ERROR_DISK_FULL:
            return diskFull;
        case ERROR_HANDLE_EOF:
            return endOfFile;
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
            return hardIO;
        default:
            return genericException;
    }
}

void CFileException::ThrowOsError(LONG osError, LPCTSTR fileName)
{
    throw new CFileException(OsErrorToException(osError), osError, fileName);
}

CFile::CFile(LPCTSTR fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error)) throw new CFileException(error);
}

CFile::~CFile()
{
    // A new version is kept when the object simply goes, dropped when a failure unwinds.
    if (m_pending && std::uncaught_exceptions() == 0) {
        try {
            Close();
        } catch (CFileException* e) {
            e->Delete();
        }
    }
    if (m_hFile != INVALID_HANDLE_VALUE) Abort();
}

BOOL CFile::Open(LPCTSTR fileName, UINT openFlags, CFileException* error)
{
    if (m_hFile != INVALID_HANDLE_VALUE) Abort();
    m_lostVersionError = 0;
    DWORD access = GENERIC_READ;
    switch (openFlags & 3) {
        case modeRead:
            access = GENERIC_READ;
            break;
        case modeWrite:
            access = GENERIC_WRITE;
            break;
        case modeReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
        default:
            if (error)
                *error = CFileException(CFileException::genericException, ERROR_INVALID_PARAMETER, fileName);
            return FALSE;
    }
    DWORD disposition = OPEN_EXISTING;
    if (openFlags & modeCreate) disposition = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    if (disposition == CREATE_ALWAYS) {
        auto pending = std::make_unique<platform::AtomicFile>();
        if (!pending->Create(fileName)) {
            if (error) {
                const auto code = static_cast<LONG>(GetLastError());
                *error = CFileException(CFileException::OsErrorToException(code), code, fileName);
            }
            return FALSE;
        }
        m_hFile = pending->Handle();
        m_pending = std::move(pending);
        m_strFileName = fileName;
        return TRUE;
    }
    HANDLE file = CreateFile(fileName, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) {
            const auto code = static_cast<LONG>(GetLastError());
            *error = CFileException(CFileException::OsErrorToException(code), code, fileName);
        }
        return FALSE;
    }
    m_hFile = file;
    m_strFileName = fileName;
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!ReadFile(m_hFile, buffer, count, &read, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return read;
}

void CFile::Write(const void* buffer, UINT count)
{
    DWORD written = 0;
    if (!WriteFile(m_hFile, buffer, count, &written, nullptr)) ThrowDroppingVersion();
}

void CFile::ThrowDroppingVersion()
{
    const auto code = static_cast<LONG>(GetLastError());
    if (m_pending) {
        // A new version that missed a write can never be committed, not even by a Close
        // or a destructor after the caller caught this: it goes now, and Close reports it.
        m_pending.reset();
        m_hFile = INVALID_HANDLE_VALUE;
        m_lostVersionError = code;
    }
    CFileException::ThrowOsError(code, m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_hFile, distance, &position, from))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_hFile, LARGE_INTEGER{}, &position, FILE_CURRENT))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_hFile, &size))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG length)
{
    const ULONGLONG position = GetPosition();
    Seek(static_cast<LONGLONG>(length), begin);
    if (!SetEndOfFile(m_hFile)) ThrowDroppingVersion();
    if (position < length) Seek(static_cast<LONGLONG>(position), begin);
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

void CFile::Close()
{
    HANDLE file = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    const CString name = m_strFileName;
    m_strFileName.Empty();
    if (const LONG lost = std::exchange(m_lostVersionError, 0)) CFileException::ThrowOsError(lost, name);
    if (auto pending = std::move(m_pending)) {
        if (!pending->Commit()) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), name);
        return;
    }
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()));
}

void CFile::Abort()
{
    if (m_pending) {
        m_pending.reset();  // the new version goes; the file keeps its old content
        m_hFile = INVALID_HANDLE_VALUE;
    }
    if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    m_lostVersionError = 0;
    m_strFileName.Empty();
}

CString CFile::GetFileName() const
{
    const int slash = m_strFileName.ReverseFind('/');
    return slash < 0 ? m_strFileName : m_strFileName.Mid(slash + 1);
}

void CFile::Remove(LPCTSTR fileName)
{
    if (!DeleteFile(fileName)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), fileName);
}

void CFile::Rename(LPCTSTR oldName, LPCTSTR newName)
{
    if (!MoveFile(oldName, newName)) CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), oldName);
}
