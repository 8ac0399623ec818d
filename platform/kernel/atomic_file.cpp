#include "platform/kernel/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "platform/kernel/file_object.h"
#include "platform/last_error.h"

namespace platform {

namespace {

constexpr char kTempMark[] = ".tvxtmp-";

std::atomic<int> g_failAt{static_cast<int>(AtomicStep::kNone)};
std::atomic<bool> g_namedTemporary{false};

bool Injected(AtomicStep step)
{
    return g_failAt.load(std::memory_order_relaxed) == static_cast<int>(step);
}

BOOL Fail(DWORD code)
{
    ::SetLastError(code);
    return FALSE;
}

BOOL FailErrno(int e, const std::string& path = {})
{
    return Fail(path.empty() ? ErrorFromErrno(e) : PathError(e, path.c_str()));
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A fresh hidden name beside `target` that marks its writer's process.
std::string TemporaryNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random(std::random_device{}());
    // Long names are cut so the temporary still fits the file system's name limit.
    std::string base = NameOf(target).substr(0, 180);
    char unique[48];
    std::snprintf(unique, sizeof unique, "%s%d-%08x%04x", kTempMark, static_cast<int>(::getpid()),
                  static_cast<unsigned>(random()), counter.fetch_add(1) & 0xFFFFu);
    return FolderOf(target) + "/." + base + unique;
}

// Opens a new named temporary for `target`, retrying while names are taken.
int OpenNamed(const std::string& target, unsigned mode, std::string* name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = TemporaryNameFor(target);
        const int fd = ::open(name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAllAt(int fd, const void* data, std::uint64_t bytes, std::uint64_t offset)
{
    const auto* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, 1u << 30));
        const ssize_t n = ::pwrite(fd, p, chunk, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        offset += static_cast<std::uint64_t>(n);
        bytes -= static_cast<std::uint64_t>(n);
    }
    return true;
}

// Copies `size` bytes of `in` from `from` to `to` of `out`: inside the kernel where it can,
// else through a buffer.
bool CopyRange(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t size);

// Copies the whole of `in` into the empty `out`: shared extents where the file system has
// them, else a copy of the range.
bool CopyContents(int in, int out, std::uint64_t size)
{
    if (size == 0) return true;
    if (::ioctl(out, FICLONE, in) == 0) return true;
    return CopyRange(in, 0, out, 0, size);
}

bool CopyRange(int in, std::uint64_t from, int out, std::uint64_t to, std::uint64_t size)
{
    std::uint64_t done = 0;
    bool kernelCopy = true;
    // A large copy goes in pieces whose writing to disk starts as soon as each is copied, so
    // that the disk works while the rest is copied and the version's one sync has less left.
    constexpr std::uint64_t kPiece = std::uint64_t(64) << 20;
    std::uint64_t started = 0;
    while (kernelCopy && done < size) {
        loff_t src = static_cast<loff_t>(from + done), dst = static_cast<loff_t>(to + done);
        const ssize_t n = ::copy_file_range(
            in, &src, out, &dst, static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kPiece)), 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
            if (done - started >= kPiece || done == size) {
                // Only a head start: failures here show up in the sync that follows.
                ::sync_file_range(out, static_cast<off_t>(to + started), static_cast<off_t>(done - started),
                                  SYNC_FILE_RANGE_WRITE);
                started = done;
            }
        } else if (n == 0) {
            errno = EIO;  // the source is shorter than it was
            return false;
        } else if (errno == EINTR) {
            continue;
        } else if (done == 0 &&
                   (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            kernelCopy = false;
        } else {
            return false;
        }
    }
    if (kernelCopy) return true;
    std::vector<char> buffer(1 << 20);
    while (done < size) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, buffer.size()));
        const ssize_t n = ::pread(in, buffer.data(), chunk, static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        if (!WriteAllAt(out, buffer.data(), static_cast<std::uint64_t>(n), to + done)) return false;
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

// A large file that a version replaces is let go by a thread of its own. Freeing its blocks
// can take long (a file system that discards freed blocks waits for the disk) while the new
// version is already in place and on disk: held open over the rename, the old file is freed
// by its last close instead of by the rename.
constexpr off_t kReleaseLaterBytes = off_t(64) << 20;

// A reference to the regular file at `target` that only its name keeps, when it is large;
// else -1.
int HoldReplaced(const std::string& target)
{
    const int fd = ::open(target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_size >= kReleaseLaterBytes)
        return fd;
    ::close(fd);
    return -1;
}

void ReleaseLater(int fd)
{
    if (fd < 0) return;
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (...) {
        ::close(fd);  // no thread to spare: freed here
    }
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void SetAtomicFileFaults(const AtomicFileFaults& faults)
{
    g_failAt.store(static_cast<int>(faults.failAt));
    g_namedTemporary.store(faults.namedTemporary);
}

unsigned DefaultFileMode()
{
    // The mask is read, not set: umask() would change it for a moment for every thread.
    unsigned mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[128];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(f);
    }
    return 0666u & ~mask;
}

BOOL IsAtomicTemporaryName(const char* name)
{
    if (!name || name[0] != '.') return FALSE;
    const char* mark = std::strstr(name + 1, kTempMark);
    if (!mark) return FALSE;
    // The last mark counts: a user's own name may hold the text too.
    for (const char* next; (next = std::strstr(mark + 1, kTempMark));) mark = next;
    const char* p = mark + sizeof kTempMark - 1;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    if (p == digits || *p != '-') return FALSE;
    const char* hex = ++p;
    while (std::isxdigit(static_cast<unsigned char>(*p))) ++p;
    return p - hex == 12 && *p == '\0';
}

int RemoveStaleTemporaries(const char* folder)
{
    DIR* dir = ::opendir(folder && *folder ? folder : ".");
    if (!dir) return 0;
    int removed = 0;
    const int self = static_cast<int>(::getpid());
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsAtomicTemporaryName(entry->d_name)) continue;
        const char* mark = entry->d_name;
        for (const char* next; (next = std::strstr(mark + 1, kTempMark));) mark = next;
        const long pid = std::strtol(mark + sizeof kTempMark - 1, nullptr, 10);
        if (pid <= 0 || pid > INT_MAX || pid == self) continue;
        // Only a writer that is surely gone loses its file; a reused pid keeps it.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

AtomicFile::~AtomicFile()
{
    Discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_handle(std::exchange(other.m_handle, nullptr)),
      m_target(std::move(other.m_target)),
      m_tempPath(std::move(other.m_tempPath)),
      m_position(std::exchange(other.m_position, 0))
{
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_fd = std::exchange(other.m_fd, -1);
        m_handle = std::exchange(other.m_handle, nullptr);
        m_target = std::move(other.m_target);
        m_tempPath = std::move(other.m_tempPath);
        m_position = std::exchange(other.m_position, 0);
    }
    return *this;
}

BOOL AtomicFile::Start(const char* target, unsigned mode)
{
    Discard();
    if (!target || !*target) return Fail(target ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    // The name itself is replaced, whatever is there: a symbolic link (another user may
    // have planted it in a shared folder) is never followed to the file it names.
    const std::string resolved = target;
    const std::string folder = FolderOf(resolved);
    RemoveStaleTemporaries(folder.c_str());
    if (Injected(AtomicStep::kCreate)) return FailErrno(EACCES);

    int fd = -1;
    std::string temp;
    if (!g_namedTemporary.load(std::memory_order_relaxed))
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd < 0) {
        // File systems without unnamed files (and a folder that is not there) go this way;
        // its error is the one reported.
        fd = OpenNamed(resolved, mode, &temp);
        if (fd < 0) return FailErrno(errno, temp);
    }
    // Permissions as asked, not as the creation mask left them; an existing target's
    // owner group is kept where the system lets us.
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    ::fchmod(fd, mode);

    const int shared = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (shared < 0) {
        const int e = errno;
        ::close(fd);
        if (!temp.empty()) ::unlink(temp.c_str());
        return FailErrno(e);
    }
    m_fd = fd;
    m_handle = RegisterHandle(std::make_shared<FileObject>(shared, resolved, true, true));
    m_target = resolved;
    m_tempPath = temp;
    m_position = 0;
    return TRUE;
}

BOOL AtomicFile::Create(const char* target, unsigned newFileMode)
{
    unsigned mode = newFileMode ? newFileMode & 07777 : DefaultFileMode();
    struct stat st {};
    if (target && ::lstat(target, &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
        // A regular file keeps its permissions; what replaces anything else is a new file.
        if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
    }
    return Start(target, mode);
}

BOOL AtomicFile::CreateCopyOf(const char* target, const char* source, BOOL keepTimes)
{
    if (!source || !target) return Fail(ERROR_INVALID_PARAMETER);
    const int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) return FailErrno(errno, source);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const DWORD e = S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno);
        ::close(in);
        return Fail(e);
    }
    if (!Start(target, st.st_mode & 07777)) {
        ::close(in);
        return FALSE;
    }
    bool ok = !Injected(AtomicStep::kWrite) || (errno = ENOSPC, false);
    ok = ok && CopyContents(in, m_fd, static_cast<std::uint64_t>(st.st_size));
    if (ok && keepTimes) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(m_fd, times);
    }
    const int e = errno;
    ::close(in);
    if (!ok) {
        Discard();
        return FailErrno(e ? e : EIO);
    }
    m_position = static_cast<std::uint64_t>(st.st_size);
    return TRUE;
}

