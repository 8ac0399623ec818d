#include "platform/kernel/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/kernel/cfile.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"

namespace {

using platform::AtomicFile;
using platform::AtomicFileFaults;
using platform::AtomicStep;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;
using tarvenix::test::WriteWholeFile;

std::set<std::string> Names(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Sets the writer's faults for one scope.
class Faults {
public:
    explicit Faults(AtomicFileFaults faults) { platform::SetAtomicFileFaults(faults); }
    ~Faults() { platform::SetAtomicFileFaults({}); }
};

// A pid that belonged to a process that has ended.
int DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<int>(child);
}

struct FaultCase {
    AtomicStep step;
    bool named;
    bool copy;  // the version starts as a copy of another file
};

class AtomicFileFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AtomicFileFault, LeavesTheOldFileAndNoTemporary)
{
    const FaultCase c = GetParam();
    TempDir dir;
    const std::string target = dir.File("settings.dat");
    const std::string source = dir.File("source.dat");
    WriteWholeFile(target, "old contents");
    ::chmod(target.c_str(), 0640);
    WriteWholeFile(source, "copied contents");
    {
        Faults faults({c.step, c.named});
        AtomicFile out;
        const bool started = c.copy ? out.CreateCopyOf(target.c_str(), source.c_str())
                                    : (out.Create(target.c_str()) && out.Write("new contents", 12));
        if (c.step == AtomicStep::kCreate || c.step == AtomicStep::kWrite) {
            EXPECT_FALSE(started);
        } else {
            ASSERT_TRUE(started);
            EXPECT_FALSE(out.Commit());
        }
        EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(out.IsOpen());
    }
    EXPECT_EQ(ReadWholeFile(target), "old contents");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(Names(dir), (std::set<std::string>{"settings.dat", "source.dat"}));
}

std::string FaultName(const ::testing::TestParamInfo<FaultCase>& info)
{
    static const char* const steps[] = {"none", "create", "write", "sync", "rename"};
    return std::string(steps[static_cast<int>(info.param.step)]) +
           (info.param.named ? "_named" : "_unnamed") + (info.param.copy ? "_copy" : "_stream");
}

std::vector<FaultCase> AllFaults()
{
    std::vector<FaultCase> cases;
    for (AtomicStep step : {AtomicStep::kCreate, AtomicStep::kWrite, AtomicStep::kSync, AtomicStep::kRename})
        for (bool named : {false, true})
            for (bool copy : {false, true}) cases.push_back({step, named, copy});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EachStep, AtomicFileFault, ::testing::ValuesIn(AllFaults()), FaultName);

class AtomicFileWrite : public ::testing::TestWithParam<bool> {
protected:
    Faults m_faults{{AtomicStep::kNone, GetParam()}};
};

TEST_P(AtomicFileWrite, ReplacesTheTargetKeepingItsPermissions)
{
    TempDir dir;
    const std::string target = dir.File("data.bin");
    WriteWholeFile(target, "old");
    ::chmod(target.c_str(), 0604);

    AtomicFile out;
    ASSERT_TRUE(out.Create(target.c_str()));
    ASSERT_TRUE(out.Write("new ", 4));
    ASSERT_TRUE(out.WriteAt(4, "data", 4));
    // Until the commit the target is the old file and nothing else is named in the folder
    // but a temporary of this process.
    EXPECT_EQ(ReadWholeFile(target), "old");
    for (const std::string& name : Names(dir))
        EXPECT_TRUE(name == "data.bin" || platform::IsAtomicTemporaryName(name.c_str())) << name;
    ASSERT_TRUE(out.Commit());

    EXPECT_EQ(ReadWholeFile(target), "new data");
    EXPECT_EQ(ModeOf(target), 0604u);
    EXPECT_EQ(Names(dir), (std::set<std::string>{"data.bin"}));

    // A new file gets the process's default mode.
    AtomicFile fresh;
    ASSERT_TRUE(fresh.Create(dir.File("fresh.bin").c_str()));
    ASSERT_TRUE(fresh.Commit());
    EXPECT_EQ(ModeOf(dir.File("fresh.bin")), platform::DefaultFileMode());
}

