#include "platform/kernel/files.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/cfile.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

namespace {

using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;
using tarvenix::test::WriteWholeFile;

TEST(Files, DispositionsCreateOpenAndTruncateAsTheSystemDoes)
{
    TempDir dir;
    const std::string path = dir.File("a.bin");

    EXPECT_EQ(CreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        CreateFile(dir.File("no/such/a.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    HANDLE file = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    CloseHandle(file);

    EXPECT_EQ(CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    file = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 11u);
    CloseHandle(file);

    file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    // A handle without read access cannot read.
    char byte;
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(file);

    WriteWholeFile(path, "content");
    file = CreateFile(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);  // empties the file even for a reading handle
    CloseHandle(file);
    EXPECT_EQ(ReadWholeFile(path), "");

    WriteWholeFile(path, "content");
    file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(ReadWholeFile(path), "");

    EXPECT_EQ(CreateFile(dir.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Files, PointerSizeAndEndOfFileBeyondFourGigabytes)
{
    TempDir dir;
    const std::string path = dir.File("big.bin");
    HANDLE file =
        CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    // A sparse file just past 4 GiB: positions and sizes must keep their high part.
    LARGE_INTEGER far{};
    far.QuadPart = (LONGLONG(1) << 32) + 10;
    LARGE_INTEGER position{};
    ASSERT_TRUE(SetFilePointerEx(file, far, &position, FILE_BEGIN));
    EXPECT_EQ(position.QuadPart, far.QuadPart);
    ASSERT_TRUE(SetEndOfFile(file));
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 1u);
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(size.QuadPart, far.QuadPart);

    LONG moveHigh = -1;  // with the high part given, -4 is the pair (-1, -4)
    EXPECT_EQ(SetFilePointer(file, -4, &moveHigh, FILE_END), 6u);
    EXPECT_EQ(moveHigh, 1);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    // A position past 4 GiB does not fit the 32-bit answer: refused, pointer unmoved.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    LARGE_INTEGER here{};
    ASSERT_TRUE(SetFilePointerEx(file, LARGE_INTEGER{}, &here, FILE_CURRENT));
    EXPECT_EQ(here.QuadPart, (LONGLONG(1) << 32) + 6);

    // Cut back to a few bytes; reading at the end gives 0 bytes and success.
    ASSERT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, &high), 3u);
    EXPECT_EQ(high, 0u);
    char buffer[4];
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
}

TEST(Files, CopyMoveDeleteAndFolders)
{
    TempDir dir;
    const std::string a = dir.File("a.txt"), b = dir.File("b.txt"), c = dir.File("sub/c.txt");
    WriteWholeFile(a, "first");
    WriteWholeFile(b, "second");

    EXPECT_FALSE(CopyFile(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(ReadWholeFile(b), "second");
    EXPECT_TRUE(CopyFile(a.c_str(), b.c_str(), FALSE));
    EXPECT_EQ(ReadWholeFile(b), "first");
    EXPECT_FALSE(CopyFile(dir.File("none").c_str(), b.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadWholeFile(b), "first");

    EXPECT_FALSE(MoveFile(a.c_str(), b.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    WriteWholeFile(a, "third");
    EXPECT_TRUE(MoveFileEx(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadWholeFile(b), "third");
    EXPECT_EQ(GetFileAttributes(a.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(MoveFile(b.c_str(), c.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(CreateDirectory(dir.File("sub").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectory(dir.File("sub").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileAttributes(dir.File("sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(MoveFile(b.c_str(), c.c_str()));
    EXPECT_EQ(GetFileAttributes(c.c_str()), FILE_ATTRIBUTE_NORMAL);

    EXPECT_FALSE(RemoveDirectory(dir.File("sub").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFile(dir.File("sub").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFile(c.c_str()));
    EXPECT_FALSE(DeleteFile(c.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectory(dir.File("sub").c_str()));
}

// /dev/shm is another file system than the test's temporary folder on most machines;
// where it is not, the plain rename path runs and the result must be the same.
TEST(Files, MoveToAnotherFileSystemCopiesThenDeletes)
{
    TempDir dir;
    const std::string source = dir.File("layer.rdp");
    WriteWholeFile(source, std::string(100000, 'r'));
    char name[] = "/dev/shm/tvx-move-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) GTEST_SKIP() << "no /dev/shm";
    ::close(fd);
    EXPECT_FALSE(MoveFile(source.c_str(), name));  // exists: not replaced
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileEx(source.c_str(), name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(ReadWholeFile(name), std::string(100000, 'r'));
    EXPECT_EQ(GetFileAttributes(source.c_str()), INVALID_FILE_ATTRIBUTES);
    ::unlink(name);
}

TEST(Files, TemporaryNamesAreUniqueAndCreated)
{
    TempDir dir;
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPath(sizeof temp, temp), 0u);
    EXPECT_EQ(temp[std::strlen(temp) - 1], '/');
    char tiny[2];
    EXPECT_GT(GetTempPath(sizeof tiny, tiny), sizeof tiny);

    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileName(dir.Path().c_str(), "TVXLONG", 0, name), 0u);
        EXPECT_EQ(std::string(name).rfind(dir.File("TVX"), 0), 0u) << name;
        EXPECT_EQ(GetFileAttributes(name), FILE_ATTRIBUTE_NORMAL);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    // Another prefix, so that the formed name cannot be one of the fifty made above.
    char formed[MAX_PATH];
    EXPECT_EQ(GetTempFileName(dir.Path().c_str(), "TVY", 0x1AB, formed), 0x1ABu);
    EXPECT_EQ(std::string(formed), dir.File("TVY1AB.tmp"));
    EXPECT_EQ(GetFileAttributes(formed), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, FindWithWildcardsListsMatchesInNameOrder)
{
    TempDir dir;
    for (const char* name : {"b.rdp", "A.RDP", "c.txt", "noext", "d.rdp.bak"})
        WriteWholeFile(dir.File(name), "x");
    CreateDirectory(dir.File("folder.rdp").c_str(), nullptr);

    auto find = [&](const std::string& pattern) {
        std::vector<std::string> found;
        WIN32_FIND_DATA data;
        HANDLE search = FindFirstFile(dir.File(pattern).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
            return found;
        }
        do {
            found.push_back(data.cFileName);
        } while (FindNextFile(search, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(search));
        return found;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(find("*.rdp"), (Names{"A.RDP", "b.rdp", "folder.rdp"}));
    EXPECT_EQ(find("?.rdp"), (Names{"A.RDP", "b.rdp"}));
    EXPECT_EQ(find("*.*"), (Names{"A.RDP", "b.rdp", "c.txt", "d.rdp.bak", "folder.rdp", "noext"}));
    EXPECT_EQ(find("c.txt"), (Names{"c.txt"}));
    EXPECT_EQ(find("*.xyz"), Names{});

    WIN32_FIND_DATA data;
    HANDLE search = FindFirstFile(dir.File("folder.*").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    FindClose(search);
    EXPECT_EQ(FindFirstFile(dir.File("none/*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(Files, FileTimesCompareInOrder)
{
    TempDir dir;
    const std::string path = dir.File("t.bin");
    HANDLE file =
        CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME created{}, written{};
    ASSERT_TRUE(GetFileTime(file, &created, nullptr, &written));
    // Some time after 2020 and before 2200, in 100-ns steps since 1601.
    const auto value = (ULONGLONG(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    EXPECT_GT(value, 132223104000000000ULL);
    EXPECT_LT(value, 195000000000000000ULL);
    FILETIME later = written;
    later.dwHighDateTime += 1;
    EXPECT_EQ(CompareFileTime(&written, &later), -1);
    EXPECT_EQ(CompareFileTime(&later, &written), 1);
    EXPECT_EQ(CompareFileTime(&written, &written), 0);
    CloseHandle(file);
}

TEST(Files, CurrentFolderAndCommandLine)
{
    TempDir dir;
    char previous[4096];
    ASSERT_GT(GetCurrentDirectory(sizeof previous, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    char now[4096];
    ASSERT_GT(GetCurrentDirectory(sizeof now, now), 0u);
    EXPECT_EQ(std::filesystem::canonical(now), std::filesystem::canonical(dir.Path()));
    EXPECT_FALSE(SetCurrentDirectory(dir.File("missing").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(SetCurrentDirectory(previous));
    EXPECT_NE(std::string(GetCommandLineA()).find("platform_tests"), std::string::npos);
}

TEST(CFileTest, ReadsWritesSeeksAndReportsFailuresAsExceptions)
{
    TempDir dir;
    const std::string path = dir.File("sub-file.dat");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive));
    EXPECT_EQ(file.GetFilePath(), CString(path.c_str()));
    EXPECT_EQ(file.GetFileName(), CString("sub-file.dat"));
    file.Write("0123456789", 10);
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(-4, CFile::end), 6u);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.SetLength(3);
    EXPECT_EQ(file.GetLength(), 3u);
    bool threw = false;
    try {
        file.Seek(-1, CFile::begin);
    } catch (CFileException* e) {
        threw = true;
        EXPECT_EQ(e->m_cause, CFileException::badSeek);
        e->Delete();
    }
    EXPECT_TRUE(threw);
    file.Close();

    CFile readOnly(path.c_str(), CFile::modeRead);
    threw = false;
    try {
        readOnly.Write("x", 1);
    } catch (CFileException* e) {
        threw = true;
        EXPECT_EQ(e->m_cause, CFileException::accessDenied);
        char text[200];
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
        EXPECT_NE(std::string(text).find("sub-file.dat"), std::string::npos);
        e->Delete();
    }
    EXPECT_TRUE(threw);

    // modeNoTruncate keeps what is there.
    CFile keep;
    ASSERT_TRUE(keep.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite));
    EXPECT_EQ(keep.GetLength(), 3u);
}

}  // namespace
