#include "platform/kernel/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/kernel/file_object.h"
#include "platform/last_error.h"

namespace {

class MappingObject final : public platform::KernelObject {
public:
    MappingObject(int fd, std::uint64_t size, DWORD protect, bool ofFile = false)
        : m_fd(fd), m_size(size), m_protect(protect), m_ofFile(ofFile)
    {
    }
    ~MappingObject() override { ::close(m_fd); }
    MappingObject(const MappingObject&) = delete;
    MappingObject& operator=(const MappingObject&) = delete;

    int Fd() const { return m_fd; }
    std::uint64_t Size() const { return m_size; }
    DWORD Protect() const { return m_protect; }
    /// A mapping of a file on disk, which another process may cut short.
    bool OfFile() const { return m_ofFile; }

private:
    int m_fd;
    std::uint64_t m_size;
    DWORD m_protect;
    bool m_ofFile;
};

struct View {
    void* mapBase;  // page-aligned address mmap returned
    std::size_t mapLength;
    std::size_t length;  // what the caller asked for, from the address it got
};

struct ViewTable {
    std::mutex mutex;
    std::map<std::uintptr_t, View> views;  // by the address handed out
};

ViewTable& Views()
{
    static auto* table = new ViewTable;
    return *table;
}

struct BlockTable {
    std::mutex mutex;
    std::map<std::uintptr_t, std::size_t> blocks;  // address -> mapped length
};

BlockTable& Blocks()
{
    static auto* table = new BlockTable;
    return *table;
}

/// True when [at, at + bytes) lies in a block of VirtualAlloc.
bool InPrivateBlock(std::uintptr_t at, std::size_t bytes)
{
    BlockTable& table = Blocks();
    std::lock_guard lock(table.mutex);
    auto it = table.blocks.upper_bound(at);
    if (it == table.blocks.begin()) return false;
    --it;
    return at - it->first < it->second && bytes <= it->second - (at - it->first);
}

// Blocks from this size on are worth huge pages: a 2 MiB page replaces 512 small faults.
constexpr std::size_t kHugePageBlock = std::size_t(4) << 20;

std::uint64_t PageSize()
{
    static const auto size = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

HANDLE FailHandle(DWORD code)
{
    SetLastError(code);
    return nullptr;
}

// Views of files another process may cut short. A page of such a view past the file's new end
// faults with SIGBUS on the next access; the handler puts zero pages in the place of the
// rest of the view and marks it, so that the reader sees a damaged file (IsViewDamaged)
// instead of the program being killed. The table is read by the handler: fixed slots of
// atomics, no lock.
struct GuardSlot {
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<int> damaged{0};
};
constexpr std::size_t kGuardSlots = 4096;
constexpr std::uintptr_t kClaimedSlot = 1;
GuardSlot g_guards[kGuardSlots];
struct sigaction g_previousBus {};
std::once_flag g_busHandlerInstalled;

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr);
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    for (GuardSlot& slot : g_guards) {
        const std::uintptr_t start = slot.start.load(std::memory_order_acquire);
        const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
        if (start <= kClaimedSlot || at < start || at >= end) continue;
        const std::uintptr_t from = at - at % page;
        const std::uintptr_t to = (end + page - 1) / page * page;
        if (::mmap(reinterpret_cast<void*>(from), to - from, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            break;
        slot.damaged.store(1, std::memory_order_release);
        return;
    }
    // Not a view of ours: what would have happened without this handler.
    if (g_previousBus.sa_flags & SA_SIGINFO) {
        if (g_previousBus.sa_sigaction) return g_previousBus.sa_sigaction(signal, info, context);
    } else if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN &&
               g_previousBus.sa_handler) {
        return g_previousBus.sa_handler(signal);
    }
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
}

void GuardView(void* address, std::size_t length)
{
    std::call_once(g_busHandlerInstalled, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousBus);
    });
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    for (GuardSlot& slot : g_guards) {
        // A slot is claimed with a mark no view starts at before its range is written, so
        // that two threads never fill one slot and the handler never reads a half-set one.
        std::uintptr_t empty = 0;
        if (!slot.start.compare_exchange_strong(empty, kClaimedSlot, std::memory_order_acq_rel)) continue;
        slot.damaged.store(0, std::memory_order_relaxed);
        slot.end.store(start + length, std::memory_order_relaxed);
        slot.start.store(start, std::memory_order_release);
        return;
    }
}

GuardSlot* GuardOf(const void* address)
{
    const auto start = reinterpret_cast<std::uintptr_t>(address);
    if (start == 0) return nullptr;
    for (GuardSlot& slot : g_guards)
        if (slot.start.load(std::memory_order_acquire) == start) return &slot;
    return nullptr;
}

}  // namespace