// A link at the name, such as one another user plants in a shared folder, is replaced by
// the new file; the file it names, anywhere, keeps its bytes and permissions.
TEST_P(AtomicFileWrite, ALinkAtTheNameIsReplacedAndWhatItNamesIsNeverWritten)
{
    TempDir dir;
    const std::string victim = dir.File("victim.txt");
    WriteWholeFile(victim, "the user's own file");
    ::chmod(victim.c_str(), 0640);
    struct Case {
        const char* name;
        std::string linkTo;
    };
    for (const Case& c : {Case{"to a file", victim}, Case{"dangling", dir.File("nowhere.txt")}}) {
        SCOPED_TRACE(c.name);
        const std::string name = dir.File("cache.bin");
        std::filesystem::remove(name);
        ASSERT_EQ(::symlink(c.linkTo.c_str(), name.c_str()), 0);
        AtomicFile out;
        ASSERT_TRUE(out.Create(name.c_str()));
        ASSERT_TRUE(out.Write("cache bytes", 11));
        ASSERT_TRUE(out.Commit());
        EXPECT_FALSE(std::filesystem::is_symlink(name));
        EXPECT_EQ(ReadWholeFile(name), "cache bytes");
        EXPECT_EQ(ModeOf(name), platform::DefaultFileMode()) << "a new file, not the linked one's mode";
        EXPECT_EQ(ReadWholeFile(victim), "the user's own file");
        EXPECT_EQ(ModeOf(victim), 0640u);
        EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.txt")));
    }
}

TEST_P(AtomicFileWrite, RefusesToReplaceWhenAskedNotTo)
{
    TempDir dir;
    const std::string target = dir.File("kept.txt");
    WriteWholeFile(target, "kept");
    AtomicFile out;
    ASSERT_TRUE(out.Create(target.c_str()));
    ASSERT_TRUE(out.Write("other", 5));
    EXPECT_FALSE(out.Commit(FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWholeFile(target), "kept");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"kept.txt"}));

    AtomicFile other;
    ASSERT_TRUE(other.Create(dir.File("new.txt").c_str()));
    ASSERT_TRUE(other.Write("made", 4));
    ASSERT_TRUE(other.Commit(FALSE));
    EXPECT_EQ(ReadWholeFile(dir.File("new.txt")), "made");
}

TEST_P(AtomicFileWrite, AnExceptionOrADiscardLeavesNothing)
{
    TempDir dir;
    const std::string target = dir.File("layer.rdp");
    WriteWholeFile(target, "old");
    try {
        AtomicFile out;
        ASSERT_TRUE(out.Create(target.c_str()));
        ASSERT_TRUE(out.SetSize(1 << 20));
        throw std::runtime_error("job failed");
    } catch (const std::runtime_error&) {
    }
    AtomicFile copy;
    ASSERT_TRUE(copy.CreateCopyOf(target.c_str(), target.c_str()));
    EXPECT_EQ(copy.Size(), 3u);
    copy.Discard();
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"layer.rdp"}));
}

TEST_P(AtomicFileWrite, CopyAndModifyAnInputIntoItself)
{
    TempDir dir;
    const std::string target = dir.File("image.bin");
    std::string big(3 << 20, 'a');
    WriteWholeFile(target, big);
    AtomicFile out;
    ASSERT_TRUE(out.CreateCopyOf(target.c_str(), target.c_str()));
    ASSERT_TRUE(out.WriteAt(1 << 20, "b", 1));
    char byte = 0;
    ASSERT_TRUE(out.ReadAt((3 << 20) - 1, &byte, 1));
    EXPECT_EQ(byte, 'a');
    EXPECT_FALSE(out.ReadAt(3 << 20, &byte, 1));
    EXPECT_EQ(ReadWholeFile(target), big);
    ASSERT_TRUE(out.Commit());
    big[1 << 20] = 'b';
    EXPECT_EQ(ReadWholeFile(target), big);
}

