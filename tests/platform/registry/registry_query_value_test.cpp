#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "tests/support/test_environment.h"

namespace {

class RegQueryValueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = std::getenv("TARVENIX_CONFIG_DIR") ? std::getenv("TARVENIX_CONFIG_DIR") : "";
        ::setenv("TARVENIX_CONFIG_DIR", m_dir.Path().c_str(), 1);
        platform::ReloadRegistryFromFile();
    }
    void TearDown() override
    {
        ::setenv("TARVENIX_CONFIG_DIR", m_previous.c_str(), 1);
        platform::ReloadRegistryFromFile();
    }
    static void Set(const char* path, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyEx(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    tarvenix::test::TempDir m_dir;
    std::string m_previous;
};

TEST_F(RegQueryValueTest, ReadsTheDefaultValueOfAKeyAsTerminatedText)
{
    const char* text = "tvxpage";
    Set(".htm", nullptr, REG_SZ, text, 7);  // written without its zero
    Set(".htm", "Other", REG_SZ, "not this", 8);

    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    LONG size = sizeof(buffer);
    EXPECT_EQ(RegQueryValue(HKEY_CLASSES_ROOT, ".htm", buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "tvxpage");
    EXPECT_EQ(size, 8);

    // The size alone; then a buffer one byte short.
    size = 0;
    EXPECT_EQ(RegQueryValue(HKEY_CLASSES_ROOT, ".htm", nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8);
    size = 7;
    EXPECT_EQ(RegQueryValue(HKEY_CLASSES_ROOT, ".htm", buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8);

    // Through an open key, with no subkey.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, ".htm", 0, KEY_READ, &key), ERROR_SUCCESS);
    size = sizeof(buffer);
    EXPECT_EQ(RegQueryValue(key, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "tvxpage");
    RegCloseKey(key);
}

TEST_F(RegQueryValueTest, MissingKeysValuesAndNonTextAreErrors)
{
    const DWORD number = 7;
    Set("Numbered", nullptr, REG_DWORD, &number, 4);
    Set("Named", "Only", REG_SZ, "x", 1);
    char buffer[8] = {};
    struct Case {
        const char* path;
        LSTATUS expected;
    };
    for (const Case& c : {Case{"Absent", ERROR_FILE_NOT_FOUND}, Case{"Named", ERROR_FILE_NOT_FOUND},
                          Case{"Numbered", ERROR_INVALID_DATA}}) {
        LONG size = sizeof(buffer);
        EXPECT_EQ(RegQueryValue(HKEY_CLASSES_ROOT, c.path, buffer, &size), c.expected) << c.path;
    }
    EXPECT_EQ(RegQueryValue(HKEY_CLASSES_ROOT, "Named", buffer, nullptr), ERROR_INVALID_PARAMETER);
}

}  // namespace
