#include "gui/PageLoader.h"

#include <QDeadlineTimer>

namespace vendrix {

TPageLoader::TPageLoader(ShopFinder& finder, PageDone page_done, AddressDone address_done,
                         ShopLinkDone shop_link_done, QObject* parent)
    : QObject(parent),
      finder_(finder),
      page_done_(std::move(page_done)),
      address_done_(std::move(address_done)),
      shop_link_done_(std::move(shop_link_done)),
      page_context_(new QObject),
      conversion_context_(new QObject) {
  // The item conversion's client is made on first use; made here, no thread races to it.
  finder_.TaobaokeConvert1.Http();
  shop_lookup_.SetDefaultGateway(finder_.GetSettings().Gateway);
  page_context_->moveToThread(&page_thread_);
  conversion_context_->moveToThread(&conversion_thread_);
  page_thread_.start();
  conversion_thread_.start();
}

TPageLoader::~TPageLoader() {
  // Every call is aborted by now, so the threads end at once; nothing of theirs may outlive us.
  DropAll();
  page_thread_.quit();
  conversion_thread_.quit();
  page_thread_.wait();
  conversion_thread_.wait();
}

void TPageLoader::LoadPage(ShopPageJob job) {
  if (stopped_) return;
  uint64_t generation = ++page_generation_;
  AbortPages();
  QMetaObject::invokeMethod(
      page_context_.get(),
      [this, generation, job = std::move(job)]() mutable {
        if (generation != page_generation_) return;  // a newer page was asked for already
        finder_.TaobaoShop1.Http().ClearAbort();
        finder_.TaobaoSearch1.Http().ClearAbort();
        // An abort that came between the check and the clearing was for this very job.
        if (generation != page_generation_) return;
        finder_.RunShopPage(job);
        QMetaObject::invokeMethod(
            this,
            [this, generation, job = std::move(job)] {
              if (generation == page_generation_) page_done_(job);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void TPageLoader::Convert(ConversionJob job, Use use) {
  if (stopped_) return;
  uint64_t epoch = conversion_epoch_;
  QMetaObject::invokeMethod(
      conversion_context_.get(),
      [this, epoch, use, job = std::move(job)]() mutable {
        if (!StartConversion(epoch)) return;
        // A failure comes back too, with no address, for the window to say so.
        finder_.RunConversion(job);
        QMetaObject::invokeMethod(
            this,
            [this, epoch, use, job = std::move(job)] {
              if (epoch == conversion_epoch_) address_done_(job, use);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void TPageLoader::ConvertShopOf(ShopLinkJob job) {
  if (stopped_) return;
  uint64_t epoch = conversion_epoch_;
  QMetaObject::invokeMethod(
      conversion_context_.get(),
      [this, epoch, job = std::move(job)]() mutable {
        if (!StartConversion(epoch)) return;
        // A failure comes back too, with no address, for the copy to say so.
        if (!finder_.RunShopLink(job, shop_lookup_)) job.conversion.click_url.clear();
        QMetaObject::invokeMethod(
            this,
            [this, epoch, job = std::move(job)] {
              if (epoch == conversion_epoch_) shop_link_done_(job);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

bool TPageLoader::StartConversion(uint64_t epoch) {
  if (epoch != conversion_epoch_) return false;  // dropped by a search started since
  finder_.TaobaokeConvert1.Http().ClearAbort();
  finder_.TaobaokeShop1.Http().ClearAbort();
  shop_lookup_.Http().ClearAbort();
  // An abort that came between the check and the clearing was for this very job.
  return epoch == conversion_epoch_;
}

void TPageLoader::DropAll() {
  ++page_generation_;
  AbortPages();
  ++conversion_epoch_;
  AbortConversions();
}

void TPageLoader::Stop(int wait_ms) {
  stopped_ = true;
  DropAll();
  page_thread_.quit();
  conversion_thread_.quit();
  QDeadlineTimer deadline(wait_ms);
  page_thread_.wait(deadline);
  conversion_thread_.wait(deadline);
}

void TPageLoader::AbortPages() {
  finder_.TaobaoShop1.Http().Abort();
  finder_.TaobaoSearch1.Http().Abort();
}

void TPageLoader::AbortConversions() {
  finder_.TaobaokeConvert1.Http().Abort();
  finder_.TaobaokeShop1.Http().Abort();
  shop_lookup_.Http().Abort();
}

}  // namespace vendrix
