#pragma once

// Inside the drawing layer: the objects behind the handles and the handle table. Handles
// are the objects' addresses, accepted only while the table holds them, so a stale or
// foreign handle fails the call instead of touching freed memory. Objects are shared:
// a pen deleted while a device context still holds it lives until it is deselected.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QFont>
#include <QImage>
#include <QString>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/span_region.h"

namespace platform::gdi {

enum class Kind { Pen, Brush, Font, Bitmap, Palette, Region, DC, MetaFile };

struct GdiObject {
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;
    const Kind kind;
    bool stock = false;  // stock objects ignore DeleteObject
};

/// Puts an object into the handle table; the handle is its address.
void* Register(std::shared_ptr<GdiObject> object);
/// Takes an object out of the table; false for an unknown handle.
bool Unregister(const void* handle);
std::shared_ptr<GdiObject> Find(const void* handle);

template <class T>
std::shared_ptr<T> FindAs(const void* handle)
{
    auto o = Find(handle);
    if (!o || o->kind != T::kKind) return nullptr;
    return std::static_pointer_cast<T>(std::move(o));
}

/// 0x00BBGGRR (COLORREF) to the 0x00RRGGBB of a 32-bit pixel, and back.
constexpr std::uint32_t ToPixel(COLORREF c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
constexpr COLORREF ToColorRef(std::uint32_t p)
{
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

/// 32-bit pixel rows; row y starts at base + y * stride (stride negative for a bottom-up
/// layout), so loops never ask which way the rows run.
struct Surface {
    std::uint8_t* base = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    std::uint32_t alpha = 0;  // the top byte every pixel keeps (0xFF000000 on Qt's pictures)
    std::uint32_t* Row(int y) const { return reinterpret_cast<std::uint32_t*>(base + y * stride); }
    bool Valid() const { return base != nullptr && width > 0 && height > 0; }
};

struct PenObj : GdiObject {
    static constexpr Kind kKind = Kind::Pen;
    PenObj() : GdiObject(kKind) {}
    int style = PS_SOLID;  // PS_* with end-cap and join bits
    int width = 0;
    COLORREF color = 0;
    int Style() const { return style & PS_STYLE_MASK; }
};

struct BrushObj : GdiObject {
    static constexpr Kind kKind = Kind::Brush;
    BrushObj() : GdiObject(kKind) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
    int hatch = 0;
    // Pattern brushes: pixels (0x00RRGGBB) of the pattern, row 0 at the top.
    int patWidth = 0;
    int patHeight = 0;
    std::vector<std::uint32_t> pattern;
    bool monoPattern = false;  // black and white pattern drawn in the DC's text and background colours
};

/// The pixels a text covers in a font, as drawing it gave them: drawing the text again is
/// then a blend of these, without shaping or rasterising it again. Places are relative to
/// the top left of the text's cell. One block holds each row's covered columns and then the
/// coverage: a screen of texts drawn from a cold cache finds both in one place.
class TextCoverage {
public:
    int left = 0, top = 0, columns = 0, rows = 0;  // the box of the covered pixels
    /// Makes room for the box's rows (no coverage, no covered columns); rows may be read eight
    /// bytes at a time past their end.
    void Allocate(int boxColumns, int boxRows)
    {
        columns = boxColumns;
        rows = boxRows;
        const std::size_t bytes = std::size_t(columns) * std::size_t(rows) + 8;
        m_block.assign(2 * std::size_t(rows) + (bytes + 3) / 4, 0);
    }
    /// Row y's coverage, `columns` bytes.
    const std::uint8_t* Row(int y) const { return Coverage() + std::size_t(y) * std::size_t(columns); }
    std::uint8_t* Row(int y) { return const_cast<std::uint8_t*>(std::as_const(*this).Row(y)); }
    /// Row y's covered columns [first, last).
    int First(int y) const { return m_block[2 * std::size_t(y)]; }
    int Last(int y) const { return m_block[2 * std::size_t(y) + 1]; }
    void SetCovered(int y, int first, int last)
    {
        m_block[2 * std::size_t(y)] = first;
        m_block[2 * std::size_t(y) + 1] = last;
    }
    std::size_t Bytes() const { return sizeof(TextCoverage) + m_block.size() * sizeof(std::int32_t); }

private:
    const std::uint8_t* Coverage() const
    {
        return reinterpret_cast<const std::uint8_t*>(m_block.data() + 2 * std::size_t(rows));
    }
    std::vector<std::int32_t> m_block;  // rows x (first, last), then columns x rows coverage bytes
};

/// What a font knows of one text: its advance, and its coverage once it has been drawn.
struct TextRecord : std::enable_shared_from_this<TextRecord> {
    std::string text;  // UTF-8, what the font keeps the record by
    int advance = 0;
    std::once_flag drawn;
    std::atomic<bool> covered{false};  // set once the coverage is made (call_once costs more to ask)
    TextCoverage coverage;             // made under `drawn`, read-only after
};

/// What a font found out about the texts it measured or drew last, by their UTF-8 bytes.
/// Bounded: when the newer of two generations is full, the older is dropped, and a text
/// found in the older one moves to the newer, so the texts in use stay however long a
/// session draws.
class RecentTexts {
public:
    /// `limit` texts, or `byteLimit` of what the records were charged, in each generation.
    RecentTexts(std::size_t limit, std::size_t byteLimit) : m_limit(limit), m_byteLimit(byteLimit) {}
    /// The record kept for the text; null when there is none.
    std::shared_ptr<TextRecord> Find(std::string_view text)
    {
        std::shared_ptr<TextRecord> found;
        Visit(text, [&](TextRecord& record) { found = record.shared_from_this(); });
        return found;
    }
    /// Calls `use` with the record kept for the text, under the lock; false when none is kept.
    template <class Use>
    bool Visit(std::string_view text, Use&& use)
    {
        const std::uint32_t hash = HashOf(text);
        const std::lock_guard lock(m_mutex);
        TextRecord* record = LookUp(text, hash);
        if (record) use(*record);
        return record != nullptr;
    }
    /// Calls `use` (index, record) for each of `count` texts kept, under one hold of the lock;
    /// the slots and records of the texts a few places on are asked of memory before their turn,
    /// as a screen of texts is seldom in the nearest caches.
    template <class Use>
    void VisitMany(const std::string_view* texts, std::size_t count, Use&& use)
    {
        constexpr std::size_t kSlotsAhead = 8, kRecordsAhead = 4;
        std::vector<std::uint32_t> hashes(count);
        for (std::size_t i = 0; i < count; ++i) hashes[i] = HashOf(texts[i]);
        const std::lock_guard lock(m_mutex);
        for (std::size_t i = 0; i < count && i < kSlotsAhead; ++i) m_newer.Prefetch(hashes[i], false);
        for (std::size_t i = 0; i < count; ++i) {
            if (i + kSlotsAhead < count) m_newer.Prefetch(hashes[i + kSlotsAhead], false);
            if (i + kRecordsAhead < count) m_newer.Prefetch(hashes[i + kRecordsAhead], true);
            if (TextRecord* record = LookUp(texts[i], hashes[i])) use(i, *record);
        }
    }
    /// Keeps a record, by its text.
    void Keep(std::shared_ptr<TextRecord> record)
    {
        const std::uint32_t hash = HashOf(record->text);
        const std::lock_guard lock(m_mutex);
        Insert(hash, std::move(record));
    }
    /// Adds to what the newer generation holds (what a record grew by after it was kept).
    void Charge(std::size_t bytes)
    {
        const std::lock_guard lock(m_mutex);
        m_bytes += bytes;
    }

private:
    // The record of the text in the newer generation, or moved there from the older; null when
    // neither holds it. Under the lock.
    TextRecord* LookUp(std::string_view text, std::uint32_t hash)
    {
        if (TextRecord* found = m_newer.Find(text, hash)) return found;
        std::shared_ptr<TextRecord> old = m_older.Take(text, hash);
        if (!old) return nullptr;
        TextRecord* record = old.get();
        Insert(hash, std::move(old));
        return record;
    }

    // One generation: its records in the order kept, found through a table of slots, each the
    // text's hash, the record's place and the record, probed in a row. A lookup reads one slot
    // and the record itself, where a node-based map chases three pointers before it: a screen
    // of a value grid looks up thousands of texts that are seldom in the nearest caches.
    class Generation {
    public:
        std::size_t Size() const { return m_live; }
        TextRecord* Find(std::string_view text, std::uint32_t hash) const
        {
            const std::size_t at = Locate(text, hash);
            return at == kNone ? nullptr : m_slots[at].record;
        }
        /// Takes the text's record out of the generation.
        std::shared_ptr<TextRecord> Take(std::string_view text, std::uint32_t hash)
        {
            std::size_t at = Locate(text, hash);
            if (at == kNone) return nullptr;
            std::shared_ptr<TextRecord> record = std::move(m_records[m_slots[at].index]);
            --m_live;
            // Backward-shift deletion: later slots of the run move up where they may, so every
            // run stays unbroken without markers.
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t next = (at + 1) & mask; m_slots[next].record; next = (next + 1) & mask) {
                const std::size_t home = m_slots[next].hash & mask;
                if (((next - home) & mask) >= ((next - at) & mask)) {
                    m_slots[at] = m_slots[next];
                    at = next;
                }
            }
            m_slots[at] = Slot{};
            return record;
        }
        /// Asks memory for the home slot of a hash, or for the record in it.
        void Prefetch(std::uint32_t hash, bool record) const
        {
            if (m_slots.empty()) return;
            const Slot& slot = m_slots[hash & (m_slots.size() - 1)];
            if (!record)
                __builtin_prefetch(&slot);
            else if (slot.record)
                __builtin_prefetch(slot.record);
        }
        /// Adds a record whose text the generation does not hold.
        void Add(std::uint32_t hash, std::shared_ptr<TextRecord> record)
        {
            if (2 * (m_records.size() + 1) > m_slots.size()) Grow();
            Place(Slot{hash, std::uint32_t(m_records.size()), record.get()});
            m_records.push_back(std::move(record));
            ++m_live;
        }

    private:
        struct Slot {
            std::uint32_t hash = 0;
            std::uint32_t index = 0;       // in m_records
            TextRecord* record = nullptr;  // null: empty
        };
        static constexpr std::size_t kNone = ~std::size_t(0);
        std::size_t Locate(std::string_view text, std::uint32_t hash) const
        {
            if (m_slots.empty()) return kNone;
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
                const Slot& slot = m_slots[at];
                if (!slot.record) return kNone;
                if (slot.hash == hash && slot.record->text == text) return at;
            }
        }
        void Place(const Slot& slot)
        {
            const std::size_t mask = m_slots.size() - 1;
            std::size_t at = slot.hash & mask;
            while (m_slots[at].record) at = (at + 1) & mask;
            m_slots[at] = slot;
        }
        void Grow()
        {
            std::vector<Slot> old = std::move(m_slots);
            m_slots.assign(std::max<std::size_t>(16, 2 * old.size()), Slot{});
            for (const Slot& slot : old)
                if (slot.record) Place(slot);
        }
        std::vector<Slot> m_slots;                           // a power of two of them
        std::vector<std::shared_ptr<TextRecord>> m_records;  // taken ones stay as empty places
        std::size_t m_live = 0;
    };

    // Texts are short (a grid's numbers): eight bytes at a time, multiplied and folded.
    static std::uint32_t HashOf(std::string_view text)
    {
        std::uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
        const char* p = text.data();
        std::size_t n = text.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            h = (h ^ word) * 0xFF51AFD7ED558CCDull;
            h ^= h >> 32;
        }
        std::uint64_t tail = 0;
        for (std::size_t i = 0; i < n; ++i) tail |= std::uint64_t(std::uint8_t(p[i])) << (8 * i);
        h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 29;
        return std::uint32_t(h ^ (h >> 32));
    }
    void Insert(std::uint32_t hash, std::shared_ptr<TextRecord> record)
    {
        if (m_newer.Size() >= m_limit || m_bytes >= m_byteLimit) {
            m_older = std::move(m_newer);
            m_newer = Generation();
            m_bytes = 0;
        }
        m_bytes += record->text.size() + sizeof(record) + 64;
        m_newer.Add(hash, std::move(record));
    }

