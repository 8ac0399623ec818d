// The tool frame on a small tool of the test's own: two inputs, an output, a check of its
// own and a job that writes a tiny layer. What differs between tools comes from the policy,
// so each row says which policy it runs under.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/common/tool_dlg.h"
#include "outside/basecore/cmeter_info.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/progress_window.h"
#include "outside/basecore/settings.h"
#include "platform/resources/module_resources.h"
#include "tests/support/layer_files.h"
#include "tests/support/modal_responder.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using tarvenix::test::MessageBoxesAsked;
using tarvenix::test::ProgressWindowsOpen;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;
using tarvenix::test::TopLevelOf;
using tarvenix::test::WriteLayer;

// ---- the fake tool ------------------------------------------------------------------------

constexpr UINT IDD_FAKE = 58900;
constexpr UINT IDD_FAKE_OTHER = 58901;  // tools of their own, for the pickers' folders
constexpr UINT IDD_FAKE_THIRD = 58902;
constexpr int IDC_FAKE_FIRST = 58901;
constexpr int IDC_FAKE_SECOND = 58902;
constexpr int IDC_FAKE_OUTPUT = 58903;
constexpr int IDC_FAKE_HELP = 58904;

enum : UINT {
    IDS_FAKE_CAPTION = 58910,
    IDS_FAKE_TITLE,
    IDS_FAKE_NEED_FIRST,
    IDS_FAKE_NEED_OUTPUT,
    IDS_FAKE_BAD_TYPE,
    IDS_FAKE_NARROW,
    IDS_FAKE_OWN_REFUSAL,
    IDS_FAKE_HELP,
};

constexpr platform::StringEntry kStrings[] = {
    {IDS_FAKE_CAPTION, "Fake tool: Error"},
    {IDS_FAKE_TITLE, "Fake tool"},
    {IDS_FAKE_NEED_FIRST, "Choose the first file."},
    {IDS_FAKE_NEED_OUTPUT, "Choose the output file."},
    {IDS_FAKE_BAD_TYPE, "The first file must hold floats."},
    {IDS_FAKE_NARROW, "The first file is too narrow."},
    {IDS_FAKE_OWN_REFUSAL, "The tool refuses this pair."},
    {IDS_FAKE_HELP, "fake_tool.htm"},
};

constexpr DWORD kPicker = SS_LEFT;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr platform::DialogControl kControls[] = {
    {"Static", "", IDC_FAKE_FIRST, 6, 6, 171, 35, kPicker},
    {"Static", "", IDC_FAKE_SECOND, 6, 46, 171, 35, kPicker},
    {"Static", "", IDC_FAKE_OUTPUT, 6, 86, 171, 25, kPicker},
    {"Button", "Help", IDC_FAKE_HELP, 6, 116, 54, 14, kPush},
    {"Button", "Execute", IDOK, 66, 116, 54, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"Button", "Close", IDCANCEL, 126, 116, 54, 14, kPush},
};
constexpr platform::DialogTemplate kDialogs[] = {
    {IDD_FAKE, "Fake tool", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8, 0, 0, 184, 136,
     kControls},
    {IDD_FAKE_OTHER, "Other fake tool", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8, 0, 0, 184,
     136, kControls},
    {IDD_FAKE_THIRD, "Third fake tool", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, "MS Sans Serif", 8, 0, 0, 184,
     136, kControls},
};
constexpr platform::ModuleResources kResources{
    .module = "fake tool", .strings = kStrings, .dialogs = kDialogs};
const platform::ModuleResourceRegistration kRegistration(kResources);

CString FakeText(UINT id)
{
    CString text;
    platform::FindString(id, text);
    return text;
}

/// What the fake job was given.
struct FakeRecord {
    CString first, second, output;
};
std::mutex g_jobsLock;
std::vector<FakeRecord> g_jobs;

void FakeJob(void* arg, CMeterInfo*)
{
    std::unique_ptr<FakeRecord> record(static_cast<FakeRecord*>(arg));
    WriteLayer(std::string(record->output), 4, 3, int(DataType::F32), std::vector<double>(12, 1.0));
    const std::lock_guard lock(g_jobsLock);
    g_jobs.push_back(*record);
}

CString NarrowRefusal(const CInFileCtrl& picker)
{
    return picker.Width() < 4 ? FakeText(IDS_FAKE_NARROW) : CString();
}

