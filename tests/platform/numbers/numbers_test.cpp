#include "platform/numbers/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>

#include <QLocale>

namespace {

struct DoubleCase {
    const char* text;
    bool valid;
    double value;
};

TEST(Numbers, ParseDoubleTable)
{
    const DoubleCase cases[] = {
        {"0", true, 0.0},
        {"  12.5 ", true, 12.5},
        {"\t-3", true, -3.0},
        {"+.5", true, 0.5},
        {"7.", true, 7.0},
        {"1e3", true, 1000.0},
        {"1.5E-2", true, 0.015},
        {"-2e+2", true, -200.0},
        {"1.7976931348623157e308", true, 1.7976931348623157e308},
        {"0e999", true, 0.0},
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {".", false, 0},
        {"e5", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"1.2.3", false, 0},
        {"12abc", false, 0},
        {"1 2", false, 0},
        {"nan", false, 0},
        {"inf", false, 0},
        {"-Infinity", false, 0},
        {"0x1A", false, 0},
        {"1,5", false, 0},
        {"+-1", false, 0},
        {"1e309", false, 0},
        {"-1e400", false, 0},
        {"1e-400", false, 0},
    };
    for (const DoubleCase& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -123.0;
        EXPECT_EQ(platform::ParseDouble(c.text, value), c.valid);
        EXPECT_DOUBLE_EQ(value, c.valid ? c.value : -123.0);  // untouched on failure
    }
    double value = 0;
    EXPECT_FALSE(platform::ParseDouble(static_cast<const char*>(nullptr), value));
    EXPECT_FALSE(platform::ParseDouble(std::string_view("1\0"
                                                        "5",
                                                        3),
                                       value));
}

TEST(Numbers, ParseIntegersTable)
{
    struct IntCase {
        const char* text;
        bool valid;
        int value;
    };
    const IntCase ints[] = {
        {"0", true, 0},
        {" -17 ", true, -17},
        {"+42", true, 42},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, std::numeric_limits<int>::min()},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"1.0", false, 0},
        {"1e3", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"0x10", false, 0},
        {"12 3", false, 0},
    };
    for (const IntCase& c : ints) {
        SCOPED_TRACE(c.text);
        int value = -5;
        EXPECT_EQ(platform::ParseInt(c.text, value), c.valid);
        EXPECT_EQ(value, c.valid ? c.value : -5);
    }

    struct UnsignedCase {
        const char* text;
        bool valid;
        unsigned value;
    };
    const UnsignedCase unsigneds[] = {
        {"0", true, 0u},           {"+7", true, 7u},  {" 4294967295", true, 4294967295u},
        {"4294967296", false, 0u}, {"-1", false, 0u}, {"-0", false, 0u},
        {"3.0", false, 0u},        {"", false, 0u},
    };
    for (const UnsignedCase& c : unsigneds) {
        SCOPED_TRACE(c.text);
        unsigned value = 9;
        EXPECT_EQ(platform::ParseUnsigned(c.text, value), c.valid);
        EXPECT_EQ(value, c.valid ? c.value : 9u);
    }
}

TEST(Numbers, NumericLocaleIsC)
{
    // The test main has called UseCNumericLocale after QApplication set the locale.
    std::setlocale(LC_NUMERIC, "");
    platform::UseCNumericLocale();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 2.5);
    EXPECT_STREQ(text, "2.5");
    EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral("."));
    EXPECT_EQ(QLocale().toString(1234567.5, 'f', 1), QStringLiteral("1234567.5"));
}

}  // namespace
