#include "app/SellerLookups.h"

namespace vendrix {

TSellerLookups::TSellerLookups(std::function<bool(int first, int last)> look_up)
    : look_up_(std::move(look_up)), thread_([this] { Run(); }) {}

TSellerLookups::~TSellerLookups() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TSellerLookups::Send(int first, int last) {
  {
    std::lock_guard lock(mutex_);
    pending_.emplace_back(first, last);
  }
  changed_.notify_all();
}

bool TSellerLookups::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_.empty() && !running_; });
  return !first_failed_;
}

void TSellerLookups::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return closing_ || !pending_.empty(); });
    if (pending_.empty()) return;  // closing, with nothing left to do
    auto [first, last] = pending_.front();
    pending_.pop_front();
    // A failed batch ends the look-ups: what was sent after it is dropped unsent.
    if (!failed_) {
      running_ = true;
      lock.unlock();
      bool ok = look_up_(first, last);
      lock.lock();
      running_ = false;
      if (!ok) {
        failed_ = true;
        first_failed_ = !any_run_;
      }
      any_run_ = true;
    }
    changed_.notify_all();
  }
}

}  // namespace vendrix
