#include "plugin3d/model/core/k_templates.h"

#include <mutex>

#include "platform/forms/format.h"
#include "platform/forms/registry.h"
#include "platform/kernel/files.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_rtd_registry.h"

IMPLEMENT_TCLASS(TKTemplate, TKObject)

namespace {

std::mutex g_mutex;
std::vector<TKProjectTemplate> g_templates;

std::vector<TKProjectTemplate> ReadTemplates()
{
    std::vector<TKProjectTemplate> templates;
    TRegistry registry;
    if (!registry.OpenKeyReadOnly(kProjectTemplatesKey)) return templates;
    for (const std::string& name : registry.GetValueNames()) {
        if (name.compare(0, 4, "file") != 0) continue;
        try {
            const std::string caption = registry.ReadString("caption" + name.substr(4));
            if (caption.empty()) continue;
            templates.push_back({caption, registry.ReadString(name)});
        } catch (const Exception&) {
            // A value that cannot be read leaves out its template only.
        }
    }
    return templates;
}

bool FileExists(const std::string& name)
{
    const DWORD attributes = GetFileAttributes(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void StartTemplates()
{
    std::vector<TKProjectTemplate> templates = ReadTemplates();
    RegisterClassBranch(TKTemplate::StaticClass());
    {
        TKTreeLock lock;
        if (TKDataBranch* node = GetClassInfoBranch(TKProject::StaticClass(), kciTemplates, true))
            for (std::size_t i = 0; i < templates.size(); ++i) {
                TKDataBranch* entry = TKDataBranch::NewNamed(templates[i].caption, 0,
                                                             TKData::OfClass(TKTemplate::StaticClass()));
                entry->SetTag(static_cast<std::int32_t>(i));
                node->AddChild(entry);
            }
    }
    {
        std::lock_guard lock(g_mutex);
        g_templates = std::move(templates);
    }
    RegisterClassGlyph("TKTemplate_64", 64, TKTemplate::StaticClass(), true);
}

void EndTemplates()
{
    {
        std::lock_guard lock(g_mutex);
        g_templates.clear();
    }
    // The entries go with the list they index, so that a new start publishes afresh.
    TKTreeLock lock;
    if (TKDataBranch* node = GetClassInfoBranch(TKProject::StaticClass(), kciTemplates, false))
        while (TKDataBranch* entry = node->FindByData(TKData::OfClass(TKTemplate::StaticClass())))
            entry->Free();
}

}  // namespace

const TUnitInfo kKTemplatesUnit{"KTemplates", StartTemplates, EndTemplates};

std::vector<TKProjectTemplate> ProjectTemplates()
{
    std::lock_guard lock(g_mutex);
    return g_templates;
}

std::vector<std::string> ProjectTemplateLines()
{
    std::vector<std::string> lines;
    for (const TKProjectTemplate& t : ProjectTemplates()) lines.push_back(t.caption + "=" + t.file);
    return lines;
}

TKTemplate* TKTemplate::NewForIndex(int index)
{
    return static_cast<TKTemplate*>(StaticClass()->Construct(reinterpret_cast<void*>(std::intptr_t(index))));
}

void TKTemplate::Create(void* owner)
{
    m_index = static_cast<int>(reinterpret_cast<std::intptr_t>(owner));
    TKObject::Create(nullptr);
}

void TKTemplate::Open()
{
    const std::vector<TKProjectTemplate> templates = ProjectTemplates();
    if (m_index < 0 || m_index >= static_cast<int>(templates.size())) return;
    // As with a list of caption=file lines looked up by caption: equal captions open the
    // first one's file.
    const std::string& caption = templates[static_cast<std::size_t>(m_index)].caption;
    std::string file;
    for (const TKProjectTemplate& t : templates)
        if (SameText(t.caption, caption)) {
            file = t.file;
            break;
        }
    if (file.empty() || !FileExists(file)) return;
    if (const TKFormLinks links = FormLinks(); links.loadProjectFromFile) links.loadProjectFromFile(file);
}
