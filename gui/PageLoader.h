// The window's platform calls, off the window's thread: shop pages on one worker thread, where
// a newer request supersedes an older one (aborted, its page never shown), and link
// conversions on another, each opened in the order clicked. Jobs are prepared on the window's
// thread (the configuration stays there); results come back to it through the callbacks.
// Create, use and destroy on the window's thread.
#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/ShopFinder.h"

namespace vendrix {

class TPageLoader : public QObject {
 public:
  // What a converted address is for: the web browser, or the clipboard.
  enum class Use { kOpen, kCopy };
  using PageDone = std::function<void(const ShopPageJob& job)>;
  using AddressDone = std::function<void(const ConversionJob& job, Use use)>;
  using ShopLinkDone = std::function<void(const ShopLinkJob& job)>;

  // `page_done` hears of each page load that was not superseded or dropped, `address_done` of
  // each conversion with its job (its web address empty when it failed, then with why),
  // `shop_link_done` of each row's shop converted or not (then with an empty address); all on
  // the window's thread.
  TPageLoader(ShopFinder& finder, PageDone page_done, AddressDone address_done,
              ShopLinkDone shop_link_done, QObject* parent);
  ~TPageLoader() override;

  // Loads a row's shop page; whatever page load was under way is aborted and never reported.
  void LoadPage(ShopPageJob job);
  // Converts a clicked link, after the conversions clicked before it.
  void Convert(ConversionJob job, Use use);
  // Converts a row's shop, looked up first when needed, in turn with the conversions.
  void ConvertShopOf(ShopLinkJob job);
  // Drops every page load and conversion under way or waiting: none is shown or opened.
  void DropAll();
  // Drops everything and ends both threads, waiting at most `wait_ms` for them; whatever is
  // asked after it is not done.
  void Stop(int wait_ms);

 private:
  void AbortPages();
  void AbortConversions();
  // On the conversion thread, before a job of `epoch`: false when the job was dropped.
  bool StartConversion(uint64_t epoch);

  ShopFinder& finder_;
  PageDone page_done_;
  AddressDone address_done_;
  ShopLinkDone shop_link_done_;
  // The shop lookups of ConvertShopOf, on the conversion thread; the pages keep theirs.
  TTaobaoShop shop_lookup_;
  // Bumped before every abort: a worker that sees another value than its job's drops the job.
  std::atomic<uint64_t> page_generation_{0};
  std::atomic<uint64_t> conversion_epoch_{0};
  bool stopped_ = false;
  QThread page_thread_;
  QThread conversion_thread_;
  // Deleted once their threads have ended.
  std::unique_ptr<QObject> page_context_;        // lives on page_thread_
  std::unique_ptr<QObject> conversion_context_;  // lives on conversion_thread_
};

}  // namespace vendrix