// A version that missed a write can never be committed: it goes at once.
BOOL AtomicFile::Abandon(int e)
{
    const std::string target = m_target;
    Discard();
    return FailErrno(e ? e : EIO, target);
}

BOOL AtomicFile::Write(const void* data, std::uint64_t bytes)
{
    if (!WriteAt(m_position, data, bytes)) return FALSE;
    m_position += bytes;
    return TRUE;
}

BOOL AtomicFile::WriteAt(std::uint64_t offset, const void* data, std::uint64_t bytes)
{
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    if ((!data && bytes > 0) || offset > static_cast<std::uint64_t>(INT64_MAX) ||
        bytes > static_cast<std::uint64_t>(INT64_MAX) - offset)
        return Fail(ERROR_INVALID_PARAMETER);
    if (Injected(AtomicStep::kWrite)) return Abandon(ENOSPC);
    if (!WriteAllAt(m_fd, data, bytes, offset)) return Abandon(errno);
    return TRUE;
}

void AtomicFile::StartWriteBack(std::uint64_t offset, std::uint64_t bytes)
{
    if (m_fd < 0 || offset > static_cast<std::uint64_t>(INT64_MAX) ||
        bytes > static_cast<std::uint64_t>(INT64_MAX) - offset)
        return;
    ::sync_file_range(m_fd, static_cast<off_t>(offset), static_cast<off_t>(bytes), SYNC_FILE_RANGE_WRITE);
}

