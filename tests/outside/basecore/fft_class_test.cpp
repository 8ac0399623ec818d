#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/fft_class.h"
#include "outside/basecore/rdp_except.h"
#include "tests/support/recording_meter.h"

namespace {

using tarvenix::test::RecordingMeter;

// A w x h image of T in one block with its row table, as a layer hands them out.
template <class T>
struct Image {
    Image(int w, int h) : width(w), height(h), data(static_cast<size_t>(w) * h), rows(static_cast<size_t>(h))
    {
        for (int y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = &data[static_cast<size_t>(y) * w];
    }
    T& at(int x, int y) { return data[static_cast<size_t>(y) * width + x]; }
    void** Rows() { return reinterpret_cast<void**>(rows.data()); }
    int width, height;
    std::vector<T> data;
    std::vector<T*> rows;
};

int Padded(int n)
{
    return 1 << CFFTClass::CeilPowerOfTwo(n);
}

template <class R>
double RelativeRoundTripError(const Image<std::complex<R>>& back, int w, int h,
                              const std::vector<std::complex<double>>& original)
{
    double worst = 0.0, largest = 0.0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto o = original[static_cast<size_t>(y) * w + x];
            const auto b = back.data[static_cast<size_t>(y) * back.width + x];
            worst = std::max(worst, std::abs(std::complex<double>(b.real(), b.imag()) - o));
            largest = std::max(largest, std::abs(o));
        }
    return worst / largest;
}

struct Size {
    int w, h;
};
const Size kSizes[] = {{1, 1}, {1, 17}, {8, 8}, {64, 32}, {37, 29}, {100, 60}, {300, 257}};

}  // namespace

TEST(CFFTClass, CeilPowerOfTwoIsTheLeastSufficientExponent)
{
    const std::pair<long long, int> cases[] = {
        {0, 0}, {1, 0}, {2, 1}, {3, 2}, {100, 7}, {128, 7}, {129, 8}, {8192, 13}, {(1LL << 31) + 1, 32}};
    for (auto [n, e] : cases) EXPECT_EQ(CFFTClass::CeilPowerOfTwo(n), e) << n;
}

TEST(CFFTClass, RealFloatImageComesBackThroughComplexFloat)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    for (auto [w, h] : kSizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        Image<float> src(w, h);
        std::vector<std::complex<double>> original;
        for (auto& v : src.data) {
            v = value(rng);
            original.emplace_back(v, 0.0);
        }
        Image<std::complex<float>> spectrum(Padded(w), Padded(h)), back(Padded(w), Padded(h));
        ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), spectrum.Rows(), w, h, 7, nullptr, 9), 0);
        ASSERT_NE(
            CFFTClass::IFFT_2D(spectrum.Rows(), back.Rows(), spectrum.width, spectrum.height, 9, nullptr, 9),
            0);
        EXPECT_LT(RelativeRoundTripError(back, w, h, original), 1e-5);
        // The padding comes back as zeros.
        for (int y = 0; y < back.height; ++y)
            for (int x = (y < h ? w : 0); x < back.width; ++x)
                ASSERT_LT(std::abs(back.at(x, y)), 1e-3) << x << "," << y;
    }
}

TEST(CFFTClass, ComplexImagesComeBackInBothPrecisions)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (auto [w, h] : kSizes) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        Image<std::complex<double>> src(w, h);
        std::vector<std::complex<double>> original;
        for (auto& v : src.data) {
            v = {value(rng), value(rng)};
            original.push_back(v);
        }
        Image<std::complex<double>> spectrum(Padded(w), Padded(h)), back(Padded(w), Padded(h));
        ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), spectrum.Rows(), w, h, 10, nullptr, 10), 0);
        ASSERT_NE(CFFTClass::IFFT_2D(spectrum.Rows(), back.Rows(), spectrum.width, spectrum.height, 10,
                                     nullptr, 10),
                  0);
        EXPECT_LT(RelativeRoundTripError(back, w, h, original), 1e-12);

        Image<std::complex<float>> spectrumF(Padded(w), Padded(h)), backF(Padded(w), Padded(h));
        ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), spectrumF.Rows(), w, h, 10, nullptr, 9), 0);
        ASSERT_NE(CFFTClass::IFFT_2D(spectrumF.Rows(), backF.Rows(), spectrumF.width, spectrumF.height, 9,
                                     nullptr, 9),
                  0);
        EXPECT_LT(RelativeRoundTripError(backF, w, h, original), 1e-5);
    }
}

