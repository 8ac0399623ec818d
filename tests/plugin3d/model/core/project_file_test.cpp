#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"
#include "platform/kernel/atomic_file.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_project_stream.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_threads.h"
#include "tests/plugin3d/model/core/core_test_support.h"
#include "tests/plugin3d/model/core/project_test_support.h"
#include "tests/support/test_environment.h"

using namespace kelvora::test;
using tarvenix::test::TempDir;

namespace {

constexpr char kFormatError[] = "Invalid Kelvora Project file format";

class ProjectFile : public ::testing::Test {
protected:
    void SetUp() override { RegisterProjectTestClasses(); }
    void TearDown() override { platform::SetAtomicFileFaults({}); }

    static TOwned<TKTestProject> NewProject(const std::string& name = "Scene")
    {
        TOwned<TKTestProject> project(TKTestProject::New());
        project->SetName(name);
        return project;
    }
    /// A project with a small tree and two objects that refer to each other.
    static TOwned<TKTestProject> SampleProject()
    {
        TOwned<TKTestProject> project = NewProject();
        project->setting = 42;
        project->tree->AddChild(TKDataBranch::NewNamed("a", 1, TKData::OfKey(5)))
            ->AddChild(TKDataBranch::NewNamed("a1"));
        auto* a = project->Add(TKTestLinked::New());
        auto* b = project->Add(TKTestLinked::New());
        a->SetName("A");
        b->SetName("B");
        a->partner = b;
        b->partner = a;
        a->value = 7;
        return project;
    }
    /// The names of the files in the folder.
    static std::vector<std::string> FilesIn(const TempDir& dir)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir m_dir;
};

TEST_F(ProjectFile, AnEmptyProjectHasTheExactSizeOfItsHeader)
{
    TOwned<TKProject> project(TKProject::New());
    EXPECT_FALSE(project->Modified());
    project->SetName("Empty");
    EXPECT_TRUE(project->Modified());  // every change marks it
    EXPECT_EQ(project->VersionMajor(), 1);
    EXPECT_EQ(project->VersionMinor(), 0);
    EXPECT_EQ(project->Description(), "This project is empty");
    const std::string path = m_dir.File("empty.ktp");
    project->SaveToFile(path);

    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    const std::size_t d = 4 + 21, m = 4, t = 16 + 8;  // description, module count, root node
    ASSERT_EQ(bytes.size(), 36 + 9 + 5 + d + m + t + 8 + 0 + 0);
    const KtpParts parts = PartsOf(bytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("KELVORA\0", 8));
    EXPECT_EQ(parts.classPath, "TKProject");
    EXPECT_EQ(parts.name, "Empty");
    std::vector<std::uint8_t> expectedTree;
    PutClassNode(expectedTree, 0, 1, 0, "TKObject");
    EXPECT_EQ(parts.classTree, expectedTree);
    EXPECT_EQ(parts.modules, std::vector<std::uint8_t>(4, 0));
    EXPECT_TRUE(parts.header.empty());
    EXPECT_TRUE(parts.objects.empty());
    EXPECT_EQ(project->FileName(), "");

    TOwned<TKProject> loaded(TKProject::New());
    loaded->SetDescription("changed");
    loaded->LoadFromFile(path);
    EXPECT_EQ(loaded->Name(), "Empty");
    EXPECT_EQ(loaded->Description(), "This project is empty");
    EXPECT_EQ(loaded->Modules()->Count(), 0);
    EXPECT_EQ(loaded->ClassTree()->Tag(), 0);
}

TEST_F(ProjectFile, ABadSignatureFailsAtOnce)
{
    const std::string path = m_dir.File("bad.ktp");
    SampleProject()->SaveToFile(path);
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    bytes[6] = 'B';
    WriteBytes(path, bytes);
    EXPECT_EQ(ErrorOf([&] { NewProject()->LoadFromFile(path); }), kFormatError);
    EXPECT_EQ(ErrorOf([&] { TOwned<TKProject>(CreateProjectFromFile(path)); }), kFormatError);
    WriteBytes(path, {'K', 'E', 'L'});
    EXPECT_EQ(ErrorOf([&] { TOwned<TKProject>(CreateProjectFromFile(path)); }), kFormatError);
}

TEST_F(ProjectFile, ProjectClassesResolveFromTheirPath)
{
    const TClass base = TKProject::StaticClass(), test = TKTestProject::StaticClass();
    EXPECT_EQ(ClassPathOf(base), "TKProject");
    EXPECT_EQ(ClassPathOf(test), "TKProject.TKTestProject");
    EXPECT_EQ(ClassPathOf(TKTestLinked::StaticClass()), "");
    const std::pair<const char*, TClass> cases[] = {
        {"TKProject", base},
        {"tkPROJECT", base},
        {"TKProject.TKTestProject", test},
        {"tkproject.tktestproject", test},
        {"TKProject.TKNotRegistered", base},  // the nearest known ancestor
        {"TKProject.TKTestProject.TKNotRegistered", test},
        {"TKProjectX", nullptr},
        {"TKProject.", nullptr},
        {"TKProj", nullptr},
        {"", nullptr},
    };
    for (const auto& [path, cls] : cases) EXPECT_EQ(ResolveProjectClass(path), cls) << path;

    const std::string file = m_dir.File("sample.ktp");
    SampleProject()->SaveToFile(file);
    TOwned<TKProject> created(CreateProjectFromFile(file));
    ASSERT_NE(ObjectAs<TKTestProject>(created.get()), nullptr);
    EXPECT_TRUE(static_cast<TKTestProject*>(created.get())->items.empty());

    // A file of a project class this program does not know opens as the nearest one.
    KtpParts parts = PartsOf(ReadBytes(file));
    parts.classPath = "TKProject.TKFutureProject";
    WriteBytes(file, parts.Bytes());
    TOwned<TKProject> fallback(CreateProjectFromFile(file));
    EXPECT_EQ(fallback->ClassType(), base);
    parts.classPath = "TKProjectX";
    WriteBytes(file, parts.Bytes());
    EXPECT_EQ(ErrorOf([&] { TOwned<TKProject>(CreateProjectFromFile(file)); }), kFormatError);
}

TEST_F(ProjectFile, ARecordOfAnUnknownClassIsSkippedAndLinksToNil)
{
    TOwned<TKTestProject> project = NewProject();
    auto* known = project->Add(TKTestLinked::New());
    auto* unknown = project->Add(TKTestUnlisted::New());
    known->partner = unknown;
    unknown->partner = known;
    known->value = 3;
    const std::string path = m_dir.File("unknown.ktp");
    project->SaveToFile(path);

    TOwned<TKTestProject> loaded = NewProject("other");
    loaded->LoadFromFile(path);
    ASSERT_EQ(loaded->items.size(), 1u);
    auto* item = ObjectAs<TKTestLinked>(loaded->items[0]);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->ClassType(), TKTestLinked::StaticClass());
    EXPECT_EQ(item->value, 3);
    EXPECT_EQ(item->partner, nullptr);
}

