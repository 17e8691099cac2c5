// events/invocation.h: a prepared call -- one operation (a member function) of one target
// object, with a value slot for each of the operation's parameters, ready to be made later and
// as often as wanted, on this thread or another. The event dispatcher keeps one per handler;
// the main-thread posting helpers send them across threads.
//
//   auto call = Invocation::create(view, &View::itemChanged);   // void View::itemChanged(int, ...)
//   call->setArgument(7, kFirstArgumentIndex);
//   call->invoke();
//
// Ownership. Until retainArguments() the call refers to its target and to the objects given as
// std::shared_ptr values without keeping them alive, and a raw `const char*` text stays the
// caller's; a call whose target or object value has ceased to exist is skipped, never made.
// After retainArguments() the call keeps its target and object values alive and holds its own
// copy of every raw text, also of those set later.
//
// Type safety. A value reaches a slot only if its type is exactly the parameter's value type
// (`int` for `int` or `const int&`; convert explicitly otherwise); a value of another type or a
// position outside the signature changes nothing.
//
// A prepared call takes no lock: set its values and make it from one thread at a time. Handing
// it to another thread through a queue that synchronises (the main loop, a new thread) is safe.
#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <utility>

#include "xrfoundation/events/method_signature.h"
#include "xrfoundation/export.h"

namespace xr {

// A borrowed value together with its exact type, on its way into an argument slot. It can only
// be made from a typed value, so the type it claims is always the value's own.
class XR_EXPORT ArgumentView {
 public:
  // A view of `value`, which must outlive it.
  template <class V>
  explicit ArgumentView(const V& value) : type_(typeid(V)), value_(&value) {
    static_assert(!std::is_array_v<V>, "pass arrays as pointers");
  }
  // The value's exact type.
  std::type_index type() const { return type_; }
  // The value if it is exactly a V, else null.
  template <class V>
  const V* get() const {
    return type_ == std::type_index(typeid(V)) ? static_cast<const V*>(value_) : nullptr;
  }

 private:
  std::type_index type_;
  const void* value_;
};

// Calls use(ArgumentView) with a view of value; string literals and `char*` are seen as the
// `const char*` they decay to, which lives until use() has returned.
template <class V, class Use>
decltype(auto) withArgumentView(const V& value, Use&& use) {
  if constexpr (std::is_array_v<V> || std::is_same_v<V, char*>) {
    const std::decay_t<const V&> decayed = value;
    return use(ArgumentView(decayed));
  } else {
    return use(ArgumentView(value));
  }
}

// A prepared call; see the top of this file. Made by create(), shared, used from one thread at
// a time.
class XR_EXPORT Invocation {
 public:
  // A call of `selector` (&Class::operation) on `target`, every slot empty (a value-initialised
  // value: 0, null, "") and arguments not retained. Null when the target is null or is not an
  // object of the operation's class (checked with dynamic_cast for polymorphic targets).
  template <class T, class Method>
  static std::shared_ptr<Invocation> create(const std::shared_ptr<T>& target, Method selector);

  // Releases whatever the call holds.
  virtual ~Invocation();
  // Not copyable: share the call instead.
  Invocation(const Invocation&) = delete;
  // Not copyable.
  Invocation& operator=(const Invocation&) = delete;

  // The signature of the operation the call makes.
  virtual const MethodSignature& methodSignature() const = 0;

  // Copies `value` into the slot at `atIndex` (kFirstArgumentIndex for the first parameter).
  // False, changing nothing, when the position is outside the signature or the value's type is
  // not exactly the parameter's. String literals and `char*` count as `const char*`.
  template <class V>
  bool setArgument(const V& value, long atIndex) {
    return withArgumentView(value,
                            [&](ArgumentView view) { return setArgumentValue(view, atIndex); });
  }
  // setArgument() with a value already viewed.
  virtual bool setArgumentValue(ArgumentView value, long atIndex) = 0;

  // From now on keeps the target and the object values alive and copies raw texts.
  virtual void retainArguments() = 0;
  // Whether retainArguments() has been called.
  virtual bool argumentsRetained() const = 0;

  // Whether `target` is this call's target: the same object, also after it has ceased to exist
  // (a later object at the same address is another one). The object, not its owner: two
  // objects that share one owner (members of one object, aliasing shared_ptrs) are two
  // targets (but for an object and its first member, which share their address). Pass the
  // target as the pointer it was made with, or as one to the operation's class or (for a
  // polymorphic class) to the whole object.
  virtual bool hasTarget(const std::shared_ptr<const void>& target) const = 0;

  // Whether the target has ceased to exist, so that the call can never be made again.
  virtual bool targetGone() const = 0;

  // Makes the call on the calling thread with the slots' values; its result is dropped. False,
  // without calling, when the target or an object value set non-null has ceased to exist.
  // Exceptions of the operation pass to the caller.
  virtual bool invoke() = 0;

 protected:
  // For the implementation made by create().
  Invocation() = default;
};

namespace detail {

// The value a parameter of type P takes, which is what its slot stores.
template <class P>
using ArgumentValueType = std::remove_cvref_t<P>;

// An ordinary value: copied in, passed as is.
template <class V>
class ArgumentSlot {
 public:
  using Lease = const V&;
  void set(const V& value, bool /*held*/) { value_ = value; }
  void hold() {}
  Lease lease() const { return value_; }
  bool usable(Lease) const { return true; }

