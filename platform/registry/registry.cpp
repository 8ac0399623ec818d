#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "platform/kernel/atomic_file.h"
#include "platform/last_error.h"
#include "platform/registry/registry_tree.h"

namespace platform {
namespace {

using registry::FoldName;
using registry::Key;
using registry::Tree;
using registry::Value;

constexpr std::uint32_t kRoots[] = {0x80000000u, 0x80000001u, 0x80000002u};

using SubkeyMap = decltype(Key::subkeys);

// Where the last RegEnumKeyEx of a handle stopped, so that walking a key's subkeys by
// index takes one step per index instead of a walk from the first subkey each time. It
// holds while the tree has not changed since (the store's generation).
struct EnumCursor {
    std::uint64_t generation = ~std::uint64_t(0);
    const Key* node = nullptr;
    DWORD index = 0;
    SubkeyMap::const_iterator at;
};

struct OpenKey {
    std::uint32_t root;
    std::vector<std::string> path;  // folded names from the root
    REGSAM access;
    mutable EnumCursor cursor;
    // The key the path led to while the tree has not changed since (the store's
    // generation): keys live in nodes of their own, so the pointer holds until one is
    // added, removed or the tree is read again.
    mutable std::uint64_t resolvedGeneration = ~std::uint64_t(0);
    mutable Key* resolved = nullptr;
};

struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
    bool operator==(const FileStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

// Tells whether the settings file may have changed since the last look without looking it
// up by path on every call: a watch on its folder queues an event when the file is written,
// replaced, removed or touched, in the call that does it, so a change made before a call
// (by this process or another) is always seen by it. Only then is the file examined.
// Without a watch (none can be had, the folder is gone) every look examines the file.
class SettingsFileWatch {
public:
    SettingsFileWatch() = default;
    SettingsFileWatch(const SettingsFileWatch&) = delete;
    SettingsFileWatch& operator=(const SettingsFileWatch&) = delete;
    ~SettingsFileWatch()
    {
        if (m_fd >= 0) ::close(m_fd);
    }

    /// Starts watching the folder of `file` (again); false when it cannot be watched.
    bool Arm(const std::string& file)
    {
        Disarm();
        const auto slash = file.find_last_of('/');
        m_name = slash == std::string::npos ? file : file.substr(slash + 1);
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : file.substr(0, slash);
        if (m_fd < 0) m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) return false;
        m_watch = ::inotify_add_watch(m_fd, folder.c_str(),
                                      IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                          IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
        return m_watch >= 0;
    }

    bool Armed() const { return m_watch >= 0; }

    /// False only when the watch is armed and nothing has happened to the file since the
    /// last call; drains the queued events.
    bool MayHaveChanged()
    {
        if (m_watch < 0) return true;
        // Asking how many bytes are queued is lighter than a read that finds none.
        int queued = 0;
        if (::ioctl(m_fd, FIONREAD, &queued) == 0 && queued == 0) return false;
        bool changed = false;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                // EAGAIN: the queue is empty. Anything else leaves the watch unknown.
                if (n < 0 && errno != EAGAIN) {
                    Disarm();
                    return true;
                }
                break;
            }
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    // The folder itself went, or events were lost: from now on the file is
                    // examined at every look until the watch is armed again.
                    Disarm();
                    changed = true;
                } else if (event->len > 0 && m_name == event->name) {
                    changed = true;
                }
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return changed;
    }

private:
    void Disarm()
    {
        if (m_watch >= 0 && m_fd >= 0) ::inotify_rm_watch(m_fd, m_watch);
        m_watch = -1;
        if (m_fd >= 0) {
            // Events of the old watch still queued say nothing about the new one.
            alignas(inotify_event) char buffer[4096];
            while (::read(m_fd, buffer, sizeof buffer) > 0) {
            }
        }
    }

