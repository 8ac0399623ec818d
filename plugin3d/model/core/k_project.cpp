#include "plugin3d/model/core/k_project.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"
#include "plugin3d/model/core/k_objects_list.h"
#include "plugin3d/model/core/k_project_file.h"
#include "plugin3d/model/core/k_project_stream.h"
#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/core/k_strings.h"

IMPLEMENT_TCLASS(TKProject, TKCustomChangeObject)

namespace {

std::atomic<TKObjectsList*> g_projects{nullptr};

constexpr char kDefaultDescription[] = "This project is empty";
constexpr char kProjectPathRoot[] = "TKProject";
constexpr std::int64_t kMaxFileSize = std::numeric_limits<std::int32_t>::max();

void Status(TKThread* thread, const char* text)
{
    if (thread) thread->SetStatusText(text);
}

std::string ExpandFileName(const std::string& name)
{
    if (name.empty()) return name;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(name, ec);
    return ec ? name : full.lexically_normal().string();
}

// A block size read from the file: never negative, never past what is left.
std::int32_t ReadBlockSize(TKProjectStream& stream)
{
    std::int32_t size = 0;
    ReadValue(&stream, size);
    if (size < 0 || size > stream.Remaining()) RaiseProjectFormatError();
    return size;
}

// The node of cls in the registry's "Classes" tree, or null.
TKDataBranch* RegisteredClassNode(TClass cls)
{
    TKDataBranch* classes = RegistryFindPath(nullptr, "Classes");
    return classes ? classes->FindDataInTree(TKData::OfClass(cls)) : nullptr;
}

std::vector<std::string> SplitAtDots(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) return parts;
        start = dot + 1;
    }
}

std::int32_t Clamped32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, kMaxFileSize));
}

// A module entry: its size field, then the name, the version size and (none here) bytes.
std::int64_t ModuleEntryBytes(const std::string& name)
{
    return 4 + WriteStringToBuffer(nullptr, name) + 4;
}

// Runs body between operations 1 and 2 of kind on object. Operation 2 runs also when body
// fails; the body's failure is then the one that passes on.
template <class Body>
void Bracketed(TKObject& object, int kind, Body&& body)
{
    object.Operation(kopBeginOperation, kind);
    try {
        body();
    } catch (...) {
        try {
            object.Operation(kopEndOperation, kind);
        } catch (...) {
        }
        throw;
    }
    object.Operation(kopEndOperation, kind);
}

// Runs body, then release, also when body fails.
template <class Body, class Release>
void Releasing(Body&& body, Release&& release)
{
    try {
        body();
    } catch (...) {
        release();
        throw;
    }
    release();
}

void StartProjects()
{
    g_projects = TKObjectsList::NewNamed("Global List of KProjects");
    RegisterClassBranch(TKProject::StaticClass());
}

void EndProjects()
{
    FreeObject(g_projects.exchange(nullptr));
}

}  // namespace

const TUnitInfo kKProjectUnit{"KProject", StartProjects, EndProjects};

void RaiseProjectFormatError()
{
    throw EStreamError(ktext::kInvalidProjectFormat);
}

TKObjectsList* ProjectsList()
{
    return g_projects.load(std::memory_order_acquire);
}

// --- life ----------------------------------------------------------------------------------------

void TKProject::Init()
{
    TKCustomChangeObject::Init();
    m_versionMajor = 1;
    m_versionMinor = 0;
    m_modified = 0;
    m_fileName.clear();
    m_description = kDefaultDescription;
    m_classTree.reset(TKDataBranch::NewNamed("TKObject", 0, TKData::OfClass(TKObject::StaticClass())));
    m_modules.reset(TKDataBranch::NewNamed(""));
    ClearMaps();
}

void TKProject::Create(void* owner)
{
    TKCustomChangeObject::Create(owner);
    if (TKObjectsList* list = ProjectsList()) list->Add(this);
}

TKProject::~TKProject()
{
    Done();
    if (TKObjectsList* list = ProjectsList()) list->Remove(this);
}

void TKProject::Changing(std::intptr_t param)
{
    m_modified.store(1, std::memory_order_release);
    TKCustomChangeObject::Changing(param);
}

std::string TKProject::Description() const
{
    TKSectionGuard guard(LockSection());
    return m_description;
}

