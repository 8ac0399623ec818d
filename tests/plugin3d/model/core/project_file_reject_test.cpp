// Damaged and crafted project files are refused with a message, never read past their
// end, and never nest deeper than the reader allows.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <random>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_project_stream.h"
#include "tests/plugin3d/model/core/project_test_support.h"
#include "tests/support/test_environment.h"

using namespace kelvora::test;
using tarvenix::test::TempDir;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr char kFormatError[] = "Invalid Kelvora Project file format";
constexpr std::int32_t kMaxInt = std::numeric_limits<std::int32_t>::max();

// A small real file: a tree of four nodes and three objects that refer to each other.
const Bytes& SampleFile()
{
    static const Bytes bytes = [] {
        RegisterProjectTestClasses();
        TempDir dir;
        TOwned<TKTestProject> project(TKTestProject::New());
        project->SetName("Sample");
        project->setting = 9;
        TKDataBranch* a = TKDataBranch::NewNamed("a", 1, TKData::OfKey(3));
        project->tree->AddChild(a)->AddChild(TKDataBranch::NewNamed("a1"));
        project->tree->AddChild(TKDataBranch::NewNamed("b"));
        TKTestLinked* items[3];
        for (auto*& item : items) item = project->Add(TKTestLinked::New());
        for (int i = 0; i < 3; ++i) items[i]->partner = items[(i + 1) % 3];
        const std::string path = dir.File("sample.ktp");
        project->SaveToFile(path);
        return ReadBytes(path);
    }();
    return bytes;
}

// Loads bytes into a fresh project; the message of its failure, "" when it loads.
std::string LoadError(const Bytes& bytes)
{
    TempDir dir;
    const std::string path = dir.File("damaged.ktp");
    WriteBytes(path, bytes);
    return ErrorOf([&] {
        TOwned<TKTestProject> project(TKTestProject::New());
        project->LoadFromFile(path);
    });
}

Bytes WithInt32(std::size_t at, std::int32_t v)
{
    Bytes bytes = SampleFile();
    SetInt32At(bytes, at, v);
    return bytes;
}

Bytes CutAt(std::size_t length)
{
    const Bytes& bytes = SampleFile();
    return Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
}

// An objects block whose data tree nests depth records, one inside the other.
Bytes NestedTreeBlock(int depth, std::int32_t treeClass)
{
    std::vector<std::int64_t> payload(std::size_t(depth) + 1);
    payload[std::size_t(depth)] = 4 + 16;  // the innermost node: no children, then its fields
    for (int level = depth - 1; level >= 1; --level)
        payload[std::size_t(level)] = 4 + 12 + payload[std::size_t(level) + 1] + 16;
    Bytes block;
    for (int level = 1; level <= depth; ++level) {
        PutInt32(block, treeClass);
        PutInt32(block, level);
        PutInt32(block, std::int32_t(payload[std::size_t(level)]));
        PutInt32(block, level == depth ? 0 : 1);
    }
    for (int level = 1; level <= depth; ++level) block.insert(block.end(), 16, 0);  // name, data, tag, flag
    PutInt32(block, 0);                                                             // no items
    return block;
}

struct Reject {
    std::string what;
    std::function<Bytes()> make;
};

void PrintTo(const Reject& r, std::ostream* out)
{
    *out << r.what;
}

// The offset of a block's size field in the sample: D, M, T, H, B.
std::size_t BlockField(int block)
{
    const KtpLayout layout = LayoutOf(SampleFile());
    const std::size_t fields[] = {layout.d, layout.m, layout.t, layout.h, layout.b};
    return fields[block];
}

std::size_t Record(bool last)
{
    const KtpLayout layout = LayoutOf(SampleFile());
    return last ? layout.records.back() : layout.records.at(0);
}

