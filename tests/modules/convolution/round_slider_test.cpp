#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "modules/convolution/round_slider_ctrl.h"
#include "tests/support/ui_helpers.h"

namespace {

using tarvenix::test::PumpEvents;

/// A top-level window holding one round slider set up as the tool dialogs set it up, and
/// recording the WM_HSCROLL notifications it gets.
class SliderHost : public CWnd {
public:
    std::vector<std::pair<UINT, int>> notes;  // (code, position)

protected:
    void OnHScroll(UINT code, UINT pos, CScrollBar*) { notes.emplace_back(code, int(pos)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SliderHost, CWnd)
    ON_WM_HSCROLL()
END_MESSAGE_MAP()

constexpr int kSide = 101;  // centre (50, 50), groove radius 50 - 7 - 1 = 42

class RoundSlider : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.CreateEx(0, nullptr, "slider host", WS_POPUP | WS_VISIBLE, 0, 0, 160, 160, nullptr,
                                  nullptr));
        ASSERT_TRUE(slider.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(10, 10, 10 + kSide, 10 + kSide),
                                  &host, 100));
        slider.SetRange(0, 359, FALSE);
        slider.SendMessage(TBM_SETPOS, TRUE, 0);
        slider.SetZeroAngle(90);
        slider.SetInverse(false);
        slider.SetOwner(&host);
        slider.EnableSlider(true);
        PumpEvents();
        host.notes.clear();
    }
    void TearDown() override { host.DestroyWindow(); }

    std::vector<std::pair<UINT, int>> Notes()
    {
        PumpEvents();
        return std::exchange(host.notes, {});
    }
    void Press(CPoint p) { slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y)); }
    void Move(CPoint p) { slider.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y)); }
    void Release(CPoint p) { slider.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y)); }
    void Click(CPoint p)
    {
        Press(p);
        Release(p);
    }
    void Key(UINT vk)
    {
        slider.SendMessage(WM_KEYDOWN, vk, 1);
        slider.SendMessage(WM_KEYUP, vk, 1);
    }
    /// The bounding box of the pure red pixels (the hand) in the rendered control.
    CRect RedBox()
    {
        const QImage image = tarvenix::test::GrabWindow(slider);
        CRect box(image.width(), image.height(), -1, -1);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF0000) {
                    box.left = std::min<int>(box.left, x);
                    box.top = std::min<int>(box.top, y);
                    box.right = std::max<int>(box.right, x);
                    box.bottom = std::max<int>(box.bottom, y);
                }
        return box;
    }

    SliderHost host;
    CRoundSliderCtrl slider;
};

TEST_F(RoundSlider, GeometryComesFromTheSquareOfTheClientArea)
{
    EXPECT_EQ(slider.GetCentre(), CPoint(50, 50));
    EXPECT_EQ(slider.GetGrooveRadius(), 42);
    EXPECT_EQ(slider.GetRangeMin(), 0);
    EXPECT_EQ(slider.GetRangeMax(), 359);
    EXPECT_EQ(slider.GetLineSize(), 1);
    EXPECT_EQ(slider.GetPageSize(), 10);
    // The window is a circle: its corners are not part of it.
    CRgn region;
    region.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(slider.GetWindowRgn(region), ERROR);
    EXPECT_TRUE(PtInRegion(region, 50, 50));
    EXPECT_TRUE(PtInRegion(region, 50, 2));
    EXPECT_FALSE(PtInRegion(region, 2, 2));
    EXPECT_FALSE(PtInRegion(region, kSide - 2, kSide - 2));
}

struct ClickCase {
    const char* name;
    bool inverse;
    CPoint point;
    int position;
};