class CFakeToolDlg : public CToolDlg {
public:
    static constexpr UINT IDD = IDD_FAKE;
    explicit CFakeToolDlg(const ToolPolicy& policy, UINT templateId = IDD)
        : CToolDlg(templateId, policy,
                   {{.id = IDC_FAKE_FIRST,
                     .emptyText = IDS_FAKE_NEED_FIRST,
                     .admitted = {DataType::F32, DataType::F64},
                     .badTypeText = IDS_FAKE_BAD_TYPE,
                     .check = NarrowRefusal},
                    {.id = IDC_FAKE_SECOND}},
                   {.id = IDC_FAKE_OUTPUT, .emptyText = IDS_FAKE_NEED_OUTPUT})
    {
    }
    bool refuseOwn = false;

protected:
    bool CheckParameters(const ToolPaths&) override { return !refuseOwn || Refuse(IDS_FAKE_OWN_REFUSAL); }
    ToolJob MakeJob(const ToolPaths& paths) override
    {
        return MakeToolJob(
            FakeJob, std::make_unique<FakeRecord>(FakeRecord{paths.Input(0), paths.Input(1), paths.output}));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFakeToolDlg, CToolDlg)
    ON_BN_CLICKED(IDC_FAKE_HELP, OnButtonHelp)
END_MESSAGE_MAP()

struct PolicyBits {
    bool ask = false, mustExist = false, titleOutput = false, blank = false, presets = false, help = true;
};

ToolPolicy PolicyOf(PolicyBits b)
{
    return {.text = FakeText,
            .errorCaption = IDS_FAKE_CAPTION,
            .titleText = IDS_FAKE_TITLE,
            .titleNames = b.titleOutput ? TitleNames::Output : TitleNames::Input,
            .blankAfterColon = b.blank,
            .askBeforeOverwrite = b.ask,
            .inputMustExist = b.mustExist,
            .presetFolders = b.presets,
            .helpTopic = b.help ? IDS_FAKE_HELP : 0u};
}

CInFileCtrl* Picker(CWnd* d, int id)
{
    return dynamic_cast<CInFileCtrl*>(d->GetDlgItem(id));
}

/// A file handed to a picker as its browse button does, without the file dialog.
void Choose(CWnd* d, int id, const std::string& path)
{
    Picker(d, id)->SetPathName(path.c_str());
    d->SendMessage(WM_INFILECTRL_CHOSEN, WPARAM(id), 0);
}

class ToolFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::lock_guard lock(g_jobsLock);
        g_jobs.clear();
    }
    void TearDown() override
    {
        for (auto* d : TopLevelOf<CToolDlg>()) d->SendMessage(WM_COMMAND, IDCANCEL);
        EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0 && ProgressWindowsOpen().empty(); }));
        EXPECT_TRUE(TopLevelOf<CToolDlg>().empty());
        PumpEvents();
        ::SendMessage(HWND_BROADCAST, ::RegisterWindowMessage("Tarvenix - Viewer Control Message"), 1, 0);
        PumpEvents();
    }
    static CFakeToolDlg* Open(PolicyBits bits, UINT templateId = IDD_FAKE)
    {
        auto* d = new CFakeToolDlg(PolicyOf(bits), templateId);
        EXPECT_TRUE(d->Create(nullptr));
        d->ShowWindow(SW_SHOW);
        return d;
    }
    static std::vector<FakeRecord> Jobs()
    {
        const std::lock_guard lock(g_jobsLock);
        return g_jobs;
    }
};

// ---- Execute ------------------------------------------------------------------------------

struct ExecuteCase {
    const char* name;
    PolicyBits policy;
    // Files: "a", "b" (8 x 6 float layers), "gone" (named, not there), "" (none);
    // the output also "./a" and ".//b" (the inputs spelled otherwise) and "old" (exists).
    const char* first;
    const char* second;
    const char* output;
    bool ownRefusal;
    int answer;                   ///< the answer to the one box; 0: no box is expected
    const char* box;              ///< the box's text (its start)
    UINT icon;                    ///< the box's icon
    const char* title = nullptr;  ///< the job's title; null: no job starts
};

class ToolFrameExecute : public ToolFrame, public ::testing::WithParamInterface<ExecuteCase> {};

