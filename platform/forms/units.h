#pragma once

// Unit start and end. A library of the plug-in keeps its start-up and shut-down code in
// units (a unit's global list, its registrations, its shared locks). C++ runs static
// initialisers in no order one could rely on, so no unit starts on its own: the library
// lists its units in a table, each after the units it uses, and its explicit start and end
// entries run the table.
//
// Starts and finishes are counted per unit: a unit named by two tables, or a table started
// twice, starts once and finishes with the last finish.

#include <cstddef>

#include "platform/types.h"

/// One unit: its name and its start-up and shut-down code (either may be null).
struct TUnitInfo {
    const char* name;
    void (*initialization)();
    void (*finalization)();
};

/// Starts the units in table order; a unit's initialization runs on its first start only.
/// When one fails, the units this call started are finished in reverse order and the
/// exception passes on.
PLATFORM_API void InitializeUnits(const TUnitInfo* units, std::size_t count);
/// Finishes the units in reverse table order; a unit's finalization runs when its last
/// start is undone. Units that were never started are skipped. Exceptions of a
/// finalization are dropped, so the other units still finish.
PLATFORM_API void FinalizeUnits(const TUnitInfo* units, std::size_t count);

template <std::size_t N>
void InitializeUnits(const TUnitInfo (&units)[N])
{
    InitializeUnits(units, N);
}
template <std::size_t N>
void FinalizeUnits(const TUnitInfo (&units)[N])
{
    FinalizeUnits(units, N);
}
