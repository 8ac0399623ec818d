// Cost of writing layer files through the atomic writer against a plain copy of the same
// bytes that is also synced to disk (the writer syncs before it replaces a file):
//   save-f32-16k     a viewer's save of data changes: the open working copy of a 16384 x 16384
//                    F32 layer written over the user's file through a new version of it
//   settag-f32-16k   one tag set on a closed file of that size (the file is rewritten)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <string>

#include "bench/bench_registry.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "viewer/frame/frame_save.h"

namespace {

constexpr int kSide = 16384;

/// The working copy the user edited, made once as a viewer makes it: a new layer in the
/// temporary folder that holds a copy of the file's samples; removed at the end.
CRDPLayer& WorkingCopy(BenchContext& ctx, const std::string& source)
{
    static CRDPLayer* work = nullptr;
    if (!work) {
        work = new CRDPLayer;
        ctx.AtEnd([] {
            work->DestroyLayer();
            delete work;
            work = nullptr;
        });
        CRDPLayer file;
        if (!file.OpenLayer(source.c_str(), kOpenReadOnly) ||
            !work->CreateLayerTempName(file.Width(), file.Height(), file.Type()) ||
            !work->ReadData(&file, CPoint(0, 0), CPoint(0, 0), CSize(-1, -1))) {
            std::fprintf(stderr, "save bench: cannot make the working copy\n");
            std::exit(1);
        }
    }
    return *work;
}

BenchTimes Save(BenchContext& ctx)
{
    const std::string source = ctx.Layer(kSide, kSide, 7);
    const std::string target = ctx.File("saved.rdp");
    SyncedPlainCopy(source, target);  // the user's file
    CRDPLayer& work = WorkingCopy(ctx, source);
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
