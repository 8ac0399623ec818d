#pragma once

// The row passes of the 3D classes by bands of rows. The cut depends on the rows only, and
// every band writes rows of its own, so a pass gives the same results on any number of
// threads. Each running thread has a slot of its own (0 .. SceneBandSlots - 1) for scratch
// it must not share; progress is reported on the calling thread only.

#include <cstdint>
#include <functional>

struct TSceneBand {
    std::int64_t begin = 0;  ///< first row
    std::int64_t end = 0;    ///< one past the last row
    int slot = 0;
};

/// Slots a pass over rows uses at most.
int SceneBandSlots(std::int64_t rows);

/// Calls work(band) for every band of [0, rows), on up to all cores, and returns once every
/// band has ended; the first exception of a band reaches the caller after that. progress
/// (may be empty) hears the rows of the bands completed so far, on the calling thread.
void RunSceneBands(std::int64_t rows, const std::function<void(const TSceneBand&)>& work,
                   const std::function<void(std::int64_t rowsDone)>& progress);
