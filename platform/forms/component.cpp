#include "platform/forms/component.h"

#include <algorithm>

#include "platform/forms/exceptions.h"
#include "platform/forms/form_resource.h"
#include "platform/forms/format.h"

IMPLEMENT_TCLASS(TComponent, TPersistent)

void TComponent::Create(void* owner)
{
    if (owner) static_cast<TComponent*>(owner)->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Freed without Free: still leave the owner and free the owned ones.
    TComponent::BeforeDestruction();
}

void TComponent::BeforeDestruction()
{
    if (m_destroying) return;
    m_destroying = true;
    while (!m_freeNotifies.empty()) {
        TComponent* other = m_freeNotifies.back();
        m_freeNotifies.pop_back();
        Forget(other->m_freeNotifies, this);
        other->Notification(this, opRemove);
    }
    if (m_owner) m_owner->RemoveComponent(this);
    DestroyComponents();
}

TComponent* TComponent::Component(int index) const
{
    return index >= 0 && index < ComponentCount() ? m_components[static_cast<std::size_t>(index)] : nullptr;
}

void TComponent::Forget(std::vector<TComponent*>& list, TComponent* component)
{
    const auto it = std::find(list.begin(), list.end(), component);
    if (it != list.end()) list.erase(it);
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty()) return nullptr;
    for (TComponent* component : m_components)
        if (SameText(component->m_name, name)) return component;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component == this || component->m_owner == this) return;
    if (component->m_owner) component->m_owner->RemoveComponent(component);
    m_components.push_back(component);
    component->m_owner = this;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    if (!component || component->m_owner != this) return;
    Notification(component, opRemove);
    Forget(m_components, component);
    component->m_owner = nullptr;
}

void TComponent::DestroyComponents()
{
    while (!m_components.empty()) {
        TComponent* component = m_components.back();
        RemoveComponent(component);
        component->Free();
    }
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this) return;
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), component) == m_freeNotifies.end()) {
        m_freeNotifies.push_back(component);
        component->m_freeNotifies.push_back(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (!component) return;
    Forget(m_freeNotifies, component);
    Forget(component->m_freeNotifies, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::ReadLayout(const TControlResource& record)
{
    if (!record.items.empty() || record.checked || record.page >= 0 || record.caption || record.parent ||
        record.bounds.width || record.bounds.height || record.align != alNone || !record.visible ||
        !record.enabled || record.font.name)
        throw EComponentError(Format("%s cannot take the layout of a control", ClassName()));
}

bool TComponent::SetProperty(std::string_view, std::string_view, TComponent*)
{
    return false;
}

bool TComponent::SetEvent(std::string_view, const THandler&)
{
    return false;
}
