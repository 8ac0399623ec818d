#pragma once

// The window statistics of the texture tool, written plainly: a first-order statistic of
// the levels in one window and the measures of one window's grey-level co-occurrence
// matrix. These classes are the reference the fast kernels (texture_kernels.h) are held
// to; they also fix the level quantisation and the closing formulas both paths share.

#include <cstdint>
#include <vector>

/// The levels 0..255 a sample becomes: (v - min) * scale clamped to 0..255, then rounded.
/// `scale` 0 stands for an empty range: every sample gets level 0.
struct LevelRange {
    double min = 0.0;
    double scale = 0.0;
};

/// The range from the file's stored minimum and maximum (or the trimmed ones): an empty or
/// non-finite range gives scale 0.
LevelRange MakeLevelRange(double min, double max);

/// The level of one sample. The clamp comes before the rounding, so an outlier far past
/// the range cannot overflow the integer rounding; NaN samples get level 0.
inline std::uint8_t TextureLevel(double v, const LevelRange& range);

/// First-order statistic indexes, in the order of the dialog's "1-D" list.
enum FirstOrderStatistic : int {
    kFirstMean = 0,
    kFirstEntropy = 1,
    kFirstStdDev = 2,
    kFirstEnergy = 3,
    kFirstSkewness = 4,
    kFirstKurtosis = 5,
};
inline constexpr int kFirstOrderCount = 6;

/// Co-occurrence measure indexes, in the order of the dialog's "2-D" list.
enum CooccurrenceMeasure : int {
    kGlcmAbsoluteValue = 0,
    kGlcmEntropy = 1,
    kGlcmContrast = 2,
    kGlcmEnergy = 3,
    kGlcmMaxProbability = 4,
    kGlcmCorrelation = 5,
    kGlcmHomogeneity = 6,
};
inline constexpr int kCooccurrenceCount = 7;

/// Skewness from the raw moments m1..m3 of a window: 0 when the deviation is below one level.
double SkewnessFromMoments(double m1, double m2, double m3);
/// Kurtosis (excess) from the raw moments m1..m4: 0 when the variance is below 1.
double KurtosisFromMoments(double m1, double m2, double m3, double m4);

/// One of six first-order statistics of a window of levels held in the caller's buffer.
class CFirstOrderStatistics {
public:
    CFirstOrderStatistics() = default;
    virtual ~CFirstOrderStatistics() = default;

    /// Binds the caller's buffer of `n` levels (1 to 441); its contents change between calls.
    void SetData(const std::uint8_t* levels, int n);
    /// Counts the levels of the buffer into the 256 counters.
    void CountHistogram();

    double Mean();
    double StdDev();
    /// Summed over the samples, so a level seen c times adds its term c times.
    double Entropy();
    /// Summed over the samples: the sum of c(v)^3 over the levels, over n^2.
    double Energy();
    double Skewness();
    double Kurtosis();

    /// The statistic of index 0..5 (kFirstMean ...); 0 for any other index.
    double Statistic(int index);

private:
    const std::uint8_t* m_levels = nullptr;
    std::uint16_t m_histogram[256] = {};
    int m_n = 0;
    double m_invN = 0.0;
};

/// The symmetric, normalised co-occurrence matrix of one window of levels for one
/// direction and distance, and seven measures of it.
class CCooccurrenceMatrix {
public:
    CCooccurrenceMatrix() = default;
    virtual ~CCooccurrenceMatrix() = default;

    /// Binds the caller's W x W buffer (filled column by column: position p holds window
    /// column p / W, row p % W), the distance and the direction index (0 "0°", 1 "45°",
    /// 2 "90°", 3 "135°"). A negative distance, or one of W or more, leaves no pairs.
    void Init(const std::uint8_t* levels, int window, int distance, int direction);
    /// Builds P from the buffer's current contents; false when the window has no pairs.
    bool BuildMatrix();

    double AbsoluteValue();
    double Entropy();
    double Contrast();
    double Energy();
    double MaxProbability();
    double Correlation();
    double Homogeneity();
    /// The two marginal means of P (equal, P being symmetric).
    void Means(double& mx, double& my) const;
    /// The two marginal variances of P about the given means.
    void Variances(double mx, double my, double& vx, double& vy) const;

    /// The measure of index 0..6 (kGlcmAbsoluteValue ...); 0 for any other index. Every
    /// measure is 0 for a window without pairs.
    double Measure(int index);

    /// Distinct levels of the last build, and P(i, j) by compact index (tests).
    int LevelCount() const { return m_count; }
    double P(int i, int j) const { return m_matrix[std::size_t(i) + std::size_t(j) * m_count]; }
    int Level(int i) const { return m_levelTable[std::size_t(i)]; }

private:
    std::uint8_t m_direction = 0;
    std::vector<std::uint8_t> m_levelTable;
    int m_count = 0;
    int m_window = 0;
    int m_distance = 0;
    const std::uint8_t* m_levels = nullptr;
    std::vector<double> m_matrix;
    std::int16_t m_levelMap[256] = {};
    int m_cells = 0;
};

// ---- inline ---------------------------------------------------------------------------------

#include "outside/basecore/math_helpers.h"

inline std::uint8_t TextureLevel(double v, const LevelRange& range)
{
    double t = (v - range.min) * range.scale;
    if (!(t > 0.0)) return 0;  // below the range, NaN, or an empty range
    if (t > 255.0) t = 255.0;
    return static_cast<std::uint8_t>(Round(t));
}
