#include "outside/basecore/six_digit_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// The general way: what the grid wrote before (six significant digits, as printf's "%.6g").
std::string General(double value)
{
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, r.ptr);
}

// The short way where it answers; counts the values it answered for.
void ExpectSameText(double value, int& answered)
{
    char text[32];
    const int length = FixedSixDigitText(value, text);
    if (length == 0) return;
    ++answered;
    ASSERT_EQ(std::string(text, std::size_t(length)), General(value)) << std::hexfloat << value;
}

}  // namespace

// Every value the short way answers for gets the text of the general way: floats spread over
// every binade it covers, random doubles, and values at the edges of fixed notation, at ties of
// the sixth digit and where rounding carries into a seventh.
TEST(SixDigitText, GivesTheGeneralTextWhereverItAnswers)
{
    int answered = 0;
    for (double sign : {1.0, -1.0}) {
        const std::uint32_t from = std::bit_cast<std::uint32_t>(1e-5f),
                            to = std::bit_cast<std::uint32_t>(2e6f);
        for (std::uint32_t bits = from; bits < to; bits += 4099)
            ExpectSameText(sign * double(std::bit_cast<float>(bits)), answered);
    }
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> exponent(-5.2, 6.2);
    for (int i = 0; i < 200000; ++i) {
        const double value = std::pow(10.0, exponent(random)) * (random() % 2 ? 1.0 : -1.0);
        ExpectSameText(value, answered);
        ExpectSameText(double(float(value)), answered);
    }
    const double edges[] = {1e-4,
                            std::nextafter(1e-4, 0.0),
                            9.99995e-5,
                            9.999949e-5,
                            9.9999951e-5,
                            999999.5,
                            999999.49999,
                            999999.5000001,
                            999999.4,
                            123456.5,
                            123457.5,
                            0.5,
                            1,
                            10,
                            100000,
                            1e6,
                            99999.95,
                            99999.949999,
                            0.00012345649999,
                            0.000123456500001,
                            1.0000005,
                            1.0000015,
                            2.5e-5,
                            0.1,
                            0.3,
                            1.0 / 3.0,
                            2.0 / 3.0,
                            0.1f,
                            0.3f,
                            1e-5};
    for (double value : edges) {
        ExpectSameText(value, answered);
        ExpectSameText(-value, answered);
    }
    EXPECT_GT(answered, 400000);
}

// Values outside fixed notation, and those that are no numbers, are left to the general way.
TEST(SixDigitText, LeavesOtherValuesToTheGeneralWay)
{
    char text[32];
    for (double value : {0.0, -0.0, 1e-5, 9e-5, 999999.5, 1e6, 1e7, 1e300, 1e-300, 4.9e-324,
                         std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(FixedSixDigitText(value, text), 0) << value;
    EXPECT_EQ(FixedSixDigitText(-123.5, text), 6);
    EXPECT_EQ(std::string(text, 6), "-123.5");
}
