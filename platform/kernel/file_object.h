#pragma once

// The kernel object behind a file handle; shared by the file and file-mapping code.

#include <string>

#include "platform/kernel/kernel_object.h"

namespace platform {

class FileObject final : public KernelObject {
public:
    FileObject(int fd, std::string path, bool canRead, bool canWrite)
        : m_fd(fd), m_path(std::move(path)), m_canRead(canRead), m_canWrite(canWrite)
    {
    }
    ~FileObject() override;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    bool CanRead() const { return m_canRead; }
    bool CanWrite() const { return m_canWrite; }

private:
    int m_fd;
    std::string m_path;
    bool m_canRead;
    bool m_canWrite;
};

/// The last-error code for a failed call on `path` with errno `e`: a missing folder on the
/// way gives ERROR_PATH_NOT_FOUND, as the system tells it apart from a missing file.
DWORD PathError(int e, const char* path);

}  // namespace platform