TEST_F(ProjectFile, AnObjectReportingOneByteMoreFailsWithTheControlSumOfTheProject)
{
    const std::string path = m_dir.File("keep.ktp");
    tarvenix::test::WriteWholeFile(path, "the previous file");
    TOwned<TKTestProject> project = NewProject("Scene");
    auto* faulty = project->Add(TKTestFaulty::New());
    faulty->fault = Fault::ReportsOneByteMore;
    const std::string expected = Format(
        "TKProject.TKTestProject\n\rScene\n\rObject [%p] ( Type - TKTestFaulty )\n\r"
        "Invalid control sum",
        static_cast<const void*>(faulty));
    EXPECT_EQ(ErrorOf([&] { project->SaveToFile(path); }), expected);
    EXPECT_EQ(tarvenix::test::ReadWholeFile(path), "the previous file");
    EXPECT_EQ(FilesIn(m_dir), std::vector<std::string>{"keep.ktp"});
    EXPECT_EQ(project->FileName(), "");
    EXPECT_EQ(project->Flags() & kofSaving, 0u);
}

// Checks that the trees hold the same names, keys, tags and flags in the same shape.
void ExpectSameTree(TKDataBranch* a, TKDataBranch* b)
{
    std::vector<std::pair<TKDataBranch*, TKDataBranch*>> pending{{a, b}};
    int compared = 0;
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        ASSERT_EQ(x->Name(), y->Name());
        ASSERT_EQ(x->Data(), y->Data()) << x->Name();
        ASSERT_EQ(x->Tag(), y->Tag()) << x->Name();
        ASSERT_EQ(x->Flag(), y->Flag()) << x->Name();
        ASSERT_EQ(x->Count(), y->Count()) << x->Name();
        for (int i = 0; i < x->Count(); ++i) pending.emplace_back(x->DataChild(i), y->DataChild(i));
        ++compared;
    }
    EXPECT_EQ(compared, 10001);
}