// The table is made when the tests are listed, before any unit runs: each entry makes its
// file only when it runs.
std::vector<Reject> Rejects()
{
    std::vector<Reject> rejects;
    const char* names[] = {"D", "M", "T", "H", "B"};
    for (int block = 0; block < 5; ++block) {
        const std::string name = names[block];
        rejects.push_back({name + " is -1", [block] { return WithInt32(BlockField(block), -1); }});
        rejects.push_back({name + " runs past the end", [block] {
                               const std::size_t at = BlockField(block);
                               return WithInt32(at, std::int32_t(SampleFile().size() - at - 4 + 1));
                           }});
        rejects.push_back({name + " is 2^31 - 1", [block] { return WithInt32(BlockField(block), kMaxInt); }});
        rejects.push_back({"cut inside " + name, [block] {
                               const std::size_t at = BlockField(block);
                               return CutAt(at + 4 + std::size_t(Int32At(SampleFile(), at)) / 2);
                           }});
    }
    rejects.push_back({"cut inside the signature", [] { return CutAt(5); }});
    rejects.push_back({"an empty file", [] { return Bytes{}; }});
    rejects.push_back({"4096 modules", [] {
                           KtpParts parts = PartsOf(SampleFile());
                           parts.modules.clear();
                           PutInt32(parts.modules, 4096);
                           return parts.Bytes();
                       }});
    rejects.push_back({"a version block near 2^31", [] {
                           KtpParts parts = PartsOf(SampleFile());
                           parts.modules.clear();
                           PutInt32(parts.modules, 1);
                           PutInt32(parts.modules, 4 + 1 + 4);  // E: the name "m" and V
                           PutString(parts.modules, "m");
                           PutInt32(parts.modules, kMaxInt - 4);  // V + n + 8 passes 2^31
                           return parts.Bytes();
                       }});
    rejects.push_back({"P is negative", [] { return WithInt32(Record(false) + 8, -1); }});
    rejects.push_back({"P runs past the end", [] {
                           const std::size_t at = Record(true);
                           return WithInt32(at + 8, std::int32_t(SampleFile().size() - at));
                       }});
    rejects.push_back({"object records nested 10,000 deep", [] {
                           KtpParts parts = PartsOf(SampleFile());
                           parts.objects = NestedTreeBlock(10000, Int32At(SampleFile(), Record(false)));
                           return parts.Bytes();
                       }});
    return rejects;
}

class ProjectFileRejects : public ::testing::TestWithParam<Reject> {};

TEST_P(ProjectFileRejects, WithTheFormatError)
{
    EXPECT_EQ(LoadError(GetParam().make()), kFormatError);
}

