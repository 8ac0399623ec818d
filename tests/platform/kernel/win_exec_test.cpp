#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/win_exec.h"
#include "platform/last_error.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

namespace {

using Parts = std::vector<std::string>;

TEST(SplitCommandLine, BlanksOutsideQuotesSeparateAndQuotesAreDropped)
{
    struct Case {
        const char* line;
        Parts parts;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"prog", {"prog"}},
        {"  prog  a\tb  ", {"prog", "a", "b"}},
        {R"("/opt/my app/run" -x "a b")", {"/opt/my app/run", "-x", "a b"}},
        {R"(prog a" b "c)", {"prog", "a b c"}},
        {R"(prog "" x)", {"prog", "", "x"}},
        {R"(prog "open)", {"prog", "open"}},
        {"prog a;b|c $(d) `e`", {"prog", "a;b|c", "$(d)", "`e`"}},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.parts) << c.line;
}

TEST(WinExec, StartsTheProgramWithItsArgumentsUntouchedByAShell)
{
    tarvenix::test::TempDir dir;
    // touch makes a file of each argument: a shell would have split or run these.
    const std::string odd = dir.File("a b;touch c");
    const std::string line = "touch \"" + odd + "\"";
    EXPECT_GT(WinExec(line.c_str(), 1), 31u);
    EXPECT_TRUE(tarvenix::test::PumpUntil([&] { return std::filesystem::exists(odd); }));
    EXPECT_FALSE(std::filesystem::exists(dir.File("c")));

    EXPECT_EQ(WinExec("tvx-no-such-program --x", 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec((dir.File("missing") + " x").c_str(), 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec("", 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec(nullptr, 1), ERROR_FILE_NOT_FOUND);
}

TEST(WinExec, AHookSeesTheSplitLineAndStartsNothing)
{
    Parts seen;
    platform::SetWinExecHook([&](const Parts& parts, UINT) {
        seen = parts;
        return 42u;
    });
    EXPECT_EQ(WinExec(R"(touch "/nonexistent dir/x")", 1), 42u);
    platform::SetWinExecHook(nullptr);
    EXPECT_EQ(seen, (Parts{"touch", "/nonexistent dir/x"}));
}

}  // namespace
