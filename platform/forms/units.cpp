#include "platform/forms/units.h"

#include <map>
#include <mutex>

namespace {

std::recursive_mutex& UnitsMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

// Start counts by unit, keyed by the unit's start-up code (or its name when it has none),
// so that two tables naming one unit share its count.
std::map<const void*, int>& StartCounts()
{
    static std::map<const void*, int> counts;
    return counts;
}

const void* KeyOf(const TUnitInfo& unit)
{
    return unit.initialization ? reinterpret_cast<const void*>(unit.initialization)
                               : static_cast<const void*>(unit.name);
}

void FinalizeOne(const TUnitInfo& unit)
{
    auto& counts = StartCounts();
    const auto it = counts.find(KeyOf(unit));
    if (it == counts.end()) return;
    if (--it->second > 0) return;
    counts.erase(it);
    if (!unit.finalization) return;
    try {
        unit.finalization();
    } catch (...) {
    }
}

}  // namespace

void InitializeUnits(const TUnitInfo* units, std::size_t count)
{
    // Held while the units start, so that a second library starting the same unit waits
    // until the first start has finished. Recursive: a unit's code may start another table.
    std::lock_guard lock(UnitsMutex());
    std::size_t started = 0;
    try {
        for (; started < count; ++started) {
            const TUnitInfo& unit = units[started];
            int& n = StartCounts()[KeyOf(unit)];
            if (n == 0 && unit.initialization) {
                try {
                    unit.initialization();
                } catch (...) {
                    StartCounts().erase(KeyOf(unit));
                    throw;
                }
            }
            ++n;
        }
    } catch (...) {
        while (started > 0) FinalizeOne(units[--started]);
        throw;
    }
}

void FinalizeUnits(const TUnitInfo* units, std::size_t count)
{
    std::lock_guard lock(UnitsMutex());
    while (count > 0) FinalizeOne(units[--count]);
}
