#include "plugin3d/forms/string_resource.h"

#include "platform/forms/form_resource.h"

IMPLEMENT_TCLASS(TStringResource, TComponent)

void TStringResource::Create(void* owner)
{
    TComponent::Create(owner);
    m_data = TStringList::New();
}

void TStringResource::BeforeDestruction()
{
    FreeAndNil(m_data);
    TComponent::BeforeDestruction();
}

void TStringResource::SetData(TStringList* list)
{
    if (list)
        m_data->Assign(list);
    else
        m_data->Clear();
}

void TStringResource::ReadLayout(const TControlResource& record)
{
    TControlResource rest = record;
    rest.items = {};
    TComponent::ReadLayout(rest);
    m_data->Clear();
    for (const char* line : record.items) m_data->Add(line);
}

namespace {

void StringResourceInit()
{
    const TClass classes[] = {TStringResource::StaticClass()};
    RegisterClasses(classes);
}

void StringResourceFinal()
{
    const TClass classes[] = {TStringResource::StaticClass()};
    UnregisterClasses(classes);
}

}  // namespace

const TUnitInfo kStringResourceUnit = {"StringResource", StringResourceInit, StringResourceFinal};
