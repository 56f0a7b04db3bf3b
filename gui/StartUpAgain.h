// The window's start-up, run again once the own account has been saved, without a restart:
// a search under way is stopped first and its end is not shown; then, with the controls
// disabled and the page loads dropped (nothing can prepare a platform call meanwhile), the
// shop finder's StartUp runs on a worker while the window stays responsive, the start-up notice
// showing when it takes a while. When it is done the window fills its categories and starts the
// first search. Window thread only.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QThread;

namespace vendrix {

class ShopFinder;
class TStartUpNotice;

class TStartUpAgain : public QObject {
 public:
  struct Actions {
    std::function<bool()> searching;          // a search runs, or its end is not handled yet
    std::function<void()> stop_search;        // makes it end soon; its end comes as usual
    std::function<void(bool busy)> set_busy;  // controls and menu entries off (and page loads
                                              // dropped), or on again
    std::function<void()> started_up;         // fill the categories and start the first search
  };

  TStartUpAgain(QObject* parent, ShopFinder& finder, TStartUpNotice& notice, Actions actions);
  // Waits for a start-up under way: the finder it runs on is the owner's.
  ~TStartUpAgain() override;

  // Runs the start-up again: at once, or once the search under way has ended. Asked again
  // while it runs, it runs once more after.
  void Request();
  // The end of a search is about to be handled: true when that search was stopped for the
  // start-up, which begins now, and its end is to be passed over.
  bool SearchEnded();
  // The start-up runs, or waits for a search to end.
  bool Busy() const { return waiting_ || worker_ != nullptr; }

 private:
  void Begin();
  void Finished();

  ShopFinder& finder_;
  TStartUpNotice& notice_;
  Actions actions_;
  bool waiting_ = false;  // for the search under way to end
  bool again_ = false;    // asked for again while running
  std::unique_ptr<QThread> worker_;
};

}  // namespace vendrix