    std::mutex m_mutex;
    std::size_t m_limit;
    std::size_t m_byteLimit;
    std::size_t m_bytes = 0;
    Generation m_newer, m_older;
};

struct FontObj : GdiObject {
    static constexpr Kind kKind = Kind::Font;
    FontObj() : GdiObject(kKind) {}
    LOGFONT log{};
    /// The matched font, made on first use: the font system needs the application object,
    /// which creating DCs and stock objects must not.
    QFont Font() const;
    /// The font's ascent and descent in pixels.
    std::pair<int, int> Metrics() const;
    /// What the font knows of a text (UTF-8): measured on first use and kept for the texts
    /// used last (a value grid measures each text to size its columns, then draws it, and
    /// draws it again as it scrolls back or repaints).
    std::shared_ptr<TextRecord> Text(std::string_view utf8) const;
    /// The advance of a text (UTF-8), as Text gives it, without holding on to its record.
    int Advance(std::string_view utf8) const;
    /// What Text gives for each of `count` texts, into `records`.
    void Texts(const std::string_view* utf8, std::size_t count, std::shared_ptr<TextRecord>* records) const;
    /// What Advance gives for each of `count` texts, into `advances`.
    void Advances(const std::string_view* utf8, std::size_t count, int* advances) const;
    /// Counts a coverage made for a kept text against the bound of what is kept.
    void Charge(std::size_t bytes) const { m_texts.Charge(bytes); }

private:
    mutable std::once_flag m_once, m_metricsOnce;
    mutable std::atomic<bool> m_fontMade{false}, m_metricsMade{false};  // the flags' work is done
    mutable std::optional<QFont> m_font;
    mutable std::pair<int, int> m_metrics{0, 0};
    mutable RecentTexts m_texts{8192, std::size_t(16) << 20};
};

