// Watches a Qt event loop for stalls: the longest gap between the turns of a 1 ms timer, for
// the window benchmarks. Lives on the thread whose loop it watches.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace vendrix::bench {

// Watches the gaps between the loop's turns.
class LoopProbe : public QObject {
 public:
  LoopProbe() {
    timer_.setInterval(1);
    connect(&timer_, &QTimer::timeout, this, [this] {
      qint64 now = clock_.nsecsElapsed();
      if (last_ > 0) longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    clock_.start();
    timer_.start();
  }
  // Counts from now on, forgetting the gaps before.
  void Start() {
    longest_ = 0;
    last_ = clock_.nsecsElapsed();
  }
  // The longest gap between turns so far.
  double LongestMs() const { return static_cast<double>(longest_) / 1e6; }
  // The longest gap since Start, the one still open included.
  double LongestStallMs() const {
    return static_cast<double>(std::max(longest_, clock_.nsecsElapsed() - last_)) / 1e6;
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

}  // namespace vendrix::bench
