#include "plugin3d/model/core/k_change_object.h"

#include <cstring>
#include <string_view>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_strings.h"

IMPLEMENT_TCLASS(TKCustomChangeObject, TKObject)

namespace {

int DecimalDigits(std::uint64_t v)
{
    int digits = 1;
    for (; v >= 10000; v /= 10000) digits += 4;
    return digits + (v >= 10) + (v >= 100) + (v >= 1000);
}

// Writes v in decimal, as std::to_chars does, into the digits characters that end at end.
void WriteDecimal(char* end, int digits, std::uint64_t v)
{
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    for (; digits >= 2; digits -= 2, v /= 100) {
        const char* pair = kPairs + 2 * (v % 100);
        *--end = pair[1];
        *--end = pair[0];
    }
    if (digits) *--end = char('0' + v);
}

// Writes the default name "<class name> <number>" at at, which has room for its
// classLength + 1 + digits characters.
void PutDefaultName(char* at, TClass cls, std::size_t classLength, int digits, std::uint64_t number)
{
    std::memcpy(at, cls->name, classLength);
    at[classLength] = ' ';
    WriteDecimal(at + classLength + 1 + digits, digits, number);
}

// Whether name is exactly the default name of an object of cls numbered number:
// "<class name> <number>", the number written as std::to_string writes it. classLength is
// the length of the class's name.
bool ReadsAsDefaultName(std::string_view name, TClass cls, std::size_t classLength, std::uint64_t& number)
{
    const std::size_t at = classLength;
    if (name.size() <= at + 1 || name[at] != ' ' || std::memcmp(name.data(), cls->name, at) != 0)
        return false;
    const std::string_view digits = name.substr(at + 1);
    // Digits only, no leading zero (the number would be written back without it), and no
    // more than the largest number holds.
    constexpr std::string_view kLargest = "18446744073709551615";
    if ((digits.front() == '0' && digits.size() > 1) || digits.size() > kLargest.size() ||
        (digits.size() == kLargest.size() && digits > kLargest))
        return false;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + std::uint64_t(c - '0');
    }
    number = value;
    return true;
}

}  // namespace

void TKCustomChangeObject::Init()
{
    TKObject::Init();
    m_name.clear();
    m_defaultNameClass = ClassType();
    m_defaultNameNumber = NextChangeObjectNumber();
    m_updateCount = 0;
}

std::string TKCustomChangeObject::DefaultNameText() const
{
    const std::size_t length = std::strlen(m_defaultNameClass->name);
    const int digits = DecimalDigits(m_defaultNameNumber);
    std::string text(length + 1 + std::size_t(digits), ' ');
    PutDefaultName(text.data(), m_defaultNameClass, length, digits, m_defaultNameNumber);
    return text;
}

void TKCustomChangeObject::MakeDefaultName() const
{
    if (!m_defaultNameClass) return;
    m_name = DefaultNameText();
    m_defaultNameClass = nullptr;
}

TKCustomChangeObject::~TKCustomChangeObject()
{
    Done();
    DeleteCriticalSection(&m_lock);
}

void TKCustomChangeObject::Done()
{
    if (IsDestroying()) return;
    TKObject::Done();
    m_events.Notify(this, kevDestroyed, 0);
}

void TKCustomChangeObject::BeginUpdate(bool keepLocked, std::intptr_t param)
{
    TKSectionGuard guard(m_lock);
    if (keepLocked) EnterSection(m_lock);  // already held: re-entry never gives up
    if (++m_updateCount == 1 && !IsDestroying()) {
        try {
            Changing(param);
        } catch (...) {
            // No update was opened: the caller will not close one.
            --m_updateCount;
            if (keepLocked) LeaveSection(m_lock);
            throw;
        }
    }
}

void TKCustomChangeObject::EndUpdate(bool keepLocked, std::intptr_t param)
{
    // Waits rather than giving up: an update left open would keep the object busy for good.
    TKWaitingSectionGuard guard(m_lock);
    if (keepLocked) LeaveSection(m_lock);
    if (m_updateCount > 0 && --m_updateCount == 0 && !IsDestroying()) Changed(param);
}