TEST_P(ToolFrameExecute, ChecksInOrderThenStartsTheJob)
{
    const ExecuteCase& c = GetParam();
    TempDir dir;
    const std::vector<double> floats(48, 2.0);
    ASSERT_TRUE(WriteLayer(dir.File("a.rdp"), 8, 6, int(DataType::F32), floats));
    ASSERT_TRUE(WriteLayer(dir.File("b.rdp"), 8, 6, int(DataType::F32), floats));
    tarvenix::test::WriteWholeFile(dir.File("old.rdp"), "keep me");
    auto path = [&](const std::string& key) { return key.empty() ? key : dir.File(key + ".rdp"); };
    CFakeToolDlg* d = Open(c.policy);
    d->refuseOwn = c.ownRefusal;
    Picker(d, IDC_FAKE_FIRST)->SetPathName(path(c.first).c_str());
    Picker(d, IDC_FAKE_SECOND)->SetPathName(path(c.second).c_str());
    Picker(d, IDC_FAKE_OUTPUT)->SetPathName(path(c.output).c_str());

    if (c.answer) Responder().AnswerMessageBox(c.answer);
    d->SendMessage(WM_COMMAND, IDOK);
    const auto boxes = MessageBoxesAsked();
    ASSERT_EQ(boxes.size(), c.answer ? 1u : 0u);
    if (c.answer) {
        EXPECT_EQ(std::string(boxes[0].text).rfind(c.box, 0), 0u) << boxes[0].text;
        EXPECT_EQ(std::string(boxes[0].caption), "Fake tool: Error");
        EXPECT_EQ(boxes[0].Icon(), c.icon);
    }
    if (!c.title) {
        EXPECT_TRUE(ProgressWindowsOpen().empty());
        EXPECT_EQ(GetRunningThreadCount(), 0);
        EXPECT_EQ(tarvenix::test::ReadWholeFile(dir.File("old.rdp")), "keep me");
        EXPECT_EQ(tarvenix::test::ReadLayer(dir.File("a.rdp")).size(), 48u);
        return;
    }
    ASSERT_EQ(ProgressWindowsOpen().size(), 1u);
    CString title;
    ProgressWindowsOpen()[0]->GetWindowText(title);
    EXPECT_EQ(std::string(title), c.title);
    // The job gets both inputs and the output, and its result opens in a viewer.
    const std::string output = path(c.output);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindow(::FindWindow(nullptr, output.c_str())) != FALSE; }));
    const auto jobs = Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(std::string(jobs[0].first), path(c.first));
    EXPECT_EQ(std::string(jobs[0].second), path(c.second));
    EXPECT_EQ(std::string(jobs[0].output), output);
}