HANDLE CreateFileMapping(HANDLE file, void*, DWORD protect, DWORD maximumSizeHigh, DWORD maximumSizeLow,
                         LPCSTR)
{
    if (protect != PAGE_READONLY && protect != PAGE_READWRITE && protect != PAGE_WRITECOPY)
        return FailHandle(ERROR_INVALID_PARAMETER);
    std::uint64_t size = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (size > static_cast<std::uint64_t>(INT64_MAX)) return FailHandle(ERROR_INVALID_PARAMETER);

    int fd = -1;
    if (file == INVALID_HANDLE_VALUE) {
        if (size == 0) return FailHandle(ERROR_INVALID_PARAMETER);
        fd = ::memfd_create("tarvenix-mapping", MFD_CLOEXEC);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            const int e = errno;
            if (fd >= 0) ::close(fd);
            return FailHandle(ErrorFromErrno(e));
        }
        return platform::RegisterHandle(std::make_shared<MappingObject>(fd, size, protect));
    }

    auto object = platform::LookupHandle<platform::FileObject>(file);
    if (!object) return nullptr;
    if (!object->CanRead() || (protect == PAGE_READWRITE && !object->CanWrite()))
        return FailHandle(ERROR_ACCESS_DENIED);
    struct stat st {};
    if (::fstat(object->Fd(), &st) != 0) return FailHandle(ErrorFromErrno(errno));
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (size == 0) {
        if (fileSize == 0) return FailHandle(ERROR_FILE_INVALID);
        size = fileSize;
    } else if (size > fileSize) {
        // Only a writable mapping may make the file longer; a read-only one past the end
        // would fault on first touch.
        if (protect != PAGE_READWRITE) return FailHandle(ERROR_NOT_ENOUGH_MEMORY);
        if (::ftruncate(object->Fd(), static_cast<off_t>(size)) != 0)
            return FailHandle(ErrorFromErrno(errno));
    }
    fd = ::fcntl(object->Fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return FailHandle(ErrorFromErrno(errno));
    return platform::RegisterHandle(std::make_shared<MappingObject>(fd, size, protect, true));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    auto object = platform::LookupHandle<MappingObject>(mapping);
    if (!object) return nullptr;
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset >= object->Size() || (bytes != 0 && bytes > object->Size() - offset))
        return FailHandle(ERROR_INVALID_PARAMETER);
    const std::uint64_t length = bytes ? bytes : object->Size() - offset;
    if (length > SIZE_MAX - PageSize()) return FailHandle(ERROR_NOT_ENOUGH_MEMORY);

    int prot = PROT_READ;
    int flags = MAP_SHARED;
    const bool wantsWrite = (access & FILE_MAP_WRITE) != 0;
    if ((access & FILE_MAP_COPY) && !wantsWrite) {
        prot |= PROT_WRITE;
        flags = MAP_PRIVATE;
    } else if (wantsWrite) {
        if (object->Protect() != PAGE_READWRITE) return FailHandle(ERROR_ACCESS_DENIED);
        prot |= PROT_WRITE;
    } else if (!(access & FILE_MAP_READ)) {
        return FailHandle(ERROR_INVALID_PARAMETER);
    }

    const std::uint64_t delta = offset % PageSize();
    const std::size_t mapLength = static_cast<std::size_t>(length + delta);
    void* base = ::mmap(nullptr, mapLength, prot, flags, object->Fd(), static_cast<off_t>(offset - delta));
    if (base == MAP_FAILED) return FailHandle(ErrorFromErrno(errno));
    auto* address = static_cast<char*>(base) + delta;
    if (object->OfFile()) GuardView(address, static_cast<std::size_t>(length));
    ViewTable& table = Views();
    std::lock_guard lock(table.mutex);
    table.views[reinterpret_cast<std::uintptr_t>(address)] =
        View{base, mapLength, static_cast<std::size_t>(length)};
    return address;
}

BOOL UnmapViewOfFile(LPCVOID base)
{
    View view{};
    {
        ViewTable& table = Views();
        std::lock_guard lock(table.mutex);
        auto it = table.views.find(reinterpret_cast<std::uintptr_t>(base));
        if (it == table.views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        view = it->second;
        table.views.erase(it);
    }
    if (GuardSlot* slot = GuardOf(base)) slot->start.store(0, std::memory_order_release);
    if (::munmap(view.mapBase, view.mapLength) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL IsViewDamaged(LPCVOID base)
{
    const GuardSlot* slot = GuardOf(base);
    return slot && slot->damaged.load(std::memory_order_acquire) ? TRUE : FALSE;
}

BOOL FlushViewOfFile(LPCVOID address, SIZE_T bytes)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::uintptr_t viewStart = 0;
    View view{};
    {
        ViewTable& table = Views();
        std::lock_guard lock(table.mutex);
        auto it = table.views.upper_bound(at);
        if (it != table.views.begin()) {
            --it;
            viewStart = it->first;
            view = it->second;
        }
    }
    if (view.length == 0 || at >= viewStart + view.length) {
        // The process's own memory has no file to write to: there is nothing to flush.
        if (InPrivateBlock(at, bytes)) return TRUE;
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    const std::uintptr_t end =
        bytes ? std::min<std::uintptr_t>(at + bytes, viewStart + view.length) : viewStart + view.length;
    const std::uintptr_t alignedStart = at - at % PageSize();
    if (::msync(reinterpret_cast<void*>(alignedStart), end - alignedStart, MS_ASYNC) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect)
{
    if (address || size == 0 || (allocationType & MEM_COMMIT) == 0 || protect != PAGE_READWRITE ||
        size > SIZE_MAX - PageSize()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::size_t length = static_cast<std::size_t>((size + PageSize() - 1) / PageSize() * PageSize());
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    if (length >= kHugePageBlock) (void)::madvise(base, length, MADV_HUGEPAGE);
    BlockTable& table = Blocks();
    std::lock_guard lock(table.mutex);
    table.blocks[reinterpret_cast<std::uintptr_t>(base)] = length;
    return base;
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType)
{
    if (!address || size != 0 || freeType != MEM_RELEASE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::size_t length = 0;
    {
        BlockTable& table = Blocks();
        std::lock_guard lock(table.mutex);
        auto it = table.blocks.find(reinterpret_cast<std::uintptr_t>(address));
        if (it == table.blocks.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        length = it->second;
        table.blocks.erase(it);
    }
    if (::munmap(address, length) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}
