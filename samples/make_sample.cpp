// Writes the bundled sample: a radar-like amplitude scene (fields of different backscatter,
// a dark river, bright point targets, 4-look speckle) as a one-layer F32 file with its
// statistics stored. The generator has its own random numbers, so every build writes the
// same bytes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "outside/basecore/rdp_layer.h"

namespace {

constexpr int kSize = 2048;
constexpr int kFieldSeeds = 90;
constexpr int kTargets = 60;
constexpr double kPi = 3.14159265358979323846;

/// splitmix64: small, fast and the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in (0, 1): never 0, so its logarithm is finite.
    double Uniform() { return (double(Next() >> 11) + 0.5) / 9007199254740992.0; }

private:
    std::uint64_t m_state;
};

struct Field {
    double x, y;
    double sigma;  // mean backscattered intensity
};

/// Mean intensities of the land covers: bare soil, crops, grass, forest, built-up.
constexpr std::array<double, 5> kCovers = {0.03, 0.08, 0.12, 0.22, 0.60};

double RiverCentre(double y)
{
    return 0.55 * kSize + 260.0 * std::sin(y / 310.0) + 90.0 * std::sin(y / 97.0 + 1.3);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.rdp\n", argv[0]);
        return 2;
    }
    Random random(20261210);

    std::vector<Field> fields(kFieldSeeds);
    for (Field& f : fields) {
        f.x = random.Uniform() * kSize;
        f.y = random.Uniform() * kSize;
        f.sigma = kCovers[random.Next() % kCovers.size()] * (0.8 + 0.4 * random.Uniform());
    }

    std::vector<float> sigma(std::size_t(kSize) * kSize);
    for (int y = 0; y < kSize; ++y) {
        const double river = RiverCentre(y);
        const double halfWidth = 26.0 + 10.0 * std::sin(y / 211.0);
        for (int x = 0; x < kSize; ++x) {
            // Fields are the cells of the nearest seed, with slightly wavy borders.
            const double wx = x + 12.0 * std::sin(y / 53.0), wy = y + 12.0 * std::cos(x / 61.0);
            double best = 1e300;
            double s = 0.1;
            for (const Field& f : fields) {
                const double d = (wx - f.x) * (wx - f.x) + (wy - f.y) * (wy - f.y);
                if (d < best) best = d, s = f.sigma;
            }
            // A slope towards the far range, as an antenna pattern leaves it.
            s *= 0.75 + 0.5 * double(x) / kSize;
            const double fromRiver = std::abs(x - river);
            if (fromRiver < halfWidth)
                s = 0.002;
            else if (fromRiver < halfWidth + 6.0)
                s *= 1.8;  // banks and trees along them
            sigma[std::size_t(y) * kSize + x] = float(s);
        }
    }

    // Point targets: crosses of strong scatterers, a cluster of them in a town.
    for (int i = 0; i < kTargets; ++i) {
        const bool town = i < kTargets / 2;
        const int cx = town ? int(300 + random.Uniform() * 300) : int(random.Uniform() * (kSize - 8)) + 4;
        const int cy = town ? int(1400 + random.Uniform() * 300) : int(random.Uniform() * (kSize - 8)) + 4;
        const double peak = 40.0 + 200.0 * random.Uniform();
        for (int d = -3; d <= 3; ++d) {
            const double side = peak / (1.0 + 4.0 * d * d);
            float& h = sigma[std::size_t(cy) * kSize + (cx + d)];
            float& v = sigma[std::size_t(cy + d) * kSize + cx];
            h = float(std::max<double>(h, side));
            v = float(std::max<double>(v, side));
        }
    }

    CRDPLayer layer;
    void** rows = layer.CreateLayer(argv[1], kSize, kSize, 7);
    if (!rows) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    // 4-look speckle: the intensity is the mean of four exponential looks; the layer holds
    // the amplitude, its square root.
    for (int y = 0; y < kSize; ++y) {
        float* row = static_cast<float*>(rows[y]);
        for (int x = 0; x < kSize; ++x) {
            double looks = 0;
            for (int k = 0; k < 4; ++k) looks -= std::log(random.Uniform());
            row[x] = float(std::sqrt(sigma[std::size_t(y) * kSize + x] * looks / 4.0));
        }
    }
    if (!layer.CloseLayer()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
