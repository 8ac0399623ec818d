#include "plugin3d/resources/kelvora_resources.h"

#include <atomic>

#include "platform/resources/module_resources.h"
#include "plugin3d/resources/caption_pictures.h"
#include "plugin3d/resources/core_glyphs.h"
#include "plugin3d/resources/form_layouts.h"

namespace {

constexpr auto kTemplateGlyph = kelvora_art::DrawTemplateGlyph();
constexpr auto kCaptionStrip = kelvora_art::DrawCaptionStrip();

// Glyphs are found by name; the ids only keep them apart in the chain.
constexpr platform::ImageResource kBitmaps[] = {
    {27001, "TKTemplate_64", nullptr, nullptr, kTemplateGlyph},
    {27002, "KFLATCAPTIONSHAREIMAGES", nullptr, nullptr, kCaptionStrip},
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
