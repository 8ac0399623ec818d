#include "plugin3d/resources/kelvora_resources.h"

#include <atomic>

#include "platform/resources/module_resources.h"
#include "plugin3d/resources/admin_pictures.h"
#include "plugin3d/resources/caption_pictures.h"
#include "plugin3d/resources/core_glyphs.h"
#include "plugin3d/resources/form_layouts.h"
#include "plugin3d/resources/record_bar_pictures.h"

namespace {

constexpr auto kTemplateGlyph = kelvora_art::DrawTemplateGlyph();
constexpr auto kCaptionStrip = kelvora_art::DrawCaptionStrip();
constexpr auto kAdminStrip = kelvora_art::DrawAdminStrip();
constexpr auto kAddPicture = kelvora_art::DrawAddPicture();
constexpr auto kDeletePicture = kelvora_art::DrawDeletePicture();
constexpr auto kUpPicture = kelvora_art::DrawArrowPicture(true);
constexpr auto kDownPicture = kelvora_art::DrawArrowPicture(false);

// Glyphs are found by name; the ids only keep them apart in the chain.
constexpr platform::ImageResource kBitmaps[] = {
    {27001, "TKTemplate_64", nullptr, nullptr, kTemplateGlyph},
    {27002, "KFLATCAPTIONSHAREIMAGES", nullptr, nullptr, kCaptionStrip},
    {27003, "KADMINISTRATORBUTTONS", nullptr, nullptr, kAdminStrip},
    {27101, "ADDBITMAP", nullptr, nullptr, kAddPicture},
    {27102, "DELBITMAP", nullptr, nullptr, kDeletePicture},
    {27103, "UPBITMAP", nullptr, nullptr, kUpPicture},
    {27104, "DOWNBITMAP", nullptr, nullptr, kDownPicture},
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
