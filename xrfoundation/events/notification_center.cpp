#include "xrfoundation/events/notification_center.h"

#include <algorithm>
#include <utility>

namespace xr {

NotificationRegistration::NotificationRegistration(NotificationRegistration&& other) noexcept
    : center_(std::move(other.center_)), id_(std::exchange(other.id_, 0)) {}

NotificationRegistration& NotificationRegistration::operator=(
    NotificationRegistration&& other) noexcept {
  if (this != &other) {
    remove();
    center_ = std::move(other.center_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void NotificationRegistration::remove() {
  if (id_ == 0) return;
  if (std::shared_ptr<NotificationCenter> center = center_.lock()) center->removeObserver(id_);
  center_.reset();
  id_ = 0;
}

std::shared_ptr<NotificationCenter> NotificationCenter::create() {
  return std::shared_ptr<NotificationCenter>(new NotificationCenter);
}

NotificationCenter& NotificationCenter::defaultCenter() {
  static auto* center = new std::shared_ptr<NotificationCenter>(create());
  return **center;
}

NotificationRegistration NotificationCenter::addObserver(std::string name, Observer observer) {
  if (!observer) return {};
  std::lock_guard lock(mutex_);
  auto entry = std::make_shared<Entry>();
  entry->id = nextId_++;
  entry->name = std::move(name);
  entry->observer = std::move(observer);
  entries_.push_back(entry);
  return NotificationRegistration(weak_from_this(), entry->id);
}

void NotificationCenter::removeObserver(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [id](const std::shared_ptr<Entry>& entry) { return entry->id == id; });
  if (found == entries_.end()) return;
  (*found)->active.store(false, std::memory_order_release);
  entries_.erase(found);
}

void NotificationCenter::postNotification(const Notification& notification) {
  // Observers run without the lock, so that they may register, remove and post themselves.
  std::vector<std::shared_ptr<Entry>> matching;
  {
    std::lock_guard lock(mutex_);
    for (const std::shared_ptr<Entry>& entry : entries_)
      if (entry->name == notification.name()) matching.push_back(entry);
  }
  for (const std::shared_ptr<Entry>& entry : matching)
    if (entry->active.load(std::memory_order_acquire)) entry->observer(notification);
}

void NotificationCenter::postNotificationName(std::string name, std::shared_ptr<void> object,
                                              std::shared_ptr<const UserInfo> userInfo) {
  postNotification(Notification(std::move(name), std::move(object), std::move(userInfo)));
}

}  // namespace xr
