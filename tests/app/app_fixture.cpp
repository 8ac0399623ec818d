#include "tests/app/app_fixture.h"

#include <filesystem>

#include "app/app_resources.h"
#include "app/toolbars/toolbar_ids.h"
#include "app/plugin_loader.h"
#include "platform/kernel/modules.h"
#include "tests/app/plugin_log.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using namespace tarvenix::toolbars;

namespace apptest {

namespace {

int g_live = 0;

void OpenStandIn(const char* fileName, CWnd*, const RECT* rect)
{
    auto* viewer = new StandInViewer;
    viewer->fileName = fileName ? fileName : "";
    viewer->placed = rect != nullptr;
    const CRect place = rect ? CRect(*rect) : CRect(40, 200, 440, 500);
    if (rect) viewer->rect = *rect;
    OpenedViewers().push_back(viewer);
    ++g_live;
    viewer->CreateEx(0, nullptr, ("Viewer " + viewer->fileName).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                     place.left, place.top, place.Width(), place.Height(), nullptr, nullptr);
}

}  // namespace

LRESULT StandInViewer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == ViewerControlMessage()) {
        codes.push_back(static_cast<int>(wParam));
        if (wParam == kViewerClose) {
            RecordPluginEvent("viewer closes");
            if (onClose)
                onClose(*this);
            else
                DestroyWindow();
        }
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void StandInViewer::PostNcDestroy()
{
    --g_live;
    auto& opened = OpenedViewers();
    std::erase(opened, this);
    delete this;
}

std::vector<StandInViewer*>& OpenedViewers()
{
    static std::vector<StandInViewer*> opened;
    return opened;
}

std::vector<std::string> OpenedFiles()
{
    std::vector<std::string> names;
    for (StandInViewer* v : OpenedViewers()) names.push_back(v->fileName);
    return names;
}

int LiveViewers()
{
    return g_live;
}

LRESULT CountingWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == ViewerControlMessage()) codes.push_back(static_cast<int>(wParam));
    return CWnd::WindowProc(message, wParam, lParam);
}

std::string BinDir()
{
    char path[4096] = {};
    GetModuleFileName(nullptr, path, sizeof(path));
    return std::filesystem::path(path).parent_path().string();
}

void AppTest::SetUp()
{
    ClearPluginLog();
    m_previousSeam = SetViewerSeam(ViewerSeam{OpenStandIn, LiveViewers});
}

void AppTest::TearDown()
{
    for (StandInViewer* v : std::vector<StandInViewer*>(OpenedViewers())) {
        v->onClose = nullptr;
        if (v->GetSafeHwnd()) v->DestroyWindow();
    }
    tarvenix::test::PumpUntil([] { return LiveViewers() == 0; });
    OpenedViewers().clear();
    if (g_pGolovaDlg) {
        if (g_pGolovaDlg->GetSafeHwnd()) g_pGolovaDlg->DestroyWindow();
        delete g_pGolovaDlg;
    }
    if (CWnd* owner = Owner()) {
        if (owner->GetSafeHwnd()) owner->DestroyWindow();
    }
    if (m_app) m_app->ExitInstance();
    m_app.reset();
    Unload3DPlugin();
    Set3DPluginFileName("Kelvora3Dl.dll");
    SetViewerSeam(m_previousSeam);
    tarvenix::test::PumpEvents();
}

void AppTest::Start(const char* commandLine)
{
    m_app = std::make_unique<CTarvenixApp>();
    ASSERT_TRUE(m_app->StartWith(commandLine));
    ASSERT_NE(g_pGolovaDlg, nullptr);
    tarvenix::test::PumpEvents();
}

void AppTest::ChooseExit(int answer)
{
    tarvenix::test::Responder().AnswerMessageBox(answer);
    Command().SendMessage(WM_COMMAND, ID_FILE_EXIT_PROGRAM, 0);
}

}  // namespace apptest
