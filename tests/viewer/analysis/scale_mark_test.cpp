#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include "outside/basecore/nearest_step.h"
#include "platform/window/nonclient.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/pseudo_color.h"
#include "viewer/analysis/scale_mark_wnd.h"
#include "viewer/core/viewer_messages.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::SaveTestOutput;
using tarvenix::test::SolidWnd;

namespace {

// A grey dock window at (100, 100) and a scale over it, fed a ramp from red to blue.
struct Fixture {
    SolidWnd dock{RGB(90, 90, 90)};
    CScaleMarkWnd* scale = new CScaleMarkWnd;
    Fixture()
    {
        dock.CreateEx(0, nullptr, "dock", WS_POPUP | WS_VISIBLE, CRect(100, 100, 500, 400), nullptr, 0);
        EXPECT_TRUE(scale->Create(&dock));
        scale->SetAnchor(&dock, 9, 0);
        PalitraTag palette;
        CreatePseudoColorPalette(&palette, 0, 255, -1);
        scale->SetPalette(&palette);
        scale->SetValueRange(0.0, 1.0);
        scale->Reposition();
        PumpEvents();
    }
    ~Fixture()
    {
        scale->DestroyWindow();
        dock.DestroyWindow();
        PumpEvents();
    }
    CRect Rect() const
    {
        CRect r;
        scale->GetWindowRect(&r);
        return r;
    }
    CSize ClientSize() const
    {
        CRect r;
        scale->GetClientRect(&r);
        return r.Size();
    }
    // Gives the client area this size (the sizing border lies around it).
    void SizeClient(int cx, int cy)
    {
        const CRect r = Rect();
        const CSize c = ClientSize();
        scale->MoveWindow(r.left, r.top, cx + r.Width() - c.cx, cy + r.Height() - c.cy);
    }
    // Drags the scale by its client point (5, 5) so that its top-left lands at `topLeft`.
    void DragTo(CPoint topLeft)
    {
        scale->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        const CRect now = Rect();
        const CPoint client = topLeft - now.TopLeft() + CPoint(5, 5);
        scale->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
        scale->SendMessage(WM_LBUTTONUP, 0, 0);
    }
};

QRgb At(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST(ScaleMark, MarkStepPlansOneMarkPerTwentyFivePixels)
{
    EXPECT_DOUBLE_EQ(CScaleMarkWnd::GetMarkStep(90, 1.0, 0.0), GetNearestStep(1.0 / 3.6));
    EXPECT_EQ(CScaleMarkWnd::GetMarkStep(90, 2.0, 2.0), -1.0);
    EXPECT_EQ(CScaleMarkWnd::GetMarkStep(0, 1.0, 0.0), -1.0);
    EXPECT_EQ(CScaleMarkWnd::GetMarkStep(-5, 1.0, 0.0), -1.0);
}

TEST(ScaleMark, BarColoursRunFromTheMinimumEnd)
{
    Fixture f;
    f.SizeClient(200, 40);
    QImage image = GrabWindow(*f.scale);
    SaveTestOutput(image, "scale_horizontal");
    const CRect bar = f.scale->m_bar;
    EXPECT_EQ(bar, CRect(5, 15, 195, 35)) << "margins 5, with 15 above the bar for its labels";
    EXPECT_EQ(At(image, bar.left, bar.top + 5), 0xFF0000u) << "entry 0 at the left end";
    // The last column takes entry floor((w - 1) * 256 / w), as every column does.
    PalitraTag ramp;
    CreatePseudoColorPalette(&ramp, 0, 255, -1);
    const auto entry = [&](int i) {
        return QRgb(ramp.rgb[i][0] << 16 | ramp.rgb[i][1] << 8 | ramp.rgb[i][2]);
    };
    for (int x = 0; x < bar.Width(); x += 7)
        ASSERT_EQ(At(image, bar.left + x, bar.top + 5), entry(x * 256 / bar.Width())) << x;
    EXPECT_EQ(At(image, bar.left - 1, bar.top + 5), 0x000000u) << "the bar's frame";

    const CSize horizontal = f.Rect().Size();
    f.scale->SendMessage(WM_COMMAND, ID_SCALE_VERTICAL, 0);
    EXPECT_EQ(f.ClientSize(), CSize(50, 100));
    image = GrabWindow(*f.scale);
    SaveTestOutput(image, "scale_vertical");
    const CRect vbar = f.scale->m_bar;
    EXPECT_EQ(vbar, CRect(5, 5, 15, 95)) << "margins 5, with 35 right of the bar for its labels";
    EXPECT_EQ(At(image, vbar.left + 2, vbar.bottom - 1), 0xFF0000u) << "entry 0 at the bottom";
    EXPECT_EQ(At(image, vbar.left + 2, vbar.top), entry((vbar.Height() - 1) * 256 / vbar.Height()));
    f.scale->SendMessage(WM_COMMAND, ID_SCALE_HORIZONTAL, 0);
    EXPECT_EQ(f.Rect().Size(), horizontal) << "back to horizontal keeps the size it had";
}

TEST(ScaleMark, SnapsToTheDockAndFollowsIt)
{
    Fixture f;
    // Anchor 9 keeps it 4 pixels inside the bottom-left corner.
    EXPECT_EQ(f.Rect().left, 104);
    EXPECT_EQ(f.Rect().bottom, 396);

    f.DragTo(CPoint(110, 97));  // near the top-left corner, on both sides of the lines
    EXPECT_EQ(f.scale->m_nAnchor, 5);
    EXPECT_EQ(f.Rect().TopLeft(), CPoint(104, 104));
    f.dock.MoveWindow(150, 120, 400, 300);
    f.scale->Reposition();
    EXPECT_EQ(f.Rect().TopLeft(), CPoint(154, 124));

    f.DragTo(CPoint(250, 250));
    EXPECT_EQ(f.scale->m_nAnchor, 0);
    EXPECT_EQ(f.Rect().TopLeft(), CPoint(250, 250));
    f.dock.MoveWindow(100, 100, 400, 300);
    f.scale->Reposition();
    EXPECT_EQ(f.Rect().TopLeft(), CPoint(250, 250)) << "a free scale stays where it was dropped";
}

TEST(ScaleMark, ATinyWindowDrawsNoBarAndKeepsWorking)
{
    Fixture f;
    f.SizeClient(8, 8);
    const QImage image = GrabWindow(*f.scale);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_EQ(At(image, x, y), 0xFFFFFFu);
    f.scale->SetValueRange(5.0, 5.0);
    f.scale->SendMessage(WM_COMMAND, ID_SCALE_VERTICAL, 0);
    f.scale->SendMessage(WM_COMMAND, ID_SCALE_COPY, 0);
}

TEST(ScaleMark, ItsBorderLiesOutsideTheBarAndADragOnItResizesTheScale)
{
    Fixture f;
    f.SizeClient(200, 40);
    CRect window = f.Rect(), client;
    f.scale->GetClientRect(&client);
    f.scale->ClientToScreen(&client);
    const int border = client.left - window.left;
    ASSERT_GT(border, 1);
    EXPECT_EQ(client, CRect(window.left + border, window.top + border, window.right - border,
                            window.bottom - border));

    // The scale paints its border: a black line, white inside it, then its own client area.
    const QImage whole = tarvenix::test::GrabWholeWindow(*f.scale);
    SaveTestOutput(whole, "scale_border");
    ASSERT_EQ(whole.size(), QSize(window.Width(), window.Height()));
    const int midY = window.Height() / 2, midX = window.Width() / 2;
    for (const QPoint line : {QPoint(0, midY), QPoint(window.Width() - 1, midY), QPoint(midX, 0),
                              QPoint(midX, window.Height() - 1), QPoint(0, 0)})
        EXPECT_EQ(At(whole, line.x(), line.y()), 0x000000u) << line.x() << "," << line.y();
    for (int i = 1; i < border; ++i) {
        EXPECT_EQ(At(whole, i, midY), 0xFFFFFFu) << i;
        EXPECT_EQ(At(whole, midX, window.Height() - 1 - i), 0xFFFFFFu) << i;
    }
    EXPECT_EQ(At(whole, border + f.scale->m_bar.left, border + f.scale->m_bar.top + 5), 0xFF0000u)
        << "the bar, inside the border";

    // The user presses on the bottom border and pulls it down by 30 pixels.
    QWidget* outer = platform::OuterWidgetOf(f.scale->GetSafeHwnd());
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), QPointF(outer->mapToGlobal(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(outer, &event);
    };
    const QPoint press(midX, window.Height() - 2);
    send(QEvent::MouseButtonPress, press, Qt::LeftButton);
    send(QEvent::MouseMove, press + QPoint(0, 30), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, press + QPoint(0, 30), Qt::NoButton);
    EXPECT_EQ(f.Rect(), CRect(window.left, window.top, window.right, window.bottom + 30));
    EXPECT_EQ(f.ClientSize(), CSize(200, 70));
    EXPECT_EQ(f.scale->m_horzSize, CSize(200, 70)) << "the horizontal size follows the user's drag";
    EXPECT_EQ(f.scale->m_bar, CRect(5, 15, 195, 65));
}

TEST(ScaleMark, HideAndPaletteGoToTheFrame)
{
    struct Frame : SolidWnd {
        using SolidWnd::SolidWnd;
        std::vector<UINT> commands;
        BOOL OnCommand(WPARAM w, LPARAM l) override
        {
            commands.push_back(UINT(LOWORD(w)));
            return SolidWnd::OnCommand(w, l);
        }
    };
    Frame frame(RGB(0, 0, 0));
    frame.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0);
    auto* scale = new CScaleMarkWnd;
    ASSERT_TRUE(scale->Create(&frame));
    scale->SendMessage(WM_COMMAND, ID_SCALE_HIDE, 0);
    scale->SendMessage(WM_COMMAND, ID_SCALE_PALETTE, 0);
    tarvenix::test::PumpUntil([&] { return frame.commands.size() == 2; });
    EXPECT_EQ(frame.commands, (std::vector<UINT>{ID_SCALE_HIDE, ID_SCALE_PALETTE}));
    scale->DestroyWindow();
    frame.DestroyWindow();
}

}  // namespace

