#include "plugin3d/resources/kelvora_resources.h"

#include <atomic>

#include "platform/resources/module_resources.h"
#include "plugin3d/resources/admin_pictures.h"
#include "plugin3d/resources/caption_pictures.h"
#include "plugin3d/resources/core_glyphs.h"
#include "plugin3d/resources/form_layouts.h"
#include "plugin3d/resources/navigator_glyph.h"
#include "plugin3d/resources/object_glyphs.h"
#include "plugin3d/resources/record_bar_pictures.h"
#include "plugin3d/resources/scene_glyphs.h"

namespace {

constexpr auto kTemplateGlyph = kelvora_art::DrawTemplateGlyph();
constexpr auto kCaptionStrip = kelvora_art::DrawCaptionStrip();
constexpr auto kProjectGlyph = kelvora_art::DrawProjectGlyph();
constexpr auto kKelvoraProjectGlyph = kelvora_art::DrawKelvoraProjectGlyph();
constexpr auto kChangeObjectListGlyph = kelvora_art::DrawChangeObjectListGlyph();
constexpr auto kObject3DListGlyph = kelvora_art::DrawObject3DListGlyph();
constexpr auto kConstruction3DListGlyph = kelvora_art::DrawConstruction3DListGlyph();
constexpr auto kProjectionSystem3DListGlyph = kelvora_art::DrawProjectionSystem3DListGlyph();
constexpr auto kLightSystem3DListGlyph = kelvora_art::DrawLightSystem3DListGlyph();
constexpr auto kAdminStrip = kelvora_art::DrawAdminStrip();
constexpr auto kNavigatorGlyph = kelvora_art::DrawNavigatorGlyph();
constexpr auto kAddPicture = kelvora_art::DrawAddPicture();
constexpr auto kDeletePicture = kelvora_art::DrawDeletePicture();
constexpr auto kUpPicture = kelvora_art::DrawArrowPicture(true);
constexpr auto kDownPicture = kelvora_art::DrawArrowPicture(false);
constexpr auto kDrawingSystemGlyph = kelvora_art::DrawDrawingSystemGlyph();
constexpr auto kSurfaceGlyph = kelvora_art::DrawSurfaceGlyph();
constexpr auto kPointLightGlyph = kelvora_art::DrawPointLightGlyph();
constexpr auto kAmbientLightGlyph = kelvora_art::DrawAmbientLightGlyph();
constexpr auto kFlatLightGlyph = kelvora_art::DrawFlatLightGlyph();
constexpr auto kEyeSystemGlyph = kelvora_art::DrawEyeSystemGlyph();
constexpr auto kDiffuseReflectionGlyph = kelvora_art::DrawDiffuseReflectionGlyph();

// Glyphs are found by name; the ids only keep them apart in the chain.
constexpr platform::ImageResource kBitmaps[] = {
    {27001, "TKTemplate_64", nullptr, nullptr, kTemplateGlyph},
    {27002, "KFLATCAPTIONSHAREIMAGES", nullptr, nullptr, kCaptionStrip},
    {27003, "TKProject_64", nullptr, nullptr, kProjectGlyph},
    {27004, "TKelvora3DProject_64", nullptr, nullptr, kKelvoraProjectGlyph},
    {27005, "TKCustomChangeObjectList_64", nullptr, nullptr, kChangeObjectListGlyph},
    {27006, "TKCustomObject3DList_64", nullptr, nullptr, kObject3DListGlyph},
    {27007, "TKCustomConstruction3DList_64", nullptr, nullptr, kConstruction3DListGlyph},
    {27008, "TKCustomProjectionSystem3DList_64", nullptr, nullptr, kProjectionSystem3DListGlyph},
    {27009, "TKCustomLightSystem3DList_64", nullptr, nullptr, kLightSystem3DListGlyph},
    {27010, "KADMINISTRATORBUTTONS", nullptr, nullptr, kAdminStrip},
    {27020, "TKNavigator3DContainerObject_64", nullptr, nullptr, kNavigatorGlyph},
    {27101, "ADDBITMAP", nullptr, nullptr, kAddPicture},
    {27102, "DELBITMAP", nullptr, nullptr, kDeletePicture},
    {27103, "UPBITMAP", nullptr, nullptr, kUpPicture},
    {27104, "DOWNBITMAP", nullptr, nullptr, kDownPicture},
    {27201, "TKDrawingSystem3D_64", nullptr, nullptr, kDrawingSystemGlyph},
    {27202, "TKSurface3D_64", nullptr, nullptr, kSurfaceGlyph},
    {27203, "TKPointSpringLight3D_64", nullptr, nullptr, kPointLightGlyph},
    {27204, "TKAmbientLight3D_64", nullptr, nullptr, kAmbientLightGlyph},
    {27205, "TKFlatSpringLight3D_64", nullptr, nullptr, kFlatLightGlyph},
    {27206, "TKEyeSystem3D_64", nullptr, nullptr, kEyeSystemGlyph},
    {27207, "TKSimpleDiffuseReflection_64", nullptr, nullptr, kDiffuseReflectionGlyph},
};

constexpr platform::ModuleResources kResources{
    .module = "Kelvora3Dl", .bitmaps = kBitmaps, .forms = kelvora_layouts::kFormLayouts};

std::atomic<HINSTANCE> g_instance{nullptr};

void StartResources()
{
    g_instance = platform::RegisterModuleResources(kResources);
}

void EndResources()
{
    g_instance = nullptr;
    platform::UnregisterModuleResources(kResources);
}

}  // namespace

HINSTANCE KelvoraResourceInstance()
{
    return g_instance.load(std::memory_order_acquire);
}

const TUnitInfo kKResourcesUnit{"KResources", StartResources, EndResources};
