#include "platform/string_table.h"

#include "platform/resource_chain.h"

namespace platform {
namespace {

ResourceChain<StringEntry>& Strings()
{
    static ResourceChain<StringEntry> chain;
    return chain;
}

}  // namespace

void RegisterStringTable(const char* module, std::span<const StringEntry> entries)
{
    Strings().Register(module, entries);
}

void UnregisterStringTable(const char* module) { Strings().Unregister(module); }

bool FindString(UINT id, CString& text)
{
    const StringEntry* e = Strings().Find(id);
    if (!e) return false;
    text = e->text;
    return true;
}

}  // namespace platform

BOOL CString::LoadString(UINT id) { return platform::FindString(id, *this) ? TRUE : FALSE; }
