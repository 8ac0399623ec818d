#pragma once

// The user action list: a tree of named actions kept in the registry below
// "...\Settings\Interface\Russian". Each record is a key named by the record's name with
// the values "Text", "Description", "Provider" (strings), "Modifier" and "Type" (numbers)
// and, by type, a payload subkey: "ShellDoc" for a shell document, "ActionList" for a
// nested list (one key per record, recursively).

#include <list>
#include <memory>

#include "platform/cstring.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "platform/types.h"

/// The kinds of action; the number is what the "Type" value holds.
enum UserActionType : DWORD {
    kActionPlain = 0,
    kActionRegistered = 1,
    kActionDllCall = 2,
    kActionComCall = 3,
    kActionShellDoc = 4,
    kActionList = 5,
};

/// How deep nested lists are followed when a list is loaded; deeper ones read as empty.
constexpr int kMaxActionListDepth = 32;

class CUserActionList;

/// What a record carries besides its values, saved into and loaded from the record's key.
class CUserActionPayload {
public:
    virtual ~CUserActionPayload() = default;
    /// Writes the payload below the record's key; a registry error code.
    virtual LONG Save(HKEY recordKey) const = 0;
    virtual void Load(HKEY recordKey, int depth) = 0;
};

/// Opens a document through the shell: file name and verb, in the "ShellDoc" subkey.
class CShellDocPayload : public CUserActionPayload {
public:
    LONG Save(HKEY recordKey) const override;
    void Load(HKEY recordKey, int depth) override;

    CString m_strFileName;
    CString m_strVerb;
};

/// The placeholders of the registered-action, DLL-call and COM-call kinds: nothing stored.
class CRegisteredActionPayload : public CUserActionPayload {
public:
    LONG Save(HKEY) const override { return ERROR_SUCCESS; }
    void Load(HKEY, int) override {}
};
class CDllCallPayload : public CUserActionPayload {
public:
    LONG Save(HKEY) const override { return ERROR_SUCCESS; }
    void Load(HKEY, int) override {}
};
class CComCallPayload : public CUserActionPayload {
public:
    LONG Save(HKEY) const override { return ERROR_SUCCESS; }
    void Load(HKEY, int) override {}
};

/// One action. Records own their payload, so they are moved, never copied.
class CUserAction {
public:
    CUserAction() = default;
    CUserAction(CUserAction&&) noexcept = default;
    CUserAction& operator=(CUserAction&&) noexcept = default;
    CUserAction(const CUserAction&) = delete;
    CUserAction& operator=(const CUserAction&) = delete;
    ~CUserAction();

    /// Creates (or opens) the subkey named m_strName below parent and writes the record and
    /// its payload into it. The error of the creation, else the result of closing the key.
    LONG Save(HKEY parent) const;
    /// Reads the values and the payload from the record's own key (the name is the caller's).
    void Load(HKEY key, int depth = 0);

    /// The nested list of a list record; null for every other kind.
    CUserActionList* GetList() const;

    CString m_strName;
    CString m_strText;
    CString m_strDescription;
    CString m_strProvider;
    DWORD m_dwModifier = 0;
    DWORD m_dwType = kActionPlain;
    std::unique_ptr<CUserActionPayload> m_pPayload;
};

/// An ordered list of actions. A record keeps its address while it is in the list, so
/// windows may point at it.
class CUserActionList : public CUserActionPayload {
public:
    /// Creates "ActionList" below owner and saves every record into it, in list order.
    LONG Save(HKEY owner) const override;
    /// Opens "ActionList" below owner and appends every record found in it.
    void Load(HKEY owner, int depth = 0) override;

    /// Appends the record and returns it in its place in the list.
    CUserAction& Add(CUserAction&& action);
    const std::list<CUserAction>& Items() const { return m_items; }
    std::list<CUserAction>& Items() { return m_items; }
    bool IsEmpty() const { return m_items.empty(); }
    int GetCount() const { return static_cast<int>(m_items.size()); }

private:
    std::list<CUserAction> m_items;
};

/// FALSE when a record of the list has exactly this name (letter case counts).
BOOL IsNameFree(const CUserActionList& list, const CString& name);
/// The name with its trailing decimal number plus one ("A" gives "A1", "A9" "A10",
/// "A007" "A8"); works on the digits themselves, so no run of digits is too long.
CString NextName(const CString& name);
/// The registry path of the list root below HKEY_CURRENT_USER.
CString UserActionRootKey();
