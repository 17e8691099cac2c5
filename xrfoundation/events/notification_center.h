// events/notification_center.h: the library's notification centre. Observers register for a
// notification name; a posted notification reaches every observer of its name synchronously,
// on the posting thread, in registration order, before the post returns. The process-wide
// default centre is made on first use and never destroyed; other centres are made with create().
// Every operation may be called from any thread and from inside an observer.
#pragma once
#include <any>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "xrfoundation/export.h"

namespace xr {

// A notification's user info: named values of any type.
using UserInfo = std::map<std::string, std::any, std::less<>>;

// What is posted: a name, the sender (or null) and user info (or null). A notification shares
// its sender and user info with whoever keeps a copy of it.
class XR_EXPORT Notification {
 public:
  // A notification named `name`, from `object`, carrying `userInfo`.
  explicit Notification(std::string name, std::shared_ptr<void> object = nullptr,
                        std::shared_ptr<const UserInfo> userInfo = nullptr)
      : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

  // The name observers register for.
  const std::string& name() const { return name_; }
  // The sender, or null.
  const std::shared_ptr<void>& object() const { return object_; }
  // The user info, or null.
  const std::shared_ptr<const UserInfo>& userInfo() const { return userInfo_; }

 private:
  std::string name_;
  std::shared_ptr<void> object_;
  std::shared_ptr<const UserInfo> userInfo_;
};

class NotificationCenter;

// One observer's registration: the observer is called for as long as this object lives, or
// until remove(). Once remove() has returned, no post that starts later calls the observer; a
// call already running on another thread may still be finishing.
class XR_EXPORT NotificationRegistration {
 public:
  // A registration of nothing.
  NotificationRegistration() = default;
  // Performs remove().
  ~NotificationRegistration() { remove(); }
  // Takes over other's registration; other is left registering nothing.
  NotificationRegistration(NotificationRegistration&& other) noexcept;
  // Removes this registration, then takes over other's.
  NotificationRegistration& operator=(NotificationRegistration&& other) noexcept;
  // Not copyable: one registration, one owner.
  NotificationRegistration(const NotificationRegistration&) = delete;
  // Not copyable.
  NotificationRegistration& operator=(const NotificationRegistration&) = delete;

  // Ends the registration (see above); nothing when already ended or the centre has gone.
  void remove();

 private:
  friend class NotificationCenter;
  NotificationRegistration(std::weak_ptr<NotificationCenter> center, std::uint64_t id)
      : center_(std::move(center)), id_(id) {}

  std::weak_ptr<NotificationCenter> center_;
  std::uint64_t id_ = 0;
};

// Delivers each posted notification to the observers registered for its name, synchronously on
// the posting thread, in the order they registered. Thread-safe.
class XR_EXPORT NotificationCenter : public std::enable_shared_from_this<NotificationCenter> {
 public:
  // What an observer is called with.
  using Observer = std::function<void(const Notification&)>;

  // A new centre of its own.
  static std::shared_ptr<NotificationCenter> create();
  // The process-wide centre, made on first use and never destroyed.
  static NotificationCenter& defaultCenter();

  // Registers `observer` for notifications named `name`. Registered during a post, it is first
  // called by the next post.
  [[nodiscard]] NotificationRegistration addObserver(std::string name, Observer observer);

  // Calls every observer registered for the notification's name, on this thread, before it
  // returns.
  void postNotification(const Notification& notification);
  // postNotification() of a notification made from these.
  void postNotificationName(std::string name, std::shared_ptr<void> object,
                            std::shared_ptr<const UserInfo> userInfo = nullptr);

 private:
  friend class NotificationRegistration;
  struct Entry {
    std::uint64_t id;
    std::string name;
    Observer observer;
    std::atomic<bool> active{true};  // cleared on removal, seen by posts already under way
  };

  NotificationCenter() = default;
  void removeObserver(std::uint64_t id);

  std::mutex mutex_;
  std::vector<std::shared_ptr<Entry>> entries_;  // guarded by mutex_
  std::uint64_t nextId_ = 1;                     // guarded by mutex_
};

}  // namespace xr
