#include "modules/texture/texture_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

LevelRange MakeLevelRange(double min, double max)
{
    LevelRange range;
    range.min = std::isfinite(min) ? min : 0.0;
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min)) return range;
    const double scale = 255.0 / (max - min);
    // A span too wide for a double has no usable scale either.
    if (std::isfinite(scale)) range.scale = scale;
    return range;
}

double SkewnessFromMoments(double m1, double m2, double m3)
{
    const double s = std::sqrt(m2 - m1 * m1);
    if (!(s >= 1.0)) return 0.0;
    return (m3 - 3.0 * m1 * m2 + 2.0 * m1 * m1 * m1) / (s * s * s);
}

double KurtosisFromMoments(double m1, double m2, double m3, double m4)
{
    const double v = m2 - m1 * m1;
    if (!(v >= 1.0)) return 0.0;
    const double m1s = m1 * m1;
    return (m4 - 4.0 * m1 * m3 + 6.0 * m1s * m2 - 3.0 * m1s * m1s) / (v * v) - 3.0;
}

// ---- first order ----------------------------------------------------------------------------

void CFirstOrderStatistics::SetData(const std::uint8_t* levels, int n)
{
    m_levels = levels;
    m_n = n;
    m_invN = n > 0 ? 1.0 / n : 0.0;
}

void CFirstOrderStatistics::CountHistogram()
{
    std::memset(m_histogram, 0, sizeof m_histogram);
    for (int i = 0; i < m_n; ++i) ++m_histogram[m_levels[i]];
}

double CFirstOrderStatistics::Mean()
{
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i) sum += m_levels[i];
    return sum * m_invN;
}

double CFirstOrderStatistics::StdDev()
{
    const double m1 = Mean();
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double d = m_levels[i] - m1;
        sum += d * d;
    }
    return std::sqrt(sum * m_invN);
}

double CFirstOrderStatistics::Entropy()
{
    CountHistogram();
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double p = m_histogram[m_levels[i]] * m_invN;
        if (p != 0.0) sum += p * std::log(p);
    }
    return -sum / std::log(2.0);
}

double CFirstOrderStatistics::Energy()
{
    CountHistogram();
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double c = m_histogram[m_levels[i]];
        sum += c * c;
    }
    return sum / (double(m_n) * m_n);
}

double CFirstOrderStatistics::Skewness()
{
    double s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double x = m_levels[i];
        s1 += x;
        s2 += x * x;
        s3 += x * x * x;
    }
    return SkewnessFromMoments(s1 * m_invN, s2 * m_invN, s3 * m_invN);
}

double CFirstOrderStatistics::Kurtosis()
{
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double x = m_levels[i];
        s1 += x;
        s2 += x * x;
        s3 += x * x * x;
        s4 += x * x * x * x;
    }
    return KurtosisFromMoments(s1 * m_invN, s2 * m_invN, s3 * m_invN, s4 * m_invN);
}

double CFirstOrderStatistics::Statistic(int index)
{
    switch (index) {
        case kFirstMean:
            return Mean();
        case kFirstEntropy:
            return Entropy();
        case kFirstStdDev:
            return StdDev();
        case kFirstEnergy:
            return Energy();
        case kFirstSkewness:
            return Skewness();
        case kFirstKurtosis:
            return Kurtosis();
        default:
            return 0.0;
    }
}

// ---- co-occurrence ----------------------------------------------------------------------------

void CCooccurrenceMatrix::Init(const std::uint8_t* levels, int window, int distance, int direction)
{
    m_levels = levels;
    m_window = window;
    m_distance = distance;
    m_direction = static_cast<std::uint8_t>(direction & 3);
    m_cells = window * window;
    m_levelTable.assign(std::size_t(m_cells), 0);
    m_matrix.assign(std::size_t(m_cells) * std::size_t(m_cells), 0.0);
    m_count = 0;
}

