#pragma once

// TKObject, the base of every model class, and TKObjectsStream, the stream its
// persistence writes to and reads from. See plugin3d/model/README.md for the conventions
// every subclass follows (construction, freeing, persistence, references).

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "platform/forms/object.h"

class TKObjectsStream;
class TKThread;

/// Bits of TKObject::Flags.
enum TKObjectFlag : std::uint32_t {
    kofCreating = 1,    ///< while Init runs
    kofDestroying = 2,  ///< from Done on, never cleared
    kofSaving = 4,      ///< between operations 1 and 2 of kind 3
    kofLoading = 8,     ///< the same for kind 4
};

/// Codes of TKObject::Operation; classes add their own from 4096 up.
enum TKOperationCode : int {
    kopBeginOperation = 1,
    kopEndOperation = 2,
    kopSave = 3,
    kopLoad = 4,
    kopLink = 5,
    kopFindContainer = 6,
    kopSetProperty = 7,
    kopGetProperty = 8,
};

/// Kinds of the bracketing operations 1 and 2.
enum TKOperationKind : int { kokSave = 3, kokLoad = 4 };

/// The record of operation 6: the object looked for, and its container on return.
struct TKFindRequest {
    TObject* object = nullptr;
    TObject* container = nullptr;
};

/// The record of operations 7 and 8: a key and a value. SetProperty and GetProperty get the
/// address of value; a key whose value does not fit in it points value at a record.
struct TKPropertyRequest {
    std::intptr_t key = 0;
    std::intptr_t value = 0;
};

/// The base of every model class: owner, state flags, one numbered entry point and
/// byte-counted persistence. Virtual operations keep the documented slot order.
class TKObject : public TPersistent {
    DECLARE_TCLASS(TKObject)

    // Slot 3. Field set-up; subclasses call the inherited Init first.
    virtual void Init();
    // Slot 4. The first step of freeing: sets the destroying flag.
    virtual void Done();
    // Slots 5, 6. Brackets of a save (kind 3) or load (kind 4); the base answers -1.
    virtual int BeginOperation(int kind);
    virtual int EndOperation(int kind);
    // Slots 7, 8. Persistence; each returns the bytes it moved (base: -1).
    virtual int SaveToStream(TKObjectsStream* stream);
    virtual int LoadFromStream(TKObjectsStream* stream);
    // Slot 9. Resolves stored references after a load (base: -1).
    virtual int LinkObjects(TKObjectsStream* stream);
    // Slot 10. > 0 when this object holds object; then *container names the holder.
    virtual int FindContainer(TObject* object, TObject** container);
    // Slots 11, 12. Keyed properties; value is the address of the request's value (base: -1).
    virtual int SetProperty(std::intptr_t key, std::intptr_t* value);
    virtual int GetProperty(std::intptr_t key, std::intptr_t* value);
    // Slot 13. The virtual constructor: flag creating, store owner, Init, clear the flag.
    void Create(void* owner) override;
    // Slot 14. A new object of this object's class, made with Create(owner), into which this
    // object is assigned.
    virtual TKObject* Clone(void* owner);
    // Slot 15. The numbered entry point: codes 1-8 (TKOperationCode), -1 for others.
    virtual int Operation(int code, std::intptr_t param);

    /// Done, so that event 3 goes out while the object is whole.
    void BeforeDestruction() override;

    void* Owner() const { return m_owner; }
    std::uint32_t Flags() const { return m_flags.load(std::memory_order_acquire); }
    bool IsDestroying() const { return (Flags() & kofDestroying) != 0; }

protected:
    TKObject() = default;
    ~TKObject() override;
    void SetFlags(std::uint32_t bits) { m_flags.fetch_or(bits, std::memory_order_acq_rel); }
    void ClearFlags(std::uint32_t bits) { m_flags.fetch_and(~bits, std::memory_order_acq_rel); }

private:
    friend class TKProjectStream;
    void* m_owner = nullptr;
    std::atomic<std::uint32_t> m_flags{0};
    // The id the project stream that last met this object gave it (see ObjectReference):
    // kept here, a save of many objects looks up no table.
    std::uint64_t m_streamMark = 0;
    std::int32_t m_streamId = 0;
};

/// The stream persistence writes to and reads from. The base does nothing: positions and
/// results are 0, projects, threads and objects null. The project file's stream implements it.
///
/// Objects never write addresses: a reference to an object or a class is stored as the
/// 4-byte id the stream hands out (ObjectReference, ClassReference; 0 for null), and read
/// back as an integer that LinkObjects resolves through Link after the whole load.
class TKObjectsStream : public TObject {
    DECLARE_TCLASS(TKObjectsStream)

