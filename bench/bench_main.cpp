#include <unistd.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "bench/bench_registry.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/file_helpers.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/row_driver.h"
#include "platform/gdi/window_dc.h"

namespace {

struct Entry {
    std::string name;
    std::string reference;
    BenchFn run;
};

std::vector<Entry>& Registry()
{
    static std::vector<Entry> entries;
    return entries;
}

class Context : public BenchContext {
public:
    Context()
    {
        m_dir = std::filesystem::path(GetTempFolder().str()) / ("tarvenix-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    ~Context() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string File(const std::string& name) override { return (m_dir / name).string(); }

    std::string Layer(int width, int height, int type) override
    {
        const std::string name = std::string(typeInfo(type).name) + "-" + std::to_string(width) + "x" +
                                 std::to_string(height) + ".rdp";
        const std::string path = File(name);
        if (m_made.count(path)) return path;
        CRDPLayer out;
        void** rows = out.CreateLayer(path.c_str(), width, height, type);
        if (!rows) {
            std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), GetLastLayerError().c_str());
            std::exit(1);
        }
        FillRandom(rows, width, height, type);
        if (!out.CloseLayer()) {
            std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), GetLastLayerError().c_str());
            std::exit(1);
        }
        m_made[path] = true;
        return path;
    }

private:
    static void FillRandom(void** rows, int width, int height, int type)
    {
        visitSampleType(type, [&]<class T>(Tag<T>) {
            using P = PartType<T>;
            ForEachRow(height, [&](std::int64_t y, int) {
                P* p = static_cast<P*>(rows[y]);
                const int parts = width * (IsComplex<T> ? 2 : 1);
                std::uint64_t s = 0x9E3779B97F4A7C15ull * std::uint64_t(y + 1);
                for (int i = 0; i < parts; ++i) {
                    s ^= s << 13;
                    s ^= s >> 7;
                    s ^= s << 17;
                    if constexpr (std::is_floating_point_v<P>)
                        p[i] = P(double(s >> 11) * 0x1p-53 * 2000.0 - 1000.0);
                    else
                        p[i] = P(s);
                }
            });
        });
    }

    std::filesystem::path m_dir;
    std::map<std::string, bool> m_made;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

}  // namespace

bool RegisterBench(const std::string& name, const std::string& reference, BenchFn run)
{
    Registry().push_back({name, reference, std::move(run)});
    return true;
}

int main(int argc, char** argv)
{
    // Measurements of the drawing layer and of windows need the application object; no screen is used.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    platform::InitDrawing();
    const std::string only = argc > 1 ? argv[1] : "";
    const int runs =
        std::getenv("TARVENIX_BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("TARVENIX_BENCH_RUNS"))) : 5;
    std::vector<Entry> entries = Registry();
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    bool found = false;
    Context ctx;
    for (const Entry& e : entries) {
        if (!only.empty() && e.name != only) continue;
        found = true;
        e.run(ctx);  // warm-up: files made, pages mapped
        std::vector<double> work, reference;
        std::string missing;
        for (int i = 0; i < runs; ++i) {
            const BenchTimes t = e.run(ctx);
            work.push_back(t.seconds);
            reference.push_back(t.referenceSeconds);
            missing = t.referenceMissing;
        }
        const double w = Median(work), r = Median(reference);
        if (!missing.empty()) {
            std::printf(
                w < 0.01 ? "bench: %s %.6f s, %s skipped: %s\n" : "bench: %s %.3f s, %s skipped: %s\n",
                e.name.c_str(), w, e.reference.c_str(), missing.c_str());
            std::fflush(stdout);
            continue;
        }
        // Sub-millisecond measurements keep their microseconds.
        std::printf(w < 0.01 ? "bench: %s %.6f s, %.2f x %s\n" : "bench: %s %.3f s, %.2f x %s\n",
                    e.name.c_str(), w, r > 0 ? w / r : 0.0, e.reference.c_str());
        std::fflush(stdout);
    }
    if (!found) {
        std::fprintf(stderr, "no measurement named \"%s\"; known:", only.c_str());
        for (const Entry& e : entries) std::fprintf(stderr, " %s", e.name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    return 0;
}
