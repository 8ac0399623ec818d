// The help the program ships: every page a window or tool asks for lies beside the program,
// every link of the pages leads to a page (and a place in it) that is there, and a page
// reads as a person would see it in a browser.

#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <queue>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/app_resources.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/gradient_resources.h"
#include "modules/convolution/kernova_resources.h"
#include "modules/interferometry/fringe_resources.h"
#include "modules/interferometry/phase_unwrap_resources.h"
#include "modules/texture/texture_resources.h"
#include "outside/basecore/help_system.h"
#include "outside/basecore/settings.h"
#include "platform/shell/shell.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/frame/frame_viewer_ids.h"

namespace fs = std::filesystem;
using tarvenix::test::Responder;

namespace {

std::string Read(const fs::path& path)
{
    return tarvenix::test::ReadWholeFile(path.string());
}

bool IsPage(const fs::path& path)
{
    std::string ext = path.extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".htm" || ext == ".html";
}

std::vector<fs::path> PagesIn(const fs::path& folder)
{
    std::vector<fs::path> pages;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && IsPage(entry.path())) pages.push_back(entry.path());
    return pages;
}

struct Link {
    fs::path target;  // the file it names, as written (no case folding: browsers read it so)
    std::string anchor;
};

/// The links and the style sheets a page refers to, with external ones left out.
std::vector<Link> LinksOf(const fs::path& page)
{
    static const std::regex reference(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    const std::string text = Read(page);
    std::vector<Link> links;
    for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
        const std::string value = (*it)[1];
        if (value.rfind("http:", 0) == 0 || value.rfind("https:", 0) == 0 || value.rfind("mailto:", 0) == 0)
            continue;
        const auto hash = value.find('#');
        const std::string file = value.substr(0, hash);
        links.push_back({file.empty() ? page : (page.parent_path() / file).lexically_normal(),
                         hash == std::string::npos ? std::string() : value.substr(hash + 1)});
    }
    return links;
}

// Records what the help function hands to the desktop instead of starting a browser.
class ShippedHelp : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetStringValue("\\Settings\\General", "HelpFile", "");
        platform::SetShellOpenHook([this](const QUrl& url) {
            opened.push_back(url.toLocalFile().toStdString());
            return true;
        });
        folder = GetHelpFolder().str();
    }
    void TearDown() override { platform::SetShellOpenHook({}); }
    std::string folder;
    std::vector<std::string> opened;
};

}  // namespace

// Every help topic of the program's windows and tools (the command window's Help and F1,
// the viewer and its histogram window, each tool dialog and the kernel editor) opens a page
// that the installation put beside the program, without a word of "not found".
TEST_F(ShippedHelp, EveryPageTheProgramAsksForIsThere)
{
    RegisterAppResources();
    auto loaded = [](UINT id) {
        CString text;
        text.LoadString(id);
        return text;
    };
    const std::pair<const char*, CString> topics[] = {
        {"the command window's Help", CString()},
        {"F1 in the command window", loaded(IDS_HELP_TOPIC)},
        {"the viewer", loaded(IDS_VIEWER_HELP_PAGE)},
        {"the histogram window", loaded(IDS_HIST_HELP_PAGE)},
        {"noise filtering", LoadKernovaText(IDS_FILTR_HELP_PAGE)},
        {"convolution", LoadKernovaText(IDS_CONV_HELP_PAGE)},
        {"the kernel editor", LoadKernovaText(IDS_MASK_HELP_PAGE)},
        {"derivatives", LoadKernovaText(IDS_GRAD_HELP_PAGE)},
        {"coherence", LoadFringeText(IDS_HELP_COHERENCE)},
        {"spectrum analysis", LoadFringeText(IDS_HELP_SPECTRUM)},
        {"the phase filter", LoadFringeText(IDS_HELP_PHASE_FILTR)},
        {"complex operations", LoadFringeText(IDS_HELP_COMPLEX)},
        {"phase unwrapping", LoadUnwrapText(IDS_UNWRAP_HELP)},
        {"texture analysis", LoadTextureText(IDS_TEXTURE_HELP_PAGE)},
    };
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::set<std::string> pages;
    for (const auto& [where, topic] : topics) {
        SCOPED_TRACE(where);
        if (std::string(where) != "the command window's Help") ASSERT_FALSE(topic.IsEmpty());
        opened.clear();
        Responder().Reset();
        EXPECT_EQ(CallHelpSystem(nullptr, topic.IsEmpty() ? nullptr : topic.c_str()), 1);
        EXPECT_TRUE(Responder().Asked().empty()) << "a message instead of the page " << topic.c_str();
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(fs::path(opened[0]).string().rfind(folder, 0), 0u) << opened[0];
        pages.insert(opened[0]);
    }
    EXPECT_EQ(pages.size(), std::size(topics) - 1) << "one page per window or tool (Help and F1 share one)";
}