    int m_fd = -1;
    int m_watch = -1;
    std::string m_name;
};

struct Store {
    std::mutex mutex;
    SettingsFileWatch watch;
    bool loaded = false;
    std::string file;
    FileStamp stamp;  // of the file as last read or written; size -1 when there was none
    Tree tree;
    std::uint64_t generation = 0;                     // counts the changes of the tree's keys
    std::map<std::uint32_t, EnumCursor> rootCursors;  // the predefined roots' enumerations
    DWORD readError = 0;                              // the passing error that keeps the file unread
    std::unordered_set<OpenKey*> handles;
    std::vector<std::string> reports;  // damage reports waiting to be delivered
    std::function<void(const CString&)> damageHandler;
};

Store& TheStore()
{
    static auto* store = new Store;  // lives to the very end: other statics may close keys
    return *store;
}

bool IsRoot(HKEY key)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    return std::find(std::begin(kRoots), std::end(kRoots), value) != std::end(kRoots);
}

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        stamp.device = st.st_dev;
        stamp.inode = st.st_ino;
        stamp.size = st.st_size;
        stamp.modified = st.st_mtim;
    }
    return stamp;
}

void EnsureRoots(Tree& tree)
{
    for (std::uint32_t root : kRoots) tree.try_emplace(root);
}

std::string TimeSuffix()
{
    char text[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

enum class ReadResult { kRead, kMissing, kNotAFile, kTooLarge, kFailed };

// Reads the whole settings file. A pipe or device in its place is never waited on.
ReadResult ReadWholeFile(const std::string& path, std::vector<BYTE>& bytes, int& error)
{
    error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = errno;
        return error == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    }
    struct stat st {};
    ReadResult result = ReadResult::kRead;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        result = ReadResult::kFailed;
    } else if (!S_ISREG(st.st_mode)) {
        result = ReadResult::kNotAFile;
    } else if (std::uint64_t(st.st_size) > registry::kMaxFileBytes) {
        result = ReadResult::kTooLarge;
    } else {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (result == ReadResult::kRead && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n < 0) {
                error = errno;
                result = ReadResult::kFailed;
            } else if (n == 0) {
                bytes.resize(done);  // it shrank while read: what was there is judged
                break;
            } else {
                done += static_cast<std::size_t>(n);
            }
        }
    }
    ::close(fd);
    return result;
}

void StartEmpty(Store& store, const FileStamp& stamp)
{
    store.stamp = stamp;
    EnsureRoots(store.tree);
}

// Reads the settings file into the store. Only a file read whole that fails its checks is
// damaged: it is renamed aside and reported, and the store starts empty. A read that fails
// on the way (no descriptor free, an I/O error) leaves the store unread and the file as it
// is; every call fails with that error until a read succeeds.
void Load(Store& store)
{
    store.file = RegistryFilePath().str();
    // Watched before it is examined: a change after the look below is then seen.
    store.watch.Arm(store.file);
    store.tree.clear();
    store.rootCursors.clear();
    ++store.generation;
    store.loaded = false;
    std::vector<BYTE> bytes;
    int error = 0;
    const FileStamp stamp = StampOf(store.file);
    std::string problem;
    switch (ReadWholeFile(store.file, bytes, error)) {
        case ReadResult::kRead:
            if (auto tree = registry::Deserialize(bytes, problem)) {
                store.tree = std::move(*tree);
                store.loaded = true;
                store.readError = 0;
                StartEmpty(store, stamp);
                return;
            }
            break;
        case ReadResult::kMissing:
            store.loaded = true;
            store.readError = 0;
            StartEmpty(store, FileStamp{});
            return;
        case ReadResult::kTooLarge:
            problem = "larger than a settings file can be";
            break;
        case ReadResult::kNotAFile:
            // Nothing there to set aside: the first write puts a settings file in its place.
            store.loaded = true;
            store.readError = 0;
            store.reports.push_back("The settings file \"" + store.file +
                                    "\" is not a regular file; the settings start empty.");
            StartEmpty(store, stamp);
            return;
        case ReadResult::kFailed: {
            const DWORD code = ErrorFromErrno(error ? error : EIO);
            if (store.readError != code)
                store.reports.push_back("The settings file \"" + store.file + "\" cannot be read now (" +
                                        std::strerror(error ? error : EIO) +
                                        "); it is left as it is and read again at the next use.");
            store.readError = code;
            return;
        }
    }
    std::string aside = store.file + ".damaged-" + TimeSuffix();
    for (int n = 2; StampOf(aside).size >= 0; ++n)
        aside = store.file + ".damaged-" + TimeSuffix() + "-" + std::to_string(n);
    std::string report = "The settings file \"" + store.file + "\" cannot be read (" + problem + ")";
    if (::rename(store.file.c_str(), aside.c_str()) == 0)
        report += "; it was set aside as \"" + aside + "\" and the settings start empty.";
    else
        report += " and could not be set aside; the settings start empty.";
    store.reports.push_back(report);
    store.loaded = true;
    store.readError = 0;
    StartEmpty(store, StampOf(store.file));
}