TEST(CFFTClass, SingleFrequencyGivesOnePeak)
{
    const int w = 64, h = 32, kx = 5, ky = 3;
    Image<std::complex<float>> src(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double phase = 2.0 * std::numbers::pi * (double(kx) * x / w + double(ky) * y / h);
            src.at(x, y) = {float(std::cos(phase)), float(std::sin(phase))};
        }
    Image<std::complex<float>> spectrum(w, h);
    ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), spectrum.Rows(), w, h, 9, nullptr, 9), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double expected = (x == kx && y == ky) ? double(w) * h : 0.0;
            ASSERT_NEAR(std::abs(spectrum.at(x, y)), expected, 1e-2) << x << "," << y;
        }
    // In place over the source's own rows, the same spectrum.
    ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), src.Rows(), w, h, 9, nullptr, 9), 0);
    EXPECT_EQ(src.data, spectrum.data);
}

TEST(CFFTClass, EverySourceTypeIsReadWithItsOwnLayout)
{
    // A constant image puts its sum into the zero frequency, and nothing elsewhere.
    const int w = 6, h = 5;
    auto check = [&]<class T>(int type, T value, std::complex<double> expected) {
        SCOPED_TRACE(type);
        Image<T> src(w, h);
        for (auto& v : src.data) v = value;
        Image<std::complex<double>> spectrum(8, 8);
        ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), spectrum.Rows(), w, h, type, nullptr, 10), 0);
        EXPECT_NEAR(spectrum.at(0, 0).real(), expected.real() * w * h, 1e-9);
        EXPECT_NEAR(spectrum.at(0, 0).imag(), expected.imag() * w * h, 1e-9);
    };
    struct CS16 {
        std::int16_t re, im;
    };
    struct CU8 {
        std::uint8_t re, im;
    };
    check(1, std::uint8_t{200}, {200, 0});
    check(2, std::int8_t{-3}, {-3, 0});
    check(4, std::int16_t{-1234}, {-1234, 0});
    check(5, std::uint32_t{4000000000u}, {4000000000.0, 0});
    check(8, 2.5, {2.5, 0});
    check(9, std::complex<float>(1.5f, -2.0f), {1.5, -2.0});
    check(11, CU8{250, 3}, {250, 3});
    check(14, CS16{-7, 300}, {-7, 300});
}

TEST(CFFTClass, RefusesWhatItCannotWrite)
{
    Image<float> src(4, 4);
    Image<std::complex<float>> dst(4, 4);
    EXPECT_EQ(CFFTClass::FFT_2D(src.Rows(), dst.Rows(), 4, 4, 7, nullptr, 7),
              0);  // not a complex destination
    EXPECT_EQ(CFFTClass::FFT_2D(src.Rows(), dst.Rows(), 4, 4, 17, nullptr, 9), 0);  // no such type
    EXPECT_EQ(CFFTClass::FFT_2D(src.Rows(), dst.Rows(), 0, 4, 7, nullptr, 9), 0);
    EXPECT_EQ(CFFTClass::FFT_2D(nullptr, dst.Rows(), 4, 4, 7, nullptr, 9), 0);
    EXPECT_EQ(CFFTClass::IFFT_2D(src.Rows(), nullptr, 4, 4, 7, nullptr, 9), 0);
}

TEST(CFFTClass, ReportsProgressAndLetsTheCancelThrough)
{
    const int n = 512;
    Image<float> src(n, n);
    Image<std::complex<float>> dst(n, n);
    RecordingMeter meter;
    ASSERT_NE(CFFTClass::FFT_2D(src.Rows(), dst.Rows(), n, n, 7, &meter, 9), 0);
    EXPECT_GE(meter.Positions().size(), 2u);
    EXPECT_GT(meter.High(), 0);

    RecordingMeter stopping;
    stopping.StopAtReport(2);
    try {
        CFFTClass::FFT_2D(src.Rows(), dst.Rows(), n, n, 7, &stopping, 9);
        FAIL() << "the cancel did not come through";
    } catch (CRDPExcept* e) {
        EXPECT_EQ(e->GetCode(), RDP_ERROR_CANCEL);
        e->Delete();
    }
}

TEST(CFFTClass, OneDimensionalPairMatchesTheDefinitionAndScalesByN)
{
    const int e = 4, n = 1 << e;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> re(n), im(n);
    for (int i = 0; i < n; ++i) re[i] = value(rng), im[i] = value(rng);
    const auto re0 = re, im0 = im;

    CFFTClass::fft(re.data(), im.data(), e);
    for (int k = 0; k < n; ++k) {
        std::complex<double> sum;
        for (int j = 0; j < n; ++j)
            sum +=
                std::complex<double>(re0[j], im0[j]) * std::polar(1.0, -2.0 * std::numbers::pi * j * k / n);
        EXPECT_NEAR(re[k], sum.real(), 1e-4);
        EXPECT_NEAR(im[k], sum.imag(), 1e-4);
    }
    CFFTClass::ifft(re.data(), im.data(), e);
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(re[i], re0[i] * n, 1e-4);
        EXPECT_NEAR(im[i], im0[i] * n, 1e-4);
    }
}