void TKProject::SetDescription(const std::string& description)
{
    TKSectionGuard guard(LockSection());
    m_description = description;
}

std::string TKProject::FileName() const
{
    TKSectionGuard guard(LockSection());
    return m_fileName;
}

void TKProject::SetFileName(const std::string& fileName)
{
    TKWaitingSectionGuard guard(LockSection());
    m_fileName = fileName;
}

std::string TKProject::ReadFileName(TKThreadParams* params) const
{
    const auto* bytes = static_cast<const char*>(params->Data());
    if (!bytes) return {};
    const std::size_t size = static_cast<std::size_t>(params->Size());
    return std::string(bytes, std::find(bytes, bytes + size, '\0'));
}

void TKProject::RaiseMismatch()
{
    throw EStreamError(ControlSumText(this, this));
}

// --- the project's own parts (a subclass fills them) ----------------------------------------------

int TKProject::ReadDescription(const void* buffer, int size)
{
    std::string description;
    const int used = ReadStringFromBuffer(buffer, static_cast<std::size_t>(std::max(size, 0)), description);
    SetDescription(description);
    return used;
}

int TKProject::WriteDescription(void* buffer)
{
    return WriteStringToBuffer(buffer, Description());
}

void TKProject::CollectModules(TKDataBranch* modules)
{
    if (modules) modules->SetCount(0);
}

void TKProject::CheckModule(const std::string&, const void*, int) {}

int TKProject::WriteObjectsHeader(TKObjectsStream*)
{
    return 0;
}

int TKProject::ReadObjectsHeader(TKObjectsStream*)
{
    return 0;
}

int TKProject::WriteObjects(TKObjectsStream*)
{
    return 0;
}

int TKProject::ReadObjects(TKObjectsStream*)
{
    return 0;
}

// --- maps ------------------------------------------------------------------------------------------

void TKProject::ClearMaps()
{
    m_classMap.Clear();
    m_linkTable.Clear();
    m_savedClasses.clear();
    m_savedClassIndex.Clear();
    m_lastSavedClass = nullptr;
    m_lastSavedClassIndex = 0;
}

void TKProject::ResetClassTree()
{
    TKTreeLock lock;
    m_classTree->SetCount(0);
    m_classTree->SetTag(0);
    m_classTree->SetName("TKObject");
    m_classTree->SetData(TKData::OfClass(TKObject::StaticClass()));
}

TClass TKProject::StoredClass(std::int32_t storedClass) const
{
    const TClass* cls = m_classMap.Find(storedClass);
    return cls ? *cls : nullptr;
}

void TKProject::RecordLoaded(std::int32_t storedObject, TKObject* object)
{
    if (object) m_linkTable.TryEmplace(storedObject, {object, object->ClassType()});
}

void TKProject::ForgetLoaded(TKObject* object)
{
    if (object)
        m_linkTable.EraseIf(
            [object](std::int32_t, const TKLoadedObject& loaded) { return loaded.object == object; });
}

void TKProject::CountSavedClassFirst(TClass cls)
{
    const TClass root = TKObject::StaticClass();
    if (!cls || cls == root || !cls->InheritsFrom(root)) return;
    const auto [index, added] = m_savedClassIndex.TryEmplace(cls, m_savedClasses.size());
    if (added) m_savedClasses.emplace_back(cls, 0);
    ++m_savedClasses[*index].second;
    m_lastSavedClass = cls;
    m_lastSavedClassIndex = *index;
}

// The class tree of the counted objects: for each class, in the order the pass met them,
// the chain of nodes from just below TKObject down to it; each node's Tag counts the objects
// of its class and of its subclasses, the root's all of them.
void TKProject::BuildSavedClassTree()
{
    TKTreeLock lock;
    const TClass root = TKObject::StaticClass();
    TKFlatMap<TClass, TKDataBranch*> nodes;
    nodes.TryEmplace(root, m_classTree.get());
    std::vector<TClass> chain;
    for (const auto& [cls, count] : m_savedClasses) {
        chain.clear();
        for (TClass c = cls; c != root; c = c->parent) chain.push_back(c);
        TKDataBranch* parent = m_classTree.get();
        for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
            auto [node, added] = nodes.TryEmplace(*c, nullptr);
            if (added)
                *node = static_cast<TKDataBranch*>(
                    parent->AddChild(TKDataBranch::NewNamed((*c)->name, 0, TKData::OfClass(*c))));
            parent = *node;
        }
        for (TKBranch* up = parent; up; up = up->Parent())
            if (auto* counted = ObjectAs<TKDataBranch>(up)) counted->SetTag(counted->Tag() + count);
    }
}

