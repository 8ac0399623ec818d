#include "app/user_actions.h"

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "app/preferences_resources.h"

namespace {

constexpr const char* kActionListKey = "ActionList";
constexpr const char* kShellDocKey = "ShellDoc";

// Closes an open key however the scope is left: a load that throws part-way leaves none open.
struct KeyCloser {
    HKEY key;
    ~KeyCloser() { ::RegCloseKey(key); }
};

/// Reads the values of one key through a buffer sized once at the key's longest value
/// plus a terminator, so that a string stored without its terminator still ends.
class ValueReader {
public:
    /// Reads the values named in `names` (the names String and Number are later asked for)
    /// in one call; where one of them is missing each is read alone when asked for.
    ValueReader(HKEY key, std::initializer_list<const char*> names) : m_key(key)
    {
        for (const char* name : names)
            if (m_count < m_entries.size())
                m_entries[m_count++] = VALENT{const_cast<LPSTR>(name), 0, 0, REG_NONE};
        // The buffer is not cleared: every value is read by the length the call gives it.
        // Records are small: their values fit the buffer on the stack, else one is made.
        BYTE* buffer = m_small.data();
        DWORD size = static_cast<DWORD>(m_small.size());
        for (int attempt = 0; attempt < 3; ++attempt) {
            const LSTATUS status = ::RegQueryMultipleValues(
                key, m_entries.data(), static_cast<DWORD>(m_count), reinterpret_cast<LPSTR>(buffer), &size);
            if (status == ERROR_SUCCESS) {
                m_all = true;
                return;
            }
            if (status != ERROR_MORE_DATA) break;
            m_buffer.assign(static_cast<std::size_t>(size), 0);  // grown since the size was asked
            buffer = m_buffer.data();
        }
        DWORD longest = 0;
        if (::RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &longest, nullptr, nullptr) != ERROR_SUCCESS)
            longest = 0;
        m_buffer.assign(static_cast<std::size_t>(longest) + 1, 0);
    }

    /// The text of a string value; empty when it is missing or holds no text.
    CString String(const char* name)
    {
        DWORD type = REG_NONE;
        DWORD size = 0;
        const BYTE* data = Read(name, type, size);
        if (!data || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
        const char* text = reinterpret_cast<const char*>(data);
        return CString(std::string_view(text, ::strnlen(text, size)));
    }

    /// A number; 0 unless the value is a REG_DWORD.
    DWORD Number(const char* name)
    {
        DWORD type = REG_NONE;
        DWORD size = 0;
        const BYTE* data = Read(name, type, size);
        if (!data || type != REG_DWORD || size != sizeof(DWORD)) return 0;
        DWORD value = 0;
        std::memcpy(&value, data, sizeof value);
        return value;
    }

private:
    const BYTE* Read(const char* name, DWORD& type, DWORD& size)
    {
        if (m_all) {
            std::size_t i = 0;
            while (i < m_count && std::strcmp(m_entries[i].ve_valuename, name) != 0) ++i;
            if (i == m_count) return nullptr;
            type = m_entries[i].ve_type;
            size = m_entries[i].ve_valuelen;
            return reinterpret_cast<const BYTE*>(m_entries[i].ve_valueptr);
        }
        std::fill(m_buffer.begin(), m_buffer.end(), BYTE{0});
        // The last byte stays the terminator.
        size = static_cast<DWORD>(m_buffer.size() - 1);
        if (::RegQueryValueEx(m_key, name, nullptr, &type, m_buffer.data(), &size) != ERROR_SUCCESS)
            return nullptr;
        return m_buffer.data();
    }

    HKEY m_key;
    std::array<VALENT, 8> m_entries;  // the first m_count are used
    std::size_t m_count = 0;
    std::array<BYTE, 512> m_small;
    std::vector<BYTE> m_buffer;
    bool m_all = false;
};

/// Writes a string value with the byte count of its text and no terminator.
LONG WriteString(HKEY key, const char* name, const CString& value)
{
    return ::RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.GetLength()));
}

LONG WriteNumber(HKEY key, const char* name, DWORD value)
{
    return ::RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG CreateSubKey(HKEY parent, const char* name, HKEY& key)
{
    key = nullptr;
    return ::RegCreateKeyEx(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr);
}

}  // namespace

// --- shell document -----------------------------------------------------------------------------------

LONG CShellDocPayload::Save(HKEY recordKey) const
{
    HKEY key = nullptr;
    if (const LONG created = CreateSubKey(recordKey, kShellDocKey, key); created != ERROR_SUCCESS)
        return created;
    WriteString(key, "FileName", m_strFileName);
    WriteString(key, "Verb", m_strVerb);
    return ::RegCloseKey(key);
}

