#pragma once

// The root of the 3D plug-in's objects and forms: class records, TObject and TPersistent.
//
// Every class has one record (name, parent, factory). A class reference (TClass) points at
// it, so code can construct an object of a class it only knows at run time (registries,
// the project loader) and test the class of an object it holds as untyped data.
//
// Construction by class runs in two phases: the factory runs the C++ constructor, then the
// virtual Create(owner), which can reach the most derived class's overrides (a C++
// constructor cannot). Objects made this way are freed with Free(), which runs
// BeforeDestruction while the object is still whole.
//
// A class declares itself with DECLARE_TCLASS(Self) first in its body and defines its
// record with IMPLEMENT_TCLASS(Self, Parent) in its source file.

#include <memory>
#include <type_traits>

#include "platform/types.h"

class TObject;
struct TClassInfo;

/// A class reference: the address of the class's record; null for no class.
using TClass = const TClassInfo*;

/// One record per class.
struct PLATFORM_API TClassInfo {
    const char* name;
    TClass parent;
    /// Runs the C++ constructor only; null for an abstract class.
    TObject* (*make)();

    /// True when this class is cls or one of its descendants; false for a null cls.
    bool InheritsFrom(TClass cls) const;
    /// Constructs an object of this class and runs its Create(owner). Raises
    /// EInvalidOperation for an abstract class. When Create fails the object is freed and
    /// the exception passes on.
    TObject* Construct(void* owner = nullptr) const;
};

/// The factory behind a class record: the C++ constructor, or null for abstract classes.
template <class T>
struct TClassFactory {
    static TObject* Make()
    {
        if constexpr (std::is_abstract_v<T>)
            return nullptr;
        else
            return new T;
    }
    static constexpr TObject* (*kMake)() = std::is_abstract_v<T> ? nullptr : &Make;
};

/// Declares the class record of Self; put it first in the class body. Leaves the access
/// public. Self::New(owner) constructs by class and returns a Self*; its owner has the
/// type the class family takes (TOwnerType: any address for model objects, a TComponent
/// for components).
#define DECLARE_TCLASS(Self)                                        \
public:                                                             \
    static TClass StaticClass();                                    \
    TClass ClassType() const override;                              \
    static Self* New(TOwnerType owner = nullptr)                    \
    {                                                               \
        return static_cast<Self*>(StaticClass()->Construct(owner)); \
    }                                                               \
    friend struct TClassFactory<Self>;

/// Defines the class record of Self, whose parent class is Parent.
#define IMPLEMENT_TCLASS(Self, Parent)                                                          \
    TClass Self::StaticClass()                                                                  \
    {                                                                                           \
        static const TClassInfo info{#Self, Parent::StaticClass(), TClassFactory<Self>::kMake}; \
        return &info;                                                                           \
    }                                                                                           \
    TClass Self::ClassType() const                                                              \
    {                                                                                           \
        return StaticClass();                                                                   \
    }

/// The one root of the plug-in's objects.
class PLATFORM_API TObject {
public:
    /// What Create(owner) takes, as New declares it.
    using TOwnerType = void*;

    TObject() = default;
    virtual ~TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    static TClass StaticClass();
    /// The record of the object's own (most derived) class.
    virtual TClass ClassType() const;
    const char* ClassName() const { return ClassType()->name; }
    TClass ClassParent() const { return ClassType()->parent; }
    bool InheritsFrom(TClass cls) const { return ClassType()->InheritsFrom(cls); }

    /// The second phase of construction by class; the base does nothing.
    virtual void Create(void* owner);
    /// Runs first when the object is freed, while it is whole; the base does nothing.
    virtual void BeforeDestruction();
    /// BeforeDestruction, then the destructor. The way to free an object.
    void Free();

    friend struct TClassFactory<TObject>;
};

/// Frees a non-null object.
inline void FreeObject(TObject* object)
{
    if (object) object->Free();
}
/// Frees the object and clears the pointer.
template <class T>
void FreeAndNil(T*& object)
{
    T* freed = object;
    object = nullptr;
    if (freed) freed->Free();
}

/// Deleter for owning smart pointers of TObject descendants.
struct TObjectFree {
    void operator()(TObject* object) const { FreeObject(object); }
};
/// An object owned by one place and freed through Free when it goes.
template <class T>
using TOwned = std::unique_ptr<T, TObjectFree>;

/// The object, when it is one of cls or its descendants; else null (also for null).
template <class T>
T* ObjectAs(TObject* object)
{
    return object && object->InheritsFrom(T::StaticClass()) ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* ObjectAs(const TObject* object)
{
    return object && object->InheritsFrom(T::StaticClass()) ? static_cast<const T*>(object) : nullptr;
}

/// An object that can copy its values from another: Assign asks the source (AssignTo);
/// a class that can copy from a source overrides Assign, and one that can copy into a
/// destination overrides AssignTo. What neither side knows raises the "cannot assign" error.
class PLATFORM_API TPersistent : public TObject {
    DECLARE_TCLASS(TPersistent)

    /// Copies from source; the base hands over to source->AssignTo(this), and a null
    /// source raises EConvertError.
    virtual void Assign(TPersistent* source);
    /// Copies this object into dest; the base raises EConvertError "Cannot assign a <this
    /// class> to a <dest class>".
    virtual void AssignTo(TPersistent* dest);

protected:
    /// Raises the "cannot assign" error for this object as destination.
    [[noreturn]] void AssignError(const TPersistent* source) const;
};