/// True when fonts can be used (an application object exists).
bool FontsAvailable();

struct PaletteObj : GdiObject {
    static constexpr Kind kKind = Kind::Palette;
    PaletteObj() : GdiObject(kKind) {}
    std::vector<PALETTEENTRY> entries;
};

struct RegionObj : GdiObject {
    static constexpr Kind kKind = Kind::Region;
    RegionObj() : GdiObject(kKind) {}
    // A selection region is read by an outline thread while its owner replaces it.
    mutable std::mutex lock;
    SpanRegion region;
    SpanRegion Get() const
    {
        std::lock_guard<std::mutex> g(lock);
        return region;
    }
    void Set(SpanRegion r)
    {
        std::lock_guard<std::mutex> g(lock);
        region = std::move(r);
    }
};

struct DcObj;

struct BitmapObj : GdiObject {
    static constexpr Kind kKind = Kind::Bitmap;
    BitmapObj() : GdiObject(kKind) {}
    int width = 0;
    int height = 0;
    int bitCount = 32;
    bool topDown = true;
    bool isDib = false;
    bool monochrome = false;
    DWORD compression = BI_RGB;
    DWORD masks[3] = {0, 0, 0};
    std::ptrdiff_t stride = 0;  // bytes of one stored row
    std::vector<RGBQUAD> colors;
    QImage image;                   // 32-bit pixels
    std::vector<std::uint8_t> raw;  // 8-, 16- and 24-bit stored rows
    std::uint8_t* bits = nullptr;   // first stored row
    std::shared_ptr<void> view;     // a section's pixels: a view of the caller's file mapping
    void* section = nullptr;        // that mapping's handle and the view's offset in it
    DWORD sectionOffset = 0;
    std::atomic<DcObj*> selectedIn{nullptr};

