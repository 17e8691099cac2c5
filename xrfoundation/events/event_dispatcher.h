// events/event_dispatcher.h: a list of handlers for one kind of event. A handler is a target
// object and one of its operations (a member function); every handler's operation has the
// signature fixed when the dispatcher is made. The event's owner sets the argument values once
// for all handlers, then fires: each handler is called with them in the order the handlers were
// added, on the calling thread or on the main thread.
//
//   auto changed = EventDispatcher::create(MethodSignature::of<void(int)>());
//   changed->addEventHandler(view, &View::countChanged);
//   changed->setArgument(7, kFirstArgumentIndex);
//   changed->fireEvent();
//
// Until argumentsRetained() the dispatcher keeps neither its targets nor object values alive:
// a handler whose target has ceased to exist is skipped, and dropped from the list the next
// time the list changes or is fired, so that targets need not unsubscribe. The dispatcher takes no
// lock: add, remove, set arguments and fire from one thread at a time, as a rule the main thread. A
// handler may add and remove handlers while it is being fired: the firing walks the list as it
// was when it began, skipping handlers removed since; handlers added start with the next firing.
#pragma once
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

#include "xrfoundation/events/invocation.h"
#include "xrfoundation/events/method_signature.h"
#include "xrfoundation/export.h"

namespace xr {

// The operations of an event dispatcher; see the top of this file.
class XR_EXPORT IEventDispatcher {
 public:
  virtual ~IEventDispatcher() = default;

  // The signature every handler's operation has.
  virtual const MethodSignature& getMethodSignature() const = 0;

  // Appends a handler calling `selector` (&Class::operation) on `target`, with empty values:
  // values set and retention asked for earlier do not reach it. False, and nothing added, when
  // the operation's signature is another or the target is null or not of the operation's class.
  template <class T, class Method>
  bool addEventHandler(const std::shared_ptr<T>& target, Method selector) {
    std::shared_ptr<Invocation> handler = Invocation::create(target, selector);
    return handler != nullptr && appendHandler(std::move(handler));
  }

  // Removes the first handler whose target is `target` (the same object, not merely one of the
  // same owner: see Invocation::hasTarget); nothing if none.
  virtual void removeOneEventHandler(const std::shared_ptr<const void>& target) = 0;
  // Removes every handler whose target is `target`; the others keep their order.
  virtual void removeAllEventHandler(const std::shared_ptr<const void>& target) = 0;

  // Copies `value` into position `atIndex` (kFirstArgumentIndex for the first parameter) of
  // every current handler. False, changing nothing, when the position is outside the signature
  // or the value is not exactly of the parameter's value type.
  template <class V>
  bool setArgument(const V& value, long atIndex) {
    return withArgumentView(value,
                            [&](ArgumentView view) { return setArgumentValue(view, atIndex); });
  }
  // setArgument() with a value already viewed.
  virtual bool setArgumentValue(ArgumentView value, long atIndex) = 0;

  // Every current handler keeps its target and object values alive from now on.
  virtual void argumentsRetained() = 0;

  // Calls every handler, in order, on the calling thread. Exceptions of a handler pass to the
  // caller and end the firing.
  virtual void fireEvent() = 0;
  // On the main thread: fireEvent() at once, whatever `wait` says. Elsewhere: queues the firing
  // to the main thread and, with `wait`, returns after it has run. The handlers receive the
  // values their slots hold when the firing runs.
  virtual void fireEventInMainThread(bool wait) = 0;

 protected:
  // Appends a prepared handler; false, adding nothing, when its signature is another.
  virtual bool appendHandler(std::shared_ptr<Invocation> handler) = 0;
};

// The event dispatcher; see the top of this file. Made by create().
class XR_EXPORT EventDispatcher final : public IEventDispatcher,
                                        public std::enable_shared_from_this<EventDispatcher> {
 public:
  // An empty dispatcher for handlers whose operations have `signature`.
  static std::shared_ptr<EventDispatcher> create(MethodSignature signature);

  // IEventDispatcher's operations, as described there.
  const MethodSignature& getMethodSignature() const override { return signature_; }
  void removeOneEventHandler(const std::shared_ptr<const void>& target) override;
  void removeAllEventHandler(const std::shared_ptr<const void>& target) override;
  bool setArgumentValue(ArgumentView value, long atIndex) override;
  void argumentsRetained() override;
  void fireEvent() override;
  // The firing queued by fireEventInMainThread(); the same as fireEvent().
  void invokeInMainThread() { fireEvent(); }
  // As IEventDispatcher::fireEventInMainThread.
  void fireEventInMainThread(bool wait) override;

  // Handlers in the list, counting those whose target has gone until they are dropped.
  std::size_t handlerCount() const { return arrayInvocation_->size(); }

 private:
  using HandlerList = std::vector<std::shared_ptr<Invocation>>;

  explicit EventDispatcher(MethodSignature signature);
  bool appendHandler(std::shared_ptr<Invocation> handler) override;
  void replaceHandlers(HandlerList handlers);

  // Replaced as a whole on every change, never changed in place, so that a firing keeps
  // walking the list it began with.
  std::shared_ptr<const HandlerList> arrayInvocation_;
  MethodSignature signature_;
};

}  // namespace xr
