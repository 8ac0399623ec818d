#include "plugin3d/model/scene/k_depository.h"

#include <algorithm>
#include <cstring>

#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/core/k_strings.h"
#include "plugin3d/model/scene/k_custom3d.h"

IMPLEMENT_TCLASS(TKDepositoryCustomConstruction3D, TKObject)

void TKDepositoryCustomConstruction3D::Init()
{
    TKObject::Init();
    m_construction = nullptr;
    m_currentRecord = 0;
    m_records.clear();
    m_drawings.clear();
    m_defaultRecord0 = 0;
    m_defaultRecord1 = 0;
    m_storedConstruction = 0;
    m_linkPending = false;
}

void TKDepositoryCustomConstruction3D::BeforeDestruction()
{
    TKObject::BeforeDestruction();
    ReleaseAll();
}

TKDepositoryCustomConstruction3D::~TKDepositoryCustomConstruction3D()
{
    Done();
    ReleaseAll();
}

void TKDepositoryCustomConstruction3D::ReleaseAll()
{
    SetRecordCount(0);
    SetDrawingCount(0);
    SetConstruction(nullptr);
}

// Listening

void TKDepositoryCustomConstruction3D::Listen(TKCustomDrawSystem3D* drawing)
{
    if (drawing)
        drawing->Events().Add(TKEventHandler::Of<&TKDepositoryCustomConstruction3D::OnDrawingEvent>(this));
}

void TKDepositoryCustomConstruction3D::StopListening(TKCustomDrawSystem3D* drawing)
{
    if (!drawing) return;
    try {
        drawing->Events().Remove(TKEventHandler::Of<&TKDepositoryCustomConstruction3D::OnDrawingEvent>(this));
    } catch (...) {
        // The entry goes anyway.
    }
}

void TKDepositoryCustomConstruction3D::ListenToConstruction(TKCustomConstruction3D* construction)
{
    m_construction = construction;
    if (construction)
        construction->Events().Add(
            TKEventHandler::Of<&TKDepositoryCustomConstruction3D::OnConstructionEvent>(this));
}

void TKDepositoryCustomConstruction3D::StopListeningToConstruction()
{
    TKCustomConstruction3D* construction = m_construction;
    m_construction = nullptr;
    if (construction)
        construction->Events().Remove(
            TKEventHandler::Of<&TKDepositoryCustomConstruction3D::OnConstructionEvent>(this));
}

void TKDepositoryCustomConstruction3D::OnConstructionEvent(TObject* sender, int code, std::intptr_t param)
{
    if (IsDestroying()) return;
    // A construction being freed takes its event manager with it: nothing to leave.
    if (code == kevDestroyed && sender == m_construction) m_construction = nullptr;
    ConstructionNotify(sender, code, param);
}

void TKDepositoryCustomConstruction3D::OnDrawingEvent(TObject* sender, int code, std::intptr_t param)
{
    if (IsDestroying()) return;
    if (code == kevDestroyed)
        for (int i = DrawingCount() - 1; i >= 0; --i)
            if (m_drawings[std::size_t(i)].system == sender) {
                m_drawings[std::size_t(i)].system = nullptr;
                DeleteDrawing(i);
            }
    DrawingNotify(sender, code, param);
}

// Default operations

int TKDepositoryCustomConstruction3D::OpenEditor(std::intptr_t)
{
    return -1;
}

void TKDepositoryCustomConstruction3D::ConstructionNotify(TObject*, int, std::intptr_t) {}

void TKDepositoryCustomConstruction3D::DrawingNotify(TObject*, int, std::intptr_t) {}

void TKDepositoryCustomConstruction3D::SetConstruction(TKCustomConstruction3D* construction)
{
    StopListeningToConstruction();
    ListenToConstruction(construction);
    m_linkPending = false;
    if (!IsDestroying()) ApplyCurrentRecord();
}

int TKDepositoryCustomConstruction3D::RecordSize() const
{
    return 0;
}

void TKDepositoryCustomConstruction3D::ClearRecordData(void* payload)
{
    if (payload && RecordSize() > 0) std::memset(payload, 0, std::size_t(RecordSize()));
}

void TKDepositoryCustomConstruction3D::FreeRecordData(void*) {}