    /// Bytes of the head of an object record (WriteObject): the least a stored object takes.
    static constexpr int kRecordHeadSize = 12;

    // Slots 0-8.
    virtual void SetPosition(std::int64_t position);
    virtual std::int64_t GetPosition();
    virtual TKObject* GetProject();
    virtual TKThread* GetThread();
    virtual void Read(void* buffer, int count);
    virtual void Write(const void* buffer, int count);
    /// Writes object (null allowed) as an object record; returns the record's bytes.
    virtual int WriteObject(TKObject* object);
    /// Reads an object record into object, which must inherit from wantedClass (null: TKObject);
    /// the base sets object to null. Returns the record's bytes.
    virtual int ReadObject(TKObject*& object, TClass wantedClass);
    /// The object loaded for a stored reference; null for 0 or unknown.
    virtual TKObject* Link(std::int32_t reference, TClass wantedClass);

    /// The 4-byte reference to store for object (0 for null).
    virtual std::int32_t ObjectReference(const TObject* object);
    /// The 4-byte reference to store for a class (0 for null).
    virtual std::int32_t ClassReference(TClass cls);
    /// Bytes that can still be read: what is left of the object record being read, or of
    /// the stream. Counts and string lengths read from the stream are checked against it
    /// before anything is allocated (ReadCount, ReadStringFrom). The base knows no limit
    /// and answers the largest value.
    virtual std::int64_t Remaining();
    /// Whether a load may give the planes or grids of holder `bytes` of memory, with what
    /// holder was granted before given back first. What a file asks for is granted only when
    /// it fits, with all else the same load was granted, in LoadMemoryLimit(); the base, which
    /// belongs to no load, measures each request alone.
    virtual bool GrantLoadMemory(const void* holder, std::int64_t bytes);
    /// Keeps the text of a size the load refused (the object and the size), so that the user
    /// is told once the load is over; the base keeps nothing.
    virtual void ReportRefusal(const std::string& text);

    /// Read, Write and Remaining as the stream answers them, without a virtual call where the
    /// stream keeps the bytes in memory (see m_direct). ReadValue, WriteValue and the string
    /// functions go through these, so that the fields of a record cost a copy each.
    void ReadBytes(void* buffer, int count)
    {
        const std::int64_t at = m_directPosition;
        if (m_direct.mode == TKDirectMode::Counting) {
            m_directPosition = at + count;
            return;
        }
        if (m_direct.mode == TKDirectMode::Reading && count >= 0 && at >= m_direct.first &&
            count <= m_direct.end - at) {
            if (count > 0) std::memcpy(buffer, m_direct.data + (at - m_direct.first), std::size_t(count));
            m_directPosition = at + count;
            return;
        }
        Read(buffer, count);
    }
    void WriteBytes(const void* buffer, int count)
    {
        const std::int64_t at = m_directPosition;
        if (m_direct.mode == TKDirectMode::Counting) {
            m_directPosition = at + count;
            return;
        }
        if (m_direct.mode == TKDirectMode::Writing && count >= 0 && at >= m_direct.first &&
            at <= m_direct.filled && count <= m_direct.end - at) {
            if (count > 0) std::memcpy(m_direct.data + (at - m_direct.first), buffer, std::size_t(count));
            m_directPosition = at + count;
            if (m_directPosition > m_direct.filled) m_direct.filled = m_directPosition;
            return;
        }
        Write(buffer, count);
    }
    /// Moves the position of a stream that only counts (a save's counting pass) past count
    /// bytes, as writing them would: a writer then needs only the size of what it would
    /// write. False, with nothing done, for a stream that keeps what is written.
    bool CountBytes(int count)
    {
        if (m_direct.mode != TKDirectMode::Counting) return false;
        m_directPosition += count;
        return true;
    }
    /// Room for count bytes at the position, where the stream keeps what is written in memory
    /// (a saving stream's window): the position moves past them and the caller writes every
    /// one of them. Null, with nothing moved, where it does not (WriteBytes then takes them).
    std::uint8_t* TakeDirectRoom(int count)
    {
        const std::int64_t at = m_directPosition;
        if (m_direct.mode != TKDirectMode::Writing || count < 0 || at < m_direct.first ||
            at > m_direct.filled || count > m_direct.end - at)
            return nullptr;
        m_directPosition = at + count;
        if (m_directPosition > m_direct.filled) m_direct.filled = m_directPosition;
        return m_direct.data + (at - m_direct.first);
    }
    /// The next count bytes, where the stream holds them in memory (a loading stream's view
    /// inside the current limit): the position moves past them. Null, with the position
    /// unmoved, where it does not.
    const std::uint8_t* TakeDirectBytes(int count)
    {
        const std::int64_t at = m_directPosition;
        if (m_direct.mode != TKDirectMode::Reading || count < 0 || at < m_direct.first ||
            count > m_direct.end - at)
            return nullptr;
        m_directPosition = at + count;
        return m_direct.data + (at - m_direct.first);
    }
    /// The length of the name of cls, kept for the class asked last: the objects a stream
    /// meets come in runs of one class, whose default names all start with it.
    std::size_t ClassNameLength(TClass cls)
    {
        if (cls != m_nameLengthClass) {
            m_nameLength = std::strlen(cls->name);
            m_nameLengthClass = cls;
        }
        return m_nameLength;
    }
    std::int64_t RemainingBytes()
    {
        if (m_direct.mode == TKDirectMode::Counting) return std::numeric_limits<std::int64_t>::max();
        if (m_direct.mode == TKDirectMode::Reading)
            return std::max<std::int64_t>(0, m_direct.end - m_directPosition);
        return Remaining();
    }

protected:
    /// How ReadBytes and WriteBytes treat the stream.
    enum class TKDirectMode : std::uint8_t {
        None,      ///< every call goes to Read, Write and Remaining
        Counting,  ///< reads and writes only move the position; nothing limits them
        Reading,   ///< bytes of positions first..end - 1 are at data
        Writing,   ///< positions first..filled - 1 are stored at data; more may go up to end
    };
    struct TKDirectBytes {
        TKDirectMode mode = TKDirectMode::None;
        std::uint8_t* data = nullptr;
        std::int64_t first = 0;
        std::int64_t end = 0;
        std::int64_t filled = 0;
    };
    /// Kept by a stream that uses them: its position (which ReadBytes and WriteBytes move),
    /// and the bytes it has in memory. What falls outside goes to the virtual calls, which
    /// check and raise as they always do.
    std::int64_t m_directPosition = 0;
    TKDirectBytes m_direct;

private:
    TClass m_nameLengthClass = nullptr;
    std::size_t m_nameLength = 0;
};