bool CCooccurrenceMatrix::BuildMatrix()
{
    std::fill(std::begin(m_levelMap), std::end(m_levelMap), std::int16_t(-1));
    std::fill(m_matrix.begin(), m_matrix.end(), 0.0);
    m_count = 0;
    for (int p = 0; p < m_cells; ++p) {
        const std::uint8_t level = m_levels[p];
        if (m_levelMap[level] < 0) {
            m_levelMap[level] = std::int16_t(m_count);
            m_levelTable[std::size_t(m_count++)] = level;
        }
    }
    const int W = m_window, d = m_distance, N = m_count;
    // Signed bounds: a distance outside 0..W-1 gives empty ranges, never a read outside.
    if (d < 0 || d >= W) return false;
    auto at = [&](int x, int y) { return m_levelMap[m_levels[x * W + y]]; };
    auto add = [&](int i, int j) {
        m_matrix[std::size_t(i) + std::size_t(j) * N] += 1.0;
        m_matrix[std::size_t(j) + std::size_t(i) * N] += 1.0;
    };
    switch (m_direction) {
        case 0:
            for (int x = 0; x < W; ++x)
                for (int y = 0; y < W - d; ++y) add(at(x, y), at(x, y + d));
            break;
        case 1:
            for (int x = 0; x < W - d; ++x)
                for (int y = d; y < W; ++y) add(at(x, y), at(x + d, y - d));
            break;
        case 2:
            for (int x = d; x < W; ++x)
                for (int y = 0; y < W; ++y) add(at(x, y), at(x - d, y));
            break;
        default:
            for (int x = d; x < W; ++x)
                for (int y = d; y < W; ++y) add(at(x, y), at(x - d, y - d));
            break;
    }
    double total = 0.0;
    for (int i = 0; i < N * N; ++i) total += m_matrix[std::size_t(i)];
    if (total == 0.0) return false;
    for (int i = 0; i < N * N; ++i) m_matrix[std::size_t(i)] /= total;
    return true;
}

double CCooccurrenceMatrix::AbsoluteValue()
{
    if (!BuildMatrix()) return 0.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) sum += std::abs(double(Level(i)) - Level(j)) * P(i, j);
    return sum;
}

double CCooccurrenceMatrix::Entropy()
{
    if (!BuildMatrix()) return 0.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) {
            const double p = P(i, j);
            if (p != 0.0) sum += p * std::log(p);
        }
    return -sum / std::log(2.0);
}

double CCooccurrenceMatrix::Contrast()
{
    if (!BuildMatrix()) return 0.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) {
            const double g = double(Level(i)) - Level(j);
            sum += g * g * P(i, j);
        }
    return sum;
}

double CCooccurrenceMatrix::Energy()
{
    if (!BuildMatrix()) return 0.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) sum += P(i, j) * P(i, j);
    return sum;
}

double CCooccurrenceMatrix::MaxProbability()
{
    if (!BuildMatrix()) return 0.0;
    double best = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) best = std::max(best, P(i, j));
    return best;
}

void CCooccurrenceMatrix::Means(double& mx, double& my) const
{
    mx = my = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) {
            mx += Level(i) * P(i, j);
            my += Level(j) * P(i, j);
        }
}

void CCooccurrenceMatrix::Variances(double mx, double my, double& vx, double& vy) const
{
    vx = vy = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) {
            const double dx = Level(i) - mx, dy = Level(j) - my;
            vx += dx * dx * P(i, j);
            vy += dy * dy * P(i, j);
        }
}

double CCooccurrenceMatrix::Correlation()
{
    if (!BuildMatrix()) return 0.0;
    double mx = 0.0, my = 0.0, vx = 0.0, vy = 0.0;
    Means(mx, my);
    Variances(mx, my, vx, vy);
    // A window of nearly one level would divide by a vanishing spread.
    if (!(vx >= 1.0)) vx = 1.0;
    if (!(vy >= 1.0)) vy = 1.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) sum += (Level(i) - mx) * (Level(j) - my) * P(i, j);
    return sum / std::sqrt(vx * vy);
}

double CCooccurrenceMatrix::Homogeneity()
{
    if (!BuildMatrix()) return 0.0;
    double sum = 0.0;
    for (int j = 0; j < m_count; ++j)
        for (int i = 0; i < m_count; ++i) {
            const int g = Level(i) - Level(j);
            sum += P(i, j) / double(1 + g * g);
        }
    return sum;
}

double CCooccurrenceMatrix::Measure(int index)
{
    switch (index) {
        case kGlcmAbsoluteValue:
            return AbsoluteValue();
        case kGlcmEntropy:
            return Entropy();
        case kGlcmContrast:
            return Contrast();
        case kGlcmEnergy:
            return Energy();
        case kGlcmMaxProbability:
            return MaxProbability();
        case kGlcmCorrelation:
            return Correlation();
        case kGlcmHomogeneity:
            return Homogeneity();
        default:
            return 0.0;
    }
}
