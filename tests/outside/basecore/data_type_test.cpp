#include "outside/basecore/data_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(DataTypeTable, SizesTestsAndPartsFollowTheCodes)
{
    for (int code = 1; code <= 16; ++code) {
        SCOPED_TRACE(code);
        const TypeInfo& t = typeInfo(code);
        EXPECT_EQ(int(t.code), code);
        EXPECT_EQ(t.complex, code >= 9);
        EXPECT_EQ(t.floating, code >= 7 && code <= 10);
        EXPECT_EQ(t.elementBytes, t.complex ? 2 * t.partBytes : t.partBytes);
        EXPECT_EQ(t.partBytes, typeInfo(t.partCode).elementBytes);
        if (code >= 11) {
            EXPECT_EQ(t.partCode, code - 10);
        }
        // The visitor hands out a C++ type of exactly the element size.
        const int size = visitSampleType(code, []<class T>(Tag<T>) { return int(sizeof(T)); });
        EXPECT_EQ(size, t.elementBytes);
        const bool cplx = visitSampleType(code, []<class T>(Tag<T>) { return IsComplex<T>; });
        EXPECT_EQ(cplx, t.complex);
    }
    EXPECT_FALSE(isValidType(0));
    EXPECT_FALSE(isValidType(17));
    EXPECT_EQ(elementBytes(0), 0);
    EXPECT_FALSE(isComplexType(-3));
}

TEST(DataTypeTable, NewFileListOffersThirteenTextsWithTheirBlanks)
{
    std::string joined;
    for (int code : kNewFileOrder) {
        ASSERT_NE(typeInfo(code).newFileText, nullptr) << code;
        joined += std::string("[") + typeInfo(code).newFileText + "]";
    }
    EXPECT_EQ(
        joined,
        "[unsigned integer 8 bit][signed integer 8 bit][unsigned integer 16 bit ][signed integer 16 bit ]"
        "[unsigned integer 32 bit ][signed integer 32 bit ][float 32 bit ][float 64 bit ]"
        "[complex integer 8 bit ][complex integer 16 bit ][complex integer 32 bit ]"
        "[complex float 32 bit  ][complex float 64 bit  ]");
    for (int code : {12, 14, 16}) EXPECT_EQ(typeInfo(code).newFileText, nullptr);
}

#include "outside/basecore/rect_t.h"

TEST(RectT, WidthAndHeightOfDoubleRectangles)
{
    const CRectT<double> r(1.5, -2.0, 4.0, 3.5);
    EXPECT_EQ(r.Width(), 2.5);
    EXPECT_EQ(r.Height(), 5.5);
}
