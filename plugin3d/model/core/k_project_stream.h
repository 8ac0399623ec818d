#pragma once

// TKProjectStream: the objects stream of project files. Without a file it only counts
// (the counting pass of a save: positions advance, nothing is stored). Opened for a save it
// maps a new version of the file, sized and reserved at the counted total, which Commit
// puts in place of the old file; opened for a load it maps the file read-only.
//
// Every read and write is checked against the view in 64 bits; reads are also held inside
// the block or object record being read (PushLimit). Going past either raises the format
// error. Object records nest at most kMaxDepth deep.
//
// References are ids: objects and classes get 1, 2, 3 ... in the order the stream first
// meets them. On load the stored ids are opaque keys, so a file that stored real addresses
// loads the same.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/atomic_file.h"
#include "plugin3d/model/core/k_flat_map.h"
#include "plugin3d/model/core/k_general.h"
#include "plugin3d/model/core/k_object.h"

class TKProject;

/// How TKProjectStream::Open opens its file.
enum TKStreamMode : int {
    ksmCreate = 1,  ///< a new version of the file, written at the given size
    ksmRead = 2,    ///< the existing file, mapped read-only
};

class TKProjectStream : public TKObjectsStream {
    DECLARE_TCLASS(TKProjectStream)

    /// The deepest nesting of object records a stream writes or reads.
    static constexpr int kMaxDepth = 4096;
    /// The most a save holds in memory before it writes to its file.
    static constexpr std::int64_t kWindowBytes = std::int64_t(1) << 20;

    /// A new stream for project and thread (either may be null).
    static TKProjectStream* NewFor(TKProject* project, TKThread* thread);

    using TObject::Create;
    // Slot 9.
    virtual void Create(TKProject* project, TKThread* thread);

    /// Opens fileName (closing what was open). ksmCreate makes a new version of size bytes
    /// (size > 0), its space reserved; ksmRead maps the file and sets size to its size; a
    /// name that is not a regular file is refused saying what it is. A
    /// failing system call raises EOSError with the last error.
    void Open(const std::string& fileName, TKStreamMode mode, std::int64_t& size);
    /// Puts the written version in place of the file; raises EOSError when that fails.
    void Commit();
    /// Unmaps the view or drops the write window; a version not committed is removed.
    void Close();

    void SetPosition(std::int64_t position) override;
    std::int64_t GetPosition() override;
    TKObject* GetProject() override;
    TKThread* GetThread() override;
    void Read(void* buffer, int count) override;
    void Write(const void* buffer, int count) override;
    int WriteObject(TKObject* object) override;
    int ReadObject(TKObject*& object, TClass wantedClass) override;
    TKObject* Link(std::int32_t reference, TClass wantedClass) override;
    std::int32_t ObjectReference(const TObject* object) override;
    std::int32_t ClassReference(TClass cls) override;
    std::int64_t Remaining() override;
    /// Grants on a loading stream count together against the limit taken when the stream
    /// was opened for the load (LoadMemoryLimit); other streams grant as the base does.
    bool GrantLoadMemory(const void* holder, std::int64_t bytes) override;
    /// Raises EStreamError naming fileName when another program cut the mapped file short
    /// while it was read (what was read past the cut were zeros, not the file).
    void CheckNotCut(const std::string& fileName) const;
    /// Hands the refusal to the project (TKProject::AddLoadRefusal).
    void ReportRefusal(const std::string& text) override;
    /// What the load granted so far, and its limit.
    std::int64_t LoadMemoryGranted() const { return m_granted; }
    std::int64_t LoadMemoryBudget() const { return m_budget; }

    /// The bytes at the position, after checking that count of them can be read
    /// there; the position does not move.
    const std::uint8_t* Peek(std::int64_t count);
    /// Holds reads before end (at most the current limit) until PopLimit.
    void PushLimit(std::int64_t end)
    {
        m_limits.push_back(std::min(end, Limit()));
        if (m_direct.mode == TKDirectMode::Reading) m_direct.end = m_limits.back();
    }
    void PopLimit()
    {
        if (!m_limits.empty()) m_limits.pop_back();
        if (m_direct.mode == TKDirectMode::Reading) m_direct.end = Limit();
    }
    /// A counting stream: no file.
    bool IsCounting() const { return !m_hasFile; }
    /// The classes in id order (id i + 1 at index i), and how many object ids were given.
    const std::vector<TClass>& ClassesInOrder() const { return m_classOrder; }
    std::int32_t ObjectIdCount() const { return m_objectCount; }

