// The kernel library the installation brings and the settings an installer sets: on a fresh
// machine the convolution tool opens on masks it can use at once.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "modules/convolution/exports.h"
#include "tests/modules/convolution/convolution_dlg_support.h"
#include "tests/support/test_environment.h"

namespace {

using namespace convdlgtest;
using tarvenix::test::TempDir;
namespace fs = std::filesystem;

/// Runs the installer's settings step with `args`; its exit code, or -1.
int InstallSettings(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {TVX_INSTALL_SETTINGS};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(TVX_INSTALL_SETTINGS, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string General(const char* name)
{
    return std::string(GetStringValue("\\Settings\\General", name));
}

TEST(InstalledLibrary, AFreshStartOpensTheConvolutionToolOnTheLibrary)
{
    TempDir dir;
    const std::string library = TVX_KERNEL_LIBRARY, work = dir.Path().string();
    SetLibrary("", "");  // a fresh machine: neither folder is set
    ASSERT_EQ(InstallSettings({"KernelsDir=" + library, "WorkDir=" + work}), 0);
    EXPECT_EQ(General("KernelsDir"), library);
    EXPECT_EQ(General("WorkDir"), work);
    // A later installation keeps what the user has.
    ASSERT_EQ(InstallSettings({"KernelsDir=/elsewhere", "WorkDir=/elsewhere"}), 0);
    EXPECT_EQ(General("KernelsDir"), library);
    EXPECT_EQ(General("WorkDir"), work);
    EXPECT_EQ(InstallSettings({"no-value"}), 2);

    Convolution_Files();
    ASSERT_EQ(TopLevelOf<CConvolutionDlg>().size(), 1u);
    CConvolutionDlg* d = TopLevelOf<CConvolutionDlg>()[0];
    CTreeCtrl* tree = Tree(d);
    std::set<std::string> folders;
    for (HTREEITEM i = tree->GetRootItem(); i; i = tree->GetNextSiblingItem(i)) {
        folders.insert(std::string(tree->GetItemText(i)));
        tree->Expand(i, TVE_EXPAND);
    }
    EXPECT_EQ(folders, (std::set<std::string>{"Smoothing", "Edges"}));

    // Each mask under its folder, with its caption and description; smoothing masks are
    // weights that the convolution divides by their sum, edge masks sum to 0.
    const struct {
        const char* caption;
        const char* folder;
        int side;
        double sum;
    } masks[] = {{"Box 3 x 3", "Smoothing", 3, 9},
                 {"Box 5 x 5", "Smoothing", 5, 25},
                 {"Gaussian 5 x 5", "Smoothing", 5, 256},
                 {"Laplacian", "Edges", 3, 0},
                 {"Sobel X", "Edges", 3, 0},
                 {"Sobel Y", "Edges", 3, 0}};
    for (const auto& m : masks) {
        SCOPED_TRACE(m.caption);
        HTREEITEM item = FindItem(tree, m.caption);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(std::string(tree->GetItemText(tree->GetParentItem(item))), m.folder);
        tree->SelectItem(item);
        const std::string path = static_cast<const char*>(d->CurrentMaskPath());
        EXPECT_EQ(CRDPLayer::GetNumLayer(path.c_str()), 1);
        int w = 0, h = 0;
        const auto weights = convtest::ReadParts(path, &w, &h);
        EXPECT_EQ(w, m.side);
        EXPECT_EQ(h, m.side);
        EXPECT_EQ(std::accumulate(weights.begin(), weights.end(), 0.0), m.sum);
        CString description;
        EXPECT_TRUE(CLayerDescription::GetDescriptionTag(path.c_str(), CLayerDescription::kDescriptionTag,
                                                         description));
        EXPECT_FALSE(description.IsEmpty());
    }
    tree->SelectItem(FindItem(tree, "Gaussian 5 x 5"));
    PumpEvents();
    EXPECT_FALSE(
        tarvenix::test::SaveTestOutput(tarvenix::test::GrabWindow(*d), "kernel_library_first_start").empty());

    d->SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(PumpUntil([] { return GetRunningThreadCount() == 0; }));
    PumpEvents();
    SetLibrary("");
}

}  // namespace
