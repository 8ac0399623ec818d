#include "viewer/analysis/find_replace_value_dlg.h"

#include <gtest/gtest.h>

#include <complex>
#include <vector>

#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/settings.h"
#include "outside/basecore/thread_runner.h"
#include "platform/last_error.h"
#include "platform/window/modal.h"
#include "tests/support/recording_meter.h"
#include "tests/support/test_environment.h"
#include "tests/viewer/analysis/dialog_test_support.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/analysis/analysis_dialog_ids.h"
#include "viewer/analysis/value_scan.h"
#include "viewer/frame/frame_viewer_ids.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/virtual_view.h"

using analysis_test::Click;
using analysis_test::Type;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::RecordingMeter;
using tarvenix::test::Responder;

namespace {

/// A width x height layer of `type` holding `values` row by row (the rest 0).
void MakeLayer(const std::string& path, int width, int height, int type, const std::vector<double>& values)
{
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), width, height, type), nullptr);
    std::vector<double> row(std::size_t(width), 0.0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * width + x;
            row[std::size_t(x)] = i < values.size() ? values[i] : 0.0;
        }
        ASSERT_TRUE(layer.SetLineFromDouble(y, row.data(), width));
    }
    ASSERT_TRUE(layer.CloseLayer());
}

/// A viewer on a layer file with a Replace dialog of its own, as the Replace command makes it.
class ReplaceFixture : public ::testing::Test {
protected:
    void Open(int width, int height, int type, const std::vector<double>& values)
    {
        ::RegDeleteKey(HKEY_CURRENT_USER, GetAppSubKey("\\Settings\\Viewer\\Find"));
        file = dir.File("values.rdp");
        MakeLayer(file, width, height, type, values);
        frame = frame_test::OpenViewer(file, parent);
        ASSERT_NE(frame, nullptr);
        hwnd = frame->GetSafeHwnd();
        dlg = new CFindReplaceValueDlg;
        ASSERT_TRUE(dlg->Create(frame));
        dlg->ShowWindow(SW_SHOW);
    }
    void TearDown() override
    {
        if (::IsWindow(hwnd)) frame->CFrameWnd::DestroyWindow();
        PumpEvents();
    }
    CRDPLayer& Layer() { return *frame->GetViewRect()->GetActiveView()->GetLayer(1); }
    std::vector<double> Values()
    {
        std::vector<double> v;
        for (int y = 0; y < Layer().Height(); ++y)
            for (int x = 0; x < Layer().Width(); ++x) v.push_back(Layer().GetValue(x, y));
        return v;
    }
    void Enter(const char* find, const char* replace, bool backward = false, bool approximate = false)
    {
        Type(*dlg, IDC_REPLACE_FIND, find);
        Type(*dlg, IDC_REPLACE_WITH, replace);
        dlg->CheckDlgButton(IDC_REPLACE_FORWARD, !backward);
        dlg->CheckDlgButton(IDC_REPLACE_BACKWARD, backward);
        dlg->CheckDlgButton(IDC_REPLACE_APPROXIMATE, approximate);
    }
    CString LastBox() { return Responder().Asked().empty() ? CString() : Responder().Asked().back().text; }

    tarvenix::test::TempDir dir;
    std::string file;
    frame_test::NotifyWindow parent;
    CFrameViewer* frame = nullptr;
    HWND hwnd = nullptr;
    CFindReplaceValueDlg* dlg = nullptr;
};

}  // namespace

