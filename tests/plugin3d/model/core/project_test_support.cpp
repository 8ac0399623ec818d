#include "tests/plugin3d/model/core/project_test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_project_stream.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/model/core/k_threads.h"

namespace kelvora::test {

IMPLEMENT_TCLASS(TKTestLinked, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKTestUnlisted, TKTestLinked)
IMPLEMENT_TCLASS(TKTestFaulty, TKTestLinked)
IMPLEMENT_TCLASS(TKTestProject, TKProject)

int TKTestLinked::SaveToStream(TKObjectsStream* stream)
{
    int bytes = TKCustomChangeObject::SaveToStream(stream);
    bytes += WriteValue(stream, stream->ObjectReference(partner));
    bytes += WriteValue(stream, value);
    return bytes;
}

int TKTestLinked::LoadFromStream(TKObjectsStream* stream)
{
    int bytes = TKCustomChangeObject::LoadFromStream(stream);
    bytes += ReadValue(stream, m_storedPartner);
    bytes += ReadValue(stream, value);
    return bytes;
}

int TKTestLinked::LinkObjects(TKObjectsStream* stream)
{
    partner = static_cast<TKTestLinked*>(stream->Link(m_storedPartner, TKTestLinked::StaticClass()));
    return 1;
}

int TKTestLinked::Operation(int code, std::intptr_t param)
{
    if (code == 4098) {
        opened.push_back(param);
        return 0;
    }
    return TKCustomChangeObject::Operation(code, param);
}

int TKTestFaulty::SaveToStream(TKObjectsStream* stream)
{
    const int bytes = TKTestLinked::SaveToStream(stream);
    const auto* projectStream = ObjectAs<TKProjectStream>(stream);
    if (!projectStream || projectStream->IsCounting()) return bytes;
    switch (fault) {
        case Fault::None:
            return bytes;
        case Fault::ReportsOneByteMore:
            return bytes + 1;
        case Fault::ThrowsWhileWriting:
            throw EStreamError("the disk went away");
        case Fault::StopsItsJob:
            // As the user's Break does: the job ends at its next report.
            if (TKThread* thread = stream->GetThread()) thread->Stop();
            return bytes;
    }
    return bytes;
}

void TKTestProject::Init()
{
    TKProject::Init();
    tree = TKDataBranch::NewNamed("Tree");
}

TKTestProject::~TKTestProject()
{
    Done();
    FreeItems();
    FreeAndNil(tree);
}

void TKTestProject::FreeItems()
{
    for (TKObject* item : items) FreeObject(item);
    items.clear();
}

int TKTestProject::WriteObjectsHeader(TKObjectsStream* stream)
{
    const auto* projectStream = ObjectAs<TKProjectStream>(stream);
    if (claimedHeader && projectStream && projectStream->IsCounting()) {
        stream->SetPosition(stream->GetPosition() + claimedHeader);
        return claimedHeader;
    }
    return WriteValue(stream, setting);
}

int TKTestProject::ReadObjectsHeader(TKObjectsStream* stream)
{
    return ReadValue(stream, setting);
}

int TKTestProject::WriteObjects(TKObjectsStream* stream)
{
    int bytes = stream->WriteObject(tree);
    bytes += WriteValue(stream, static_cast<std::int32_t>(items.size()));
    for (TKObject* item : items) bytes += stream->WriteObject(item);
    return bytes;
}

int TKTestProject::ReadObjects(TKObjectsStream* stream)
{
    FreeItems();
    // A failed read leaves the variable as it was.
    TKObject* loaded = tree;
    int bytes = stream->ReadObject(loaded, TKDataBranch::StaticClass());
    tree = static_cast<TKDataBranch*>(loaded);
    const std::int32_t count = ReadCount(stream, this, TKObjectsStream::kRecordHeadSize);
    bytes += 4;
    for (std::int32_t i = 0; i < count; ++i) {
        TKObject* item = nullptr;
        bytes += stream->ReadObject(item, TKObject::StaticClass());
        if (item) items.push_back(item);
    }
    return bytes;
}

int TKTestProject::LinkObjects(TKObjectsStream* stream)
{
    int linked = 0;
    for (TKObject* item : items) linked += std::max(0, item->LinkObjects(stream));
    return linked;
}

int TKTestProject::FindContainer(TObject* object, TObject** container)
{
    if (std::find(items.begin(), items.end(), object) == items.end()) return 0;
    *container = this;
    return 1;
}

void RegisterProjectTestClasses()
{
    RegisterClassBranch(TKTestProject::StaticClass());
    RegisterClassBranch(TKTestLinked::StaticClass());
    RegisterClassBranch(TKTestFaulty::StaticClass());
}

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t v)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    out.insert(out.end(), p, p + 4);
}

