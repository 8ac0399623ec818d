#include "platform/kernel/user_cache_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

/// `path` as a folder of this user that nobody else may enter; made when missing.
bool OwnFolder(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return false;
        // The desktop's cache folder itself may be new too; a failure shows at the next step.
        const auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0) ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (::lstat(path.c_str(), &st) != 0) return false;
    }
    // A link, another user's folder or a file of that name is not ours to write into.
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
    return true;
}

}  // namespace

CString UserCacheFolder()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
        base = std::string(home) + "/.cache";
    } else {
        return CString();
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    const std::string folder = base + "/tarvenix";
    return OwnFolder(folder) ? CString(folder.c_str()) : CString();
}

}  // namespace platform
