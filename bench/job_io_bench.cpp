// What the job measurements share. The floor of a job's file I/O, which every job is
// compared with: the input read with read(2), the output's bytes written with write(2)
// into a new file, one fsync, and a rename over the previous output. io-floor-4k is that
// floor for a 4096 x 4096 F32 layer in and out, against the kernel copying the same file
// and syncing it. Job inputs carry the tags a user's file has: a palette and a description.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_registry.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "outside/huebook/color_map.h"

namespace {

constexpr std::size_t kChunk = std::size_t(8) << 20;

void Check(bool ok, const char* what, const std::string& path)
{
    if (ok) return;
    std::fprintf(stderr, "io floor: cannot %s %s\n", what, path.c_str());
    std::exit(1);
}

}  // namespace

std::int64_t FileBytes(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_size) : 0;
}

Timing IoFloor(const std::vector<std::string>& inputs, std::int64_t outputBytes, const std::string& output)
{
    static std::vector<char> buffer(kChunk, 0x5A);
    const std::string temp = output + ".floor";
    return Measure([&] {
        for (const std::string& input : inputs) {
            const int fd = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
            Check(fd >= 0, "open", input);
            while (::read(fd, buffer.data(), buffer.size()) > 0) {
            }
            ::close(fd);
        }
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        Check(fd >= 0, "create", temp);
        for (std::int64_t done = 0; done < outputBytes;) {
            const ssize_t n =
                ::write(fd, buffer.data(), std::size_t(std::min<std::int64_t>(outputBytes - done, kChunk)));
            Check(n > 0, "write", temp);
            done += n;
        }
        Check(::fsync(fd) == 0, "sync", temp);
        ::close(fd);
        Check(::rename(temp.c_str(), output.c_str()) == 0, "rename", temp);
    });
}

Timing SyncedPlainCopy(const std::string& from, const std::string& to)
{
    return Measure([&] {
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        Check(in >= 0 && out >= 0, "copy", from);
        struct stat st {};
        ::fstat(in, &st);
        for (off_t done = 0; done < st.st_size;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t(st.st_size - done), 0);
            if (n <= 0) break;
            done += n;
        }
        ::fdatasync(out);
        ::close(in);
        ::close(out);
    });
}

namespace {

const bool kRegistered = RegisterBench("io-floor-4k", "synced-plain-copy", [](BenchContext& ctx) {
    const std::string input = ctx.Layer(4096, 4096, int(DataType::F32));
    const std::string output = ctx.File("io-floor.raw"), copy = ctx.File("io-floor-copy.raw");
    const Timing floor = IoFloor({input}, FileBytes(input), output);
    const Timing reference = SyncedPlainCopy(input, copy);
    ::unlink(copy.c_str());
    return BenchTimes{floor.wall, reference.wall, floor.cpu, reference.cpu};
});

}  // namespace

void TouchRows(void* const* rows, int height, std::int64_t rowBytes)
{
    volatile unsigned char sink = 0;
    for (int y = 0; y < height; ++y)
        for (std::int64_t x = 0; x < rowBytes; x += 4096)
            sink = sink + static_cast<const unsigned char*>(rows[y])[x];
}

MemoryRows::MemoryRows(int height, std::int64_t rowBytes)
    : m_block(std::size_t((rowBytes + 7) / 8 * height), 0), m_rows(std::size_t(height))
{
    const std::int64_t stride = (rowBytes + 7) / 8;
    for (int y = 0; y < height; ++y) m_rows[std::size_t(y)] = m_block.data() + stride * y;
}

std::string TaggedLayer(BenchContext& ctx, int width, int height, int type)
{
    const std::string plain = ctx.Layer(width, height, type);
    const std::string path = plain.substr(0, plain.size() - 4) + "-tagged.rdp";
    if (FileBytes(path) > 0) return path;
    CRDPLayer source;
    Check(source.OpenLayer(plain.c_str(), kOpenReadOnly) != nullptr, "open", plain);
    CColorMap map;
    map.CreateSimpleColorMap(source.Min(), source.Max(), RGB(0, 0, 255), RGB(255, 0, 0), 0);
    std::vector<BYTE> palette(std::size_t(map.GetSizeToSave()));
    map.SaveColorMapToPtr(palette.data(), int(palette.size()));
    source.CloseLayer();
    SyncedPlainCopy(plain, path);
    const char description[] = "scene 12, look 3";
    Check(SetTag(path.c_str(), TAG_PALETTE, int(palette.size()), palette.data()) &&
              SetTag(path.c_str(), TAG_DESCRIPTION, sizeof description, description),
          "tag", path);
    return path;
}
