#pragma once

// Method pointers: a member function bound to its object, as a pair of plain values (code,
// data) that can be stored, compared and called. Event handlers, job methods and click
// handlers are method pointers. The empty value (no code) is "not a method": adding it as
// a handler or running it as a job does nothing.
//
//   TNotifyEvent onClick = TNotifyEvent::Of<&CMyForm::OpenClick>(this);
//   onClick(sender);

#include <utility>

template <class Sig>
class TMethod;

namespace tmethod_detail {
template <class M>
struct MemberClass;
template <class C, class R, class... A>
struct MemberClass<R (C::*)(A...)> {
    using type = C;
};
}  // namespace tmethod_detail

template <class R, class... A>
class TMethod<R(A...)> {
public:
    /// The code: a function that calls the bound member on data.
    using Code = R (*)(void* data, A... args);

    constexpr TMethod() = default;
    constexpr TMethod(Code code, void* data) : m_code(code), m_data(data) {}

    /// Binds the member function Member to object. Two bindings of the same member to the
    /// same object compare equal.
    template <auto Member>
    static TMethod Of(typename tmethod_detail::MemberClass<decltype(Member)>::type* object)
    {
        return TMethod(&Call<Member>, object);
    }

    /// Whether a method is set (the empty value is not a method).
    bool IsAssigned() const { return m_code != nullptr; }
    explicit operator bool() const { return IsAssigned(); }
    Code code() const { return m_code; }
    void* data() const { return m_data; }

    R operator()(A... args) const { return m_code(m_data, std::forward<A>(args)...); }

    friend bool operator==(const TMethod& a, const TMethod& b) = default;

private:
    template <auto Member>
    static R Call(void* data, A... args)
    {
        using C = typename tmethod_detail::MemberClass<decltype(Member)>::type;
        return (static_cast<C*>(data)->*Member)(std::forward<A>(args)...);
    }

    Code m_code = nullptr;
    void* m_data = nullptr;
};

class TObject;
/// The plain event of the class library: sender only (clicks and the like).
using TNotifyEvent = TMethod<void(TObject* sender)>;
