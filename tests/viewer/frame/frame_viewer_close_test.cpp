// Closing a viewer with and without pending changes, and what its save writes.

#include <string>

#include <gtest/gtest.h>

#include "outside/basecore/coord_law_data.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/layer_file_format.h"
#include "outside/basecore/tags.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/controls/list_ctrl.h"
#include "platform/kernel/atomic_file.h"
#include "platform/window/modal.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/new_file_dlg.h"
#include "viewer/frame/save_changes_dlg.h"

using frame_test::NotifyWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

class FrameClose : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir.File("scene.rdp");
        frame_test::MakeLayerFile(file);
        original = ReadWholeFile(file);
        frame = frame_test::OpenViewer(file, parent);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(parent.received.back().second, 2) << "the layer is shown";
        hwnd = frame->GetSafeHwnd();
    }
    void TearDown() override
    {
        platform::SetAtomicFileFaults({});
        if (::IsWindow(hwnd)) {
            // Whatever the test left pending is dropped.
            ::SendMessage(hwnd, WM_DLGMESSAGE, 16, LPARAM(0xFF));
            RequestClose();
        }
        EXPECT_FALSE(::IsWindow(hwnd));
    }

    /// The main program's close request; waits until the viewer is gone or stays.
    void RequestClose()
    {
        ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        PumpUntil([&] { return !::IsWindow(hwnd) || !frame->GetMeterInfo()->IsRunning(); });
        PumpEvents();
    }

    /// The user edits sample (x, y) in the table: the working copy takes it.
    void EditSample(int x, int y, double value)
    {
        CVirtualView* view = frame->GetViewRect()->GetActiveView();
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(view->MakeWorkingCopy());
        ASSERT_TRUE(view->GetLayer(1)->SetValue(x, y, value));
        ::SendMessage(hwnd, WM_DLGMESSAGE, 8, 0);
    }
    /// The file properties dialog's Apply with two new texts.
    void EditDescription(const char* caption, const char* description)
    {
        frame->SetDescriptionTexts(caption, description);
        ::SendMessage(hwnd, WM_DLGMESSAGE, 25, 4);
    }
    int DialogsAsked() const
    {
        int n = 0;
        for (const auto& q : Responder().Asked()) n += q.kind == tarvenix::test::Question::Kind::Dialog;
        return n;
    }

    TempDir dir;
    NotifyWindow parent;
    std::string file;
    std::string original;
    CFrameViewer* frame = nullptr;
    HWND hwnd = nullptr;
};

double SampleOf(const std::string& path, int x, int y)
{
    CRDPLayer layer;
    if (!layer.OpenLayer(path.c_str(), kOpenReadOnly)) return -1.0;
    return layer.GetValue(x, y);
}

}  // namespace

TEST_F(FrameClose, NothingPendingClosesAtOnceWithoutAQuestion)
{
    RequestClose();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(ReadWholeFile(file), original);
}

TEST_F(FrameClose, NoOrEveryLineUncheckedClosesAndLeavesTheFileAsItWas)
{
    struct Case {
        const char* name;
        bool uncheckAll;
        int answer;
    };
    for (const Case c : {Case{"No", false, IDNO}, Case{"Yes, nothing checked", true, IDYES}}) {
        SCOPED_TRACE(c.name);
        if (!::IsWindow(hwnd)) SetUp();
        EditSample(3, 2, -7.5);
        EditDescription("Caption", "A description");
        Responder().AnswerDialogCommand(c.answer).Doing([&](CWnd& dlg) {
            auto* list = static_cast<CListCtrl*>(dlg.GetDlgItem(IDC_SAVE_CHANGES_LIST));
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(list->GetItemCount(), 2);
            EXPECT_EQ(list->GetItemText(0, 0), "File Properties");
            EXPECT_EQ(list->GetItemText(1, 0), "Data changes");
            for (int i = 0; i < list->GetItemCount(); ++i) {
                EXPECT_TRUE(list->GetCheck(i)) << "every line starts checked";
                if (c.uncheckAll) list->SetCheck(i, FALSE);
            }
            if (!c.uncheckAll)
                tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(dlg),
                                               "viewer_save_changes_question");
        });
        RequestClose();
        EXPECT_FALSE(::IsWindow(hwnd));
        EXPECT_EQ(ReadWholeFile(file), original);
        ASSERT_EQ(DialogsAsked(), 1);
        Responder().Reset();
    }
}