BOOL AtomicFile::CopyFrom(HANDLE source, std::uint64_t sourceOffset, std::uint64_t offset,
                          std::uint64_t bytes)
{
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    auto in = LookupHandle<FileObject>(source);
    if (!in) return FALSE;
    if (!in->CanRead()) return Fail(ERROR_ACCESS_DENIED);
    if (bytes > static_cast<std::uint64_t>(INT64_MAX) ||
        sourceOffset > static_cast<std::uint64_t>(INT64_MAX) - bytes ||
        offset > static_cast<std::uint64_t>(INT64_MAX) - bytes)
        return Fail(ERROR_INVALID_PARAMETER);
    if (Injected(AtomicStep::kWrite)) return Abandon(ENOSPC);
    if (!CopyRange(in->Fd(), sourceOffset, m_fd, offset, bytes)) return Abandon(errno);
    return TRUE;
}

BOOL AtomicFile::ReadAt(std::uint64_t offset, void* data, std::uint64_t bytes) const
{
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    auto* p = static_cast<char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pread(m_fd, p, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, 1u << 30)),
                                  static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FailErrno(errno);
        if (n == 0) return Fail(ERROR_HANDLE_EOF);
        p += n;
        offset += static_cast<std::uint64_t>(n);
        bytes -= static_cast<std::uint64_t>(n);
    }
    return TRUE;
}

