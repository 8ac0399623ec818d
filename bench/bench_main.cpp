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
        End();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string File(const std::string& name) override { return (m_dir / name).string(); }
    void AtEnd(std::function<void()> release) override { m_atEnd.push_back(std::move(release)); }
    /// Releases what the measurements kept, newest first.
    void End()
    {
        while (!m_atEnd.empty()) {
            auto release = std::move(m_atEnd.back());
            m_atEnd.pop_back();
            release();
        }
    }

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
    std::vector<std::function<void()>> m_atEnd;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

/// TARVENIX_BENCH_BEST=1: the fastest run stands for a measurement instead of the median,
/// which on a machine busy with other work is nearer to what the work costs alone.
bool g_best = false;

/// The median (or the least) of one field over the runs.
template <class Field>
double MedianOf(const std::vector<BenchTimes>& runs, Field field)
{
    std::vector<double> v;
    for (const BenchTimes& t : runs) v.push_back(field(t));
    return g_best ? *std::min_element(v.begin(), v.end()) : Median(v);
}

double Ratio(double a, double b)
{
    return b > 0 ? a / b : 0.0;
}

/// "bench: NAME SECONDS s, RATIO x REFERENCE" and, where measured, the job's ratio to its
/// kernel plus its I/O floor and the CPU times.
void Print(const Entry& e, const std::vector<BenchTimes>& runs)
{
    const double w = MedianOf(runs, [](const BenchTimes& t) { return t.seconds; });
    const double r = MedianOf(runs, [](const BenchTimes& t) { return t.referenceSeconds; });
    // A reference that did not run gives no ratio: "0.00 x" would read as a measurement.
    const std::string missing = !runs.back().referenceMissing.empty() ? runs.back().referenceMissing
                                : r <= 0.0 ? std::string("it is missing (not measured)")
                                           : std::string();
    if (!missing.empty()) {
        std::printf(w < 0.01 ? "bench: %s %.6f s, %s skipped: %s\n" : "bench: %s %.3f s, %s skipped: %s\n",
                    e.name.c_str(), w, e.reference.c_str(), missing.c_str());
        std::fflush(stdout);
        return;
    }
    // Sub-millisecond measurements keep their microseconds.
    std::printf(w < 0.01 ? "bench: %s %.6f s, %.2f x %s" : "bench: %s %.3f s, %.2f x %s", e.name.c_str(), w,
                Ratio(w, r), e.reference.c_str());
    const double kernel = MedianOf(runs, [](const BenchTimes& t) { return t.kernel.wall; });
    const double floor = MedianOf(runs, [](const BenchTimes& t) { return t.ioFloor.wall; });
    if (kernel > 0 || floor > 0)
        std::printf("; %.2f x kernel+io-floor (%.3f + %.3f s)", Ratio(w, kernel + floor), kernel, floor);
    const double cpu = MedianOf(runs, [](const BenchTimes& t) { return t.cpuSeconds; });
    if (cpu > 0) {
        const double cpuRef = MedianOf(runs, [](const BenchTimes& t) { return t.referenceCpuSeconds; });
        std::printf("; cpu %.3f s, %.2f x %s", cpu, Ratio(cpu, cpuRef), e.reference.c_str());
        const double cpuKernel = MedianOf(runs, [](const BenchTimes& t) { return t.kernel.cpu; });
        const double cpuFloor = MedianOf(runs, [](const BenchTimes& t) { return t.ioFloor.cpu; });
        if (cpuKernel > 0 || cpuFloor > 0)
            std::printf(", %.2f x kernel+io-floor (%.3f + %.3f s)", Ratio(cpu, cpuKernel + cpuFloor),
                        cpuKernel, cpuFloor);
    }
    std::printf("\n");
    std::fflush(stdout);
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
    const int count =
        std::getenv("TARVENIX_BENCH_RUNS") ? std::max(1, std::atoi(std::getenv("TARVENIX_BENCH_RUNS"))) : 5;
    g_best = std::getenv("TARVENIX_BENCH_BEST") && std::atoi(std::getenv("TARVENIX_BENCH_BEST")) != 0;
    // TARVENIX_BENCH_THREADS=n: the row driver's jobs run on n threads (a per-core comparison).
    if (const char* threads = std::getenv("TARVENIX_BENCH_THREADS")) SetRowDriverThreads(std::atoi(threads));
    std::vector<Entry> entries = Registry();
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    bool found = false;
    Context ctx;  // ends before the application object: what the measurements keep goes first
    for (const Entry& e : entries) {
        if (!only.empty() && e.name != only) continue;
        found = true;
        e.run(ctx);  // warm-up: files made, pages mapped
        std::vector<BenchTimes> runs(static_cast<size_t>(count));
        for (BenchTimes& t : runs) t = e.run(ctx);
        Print(e, runs);
    }
    if (!found) {
        std::fprintf(stderr, "no measurement named \"%s\"; known:", only.c_str());
        for (const Entry& e : entries) std::fprintf(stderr, " %s", e.name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    return 0;
}
