#pragma once

// A list of recently used paths kept under a registry key below the product key: newest
// first, each path once, at most a fixed number of entries.

#include <vector>

#include "platform/cstring.h"

class CMRUList {
public:
    /// A list of at most `maxCount` entries (at least 1).
    explicit CMRUList(int maxCount = 10);

    /// The key below the product key the list lives in ("\Settings\General\MRUWorkDir").
    void SetRegKey(const char* subKey);
    /// Reads the list from the key; false when the key cannot be read (the list is then empty).
    BOOL BuildRecentList();
    /// Copies the entries, newest first.
    void GetListItems(std::vector<CString>& items) const;
    int GetCount() const { return static_cast<int>(m_items.size()); }
    /// Entry `index` (0 = newest); empty when out of range.
    CString GetAt(int index) const;
    /// Reads the list, puts `item` first (taking it out of its old place), cuts the list to
    /// its length and writes it back. An empty item changes nothing. Nonzero when written.
    BOOL AddToHead(const char* item);

private:
    BOOL Write() const;

    int m_maxCount;
    CString m_subKey;
    std::vector<CString> m_items;
};