// --- save ------------------------------------------------------------------------------------------

std::int64_t TKProject::ComputeSizes(TKProjectSizes& sizes)
{
    ClearMaps();
    ResetClassTree();
    m_modules->SetCount(0);
    TOwned<TKProjectStream> counting(TKProjectStream::NewFor(this, nullptr));
    // The root of the class tree is met first, in both passes.
    counting->ClassReference(TKObject::StaticClass());
    CollectModules(m_modules.get());
    const std::int64_t d = WriteDescription(nullptr);
    const std::int64_t h = WriteObjectsHeader(counting.get());
    const std::int64_t b = WriteObjects(counting.get());
    if (d < 0 || h < 0 || b < 0 || counting->GetPosition() != h + b) RaiseMismatch();
    BuildSavedClassTree();
    std::int64_t m = 4;
    for (int i = 0; i < m_modules->Count(); ++i)
        if (TKDataBranch* module = m_modules->DataChild(i)) m += ModuleEntryBytes(module->Name());
    const std::int64_t t = ClassTreeBytes(m_classTree.get());
    const std::int64_t header = kFixedHeaderBytes - 8 +
                                WriteStringToBuffer(nullptr, ClassPathOf(ClassType())) +
                                WriteStringToBuffer(nullptr, Name()) + d + m + t;
    m_countedClasses = counting->ClassesInOrder();
    m_countedObjects = counting->ObjectIdCount();
    sizes = {Clamped32(header), Clamped32(d), Clamped32(m), Clamped32(t), Clamped32(h), Clamped32(b)};
    return header + h + b + 8;
}

int TKProject::SaveToStream(TKObjectsStream* stream)
{
    auto* out = ObjectAs<TKProjectStream>(stream);
    if (!out || !m_sizes) return -1;
    const TKProjectSizes sizes = *m_sizes;
    TKThread* thread = out->GetThread();

    Status(thread, ktext::kSaveHeader);
    out->ClassReference(TKObject::StaticClass());
    TKFlatMap<TClass, std::int32_t> countedIds;
    for (std::size_t i = 0; i < m_countedClasses.size(); ++i)
        countedIds.TryEmplace(m_countedClasses[i], static_cast<std::int32_t>(i + 1));
    TKBlockWriter header(sizes.header);
    header.Append(kProjectSignature, sizeof kProjectSignature);
    header.Int32(VersionMajor());
    header.Int32(VersionMinor());
    header.String(ClassPathOf(ClassType()));
    header.String(Name());
    header.Int32(sizes.description);
    {
        std::vector<std::uint8_t>& bytes = header.Bytes();
        const std::size_t at = bytes.size();
        bytes.resize(at + static_cast<std::size_t>(sizes.description));
        if (WriteDescription(bytes.data() + at) != sizes.description) RaiseMismatch();
    }
    header.Int32(sizes.modules);
    header.Int32(m_modules->Count());
    for (int i = 0; i < m_modules->Count(); ++i) {
        const std::string name = m_modules->DataChild(i) ? m_modules->DataChild(i)->Name() : std::string();
        header.Int32(static_cast<std::int32_t>(ModuleEntryBytes(name) - 4));
        header.String(name);
        header.Int32(0);
    }
    header.Int32(sizes.classTree);
    WriteClassTree(header, m_classTree.get(), [&](TClass cls) {
        const std::int32_t* id = countedIds.Find(cls);
        return id ? *id : 0;
    });
    if (header.Bytes().size() != static_cast<std::size_t>(sizes.header)) RaiseMismatch();
    out->Write(header.Bytes().data(), sizes.header);

    Status(thread, ktext::kSaveObjectsHeader);
    WriteValue(out, sizes.objectsHeader);
    const int h = WriteObjectsHeader(out);
    if (h != sizes.objectsHeader) RaiseMismatch();

    Status(thread, ktext::kSaveObjects);
    if (thread) thread->SetProgressRange(0, m_classTree->Tag(), 0);
    WriteValue(out, sizes.objects);
    const int b = WriteObjects(out);
    if (b != sizes.objects) RaiseMismatch();
    // The header was written with the ids of the counting pass: the writing pass must have
    // handed out the same ones.
    if (out->ClassesInOrder() != m_countedClasses || out->ObjectIdCount() != m_countedObjects)
        RaiseMismatch();
    return sizes.header + 8 + h + b;
}

