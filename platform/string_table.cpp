#include "platform/string_table.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

struct Table {
    std::string module;
    std::span<const StringEntry> entries;
};

std::mutex g_mutex;
std::vector<Table>& Chain()
{
    static std::vector<Table> chain;
    return chain;
}

}  // namespace

void RegisterStringTable(const char* module, std::span<const StringEntry> entries)
{
    std::lock_guard lock(g_mutex);
    Chain().push_back({module, entries});
}

void UnregisterStringTable(const char* module)
{
    std::lock_guard lock(g_mutex);
    auto& chain = Chain();
    chain.erase(std::remove_if(chain.begin(), chain.end(), [&](const Table& t) { return t.module == module; }),
                chain.end());
}

bool FindString(UINT id, CString& text)
{
    std::lock_guard lock(g_mutex);
    const auto& chain = Chain();
    for (auto t = chain.rbegin(); t != chain.rend(); ++t)
        for (const StringEntry& e : t->entries)
            if (e.id == id) {
                text = e.text;
                return true;
            }
    return false;
}

}  // namespace platform

BOOL CString::LoadString(UINT id) { return platform::FindString(id, *this) ? TRUE : FALSE; }
