// The first picture a new user gets: the installation lists the template made at build time,
// and New > Templates in the plug-in, with every unit running as in the program, opens it
// untitled on a lit picture. A damaged copy of it whose viewer asks for a picture larger than
// a viewer shows opens all the same and tells the user what it refused.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/forms/forms.h"
#include "platform/registry/registry.h"
#include "platform/window/modal.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_dll_main.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_viewer3d.h"
#include "plugin3d/model/core/k_templates.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::PumpUntil;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

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

void ChooseTemplate(const std::string& caption)
{
    Responder().AnswerDialogCommand(IDOK).Doing([caption](CWnd& window) {
        auto* dialog = dynamic_cast<TKNewDialog*>(&window);
        ASSERT_NE(dialog, nullptr);
        TTreeNodes* groups = dialog->TreeView1->Items();
        for (int i = 0; i < groups->Count(); ++i)
            if (groups->Item(i)->Text() == "Templates") dialog->TreeView1->SetSelected(groups->Item(i));
        for (int i = 0; i < dialog->ListView1->Count(); ++i)
            if (dialog->ListView1->Item(i)->Caption() == caption)
                dialog->ListView1->SetSelected(dialog->ListView1->Item(i));
        ASSERT_NE(dialog->SelectedEntry(), nullptr) << caption;
    });
}

// Shares of the picture's pixels that are not the background, and how many colours it has.
void Measure(const QImage& picture, double& lit, int& levels)
{
    const QRgb background = picture.pixel(0, 0);
    std::vector<bool> seen(256, false);
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            if (p == background) continue;
            ++count;
            seen[std::size_t(qGray(p))] = true;
        }
    lit = double(count) / (picture.width() * picture.height());
    levels = int(std::count(seen.begin(), seen.end(), true));
}

class InstalledTemplate : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteKey(HKEY_CURRENT_USER, kProjectTemplatesKey);
        ASSERT_EQ(InstallSettings({"3DTemplate=Sample relief=" TARVENIX_TEMPLATE_PATH}), 0);
        // Installing again lists it once.
        ASSERT_EQ(InstallSettings({"3DTemplate=Sample relief=" TARVENIX_TEMPLATE_PATH}), 0);
        platform::ReloadRegistryFromFile();
        // The plug-in reads its templates when it starts, as after an installation.
        FinalizeUnits(&kKTemplatesUnit, 1);
        InitializeUnits(&kKTemplatesUnit, 1);
        InitializeUnits(&kDllMainUnit, 1);
        DllShowForms();
        admin = DllMainForm()->Administrator();
        ASSERT_NE(admin, nullptr);
    }
    void TearDown() override
    {
        if (admin && admin->Project() && admin->Project()->Modified()) Responder().AnswerMessageBox(IDNO);
        DllHideForms();
        PumpEvents();
        FinalizeUnits(&kDllMainUnit, 1);
        RegDeleteKey(HKEY_CURRENT_USER, kProjectTemplatesKey);
        FinalizeUnits(&kKTemplatesUnit, 1);
        InitializeUnits(&kKTemplatesUnit, 1);
    }

    /// Serves the event loop until the administrator's load has ended.
    void WaitForJob()
    {
        ASSERT_TRUE(PumpUntil([&] { return admin->Job() == 0; }, std::chrono::seconds(120)));
    }

    TKAdministrator* admin = nullptr;
};

TEST_F(InstalledTemplate, NewOpensItUntitledOnALitPicture)
{
    ASSERT_EQ(ProjectTemplates().size(), 1u);
    ChooseTemplate("Sample relief");
    admin->NewBtn->Click();
    WaitForJob();
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(project, nullptr);
    EXPECT_TRUE(admin->FileName().empty()) << "a template opens untitled";
    ASSERT_EQ(project->ViewerCount(), 1);
    auto* system = ObjectAs<TKDrawingSystem3D>(project->GetDrawingSystem(0));
    ASSERT_NE(system, nullptr);
    EXPECT_NE(project->GetViewerCamera(system), nullptr);
    EXPECT_GE(system->ImageWidth(), 320);
    TKViewer3D* viewer = ViewerOf(system);
    ASSERT_NE(viewer, nullptr);
    PumpEvents();
    EXPECT_TRUE(viewer->IsWindowVisible()) << "the viewer opens with the template";

    // Lit: most of the picture is the surface, in many shades.
    QImage shown;
    double lit = 0;
    int levels = 0;
    EXPECT_TRUE(PumpUntil(
        [&] {
            shown = GrabWindow(*viewer);
            Measure(shown.copy(0, 24, system->ImageWidth(), system->ImageHeight()), lit, levels);
            return lit > 0.3 && levels > 40;
        },
        std::chrono::seconds(120)))
        << lit << " lit, " << levels << " shades";
    EXPECT_FALSE(SaveTestOutput(shown, "kelvora-template-first-picture").empty());
}

TEST_F(InstalledTemplate, ADamagedCopyOpensAndSaysWhatItRefused)
{
    std::string bytes = tarvenix::test::ReadWholeFile(TARVENIX_TEMPLATE_PATH);
    const std::int32_t from[2] = {560, 420}, to[2] = {20000, 26000};
    int patched = 0;
    for (std::size_t at = bytes.find(std::string(reinterpret_cast<const char*>(from), 8));
         at != std::string::npos;
         at = bytes.find(std::string(reinterpret_cast<const char*>(from), 8), at + 8)) {
        std::memcpy(bytes.data() + at, to, 8);
        ++patched;
    }
    ASSERT_GT(patched, 0);
    tarvenix::test::TempDir dir;
    const std::string file = dir.File("damaged.ktp");
    tarvenix::test::WriteWholeFile(file, bytes);

    // The box as the user sees it: shown for real, grabbed, then closed.
    QImage box;
    std::string text;
    platform::SetModalResponder(nullptr);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        if (!shown || !shown->isVisible()) return;
        if (auto* message = qobject_cast<QMessageBox*>(shown)) text = message->text().toStdString();
        shown->adjustSize();
        box = shown->grab().toImage();
        shown->close();
    });
    poll.start(50);
    admin->LoadProjectFromFile(file);
    WaitForJob();
    poll.stop();
    platform::SetModalResponder(&Responder());

    ASSERT_NE(admin->Project(), nullptr) << "the rest of the project loads";
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_EQ(project->ViewerCount(), 1);
    // Refused its picture, the viewer takes the one its window shows, held to the screen.
    EXPECT_LE(ObjectAs<TKDrawingSystem3D>(project->GetDrawingSystem(0))->ImageWidth(), Screen->Width());
    ASSERT_FALSE(box.isNull()) << "the refusal was shown";
    EXPECT_FALSE(SaveTestOutput(box, "kelvora-refused-picture").empty());
    EXPECT_NE(
        text.find("Viewer \"Sample relief\": its picture of 20000 x 26000 pixels is larger than a viewer "
                  "shows"),
        std::string::npos)
        << text;
}

}  // namespace