    /// Picture rows of a plain 32-bit bitmap (0x00RRGGBB pixels); invalid for other depths
    /// and for other bit fields, which are converted on the way.
    Surface Direct() const
    {
        const bool plain =
            compression != BI_BITFIELDS || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
        if (bitCount != 32 || !bits || !plain) return {};
        if (topDown) return {bits, stride, width, height};
        return {bits + (height - 1) * stride, -stride, width, height};
    }
    /// Stored bytes of picture row y (0 = top).
    const std::uint8_t* PictureRow(int y) const { return bits + (topDown ? y : height - 1 - y) * stride; }
    std::uint8_t* PictureRow(int y) { return bits + (topDown ? y : height - 1 - y) * stride; }
};

/// Reads rows of a device-independent bitmap (or a bitmap's stored rows) as 32-bit pixels.
struct DibLayout {
    int width = 0;
    int height = 0;  // number of stored rows
    bool topDown = false;
    int bitCount = 32;
    DWORD compression = BI_RGB;
    DWORD masks[3] = {0, 0, 0};
    std::ptrdiff_t stride = 0;
    const std::uint32_t* palette = nullptr;  // 0x00RRGGBB entries for 8-bit (256 of them)
    int paletteSize = 0;
};

/// Converts `count` pixels starting at column x of one stored row to 0x00RRGGBB.
void ConvertRow(const DibLayout& layout, const std::uint8_t* row, int x, int count, std::uint32_t* out);
/// The same with `alpha` (a surface's top byte) in every pixel, in one pass where it can.
void ConvertRow(const DibLayout& layout, const std::uint8_t* row, int x, int count, std::uint32_t* out,
                std::uint32_t alpha);
/// Writes 32-bit pixels back into a stored row of a bitmap of another depth.
void StoreRow(BitmapObj& bmp, std::uint8_t* row, int x, int count, const std::uint32_t* in);
/// The layout of a bitmap's own stored rows.
DibLayout LayoutOf(const BitmapObj& bmp, std::vector<std::uint32_t>& paletteScratch);
/// Bytes of one row of a DIB: width * bits rounded up to four bytes.
std::ptrdiff_t DibStride(int width, int bitCount);

std::shared_ptr<BitmapObj> MakeBitmap32(int width, int height);
/// A font object for the description (face matched by the font system).
std::shared_ptr<FontObj> MakeFont(const LOGFONT& log);
HGDIOBJ StockObject(int which);
/// The twenty static colours of a palette device, in the default palette's order.
const PALETTEENTRY* StaticColours();

}  // namespace platform::gdi
