#include "outside/basecore/info_file_dialog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_layer.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::Responder;
using tarvenix::test::TempDir;

namespace {

void MakeLayer(const std::string& path, int width, int height, int type)
{
    CRDPLayer out;
    ASSERT_NE(out.CreateLayer(path.c_str(), width, height, type), nullptr);
    ASSERT_TRUE(out.CloseLayer());
}

constexpr const char* kFilter = "Tarvenix files (*.rdp)|*.rdp|All files (*.*)|*.*||";

CString ItemText(CWnd& dlg, int id)
{
    CString text;
    dlg.GetDlgItem(id)->GetWindowText(text);
    return text;
}

}  // namespace

TEST(InfoFileDialog, ARealLayerOpensWithoutAQuestionAndIsDescribed)
{
    TempDir dir;
    const std::string path = dir.File("scene.rdp");
    MakeLayer(path, 5, 3, 4);
    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 600, "Сцена"));

    CInfoFileDialog dlg(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kFilter);
    Responder().AnswerFile({path.c_str()});
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetPathName(), path.c_str());
    EXPECT_EQ(dlg.GetFileName(), "scene.rdp");
    EXPECT_EQ(dlg.GetWhat(), 0);
    const SLayerFileInfo& info = dlg.GetFileInfo();
    EXPECT_TRUE(info.isLayer);
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.height, 3);
    EXPECT_EQ(info.type, 4);
    EXPECT_FALSE(info.complex);
    EXPECT_EQ(info.caption, "Сцена");
    EXPECT_TRUE(info.description.IsEmpty());
    EXPECT_EQ(info.FormatLine(),
              CString("5 x 3, S16, ") + CString(std::to_string(info.fileBytes)) + " bytes");
    ASSERT_EQ(Responder().Asked().size(), 1u);
    const platform::FileQuestion& question = Responder().Asked()[0].file;
    EXPECT_TRUE(question.filter == kFilter);
    // While choosing, the dialog describes the file under the cursor.
    ASSERT_TRUE(question.describe);
    EXPECT_EQ(question.describe(path.c_str()), info.FormatLine() + "\nСцена");
    EXPECT_EQ(question.describe(dir.File("none.rdp").c_str()), "File not found");
}

// For a complex layer the component question shows the file's description, and its answer
// is what GetWhat reports; Cancel there cancels the whole choice.
TEST(InfoFileDialog, AComplexLayerAsksWhichComponentToOpen)
{
    TempDir dir;
    const std::string path = dir.File("slc.rdp");
    MakeLayer(path, 8, 2, 9);
    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 600, "Pass 3"));
    ASSERT_TRUE(CLayerDescription::SetDescriptionTag(path.c_str(), 601, "HH, descending"));

    const int radios[] = {IDC_INFO_FILE_AMPLITUDE, IDC_INFO_FILE_PHASE, IDC_INFO_FILE_REAL,
                          IDC_INFO_FILE_IMAGINARY};
    for (int what = 0; what < 4; ++what) {
        SCOPED_TRACE(what);
        CInfoFileDialog dlg(TRUE, "rdp", nullptr, OFN_HIDEREADONLY, kFilter);
        Responder().AnswerFile({path.c_str()});
        Responder().AnswerDialogCommand(IDOK).Doing([&](CWnd& window) {
            EXPECT_EQ(ItemText(window, IDC_INFO_FILE_NAME), "slc.rdp");
            EXPECT_EQ(ItemText(window, IDC_INFO_FILE_FORMAT).Left(12), "8 x 2, C64, ");
            EXPECT_EQ(ItemText(window, IDC_INFO_FILE_CAPTION), "Pass 3");
            EXPECT_EQ(ItemText(window, IDC_INFO_FILE_DESCRIPTION), "HH, descending");
            auto& ask = static_cast<CDialog&>(window);
            EXPECT_TRUE(ask.IsDlgButtonChecked(IDC_INFO_FILE_AMPLITUDE)) << "amplitude is offered first";
            ask.CheckRadioButton(IDC_INFO_FILE_AMPLITUDE, IDC_INFO_FILE_IMAGINARY, radios[what]);
            if (what == 1) {
                const QImage shot = tarvenix::test::GrabWindow(window);
                EXPECT_FALSE(tarvenix::test::SaveTestOutput(shot, "info_file_component_dialog").empty());
            }
        });
        ASSERT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.GetWhat(), what);
        EXPECT_EQ(dlg.GetPathName(), path.c_str());
    }

    CInfoFileDialog cancelled(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, kFilter);
    Responder().AnswerFile({path.c_str()});
    Responder().AnswerDialogCommand(IDCANCEL);
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
    EXPECT_EQ(cancelled.GetWhat(), 0);
}

TEST(InfoFileDialog, SavesAndOtherFilesAskNothingMore)
{
    TempDir dir;
    const std::string complexPath = dir.File("old.rdp");
    MakeLayer(complexPath, 4, 4, 13);
    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "not a layer";

    // Saving over a complex layer asks only the overwrite question.
    CInfoFileDialog save(FALSE, "rdp", "old", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
    Responder().AnswerFile({dir.File("old").c_str()});
    Responder().AnswerMessageBox(IDYES);
    ASSERT_EQ(save.DoModal(), IDOK);
    EXPECT_EQ(save.GetPathName(), complexPath.c_str());
    EXPECT_EQ(save.GetWhat(), 0);

    CInfoFileDialog open(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, kFilter);
    Responder().AnswerFile({text.c_str()});
    ASSERT_EQ(open.DoModal(), IDOK);
    EXPECT_FALSE(open.GetFileInfo().isLayer);
    EXPECT_EQ(open.GetFileInfo().FormatLine(), "Not a layer file");
    EXPECT_EQ(open.GetWhat(), 0);

    Responder().CancelFile();
    EXPECT_EQ(open.DoModal(), IDCANCEL);
    EXPECT_EQ(CInfoFileDialog::DescribeFile(dir.File("missing.rdp").c_str()).FormatLine(), "File not found");
}
