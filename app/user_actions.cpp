#include "app/user_actions.h"

LONG CShellDocPayload::Save(HKEY) const
{
    return ERROR_SUCCESS;
}
void CShellDocPayload::Load(HKEY, int) {}

CUserAction::~CUserAction() = default;

LONG CUserAction::Save(HKEY) const
{
    return ERROR_SUCCESS;
}
void CUserAction::Load(HKEY, int) {}

CUserActionList* CUserAction::GetList() const
{
    return nullptr;
}

LONG CUserActionList::Save(HKEY) const
{
    return ERROR_SUCCESS;
}
void CUserActionList::Load(HKEY, int) {}

CUserAction& CUserActionList::Add(CUserAction&& action)
{
    return m_items.emplace_back(std::move(action));
}

BOOL IsNameFree(const CUserActionList&, const CString&)
{
    return TRUE;
}

CString NextName(const CString& name)
{
    return name;
}

CString UserActionRootKey()
{
    return {};
}
