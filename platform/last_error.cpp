#include "platform/last_error.h"

#include <cerrno>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}
DWORD GetLastError()
{
    return t_lastError;
}

DWORD ErrorFromErrno(int e)
{
    switch (e) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_INVALID_NAME;
        case EFBIG:
            return ERROR_FILE_TOO_LARGE;
        case EBUSY:
            return ERROR_SHARING_VIOLATION;
        case EIO:
            return ERROR_WRITE_FAULT;
        case ETIMEDOUT:
            return ERROR_TIMEOUT;
        case ECANCELED:
            return ERROR_OPERATION_ABORTED;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

CString ErrorText(DWORD code)
{
    switch (code) {
        case ERROR_SUCCESS:
            return "The operation completed successfully.";
        case ERROR_INVALID_FUNCTION:
            return "Incorrect function.";
        case ERROR_FILE_NOT_FOUND:
            return "The system cannot find the file specified.";
        case ERROR_PATH_NOT_FOUND:
            return "The system cannot find the path specified.";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "The system cannot open the file.";
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_INVALID_HANDLE:
            return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "Not enough storage is available to process this command.";
        case ERROR_BAD_FORMAT:
            return "An attempt was made to load a program with an incorrect format.";
        case ERROR_INVALID_DATA:
            return "The data is invalid.";
        case ERROR_OUTOFMEMORY:
            return "Not enough storage is available to complete this operation.";
        case ERROR_WRITE_FAULT:
            return "The system cannot write to the specified device.";
        case ERROR_READ_FAULT:
            return "The system cannot read from the specified device.";
        case ERROR_SHARING_VIOLATION:
            return "The process cannot access the file because it is being used by another process.";
        case ERROR_HANDLE_EOF:
            return "Reached the end of the file.";
        case ERROR_NOT_SUPPORTED:
            return "The request is not supported.";
        case ERROR_FILE_EXISTS:
            return "The file exists.";
        case ERROR_INVALID_PARAMETER:
            return "The parameter is incorrect.";
        case ERROR_DISK_FULL:
            return "There is not enough space on the disk.";
        case ERROR_INSUFFICIENT_BUFFER:
            return "The data area passed to a system call is too small.";
        case ERROR_INVALID_NAME:
            return "The filename, directory name, or volume label syntax is incorrect.";
        case ERROR_MOD_NOT_FOUND:
            return "The specified module could not be found.";
        case ERROR_PROC_NOT_FOUND:
            return "The specified procedure could not be found.";
        case ERROR_NEGATIVE_SEEK:
            return "An attempt was made to move the file pointer before the beginning of the file.";
        case ERROR_ALREADY_EXISTS:
            return "Cannot create a file when that file already exists.";
        case ERROR_FILE_TOO_LARGE:
            return "The file size exceeds the limit allowed and cannot be saved.";
        case ERROR_NO_MORE_ITEMS:
            return "No more data is available.";
        case ERROR_ARITHMETIC_OVERFLOW:
            return "Arithmetic result exceeded 32 bits.";
        case ERROR_OPERATION_ABORTED:
            return "The I/O operation has been aborted.";
        case ERROR_DLL_INIT_FAILED:
            return "A dynamic link library (DLL) initialization routine failed.";
        case ERROR_FILE_INVALID:
            return "The volume for a file has been externally altered so that the opened file is no longer "
                   "valid.";
        case ERROR_BADDB:
            return "The configuration registry database is corrupt.";
        case ERROR_FILE_CORRUPT:
            return "The file or directory is corrupted and unreadable.";
        case ERROR_INVALID_WINDOW_HANDLE:
            return "Invalid window handle.";
        case ERROR_NOT_FOUND:
            return "Element not found.";
        case ERROR_TIMEOUT:
            return "This operation returned because the timeout period expired.";
        case ERROR_NOT_SAME_DEVICE:
            return "The system cannot move the file to a different disk drive.";
        case ERROR_NO_MORE_FILES:
            return "There are no more files.";
        case ERROR_DIR_NOT_EMPTY:
            return "The directory is not empty.";
        case ERROR_BAD_PATHNAME:
            return "The specified path is invalid.";
        case ERROR_BAD_EXE_FORMAT:
            return "The module is not a valid application.";
        case ERROR_MORE_DATA:
            return "More data is available.";
        case ERROR_DIRECTORY:
            return "The directory name is invalid.";
        case ERROR_INVALID_ADDRESS:
            return "Attempt to access invalid address.";
        case ERROR_CANT_READ:
            return "The configuration registry key could not be read.";
        case ERROR_KEY_DELETED:
            return "Illegal operation attempted on a registry key that has been marked for deletion.";
        default: {
            CString text;
            text.Format("Unknown error %u.", static_cast<unsigned>(code));
            return text;
        }
    }
}
