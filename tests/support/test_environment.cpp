#include "tests/support/test_environment.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace tarvenix::test {
namespace {

std::filesystem::path MakeTempFolder(const char* prefix)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

}  // namespace

std::filesystem::path& ConfigDirStorage()
{
    static std::filesystem::path dir;
    return dir;
}

std::filesystem::path& CacheDirStorage()
{
    static std::filesystem::path dir;
    return dir;
}

const std::filesystem::path& ConfigDir()
{
    return ConfigDirStorage();
}

TempDir::TempDir() : m_path(MakeTempFolder("tarvenix-test-")) {}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    if (size < 0) {
        // Not a file of known size (a pipe, a file of /proc): character by character.
        std::ifstream again(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(again), {});
    }
    // Large files in one read: debug builds check every character the iterators move.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.gcount() == size) bytes.append(std::istreambuf_iterator<char>(in), {});  // grown since
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Called from the test main before anything else runs.
void PrepareProcessEnvironment()
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ConfigDirStorage() = MakeTempFolder("tarvenix-config-");
    ::setenv("TARVENIX_CONFIG_DIR", ConfigDirStorage().c_str(), 1);
    // The user's cache folder too: caches a test makes never reach the real one.
    CacheDirStorage() = MakeTempFolder("tarvenix-cache-");
    ::setenv("XDG_CACHE_HOME", CacheDirStorage().c_str(), 1);
}

void CleanProcessEnvironment()
{
    std::error_code ignored;
    std::filesystem::remove_all(ConfigDirStorage(), ignored);
    std::filesystem::remove_all(CacheDirStorage(), ignored);
}

}  // namespace tarvenix::test