class RoundSliderClicks : public RoundSlider, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(RoundSliderClicks, APointOfTheCircleBecomesItsAngle)
{
    const ClickCase& c = GetParam();
    slider.SetInverse(c.inverse);
    // Start away from every expected position, so each click changes it.
    slider.SendMessage(TBM_SETPOS, TRUE, 300);
    Click(c.point);
    EXPECT_EQ(slider.GetPos(), c.position);
    const auto notes = Notes();
    const std::vector<std::pair<UINT, int>> want = {{TB_THUMBTRACK, c.position},
                                                    {TB_THUMBPOSITION, c.position}};
    EXPECT_EQ(notes, want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundSliderClicks,
    ::testing::Values(ClickCase{"Right", false, {90, 50}, 0}, ClickCase{"Below", false, {50, 90}, 90},
                      ClickCase{"Left", false, {10, 50}, 180}, ClickCase{"Above", false, {50, 10}, 270},
                      ClickCase{"Centre", false, {50, 50}, 90}, ClickCase{"LowerRight", false, {80, 80}, 45},
                      ClickCase{"InverseRight", true, {90, 50}, 180},
                      ClickCase{"InverseLeft", true, {10, 50}, 0},
                      ClickCase{"InverseBelow", true, {50, 90}, 90}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoundSlider, DragPostsTrackingThenOnePositionAndAPressInPlacePostsNothing)
{
    Press({90, 50});  // at 0 already: nothing moves
    EXPECT_TRUE(slider.IsDragging());
    Move({50, 90});
    Move({50, 91});  // same angle: no notification
    Move({10, 50});
    Release({10, 50});
    EXPECT_FALSE(slider.IsDragging());
    const std::vector<std::pair<UINT, int>> want = {
        {TB_THUMBTRACK, 90}, {TB_THUMBTRACK, 180}, {TB_THUMBPOSITION, 180}};
    EXPECT_EQ(Notes(), want);

    Click({10, 50});
    EXPECT_TRUE(Notes().empty());
}

TEST_F(RoundSlider, KeysStepAndWrapRoundTheCircle)
{
    struct Step {
        int start;
        UINT key;
        int position;
        UINT code;
    };
    const Step steps[] = {
        {359, VK_RIGHT, 0, TB_LINEDOWN}, {0, VK_LEFT, 359, TB_LINEUP},  {10, VK_DOWN, 11, TB_LINEDOWN},
        {10, VK_UP, 9, TB_LINEUP},       {5, VK_PRIOR, 355, TB_PAGEUP}, {355, VK_NEXT, 5, TB_PAGEDOWN},
    };
    for (const Step& s : steps) {
        slider.SendMessage(TBM_SETPOS, TRUE, s.start);
        Key(s.key);
        EXPECT_EQ(slider.GetPos(), s.position) << s.start << " key " << s.key;
        const std::vector<std::pair<UINT, int>> want = {{s.code, s.position}, {TB_ENDTRACK, s.position}};
        EXPECT_EQ(Notes(), want) << s.start << " key " << s.key;
    }
    slider.SendMessage(TBM_SETPOS, TRUE, 42);
    Key(VK_HOME);
    Key(VK_END);
    EXPECT_EQ(slider.GetPos(), 42);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(RoundSlider, AnInactiveSliderIgnoresTheMouseButAnswersKeys)
{
    slider.EnableSlider(false);
    Click({10, 50});
    EXPECT_EQ(slider.GetPos(), 0);
    EXPECT_FALSE(slider.IsDragging());
    Key(VK_RIGHT);
    EXPECT_EQ(slider.GetPos(), 1);
    EXPECT_EQ(Notes().size(), 2u);
}

TEST_F(RoundSlider, SetAngleReducesToOneTurnAndPostsNothing)
{
    const struct {
        float degrees;
        int position;
    } cases[] = {
        {45.9f, 45},
        {725.0f, 5},
        {360.0f, 0},
        {-30.0f, 330},
        {-0.5f, 359},
        {1e30f, int(std::fmod(double(1e30f), 360.0))},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), 0},
    };
    for (const auto& c : cases) {
        slider.SetAngle(c.degrees);
        EXPECT_EQ(slider.GetPos(), c.position) << c.degrees;
    }
    EXPECT_TRUE(Notes().empty());
}

TEST_F(RoundSlider, TextFollowsThePositionAndAResizeResetsIt)
{
    slider.SendMessage(TBM_SETPOS, TRUE, 5);
    EXPECT_EQ(std::string(slider.GetText()), "5\xC2\xB0");
    slider.SetFormatString("%ld deg");
    EXPECT_EQ(std::string(slider.GetText()), "5 deg");

    slider.SetWindowPos(nullptr, 0, 0, 81, 121, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(slider.GetPos(), 0);
    EXPECT_EQ(slider.GetCentre(), CPoint(40, 40));
    EXPECT_EQ(slider.GetGrooveRadius(), 32);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(RoundSlider, TheHandPointsFromTheCentreToTheKnob)
{
    // Position 0 is at 3 o'clock: the red hand runs right from the centre to the knob on
    // the groove (42 pixels away), position 90 straight down.
    CRect hand = RedBox();
    EXPECT_EQ(hand.left, 50);
    EXPECT_EQ(hand.right, 91);
    EXPECT_LE(hand.Height(), 1);
    EXPECT_NEAR(hand.top, 50, 1);
    slider.SendMessage(TBM_SETPOS, TRUE, 90);
    slider.UpdateWindow();
    hand = RedBox();
    EXPECT_EQ(hand.top, 50);
    EXPECT_EQ(hand.bottom, 91);
    EXPECT_LE(hand.Width(), 1);
    EXPECT_NEAR(hand.left, 50, 1);
    // Inactive, the hand is grey.
    slider.EnableSlider(false);
    EXPECT_EQ(RedBox().right, -1);
}

TEST_F(RoundSlider, Screenshots)
{
    const struct {
        const char* name;
        bool active;
        bool focused;
        int position;
    } shots[] = {
        {"round_slider_active_30", true, false, 30},
        {"round_slider_inactive_0", false, false, 0},
        {"round_slider_focused_225", true, true, 225},
    };
    for (const auto& s : shots) {
        slider.EnableSlider(s.active);
        slider.SendMessage(TBM_SETPOS, TRUE, s.position);
        if (s.focused) slider.SetFocus();
        slider.RedrawWindow();
        const QImage shot = tarvenix::test::GrabWindow(slider);
        ASSERT_FALSE(shot.isNull());
        EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot.scaled(shot.size() * 3), s.name).empty());
    }
}

}  // namespace
