// Cost of the 3D plug-in's project file, against copying a file of the same size with the
// platform's CopyFile (which, like a save, writes a new version and syncs it to disk):
//   ktp-save-100k   a project of 100,000 small objects saved: the counting pass, the writing
//                   pass into the mapped new version, and its commit
//   ktp-load-100k   the same file loaded into a fresh project: every object made, read and
//                   linked

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "platform/kernel/files.h"
#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_rtd_registry.h"

namespace {

constexpr int kObjects = 100000;

// A small named object with a value and a reference to another one.
class TKBenchItem : public TKCustomChangeObject {
    DECLARE_TCLASS(TKBenchItem)

    int SaveToStream(TKObjectsStream* stream) override
    {
        int bytes = TKCustomChangeObject::SaveToStream(stream);
        bytes += WriteValue(stream, stream->ObjectReference(next));
        bytes += WriteValue(stream, value);
        return bytes;
    }
    int LoadFromStream(TKObjectsStream* stream) override
    {
        int bytes = TKCustomChangeObject::LoadFromStream(stream);
        bytes += ReadValue(stream, m_storedNext);
        bytes += ReadValue(stream, value);
        return bytes;
    }
    int LinkObjects(TKObjectsStream* stream) override
    {
        next = static_cast<TKBenchItem*>(stream->Link(m_storedNext, StaticClass()));
        return 1;
    }

    TKBenchItem* next = nullptr;
    double value = 0;

protected:
    TKBenchItem() = default;

private:
    std::int32_t m_storedNext = 0;
};
IMPLEMENT_TCLASS(TKBenchItem, TKCustomChangeObject)

class TKBenchProject : public TKProject {
    DECLARE_TCLASS(TKBenchProject)

    int WriteObjects(TKObjectsStream* stream) override
    {
        int bytes = WriteValue(stream, static_cast<std::int32_t>(items.size()));
        for (TKBenchItem* item : items) bytes += stream->WriteObject(item);
        return bytes;
    }
    int ReadObjects(TKObjectsStream* stream) override
    {
        Clear();
        const std::int32_t count = ReadCount(stream, this, TKObjectsStream::kRecordHeadSize);
        int bytes = 4;
        items.reserve(std::size_t(count));
        for (std::int32_t i = 0; i < count; ++i) {
            TKObject* item = nullptr;
            bytes += stream->ReadObject(item, TKBenchItem::StaticClass());
            if (item) items.push_back(static_cast<TKBenchItem*>(item));
        }
        return bytes;
    }
    int LinkObjects(TKObjectsStream* stream) override
    {
        for (TKBenchItem* item : items) item->LinkObjects(stream);
        return int(items.size());
    }

    std::vector<TKBenchItem*> items;

protected:
    TKBenchProject() = default;
    ~TKBenchProject() override
    {
        Done();
        Clear();
    }

private:
    void Clear()
    {
        for (TKBenchItem* item : items) item->Free();
        items.clear();
    }
};
IMPLEMENT_TCLASS(TKBenchProject, TKProject)

// The model's units for the length of a measurement.
class Units {
public:
    Units()
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        RegisterClassBranch(TKBenchProject::StaticClass());
        RegisterClassBranch(TKBenchItem::StaticClass());
    }
    ~Units() { FinalizeUnits(CoreUnits().data(), CoreUnits().size()); }
};

TOwned<TKBenchProject> MakeProject()
{
    TOwned<TKBenchProject> project(TKBenchProject::New());
    for (int i = 0; i < kObjects; ++i) {
        TKBenchItem* item = TKBenchItem::New();
        item->value = i * 0.5;
        project->items.push_back(item);
    }
    for (int i = 0; i < kObjects; ++i)
        project->items[std::size_t(i)]->next = project->items[std::size_t((i + 1) % kObjects)];
    return project;
}

double CopyOf(BenchContext& ctx, const std::string& file)
{
    const std::string copy = ctx.File("copied.ktp");
    const double seconds = Seconds([&] { CopyFile(file.c_str(), copy.c_str(), FALSE); });
    ::unlink(copy.c_str());
    return seconds;
}

const bool kSave = RegisterBench("ktp-save-100k", "file-copy", [](BenchContext& ctx) {
    Units units;
    TOwned<TKBenchProject> project = MakeProject();
    const std::string file = ctx.File("saved.ktp");
    BenchTimes t;
    t.seconds = Seconds([&] { project->SaveToFile(file); });
    t.referenceSeconds = CopyOf(ctx, file);
    return t;
});

const bool kLoad = RegisterBench("ktp-load-100k", "file-copy", [](BenchContext& ctx) {
    Units units;
    const std::string file = ctx.File("loaded.ktp");
    MakeProject()->SaveToFile(file);
    TOwned<TKBenchProject> project(TKBenchProject::New());
    BenchTimes t;
    t.seconds = Seconds([&] { project->LoadFromFile(file); });
    if (project->items.size() != std::size_t(kObjects)) std::abort();
    t.referenceSeconds = CopyOf(ctx, file);
    return t;
});

}  // namespace