bool TKDepositoryCustomConstruction3D::CopyRecordData(void* dest, const void* source)
{
    if (dest && source && RecordSize() > 0) std::memmove(dest, source, std::size_t(RecordSize()));
    return true;
}

int TKDepositoryCustomConstruction3D::WriteRecordData(TKObjectsStream* stream, const void* payload)
{
    const int size = RecordSize();
    if (stream && size > 0) stream->Write(payload, size);
    return size;
}

int TKDepositoryCustomConstruction3D::ReadRecordData(TKObjectsStream* stream, void* payload)
{
    const int size = RecordSize();
    if (stream && size > 0) stream->Read(payload, size);
    return size;
}

void TKDepositoryCustomConstruction3D::ApplyCurrentRecord() {}

// Records

TKDepositoryCustomConstruction3D::Record TKDepositoryCustomConstruction3D::NewRecord()
{
    Record record;
    const std::size_t words = (std::size_t(std::max(RecordSize(), 0)) + 7) / 8;
    record.payload.assign(std::max<std::size_t>(words, 1), 0);
    return record;
}

void TKDepositoryCustomConstruction3D::SetRecordCount(int n)
{
    n = std::max(n, 0);
    if (n == RecordCount()) return;
    if (n < RecordCount()) {
        for (std::size_t i = std::size_t(n); i < m_records.size(); ++i) {
            m_records[i].name.clear();
            try {
                FreeRecordData(m_records[i].payload.data());
            } catch (...) {
                // The record goes anyway.
            }
        }
        m_records.resize(std::size_t(n));
    } else {
        m_records.reserve(std::size_t(n));
        while (RecordCount() < n) {
            m_records.push_back(NewRecord());
            ClearRecordData(m_records.back().payload.data());
        }
    }
    if (m_currentRecord >= n) SetCurrentRecord(n - 1);
}

void TKDepositoryCustomConstruction3D::SetCurrentRecord(int index)
{
    if (index < 0 || index >= RecordCount()) index = -1;
    if (index == m_currentRecord) return;
    m_currentRecord = index;
    if (index >= 0) ApplyCurrentRecord();
}

std::string TKDepositoryCustomConstruction3D::GetRecordName(int index) const
{
    return index >= 0 && index < RecordCount() ? m_records[std::size_t(index)].name : std::string();
}

void TKDepositoryCustomConstruction3D::SetRecordName(int index, const std::string& name)
{
    if (index >= 0 && index < RecordCount()) m_records[std::size_t(index)].name = name;
}

void* TKDepositoryCustomConstruction3D::GetRecordData(int index)
{
    return index >= 0 && index < RecordCount() ? m_records[std::size_t(index)].payload.data() : nullptr;
}

void TKDepositoryCustomConstruction3D::DeleteRecord(int index)
{
    if (index < 0 || index >= RecordCount()) return;
    if (index < m_currentRecord)
        --m_currentRecord;
    else if (index == m_currentRecord)
        m_currentRecord = RecordCount() - 1;
    std::rotate(m_records.begin() + index, m_records.begin() + index + 1, m_records.end());
    SetRecordCount(RecordCount() - 1);
}

// Drawings

int TKDepositoryCustomConstruction3D::AddDrawing(TKCustomDrawSystem3D* drawing)
{
    if (!drawing) return -1;
    if (const int index = IndexOfDrawing(drawing); index >= 0) return index;
    m_drawings.push_back({drawing, 0, 0, 0});
    Listen(drawing);
    return DrawingCount() - 1;
}

void TKDepositoryCustomConstruction3D::DeleteDrawing(int index)
{
    if (index < 0 || index >= DrawingCount()) return;
    std::rotate(m_drawings.begin() + index, m_drawings.begin() + index + 1, m_drawings.end());
    SetDrawingCount(DrawingCount() - 1);
}

int TKDepositoryCustomConstruction3D::IndexOfDrawing(const TKCustomDrawSystem3D* drawing) const
{
    if (!drawing) return -1;
    for (int i = DrawingCount() - 1; i >= 0; --i)
        if (m_drawings[std::size_t(i)].system == drawing) return i;
    return -1;
}

TKCustomDrawSystem3D* TKDepositoryCustomConstruction3D::GetDrawing(int index) const
{
    return index >= 0 && index < DrawingCount() ? m_drawings[std::size_t(index)].system : nullptr;
}