// Brings the store up to date with the file: loads it the first time and again when
// another process has replaced it. ERROR_SUCCESS, or the error that keeps it unread.
LSTATUS Refresh(Store& store)
{
    if (!store.loaded) {
        Load(store);
    } else {
        // Without a watch the file is examined; a watch is tried again first (the folder may
        // have been made since), so that later calls need not.
        const bool watched = store.watch.Armed();
        if (!watched) store.watch.Arm(store.file);
        if ((!watched || store.watch.MayHaveChanged()) && !(StampOf(store.file) == store.stamp)) Load(store);
    }
    return store.loaded ? ERROR_SUCCESS : static_cast<LSTATUS>(store.readError);
}

bool MakeFolders(const std::string& folder)
{
    if (folder.empty()) return false;
    std::string path;
    std::size_t start = 0;
    while (start <= folder.size()) {
        const auto slash = folder.find('/', start);
        path = folder.substr(0, slash == std::string::npos ? folder.size() : slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes the whole store beside the settings file and renames it over the file, so the
// file on disk is always a complete store, the old one or the new one.
LSTATUS Save(Store& store)
{
    const std::vector<BYTE> bytes = registry::Serialize(store.tree);
    // A file the reader would refuse is never written: the change is refused instead.
    if (bytes.size() > registry::kMaxFileBytes) return ERROR_NOT_ENOUGH_MEMORY;
    const auto slash = store.file.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : store.file.substr(0, slash);
    if (!MakeFolders(folder)) return static_cast<LSTATUS>(ErrorFromErrno(errno));
    // The settings are the user's own: a new file is readable by nobody else.
    AtomicFile out;
    if (!out.Create(store.file.c_str(), 0600) || !out.Write(bytes.data(), bytes.size()) || !out.Commit())
        return static_cast<LSTATUS>(::GetLastError());
    store.stamp = StampOf(store.file);
    return ERROR_SUCCESS;
}

void DeliverReports(Store& store, std::unique_lock<std::mutex>& lock)
{
    if (store.reports.empty()) return;
    std::vector<std::string> reports;
    reports.swap(store.reports);
    auto handler = store.damageHandler;
    lock.unlock();
    for (const std::string& report : reports) {
        if (handler)
            handler(CString(report));
        else
            std::fprintf(stderr, "tarvenix: %s\n", report.c_str());
    }
}

// Runs one registry call under the store's lock with the store up to date; damage found
// on the way is reported after the lock is released.
template <class Body>
LSTATUS WithStore(Body&& body)
{
    Store& store = TheStore();
    std::unique_lock lock(store.mutex);
    const LSTATUS refreshed = Refresh(store);
    const LSTATUS result = refreshed == ERROR_SUCCESS ? body(store) : refreshed;
    DeliverReports(store, lock);
    return result;
}

// The open key a handle names: predefined roots have full access.
const OpenKey* HandleOf(Store& store, HKEY key, OpenKey& rootScratch)
{
    if (IsRoot(key)) {
        rootScratch = OpenKey{
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key)), {}, KEY_ALL_ACCESS, {}};
        return &rootScratch;
    }
    auto* open = reinterpret_cast<OpenKey*>(key);
    return store.handles.contains(open) ? open : nullptr;
}

Key* Resolve(Store& store, const OpenKey& open)
{
    if (open.resolvedGeneration == store.generation) return open.resolved;
    Key* key = nullptr;
    auto root = store.tree.find(open.root);
    if (root != store.tree.end()) {
        key = &root->second;
        for (const std::string& name : open.path) {
            auto it = key->subkeys.find(name);
            if (it == key->subkeys.end()) {
                key = nullptr;
                break;
            }
            key = it->second.get();
        }
    }
    open.resolvedGeneration = store.generation;
    open.resolved = key;
    return key;
}

// Runs one registry call on the key a handle names: the handle must be open, carry
// `accessBit` (0: no right needed) and name a key that still exists. `beforeResolve` runs
// between the handle check and the lookup, so argument errors keep their precedence over
// a deleted key.
template <class Check, class Body>
LSTATUS WithKey(HKEY key, REGSAM accessBit, Check&& beforeResolve, Body&& body)
{
    return WithStore([&](Store& store) -> LSTATUS {
        OpenKey scratch;
        const OpenKey* open = HandleOf(store, key, scratch);
        if (!open) return ERROR_INVALID_HANDLE;
        if (accessBit && !(open->access & accessBit)) return ERROR_ACCESS_DENIED;
        if (const LSTATUS checked = beforeResolve(); checked != ERROR_SUCCESS) return checked;
        Key* node = Resolve(store, *open);
        if (!node) return ERROR_KEY_DELETED;
        return body(store, *open, *node);
    });
}

template <class Body>
LSTATUS WithKey(HKEY key, REGSAM accessBit, Body&& body)
{
    const auto nothing = [] { return static_cast<LSTATUS>(ERROR_SUCCESS); };
    return WithKey(key, accessBit, nothing, std::forward<Body>(body));
}

// Splits "a\b\c" into its names; one trailing "\" is allowed, empty names are not.
bool SplitPath(LPCSTR subKey, std::vector<std::string>& names)
{
    names.clear();
    if (!subKey || !*subKey) return true;
    std::string path = subKey;
    if (path.back() == '\\') path.pop_back();
    std::size_t start = 0;
    for (;;) {
        const auto slash = path.find('\\', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (name.empty() || name.size() > registry::kMaxKeyNameLength) return false;
        names.push_back(std::move(name));
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

// Names compared as FoldName compares them, without making folded copies.
bool SameFoldedName(const std::string& a, const char* b, std::size_t bLength)
{
    if (a.size() != bLength) return false;
    // Names are mostly asked for as they were written.
    if (std::memcmp(a.data(), b, bLength) == 0) return true;
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (std::size_t i = 0; i < bLength; ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

// The value of that name, looked for from place `from` on and then from the start (names
// are unique in a key, so where the search starts changes nothing but its length).
Value* FindValue(Key& key, const char* name, std::size_t from = 0)
{
    const char* wanted = name ? name : "";
    const std::size_t length = std::strlen(wanted), count = key.values.size();
    for (std::size_t i = 0; i < count; ++i) {
        Value& value = key.values[from + i < count ? from + i : from + i - count];
        if (SameFoldedName(value.name, wanted, length)) return &value;
    }
    return nullptr;
}

// A handle to the key `node` that `path` leads to in the tree as it is now: the first call
// through the handle need not walk the path again.
HKEY NewHandle(Store& store, std::uint32_t root, std::vector<std::string> path, REGSAM access, Key* node)
{
    auto* open = new OpenKey{root, std::move(path), access, {}};
    open->resolvedGeneration = store.generation;
    open->resolved = node;
    store.handles.insert(open);
    return reinterpret_cast<HKEY>(open);
}

// Copies a name into a caller's buffer with the enumeration length protocol.
LSTATUS CopyName(const std::string& name, LPSTR buffer, DWORD* length)
{
    if (!buffer || !length) return ERROR_INVALID_PARAMETER;
    if (*length <= name.size()) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LSTATUS CopyData(const Value& value, DWORD* type, BYTE* data, DWORD* size)
{
    if (type) *type = value.type;
    const auto needed = static_cast<DWORD>(value.data.size());
    if (!data) {
        if (size) *size = needed;
        return ERROR_SUCCESS;
    }
    if (!size) return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

}  // namespace

CString ConfigFolder()
{
    if (const char* dir = std::getenv("TARVENIX_CONFIG_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return CString(xdg) + "/tarvenix";
    const char* home = std::getenv("HOME");
    return CString(home && *home ? home : ".") + "/.config/tarvenix";
}

CString RegistryFilePath()
{
    return ConfigFolder() + "/registry.dat";
}

void ReloadRegistryFromFile()
{
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    store.loaded = false;
    store.readError = 0;
    store.tree.clear();
    store.rootCursors.clear();
    ++store.generation;
}

void SetRegistryDamageHandler(std::function<void(const CString&)> handler)
{
    Store& store = TheStore();
    std::lock_guard lock(store.mutex);
    store.damageHandler = std::move(handler);
}

LSTATUS RegReplaceTextValues(HKEY key, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::vector<registry::Value> replacement;
    replacement.reserve(values.size());
    for (const auto& [name, text] : values) {
        if (name.size() > registry::kMaxNameLength) return ERROR_INVALID_PARAMETER;
        // Stored as RegSetValueEx stores text: up to its first zero, with one zero after it.
        std::vector<BYTE> data(text.begin(), std::find(text.begin(), text.end(), '\0'));
        data.push_back(0);
        replacement.push_back(registry::Value{name, REG_SZ, std::move(data)});
    }
    return WithKey(key, KEY_SET_VALUE, [&](Store& store, const OpenKey&, registry::Key& node) -> LSTATUS {
        std::vector<registry::Value> previous = std::move(node.values);
        node.values = std::move(replacement);
        if (const LSTATUS saved = Save(store); saved != ERROR_SUCCESS) {
            node.values = std::move(previous);
            return saved;
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyNames(HKEY key, std::vector<std::string>& names)
{
    names.clear();
    return WithKey(key, KEY_ENUMERATE_SUB_KEYS, [&](Store&, const OpenKey&, registry::Key& node) -> LSTATUS {
        names.reserve(node.subkeys.size());
        for (const auto& [folded, subkey] : node.subkeys) names.push_back(subkey->name);
        return ERROR_SUCCESS;
    });
}

}  // namespace platform

using platform::OpenKey;
using platform::Store;
using platform::WithKey;
using KeyNode = platform::registry::Key;

namespace {

// Opens a subkey; `create` makes the missing keys on the way (and reports in `disposition`
// whether it did), otherwise a missing key is not found.
LSTATUS OpenSubKey(HKEY key, LPCSTR subKey, REGSAM sam, PHKEY result, bool create, DWORD* disposition)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string> names;
    const auto splitPath = [&] {
        return platform::SplitPath(subKey, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
    };
    return WithKey(key, 0, splitPath, [&](Store& store, const OpenKey& parent, KeyNode& start) -> LSTATUS {
        KeyNode* node = &start;
        std::vector<std::string> path = parent.path;
        // Deeper keys than the settings file can hold are not made.
        if (create && path.size() + names.size() > std::size_t(platform::registry::kMaxDepth))
            return ERROR_BAD_PATHNAME;
        KeyNode* firstParent = nullptr;  // where the first new key went in
        std::string firstName;
        for (const std::string& name : names) {
            const std::string folded = platform::registry::FoldName(name);
            auto it = node->subkeys.find(folded);
            if (it == node->subkeys.end()) {
                if (!create) return ERROR_FILE_NOT_FOUND;
                if (!firstParent) {
                    if (!(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
                    firstParent = node;
                    firstName = folded;
                }
                auto created = std::make_unique<platform::registry::Key>();
                created->name = name;
                it = node->subkeys.emplace(folded, std::move(created)).first;
            }
            node = it->second.get();
            path.push_back(folded);
        }
        if (firstParent) {
            ++store.generation;  // indexes of the subkeys have moved
            if (const LSTATUS saved = platform::Save(store); saved != ERROR_SUCCESS) {
                firstParent->subkeys.erase(firstName);  // a failed create leaves nothing behind
                return saved;
            }
        }
        if (disposition) *disposition = firstParent ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        *result = platform::NewHandle(store, parent.root, std::move(path), sam, node);
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM sam, void*, PHKEY result,
                       DWORD* disposition)
{
    return OpenSubKey(key, subKey, sam, result, true, disposition);
}

LSTATUS RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD, REGSAM sam, PHKEY result)
{
    return OpenSubKey(key, subKey, sam, result, false, nullptr);
}

LSTATUS RegCloseKey(HKEY key)
{
    if (platform::IsRoot(key)) return ERROR_SUCCESS;
    Store& store = platform::TheStore();
    std::lock_guard lock(store.mutex);
    auto* open = reinterpret_cast<platform::OpenKey*>(key);
    if (!store.handles.erase(open)) return ERROR_INVALID_HANDLE;
    delete open;
    return ERROR_SUCCESS;
}

LSTATUS RegDeleteKey(HKEY key, LPCSTR subKey)
{
    std::vector<std::string> names;
    const auto splitPath = [&] {
        if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
        return platform::SplitPath(subKey, names) ? ERROR_SUCCESS : ERROR_BAD_PATHNAME;
    };
    return WithKey(key, 0, splitPath, [&](Store& store, const OpenKey&, KeyNode& start) -> LSTATUS {
        KeyNode* node = &start;
        for (std::size_t i = 0; i + 1 < names.size(); ++i) {
            auto it = node->subkeys.find(platform::registry::FoldName(names[i]));
            if (it == node->subkeys.end()) return ERROR_FILE_NOT_FOUND;
            node = it->second.get();
        }
        auto it = node->subkeys.find(platform::registry::FoldName(names.back()));
        if (it == node->subkeys.end()) return ERROR_FILE_NOT_FOUND;
        if (!it->second->subkeys.empty()) return ERROR_ACCESS_DENIED;
        ++store.generation;  // indexes of the subkeys have moved
        std::unique_ptr<platform::registry::Key> removed = std::move(it->second);
        const std::string folded = it->first;
        node->subkeys.erase(it);
        if (const LSTATUS saved = platform::Save(store); saved != ERROR_SUCCESS) {
            node->subkeys.emplace(folded, std::move(removed));
            return saved;
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegDeleteValue(HKEY key, LPCSTR valueName)
{
    return WithKey(key, KEY_SET_VALUE, [&](Store& store, const OpenKey&, KeyNode& node) -> LSTATUS {
        platform::registry::Value* value = platform::FindValue(node, valueName);
        if (!value) return ERROR_FILE_NOT_FOUND;
        const auto index = static_cast<std::size_t>(value - node.values.data());
        platform::registry::Value removed = std::move(*value);
        node.values.erase(node.values.begin() + static_cast<std::ptrdiff_t>(index));
        if (const LSTATUS saved = platform::Save(store); saved != ERROR_SUCCESS) {
            node.values.insert(node.values.begin() + static_cast<std::ptrdiff_t>(index), std::move(removed));
            return saved;
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegSetValueEx(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size > 0) return ERROR_INVALID_PARAMETER;
    if (valueName && std::strlen(valueName) > platform::registry::kMaxNameLength)
        return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> bytes;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const auto* text = reinterpret_cast<const char*>(data);
        const std::size_t length = text ? ::strnlen(text, size) : 0;
        bytes.assign(data, data + length);
        bytes.push_back(0);
    } else {
        if ((type == REG_DWORD && size != 4) || (type == REG_QWORD && size != 8))
            return ERROR_INVALID_PARAMETER;
        if (size) bytes.assign(data, data + size);
    }
    return WithKey(key, KEY_SET_VALUE, [&](Store& store, const OpenKey&, KeyNode& node) -> LSTATUS {
        platform::registry::Value* value = platform::FindValue(node, valueName);
        if (value) {
            platform::registry::Value previous = *value;
            value->type = type;
            value->data = std::move(bytes);
            if (const LSTATUS saved = platform::Save(store); saved != ERROR_SUCCESS) {
                *value = std::move(previous);
                return saved;
            }
            return ERROR_SUCCESS;
        }
        node.values.push_back(platform::registry::Value{valueName ? valueName : "", type, std::move(bytes)});
        if (const LSTATUS saved = platform::Save(store); saved != ERROR_SUCCESS) {
            node.values.pop_back();
            return saved;
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegQueryValueEx(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size)
{
    if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, const OpenKey&, KeyNode& node) -> LSTATUS {
        const platform::registry::Value* value = platform::FindValue(node, valueName);
        if (!value) return ERROR_FILE_NOT_FOUND;
        return platform::CopyData(*value, type, data, size);
    });
}

LSTATUS RegQueryInfoKey(HKEY key, LPSTR keyClass, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
                        DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values,
                        DWORD* maxValueNameLength, DWORD* maxValueLength, DWORD* securityDescriptor,
                        FILETIME* lastWriteTime)
{
    if (reserved) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, const OpenKey&, KeyNode& node) -> LSTATUS {
        if (keyClass && classLength && *classLength > 0) keyClass[0] = '\0';
        if (classLength) *classLength = 0;
        if (maxClassLength) *maxClassLength = 0;
        if (securityDescriptor) *securityDescriptor = 0;
        if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
        DWORD longestKey = 0, longestName = 0, longestData = 0;
        for (const auto& [folded, subkey] : node.subkeys)
            longestKey = std::max(longestKey, static_cast<DWORD>(subkey->name.size()));
        for (const platform::registry::Value& value : node.values) {
            longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
            longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
        }
        if (subKeys) *subKeys = static_cast<DWORD>(node.subkeys.size());
        if (maxSubKeyLength) *maxSubKeyLength = longestKey;
        if (values) *values = static_cast<DWORD>(node.values.size());
        if (maxValueNameLength) *maxValueNameLength = longestName;
        if (maxValueLength) *maxValueLength = longestData;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved, LPSTR keyClass,
                     DWORD* classLength, FILETIME* lastWriteTime)
{
    if (reserved) return ERROR_INVALID_PARAMETER;
    return WithKey(
        key, KEY_ENUMERATE_SUB_KEYS, [&](Store& store, const OpenKey& open, KeyNode& node) -> LSTATUS {
            if (index >= node.subkeys.size()) return ERROR_NO_MORE_ITEMS;
            platform::EnumCursor& cursor = platform::IsRoot(key) ? store.rootCursors[open.root] : open.cursor;
            const bool fresh = cursor.generation == store.generation && cursor.node == &node;
            if (!fresh || index < cursor.index) {
                cursor = {store.generation, &node, 0, node.subkeys.begin()};
            }
            // Forward from where the last call stopped: a walk by index costs one step per key.
            cursor.at = std::next(cursor.at, static_cast<std::ptrdiff_t>(index - cursor.index));
            cursor.index = index;
            const auto it = cursor.at;
            if (keyClass && classLength && *classLength > 0) keyClass[0] = '\0';
            if (classLength) *classLength = 0;
            if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
            return platform::CopyName(it->second->name, name, nameLength);
        });
}

LSTATUS RegEnumValue(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved, DWORD* type,
                     BYTE* data, DWORD* dataLength)
{
    if (reserved || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, const OpenKey&, KeyNode& node) -> LSTATUS {
        if (index >= node.values.size()) return ERROR_NO_MORE_ITEMS;
        const platform::registry::Value& value = node.values[index];
        const LSTATUS named = platform::CopyName(value.name, name, nameLength);
        if (named != ERROR_SUCCESS) return named;
        return platform::CopyData(value, type, data, dataLength);
    });
}

LSTATUS RegFlushKey(HKEY key)
{
    return platform::WithStore([&](Store& store) -> LSTATUS {
        platform::OpenKey scratch;
        return platform::HandleOf(store, key, scratch) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

LSTATUS RegQueryMultipleValues(HKEY key, PVALENT values, DWORD count, LPSTR buffer, DWORD* totalSize)
{
    if (!totalSize || (count > 0 && !values)) return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, const OpenKey&, KeyNode& node) -> LSTATUS {
        // A few values are asked for at a time: their places are kept on the stack then.
        std::array<const platform::registry::Value*, 16> few{};
        std::vector<const platform::registry::Value*> many(count > few.size() ? count : 0);
        const platform::registry::Value** found = many.empty() ? few.data() : many.data();
        std::uint64_t needed = 0;
        std::size_t next = 0;  // values are mostly asked for in the order they were set
        for (DWORD i = 0; i < count; ++i) {
            found[i] = platform::FindValue(node, values[i].ve_valuename, next);
            if (!found[i]) return ERROR_CANT_READ;
            next = std::size_t(found[i] - node.values.data()) + 1;
            needed += found[i]->data.size();
        }
        if (needed > 0xFFFFFFFFu) return ERROR_NOT_ENOUGH_MEMORY;
        if (!buffer || *totalSize < needed) {
            *totalSize = static_cast<DWORD>(needed);
            return ERROR_MORE_DATA;
        }
        std::size_t at = 0;
        for (DWORD i = 0; i < count; ++i) {
            const std::vector<BYTE>& data = found[i]->data;
            if (!data.empty()) std::memcpy(buffer + at, data.data(), data.size());
            values[i].ve_valuelen = static_cast<DWORD>(data.size());
            values[i].ve_valueptr = reinterpret_cast<DWORD_PTR>(buffer + at);
            values[i].ve_type = found[i]->type;
            at += data.size();
        }
        *totalSize = static_cast<DWORD>(needed);
        return ERROR_SUCCESS;
    });
}
