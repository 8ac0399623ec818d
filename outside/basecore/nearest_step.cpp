#include "outside/basecore/nearest_step.h"

#include <cmath>
#include <limits>

double GetNearestStep(double step)
{
    if (!std::isfinite(step) || step == 0.0) return 0.0;
    if (step < 0) return -GetNearestStep(-step);
    // step = m x 10^k with 1 <= m < 10; log10 may be off by one at exact powers of ten,
    // so the exponent is settled on m.
    int k = static_cast<int>(std::floor(std::log10(step)));
    // Powers of ten below 1e-300 are taken 20 decades higher and scaled back at the end.
    const auto power = [](int e) { return e < -300 ? std::pow(10.0, e + 20) * 1e-20 : std::pow(10.0, e); };
    double m = k < -300 ? step * 1e20 / std::pow(10.0, k + 20) : step / std::pow(10.0, k);
    while (m >= 10.0) m /= 10.0, ++k;
    while (m < 1.0) m *= 10.0, --k;
    static constexpr double kMantissas[] = {1.0, 2.0, 2.5, 5.0, 10.0};
    double best = 0.0, bestDistance = std::numeric_limits<double>::infinity();
    for (double c : kMantissas) {
        const double d = std::fabs(m - c);
        if (d < bestDistance) {
            // The candidate's own value: too large for a double, it does not count.
            const double value = c * power(k);
            if (!std::isfinite(value)) continue;
            best = c;
            bestDistance = d;
        }
    }
    const double result = k < -300 ? best * std::pow(10.0, k + 20) * 1e-20 : best * std::pow(10.0, k);
    return result > 0.0 ? result : step;  // below the subnormals' reach: the step itself
}
