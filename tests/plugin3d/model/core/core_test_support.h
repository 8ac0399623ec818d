#pragma once

// What the core library's tests share: an event recorder, a bounded wait and an
// in-memory objects stream.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/forms/exceptions.h"
#include "platform/kernel/threads.h"
#include "plugin3d/model/core/k_event_manager.h"
#include "plugin3d/model/core/k_object.h"

namespace kelvora::test {

/// Records the events it hears (from any thread).
class EventLog {
public:
    struct Event {
        TObject* sender;
        int code;
        std::intptr_t param;
    };
    void OnEvent(TObject* sender, int code, std::intptr_t param)
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({sender, code, param});
    }
    TKEventHandler Handler() { return TKEventHandler::Of<&EventLog::OnEvent>(this); }
    std::vector<int> Codes() const
    {
        std::lock_guard lock(m_mutex);
        std::vector<int> codes;
        for (const Event& e : m_events) codes.push_back(e.code);
        return codes;
    }
    /// The params of the events with code, in order.
    std::vector<std::intptr_t> Params(int code) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<std::intptr_t> params;
        for (const Event& e : m_events)
            if (e.code == code) params.push_back(e.param);
        return params;
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Event> m_events;
};

/// Waits until condition holds, at most 20 s; false (and a failure) when it never does.
inline bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "condition never held";
            return false;
        }
        Sleep(1);
    }
    return true;
}

/// An objects stream over a byte vector. Object records are a 12-byte head (class id,
/// object id, payload size) and the payload; class ids count the classes the stream has
/// met, object ids the objects it has written. Reads past the end raise EStreamError. Link
/// finds the objects ReadObject made by the ids their records carried.
class MemoryStream : public TKObjectsStream {
public:
    std::vector<std::uint8_t> bytes;

    void SetPosition(std::int64_t position) override { m_position = position; }
    std::int64_t GetPosition() override { return m_position; }
    void Write(const void* buffer, int count) override
    {
        if (count <= 0) return;
        if (bytes.size() < std::size_t(m_position + count)) bytes.resize(std::size_t(m_position + count));
        std::memcpy(bytes.data() + m_position, buffer, std::size_t(count));
        m_position += count;
    }
    void Read(void* buffer, int count) override
    {
        if (count <= 0) return;
        if (count > Remaining() || std::size_t(m_position + count) > bytes.size())
            throw EStreamError("read past the end");
        std::memcpy(buffer, bytes.data() + m_position, std::size_t(count));
        m_position += count;
    }
    std::int64_t Remaining() override
    {
        const std::int64_t end = m_recordEnds.empty() ? std::int64_t(bytes.size()) : m_recordEnds.back();
        return end - m_position;
    }
    std::int32_t ClassReference(TClass cls) override
    {
        if (!cls) return 0;
        for (std::size_t i = 0; i < m_classes.size(); ++i)
            if (m_classes[i] == cls) return std::int32_t(i + 1);
        m_classes.push_back(cls);
        return std::int32_t(m_classes.size());
    }
    std::int32_t ObjectReference(const TObject* object) override
    {
        if (!object) return 0;
        for (std::size_t i = 0; i < m_objects.size(); ++i)
            if (m_objects[i] == object) return std::int32_t(i + 1);
        m_objects.push_back(object);
        return std::int32_t(m_objects.size());
    }
    int WriteObject(TKObject* object) override
    {
        const std::int64_t start = m_position;
        const std::int32_t head[3] = {object ? ClassReference(object->ClassType()) : 0,
                                      ObjectReference(object), 0};
        Write(head, sizeof head);
        const int payload = object ? object->Operation(kopSave, reinterpret_cast<std::intptr_t>(this)) : 0;
        const std::int32_t size = payload;
        std::memcpy(bytes.data() + start + 8, &size, 4);
        return 12 + payload;
    }
    int ReadObject(TKObject*& object, TClass wantedClass) override
    {
        std::int32_t head[3];
        Read(head, sizeof head);
        const std::int64_t end = m_position + head[2];
        TClass cls = head[0] > 0 && std::size_t(head[0]) <= m_classes.size()
                         ? m_classes[std::size_t(head[0] - 1)]
                         : nullptr;
        FreeAndNil(object);
        int payload = 0;
        if (cls && cls->InheritsFrom(wantedClass ? wantedClass : TKObject::StaticClass())) {
            object = static_cast<TKObject*>(cls->Construct(nullptr));
            m_recordEnds.push_back(end);
            try {
                payload = object->Operation(kopLoad, reinterpret_cast<std::intptr_t>(this));
            } catch (...) {
                m_recordEnds.pop_back();
                FreeAndNil(object);
                throw;
            }
            m_recordEnds.pop_back();
            m_loaded.push_back({head[1], object});
        }
        m_position = end;
        return 12 + payload;
    }
    /// The object read for a stored id (the first one), when it is of wantedClass.
    TKObject* Link(std::int32_t reference, TClass wantedClass) override
    {
        for (const auto& [id, object] : m_loaded)
            if (reference != 0 && id == reference)
                return object->InheritsFrom(wantedClass ? wantedClass : TKObject::StaticClass()) ? object
                                                                                                 : nullptr;
        return nullptr;
    }

private:
    std::int64_t m_position = 0;
    std::vector<std::int64_t> m_recordEnds;
    std::vector<TClass> m_classes;
    std::vector<const TObject*> m_objects;
    std::vector<std::pair<std::int32_t, TKObject*>> m_loaded;
};

/// A memory stream that names a project, as the project file's does: what relinks after a
/// load look for in the project (layer files, editors to reopen) is found there.
class ProjectStream : public MemoryStream {
public:
    TKObject* project = nullptr;
    TKObject* GetProject() override { return project; }
};

}  // namespace kelvora::test
