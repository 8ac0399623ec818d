#include "outside/basecore/memory_map.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/last_error.h"

CMemoryMap::~CMemoryMap() { Close(); }

CMemoryMap::CMemoryMap(CMemoryMap&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_shared(std::exchange(other.m_shared, false))
{
}

CMemoryMap& CMemoryMap::operator=(CMemoryMap&& other) noexcept
{
    if (this != &other) {
        Close();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_fd = std::exchange(other.m_fd, -1);
        m_shared = std::exchange(other.m_shared, false);
    }
    return *this;
}

BOOL CMemoryMap::MapDescriptor(int fd, std::uint64_t size, bool writable, bool shared)
{
    if (size == 0) {
        m_fd = fd;
        m_size = 0;
        return TRUE;
    }
    const int prot = writable ? PROT_READ | PROT_WRITE : PROT_READ;
    void* p = mmap(nullptr, size, prot, shared ? MAP_SHARED : MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    m_data = static_cast<BYTE*>(p);
    m_size = size;
    m_fd = fd;
    m_shared = shared;
    return TRUE;
}

BOOL CMemoryMap::Create(const char* path, std::uint64_t size)
{
    Close();
    const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        SetLastError(ErrorFromErrno(errno));
        ::close(fd);
        return FALSE;
    }
    if (!MapDescriptor(fd, size, true, true)) {
        ::close(fd);
        return FALSE;
    }
    return TRUE;
}

BOOL CMemoryMap::Open(const char* path, Access access)
{
    Close();
    const bool write = access == kReadWrite;
    const int fd = ::open(path, (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        ::close(fd);
        return FALSE;
    }
    if (!S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        ::close(fd);
        return FALSE;
    }
    // A read-only view is still writable in memory (copy on write), so callers that
    // store values through it never fault and never change the file.
    if (!MapDescriptor(fd, static_cast<std::uint64_t>(st.st_size), true, write)) {
        ::close(fd);
        return FALSE;
    }
    return TRUE;
}

BOOL CMemoryMap::CreateAnonymous(std::uint64_t size)
{
    Close();
    if (size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    m_data = static_cast<BYTE*>(p);
    m_size = size;
    return TRUE;
}

BOOL CMemoryMap::Flush()
{
    if (m_data && m_shared && msync(m_data, m_size, MS_SYNC) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (m_fd >= 0 && m_shared && fdatasync(m_fd) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

void CMemoryMap::Close()
{
    if (m_data) munmap(m_data, m_size);
    if (m_fd >= 0) ::close(m_fd);
    m_data = nullptr;
    m_size = 0;
    m_fd = -1;
    m_shared = false;
}
