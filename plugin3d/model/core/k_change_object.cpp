#include "plugin3d/model/core/k_change_object.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "platform/forms/exceptions.h"
#include "plugin3d/model/core/k_strings.h"

IMPLEMENT_TCLASS(TKCustomChangeObject, TKObject)

void TKCustomChangeObject::Init()
{
    TKObject::Init();
    m_name.clear();
    m_defaultNameClass = ClassType();
    m_defaultNameNumber = NextChangeObjectNumber();
    m_updateCount = 0;
}

void TKCustomChangeObject::MakeDefaultName() const
{
    if (!m_defaultNameClass) return;
    m_name = std::string(m_defaultNameClass->name) + " " + std::to_string(m_defaultNameNumber);
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
    MakeDefaultName();
    if (m_name == name) return;
    // The name event comes inside the update, so listeners see 4, 8, 5.
    BeginUpdate(false, 0);
    try {
        m_name = name;
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
    MakeDefaultName();
    return m_name;
}

int TKCustomChangeObject::SaveToStream(TKObjectsStream* stream)
{
    TKSectionGuard guard(m_lock);
    if (m_updateCount >= 1) throw EInvalidOperation(ObjectErrorText(this, ktext::kCantSave, ktext::kBusy));
    // A name still to be made is written as it would read, without being made.
    if (m_defaultNameClass) {
        char text[192];
        const std::size_t length = std::strlen(m_defaultNameClass->name);
        if (length + 22 <= sizeof text) {
            std::memcpy(text, m_defaultNameClass->name, length);
            text[length] = ' ';
            const auto end = std::to_chars(text + length + 1, text + sizeof text, m_defaultNameNumber).ptr;
            return WriteStringTo(stream, std::string_view(text, std::size_t(end - text)));
        }
        MakeDefaultName();
    }
    return WriteStringTo(stream, m_name);
}

int TKCustomChangeObject::LoadFromStream(TKObjectsStream* stream)
{
    std::string name;
    const int bytes = ReadStringFrom(stream, name);
    TKSectionGuard guard(m_lock);
    m_name = std::move(name);
    m_defaultNameClass = nullptr;
    return bytes;
}
