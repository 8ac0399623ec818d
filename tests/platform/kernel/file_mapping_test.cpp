#include "platform/kernel/file_mapping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/kernel/files.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;
using tarvenix::test::WriteWholeFile;

// A file of `size` bytes whose byte i is i % 251, so any offset's content is known.
std::string MakePatternFile(const TempDir& dir, std::size_t size)
{
    const std::string path = dir.File("pattern.bin");
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    WriteWholeFile(path, bytes);
    return path;
}

HANDLE Open(const std::string& path, DWORD access)
{
    return CreateFile(path.c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(FileMapping, ReadWriteViewIsSeenByFileReadsAfterFlush)
{
    TempDir dir;
    const std::string path = dir.File("project.ktp");
    HANDLE file =
        CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Creating the mapping at a size makes the file that long.
    HANDLE mapping = CreateFileMapping(file, nullptr, PAGE_READWRITE, 0, 10000, nullptr);
    ASSERT_NE(mapping, nullptr);
    CloseHandle(file);  // the mapping keeps the file
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    CloseHandle(mapping);  // and the view keeps the mapping
    std::memcpy(view, "KELVORA", 8);
    std::memcpy(view + 9990, "tail", 4);
    EXPECT_TRUE(FlushViewOfFile(view + 9990, 4));
    EXPECT_TRUE(FlushViewOfFile(view, 0));
    const std::string content = ReadWholeFile(path);
    ASSERT_EQ(content.size(), 10000u);
    EXPECT_EQ(content.substr(0, 8), std::string("KELVORA\0", 8));
    EXPECT_EQ(content.substr(9990, 4), "tail");
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

TEST(FileMapping, CopyOnWriteViewNeverReachesTheFile)
{
    TempDir dir;
    const std::string path = MakePatternFile(dir, 5000);
    HANDLE file = Open(path, GENERIC_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMapping(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    view[100] = 0xEE;
    EXPECT_EQ(view[100], 0xEE);
    EXPECT_TRUE(FlushViewOfFile(view, 0));
    EXPECT_EQ(static_cast<unsigned char>(ReadWholeFile(path)[100]), 100);
    // A read-only mapping gives no writable shared view.
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
}

TEST(FileMapping, RangesAtUnalignedOffsetsSeeTheRightBytes)
{
    TempDir dir;
    const std::size_t size = 3 * 4096 + 123;
    const std::string path = MakePatternFile(dir, size);
    HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMapping(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    for (const std::size_t offset : {std::size_t(1), std::size_t(4095), std::size_t(4097), size - 7}) {
        SCOPED_TRACE(offset);
        auto* view = static_cast<unsigned char*>(
            MapViewOfFile(mapping, FILE_MAP_READ, 0, static_cast<DWORD>(offset), 7));
        ASSERT_NE(view, nullptr);
        for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(view[i], (offset + i) % 251);
        EXPECT_TRUE(UnmapViewOfFile(view));
    }
    // A write through an unaligned range lands at that file offset.
    auto* range = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 5000, 3));
    ASSERT_NE(range, nullptr);
    std::memcpy(range, "XYZ", 3);
    EXPECT_TRUE(FlushViewOfFile(range, 3));
    EXPECT_EQ(ReadWholeFile(path).substr(5000, 3), "XYZ");
    UnmapViewOfFile(range);

    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, static_cast<DWORD>(size - 2), 3), nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 1, 0, 0), nullptr);
    CloseHandle(mapping);
    CloseHandle(file);
}

TEST(FileMapping, RefusesWhatCannotBeMapped)
{
    TempDir dir;
    const std::string empty = dir.File("empty.bin");
    HANDLE file =
        CreateFile(empty.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMapping(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    CloseHandle(file);

    const std::string path = MakePatternFile(dir, 100);
    file = Open(path, GENERIC_READ);
    EXPECT_EQ(CreateFileMapping(file, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileMapping(file, nullptr, PAGE_READONLY, 0, 200, nullptr), nullptr);
    CloseHandle(file);

    // Memory not backed by a file: zeroed, writable.
    HANDLE memory = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1 << 20, nullptr);
    ASSERT_NE(memory, nullptr);
    auto* bytes = static_cast<unsigned char*>(MapViewOfFile(memory, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[12345], 0);
    bytes[12345] = 7;
    UnmapViewOfFile(bytes);
    CloseHandle(memory);
}

}  // namespace

// Private memory: zeroed, writable from any thread, nothing to flush, released once.
TEST(FileMapping, PrivateMemoryIsZeroedFlushesAsNothingAndIsReleasedOnce)
{
    for (SIZE_T size : {SIZE_T(1), SIZE_T(4096 * 3 + 5), SIZE_T(9) << 20}) {
        SCOPED_TRACE(size);
        auto* block = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block[0], 0);
        EXPECT_EQ(block[size - 1], 0);
        block[size - 1] = 7;
        EXPECT_TRUE(FlushViewOfFile(block, size));
        EXPECT_FALSE(FlushViewOfFile(block, size + 2 * 4096 * 1024)) << "a range past the block";
        EXPECT_TRUE(VirtualFree(block, 0, MEM_RELEASE));
        EXPECT_FALSE(VirtualFree(block, 0, MEM_RELEASE));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_ADDRESS));
    }
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE), nullptr);
    EXPECT_EQ(VirtualAlloc(nullptr, 64, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY), nullptr);
}