bool TKCustomChangeObject::IsUpdating() const
{
    return UpdateCount() > 0;
}

int TKCustomChangeObject::UpdateCount() const
{
    TKSectionGuard guard(m_lock);
    return m_updateCount;
}

void TKCustomChangeObject::Changing(std::intptr_t param)
{
    FireEvent(kevChangeBegins, param);
}

void TKCustomChangeObject::Changed(std::intptr_t param)
{
    FireEvent(kevChangeEnds, param);
}

void TKCustomChangeObject::NameChanged()
{
    FireEvent(kevNameChanged, 0);
}

void TKCustomChangeObject::SetName(const std::string& name)
{
    TKSectionGuard guard(m_lock);
    // A default name still to be made is compared as it would read, without being made.
    std::uint64_t number = 0;
    if (m_defaultNameClass
            ? ReadsAsDefaultName(name, m_defaultNameClass, std::strlen(m_defaultNameClass->name), number) &&
                  number == m_defaultNameNumber
            : m_name == name)
        return;
    // The name event comes inside the update, so listeners see 4, 8, 5.
    BeginUpdate(false, 0);
    try {
        m_name = name;
        m_defaultNameClass = nullptr;
        if (!IsDestroying()) NameChanged();
    } catch (...) {
        EndUpdate(false, 0);
        throw;
    }
    EndUpdate(false, 0);
}

std::string TKCustomChangeObject::Name() const
{
    TKSectionGuard guard(m_lock);
    // A default name is handed out as its text and stays unmade: the object keeps no copy.
    if (m_defaultNameClass) return DefaultNameText();
    return m_name;
}

int TKCustomChangeObject::SaveToStream(TKObjectsStream* stream)
{
    TKSectionGuard guard(m_lock);
    if (m_updateCount >= 1) throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    // A name still to be made is written as it would read, without being made; a counting
    // pass takes only its size.
    if (m_defaultNameClass) {
        char text[192];
        const std::size_t length =
            stream ? stream->ClassNameLength(m_defaultNameClass) : std::strlen(m_defaultNameClass->name);
        if (length + 22 <= sizeof text) {
            const int digits = DecimalDigits(m_defaultNameNumber);
            const std::int32_t n = std::int32_t(length) + 1 + digits;
            if (!stream || stream->CountBytes(4 + n)) return 4 + n;
            // Written where it goes when the stream has room for it in memory.
            std::uint8_t* room = stream->TakeDirectRoom(4 + n);
            char* at = room ? reinterpret_cast<char*>(room + 4) : text;
            PutDefaultName(at, m_defaultNameClass, length, digits, m_defaultNameNumber);
            if (!room) return WriteStringTo(stream, std::string_view(text, std::size_t(n)));
            std::memcpy(room, &n, 4);
            return 4 + n;
        }
        MakeDefaultName();
    }
    return WriteStringTo(stream, m_name);
}

int TKCustomChangeObject::LoadFromStream(TKObjectsStream* stream)
{
    std::string storage;
    std::string_view name;
    const int bytes = ReadStringView(stream, name, storage);
    // Most stored names are default names: such a name is kept as a name still to be made,
    // which reads and saves as the same text, without a copy of its own.
    std::uint64_t number = 0;
    const TClass cls = ClassType();
    const bool isDefault =
        ReadsAsDefaultName(name, cls, stream ? stream->ClassNameLength(cls) : std::strlen(cls->name), number);
    TKSectionGuard guard(m_lock);
    if (isDefault) {
        m_name.clear();
        m_defaultNameClass = cls;
        m_defaultNameNumber = number;
    } else {
        if (name.data() == storage.data())
            m_name = std::move(storage);
        else
            m_name.assign(name);
        m_defaultNameClass = nullptr;
    }
    return bytes;
}