 private:
  V value_{};
};

// An object: referred to weakly until held, then kept alive.
template <class U>
class ArgumentSlot<std::shared_ptr<U>> {
 public:
  using Lease = std::shared_ptr<U>;
  void set(const std::shared_ptr<U>& value, bool held) {
    weak_ = value;
    strong_ = held ? value : nullptr;
    present_ = value != nullptr;
  }
  void hold() { strong_ = weak_.lock(); }
  Lease lease() const { return strong_ ? strong_ : weak_.lock(); }
  // An object that was set and has gone is not passed on as null: the call is skipped.
  bool usable(const Lease& lease) const { return lease != nullptr || !present_; }

 private:
  std::weak_ptr<U> weak_;
  std::shared_ptr<U> strong_;
  bool present_ = false;  // a non-null value was set
};

// A raw text: the caller's until held, then the call's own copy.
template <>
class ArgumentSlot<const char*> {
 public:
  using Lease = const char*;
  void set(const char* value, bool held) {
    raw_ = value;
    copied_ = false;
    if (held) hold();
  }
  void hold() {
    if (raw_ == nullptr || copied_) return;
    copy_ = raw_;
    copied_ = true;
  }
  Lease lease() const { return copied_ ? copy_.c_str() : raw_; }
  bool usable(Lease) const { return true; }

 private:
  const char* raw_ = nullptr;
  std::string copy_;
  bool copied_ = false;
};

template <class P>
inline constexpr bool kPassableParameter =
    !std::is_rvalue_reference_v<P> &&
    !(std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>);

template <class Method, class Indices = std::make_index_sequence<MethodTraits<Method>::kArity>>
class BoundInvocation;

template <class Method, std::size_t... I>
class BoundInvocation<Method, std::index_sequence<I...>> final : public Invocation {
  using Traits = MethodTraits<Method>;
  using Target = typename Traits::Target;
  template <std::size_t K>
  using Value = ArgumentValueType<typename Traits::template Parameter<K>>;

  static_assert((kPassableParameter<typename Traits::template Parameter<I>> && ...),
                "a prepared call passes the values it stores: parameters must be values or "
                "const references");
  static_assert(((std::is_default_constructible_v<Value<I>> &&
                  std::is_copy_constructible_v<Value<I>>)&&...),
                "a parameter's value type must be default-constructible and copyable");

 public:
  // `given` and `whole` are the target's address as the caller gave it and of the whole
  // object; either may name it at removal besides the address as a Target.
  BoundInvocation(const std::shared_ptr<Target>& target, Method method, const void* given,
                  const void* whole)
      : weakTarget_(target), method_(method), addresses_{given, whole, target.get()} {}

  const MethodSignature& methodSignature() const override {
    static const MethodSignature signature = MethodSignature::of(Method{});
    return signature;
  }

  bool setArgumentValue([[maybe_unused]] ArgumentView value,
                        [[maybe_unused]] long atIndex) override {
    bool stored = false;
    ((atIndex == kFirstArgumentIndex + static_cast<long>(I) && (stored = storeAt<I>(value))), ...);
    return stored;
  }

  void retainArguments() override {
    if (held_) return;
    held_ = true;
    strongTarget_ = weakTarget_.lock();
    (std::get<I>(slots_).hold(), ...);
  }
  bool argumentsRetained() const override { return held_; }

  bool hasTarget(const std::shared_ptr<const void>& target) const override {
    // The address tells the object among those of one owner; the owner tells a later object
    // at the same address.
    const void* address = target.get();
    return (address == addresses_[0] || address == addresses_[1] || address == addresses_[2]) &&
           !weakTarget_.owner_before(target) && !target.owner_before(weakTarget_);
  }

  bool targetGone() const override {
    return held_ ? strongTarget_ == nullptr : weakTarget_.expired();
  }

  bool invoke() override {
    const std::shared_ptr<Target> target = held_ ? strongTarget_ : weakTarget_.lock();
    if (!target) return false;
    // Each object value is locked once, so that it cannot go between the check and the call.
    [[maybe_unused]] std::tuple<typename ArgumentSlot<Value<I>>::Lease...> leases{
        std::get<I>(slots_).lease()...};
    if (!(std::get<I>(slots_).usable(std::get<I>(leases)) && ...)) return false;
    std::invoke(method_, *target, std::get<I>(leases)...);
    return true;
  }

 private:
  template <std::size_t K>
  bool storeAt(ArgumentView value) {
    const Value<K>* typed = value.get<Value<K>>();
    if (typed == nullptr) return false;
    std::get<K>(slots_).set(*typed, held_);
    return true;
  }

  std::weak_ptr<Target> weakTarget_;
  std::shared_ptr<Target> strongTarget_;  // set while held
  Method method_;
  const void* addresses_[3];  // of the target: as given, as a whole, as a Target
  std::tuple<ArgumentSlot<Value<I>>...> slots_;
  bool held_ = false;
};

}  // namespace detail

template <class T, class Method>
std::shared_ptr<Invocation> Invocation::create(const std::shared_ptr<T>& target, Method selector) {
  static_assert(std::is_member_function_pointer_v<Method>,
                "an operation is a member function: &Class::operation");
  using Target = typename detail::MethodTraits<Method>::Target;
  if (target == nullptr || selector == nullptr) return nullptr;
  std::shared_ptr<Target> bound;
  if constexpr (std::is_convertible_v<T*, Target*>) {
    bound = target;
  } else if constexpr (std::is_polymorphic_v<T> &&
                       (std::is_const_v<Target> || !std::is_const_v<T>)) {
    bound = std::dynamic_pointer_cast<Target>(target);
  }
  if (bound == nullptr) return nullptr;
  const void* given = static_cast<const void*>(target.get());
  const void* whole = given;
  if constexpr (std::is_polymorphic_v<T>) whole = dynamic_cast<const void*>(target.get());
  return std::make_shared<detail::BoundInvocation<Method>>(bound, selector, given, whole);
}

}  // namespace xr