TEST_F(ProjectFile, ALargeProjectComesBackExactlyAndSavesToTheSameBytes)
{
    TOwned<TKTestProject> project = SampleProject();
    project->tree->SetCount(0);
    std::vector<TKDataBranch*> nodes{project->tree};
    for (int i = 1; i <= 10000; ++i) {
        TKDataBranch* node =
            TKDataBranch::NewNamed("node " + std::to_string(i), std::uint8_t(i % 7), TKData::OfKey(i * 13));
        node->SetTag(5000 - i);
        nodes[std::size_t((i - 1) / 3)]->AddChild(node);
        nodes.push_back(node);
    }
    std::vector<TKTestLinked*> ring;
    for (int i = 0; i < 40; ++i) {
        ring.push_back(project->Add(TKTestLinked::New()));
        ring.back()->value = i;
    }
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i]->partner = ring[(i + 7) % ring.size()];
    ring[3]->partner = ring[3];
    ring[4]->partner = nullptr;
    const std::string first = m_dir.File("first.ktp"), second = m_dir.File("second.ktp");
    project->SaveToFile(first);
    EXPECT_EQ(project->ClassTree()->Tag(), 10001 + 42);

    TOwned<TKTestProject> loaded = NewProject("fresh");
    loaded->LoadFromFile(first);
    EXPECT_EQ(loaded->Name(), "Scene");
    EXPECT_EQ(loaded->setting, 42);
    ExpectSameTree(project->tree, loaded->tree);
    ASSERT_EQ(loaded->items.size(), project->items.size());
    auto indexOf = [](const TKTestProject& p, const TObject* o) {
        return std::find(p.items.begin(), p.items.end(), o) - p.items.begin();
    };
    for (std::size_t i = 0; i < project->items.size(); ++i) {
        auto* was = static_cast<TKTestLinked*>(project->items[i]);
        auto* now = static_cast<TKTestLinked*>(loaded->items[i]);
        EXPECT_EQ(now->Name(), was->Name());
        EXPECT_EQ(now->value, was->value);
        if (was->partner)
            EXPECT_EQ(indexOf(*loaded, now->partner), indexOf(*project, was->partner)) << i;
        else
            EXPECT_EQ(now->partner, nullptr);
    }

    loaded->SaveToFile(second);
    EXPECT_EQ(ReadBytes(first), ReadBytes(second));
}

