#include "outside/basecore/mru_list.h"

#include <algorithm>

#include "outside/basecore/settings.h"
#include "platform/last_error.h"

namespace {

// Entries are the values "Item0" (newest) to "Item<n-1>".
CString ItemName(int index)
{
    CString name;
    name.Format("Item%d", index);
    return name;
}

}  // namespace

CMRUList::CMRUList(int maxCount) : m_maxCount(std::max(1, maxCount)) {}

void CMRUList::SetRegKey(const char* subKey)
{
    m_subKey = subKey;
}

BOOL CMRUList::BuildRecentList()
{
    m_items.clear();
    CTLRegKey key;
    if (key.Open(HKEY_CURRENT_USER, GetAppSubKey(m_subKey), KEY_READ) != ERROR_SUCCESS) return FALSE;
    // Whatever another writer left there, the list keeps its rules: no empty entries,
    // no duplicates, no more than its length.
    for (int i = 0; i < m_maxCount; ++i) {
        CString item;
        if (key.QueryValue(item, ItemName(i)) != ERROR_SUCCESS) break;
        if (!item.IsEmpty() && std::find(m_items.begin(), m_items.end(), item) == m_items.end())
            m_items.push_back(item);
    }
    return TRUE;
}

void CMRUList::GetListItems(std::vector<CString>& items) const
{
    items = m_items;
}

CString CMRUList::GetAt(int index) const
{
    return (index >= 0 && index < GetCount()) ? m_items[static_cast<size_t>(index)] : CString();
}

BOOL CMRUList::AddToHead(const char* item)
{
    const CString entry(item);
    if (entry.IsEmpty()) return FALSE;
    BuildRecentList();
    m_items.erase(std::remove(m_items.begin(), m_items.end(), entry), m_items.end());
    m_items.insert(m_items.begin(), entry);
    if (GetCount() > m_maxCount) m_items.resize(static_cast<size_t>(m_maxCount));
    return Write();
}

BOOL CMRUList::Write() const
{
    CTLRegKey key;
    if (key.Create(HKEY_CURRENT_USER, GetAppSubKey(m_subKey)) != ERROR_SUCCESS) return FALSE;
    for (int i = 0; i < GetCount(); ++i)
        if (key.SetValue(m_items[static_cast<size_t>(i)], ItemName(i)) != ERROR_SUCCESS) return FALSE;
    // Entries of a longer list written before (or with a larger length) go.
    for (int i = GetCount(); key.DeleteValue(ItemName(i)) == ERROR_SUCCESS; ++i) {
    }
    return TRUE;
}