void CShellDocPayload::Load(HKEY recordKey, int)
{
    m_strFileName.Empty();
    m_strVerb.Empty();
    HKEY key = nullptr;
    if (::RegOpenKeyEx(recordKey, kShellDocKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    const KeyCloser closeKey{key};
    ValueReader reader(key, {"FileName", "Verb"});
    m_strFileName = reader.String("FileName");
    m_strVerb = reader.String("Verb");
}

// --- record -------------------------------------------------------------------------------------------

CUserAction::~CUserAction() = default;

LONG CUserAction::Save(HKEY parent) const
{
    HKEY key = nullptr;
    if (const LONG created = CreateSubKey(parent, m_strName, key); created != ERROR_SUCCESS) return created;
    WriteString(key, "Text", m_strText);
    WriteString(key, "Description", m_strDescription);
    WriteString(key, "Provider", m_strProvider);
    WriteNumber(key, "Modifier", m_dwModifier);
    WriteNumber(key, "Type", m_dwType);
    if (m_pPayload) m_pPayload->Save(key);
    return ::RegCloseKey(key);
}

void CUserAction::Load(HKEY key, int depth)
{
    {
        ValueReader reader(key, {"Text", "Description", "Provider", "Modifier", "Type"});
        m_strText = reader.String("Text");
        m_strDescription = reader.String("Description");
        m_strProvider = reader.String("Provider");
        m_dwModifier = reader.Number("Modifier");
        m_dwType = reader.Number("Type");
    }
    m_pPayload.reset();
    if (m_dwType == kActionShellDoc)
        m_pPayload = std::make_unique<CShellDocPayload>();
    else if (m_dwType == kActionList)
        m_pPayload = std::make_unique<CUserActionList>();
    if (m_pPayload) m_pPayload->Load(key, depth);
}

CUserActionList* CUserAction::GetList() const
{
    return m_dwType == kActionList ? dynamic_cast<CUserActionList*>(m_pPayload.get()) : nullptr;
}

// --- list ---------------------------------------------------------------------------------------------

LONG CUserActionList::Save(HKEY owner) const
{
    HKEY key = nullptr;
    if (const LONG created = CreateSubKey(owner, kActionListKey, key); created != ERROR_SUCCESS)
        return created;
    for (const CUserAction& action : m_items) action.Save(key);
    return ::RegCloseKey(key);
}

void CUserActionList::Load(HKEY owner, int depth)
{
    // Lists nested deeper than anyone builds by hand read as empty rather than exhaust the stack.
    if (depth >= kMaxActionListDepth) return;
    HKEY key = nullptr;
    if (::RegOpenKeyEx(owner, kActionListKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    const KeyCloser closeKey{key};
    DWORD longestName = 0;
    if (::RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, &longestName, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // The names in one call; one longer than the longest asked for above was added since and
    // is skipped, as a walk by index with a buffer of that size skips it.
    std::vector<std::string> names;
    platform::RegEnumKeyNames(key, names);  // none where they cannot be listed
    for (const std::string& name : names) {
        if (name.size() > longestName) continue;
        HKEY recordKey = nullptr;
        if (::RegOpenKeyEx(key, name.c_str(), 0, KEY_READ, &recordKey) != ERROR_SUCCESS) continue;
        const KeyCloser closeRecord{recordKey};
        CUserAction action;
        action.m_strName = CString(name.c_str());
        action.Load(recordKey, depth + 1);
        Add(std::move(action));
    }
}

CUserAction& CUserActionList::Add(CUserAction&& action)
{
    return m_items.emplace_back(std::move(action));
}

// --- names --------------------------------------------------------------------------------------------

BOOL IsNameFree(const CUserActionList& list, const CString& name)
{
    for (const CUserAction& action : list.Items())
        if (action.m_strName == name) return FALSE;
    return TRUE;
}

CString NextName(const CString& name)
{
    const std::string text = name.c_str();
    std::size_t start = text.size();
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    std::string digits = text.substr(start);
    digits.erase(0, digits.find_first_not_of('0'));
    // Decimal addition on the digits: a run of any length simply grows by one digit.
    std::size_t at = digits.size();
    while (at > 0 && digits[at - 1] == '9') digits[--at] = '0';
    if (at == 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[at - 1];
    return CString((text.substr(0, start) + digits).c_str());
}

CString UserActionRootKey()
{
    PreferencesResourcesInstance();
    CString root, settings, area;
    root.LoadString(IDS_ACTION_ROOT_KEY);
    settings.LoadString(IDS_ACTION_SETTINGS_KEY);
    area.LoadString(IDS_ACTION_INTERFACE_KEY);
    return root + settings + area;
}
