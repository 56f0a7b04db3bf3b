#include "gui/StartUpAgain.h"

#include <QThread>
#include <utility>

#include "app/ShopFinder.h"
#include "gui/StartUpNotice.h"

namespace vendrix {

TStartUpAgain::TStartUpAgain(QObject* parent, ShopFinder& finder, TStartUpNotice& notice,
                             Actions actions)
    : QObject(parent), finder_(finder), notice_(notice), actions_(std::move(actions)) {}

TStartUpAgain::~TStartUpAgain() {
  if (worker_) worker_->wait();
}

void TStartUpAgain::Request() {
  if (worker_) {
    again_ = true;
    return;
  }
  if (waiting_) return;
  if (actions_.searching()) {
    // Its rows would be those of the credentials going out of use.
    waiting_ = true;
    actions_.stop_search();
    return;
  }
  Begin();
}

bool TStartUpAgain::SearchEnded() {
  if (!waiting_) return false;
  waiting_ = false;
  Begin();
  return true;
}

void TStartUpAgain::Begin() {
  actions_.set_busy(true);
  notice_.Begin();
  worker_.reset(QThread::create([this] { finder_.StartUp(); }));
  connect(worker_.get(), &QThread::finished, this, &TStartUpAgain::Finished);
  worker_->start();
}

void TStartUpAgain::Finished() {
  worker_->wait();
  worker_.reset();
  notice_.Done(finder_);
  if (std::exchange(again_, false)) {
    Begin();
    return;
  }
  actions_.set_busy(false);
  actions_.started_up();
}

}  // namespace vendrix