void PutString(std::vector<std::uint8_t>& out, const std::string& s)
{
    PutInt32(out, static_cast<std::int32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void PutClassNode(std::vector<std::uint8_t>& out, std::int32_t children, std::int32_t id, std::int32_t uses,
                  const std::string& name)
{
    PutInt32(out, children);
    PutInt32(out, id);
    PutInt32(out, uses);
    PutString(out, name);
}

std::vector<std::uint8_t> KtpParts::Bytes() const
{
    std::vector<std::uint8_t> out(signature.begin(), signature.end());
    PutInt32(out, major);
    PutInt32(out, minor);
    PutString(out, classPath);
    PutString(out, name);
    for (const auto* block : {&description, &modules, &classTree, &header, &objects}) {
        PutInt32(out, static_cast<std::int32_t>(block->size()));
        out.insert(out.end(), block->begin(), block->end());
    }
    return out;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::int32_t Int32At(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    std::int32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

void SetInt32At(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t v)
{
    std::memcpy(bytes.data() + at, &v, 4);
}

namespace {

// The records of a data tree record at at (its own head first); returns the record's end.
std::size_t WalkTreeRecord(const std::vector<std::uint8_t>& bytes, std::size_t at,
                           std::vector<std::size_t>& records)
{
    records.push_back(at);
    const std::size_t end = at + 12 + static_cast<std::size_t>(Int32At(bytes, at + 8));
    std::size_t p = at + 12;
    const std::int32_t children = Int32At(bytes, p);
    p += 4;
    for (std::int32_t i = 0; i < children; ++i) p = WalkTreeRecord(bytes, p, records);
    return end;
}

}  // namespace

KtpLayout LayoutOf(const std::vector<std::uint8_t>& bytes)
{
    KtpLayout layout;
    layout.end = bytes.size();
    std::size_t p = 16;
    p += 4 + static_cast<std::size_t>(Int32At(bytes, p));  // class path
    p += 4 + static_cast<std::size_t>(Int32At(bytes, p));  // name
    std::size_t* fields[] = {&layout.d, &layout.m, &layout.t, &layout.h, &layout.b};
    for (std::size_t* field : fields) {
        *field = p;
        p += 4 + static_cast<std::size_t>(Int32At(bytes, p));
    }
    // The objects block of a TKTestProject: the tree, a count, the items.
    p = layout.b + 4;
    if (p >= bytes.size()) return layout;
    p = WalkTreeRecord(bytes, p, layout.records);
    const std::int32_t count = Int32At(bytes, p);
    p += 4;
    for (std::int32_t i = 0; i < count; ++i) {
        layout.records.push_back(p);
        p += 12 + static_cast<std::size_t>(Int32At(bytes, p + 8));
    }
    return layout;
}

KtpParts PartsOf(const std::vector<std::uint8_t>& bytes)
{
    const KtpLayout layout = LayoutOf(bytes);
    KtpParts parts;
    parts.signature.assign(bytes.begin(), bytes.begin() + 8);
    parts.major = Int32At(bytes, 8);
    parts.minor = Int32At(bytes, 12);
    const auto stringAt = [&](std::size_t at) {
        return std::string(bytes.begin() + std::ptrdiff_t(at + 4),
                           bytes.begin() + std::ptrdiff_t(at + 4 + std::size_t(Int32At(bytes, at))));
    };
    parts.classPath = stringAt(16);
    parts.name = stringAt(20 + parts.classPath.size());
    const std::pair<std::size_t, std::vector<std::uint8_t>*> blocks[] = {{layout.d, &parts.description},
                                                                         {layout.m, &parts.modules},
                                                                         {layout.t, &parts.classTree},
                                                                         {layout.h, &parts.header},
                                                                         {layout.b, &parts.objects}};
    for (const auto& [at, block] : blocks) {
        const auto begin = bytes.begin() + std::ptrdiff_t(at + 4);
        block->assign(begin, begin + Int32At(bytes, at));
    }
    return parts;
}

}  // namespace kelvora::test