TEST(ValueScan, FindsFromTheCellAfterThePositionWithoutWrapping)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("scan.rdp");
    // 4 x 3: 1.5 at (1, 0) and (3, 2), 2.04 at (2, 1), 0 elsewhere.
    MakeLayer(path, 4, 3, 7, {0, 1.5, 0, 0, 0, 0, 2.04, 0, 0, 0, 0, 1.5});
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), 0), nullptr);
    struct Case {
        const char* text;
        bool approximate;
        int direction;
        CPoint from;
        bool found;
        CPoint at;
    };
    const Case cases[] = {
        {"1.5", false, 0, {0, 0}, true, {1, 0}},
        {"1.5", false, 0, {1, 0}, true, {3, 2}},
        {"1.5", false, 0, {3, 2}, false, {3, 2}},  // last cell: no wrap to the first
        {"1.5", false, 1, {3, 2}, true, {1, 0}},
        {"1.5", false, 1, {1, 0}, false, {1, 0}},
        {"1.50", true, 0, {0, 0}, true, {1, 0}},   // f = 100: Round(150) = 150
        {"2", true, 0, {1, 0}, true, {2, 1}},      // f = 1: Round(2.04) = 2
        {"2.0", true, 0, {1, 0}, true, {2, 1}},    // f = 10: Round(20.4) = 20
        {"2.00", true, 0, {1, 0}, false, {1, 0}},  // f = 100: 204 != 200
        {"2", false, 0, {1, 0}, false, {1, 0}},
        {"0.000", true, 0, {1, 0}, true, {2, 0}},  // a typed 0 uses f = 1
        {"0.04", true, 0, {1, 0}, false, {1, 0}},  // f = 100: 4 matches no cell
        {"1e300", true, 0, {0, 0}, false, {0, 0}},
        {"1.1234567890123456789", true, 0, {0, 0}, false, {0, 0}},  // the multiplier is capped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << (c.approximate ? " approx" : "") << " dir "
                                        << c.direction << " from " << c.from.x << "," << c.from.y);
        CPoint at = c.from;
        EXPECT_EQ(ScanForValue(layer, MakeValueQuery(c.text, c.approximate, 2), c.direction, at), c.found);
        EXPECT_EQ(at, c.at);
    }
}

TEST(ValueScan, BothPartsOfAComplexCell)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("complex.rdp");
    CRDPLayer layer;
    ASSERT_NE(layer.CreateLayer(path.c_str(), 3, 2, 9), nullptr);
    layer.SetValue(2, 0, 1.0, 2);
    layer.SetValue(2, 0, -2.0, 3);
    layer.SetValue(1, 1, 1.0, 2);
    layer.SetValue(1, 1, -2.0, 3);
    CPoint at(0, 0);
    ASSERT_TRUE(ScanForValue(layer, MakeValueQuery("(1, -2)", false, 4), 0, at));
    EXPECT_EQ(at, CPoint(2, 0));
    ASSERT_TRUE(ScanForValue(layer, MakeValueQuery("(1, -2)", false, 4), 0, at));
    EXPECT_EQ(at, CPoint(1, 1));
    // The split parts land in the real and the imaginary part.
    const ValueQuery value = MakeValueQuery("3, 4", false, 4);
    WriteCellValue(layer, at, 4, value.re, value.im);
    EXPECT_EQ(layer.GetValue(1, 1, 2), 3.0);
    EXPECT_EQ(layer.GetValue(1, 1, 3), 4.0);
    at = CPoint(0, 0);
    EXPECT_TRUE(ScanForValue(layer, MakeValueQuery("3;4", false, 4), 0, at));
    EXPECT_TRUE(ScanForValue(layer, MakeValueQuery("5", false, 0), 0, at = CPoint(0, 0)));
    EXPECT_EQ(at, CPoint(1, 1));
    layer.CloseLayer();
    ::unlink(path.c_str());
}

TEST_F(ReplaceFixture, FindNextShowsTheMatchOrSaysNothingWasFound)
{
    Open(4, 3, 7, {0, 7, 0, 0, 0, 0, 0, 7});
    Enter("7", "1");
    Click(*dlg, IDC_REPLACE_FIND_NEXT);
    EXPECT_TRUE(Responder().Asked().empty());
    EXPECT_EQ(dlg->m_position, CPoint(1, 0));

    Enter("8", "1");
    Responder().AnswerMessageBox(IDOK);
    Click(*dlg, IDC_REPLACE_FIND_NEXT);
    EXPECT_EQ(LastBox(), "Value not found.");
    EXPECT_EQ(Responder().Asked().back().caption, "Replace");
    EXPECT_EQ(Responder().Asked().back().Icon(), UINT(MB_ICONEXCLAMATION));

    // Backward from the first cell: nothing before it.
    Enter("7", "1", true);
    Responder().AnswerMessageBox(IDOK);
    Click(*dlg, IDC_REPLACE_FIND_NEXT);
    EXPECT_EQ(LastBox(), "Value not found.");

    // The entries are remembered for the next dialog.
    CTLRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, GetAppSubKey("\\Settings\\Viewer\\Find"), KEY_READ), ERROR_SUCCESS);
    CString text;
    DWORD direction = 0;
    key.QueryValue(text, "LastFindExpression");
    key.QueryValue(direction, "Direction");
    EXPECT_EQ(text, "7");
    EXPECT_EQ(direction, 1u);
    analysis_test::Screenshot(*dlg, "replace_value");
}

