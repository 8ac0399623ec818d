// The settings store with many keys: a walk of 20,000 subkeys by index, and the user action
// list of 20,000 actions loaded, each against opening every one of those keys once by name
// (the least a reader that touches each key costs).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/user_actions.h"
#include "bench/bench_registry.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_tree.h"

namespace {

constexpr int kKeys = 20000;

std::string KeyName(int i)
{
    char name[16];
    std::snprintf(name, sizeof name, "Action%05d", i);
    return name;
}

/// A settings file of its own for the run, with "List\ActionList" holding kKeys user
/// actions (written at once: one create per key would rewrite the file each time).
void UseSettingsWithManyKeys(BenchContext& ctx)
{
    static bool made = false;
    const std::string folder = ctx.File("settings");
    ::setenv("TARVENIX_CONFIG_DIR", folder.c_str(), 1);
    platform::ReloadRegistryFromFile();
    if (made) return;
    namespace reg = platform::registry;
    reg::Tree tree;
    auto list = std::make_unique<reg::Key>();
    list->name = "ActionList";
    auto text = [](const char* s) { return std::vector<BYTE>(s, s + std::char_traits<char>::length(s) + 1); };
    for (int i = 0; i < kKeys; ++i) {
        auto action = std::make_unique<reg::Key>();
        action->name = KeyName(i);
        action->values = {{"Text", REG_SZ, text("Open the scene")},
                          {"Description", REG_SZ, text("A saved action")},
                          {"Provider", REG_SZ, text("bench")},
                          {"Modifier", REG_DWORD, {0, 0, 0, 0}},
                          {"Type", REG_DWORD, {0, 0, 0, 0}}};
        list->subkeys.emplace(reg::FoldName(action->name), std::move(action));
    }
    auto owner = std::make_unique<reg::Key>();
    owner->name = "List";
    owner->subkeys.emplace("ACTIONLIST", std::move(list));
    tree[0x80000001u].subkeys.emplace("LIST", std::move(owner));
    const std::vector<BYTE> bytes = reg::Serialize(tree);
    std::filesystem::create_directories(folder);
    if (FILE* f = std::fopen(platform::RegistryFilePath().c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    platform::ReloadRegistryFromFile();
    made = true;
}

HKEY OpenActionList()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "List\\ActionList", 0, KEY_READ, &key) != ERROR_SUCCESS) std::exit(1);
    return key;
}

/// Each action's key opened by its name and closed.
double OpenEachKeyOnce()
{
    HKEY list = OpenActionList();
    const double seconds = Seconds([&] {
        for (int i = 0; i < kKeys; ++i) {
            HKEY key = nullptr;
            if (RegOpenKeyEx(list, KeyName(i).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) std::exit(1);
            RegCloseKey(key);
        }
    });
    RegCloseKey(list);
    return seconds;
}

const bool kWalk = RegisterBench("settings-walk-20k-keys", "open-each-key", [](BenchContext& ctx) {
    UseSettingsWithManyKeys(ctx);
    HKEY list = OpenActionList();
    int seen = 0;
    const double seconds = Seconds([&] {
        for (DWORD i = 0;; ++i) {
            char name[64];
            DWORD length = sizeof name;
            if (RegEnumKeyEx(list, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            ++seen;
        }
    });
    RegCloseKey(list);
    if (seen != kKeys) std::exit(1);
    return BenchTimes{seconds, OpenEachKeyOnce()};
});

const bool kActions = RegisterBench("user-actions-20k-load", "open-each-key", [](BenchContext& ctx) {
    UseSettingsWithManyKeys(ctx);
    HKEY owner = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "List", 0, KEY_READ, &owner) != ERROR_SUCCESS) std::exit(1);
    CUserActionList actions;
    const double seconds = Seconds([&] { actions.Load(owner, 0); });
    RegCloseKey(owner);
    if (actions.Items().size() != std::size_t(kKeys)) std::exit(1);
    return BenchTimes{seconds, OpenEachKeyOnce()};
});

}  // namespace