void TKDepositoryCustomConstruction3D::SetDrawingCount(int n)
{
    n = std::max(n, 0);
    if (n == DrawingCount()) return;
    for (std::size_t i = std::size_t(n); i < m_drawings.size(); ++i) {
        StopListening(m_drawings[i].system);
        m_drawings[i].system = nullptr;
    }
    m_drawings.resize(std::size_t(n));
}

int TKDepositoryCustomConstruction3D::GetDrawingRecord(int index, std::uint8_t kind) const
{
    if (index < 0 || index >= DrawingCount()) return kind == 1 ? m_defaultRecord1 : m_defaultRecord0;
    const Drawing& entry = m_drawings[std::size_t(index)];
    return kind == 1 ? entry.record1 : entry.record0;
}

void TKDepositoryCustomConstruction3D::SetDrawingRecord(int index, std::uint8_t kind, int record)
{
    if (record < 0 || record >= RecordCount()) record = -1;
    std::int32_t* target = nullptr;
    if (index < 0 || index >= DrawingCount())
        target = kind == 1 ? &m_defaultRecord1 : &m_defaultRecord0;
    else
        target =
            kind == 1 ? &m_drawings[std::size_t(index)].record1 : &m_drawings[std::size_t(index)].record0;
    *target = record;
}

// Copies

bool TKDepositoryCustomConstruction3D::CopyFrom(TKDepositoryCustomConstruction3D* other)
{
    if (!other || other == this) return false;
    bool changed = false;
    const bool tablesDiffer =
        DrawingCount() != other->DrawingCount() ||
        !std::equal(m_drawings.begin(), m_drawings.end(), other->m_drawings.begin(),
                    [](const Drawing& a, const Drawing& b) {
                        return a.system == b.system && a.record1 == b.record1 && a.record0 == b.record0;
                    });
    if (tablesDiffer) {
        SetDrawingCount(0);
        for (const Drawing& entry : other->m_drawings) {
            m_drawings.push_back({entry.system, entry.record1, entry.record0, 0});
            Listen(entry.system);
        }
        changed = true;
    } else {
        changed = m_defaultRecord0 != other->m_defaultRecord0 ||
                  m_defaultRecord1 != other->m_defaultRecord1 || m_currentRecord != other->m_currentRecord;
    }
    m_defaultRecord0 = other->m_defaultRecord0;
    m_defaultRecord1 = other->m_defaultRecord1;
    m_currentRecord = other->m_currentRecord.load();
    if (RecordCount() != other->RecordCount()) {
        SetRecordCount(other->RecordCount());
        changed = true;
    }
    for (int i = 0; i < RecordCount() && i < other->RecordCount(); ++i) {
        Record& mine = m_records[std::size_t(i)];
        const Record& theirs = other->m_records[std::size_t(i)];
        if (mine.name != theirs.name) {
            mine.name = theirs.name;
            changed = true;
        }
        if (CopyRecordData(mine.payload.data(), theirs.payload.data())) changed = true;
    }
    return changed;
}

void TKDepositoryCustomConstruction3D::Assign(TPersistent* source)
{
    if (!source) return;
    if (auto* other = ObjectAs<TKDepositoryCustomConstruction3D>(source)) {
        if (other->RecordSize() == RecordSize()) CopyFrom(other);
        return;
    }
    TKObject::Assign(source);
}

// Properties and operations

int TKDepositoryCustomConstruction3D::SetProperty(std::intptr_t key, std::intptr_t* value)
{
    if (!value) return -1;
    switch (key) {
        case kdpConstruction: {
            auto* given = reinterpret_cast<TObject*>(*value);
            if (given != static_cast<TObject*>(m_construction)) {
                auto* construction = ObjectAs<TKCustomConstruction3D>(given);
                *value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(construction));
                SetConstruction(construction);
            }
            return 0;
        }
        case kdpApplyRecord: {
            const auto* request = reinterpret_cast<const TKApplyRecordRequest*>(*value);
            if (!request) return -1;
            // Only what this thread raises while applying is kept from the listeners: a
            // change made meanwhile on another thread must still reach the project.
            TKEventManager* events = m_construction ? &m_construction->Events() : nullptr;
            int record = GetDrawingRecord(IndexOfDrawing(request->drawing), request->kind);
            // Nothing is applied from beyond the last record (records are not renumbered).
            if (record < 0 || record >= RecordCount()) record = -1;
            // The job sets it for each viewer; readers on other threads need only see it.
            m_currentRecord.store(record, std::memory_order_release);
            if (!request->mute) {
                const TKThreadMute own(events);
                ApplyCurrentRecord();
                return 0;
            }
            struct Untarget {
                TKThreadMute* mute;
                ~Untarget() { mute->Retarget(nullptr); }
            } untarget{request->mute};
            request->mute->Retarget(events);
            ApplyCurrentRecord();
            return 0;
        }
        default:
            return -1;
    }
}