TEST_F(FrameClose, CancelKeepsTheViewerAndItsChangesAndTheNextCloseAsksAgain)
{
    EditSample(1, 1, 42.0);
    Responder().AnswerDialogCommand(IDCANCEL);
    RequestClose();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(frame->GetPendingSaves(), kSaveData);
    EXPECT_TRUE(frame->GetMenuFlags() & kMenuNewOpen) << "input is no longer frozen";

    Responder().AnswerDialogCommand(IDNO);
    RequestClose();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(DialogsAsked(), 2);
    EXPECT_EQ(ReadWholeFile(file), original);
}

TEST_F(FrameClose, YesWritesTheDataAndEveryPendingTagIntoTheFile)
{
    EditSample(5, 4, 5000.5);
    EditDescription("Harbour", "Pass of 3 May");
    ::SendMessage(hwnd, WM_DLGMESSAGE, 25, kSavePalette);
    ::SendMessage(hwnd, WM_DLGMESSAGE, 15, kSaveLogicalCoords);
    Responder().AnswerDialogCommand(IDYES);
    RequestClose();
    EXPECT_FALSE(::IsWindow(hwnd));

    CRDPLayer saved;
    ASSERT_NE(saved.OpenLayer(file.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(saved.GetValue(5, 4), 5000.5);
    EXPECT_EQ(saved.GetValue(6, 4), 406.0) << "the other samples are the file's";
    EXPECT_EQ(saved.Max(), 5000.5) << "statistics of the saved samples";
    std::vector<BYTE> palette;
    EXPECT_TRUE(GetPaletteTag(saved, 501, &palette)) << "the colour map of the amplitude";
    saved.CloseLayer();
    CString caption, description;
    EXPECT_TRUE(CLayerDescription::GetDescriptionTag(file.c_str(), 600, caption));
    EXPECT_TRUE(CLayerDescription::GetDescriptionTag(file.c_str(), 601, description));
    EXPECT_EQ(caption, "Harbour");
    EXPECT_EQ(description, "Pass of 3 May");
    CCoordLawData law;
    EXPECT_TRUE(law.LoadData(file.c_str()));
}

TEST_F(FrameClose, AFailedWriteLeavesTheFileIntactTheChangePendingAndTheViewerUsable)
{
    struct Case {
        const char* name;
        UINT pending;
    };
    UINT pending = 0;  // what failed stays pending, so the changes add up
    for (const Case c : {Case{"description", kSaveProperties}, Case{"data", kSaveData}}) {
        SCOPED_TRACE(c.name);
        pending |= c.pending;
        if (c.pending == kSaveData)
            EditSample(2, 3, 99.0);
        else
            EditDescription("Caption", "Text");
        platform::SetAtomicFileFaults({platform::AtomicStep::kRename});
        Responder().AnswerDialogCommand(IDYES);
        Responder().AnswerMessageBox(IDOK);  // the system's text for the failure
        RequestClose();

        ASSERT_TRUE(::IsWindow(hwnd));
        EXPECT_EQ(ReadWholeFile(file), original);
        EXPECT_EQ(frame->GetPendingSaves(), pending);
        EXPECT_TRUE(frame->GetMenuFlags() & kMenuNewOpen) << "input is no longer frozen";
        ASSERT_EQ(Responder().Asked().size(), 2u);
        EXPECT_EQ(Responder().Asked()[1].Icon(), UINT(MB_ICONEXCLAMATION));
        platform::SetAtomicFileFaults({});
        Responder().Reset();
    }
    EXPECT_EQ(frame->GetViewRect()->GetActiveView()->GetLayer(1)->GetValue(2, 3), 99.0)
        << "the edit is still shown";

    Responder().AnswerDialogCommand(IDYES);
    RequestClose();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(SampleOf(file, 2, 3), 99.0);
    CString caption;
    EXPECT_TRUE(CLayerDescription::GetDescriptionTag(file.c_str(), 600, caption));
    EXPECT_EQ(caption, "Caption");
}

TEST_F(FrameClose, ANewStretchKeepsThePendingSaves)
{
    EditDescription("Caption", "Text");
    ASSERT_TRUE(frame->ReloadFileWithNewParams(0, 0.0, 0.0, 0));
    ASSERT_TRUE(PumpUntil(
        [&] { return !frame->GetMeterInfo()->IsRunning() && (frame->GetMenuFlags() & kMenuNewOpen) != 0; }));
    EXPECT_EQ(frame->GetPendingSaves(), kSaveProperties);
}

TEST_F(FrameClose, ASecondCloseRequestWhileTheQuestionIsOpenIsIgnored)
{
    EditSample(0, 0, 1.0);
    bool sent = false;
    Responder().AnswerDialogCommand(IDCANCEL).When([&] {
        if (!sent) {
            sent = true;
            ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        }
        return true;
    });
    RequestClose();
    PumpEvents();
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(DialogsAsked(), 1);
    EXPECT_EQ(frame->GetPendingSaves(), kSaveData);
}

TEST(FrameNewFile, ClosingALayerMadeInTheViewerAsksSaveChanges)
{
    ViewResultParam empty;
    CFrameViewer* frame = ViewerCreate(&empty);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    Responder().AnswerDialogCommand(IDOK).Doing([](CWnd& dlg) {
        auto& newFile = static_cast<CNewFileDlg&>(dlg);
        newFile.m_nWidth = 8;
        newFile.m_nHeight = 4;
        newFile.m_nDataType = 7;
    });
    ::SendMessage(hwnd, WM_COMMAND, ID_VIEWER_NEW, 0);
    ASSERT_TRUE(PumpUntil([&] {
        return frame->GetViewRect()->GetActiveView() != nullptr && !frame->GetMeterInfo()->IsRunning();
    }));
    PumpEvents();
    EXPECT_TRUE(frame->IsNewFile());

    Responder().AnswerMessageBox(IDNO);
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    PumpUntil([&] { return !::IsWindow(hwnd); });
    EXPECT_FALSE(::IsWindow(hwnd));
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[1].text, "Save changes ?");
    EXPECT_EQ(Responder().Asked()[1].Buttons(), UINT(MB_YESNOCANCEL));
}

TEST_F(FrameClose, SaveAsWritesTheEditedLayerToTheChosenFileAndShowsIt)
{
    EditSample(1, 1, 777.0);
    const std::string copy = dir.File("copy.rdp");
    Responder().AnswerFile({copy.c_str()});
    ::SendMessage(hwnd, WM_COMMAND, ID_VIEWER_SAVE_AS, 0);
    ASSERT_TRUE(PumpUntil([&] { return FileFind(copy.c_str()) && frame->GetPendingSaves() == 0; }));
    PumpUntil([&] { return !frame->GetMeterInfo()->IsRunning() && (frame->GetMenuFlags() & kMenuNewOpen); });

    EXPECT_EQ(SampleOf(copy, 1, 1), 777.0);
    EXPECT_EQ(SampleOf(copy, 2, 1), 102.0);
    EXPECT_EQ(ReadWholeFile(file), original) << "the file the copy came from is untouched";
    CString title;
    frame->GetWindowText(title);
    EXPECT_EQ(title, copy.c_str());
    RequestClose();
    EXPECT_FALSE(::IsWindow(hwnd)) << "nothing is left to save";
}

TEST_F(FrameClose, OpenAsksAboutPendingChangesBeforeItLoadsAnotherFile)
{
    const std::string second = dir.File("second.rdp");
    frame_test::MakeLayerFile(second, 10, 6);
    EditDescription("Caption", "Text");
    const std::size_t before = parent.received.size();
    Responder().AnswerDialogCommand(IDNO);
    Responder().AnswerFile({second.c_str()});
    ::SendMessage(hwnd, WM_COMMAND, ID_VIEWER_OPEN, 0);
    ASSERT_TRUE(PumpUntil([&] { return parent.received.size() > before; }));

    EXPECT_EQ(parent.received.back().second, 2);
    EXPECT_EQ(frame->ImageWidth(1), 10);
    EXPECT_EQ(frame->GetPendingSaves(), 0u);
    EXPECT_EQ(ReadWholeFile(file), original);
    ASSERT_EQ(Responder().Asked().size(), 2u);
    EXPECT_EQ(Responder().Asked()[0].kind, tarvenix::test::Question::Kind::Dialog);
    EXPECT_EQ(Responder().Asked()[1].kind, tarvenix::test::Question::Kind::File);
}

namespace {

/// Layer 1 of a two-layer file, damaged as readers find such files.
enum class Damage { kNone, kWidthZero, kSamplesOneShort, kChainPastLimit };

/// Writes `path` with the viewer's layer 0 and a second 6 x 3 U8 layer, then damages layer 1.
void MakeTwoLayerFile(const std::string& path, Damage damage)
{
    frame_test::MakeLayerFile(path);
    CRDPLayer second;
    ASSERT_NE(second.AddLayer(path.c_str(), 6, 3, 1), nullptr);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) second.SetValue(x, y, 10 * y + x);
    ASSERT_TRUE(second.CloseLayer());
    if (damage == Damage::kNone) return;

    std::string bytes = ReadWholeFile(path);
    const layerfile::FileView view{reinterpret_cast<const BYTE*>(bytes.data()), std::int64_t(bytes.size())};
    layerfile::FileIndex index(view);
    ASSERT_EQ(index.CountLayers(), 2);
    auto put = [&](std::int64_t at, std::int32_t v) {
        layerfile::WriteI32(reinterpret_cast<BYTE*>(&bytes[at]), v);
    };
    switch (damage) {
        case Damage::kWidthZero:
            put(index.FindPayload(1, 0, layerfile::kDescriptorBytes) + 4, 0);
            break;
        case Damage::kSamplesOneShort:
            put(index.FindPayload(1, 1, 4), 6 * 3 - 1);
            break;
        case Damage::kChainPastLimit: {
            // The last block of layer 1 goes on into a run of headers longer than a reader follows.
            const layerfile::Chain* chain = index.Blocks(1);
            ASSERT_NE(chain, nullptr);
            const std::int64_t last = chain->blocks.back().header;
            const std::int64_t first = std::int64_t(bytes.size());
            for (int i = 0; i < layerfile::kMaxLinks; ++i) {
                const std::int64_t at = first + 12 * std::int64_t(i);
                bytes.resize(std::size_t(at + 12));
                put(at, 900);
                put(at + 4, 16);
                put(at + 8, std::int32_t(at + 12));
            }
            put(std::int64_t(bytes.size()) - 4, 0);
            bytes.resize(bytes.size() + 8, '\0');
            put(last + 8, std::int32_t(first));
            break;
        }
        case Damage::kNone:
            break;
    }
    tarvenix::test::WriteWholeFile(path, bytes);
}

}  // namespace