INSTANTIATE_TEST_SUITE_P(Malformed, ProjectFileRejects, ::testing::ValuesIn(Rejects()), [](const auto& info) {
    std::string name;
    for (char c : info.param.what) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(ProjectFileLimits, TheSampleLoadsAndRecordsNestedToTheLimitToo)
{
    EXPECT_EQ(LoadError(SampleFile()), "");
    KtpParts parts = PartsOf(SampleFile());
    parts.objects = NestedTreeBlock(4000, Int32At(SampleFile(), Record(false)));
    EXPECT_EQ(LoadError(parts.Bytes()), "");
}

TEST(ProjectFileLimits, AClassTreeNested100000DeepLoads)
{
    KtpParts parts = PartsOf(SampleFile());
    parts.classTree.clear();
    constexpr int kDepth = 100000;
    PutClassNode(parts.classTree, 1, 1, 0, "TKObject");
    for (int i = 1; i <= kDepth; ++i) PutClassNode(parts.classTree, i < kDepth ? 1 : 0, 100 + i, 0, "X");
    TempDir dir;
    const std::string path = dir.File("deep.ktp");
    WriteBytes(path, parts.Bytes());
    TOwned<TKTestProject> project(TKTestProject::New());
    project->LoadFromFile(path);
    // No class of the file is known any more: its records are skipped.
    EXPECT_EQ(project->tree, nullptr);
    EXPECT_TRUE(project->items.empty());
    int depth = 0;
    for (TKBranch* node = project->ClassTree(); node->Count() > 0; node = node->GetChild(0)) ++depth;
    EXPECT_EQ(depth, kDepth);
    project->SaveToFile(dir.File("again.ktp"));  // the deep tree is let go for a fresh one
    EXPECT_EQ(project->ClassTree()->Count(), 0);
}

// A class tree of 400,000 children (9 MB of file) is read and let go in steps that grow with
// the children, not with their square.
TEST(ProjectFileLimits, AClassTreeOf400000ChildrenLoadsAndIsLetGo)
{
    KtpParts parts = PartsOf(SampleFile());
    parts.classTree.clear();
    constexpr int kChildren = 400000;
    PutClassNode(parts.classTree, kChildren, 1, 0, "TKObject");
    for (int i = 0; i < kChildren; ++i) PutClassNode(parts.classTree, 0, 100 + i, 0, "Unknown");
    TempDir dir;
    const std::string path = dir.File("wide.ktp");
    WriteBytes(path, parts.Bytes());
    TOwned<TKTestProject> project(TKTestProject::New());
    project->LoadFromFile(path);
    EXPECT_EQ(project->ClassTree()->Count(), kChildren);
    project.reset();
}

TEST(ProjectFileLimits, ANamedPipeOrAFolderIsRefusedSayingWhatItIs)
{
    TempDir dir;
    const std::string pipe = dir.File("pipe.ktp");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    TOwned<TKTestProject> project(TKTestProject::New());
    EXPECT_EQ(ErrorOf([&] { project->LoadFromFile(pipe); }),
              "\"" + pipe + "\" is a named pipe, not a project file");
    EXPECT_EQ(ErrorOf([&] { CreateProjectFromFile(pipe); }),
              "\"" + pipe + "\" is a named pipe, not a project file");
    const std::string folder = dir.Path().string();
    EXPECT_EQ(ErrorOf([&] { project->LoadFromFile(folder); }),
              "\"" + folder + "\" is a folder, not a project file");
}

// Another program cuts the file short while the loader has it mapped: the read survives and
// the load is refused naming the file.
TEST(ProjectFileLimits, AFileCutShortWhileItIsReadIsRefused)
{
    TempDir dir;
    const std::string path = dir.File("cut.ktp");
    Bytes bytes = SampleFile();
    bytes.resize(bytes.size() + 64 * 4096, 0);  // pages enough to lose some
    WriteBytes(path, bytes);
    TOwned<TKProjectStream> stream(TKProjectStream::NewFor(nullptr, nullptr));
    std::int64_t size = 0;
    stream->Open(path, ksmRead, size);
    ASSERT_EQ(size, std::int64_t(bytes.size()));
    stream->CheckNotCut(path);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    std::vector<std::uint8_t> all(static_cast<std::size_t>(size), 1);
    stream->Read(all.data(), static_cast<int>(size));
    EXPECT_EQ(all.back(), 0) << "what is gone reads as zeros";
    EXPECT_EQ(ErrorOf([&] { stream->CheckNotCut(path); }),
              "\"" + path + "\" was cut short by another program while it was read");
}

// Only the reader's own errors may come out of a damaged file.
bool IsProjectFileError(const std::string& message)
{
    auto endsWith = [&](const std::string& tail) {
        return message.size() >= tail.size() &&
               message.compare(message.size() - tail.size(), tail.size(), tail) == 0;
    };
    return message == kFormatError || message == "Invalid String Size" || endsWith("Invalid control sum") ||
           endsWith("Can't load : Invalid Value") || message.find("Can't Load Object \n\r \"") == 0 ||
           message.find("Can't Link As \"") != std::string::npos;
}

TEST(ProjectFileFuzz, DamagedFilesFailWithTheReadersErrorsOnly)
{
    const Bytes& sample = SampleFile();
    const KtpLayout layout = LayoutOf(sample);
    std::vector<std::size_t> sizeFields{layout.d, layout.m, layout.t, layout.h, layout.b, 16};
    for (std::size_t record : layout.records)
        for (std::size_t field = 0; field < 12; field += 4) sizeFields.push_back(record + field);
    const std::int32_t extremes[] = {-1,
                                     0,
                                     1,
                                     kMaxInt,
                                     std::numeric_limits<std::int32_t>::min(),
                                     kMaxInt - 8,
                                     std::int32_t(sample.size()),
                                     0xFFFC,
                                     0xFFFD};

    std::mt19937 random(20240611);
    auto below = [&](std::size_t n) { return std::size_t(random() % std::max<std::size_t>(n, 1)); };
    TempDir dir;
    const std::string path = dir.File("fuzz.ktp");
    int loaded = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = sample;
        const int edits = 1 + int(random() % 3);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            switch (random() % 4) {
                case 0:  // bit flips
                    for (int n = 1 + int(random() % 4); n > 0; --n)
                        bytes[below(bytes.size())] ^= std::uint8_t(1u << (random() % 8));
                    break;
                case 1:  // a cut
                    bytes.resize(below(bytes.size()));
                    break;
                case 2: {  // an insertion
                    Bytes extra(1 + below(16));
                    for (auto& b : extra) b = std::uint8_t(random());
                    bytes.insert(bytes.begin() + std::ptrdiff_t(below(bytes.size() + 1)), extra.begin(),
                                 extra.end());
                    break;
                }
                default: {  // a size field set to an extreme
                    const std::size_t at = sizeFields[below(sizeFields.size())];
                    if (at + 4 <= bytes.size()) SetInt32At(bytes, at, extremes[below(std::size(extremes))]);
                    break;
                }
            }
        }
        // A new file each round: rewriting one in place makes the file system flush it.
        std::filesystem::remove(path);
        WriteBytes(path, bytes);
        const std::string error = ErrorOf([&] {
            TOwned<TKTestProject> project(TKTestProject::New());
            project->LoadFromFile(path);
        });
        if (error.empty()) {
            ++loaded;
            continue;
        }
        ++refused;
        ASSERT_TRUE(IsProjectFileError(error)) << "round " << round << ": " << error;
    }
    EXPECT_GT(refused, 10000);
    EXPECT_GT(loaded, 0);
}

}  // namespace
