#include "platform/kernel/modules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/last_error.h"

namespace {

// How callers turn an export into its own function type: through the "any function" type.
using IntFunction = int (*)();
IntFunction AsIntFunction(FARPROC proc)
{
    return reinterpret_cast<IntFunction>(reinterpret_cast<void (*)()>(proc));
}

TEST(Modules, LoadByNameAndOrdinalCountAndFree)
{
    // The test module is built next to the test program as "TvxTestModule.so"; asking for
    // the system's name finds it there.
    HMODULE module = LoadLibraryA("TvxTestModule.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibrary("TvxTestModule.dll"), module);  // second load: same module, count 2

    auto answer = AsIntFunction(GetProcAddress(module, "TvxAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    auto byOrdinal = AsIntFunction(GetProcAddress(module, MAKEINTRESOURCE(1)));
    EXPECT_EQ(byOrdinal, answer);
    auto count = AsIntFunction(GetProcAddress(module, MAKEINTRESOURCE(2)));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);

    for (LPCSTR missing : {static_cast<LPCSTR>("NoSuchExport"), static_cast<LPCSTR>(MAKEINTRESOURCE(3)),
                           static_cast<LPCSTR>(MAKEINTRESOURCE(7))}) {
        EXPECT_EQ(GetProcAddress(module, missing), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }

    char path[MAX_PATH];
    const DWORD length = GetModuleFileName(module, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(std::string(path).ends_with("/TvxTestModule.so")) << path;
    ASSERT_GT(GetModuleFileName(nullptr, path, sizeof path), 0u);
    EXPECT_NE(std::string(path).find("platform_tests"), std::string::npos);
    char tiny[4];
    EXPECT_EQ(GetModuleFileName(module, tiny, sizeof tiny), static_cast<DWORD>(sizeof tiny));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(tiny[3], '\0');

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module));  // its count is spent
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// The start entry runs once, when the module is first loaded, before LoadLibrary returns;
// the end entry once, when its count comes to zero, before it is unloaded. A start that
// refuses fails the load and leaves the module unloaded.
TEST(Modules, StartAndEndRunAtTheFirstLoadAndTheLastFree)
{
    unsetenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS");
    HMODULE module = LoadLibraryA("TvxTestModule.dll");
    ASSERT_NE(module, nullptr);
    auto starts = AsIntFunction(GetProcAddress(module, "TvxStarts"));
    ASSERT_NE(starts, nullptr);
    EXPECT_EQ(starts(), 1);
    EXPECT_EQ(LoadLibraryA("TvxTestModule.dll"), module);
    EXPECT_EQ(starts(), 1);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(std::getenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    ASSERT_NE(std::getenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS"), nullptr);
    EXPECT_STREQ(std::getenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS"), "1");

    setenv("TVX_TEST_MODULE_REFUSE", "1", 1);
    unsetenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS");
    EXPECT_EQ(LoadLibraryA("TvxTestModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DLL_INIT_FAILED);
    EXPECT_EQ(std::getenv("TVX_TEST_MODULE_ENDED_AFTER_STARTS"), nullptr);  // never started, never ended
    unsetenv("TVX_TEST_MODULE_REFUSE");

    // The refused copy was unloaded: the next load starts a fresh one.
    module = LoadLibraryA("TvxTestModule.dll");
    ASSERT_NE(module, nullptr);
    starts = AsIntFunction(GetProcAddress(module, "TvxStarts"));
    ASSERT_NE(starts, nullptr);
    EXPECT_EQ(starts(), 1);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, MissingModulesAndForeignHandlesFailQuietly)
{
    EXPECT_EQ(LoadLibrary("Kelvora3DlMissing.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibrary("/no/such/folder/module.so"), nullptr);

    // The plug-in handle is still null when the plug-in was never loaded, and a handle
    // from elsewhere is not ours to unload.
    EXPECT_FALSE(FreeLibrary(nullptr));
    int local = 0;
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&local)));
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&local), "TvxAnswer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
