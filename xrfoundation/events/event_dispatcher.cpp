#include "xrfoundation/events/event_dispatcher.h"

#include <algorithm>
#include <utility>

#include "xrfoundation/events/posted_call_internal.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {

std::shared_ptr<EventDispatcher> EventDispatcher::create(MethodSignature signature) {
  return std::shared_ptr<EventDispatcher>(new EventDispatcher(std::move(signature)));
}

EventDispatcher::EventDispatcher(MethodSignature signature)
    : arrayInvocation_(std::make_shared<const HandlerList>()), signature_(std::move(signature)) {}

void EventDispatcher::replaceHandlers(HandlerList handlers) {
  // Handlers whose target has gone can never be called again; they go with every change.
  std::erase_if(handlers, [](const auto& handler) { return handler->targetGone(); });
  arrayInvocation_ = std::make_shared<const HandlerList>(std::move(handlers));
}

bool EventDispatcher::appendHandler(std::shared_ptr<Invocation> handler) {
  if (!(handler->methodSignature() == signature_)) return false;
  HandlerList handlers = *arrayInvocation_;
  handlers.push_back(std::move(handler));
  replaceHandlers(std::move(handlers));
  return true;
}

void EventDispatcher::removeOneEventHandler(const std::shared_ptr<const void>& target) {
  HandlerList handlers = *arrayInvocation_;
  auto found = std::find_if(handlers.begin(), handlers.end(),
                            [&](const auto& handler) { return handler->hasTarget(target); });
  if (found != handlers.end()) handlers.erase(found);
  replaceHandlers(std::move(handlers));
}

void EventDispatcher::removeAllEventHandler(const std::shared_ptr<const void>& target) {
  HandlerList handlers = *arrayInvocation_;
  std::erase_if(handlers, [&](const auto& handler) { return handler->hasTarget(target); });
  replaceHandlers(std::move(handlers));
}

bool EventDispatcher::setArgumentValue(ArgumentView value, long atIndex) {
  // Checked against the dispatcher's own signature, so that the answer does not depend on
  // whether any handler is there to take the value.
  if (!signature_.acceptsArgument(atIndex, value.type())) return false;
  for (const std::shared_ptr<Invocation>& handler : *arrayInvocation_)
    handler->setArgumentValue(value, atIndex);
  return true;
}

void EventDispatcher::argumentsRetained() {
  for (const std::shared_ptr<Invocation>& handler : *arrayInvocation_) handler->retainArguments();
}

void EventDispatcher::fireEvent() {
  // A handler may let go of the last other reference to this dispatcher.
  const std::shared_ptr<EventDispatcher> self = weak_from_this().lock();
  const std::shared_ptr<const HandlerList> snapshot = arrayInvocation_;
  for (const std::shared_ptr<Invocation>& handler : *snapshot) {
    if (arrayInvocation_ != snapshot &&
        std::find(arrayInvocation_->begin(), arrayInvocation_->end(), handler) ==
            arrayInvocation_->end())
      continue;  // removed by an earlier handler of this firing
    handler->invoke();
  }
  const HandlerList& current = *arrayInvocation_;
  if (std::any_of(current.begin(), current.end(),
                  [](const auto& handler) { return handler->targetGone(); })) {
    replaceHandlers(current);
  }
}

void EventDispatcher::fireEventInMainThread(bool wait) {
  IMainThread& main = mainThread();
  if (main.isMainThread()) {
    fireEvent();
    return;
  }
  main.post(
      [self = shared_from_this()] {
        internal::runPostedCall("fireEventInMainThread", [&] { self->invokeInMainThread(); });
      },
      wait);
}

}  // namespace xr
