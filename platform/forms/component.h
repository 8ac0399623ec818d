#pragma once

// TComponent: an object with an owner, a name and a tag. An owner frees the components it
// owns when it is freed; a component told about another with FreeNotification hears
// (Notification with opRemove) when that one goes. Components live on the user-interface
// thread.

#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/object.h"

enum TOperation { opInsert, opRemove };

class THandler;
struct TControlResource;

class PLATFORM_API TComponent : public TPersistent {
public:
    /// Components are owned by components: New takes a TComponent, so that the owner's
    /// address is the one Create expects.
    using TOwnerType = TComponent*;

    DECLARE_TCLASS(TComponent)

    /// Joins owner's components; owner is a TComponent* (passed as such) or null.
    void Create(void* owner) override;
    /// Tells the components that asked for it, leaves the owner and frees the owned components.
    void BeforeDestruction() override;

    TComponent* Owner() const { return m_owner; }
    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Component(int index) const;

    const std::string& Name() const { return m_name; }
    virtual void SetName(const std::string& name) { m_name = name; }
    std::intptr_t Tag() const { return m_tag; }
    void SetTag(std::intptr_t tag) { m_tag = tag; }

    /// The owned component named name (ASCII case ignored); null when none is.
    TComponent* FindComponent(std::string_view name) const;

    /// Adds component to the owned ones (leaving its previous owner); null is ignored.
    void InsertComponent(TComponent* component);
    /// Takes component out of the owned ones without freeing it.
    void RemoveComponent(TComponent* component);
    /// Frees the owned components, the last inserted first.
    void DestroyComponents();

    // --- layouts (platform/forms/form_resource.h) ------------------------------------------------
    /// Takes the common fields of its layout record (the form has made the component, named
    /// it and set its tag); the base raises EComponentError for fields only controls take.
    virtual void ReadLayout(const TControlResource& record);
    /// Sets a property by its layout name from text; false when the class has no such
    /// property (`form` finds components that the value names). Raises EConvertError for a
    /// value the property cannot take.
    virtual bool SetProperty(std::string_view name, std::string_view value, TComponent* form);
    /// Binds a handler to the event of that name; false when the class has no such event.
    /// Raises EComponentError when the handler is of another type than the event.
    virtual bool SetEvent(std::string_view name, const THandler& handler);
    /// All properties and events of the layout are set.
    virtual void Loaded() {}

    /// component will hear when this one is freed; both sides forget it when either goes.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    TComponent() = default;
    ~TComponent() override;
    /// component was inserted into or removed from the owned ones, or is being freed
    /// while this one asked to hear about it. The base does nothing.
    virtual void Notification(TComponent* component, TOperation operation);

private:
    static void Forget(std::vector<TComponent*>& list, TComponent* component);

    TComponent* m_owner = nullptr;
    std::vector<TComponent*> m_components;
    std::vector<TComponent*> m_freeNotifies;
    std::string m_name;
    std::intptr_t m_tag = 0;
    bool m_destroying = false;
};
