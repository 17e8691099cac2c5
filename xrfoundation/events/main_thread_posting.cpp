#include "xrfoundation/events/main_thread_posting.h"

#include <any>

#include "xrfoundation/events/posted_call_internal.h"
#include "xrfoundation/platform/main_thread.h"

namespace xr {
namespace {

// The keys under which a name post travels to the main thread.
constexpr char kNameKey[] = "name";
constexpr char kObjectKey[] = "object";
constexpr char kUserInfoKey[] = "userInfo";

template <class V>
V packedValue(const UserInfo& packed, const char* key) {
  auto found = packed.find(key);
  if (found == packed.end()) return V{};
  const V* value = std::any_cast<V>(&found->second);
  return value != nullptr ? *value : V{};
}

}  // namespace

void postNotificationOnMainThread(NotificationCenter& center, const Notification& notification) {
  postNotificationOnMainThread(center, notification, false);
}

void postNotificationOnMainThread(NotificationCenter& center, const Notification& notification,
                                  bool waitUntilDone) {
  IMainThread& main = mainThread();
  if (main.isMainThread()) {
    center.postNotification(notification);
    return;
  }
  main.post(
      [notification] {
        internal::runPostedCall("postNotificationOnMainThread",
                                [&] { _postNotification(notification); });
      },
      waitUntilDone);
}

void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                          std::shared_ptr<void> object) {
  postNotificationOnMainThreadWithName(center, std::move(name), std::move(object), nullptr, false);
}

void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                          std::shared_ptr<void> object,
                                          std::shared_ptr<const UserInfo> userInfo) {
  postNotificationOnMainThreadWithName(center, std::move(name), std::move(object),
                                       std::move(userInfo), false);
}

void postNotificationOnMainThreadWithName(NotificationCenter& center, std::string name,
                                          std::shared_ptr<void> object,
                                          std::shared_ptr<const UserInfo> userInfo,
                                          bool waitUntilDone) {
  IMainThread& main = mainThread();
  if (main.isMainThread()) {
    center.postNotificationName(std::move(name), std::move(object), std::move(userInfo));
    return;
  }
  UserInfo packed;
  packed.emplace(kNameKey, std::move(name));
  if (object != nullptr) packed.emplace(kObjectKey, std::move(object));
  if (userInfo != nullptr) packed.emplace(kUserInfoKey, std::move(userInfo));
  main.post(
      [packed = std::move(packed)] {
        internal::runPostedCall("postNotificationOnMainThreadWithName",
                                [&] { _postNotificationName(packed); });
      },
      waitUntilDone);
}

void _postNotification(const Notification& notification) {
  NotificationCenter::defaultCenter().postNotification(notification);
}

void _postNotificationName(const UserInfo& packed) {
  NotificationCenter::defaultCenter().postNotificationName(
      packedValue<std::string>(packed, kNameKey),
      packedValue<std::shared_ptr<void>>(packed, kObjectKey),
      packedValue<std::shared_ptr<const UserInfo>>(packed, kUserInfoKey));
}

void invokeInBackground(std::shared_ptr<Invocation> call) {
  if (call == nullptr) return;
  runInBackground([call = std::move(call)] {
    internal::runPostedCall("invokeInBackground", [&] { call->invoke(); });
  });
}

void invokeOnMainThreadWaitUntilDone(std::shared_ptr<Invocation> call, bool waitUntilDone) {
  if (call == nullptr) return;
  IMainThread& main = mainThread();
  if (waitUntilDone && main.isMainThread()) {
    call->invoke();  // the caller is right here to receive what the call throws
    return;
  }
  main.post(
      [call = std::move(call)] {
        internal::runPostedCall("invokeOnMainThreadWaitUntilDone", [&] { call->invoke(); });
      },
      waitUntilDone);
}

}  // namespace xr
