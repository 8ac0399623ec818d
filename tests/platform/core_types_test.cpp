#include <thread>

#include <gtest/gtest.h>

#include "platform/cstring.h"
#include "platform/last_error.h"

TEST(CString, EditsAtTheEdgesStayInsideTheText)
{
    CString s("Layer 12.rdp");
    EXPECT_EQ(s.Left(100), "Layer 12.rdp");
    EXPECT_EQ(s.Right(3), "rdp");
    EXPECT_EQ(s.Mid(6, 100), "12.rdp");
    EXPECT_EQ(s.Mid(50), "");
    EXPECT_EQ(s.ReverseFind('.'), 8);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find('1', 20), -1);
    s.Delete(5, 100);
    EXPECT_EQ(s, "Layer");
}

TEST(CString, FormatBufferAndTrim)
{
    CString s;
    s.Format("%d x %d, %.2f", 1200, 1200, 0.5);
    EXPECT_EQ(s, "1200 x 1200, 0.50");
    char* buffer = s.GetBuffer(64);
    std::snprintf(buffer, 64, "  ab  ");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 6);
    EXPECT_EQ(s.Trim(), "ab");
    CString r("a.b.c");
    EXPECT_EQ(r.Replace(".", "::"), 2);
    EXPECT_EQ(r, "a::b::c");
}

TEST(LastError, IsKeptPerThreadWithAText)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    std::thread([] { EXPECT_EQ(GetLastError(), ERROR_SUCCESS); }).join();
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.");
}