// The pages installed are the ones in the sources, and each of them links only to pages
// and places that exist; from the contents every page can be reached.
TEST_F(ShippedHelp, EveryLinkOfThePagesResolvesAndEveryPageIsReachable)
{
    const fs::path installed(folder), sources(TARVENIX_HELP_SOURCE);
    std::set<fs::path> all;
    for (const auto& entry : fs::recursive_directory_iterator(sources)) {
        if (!entry.is_regular_file()) continue;
        const fs::path relative = fs::relative(entry.path(), sources);
        EXPECT_EQ(Read(installed / relative), Read(entry.path())) << relative << " installed as it is";
        if (IsPage(entry.path())) all.insert((installed / relative).lexically_normal());
    }
    ASSERT_GE(all.size(), 13u);

    for (const fs::path& page : PagesIn(installed)) {
        SCOPED_TRACE(fs::relative(page, installed).string());
        const std::string text = Read(page);
        EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(text.find("<title>"), std::string::npos);
        for (const Link& link : LinksOf(page)) {
            EXPECT_TRUE(fs::is_regular_file(link.target)) << "a link to " << link.target;
            if (!link.anchor.empty() && fs::is_regular_file(link.target))
                EXPECT_NE(Read(link.target).find("id=\"" + link.anchor + "\""), std::string::npos)
                    << "no place \"" << link.anchor << "\" in " << link.target;
        }
    }

    std::set<fs::path> reached;
    std::queue<fs::path> next;
    next.push((installed / "default.htm").lexically_normal());
    while (!next.empty()) {
        const fs::path page = next.front();
        next.pop();
        if (!reached.insert(page).second || !fs::is_regular_file(page)) continue;
        for (const Link& link : LinksOf(page))
            if (IsPage(link.target)) next.push(link.target);
    }
    for (const fs::path& page : all)
        EXPECT_TRUE(reached.count(page)) << page << " cannot be reached from the contents";
}

// A tool page as a browser shows it: its title, its fields and its formula.
TEST_F(ShippedHelp, AToolPageReadsWithItsFieldsAndFormula)
{
    const fs::path page = fs::path(folder) / "Processing_Filtration.htm";
    QTextBrowser browser;
    // The page's own style sheet, as a browser applies it.
    browser.document()->setDefaultStyleSheet(QString::fromStdString(Read(fs::path(folder) / "style.css")));
    browser.setSearchPaths({QString::fromStdString(folder)});
    browser.resize(820, 1100);
    browser.setSource(QUrl::fromLocalFile(QString::fromStdString(page.string())));
    const QString shown = browser.toPlainText();
    EXPECT_TRUE(shown.contains("Noise filtering"));
    EXPECT_TRUE(shown.contains("Noise Variance"));
    EXPECT_TRUE(shown.contains("output = m + (x − m) · J / (J + σ² · m²)"));
    browser.show();
    const QImage shot = browser.grab().toImage();
    EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "help_page_noise_filtering").empty());
}
