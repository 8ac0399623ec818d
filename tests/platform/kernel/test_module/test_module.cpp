// A module for the module-loading tests: two exports by name, one of them also by ordinal,
// and start and end entries that leave their traces where the test can see them.

#include <cstdlib>
#include <string>

#include "platform/kernel/modules.h"

namespace {
int g_calls = 0;
int g_starts = 0;
}  // namespace

// Refuses to start while the host asks it to; counts its starts either way.
PLATFORM_EXPORT BOOL platform_module_start()
{
    ++g_starts;
    return std::getenv("TVX_TEST_MODULE_REFUSE") ? FALSE : TRUE;
}

// Tells the host, which outlives it, how many starts this copy of the module saw.
PLATFORM_EXPORT void platform_module_end()
{
    setenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS", std::to_string(g_starts).c_str(), 1);
}

PLATFORM_EXPORT int TvxStarts()
{
    return g_starts;
}

PLATFORM_EXPORT int TvxAnswer()
{
    return 42;
}

PLATFORM_EXPORT int TvxCountCall()
{
    return ++g_calls;
}

PLATFORM_EXPORT const PlatformOrdinal* platform_ordinal_table()
{
    static const PlatformOrdinal table[] = {
        {1, "TvxAnswer"}, {2, "TvxCountCall"}, {7, "TvxMissing"}, {0, nullptr}};
    return table;
}