// A save writes in order but for record heads, which go back over their records: every byte
// must land where it was aimed whether it falls in the write window, behind it, across its
// ends or is larger than it, and bytes never written stay zero.
TEST_F(ProjectFile, WritesLandWhereTheyWereAimedWhereverTheWindowStands)
{
    constexpr std::int64_t W = TKProjectStream::kWindowBytes;
    struct Piece {
        std::int64_t at;
        std::int64_t bytes;
    };
    struct Case {
        const char* what;
        std::int64_t size;
        std::vector<Piece> pieces;
    };
    std::vector<Case> cases = {
        {"records with their heads after them, all in the window",
         4096,
         {{12, 100}, {0, 12}, {124, 500}, {112, 12}, {636, 3000}, {624, 12}}},
        {"a record larger than the window, its head behind it",
         3 * W,
         {{0, 64}, {76, 2 * W}, {64, 12}, {76 + 2 * W, 100}}},
        {"a write across the window's end", 2 * W, {{0, W - 10}, {W - 10, 30}, {W + 20, 50}}},
        {"a head across the window's start", 3 * W, {{0, W}, {W + 8, 40}, {W + 48, W}, {W - 4, 16}}},
        {"bytes skipped before and past the window stay zero",
         4 * W,
         {{100, 10}, {W / 2, 10}, {3 * W, 64}, {2 * W, 8}}},
    };
    // And a seeded walk of writes anywhere, backwards and forwards, small and large.
    Case walk{"a seeded walk", 5 * W, {}};
    std::uint64_t seed = 0x2545F4914F6CDD1Dull;
    auto next = [&](std::uint64_t bound) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return std::int64_t(seed % bound);
    };
    for (int i = 0; i < 300; ++i) {
        const std::int64_t bytes = i % 25 == 0 ? 1 + next(std::uint64_t(W * 3 / 2)) : 1 + next(5000);
        walk.pieces.push_back({next(std::uint64_t(walk.size - bytes + 1)), bytes});
    }
    cases.push_back(walk);

    const std::string path = m_dir.File("pieces.bin");
    int n = 0;
    // Each case twice: in the window the process keeps for its saves, which holds what the
    // case before left there, and in a window of its own while another save holds that one.
    for (const bool keptInUse : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(keptInUse ? "another save holds the kept window" : "the kept window");
            TOwned<TKProjectStream> other;
            std::int64_t otherSize = 2 * W;
            if (keptInUse) {
                other.reset(TKProjectStream::NewFor(nullptr, nullptr));
                other->Open(m_dir.File("other.bin"), ksmCreate, otherSize);
                other->Write("other", 5);
            }
            std::vector<std::uint8_t> expected(std::size_t(c.size), 0);
            TOwned<TKProjectStream> stream(TKProjectStream::NewFor(nullptr, nullptr));
            std::int64_t size = c.size;
            stream->Open(path, ksmCreate, size);
            for (const Piece& piece : c.pieces) {
                std::vector<std::uint8_t> bytes(std::size_t(piece.bytes));
                for (std::size_t k = 0; k < bytes.size(); ++k)
                    bytes[k] = std::uint8_t(1 + (k * 7 + std::size_t(++n)) % 251);
                std::copy(bytes.begin(), bytes.end(), expected.begin() + piece.at);
                stream->SetPosition(piece.at);
                stream->Write(bytes.data(), int(bytes.size()));
                EXPECT_EQ(stream->GetPosition(), piece.at + piece.bytes);
            }
            stream->Commit();
            stream->Close();
            EXPECT_TRUE(ReadBytes(path) == expected) << c.what;
            if (other) {
                other->Commit();
                std::vector<std::uint8_t> otherBytes(std::size_t(otherSize), 0);
                std::memcpy(otherBytes.data(), "other", 5);
                EXPECT_TRUE(ReadBytes(m_dir.File("other.bin")) == otherBytes);
            }
        }
}

TEST_F(ProjectFile, AProjectTooLargeForTheFilesSizeFieldsFailsBeforeAnythingIsWritten)
{
    const std::string path = m_dir.File("scene.ktp");
    tarvenix::test::WriteWholeFile(path, "the previous file");
    TOwned<TKTestProject> project = SampleProject();
    project->claimedHeader = 0x7FFFFF00;  // with the rest, more than 2^31 - 1 bytes
    EXPECT_EQ(ErrorOf([&] { project->SaveToFile(path); }),
              Format("Object [%p] ( Type - TKTestProject )\n\rCan't save : Invalid Value",
                     static_cast<const void*>(project.get())));
    EXPECT_EQ(tarvenix::test::ReadWholeFile(path), "the previous file");
    EXPECT_EQ(FilesIn(m_dir), std::vector<std::string>{"scene.ktp"});
}

