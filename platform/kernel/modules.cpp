#include "platform/kernel/modules.h"

#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/last_error.h"

namespace {

struct LoadedModule {
    int count = 0;
    std::string path;
};

struct ModuleTable {
    std::mutex mutex;
    std::map<void*, LoadedModule> modules;  // by dlopen handle, which is the HMODULE
};

ModuleTable& Modules()
{
    static auto* table = new ModuleTable;
    return *table;
}

// Held across a module's loading and start, and across its end and unloading, so that no
// other thread sees a module half started or half ended. Recursive: an entry may load or
// free other modules.
std::recursive_mutex& LoaderLock()
{
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

// A symbol the module itself defines: dlsym would also find one of the libraries it
// depends on.
void* OwnSymbol(void* handle, const char* name)
{
    void* address = ::dlsym(handle, name);
    if (!address) return nullptr;
    Dl_info info{};
    link_map* map = nullptr;
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return nullptr;
    // On this system the handle dlopen gives is the module's link map.
    return map == handle ? address : nullptr;
}

bool StartModule(void* handle)
{
    auto start = reinterpret_cast<BOOL (*)()>(OwnSymbol(handle, kPlatformModuleStartSymbol));
    if (!start) return true;
    try {
        return start() != FALSE;
    } catch (...) {
        return false;
    }
}

void EndModule(void* handle)
{
    auto end = reinterpret_cast<void (*)()>(OwnSymbol(handle, kPlatformModuleEndSymbol));
    if (!end) return;
    try {
        end();
    } catch (...) {
    }
}

std::string ProgramPath()
{
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::string ProgramFolder()
{
    const std::string path = ProgramPath();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::vector<std::string> CandidateNames(const std::string& name)
{
    std::vector<std::string> names{name};
    const auto slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    const auto dot = file.find_last_of('.');
    std::string base;
    if (dot == std::string::npos)
        base = file;
    else if (strcasecmp(file.c_str() + dot, ".dll") == 0)
        base = file.substr(0, dot);
    if (!base.empty()) {
        names.push_back(folder + "lib" + base + ".so");
        names.push_back(folder + base + ".so");
    }
    return names;
}

std::string LoadedPath(void* handle, const std::string& fallback)
{
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
        return map->l_name;
    return fallback;
}

}  // namespace

HMODULE LoadLibrary(LPCSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = fileName;
    const bool bare = name.find('/') == std::string::npos;
    const std::string programFolder = bare ? ProgramFolder() : std::string();
    std::vector<std::string> attempts;
    for (const std::string& candidate : CandidateNames(name)) {
        if (!programFolder.empty()) attempts.push_back(programFolder + candidate);
        attempts.push_back(candidate);
    }
    std::lock_guard loader(LoaderLock());
    void* handle = nullptr;
    std::string loadedFrom;
    for (const std::string& attempt : attempts) {
        // dlopen treats a name without "/" as a search; one with "/" as a path.
        if (bare && attempt.find('/') == std::string::npos)
            handle = ::dlopen(attempt.c_str(), RTLD_NOW | RTLD_LOCAL);
        else if (::access(attempt.c_str(), F_OK) == 0)
            handle = ::dlopen(attempt.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle) {
            loadedFrom = attempt;
            break;
        }
    }
    if (!handle) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ModuleTable& table = Modules();
    {
        std::lock_guard lock(table.mutex);
        LoadedModule& module = table.modules[handle];
        if (module.count++ > 0) {
            ::dlclose(handle);  // the table holds one reference per module, counted by us
            return static_cast<HMODULE>(handle);
        }
        module.path = LoadedPath(handle, loadedFrom);
    }
    if (!StartModule(handle)) {
        {
            std::lock_guard lock(table.mutex);
            table.modules.erase(handle);
        }
        ::dlclose(handle);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    void* handle = module;
    {
        ModuleTable& table = Modules();
        std::lock_guard lock(table.mutex);
        if (!module || !table.modules.contains(handle)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    if (!name) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const char* symbol = name;
    if (IS_INTRESOURCE(name)) {
        const auto ordinal = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
        using TableFunction = const PlatformOrdinal* (*)();
        auto tableFunction = reinterpret_cast<TableFunction>(::dlsym(handle, kPlatformOrdinalTableSymbol));
        symbol = nullptr;
        if (tableFunction && ordinal != 0) {
            for (const PlatformOrdinal* entry = tableFunction(); entry && entry->name; ++entry) {
                if (entry->ordinal == ordinal) {
                    symbol = entry->name;
                    break;
                }
            }
        }
        if (!symbol) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
    }
    void* address = ::dlsym(handle, symbol);
    if (!address) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(address);
}

BOOL FreeLibrary(HMODULE module)
{
    void* handle = module;
    std::lock_guard loader(LoaderLock());
    ModuleTable& table = Modules();
    {
        std::lock_guard lock(table.mutex);
        auto it = table.modules.find(handle);
        if (!module || it == table.modules.end() || it->second.count == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--it->second.count > 0) return TRUE;
    }
    // The module is still whole while its end runs: its exports can still be found.
    EndModule(handle);
    {
        std::lock_guard lock(table.mutex);
        table.modules.erase(handle);
    }
    // The module's static destructors run here and may call back into the platform.
    if (::dlclose(handle) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size)
{
    std::string path;
    if (!module) {
        path = ProgramPath();
    } else {
        ModuleTable& table = Modules();
        std::lock_guard lock(table.mutex);
        auto it = table.modules.find(static_cast<void*>(module));
        if (it == table.modules.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = it->second.path;
    }
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}
