// The user look-ups of one seller search, run in order on a thread of their own so that each
// batch of 40 sellers is looked up while the paging that finds the next ones goes on. Owned
// and fed by the thread that runs the search; the batches run on the queue's thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vendrix {

class TSellerLookups {
 public:
  // `look_up(first, last)` looks up the sellers of rows first..last; false when it failed.
  explicit TSellerLookups(std::function<bool(int first, int last)> look_up);
  // Waits for the batches already sent.
  ~TSellerLookups();
  TSellerLookups(const TSellerLookups&) = delete;
  TSellerLookups& operator=(const TSellerLookups&) = delete;

  // Queues the batch of rows first..last. Batches run in the order sent; after one fails, the
  // later ones are not run (their sellers stay without location and credit).
  void Send(int first, int last);

  // Waits until every batch sent has run or been skipped. True unless the first batch failed.
  bool Finish();

 private:
  void Run();

  std::function<bool(int, int)> look_up_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<int, int>> pending_;
  bool running_ = false;  // a batch is being looked up
  bool closing_ = false;
  bool failed_ = false;
  bool first_failed_ = false;
  bool any_run_ = false;
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace vendrix
