#include <gtest/gtest.h>

#include "outside/basecore/mru_list.h"
#include "outside/basecore/settings.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"

TEST(Settings, StringValuesLiveUnderTheProductKeyAndSurviveARestart)
{
    EXPECT_EQ(GetAppRegKey(), "SOFTWARE\\Orvane\\Tarvenix2.0");
    EXPECT_EQ(GetStringValue("\\Settings\\StrTest", "WorkDir"), "");
    ASSERT_TRUE(SetStringValue("\\Settings\\StrTest", "WorkDir", "/data/radar"));
    ASSERT_TRUE(SetStringValue("Settings\\StrTest", "TempDir", ""));
    platform::ReloadRegistryFromFile();  // as the next start of the program reads it
    EXPECT_EQ(GetStringValue("Settings\\StrTest", "WorkDir"), "/data/radar");
    EXPECT_EQ(GetStringValue("\\Settings\\StrTest", "TempDir"), "");

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Tarvenix2.0\\Settings\\StrTest", 0, KEY_READ,
                           &key),
              static_cast<LONG>(ERROR_SUCCESS));
    char buffer[64];
    DWORD size = sizeof buffer, type = 0;
    EXPECT_EQ(RegQueryValueEx(key, "WorkDir", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_STREQ(buffer, "/data/radar");
    RegCloseKey(key);
}

TEST(Settings, RegKeyReadsDwordsAndStringsAndRefusesTheOtherType)
{
    const CString path = GetAppRegKey() + "\\Settings\\Viewer\\FindTest";
    {
        CTLRegKey missing;
        EXPECT_NE(missing.Open(HKEY_CURRENT_USER, path), static_cast<LONG>(ERROR_SUCCESS));
        EXPECT_FALSE(missing.IsOpen());
    }
    CTLRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, path), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(key.SetValue(DWORD{1}, "Direction"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(key.SetValue("12.5e3", "LastFindExpression"), static_cast<LONG>(ERROR_SUCCESS));
    key.Close();

    CTLRegKey again;
    ASSERT_EQ(again.Open(HKEY_CURRENT_USER, path), static_cast<LONG>(ERROR_SUCCESS));
    DWORD direction = 0;
    CString text;
    EXPECT_EQ(again.QueryValue(direction, "Direction"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(direction, 1u);
    EXPECT_EQ(again.QueryValue(text, "LastFindExpression"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(text, "12.5e3");
    EXPECT_EQ(again.QueryValue(text, "Direction"), static_cast<LONG>(ERROR_INVALID_DATA));
    EXPECT_EQ(again.QueryValue(direction, "LastFindExpression"), static_cast<LONG>(ERROR_INVALID_DATA));
    EXPECT_EQ(again.QueryValue(direction, "FindLike"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(text, "12.5e3");
    EXPECT_EQ(GetStringValue("\\Settings\\Viewer\\FindTest", "Direction"), "");
}

TEST(CMRUList, NewestFirstEachPathOnceAndBounded)
{
    CMRUList list(3);
    list.SetRegKey("\\Settings\\General\\MRUTest");
    EXPECT_FALSE(list.BuildRecentList());  // no key yet
    EXPECT_EQ(list.GetCount(), 0);
    for (const char* path : {"/a", "/b", "/c", "/b", "/d"}) EXPECT_TRUE(list.AddToHead(path));
    EXPECT_FALSE(list.AddToHead(""));

    CMRUList reader(10);
    reader.SetRegKey("\\Settings\\General\\MRUTest");
    ASSERT_TRUE(reader.BuildRecentList());
    std::vector<CString> items;
    reader.GetListItems(items);
    EXPECT_EQ(items, (std::vector<CString>{"/d", "/b", "/c"}));
    EXPECT_EQ(reader.GetAt(3), "");

    // A shorter list written over a longer one leaves no stale entries behind.
    CMRUList shorter(1);
    shorter.SetRegKey("\\Settings\\General\\MRUTest");
    EXPECT_TRUE(shorter.AddToHead("/c"));
    ASSERT_TRUE(reader.BuildRecentList());
    reader.GetListItems(items);
    EXPECT_EQ(items, (std::vector<CString>{"/c"}));
}
