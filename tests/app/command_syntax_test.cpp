#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_syntax.h"

namespace {

struct Recorder : CommandGroupTarget {
    std::vector<std::string> opened;
    bool startViewer = true;
    void OpenViewer(const CString& fileName) override { opened.push_back(fileName.str()); }
    void DisableStartViewer() override { startViewer = false; }
};

struct SyntaxCase {
    const char* name;
    const char* text;
    std::vector<std::string> opened;
    bool startViewer;
};

class CommandGroups : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(CommandGroups, OpenAndDisableAsTheGroupsSay)
{
    const SyntaxCase& c = GetParam();
    Recorder r;
    ParseCommandGroups(c.text, r);
    EXPECT_EQ(r.opened, c.opened);
    EXPECT_EQ(r.startViewer, c.startViewer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandGroups,
    ::testing::Values(
        SyntaxCase{"TwoOpensInOrder",
                   R"(/opt/tv/Tarvenix {Open "/d/a.rdp"} {Open "/d/b.rdp"})",
                   {"/d/a.rdp", "/d/b.rdp"},
                   true},
        SyntaxCase{"DisableViewAfterOpen", R"(Tarvenix {Open "a.rdp"}{DisableView})", {"a.rdp"}, false},
        SyntaxCase{"DisableViewBeforeOpen", R"(Tarvenix {DisableView} {Open "a.rdp"})", {"a.rdp"}, false},
        SyntaxCase{"KeywordInsideTheNameDoesNotDisable",
                   R"({Open "/x/DisableView.rdp"})",
                   {"/x/DisableView.rdp"},
                   true},
        SyntaxCase{"DisableViewBeforeOpenInOneGroupOpensNothing", R"({DisableView Open "a.rdp"})", {}, false},
        SyntaxCase{"LowerCaseKeywordsAreIgnored", R"({open "a.rdp"}{disableview})", {}, true},
        SyntaxCase{"NameWithoutQuotes", R"({Open a.rdp})", {}, true},
        SyntaxCase{"NameWithOneQuote", R"({Open "a.rdp})", {}, true},
        SyntaxCase{"BraceInTheNameEndsTheGroup", R"({Open "a}b.rdp"})", {}, true},
        SyntaxCase{
            "ProgramPathWithBracesIsAGroupToo", R"(/opt/{v2}/Tarvenix {Open "a.rdp"})", {"a.rdp"}, true},
        SyntaxCase{"ProgramPathHoldingAKeyword", R"(/opt/{DisableView}/Tarvenix)", {}, false},
        SyntaxCase{"OnlyTheFirstNameOfAGroup", R"({Open "a.rdp" "b.rdp"})", {"a.rdp"}, true},
        SyntaxCase{"UnclosedGroup", R"({Open "a.rdp")", {}, true},
        SyntaxCase{"NoGroups", "Tarvenix a.rdp", {}, true},
        SyntaxCase{"EmptyName", R"({Open ""})", {""}, true}),
    [](const ::testing::TestParamInfo<SyntaxCase>& info) { return std::string(info.param.name); });

TEST(ExtractDelimited, ReturnsTheIndexAfterTheCloseAndLeavesOutUntouchedWhenIncomplete)
{
    CString out = "kept";
    EXPECT_EQ(ExtractDelimited(out, "ab{cd}ef{gh}", 0, '{', '}'), 6);
    EXPECT_EQ(out, CString("cd"));
    EXPECT_EQ(ExtractDelimited(out, "ab{cd}ef{gh}", 6, '{', '}'), 12);
    EXPECT_EQ(out, CString("gh"));
    out = "kept";
    EXPECT_EQ(ExtractDelimited(out, "ab{cd}ef{gh}", 12, '{', '}'), -1);
    EXPECT_EQ(ExtractDelimited(out, "ab{cd", 0, '{', '}'), -1);
    EXPECT_EQ(ExtractDelimited(out, "abcd}", 0, '{', '}'), -1);
    EXPECT_EQ(out, CString("kept"));
    EXPECT_EQ(ExtractDelimited(out, "x\"\"y", 0, '"', '"'), 3);  // the same character opens and closes
    EXPECT_EQ(out, CString(""));
}

}  // namespace
