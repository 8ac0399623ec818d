#pragma once

// TKCnv3DIITransformer: a breakpoint curve, (input, output) pairs sorted by input, from
// which the drawing system builds its channel tables: one curve per colour component maps
// a channel level to a 16-bit component level. Every change and read is under its lock.

#include <cstdint>
#include <vector>

#include "platform/forms/object.h"
#include "platform/kernel/threads.h"

class TKObjectsStream;

class TKCnv3DIITransformer : public TPersistent {
    DECLARE_TCLASS(TKCnv3DIITransformer)

    /// The most pairs a curve holds.
    static constexpr int kMaxCount = 0xFFFF;

    /// Takes another curve's pairs; null empties the curve.
    void Assign(TPersistent* source) override;
    void Clear();
    /// Sets the number of pairs: below 0 counts as 0, above kMaxCount does nothing; new pairs
    /// copy the pair before them ((0, 0) for the first).
    void SetCount(int n);
    int Count() const;
    /// Inserts (x, y) where the inputs stay sorted (after a first pair of the same input);
    /// returns its index, or -1 when the curve is full. Equal inputs are allowed.
    int AddPoint(std::int32_t x, std::int32_t y);
    /// Removes pair i; out of range does nothing.
    void DeletePoint(int i);
    /// Gives pair i the input x and output y, moving it where the inputs stay sorted; returns
    /// its new index, -1 for an index out of range.
    int SetPoint(int i, std::int32_t x, std::int32_t y);
    /// Input and output of pair i (below 0: the first, past the end: the last; 0 when empty).
    std::int32_t GetInput(int i) const;
    std::int32_t GetOutput(int i) const;
    /// 0 when empty or x is at most the first input, count - 1 when x is the last input,
    /// count when above it, else the index of an equal input or of the first greater one.
    int FindPosition(std::int32_t x) const;
    /// The curve at x (BreakpointLookup over the pairs; 0 with fewer than two).
    std::int32_t Evaluate(std::int32_t x) const;
    /// A copy of the pairs (input, output, input, output, ...), taken under the lock.
    std::vector<std::int32_t> Pairs() const;

    /// Writes int32 count and the pairs (input, output); returns 4 + 8 * count, also for a
    /// null stream, which only counts.
    int SaveToStream(TKObjectsStream* stream) const;
    /// Reads what SaveToStream wrote; returns the bytes read (0 for a null stream). A count
    /// below 0, above kMaxCount or beyond what the record holds raises EStreamError
    /// ("Invalid Value") before anything is read or changed.
    int LoadFromStream(TKObjectsStream* stream);

protected:
    TKCnv3DIITransformer();
    ~TKCnv3DIITransformer() override;

private:
    int FindPositionLocked(std::int32_t x) const;
    void Resize(int n);

    mutable CRITICAL_SECTION m_lock{};
    std::vector<std::int32_t> m_pairs;  // 2 * count entries
};