void TKProject::SaveProject(TKThread* thread, TKThreadParams* params)
{
    if (!params) return;
    Status(thread, ktext::kStartingSave);
    SetFileName(ExpandFileName(ReadFileName(params)));
    TKProjectSizes sizes;
    m_sizes = &sizes;
    TOwned<TKProjectStream> stream(TKProjectStream::NewFor(this, thread));
    // The new version of the file goes with the stream unless it was committed.
    Releasing(
        [&] {
            Bracketed(*this, kokSave, [&] {
                Status(thread, ktext::kSavePreparation);
                std::int64_t total = ComputeSizes(sizes);
                // The file's size fields are 32-bit: a larger project cannot be stored.
                if (total <= 0 || total > kMaxFileSize)
                    throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kInvalidValue));
                stream->Open(FileName(), ksmCreate, total);
                const int written = Operation(kopSave, reinterpret_cast<std::intptr_t>(stream.get()));
                if (written != total || stream->GetPosition() != total) RaiseMismatch();
                Status(thread, ktext::kFinishingSave);
            });
            stream->Commit();
        },
        [&] {
            m_sizes = nullptr;
            SetFileName("");
            stream.reset();
        });
}

void TKProject::SaveToFile(const std::string& fileName)
{
    TOwned<TKThreadParams> params(
        TKThreadParams::NewWith(fileName.data(), static_cast<int>(fileName.size())));
    SaveProject(nullptr, params.get());
}

// --- load ------------------------------------------------------------------------------------------

void TKProject::AddLoadRefusal(const std::string& text)
{
    std::lock_guard lock(m_refusalMutex);
    m_loadRefusals.push_back(text);
}

std::vector<std::string> TKProject::TakeLoadRefusals()
{
    std::lock_guard lock(m_refusalMutex);
    return std::exchange(m_loadRefusals, {});
}

void TKProject::LoadProject(TKThread* thread, TKThreadParams* params)
{
    if (!params) return;
    {
        std::lock_guard lock(m_refusalMutex);
        m_loadRefusals.clear();
    }
    Status(thread, ktext::kStartingLoad);
    SetFileName(ExpandFileName(ReadFileName(params)));
    TOwned<TKProjectStream> stream(TKProjectStream::NewFor(this, thread));
    Releasing(
        [&] {
            std::int64_t size = 0;
            stream->Open(FileName(), ksmRead, size);
            Bracketed(*this, kokLoad, [&] {
                Operation(kopLoad, reinterpret_cast<std::intptr_t>(stream.get()));
                stream->CheckNotCut(FileName());
                Operation(kopLink, reinterpret_cast<std::intptr_t>(stream.get()));
                Status(thread, ktext::kFinishingLoad);
            });
        },
        // Only the load's own links may reach its objects; none outlives it.
        [&] {
            stream.reset();
            SetFileName("");
            m_linkTable.Clear();
        });
}

void TKProject::LoadFromFile(const std::string& fileName)
{
    TOwned<TKThreadParams> params(
        TKThreadParams::NewWith(fileName.data(), static_cast<int>(fileName.size())));
    LoadProject(nullptr, params.get());
}

