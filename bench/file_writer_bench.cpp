// Cost of writing layer files through the atomic writer against a plain copy of the same
// bytes that is also synced to disk (the writer syncs before it replaces a file):
//   save-f32-16k     a viewer's save of data changes: the open working copy of a 16384 x 16384
//                    F32 layer written over the user's file through a new version of it
//   settag-f32-16k   one tag set on a closed file of that size (the file is rewritten)

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "viewer/frame/frame_save.h"

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
    SyncedPlainCopy(source, target);  // the user's file
    CRDPLayer work;                   // the working copy the user edited
    work.OpenLayer(source.c_str(), kOpenReadOnly);
    BenchTimes t;
    t.seconds = Seconds([&] { SaveLayerOver(work, target.c_str(), target.c_str(), nullptr); });
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
