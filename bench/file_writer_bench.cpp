// Cost of writing layer files through the atomic writer against a plain copy of the same
// bytes that is also synced to disk (the writer syncs before it replaces a file):
//   save-f32-16k     a new 16384 x 16384 F32 layer made from an open one (statistics ready)
//   settag-f32-16k   one tag set on a closed file of that size (the file is rewritten)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"

namespace {

constexpr int kSide = 16384;

// The reference: the file copied by the kernel into a new file, synced, then removed.
double SyncedPlainCopy(const std::string& from, const std::string& to)
{
    return Seconds([&] {
        const int in = ::open(from.c_str(), O_RDONLY);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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

BenchTimes Save(BenchContext& ctx)
{
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string target = ctx.File("saved.rdp");
    CRDPLayer in;
    in.OpenLayer(source.c_str(), kOpenReadOnly);
    BenchTimes t;
    t.seconds = Seconds([&] {
        CRDPLayer out;
        if (!out.CreateLayer(target.c_str(), kSide, kSide, 7)) return;
        out.ReadData(&in, {0, 0}, {0, 0}, {-1, -1});
        std::memcpy(out.GetTag(TAG_STATISTICS), in.GetTag(TAG_STATISTICS), 1064);
        out.CloseLayer();
    });
    ::unlink(target.c_str());
    t.referenceSeconds = SyncedPlainCopy(source, ctx.File("copied.rdp"));
    ::unlink(ctx.File("copied.rdp").c_str());
    return t;
}

BenchTimes SetTagOnLargeFile(BenchContext& ctx)
{
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string target = ctx.File("tagged.rdp");
    SyncedPlainCopy(source, target);
    const char note[] = "a description of the scene";
    BenchTimes t;
    t.seconds = Seconds([&] { SetTag(target.c_str(), 600, sizeof note, note); });
    t.referenceSeconds = SyncedPlainCopy(source, ctx.File("copied.rdp"));
    ::unlink(ctx.File("copied.rdp").c_str());
    ::unlink(target.c_str());
    return t;
}

const bool kRegistered = [] {
    RegisterBench("save-f32-16k", "synced-plain-copy", Save);
    RegisterBench("settag-f32-16k", "synced-plain-copy", SetTagOnLargeFile);
    return true;
}();

}  // namespace
