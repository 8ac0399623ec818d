#include <cstring>

#include <gtest/gtest.h>

#include "outside/basecore/rdp_except.h"

TEST(CRDPExcept, GetErrorGivesCodeAndTextAndCancelReadsCANCEL)
{
    struct Case {
        int code;
        const char* message;
        const char* text;
    };
    const Case cases[] = {
        {RDP_ERROR_PROCESS, "Can't open file", "Can't open file"},
        {RDP_ERROR_CANCEL, nullptr, "CANCEL"},
        {RDP_ERROR_CANCEL, "whatever the thrower said", "CANCEL"},
        {RDP_ERROR_FFT, nullptr, "The two-dimensional Fourier transform failed"},
        {RDP_ERROR_PROCESS, "", "Processing error"},
        {42, nullptr, "Error 42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        try {
            AfxThrowRDPExcept(c.code, c.message);
        } catch (CRDPExcept* e) {
            CString text;
            EXPECT_EQ(GetError(e, text), c.code);
            EXPECT_EQ(text, c.text);
            e->Delete();
        }
    }
    CString text("left over");
    EXPECT_EQ(GetError(nullptr, text), 0);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CRDPExcept, GetErrorMessageCutsToTheBuffer)
{
    CRDPExcept e(RDP_ERROR_PROCESS, "Input file is damaged");
    char buffer[6];
    UINT help = 99;
    EXPECT_TRUE(e.GetErrorMessage(buffer, sizeof buffer, &help));
    EXPECT_STREQ(buffer, "Input");
    EXPECT_EQ(help, 0u);
    EXPECT_FALSE(e.GetErrorMessage(buffer, 0));
}