// A head start of writing to disk changes nothing the version holds: bytes written over a
// range already started land, and ranges past the end or of nothing open are harmless.
TEST_P(AtomicFileWrite, AHeadStartToDiskKeepsLaterWritesOverTheSameRange)
{
    TempDir dir;
    const std::string target = dir.File("saved.bin");
    std::string bytes(3 << 20, 'a');
    AtomicFile out;
    out.StartWriteBack(0, 1);  // nothing open yet
    ASSERT_TRUE(out.Create(target.c_str()));
    ASSERT_TRUE(out.SetSize(bytes.size()));
    ASSERT_TRUE(out.WriteAt(0, bytes.data(), bytes.size()));
    out.StartWriteBack(0, bytes.size());
    out.StartWriteBack(1 << 20, std::uint64_t(1) << 40);  // past the end
    out.StartWriteBack(std::uint64_t(INT64_MAX), 2);      // beyond any offset
    ASSERT_TRUE(out.WriteAt(5, "head", 4));
    ASSERT_TRUE(out.WriteAt((2 << 20) + 1, "tail", 4));
    ASSERT_TRUE(out.Commit());
    out.StartWriteBack(0, 1);  // committed: nothing open any more
    bytes.replace(5, 4, "head");
    bytes.replace((2 << 20) + 1, 4, "tail");
    EXPECT_EQ(ReadWholeFile(target), bytes);
}

TEST(AtomicFileCopyFrom, ACopyOfManyPiecesLandsWholeWhereAsked)
{
    TempDir dir;
    const std::string source = dir.File("source.bin"), target = dir.File("target.bin");
    // A period prime to the copy's pieces: any piece put at a wrong place shows.
    std::string period(8191, '\0');
    for (size_t i = 0; i < period.size(); ++i) period[i] = char((i * 2654435761u) >> 13);
    std::string bytes;
    while (bytes.size() < (66u << 20)) bytes += period;
    WriteWholeFile(source, bytes);
    const std::uint64_t from = 4096 + 7, to = 13, count = (65 << 20) + 5;
    HANDLE in = CreateFile(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    AtomicFile out;
    ASSERT_TRUE(out.Create(target.c_str()));
    ASSERT_TRUE(out.CopyFrom(in, from, to, count));
    ASSERT_TRUE(out.Commit());
    CloseHandle(in);
    const std::string copied = ReadWholeFile(target);
    ASSERT_EQ(copied.size(), to + count);
    EXPECT_EQ(copied.substr(0, to), std::string(to, '\0'));
    EXPECT_TRUE(copied.compare(to, count, bytes, from, count) == 0) << "the copied bytes differ";
}

// Whether a descriptor of this process refers to the file (device, inode).
bool OpenHere(dev_t device, ino_t inode)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        struct stat st {};
        if (::fstat(std::atoi(entry.path().filename().c_str()), &st) == 0 && st.st_dev == device &&
            st.st_ino == inode)
            return true;
    }
    return false;
}

// A large file a version replaces is let go by a thread of its own once the version is in
// place: the new bytes are there at once, and in the end nothing of the process holds the
// old file. A file that has another name keeps its bytes under it.
TEST(AtomicFileReplace, ALargeReplacedFileIsLetGoAndOneWithAnotherNameKeepsItsBytes)
{
    TempDir dir;
    const std::string target = dir.File("large.bin"), other = dir.File("other.bin");
    const std::string old(std::size_t(64) << 20, 'o');
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "another name" : "one name");
        WriteWholeFile(target, old);
        if (linked) {
            ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
        }
        struct stat before {};
        ASSERT_EQ(::stat(target.c_str(), &before), 0);
        AtomicFile out;
        ASSERT_TRUE(out.Create(target.c_str()));
        ASSERT_TRUE(out.Write("new", 3));
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(ReadWholeFile(target), "new");
        if (linked) {
            EXPECT_TRUE(ReadWholeFile(other) == old) << "the other name lost its bytes";
        }
        const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (OpenHere(before.st_dev, before.st_ino) && std::chrono::steady_clock::now() < bound)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(OpenHere(before.st_dev, before.st_ino)) << "the old file is still held";
        ::unlink(other.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicFileWrite, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "named" : "unnamed"; });

TEST(AtomicFileStale, TemporariesOfEndedWritersGoAtTheNextWriteToTheFolder)
{
    TempDir dir;
    const std::string dead = ".layer.rdp.tvxtmp-" + std::to_string(DeadPid()) + "-0123456789ab";
    const std::string alive = ".layer.rdp.tvxtmp-" + std::to_string(::getppid()) + "-0123456789ab";
    const std::string users = ".notes.tvxtmp-draft";
    for (const std::string& name : {dead, alive, users}) WriteWholeFile(dir.File(name), "left over");

    AtomicFile out;
    ASSERT_TRUE(out.Create(dir.File("other.txt").c_str()));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(Names(dir), (std::set<std::string>{alive, users, "other.txt"}));
}