TEST_F(ProjectFile, FindProjectOfAsksEveryProject)
{
    TOwned<TKTestProject> first = NewProject(), second = SampleProject();
    TOwned<TKTestLinked> stranger(TKTestLinked::New());
    EXPECT_EQ(FindProjectOf(second->items[1]), second.get());
    EXPECT_EQ(FindProjectOf(stranger.get()), nullptr);
    EXPECT_EQ(FindProjectOf(nullptr), nullptr);
}

// Records the status texts a thread reports and how its job ended.
class ThreadReports {
public:
    explicit ThreadReports(TKThread& thread) : m_thread(thread)
    {
        thread.Events().Add(TKEventHandler::Of<&ThreadReports::OnEvent>(this));
    }
    ~ThreadReports() { m_thread.Events().Remove(TKEventHandler::Of<&ThreadReports::OnEvent>(this)); }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    /// The state the job ended in (done, failed or cancelled); waits for it.
    int EndState()
    {
        int state = -1;
        WaitUntil([&] {
            std::lock_guard lock(m_mutex);
            for (int s : m_states)
                if (s >= ktsDone) state = s;
            return state >= 0;
        });
        return state;
    }

private:
    void OnEvent(TObject*, int code, std::intptr_t)
    {
        std::lock_guard lock(m_mutex);
        if (code == ktevStatus) m_texts.push_back(m_thread.StatusText());
        if (code == ktevState) m_states.push_back(m_thread.State());
    }
    TKThread& m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::vector<int> m_states;
};

struct FailedSave {
    const char* what;
    Fault fault;
    bool diskFull;
    int state;  ///< how the job ends
};

void PrintTo(const FailedSave& c, std::ostream* out)
{
    *out << c.what;
}

class FailedSaves : public ProjectFile, public ::testing::WithParamInterface<std::tuple<FailedSave, bool>> {};

