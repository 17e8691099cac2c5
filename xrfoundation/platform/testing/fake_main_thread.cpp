#include "xrfoundation/platform/testing/fake_main_thread.h"

namespace xr::testing {

FakeMainThread::FakeMainThread() : owner_(std::this_thread::get_id()) {}

bool FakeMainThread::isMainThread() const { return std::this_thread::get_id() == owner_; }

void FakeMainThread::post(std::function<void()> call, bool wait) {
  if (!call) return;
  if (wait && isMainThread()) {
    call();
    return;
  }
  std::unique_lock lock(mutex_);
  calls_.push_back(std::move(call));
  if (!wait) return;
  const std::size_t mine = ranCount_ + calls_.size();
  ran_.wait(lock, [&] { return ranCount_ >= mine; });
}

std::size_t FakeMainThread::runPending() {
  std::size_t ran = 0;
  std::unique_lock lock(mutex_);
  while (!calls_.empty()) {
    auto call = std::move(calls_.front());
    calls_.pop_front();
    lock.unlock();
    call();
    call = nullptr;
    lock.lock();
    ++ranCount_;
    ++ran;
    ran_.notify_all();
  }
  return ran;
}

std::size_t FakeMainThread::pendingCount() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

}  // namespace xr::testing
