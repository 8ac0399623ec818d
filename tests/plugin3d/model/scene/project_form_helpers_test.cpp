// The window helpers the plug-in's forms use: placing a form on the screen, the stacking
// depth saved with a window, finding a form by its window, and the order in which a load
// shows the windows it reopens.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "platform/resources/module_resources.h"
#include "platform/window/messages.h"
#include "plugin3d/model/scene/k_project_helpers.h"
#include "tests/platform/forms/forms_test_support.h"
#include "tests/plugin3d/model/scene/project3d_test_support.h"
#include "tests/support/ui_helpers.h"

namespace {

constexpr TFormResource kForms[] = {
    {.name = "TPLACEDFORM", .caption = "Placed", .clientWidth = 200, .clientHeight = 100}};
constexpr platform::ModuleResources kResources{.module = "placed forms", .forms = kForms};
const platform::ModuleResourceRegistration kRegistration(kResources);

class TPlacedForm : public TForm {
    DECLARE_TCLASS(TPlacedForm)

protected:
    TPlacedForm() = default;
};
IMPLEMENT_TCLASS(TPlacedForm, TForm)

using FormHelpers = tarvenix::test::FormsTest;

TEST_F(FormHelpers, PlaceFormOnScreenCentresMovesInAndShows)
{
    TOwned<TPlacedForm> form(TPlacedForm::New(nullptr));
    const int w = Screen->Width(), h = Screen->Height();
    struct Case {
        int left, top, width, height;
        int expectedLeft, expectedTop, expectedWidth;
    };
    const Case cases[] = {
        {-1, -1, 200, 100, (w - 200) / 2, (h - 100) / 2, 200},  // a negative place centres
        {30, 40, 200, 100, 30, 40, 200},
        {w - 50, h - 20, 200, 100, w - 200, h - 100, 200},  // moved in from past the edges
        {10, 10, w + 50, h + 10, 0, 0, w},                  // never larger than the screen
        // Places and sizes at the 32-bit limits, as a damaged file may hold them.
        {INT_MAX, INT_MAX, 200, 100, w - 200, h - 100, 200},
        {INT_MIN, INT_MIN, 200, 100, (w - 200) / 2, (h - 100) / 2, 200},
        {INT_MAX, INT_MIN, INT_MAX, INT_MAX, 0, 0, w},
        {INT_MIN, INT_MAX, INT_MAX, INT_MAX, 0, 0, w},
    };
    for (const Case& c : cases) {
        PlaceFormOnScreen(form.get(), c.left, c.top, c.width, c.height, false, true);
        EXPECT_EQ(form->Left(), c.expectedLeft) << c.left;
        EXPECT_EQ(form->Top(), c.expectedTop) << c.top;
        EXPECT_EQ(form->Width(), c.expectedWidth);
        EXPECT_LE(form->Height(), h);
        EXPECT_TRUE(form->Visible());
    }
    // No size given: the form keeps its own; stay on top and hidden as asked.
    const int width = form->Width();
    PlaceFormOnScreen(form.get(), 5, 6, 0, 0, true, false);
    EXPECT_EQ(form->Width(), width);
    EXPECT_FALSE(form->Visible());
    EXPECT_NE(form->GetExStyle() & WS_EX_TOPMOST, 0u);
}

TEST_F(FormHelpers, DepthsOrderTheWindowsAndFormsAreFoundByTheirWindows)
{
    TOwned<TPlacedForm> lower(TPlacedForm::New(nullptr)), upper(TPlacedForm::New(nullptr)),
        topmost(TPlacedForm::New(nullptr));
    lower->Show();
    upper->Show();
    PlaceFormOnScreen(topmost.get(), 0, 0, 0, 0, true, true);
    tarvenix::test::PumpEvents();
    const int below = WindowZDepth(lower->GetSafeHwnd()), above = WindowZDepth(upper->GetSafeHwnd());
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
    EXPECT_LT(above, below);  // smaller lies higher
    EXPECT_LT(WindowZDepth(topmost->GetSafeHwnd()), 0);
    EXPECT_EQ(WindowZDepth(nullptr), 0);

    EXPECT_EQ(FindFormByHandle(upper->GetSafeHwnd()), upper.get());
    EXPECT_EQ(FindFormByHandle(nullptr), nullptr);
}

TEST(ReopenedWindows, AreKeptDeepestFirst)
{
    kelvora::test::ProjectTestClasses classes;
    auto project = kelvora::test::NewProject();
    const auto handle = [](int n) { return reinterpret_cast<HWND>(std::intptr_t(n)); };
    for (const auto& [n, depth] : {std::pair{1, 3}, {2, -2}, {3, 7}, {4, 3}, {5, 1}})
        project->AddReopenedWindow(handle(n), depth);
    std::vector<std::int32_t> depths;
    for (const TReopenedWindow& w : project->ReopenedWindows()) depths.push_back(w.Depth);
    EXPECT_EQ(depths, (std::vector<std::int32_t>{7, 3, 3, 1, -2}));
}

}  // namespace