int TKDepositoryCustomConstruction3D::GetProperty(std::intptr_t key, std::intptr_t* value)
{
    if (key != kdpConstruction || !value) return -1;
    *value = reinterpret_cast<std::intptr_t>(static_cast<TObject*>(m_construction));
    return 0;
}

int TKDepositoryCustomConstruction3D::Operation(int code, std::intptr_t param)
{
    const int result = TKObject::Operation(code, param);
    if (result < 0 && code == kopOpenEditor) OpenEditor(param);
    return result;
}

// Persistence

int TKDepositoryCustomConstruction3D::SaveToStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    int bytes = 0;
    bytes += WriteValue(stream, stream->ObjectReference(m_construction));
    bytes += WriteValue(stream, m_currentRecord.load());
    bytes += WriteValue(stream, m_defaultRecord0);
    bytes += WriteValue(stream, m_defaultRecord1);
    bytes += WriteValue(stream, static_cast<std::int32_t>(RecordCount()));
    for (Record& record : m_records) {
        bytes += WriteStringTo(stream, record.name);
        bytes += WriteRecordData(stream, record.payload.data());
    }
    bytes += WriteValue(stream, static_cast<std::int32_t>(DrawingCount()));
    for (const Drawing& entry : m_drawings) {
        bytes += WriteValue(stream, stream->ObjectReference(entry.system));
        bytes += WriteValue(stream, entry.record1);
        bytes += WriteValue(stream, entry.record0);
    }
    return bytes;
}

int TKDepositoryCustomConstruction3D::LoadFromStream(TKObjectsStream* stream)
{
    if (!stream) return -1;
    StopListeningToConstruction();
    SetDrawingCount(0);
    SetRecordCount(0);
    m_linkPending = true;
    m_storedConstruction = 0;
    int bytes = ReadValue(stream, m_storedConstruction);
    std::int32_t current = 0;
    bytes += ReadValue(stream, current);
    m_currentRecord = current;
    bytes += ReadValue(stream, m_defaultRecord0);
    bytes += ReadValue(stream, m_defaultRecord1);
    // Each record takes at least its name's length.
    const std::int32_t records = ReadCount(stream, this, 4);
    bytes += 4;
    SetRecordCount(records);
    for (Record& record : m_records) {
        bytes += ReadStringFrom(stream, record.name);
        bytes += ReadRecordData(stream, record.payload.data());
    }
    const std::int32_t drawings = ReadCount(stream, this, 12);
    bytes += 4;
    SetDrawingCount(drawings);
    for (Drawing& entry : m_drawings) {
        bytes += ReadValue(stream, entry.storedSystem);
        bytes += ReadValue(stream, entry.record1);
        bytes += ReadValue(stream, entry.record0);
    }
    return bytes;
}

int TKDepositoryCustomConstruction3D::LinkObjects(TKObjectsStream* stream)
{
    if (!stream) return -1;
    // Only what the last load stored: a construction set since then stays.
    if (m_linkPending) {
        m_linkPending = false;
        TKObject* construction = stream->Link(m_storedConstruction, TKCustomConstruction3D::StaticClass());
        m_storedConstruction = 0;
        StopListeningToConstruction();
        ListenToConstruction(ObjectAs<TKCustomConstruction3D>(construction));
    }
    for (Drawing& entry : m_drawings) {
        if (entry.system || !entry.storedSystem) continue;
        entry.system = ObjectAs<TKCustomDrawSystem3D>(
            stream->Link(entry.storedSystem, TKCustomDrawSystem3D::StaticClass()));
        entry.storedSystem = 0;
        Listen(entry.system);
    }
    return DrawingCount() + 1;
}