BOOL AtomicFile::SetSize(std::uint64_t bytes, BOOL reserve)
{
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    if (bytes > static_cast<std::uint64_t>(INT64_MAX)) return Fail(ERROR_INVALID_PARAMETER);
    if (Injected(AtomicStep::kWrite)) return Abandon(ENOSPC);
    const std::uint64_t now = Size();
    if (bytes <= now || !reserve)
        return ::ftruncate(m_fd, static_cast<off_t>(bytes)) == 0 ? TRUE : Abandon(errno);
    // Reserve the space now: a full disk found later through a mapping is a crash.
    if (::fallocate(m_fd, 0, static_cast<off_t>(now), static_cast<off_t>(bytes - now)) == 0) return TRUE;
    if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) return Abandon(errno);
    return ::ftruncate(m_fd, static_cast<off_t>(bytes)) == 0 ? TRUE : Abandon(errno);
}

std::uint64_t AtomicFile::Size() const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

// Gives the unnamed version the name `name` (which must not exist).
BOOL AtomicFile::LinkAs(const std::string& name)
{
    if (::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return TRUE;
    if (errno == EEXIST) return FALSE;
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", m_fd);
    if (::linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return TRUE;
    return FALSE;
}

// Copies the unnamed version into a named temporary, which then takes its place; 0 or errno.
int AtomicFile::NamedCopy()
{
    std::string name;
    const int fd = OpenNamed(m_target, 0600, &name);
    if (fd < 0) return errno;
    struct stat st {};
    int error = 0;
    if (::fstat(m_fd, &st) != 0 || !CopyContents(m_fd, fd, static_cast<std::uint64_t>(st.st_size)) ||
        ::fdatasync(fd) != 0 || ::fchmod(fd, st.st_mode & 07777) != 0)
        error = errno ? errno : EIO;
    ::close(fd);
    if (error)
        ::unlink(name.c_str());
    else
        m_tempPath = name;
    return error;
}

BOOL AtomicFile::Commit(BOOL replace)
{
    if (m_fd < 0) return Fail(ERROR_INVALID_HANDLE);
    int error = 0;
    if (Injected(AtomicStep::kSync))
        error = EIO;
    else if (::fdatasync(m_fd) != 0)
        error = errno;
    if (!error && Injected(AtomicStep::kRename)) error = EACCES;
    const int replaced = !error && replace ? HoldReplaced(m_target) : -1;

    if (!error && m_tempPath.empty()) {
        // An unnamed version: linked in under a temporary name and renamed over the target
        // (a kill between the two leaves a name the next writer removes), or linked as the
        // target itself when that must not be replaced.
        const std::string name = replace ? TemporaryNameFor(m_target) : m_target;
        if (LinkAs(name)) {
            if (replace) m_tempPath = name;
        } else if (errno == EEXIST && !replace) {
            error = EEXIST;
        } else {
            // No way to link (no /proc, no permission): a named copy goes instead.
            error = NamedCopy();
        }
    }

    if (!error && !m_tempPath.empty()) {
        if (replace) {
            if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) error = errno;
        } else if (::link(m_tempPath.c_str(), m_target.c_str()) == 0) {
            ::unlink(m_tempPath.c_str());
        } else if (errno == EEXIST) {
            error = EEXIST;
        } else {
            // File systems without hard links: check, then rename.
            struct stat st {};
            if (::lstat(m_target.c_str(), &st) == 0)
                error = EEXIST;
            else if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
                error = errno;
        }
        if (!error) m_tempPath.clear();
    }

    if (error) {
        if (replaced >= 0) ::close(replaced);  // still named: closing it frees nothing
        const std::string target = m_target;
        Discard();
        return error == EEXIST ? Fail(ERROR_FILE_EXISTS) : FailErrno(error, target);
    }
    SyncFolder(FolderOf(m_target));
    ReleaseLater(replaced);
    CloseHandle(std::exchange(m_handle, nullptr));
    ::close(std::exchange(m_fd, -1));
    return TRUE;
}

void AtomicFile::Discard()
{
    const DWORD saved = ::GetLastError();
    if (m_handle) CloseHandle(std::exchange(m_handle, nullptr));
    if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_position = 0;
    ::SetLastError(saved);
}

}  // namespace platform
