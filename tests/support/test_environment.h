#pragma once

#include <filesystem>
#include <string>

namespace tarvenix::test {

/// The private folder this test process keeps its settings in (TARVENIX_CONFIG_DIR).
const std::filesystem::path& ConfigDir();

/// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    /// Full path of a file named `name` inside the folder.
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

/// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);
/// Gives the file exactly `content`, written directly (not through the platform's writer).
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace tarvenix::test