// A save that fails in any way leaves the previous file as it was and nothing beside it.
TEST_P(FailedSaves, KeepThePreviousFileAndLeaveNoTemporary)
{
    const auto [c, namedTemporary] = GetParam();
    platform::SetAtomicFileFaults(
        {c.diskFull ? platform::AtomicStep::kWrite : platform::AtomicStep::kNone, namedTemporary});
    const std::string path = m_dir.File("scene.ktp");
    tarvenix::test::WriteWholeFile(path, "the previous file");
    TOwned<TKTestProject> project = SampleProject();
    project->Add(TKTestFaulty::New())->fault = c.fault;

    TOwned<TKThread> thread(TKThread::New());
    ThreadReports reports(*thread);
    thread->Execute(false, TKThreadParams::NewWith(path.data(), int(path.size())),
                    TKJob::Of<&TKProject::SaveProject>(project.get()));
    EXPECT_EQ(reports.EndState(), c.state);
    EXPECT_EQ(tarvenix::test::ReadWholeFile(path), "the previous file");
    EXPECT_EQ(FilesIn(m_dir), std::vector<std::string>{"scene.ktp"});
    EXPECT_EQ(project->FileName(), "");
    EXPECT_EQ(project->Sizes(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    ProjectFile, FailedSaves,
    ::testing::Combine(
        ::testing::Values(FailedSave{"an object throws while writing", Fault::ThrowsWhileWriting, false,
                                     ktsFailed},
                          FailedSave{"the user breaks the job", Fault::StopsItsJob, false, ktsCancelled},
                          FailedSave{"the disk cannot hold the file", Fault::None, true, ktsFailed}),
        ::testing::Bool()));

TEST_F(ProjectFile, AReadOnlyFileLoadsAndIsNeverWritten)
{
    const std::string path = m_dir.File("locked.ktp");
    SampleProject()->SaveToFile(path);
    const std::vector<std::uint8_t> before = ReadBytes(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

    TOwned<TKTestProject> loaded = NewProject("fresh");
    loaded->LoadFromFile(path);
    EXPECT_EQ(loaded->items.size(), 2u);
    TOwned<TKProject> created(CreateProjectFromFile(path));
    EXPECT_NE(created, nullptr);

    TOwned<TKProjectStream> stream(TKProjectStream::NewFor(loaded.get(), nullptr));
    std::int64_t size = 0;
    stream->Open(path, ksmRead, size);
    EXPECT_EQ(size, std::int64_t(before.size()));
    EXPECT_EQ(ErrorOf([&] { stream->Write("x", 1); }), kFormatError);
    stream->Close();
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ErrorOf([&] { loaded->LoadFromFile(m_dir.File("missing.ktp")); }).empty(), false);
}

TEST_F(ProjectFile, ASaveAndALoadOnAThreadReportTheirStepsAndOneStepPerRecord)
{
    const std::string path = m_dir.File("threaded.ktp");
    TOwned<TKTestProject> project = SampleProject();  // 3 tree nodes and 2 items: 5 records
    TOwned<TKThread> thread(TKThread::New());
    {
        ThreadReports reports(*thread);
        thread->Execute(false, TKThreadParams::NewWith(path.data(), int(path.size())),
                        TKJob::Of<&TKProject::SaveProject>(project.get()));
        EXPECT_EQ(reports.EndState(), ktsDone);
        EXPECT_EQ(reports.Texts(),
                  (std::vector<std::string>{"Starting Save Project ...", "Save Project Preparation ...",
                                            "Save Project Header ...", "Save Project Objects Header ...",
                                            "Save Project Objects ...", "Finishing Save Project ..."}));
        EXPECT_EQ(thread->ProgressMax(), 5);
        EXPECT_EQ(thread->ProgressPos(), 5);
    }
    TOwned<TKTestProject> loaded = NewProject("fresh");
    ThreadReports reports(*thread);
    thread->Execute(false, TKThreadParams::NewWith(path.data(), int(path.size())),
                    TKJob::Of<&TKProject::LoadProject>(loaded.get()));
    EXPECT_EQ(reports.EndState(), ktsDone);
    EXPECT_EQ(thread->ProgressPos(), 5);
    EXPECT_EQ(reports.Texts(),
              (std::vector<std::string>{"Starting Load Project ...", "Load Project Header ...",
                                        "Load Project Objects Header ...", "Load Project Objects ...",
                                        "Finishing Load Project ..."}));
    EXPECT_EQ(loaded->items.size(), 2u);
}

}  // namespace

namespace {

// Objects of this class hear in their Init whether a load is making them
// (TakeLoadConstruction); one made without an owner makes a second one inside its own Init.
class TKTestMarked : public TKTestLinked {
    DECLARE_TCLASS(TKTestMarked)

    void Init() override
    {
        TKTestLinked::Init();
        markedByLoad = TakeLoadConstruction(ClassType());
        if (!Owner()) inner.reset(static_cast<TKTestMarked*>(StaticClass()->Construct(this)));
    }

    bool markedByLoad = false;
    TOwned<TKTestMarked> inner;

protected:
    TKTestMarked() = default;
};
IMPLEMENT_TCLASS(TKTestMarked, TKTestLinked)

}  // namespace

// A stored name that reads as the object's default name ("<class name> <number>") is kept
// as a name still to be made; every name must still read and save as the same text, also at
// the edges of the numbers and for names that only nearly read as default names.
TEST_F(ProjectFile, StoredNamesComeBackAsTheyWereAndSaveToTheSameBytes)
{
    const std::vector<std::string> names = {
        "TKTestLinked 0", "TKTestLinked 7", "TKTestLinked 9", "TKTestLinked 10", "TKTestLinked 99",
        "TKTestLinked 100", "TKTestLinked 999", "TKTestLinked 1000", "TKTestLinked 9999",
        "TKTestLinked 10000", "TKTestLinked 99999", "TKTestLinked 100000", "TKTestLinked 123456789",
        "TKTestLinked 9999999999999999999", "TKTestLinked 10000000000000000000",
        "TKTestLinked 18446744073709551615",
        // Not default names: out of range, other spellings of a number, other classes.
        "TKTestLinked 18446744073709551616", "TKTestLinked 99999999999999999999", "TKTestLinked 007",
        "TKTestLinked 00", "TKTestLinked +5", "TKTestLinked -5", "TKTestLinked 5 ", "TKTestLinked  5",
        "TKTestLinked 5x", "TKTestLinked 0x5", "TKTestLinked ", "TKTestLinked", "TKTestLinke 5",
        "TKTestLinkedX 5", "tktestlinked 5", "TKTestMarked 5", "", "B"};
    TOwned<TKTestProject> project = NewProject();
    for (const std::string& name : names) project->Add(TKTestLinked::New())->SetName(name);
    // And objects never named, whose default names were never made.
    for (int i = 0; i < 3; ++i) project->Add(TKTestLinked::New());
    const std::string first = m_dir.File("names.ktp"), second = m_dir.File("names-again.ktp");
    project->SaveToFile(first);

    TOwned<TKTestProject> loaded = NewProject("fresh");
    loaded->LoadFromFile(first);
    ASSERT_EQ(loaded->items.size(), project->items.size());
    for (std::size_t i = 0; i < project->items.size(); ++i) {
        auto* was = static_cast<TKTestLinked*>(project->items[i]);
        auto* now = static_cast<TKTestLinked*>(loaded->items[i]);
        EXPECT_EQ(now->Name(), was->Name()) << i;
    }
    loaded->SaveToFile(second);
    EXPECT_EQ(ReadBytes(first), ReadBytes(second));

    // A name kept as a default name is a name like any other once it is asked for or changed.
    TOwned<TKTestProject> again = NewProject("again");
    again->LoadFromFile(first);
    auto* renamed = static_cast<TKTestLinked*>(again->items[1]);
    EventLog log;
    renamed->Events().Add(log.Handler());
    renamed->SetName("TKTestLinked 7");  // the same text: no event
    EXPECT_TRUE(log.Codes().empty());
    renamed->SetName("TKTestLinked 8");
    EXPECT_EQ(log.Codes(), (std::vector<int>{kevChangeBegins, kevNameChanged, kevChangeEnds}));
    renamed->Events().Remove(log.Handler());
    EXPECT_EQ(renamed->Name(), "TKTestLinked 8");
}

// A default name still to be made is written as its text straight into the write window, or
// through a buffer where it would cross the window's end: either way the bytes are those of
// the same text stored as a name.
TEST_F(ProjectFile, DefaultNamesSaveAsTheNamesMadeOfThemWhereverTheWindowStands)
{
    TOwned<TKTestProject> project = NewProject();
    // Records of about 40 bytes: the objects cross the write window's end twice.
    const int count = int(2 * TKProjectStream::kWindowBytes / 40) + 500;
    for (int i = 0; i < count; ++i) project->Add(TKTestLinked::New())->value = i;
    const std::string unmade = m_dir.File("unmade.ktp"), made = m_dir.File("made.ktp");
    project->SaveToFile(unmade);
    // The same texts stored as names of their own: renamed away and back.
    for (TKObject* item : project->items) {
        auto* linked = static_cast<TKTestLinked*>(item);
        const std::string name = linked->Name();
        linked->SetName("renamed");
        linked->SetName(name);
    }
    project->SaveToFile(made);
    const std::vector<std::uint8_t> bytes = ReadBytes(unmade);
    EXPECT_GT(bytes.size(), std::size_t(2 * TKProjectStream::kWindowBytes));
    EXPECT_EQ(bytes, ReadBytes(made));
}

// Objects of classes with names of other lengths in turn: each default name is written with
// its own class's name, also where the class changes from one record to the next.
TEST_F(ProjectFile, DefaultNamesOfClassesInTurnSaveAsTheNamesMadeOfThem)
{
    TOwned<TKTestProject> project = NewProject();
    for (int run : {1, 3, 1, 2, 5}) {
        for (int i = 0; i < run; ++i) project->Add(TKTestLinked::New());
        for (int i = 0; i < run; ++i) project->Add(TKTestMarked::New());
        project->Add(TKTestUnlisted::New());
    }
    const std::string unmade = m_dir.File("unmade.ktp"), made = m_dir.File("made.ktp");
    project->SaveToFile(unmade);
    for (TKObject* item : project->items) {
        auto* linked = static_cast<TKTestLinked*>(item);
        const std::string name = linked->Name();
        EXPECT_EQ(name.substr(0, name.find(' ')), linked->ClassName());
        linked->SetName("renamed");
        linked->SetName(name);
    }
    project->SaveToFile(made);
    EXPECT_EQ(ReadBytes(unmade), ReadBytes(made));
}

// Saves share the write windows the process keeps; a save that finds them taken by a save on
// another thread writes through windows of its own. Either way each file gets its own bytes.
TEST_F(ProjectFile, SavesOnTwoThreadsAtOnceWriteTheirOwnBytes)
{
    TOwned<TKTestProject> projects[2] = {NewProject("first"), NewProject("second")};
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < 30000 * (p + 1); ++i) projects[p]->Add(TKTestLinked::New())->value = i * (p + 2);
    std::vector<std::uint8_t> expected[2];
    for (int p = 0; p < 2; ++p) {
        const std::string path = m_dir.File("alone" + std::to_string(p) + ".ktp");
        projects[p]->SaveToFile(path);
        expected[p] = ReadBytes(path);
    }
    std::vector<std::thread> savers;
    bool same[2] = {true, true};
    for (int p = 0; p < 2; ++p)
        savers.emplace_back([&, p] {
            const std::string path = m_dir.File("together" + std::to_string(p) + ".ktp");
            for (int round = 0; round < 4; ++round) {
                projects[p]->SaveToFile(path);
                same[p] = same[p] && ReadBytes(path) == expected[p];
            }
        });
    for (std::thread& saver : savers) saver.join();
    EXPECT_TRUE(same[0]);
    EXPECT_TRUE(same[1]);
}