constexpr PolicyBits kFringeLike{};
constexpr PolicyBits kKernovaLike{.ask = true, .mustExist = true, .blank = true, .presets = true};
constexpr UINT kStop = MB_ICONEXCLAMATION;

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolFrameExecute,
    ::testing::Values(
        ExecuteCase{"NoFirstInput", kFringeLike, "", "b", "out", false, IDOK, "Choose the first file.",
                    kStop},
        ExecuteCase{"NoOutput", kFringeLike, "a", "b", "", false, IDOK, "Choose the output file.", kStop},
        // An input with no check of emptiness goes to the job as it is.
        ExecuteCase{"NoSecondInputIsTheJobsAffair", kFringeLike, "a", "", "out", false, 0, nullptr, 0,
                    "Fake tool:a.rdp"},
        ExecuteCase{"OwnCheckAfterTheNames", kKernovaLike, "gone", "b", "out", true, IDOK,
                    "The tool refuses this pair.", kStop},
        ExecuteCase{"InputNotThereWhenThePolicyLooks", kKernovaLike, "gone", "b", "out", false, IDOK,
                    "Can't find the input file\n/", kStop},
        ExecuteCase{"InputNotThereOtherwiseGoesToTheJob", kFringeLike, "gone", "b", "out", false, 0, nullptr,
                    0, "Fake tool:gone.rdp"},
        ExecuteCase{"OutputNamesTheFirstInput", kKernovaLike, "a", "b", "./a", false, IDOK,
                    "The output file is the input file. Choose another name for the output file.", kStop},
        ExecuteCase{"OutputNamesTheSecondInput", kFringeLike, "a", "b", ".//b", false, IDOK,
                    "The output file is the input file.", kStop},
        ExecuteCase{"ExistingOutputAnsweredNo", kKernovaLike, "a", "b", "old", false, IDNO, "File with name/",
                    MB_ICONQUESTION},
        ExecuteCase{"ExistingOutputAnsweredYes", kKernovaLike, "a", "b", "old", false, IDYES,
                    "File with name/", MB_ICONQUESTION, "Fake tool: a.rdp"},
        ExecuteCase{"ExistingOutputNotAsked", kFringeLike, "a", "b", "old", false, 0, nullptr, 0,
                    "Fake tool:a.rdp"},
        ExecuteCase{"TitleNamesTheOutput", PolicyBits{.titleOutput = true}, "a", "b", "out", false, 0,
                    nullptr, 0, "Fake tool:out.rdp"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolFrame, TheOverwriteQuestionNamesTheFile)
{
    TempDir dir;
    const std::string in = dir.File("a.rdp"), out = dir.File("old.rdp");
    ASSERT_TRUE(WriteLayer(in, 8, 6, int(DataType::F32), std::vector<double>(48, 2.0)));
    tarvenix::test::WriteWholeFile(out, "keep me");
    CFakeToolDlg* d = Open(kKernovaLike);
    Picker(d, IDC_FAKE_FIRST)->SetPathName(in.c_str());
    Picker(d, IDC_FAKE_SECOND)->SetPathName(in.c_str());
    Picker(d, IDC_FAKE_OUTPUT)->SetPathName(out.c_str());
    Responder().AnswerMessageBox(IDNO);
    d->SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(MessageBoxesAsked().size(), 1u);
    EXPECT_EQ(std::string(MessageBoxesAsked()[0].text),
              "File with name" + out + " already exists .\nReplace it?");
    EXPECT_EQ(MessageBoxesAsked()[0].Buttons(), UINT(MB_YESNO));
    EXPECT_EQ(std::string(d->Message()), "");
}

// ---- pickers ------------------------------------------------------------------------------

TEST_F(ToolFrame, APickerRefusesWhatItsInputDoesNotAdmitAndClearsItself)
{
    TempDir dir;
    const std::string good = dir.File("good.rdp"), ints = dir.File("ints.rdp"),
                      narrow = dir.File("narrow.rdp");
    ASSERT_TRUE(WriteLayer(good, 8, 6, int(DataType::F64), std::vector<double>(48, 1.0)));
    ASSERT_TRUE(WriteLayer(ints, 8, 6, int(DataType::S16), std::vector<double>(48, 1.0)));
    ASSERT_TRUE(WriteLayer(narrow, 3, 6, int(DataType::F32), std::vector<double>(18, 1.0)));
    const struct {
        int picker;
        std::string file;
        const char* refusal;  // null: accepted
    } cases[] = {
        {IDC_FAKE_FIRST, ints, "The first file must hold floats."},
        {IDC_FAKE_FIRST, narrow, "The first file is too narrow."},
        {IDC_FAKE_FIRST, good, nullptr},
        {IDC_FAKE_SECOND, ints, nullptr},  // the second input admits any file
    };
    CFakeToolDlg* d = Open(kFringeLike);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Responder().Reset();
        if (c.refusal) Responder().AnswerMessageBox(IDOK);
        Choose(d, c.picker, c.file);
        if (c.refusal) {
            ASSERT_EQ(MessageBoxesAsked().size(), 1u);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].text), c.refusal);
            EXPECT_EQ(std::string(MessageBoxesAsked()[0].caption), "Fake tool: Error");
            EXPECT_EQ(MessageBoxesAsked()[0].Icon(), UINT(MB_ICONEXCLAMATION));
            EXPECT_EQ(std::string(d->Message()), c.refusal);
            EXPECT_EQ(std::string(Picker(d, c.picker)->GetPathName()), "");
        } else {
            EXPECT_TRUE(MessageBoxesAsked().empty());
            EXPECT_EQ(std::string(Picker(d, c.picker)->GetPathName()), c.file);
        }
    }
}

TEST_F(ToolFrame, AChosenFileLendsItsFolderToUnnamedPickersOnlyWhenThePolicySaysSo)
{
    TempDir a, b;
    const std::string in = a.File("in.rdp");
    ASSERT_TRUE(WriteLayer(in, 8, 6, int(DataType::F32), std::vector<double>(48, 1.0)));
    const std::string folderA = a.Path().string(), folderB = b.Path().string();
    for (bool presets : {true, false}) {
        SCOPED_TRACE(presets ? "presets" : "no presets");
        CFakeToolDlg* d = Open(PolicyBits{.presets = presets});
        const std::string start(Picker(d, IDC_FAKE_OUTPUT)->GetOnlyPath());
        Choose(d, IDC_FAKE_FIRST, in);
        EXPECT_EQ(std::string(Picker(d, IDC_FAKE_OUTPUT)->GetOnlyPath()), presets ? folderA : start);
        // An output chosen elsewhere gives its folder only to the input that has no name.
        Choose(d, IDC_FAKE_OUTPUT, b.File("out.rdp"));
        EXPECT_EQ(std::string(Picker(d, IDC_FAKE_FIRST)->GetOnlyPath()), folderA);
        if (presets) {
            EXPECT_EQ(std::string(Picker(d, IDC_FAKE_SECOND)->GetOnlyPath()), folderB);
        }
        d->SendMessage(WM_COMMAND, IDCANCEL);
    }
}

