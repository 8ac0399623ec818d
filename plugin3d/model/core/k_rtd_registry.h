#pragma once

// The run-time registry (unit KRTDRegistry): one root TKDataBranch per key. The root of
// key null is the global registry; below it the plug-in keeps its run-time tables:
// "Classes" (the class hierarchy, by which a project load finds classes by name) and
// "Depository Classes" (which editor-side class serves which object class).

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_data_branch.h"

class TKRTDRegistry : public TObject {
    DECLARE_TCLASS(TKRTDRegistry)

    TKRTDRegistry() = default;
    ~TKRTDRegistry() override;

    /// The index of key's entry; a missing one is appended with a new root named
    /// "{<key as at least eight upper-case hexadecimal digits>}".
    int Open(const void* key);
    /// Frees key's entry and its root; the last entry takes its place.
    void Remove(const void* key);
    /// The entry of key (searched from the end), -1 when none.
    int IndexOfKey(const void* key) const;
    /// Root of entry index, null out of range.
    TKDataBranch* GetRoot(int index) const;
    int Count() const;
    /// Keeps the first n entries (n >= 0), freeing the roots of the others.
    void SetCount(int n);
    /// The root of key, made when missing and create is set; null otherwise.
    TKDataBranch* RootOf(const void* key, bool create);

private:
    struct Found {
        int index;
        TKDataBranch* root;
    };
    Found Lookup(const void* key, bool create);

    struct Entry {
        const void* key;
        TKDataBranch* root;
    };
    mutable std::recursive_mutex m_mutex;
    std::vector<Entry> m_entries;
};

/// The root of key in the one registry, made when missing; null when the unit is not running.
TKDataBranch* RegistryRoot(const void* key);
/// The root of key, or null; never makes one.
TKDataBranch* RegistryFind(const void* key);
/// Frees key's root.
void RegistryRemove(const void* key);
/// FindPath from key's root: case-sensitive, separator "\".
TKDataBranch* RegistryFindPath(const void* key, const std::string& path);

/// The class's node in "Classes", made with the nodes of its ancestors up to TObject when
/// missing; null for null.
TKDataBranch* RegisterClassBranch(TClass cls);
/// Frees the class's node with the nodes of its registered subclasses.
void UnregisterClassBranch(TClass cls);
/// The node of depositoryClass in "Depository Classes", with a child for objectClass;
/// null when either is null.
TKDataBranch* RegisterDepositoryClass(TClass depositoryClass, TClass objectClass);
/// Frees objectClass's child, and the depository node when it has no children left.
void UnregisterDepositoryClass(TClass depositoryClass, TClass objectClass);
/// The first depository class that serves objectClass, or null.
TClass GetDepositoryClass(TClass objectClass);

/// Unit KRTDRegistry: the registry, its global root and the classes of this unit.
extern const TUnitInfo kKRTDRegistryUnit;