// Whatever a load makes is marked for TakeLoadConstruction once, in the object's own Init:
// objects made inside that Init, and objects made outside a load, are not; the same holds for
// a record read straight from a stream, outside a project load.
TEST_F(ProjectFile, ALoadMarksTheObjectsItMakesAndNoOthers)
{
    struct Registered {
        Registered() { RegisterClassBranch(TKTestMarked::StaticClass()); }
        ~Registered() { UnregisterClassBranch(TKTestMarked::StaticClass()); }
    } registered;
    TOwned<TKTestProject> project = NewProject();
    auto* made = project->Add(TKTestMarked::New());
    EXPECT_FALSE(made->markedByLoad);
    ASSERT_NE(made->inner, nullptr);
    EXPECT_FALSE(made->inner->markedByLoad);
    project->Add(TKTestMarked::New());
    const std::string path = m_dir.File("marked.ktp");
    project->SaveToFile(path);

    TOwned<TKTestProject> loaded = NewProject("fresh");
    loaded->LoadFromFile(path);
    ASSERT_EQ(loaded->items.size(), 2u);
    for (TKObject* item : loaded->items) {
        auto* marked = static_cast<TKTestMarked*>(item);
        EXPECT_TRUE(marked->markedByLoad);
        ASSERT_NE(marked->inner, nullptr);
        EXPECT_FALSE(marked->inner->markedByLoad);
    }
    TOwned<TKTestMarked> after(TKTestMarked::New());
    EXPECT_FALSE(after->markedByLoad);

    // The first item's record, read by itself through a stream of the file.
    const KtpLayout layout = LayoutOf(ReadBytes(path));
    ASSERT_GE(layout.records.size(), 2u);
    TOwned<TKProjectStream> stream(TKProjectStream::NewFor(loaded.get(), nullptr));
    std::int64_t size = 0;
    stream->Open(path, ksmRead, size);
    stream->SetPosition(std::int64_t(layout.records[layout.records.size() - 2]));
    TKObject* read = nullptr;
    stream->ReadObject(read, TKTestMarked::StaticClass());
    TOwned<TKObject> owned(read);
    ASSERT_NE(ObjectAs<TKTestMarked>(read), nullptr);
    EXPECT_TRUE(static_cast<TKTestMarked*>(read)->markedByLoad);
    EXPECT_FALSE(static_cast<TKTestMarked*>(read)->inner->markedByLoad);
}