TEST_F(ReplaceFixture, ReplaceWritesTheCurrentCellAndMarksTheLayerChanged)
{
    Open(3, 2, 7, {5, 0, 5, 0, 0, 0});
    Enter("5", "2.25");
    Click(*dlg, IDC_REPLACE_ONE);
    EXPECT_EQ(Values(), (std::vector<double>{2.25, 0, 5, 0, 0, 0}));
    EXPECT_EQ(dlg->m_position, CPoint(2, 0));
    EXPECT_NE(frame->GetPendingSaves() & kSaveData, 0u);
}

TEST_F(ReplaceFixture, ReplaceAllWritesEveryMatchAfterThePointerAndReportsTheCount)
{
    const std::vector<double> start{0, 3, 0, 3, 0, 0, 0, 0, 9, 0, 0, 3};
    Open(4, 3, 7, start);
    Enter("3", "-1");
    Responder().AnswerMessageBox(IDOK);
    Click(*dlg, IDC_REPLACE_ALL);
    ASSERT_TRUE(PumpUntil([&] { return !Responder().Asked().empty(); }));
    EXPECT_EQ(LastBox(), "3 items have replaced.");
    EXPECT_FALSE(dlg->IsJobRunning());
    PumpUntil([&] { return !frame->GetMeterInfo()->IsRunning(); });
    PumpEvents();

    // What a plain loop over the cells would give.
    std::vector<double> expected = start;
    for (double& v : expected)
        if (v == 3) v = -1;
    EXPECT_EQ(Values(), expected);
    EXPECT_NE(frame->GetPendingSaves() & kSaveData, 0u);

    // Nothing left to find: the message, and nothing written.
    Responder().AnswerMessageBox(IDOK);
    Click(*dlg, IDC_REPLACE_ALL);
    EXPECT_EQ(LastBox(), "Value not found.");
    EXPECT_EQ(Values(), expected);
    EXPECT_FALSE(frame->GetMeterInfo()->IsRunning());
}

TEST_F(ReplaceFixture, ApproximateIsOfferedForFloatingLayersOnly)
{
    Open(2, 2, 4, {1, 2, 3, 4});
    EXPECT_FALSE(dlg->GetDlgItem(IDC_REPLACE_APPROXIMATE)->IsWindowEnabled());
}

TEST_F(ReplaceFixture, AViewerClosedDuringTheJobStopsItFirst)
{
    // Large enough that the job still runs when the close comes.
    const int side = 2048;
    std::vector<double> values(std::size_t(side) * side, 0.0);
    for (std::size_t i = 1; i < values.size(); i += 3) values[i] = 1;
    Open(side, side, 7, values);
    Enter("1", "2");
    // The stopped job still reports what it wrote; then the viewer asks about its changes.
    Responder().AnswerMessageBox(IDOK);
    Responder().AnswerDialogCommand(IDNO);
    Click(*dlg, IDC_REPLACE_ALL);
    ASSERT_TRUE(frame->GetMeterInfo()->IsRunning());
    ::SendMessage(hwnd, frame_test::ControlMessage(), 1, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }));
    PumpUntil([] { return GetRunningThreadCount() == 0; });
    ASSERT_FALSE(Responder().Asked().empty());
    EXPECT_NE(Responder().Asked()[0].text.Find("items have replaced."), -1);
}

TEST(ReplaceJob, AStopReportsTheCellsWrittenWithoutAnErrorBox)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("stop.rdp");
    // One match per row over eight rows.
    std::vector<double> values(8 * 4, 0.0);
    for (int y = 0; y < 8; ++y) values[std::size_t(y * 4 + 1)] = 6;
    MakeLayer(path, 4, 8, 7, values);
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), 1), nullptr);

    analysis_test::RecordingParent frame;
    struct DoneWindow : CWnd {
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
        {
            if (message == WM_REPLACEDONE) done.emplace_back(int(wParam), int(lParam));
            return CWnd::WindowProc(message, wParam, lParam);
        }
        std::vector<std::pair<int, int>> done;
    } dialog;
    ASSERT_TRUE(dialog.CreateEx(0, AfxRegisterWndClass(0), "Replace", WS_OVERLAPPED, CRect(0, 0, 20, 20),
                                nullptr, 0));

    // Each row scanned looks at the stop, each row replaced steps the meter: the seventh
    // report is the fourth row's look, after three rows were written and stepped.
    RecordingMeter meter;
    meter.StopAtReport(7);
    auto* job = new ReplaceJobParams;
    job->re = 9;
    job->layer = &layer;
    job->component = 2;
    job->findText = "6";
    job->position = CPoint(1, 0);
    job->hDialog = dialog.GetSafeHwnd();
    job->hFrame = frame.GetSafeHwnd();
    job->meter = &meter;
    CFindReplaceValueDlg::ReplaceAllJob(job, &meter);
    PumpEvents();

    ASSERT_EQ(dialog.done.size(), 1u) << "no error box, only the count";
    EXPECT_EQ(dialog.done[0], (std::pair<int, int>{1, 4}));
    int written = 0;
    for (int y = 0; y < 8; ++y) written += layer.GetValue(1, y) == 9;
    EXPECT_EQ(written, 4);
    EXPECT_EQ(frame.Count(8), 1);
    EXPECT_TRUE(Responder().Asked().empty());
    layer.CloseLayer();
    dialog.DestroyWindow();
}

