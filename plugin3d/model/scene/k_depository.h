#pragma once

// TKDepositoryCustomConstruction3D: the editor-side settings store of one construction. It
// keeps named records, each a fixed-size block of settings whose layout a concrete
// depository defines (RecordSize and the record-data operations), and remembers for every
// drawing system which record applies to it, in two kinds (0 "Ordinary", 1 "Special"); a
// drawing system without an entry takes the two defaults ("All Drawings"). Before a viewer's
// image is made, the project applies the record that belongs to that viewer (property 4097).
//
// A record index of -1 means no record. Deleting a record renumbers nothing: an entry that
// chose a record past the last one selects no data.
//
// The depository has no lock: the editors use it on the user-interface thread, the project's
// image job applies records with it.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_object.h"

class TKCustomConstruction3D;
class TKCustomDrawSystem3D;
class TKThreadMute;

/// The property keys of a depository (operations 7 and 8).
enum TKDepositoryProperty : std::intptr_t {
    kdpConstruction = 4096,  ///< value: the construction (set and get)
    kdpApplyRecord = 4097,   ///< value: the address of a TKApplyRecordRequest (set only)
};

/// Operation 4098 of a depository opens its editor with the operation's param.
inline constexpr int kopOpenEditor = 4098;

/// The value of property 4097: apply the record chosen for this drawing system and kind.
struct TKApplyRecordRequest {
    TKCustomDrawSystem3D* drawing = nullptr;
    std::uint8_t kind = 0;
    /// A mute of the calling thread the depository points at its construction while it
    /// applies (and at nothing after); null: the depository mutes the construction itself.
    TKThreadMute* mute = nullptr;
};

class TKDepositoryCustomConstruction3D : public TKObject {
    DECLARE_TCLASS(TKDepositoryCustomConstruction3D)

    /// From a depository of the same RecordSize: CopyFrom; of another size: nothing; null:
    /// nothing; anything else raises the assignment error.
    void Assign(TPersistent* source) override;
    /// No construction, records or drawings; current record and defaults 0.
    void Init() override;
    /// Lets the records, drawings and construction go while the object is whole, so that a
    /// concrete depository's FreeRecordData still runs for every record.
    void BeforeDestruction() override;
    /// Construction reference, CurrentRecord, DefaultRecord0, DefaultRecord1, RecordCount,
    /// per record its name and WriteRecordData, DrawingCount and the entries (drawing system
    /// reference, record of kind 1, record of kind 0). -1 for a null stream.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote; the construction and the drawing systems stay stream
    /// references (and unsubscribed) until LinkObjects.
    int LoadFromStream(TKObjectsStream* stream) override;
    /// Resolves and subscribes to the construction and drawing systems of the last load.
    /// Returns DrawingCount + 1; -1 for a null stream.
    int LinkObjects(TKObjectsStream* stream) override;
    /// Keys 4096 (the construction; a value that is no construction is written back as null)
    /// and 4097 (applies the record chosen for the drawing system), result 0; else -1.
    int SetProperty(std::intptr_t key, std::intptr_t* value) override;
    /// Key 4096: the construction, result 0; else -1.
    int GetProperty(std::intptr_t key, std::intptr_t* value) override;
    /// The inherited operations; code 4098 also calls OpenEditor(param). The result is the
    /// inherited one.
    int Operation(int code, std::intptr_t param) override;

    // Slots 16-27.
    /// Shows the depository's editor; the default has none (-1).
    virtual int OpenEditor(std::intptr_t param);
    /// Hears the construction's events (the default ignores them).
    virtual void ConstructionNotify(TObject* sender, int code, std::intptr_t param);
    /// Hears the drawing systems' events (the default ignores them).
    virtual void DrawingNotify(TObject* sender, int code, std::intptr_t param);
    /// Listens to construction instead of the current one, then ApplyCurrentRecord.
    virtual void SetConstruction(TKCustomConstruction3D* construction);
    /// The bytes of one record's payload (the default: 0).
    virtual int RecordSize() const;
    /// Frees the records past n or adds cleared ones; a current record past the end becomes
    /// the last one (applied).
    virtual void SetRecordCount(int n);
    /// Fills the payload with zeros.
    virtual void ClearRecordData(void* payload);
    /// Frees what a payload owns (the default: nothing).
    virtual void FreeRecordData(void* payload);
    /// Copies a payload; true when something changed (the default copies the bytes: true).
    virtual bool CopyRecordData(void* dest, const void* source);
    /// Writes a payload; returns the bytes (the default: RecordSize raw bytes).
    virtual int WriteRecordData(TKObjectsStream* stream, const void* payload);
    virtual int ReadRecordData(TKObjectsStream* stream, void* payload);
    /// Copies the current record into the construction (the default does nothing).
    virtual void ApplyCurrentRecord();

