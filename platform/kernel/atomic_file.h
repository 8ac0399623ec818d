#pragma once

// The one way the suite writes a file: a new version is written beside its target and put
// in the target's place in one step only once it is complete and on disk. Until then the
// target is untouched; any failure, exception or discard removes what was written.
//
// The new version is an unnamed file (O_TMPFILE) wherever the file system allows it, so a
// process killed while writing leaves nothing behind; it is linked in only by Commit.
// Elsewhere it is a hidden file ".<name>.tvxtmp-<pid>-<random>" beside the target, and
// every writer that starts in a folder first removes those of processes no longer running.

#include <cstdint>
#include <string>

#include "platform/kernel/handles.h"
#include "platform/types.h"

namespace platform {

class PLATFORM_API AtomicFile {
public:
    AtomicFile() = default;
    /// Discards a version that was not committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;

    /// Starts a new, empty version of `target`. Commit puts it in place of whatever has that
    /// name: a symbolic link there is replaced itself and the file it names is never
    /// written. The version gets the permission bits of a regular file at the name, else
    /// `newFileMode` (0: DefaultFileMode()). FALSE with the last error set.
    BOOL Create(const char* target, unsigned newFileMode = 0);
    /// Starts a new version of `target` that begins as a complete copy of `source` (which
    /// may be the target itself), made by the file system where it can share or copy
    /// extents (reflink, copy_file_range). The version gets the source's permission bits,
    /// and with `keepTimes` its access and modification times.
    BOOL CreateCopyOf(const char* target, const char* source, BOOL keepTimes = FALSE);

    /// Writes at the current position and moves it on. A failed write or size change
    /// removes the version, so that it can never be committed incomplete; the target
    /// stays as it was.
    BOOL Write(const void* data, std::uint64_t bytes);
    /// Writes at `offset`; the position does not move.
    BOOL WriteAt(std::uint64_t offset, const void* data, std::uint64_t bytes);
    /// Starts writing `bytes` at `offset` to disk without waiting for it, so that the disk
    /// works while the writer goes on and Commit's sync has less left. Only a head start:
    /// nothing is checked, and what fails shows up in Commit.
    void StartWriteBack(std::uint64_t offset, std::uint64_t bytes);
    /// Copies `bytes` of the open file `source` (a file handle) from `sourceOffset` to
    /// `offset` of the version, inside the kernel where it can (no pass through memory).
    BOOL CopyFrom(HANDLE source, std::uint64_t sourceOffset, std::uint64_t offset, std::uint64_t bytes);
    /// Reads at `offset` what the version holds; FALSE when fewer bytes are there.
    BOOL ReadAt(std::uint64_t offset, void* data, std::uint64_t bytes) const;
    /// Makes the version `bytes` long. Growth is zeros; with `reserve` the disk space is
    /// taken now, so that writing the new part through a mapping cannot fail for a full disk.
    BOOL SetSize(std::uint64_t bytes, BOOL reserve = TRUE);
    /// The version's size; 0 when nothing is open.
    std::uint64_t Size() const;

    /// The version as a file handle (read and write) for CreateFileMapping, ReadFile and
    /// WriteFile. It belongs to this object and is closed by Commit and Discard; mappings
    /// made from it stay valid after that and then show the committed file.
    HANDLE Handle() const { return m_handle; }
    BOOL IsOpen() const { return m_fd >= 0; }
    /// The name that Commit replaces.
    const std::string& Target() const { return m_target; }

    /// Writes the version to disk and puts it in place of the target in one step; the
    /// folder is synced too. With `replace` FALSE an existing target is kept and the call
    /// fails with ERROR_FILE_EXISTS. On failure the version is removed and the target
    /// is as it was.
    BOOL Commit(BOOL replace = TRUE);
    /// Removes the version; the target stays as it was. Harmless when nothing is open.
    void Discard();

private:
    BOOL Start(const char* target, unsigned mode);
    BOOL LinkAs(const std::string& name);
    int NamedCopy();
    BOOL Abandon(int e);

    int m_fd = -1;
    HANDLE m_handle = nullptr;
    std::string m_target;
    std::string m_tempPath;  // empty for an unnamed version
    std::uint64_t m_position = 0;
};

/// The permission bits a new file gets in this process: 0666 less the creation mask.
PLATFORM_API unsigned DefaultFileMode();

/// Removes the hidden temporaries in `folder` whose writers are no longer running;
/// returns how many went. Every AtomicFile start does this for its folder.
PLATFORM_API int RemoveStaleTemporaries(const char* folder);

/// Nonzero when `name` (a name without folder) is one of the writer's hidden temporaries.
PLATFORM_API BOOL IsAtomicTemporaryName(const char* name);

/// For tests: a step at which every AtomicFile fails as the system would, and whether
/// the named temporary is used even where an unnamed one is possible.
enum class AtomicStep { kNone, kCreate, kWrite, kSync, kRename };
struct AtomicFileFaults {
    AtomicStep failAt = AtomicStep::kNone;
    bool namedTemporary = false;
};
PLATFORM_API void SetAtomicFileFaults(const AtomicFileFaults& faults);

}  // namespace platform