// A save writes every layer of the file back; one it cannot read whole stops the save,
// which must then leave the file exactly as it was instead of dropping that layer.
TEST(FrameSaveSeveralLayers, ADamagedLayerStopsTheSaveAndTheFileStaysByteForByte)
{
    struct Case {
        const char* name;
        Damage damage;
    };
    for (const Case c :
         {Case{"width 0", Damage::kWidthZero}, Case{"sample count one short", Damage::kSamplesOneShort},
          Case{"block chain past its limit", Damage::kChainPastLimit}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.File("two.rdp");
        MakeTwoLayerFile(file, c.damage);
        const std::string original = ReadWholeFile(file);
        NotifyWindow parent;
        CFrameViewer* frame = frame_test::OpenViewer(file, parent);
        ASSERT_NE(frame, nullptr);
        const HWND hwnd = frame->GetSafeHwnd();
        CVirtualView* view = frame->GetViewRect()->GetActiveView();
        ASSERT_TRUE(view && view->MakeWorkingCopy());
        ASSERT_TRUE(view->GetLayer(1)->SetValue(2, 2, 55.0));
        ::SendMessage(hwnd, WM_DLGMESSAGE, 8, 0);

        Responder().AnswerDialogCommand(IDYES);
        Responder().AnswerMessageBox(IDOK);
        ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        PumpUntil([&] { return !::IsWindow(hwnd) || !frame->GetMeterInfo()->IsRunning(); });
        PumpEvents();

        ASSERT_TRUE(::IsWindow(hwnd)) << "the viewer stays with its change";
        EXPECT_EQ(frame->GetPendingSaves(), kSaveData);
        EXPECT_TRUE(ReadWholeFile(file) == original) << "the file is byte for byte as it was";
        ASSERT_EQ(Responder().Asked().size(), 2u);
        EXPECT_EQ(Responder().Asked()[1].Icon(), UINT(MB_ICONEXCLAMATION));
        EXPECT_NE(Responder().Asked()[1].text.str().find("layer 1"), std::string::npos)
            << Responder().Asked()[1].text.str();
        Responder().Reset();

        ::SendMessage(hwnd, WM_DLGMESSAGE, 16, LPARAM(0xFF));
        ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
        PumpUntil([&] { return !::IsWindow(hwnd); });
        EXPECT_FALSE(::IsWindow(hwnd));
    }
}

TEST(FrameSaveSeveralLayers, TheOtherLayersAreWrittenBackAsTheyWere)
{
    TempDir dir;
    const std::string file = dir.File("two.rdp");
    MakeTwoLayerFile(file, Damage::kNone);
    CRDPLayer before;
    ASSERT_NE(before.OpenLayerEx(file.c_str(), kOpenReadOnly, 1), nullptr);
    const std::string secondSamples(static_cast<const char*>(before.GetDataPtr()), 6 * 3);
    before.CloseLayer();

    NotifyWindow parent;
    CFrameViewer* frame = frame_test::OpenViewer(file, parent);
    ASSERT_NE(frame, nullptr);
    const HWND hwnd = frame->GetSafeHwnd();
    CVirtualView* view = frame->GetViewRect()->GetActiveView();
    ASSERT_TRUE(view && view->MakeWorkingCopy());
    ASSERT_TRUE(view->GetLayer(1)->SetValue(2, 2, 55.0));
    ::SendMessage(hwnd, WM_DLGMESSAGE, 8, 0);
    Responder().AnswerDialogCommand(IDYES);
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    PumpUntil([&] { return !::IsWindow(hwnd); });
    ASSERT_FALSE(::IsWindow(hwnd));

    EXPECT_EQ(CRDPLayer::GetNumLayer(file.c_str()), 2);
    EXPECT_EQ(SampleOf(file, 2, 2), 55.0);
    CRDPLayer after;
    ASSERT_NE(after.OpenLayerEx(file.c_str(), kOpenReadOnly, 1), nullptr);
    EXPECT_EQ(after.Width(), 6);
    EXPECT_EQ(std::string(static_cast<const char*>(after.GetDataPtr()), 6 * 3), secondSamples);
}