    /// Selects a record (out of range: -1) and applies it when it is one; the current index
    /// does nothing.
    void SetCurrentRecord(int index);
    int CurrentRecord() const { return m_currentRecord; }
    int RecordCount() const { return static_cast<int>(m_records.size()); }
    /// Empty out of range.
    std::string GetRecordName(int index) const;
    /// Ignored out of range.
    void SetRecordName(int index, const std::string& name);
    /// The record's payload (RecordSize bytes, aligned for any value, never moving while the
    /// record lives); null out of range.
    void* GetRecordData(int index);
    /// Takes a record out. The current record keeps its record (a later one) or, when it was
    /// the one deleted, the last record becomes current and is applied.
    void DeleteRecord(int index);

    /// Adds an entry (records 0 and 0) for a drawing system and listens to it; one already
    /// listed gives its index; null gives -1.
    int AddDrawing(TKCustomDrawSystem3D* drawing);
    /// Takes an entry out (ignored out of range).
    void DeleteDrawing(int index);
    /// The last entry of drawing; -1 for null or none.
    int IndexOfDrawing(const TKCustomDrawSystem3D* drawing) const;
    TKCustomDrawSystem3D* GetDrawing(int index) const;
    /// Drops the entries past n (no longer listening to them) or adds empty ones.
    void SetDrawingCount(int n);
    int DrawingCount() const { return static_cast<int>(m_drawings.size()); }
    /// The entry's record of kind (1 or else 0), or that kind's default out of range.
    int GetDrawingRecord(int index, std::uint8_t kind) const;
    /// Sets the entry's record of kind, or that kind's default out of range. A record that is
    /// none of the records is stored as -1.
    void SetDrawingRecord(int index, std::uint8_t kind, int record);
    int DefaultRecord0() const { return m_defaultRecord0; }
    int DefaultRecord1() const { return m_defaultRecord1; }

    /// Takes the drawing table, defaults, current record and records of other (of the same
    /// RecordSize); true when something changed. The construction is not copied.
    bool CopyFrom(TKDepositoryCustomConstruction3D* other);

    TKCustomConstruction3D* Construction() const { return m_construction; }

protected:
    TKDepositoryCustomConstruction3D() = default;
    ~TKDepositoryCustomConstruction3D() override;

private:
    struct Record {
        std::string name;
        /// RecordSize bytes in 8-byte words (at least one word, so that it has an address).
        std::vector<std::uint64_t> payload;
    };
    struct Drawing {
        TKCustomDrawSystem3D* system = nullptr;
        std::int32_t record1 = 0;
        std::int32_t record0 = 0;
        std::int32_t storedSystem = 0;  ///< the stream reference between a load and LinkObjects
    };

    void OnConstructionEvent(TObject* sender, int code, std::intptr_t param);
    void OnDrawingEvent(TObject* sender, int code, std::intptr_t param);
    void Listen(TKCustomDrawSystem3D* drawing);
    void StopListening(TKCustomDrawSystem3D* drawing);
    void ListenToConstruction(TKCustomConstruction3D* construction);
    void StopListeningToConstruction();
    Record NewRecord();
    void ReleaseAll();

    TKCustomConstruction3D* m_construction = nullptr;
    // The image job sets it on its own thread for each viewer while the forms may read it.
    std::atomic<std::int32_t> m_currentRecord{0};
    std::vector<Record> m_records;
    std::vector<Drawing> m_drawings;
    std::int32_t m_defaultRecord0 = 0;
    std::int32_t m_defaultRecord1 = 0;
    /// The construction's stream reference between a load and LinkObjects.
    std::int32_t m_storedConstruction = 0;
    bool m_linkPending = false;
};