    /// While one lives, the objects the stream reads on the calling thread are marked for
    /// TakeLoadConstruction through the stream's own record, installed once for the scope;
    /// without one, ReadObject installs a record around each object it makes.
    class MakingScope {
    public:
        explicit MakingScope(TKProjectStream& stream)
            : m_stream(stream), m_scope(stream.m_making), m_wasInstalled(stream.m_makingInstalled)
        {
            stream.m_makingInstalled = true;
        }
        ~MakingScope() { m_stream.m_makingInstalled = m_wasInstalled; }
        MakingScope(const MakingScope&) = delete;
        MakingScope& operator=(const MakingScope&) = delete;

    private:
        TKProjectStream& m_stream;
        TKLoadConstructionScope m_scope;
        bool m_wasInstalled;
    };

protected:
    TKProjectStream();
    ~TKProjectStream() override;

private:
    // Every limit held is at most the one before it and the file's size (which changes only
    // when the stream opens or closes, and then the limits go).
    std::int64_t Limit() const { return m_limits.empty() ? m_size : m_limits.back(); }
    std::int32_t UseClassOf(TClass cls)
    {
        return cls == m_lastUsedClass ? m_lastUsedClassId : UseClassFirst(cls);
    }
    /// UseClassOf for a class other than the one used last.
    std::int32_t UseClassFirst(TClass cls);
    std::int32_t IdOf(TKObject* object)
    {
        if (object->m_streamMark != m_mark) {
            object->m_streamMark = m_mark;
            object->m_streamId = ++m_objectCount;
        }
        return object->m_streamId;
    }
    TKObject* MakeLoaded(TClass cls);
    [[noreturn]] void RaiseControlSum(const TObject* object) const;
    void Store(const void* data, std::int64_t count);
    void FlushWindow();
    void WriteThrough(std::int64_t offset, const void* data, std::int64_t count);
    void UpdateDirect();

    TKProject* m_project = nullptr;
    TKThread* m_thread = nullptr;
    std::uint8_t* m_view = nullptr;
    std::int64_t m_size = 0;
    bool m_hasFile = false;
    bool m_writable = false;
    platform::AtomicFile m_version;
    /// The write window: the bytes of m_direct.first to m_direct.filled - 1 (the base's
    /// direct bytes, so that WriteBytes appends to it), m_windowBytes at most. Every byte the
    /// file got so far lies before m_direct.first. It is the window the process keeps for
    /// its saves when that one is free (m_keptWindow), else m_ownWindow.
    std::uint8_t* m_window = nullptr;
    std::int64_t m_windowBytes = 0;
    bool m_keptWindow = false;
    std::unique_ptr<std::uint8_t[]> m_ownWindow;
    std::vector<std::int64_t> m_limits;
    int m_depth = 0;
    /// The planes and grids a load granted, by holder, and their sum and limit.
    TKFlatMap<const void*, std::int64_t> m_grants;
    std::int64_t m_granted = 0;
    std::int64_t m_budget = 0;
    /// This stream's mark on the objects it gave ids; objects of other classes than
    /// TKObject are looked up in m_objectIds.
    std::uint64_t m_mark = 0;
    std::int32_t m_objectCount = 0;
    TKFlatMap<const TObject*, std::int32_t> m_objectIds;
    TKFlatMap<TClass, std::int32_t> m_classIds;
    std::vector<TClass> m_classOrder;
    /// The class and id UseClassOf gave last, and the class ObjectReference last found to
    /// inherit from TKObject.
    TClass m_lastUsedClass = nullptr;
    std::int32_t m_lastUsedClassId = 0;
    TClass m_lastModelClass = nullptr;
    /// The class of a record ReadObject last found to be loadable as m_lastLoadedWanted.
    TClass m_lastLoadedClass = nullptr;
    TClass m_lastLoadedWanted = nullptr;
    /// What ReadObject is making, for TakeLoadConstruction; installed by a MakingScope.
    TKLoadConstruction m_making;
    bool m_makingInstalled = false;
};

/// Holds the reads of a stream before end for a scope (TKProjectStream::PushLimit).
class TKStreamLimit {
public:
    TKStreamLimit(TKProjectStream& stream, std::int64_t end) : m_stream(stream) { stream.PushLimit(end); }
    ~TKStreamLimit() { m_stream.PopLimit(); }
    TKStreamLimit(const TKStreamLimit&) = delete;
    TKStreamLimit& operator=(const TKStreamLimit&) = delete;

private:
    TKProjectStream& m_stream;
};

/// The control-sum error for object: "Object [%p] ( Type - %s )\n\rInvalid control sum",
/// preceded by the project's class path and name when there is a project.
std::string ControlSumText(const TKProject* project, const TObject* object);
