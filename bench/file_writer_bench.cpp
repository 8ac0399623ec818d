// Cost of writing layer files through the atomic writer against a plain copy of the same
// bytes that is also synced to disk (the writer syncs before it replaces a file):
//   save-f32-16k     a viewer's save of data changes: the open working copy of a 16384 x 16384
//                    F32 layer written over the user's file through a new version of it
//   settag-f32-16k   one tag set on a closed file of that size (the file is rewritten)

#include <unistd.h>

#include <string>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "viewer/core/frame_save.h"

namespace {

constexpr int kSide = 16384;

BenchTimes Save(BenchContext& ctx)
{
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string target = ctx.File("saved.rdp");
    SyncedPlainCopy(source, target);  // the user's file
    CRDPLayer work;                   // the working copy the user edited
    work.OpenLayer(source.c_str(), kOpenReadOnly);
    const Timing save = Measure([&] { SaveLayerOver(work, target.c_str(), target.c_str(), nullptr); });
    ::unlink(target.c_str());
    const Timing copy = SyncedPlainCopy(source, ctx.File("copied.rdp"));
    ::unlink(ctx.File("copied.rdp").c_str());
    return BenchTimes{save.wall, copy.wall, save.cpu, copy.cpu};
}

BenchTimes SetTagOnLargeFile(BenchContext& ctx)
{
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string target = ctx.File("tagged.rdp");
    SyncedPlainCopy(source, target);
    const char note[] = "a description of the scene";
    const Timing set = Measure([&] { SetTag(target.c_str(), 600, sizeof note, note); });
    const Timing copy = SyncedPlainCopy(source, ctx.File("copied.rdp"));
    ::unlink(ctx.File("copied.rdp").c_str());
    ::unlink(target.c_str());
    return BenchTimes{set.wall, copy.wall, set.cpu, copy.cpu};
}

const bool kRegistered = [] {
    RegisterBench("save-f32-16k", "synced-plain-copy", Save);
    RegisterBench("settag-f32-16k", "synced-plain-copy", SetTagOnLargeFile);
    return true;
}();

}  // namespace