TEST(ScaleMark, LabelsThatWouldRunTogetherAreThinnedAndTheEndsStay)
{
    struct Case {
        const char* name;
        double low, high;
        bool vertical;
        CSize client;
    };
    const Case cases[] = {
        {"fractions", 0.0, 1.0, false, CSize(160, 40)},
        {"thousands", 0.0, 7000.0, false, CSize(230, 40)},
        {"vertical thousands", 0.0, 7000.0, true, CSize(70, 120)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        if (c.vertical) f.scale->SendMessage(WM_COMMAND, ID_SCALE_VERTICAL, 0);
        f.SizeClient(c.client.cx, c.client.cy);
        f.scale->SetValueRange(c.low, c.high);
        const std::vector<CRect>& labels = f.scale->m_labelRects;
        ASSERT_GE(labels.size(), 2u) << "the first and the last label are shown";
        for (std::size_t i = 0; i < labels.size(); ++i)
            for (std::size_t j = i + 1; j < labels.size(); ++j) {
                CRect common;
                EXPECT_FALSE(common.IntersectRect(&labels[i], &labels[j])) << i << " and " << j;
            }
        for (const CRect& r : labels) {
            EXPECT_GE(r.left, 0);
            EXPECT_LE(r.right, c.client.cx);
        }
        SaveTestOutput(GrabWindow(*f.scale), std::string("scale_labels_") + (c.vertical ? "vertical_" : "") +
                                                 (c.high > 1 ? "thousands" : "fractions"));
    }
}