/// The memory a project load may give all the planes and grids it reads, together: most of
/// what the machine has available when asked (a share stays for the picture passes, the
/// rest of the program and the system).
std::int64_t LoadMemoryLimit();
/// Puts a fixed limit in place of the machine's (tests); 0 returns to the machine's.
void SetLoadMemoryLimit(std::int64_t bytes);
/// A byte count as a person reads it: "512 bytes", "3.4 MB", "19.2 GB".
std::string ByteSizeText(std::int64_t bytes);

/// Texts of the model's errors.
namespace ktext {
inline constexpr char kObjectFormat[] = "Object [%p] ( Type - %s )";
inline constexpr char kLineBreak[] = "\n\r";
inline constexpr char kCantSave[] = "Can't save";
inline constexpr char kCantLoad[] = "Can't load";
inline constexpr char kSeparator[] = " : ";
inline constexpr char kBusy[] = "Busy";
inline constexpr char kInvalidValue[] = "Invalid Value";
inline constexpr char kInvalidObject[] = "Invalid Object";
inline constexpr char kInvalidStringSize[] = "Invalid String Size";
}  // namespace ktext

/// "Object [<address>] ( Type - <class name> )\n\r<action> : <reason>".
std::string ObjectErrorText(const TObject* object, const char* action, const char* reason);

/// Writes a value raw (little-endian, its in-memory width); returns its size.
template <class T>
int WriteValue(TKObjectsStream* stream, const T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (stream) stream->WriteBytes(&value, static_cast<int>(sizeof(T)));
    return static_cast<int>(sizeof(T));
}
/// Reads a value written by WriteValue; returns its size.
template <class T>
int ReadValue(TKObjectsStream* stream, T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    if (stream) stream->ReadBytes(&value, static_cast<int>(sizeof(T)));
    return static_cast<int>(sizeof(T));
}

/// Reads a stored int32 count (4 bytes) of items that take at least bytesEach bytes each.
/// A negative count, or one whose items cannot fit in what is left to read, raises
/// EStreamError with the "Invalid Value" text for owner.
std::int32_t ReadCount(TKObjectsStream* stream, const TObject* owner, int bytesEach);
