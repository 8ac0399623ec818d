#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_templates.h"
#include "tests/support/test_environment.h"

namespace {

struct Value {
    std::string name;
    std::string text;
    bool isText = true;
};

struct Entry {
    std::string name;
    std::int32_t tag;
};

struct TemplateCase {
    const char* what;
    std::vector<Value> values;  ///< none at all: the key is missing
    std::vector<std::string> lines;
    std::vector<Entry> entries;
};

void PrintTo(const TemplateCase& c, std::ostream* out)
{
    *out << c.what;
}

std::vector<std::string> g_loaded;
void RecordLoad(const std::string& file)
{
    g_loaded.push_back(file);
}

class Templates : public ::testing::Test {
protected:
    void TearDown() override
    {
        RegDeleteKey(HKEY_CURRENT_USER, kProjectTemplatesKey);
        Restart();
        SetFormLinks({});
        g_loaded.clear();
    }
    /// Writes the values, in order, and starts the unit again so that it reads them.
    static void Publish(const std::vector<Value>& values)
    {
        RegDeleteKey(HKEY_CURRENT_USER, kProjectTemplatesKey);
        if (!values.empty()) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kProjectTemplatesKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            for (const Value& v : values) {
                const DWORD number = 7;
                if (v.isText)
                    RegSetValueEx(key, v.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(v.text.c_str()), DWORD(v.text.size() + 1));
                else
                    RegSetValueEx(key, v.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                  4);
            }
            RegCloseKey(key);
        }
        Restart();
    }
    static void Restart()
    {
        FinalizeUnits(&kKTemplatesUnit, 1);
        InitializeUnits(&kKTemplatesUnit, 1);
    }
    static std::vector<Entry> Entries()
    {
        std::vector<Entry> entries;
        TKDataBranch* node = GetClassInfoBranch(TKProject::StaticClass(), kciTemplates, false);
        for (int i = 0; node && i < node->Count(); ++i) {
            TKDataBranch* entry = node->DataChild(i);
            EXPECT_EQ(entry->Data().AsClass(), TKTemplate::StaticClass());
            entries.push_back({entry->Name(), entry->Tag()});
        }
        return entries;
    }
    static void Open(int index)
    {
        TOwned<TKTemplate> chosen(TKTemplate::NewForIndex(index));
        chosen->Open();
    }
    static void UseLoader()
    {
        TKFormLinks links;
        links.loadProjectFromFile = &RecordLoad;
        SetFormLinks(links);
    }
};

class TemplateList : public Templates, public ::testing::WithParamInterface<TemplateCase> {};

TEST_P(TemplateList, IsReadFromTheRegistryAndPublishedForTheProjectClass)
{
    const TemplateCase& c = GetParam();
    Publish(c.values);
    EXPECT_EQ(ProjectTemplateLines(), c.lines);
    const std::vector<Entry> entries = Entries();
    ASSERT_EQ(entries.size(), c.entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name, c.entries[i].name);
        EXPECT_EQ(entries[i].tag, c.entries[i].tag);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registry, TemplateList,
    ::testing::Values(
        TemplateCase{"a suffix pair",
                     {{"file1", "/maps/a.ktp"}, {"caption1", "Alpine"}},
                     {"Alpine=/maps/a.ktp"},
                     {{"Alpine", 0}}},
        TemplateCase{"file in another case", {{"File1", "/maps/a.ktp"}, {"caption1", "Alpine"}}, {}, {}},
        TemplateCase{"no caption", {{"file1", "/maps/a.ktp"}, {"caption2", "Other"}}, {}, {}},
        TemplateCase{"an empty caption", {{"file1", "/maps/a.ktp"}, {"caption1", ""}}, {}, {}},
        TemplateCase{
            "the same caption twice",
            {{"file1", "/maps/a.ktp"}, {"caption1", "Same"}, {"fileB", "/maps/b.ktp"}, {"captionB", "Same"}},
            {"Same=/maps/a.ktp", "Same=/maps/b.ktp"},
            {{"Same", 0}, {"Same", 1}}},
        TemplateCase{"a caption with =",
                     {{"file", "/maps/c.ktp"}, {"caption", "x=y"}},
                     {"x=y=/maps/c.ktp"},
                     {{"x=y", 0}}},
        TemplateCase{
            "a value that is not text",
            {{"file1", "", false}, {"caption1", "Broken"}, {"file2", "/maps/d.ktp"}, {"caption2", "Fine"}},
            {"Fine=/maps/d.ktp"},
            {{"Fine", 0}}},
        TemplateCase{"no key", {}, {}, {}}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST_F(Templates, OpenLoadsTheFileOfTheFirstTemplateWithItsCaption)
{
    tarvenix::test::TempDir dir;
    const std::string a = dir.File("a.ktp"), b = dir.File("b.ktp"), c = dir.File("c.ktp");
    for (const std::string& file : {a, b, c}) tarvenix::test::WriteWholeFile(file, "project");
    Publish({{"file1", a},
             {"caption1", "Same"},
             {"file2", b},
             {"caption2", "Same"},
             {"file3", c},
             {"caption3", "x=y"},
             {"file4", dir.File("gone.ktp")},
             {"caption4", "Gone"}});

    Open(1);  // without the administrator: nothing
    EXPECT_TRUE(g_loaded.empty());
    UseLoader();
    Open(1);
    Open(2);
    Open(3);  // its file no longer exists
    Open(4);  // a stale index
    Open(-1);
    EXPECT_EQ(g_loaded, (std::vector<std::string>{a, c}));

    // The administrator makes a template from an entry's tag, through the class.
    TOwned<TObject> made(TKTemplate::StaticClass()->Construct(reinterpret_cast<void*>(std::intptr_t(2))));
    auto* chosen = ObjectAs<TKTemplate>(made.get());
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->Index(), 2);
    EXPECT_EQ(chosen->Owner(), nullptr);
    EXPECT_GT(GetClassGlyphIndex(64, TKTemplate::StaticClass()), 0);
}

}  // namespace
