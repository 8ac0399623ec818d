#include "platform/forms/object.h"

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"

bool TClassInfo::InheritsFrom(TClass cls) const
{
    if (!cls) return false;
    for (TClass c = this; c; c = c->parent)
        if (c == cls) return true;
    return false;
}

TObject* TClassInfo::Construct(void* owner) const
{
    if (!make) throw EInvalidOperation(Format("Cannot create an instance of the abstract class %s", name));
    TObject* object = make();
    try {
        object->Create(owner);
    } catch (...) {
        object->Free();
        throw;
    }
    return object;
}

TClass TObject::StaticClass()
{
    static const TClassInfo info{"TObject", nullptr, TClassFactory<TObject>::kMake};
    return &info;
}

TClass TObject::ClassType() const
{
    return StaticClass();
}

void TObject::Create(void*) {}

void TObject::BeforeDestruction() {}

void TObject::Free()
{
    BeforeDestruction();
    delete this;
}

IMPLEMENT_TCLASS(TPersistent, TObject)

void TPersistent::Assign(TPersistent* source)
{
    if (!source) AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest)
{
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const
{
    throw EConvertError(
        Format("Cannot assign a %s to a %s", source ? source->ClassName() : "nil", ClassName()));
}