TEST(AtomicFileStale, RecognisesOnlyItsOwnPattern)
{
    struct Case {
        const char* name;
        bool temporary;
    };
    const Case cases[] = {
        {".a.rdp.tvxtmp-123-0123456789ab", true},   {".a.tvxtmp-1.tvxtmp-77-abcdefABCDEF", true},
        {"a.rdp.tvxtmp-123-0123456789ab", false},    // not hidden
        {".a.rdp.tvxtmp--0123456789ab", false},      // no pid
        {".a.rdp.tvxtmp-123-0123456789", false},     // short random part
        {".a.rdp.tvxtmp-123-0123456789abc", false},  // long random part
        {".a.rdp.tvxtmp-12x-0123456789ab", false},  {".a.rdp.XXXXXX", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::IsAtomicTemporaryName(c.name) != FALSE, c.temporary) << c.name;
}

TEST(AtomicFileCopy, CopyFileKeepsTimesAndNeverTouchesAnExistingTargetOnRefusal)
{
    TempDir dir;
    const std::string source = dir.File("a.txt");
    const std::string target = dir.File("b.txt");
    WriteWholeFile(source, "source");
    WriteWholeFile(target, "target");
    EXPECT_FALSE(CopyFile(source.c_str(), target.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWholeFile(target), "target");
    {
        Faults faults({AtomicStep::kSync, false});
        EXPECT_FALSE(CopyFile(source.c_str(), target.c_str(), FALSE));
    }
    EXPECT_EQ(ReadWholeFile(target), "target");
    ASSERT_TRUE(CopyFile(source.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(ReadWholeFile(target), "source");
    EXPECT_EQ(std::filesystem::last_write_time(source), std::filesystem::last_write_time(target));
    EXPECT_EQ(Names(dir), (std::set<std::string>{"a.txt", "b.txt"}));
}

}  // namespace

namespace {

TEST(AtomicFileCFile, ACreatedFileReplacesTheOldOneOnlyOnClose)
{
    TempDir dir;
    const std::string path = dir.File("palette.pal");
    WriteWholeFile(path, "old");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("new", 3);
        EXPECT_EQ(ReadWholeFile(path), "old");
        file.Close();
    }
    EXPECT_EQ(ReadWholeFile(path), "new");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("dropped", 7);
        file.Abort();
    }
    EXPECT_EQ(ReadWholeFile(path), "new");
    try {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("half", 4);
        throw std::runtime_error("export failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadWholeFile(path), "new");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
        file.Write("kept by its end", 15);
    }
    EXPECT_EQ(ReadWholeFile(path), "kept by its end");
    {
        Faults faults({AtomicStep::kRename, false});
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("lost", 4);
        try {
            file.Close();
            ADD_FAILURE() << "a failed replace must throw";
        } catch (CFileException* e) {
            e->Delete();
        }
    }
    EXPECT_EQ(ReadWholeFile(path), "kept by its end");
    EXPECT_EQ(Names(dir), std::set<std::string>{"palette.pal"});
}

}  // namespace

namespace {

// A write cut short by the file-size limit (EFBIG), the way a full disk cuts one short.
void WriteOverTheSizeLimit(CFile& file)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        file.Write("cut short", 9);
    } catch (CFileException* e) {
        threw = true;
        e->Delete();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
}

TEST(AtomicFileCFile, AVersionThatMissedAWriteIsNeverCommitted)
{
    TempDir dir;
    const std::string path = dir.File("table.csv");
    WriteWholeFile(path, "old");
    for (const bool closeExplicitly : {true, false}) {
        SCOPED_TRACE(closeExplicitly ? "closed" : "destroyed");
        {
            CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
            WriteOverTheSizeLimit(file);
            if (closeExplicitly) {
                try {
                    file.Close();
                    ADD_FAILURE() << "closing a version that missed a write must throw";
                } catch (CFileException* e) {
                    e->Delete();
                }
            }
        }
        EXPECT_EQ(ReadWholeFile(path), "old");
        EXPECT_EQ(Names(dir), std::set<std::string>{"table.csv"});
    }
}

}  // namespace
