// events/main_thread_posting.h: hands work from any thread to the application's main thread.
//
// Notifications: a post made on the main thread reaches the receiving centre's observers at
// once, before the post returns, whatever `waitUntilDone` says. A post made on another thread
// is queued to the main thread and reaches the default centre's observers there, whichever
// centre received it; with `waitUntilDone` the post returns after they have all run, else at
// once. Posts queued from one thread are delivered in the order they were made. A waiting post
// must not be made while the main thread itself waits for the poster.
//
// Prepared calls: invocationWithTarget() binds an operation, its target and one value per
// parameter; invokeOnMainThreadWaitUntilDone() and invokeInBackground() make the call on the
// main thread or on a new thread of its own. A pending call keeps the prepared call alive until
// it has run; without retained arguments its target and object values must be kept alive by
// their owner, or the call is skipped.
//
// An exception thrown by an observer or operation run on the main thread for a post made
// elsewhere, or in the background, is logged there and dropped.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "xrfoundation/events/invocation.h"
#include "xrfoundation/events/method_signature.h"
#include "xrfoundation/events/notification_center.h"
#include "xrfoundation/export.h"

namespace xr {

// Posts `notification` on the main thread, without waiting (see the top of this file for where
// it is delivered).
XR_EXPORT void postNotificationOnMainThread(NotificationCenter& center,
                                            const Notification& notification);
// Posts `notification` on the main thread; with `waitUntilDone`, returns after delivery.
XR_EXPORT void postNotificationOnMainThread(NotificationCenter& center,
                                            const Notification& notification, bool waitUntilDone);
// Posts a notification made of `name` and `object` on the main thread, without waiting.
XR_EXPORT void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                                    std::shared_ptr<void> object);
// Posts a notification made of these on the main thread, without waiting.
XR_EXPORT void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                                    std::shared_ptr<void> object,
                                                    std::shared_ptr<const UserInfo> userInfo);
// Posts a notification made of these on the main thread; with `waitUntilDone`, returns after
// delivery.
XR_EXPORT void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                                    std::shared_ptr<void> object,
                                                    std::shared_ptr<const UserInfo> userInfo,
                                                    bool waitUntilDone);

// The two calls that the posts above queue; they run on the main thread. _postNotification()
// posts `notification` to the default centre. _postNotificationName() posts the values packed
// under "name" (std::string), "object" (std::shared_ptr<void>) and "userInfo"
// (std::shared_ptr<const UserInfo>) to the default centre; a key left out stands for none (the
// empty name for "name"), as does a value of another type.
XR_EXPORT void _postNotification(const Notification& notification);
// See _postNotification().
XR_EXPORT void _postNotificationName(const UserInfo& packed);

// A prepared call of `selector` (&Class::operation) on `target` with `values`, one for each of
// the operation's parameters in order, each converted to the parameter's value type (a wrong
// count or an inconvertible value does not compile). With `retainArguments` the call keeps its
// target and object values alive and copies raw texts. Null when the target is null or not an
// object of the operation's class.
template <class T, class Method, class... Values>
std::shared_ptr<Invocation> invocationWithTarget(const std::shared_ptr<T>& target, Method selector,
                                                 bool retainArguments, Values&&... values);

// Runs `call` on a new thread of its own and returns at once.
XR_EXPORT void invokeInBackground(std::shared_ptr<Invocation> call);
// Queues `call` to the main thread. With `waitUntilDone` returns after it has run (on the main
// thread itself: runs it at once); without, returns at once and the call runs on a later turn of
// the main loop, also when posted from the main thread.
XR_EXPORT void invokeOnMainThreadWaitUntilDone(std::shared_ptr<Invocation> call,
                                               bool waitUntilDone);

namespace detail {

template <class Slot, class V>
void storeConverted(Invocation& call, long atIndex, V&& value) {
  static_assert(std::is_convertible_v<V&&, Slot>,
                "a value does not convert to its parameter's type");
  const Slot converted = std::forward<V>(value);
  call.setArgument(converted, atIndex);
}

template <class Method, std::size_t... I, class... Values>
void storeArguments(Invocation& call, std::index_sequence<I...>, Values&&... values) {
  using Traits = MethodTraits<Method>;
  (storeConverted<ArgumentValueType<typename Traits::template Parameter<I>>>(
       call, kFirstArgumentIndex + static_cast<long>(I), std::forward<Values>(values)),
   ...);
}

}  // namespace detail

template <class T, class Method, class... Values>
std::shared_ptr<Invocation> invocationWithTarget(const std::shared_ptr<T>& target, Method selector,
                                                 bool retainArguments, Values&&... values) {
  static_assert(std::is_member_function_pointer_v<Method>,
                "an operation is a member function: &Class::operation");
  static_assert(sizeof...(Values) == detail::MethodTraits<Method>::kArity,
                "give one value for each parameter of the operation");
  std::shared_ptr<Invocation> call = Invocation::create(target, selector);
  if (call == nullptr) return nullptr;
  // Retained first, so that every object value is kept from the moment it is stored.
  if (retainArguments) call->retainArguments();
  detail::storeArguments<Method>(*call, std::index_sequence_for<Values...>{},
                                 std::forward<Values>(values)...);
  return call;
}

}  // namespace xr