// Each tool's pickers start where that tool last took a file (never where another tool or
// dialog of the program went last), or in the work folder; a remembered folder that is gone
// gives way to the work folder too.
TEST_F(ToolFrame, EachToolsPickersStartWhereThatToolLastTookAFileOrInTheWorkFolder)
{
    TempDir work, a, b;
    const std::string in = a.File("in.rdp"), other = b.File("other.rdp");
    ASSERT_TRUE(WriteLayer(in, 8, 6, int(DataType::F32), std::vector<double>(48, 1.0)));
    ASSERT_TRUE(WriteLayer(other, 8, 6, int(DataType::F32), std::vector<double>(48, 2.0)));
    SetStringValue("\\Settings\\General", "WorkDir", work.Path().c_str());
    auto browseStart = [](CWnd* d, int id) {
        Responder().Reset();
        Responder().CancelFile();
        Picker(d, id)->GetDlgItem(CInFileCtrl::kBrowseId)->SendMessage(BM_CLICK);
        PumpEvents();
        return Responder().Asked().empty() ? std::string("(not asked)")
                                           : std::string(Responder().Asked()[0].file.initialDir);
    };
    // A tool that took nothing yet here (or whose folder is gone) starts in the work folder.
    CFakeToolDlg* third = Open({}, IDD_FAKE_THIRD);
    EXPECT_EQ(browseStart(third, IDC_FAKE_FIRST), work.Path().string());
    EXPECT_EQ(browseStart(third, IDC_FAKE_OUTPUT), work.Path().string());
    third->SendMessage(WM_COMMAND, IDCANCEL);

    CFakeToolDlg* d = Open({});
    Choose(d, IDC_FAKE_FIRST, in);
    d->SendMessage(WM_COMMAND, IDCANCEL);
    CFakeToolDlg* o = Open({}, IDD_FAKE_OTHER);
    Choose(o, IDC_FAKE_FIRST, other);
    o->SendMessage(WM_COMMAND, IDCANCEL);

    d = Open({});
    EXPECT_EQ(browseStart(d, IDC_FAKE_SECOND), a.Path().string())
        << "its own last folder, not the other tool's";
    EXPECT_EQ(browseStart(d, IDC_FAKE_OUTPUT), a.Path().string());
    o = Open({}, IDD_FAKE_OTHER);
    EXPECT_EQ(browseStart(o, IDC_FAKE_FIRST), b.Path().string());
    SetStringValue("\\Settings\\General", "WorkDir", "");
}

// ---- help and opening ---------------------------------------------------------------------

TEST_F(ToolFrame, HelpButtonAndF1AskForThePageOnlyWhenTheToolHasOne)
{
    for (bool help : {true, false}) {
        SCOPED_TRACE(help ? "help" : "no help");
        Responder().Reset();
        CFakeToolDlg* d = Open(PolicyBits{.help = help});
        // No help folder holds the page here, so each request tells that it is missing.
        if (help) {
            Responder().AnswerMessageBox(IDOK);
            Responder().AnswerMessageBox(IDOK);
        }
        d->SendMessage(WM_COMMAND, MAKEWPARAM(WORD(IDC_FAKE_HELP), WORD(BN_CLICKED)),
                       reinterpret_cast<LPARAM>(d->GetDlgItem(IDC_FAKE_HELP)->GetSafeHwnd()));
        HELPINFO info{};
        d->SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_EQ(MessageBoxesAsked().size(), help ? 2u : 0u);
        for (const auto& box : MessageBoxesAsked())
            EXPECT_NE(std::string(box.text).find("fake_tool.htm"), std::string::npos) << box.text;
        d->SendMessage(WM_COMMAND, IDCANCEL);
    }
}

}  // namespace
