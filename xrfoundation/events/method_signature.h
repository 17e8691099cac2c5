// events/method_signature.h: the run-time description of an operation's result type and
// parameter types, in order, so that prepared calls (invocation.h) and the event dispatcher can
// check at run time that an operation fits the calls they will make. Signatures are small
// values; copy them freely and compare them with ==.
//
// Parameters are described by the value they take: `void(const std::string&)` and
// `void(std::string)` describe the same operation, as both are called with a string.
#pragma once
#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// Argument positions count as the platform's prepared call always has: position 0 stands for
// the target and 1 for the operation, so an operation's first parameter is at position 2.
inline constexpr long kFirstArgumentIndex = 2;

namespace detail {

// What a member-function pointer tells about its operation. Ref-qualified member functions
// are not operations a prepared call can make, and have no entry.
template <class Method>
struct MethodTraits;

template <class C, class R, bool kIsConst, class... A>
struct MethodTraitsBase {
  using Class = C;
  using Result = R;
  // The object a call is made on: a const operation may be called on a const target.
  using Target = std::conditional_t<kIsConst, const C, C>;
  static constexpr std::size_t kArity = sizeof...(A);
  template <std::size_t I>
  using Parameter = std::tuple_element_t<I, std::tuple<A...>>;
};

template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...)> : MethodTraitsBase<C, R, false, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) const> : MethodTraitsBase<C, R, true, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) noexcept> : MethodTraitsBase<C, R, false, A...> {};
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...) const noexcept> : MethodTraitsBase<C, R, true, A...> {};

template <class F>
struct FunctionTraits;
template <class R, class... A>
struct FunctionTraits<R(A...)> {
  using Result = R;
};

}  // namespace detail

// An operation's result type and parameter types, in order; equal when all of them are.
class XR_EXPORT MethodSignature {
 public:
  // The signature of a function type: MethodSignature::of<void(int, std::shared_ptr<Item>)>().
  template <class F>
  static MethodSignature of() {
    return ofFunction(static_cast<F*>(nullptr));
  }
  // The signature of a member function: MethodSignature::of(&View::itemChanged).
  template <class Method>
  requires std::is_member_function_pointer_v<Method>
  static MethodSignature of(Method) { return ofMethod(static_cast<Method*>(nullptr)); }

  // The operation's result type.
  std::type_index resultType() const { return result_; }
  // The operation's own parameters, the first at index 0 (argument position 2).
  std::size_t parameterCount() const { return parameters_.size(); }
  // The type of parameter `index` (from 0); throws std::out_of_range past the last one.
  std::type_index parameterType(std::size_t index) const { return parameters_.at(index); }
  // Whether a value of exactly `type` fits argument position `atIndex` (2 and up).
  bool acceptsArgument(long atIndex, std::type_index type) const;

  // "void(int, std::shared_ptr<Item>)", with the compiler's names for the types; for messages.
  std::string describe() const;

  // Same result and parameter types.
  friend bool operator==(const MethodSignature&, const MethodSignature&) = default;

 private:
  MethodSignature(std::type_index result, std::vector<std::type_index> parameters)
      : result_(result), parameters_(std::move(parameters)) {}

  template <class R, class... A>
  static MethodSignature ofFunction(R (*)(A...)) {
    return MethodSignature(typeid(R), {std::type_index(typeid(A))...});
  }
  template <class Method>
  static MethodSignature ofMethod(Method*) {
    return ofMethodParameters<Method>(
        std::make_index_sequence<detail::MethodTraits<Method>::kArity>{});
  }
  template <class Method, std::size_t... I>
  static MethodSignature ofMethodParameters(std::index_sequence<I...>) {
    using Traits = detail::MethodTraits<Method>;
    return MethodSignature(typeid(typename Traits::Result),
                           {std::type_index(typeid(typename Traits::template Parameter<I>))...});
  }

  // typeid() leaves out references and top-level const, which is what makes a `const T&`
  // parameter and a `T` parameter the same.
  std::type_index result_;
  std::vector<std::type_index> parameters_;
};

}  // namespace xr
