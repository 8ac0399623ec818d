#pragma once

// What the output-bytes tests share: inputs of every sample type made the same way on
// every run, carrying the tags a user's file has, and one 64-bit digest of a whole file, so
// that a table of recorded digests pins every byte a job writes (layout, samples,
// statistics, tags and their order).

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/layer_files.h"
#include "tests/support/modal_responder.h"
#include "tests/support/test_environment.h"

namespace tarvenix::test {

/// FNV-1a over every byte of the file; 0 when it cannot be read.
inline std::uint64_t FileDigest(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (int c; (c = std::fgetc(f)) != EOF;) h = (h ^ std::uint64_t(c)) * 0x100000001b3ull;
    std::fclose(f);
    return h;
}

/// Samples spread over most of the type's range (signed types below zero too), from a
/// fixed sequence: the same file on every run.
inline std::vector<double> DigestInputValues(int type, int width, int height, unsigned seed)
{
    const TypeInfo& info = typeInfo(type);
    double lo = -1000.0, hi = 1000.0;
    if (!info.floating) {
        const int bits = 8 * info.partBytes;
        const double span = bits >= 32 ? 4.0e6 : double(std::uint64_t(1) << bits) - 1;
        lo = info.signedParts ? -std::floor(span / 2) : 0.0;
        hi = lo + span;
    }
    std::vector<double> v(std::size_t(width) * height * (info.complex ? 2 : 1));
    std::uint64_t s = 0x9E3779B97F4A7C15ull * (seed + 1);
    for (double& x : v) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        const double u = double(s >> 11) * 0x1p-53;
        x = lo + u * (hi - lo);
        if (info.floating) x = double(std::int64_t(x * 64.0)) / 64.0;  // exact in both float types
    }
    return v;
}

/// Writes the input of `type` and gives it a palette and a description.
inline bool WriteDigestInput(const std::string& path, int type, int width, int height, unsigned seed = 1)
{
    if (!WriteLayer(path, width, height, type, DigestInputValues(type, width, height, seed))) return false;
    // A palette of two entries, as the viewer stores one (head of 48 bytes, 20 per entry).
    std::vector<BYTE> palette(48 + 2 * 20, 0);
    const std::int32_t head[4] = {0, 0, 1, 2};
    for (int i = 0; i < 4; ++i)
        for (int b = 0; b < 4; ++b) palette[std::size_t(4 * i + b)] = BYTE(std::uint32_t(head[i]) >> (8 * b));
    for (std::size_t i = 48; i < palette.size(); ++i) palette[i] = BYTE(i * 37);
    const char description[] = "scene 12, look 3";
    return SetTag(path.c_str(), TAG_PALETTE, int(palette.size()), palette.data()) &&
           SetTag(path.c_str(), TAG_DESCRIPTION, sizeof description, description);
}

/// One recorded output: the job's case name, the input's type and the digest of what it wrote
/// (0: the job writes nothing for that type).
struct RecordedOutput {
    const char* job;
    int type;
    std::uint64_t digest;
};

/// A job run on an input file of a type it accepts; `dir` holds the input and the output.
struct OutputCase {
    const char* name;
    bool (*accepts)(int type);
    std::function<void(const std::string& in, const std::string& out, const std::string& dir)> run;
};

inline bool AnySampleType(int)
{
    return true;
}
inline bool RealSampleType(int type)
{
    return !isComplexType(type);
}
inline bool ComplexSampleType(int type)
{
    return isComplexType(type);
}

/// Runs every case on an input of every type it accepts (37 x 29 samples with tags, made by
/// WriteDigestInput) and expects the output's digest recorded for it; no case may ask the
/// user anything. A mismatch prints the table line of what was written.
inline void ExpectOutputsAsRecorded(const std::vector<OutputCase>& cases, const RecordedOutput* recorded,
                                    std::size_t count)
{
    for (const OutputCase& c : cases) {
        for (int type = 1; type <= 16; ++type) {
            if (!c.accepts(type)) continue;
            SCOPED_TRACE(std::string(c.name) + " on " + typeInfo(type).name);
            TempDir dir;
            const std::string in = dir.File("in.rdp"), out = dir.File("out.rdp");
            ASSERT_TRUE(WriteDigestInput(in, type, 37, 29));
            c.run(in, out, dir.Path().string());
            EXPECT_TRUE(Responder().Asked().empty());
            std::uint64_t want = 0;
            for (std::size_t i = 0; i < count; ++i)
                if (std::string(recorded[i].job) == c.name && recorded[i].type == type)
                    want = recorded[i].digest;
            const std::uint64_t got = FileDigest(out);
            if (got != want) {
                ADD_FAILURE() << "the output differs from the recorded one";
                std::printf("    {\"%s\", %d, 0x%016llxull},\n", c.name, type,
                            static_cast<unsigned long long>(got));
            }
        }
    }
}

}  // namespace tarvenix::test