// Rows are searched ahead in groups: over several groups, forward and backward, and with a
// stop in a later group, what is written, counted, stepped and left as the last cell is what
// a search of one row after the other gives: rows up to the stop whole, none after it. The
// approximate cases find cells of two values, so the rows past a stop keep their own bytes.
TEST(ReplaceJob, RowsSearchedAheadGiveWhatARowByRowSearchGives)
{
    tarvenix::test::TempDir dir;
    const std::string path = dir.File("groups.rdp");
    constexpr int kWidth = 37, kHeight = 700;
    std::vector<double> values(std::size_t(kWidth) * kHeight);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] =
            (i * 2654435761u) % 11 == 0 || (i / kWidth) % 50 == 7 ? (i % 3 ? 6 : 6.25) : double(i % 5);

    struct Case {
        int direction;
        CPoint start;
        int stopAtReport;  // -1: none
        bool approximate;
    };
    for (const Case& c : {Case{0, CPoint(3, 40), -1, false}, Case{1, CPoint(30, 650), -1, false},
                          Case{0, CPoint(0, 0), 700, false}, Case{1, CPoint(36, 699), 650, false},
                          Case{1, CPoint(0, 600), -1, true}, Case{0, CPoint(5, 30), 650, true}}) {
        SCOPED_TRACE(testing::Message() << "direction " << c.direction << " stop " << c.stopAtReport
                                        << " approximate " << c.approximate);
        MakeLayer(path, kWidth, kHeight, 7, values);
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), 1), nullptr);
        RecordingMeter meter;
        meter.StopAtReport(c.stopAtReport);
        ReplaceJobParams job;
        job.re = 9;
        job.layer = &layer;
        job.component = 2;
        job.findText = "6";
        job.direction = c.direction;
        job.approximate = c.approximate;
        job.position = c.start;
        job.meter = &meter;
        int written = 0;
        try {
            CFindReplaceValueDlg::ReplaceAll(job, written);
            EXPECT_EQ(c.stopAtReport, -1) << "not stopped";
        } catch (CRDPExcept* e) {
            e->Delete();
            EXPECT_NE(c.stopAtReport, -1);
        }
        // The search of one row after the other, up to the row it stopped in.
        const int step = c.direction == 0 ? 1 : -1;
        const int lastRow = c.stopAtReport < 0 ? (step > 0 ? kHeight - 1 : 0) : int(job.position.y);
        if (c.stopAtReport > 0)
            EXPECT_GT(std::abs(lastRow - int(c.start.y)), 256) << "stopped in a later group";
        std::vector<double> expected = values;
        expected[std::size_t(c.start.y) * kWidth + std::size_t(c.start.x)] = 9;
        int count = 1, steps = 0;
        CPoint last = c.start;
        for (int y = c.start.y, x = c.start.x + step;; x = step > 0 ? 0 : kWidth - 1) {
            bool first = y != c.start.y;
            for (; x >= 0 && x < kWidth; x += step) {
                double& v = expected[std::size_t(y) * kWidth + std::size_t(x)];
                if (c.approximate ? !(v >= 5.5 && v < 6.5) : v != 6) continue;
                steps += first;
                first = false;
                v = 9;
                ++count;
                last = CPoint(x, y);
            }
            if (y == lastRow) break;
            y += step;
        }
        std::vector<double> got;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) got.push_back(layer.GetValue(x, y));
        EXPECT_EQ(got, expected);
        EXPECT_EQ(written, count);
        // A stop may come with the step of the next row, which then writes nothing.
        EXPECT_EQ(meter.Steps() - steps, c.stopAtReport > 0 && meter.Steps() != steps ? 1 : 0);
        EXPECT_EQ(job.position, last);
        layer.CloseLayer();
    }
}
