#include "plugin3d/model/core/k_object.h"

#include <sys/sysinfo.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"

IMPLEMENT_TCLASS(TKObject, TPersistent)
IMPLEMENT_TCLASS(TKObjectsStream, TObject)

TKObject::~TKObject()
{
    Done();
}

void TKObject::Init() {}

void TKObject::Done()
{
    SetFlags(kofDestroying);
}

int TKObject::BeginOperation(int)
{
    return -1;
}

int TKObject::EndOperation(int)
{
    return -1;
}

int TKObject::SaveToStream(TKObjectsStream*)
{
    return -1;
}

int TKObject::LoadFromStream(TKObjectsStream*)
{
    return -1;
}

int TKObject::LinkObjects(TKObjectsStream*)
{
    return -1;
}

int TKObject::FindContainer(TObject*, TObject**)
{
    return -1;
}

int TKObject::SetProperty(std::intptr_t, std::intptr_t*)
{
    return -1;
}

int TKObject::GetProperty(std::intptr_t, std::intptr_t*)
{
    return -1;
}

void TKObject::Create(void* owner)
{
    m_flags.store(kofCreating, std::memory_order_release);
    m_owner = owner;
    Init();
    ClearFlags(kofCreating);
}

TKObject* TKObject::Clone(void* owner)
{
    TKObject* copy = static_cast<TKObject*>(ClassType()->Construct(owner));
    try {
        copy->Assign(this);
    } catch (...) {
        copy->Free();
        throw;
    }
    return copy;
}

int TKObject::Operation(int code, std::intptr_t param)
{
    switch (code) {
        case kopBeginOperation: {
            if (param == kokSave) SetFlags(kofSaving);
            if (param == kokLoad) SetFlags(kofLoading);
            return BeginOperation(static_cast<int>(param));
        }
        case kopEndOperation: {
            const int result = EndOperation(static_cast<int>(param));
            if (param == kokSave) ClearFlags(kofSaving);
            if (param == kokLoad) ClearFlags(kofLoading);
            return result;
        }
        case kopSave:
            return SaveToStream(reinterpret_cast<TKObjectsStream*>(param));
        case kopLoad:
            return LoadFromStream(reinterpret_cast<TKObjectsStream*>(param));
        case kopLink:
            return LinkObjects(reinterpret_cast<TKObjectsStream*>(param));
        case kopFindContainer: {
            auto* request = reinterpret_cast<TKFindRequest*>(param);
            return request ? FindContainer(request->object, &request->container) : -1;
        }
        case kopSetProperty: {
            auto* request = reinterpret_cast<TKPropertyRequest*>(param);
            return request ? SetProperty(request->key, &request->value) : -1;
        }
        case kopGetProperty: {
            auto* request = reinterpret_cast<TKPropertyRequest*>(param);
            return request ? GetProperty(request->key, &request->value) : -1;
        }
        default:
            return -1;
    }
}

void TKObject::BeforeDestruction()
{
    Done();
}

void TKObjectsStream::SetPosition(std::int64_t) {}

std::int64_t TKObjectsStream::GetPosition()
{
    return 0;
}

TKObject* TKObjectsStream::GetProject()
{
    return nullptr;
}

TKThread* TKObjectsStream::GetThread()
{
    return nullptr;
}

void TKObjectsStream::Read(void*, int) {}

void TKObjectsStream::Write(const void*, int) {}

int TKObjectsStream::WriteObject(TKObject*)
{
    return 0;
}

int TKObjectsStream::ReadObject(TKObject*& object, TClass)
{
    object = nullptr;
    return 0;
}

TKObject* TKObjectsStream::Link(std::int32_t, TClass)
{
    return nullptr;
}

std::int32_t TKObjectsStream::ObjectReference(const TObject*)
{
    return 0;
}

std::int32_t TKObjectsStream::ClassReference(TClass)
{
    return 0;
}

std::int64_t TKObjectsStream::Remaining()
{
    return std::numeric_limits<std::int64_t>::max();
}

bool TKObjectsStream::GrantLoadMemory(const void*, std::int64_t bytes)
{
    return bytes >= 0 && bytes <= LoadMemoryLimit();
}

void TKObjectsStream::ReportRefusal(const std::string&) {}

namespace {

std::atomic<std::int64_t> g_loadMemoryLimit{0};

// What the kernel says a new allocation can have without swapping; the free memory where it
// does not say.
std::int64_t MachineMemoryAvailable()
{
    if (std::FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        long long kib = -1;
        while (std::fgets(line, sizeof line, meminfo))
            if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) break;
        std::fclose(meminfo);
        if (kib >= 0) return std::int64_t(kib) * 1024;
    }
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    return std::int64_t(info.freeram + info.bufferram) * std::int64_t(info.mem_unit ? info.mem_unit : 1);
}

}  // namespace

std::int64_t LoadMemoryLimit()
{
    if (const std::int64_t fixed = g_loadMemoryLimit.load(std::memory_order_relaxed); fixed > 0) return fixed;
    const std::int64_t available = MachineMemoryAvailable();
    return available - available / 8;
}

void SetLoadMemoryLimit(std::int64_t bytes)
{
    g_loadMemoryLimit.store(std::max<std::int64_t>(bytes, 0), std::memory_order_relaxed);
}

std::string ByteSizeText(std::int64_t bytes)
{
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string ObjectErrorText(const TObject* object, const char* action, const char* reason)
{
    const std::string format =
        std::string(ktext::kObjectFormat) + ktext::kLineBreak + action + ktext::kSeparator + reason;
    return Format(format, static_cast<const void*>(object), object ? object->ClassName() : "nil");
}

std::int32_t ReadCount(TKObjectsStream* stream, const TObject* owner, int bytesEach)
{
    std::int32_t count = 0;
    ReadValue(stream, count);
    if (count < 0 || (count > 0 && stream && std::int64_t(count) * bytesEach > stream->RemainingBytes()))
        throw EStreamError(ObjectErrorText(owner, ktext::kCantLoad, ktext::kInvalidValue));
    return count;
}
