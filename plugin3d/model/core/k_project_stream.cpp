#include "plugin3d/model/core/k_project_stream.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"
#include "platform/kernel/file_mapping.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_threads.h"

IMPLEMENT_TCLASS(TKProjectStream, TKObjectsStream)

namespace {

// The write window of the process's saves, kept from one to the next: a window of fresh
// memory costs a page fault for each of its pages at every save. A plain static, never on
// the heap and never destroyed; a save that finds it in use gets a window of its own.
alignas(64) std::uint8_t gKeptWindow[TKProjectStream::kWindowBytes];
std::atomic<bool> gKeptWindowInUse{false};

// Raises the last error after the cleanup, which may change it.
template <class Cleanup>
[[noreturn]] void RaiseAfter(Cleanup&& cleanup)
{
    const DWORD error = GetLastError();
    cleanup();
    SetLastError(error);
    RaiseLastOSError();
}

// Keeps the nesting of object records counted, and refused past the deepest allowed.
class DepthGuard {
public:
    explicit DepthGuard(int& depth) : m_depth(depth)
    {
        if (++m_depth > TKProjectStream::kMaxDepth) {
            --m_depth;
            RaiseProjectFormatError();
        }
    }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

// A name that is not a regular file (a named pipe, a folder, a device) is refused with what
// it is: opening a pipe would wait for a writer, and "Access is denied." would say nothing.
void RefuseWhatIsNoFile(const std::string& fileName)
{
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
    const char* what = S_ISFIFO(st.st_mode)                           ? "a named pipe"
                       : S_ISDIR(st.st_mode)                          ? "a folder"
                       : S_ISSOCK(st.st_mode)                         ? "a socket"
                       : (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? "a device"
                                                                      : "not a regular file";
    throw EStreamError("\"" + fileName + "\" is " + what + ", not a project file");
}

}  // namespace

std::string ControlSumText(const TKProject* project, const TObject* object)
{
    std::string text =
        Format(std::string(ktext::kObjectFormat) + ktext::kLineBreak + ktext::kInvalidControlSum,
               static_cast<const void*>(object), object ? object->ClassName() : "nil");
    if (project)
        text = ClassPathOf(project->ClassType()) + ktext::kLineBreak + project->Name() + ktext::kLineBreak +
               text;
    return text;
}

TKProjectStream* TKProjectStream::NewFor(TKProject* project, TKThread* thread)
{
    TKProjectStream* stream = New();
    stream->Create(project, thread);
    return stream;
}

void TKProjectStream::Create(TKProject* project, TKThread* thread)
{
    static std::atomic<std::uint64_t> marks{0};
    m_project = project;
    m_thread = thread;
    m_mark = ++marks;
}

TKProjectStream::TKProjectStream()
{
    UpdateDirect();
}

TKProjectStream::~TKProjectStream()
{
    Close();
}

void TKProjectStream::Open(const std::string& fileName, TKStreamMode mode, std::int64_t& size)
{
    Close();
    if (mode == ksmCreate) {
        if (size <= 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            RaiseLastOSError();
        }
        // The space is taken now: a full disk fails the save before anything is written.
        if (!m_version.Create(fileName.c_str()) || !m_version.SetSize(static_cast<std::uint64_t>(size), TRUE))
            RaiseAfter([&] { m_version.Discard(); });
        // Every byte of the window is written before it goes to the file: it needs no clearing.
        m_windowBytes = std::min<std::int64_t>(size, kWindowBytes);
        if (!gKeptWindowInUse.exchange(true, std::memory_order_acquire)) {
            m_keptWindow = true;
            m_window = gKeptWindow;
        } else {
            m_ownWindow.reset(new std::uint8_t[static_cast<std::size_t>(m_windowBytes)]);
            m_window = m_ownWindow.get();
        }
        m_direct = {TKDirectMode::Writing, m_window, 0, 0, 0};
        m_writable = true;
    } else {
        RefuseWhatIsNoFile(fileName);
        HANDLE file = CreateFile(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) RaiseLastOSError();
        LARGE_INTEGER length{};
        if (!GetFileSizeEx(file, &length)) RaiseAfter([&] { CloseHandle(file); });
        size = length.QuadPart;
        // Mapped read-only. When another program cuts the file short during the load, the
        // pages past its new end read as zeros (the platform watches file views) and
        // CheckNotCut refuses the load, instead of the program faulting at the first page
        // that is gone. An empty file has nothing to map: its first read fails as a damaged
        // file's does.
        if (size > 0) {
            HANDLE mapping = CreateFileMapping(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
            if (!mapping) RaiseAfter([&] { CloseHandle(file); });
            void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            if (!view)
                RaiseAfter([&] {
                    CloseHandle(mapping);
                    CloseHandle(file);
                });
            CloseHandle(mapping);
            m_view = static_cast<std::uint8_t*>(view);
        }
        CloseHandle(file);
        m_writable = false;
    }
    m_size = size;
    m_hasFile = true;
    m_directPosition = 0;
    m_limits.clear();
    m_grants.Clear();
    m_granted = 0;
    m_budget = m_writable ? 0 : LoadMemoryLimit();
    UpdateDirect();
}

// The bytes ReadBytes and WriteBytes reach without a call: a loading stream's view up to
// the current limit; a saving stream's window, from where it starts to its capacity or the
// end of the file.
void TKProjectStream::UpdateDirect()
{
    if (!m_hasFile) {
        m_direct = {TKDirectMode::Counting, nullptr, 0, 0, 0};
    } else if (m_writable) {
        m_direct.end = std::min(m_direct.first + m_windowBytes, m_size);
    } else if (m_view) {
        m_direct = {TKDirectMode::Reading, m_view, 0, Limit(), 0};
    } else {
        m_direct = {TKDirectMode::None, nullptr, 0, 0, 0};
    }
}

bool TKProjectStream::GrantLoadMemory(const void* holder, std::int64_t bytes)
{
    if (bytes < 0) return false;
    if (!m_hasFile || m_writable) return TKObjectsStream::GrantLoadMemory(holder, bytes);
    std::int64_t* held = m_grants.Find(holder);
    const std::int64_t others = m_granted - (held ? *held : 0);
    // A refused holder is left with nothing: it loads without what it asked for.
    if (bytes > m_budget - others) bytes = -1;
    m_granted = others + std::max<std::int64_t>(bytes, 0);
    if (held)
        *held = std::max<std::int64_t>(bytes, 0);
    else if (bytes > 0)
        m_grants.TryEmplace(holder, bytes);
    return bytes >= 0;
}

void TKProjectStream::CheckNotCut(const std::string& fileName) const
{
    if (m_view && !m_writable && IsViewDamaged(m_view))
        throw EStreamError("\"" + fileName + "\" was cut short by another program while it was read");
}

void TKProjectStream::ReportRefusal(const std::string& text)
{
    if (m_project) m_project->AddLoadRefusal(text);
}

void TKProjectStream::Commit()
{
    if (!m_writable) return;
    FlushWindow();
    if (!m_version.Commit()) RaiseLastOSError();
}

void TKProjectStream::Close()
{
    if (m_view) UnmapViewOfFile(m_view);
    m_view = nullptr;
    m_version.Discard();
    if (m_keptWindow) gKeptWindowInUse.store(false, std::memory_order_release);
    m_keptWindow = false;
    m_ownWindow.reset();
    m_window = nullptr;
    m_windowBytes = 0;
    m_size = 0;
    m_writable = false;
    m_hasFile = false;
    m_limits.clear();
    UpdateDirect();
}

void TKProjectStream::SetPosition(std::int64_t position)
{
    m_directPosition = position;
}

std::int64_t TKProjectStream::GetPosition()
{
    return m_directPosition;
}

TKObject* TKProjectStream::GetProject()
{
    return m_project;
}

TKThread* TKProjectStream::GetThread()
{
    return m_thread;
}

std::int64_t TKProjectStream::Remaining()
{
    if (!m_hasFile) return std::numeric_limits<std::int64_t>::max();
    return std::max<std::int64_t>(0, Limit() - m_directPosition);
}

const std::uint8_t* TKProjectStream::Peek(std::int64_t count)
{
    if (count < 0 || m_directPosition < 0 || count > Limit() - m_directPosition) RaiseProjectFormatError();
    return m_view ? m_view + m_directPosition : nullptr;
}

void TKProjectStream::Read(void* buffer, int count)
{
    if (!m_hasFile) {
        m_directPosition += count;
        return;
    }
    const std::uint8_t* from = Peek(count);
    if (count > 0) std::memcpy(buffer, from, static_cast<std::size_t>(count));
    m_directPosition += count;
}

void TKProjectStream::Write(const void* buffer, int count)
{
    if (!m_hasFile) {
        m_directPosition += count;
        return;
    }
    if (!m_writable || count < 0 || m_directPosition < 0 || count > m_size - m_directPosition)
        RaiseProjectFormatError();
    if (count > 0) Store(buffer, count);
    m_directPosition += count;
}

// A save writes its file through a window of consecutive bytes rather than through a shared
// mapping: a mapping costs a page fault for every page written and, when the file is synced,
// a shoot-down of every page on every processor. The writer is sequential but for record
// heads, written after their records: those land in the window or, when it has moved on,
// straight in the file.
void TKProjectStream::Store(const void* data, std::int64_t count)
{
    // The window holds the bytes of positions m_direct.first to m_direct.filled - 1.
    const std::int64_t capacity = m_windowBytes;
    const std::int64_t start = m_direct.first;
    const std::int64_t end = m_directPosition + count;
    if (m_directPosition >= start && end <= start + capacity) {
        // Bytes skipped in front of what the window holds were never written: the file's zeros.
        const std::int64_t at = m_directPosition - start;
        const std::int64_t used = m_direct.filled - start;
        if (at > used) std::memset(m_window + used, 0, static_cast<std::size_t>(at - used));
        std::memcpy(m_window + at, data, static_cast<std::size_t>(count));
        m_direct.filled = std::max(m_direct.filled, end);
        return;
    }
    if (m_directPosition >= m_direct.filled && count < capacity) {
        FlushWindow();
        m_direct.first = m_directPosition;
        std::memcpy(m_window, data, static_cast<std::size_t>(count));
        m_direct.filled = end;
        UpdateDirect();
        return;
    }
    // Behind the window, across its end or larger than it: the window goes first, so that
    // these newer bytes win, and it starts again past everything written.
    if (end > start) FlushWindow();
    WriteThrough(m_directPosition, data, count);
    if (end > m_direct.first) {
        m_direct.first = m_direct.filled = std::max(m_direct.first, end);
        UpdateDirect();
    }
}

void TKProjectStream::FlushWindow()
{
    const std::int64_t used = m_direct.filled - m_direct.first;
    if (used <= 0) return;
    WriteThrough(m_direct.first, m_window, used);
    // The disk starts on what is written while the save goes on: the commit's sync then has
    // less left. A record head written later only makes its page dirty again.
    m_version.StartWriteBack(static_cast<std::uint64_t>(m_direct.first), static_cast<std::uint64_t>(used));
    m_direct.first = m_direct.filled;
    UpdateDirect();
}

// A failed write has removed the version already (it can never be committed incomplete).
void TKProjectStream::WriteThrough(std::int64_t offset, const void* data, std::int64_t count)
{
    if (!m_version.WriteAt(static_cast<std::uint64_t>(offset), data, static_cast<std::uint64_t>(count)))
        RaiseLastOSError();
}

std::int32_t TKProjectStream::ObjectReference(const TObject* object)
{
    if (!object) return 0;
    // Objects of one class tend to come in runs: the class last found to be a model class
    // needs no walk up its ancestors.
    const TClass cls = object->ClassType();
    if (cls == m_lastModelClass || cls->InheritsFrom(TKObject::StaticClass())) {
        m_lastModelClass = cls;
        return IdOf(const_cast<TKObject*>(static_cast<const TKObject*>(object)));
    }
    const auto [id, added] = m_objectIds.TryEmplace(object, m_objectCount + 1);
    if (added) ++m_objectCount;
    return *id;
}

std::int32_t TKProjectStream::ClassReference(TClass cls)
{
    if (!cls) return 0;
    const auto [id, added] = m_classIds.TryEmplace(cls, static_cast<std::int32_t>(m_classOrder.size() + 1));
    if (added) m_classOrder.push_back(cls);
    return *id;
}

// The class tree of a file holds the chain of classes from just below TKObject down to the
// object's class: a class met for the first time gives ids to that chain in that order, the
// same in both passes.
std::int32_t TKProjectStream::UseClassFirst(TClass cls)
{
    if (const std::int32_t* id = m_classIds.Find(cls)) {
        m_lastUsedClass = cls;
        m_lastUsedClassId = *id;
        return *id;
    }
    const TClass root = TKObject::StaticClass();
    std::vector<TClass> chain;
    for (TClass c = cls; c && c != root; c = c->parent) chain.push_back(c);
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) ClassReference(*c);
    return ClassReference(cls);
}

void TKProjectStream::RaiseControlSum(const TObject* object) const
{
    throw EStreamError(ControlSumText(m_project, object));
}

int TKProjectStream::WriteObject(TKObject* object)
{
    DepthGuard depth(m_depth);
    const std::int64_t start = m_directPosition;
    // The class is asked once: both passes need it, the counting pass twice.
    const TClass cls = object ? object->ClassType() : nullptr;
    std::int32_t head[3] = {object ? UseClassOf(cls) : 0, object ? IdOf(object) : 0, 0};
    if (m_hasFile) {
        // The head's place is held with zeros until the record's size is known: the record's
        // fields then follow in the window, not past a gap.
        const std::int32_t hole[3] = {};
        WriteBytes(hole, sizeof hole);
    } else {
        m_directPosition = start + TKObjectsStream::kRecordHeadSize;
    }
    std::int64_t result = TKObjectsStream::kRecordHeadSize;
    if (object) result += object->Operation(kopSave, reinterpret_cast<std::intptr_t>(this));
    if (start + result != m_directPosition || result > std::numeric_limits<std::int32_t>::max())
        RaiseControlSum(object);
    if (m_hasFile) {
        const std::int64_t end = m_directPosition;
        head[2] = static_cast<std::int32_t>(result - TKObjectsStream::kRecordHeadSize);
        m_directPosition = start;
        WriteBytes(head, sizeof head);
        m_directPosition = end;
    } else if (m_project && object) {
        m_project->CountSavedClass(cls);
    }
    if (m_thread) m_thread->StepProgress(1);
    return static_cast<int>(result);
}

// The object of cls, made while the thread's construction record names cls.
TKObject* TKProjectStream::MakeLoaded(TClass cls)
{
    if (!m_makingInstalled) {
        TKLoadConstruction making{cls};
        TKLoadConstructionScope scope(making);
        return static_cast<TKObject*>(cls->Construct(nullptr));
    }
    m_making.cls = cls;
    TObject* made = nullptr;
    try {
        made = cls->Construct(nullptr);
    } catch (...) {
        m_making.cls = nullptr;
        throw;
    }
    m_making.cls = nullptr;
    return static_cast<TKObject*>(made);
}

int TKProjectStream::ReadObject(TKObject*& object, TClass wantedClass)
{
    if (!m_project || !m_hasFile) return 0;
    DepthGuard depth(m_depth);
    const std::int64_t start = m_directPosition;
    std::int32_t head[3];
    ReadBytes(head, sizeof head);
    const std::int32_t payload = head[2];
    if (payload < 0 || payload > Limit() - m_directPosition) RaiseProjectFormatError();
    const std::int64_t end = m_directPosition + payload;
    const TClass wanted = wantedClass ? wantedClass : TKObject::StaticClass();
    std::int64_t result = TKObjectsStream::kRecordHeadSize;
    TKObject* loaded = nullptr;
    if (const TClass cls = m_project->StoredClass(head[0])) {
        try {
            // Records of one class come in runs: the pair checked last is known to pass.
            if (cls != m_lastLoadedClass || wanted != m_lastLoadedWanted) {
                if (!cls->InheritsFrom(wanted) || !cls->InheritsFrom(TKObject::StaticClass()))
                    throw EStreamError(Format(ktext::kCantLoadObjectAs, cls->name, wanted->name));
                // No file holds an object of a class that cannot have one.
                if (!cls->make) RaiseProjectFormatError();
                m_lastLoadedClass = cls;
                m_lastLoadedWanted = wanted;
            }
            loaded = MakeLoaded(cls);
            loaded->Operation(kopBeginOperation, kokLoad);
            {
                TKStreamLimit limit(*this, end);
                result += loaded->Operation(kopLoad, reinterpret_cast<std::intptr_t>(this));
            }
            if (start + result != end || m_directPosition != end) RaiseControlSum(loaded);
            m_project->RecordLoaded(head[1], loaded);
        } catch (...) {
            m_project->ForgetLoaded(loaded);
            FreeObject(loaded);
            m_directPosition = end;
            throw;
        }
    } else {
        // A record of a class this program does not know is skipped whole: the record still
        // takes its bytes, or the record around it would not add up.
        result += payload;
    }
    m_directPosition = end;
    // A stop asked for now (Break) ends the read before the object is handed over: it goes
    // here, not lost between this record and its caller.
    if (m_thread) {
        try {
            m_thread->StepProgress(1);
        } catch (...) {
            if (loaded) {
                m_project->ForgetLoaded(loaded);
                try {
                    loaded->Free();
                } catch (...) {
                }
            }
            throw;
        }
    }
    if (TKObject* previous = object) {
        object = nullptr;
        m_project->ForgetLoaded(previous);
        try {
            previous->Free();
        } catch (...) {
        }
    }
    object = loaded;
    return static_cast<int>(result);
}

TKObject* TKProjectStream::Link(std::int32_t reference, TClass wantedClass)
{
    if (reference == 0 || !m_project) return nullptr;
    const TKLoadedObject* loaded = m_project->FindLoaded(reference);
    if (!loaded) return nullptr;
    const TClass wanted = wantedClass ? wantedClass : TKObject::StaticClass();
    if (!loaded->cls->InheritsFrom(wanted))
        throw EStreamError(Format(std::string(ktext::kObjectFormat) + ktext::kLineBreak + ktext::kCantLinkAs,
                                  static_cast<const void*>(loaded->object), loaded->cls->name, wanted->name));
    return loaded->object;
}
