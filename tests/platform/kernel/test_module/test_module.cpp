// A module for the module-loading tests: two exports by name, one of them also by ordinal.

#include "platform/kernel/modules.h"

namespace {
int g_calls = 0;
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
