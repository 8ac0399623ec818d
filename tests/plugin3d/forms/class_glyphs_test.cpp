// The class pictures users see in the new-object dialog: every class the plug-in offers or
// registers a picture for has one, and the dialog shows it beside its caption.

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include <QImage>

#include "platform/controls/tree_ctrl.h"
#include "platform/forms/comctrls.h"
#include "plugin3d/forms/class_glyphs.h"
#include "plugin3d/forms/k_administrator.h"
#include "plugin3d/forms/k_new_dialog.h"
#include "plugin3d/forms/k_navigator3d.h"
#include "plugin3d/forms/k_tree_mirror.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/scene/k_custom3d_lists.h"
#include "plugin3d/model/scene/k_diffuse_reflection.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_lights3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/core/glyph_picture.h"
#include "tests/support/modal_responder.h"
#include "tests/support/ui_helpers.h"

using tarvenix::test::GrabWholeWindow;
using tarvenix::test::PumpEvents;
using tarvenix::test::Responder;
using tarvenix::test::SaveTestOutput;

namespace {

/// The 64-pixel glyph of cls as the lists show it; null when it has none.
QImage GlyphPicture(TClass cls)
{
    return kelvora::test::GlyphPicture64(GetClassGlyphIndex(64, cls));
}

}  // namespace

TEST(ClassGlyphs, EveryObjectClassHasAPictureOfItsOwn)
{
    const TClass classes[] = {
        TKDrawingSystem3D::StaticClass(),         TKSurface3D::StaticClass(),
        TKPointSpringLight3D::StaticClass(),      TKAmbientLight3D::StaticClass(),
        TKFlatSpringLight3D::StaticClass(),       TKEyeSystem3D::StaticClass(),
        TKSimpleDiffuseReflection::StaticClass(), TKNavigator3DContainerObject::StaticClass()};
    QImage strip(64 * int(std::size(classes)), 64, QImage::Format_RGB32);
    strip.fill(Qt::black);
    for (std::size_t k = 0; k < std::size(classes); ++k) {
        const QImage picture = GlyphPicture(classes[k]);
        ASSERT_FALSE(picture.isNull()) << classes[k]->name << " has no picture";
        // The corner is clear and the picture is more than a few dots.
        EXPECT_EQ(picture.pixel(0, 63), qRgb(0, 0, 0)) << classes[k]->name;
        int drawn = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) drawn += picture.pixel(x, y) != qRgb(0, 0, 0);
        EXPECT_GT(drawn, 64 * 64 / 5) << classes[k]->name;
        // No two classes share a picture.
        for (std::size_t j = 0; j < k; ++j)
            EXPECT_NE(picture, strip.copy(int(j) * 64, 0, 64, 64)) << classes[k]->name << classes[j]->name;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) strip.setPixel(int(k) * 64 + x, y, picture.pixel(x, y));
    }
    SaveTestOutput(strip.scaled(strip.width() * 2, 128), "kelvora-glyphs-objects");
}

TEST(ClassGlyphs, TheNewDialogShowsEveryOfferedClassWithItsPicture)
{
    TOwned<TKAdministrator> admin(TKAdministrator::New(nullptr));
    admin->SetBounds(40, 40, 300, 360);
    ASSERT_TRUE(admin->NewProject(TKelvora3DProject::StaticClass()));
    auto* project = ObjectAs<TKelvora3DProject>(admin->Project());
    ASSERT_NE(project, nullptr);
    admin->Show();
    PumpEvents();

    // New on each list of the project (and on none: the project's own viewers).
    const std::pair<TObject*, const char*> lists[] = {{project->Lights(), "kelvora-new-dialog-lights"},
                                                      {project->Objects(), "kelvora-new-dialog-objects"},
                                                      {project->Cameras(), nullptr},
                                                      {project->CustomObjects(), nullptr},
                                                      {nullptr, "kelvora-new-dialog-viewers"}};
    for (const auto& [list, shot] : lists) {
        TTreeNode* node = nullptr;
        if (list) {
            TKDataBranch* branch = admin->BranchOf(list);
            ASSERT_NE(branch, nullptr);
            node = FindNodeByData(static_cast<TObject*>(branch), admin->TreeView1->Items());
            ASSERT_NE(node, nullptr);
        }
        admin->TreeView1->SetSelected(node);
        int offered = 0;
        Responder().AnswerDialogResult(IDCANCEL).Doing([&, shot = shot](CWnd& window) {
            auto* dialog = dynamic_cast<TKNewDialog*>(&window);
            ASSERT_NE(dialog, nullptr);
            TTreeNodes* groups = dialog->TreeView1->Items();
            // Every group is checked; the shot shows the last one, the list's own entries.
            for (int g = 0; g < groups->Count(); ++g) {
                dialog->TreeView1->SetSelected(groups->Item(g));
                for (int i = 0; i < dialog->ListView1->Count(); ++i, ++offered) {
                    TListItem* item = dialog->ListView1->Item(i);
                    // Project classes other tests register come without pictures.
                    auto* entry = static_cast<TKDataBranch*>(item->Data());
                    const TClass cls = entry ? entry->Data().AsClass() : nullptr;
                    if (cls && cls->InheritsFrom(TKProject::StaticClass()) &&
                        cls != TKelvora3DProject::StaticClass())
                        continue;
                    EXPECT_GE(item->ImageIndex(), 0) << groups->Item(g)->Text() << " / " << item->Caption();
                }
            }
            dialog->TreeView1->SetSelected(groups->Item(groups->Count() - 1));
            if (dialog->ListView1->Count() > 0) dialog->ListView1->Item(0)->SetSelected(true);
            if (shot) {
                PumpEvents();
                dialog->UpdateWindow();
                EXPECT_FALSE(SaveTestOutput(GrabWholeWindow(*dialog), shot).empty());
            }
        });
        admin->NewBtn->Click();
        EXPECT_GT(offered, 0);
    }
}