int TKProject::LoadFromStream(TKObjectsStream* stream)
{
    auto* in = ObjectAs<TKProjectStream>(stream);
    if (!in || in->IsCounting()) return -1;
    TKThread* thread = in->GetThread();
    const std::int64_t start = in->GetPosition();
    const TKProjectStream::MakingScope making(*in);

    Status(thread, ktext::kLoadHeader);
    ClearMaps();
    ResetClassTree();
    m_modules->SetCount(0);
    char signature[sizeof kProjectSignature];
    in->Read(signature, sizeof signature);
    if (std::memcmp(signature, kProjectSignature, sizeof signature) != 0) RaiseProjectFormatError();
    std::int32_t major = 0, minor = 0;
    ReadValue(in, major);
    ReadValue(in, minor);
    m_versionMajor = major;
    m_versionMinor = minor;
    std::string classPath, name;
    ReadStringFrom(in, classPath);
    ReadStringFrom(in, name);
    SetName(name);

    // The blocks read into memory are read in place, through the mapping.
    auto block = [&](auto&& parse) {
        const std::int32_t size = ReadBlockSize(*in);
        const std::int64_t at = in->GetPosition();
        parse(in->Peek(size), size);
        in->SetPosition(at + size);
    };
    block([&](const std::uint8_t* data, std::int32_t size) {
        const int used = ReadDescription(data, size);
        if (used < 0 || used > size) RaiseProjectFormatError();
    });
    block([&](const std::uint8_t* data, std::int32_t size) { ReadModules(data, size); });
    block([&](const std::uint8_t* data, std::int32_t size) { ReadClassTree(data, size); });

    // The stream blocks: their readers cannot read past them, and the next block starts at
    // the end of the one before, whatever its reader used.
    auto streamBlock = [&](auto&& read) {
        const std::int32_t size = ReadBlockSize(*in);
        const std::int64_t end = in->GetPosition() + size;
        int used;
        {
            TKStreamLimit limit(*in, end);
            used = read();
        }
        if (used > size) RaiseProjectFormatError();
        in->SetPosition(end);
    };
    Status(thread, ktext::kLoadObjectsHeader);
    streamBlock([&] { return ReadObjectsHeader(in); });
    Status(thread, ktext::kLoadObjects);
    if (thread) thread->SetProgressRange(0, m_classTree->Tag(), 0);
    BuildClassMap();
    streamBlock([&] {
        // The records the class tree counts, as many as the block can hold: their ids go to
        // the link table's array even where they run ahead of the records read.
        const std::int64_t records = std::min<std::int64_t>(
            std::max(m_classTree->Tag(), 0), in->Remaining() / TKObjectsStream::kRecordHeadSize);
        m_linkTable.ExpectIds(static_cast<std::size_t>(records));
        return ReadObjects(in);
    });
    return static_cast<int>(std::min<std::int64_t>(in->GetPosition() - start, kMaxFileSize));
}

void TKProject::ReadModules(const std::uint8_t* data, std::int64_t size)
{
    TKBlockReader in(data, size);
    const std::int32_t count = in.Int32();
    if (static_cast<std::uint32_t>(count) > static_cast<std::uint32_t>(kMaxModules))
        RaiseProjectFormatError();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t entrySize = in.Int32();
        const std::uint8_t* entryData = in.Bytes(entrySize);
        TKBlockReader entry(entryData, entrySize);
        const std::string name = entry.String();
        const std::int32_t versionSize = entry.Int32();
        if (versionSize < 0 ||
            std::int64_t(entrySize) < std::int64_t(versionSize) + std::int64_t(name.size()) + 8)
            RaiseProjectFormatError();
        const std::uint8_t* version = entry.Bytes(versionSize);
        m_modules->AddChild(TKDataBranch::NewNamed(name));
        CheckModule(name, version, versionSize);
    }
}

// Nodes are read depth first without recursion; a node joins its parent once its own
// subtree is complete, while the parent is not yet attached, so that joining never walks
// up a long chain of ancestors.
void TKProject::ReadClassTree(const std::uint8_t* data, std::int64_t size)
{
    TKBlockReader in(data, size);
    auto readNode = [&](TKDataBranch* node) {
        const std::int32_t children = in.Int32();
        const std::int32_t storedClass = in.Int32();
        const std::int32_t uses = in.Int32();
        const std::string name = in.String();
        if (children < 0 || std::int64_t(children) * kClassNodeBytes > in.Left()) RaiseProjectFormatError();
        node->SetData(TKData::OfKey(storedClass));
        node->SetTag(uses);
        node->SetName(name);
        return children;
    };
    struct Frame {
        TKDataBranch* node;
        std::int32_t left;
    };
    TKTreeLock lock;
    TKDataBranch* root = m_classTree.get();
    std::vector<Frame> open{{root, 0}};
    try {
        open.back().left = readNode(root);
        while (!open.empty()) {
            if (open.back().left == 0) {
                TKDataBranch* complete = open.back().node;
                open.pop_back();
                if (!open.empty()) open.back().node->AddChild(complete);
                continue;
            }
            --open.back().left;
            open.push_back({TKDataBranch::New(nullptr), 0});
            open.back().left = readNode(open.back().node);
        }
    } catch (...) {
        for (std::size_t i = open.size(); i-- > 1;) open[i].node->Free();
        root->SetCount(0);
        throw;
    }
}

// Pairs the stored class ids with the classes of this run: the loaded tree and the
// registry's "Classes" tree are walked in step from TKObject; a loaded node without a
// registered twin (a class this program does not know) is left out with its subtree.
void TKProject::BuildClassMap()
{
    m_classMap.Clear();
    TKTreeLock lock;
    TKDataBranch* registered = RegisteredClassNode(TKObject::StaticClass());
    if (!registered) return;
    auto storedId = [](TKDataBranch* node) { return static_cast<std::int32_t>(node->Data().AsKey()); };
    if (const std::int32_t id = storedId(m_classTree.get()); id != 0)
        m_classMap.TryEmplace(id, TKObject::StaticClass());
    std::vector<std::pair<TKDataBranch*, TKDataBranch*>> pending{{m_classTree.get(), registered}};
    while (!pending.empty()) {
        const auto [loaded, twin] = pending.back();
        pending.pop_back();
        for (int i = 0; i < loaded->Count(); ++i) {
            TKDataBranch* child = loaded->DataChild(i);
            if (!child) continue;
            TKDataBranch* childTwin = twin->FindChildByName(child->Name(), false);
            const TClass cls = childTwin ? childTwin->Data().AsClass() : nullptr;
            if (!cls) continue;
            if (const std::int32_t id = storedId(child); id != 0) m_classMap.TryEmplace(id, cls);
            pending.emplace_back(child, childTwin);
        }
    }
}

// --- classes and files -----------------------------------------------------------------------------

std::string ClassPathOf(TClass cls)
{
    const TClass project = TKProject::StaticClass();
    if (!cls || !cls->InheritsFrom(project)) return {};
    if (cls == project) return kProjectPathRoot;
    return ClassPathOf(cls->parent) + "." + cls->name;
}

TClass ResolveProjectClass(const std::string& path)
{
    const std::size_t rootLength = sizeof kProjectPathRoot - 1;
    if (path.size() < rootLength || !SameText(path.substr(0, rootLength), kProjectPathRoot)) return nullptr;
    TClass result = TKProject::StaticClass();
    if (path.size() == rootLength) return result;
    if (path[rootLength] != '.' || path.size() < rootLength + 2) return nullptr;
    TKTreeLock lock;
    TKDataBranch* node = RegisteredClassNode(result);
    for (const std::string& name : SplitAtDots(path.substr(rootLength + 1))) {
        TKDataBranch* child = node ? node->FindChildByName(name, false) : nullptr;
        const TClass cls = child ? child->Data().AsClass() : nullptr;
        if (!cls) break;
        node = child;
        result = cls;
    }
    return result;
}

TKProject* CreateProjectFromFile(const std::string& fileName)
{
    std::string classPath;
    {
        TOwned<TKProjectStream> stream(TKProjectStream::NewFor(nullptr, nullptr));
        std::int64_t size = 0;
        stream->Open(fileName, ksmRead, size);
        char signature[sizeof kProjectSignature];
        stream->Read(signature, sizeof signature);
        if (std::memcmp(signature, kProjectSignature, sizeof signature) != 0) RaiseProjectFormatError();
        std::int32_t versions[2];
        stream->Read(versions, sizeof versions);
        ReadStringFrom(stream.get(), classPath);
        stream->CheckNotCut(fileName);
    }
    const TClass cls = ResolveProjectClass(classPath);
    if (!cls || !cls->InheritsFrom(TKProject::StaticClass()) || !cls->make) RaiseProjectFormatError();
    return static_cast<TKProject*>(cls->Construct(nullptr));
}

TKProject* FindProjectOf(TObject* object)
{
    TKObjectsList* list = ProjectsList();
    if (!object || !list) return nullptr;
    for (TObject* item : list->Snapshot()) {
        auto* project = ObjectAs<TKProject>(item);
        TKFindRequest request{object, nullptr};
        if (project && project->Operation(kopFindContainer, reinterpret_cast<std::intptr_t>(&request)) > 0)
            return project;
    }
    return nullptr;
}
